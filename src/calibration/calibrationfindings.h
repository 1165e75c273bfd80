#ifndef CALIBRATIONFINDINGS_H
#define CALIBRATIONFINDINGS_H

#include "calibrationhistory.h"
#include "message.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class TThermometerList;

// What a person has to look at before it may rest: a doubtful calibration, a change made outside
// Velmora, a change that never reached the calibration file, a lost history, lines that do not fit the
// chain, a damaged record and a cut-off last line. A finding is tied to a line of the history and that
// line's SHA-256; it stays open until a Reviewed record names both (and its kind), so that a line
// changed afterwards, or a new change of the thermometer, is a new finding. What has no line yet (found by
// a reader that records nothing, a cut-off line, a doubtful calibration the history does not hold) cannot
// be reviewed: it is open until the history holds it, and a cut-off line until the next change drops it.
struct TFinding
{
    enum TKind
    {
        Doubtful_Calibration,
        Changed_Outside,
        Not_Saved,
        History_Lost,
        Broken_Chain,
        Damaged_Record,
        Incomplete_Line
    };
    TKind kind = Doubtful_Calibration;
    // The line it is tied to: the record that put a doubtful calibration into the history, the record of
    // an outside change, of a change not saved or of a loss, the first of the lines that do not fit the
    // chain, the damaged record. 0 when there is none.
    int record = 0;
    // That line's SHA-256; for lines that do not fit the chain, that of all of them.
    QByteArray hash;
    // The thermometer it is about; empty for one about the history itself.
    QString description;
    // What was found: "thermometer 'Probe X' was changed outside Velmora: due date ...".
    QString text;
    // Who wrote the record it is tied to, and when: "found by tech on vm at 2026-12-07T10:30:00+01:00",
    // "changed by tech on vm at ..." for the record of a doubtful calibration; "not recorded yet" for what
    // a reader found; empty for what the history's lines themselves show.
    QString origin;
    // The record it is tied to as the history holds it; number 0 when there is none (or it is no record).
    THistoryRecord source;
    bool reviewed = false;
    // The Reviewed record that closed it.
    THistoryRecord review;

    bool Is_Reviewable() const { return record > 0; }
};

enum class TFindingScope
{
    Open,
    // Reviewed ones too, with their reviews.
    With_Reviewed
};

// The findings of content, a whole chain as read, against list, the calibration file it was compared
// with: comparison is Compare_History's, whose records are what was found but not recorded yet (clear
// them once they are appended to content). today judges which calibrations are doubtful
// (Calibration_State; the warning period cannot change that). Ordered by the line they are tied to,
// those without one last.
QVector<TFinding> Calibration_Findings(const THistoryContent& content, const THistoryComparison& comparison,
                                       const TThermometerList& list, const QDate& today,
                                       TFindingScope scope = TFindingScope::Open);

// The record (an index into content.records) that put the current calibration of the thermometer of list
// that description finds into the history: the last record of it, after the last loss, whose after
// state is what list holds, a change that never reached the file left out. -1 when there is none.
int Calibration_Record(const THistoryContent& content, const TThermometerList& list,
                       const QString& description);

// "doubtful calibration", "changed outside Velmora", "not saved", "history lost", "broken chain",
// "damaged record", "incomplete line": also the "finding" of a Reviewed record.
QString Finding_Kind_Text(TFinding::TKind kind);
// Whether a and b are one finding: the same kind, line and SHA-256 (and the same thermometer).
bool Is_Same_Finding(const TFinding& a, const TFinding& b);
// "record 12, changed outside Velmora: thermometer 'Probe X' was changed outside Velmora: ... (found by
// tech on vm at ...)": the finding in one line, for the log, velmora-cli and the review dialog.
QString Finding_Summary(const TFinding& finding);
// "by lead on vm at 2026-12-08T09:00:00+01:00 (record 20): probe replaced, 1.5 K is real"; empty when not
// reviewed.
QString Review_Text(const TFinding& finding);
// The Reviewed record of finding with comment (trimmed); number, time, user and host are filled in by
// Append_History.
THistoryRecord Review_Record(const TFinding& finding, const QString& comment);

// A doubtful calibration that a person reviewed: the calibration as its record put it into the history,
// and the review (Review_Text).
struct TReviewedDoubt
{
    THistoryState calibration;
    QString review;
};
// The reviewed doubtful calibrations among findings, by the thermometer's lookup key
// (TThermometerList::Lookup_Key).
QHash<QString, TReviewedDoubt> Reviewed_Doubts(const QVector<TFinding>& findings);
// The review of the calibration the thermometer of list that description finds has now, from reviewed as
// Reviewed_Doubts gave it when the history was last read; empty when it has none. A calibration changed
// since has none: a change of the thermometer is a new finding.
QString Doubt_Review(const QHash<QString, TReviewedDoubt>& reviewed, const TThermometerList& list,
                     const QString& description);

// The messages a start of the window or velmora-cli check gives about the history: what the check found
// (History_Comparison_Messages of as_read, the history as read before anything was recorded, with lines
// that do not fit the chain and damaged records named only while their findings are open), then a
// warning for every other open finding that names no thermometer's calibration: those the history held
// before the check, and further breaks of the chain. findings are Calibration_Findings with reviewed ones
// (TFindingScope::With_Reviewed) of the history after what was recorded. A doubtful calibration is named
// by its thermometer's own warning (Calibration_Warnings).
TMessages Finding_Messages(const QString& history_file_name, const THistoryContent& as_read,
                           const THistoryComparison& comparison, bool recorded,
                           const QVector<TFinding>& findings);
// Whether any of findings is open.
bool Has_Open_Finding(const QVector<TFinding>& findings);

#endif // CALIBRATIONFINDINGS_H
