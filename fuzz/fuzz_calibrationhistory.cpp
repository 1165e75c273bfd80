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

} // namespace

// A history file from the fuzz input is read, checked against a calibration list, shown and exported;
// then a record is appended to it, which must follow the last complete line whatever came before.
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
    // Read for an append, the same lines are counted and the same head is found; the records of the
    // thermometer asked about are those of the whole read.
    const THistoryContent for_append = Read_History(bytes, THistoryCheck::Head_Only, {"probe x"});
    if (for_append.line_count != content.line_count || for_append.complete_size != content.complete_size ||
        for_append.head_hash != content.head_hash ||
        for_append.incomplete_last_line != content.incomplete_last_line)
    {
        Fail("a read for an append differs from the whole read");
    }
    for (const THistoryRecord& record : content.records)
    {
        const bool about = record.description.compare("Probe X", Qt::CaseInsensitive) == 0;
        const bool found =
            std::any_of(for_append.records.cbegin(), for_append.records.cend(),
                        [&](const THistoryRecord& other) { return other.number == record.number; });
        if (about && !found)
        {
            Fail("a record of the thermometer asked about was skipped");
        }
    }
    Reconcile_History(content, list, true, QDateTime());
    Reconcile_History(for_append, list, true, QDateTime(), {"Probe X"});
    Reconcile_History(content, TThermometerList(), false, QDateTime());
    History_Csv(content.records);
    History_Chain_Warnings(history_name, content);

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
