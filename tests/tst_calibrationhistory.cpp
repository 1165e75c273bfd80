#include "calibrationhistory.h"
#include "calibrationstore.h"
#include "calibrationtestsupport.h"
#include "clock.h"
#include "platform.h"

#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace Test_Support;

// The calibration history as the store writes and checks it: a record for every change, settled by what
// the file holds, the chain that shows a changed, inserted or deleted line, the calibration file's
// anchor that shows a lost history, and a history and file that agree after any failure, a kill
// included (a second process started from this executable, see Writer_Main).
class TCalibrationHistoryTest : public QObject, THistoryDirectory
{
    Q_OBJECT

    static TThermometerChange Set(const QString& description, double deviation,
                                  const QDate& due_date = QDate(2027, 6, 1))
    {
        return Set_Thermometer(description, deviation, due_date);
    }
    static TThermometerChange Remove(const QString& description)
    {
        return [=](TThermometerList* list, TMessage* message) {
            list->Remove_Thermometer_Data(description);
            *message = TMessage::Info("removed " + description);
            return true;
        };
    }
    static QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

    // The line every start gives while the finding of record, written by this account at Test_Now, is
    // open.
    static QString Open_Finding(int record, const QString& text)
    {
        return QString("WAR  Open finding, record %1: %2 (found by %3 on %4 at 2026-12-07T10:30:00+01:00). "
                       "Review it in the Calibration History window.")
            .arg(QString::number(record), text, Account_Name(), QSysInfo::machineHostName());
    }

    // The store of a window just started: loaded and checked against the history.
    TCalibrationStore Start(TThermometerList* list, QStringList* lines = nullptr)
    {
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(data_directory);
        store.Load_Thermometers(list);
        const QStringList check = Log_Lines(store.Check_Calibration_History(*list).finding_messages);
        if (lines != nullptr)
        {
            *lines = check;
        }
        return store;
    }
    // What velmora-cli validate finds: the same check, recording nothing.
    THistoryCheckResult Verify()
    {
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(data_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        return store.Verify_Calibration_History(list);
    }
    // Lines 1 to 8 of the history then record: added A, saved, added B, saved, changed A, saved,
    // removed B, saved.
    static bool Change_A_And_B(TCalibrationStore* store, TThermometerList* list)
    {
        return store->Change_Thermometers(list, Set("A", 0.2)).saved &&
               store->Change_Thermometers(list, Set("B", 0.1)).saved &&
               store->Change_Thermometers(list, Set("A", 0.3)).saved &&
               store->Change_Thermometers(list, Remove("B")).saved;
    }
    QStringList Actions() const
    {
        QStringList actions;
        for (const THistoryRecord& record : History().records)
        {
            actions << History_Action_Text(record.action) + " " + record.description;
        }
        return actions;
    }
    THistoryAnchor Saved_Anchor() const
    {
        TThermometerList saved;
        saved.Load_Calibration_File(calibration_file);
        return saved.Get_History_Anchor();
    }
    // The files a save's temporary-name pattern gives, left in the data directory.
    QStringList Temporary_Files() const
    {
        return QDir(data_directory).entryList({"calibration_data.xml.??????"}, QDir::Files | QDir::Hidden);
    }
    // Another window, started before and now making one change as a process of its own (see Writer_Main):
    // its exit status, -1 when it was killed, and what it logged.
    int Run_Writer(const QString& description, double deviation, qint64 size_limit, QString* output = nullptr)
    {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     {"--writer", "change", data_directory, description, QString::number(deviation),
                      QString::number(size_limit)});
        if (!writer.waitForFinished(60000))
        {
            return -2;
        }
        if (output != nullptr)
        {
            *output = QString::fromUtf8(writer.readAllStandardOutput());
        }
        return writer.exitStatus() == QProcess::CrashExit ? -1 : writer.exitCode();
    }
    // How large the history grows when records are appended to it as it is now (they are appended to a
    // copy): a writer given that as its file size limit writes them and is killed at its next write.
    qint64 Size_After(const QVector<THistoryRecord>& records) const
    {
        const QString copy = base.filePath("size_probe.jsonl");
        QFile::remove(copy);
        QFile::copy(history_file, copy);
        THistoryContent content;
        QString error;
        Read_History_File(copy, &content, &error, THistoryCheck::Head_Only);
        return Append_History(copy, records, &content, &error) ? QFileInfo(copy).size() : -1;
    }

private slots:
    void init() { QVERIFY(Prepare()); }
    void cleanup() { Clean_Up(); }

    void Records_Every_Change()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QCOMPARE(Read_File(history_file), QByteArray()); // nothing to record yet
        QVERIFY(store.Change_Thermometers(&list, Set("Probe X", 0.2, QDate(2026, 12, 17))).saved);
        QVERIFY(store.Change_Thermometers(&list, Set("Probe X", 0.02, QDate(2062, 12, 17))).saved);
        QVERIFY(store.Change_Thermometers(&list, Set("B", 0.1)).saved);
        QVERIFY(store.Change_Thermometers(&list, Remove("Probe X")).saved);
        // A change that changes nothing is no record.
        QVERIFY(store.Change_Thermometers(&list, Set("B", 0.1)).saved);

