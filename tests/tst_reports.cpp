#include "reports.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

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
        QCOMPARE(proposed, folder.path() + "/evaluation.csv|CSV data (*.csv *.txt)");
        QCOMPARE(Read_File(folder.path() + "/e.csv"),
                 ::Corrections_Report("Probe 7", QDate(2031, 12, 31), correction).toLatin1());
        QCOMPARE(Log_Lines(&window).last(), "INF  Evaluation file written. File: '" +
                                                QDir::toNativeSeparators(folder.path() + "/e.csv") + "'");

        Answer_Input_Dialog("0.1", &shown);
        Answer_Save_Dialog(folder.path() + "/u.csv", &proposed);
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Uncertainty"));
        QCOMPARE(shown, QString("0.04"));
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
        QVERIFY(Log_Lines(&window).last().startsWith("ERR  Evaluation file '" +
                                                     QDir::toNativeSeparators(folder.path() + "/full.csv") +
                                                     "' was not written completely"));
        QCOMPARE(Read_File(folder.path() + "/full.csv"), QByteArray("previous report"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList({"e.csv", "full.csv", "u.csv"}));
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
