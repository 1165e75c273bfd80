#include "calibrationfindings.h"
#include "calibrationhistory.h"
#include "thermometerdata.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void Fail(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "history check failed: %s %s\n", what, qPrintable(detail));
    std::abort();
}

// A start as the window makes it: the history in the file is compared with list and what that finds is
// appended. A second start must then find nothing to add: every comparison reaches a fixed point.
void Start_Twice(const QString& history_name, const QByteArray& bytes, const TThermometerList& list,
                 bool complete)
{
    QFile file(history_name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
    {
        Fail("cannot write", history_name);
    }
    file.close();
    const int anchor_line = list.Get_History_Anchor().records;
    THistoryContent content;
    QString error;
    if (!Read_History_File(history_name, &content, &error, THistoryCheck::Whole_Chain, QStringList(),
                           anchor_line))
    {
        Fail("cannot read", error);
    }
    const THistoryComparison first = Compare_History(content, list, complete);
    History_Comparison_Messages(history_name, content, first, true);
    History_Agrees(content, first);
    if (!Append_History(history_name, first.records, &content, &error))
    {
        Fail("cannot append", error);
    }
    THistoryContent again;
    if (!Read_History_File(history_name, &again, &error, THistoryCheck::Whole_Chain, QStringList(),
                           anchor_line))
    {
        Fail("cannot read", error);
    }
    const THistoryComparison second = Compare_History(again, list, complete);
    if (!second.records.isEmpty())
    {
        Fail("a second start added a record:", History_Action_Text(second.records[0].action) + " " +
                                                   second.records[0].description + ": " +
                                                   History_Change_Text(second.records[0]));
    }

    // A review of every open finding that has a line closes each of them, and opens nothing of its own.
    const QDate today(2026, 12, 7);
    const QVector<TFinding> open = Calibration_Findings(again, second, list, today);
    Finding_Messages(history_name, again, second, false, open);
    QVector<THistoryRecord> reviews;
    for (const TFinding& finding : open)
    {
        Finding_Summary(finding);
        if (finding.Is_Reviewable())
        {
            reviews << Review_Record(finding, QStringLiteral("looked at it"));
        }
    }
    if (!Append_History(history_name, reviews, &again, &error))
    {
        Fail("cannot append", error);
    }
    THistoryContent reviewed;
    if (!Read_History_File(history_name, &reviewed, &error, THistoryCheck::Whole_Chain, QStringList(),
                           anchor_line))
    {
        Fail("cannot read", error);
    }
    const QVector<TFinding> after =
        Calibration_Findings(reviewed, Compare_History(reviewed, list, complete), list, today);
    for (const TFinding& finding : after)
    {
        if (finding.Is_Reviewable() && finding.record > again.line_count - reviews.size())
        {
            Fail("a review opened a finding:", Finding_Summary(finding));
        }
        for (const TFinding& before : open)
        {
            if (before.Is_Reviewable() && Is_Same_Finding(before, finding))
            {
                Fail("a review left its finding open:", Finding_Summary(finding));
            }
        }
    }
}

} // namespace

