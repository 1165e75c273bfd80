#ifndef EXACTCALIBRATION_H
#define EXACTCALIBRATION_H

// A calibration given in decimals, as the code under test holds it and as a failure message names it.

#include "exactnumbers.h"
#include "thermometercorrection.h"

inline TThermometerCorrection Correction_Of(const Exact::TDecimalPoints& points)
{
    return TThermometerCorrection({points.x[0].toDouble(), points.y[0].toDouble()},
                                  {points.x[1].toDouble(), points.y[1].toDouble()},
                                  {points.x[2].toDouble(), points.y[2].toDouble()});
}

inline QString Points_Text(const Exact::TDecimalPoints& points)
{
    return QString("(%1, %2), (%3, %4), (%5, %6)")
        .arg(points.x[0], points.y[0], points.x[1], points.y[1], points.x[2], points.y[2]);
}

#endif
