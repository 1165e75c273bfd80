#include "correctioncurve.h"

#include "reports.h"

#include <algorithm>
#include <cmath>

namespace
{
// Matches the correction's own rule for two reference temperatures that are one and the same; used
// only to choose the sentence, never to decide whether a curve is drawn.
constexpr double Same_Temperature = 1e-3;

QString Unusable_Reason(const TThermometerCorrection& correction)
{
    const double x1 = correction.Get_Point1().x;
    const double x2 = correction.Get_Point2().x;
    const double x3 = correction.Get_Point3().x;
    if (!(x3 - x1 >= 1.0))
    {
        return "The test points span less than one degree, so no correction curve is drawn.";
    }
    if (!(x2 - x1 >= Same_Temperature) || !(x3 - x2 >= Same_Temperature))
    {
        return "Two test points share a reference temperature, so no correction curve is drawn.";
    }
    return "No correction curve can be fitted through the test points, so none is drawn.";
}

double Sampling_Step(double range)
{
    const double factors[3] = {1.0, 2.0, 5.0};
    for (double decade = 0.1;; decade *= 10.0)
    {
        for (double factor : factors)
        {
            // Four samples are kept for the ends of the range and of the span.
            if (range / (factor * decade) <= Maximum_Curve_Samples - 5)
            {
                return factor * decade;
            }
        }
    }
}

// The multiples of the step within [start, end] and the four ends themselves. A multiple that
// falls on an end, up to rounding, gives way to the end, so that the pieces meet exactly.
QVector<double> Sample_Temperatures(const TCorrectionCurve& curve)
{
    const double step = Sampling_Step(curve.end - curve.start);
    const double ends[4] = {curve.start, curve.span_start, curve.span_end, curve.end};
    const double tolerance = step * 1e-6;
    QVector<double> temperatures(std::begin(ends), std::end(ends));
    const qint64 first = qint64(std::ceil(curve.start / step - 1e-9));
    const qint64 last = qint64(std::floor(curve.end / step + 1e-9));
    for (qint64 k = first; k <= last; ++k)
    {
        const double t = double(k) * step;
        const bool at_end = std::any_of(std::begin(ends), std::end(ends),
                                        [&](double end) { return std::fabs(t - end) <= tolerance; });
        if (!at_end && t > curve.start && t < curve.end)
        {
            temperatures.append(t);
        }
    }
    std::sort(temperatures.begin(), temperatures.end());
    temperatures.erase(std::unique(temperatures.begin(), temperatures.end()), temperatures.end());
    return temperatures;
}

bool Is_Finite(const QVector<QPointF>& points)
{
    return std::all_of(points.begin(), points.end(), [](const QPointF& point) {
        return std::isfinite(point.x()) && std::isfinite(point.y());
    });
}
} // namespace

TCorrectionCurve Sample_Correction_Curve(const TThermometerCorrection& correction, double uncertainty)
{
    TCorrectionCurve curve;
    for (const TVector2& point : {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()})
    {
        if (std::isfinite(point.x) && std::isfinite(point.y))
        {
            curve.test_points.append(QPointF(point.x, point.y));
        }
    }
    if (!curve.test_points.isEmpty())
    {
        curve.span_start = curve.test_points.first().x();
        curve.span_end = curve.test_points.last().x();
    }
    // A span too short for a curve still gets room around its points.
    const double margin = std::max(0.1 * (curve.span_end - curve.span_start), 0.5);
    curve.start = curve.span_start - margin;
    curve.end = curve.span_end + margin;

    TMessage range_error;
    if (!correction.Is_Valid())
    {
        curve.reason = Unusable_Reason(correction);
        return curve;
    }
    if (!Is_Evaluation_Range_Usable(correction, &range_error))
    {
        curve.reason = QString("The test points span %1 to %2, which is not a calibration range, so no "
                               "correction curve is drawn.")
                           .arg(curve.span_start, 0, 'g', -1)
                           .arg(curve.span_end, 0, 'g', -1);
        return curve;
    }
    curve.start = curve.span_start - 0.1 * (curve.span_end - curve.span_start);
    curve.end = curve.span_end + 0.1 * (curve.span_end - curve.span_start);

    const QVector<TShiftedSet> sets = Uncertainty_Shifted_Sets(correction, uncertainty);
    for (double t : Sample_Temperatures(curve))
    {
        curve.curve.append(QPointF(t, correction.Evaluate_Point(t).y));
        double low = INFINITY;
        double high = -INFINITY;
        for (const TShiftedSet& set : sets)
        {
            const double deviation = set.correction.Evaluate_Point(t).y;
            // fmin and fmax would pass over a NaN; the check below must see it.
            low = std::isnan(deviation) || deviation < low ? deviation : low;
            high = std::isnan(deviation) || deviation > high ? deviation : high;
        }
        curve.band_low.append(QPointF(t, low));
        curve.band_high.append(QPointF(t, high));
    }

    if (!Is_Finite(curve.curve) || !Is_Finite(curve.band_low) || !Is_Finite(curve.band_high))
    {
        curve.curve.clear();
        curve.band_low.clear();
        curve.band_high.clear();
        curve.reason = "The correction curve exceeds the range of numbers over these test points, so it is "
                       "not drawn.";
        return curve;
    }
    curve.is_usable = true;
    return curve;
}
