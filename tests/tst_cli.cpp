// velmora-cli run as the built program on a prepared data directory: its output and exit status
// against what the calibration library gives for the same file.
#include "calibrationhistory.h"
#include "calibrationstatus.h"
#include "calibrationstore.h"
#include "calibrationtestsupport.h"
#include "datetext.h"
#include "reports.h"
#include "temperaturelog.h"
#include "thermometerdata.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using Test_Support::TThermometer;

namespace
{

struct TRun
{
    int status = -1;
    QString out;
    QString err;
};

QDate Today()
{
    return QDate::currentDate();
}

TThermometer Thermometer(const QString& description, int due_in_days, double offset = 0.12)
{
    TThermometer thermometer;
    thermometer.description = description;
    thermometer.due_date = Today().addDays(due_in_days);
    thermometer.offset = offset;
    return thermometer;
}

QString Lines(const QStringList& lines)
{
    return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
}

} // namespace

class TCliTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir* directory = nullptr;

    QString Data_Directory() const { return directory->path() + "/data"; }
    QString Calibration_File() const { return Data_Directory() + "/calibration_data.xml"; }

    // Without a display and with a home of its own, so that no user's data directory is read.
    TRun Run(const QStringList& arguments) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("HOME", directory->path() + "/home");
        process.setProcessEnvironment(environment);
        process.start(VELMORA_CLI_EXECUTABLE, QStringList{"--data-dir", Data_Directory()} + arguments);
        TRun run;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        {
            return run;
        }
        run.status = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    TThermometerList Loaded_List() const
    {
        TThermometerList list;
        list.Load_Calibration_File(Calibration_File());
        return list;
    }

