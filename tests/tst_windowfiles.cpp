// What the window writes to files, the temperature log's entries and the two reports, and what its
// log pane says about them.
#include "calibrationstore.h"
#include "clock.h"
#include "logtrace.h"
#include "reports.h"
#include "timetext.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace Test_Support;

namespace
{
QStringList Lines(const QString& report)
{
    return report.split('\n', Qt::SkipEmptyParts);
}

// Writes a calibration file of one thermometer with the given points (reference, reading).
bool Write_Curved_Thermometer(const QVector<double>& points, const QDate& due_date)
{
    TThermometerList list;
    list.Set_Correction_Data("Probe 7",
                             {points[0], points[2], points[4], points[1], points[3], points[5], {}, {}});
    list.Set_Calibration_Due_Date("Probe 7", due_date);
    QDir().mkpath(Data_Directory());
    return list.Save_Calibration_File(Calibration_File());
}
} // namespace

class TWindowFilesTest : public QObject
{
    Q_OBJECT

    const QByteArray Header =
        "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";
    // The reports are written here, the log into a directory of its own.
    QTemporaryDir folder;
    QTemporaryDir record_directory;

    QString Log_File() const { return record_directory.path() + "/velmora.csv"; }
    void Log_Into_Record_Directory(TVelmora* window) const
    {
        Child<QLineEdit>(window, "Record_Path_Field")
            ->setText(QDir::toNativeSeparators(record_directory.path()));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        Remove_Data_Directories();
        QFile::remove(Log_File());
    }

