#include "calibrationfindings.h"

#include "calibrationstatus.h"
#include "thermometerdata.h"

#include <QCryptographicHash>
#include <QHash>

#include <algorithm>
#include <climits>

namespace
{

const char* const Kind_Texts[] = {
    "doubtful calibration", "changed outside Velmora", "not saved",      "history lost",
    "broken chain",         "damaged record",          "incomplete line"};

QString Review_Key(const QString& kind, int record, const QByteArray& hash)
{
    return QString("%1|%2|%3").arg(kind, QString::number(record), QString::fromLatin1(hash));
}

QString Found_Origin(const THistoryRecord& record)
{
    return QString("found by %1 at %2").arg(History_Writer_Text(record), record.time);
}

bool Changes_State(const THistoryRecord& record)
{
    return record.has_before || record.has_after;
}

// What the thermometers' calibrations were last put into the history by, by lookup key: the index of the
// last record of each, after the last loss, leaving out the changes that never reached the file.
QHash<QString, int> Last_Calibration_Records(const THistoryContent& content,
                                             const QVector<QString>& thermometers)
{
    QSet<int> not_saved;
    for (const THistoryRecord& record : content.records)
    {
        if (record.action == THistoryRecord::Not_Saved)
        {
            not_saved.insert(record.marks);
        }
    }
    QHash<QString, int> last;
    for (int index = 0; index < content.records.size(); ++index)
    {
        const THistoryRecord& record = content.records[index];
        if (record.action == THistoryRecord::History_Lost)
        {
            last.clear();
        }
        else if (Changes_State(record) && !not_saved.contains(record.number))
        {
            last.insert(TThermometerList::Lookup_Key(thermometers[index]), index);
        }
    }
    return last;
}

// The record of last_records that holds the calibration list has of description now; -1 when none does.
int Current_Calibration_Record(const THistoryContent& content, const QHash<QString, int>& last_records,
                               const TThermometerList& list, const QString& description)
{
    const int index = last_records.value(TThermometerList::Lookup_Key(description), -1);
    if (index < 0)
    {
        return -1;
    }
    const THistoryRecord& record = content.records[index];
    return record.has_after && record.after == History_State(list, description) ? index : -1;
}

QString Chain_Text(int first, int last, const QString& reason)
{
    return first == last
               ? QString("record %1 does not fit the chain (%2)").arg(QString::number(first), reason)
               : QString("records %1 to %2 do not fit the chain (the first: %3)")
                     .arg(QString::number(first), QString::number(last), reason);
}

// The finding a record of what its writer found stands for, or false for a record of another action.
bool Recorded_Finding(const THistoryRecord& record, const QString& thermometer, TFinding* finding)
{
    switch (record.action)
    {
    case THistoryRecord::Changed_Outside:
        finding->kind = TFinding::Changed_Outside;
        finding->text = QString("thermometer '%1' was changed outside Velmora: %2")
                            .arg(thermometer, History_Change_Text(record));
        break;
    case THistoryRecord::Not_Saved:
        finding->kind = TFinding::Not_Saved;
        finding->text =
            QString("the change of record %1 (thermometer '%2') never reached the calibration file")
                .arg(QString::number(record.marks), thermometer);
        break;
    case THistoryRecord::History_Lost:
        finding->kind = TFinding::History_Lost;
        finding->text = "the calibration history lost records: " + History_Change_Text(record);
        break;
    default:
        return false;
    }
    finding->description = thermometer;
    return true;
}

} // namespace

QString Finding_Kind_Text(TFinding::TKind kind)
{
    return QString::fromLatin1(
        Kind_Texts[qBound(0, int(kind), int(sizeof(Kind_Texts) / sizeof(Kind_Texts[0])) - 1)]);
}

int Calibration_Record(const THistoryContent& content, const TThermometerList& list,
                       const QString& description)
{
    const QHash<QString, int> last =
        Last_Calibration_Records(content, History_Record_Thermometers(content.records));
    return Current_Calibration_Record(content, last, list, description);
}

