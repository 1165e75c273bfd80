// velmora-cli run as the built program on a prepared data directory: its output and exit status
// against what the calibration library gives for the same file.
#include "calibrationfindings.h"
#include "calibrationhistory.h"
#include "calibrationstatus.h"
#include "calibrationstore.h"
#include "calibrationtestsupport.h"
#include "clock.h"
#include "csvtext.h"
#include "datetext.h"
#include "platform.h"
#include "reports.h"
#include "temperaturelog.h"
#include "thermometerdata.h"
#include "version.h"

#include <QDirIterator>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Test_Support::TThermometer;

namespace
{

struct TRun
{
    int status = -1;
    QString out;
    // Standard output as it came.
    QByteArray bytes;
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

QString Lines(const TMessages& messages)
{
    return Lines(Log_Lines(messages));
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
    TRun Run(const QStringList& arguments, const QString& standard_output = QString()) const
    {
        return Run_Program(VELMORA_CLI_EXECUTABLE, QStringList{"--data-dir", Data_Directory()} + arguments,
                           standard_output);
    }

    // standard_output: a file that takes standard output instead of a pipe to the test.
    TRun Run_Program(const QString& program, const QStringList& arguments,
                     const QString& standard_output = QString()) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("XDG_DATA_HOME");
        environment.insert("HOME", directory->path() + "/home");
        process.setProcessEnvironment(environment);
        if (!standard_output.isEmpty())
        {
            process.setStandardOutputFile(standard_output);
        }
        process.start(program, arguments);
        TRun run;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        {
            return run;
        }
        run.status = process.exitCode();
        run.bytes = process.readAllStandardOutput();
        run.out = QString::fromUtf8(run.bytes);
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    // Every file and directory under path with its bytes: what a command must leave as it found it.
    static QMap<QString, QByteArray> Snapshot(const QString& path)
    {
        QMap<QString, QByteArray> files;
        QDirIterator iterator(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                              QDirIterator::Subdirectories);
        while (iterator.hasNext())
        {
            const QString name = iterator.next();
            files.insert(name,
                         QFileInfo(name).isDir() ? QByteArray("(directory)") : Test_Support::Read_File(name));
        }
        return files;
    }

    bool Write_Thermometers(const QList<TThermometer>& thermometers) const
    {
        return Test_Support::Write_Calibration_File(thermometers, Calibration_File());
    }

    // The data directory's store as a window's start leaves it: the list loaded, the history checked.
    TCalibrationStore Started_Store(TThermometerList* list) const
    {
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(Data_Directory());
        store.Load_Thermometers(list);
        store.Check_Calibration_History(*list);
        return store;
    }

    // Whether store saved description, its readings offset high at every test point, due on due_date.
    static bool Saved(TCalibrationStore& store, TThermometerList* list, const QString& description,
                      double offset, const QDate& due_date)
    {
        return store.Change_Thermometers(list, Test_Support::Set_Thermometer(description, offset, due_date))
            .saved;
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
        QTest::newRow("doubtful calibration")
            << QList<TThermometer>{Thermometer("T1", 400, 5.0)} << QStringList() << 30 << 2;
        // 2072 typed for 2027: as doubtful as a test point typed wrong.
        QTest::newRow("due date far ahead")
            << QList<TThermometer>{Thermometer("T1", 365 * 12)} << QStringList() << 30 << 2;
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
        QVERIFY(Write_Thermometers(thermometers));

        const TRun run = Run(QStringList{"check"} + options);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, Lines(Calibration_Warnings(Loaded_List(), Today(), warn_days)));
        QCOMPARE(run.out.isEmpty(), status == 0);
        QCOMPARE(run.err, QString());
    }

    // The window's warning period from its settings file, unless the command line gives one.
    void Check_Takes_The_Window_Setting()
    {
        QVERIFY(Write_Thermometers({Thermometer("T1", 50)}));
        QCOMPARE(Run({"check"}).status, 0);
        QVERIFY(Test_Support::Write_File(Data_Directory() + "/velmora_settings.ini",
                                         "[General]\nWarn_Days_Before_Due=60\n"));
        QCOMPARE(Run({"check"}).status, 1);
        QCOMPARE(Run({"check", "--warn-days", "0"}).status, 0);
    }

    // A thermometer left out of the file can no longer be used: as bad as one out of calibration.
    void Check_Left_Out_Entry()
    {
        QVERIFY(Write_Thermometers({Thermometer("T1", 400), Thermometer("T2", 500)}));
        QByteArray content = Test_Support::Read_File(Calibration_File());
        content.replace(Day_Month_Year_Text(Today().addDays(500)).toUtf8(),
                        Day_Month_Year_Text(Today().addDays(501)).toUtf8());
        QVERIFY(Test_Support::Write_File(Calibration_File(), content));
        const TRun run = Run({"check"});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.out.startsWith("WAR  Calibration entry 2 'T2' was left out: checksum mismatch.\n"),
                 qPrintable(run.out));
    }

