#ifndef CALIBRATIONHISTORY_H
#define CALIBRATIONHISTORY_H

#include "message.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

class TThermometerList;

// A thermometer's calibration as the calibration file holds it: the texts of its due date and test
// points, and the entry's checksum.
struct THistoryState
{
    QString description;
    // ISO 8601 ("2026-12-17"); empty when the entry has no valid due date.
    QString due_date;
    // "reference,deviation" at five decimals, as the file stores each point.
    QString points[3];
    // The entry's checksum in the calibration file, four hexadecimal digits.
    QString checksum;

    // Equal when the file would hold the same entry; the checksum follows from the rest.
    bool operator==(const THistoryState& other) const;
    bool operator!=(const THistoryState& other) const { return !(*this == other); }
};

// One line of the calibration history.
struct THistoryRecord
{
    enum TAction
    {
        Added,
        Changed,
        Removed,
        // An entry of a calibration file that had no history yet, or whose history was lost.
        First_Seen,
        // The file differed from what the history says it holds: edited by hand or by another program.
        Changed_Outside,
        // The change of record marks never reached the calibration file.
        Not_Saved,
        // The change of record marks reached the calibration file.
        Saved,
        // The history no longer held the records the calibration file was saved after (its anchor): it
        // was deleted, emptied, cut or replaced. What follows begins again from the calibration file.
        History_Lost,
        // A person reviewed a finding (see calibrationfindings.h) and said why it stands; records nothing
        // about the calibration file.
        Reviewed
    };

    // Counted from 1 in file order, which is the line number.
    int number = 0;
    // ISO 8601 with the UTC offset, as stored.
    QString time;
    // The operating-system user and host that wrote the record: who made the change, or for a record that
    // finds something (Is_Found_Record) who found it; a reviewer for Reviewed.
    QString user;
    QString host;
    TAction action = Added;
    // The "thermometer" the line names; a record is about the thermometer its states describe.
    QString description;
    bool has_before = false;
    THistoryState before;
    bool has_after = false;
    THistoryState after;
    // Not_Saved and Saved: the number of the record whose change it settles; else 0.
    int marks = 0;
    // History_Lost: the calibration file's anchor, the records the history held when the file was saved
    // and the SHA-256 of the last of them; else 0 and empty.
    int anchor_records = 0;
    QByteArray anchor_hash;
    // Reviewed: the line the finding is tied to and its SHA-256 as the reviewer saw it (for a broken chain,
    // that of the lines that do not fit), the kind of finding ("changed outside Velmora", ...) and the
    // reviewer's comment; else 0 and empty.
    int reviews = 0;
    QByteArray reviews_hash;
    QString finding;
    QString comment;
    // Lowercase hexadecimal SHA-256 of the record before this one (64 zeros for the first) and of this
    // record's own line, without its line end.
    QByteArray previous_hash;
    QByteArray hash;
};

// A digest of a state: equal states (operator==) have equal digests. Sixteen bytes kept in place, so
// that keeping one for every thermometer costs no allocation of its own.
using TStateDigest = std::array<char, 16>;
TStateDigest History_State_Digest(const THistoryState& state);

// Of the record that put a thermometer's calibration in the history, what is kept for every
// thermometer: what names the record (a log's audit columns) and a digest of the calibration it gives.
// The whole record, texts and states, cost about 800 bytes a thermometer.
struct TCalibrationRecord
{
    // 0: none.
    int number = 0;
    THistoryRecord::TAction action = THistoryRecord::Added;
    // The record's SHA-256, its bytes, also kept in place: as a text of its own the hash held about 100
    // bytes more a record (12 MB of resident memory at 100,000 thermometers).
    std::array<char, 32> hash_bytes{};
    TStateDigest after{};

    // As THistoryRecord's hash: lowercase hexadecimal.
    QByteArray Hash() const { return QByteArray(hash_bytes.data(), int(hash_bytes.size())).toHex(); }
};
TCalibrationRecord Calibration_Record_Of(const THistoryRecord& record);

// A line that does not fit the chain: not a record, misnumbered, or not following the line before it.
struct THistoryBreak
{
    int line = 0;
    QString reason;
    // The line's SHA-256; empty where the read did not hash it (Head_Only).
    QByteArray hash;
};

