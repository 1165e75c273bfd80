#include "calibrationhistory.h"
#include "calibrationstore.h"
#include "calibrationtestsupport.h"
#include "clock.h"
#include "platform.h"

#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace Test_Support;

// The calibration history as the store writes and checks it: a record for every change, the chain
// that shows a changed, inserted or deleted line, and a history and file that agree after any failure.
class TCalibrationHistoryTest : public QObject
{
    Q_OBJECT

    QTemporaryDir base;
    QString data_directory;
    QString calibration_file;
    QString history_file;

    static TThermometerChange Set(const QString& description, double deviation,
                                  const QDate& due_date = QDate(2027, 6, 1))
    {
        return [=](TThermometerList* list, QString* message) {
            list->Set_Correction_Data(
                description,
                TCorrectionDialogData{15, 20, 25, 15 + deviation, 20 + deviation, 25 + deviation, {}, {}});
            list->Set_Calibration_Due_Date(description, due_date);
            *message = "INF  set " + description;
            return true;
        };
    }
    static TThermometerChange Remove(const QString& description)
    {
        return [=](TThermometerList* list, QString* message) {
            list->Remove_Thermometer_Data(description);
            *message = "INF  removed " + description;
            return true;
        };
    }

    // The store of a window just started: loaded and checked against the history.
    TCalibrationStore Start(TThermometerList* list, QStringList* lines = nullptr)
    {
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(data_directory);
        store.Load_Thermometers(list);
        const QStringList check = store.Check_Calibration_History(*list);
        if (lines != nullptr)
        {
            *lines = check;
        }
        return store;
    }
    THistoryContent History() const
    {
        THistoryContent content;
        QString error;
        const bool read = Read_History_File(history_file, &content, &error);
        return read ? content : THistoryContent();
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
    QList<QByteArray> Lines() const
    {
        QList<QByteArray> lines = Read_File(history_file).split('\n');
        lines.removeLast();
        return lines;
    }
    bool Write_Lines(const QList<QByteArray>& lines) const
    {
        QByteArray bytes;
        for (const QByteArray& line : lines)
        {
            bytes += line + '\n';
        }
        return Write_File(history_file, bytes);
    }

private slots:
    void init()
    {
        data_directory = base.filePath(QTest::currentTestFunction() + QString("-") +
                                       (QTest::currentDataTag() ? QTest::currentDataTag() : ""));
        QDir(data_directory).removeRecursively();
        QVERIFY(QDir().mkpath(data_directory));
        calibration_file = data_directory + "/calibration_data.xml";
        history_file = data_directory + "/calibration_history.jsonl";
        TClock::Set_Fixed_Now(QDateTime(QDate(2026, 12, 7), QTime(10, 30), Qt::OffsetFromUTC, 3600));
    }
    void cleanup() { TClock::Set_Fixed_Now(QDateTime()); }

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
        QCOMPARE(Actions(), QStringList({"added Probe X", "changed Probe X", "added B", "removed Probe X"}));
        const THistoryRecord& changed = history.records[1];
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
        const THistoryRecord& removed = history.records[3];
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
        // The file and its history agree: a new start finds nothing to report or record.
        QStringList lines_at_start;
        Start(&list, &lines_at_start);
        QCOMPARE(lines_at_start, QStringList());
        QCOMPARE(Lines(), lines);
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

    // Lines 1 to 4 record: added A, added B, changed A, removed B.
    void Chain_Shows_Tampering_data()
    {
        QTest::addColumn<QString>("tampering");
        QTest::addColumn<int>("first_break");
        QTest::addColumn<QString>("reason");
        QTest::newRow("edited") << "edited" << 3 << "it does not follow record 2";
        QTest::newRow("edited first") << "edited first" << 2 << "it does not follow record 1";
        QTest::newRow("inserted") << "inserted" << 3 << "it is numbered 2";
        QTest::newRow("deleted") << "deleted" << 2 << "it is numbered 3";
        QTest::newRow("not a record") << "garbage" << 3 << "it is not a record";
        QTest::newRow("reordered") << "swapped" << 2 << "it is numbered 3";
    }

    void Chain_Shows_Tampering()
    {
        QFETCH(QString, tampering);
        QFETCH(int, first_break);
        QFETCH(QString, reason);
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.2)).saved);
        QVERIFY(store.Change_Thermometers(&list, Set("B", 0.1)).saved);
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.3)).saved);
        QVERIFY(store.Change_Thermometers(&list, Remove("B")).saved);
        QList<QByteArray> lines = Lines();
        QCOMPARE(lines.size(), 4);
        if (tampering == "edited")
        {
            lines[1].replace("0.10000", "0.01000");
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
        QCOMPARE(at_start.value(0), "WAR  Calibration history '" + QDir::toNativeSeparators(history_file) +
                                        "': record " + QString::number(first_break) +
                                        " does not fit the chain (" + reason +
                                        "); a record was changed, inserted or deleted there.");
        // The break stays in place; new records go on from the last line.
        QVERIFY(store.Change_Thermometers(&list, Set("C", 0.1)).saved);
        QCOMPARE(History().first_break, first_break);
        QCOMPARE(History().records.last().previous_hash,
                 QCryptographicHash::hash(lines.last(), QCryptographicHash::Sha256).toHex());
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
        QCOMPARE(Actions(), QStringList({"added Probe X", "changed outside Velmora Probe X"}));
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList());
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
            result.messages.mid(1),
            QStringList({"WAR  Thermometer 'A' was changed outside Velmora: point 1 15.00000,0.20000 -> "
                         "15.00000,0.30000; point 2 20.00000,0.20000 -> 20.00000,0.30000; point 3 "
                         "25.00000,0.20000 -> 25.00000,0.30000. The change is recorded in the calibration "
                         "history.",
                         "INF  set A"}));
        QCOMPARE(Actions(), QStringList({"added A", "added B", "changed outside Velmora A", "changed A"}));
        QCOMPARE(History().records[3].before.points[0], QString("15.00000,0.30000"));
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
        // The file still holds B, without a record of it: the history says the file does not.
        QTest::newRow("last record deleted") << "delete"
                                             << "WAR  Thermometer 'B' was changed outside Velmora: none -> "
                                                "due date Jun 01 2027, points 15.00000,0.10000 / "
                                                "20.00000,0.10000 / 25.00000,0.10000. The change is "
                                                "recorded in the calibration history.";
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
        else if (edit == "add")
        {
            QVERIFY(Write_Calibration_File({{"A", 0.2, QDate(2027, 6, 1)},
                                            {"B", 0.1, QDate(2027, 6, 1)},
                                            {"C", 0.12, QDate(2027, 6, 1)}},
                                           calibration_file));
        }
        else
        {
            QList<QByteArray> lines = Lines();
            lines.removeLast();
            QVERIFY(Write_Lines(lines));
        }
        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList(warning));
        QCOMPARE(History().first_break, 0);
    }

    // A failed save after its record was written, a record that cannot be written, and a process
    // killed between the two: history and file agree at the next start.
    void Failures_Leave_History_And_File_Consistent_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("at_next_start");
        QTest::newRow("save fails after the record")
            << "file size" << QStringList({"first seen " + QString(2000, '&'), "added X", "not saved X"})
            << QStringList();
        QTest::newRow("record cannot be written")
            << "full disk" << QStringList({"first seen " + QString(2000, '&')}) << QStringList();
        QTest::newRow("killed between record and save")
            << "killed" << QStringList({"first seen " + QString(2000, '&'), "added X", "not saved X"})
            << QStringList("WAR  The change of record 2 of the calibration history ('X') never reached the "
                           "calibration file; the record is marked as not saved.");
    }

    void Failures_Leave_History_And_File_Consistent()
    {
        QFETCH(QString, failure);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, at_next_start);
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
            QVERIFY2(result.messages[0].startsWith("ERR  error writing file '" + calibration_file + "'"),
                     qPrintable(result.messages[0]));
        }
        else if (failure == "full disk")
        {
            // Room for part of the record only: what was written of it must go again.
            With_File_Size_Limit(rlim_t(history_before.size() + 100),
                                 [&] { result = store.Change_Thermometers(&list, Set("X", 0.1)); });
            QCOMPARE(result.messages, QStringList("ERR  Cannot write calibration history '" +
                                                  QDir::toNativeSeparators(history_file) +
                                                  "': File too large; the change was not saved."));
            QCOMPARE(Read_File(history_file), history_before);
        }
        else
        {
            // The record reached the disk; the process ended before the file was saved.
            THistoryContent history = History();
            TThermometerList changed = list;
            QString message;
            QVERIFY(Set("X", 0.1)(&changed, &message));
            QString error;
            QVERIFY(Append_History(history_file, History_Differences(list, changed), &history, &error));
            // Saved last before the record was written, as the program would have left it.
            QFile file(calibration_file);
            QVERIFY(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(TClock::Now().addSecs(-60), QFileDevice::FileModificationTime));
        }
        QVERIFY(!result.saved);
        QCOMPARE(list.Get_Descriptions(), QStringList(QString(2000, '&')));
        QCOMPARE(Read_File(calibration_file), file_before);

        TThermometerList next_list;
        QStringList at_start;
        Start(&next_list, &at_start);
        QCOMPARE(at_start, at_next_start);
        QCOMPARE(Actions(), actions);
        QCOMPARE(History().first_break, 0);
        // The history says what the file holds: the same change now saves and is recorded once.
        QVERIFY(store.Change_Thermometers(&next_list, Set("X", 0.1)).saved);
        QCOMPARE(Actions(), actions + QStringList("added X"));
        Start(&next_list, &at_start);
        QCOMPARE(at_start, QStringList());
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
        QCOMPARE(Actions(), QStringList({"added A", "added B", "changed B", "removed A"}));
        QCOMPARE(History().records[2].before.points[0], QString("15.00000,0.20000"));
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
        QCOMPARE(History().records.size(), 1);
        QStringList at_start;
        Start(&list, &at_start);
        QCOMPARE(at_start, QStringList("WAR  Calibration history '" + QDir::toNativeSeparators(history_file) +
                                       "': its last line is incomplete, a write cut off by a crash or a full "
                                       "disk; it is no record and is dropped at the next change."));
        QVERIFY(store.Change_Thermometers(&list, Set("A", 0.2)).saved);
        QVERIFY(Read_File(history_file).startsWith(whole));
        QCOMPARE(History().first_break, 0);
        QVERIFY(!History().incomplete_last_line);
        QCOMPARE(Actions(), QStringList({"added A", "changed A"}));
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
        QCOMPARE(lines[0].count(','), 19);
        QCOMPARE(
            lines[1],
            "7,2026-12-07T10:30:00+01:00,'=cmd,'-1+2,changed,\"Probe, \"\"X\"\"\",\"point 1 "
            "15.00000,0.20000 -> -5.00000,-0.02000\",2026-12-17,\"15.00000,0.20000\",\"20.00000,0.20000\","
            "\"25.00000,0.20000\",0a1b,2026-12-17,\"-5.00000,-0.02000\",\"20.00000,0.20000\","
            "\"25.00000,0.20000\",0a1b,," +
                QString(64, 'a') + "," + QString(64, 'b'));
    }
};

QTEST_GUILESS_MAIN(TCalibrationHistoryTest)
#include "tst_calibrationhistory.moc"