    // check is the one command for cron: 0 and silent exactly when nothing needs a person, 2 while a
    // finding is open, also one a window's start has recorded; a review closes it.
    void Check_Findings_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("named"); // a line of check's output holds it; empty: no output
        QTest::addColumn<int>("validate");
        QTest::newRow("nothing wrong") << "sound" << 0 << "" << 0;
        QTest::newRow("hand edit, no start since")
            << "hand edit" << 2 << "WAR  Thermometer 'T1' was changed outside Velmora: point 2 " << 1;
        // Recorded by a start, the history agrees with the file, but nobody has looked at the edit.
        QTest::newRow("hand edit, found at a start")
            << "hand edit, start" << 2
            << "WAR  Open finding, record 5: thermometer 'T1' was changed outside Velmora" << 0;
        QTest::newRow("hand edit, reviewed") << "hand edit, review" << 0 << "" << 0;
        QTest::newRow("a sound probe 1.5 K off")
            << "unusual" << 2 << "WAR  Thermometer 'Odd' is doubtful: " << 0;
        QTest::newRow("a sound probe 1.5 K off, reviewed") << "unusual, review" << 0 << "" << 0;
        QTest::newRow("reviewed, and due soon")
            << "unusual, review, due soon" << 1 << "WAR  Thermometer 'Odd' is due for calibration in 10 days"
            << 0;
        QTest::newRow("reviewed, then changed")
            << "unusual, review, change" << 2 << "WAR  Thermometer 'Odd' is doubtful: " << 0;
        QTest::newRow("a line of the history edited")
            << "edited" << 2 << "does not fit the chain (it does not follow record 1)" << 1;
        QTest::newRow("a line of the history edited, reviewed") << "edited, review" << 0 << "" << 1;
        // The file's anchor names the record it was saved after; validate and check say so alike.
        QTest::newRow("history deleted") << "lost" << 2
                                         << "WAR  Calibration history '%1': it is missing or empty, but the "
                                            "calibration file was saved after "
                                            "its record 3 (SHA-256 %2): 3 record(s) are missing.\n"
                                         << 1;
    }
    void Check_Findings()
    {
        QFETCH(QString, event);
        QFETCH(int, status);
        QFETCH(QString, named);
        QFETCH(int, validate);
        const QString history_file = Data_Directory() + "/calibration_history.jsonl";
        TThermometerList list;
        TCalibrationStore store = Started_Store(&list);
        QVERIFY(Saved(store, &list, "T1", 0.2, Today().addDays(200)));
        QVERIFY(Saved(store, &list, "T2", 0.1, Today().addDays(200)));
        if (event.startsWith("unusual"))
        {
            const QDate due = Today().addDays(event.contains("due soon") ? 10 : 200);
            QVERIFY(Saved(store, &list, "Odd", 1.5, due));
        }
        if (event.startsWith("hand edit"))
        {
            // Digits swapped: the entry's checksum holds.
            QByteArray content = Test_Support::Read_File(Calibration_File());
            QVERIFY(content.contains("20.00000,0.20000"));
            QVERIFY(Test_Support::Write_File(Calibration_File(),
                                             content.replace("20.00000,0.20000", "20.00000,0.02000")));
        }
        else if (event.startsWith("edited"))
        {
            // The first record's user: the record after it no longer follows it.
            QByteArray content = Test_Support::Read_File(history_file);
            QVERIFY(Test_Support::Write_File(history_file,
                                             content.insert(content.indexOf("\"user\":\"") + 8, 'x')));
        }
        else if (event == "lost")
        {
            const QByteArray anchor = Test_Support::Read_File(history_file).split('\n')[2];
            named = named.arg(
                QDir::toNativeSeparators(history_file),
                QString::fromLatin1(QCryptographicHash::hash(anchor, QCryptographicHash::Sha256).toHex()));
            QVERIFY(QFile::remove(history_file));
        }
        if (event.contains("start") || event.contains("review"))
        {
            list = TThermometerList();
            store = Started_Store(&list);
        }
        if (event.contains("review"))
        {
            const QVector<TFinding> findings = store.Verify_Calibration_History(list).findings;
            QCOMPARE(findings.size(), 1);
            QVERIFY(store.Review_Finding(list, findings[0], "looked at it").reviewed);
        }
        if (event.endsWith("change"))
        {
            QVERIFY(Saved(store, &list, "Odd", 1.6, Today().addDays(200)));
        }
        const QMap<QString, QByteArray> before = Snapshot(Data_Directory());
        const TRun run = Run({"check"});
        QCOMPARE(run.status, status);
        QCOMPARE(run.err, QString());
        QVERIFY2(named.isEmpty() ? run.out.isEmpty() : run.out.contains(named), qPrintable(run.out));
        const TRun validated = Run({"validate"});
        QCOMPARE(validated.status, validate);
        QVERIFY2(event != "lost" || validated.out.contains(named), qPrintable(validated.out));
        QVERIFY(Snapshot(Data_Directory()) == before);
    }

    // findings lists what is open, --all also what is reviewed and by whom; neither writes.
    void Findings_Command()
    {
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(Data_Directory());
        TThermometerList list;
        store.Load_Thermometers(&list);
        QVERIFY(Saved(store, &list, "Odd", 1.5, Today().addDays(200)));
        QVERIFY(Saved(store, &list, "Typo", 0.2, Today().addDays(200)));
        const QString added_time = store.Verify_Calibration_History(list).content.records[0].time;
        QCOMPARE(
            Run({"findings"}).out,
            QString(
                "Record 1, doubtful calibration: open\n"
                "  thermometer 'Odd' is doubtful: the test point at 15.00 \u00b0C deviates by 1.50 \u00b0C, "
                "more than 1 \u00b0C; the test point at 20.00 \u00b0C deviates by 1.50 \u00b0C, more than 1 "
                "\u00b0C; the test point at 25.00 \u00b0C deviates by 1.50 \u00b0C, more than 1 \u00b0C\n"
                "  added by ") +
                Account_Name() + " on " + QSysInfo::machineHostName() + " at " + added_time + "\n");
        const QVector<TFinding> findings = store.Verify_Calibration_History(list).findings;
        QVERIFY(store.Review_Finding(list, findings[0], "probe replaced, 1.5 K is real").reviewed);
        const QString review_time = store.Verify_Calibration_History(list).content.records.last().time;
        const QMap<QString, QByteArray> before = Snapshot(Data_Directory());
        TRun run = Run({"findings"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QString("No open findings.\n"));
        run = Run({"findings", "--all"});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith("Record 1, doubtful calibration: reviewed\n"), qPrintable(run.out));
        QVERIFY2(run.out.endsWith("  reviewed by " + Account_Name() + " on " + QSysInfo::machineHostName() +
                                  " at " + review_time + " (record 5): probe replaced, 1.5 K is real\n"),
                 qPrintable(run.out));
        run = Run({"findings", "--all", "--csv"});
        QCOMPARE(run.status, 0);
        const QStringList rows = run.out.split('\n');
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], QString("record,finding,thermometer,state,found,origin,reviewed_by,reviewed_at,"
                                  "review_record,comment"));
        QVERIFY2(rows[1].startsWith("1,doubtful calibration,Odd,reviewed,\"thermometer 'Odd' is doubtful: "),
                 qPrintable(rows[1]));
        QVERIFY2(rows[1].endsWith("," + review_time + ",5,\"probe replaced, 1.5 K is real\""),
                 qPrintable(rows[1]));
        QCOMPARE(Run({"findings", "--csv"}).out, rows[0] + "\n");
        QVERIFY(Snapshot(Data_Directory()) == before);
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
        QVERIFY(Write_Thermometers({Thermometer("T1", 400), Thermometer("T2", 10)}));
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

    // trace recomputes each entry with audit columns from the history and names what does not match;
    // it exits 3 when the log cannot be read, and never writes.
    void Trace_data()
    {
        QTest::addColumn<QString>("changed"); // what is changed in the log's last entry; empty: nothing
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // %1: the record the entries name
        QTest::addColumn<QString>("err"); // %1: the log file
        const QString summary = "%1 of 2 traced entries do not match the calibration history; 1 entries "
                                "without audit columns.";
        QTest::newRow("matching") << QString() << QStringList() << 0 << summary.arg(0) + "\n" << QString();
        QTest::newRow("matching, table")
            << QString() << QStringList("--csv") << 0 << "line,thermometer,record,problem\n"
            << summary.arg(0) + "\n";
        QTest::newRow("value changed")
            << "value" << QStringList() << 1
            << "line 5: 'T1': X '20.01' logged for meter reading '20.12', '20.00' recomputed\n" +
                   summary.arg(1) + "\n"
            << QString();
        QTest::newRow("value changed, table") << "value" << QStringList("--csv") << 1
                                              << "line,thermometer,record,problem\n5,T1,%1,\"X '20.01' "
                                                 "logged for meter reading '20.12', '20.00' "
                                                 "recomputed\"\n"
                                              << summary.arg(1) + "\n";
        QTest::newRow("unknown record")
            << "record" << QStringList("--csv") << 1
            << "line,thermometer,record,problem\n5,T1,1:000000000000,record 1:000000000000 is not in the "
               "calibration history\n"
            << summary.arg(1) + "\n";
        QTest::newRow("no log") << "missing" << QStringList() << 3 << QString()
                                << "velmora-cli: cannot read '%1': No such file or directory\n";
    }

    void Trace()
    {
        QFETCH(QString, changed);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QVERIFY(Write_Thermometers({Thermometer("T1", 400)}));
        TThermometerList list;
        TCalibrationStore store = Started_Store(&list);
        const TCalibrationRecord record = store.Calibration_Record(list, "T1");
        QCOMPARE(record.number, 1);
        const QString record_text = Calibration_Record_Text(record.number, record.Hash());
        // A plain entry, then two with the audit columns, a minute after the history began.
        const QString log_file = directory->path() + "/log.csv";
        TLogEntry entry;
        entry.description = "P1";
        entry.thermometer = "T1";
        entry.time = TClock::Now().addSecs(60);
        entry.axis_texts = QStringList{"20.00", "", "", ""};
        QVERIFY(!Append_Temperature_Log_Entry(log_file, entry, TLogOptions()).isEmpty());
        entry.meter_texts = QStringList{"20.12", "", "", ""};
        entry.calibration_record = record_text;
        TLogOptions audit;
        audit.audit_columns = true;
        Append_Temperature_Log_Entry(log_file, entry, audit);
        if (changed == "value")
        {
            entry.axis_texts[0] = "20.01";
        }
        else if (changed == "record")
        {
            entry.calibration_record = "1:000000000000";
        }
        Append_Temperature_Log_Entry(log_file, entry, audit);
        if (changed == "missing")
        {
            QVERIFY(QFile::remove(log_file));
        }
        const QMap<QString, QByteArray> before = Snapshot(directory->path());
        const TRun run = Run(QStringList{"trace", log_file} + options);
        QCOMPARE(run.out, out.contains("%1") ? out.arg(record_text) : out);
        QCOMPARE(run.err, err.contains("%1") ? err.arg(QDir::toNativeSeparators(log_file)) : err);
        QCOMPARE(run.status, status);
        QCOMPARE(Snapshot(directory->path()), before);
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
            QCOMPARE(window_store.Check_Calibration_History(window_list).finding_messages.size(), 1);
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
        const QStringList expected = Log_Lines(store.Load_Thermometers(&list));
        QCOMPARE(run.status, status);
        QCOMPARE(run.out,
                 Lines(expected + Log_Lines(store.Verify_Calibration_History(list).messages) +
                       Log_Lines(Calibration_Warnings(list, Today(), Default_Warn_Days_Before_Due))));
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

    // Two windows as processes of their own save change after change while validate runs again and
    // again: on the data directory, where it takes the lock, and through links from a folder of its own,
    // where it cannot and reads between the writers' saves. No run may see a save in progress as a
    // finding, and the history stays one intact chain.
    void Validate_And_Check_During_Saves_Find_Nothing()
    {
        const QDate due = Today().addYears(2);
        TCalibrationStore window = TCalibrationStore::In_Data_Directory(Data_Directory());
        TThermometerList list;
        QVERIFY(Saved(window, &list, "Probe 1", 0.1, due));
        QVERIFY(Saved(window, &list, "Probe 2", 0.1, due));
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
            // check, cron's command, reads as validate does: silent while nothing needs a person.
            const TRun validated =
                Run(run % 3 == 0   ? QStringList{"validate"}
                    : run % 3 == 1 ? QStringList{"validate", reader + "/calibration_data.xml"}
                                   : QStringList{"check"});
            if (validated.status != 0 || validated.out.contains("WAR  ") || validated.out.contains("ERR  ") ||
                (run % 3 == 2 && !validated.out.isEmpty()))
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
        qInfo("%d changes saved during 200 validate and check runs", changes);
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
        QTest::newRow("doubtful calibration") << Thermometer("T4", 200, 3.0) << "Doubtful";
        QTest::newRow("doubtful due date") << Thermometer("T5", 365 * 12) << "Doubtful";
        TThermometer flat = Thermometer("Flat", 200);
        flat.references = {20, 20, 20};
        QTest::newRow("not usable") << flat << "Correction not usable";
    }
    void List()
    {
        QFETCH(TThermometer, thermometer);
        QFETCH(QString, state);
        QVERIFY(Write_Thermometers({Thermometer("First", 300), thermometer}));
        const TThermometerCorrection correction = Loaded_List().Get_Correction(thermometer.description);
        const QString range =
            Correction_Problem(correction).isEmpty() ? Calibrated_Range_Text(correction) : QString();

        const TRun csv = Run({"list", "--csv"});
        QCOMPARE(csv.status, 0);
        QCOMPARE(csv.err, QString());
        const QStringList rows = csv.out.split('\n');
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], QString("thermometer,state,due_date,days_left,calibrated_range,model_error"));
        QVERIFY2(rows[1].startsWith("First,In calibration,"), qPrintable(rows[1]));
        QCOMPARE(rows[2],
                 QStringList({Csv_Field(thermometer.description), state,
                              thermometer.due_date.toString(Qt::ISODate),
                              QString::number(Today().daysTo(thermometer.due_date)), Csv_Field(range), ""})
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

    // How far a corrected value can differ from the exact inverse of the calibration, where it exceeds
    // 0.005 °C: the same bound as the Correction Editor's, worked out by hand.
    void List_Model_Error_data()
    {
        QTest::addColumn<QVector<double>>("points"); // reference, reading, three times
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("model_error");
        // d(25.4) = 0.42032: a reading of 25.40 is corrected to 24.97968.
        QTest::newRow("curved") << QVector<double>{15, 15.1, 20, 20.2, 25, 25.4} << "In calibration"
                                << "0.020 °C";
        // d(t) = 0.01 t - 0.05: off by 0.01 d(T), 0.002 at most.
        QTest::newRow("within half a digit")
            << QVector<double>{15, 15.1, 20, 20.15, 25, 25.2} << "In calibration"
            << "";
        // Files may hold what the editor does not accept.
        QTest::newRow("beyond 0 to 40") << QVector<double>{50, 50.1, 60, 60.2, 70, 70.4} << "In calibration"
                                        << "0.010 °C";
        QTest::newRow("doubtful") << QVector<double>{15, 15, 20, 20.95, 25, 25} << "Doubtful"
                                  << "0.155 °C";
    }

    void List_Model_Error()
    {
        QFETCH(QVector<double>, points);
        QFETCH(QString, state);
        QFETCH(QString, model_error);
        TThermometerList list;
        list.Set_Correction_Data("Probe 7",
                                 {points[0], points[2], points[4], points[1], points[3], points[5], {}, {}});
        list.Set_Calibration_Due_Date("Probe 7", Today().addDays(200));
        QVERIFY(list.Save_Calibration_File(Calibration_File()));

        const TRun csv = Run({"list", "--csv"});
        QCOMPARE(csv.status, 0);
        const QStringList rows = csv.out.split('\n');
        QVERIFY2(rows[1].startsWith("Probe 7," + state + ","), qPrintable(rows[1]));
        QVERIFY2(rows[1].endsWith("\u00b0C," + model_error), qPrintable(rows[1]));

        const TRun table = Run({"list"});
        const QStringList lines = table.out.split('\n');
        QVERIFY2(lines[1].endsWith(model_error.isEmpty() ? QString("\u00b0C") : "  " + model_error),
                 qPrintable(lines[1]));
        if (!model_error.isEmpty())
        {
            QCOMPARE(lines[1].indexOf(model_error), lines[0].indexOf("Model error"));
        }
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
        QVERIFY(Write_Thermometers({Thermometer("Other", 100, 0.5), Thermometer("Bath probe", due_in_days)}));
        const TThermometerList list = Loaded_List();
        const bool in_calibration = list.Is_Calibration_Valid("Bath probe");
        const TThermometerCorrection correction = list.Get_Correction("Bath probe");
        QStringList expected;
        QStringList reasons;
        int extrapolated = 0;
        for (const QString& reading : readings)
        {
            expected << Corrected_Reading_Text(reading, in_calibration, correction);
            if (expected.last() == Not_Corrected)
            {
                reasons << Not_Corrected_Reason(reading, true, in_calibration,
                                                list.Get_Calibration_Due_Date("Bath probe"), correction);
            }
            else if (Is_Outside_Calibrated_Range(reading.toDouble(), correction))
            {
                ++extrapolated;
            }
        }
        const TRun run = Run(QStringList{"correct", name} + readings);
        QCOMPARE(run.out, Lines(expected));
        QCOMPARE(run.status, reasons.isEmpty() ? 0 : 1);
        QCOMPARE(run.err.count('\n'), reasons.size() + extrapolated);
        QCOMPARE(run.err.count("by extrapolation, outside the calibrated range 15.00 to 25.00 °C."),
                 extrapolated);
        for (const QString& reason : reasons)
        {
            QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        }
    }

    void Correct_Warnings_data()
    {
        QTest::addColumn<TThermometer>("thermometer");
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("warnings");
        const QString range = "outside the calibrated range 15.00 to 25.00 \u00b0C.";
        QTest::newRow("within the range")
            << Thermometer("Probe A", 100) << QStringList{"20", "15.5"} << "19.88\n15.38\n"
            << QStringList();
        // Printed without a word, although the window marks both.
        QTest::newRow("extrapolated")
            << Thermometer("Probe A", 100) << QStringList{"30", "-3.15", "20"} << "29.88\n-3.27\n19.88\n"
            << QStringList{"WAR  Reading 30 corrected to 29.88 by extrapolation, " + range,
                           "WAR  Reading -3.15 corrected to -3.27 by extrapolation, " + range};
        // Judged on the corrected value: 14.1 is corrected to 13.98, beyond the degree, and 14.2 to 14.08.
        QTest::newRow("within a degree of the range")
            << Thermometer("Probe A", 100) << QStringList{"25.9", "14.2"} << "25.78\n14.08\n"
            << QStringList();
        QTest::newRow("doubtful calibration")
            << Thermometer("Probe A", 100, 3.0) << QStringList{"20"} << "17.00\n"
            << QStringList{"WAR  Thermometer 'Probe A' is doubtful: the test point at "
                           "15.00 \u00b0C "
                           "deviates by 3.00 \u00b0C, more than 1 \u00b0C; the test point at 20.00 \u00b0C "
                           "deviates by "
                           "3.00 \u00b0C, more than 1 \u00b0C; the test point at 25.00 \u00b0C deviates by "
                           "3.00 \u00b0C, "
                           "more than 1 \u00b0C. Check its test points."};
        const TThermometer far_ahead = Thermometer("Probe A", 365 * 12);
        QTest::newRow("doubtful due date")
            << far_ahead << QStringList{"20"} << "19.88\n"
            << QStringList{
                   QString("WAR  Thermometer 'Probe A' is doubtful: the due date %1 is more than 10 years "
                           "ahead. Check its due date.")
                       .arg(Due_Date_Text(far_ahead.due_date))};
    }
    // The numbers stand; what makes them doubtful is said on standard error, and --strict fails on it.
    void Correct_Warnings()
    {
        QFETCH(TThermometer, thermometer);
        QFETCH(QStringList, readings);
        QFETCH(QString, out);
        QFETCH(QStringList, warnings);
        QVERIFY(Write_Thermometers({thermometer}));
        const TRun run = Run(QStringList{"correct", "probe a"} + readings);
        QCOMPARE(run.out, out);
        QCOMPARE(run.err, Lines(warnings));
        QCOMPARE(run.status, 0);
        const TRun strict = Run(QStringList{"correct", "probe a", "--strict"} + readings);
        QCOMPARE(strict.out, out);
        QCOMPARE(strict.err, Lines(warnings));
        QCOMPARE(strict.status, warnings.isEmpty() ? 0 : 1);
    }

    void Correct_Csv_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("status");
        // What standard error holds, one a line, in this order.
        QTest::addColumn<QStringList>("messages");
        const QString program = "velmora-cli: ";

        QTest::newRow("header, quoted comma")
            << QByteArray("Description,X\n\"Table 2, left\",20.50\nPos 2,15.00\n") << 2 << QStringList()
            << QByteArray("Description,X,Corrected X (Bath probe)\n\"Table 2, left\",20.50,20.38\n"
                          "Pos 2,15.00,14.88\n")
            << 0 << QStringList();
        QTest::newRow("CRLF, empty reading, no last line end")
            << QByteArray("a,20\r\nb,\r\nc,21") << 2 << QStringList()
            << QByteArray("a,20,19.88\r\nb,,\r\nc,21,20.88") << 0 << QStringList();
        QTest::newRow("CR line ends")
            << QByteArray("X\r20\r\r21") << 1 << QStringList()
            << QByteArray("X,Corrected X (Bath probe)\r20,19.88\r\r21,20.88") << 0 << QStringList();
        QTest::newRow("not a number")
            << QByteArray("x,20\ny,abc\n") << 2 << QStringList() << QByteArray("x,20,19.88\ny,abc,-----\n")
            << 1 << QStringList{program + "line 2: 'abc' not corrected: \"abc\" is not a number"};
        QTest::newRow("first column, quoted line end")
            << QByteArray("20,\"two\nlines\"\n") << 1 << QStringList()
            << QByteArray("20,\"two\nlines\",19.88\n") << 0 << QStringList();
        // Re-encoded to Latin-1, "€" became "?" and "ö" one byte.
        QTest::newRow("UTF-8 kept") << QByteArray("Pos,Gr\xC3\xB6\xC3\x9F"
                                                  "e\r\nTisch \xE2\x82\xAC,20.00\r\n")
                                    << 2 << QStringList()
                                    << QByteArray("Pos,Gr\xC3\xB6\xC3\x9F"
                                                  "e,Corrected Gr\xC3\xB6\xC3\x9F"
                                                  "e (Bath probe)\r\n"
                                                  "Tisch \xE2\x82\xAC,20.00,19.88\r\n")
                                    << 0 << QStringList();
        QTest::newRow("UTF-8 with byte-order mark")
            << QByteArray("\xEF\xBB\xBFX,Pos\n20,a\n") << 1 << QStringList()
            << QByteArray("\xEF\xBB\xBFX,Pos,Corrected X (Bath probe)\n20,a,19.88\n") << 0 << QStringList();
        QTest::newRow("byte-order mark only") << QByteArray("\xEF\xBB\xBF") << 1 << QStringList()
                                              << QByteArray("\xEF\xBB\xBF") << 0 << QStringList();
        // Read as UTF-8, the byte fc became the three bytes ef bf bd.
        QTest::newRow("Latin-1 kept") << QByteArray("Gr\xF6\xDF"
                                                    "e,X\n\xFC"
                                                    "ber,20\n")
                                      << 2 << QStringList()
                                      << QByteArray("Gr\xF6\xDF"
                                                    "e,X,Corrected X (Bath probe)\n\xFC"
                                                    "ber,20,19.88\n")
                                      << 0 << QStringList();
        // The inch mark opened a quoted field that swallowed the rest of the file.
        QTest::newRow("quote inside a field")
            << QByteArray("Description,X\nRod 5\" stem,20.0\nNext,21.0\n") << 2 << QStringList()
            << QByteArray(
                   "Description,X,Corrected X (Bath probe)\nRod 5\" stem,20.0,19.88\nNext,21.0,20.88\n")
            << 0 << QStringList();
        QTest::newRow("text after the closing quote")
            << QByteArray("P,X\nA,\"20\"5\nB,21\n") << 2 << QStringList()
            << QByteArray("P,X,Corrected X (Bath probe)\nA,\"20\"5,-----\nB,21,20.88\n") << 1
            << QStringList{program +
                           "line 2: '205' not corrected: line 2, column 7: text after the closing quote of "
                           "the field that starts at column 3"};
        // Counted by records, the error was on "line 3".
        QTest::newRow("line numbers after a quoted line end")
            << QByteArray("Position,X\n\"two\nlines\",20\nthree,abc\n") << 2 << QStringList()
            << QByteArray("Position,X,Corrected X (Bath probe)\n\"two\nlines\",20,19.88\nthree,abc,-----\n")
            << 1 << QStringList{program + "line 4: 'abc' not corrected: \"abc\" is not a number"};
        // The header was taken for a reading: "-----" and exit status 1.
        QTest::newRow("blank first line")
            << QByteArray("\nX\n20\n") << 1 << QStringList()
            << QByteArray("\nX,Corrected X (Bath probe)\n20,19.88\n") << 0 << QStringList();
        QTest::newRow("line without the column")
            << QByteArray("a,b,c\n1,20\n2\n") << 2 << QStringList()
            << QByteArray("a,b,c,Corrected b (Bath probe)\n1,20,19.88\n2,-----\n") << 1
            << QStringList{program + "line 3: not corrected: the line has no column 2, only 1"};
        QTest::newRow("semicolons, decimal commas")
            << QByteArray("\xEF\xBB\xBFPos;X\r\nA;20,5\r\nB;\"21,0\"\r\n") << 2
            << QStringList{"--delimiter", ";", "--decimal-comma"}
            << QByteArray(
                   "\xEF\xBB\xBFPos;X;Corrected X (Bath probe)\r\nA;20,5;20,38\r\nB;\"21,0\";20,88\r\n")
            << 0 << QStringList();
        QTest::newRow("decimal commas, quoted in a comma file")
            << QByteArray("P,X\nA,\"20,5\"\n") << 2 << QStringList{"--decimal-comma"}
            << QByteArray("P,X,Corrected X (Bath probe)\nA,\"20,5\",\"20,38\"\n") << 0 << QStringList();
        QTest::newRow("decimal comma, a point given")
            << QByteArray("X\n20.5\n") << 1 << QStringList{"--decimal-comma"}
            << QByteArray("X,Corrected X (Bath probe)\n20.5,-----\n") << 1
            << QStringList{program +
                           "line 2: '20.5' not corrected: \"20.5\" is not a number (--decimal-comma takes a "
                           "comma for the decimals)"};
        QTest::newRow("decimal comma, not a number")
            << QByteArray("X;Y\n2,0,5;a\n") << 1 << QStringList{"--delimiter", ";", "--decimal-comma"}
            << QByteArray("X;Y;Corrected X (Bath probe)\n2,0,5;a;-----\n") << 1
            << QStringList{program + "line 2: '2,0,5' not corrected: \"2,0,5\" is not a number"};
        QTest::newRow("decimal comma without the option")
            << QByteArray("X\n\"20,5\"\n") << 1 << QStringList()
            << QByteArray("X,Corrected X (Bath probe)\n\"20,5\",-----\n") << 1
            << QStringList{program +
                           "line 2: '20,5' not corrected: \"20,5\" is not a number (for decimal commas give "
                           "--decimal-comma)"};
        // Read as 20 without a word.
        QTest::newRow("decimal comma splitting a field")
            << QByteArray("P,X,Y\nA,20,5,21,3\n") << 2 << QStringList()
            << QByteArray("P,X,Y,Corrected X (Bath probe)\nA,20,5,21,3,-----\n") << 1
            << QStringList{program +
                           "line 2: '20,5' not corrected: a decimal comma splits it into two fields, and the "
                           "line has 5 fields where the first has 3; quote it, or give --delimiter ';' "
                           "--decimal-comma for a file that separates fields with semicolons"};
        QTest::newRow("perhaps a decimal comma, no header")
            << QByteArray("20,5\n") << 1 << QStringList() << QByteArray("20,5,19.88\n") << 0
            << QStringList{
                   "WAR  Line 1: read 20 from '20,5'; were it a decimal comma, the file would need quotes or "
                   "--delimiter ';' --decimal-comma."};
        QTest::newRow("integers beside integers, with a header")
            << QByteArray("X,Count\n20,5\n") << 1 << QStringList()
            << QByteArray("X,Count,Corrected X (Bath probe)\n20,5,19.88\n") << 0 << QStringList();
        // Extrapolated without a word.
        QTest::newRow("extrapolated") << QByteArray("X\n30\n20\n") << 1 << QStringList()
                                      << QByteArray("X,Corrected X (Bath probe)\n30,29.88\n20,19.88\n") << 0
                                      << QStringList{"WAR  Line 2: reading 30 corrected to 29.88 by "
                                                     "extrapolation, outside the calibrated range "
                                                     "15.00 to 25.00 \u00b0C."};
        QTest::newRow("extrapolated, strict") << QByteArray("X\n30\n") << 1 << QStringList{"--strict"}
                                              << QByteArray("X,Corrected X (Bath probe)\n30,29.88\n") << 1
                                              << QStringList{"WAR  Line 2: reading 30 corrected to 29.88 by "
                                                             "extrapolation, outside the calibrated range "
                                                             "15.00 to 25.00 \u00b0C."};
        QTest::newRow("tab between fields")
            << QByteArray("P\tX\nA\t20\n") << 2 << QStringList{"--delimiter", "\t"}
            << QByteArray("P\tX\tCorrected X (Bath probe)\nA\t20\t19.88\n") << 0 << QStringList();
    }
    // Readings taken elsewhere: the file comes back byte for byte with a corrected column appended, on
    // standard output and through --output alike.
    void Correct_Csv()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, column);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, expected);
        QFETCH(int, status);
        QFETCH(QStringList, messages);
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100)}));
        const QString input = directory->path() + "/readings.csv";
        QVERIFY(Test_Support::Write_File(input, csv));
        const QStringList arguments =
            QStringList{"correct", "bath probe", "--csv", input, "--column", QString::number(column)} +
            options;
        const TRun printed = Run(arguments);
        QCOMPARE(printed.bytes, expected);
        QCOMPARE(printed.status, status);
        QCOMPARE(printed.err, Lines(messages));
        const QString output = directory->path() + "/corrected.csv";
        const TRun written = Run(arguments + QStringList{"--output", output});
        QCOMPARE(written.bytes, QByteArray());
        QCOMPARE(written.status, status);
        QCOMPARE(written.err, Lines(messages));
        QCOMPARE(Test_Support::Read_File(output), expected);
        QCOMPARE(Test_Support::Read_File(input), csv);
    }

    void Csv_Refused_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("quoted field left open") << QByteArray("P,X\nA,20\n\xC3\xA4,\"21\n") << 2 << 1
                                                << "line 3, column 3: the quoted field that starts there is "
                                                   "not closed before the end of the file; "
                                                   "nothing was written";
        // An empty column was added with exit status 0.
        QTest::newRow("column beyond every line") << QByteArray("a,b,c\n1,2,3\n") << 9 << 64
                                                  << "--column 9: no line of the file has more than 3 fields";
    }
    // Nothing on standard output, and an existing --output file stays as it was.
    void Csv_Refused()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, column);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100)}));
        const QString input = directory->path() + "/readings.csv";
        QVERIFY(Test_Support::Write_File(input, csv));
        const QString output = directory->path() + "/corrected.csv";
        QVERIFY(Test_Support::Write_File(output, "kept"));
        const QStringList arguments{"correct", "Bath probe", "--csv",
                                    input,     "--column",   QString::number(column)};
        for (const QStringList& extra : {QStringList(), QStringList{"--output", output}})
        {
            const TRun run = Run(arguments + extra);
            QCOMPARE(run.status, status);
            QCOMPARE(run.bytes, QByteArray());
            QVERIFY2(run.err.startsWith("velmora-cli: ") && run.err.contains(message), qPrintable(run.err));
        }
        QCOMPARE(Test_Support::Read_File(output), QByteArray("kept"));
    }

    void Csv_Header_Encoding_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("UTF-8 file") << QString("Gr\u00f6\u00dfe \u20ac") << QByteArray("X\n20\n")
                                    << QByteArray("Corrected X (Gr\xC3\xB6\xC3\x9F"
                                                  "e \xE2\x82\xAC)");
        QTest::newRow("Latin-1 file") << QString("Gr\u00f6\u00dfe") << QByteArray("X\xFC\n20\n")
                                      << QByteArray("Corrected X\xFC (Gr\xF6\xDF"
                                                    "e)");
        QTest::newRow("Latin-1 file, a description beyond it")
            << QString("S\u00e4ule \u20ac") << QByteArray("X\xFC\n20\n")
            << QByteArray("Corrected X\xFC (Saule ?)");
    }
    // The new column's name is written in the file's encoding where it can be, else in ASCII.
    void Csv_Header_Encoding()
    {
        QFETCH(QString, description);
        QFETCH(QByteArray, csv);
        QFETCH(QByteArray, header);
        QVERIFY(Write_Thermometers({Thermometer(description, 100)}));
        const QString input = directory->path() + "/readings.csv";
        QVERIFY(Test_Support::Write_File(input, csv));
        const TRun run = Run({"correct", description, "--csv", input, "--column", "1"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.bytes, csv.left(csv.indexOf('\n')) + "," + header + "\n20,19.88\n");
    }

    // A full standard output is a failure with the system's reason, for every command that prints.
    void Full_Standard_Output_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("list") << QStringList{"list"};
        QTest::newRow("list --csv") << QStringList{"list", "--csv"};
        QTest::newRow("check") << QStringList{"check", "--warn-days", "400"};
        QTest::newRow("correct") << QStringList{"correct", "Bath probe", "20"};
        QTest::newRow("validate") << QStringList{"validate"};
        QTest::newRow("help") << QStringList{"--help"};
    }
    void Full_Standard_Output()
    {
        QFETCH(QStringList, arguments);
        if (!QFileInfo("/dev/full").exists())
        {
            QSKIP("no /dev/full here");
        }
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100)}));
        const TRun run = Run(arguments, "/dev/full");
        QCOMPARE(run.status, 74);
        QCOMPARE(run.err, QString("velmora-cli: cannot write standard output: %1\n")
                              .arg(QString::fromLocal8Bit(std::strerror(ENOSPC))));
    }

    // --output onto a named pipe writes into it: the reader gets the content, and the pipe stays.
    void Output_Into_Pipe_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("csv") << QStringList{"correct", "Bath probe", "--csv", "READINGS", "--column", "2"};
        QTest::newRow("report") << QStringList{"report", "corrections", "Bath probe"};
    }
    void Output_Into_Pipe()
    {
        QFETCH(QStringList, arguments);
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100)}));
        const QString readings = directory->path() + "/readings.csv";
        QVERIFY(Test_Support::Write_File(readings, "P,X\nA,20\n"));
        arguments.replaceInStrings("READINGS", readings);
        const QString pipe = directory->path() + "/pipe";
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        const TRun run = Run(arguments + QStringList{"--output", pipe});
        QByteArray received(65536, '\0');
        const ssize_t size = ::read(reader, received.data(), size_t(received.size()));
        ::close(reader);
        received.truncate(int(qMax<ssize_t>(size, 0)));
        QCOMPARE(run.status, 0);
        QVERIFY2(received.startsWith(arguments[0] == "correct" ? "P,X,Corrected X (Bath probe)\nA,20,19.88\n"
                                                               : "Thermometer:,Bath probe"),
                 received.constData());
        struct stat status;
        QCOMPARE(::stat(QFile::encodeName(pipe).constData(), &status), 0);
        QVERIFY(S_ISFIFO(status.st_mode));
    }

    void List_Formula_Guard_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "Bath probe"
                               << "Bath probe";
        QTest::newRow("equals sign") << "=HYPERLINK(\"x\")"
                                     << "\"'=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("plus") << "+1"
                              << "'+1";
        QTest::newRow("at sign") << "@SUM(A1)"
                                 << "'@SUM(A1)";
        QTest::newRow("minus before text") << "-2+3 probe"
                                           << "'-2+3 probe";
        QTest::newRow("minus before a number") << "-5"
                                               << "-5";
    }
    // A description that a spreadsheet would run as a formula is shown as text in list --csv.
    void List_Formula_Guard()
    {
        QFETCH(QString, description);
        QFETCH(QString, field);
        QVERIFY(Write_Thermometers({Thermometer(description, 100)}));
        const TRun run = Run({"list", "--csv"});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.split('\n').value(1).startsWith(field + ",In calibration,"), qPrintable(run.out));
        // The names for completion and scripts are the descriptions as they are.
        QCOMPARE(Run({"list", "--names"}).out, description + "\n");
    }

    void Data_Directory_Choice_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("status");
        // Where the command looked, relative to the scratch directory.
        QTest::addColumn<QString>("looked_at");
        QTest::newRow("beside the program, none yet") << "build" << 3 << "bin/.velmora";
        QTest::newRow("beside the program") << "build with data" << 0 << QString();
        QTest::newRow("program directory not writable, none in the user's")
            << "read-only build with data" << 3 << "home/.local/share/velmora";
        QTest::newRow("program directory not writable, the user's used")
            << "read-only build, user data" << 0 << QString();
        QTest::newRow("installed, none yet") << "installed" << 3 << "home/.local/share/velmora";
        QTest::newRow("installed") << "installed, user data" << 0 << QString();
        QTest::newRow("named, missing") << "named missing" << 3 << "nowhere";
    }
    // The data directory the window would use, found without making it or copying anything into it; a
    // missing one is named.
    void Data_Directory_Choice()
    {
        QFETCH(QString, layout);
        QFETCH(int, status);
        QFETCH(QString, looked_at);
        const QString root = directory->path();
        const QString bin = root + "/bin";
        QVERIFY(QDir().mkpath(bin));
        const QString program = bin + "/velmora-cli";
        QVERIFY(QFile::copy(VELMORA_CLI_EXECUTABLE, program));
        const QString user_directory = root + "/home/.local/share/velmora";
        if (layout.startsWith("installed"))
        {
            QVERIFY(QDir().mkpath(root + "/share/applications"));
            QVERIFY(Test_Support::Write_File(root + "/share/applications/" VELMORA_APPLICATION_ID ".desktop",
                                             ""));
        }
        if (layout.contains("with data"))
        {
            QVERIFY(Test_Support::Write_Calibration_File({Thermometer("Beside", 100)},
                                                         bin + "/.velmora/calibration_data.xml"));
        }
        if (layout.contains("user data"))
        {
            QVERIFY(Test_Support::Write_Calibration_File({Thermometer("User", 100)},
                                                         user_directory + "/calibration_data.xml"));
        }
        const bool read_only = layout.startsWith("read-only");
        // As a program unpacked by another user: neither its directory nor its data directory writable.
        QStringList read_only_directories;
        for (const QString& path : read_only ? QStringList{bin + "/.velmora", bin} : QStringList())
        {
            if (QFileInfo::exists(path))
            {
                QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
                read_only_directories << path;
            }
        }
        const QMap<QString, QByteArray> before = Snapshot(root);
        const QStringList data_directory =
            layout == "named missing" ? QStringList{"--data-dir", root + "/nowhere"} : QStringList();
        const TRun run = Run_Program(program, data_directory + QStringList{"list", "--names"});
        const QMap<QString, QByteArray> after = Snapshot(root);
        for (const QString& path : read_only_directories)
        {
            QFile::setPermissions(path,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        QCOMPARE(run.status, status);
        QCOMPARE(after.keys(), before.keys());
        QVERIFY(after == before);
        if (status == 3)
        {
            QCOMPARE(run.out, QString());
            QVERIFY2(run.err.startsWith(
                         QString("velmora-cli: no data directory '%1'").arg(root + "/" + looked_at)),
                     qPrintable(run.err));
        }
        else
        {
            QCOMPARE(run.out, QString(layout.contains("user data") ? "User\n" : "Beside\n"));
        }
    }

    // Every command leaves the data directory as it found it: the calibration file, its history, the
    // settings, and no lock or probe file.
    void Writes_Nothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("list") << QStringList{"list"};
        QTest::newRow("check") << QStringList{"check"};
        QTest::newRow("findings") << QStringList{"findings", "--all"};
        QTest::newRow("correct") << QStringList{"correct", "Bath probe", "20"};
        QTest::newRow("validate") << QStringList{"validate"};
        QTest::newRow("report") << QStringList{"report", "corrections", "Bath probe", "--output", "REPORT"};
        QTest::newRow("correct csv") << QStringList{"correct", "Bath probe", "--csv",
                                                    "REPORT",  "--column",   "1"};
    }
    void Writes_Nothing()
    {
        QFETCH(QStringList, arguments);
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100), Thermometer("T2", 3)}));
        QVERIFY(Test_Support::Write_File(Data_Directory() + "/velmora_settings.ini",
                                         "[General]\nWarn_Days_Before_Due=60\n"));
        TThermometerList list;
        Started_Store(&list);
        QVERIFY(QFileInfo::exists(Data_Directory() + "/calibration_history.jsonl"));
        const QString report = directory->path() + "/report.csv";
        QVERIFY(Test_Support::Write_File(report, "20\n"));
        arguments.replaceInStrings("REPORT", report);
        const QMap<QString, QByteArray> before = Snapshot(Data_Directory());
        const TRun run = Run(arguments);
        QVERIFY2(run.status == 0 || (arguments[0] == "check" && run.status == 1), qPrintable(run.err));
        QVERIFY(Snapshot(Data_Directory()) == before);
        QCOMPARE(QDir(directory->path() + "/home")
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // With no calibration file yet, the remedy is the command line's, not the window's menu.
    void Missing_Calibration_File_Remedy()
    {
        const TRun run = Run({"list"});
        QCOMPARE(run.status, 1);
        QCOMPARE(
            run.err,
            QString("ERR  Cannot load calibration file: '%1': no calibration file exists yet. Thermometers "
                    "are added in the window (velmora); --data-dir DIR reads another data directory.\n")
                .arg(Calibration_File()));
    }

    void Completion_data()
    {
        // The command line after "velmora-cli --data-dir DIR ", and its words as bash splits them (also at
        // "=" and ":").
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("replies");
        QTest::newRow("correct, every thermometer")
            << "correct " << QStringList{"correct", ""}
            << QStringList{"Bath\\ probe", "Bad\\ \\\"5\\\"", "Other", "Probe:1\\ A=2", "=1+1"};
        QTest::newRow("correct, letter case ignored")
            << "correct ba" << QStringList{"correct", "ba"} << QStringList{"Bath\\ probe", "Bad\\ \\\"5\\\""};
        QTest::newRow("correct, after a quote")
            << "correct \"bat" << QStringList{"correct", "\"bat"} << QStringList{"Bath probe"};
        QTest::newRow("correct, escaped blank")
            << "correct Bath\\ " << QStringList{"correct", "Bath\\ "} << QStringList{"Bath\\ probe"};
        QTest::newRow("correct, a reading next")
            << "correct Other " << QStringList{"correct", "Other", ""} << QStringList();
        QTest::newRow("correct, after options")
            << "correct --csv r.csv --column 2 o"
            << QStringList{"correct", "--csv", "r.csv", "--column", "2", "o"} << QStringList{"Other"};
        // readline keeps what stands before the last "=" or ":" and completes the rest.
        QTest::newRow("correct, after a colon")
            << "correct probe:" << QStringList{"correct", "probe", ":"} << QStringList{"1\\ A=2"};
        QTest::newRow("correct, after an equals sign")
            << "correct =" << QStringList{"correct", "="} << QStringList{"1+1"};
        QTest::newRow("report, the kind")
            << "report " << QStringList{"report", ""} << QStringList{"corrections", "uncertainty"};
        QTest::newRow("report, the thermometer")
            << "report uncertainty --uncertainty 0.1 O"
            << QStringList{"report", "uncertainty", "--uncertainty", "0.1", "O"} << QStringList{"Other"};
        QTest::newRow("options") << "list --n" << QStringList{"list", "--n"} << QStringList{"--names"};
        QTest::newRow("commands") << "f" << QStringList{"f"} << QStringList{"findings"};
        QTest::newRow("findings options")
            << "findings --a" << QStringList{"findings", "--a"} << QStringList{"--all"};
    }
    // bash completes thermometer descriptions from the data directory the command line names.
    void Completion()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, words);
        QFETCH(QStringList, replies);
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100), Thermometer("Bad \"5\"", 100),
                                    Thermometer("Other", 100), Thermometer("Probe:1 A=2", 100),
                                    Thermometer("=1+1", 100)}));
        const QStringList start{"velmora-cli", "--data-dir", Data_Directory()};
        const auto quoted = [](const QString& word) {
            return "'" + QString(word).replace("'", "'\\''") + "'";
        };
        QStringList quoted_words;
        for (const QString& word : start + words)
        {
            quoted_words << quoted(word);
        }
        const QString command_line = start.join(' ') + " " + line;
        const QString script = QString("source '%1'\nCOMP_WORDS=(%2)\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                                       "COMP_LINE=%3\nCOMP_POINT=${#COMP_LINE}\n"
                                       "_velmora_cli\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n")
                                   .arg(VELMORA_CLI_COMPLETION, quoted_words.join(' '), quoted(command_line));
        QProcess bash;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH",
                           QFileInfo(VELMORA_CLI_EXECUTABLE).path() + ":" + environment.value("PATH"));
        environment.insert("HOME", directory->path() + "/home");
        environment.insert("LC_ALL", "C.UTF-8");
        bash.setProcessEnvironment(environment);
        bash.start("bash", {"--norc", "-c", script});
        QVERIFY(bash.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(bash.readAllStandardError()), QString());
        QStringList got = QString::fromUtf8(bash.readAllStandardOutput()).split('\n');
        got.removeAll(QString());
        QCOMPARE(got, replies);
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
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100, 0.3)}));
        const TThermometerList list = Loaded_List();
        const TThermometerCorrection correction = list.Get_Correction("Bath probe");
        const QDate due_date = list.Get_Calibration_Due_Date("Bath probe");
        const QString content = kind == "corrections"
                                    ? Corrections_Report("Bath probe", due_date, correction)
                                    : Uncertainty_Report("Bath probe", due_date, correction, uncertainty);
        const QString expected_file = directory->path() + "/expected.csv";
        TMessage error;
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
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100)}));
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
        QTest::newRow("empty data directory")
            << QStringList{"--data-dir", "", "list"} << "--data-dir needs a directory";
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
            << QStringList{"correct", "Bath probe", "20", "--column", "1"} << "--column belongs to --csv";
        QTest::newRow("delimiter without csv")
            << QStringList{"correct", "Bath probe", "20", "--delimiter", ";"}
            << "--delimiter belongs to --csv";
        QTest::newRow("column 0")
            << QStringList{"correct", "Bath probe", "--csv", "r.csv", "--column", "0"}
            << "--column '0': give the column of the readings as a number, counted from 1";
        QTest::newRow("delimiter a quote")
            << QStringList{"correct", "Bath probe", "--csv", "r.csv", "--column", "1", "--delimiter", "\""}
            << "--delimiter '\"': give one ASCII character";
        QTest::newRow("delimiter of two characters")
            << QStringList{"correct", "Bath probe", "--csv", "r.csv", "--column", "1", "--delimiter", ";;"}
            << "--delimiter ';;'";
    }
    void Usage_Errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QVERIFY(Write_Thermometers({Thermometer("Bath probe", 100)}));
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
        QTest::newRow("check for cron") << QStringList{"--help"} << "what needs a person, for cron";
        QTest::newRow("findings help") << QStringList{"findings", "--help"} << "--all";
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