QVector<TFinding> Calibration_Findings(const THistoryContent& content, const THistoryComparison& comparison,
                                       const TThermometerList& list, const QDate& today, TFindingScope scope)
{
    const QVector<THistoryRecord>& records = content.records;
    const QVector<QString> thermometers = History_Record_Thermometers(records);
    QHash<int, int> index_by_number;
    index_by_number.reserve(records.size());
    for (int index = 0; index < records.size(); ++index)
    {
        index_by_number.insert(records[index].number, index);
    }
    // A damaged review closes nothing; of two reviews of one finding the first stands.
    QSet<int> damaged;
    for (const THistoryDamage& damage : comparison.damaged)
    {
        damaged.insert(damage.record);
    }
    QHash<QString, int> reviews;
    for (int index = 0; index < records.size(); ++index)
    {
        const THistoryRecord& record = records[index];
        if (record.action == THistoryRecord::Reviewed && !damaged.contains(record.number))
        {
            const QString key = Review_Key(record.finding, record.reviews, record.reviews_hash);
            if (!reviews.contains(key))
            {
                reviews.insert(key, index);
            }
        }
    }

    QVector<TFinding> findings;
    const auto add = [&](TFinding finding) {
        const int review =
            finding.record > 0
                ? reviews.value(Review_Key(Finding_Kind_Text(finding.kind), finding.record, finding.hash), -1)
                : -1;
        finding.reviewed = review >= 0;
        if (finding.reviewed)
        {
            finding.review = records[review];
        }
        if (!finding.reviewed || scope == TFindingScope::With_Reviewed)
        {
            findings << finding;
        }
    };

    // What the history records of what its writers found; a damaged record is a finding of its own.
    for (int index = 0; index < records.size(); ++index)
    {
        TFinding finding;
        if (!damaged.contains(records[index].number) &&
            Recorded_Finding(records[index], thermometers[index], &finding))
        {
            finding.record = records[index].number;
            finding.hash = records[index].hash;
            finding.origin = Found_Origin(records[index]);
            finding.source = records[index];
            add(finding);
        }
    }
    for (const THistoryDamage& damage : comparison.damaged)
    {
        const int index = index_by_number.value(damage.record, -1);
        if (index < 0)
        {
            continue;
        }
        TFinding finding;
        finding.kind = TFinding::Damaged_Record;
        finding.record = damage.record;
        finding.hash = records[index].hash;
        finding.description = thermometers[index];
        finding.text = QString("record %1 is damaged: %2").arg(QString::number(damage.record), damage.reason);
        finding.source = records[index];
        add(finding);
    }
    // Consecutive lines that do not fit are one finding: a deleted line misnumbers every line after it.
    for (int first = 0; first < content.breaks.size();)
    {
        int last = first;
        while (last + 1 < content.breaks.size() &&
               content.breaks[last + 1].line == content.breaks[last].line + 1)
        {
            ++last;
        }
        QCryptographicHash run_hash(QCryptographicHash::Sha256);
        for (int line = first; line <= last; ++line)
        {
            run_hash.addData(content.breaks[line].hash);
        }
        TFinding finding;
        finding.kind = TFinding::Broken_Chain;
        finding.record = content.breaks[first].line;
        finding.hash = run_hash.result().toHex();
        finding.text =
            Chain_Text(content.breaks[first].line, content.breaks[last].line, content.breaks[first].reason);
        const int index = index_by_number.value(finding.record, -1);
        if (index >= 0)
        {
            finding.source = records[index];
        }
        add(finding);
        first = last + 1;
    }

    // The doubtful calibrations, each tied to the record that put it into the history.
    const QHash<QString, int> last_records = Last_Calibration_Records(content, thermometers);
    for (const QString& description : list.Get_Descriptions())
    {
        if (Thermometer_State(list, description, today, 0) != TCalibrationState::Doubtful)
        {
            continue;
        }
        TFinding finding;
        finding.kind = TFinding::Doubtful_Calibration;
        finding.description = description;
        finding.text = QString("thermometer '%1' is doubtful: %2")
                           .arg(description, Doubt_Reasons(list.Get_Calibration_Due_Date(description), today,
                                                           list.Get_Correction(description)));
        const int index = Current_Calibration_Record(content, last_records, list, description);
        if (index >= 0)
        {
            const THistoryRecord& record = records[index];
            finding.record = record.number;
            finding.hash = record.hash;
            finding.source = record;
            finding.origin =
                Is_Found_Record(record.action)
                    ? Found_Origin(record)
                    : QString("%1 by %2 at %3")
                          .arg(History_Action_Text(record.action), History_Writer_Text(record), record.time);
        }
        else
        {
            finding.origin = "not in the calibration history yet";
        }
        add(finding);
    }

    // What a reader found but did not record, and a cut-off line: none has a line a review could name.
    for (const THistoryRecord& record : comparison.records)
    {
        TFinding finding;
        if (Recorded_Finding(record,
                             record.action == THistoryRecord::History_Lost ? QString() : record.description,
                             &finding))
        {
            finding.origin = "not recorded yet";
            add(finding);
        }
    }
    if (content.incomplete_last_line)
    {
        TFinding finding;
        finding.kind = TFinding::Incomplete_Line;
        finding.text =
            "the last line of the calibration history is incomplete, a write cut off by a crash or a "
            "full disk; the next change drops it";
        add(finding);
    }

    std::stable_sort(findings.begin(), findings.end(), [](const TFinding& a, const TFinding& b) {
        return (a.record == 0 ? INT_MAX : a.record) < (b.record == 0 ? INT_MAX : b.record);
    });
    return findings;
}

