#ifndef CALIBRATIONHISTORY_H
#define CALIBRATIONHISTORY_H

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

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
        // An entry of a calibration file that had no history yet.
        First_Seen,
        // The file differed from what the history says it holds: edited by hand or by another program.
        Changed_Outside,
        // The change of record marks never reached the calibration file.
        Not_Saved
    };

    // Counted from 1 in file order, which is the line number.
    int number = 0;
    // ISO 8601 with the UTC offset, as stored.
    QString time;
    // The operating-system user and host that made the change.
    QString user;
    QString host;
    TAction action = Added;
    QString description;
    bool has_before = false;
    THistoryState before;
    bool has_after = false;
    THistoryState after;
    // Not_Saved: the number of the record whose change never reached the file; else 0.
    int marks = 0;
    // Lowercase hexadecimal SHA-256 of the record before this one (64 zeros for the first) and of this
    // record's own line, without its line end.
    QByteArray previous_hash;
    QByteArray hash;
};

// What a history file holds, as far as it could be read.
struct THistoryContent
{
    // Every line that reads as a record, in file order.
    QVector<THistoryRecord> records;
    // The number of the first line that is not a record or does not fit the chain (its previous-record
    // hash or its number does not match the line before it), and why; 0 when the whole chain holds.
    int first_break = 0;
    QString break_reason;
    // The last line has no line end: a write that was cut off. It is not counted as a record.
    bool incomplete_last_line = false;
    // The SHA-256 of the last complete line (64 zeros for an empty history): the next record's
    // previous-record hash.
    QByteArray head_hash;
    // The number of complete lines, whether they read as records or not.
    int line_count = 0;
    // The bytes up to and with the last line end: where the next record goes.
    qint64 complete_size = 0;
};

// The calibration history: one JSON object per line, appended and never rewritten. Each record carries
// the SHA-256 of the line before it, so a line that is changed, inserted or deleted breaks the chain at
// that point, and every entry of the calibration file must match the last record of it.

// The file beside calibration_file_name: "calibration_history.jsonl" for "calibration_data.xml",
// "<base name>_history.jsonl" for any other calibration file.
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
// content's first_break and break_reason. With Head_Only, about (when not empty) names the thermometers
// whose records are wanted: a line that does not hold one of these descriptions (letter case ignored)
// is counted but not read, and the last line is always read.
THistoryContent Read_History(const QByteArray& bytes, THistoryCheck check = THistoryCheck::Whole_Chain,
                             const QStringList& about = QStringList());
// Reads the history file; a missing file is an empty history. False, with *error naming the path and
// the system's reason, when it exists but cannot be read.
bool Read_History_File(const QString& file_name, THistoryContent* content, QString* error,
                       THistoryCheck check = THistoryCheck::Whole_Chain,
                       const QStringList& about = QStringList());

// The calibration of the thermometer in list that description finds, as the file would hold it.
THistoryState History_State(const TThermometerList& list, const QString& description);

// The records of the changes that turn before into after: one per thermometer added, changed or
// removed, in after's order then before's. Time, user and host are not filled in yet.
QVector<THistoryRecord> History_Differences(const TThermometerList& before, const TThermometerList& after);

// Compares list, as loaded from the calibration file, with what the history says the file holds, and
// returns the records that bring the history up to date: First_Seen for every entry when the history
// is empty; Not_Saved when an entry still holds what it held before the last record of it, a change
// by Velmora, and the file (last modified at file_modified; invalid when there is none) has not been
// written since that record; Changed_Outside for any other difference. When complete is false (the
// file did not load completely) a thermometer missing from list is not taken as removed. only, when
// not empty, limits the comparison to the thermometers it names.
QVector<THistoryRecord> Reconcile_History(const THistoryContent& content, const TThermometerList& list,
                                          bool complete, const QDateTime& file_modified,
                                          const QStringList& only = QStringList());
// The log lines about what Reconcile_History found: a WAR line for each difference, with what differs,
// and an INF line counting the first sightings; recorded tells whether the records were written.
QStringList Reconciliation_Messages(const QVector<THistoryRecord>& records, bool recorded);
// The Not_Saved records for records, whose change did not reach the file.
QVector<THistoryRecord> Not_Saved_Records(const QVector<THistoryRecord>& records);

// Appends records to the history file after the last complete line (an incomplete last line, which is
// no record, is cut off first): fills in number, time (TClock), user, host and the hashes, writes them
// and waits until the disk holds them. On failure the file is left as it was and *error names the path
// and the system's reason. content is the file as read under the same lock; it is updated to hold them.
bool Append_History(const QString& file_name, QVector<THistoryRecord> records, THistoryContent* content,
                    QString* error);

// The log lines about the chain: a WAR line naming the first record that does not fit it, and one
// about an incomplete last line; none when the history is whole.
QStringList History_Chain_Warnings(const QString& file_name, const THistoryContent& content);

// "added", "changed", "removed", "first seen", "changed outside Velmora", "not saved".
QString History_Action_Text(THistoryRecord::TAction action);
// What the record changed, "before -> after" for each value that differs, e.g. "due date Dec 17 2026
// -> Dec 17 2062; point 1 15.00000,0.20000 -> 15.00000,0.02000"; the whole calibration for an
// addition, removal or first sighting; for Not_Saved which record it marks.
QString History_Change_Text(const THistoryRecord& record);
// The records as a CSV file for an auditor, newest first as given: a header line, then one line per
// record with its number, time, user, host, action, thermometer, the values before and after, the
// checksums and both hashes.
QString History_Csv(const QVector<THistoryRecord>& records);

#endif // CALIBRATIONHISTORY_H