// A history file from the fuzz input is read, checked against a calibration list, shown and exported;
// a read for an append must find every record a change needs; a start, done twice, must record nothing
// the second time; and a record appended to it must follow the last complete line whatever came before.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir directory(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/velmora-history-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/velmora-history-fuzz-XXXXXX"));
    static const QString history_name = directory.filePath("calibration_history.jsonl");
    static const TThermometerList list = [] {
        TThermometerList thermometers;
        thermometers.Set_Correction_Data("Probe X",
                                         TCorrectionDialogData{15, 20, 25, 15.1, 20.1, 25.1, {}, {}});
        thermometers.Set_Calibration_Due_Date("Probe X", QDate(2027, 6, 1));
        return thermometers;
    }();
    // The same list as a file saved after the history's second record holds it.
    static const TThermometerList anchored = [] {
        TThermometerList thermometers = list;
        THistoryAnchor anchor;
        anchor.records = 2;
        anchor.last_record_hash = QByteArray(64, 'a');
        const QString file_name = directory.filePath("calibration_data.xml");
        if (!thermometers.Save_Calibration_File(file_name, anchor) ||
            !thermometers.Load_Calibration_File(file_name) || thermometers.Get_History_Anchor() != anchor)
        {
            Fail("cannot save the anchored list");
        }
        return thermometers;
    }();

    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const THistoryContent content = Read_History(bytes);
    int previous_number = 0;
    for (const THistoryRecord& record : content.records)
    {
        if (record.number <= previous_number || record.number > content.line_count)
        {
            Fail("record numbers out of order");
        }
        previous_number = record.number;
        History_Change_Text(record);
    }
    if (content.first_break == 0 && content.records.size() != content.line_count)
    {
        Fail("a line that is no record left the chain whole");
    }
    if (content.complete_size != bytes.lastIndexOf('\n') + 1 ||
        content.incomplete_last_line != (content.complete_size < bytes.size()))
    {
        Fail("complete part misjudged");
    }
    // Read for an append, the same lines are counted and the same head is found, and every record the
    // change needs is read: those of the thermometer asked about (by their states), every Not_Saved and
    // History_Lost record, the open changes at the end and the last line.
    const THistoryContent for_append = Read_History(bytes, THistoryCheck::Head_Only, {"probe x"}, 2);
    if (for_append.line_count != content.line_count || for_append.complete_size != content.complete_size ||
        for_append.head_hash != content.head_hash ||
        for_append.incomplete_last_line != content.incomplete_last_line || for_append.open_from < 1 ||
        for_append.open_from > content.line_count + 1)
    {
        Fail("a read for an append differs from the whole read");
    }
    const THistoryContent whole_anchor = Read_History(bytes, THistoryCheck::Whole_Chain, QStringList(), 2);
    if (for_append.anchor_line_hash != whole_anchor.anchor_line_hash)
    {
        Fail("a read for an append hashed another anchor line");
    }
    for (const THistoryRecord& record : content.records)
    {
        const QString key_description = record.has_after    ? record.after.description
                                        : record.has_before ? record.before.description
                                                            : QString();
        const bool needed =
            TThermometerList::Lookup_Key(key_description) == TThermometerList::Lookup_Key("Probe X") ||
            record.action == THistoryRecord::Not_Saved || record.action == THistoryRecord::History_Lost ||
            record.number >= for_append.open_from || record.number == content.line_count;
        const auto found =
            std::find_if(for_append.records.cbegin(), for_append.records.cend(),
                         [&](const THistoryRecord& other) { return other.number == record.number; });
        if (needed && found == for_append.records.cend())
        {
            Fail("a record a change needs was skipped:", QString("record %1").arg(record.number));
        }
        if (found != for_append.records.cend() &&
            (found->action != record.action || found->description != record.description ||
             found->has_after != record.has_after || found->after != record.after))
        {
            Fail("a record read for an append differs");
        }
    }
    const QStringList only = {"Probe X"};
    Compare_History(for_append, list, true, &only);
    Compare_History(whole_anchor, anchored, true, &only);
    History_Csv(content.records);
    History_Chain_Warnings(history_name, content);

    Start_Twice(history_name, bytes, list, true);
    Start_Twice(history_name, bytes, anchored, true);
    Start_Twice(history_name, bytes, list, false);

    QFile file(history_name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
    {
        Fail("cannot write", history_name);
    }
    file.close();
    THistoryContent appended;
    QString error;
    if (!Read_History_File(history_name, &appended, &error))
    {
        Fail("cannot read", error);
    }
    const QByteArray head = appended.head_hash;
    if (!Append_History(history_name, History_Differences(TThermometerList(), list), &appended, &error))
    {
        Fail("cannot append", error);
    }
    THistoryContent reread;
    if (!Read_History_File(history_name, &reread, &error) || reread.records.isEmpty())
    {
        Fail("appended record not read", error);
    }
    const THistoryRecord& last = reread.records.last();
    if (last.previous_hash != head || last.number != reread.line_count || reread.incomplete_last_line ||
        last.description != "Probe X" || (content.first_break == 0 && reread.first_break != 0))
    {
        Fail("appended record does not follow the last complete line");
    }
    return 0;
}