bool Is_Same_Finding(const TFinding& a, const TFinding& b)
{
    return a.kind == b.kind && a.record == b.record && a.hash == b.hash &&
           TThermometerList::Lookup_Key(a.description) == TThermometerList::Lookup_Key(b.description);
}

QString Finding_Summary(const TFinding& finding)
{
    // The text of a broken chain or a damaged record names its line itself.
    const bool named = finding.kind == TFinding::Broken_Chain || finding.kind == TFinding::Damaged_Record;
    return (finding.record > 0 && !named ? QString("record %1: ").arg(finding.record) : QString()) +
           finding.text + (finding.origin.isEmpty() ? QString() : " (" + finding.origin + ")");
}

QString Review_Text(const TFinding& finding)
{
    if (!finding.reviewed)
    {
        return QString();
    }
    return QString("by %1 at %2 (record %3): %4")
        .arg(History_Writer_Text(finding.review), finding.review.time, QString::number(finding.review.number),
             finding.review.comment);
}

THistoryRecord Review_Record(const TFinding& finding, const QString& comment)
{
    THistoryRecord record;
    record.action = THistoryRecord::Reviewed;
    record.description = finding.description;
    record.reviews = finding.record;
    record.reviews_hash = finding.hash;
    record.finding = Finding_Kind_Text(finding.kind);
    record.comment = comment.trimmed();
    return record;
}

QHash<QString, TReviewedDoubt> Reviewed_Doubts(const QVector<TFinding>& findings)
{
    QHash<QString, TReviewedDoubt> reviewed;
    for (const TFinding& finding : findings)
    {
        if (finding.kind == TFinding::Doubtful_Calibration && finding.reviewed)
        {
            reviewed.insert(TThermometerList::Lookup_Key(finding.description),
                            {finding.source.after, Review_Text(finding)});
        }
    }
    return reviewed;
}

QString Doubt_Review(const QHash<QString, TReviewedDoubt>& reviewed, const TThermometerList& list,
                     const QString& description)
{
    const auto found = reviewed.constFind(TThermometerList::Lookup_Key(description));
    return found != reviewed.constEnd() && found->calibration == History_State(list, description)
               ? found->review
               : QString();
}

TMessages Finding_Messages(const QString& history_file_name, const THistoryContent& as_read,
                           const THistoryComparison& comparison, bool recorded,
                           const QVector<TFinding>& findings)
{
    // Reviewed lines of the chain and reviewed damaged records are not named again.
    QSet<int> open_breaks;
    QSet<int> open_damage;
    for (const TFinding& finding : findings)
    {
        if (!finding.reviewed && finding.kind == TFinding::Broken_Chain)
        {
            open_breaks.insert(finding.record);
        }
        if (!finding.reviewed && finding.kind == TFinding::Damaged_Record)
        {
            open_damage.insert(finding.record);
        }
    }
    THistoryContent shown = as_read;
    shown.first_break = 0;
    shown.break_reason.clear();
    for (const THistoryBreak& line : as_read.breaks)
    {
        if (open_breaks.contains(line.line))
        {
            shown.first_break = line.line;
            shown.break_reason = line.reason;
            break;
        }
    }
    THistoryComparison shown_comparison = comparison;
    shown_comparison.damaged.clear();
    for (const THistoryDamage& damage : comparison.damaged)
    {
        if (open_damage.contains(damage.record))
        {
            shown_comparison.damaged << damage;
        }
    }
    shown_comparison.damaged_records = shown_comparison.damaged.size();
    shown_comparison.first_damaged = shown_comparison.damaged.value(0).record;
    shown_comparison.damage = shown_comparison.damaged.value(0).reason;
    TMessages messages = History_Comparison_Messages(history_file_name, shown, shown_comparison, recorded);

    for (const TFinding& finding : findings)
    {
        if (finding.reviewed)
        {
            continue;
        }
        const bool held_before =
            finding.record > 0 && finding.record <= as_read.line_count &&
            (finding.kind == TFinding::Changed_Outside || finding.kind == TFinding::Not_Saved ||
             finding.kind == TFinding::History_Lost);
        const bool further_break =
            finding.kind == TFinding::Broken_Chain && finding.record != shown.first_break;
        if (held_before || further_break)
        {
            messages << TMessage::Warning(
                QString("Open finding, %1. Review it in the Calibration History window.")
                    .arg(Finding_Summary(finding)));
        }
    }
    return messages;
}

bool Has_Open_Finding(const QVector<TFinding>& findings)
{
    return std::any_of(findings.begin(), findings.end(),
                       [](const TFinding& finding) { return !finding.reviewed; });
}
