#include "calibrationstatus.h"
#include "calibrationtestsupport.h"
#include "exactcalibration.h"
#include "exportfilename.h"
#include "reports.h"

#include <QtTest>

#include <random>

using namespace Test_Support;
using Exact::TRational;

namespace
{
const TThermometerCorrection Sample = Correction(25, 0.4, 15, 0.1, 20, 0.2);

QStringList Lines(const QString& report)
{
    return report.split('\n', Qt::SkipEmptyParts);
}

// A unit in the sixth significant digit of value, which is not 0.
TRational Sixth_Digit(const TRational& value)
{
    int exponent = int(std::floor(std::log10(std::fabs(value.Approximate()))));
    while (TRational::Power_Of_Ten(exponent + 1) <= value.Absolute())
    {
        ++exponent;
    }
    while (value.Absolute() < TRational::Power_Of_Ten(exponent))
    {
        --exponent;
    }
    return TRational::Power_Of_Ten(exponent - 5);
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

    // Every digit of the deviation column is right, checked against values worked out exactly by hand.
    void Deviation_Column_data()
    {
        QTest::addColumn<QStringList>("points"); // x, y, x, y, x, y
        QTest::addColumn<QString>("row");
        // d(292.9) = -0.007750588965...; it was written 0.0077509.
        QTest::newRow("292.9") << QStringList{"292.84", "-0.0253", "298.04", "0.8662", "299.62", "0.8848"}
                               << "292.9000,292.9078,0.00775059";
        // d(20) = 0.002 * 400 - 0.05 * 20 + 0.2 = 0: a zero deviation without a sign.
        QTest::newRow("zero") << QStringList{"15", "0.05", "20", "0", "25", "0.15"} << "20.0000,20.0000,0";
        // Two test points a hundredth apart: d(225) = -71.218268043151.
        QTest::newRow("close points at 225")
            << QStringList{"219.49", "-0.1142", "219.50", "-0.2935", "239.12", "-0.1701"}
            << "225.0000,296.2183,71.2183";
    }

    void Deviation_Column()
    {
        QFETCH(QStringList, points);
        QFETCH(QString, row);
        const Exact::TDecimalPoints decimal{{points[0], points[2], points[4]},
                                            {points[1], points[3], points[5]}};
        const QStringList rows = Lines(::Corrections_Report("T", QDate(), Correction_Of(decimal))).mid(6);
        const QString reference = row.section(',', 0, 0);
        const auto found = std::find_if(rows.begin(), rows.end(), [&reference](const QString& line) {
            return line.startsWith(reference + ",");
        });
        QVERIFY(found != rows.end());
        QCOMPARE(*found, row);
    }

    // Over two hundred calibrations, ordinary ones, ones with test points a hundredth apart and wide
    // ones: the corrected value is the exact t - d(t) and the deviation the exact -d(t), each rounded to
    // its last digit; an exact tie may go either way, and a deviation within its error bound of a tie
    // too. The deviation has its six digits wherever the bound allows them.
    void Corrections_Report_Is_Exact()
    {
        std::mt19937_64 generator(380);
        QStringList wrong;
        int rows = 0;
        int six_digit_rows = 0;
        for (int calibration = 0; calibration < 200; ++calibration)
        {
            const Exact::TDecimalPoints points = Exact::Random_Points(generator);
            const TThermometerCorrection correction = Correction_Of(points);
            const Exact::TParabola curve = points.Exact_Curve();
            for (const QString& line : Lines(::Corrections_Report("T", QDate(), correction)).mid(6))
            {
                const QStringList fields = line.split(',');
                const TRational t = TRational::Of_Decimal(fields[0]);
                const TRational deviation = -curve.At(t);
                const double bound = Deviation_Error_Bound(correction, fields[0].toDouble());
                bool right = Exact::Is_Rounding_Of(t + deviation, fields[1]) &&
                             Exact::Is_Rounding_Of(deviation, fields[2], TRational::Of_Double(bound));
                // Six digits unless the bound forbids the sixth.
                if (deviation.Sign() != 0 && TRational::Of_Double(2 * bound) <= Sixth_Digit(deviation))
                {
                    right = right && (deviation - TRational::Of_Decimal(fields[2])).Absolute() <=
                                         Sixth_Digit(deviation) / TRational(2) + TRational::Of_Double(bound);
                    ++six_digit_rows;
                }
                ++rows;
                if (!right && wrong.size() < 10)
                {
                    wrong << QString("%1: %2, exactly %3 and %4")
                                 .arg(Points_Text(points), line)
                                 .arg((t + deviation).Approximate(), 0, 'f', 6)
                                 .arg(deviation.Approximate(), 0, 'g', 9);
                }
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
        // Nearly every row has its six digits.
        QVERIFY2(six_digit_rows > rows * 9 / 10,
                 qPrintable(QString("%1 of %2").arg(six_digit_rows).arg(rows)));
    }

    // Every cell of the uncertainty report for test points a hundredth apart is the exact t - d(t) of its
    // shifted points, rounded to four decimals.
    void Uncertainty_Report_Close_Points()
    {
        const Exact::TDecimalPoints points{{"219.49", "219.50", "239.12"}, {"-0.1142", "-0.2935", "-0.1701"}};
        const QStringList lines = Lines(::Uncertainty_Report("T", QDate(), Correction_Of(points), 0.04));
        const QStringList temperatures = lines[2].split(',').mid(4);
        QCOMPARE(temperatures.first(), QString("219.0000"));
        QCOMPARE(temperatures.last(), QString("240.0000"));
        QStringList wrong;
        for (const QString& line : lines.mid(3))
        {
            const QStringList fields = line.split(',');
            Exact::TDecimalPoints shifted = points;
            for (int point = 0; point < 3; ++point)
            {
                // Offsets are 0 or plus or minus 0.04: exact in decimals.
                const TRational y =
                    TRational::Of_Decimal(points.y[point]) + TRational::Of_Decimal(fields[1 + point]);
                shifted.y[point] = QString::number(y.Approximate(), 'f', 4);
            }
            for (int column = 0; column < temperatures.size(); ++column)
            {
                const TRational t = TRational::Of_Decimal(temperatures[column]);
                const TRational exact = t - shifted.Exact_Deviation(t);
                if (!Exact::Is_Rounding_Of(exact, fields[4 + column]) && wrong.size() < 10)
                {
                    wrong << QString("set %1 at %2: %3, exactly %4")
                                 .arg(fields[0], temperatures[column], fields[4 + column])
                                 .arg(exact.Approximate(), 0, 'f', 6);
                }
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
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
        TMessage message;
        QCOMPARE(Is_Evaluation_Range_Usable(correction, &message), error.isEmpty());
        const QString reason = message.text.isEmpty() ? QString() : message.Log_Line();
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