// What a history file holds, as far as it could be read.
struct THistoryContent
{
    // Every line that reads as a record, in file order (with Head_Only, those it was asked for).
    QVector<THistoryRecord> records;
    // The number of the first line that is not a record or does not fit the chain (its previous-record
    // hash or its number does not match the line before it), and why; 0 when the whole chain holds.
    int first_break = 0;
    QString break_reason;
    // Every line that does not fit, in file order (first_break is the first of them).
    QVector<THistoryBreak> breaks;
    // The last line has no line end: a write that was cut off. It is not counted as a record.
    bool incomplete_last_line = false;
    // The SHA-256 of the last complete line (64 zeros for an empty history): the next record's
    // previous-record hash.
    QByteArray head_hash;
    // The number of complete lines, whether they read as records or not.
    int line_count = 0;
    // The bytes up to and with the last line end: where the next record goes.
    qint64 complete_size = 0;
    // The line the read was asked to hash (the calibration file's anchor; 0 for none) and its SHA-256;
    // empty when the history has no such line.
    int anchor_line = 0;
    QByteArray anchor_line_hash;
    // The first line whose change may still be unsettled: 1 for a whole read; for a read for an
    // append, the first of the changes the history ends with. Every writer settles the changes before
    // its own under the lock, so only changes after the last record of another kind can be open.
    int open_from = 1;
};

// The calibration history: one JSON object per line, appended and never rewritten. Each record carries
// the SHA-256 of the line before it, so a line that is changed, inserted or deleted breaks the chain at
// that point, and every entry of the calibration file must match the last record of it.

// The file beside calibration_file_name, one for each calibration file: "calibration_history.jsonl"
// for "calibration_data.xml", "<base name>_history.jsonl" for any other "<base name>.xml", and
// "<file name>.history.jsonl" for every other name ("calibration.xml" included), so that no two
// calibration files in one folder share a history.
QString History_File_Name(const QString& calibration_file_name);

// How much of the chain a read checks.
enum class THistoryCheck
{
    // Every line's hash against the next line's previous-record hash: for showing and for the check
    // at start-up.
    Whole_Chain,
    // Only the last line's hash, which the next record needs; a record's hash is then left empty and
    // first_break names only a line that is no record or is misnumbered. For appending.
    Head_Only
};

// Reads the records of a history file's bytes. Never fails: what cannot be read is reported in the
// content's first_break and break_reason. With Head_Only, about names the thermometers whose records
// are wanted: a line in Velmora's own form that is neither about one of these (by its states, letter
// case ignored), nor a Not_Saved or History_Lost record, nor one of the changes the history ends with,
// nor the last line, is counted but not read. anchor_line, when not 0, is the line whose hash
// anchor_line_hash receives.
THistoryContent Read_History(const QByteArray& bytes, THistoryCheck check = THistoryCheck::Whole_Chain,
                             const QStringList& about = QStringList(), int anchor_line = 0);
// The history file's bytes; a missing file is an empty history (a null array). False, with *error
// naming the path and the system's reason, when it exists but cannot be read.
bool Read_History_Bytes(const QString& file_name, QByteArray* bytes, QString* error);
// Reads the history file with Read_History_Bytes and Read_History.
bool Read_History_File(const QString& file_name, THistoryContent* content, QString* error,
                       THistoryCheck check = THistoryCheck::Whole_Chain,
                       const QStringList& about = QStringList(), int anchor_line = 0);

// The calibration of the thermometer in list that description finds, as the file would hold it.
THistoryState History_State(const TThermometerList& list, const QString& description);

// The records of the changes that turn before into after: one per thermometer added, changed or
// removed, in after's order then before's. Time, user and host are not filled in yet.
QVector<THistoryRecord> History_Differences(const TThermometerList& before, const TThermometerList& after);

// A record that contradicts itself, and why.
struct THistoryDamage
{
    int record = 0;
    QString reason;
};

// What comparing a calibration file with its history found.
struct THistoryComparison
{
    // The records that bring the history up to date, in the order they are to be appended: a
    // History_Lost record and a First_Seen record of every entry when the history lost what the file
    // was saved after (or First_Seen alone when there is no history yet); otherwise a Saved, Not_Saved
    // or Changed_Outside record for every change still unsettled, then a Changed_Outside record for
    // every other entry that differs from what the history says.
    QVector<THistoryRecord> records;
    // Records that contradict themselves (a "thermometer" other than the one their states describe,
    // states of two thermometers, a mark of no change, ...): how many, the first and why.
    int damaged_records = 0;
    int first_damaged = 0;
    QString damage;
    // Every damaged record, in file order.
    QVector<THistoryDamage> damaged;
};

// Compares list, as loaded from the calibration file (with its history anchor), with its history.
// Settling decides by content and explicit marks alone: an unsettled change (Added, Changed or
// Removed, with no Saved or Not_Saved mark and no later record of its thermometer) is Saved when the
// file holds its after state, Not_Saved when it holds its before state and Changed_Outside otherwise.
// A record is about the thermometer its after state describes, else its before state. When complete
// is false (the file did not load completely) a thermometer missing from list is neither taken as
// removed nor used to settle. only, when given, limits the comparison of entries (not the settling,
// nor the anchor) to the thermometers it names.
THistoryComparison Compare_History(const THistoryContent& content, const TThermometerList& list,
                                   bool complete, const QStringList* only = nullptr);
