#ifndef CORRECTIONCURVE_H
#define CORRECTIONCURVE_H

#include "thermometercorrection.h"

#include <QPointF>
#include <QString>
#include <QVector>

// What the correction view plots for one thermometer, sampled without any widget so that it can be
// checked against the two reports. Deviations are reading minus reference, in degrees, against the
// reading; every value held here is finite.
struct TCorrectionCurve
{
    // The three test points as (reference, deviation), in ascending order of reference.
    QVector<QPointF> test_points;
    // False when no curve may be drawn; reason then says why, and curve and the band are empty.
    bool is_usable = false;
    QString reason;
    // The test points' span and the plotted range: the span with a tenth of it added on each side.
    double span_start = 0.0;
    double span_end = 0.0;
    double start = 0.0;
    double end = 0.0;
    // (t, d(t)) in ascending t from start to end; span_start and span_end are samples of their own,
    // so that the part within the span and the parts outside it meet.
    QVector<QPointF> curve;
    // At the same t: the lowest and the highest deviation over the uncertainty report's shifted sets.
    QVector<QPointF> band_low;
    QVector<QPointF> band_high;
};

// uncertainty: the shift (k=2, in degrees) of the uncertainty report. The curve is sampled on the
// multiples of a step of 0.1 degree, which are the rows of the corrections report, or of a coarser
// step of 0.2, 0.5, 1, 2, 5, ... degrees where that would take more than Maximum_Curve_Samples.
TCorrectionCurve Sample_Correction_Curve(const TThermometerCorrection& correction, double uncertainty);

constexpr int Maximum_Curve_Samples = 1000;

#endif // CORRECTIONCURVE_H