    void Reports_Are_Written_From_The_Window()
    {
        QVERIFY(Write_Calibration_File({{"Probe 7", 0.1, QDate(2031, 12, 31)}}));
        Store_Setting("Current_Path", folder.path());
        TVelmora window;
        const TThermometerCorrection correction = Correction(15, 0.1, 20, 0.1, 25, 0.1);
        QString proposed; // by the last save dialog, with its filter
        QString shown;    // by the last input dialog
        Answer_Save_Dialog(folder.path() + "/e.csv", &proposed);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Corrections"));
        // Named after the thermometer and the kind of report.
        QCOMPARE(proposed, folder.path() + "/Probe 7 corrections evaluation.csv|CSV data (*.csv *.txt)");
        QCOMPARE(Read_File(folder.path() + "/e.csv"),
                 ::Corrections_Report("Probe 7", QDate(2031, 12, 31), correction).toLatin1());
        QCOMPARE(Log_Lines(&window).last(), "INF  Evaluation file written. File: '" +
                                                QDir::toNativeSeparators(folder.path() + "/e.csv") + "'");

        // The value proposed is selected: what is typed replaces it (here without selecting it first).
        QString title;
        Answer_Next_Modal("TInputDialog", [&](QWidget* modal) {
            QLineEdit* edit = Child<QLineEdit>(modal, "Value_Edit");
            shown = edit->text();
            title = modal->windowTitle();
            QTest::keyClicks(edit, "0.1");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        Answer_Save_Dialog(folder.path() + "/u.csv", &proposed);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Uncertainty"));
        QCOMPARE(shown + "|" + title, QString("0.04|Evaluate Uncertainty"));
        QCOMPARE(proposed, folder.path() + "/Probe 7 uncertainty evaluation.csv|CSV data (*.csv *.txt)");
        QCOMPARE(Read_File(folder.path() + "/u.csv"),
                 ::Uncertainty_Report("Probe 7", QDate(2031, 12, 31), correction, 0.1).toLatin1());
        QCOMPARE(Log_Lines(&window).last(), "INF  Uncertainty file written. File: '" +
                                                QDir::toNativeSeparators(folder.path() + "/u.csv") + "'");

        // Cancelling writes and logs nothing; the next run offers the value last shown.
        const QStringList log_before = Log_Lines(&window);
        Answer_Input_Dialog(QString(), &shown);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Uncertainty"));
        QCOMPARE(shown, QString("0.1"));
        QCOMPARE(Log_Lines(&window), log_before);

        // A file that cannot be opened is named, with the reason.
        Answer_Save_Dialog(folder.path() + "/missing/e.csv", &proposed);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Corrections"));
        QCOMPARE(Log_Lines(&window).last(), "ERR  Cannot open evaluation file for writing. File: '" +
                                                QDir::toNativeSeparators(folder.path() + "/missing/e.csv") +
                                                "'.  Reason: No such file or directory");

        // A write that fails is not reported as written and leaves the previous report intact.
        QVERIFY(Write_File(folder.path() + "/full.csv", "previous report"));
        Answer_Save_Dialog(folder.path() + "/full.csv", &proposed);
        Answer_Next_Modal("QMessageBox", [](QWidget* modal) { // replace the existing file
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        With_File_Size_Limit(100, [&]() { QMetaObject::invokeMethod(&window, "Evaluate_Corrections"); });
        // The system's reason, not Qt's "Unknown error" for a short write.
        QCOMPARE(Log_Lines(&window).last(),
                 "ERR  Evaluation file '" + QDir::toNativeSeparators(folder.path() + "/full.csv") +
                     "' was not written completely: " + QString::fromLocal8Bit(std::strerror(EFBIG)));
        QCOMPARE(Read_File(folder.path() + "/full.csv"), QByteArray("previous report"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList({"e.csv", "full.csv", "u.csv"}));
    }

    // A report of a doubtful thermometer is written as any other, and the log pane says what it is; how
    // far a corrected value can be from the exact inverse of the calibration follows both reports as a
    // WAR line once it reaches the window's last digit. The reports stay as they are.
    void Reports_Are_Warned_data()
    {
        const QDate today(2026, 12, 7);
        QTest::addColumn<QVector<double>>("points"); // reference, reading, three times
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<QStringList>("warnings");
        const QString written = "WAR  Report written for thermometer 'Probe 7', ";
        const QString implausible = written +
                                    "which is doubtful: the test point at 15.00 \u00b0C "
                                    "deviates by 1.50 \u00b0C, more than 1 \u00b0C; the test point at "
                                    "20.00 \u00b0C deviates by 1.50 \u00b0C, more than 1 \u00b0C; the "
                                    "test point at 25.00 \u00b0C deviates by 1.50 \u00b0C, more than 1 "
                                    "\u00b0C.";
        const QString model = written +
                              "where corrections take the deviation at the reading, so within the "
                              "calibrated range a corrected value differs from the exact inverse of "
                              "the calibration by up to %1 \u00b0C (at %2 \u00b0C).";
        const QVector<double> sound = {15, 15.1, 20, 20.1, 25, 25.1};
        const QVector<double> off = {15, 16.5, 20, 21.5, 25, 26.5};
        QTest::newRow("in calibration") << sound << today.addDays(1) << QStringList();
        QTest::newRow("due today") << sound << today
                                   << QStringList{written + "which is out of calibration since Dec 07 2026."};
        QTest::newRow("no due date") << sound << QDate()
                                     << QStringList{written + "which is out of calibration: no due date."};
        QTest::newRow("not usable")
            << QVector<double>{20, 20.1, 20.4, 20.5, 20.9, 21} << today.addDays(1)
            << QStringList{written +
                           "whose correction is not usable: test points span less than one degree."};
        QTest::newRow("doubtful calibration") << off << today.addDays(1) << QStringList{implausible};
        QTest::newRow("doubtful due date")
            << sound << QDate(2037, 1, 1)
            << QStringList{written +
                           "which is doubtful: the due date Jan 01 2037 is more than 10 years ahead."};
        // One state: out of calibration outranks a doubtful calibration.
        QTest::newRow("overdue and doubtful")
            << off << today.addDays(-1)
            << QStringList{written + "which is out of calibration since Dec 06 2026."};
        // d(25.4) = 0.42032: a reading of 25.40 is corrected to 24.97968.
        QTest::newRow("curved") << QVector<double>{15, 15.1, 20, 20.2, 25, 25.4} << today.addYears(1)
                                << QStringList{model.arg("0.020", "25.00")};
        QTest::newRow("within half a digit")
            << QVector<double>{15, 15.1, 20, 20.15, 25, 25.2} << today.addYears(1) << QStringList();
        QTest::newRow("beyond 0 to 40") << QVector<double>{50, 50.1, 60, 60.2, 70, 70.4} << today.addYears(1)
                                        << QStringList{model.arg("0.010", "70.00")};
    }

    void Reports_Are_Warned()
    {
        QFETCH(QVector<double>, points);
        QFETCH(QDate, due_date);
        QFETCH(QStringList, warnings);
        TClock::Set_Fixed_Now(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
        QVERIFY(Write_Curved_Thermometer(points, due_date));
        TThermometerList list;
        QVERIFY(list.Load_Calibration_File(Calibration_File()));
        const TThermometerCorrection correction = list.Get_Correction("Probe 7");
        Store_Setting("Current_Path", folder.path());
        TVelmora window;
        // Files of their own: an existing one would be confirmed first.
        const QString corrections = folder.path() + "/" + QTest::currentDataTag() + " e.csv";
        const QString uncertainties = folder.path() + "/" + QTest::currentDataTag() + " u.csv";
        QString proposed;
        Answer_Save_Dialog(corrections, &proposed);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Corrections"));
        QStringList lines = Log_Lines(&window);
        QCOMPARE(lines.mid(lines.size() - 1 - warnings.size()),
                 QStringList("INF  Evaluation file written. File: '" + QDir::toNativeSeparators(corrections) +
                             "'") +
                     warnings);
        Answer_Input_Dialog("0.1");
        Answer_Save_Dialog(uncertainties, &proposed);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Uncertainty"));
        lines = Log_Lines(&window);
        QCOMPARE(lines.mid(lines.size() - 1 - warnings.size()),
                 QStringList("INF  Uncertainty file written. File: '" +
                             QDir::toNativeSeparators(uncertainties) + "'") +
                     warnings);
        TClock::Set_Fixed_Now(QDateTime());

        // The files hold the reports alone: the table's rows, nothing after them.
        const QByteArray corrections_file = Read_File(corrections);
        const QByteArray uncertainties_file = Read_File(uncertainties);
        QCOMPARE(corrections_file, ::Corrections_Report("Probe 7", due_date, correction).toLatin1());
        QCOMPARE(uncertainties_file, ::Uncertainty_Report("Probe 7", due_date, correction, 0.1).toLatin1());
        QCOMPARE(Lines(QString::fromLatin1(uncertainties_file)).size(), 3 + 57);
        QVERIFY(!corrections_file.contains("corrections take") &&
                !uncertainties_file.contains("corrections take"));
    }

    void Unusable_Range_Opens_No_Dialog()
    {
        QVERIFY(Write_Calibration_File({{"Wide", 0.0, QDate(2031, 1, 1), {0, 1, 5e6}}}));
        TVelmora window;
        for (const char* slot : {"Evaluate_Corrections", "Evaluate_Uncertainty"})
        {
            QVERIFY(QMetaObject::invokeMethod(&window, slot));
            QVERIFY(Log_Lines(&window).last().startsWith(
                "ERR  Cannot evaluate the temperature range 0 to 5e+06"));
        }
    }

    // The log records "-----" as shown; the pane says why, for the ticked axes only, and only for an
    // entry that was written.
    void Window_Explains_Dashes()
    {
        QVERIFY(Write_Calibration_File({{"T1", 0.12, QDate::currentDate()}}));
        Store_Setting("Log_Date_Time", true);
        TVelmora window;
        Log_Into_Record_Directory(&window);
        Child<QLineEdit>(&window, "Description_Field")->setText("P1");
        Child<QCheckBox>(&window, "Y_Check_Box")->setChecked(false);
        QVERIFY(QMetaObject::invokeMethod(&window, "Write_Temperature_Entry"));
        QCOMPARE(Log_Lines(&window).last(),
                 "WAR  Entry written with \"-----\" for X, Z, Part: out of calibration since " +
                     QLocale::c().toString(QDate::currentDate(), "MMM dd yyyy") + ".");
        const QList<QByteArray> lines = Read_File(Log_File()).split('\n');
        QCOMPARE(lines[0] + "\n", "Date and Time," + Header);
        QVERIFY2(QRegularExpression(
                     "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d,P1,T1,-----,,-----,-----$")
                     .match(QString::fromLatin1(lines[1]))
                     .hasMatch(),
                 lines[1].constData());

        Child<QLineEdit>(&window, "Record_Path_Field")
            ->setText(QDir::toNativeSeparators(record_directory.path() + "/missing"));
        QVERIFY(QMetaObject::invokeMethod(&window, "Write_Temperature_Entry"));
        QVERIFY(Log_Lines(&window).last().startsWith("WAR  Cannot open temperature log file for writing."));
    }

    // A reading that stands for a temperature more than a degree beyond the test points is corrected by
    // extending the curve; the log cannot show that, so the pane names the ticked axes that hold one.
    void Window_Names_Extrapolated_Axes_data()
    {
        QTest::addColumn<QStringList>("readings"); // X, Y, Z, Part; "-" leaves the axis unticked
        QTest::addColumn<QStringList>("warnings"); // the WAR lines after the entry was written
        const QString outside = "WAR  Entry written with extrapolated values for %1: outside the calibrated "
                                "range 15.00 to 25.00 \u00b0C.";
        QTest::newRow("both ends") << QStringList{"0.2", "20", "39.95", "24"}
                                   << QStringList{outside.arg("X, Z")};
        // The probe reads 0.12 high: 14.12 and 26.12 stand for 14.00 and 26.00, one degree beyond.
        QTest::newRow("within a degree of the ends")
            << QStringList{"14.12", "20", "26.12", "15"} << QStringList();
        QTest::newRow("judged on the temperature")
            << QStringList{"26.1", "20", "14", "15"} << QStringList{outside.arg("Z")};
        QTest::newRow("unticked and dashes left out")
            << QStringList{"-0.2", "abc", "13.99", "25.5"}
            << QStringList{"WAR  Entry written with \"-----\" for Y: \"abc\" is not a number.",
                           outside.arg("Z")};
    }

    void Window_Names_Extrapolated_Axes()
    {
        QFETCH(QStringList, readings);
        QFETCH(QStringList, warnings);
        QVERIFY(Write_Calibration_File({{"T1", 0.12, QDate::currentDate().addYears(1)}}));
        TVelmora window;
        Log_Into_Record_Directory(&window);
        const char* const axes[] = {"X", "Y", "Z", "Part"};
        for (int axis = 0; axis < 4; ++axis)
        {
            const QString name = axes[axis];
            const bool ticked = !readings[axis].startsWith('-');
            Child<QCheckBox>(&window, qPrintable(name + "_Check_Box"))->setChecked(ticked);
            Type(&window, qPrintable(name + "_Meter_Field"), ticked ? readings[axis] : readings[axis].mid(1));
        }
        const int lines = Log_Lines(&window).size();
        QVERIFY(QMetaObject::invokeMethod(&window, "Write_Temperature_Entry"));
        QCOMPARE(Log_Lines(&window).mid(lines).filter(QRegularExpression("^WAR")), warnings);
    }

    // A reading typed with a decimal comma is refused at Write with the reason; nothing is logged.
    void Decimal_Comma_Is_Refused()
    {
        QVERIFY(Write_Calibration_File({{"T1", 0.12, QDate::currentDate().addYears(1)}}));
        TVelmora window;
        Log_Into_Record_Directory(&window);
        Child<QCheckBox>(&window, "Y_Check_Box")->setChecked(false); // an unticked axis is not judged
        Type(&window, "Y_Meter_Field", "1,5");
        Type(&window, "X_Meter_Field", "20,5");
        QVERIFY(QMetaObject::invokeMethod(&window, "Write_Temperature_Entry"));
        QCOMPARE(
            Log_Lines(&window).last(),
            QString("WAR  Entry not written: X \"20,5\" has a decimal comma, which is not a number here; "
                    "type it with a full stop (20.5) and write again."));
        QVERIFY(!QFile::exists(Log_File()));
        Type(&window, "X_Meter_Field", "20.5");
        QVERIFY(QMetaObject::invokeMethod(&window, "Write_Temperature_Entry"));
        QCOMPARE(Read_File(Log_File()), Header + "Position 1,T1,20.38,,19.88,19.88\n");
    }

    // The window logs with the audit columns through three calibration changes made by another station;
    // trace recomputes every value, and names each entry changed afterwards.
    void Trace_Follows_The_Window_data()
    {
        QTest::addColumn<QString>("tampering");
        QTest::addColumn<int>("line"); // the log line named; 0: none
        QTest::addColumn<QString>("problem");
        QTest::newRow("as written") << QString() << 0 << QString();
        QTest::newRow("value changed")
            << "value" << 3 << "X '19.93' logged for meter reading '20.12', '19.92' recomputed";
        QTest::newRow("thermometer renamed") << "thermometer" << 4 << "record %1 is of thermometer 'T2'";
        QTest::newRow("history record removed")
            << "record" << 2 << "record %1 is not in the calibration history";
        // The second entry names the calibration of the first, which a change had replaced by then.
        QTest::newRow("calibration no longer in force")
            << "stale" << 3 << "record %2 was not in force at %3: record %1 was";
    }

    void Trace_Follows_The_Window()
    {
        QFETCH(QString, tampering);
        QFETCH(int, line);
        QFETCH(QString, problem);
        QDateTime now(QDate(2026, 12, 7), QTime(9, 0));
        TClock::Set_Fixed_Now(now);
        QVERIFY(Write_Calibration_File({{"T1", 0.12, QDate(2027, 12, 1)}, {"T2", 0.3, QDate(2027, 12, 1)}}));
        Store_Setting("Log_Audit_Columns", true);
        TVelmora window;
        Log_Into_Record_Directory(&window);
        Type(&window, "Description_Field", "P1");
        for (const char* axis : {"Y_Check_Box", "Z_Check_Box", "Part_Check_Box"})
        {
            Child<QCheckBox>(&window, axis)->setChecked(false);
        }
        Type(&window, "X_Meter_Field", "20.12");
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        const auto write = [&](const QString& thermometer) {
            now = now.addSecs(60);
            TClock::Set_Fixed_Now(now);
            // As the operator picks it.
            const int index = selector->findText(thermometer);
            selector->setCurrentIndex(index);
            return QMetaObject::invokeMethod(selector, "activated", Q_ARG(int, index)) &&
                   QMetaObject::invokeMethod(&window, "Write_Temperature_Entry");
        };
        // Another station changes a calibration; the window follows the file.
        const auto change = [&](const QString& thermometer, double offset) {
            now = now.addSecs(60);
            TClock::Set_Fixed_Now(now);
            TCalibrationStore station = TCalibrationStore::In_Data_Directory(Data_Directory());
            TThermometerList list;
            station.Load_Thermometers(&list);
            const TThermometerChangeResult result =
                station.Change_Thermometers(&list, [&](TThermometerList* changed, TMessage*) {
                    changed->Set_Correction_Data(thermometer,
                                                 {15, 20, 25, 15 + offset, 20 + offset, 25 + offset, {}, {}});
                    return true;
                });
            if (!result.saved)
            {
                qWarning() << Log_Lines(result.messages);
            }
            return result.saved;
        };
        // The window follows the file as it sees it change.
        const auto reloads = [&]() {
            return Log_Lines(&window).filter("was changed by another writer; reloaded it").size();
        };
        QVERIFY(write("T1"));
        QVERIFY(change("T1", 0.2));
        QTRY_COMPARE(reloads(), 1);
        QVERIFY(write("T1"));
        QVERIFY(change("T2", 0.1));
        QTRY_COMPARE(reloads(), 2);
        QVERIFY(write("T2"));
        QVERIFY(change("T1", 0.05));
        QTRY_COMPARE(reloads(), 3);
        QVERIFY(write("T1"));
        TClock::Set_Fixed_Now(QDateTime());

        QByteArray log = Read_File(Log_File());
        QList<QByteArray> lines = log.split('\n');
        QCOMPARE(lines.size(), 6);
        QVERIFY2(lines[2].contains(",P1,T1,19.92,,,,20.12,,,,"), lines[2].constData());
        QVERIFY2(lines[3].contains(",P1,T2,20.02,,,,20.12,,,,"), lines[3].constData());
        QVERIFY2(lines[4].contains(",P1,T1,20.07,,,,20.12,,,,"), lines[4].constData());
        const QString history_file =
            TCalibrationStore::In_Data_Directory(Data_Directory()).Get_History_File_Name();
        QByteArray history = Read_File(history_file);
        const QString named = QString::fromLatin1(lines.value(line - 1).split(',').value(11));
        if (tampering == "value")
        {
            lines[2].replace(",19.92,", ",19.93,");
        }
        else if (tampering == "thermometer")
        {
            lines[3].replace(",T2,", ",T1,");
        }
        else if (tampering == "stale")
        {
            lines[2].replace(named.toLatin1(), lines[1].split(',').value(11));
        }
        else if (tampering == "record")
        {
            // The line of the record the first entry names.
            QList<QByteArray> records = history.split('\n');
            records.removeAt(named.section(':', 0, 0).toInt() - 1);
            history = records.join('\n');
        }
        QVERIFY(Write_File(Log_File(), lines.join('\n')));
        QVERIFY(Write_File(history_file, history));

        THistoryContent content;
        QString error;
        QVERIFY(Read_History_File(history_file, &content, &error));
        const TTraceResult trace =
            Trace_Temperature_Log(Read_Temperature_Log(Read_File(Log_File())), content);
        QCOMPARE(trace.traced, 4);
        QCOMPARE(trace.untraced, 0);
        QCOMPARE(trace.mismatches.size(), line == 0 ? 0 : 1);
        if (line != 0)
        {
            QCOMPARE(trace.mismatches[0].line, line);
            QCOMPARE(trace.mismatches[0].problems.value(0),
                     problem.arg(named, QString::fromLatin1(lines[1].split(',').value(11)),
                                 Log_Date_Time_Text(QDateTime(QDate(2026, 12, 7), QTime(9, 3)))));
        }
    }
};

// Run as on a German system, whose month names and number formats must not reach the files or the
// log pane.
int main(int argc, char* argv[])
{
    qputenv("LC_ALL", "de_DE.UTF-8"); // read when the application object is made
    QApplication application(argc, argv);
    TWindowFilesTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_windowfiles.moc"