private slots:
    void init()
    {
        directory = new QTemporaryDir();
        QVERIFY(directory->isValid());
        QVERIFY(QDir().mkpath(Data_Directory()));
        QVERIFY(QDir().mkpath(directory->path() + "/home"));
    }
    void cleanup()
    {
        delete directory;
        directory = nullptr;
    }

    void Check_data()
    {
        QTest::addColumn<QList<TThermometer>>("thermometers");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("warn_days");
        QTest::addColumn<int>("status");

        QTest::newRow("all in calibration")
            << QList<TThermometer>{Thermometer("T1", 400), Thermometer("T2", 90)} << QStringList() << 30 << 0;
        QTest::newRow("due soon") << QList<TThermometer>{Thermometer("T1", 400), Thermometer("T2", 10)}
                                  << QStringList() << 30 << 1;
        QTest::newRow("due soon with a shorter period")
            << QList<TThermometer>{Thermometer("T2", 10)} << QStringList{"--warn-days", "5"} << 5 << 0;
        QTest::newRow("due soon with a longer period")
            << QList<TThermometer>{Thermometer("T2", 90)} << QStringList{"--warn-days", "100"} << 100 << 1;
        QTest::newRow("due today") << QList<TThermometer>{Thermometer("T1", 0)} << QStringList() << 30 << 2;
        QTest::newRow("overdue outranks due soon")
            << QList<TThermometer>{Thermometer("T1", 10), Thermometer("T2", -3)} << QStringList() << 30 << 2;
        QTest::newRow("implausible") << QList<TThermometer>{Thermometer("T1", 400, 5.0)} << QStringList()
                                     << 30 << 2;
        QTest::newRow("due date far ahead, not warned at start-up")
            << QList<TThermometer>{Thermometer("T1", 365 * 12)} << QStringList() << 30 << 0;
        TThermometer flat = Thermometer("Flat", 400);
        flat.references = {20, 20, 20};
        QTest::newRow("not usable") << QList<TThermometer>{flat} << QStringList() << 30 << 2;
    }
    void Check()
    {
        QFETCH(QList<TThermometer>, thermometers);
        QFETCH(QStringList, options);
        QFETCH(int, warn_days);
        QFETCH(int, status);
        QVERIFY(Test_Support::Write_Calibration_File(thermometers, Calibration_File()));

        const TRun run = Run(QStringList{"check"} + options);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, Lines(Calibration_Warnings(Loaded_List(), Today(), warn_days)));
        QCOMPARE(run.out.isEmpty(), status == 0);
        QCOMPARE(run.err, QString());
    }

    // The window's warning period from its settings file, unless the command line gives one.
    void Check_Takes_The_Window_Setting()
    {
        QVERIFY(Test_Support::Write_Calibration_File({Thermometer("T1", 50)}, Calibration_File()));
        QCOMPARE(Run({"check"}).status, 0);
        QVERIFY(Test_Support::Write_File(Data_Directory() + "/velmora_settings.ini",
                                         "[General]\nWarn_Days_Before_Due=60\n"));
        QCOMPARE(Run({"check"}).status, 1);
        QCOMPARE(Run({"check", "--warn-days", "0"}).status, 0);
    }

    // A thermometer left out of the file can no longer be used: as bad as one out of calibration.
    void Check_Left_Out_Entry()
    {
        QVERIFY(Test_Support::Write_Calibration_File({Thermometer("T1", 400), Thermometer("T2", 500)},
                                                     Calibration_File()));
        QByteArray content = Test_Support::Read_File(Calibration_File());
        content.replace(Day_Month_Year_Text(Today().addDays(500)).toUtf8(),
                        Day_Month_Year_Text(Today().addDays(501)).toUtf8());
        QVERIFY(Test_Support::Write_File(Calibration_File(), content));
        const TRun run = Run({"check"});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.out.startsWith("WAR  Calibration entry 2 'T2' was left out: checksum mismatch.\n"),
                 qPrintable(run.out));
    }

    void Unreadable_File_data()
    {
        QTest::addColumn<int>("keep_bytes");
        QTest::newRow("no file") << -1;
        QTest::newRow("empty") << 0;
        QTest::newRow("cut short") << 200;
    }
    // check exits with 3 and validate with 1; neither touches the file.
    void Unreadable_File()
    {
        QFETCH(int, keep_bytes);
        QVERIFY(Test_Support::Write_Calibration_File({Thermometer("T1", 400), Thermometer("T2", 10)},
                                                     Calibration_File()));
        QByteArray content = Test_Support::Read_File(Calibration_File());
        if (keep_bytes < 0)
        {
            QVERIFY(QFile::remove(Calibration_File()));
        }
        else
        {
            content = content.left(keep_bytes);
            QVERIFY(Test_Support::Write_File(Calibration_File(), content));
        }
        const TRun check = Run({"check"});
        QCOMPARE(check.status, 3);
        QVERIFY2(check.out.startsWith("ERR  Cannot load calibration file"), qPrintable(check.out));
        const TRun validate = Run({"validate"});
        QCOMPARE(validate.status, 1);
        QVERIFY(validate.out.contains("ERR  Cannot load calibration file"));
        QCOMPARE(QFileInfo::exists(Calibration_File()), keep_bytes >= 0);
        if (keep_bytes >= 0)
        {
            QCOMPARE(Test_Support::Read_File(Calibration_File()), content);
        }
        QCOMPARE(QDir(Data_Directory()).entryList(QDir::Files),
                 QStringList{"calibration_data.xml"}.mid(0, keep_bytes >= 0));
    }

    void Validate_data()
    {
        QTest::addColumn<bool>("tamper");
        QTest::addColumn<bool>("elsewhere");
        QTest::addColumn<bool>("edited_outside"); // under its history, keeping the checksum
        QTest::addColumn<int>("status");
        QTest::newRow("complete") << false << false << false << 0;
        QTest::newRow("complete, named file") << false << true << false << 0;
        QTest::newRow("checksum mismatch") << true << false << false << 1;
        QTest::newRow("checksum mismatch, named file") << true << true << false << 1;
        QTest::newRow("changed outside Velmora") << false << false << true << 1;
        QTest::newRow("changed outside Velmora, named file") << false << true << true << 1;
    }
    // The start-up lines of the window for the same file, entries left out included.
    void Validate()
    {
        QFETCH(bool, tamper);
        QFETCH(bool, elsewhere);
        QFETCH(bool, edited_outside);
        QFETCH(int, status);
        const QString file_name = elsewhere ? directory->path() + "/other.xml" : Calibration_File();
        QVERIFY(Test_Support::Write_Calibration_File(
            {Thermometer("T1", 400), Thermometer("T2", 10), Thermometer("T3", 400, 5.0)}, file_name));
        const QString history_name =
            QFileInfo(file_name).path() + (elsewhere ? "/other_history.jsonl" : "/calibration_history.jsonl");
        QFile::remove(history_name);
        if (edited_outside)
        {
            // A window's start begins the history; then T1's first deviation 0.12 becomes 0.21.
            TCalibrationStore window_store = TCalibrationStore::For_Calibration_File(file_name);
            TThermometerList window_list;
            window_store.Load_Thermometers(&window_list);
            QCOMPARE(window_store.Check_Calibration_History(window_list).size(), 1);
            QByteArray content = Test_Support::Read_File(file_name);
            const int at = content.indexOf("15.00000,0.12000");
            QVERIFY(at > 0);
            content.replace(at, 16, "15.00000,0.21000");
            QVERIFY(Test_Support::Write_File(file_name, content));
        }
        const QByteArray history_before = Test_Support::Read_File(history_name);
        if (tamper)
        {
            // The second entry's due date changes under its checksum.
            QByteArray content = Test_Support::Read_File(file_name);
            const QByteArray due = Day_Month_Year_Text(Today().addDays(10)).toUtf8();
            QVERIFY(content.contains(due));
            content.replace(due, Day_Month_Year_Text(Today().addDays(11)).toUtf8());
            QVERIFY(Test_Support::Write_File(file_name, content));
        }
        const QByteArray before = Test_Support::Read_File(file_name);

        const TRun run = Run(elsewhere ? QStringList{"validate", file_name} : QStringList{"validate"});
        TCalibrationStore store = TCalibrationStore::For_Calibration_File(file_name);
        TThermometerList list;
        const QStringList expected = store.Load_Thermometers(&list);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, Lines(expected + store.Verify_Calibration_History(list).messages +
                                Calibration_Warnings(list, Today(), Default_Warn_Days_Before_Due)));
        QCOMPARE(
            run.out.contains("WAR  Thermometer 'T1' was changed outside Velmora: point 1 15.00000,0.12000 -> "
                             "15.00000,0.21000.\n"),
            edited_outside);
        QCOMPARE(run.out.contains("WAR  Calibration entry 2 'T2' was left out: checksum mismatch."), tamper);
        QVERIFY(run.out.contains("WAR  Thermometer 'T3'"));
        if (!elsewhere)
        {
            // list names what it leaves out.
            const TRun listed = Run({"list", "--csv"});
            QCOMPARE(listed.status, 0);
            QCOMPARE(listed.out.count('\n'), tamper ? 3 : 4);
            QCOMPARE(listed.err.contains("WAR  Calibration entry 2 'T2' was left out"), tamper);
        }
        QCOMPARE(Test_Support::Read_File(file_name), before);
        QCOMPARE(Test_Support::Read_File(history_name), history_before);
    }

    // A history deleted after a save: the file's anchor shows it, validate exits with 1 and writes
    // nothing, not even a record of the loss.
    void Validate_Names_A_Lost_History()
    {
        TCalibrationStore window = TCalibrationStore::In_Data_Directory(Data_Directory());
        TThermometerList list;
        QVERIFY(
            window.Change_Thermometers(&list, Test_Support::Set_Thermometer("T1", 0.1, Today().addYears(2)))
                .saved);
        const QString history_name = Data_Directory() + "/calibration_history.jsonl";
        const QByteArray anchor_hash =
            QCryptographicHash::hash(Test_Support::Read_File(history_name).split('\n')[0],
                                     QCryptographicHash::Sha256)
                .toHex();
        QVERIFY(QFile::remove(history_name));
        const TRun run = Run({"validate"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.contains(
                     "WAR  Calibration history '" + QDir::toNativeSeparators(history_name) +
                     "': it is missing or empty, but the calibration file was saved after its record 1 "
                     "(SHA-256 " +
                     anchor_hash + "): 1 record(s) are missing.\n"),
                 qPrintable(run.out));
        QCOMPARE(QDir(Data_Directory()).entryList(QDir::Files), QStringList("calibration_data.xml"));
    }

    // Two windows as processes of their own save change after change while validate runs again and
    // again: on the data directory, where it takes the lock, and through links from a folder of its own,
    // where it cannot and reads between the writers' saves. No run may see a save in progress as a
    // finding, and the history stays one intact chain.
    void Validate_During_Saves_Finds_Nothing()
    {
        const QDate due = Today().addYears(2);
        TCalibrationStore window = TCalibrationStore::In_Data_Directory(Data_Directory());
        TThermometerList list;
        QVERIFY(window.Change_Thermometers(&list, Test_Support::Set_Thermometer("Probe 1", 0.1, due)).saved);
        QVERIFY(window.Change_Thermometers(&list, Test_Support::Set_Thermometer("Probe 2", 0.1, due)).saved);
        const QString history_name = Data_Directory() + "/calibration_history.jsonl";
        const QString reader = directory->path() + "/reader";
        QVERIFY(QDir().mkpath(reader));
        for (const QString& name :
             QStringList({"calibration_data.xml", "calibration_history.jsonl", "calibration_data.xml.lock"}))
        {
            QVERIFY(QFile::link(Data_Directory() + "/" + name, reader + "/" + name));
        }
        const QString stop = directory->path() + "/stop";
        QProcess writers[2];
        for (int index = 0; index < 2; ++index)
        {
            writers[index].start(
                QCoreApplication::applicationFilePath(),
                {"--writer", "loop", Data_Directory(), QString("Probe %1").arg(index + 1), stop});
            QVERIFY(writers[index].waitForStarted());
        }
        QStringList false_alarms;
        for (int run = 0; run < 200; ++run)
        {
            const TRun validated =
                Run(run % 2 == 0 ? QStringList{"validate"}
                                 : QStringList{"validate", reader + "/calibration_data.xml"});
            if (validated.status != 0 || validated.out.contains("WAR  ") || validated.out.contains("ERR  "))
            {
                false_alarms
                    << QString("run %1: status %2\n%3").arg(run).arg(validated.status).arg(validated.out);
            }
        }
        QVERIFY(Test_Support::Write_File(stop, ""));
        int changes = 0;
        for (QProcess& writer : writers)
        {
            QVERIFY(writer.waitForFinished(60000));
            const QString output = QString::fromUtf8(writer.readAllStandardOutput()).trimmed();
            QVERIFY2(writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0,
                     qPrintable(output));
            changes += output.toInt();
        }
        QVERIFY2(false_alarms.isEmpty(), qPrintable(QString("%1 false alarms; the first: %2")
                                                        .arg(false_alarms.size())
                                                        .arg(false_alarms.value(0))));
        qInfo("%d changes saved during 200 validate runs", changes);
        QVERIFY(changes >= 200);

        THistoryContent history;
        QString error;
        QVERIFY(Read_History_File(history_name, &history, &error));
        QCOMPARE(history.first_break, 0);
        QVERIFY(!history.incomplete_last_line);
        QHash<int, int> marked;
        int saved_changes = 0;
        for (const THistoryRecord& record : history.records)
        {
            if (record.action == THistoryRecord::Changed || record.action == THistoryRecord::Added)
            {
                ++saved_changes;
            }
            else
            {
                QCOMPARE(History_Action_Text(record.action), QString("saved"));
                QCOMPARE(history.records[record.marks - 1].action == THistoryRecord::Changed ||
                             history.records[record.marks - 1].action == THistoryRecord::Added,
                         true);
                ++marked[record.marks];
            }
        }
        QCOMPARE(saved_changes, changes + 2);
        QCOMPARE(marked.size(), saved_changes);
        const TRun final_run = Run({"validate"});
        QCOMPARE(final_run.status, 0);
    }

    void List_data()
    {
        QTest::addColumn<TThermometer>("thermometer");
        QTest::addColumn<QString>("state");
        QTest::newRow("in calibration") << Thermometer("Bath probe", 200) << "In calibration";
        QTest::newRow("due soon") << Thermometer("Bath, probe 2", 7) << "Due soon";
        QTest::newRow("overdue") << Thermometer("T3", -1) << "Out of calibration";
        QTest::newRow("implausible") << Thermometer("T4", 200, 3.0) << "Implausible";
        QTest::newRow("implausible due date") << Thermometer("T5", 365 * 12) << "Implausible";
        TThermometer flat = Thermometer("Flat", 200);
        flat.references = {20, 20, 20};
        QTest::newRow("not usable") << flat << "Correction not usable";
    }
    void List()
    {
        QFETCH(TThermometer, thermometer);
        QFETCH(QString, state);
        QVERIFY(Test_Support::Write_Calibration_File({Thermometer("First", 300), thermometer},
                                                     Calibration_File()));
        const TThermometerCorrection correction = Loaded_List().Get_Correction(thermometer.description);
        const QString range =
            Correction_Problem(correction).isEmpty() ? Calibrated_Range_Text(correction) : QString();

        const TRun csv = Run({"list", "--csv"});
        QCOMPARE(csv.status, 0);
        QCOMPARE(csv.err, QString());
        const QStringList rows = csv.out.split('\n');
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], QString("thermometer,state,due_date,days_left,calibrated_range"));
        QVERIFY2(rows[1].startsWith("First,In calibration,"), qPrintable(rows[1]));
        QCOMPARE(rows[2],
                 QStringList({Csv_Field(thermometer.description), state,
                              thermometer.due_date.toString(Qt::ISODate),
                              QString::number(Today().daysTo(thermometer.due_date)), Csv_Field(range)})
                     .join(','));
        QCOMPARE(rows[3], QString());

        const TRun table = Run({"list"});
        QCOMPARE(table.status, 0);
        const QStringList lines = table.out.split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith("Thermometer"));
        QVERIFY(lines[2].startsWith(thermometer.description + "  "));
        for (const QString& field : {state, Due_Date_Text(thermometer.due_date),
                                     Days_Left_Text(thermometer.due_date, Today()), range})
        {
            QVERIFY2(lines[2].contains(field), qPrintable(lines[2] + " lacks " + field));
        }
        // The columns line up: the state starts at the same place in every row.
        QCOMPARE(lines[2].indexOf(state), lines[0].indexOf("State"));
    }

    void Correct_data()
    {
        QTest::addColumn<int>("due_in_days");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("readings");
        QTest::newRow("in calibration") << 100 << "Bath probe" << QStringList{"20", "15.5", "24.99"};
        QTest::newRow("letter case ignored") << 100 << "BATH PROBE" << QStringList{"20"};
        QTest::newRow("negative and beyond the range") << 100 << "bath probe" << QStringList{"-5.25", "80"};
        QTest::newRow("not a number") << 100 << "Bath probe" << QStringList{"20", "abc", "nan"};
        QTest::newRow("due soon still corrects") << 3 << "Bath probe" << QStringList{"20"};
        QTest::newRow("out of calibration") << 0 << "Bath probe" << QStringList{"20", "21"};
    }
    // The window's corrected field for each reading, "-----" with its reason on standard error.
    void Correct()
    {
        QFETCH(int, due_in_days);
        QFETCH(QString, name);
        QFETCH(QStringList, readings);
        QVERIFY(Test_Support::Write_Calibration_File(
            {Thermometer("Other", 100, 0.5), Thermometer("Bath probe", due_in_days)}, Calibration_File()));
        const TThermometerList list = Loaded_List();
        const bool in_calibration = list.Is_Calibration_Valid("Bath probe");
        const TThermometerCorrection correction = list.Get_Correction("Bath probe");
        QStringList expected;
        QStringList reasons;
        for (const QString& reading : readings)
        {
            expected << Corrected_Reading_Text(reading, in_calibration, correction);
            if (expected.last() == Not_Corrected)
            {
                reasons << Not_Corrected_Reason(reading, true, in_calibration,
                                                list.Get_Calibration_Due_Date("Bath probe"), correction);
            }
        }
        const TRun run = Run(QStringList{"correct", name} + readings);
        QCOMPARE(run.out, Lines(expected));
        QCOMPARE(run.status, reasons.isEmpty() ? 0 : 1);
        QCOMPARE(run.err.count('\n'), reasons.size());
        for (const QString& reason : reasons)
        {
            QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        }
    }

    void Correct_Csv_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("column");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("status");
        QTest::newRow("header, quoted comma")
            << QByteArray("Description,X\n\"Table 2, left\",20.50\nPos 2,15.00\n") << 2
            << QByteArray("Description,X,Corrected X (Bath probe)\n\"Table 2, left\",20.50,20.38\n"
                          "Pos 2,15.00,14.88\n")
            << 0;
        QTest::newRow("CRLF, empty reading, no last line end")
            << QByteArray("a,20\r\nb,\r\nc,21") << 2 << QByteArray("a,20,19.88\r\nb,,\r\nc,21,20.88") << 0;
        QTest::newRow("not a number")
            << QByteArray("x,20\ny,abc\n") << 2 << QByteArray("x,20,19.88\ny,abc,-----\n") << 1;
        QTest::newRow("first column, quoted line end")
            << QByteArray("20,\"two\nlines\"\n") << 1 << QByteArray("20,\"two\nlines\",19.88\n") << 0;
    }
    // Readings taken elsewhere: the file comes back byte for byte with a corrected column appended,
    // on standard output and through --output alike.
    void Correct_Csv()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, column);
        QFETCH(QByteArray, expected);
        QFETCH(int, status);
        QVERIFY(Test_Support::Write_Calibration_File({Thermometer("Bath probe", 100)}, Calibration_File()));
        const QString input = directory->path() + "/readings.csv";
        QVERIFY(Test_Support::Write_File(input, csv));
        const QStringList arguments{"correct", "bath probe", "--csv",
                                    input,     "--column",   QString::number(column)};
        const TRun printed = Run(arguments);
        QCOMPARE(printed.out.toUtf8(), expected);
        QCOMPARE(printed.status, status);
        QCOMPARE(printed.err.contains("line 2: 'abc' not corrected"), status == 1);
        const QString output = directory->path() + "/corrected.csv";
        const TRun written = Run(arguments + QStringList{"--output", output});
        QCOMPARE(written.out, QString());
        QCOMPARE(written.status, status);
        QCOMPARE(Test_Support::Read_File(output), expected);
        QCOMPARE(Test_Support::Read_File(input), csv);
    }

    void Report_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<double>("uncertainty");
        QTest::newRow("corrections") << "corrections" << QStringList() << 0.0;
        QTest::newRow("uncertainty, default") << "uncertainty" << QStringList() << 0.04;
        QTest::newRow("uncertainty given") << "uncertainty" << QStringList{"--uncertainty", "0.25"} << 0.25;
    }
    // The same bytes as the window's report, written through the same writer.
    void Report()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, options);
        QFETCH(double, uncertainty);
        QVERIFY(
            Test_Support::Write_Calibration_File({Thermometer("Bath probe", 100, 0.3)}, Calibration_File()));
        const TThermometerList list = Loaded_List();
        const TThermometerCorrection correction = list.Get_Correction("Bath probe");
        const QDate due_date = list.Get_Calibration_Due_Date("Bath probe");
        const QString content = kind == "corrections"
                                    ? Corrections_Report("Bath probe", due_date, correction)
                                    : Uncertainty_Report("Bath probe", due_date, correction, uncertainty);
        const QString expected_file = directory->path() + "/expected.csv";
        QString error;
        QVERIFY(Write_Report_File(expected_file, content, &error));

        const QString output = directory->path() + "/report.csv";
        const TRun run = Run(QStringList{"report", kind, "bath PROBE", "--output", output} + options);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(QString("file written. File: '%1'").arg(output)), qPrintable(run.out));
        QCOMPARE(Test_Support::Read_File(output), Test_Support::Read_File(expected_file));
    }

    // A report that cannot be written completely (a full disk here) leaves the existing file.
    void Report_Write_Failure_Keeps_File()
    {
        QVERIFY(Test_Support::Write_Calibration_File({Thermometer("Bath probe", 100)}, Calibration_File()));
        const QString output = directory->path() + "/report.csv";
        QVERIFY(Test_Support::Write_File(output, "kept"));
        TRun run;
        Test_Support::With_File_Size_Limit(64, [&] {
            run = Run({"report", "uncertainty", "Bath probe", "--output", output});
        });
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith("ERR"), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QCOMPARE(Test_Support::Read_File(output), QByteArray("kept"));
    }

    void Usage_Errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList() << "no command given";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command 'frobnicate'";
        QTest::newRow("unknown option") << QStringList{"--frob"} << "Unknown option 'frob'";
        QTest::newRow("unknown command option") << QStringList{"list", "--frob"} << "Unknown option 'frob'";
        QTest::newRow("option of another command") << QStringList{"check", "--csv"} << "Unknown option 'csv'";
        QTest::newRow("warn days not a number") << QStringList{"list", "--warn-days", "x"} << "--warn-days";
        QTest::newRow("warn days too many") << QStringList{"check", "--warn-days", "4000"} << "--warn-days";
        QTest::newRow("correct unknown thermometer")
            << QStringList{"correct", "Nope", "20"} << "no thermometer 'Nope'";
        QTest::newRow("correct without reading")
            << QStringList{"correct", "Bath probe"} << "at least one reading";
        QTest::newRow("report unknown thermometer")
            << QStringList{"report", "corrections", "Nope", "--output", "x.csv"} << "no thermometer 'Nope'";
        QTest::newRow("report unknown kind")
            << QStringList{"report", "summary", "Bath probe", "--output", "x.csv"}
            << "unknown report 'summary'";
        QTest::newRow("report without output")
            << QStringList{"report", "corrections", "Bath probe"} << "--output";
        QTest::newRow("uncertainty out of range")
            << QStringList{"report", "uncertainty", "Bath probe", "--uncertainty", "1", "--output", "x.csv"}
            << "--uncertainty: the calibration uncertainty 1 is outside 0 to below 1.";
        QTest::newRow("uncertainty with a comma")
            << QStringList{"report", "uncertainty", "Bath probe", "--uncertainty",
                           "0,05",   "--output",    "x.csv"}
            << "The decimal separator is a point: 0.05.";
        QTest::newRow("validate two files") << QStringList{"validate", "a", "b"} << "one file";
        QTest::newRow("csv without column")
            << QStringList{"correct", "Bath probe", "--csv", "r.csv"} << "--csv needs --column N";
        QTest::newRow("csv with readings")
            << QStringList{"correct", "Bath probe", "20", "--csv", "r.csv", "--column", "1"} << "no readings";
        QTest::newRow("column without csv")
            << QStringList{"correct", "Bath probe", "20", "--column", "1"} << "belong to --csv";
    }
    void Usage_Errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QVERIFY(Test_Support::Write_Calibration_File({Thermometer("Bath probe", 100)}, Calibration_File()));
        const TRun run = Run(arguments);
        QCOMPARE(run.status, 64);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith("velmora-cli: ") && run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.err.endsWith("Try 'velmora-cli --help'.\n"));
    }

    void Help_And_Version_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("version") << QStringList{"--version"} << "velmora-cli " VELMORA_VERSION "\n";
        QTest::newRow("command version")
            << QStringList{"check", "--version"} << "velmora-cli " VELMORA_VERSION "\n";
        QTest::newRow("help") << QStringList{"--help"} << "Commands:";
        QTest::newRow("list help") << QStringList{"list", "--help"} << "--csv";
        QTest::newRow("check help") << QStringList{"check", "-h"} << "Exit status";
        QTest::newRow("report help") << QStringList{"report", "--help"} << "--uncertainty";
    }
    void Help_And_Version()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        const TRun run = Run(arguments);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QString());
        QVERIFY2(expected.endsWith('\n') ? run.out == expected : run.out.contains(expected),
                 qPrintable(run.out));
    }
};

VELMORA_TEST_MAIN_WITH_WRITER(TCliTest)
#include "tst_cli.moc"