// Whether the history agrees with the calibration file, as found: a whole chain without a cut-off last
// line, no damaged record, nothing lost and nothing to record but Saved marks or the first sightings
// that begin a history. The one statement of the history's consistency; the messages below hold a
// warning exactly when it is false.
bool History_Agrees(const THistoryContent& content, const THistoryComparison& comparison);
// The messages about the comparison: the chain's warnings, one warning about damaged records, one
// about a lost history and one for each change never saved or made outside Velmora; information
// counting the first sightings and the changes marked as saved when recorded is true (no finding).
// recorded tells whether the comparison's records were written.
TMessages History_Comparison_Messages(const QString& history_file_name, const THistoryContent& content,
                                      const THistoryComparison& comparison, bool recorded);
// A calibration put in force: from the time of the record content.records[cause] on, the thermometer's
// calibration is the after state of content.records[record], or none when record is -1 (it was removed,
// or the history began again after a loss).
struct TCalibrationInForce
{
    int cause = -1;
    int record = -1;
};

// For each thermometer (by lookup key), the calibrations a whole history put in force, in file order:
// every record that gives it a state (added, changed, first seen, changed outside Velmora) but a change
// marked as not saved, which never reached the calibration file; a removal, and a loss of the history,
// end one. Records that can describe no thermometer, and marks of nothing open, are passed over.
QHash<QString, QVector<TCalibrationInForce>> Calibrations_In_Force(const THistoryContent& content);
// The record that put each thermometer's current calibration, as list holds it, in a whole history, by
// lookup key: the last of its Calibrations_In_Force when that gives it the calibration list holds; when
// that is a change not yet marked (one under way, or cut off before its save), the one before it when
// that does. A thermometer whose calibration in list the history does not give has none: an edit by
// hand that no check has recorded yet, a history that could not be read or was cut short.
QHash<QString, TCalibrationRecord> Calibration_Records(const THistoryContent& content,
                                                       const TThermometerList& list);

// The marks (Saved or Not_Saved) that settle records.
QVector<THistoryRecord> Mark_Records(const QVector<THistoryRecord>& records, THistoryRecord::TAction mark);

// Appends records to the history file after the last complete line (an incomplete last line, which is
// no record, is cut off first): fills in number, time (TClock), user, host and the hashes, writes them
// and waits until the disk holds them. On failure the file is left as it was and *error names the path
// and the system's reason. content is the file as read under the same lock; it is updated to hold them.
bool Append_History(const QString& file_name, QVector<THistoryRecord> records, THistoryContent* content,
                    QString* error);

// The warnings about the chain: one naming the first record that does not fit it, and one about an
// incomplete last line; none when the history is whole.
TMessages History_Chain_Warnings(const QString& file_name, const THistoryContent& content);

// "added", "changed", "removed", "first seen", "changed outside Velmora", "not saved", "saved",
// "history lost", "reviewed".
QString History_Action_Text(THistoryRecord::TAction action);
// Whether a record of this action records what its writer found rather than did (first seen, changed
// outside Velmora, saved, not saved, history lost): its user and host found it, they did not make it.
bool Is_Found_Record(THistoryRecord::TAction action);
// "tech on vm": who wrote the record.
QString History_Writer_Text(const THistoryRecord& record);
// "tech on vm": who this process writes its records as (the operating-system account and the host).
QString History_Writer_Text();
// The description of the thermometer each record is about, by index: a record with states by them
// (after, else before), a mark by the record it marks, a review by the record it reviews (else by the
// thermometer it names); empty for a record about none (a loss, a review of the chain).
QVector<QString> History_Record_Thermometers(const QVector<THistoryRecord>& records);
// What the record changed, "before -> after" for each value that differs, e.g. "due date Dec 17 2026
// -> Dec 17 2062; point 1 15.00000,0.20000 -> 15.00000,0.02000"; the whole calibration for an
// addition, removal or first sighting; for a mark which record it marks; for History_Lost what was lost;
// for Reviewed the finding and the comment.
QString History_Change_Text(const THistoryRecord& record);
// The records as a CSV file for an auditor, newest first as given: a header line, then one line per
// record with its number, time, user and host (empty for a record of what its writer found), who found
// it, its action, thermometer and change, the values before and after, the checksums, the record it marks,
// the finding it reviews with its SHA-256, and both hashes.
QString History_Csv(const QVector<THistoryRecord>& records);

#endif // CALIBRATIONHISTORY_H
