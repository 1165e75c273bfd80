#include "clock.h"
#include "reports.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace Test_Support;

namespace
{
const TThermometerCorrection Sample = Correction(25, 0.4, 15, 0.1, 20, 0.2);

QStringList Lines(const QString& report)
{
    return report.split('\n', Qt::SkipEmptyParts);
}
} // namespace

class TReportsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Remove_Data_Directories(); }

    void Corrections_Report()
    {
        const QStringList lines =
            Lines(::Corrections_Report("Probe 3, \"spare\"", QDate(2031, 12, 31), Sample));
        QCOMPARE(lines.mid(0, 7),
                 QStringList({"Thermometer:,\"Probe 3, \"\"spare\"\"\"", "Calibration Due:,Dec 31 2031",
                              "Point 1:,15.0000,0.1000", "Point 2:,20.0000,0.2000", "Point 3:,25.0000,0.4000",
                              "Reference C,Corrected C,Deviation C", "15.0000,14.9000,-0.1"}));
        QCOMPARE(lines[6 + 70], QString("22.0000,21.7320,-0.268"));
        QCOMPARE(lines.last(), QString("25.0000,24.6000,-0.4"));
        QCOMPARE(Lines(::Corrections_Report("T", QDate(), Sample))[1], QString("Calibration Due:,"));
        // Points at one whole number give a single row.
        QCOMPARE(Lines(::Corrections_Report("T", QDate(), Correction(20, 0, 20, 0, 20, 0))).mid(6),
                 QStringList({"20.0000,20.0000,0"}));
    }

    // A corrected value or a point just below zero is written without a minus before its zeros.
    void Values_Near_Zero_Have_No_Minus()
    {
        const TThermometerCorrection near_zero = Correction(0, 0.00004, 1, -0.00004, 2, 0.00004);
        const QStringList corrections = Lines(::Corrections_Report("T", QDate(), near_zero));
        QCOMPARE(corrections.mid(2, 2), QStringList({"Point 1:,0.0000,0.0000", "Point 2:,1.0000,0.0000"}));
        QCOMPARE(corrections[6], QString("0.0000,0.0000,-4e-05"));
        const QStringList uncertainty = Lines(::Uncertainty_Report("T", QDate(), near_zero, 0.0));
        QCOMPARE(uncertainty[3], QString("0,0.000,0.000,0.000,0.0000,1.0000,2.0000"));
    }

    void Uncertainty_Report()
    {
        const QStringList lines = Lines(::Uncertainty_Report("Probe 7", QDate(2031, 12, 31), Sample, 0.04));
        QCOMPARE(lines.mid(0, 2),
                 QStringList({"Thermometer:,Probe 7", "Calibration Due:,Dec 31 2031,,,Temp. C ->"}));
        QVERIFY(lines[2].startsWith("Set,Offset 1,Offset 2,Offset 3,15.0000,16.0000,"));
        QMap<int, QStringList> sets;
        for (const QString& line : lines.mid(3))
        {
            sets[line.section(',', 0, 0).toInt()] = line.split(',').mid(1);
        }
        QCOMPARE(sets.size(), 57);
        QVERIFY(!sets.contains(8) && sets.contains(63));
        // Set 0 is the correction itself; set 7 shifts every point by +u, so 22 comes out u lower.
        QCOMPARE(sets[0].mid(0, 4) << sets[0][3 + 7],
                 QStringList({"0.000", "0.000", "0.000", "14.9000", "21.7320"}));
        QCOMPARE(sets[7].mid(0, 3) << sets[7][3 + 7], QStringList({"0.040", "0.040", "0.040", "21.6920"}));
        QCOMPARE(sets[9].mid(0, 3), QStringList({"-0.040", "0.000", "0.000"}));
        QCOMPARE(sets[2], sets[10]); // sign bits of points that are not shifted change nothing
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

    // A report of a doubtful thermometer is written as any other, and the log pane says what it is.
    void Doubtful_Thermometer_Reports_Are_Warned_data()
    {
        const QDate today(2026, 12, 7);
        QTest::addColumn<TThermometer>("thermometer");
        QTest::addColumn<QStringList>("warnings");
        const QString written = "WAR  Report written for thermometer 'Probe 7', ";
        const QString implausible = written +
                                    "whose calibration is implausible: the test point at 15.00 \u00b0C "
                                    "deviates by 1.50 \u00b0C, more than 1 \u00b0C; the test point at "
                                    "20.00 \u00b0C deviates by 1.50 \u00b0C, more than 1 \u00b0C; the "
                                    "test point at 25.00 \u00b0C deviates by 1.50 \u00b0C, more than 1 "
                                    "\u00b0C.";
        QTest::newRow("in calibration") << TThermometer{"Probe 7", 0.1, today.addDays(1)} << QStringList();
        QTest::newRow("due today") << TThermometer{"Probe 7", 0.1, today}
                                   << QStringList{written + "which is out of calibration since Dec 07 2026."};
        QTest::newRow("no due date") << TThermometer{"Probe 7", 0.1, QDate()}
                                     << QStringList{written + "which is out of calibration: no due date."};
        QTest::newRow("not usable")
            << TThermometer{"Probe 7", 0.1, today.addDays(1), {20, 20.4, 20.9}}
            << QStringList{written +
                           "whose correction is not usable: test points span less than one degree."};
        QTest::newRow("implausible") << TThermometer{"Probe 7", 1.5, today.addDays(1)}
                                     << QStringList{implausible};
        QTest::newRow("overdue and implausible")
            << TThermometer{"Probe 7", 1.5, today.addDays(-1)}
            << QStringList{written + "which is out of calibration since Dec 06 2026.", implausible};
    }

    void Doubtful_Thermometer_Reports_Are_Warned()
    {
        QFETCH(TThermometer, thermometer);
        QFETCH(QStringList, warnings);
        TClock::Set_Fixed_Now(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
        QVERIFY(Write_Calibration_File({thermometer}));
        TThermometerList list;
        QVERIFY(list.Load_Calibration_File(Calibration_File()));
        const TThermometerCorrection correction = list.Get_Correction("Probe 7");
        const QDate due_date = list.Get_Calibration_Due_Date("Probe 7");
        Store_Setting("Current_Path", folder.path());
        TVelmora window;
        // Files of their own: an existing one would be confirmed first.
        const QString corrections = folder.path() + "/" + QTest::currentDataTag() + " e.csv";
        const QString uncertainties = folder.path() + "/" + QTest::currentDataTag() + " u.csv";
        QString proposed;
        Answer_Save_Dialog(corrections, &proposed);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Corrections"));
        QCOMPARE(Read_File(corrections), ::Corrections_Report("Probe 7", due_date, correction).toLatin1());
        QStringList lines = Log_Lines(&window);
        QCOMPARE(lines.mid(lines.size() - 1 - warnings.size()),
                 QStringList("INF  Evaluation file written. File: '" + QDir::toNativeSeparators(corrections) +
                             "'") +
                     warnings);

        Answer_Input_Dialog("0.1");
        Answer_Save_Dialog(uncertainties, &proposed);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Uncertainty"));
        QCOMPARE(Read_File(uncertainties),
                 ::Uncertainty_Report("Probe 7", due_date, correction, 0.1).toLatin1());
        lines = Log_Lines(&window);
        QCOMPARE(lines.mid(lines.size() - 1 - warnings.size()),
                 QStringList("INF  Uncertainty file written. File: '" +
                             QDir::toNativeSeparators(uncertainties) + "'") +
                     warnings);
        TClock::Set_Fixed_Now(QDateTime());
    }

    void Unusable_Range_Opens_No_Dialog()
    {
        QString error;
        // Far from zero a step of 0.1 no longer moves t: the report would never end.
        QVERIFY(!Is_Evaluation_Range_Usable(Correction(1e17, 0, 1e17, 0, 1e17 + 64, 0), &error));
        QVERIFY(Write_Calibration_File({{"Wide", 0.0, QDate(2031, 1, 1), {0, 1, 5e6}}}));
        TVelmora window;
        for (const char* slot : {"Evaluate_Corrections", "Evaluate_Uncertainty"})
        {
            QVERIFY(QMetaObject::invokeMethod(&window, slot));
            QVERIFY(Log_Lines(&window).last().startsWith(
                "ERR  Cannot evaluate the temperature range 0 to 5e+06"));
        }
    }
};

// The reports are run as on a German system, whose month names must not reach them.
int main(int argc, char* argv[])
{
    qputenv("LC_ALL", "de_DE.UTF-8"); // read when the application object is made
    QApplication application(argc, argv);
    TReportsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_reports.moc"