        const THistoryContent history = History();
        QCOMPARE(history.first_break, 0);
        // Each change is marked as saved once the file holds it.
        QCOMPARE(Actions(), QStringList({"added Probe X", "saved Probe X", "changed Probe X", "saved Probe X",
                                         "added B", "saved B", "removed Probe X", "saved Probe X"}));
        for (int index = 1; index < 8; index += 2)
        {
            QCOMPARE(history.records[index].marks, index);
            QCOMPARE(History_Change_Text(history.records[index]),
                     QString("the change of record %1 reached the calibration file").arg(index));
        }
        const THistoryRecord& changed = history.records[2];
        QCOMPARE(changed.time, QString("2026-12-07T10:30:00+01:00"));
        QCOMPARE(changed.user, Account_Name());
        QCOMPARE(changed.host, QSysInfo::machineHostName());
        QCOMPARE(changed.before.due_date, QString("2026-12-17"));
        QCOMPARE(changed.after.due_date, QString("2062-12-17"));
        QCOMPARE(changed.before.points[1], QString("20.00000,0.20000"));
        QCOMPARE(changed.after.points[1], QString("20.00000,0.02000"));
        QCOMPARE(changed.after.checksum,
                 TThermometerList().Calculate_Checksum(
                     {"Probe X", Correction(15, 0.02, 20, 0.02, 25, 0.02), QDate(2062, 12, 17)}));
        QCOMPARE(History_Change_Text(changed),
                 QString("due date Dec 17 2026 -> Dec 17 2062; point 1 15.00000,0.20000 "
                         "-> 15.00000,0.02000; point 2 20.00000,0.20000 -> "
                         "20.00000,0.02000; point 3 25.00000,0.20000 -> 25.00000,0.02000"));
        const THistoryRecord& removed = history.records[6];
        QVERIFY(removed.has_before && !removed.has_after);
        QCOMPARE(removed.before, changed.after);
        // Each record names the hash of the line before it.
        const QList<QByteArray> lines = Lines();
        QCOMPARE(history.records[0].previous_hash, QByteArray(64, '0'));
        for (int index = 1; index < lines.size(); ++index)
        {
            QCOMPARE(history.records[index].previous_hash,
                     QCryptographicHash::hash(lines[index - 1], QCryptographicHash::Sha256).toHex());
        }
        // The file names where the history stood at its last save: here the last change saved nothing
        // new, so the mark before it.
        QCOMPARE(Saved_Anchor().records, 8);
        QCOMPARE(Saved_Anchor().last_record_hash, Sha256(lines[7]));
        // The file and its history agree: a new start finds nothing to report or record.
        QStringList lines_at_start;
        Start(&list, &lines_at_start);
        QCOMPARE(lines_at_start, QStringList());
        QCOMPARE(Lines(), lines);
        QVERIFY(Verify().agrees);
    }

    void First_Start_On_An_Existing_File()
    {
        QVERIFY(Write_Calibration_File({{"A"}, {"B"}}, calibration_file));
        TThermometerList list;
        QStringList lines;
        Start(&list, &lines);
        QCOMPARE(lines,
                 QStringList("INF  Calibration history started: 2 thermometer(s) recorded as first seen."));
        QCOMPARE(Actions(), QStringList({"first seen A", "first seen B"}));
        QCOMPARE(History().records[1].after, History_State(list, "B"));
        Start(&list, &lines);
        QCOMPARE(lines, QStringList());
        QCOMPARE(History().records.size(), 2);
    }

    // Lines 1 to 8 record: added A, saved, added B, saved, changed A, saved, removed B, saved; the file
    // was saved after line 7.
    void Chain_Shows_Tampering_data()
    {
        QTest::addColumn<QString>("tampering");
        QTest::addColumn<int>("first_break");
        QTest::addColumn<QString>("reason");
        // Whether line 7 is no longer the record the file was saved after.
        QTest::addColumn<bool>("moved");
        // Marks name records by their line: lines moved make marks name other records.
        QTest::addColumn<QString>("damaged");
        QTest::newRow("edited") << "edited" << 4 << "it does not follow record 3" << false << QString();
        QTest::newRow("edited first")
            << "edited first" << 2 << "it does not follow record 1" << false << QString();
        QTest::newRow("inserted")
            << "inserted" << 3 << "it is numbered 2" << true
            << "record 3 is damaged: record 1, which it marks, was settled before. 3 more "
               "record(s) are damaged as well.";
        QTest::newRow("deleted") << "deleted" << 2 << "it is numbered 3" << true
                                 << "record 3 is damaged: it marks record 3, which is no change of a "
                                    "thermometer. 2 more record(s) are damaged as well.";
        QTest::newRow("not a record") << "garbage" << 3 << "it is not a record" << true
                                      << "record 5 is damaged: it marks record 3, which is no change of a "
                                         "thermometer. 2 more record(s) are damaged as well.";
        QTest::newRow("reordered") << "swapped" << 2 << "it is numbered 3" << false
                                   << "record 4 is damaged: it marks record 3, which is no change of a "
                                      "thermometer.";
    }

    void Chain_Shows_Tampering()
    {
        QFETCH(QString, tampering);
        QFETCH(int, first_break);
        QFETCH(QString, reason);
        QFETCH(bool, moved);
        QFETCH(QString, damaged);
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(Change_A_And_B(&store, &list));
        QList<QByteArray> lines = Lines();
        QCOMPARE(lines.size(), 8);
        const QByteArray anchor_hash = Sha256(lines[6]);
        if (tampering == "edited")
        {
            lines[2].replace("0.10000", "0.01000");
        }
        else if (tampering == "edited first")
        {
            lines[0].replace("\"user\":\"", "\"user\":\"x");
        }
        else if (tampering == "inserted")
        {
            lines.insert(2, lines[1]);
        }
        else if (tampering == "deleted")
        {
            lines.removeAt(1);
        }
        else if (tampering == "garbage")
        {
            lines.insert(2, "{\"record\":3");
        }
        else
        {
            lines.swapItemsAt(1, 2);
        }
        QVERIFY(Write_Lines(lines));
        const THistoryContent history = History();
        QCOMPARE(history.first_break, first_break);
        QCOMPARE(history.break_reason, reason);

        QStringList at_start;
        Start(&list, &at_start);
        QStringList expected("WAR  Calibration history '" + Native(history_file) + "': record " +
                             QString::number(first_break) + " does not fit the chain (" + reason +
                             "); a record was changed, inserted or deleted there.");
        if (!damaged.isEmpty())
        {
            expected << "WAR  Calibration history '" + Native(history_file) + "': " + damaged;
        }
        QStringList at_every_start = expected;
        // A line more or fewer before it, and line 7 is another record: the records the file was saved
        // after cannot be trusted, so the history begins again from the file. The loss is a finding named
        // at every start until someone reviews it.
        if (moved)
        {
            at_every_start << Open_Finding(
                lines.size() + 1, "the calibration history lost records: its record 7 is not the one the "
                                  "calibration file was saved after (SHA-256 " +
                                      anchor_hash +
                                      "): the history was replaced, or changed up to that record");
            expected << "WAR  Calibration history '" + Native(history_file) +
                            "': its record 7 is not the one the calibration file was saved after (SHA-256 " +
                            anchor_hash +
                            "): the history was replaced, or changed up to that record. It begins again from "
                            "the calibration file, after a record of the loss."
                     << "INF  Calibration history started: 1 thermometer(s) recorded as first seen.";
        }
        QCOMPARE(at_start, expected);
        Start(&list, &at_start);
        QCOMPARE(at_start, at_every_start);
        QVERIFY(!Verify().agrees);
        // The break stays in place; new records go on from the last line.
        QVERIFY(store.Change_Thermometers(&list, Set("C", 0.1)).saved);
        QCOMPARE(History().first_break, first_break);
        const THistoryContent after = History();
        const auto next =
            std::find_if(after.records.cbegin(), after.records.cend(),
                         [&](const THistoryRecord& record) { return record.number == lines.size() + 1; });
        QVERIFY(next != after.records.cend());
        QCOMPARE(next->previous_hash, Sha256(lines.last()));
    }

    // What the byte sum of an entry misses, its history does not: the digits of a due date and of a
    // deviation swapped keep the checksum.
    void Hand_Edit_Keeping_The_Checksum_Is_Reported()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("Probe X", 0.2, QDate(2026, 12, 17))).saved);
        QByteArray file = Read_File(calibration_file);
        QVERIFY(file.contains("17122026") && file.count("0.20000") == 3);
        file.replace("17122026", "17122062").replace("20.00000,0.20000", "20.00000,0.02000");
        QVERIFY(Write_File(calibration_file, file));

        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(list.Get_Checksum_Error_Count(), 0);
        QCOMPARE(list.Get_Calibration_Due_Date("Probe X"), QDate(2062, 12, 17));
        QCOMPARE(at_start,
                 QStringList("WAR  Thermometer 'Probe X' was changed outside Velmora: due date Dec 17 2026 "
                             "-> Dec 17 2062; point 2 20.00000,0.20000 -> 20.00000,0.02000. The change is "
                             "recorded in the calibration history."));
        QCOMPARE(Actions(),
                 QStringList({"added Probe X", "saved Probe X", "changed outside Velmora Probe X"}));
        // Found once, named at every start until someone reviews it; recorded once.
        Start(&list, &at_start);
        QCOMPARE(at_start,
                 QStringList(Open_Finding(3, "thermometer 'Probe X' was changed outside Velmora: due "
                                             "date Dec 17 2026 -> Dec 17 2062; point 2 "
                                             "20.00000,0.20000 -> 20.00000,0.02000")));
        QCOMPARE(History().line_count, 3);
    }

    // Edited by hand while a window is open, then changed in it: the edit is recorded before the change,
    // which starts from what the file held.
    void Hand_Edit_Before_A_Change_Is_Recorded_First()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.2)).saved);
        QVERIFY(store.Change_Thermometers(&list, Set("B", 0.2)).saved);
        QVERIFY(Write_Calibration_File({{"A", 0.3, QDate(2027, 6, 1)}, {"B", 0.2, QDate(2027, 6, 1)}},
                                       calibration_file));
        const TThermometerChangeResult result = store.Change_Thermometers(&list, Set("A", 0.4));
        QVERIFY(result.saved && result.reloaded);
        QCOMPARE(
            Log_Lines(result.messages.mid(1)),
            QStringList({"WAR  Thermometer 'A' was changed outside Velmora: point 1 15.00000,0.20000 -> "
                         "15.00000,0.30000; point 2 20.00000,0.20000 -> 20.00000,0.30000; point 3 "
                         "25.00000,0.20000 -> 25.00000,0.30000. The change is recorded in the calibration "
                         "history.",
                         "INF  set A"}));
        QCOMPARE(Actions(), QStringList({"added A", "saved A", "added B", "saved B",
                                         "changed outside Velmora A", "changed A", "saved A"}));
        QCOMPARE(History().records[5].before.points[0], QString("15.00000,0.30000"));
    }

    // A read for an append parses only the lines a change may need and passes over the rest by their
    // head. A damaged line can say one thing in its head and another when parsed (a key repeated further
    // on replaces the first): such a line must be parsed, or a change misses a record of its thermometer.
    void Read_For_Append_Takes_What_A_Change_Needs_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("appended");
        QTest::newRow("as written") << 0 << QByteArray();
        QTest::newRow("mark holding a state") << 2 << QByteArray(",\"before\":STATE");
        QTest::newRow("mark that is a change") << 4 << QByteArray(",\"action\":\"changed\",\"after\":STATE");
        QTest::newRow("change of another thermometer") << 3 << QByteArray(",\"after\":STATE");
    }

    void Read_For_Append_Takes_What_A_Change_Needs()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, appended);
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(Change_A_And_B(&store, &list));
        QList<QByteArray> lines = Lines();
        QCOMPARE(lines.size(), 8);
        if (line > 0)
        {
            // A's state as the first record holds it.
            const QByteArray state =
                lines[0].mid(lines[0].indexOf("\"after\":") + 8).split('}').first() + "}";
            QByteArray& damaged = lines[line - 1];
            damaged.chop(1);
            damaged += QByteArray(appended).replace("STATE", state) + "}";
        }
        QVERIFY(Write_Lines(lines));
        const QByteArray bytes = Read_File(history_file);
        const THistoryContent whole = Read_History(bytes);
        const THistoryContent for_append = Read_History(bytes, THistoryCheck::Head_Only, {"a"});
        QCOMPARE(whole.records.size(), 8);
        for (const THistoryRecord& record : whole.records)
        {
            const QString description = record.has_after    ? record.after.description
                                        : record.has_before ? record.before.description
                                                            : QString();
            if (description != "A" && record.number < for_append.open_from && record.number != 8)
            {
                continue;
            }
            const auto found =
                std::find_if(for_append.records.cbegin(), for_append.records.cend(),
                             [&](const THistoryRecord& other) { return other.number == record.number; });
            QVERIFY2(found != for_append.records.cend(), qPrintable(QString("record %1").arg(record.number)));
            QCOMPARE(found->action, record.action);
        }
    }

    // Thermometers added or removed by hand, or the last record deleted, which no chain can show.
    void Entries_Added_Or_Removed_Outside_Are_Reported_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("warning");
        QTest::newRow("removed by hand") << "remove"
                                         << "WAR  Thermometer 'B' was changed outside Velmora: due date "
                                            "Jun 01 2027, points 15.00000,0.10000 / 20.00000,0.10000 / "
                                            "25.00000,0.10000 -> none. The change is recorded in the "
                                            "calibration history.";
        QTest::newRow("added by hand") << "add"
                                       << "WAR  Thermometer 'C' was changed outside Velmora: none -> due "
                                          "date Jun 01 2027, points 15.00000,0.12000 / 20.00000,0.12000 / "
                                          "25.00000,0.12000. The change is recorded in the calibration "
                                          "history.";
    }

    void Entries_Added_Or_Removed_Outside_Are_Reported()
    {
        QFETCH(QString, edit);
        QFETCH(QString, warning);
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.2)).saved);
        QVERIFY(store.Change_Thermometers(&list, Set("B", 0.1)).saved);
        if (edit == "remove")
        {
            QVERIFY(Write_Calibration_File({{"A", 0.2, QDate(2027, 6, 1)}}, calibration_file));
        }
        else
        {
            QVERIFY(Write_Calibration_File({{"A", 0.2, QDate(2027, 6, 1)},
                                            {"B", 0.1, QDate(2027, 6, 1)},
                                            {"C", 0.12, QDate(2027, 6, 1)}},
                                           calibration_file));
        }
        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList(warning));
        QCOMPARE(History().first_break, 0);
    }

    // A failed save after its record was written, and a record that cannot be written: history and file
    // agree at once (a kill is Killed_Writer_Is_Settled).
    void Failures_Leave_History_And_File_Consistent_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QStringList>("actions");
        QTest::newRow("save fails after the record")
            << "file size" << QStringList({"first seen " + QString(2000, '&'), "added X", "not saved X"});
        QTest::newRow("record cannot be written")
            << "full disk" << QStringList({"first seen " + QString(2000, '&')});
    }

    void Failures_Leave_History_And_File_Consistent()
    {
        QFETCH(QString, failure);
        QFETCH(QStringList, actions);
        // Escaped in the calibration file, the description makes it larger than the history.
        QVERIFY(Write_Calibration_File({{QString(2000, '&')}}, calibration_file));
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        const QByteArray file_before = Read_File(calibration_file);
        const QByteArray history_before = Read_File(history_file);
        QVERIFY(history_before.size() + 1000 < file_before.size());

        TThermometerChangeResult result;
        if (failure == "file size")
        {
            With_File_Size_Limit(rlim_t(file_before.size()),
                                 [&] { result = store.Change_Thermometers(&list, Set("X", 0.1)); });
            QCOMPARE(result.messages.size(), 1);
            QVERIFY2(result.messages[0].Log_Line().startsWith("ERR  error writing file '" + calibration_file +
                                                              "'"),
                     qPrintable(result.messages[0].Log_Line()));
        }
        else
        {
            // Room for part of the record only: what was written of it must go again.
            With_File_Size_Limit(rlim_t(history_before.size() + 100),
                                 [&] { result = store.Change_Thermometers(&list, Set("X", 0.1)); });
            QCOMPARE(Log_Lines(result.messages), QStringList("ERR  Cannot write calibration history '" +
                                                             QDir::toNativeSeparators(history_file) +
                                                             "': File too large; the change was not saved."));
            QCOMPARE(Read_File(history_file), history_before);
        }
        QVERIFY(!result.saved);
        QCOMPARE(list.Get_Descriptions(), QStringList(QString(2000, '&')));
        QCOMPARE(Read_File(calibration_file), file_before);
        QCOMPARE(Temporary_Files(), QStringList());

        // A change recorded but not saved is a finding, named at every start.
        const QStringList open =
            failure == "file size"
                ? QStringList(Open_Finding(3, "the change of record 2 (thermometer 'X') never reached the "
                                              "calibration file"))
                : QStringList();
        TThermometerList next_list;
        QStringList at_start;
        Start(&next_list, &at_start);
        QCOMPARE(at_start, open);
        QCOMPARE(Actions(), actions);
        QCOMPARE(History().first_break, 0);
        // The history says what the file holds: the same change now saves and is recorded once.
        QVERIFY(store.Change_Thermometers(&next_list, Set("X", 0.1)).saved);
        QCOMPARE(Actions(), actions + QStringList({"added X", "saved X"}));
        Start(&next_list, &at_start);
        QCOMPARE(at_start, open);
    }

    // A window killed in the middle of a change (a process of its own, killed by the file size limit at
    // a write, as by a crash): before the file was replaced, leaving the save's temporary file, or after,
    // before the mark that says so. Whichever comes next, a new window's start or a change in a window
    // that was open all along, settles the change by what the file holds, never by when it was written.
    void Killed_Writer_Is_Settled_data()
    {
        QTest::addColumn<bool>("after_rename");
        QTest::addColumn<bool>("by_change");
        QTest::newRow("before the rename, settled at start") << false << false;
        QTest::newRow("before the rename, settled by another change") << false << true;
        QTest::newRow("after the rename, settled at start") << true << false;
        QTest::newRow("after the rename, settled by another change") << true << true;
    }

    void Killed_Writer_Is_Settled()
    {
        QFETCH(bool, after_rename);
        QFETCH(bool, by_change);
        // Escaped, the description makes the file larger than its history; plain and long, the history
        // larger than the file.
        const QString first = after_rename ? QString(3000, 'x') : QString(2000, '&');
        QVERIFY(Write_Calibration_File({{first, 0.12, QDate(2027, 6, 1)}}, calibration_file));
        TThermometerList open_list;
        TCalibrationStore open_window = Start(&open_list);
        const QByteArray file_before = Read_File(calibration_file);

        // Before the rename: the record fits, the new file does not. After: the record and the new file
        // fit, the mark does not.
        TThermometerList with_x = open_list;
        TMessage message;
        QVERIFY(Set("X", 0.1)(&with_x, &message));
        const qint64 limit =
            after_rename ? Size_After(History_Differences(open_list, with_x)) : file_before.size();
        QVERIFY(limit > 0 && QFileInfo(history_file).size() < limit);
        QCOMPARE(Run_Writer("X", 0.1, limit), -1);
        QCOMPARE(Actions(), QStringList({"first seen " + first, "added X"}));
        QCOMPARE(Read_File(calibration_file).contains(">X<"), after_rename);
        // Where the system can make a file without a name (O_TMPFILE), a save names its temporary file
        // only just before the rename; elsewhere (network shares) the kill leaves it.
        const QStringList left = Temporary_Files();
        QVERIFY(left.size() <= (after_rename ? 0 : 1));

        const QString settled =
            after_rename
                ? "INF  The change of record 2 of the calibration history ('X') reached the calibration "
                  "file; the record is marked as saved."
                : "WAR  The change of record 2 of the calibration history ('X') never reached the "
                  "calibration file; the record is marked as not saved.";
        if (by_change)
        {
            const TThermometerChangeResult result =
                open_window.Change_Thermometers(&open_list, Set("C", 0.2));
            QVERIFY(result.saved);
            QStringList expected;
            for (const QString& name : left)
            {
                expected << "INF  Removed '" + Native(data_directory + "/" + name) +
                                "', left by a save of the calibration file that was interrupted.";
            }
            if (after_rename)
            {
                expected << "INF  Calibration file '" + Native(calibration_file) +
                                "' was changed by another writer; reloaded it first.";
            }
            expected << settled << "INF  set C";
            QCOMPARE(Log_Lines(result.messages), expected);
        }
        else
        {
            QStringList at_start;
            TThermometerList list;
            Start(&list, &at_start);
            QCOMPARE(at_start, QStringList(settled));
            QVERIFY(Start(&list).Change_Thermometers(&list, Set("C", 0.2)).saved);
        }
        QCOMPARE(Actions(), QStringList({"first seen " + first, "added X",
                                         after_rename ? "saved X" : "not saved X", "added C", "saved C"}));
        QCOMPARE(Temporary_Files(), QStringList());
        QStringList at_start;
        TThermometerList list;
        Start(&list, &at_start);
        QCOMPARE(at_start, after_rename
                               ? QStringList()
                               : QStringList(Open_Finding(3, "the change of record 2 (thermometer 'X') "
                                                             "never reached the calibration file")));
        QCOMPARE(list.Get_Descriptions(),
                 after_rename ? QStringList({first, "X", "C"}) : QStringList({first, "C"}));
        QVERIFY(Verify().agrees);
    }

    // A failed save whose mark does not fit either (a full disk), then a change in another window: that
    // change settles the first before its own, by what the file holds.
    void Unmarked_Failure_Is_Settled_By_The_Next_Change()
    {
        QVERIFY(Write_Calibration_File({{QString(2000, '&')}}, calibration_file));
        TThermometerList first_list;
        TCalibrationStore first = Start(&first_list);
        TThermometerList second_list;
        TCalibrationStore second = Start(&second_list);
        TThermometerList with_a = first_list;
        TMessage message;
        QVERIFY(Set("Probe A", 0.1)(&with_a, &message));
        const qint64 limit = Size_After(History_Differences(first_list, with_a));
        QVERIFY(limit < QFileInfo(calibration_file).size());
        TThermometerChangeResult failed;
        With_File_Size_Limit(rlim_t(limit),
                             [&] { failed = first.Change_Thermometers(&first_list, Set("Probe A", 0.1)); });
        QVERIFY(!failed.saved);
        QCOMPARE(Actions().last(), QString("added Probe A"));

        const TThermometerChangeResult result = second.Change_Thermometers(&second_list, Set("Probe C", 0.2));
        QVERIFY(result.saved);
        QCOMPARE(
            Log_Lines(result.messages),
            QStringList({"WAR  The change of record 2 of the calibration history ('Probe A') never reached "
                         "the calibration file; the record is marked as not saved.",
                         "INF  set Probe C"}));
        QStringList at_start;
        TThermometerList list;
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList(Open_Finding(3, "the change of record 2 (thermometer 'Probe A') never "
                                                       "reached the calibration file")));
        QCOMPARE(Actions().mid(1),
                 QStringList({"added Probe A", "not saved Probe A", "added Probe C", "saved Probe C"}));
    }

    // Saved, but the disk filled up before the mark: the change stands, and the next start marks it.
    void Mark_That_Does_Not_Fit_Is_Made_Later()
    {
        // Plain and long, the description makes the history larger than the file.
        QVERIFY(Write_Calibration_File({{QString(3000, 'x')}}, calibration_file));
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        TThermometerList with_x = list;
        TMessage message;
        QVERIFY(Set("X", 0.1)(&with_x, &message));
        const qint64 limit = Size_After(History_Differences(list, with_x));
        TThermometerChangeResult result;
        With_File_Size_Limit(rlim_t(limit),
                             [&] { result = store.Change_Thermometers(&list, Set("X", 0.1)); });
        QVERIFY(result.saved);
        QCOMPARE(Log_Lines(result.messages),
                 QStringList({"INF  set X", "WAR  Cannot write calibration history '" + Native(history_file) +
                                                "': File too large; the change was saved, and the "
                                                "next change or start marks it as saved."}));
        QCOMPARE(list.Get_Descriptions(), QStringList({QString(3000, 'x'), "X"}));
        QCOMPARE(QFileInfo(history_file).size(), limit);
        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(at_start,
                 QStringList("INF  The change of record 2 of the calibration history ('X') reached the "
                             "calibration file; the record is marked as saved."));
        QCOMPARE(Actions().mid(1), QStringList({"added X", "saved X"}));
    }

    // A backup put back, with its old file time (cp -p, rsync -a) or a new one: the change it undoes was
    // in force and marked as saved, so the difference is a change outside Velmora.
    void Restored_Backup_Is_Changed_Outside_data()
    {
        QTest::addColumn<bool>("keep_time");
        QTest::newRow("with its old file time") << true;
        QTest::newRow("with a new file time") << false;
    }

    void Restored_Backup_Is_Changed_Outside()
    {
        QFETCH(bool, keep_time);
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("Probe X", 0.2)).saved);
        const QByteArray backup = Read_File(calibration_file);
        QVERIFY(store.Change_Thermometers(&list, Set("Probe X", 0.3)).saved);
        QVERIFY(Write_File(calibration_file, backup));
        if (keep_time)
        {
            // Yesterday's file, as cp -p puts it back.
            struct utimbuf times;
            times.actime = times.modtime = time(nullptr) - 86400;
            QCOMPARE(utime(QFile::encodeName(calibration_file).constData(), &times), 0);
        }
        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(
            at_start,
            QStringList("WAR  Thermometer 'Probe X' was changed outside Velmora: point 1 15.00000,0.30000 -> "
                        "15.00000,0.20000; point 2 20.00000,0.30000 -> 20.00000,0.20000; point 3 "
                        "25.00000,0.30000 -> 25.00000,0.20000. The change is recorded in the calibration "
                        "history."));
        QCOMPARE(Actions().mid(4), QStringList("changed outside Velmora Probe X"));
        Start(&list, &at_start);
        QCOMPARE(at_start,
                 QStringList(Open_Finding(
                     5, "thermometer 'Probe X' was changed outside Velmora: point 1 15.00000,0.30000 "
                        "-> 15.00000,0.20000; point 2 20.00000,0.30000 -> 20.00000,0.20000; point 3 "
                        "25.00000,0.30000 -> 25.00000,0.20000")));
    }

    // A start whose records do not fit on the disk still names what it found, as not recorded, leaves the
    // history as it was and keeps the finding open, with no record giving the calibration the file holds.
    void Check_That_Cannot_Record_Names_What_It_Found()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("Probe X", 0.2)).saved);
        const QByteArray backup = Read_File(calibration_file);
        QVERIFY(store.Change_Thermometers(&list, Set("Probe X", 0.3)).saved);
        QVERIFY(Write_File(calibration_file, backup));
        const QByteArray history_before = Read_File(history_file);

        TCalibrationStore started = TCalibrationStore::In_Data_Directory(data_directory);
        TThermometerList loaded;
        started.Load_Thermometers(&loaded);
        THistoryCheckResult result;
        With_File_Size_Limit(rlim_t(history_before.size()),
                             [&] { result = started.Check_Calibration_History(loaded); });
        const QString change = "point 1 15.00000,0.30000 -> 15.00000,0.20000; point 2 20.00000,0.30000 -> "
                               "20.00000,0.20000; point 3 25.00000,0.30000 -> 25.00000,0.20000";
        const QString not_recorded = "ERR  Cannot write calibration history '" + Native(history_file) +
                                     "': File too large; what the check found was not recorded.";
        QCOMPARE(Log_Lines(result.finding_messages),
                 QStringList({"WAR  Thermometer 'Probe X' was changed outside Velmora: " + change + ".",
                              not_recorded}));
        QCOMPARE(Log_Lines(result.messages), Log_Lines(result.finding_messages));
        QVERIFY(result.checked);
        QVERIFY(!result.agrees);
        QCOMPARE(Read_File(history_file), history_before);
        QCOMPARE(result.content.line_count, History().line_count);
        QCOMPARE(result.findings.size(), 1);
        QCOMPARE(int(result.findings[0].kind), int(TFinding::Changed_Outside));
        QCOMPARE(result.findings[0].record, 0);
        QCOMPARE(started.Calibration_Record(loaded, "Probe X").number, 0);

        // Once there is room, the next start records it.
        QStringList at_start;
        Start(&loaded, &at_start);
        QCOMPARE(at_start, QStringList("WAR  Thermometer 'Probe X' was changed outside Velmora: " + change +
                                       ". The change is recorded in the calibration history."));
        QCOMPARE(Actions().mid(4), QStringList("changed outside Velmora Probe X"));
    }

    // Two windows on one data directory write one chain, each change relative to the other's.
    void Two_Windows_Interleave_Changes()
    {
        TThermometerList first_list;
        TCalibrationStore first = Start(&first_list);
        TThermometerList second_list;
        TCalibrationStore second = Start(&second_list);
        QVERIFY(first.Change_Thermometers(&first_list, Set("A", 0.1)).saved);
        QVERIFY(second.Change_Thermometers(&second_list, Set("B", 0.2)).saved);
        QVERIFY(first.Change_Thermometers(&first_list, Set("B", 0.3)).saved);
        QVERIFY(second.Change_Thermometers(&second_list, Remove("A")).saved);
        QCOMPARE(Actions(), QStringList({"added A", "saved A", "added B", "saved B", "changed B", "saved B",
                                         "removed A", "saved A"}));
        QCOMPARE(History().records[4].before.points[0], QString("15.00000,0.20000"));
        QCOMPARE(History().first_break, 0);
        QStringList at_start;
        TThermometerList list;
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList());
    }

    // A record cut off by a crash is no record: reported, then dropped by the next change.
    void Incomplete_Last_Line_Is_Dropped()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.1)).saved);
        const QByteArray whole = Read_File(history_file);
        QVERIFY(Write_File(history_file, whole + "{\"record\":2,\"time\":\"2026"));
        QCOMPARE(History().records.size(), 2);
        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList("WAR  Calibration history '" + QDir::toNativeSeparators(history_file) +
                                       "': its last line is incomplete, a write cut off by a crash or a full "
                                       "disk; it is no record and is dropped at the next change."));
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.2)).saved);
        QVERIFY(Read_File(history_file).startsWith(whole));
        QCOMPARE(History().first_break, 0);
        QVERIFY(!History().incomplete_last_line);
        QCOMPARE(Actions(), QStringList({"added A", "saved A", "changed A", "saved A"}));
    }

    // Lines 1 to 4 record: added A, saved, added B, saved; the file was saved after line 3. A history
    // deleted, emptied, cut or replaced cannot take that anchor with it.
    void Lost_History_Is_Named_data()
    {
        QTest::addColumn<QString>("loss");
        QTest::addColumn<QString>("found"); // after "WAR  Calibration history '...': "; empty: none
        QTest::addColumn<QStringList>("actions");
        const QString anchor = "the calibration file was saved after its record 3 (SHA-256 %1)";
        const QStringList again = {"history lost ", "first seen A", "first seen B"};
        QTest::newRow("deleted") << "deleted"
                                 << "it is missing or empty, but " + anchor + ": 3 record(s) are missing"
                                 << again;
        QTest::newRow("emptied") << "emptied"
                                 << "it is missing or empty, but " + anchor + ": 3 record(s) are missing"
                                 << again;
        QTest::newRow("cut") << "cut"
                             << "it ends at record 1, but " + anchor + ": 2 record(s) are missing"
                             << QStringList("added A") + again;
        QTest::newRow("replaced")
            << "replaced"
            << "its record 3 is not the one the calibration file was saved after (SHA-256 "
               "%1): the history was replaced, or changed up to that record"
            << QStringList({"added A", "saved A", "added B", "saved B"}) + again;
        // Only the last mark: the records the file was saved after are all there.
        QTest::newRow("mark cut") << "mark cut" << QString()
                                  << QStringList({"added A", "saved A", "added B"});
    }

    void Lost_History_Is_Named()
    {
        QFETCH(QString, loss);
        QFETCH(QString, found);
        QFETCH(QStringList, actions);
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.2)).saved);
        QVERIFY(store.Change_Thermometers(&list, Set("B", 0.1)).saved);
        QList<QByteArray> lines = Lines();
        QCOMPARE(lines.size(), 4);
        const QByteArray anchor_hash = Sha256(lines[2]);
        found = found.arg(QString::fromLatin1(anchor_hash));
        if (loss == "deleted")
        {
            QVERIFY(QFile::remove(history_file));
        }
        else if (loss == "replaced")
        {
            // Another history of as many records: here the same changes recorded by someone else.
            for (QByteArray& line : lines)
            {
                line.replace("\"user\":\"", "\"user\":\"x");
            }
            QByteArray previous(64, '0');
            for (QByteArray& line : lines)
            {
                line.replace(line.indexOf("\"previous\":\"") + 12, 64, previous);
                previous = Sha256(line);
            }
        }
        else
        {
            lines = loss == "emptied" ? QList<QByteArray>()
                    : loss == "cut"   ? lines.mid(0, 1)
                                      : lines.mid(0, 3);
        }
        QVERIFY(loss == "deleted" || Write_Lines(lines));
        const QString warning = "WAR  Calibration history '" + Native(history_file) + "': " + found + ".";

        // What velmora-cli validate says, recording nothing.
        const THistoryCheckResult verified = Verify();
        QCOMPARE(verified.agrees, found.isEmpty());
        QCOMPARE(Log_Lines(verified.messages), found.isEmpty() ? QStringList() : QStringList(warning));

        QStringList at_start;
        Start(&list, &at_start);
        if (found.isEmpty())
        {
            QCOMPARE(at_start,
                     QStringList("INF  The change of record 3 of the calibration history ('B') reached "
                                 "the calibration file; the record is marked as saved."));
            actions << "saved B";
        }
        else
        {
            QCOMPARE(at_start,
                     QStringList({warning + " It begins again from the calibration file, after a record "
                                            "of the loss.",
                                  "INF  Calibration history started: 2 thermometer(s) recorded as "
                                  "first seen."}));
            // The record of the loss says what the history lost.
            const THistoryRecord lost = History().records[actions.indexOf("history lost ")];
            QCOMPARE(lost.anchor_records, 3);
            QCOMPARE(lost.anchor_hash, anchor_hash);
            QCOMPARE(History_Change_Text(lost), found);
        }
        QCOMPARE(Actions(), actions);
        QCOMPARE(History().first_break, 0);
        // Recorded, the loss is what later checks see; nothing is recorded twice, and the loss is named at
        // every start until someone reviews it.
        const QStringList open =
            found.isEmpty() ? QStringList()
                            : QStringList(Open_Finding(actions.indexOf("history lost ") + 1,
                                                       "the calibration history lost records: " + found));
        Start(&list, &at_start);
        QCOMPARE(at_start, open);
        QVERIFY(Verify().agrees);
        QVERIFY(store.Change_Thermometers(&list, Set("C", 0.3)).saved);
        QCOMPARE(Saved_Anchor().records, History().line_count - 1);
        Start(&list, &at_start);
        QCOMPARE(at_start, open);
    }

    // Deleted while a window is open: its next change finds the loss, and the history begins again
    // before the change's record.
    void Lost_History_Is_Named_At_A_Change()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.2)).saved);
        const QByteArray anchor_hash = Sha256(Lines()[0]);
        QVERIFY(QFile::remove(history_file));
        const TThermometerChangeResult result = store.Change_Thermometers(&list, Set("B", 0.1));
        QVERIFY(result.saved);
        QCOMPARE(Log_Lines(result.messages),
                 QStringList(
                     {"WAR  Calibration history '" + Native(history_file) +
                          "': it is missing or empty, but the calibration file was saved after its record 1 "
                          "(SHA-256 " +
                          anchor_hash +
                          "): 1 record(s) are missing. It begins again from the calibration file, after a "
                          "record of the loss.",
                      "INF  set B"}));
        QCOMPARE(Actions(), QStringList({"history lost ", "first seen A", "added B", "saved B"}));
        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList(Open_Finding(
                               1, "the calibration history lost records: it is missing or empty, but the "
                                  "calibration file was saved after its record 1 (SHA-256 " +
                                      anchor_hash + "): 1 record(s) are missing")));
    }

    // Records whose parts say different things (found by fuzzing: a "thermometer" of another name, with a
    // control character or a trailing space): named once at each check, never recorded over and over.
    void Self_Contradicting_Record_Is_Named_Once_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("damage");
        QTest::newRow("another name")
            << "name Probe Y"
            << "its thermometer 'Probe Y' is not the one its states describe, 'Probe X'";
        QTest::newRow("trailing space") << "name Probe X "
                                        << "its thermometer 'Probe X ' is not the one its states describe, "
                                           "'Probe X'";
        QTest::newRow("control character")
            << "name Probe\x01X"
            << "its thermometer 'Probe\x01X' is not the one its states describe, "
               "'Probe X'";
        QTest::newRow("no such thermometer")
            << "state"
            << "it describes no thermometer that a calibration file can hold";
        QTest::newRow("states of two thermometers")
            << "before Probe W"
            << "its states describe two thermometers, 'Probe W' and 'Probe X'";
        QTest::newRow("states against the action") << "before Probe X"
                                                   << "its states do not fit its action 'first seen'";
        QTest::newRow("mark of no change") << "mark"
                                           << "it marks record 1, which is no change of a thermometer";
        QTest::newRow("two of them")
            << "name Probe Y;name Probe Z"
            << "its thermometer 'Probe Y' is not the one its states describe, 'Probe X'. 1 "
               "more record(s) are damaged as well";
    }

    void Self_Contradicting_Record_Is_Named_Once()
    {
        QFETCH(QString, kind);
        QFETCH(QString, damage);
        QVERIFY(Write_Calibration_File({{"Probe X", 0.1, QDate(2027, 6, 1)}}, calibration_file));
        TThermometerList file_list;
        QVERIFY(file_list.Load_Calibration_File(calibration_file));
        const THistoryState state = History_State(file_list, "Probe X");
        THistoryRecord first_seen;
        first_seen.action = THistoryRecord::First_Seen;
        first_seen.description = "Probe X";
        first_seen.has_after = true;
        first_seen.after = state;
        QVector<THistoryRecord> records{first_seen};
        for (const QString& part : kind.split(';'))
        {
            // None is a change, which would be settled once by a mark.
            THistoryRecord record = first_seen;
            if (part.startsWith("name "))
            {
                record.description = part.mid(5);
            }
            else if (part == "state")
            {
                record.description = "Probe\x02X";
                record.after.description = "Probe\x02X";
            }
            else if (part.startsWith("before "))
            {
                record.action =
                    part == "before Probe W" ? THistoryRecord::Changed_Outside : THistoryRecord::First_Seen;
                record.has_before = true;
                record.before = state;
                record.before.description = part.mid(7);
            }
            else
            {
                record = THistoryRecord();
                record.action = THistoryRecord::Saved;
                record.description = "Probe X";
                record.marks = 1;
            }
            records << record;
        }
        THistoryContent content = History();
        QString error;
        QVERIFY(Append_History(history_file, records, &content, &error));
        const QByteArray written = Read_File(history_file);

        const QString warning =
            "WAR  Calibration history '" + Native(history_file) + "': record 2 is damaged: " + damage + ".";
        for (int start = 0; start < 2; ++start)
        {
            QStringList at_start;
            TThermometerList list;
            Start(&list, &at_start);
            QCOMPARE(at_start, QStringList(warning));
            QCOMPARE(Read_File(history_file), written);
        }
        QVERIFY(!Verify().agrees);
    }

    // Two calibration files in one folder never share a history: their locks differ, so two writers could
    // interleave in it.
    void One_History_Per_Calibration_File_data()
    {
        QTest::addColumn<QString>("file_name");
        QTest::addColumn<QString>("history_name");
        QTest::newRow("the data directory's") << "calibration_data.xml"
                                              << "calibration_history.jsonl";
        QTest::newRow("named like its history") << "calibration.xml"
                                                << "calibration.xml.history.jsonl";
        QTest::newRow("another name") << "other.xml"
                                      << "other_history.jsonl";
        QTest::newRow("two dots") << "lab.2026.xml"
                                  << "lab.2026_history.jsonl";
        QTest::newRow("another suffix") << "other.XML"
                                        << "other.XML.history.jsonl";
        QTest::newRow("no suffix") << "other"
                                   << "other.history.jsonl";
        QTest::newRow("only a suffix") << ".xml"
                                       << ".xml.history.jsonl";
    }

    void One_History_Per_Calibration_File()
    {
        QFETCH(QString, file_name);
        QFETCH(QString, history_name);
        QCOMPARE(History_File_Name(data_directory + "/" + file_name), data_directory + "/" + history_name);
        // Saved in the same folder as the data directory's own file, each keeps its own history.
        const QString other_file = data_directory + "/" + file_name;
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.2)).saved);
        TCalibrationStore other = TCalibrationStore::For_Calibration_File(other_file);
        TThermometerList other_list;
        other.Load_Thermometers(&other_list);
        QVERIFY(other.Change_Thermometers(&other_list, Set("B", 0.1)).saved);
        if (file_name != "calibration_data.xml")
        {
            QCOMPARE(Actions(), QStringList({"added A", "saved A"}));
        }
        QCOMPARE(Log_Lines(other.Verify_Calibration_History(other_list).messages), QStringList());
        QVERIFY(Verify().agrees);
    }

    // Checking needs no lock file: a data folder that cannot be written is still checked, and the check
    // says what it could not record.
    void Read_Only_Folder_Is_Checked()
    {
        if (geteuid() == 0)
        {
            QSKIP("root writes into read-only directories");
        }
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("Probe X", 0.2)).saved);
        QByteArray file = Read_File(calibration_file);
        file.replace("20.00000,0.20000", "20.00000,0.02000");
        QVERIFY(Write_File(calibration_file, file));
        const QByteArray history = Read_File(history_file);
        QVERIFY(QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::ExeOwner));
        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(at_start,
                 QStringList(
                     {"WAR  Thermometer 'Probe X' was changed outside Velmora: point 2 20.00000,0.20000 -> "
                      "20.00000,0.02000.",
                      "WAR  Calibration history '" + Native(history_file) +
                          "': what the check found was not recorded: the lock file '" +
                          Native(calibration_file + ".lock") +
                          "' cannot be created: " + QString::fromLocal8Bit(std::strerror(EACCES)) + "."}));
        QCOMPARE(Read_File(history_file), history);
        QVERIFY(!Verify().agrees);
        QVERIFY(
            QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        Start(&list, &at_start);
        QCOMPARE(at_start.size(), 1);
        QVERIFY(at_start[0].endsWith(" The change is recorded in the calibration history."));
        QVERIFY(QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::ExeOwner));
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList(Open_Finding(3, "thermometer 'Probe X' was changed outside Velmora: "
                                                       "point 2 20.00000,0.20000 -> 20.00000,0.02000")));
    }

    // What a save killed before its rename leaves is removed at the next change, and only that: never the
    // lock file, a kept copy, another file's or a name of another pattern.
    void Leftover_Temporary_Files_Are_Removed()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        const QStringList left = {"calibration_data.xml.Zz9aB1", "calibration_data.xml.000000"};
        const QStringList kept = {"calibration_data.xml.Zz9aB",         "calibration_data.xml.Zz9aB12",
                                  "calibration_data.xml.Zz9-B1",        "calibration_data_kept_1.xml",
                                  "calibration_data_kept_1.xml.Zz9aB1", "other.xml.Zz9aB1",
                                  "calibration_data.xmlZz9aB1"};
        for (const QString& name : left + kept)
        {
            QVERIFY(Write_File(data_directory + "/" + name, "<"));
        }
        QVERIFY(QDir(data_directory).mkdir("calibration_data.xml.Dir123"));
        QVERIFY(QFile::link(data_directory + "/other.xml.Zz9aB1",
                            data_directory + "/calibration_data.xml.Lnk123"));
        const TThermometerChangeResult result = store.Change_Thermometers(&list, Set("A", 0.2));
        QVERIFY(result.saved);
        QStringList removed;
        for (const QString& name : left)
        {
            removed << "INF  Removed '" + Native(data_directory + "/" + name) +
                           "', left by a save of the calibration file that was interrupted.";
        }
        const QStringList lines = Log_Lines(result.messages);
        QCOMPARE(QSet<QString>(lines.begin(), lines.end() - 1),
                 QSet<QString>(removed.begin(), removed.end()));
        QCOMPARE(result.messages.last().Log_Line(), QString("INF  set A"));
        for (const QString& name :
             kept + QStringList({"calibration_data.xml.Dir123", "calibration_data.xml.Lnk123"}))
        {
            QVERIFY2(QFileInfo::exists(data_directory + "/" + name), qPrintable(name));
        }
        for (const QString& name : left)
        {
            QVERIFY(!QFileInfo::exists(data_directory + "/" + name));
        }
    }

    // The file names where its history stood at its save ahead of the entries, which a loader that knows
    // nothing of it ignores; without an anchor the file is what it always was.
    void Anchor_Is_Saved_With_The_Entries_data()
    {
        QTest::addColumn<QByteArray>("records");
        QTest::addColumn<QByteArray>("hash");
        QTest::addColumn<bool>("read");
        const QByteArray hash = QByteArray(63, 'a') + 'f';
        QTest::newRow("anchor") << QByteArray("12") << hash << true;
        QTest::newRow("no number") << QByteArray("x") << hash << false;
        QTest::newRow("zero") << QByteArray("0") << hash << false;
        QTest::newRow("negative") << QByteArray("-3") << hash << false;
        QTest::newRow("short hash") << QByteArray("12") << hash.left(63) << false;
        QTest::newRow("uppercase hash") << QByteArray("12") << hash.toUpper() << false;
    }

    void Anchor_Is_Saved_With_The_Entries()
    {
        QFETCH(QByteArray, records);
        QFETCH(QByteArray, hash);
        QFETCH(bool, read);
        TThermometerList list;
        TMessage message;
        QVERIFY(Set("A", 0.2)(&list, &message));
        const QString plain_file = data_directory + "/plain.xml";
        QVERIFY(list.Save_Calibration_File(plain_file));
        QVERIFY(!list.Get_History_Anchor().Is_Set());
        THistoryAnchor anchor;
        anchor.records = 12;
        anchor.last_record_hash = QByteArray(63, 'a') + 'f';
        QVERIFY(list.Save_Calibration_File(calibration_file, anchor));
        QCOMPARE(list.Get_History_Anchor(), anchor);
        const QByteArray element = "    <Calibration_History>\n        <Records>12</Records>\n        "
                                   "<Last_Record_SHA256>" +
                                   anchor.last_record_hash +
                                   "</Last_Record_SHA256>\n    </Calibration_History>\n";
        QByteArray saved = Read_File(calibration_file);
        QCOMPARE(saved, QByteArray(Read_File(plain_file))
                            .replace("    <Calibration_Entries>", element + "    <Calibration_Entries>"));

        QVERIFY(Write_File(calibration_file, saved.replace("<Records>12<", "<Records>" + records + "<")
                                                 .replace(anchor.last_record_hash, hash)));
        TThermometerList loaded;
        QVERIFY(loaded.Load_Calibration_File(calibration_file));
        QCOMPARE(loaded.Get_Descriptions(), QStringList("A"));
        QCOMPARE(loaded.Get_History_Anchor().Is_Set(), read);
        QCOMPARE(loaded.Get_History_Anchor() == anchor, read);
        // Saved alone, without a history behind it, the file holds the entries only.
        QVERIFY(loaded.Save_Calibration_File(calibration_file));
        QCOMPARE(Read_File(calibration_file), Read_File(plain_file));
        QVERIFY(!loaded.Get_History_Anchor().Is_Set());
    }

    // The export an auditor opens in a spreadsheet: every field in its column, and no text read as a
    // formula.
    void Csv_Keeps_Columns_And_Shows_Formulas_As_Text()
    {
        THistoryRecord record;
        record.number = 7;
        record.time = "2026-12-07T10:30:00+01:00";
        record.user = "=cmd";
        record.host = "-1+2";
        record.action = THistoryRecord::Changed;
        record.description = "Probe, \"X\"";
        record.has_before = record.has_after = true;
        record.before = {"Probe, \"X\"",
                         "2026-12-17",
                         {"15.00000,0.20000", "20.00000,0.20000", "25.00000,0.20000"},
                         "0a1b"};
        record.after = record.before;
        record.after.points[0] = "-5.00000,-0.02000";
        record.previous_hash = QByteArray(64, 'a');
        record.hash = QByteArray(64, 'b');
        const QStringList lines = History_Csv({record}).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0].count(','), 22);
        QCOMPARE(
            lines[1],
            "7,2026-12-07T10:30:00+01:00,'=cmd,'-1+2,,changed,\"Probe, \"\"X\"\"\",\"point 1 "
            "15.00000,0.20000 -> -5.00000,-0.02000\",2026-12-17,\"15.00000,0.20000\",\"20.00000,0.20000\","
            "\"25.00000,0.20000\",0a1b,2026-12-17,\"-5.00000,-0.02000\",\"20.00000,0.20000\","
            "\"25.00000,0.20000\",0a1b,,,," +
                QString(64, 'a') + "," + QString(64, 'b'));
    }
};

VELMORA_TEST_MAIN_WITH_WRITER(TCalibrationHistoryTest)
#include "tst_calibrationhistory.moc"
