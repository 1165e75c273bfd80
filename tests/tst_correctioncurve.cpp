#include "calibrationtestsupport.h"
#include "correctioncurve.h"
#include "reports.h"

#include <QtTest>

#include <cmath>

using Test_Support::Correction;

namespace
{
// The index of the sample at t, or -1.
int Sample_At(const QVector<QPointF>& samples, double t)
{
    for (int index = 0; index < samples.size(); ++index)
    {
        if (std::fabs(samples[index].x() - t) < 1e-6)
        {
            return index;
        }
    }
    return -1;
}

bool Is_Finite(const QVector<QPointF>& points)
{
    for (const QPointF& point : points)
    {
        if (!std::isfinite(point.x()) || !std::isfinite(point.y()))
        {
            return false;
        }
    }
    return true;
}
} // namespace

class TCorrectionCurveTest : public QObject
{
    Q_OBJECT

private slots:
    void Curve_Equals_Corrections_Report_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<int>("report_rows_sampled");
        QTest::newRow("widened to whole degrees") << Correction(24.2, 0.11, 15.3, -0.05, 20, 0.02) << 101;
        // 6600 steps of 0.1 would be too many: every whole degree, every tenth row, is sampled.
        QTest::newRow("-50 to 500") << Correction(-50, 0.3, 100, -0.2, 500, 0.9) << 551;
    }

    void Curve_Equals_Corrections_Report()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(int, report_rows_sampled);
        const TCorrectionCurve curve = Sample_Correction_Curve(correction, 0.04);
        QVERIFY(curve.is_usable);
        QVERIFY(curve.curve.size() <= Maximum_Curve_Samples);
        const double margin = 0.1 * (correction.Get_Point3().x - correction.Get_Point1().x);
        QCOMPARE(curve.curve.first().x(), correction.Get_Point1().x - margin);
        QCOMPARE(curve.curve.last().x(), correction.Get_Point3().x + margin);
        for (int index = 1; index < curve.curve.size(); ++index)
        {
            QVERIFY(curve.curve[index - 1].x() < curve.curve[index].x());
        }

        int sampled = 0;
        const QStringList lines =
            Corrections_Report("T", QDate(), correction).split('\n', Qt::SkipEmptyParts);
        for (const QString& line : lines.mid(6))
        {
            const QStringList fields = line.split(',');
            const int index = Sample_At(curve.curve, fields[0].toDouble());
            if (index < 0)
            {
                continue;
            }
            ++sampled;
            // The report's deviation is corrected minus reading, the curve's reading minus reference.
            const double deviation = curve.curve[index].y();
            QVERIFY2(std::fabs(curve.curve[index].x() - deviation - fields[1].toDouble()) <= 0.5e-4 + 1e-9,
                     qPrintable(line));
            QVERIFY2(std::fabs(-deviation - fields[2].toDouble()) <= 1e-5, qPrintable(line));
        }
        QCOMPARE(sampled, report_rows_sampled);
    }

    void Band_Edges_Are_The_Uncertainty_Reports_Extremes_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<double>("uncertainty");
        QTest::newRow("u = 0.5, bent") << Correction(10, -0.3, 18, 0.25, 30, 0.05) << 0.5;
        QTest::newRow("u = 0: the curve itself") << Correction(15, 0.1, 20, 0.2, 25, 0.4) << 0.0;
        QTest::newRow("-50 to 500") << Correction(-50, 0.3, 100, -0.2, 500, 0.9) << 0.04;
    }

    void Band_Edges_Are_The_Uncertainty_Reports_Extremes()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(double, uncertainty);
        const TCorrectionCurve curve = Sample_Correction_Curve(correction, uncertainty);
        QVERIFY(curve.is_usable);
        QCOMPARE(curve.band_low.size(), curve.curve.size());
        QCOMPARE(curve.band_high.size(), curve.curve.size());
        QVERIFY(Is_Finite(curve.band_low) && Is_Finite(curve.band_high));

        const QStringList lines =
            Uncertainty_Report("T", QDate(), correction, uncertainty).split('\n', Qt::SkipEmptyParts);
        const QStringList temperatures = lines[2].split(',').mid(4);
        for (int column = 0; column < temperatures.size(); ++column)
        {
            const double t = temperatures[column].toDouble();
            double lowest = INFINITY;
            double highest = -INFINITY;
            for (const QString& line : lines.mid(3))
            {
                const double deviation = t - line.split(',')[4 + column].toDouble();
                lowest = std::min(lowest, deviation);
                highest = std::max(highest, deviation);
            }
            const int index = Sample_At(curve.curve, t);
            QVERIFY2(index >= 0, qPrintable(temperatures[column]));
            QVERIFY(std::fabs(curve.band_low[index].y() - lowest) <= 0.5e-4 + 1e-9);
            QVERIFY(std::fabs(curve.band_high[index].y() - highest) <= 0.5e-4 + 1e-9);
        }
        QCOMPARE(curve.band_high[0].y() - curve.band_low[0].y() > 0, uncertainty > 0);
    }

    void Unusable_Correction_Has_Points_And_Reason_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<QString>("reason");
        QTest::newRow("span under one degree")
            << Correction(20, 0.1, 20.4, 0.1, 20.9, 0.1) << "The test points span less than one degree";
        QTest::newRow("two equal references")
            << Correction(15, 0.1, 20, 0.2, 20, 0.3) << "Two test points share a reference temperature";
        QTest::newRow("not a calibration range")
            << Correction(0, 0, 1, 0, 5e6, 0)
            << "The test points span 0 to 5e+06, which is not a calibration range";
        // The fit succeeds, but just beyond the points the curve passes the largest double.
        QTest::newRow("curve beyond the largest number")
            << Correction(0, 1.7e308, 1, 1.7e308, 2, -1.7e308) << "The correction curve exceeds the range";
    }

    void Unusable_Correction_Has_Points_And_Reason()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(QString, reason);
        const TCorrectionCurve curve = Sample_Correction_Curve(correction, 0.04);
        QVERIFY(!curve.is_usable);
        QVERIFY2(curve.reason.startsWith(reason), qPrintable(curve.reason));
        QCOMPARE(curve.test_points.size(), 3);
        QVERIFY(curve.curve.isEmpty() && curve.band_low.isEmpty() && curve.band_high.isEmpty());
        QVERIFY(curve.start < curve.span_start && curve.span_end < curve.end);
    }
};

QTEST_MAIN(TCorrectionCurveTest)
#include "tst_correctioncurve.moc"
