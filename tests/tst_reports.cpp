#include "calibrationtestsupport.h"
#include "exportfilename.h"
#include "reports.h"

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

private slots:
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

    void Unusable_Range_Is_Refused_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<QString>("error"); // how the log line starts; empty: usable
        QTest::newRow("calibration range") << Sample << QString();
        // Far from zero a step of 0.1 no longer moves t: the report would never end.
        QTest::newRow("far from zero") << Correction(1e17, 0, 1e17, 0, 1e17 + 64, 0)
                                       << "ERR  Cannot evaluate the temperature range 1e+17 to ";
        QTest::newRow("millions of rows") << Correction(0, 0, 1, 0, 5e6, 0)
                                          << "ERR  Cannot evaluate the temperature range 0 to 5e+06: it is "
                                             "not a calibration range.";
    }

    void Unusable_Range_Is_Refused()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(QString, error);
        QString reason;
        QCOMPARE(Is_Evaluation_Range_Usable(correction, &reason), error.isEmpty());
        QVERIFY2(reason.startsWith(error) && reason.isEmpty() == error.isEmpty(), qPrintable(reason));
    }

    // What an export proposes must be a file name on every system, never a directory.
    void Export_File_Name_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Probe 7"
                               << "Probe 7.png";
        QTest::newRow("blanks around") << "  Probe 7 "
                                       << "Probe 7.png";
        QTest::newRow("refused characters") << "a/b\\c:d*e?f\"g<h>i|j"
                                            << "a_b_c_d_e_f_g_h_i_j.png";
        QTest::newRow("control character") << "Probe\t7\n"
                                           << "Probe_7.png";
        QTest::newRow("dots alone") << ".."
                                    << "correction_curve.png";
        QTest::newRow("empty") << " "
                               << "correction_curve.png";
        QTest::newRow("dots inside") << "Probe 7.1"
                                     << "Probe 7.1.png";
    }

    void Export_File_Name()
    {
        QFETCH(QString, description);
        QFETCH(QString, name);
        QCOMPARE(::Export_File_Name(description, "png"), name);
    }
};

// The reports are run as on a German system, whose month names must not reach them.
int main(int argc, char* argv[])
{
    qputenv("LC_ALL", "de_DE.UTF-8"); // read when the application object is made
    QCoreApplication application(argc, argv);
    TReportsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_reports.moc"
