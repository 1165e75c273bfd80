#ifndef THERMOMETERCORRECTION_H
#define THERMOMETERCORRECTION_H

#include "vector2.h"

// The three-point calibration of one thermometer. Each test point is (reference temperature,
// deviation = reading - reference); the points are kept in ascending order of reference temperature
// and the deviation curve d(t) = a*t^2 + b*t + c is fitted through them. A reading r is corrected as
// r - d(r).
class TThermometerCorrection
{
public:
    TThermometerCorrection();
    TThermometerCorrection(const TVector2& p1, const TVector2& p2, const TVector2& p3);
    TThermometerCorrection(const TThermometerCorrection& other);
    TThermometerCorrection& operator=(const TThermometerCorrection& other);

    void Set_Points(const TVector2& p1, const TVector2& p2, const TVector2& p3);
    // The slot counts in the sorted order at the time of the call; the points are sorted again.
    void Set_Point1(const TVector2& point);
    void Set_Point2(const TVector2& point);
    void Set_Point3(const TVector2& point);

    // (t, d(t)).
    TVector2 Evaluate_Point(const double& t) const;
    // True exactly when the coefficients are a fitted curve rather than the zero placeholder.
    bool Is_Valid() const;

    const TVector2& Get_Point1() const { return point1; }
    const TVector2& Get_Point2() const { return point2; }
    const TVector2& Get_Point3() const { return point3; }
    double Get_A() const
    {
        Calculate_Coefficients();
        return a;
    }
    double Get_B() const
    {
        Calculate_Coefficients();
        return b;
    }
    double Get_C() const
    {
        Calculate_Coefficients();
        return c;
    }

private:
    void Sort_Points();
    // The curve is fitted when first needed and then kept: loading, saving and checking thousands of
    // thermometers needs their points only. Not for use from several threads at once.
    void Calculate_Coefficients() const;
    bool Fit_Curve(double* a_value, double* b_value, double* c_value) const;

    TVector2 point1;
    TVector2 point2;
    TVector2 point3;
    mutable bool fitted;
    mutable bool valid;
    mutable double a;
    mutable double b;
    mutable double c;
};

// The temperature a reading r stands for: r - d(r), the deviation taken at the reading. Not finite for a
// reading so far out that the curve overflows.
double Corrected_Temperature(const TThermometerCorrection& correction, double reading);

// How far the deviation that Evaluate_Point gives at t can lie from the exact value of the parabola
// through the test points and at t as written in decimals: the rounding of the points and of t into
// binary, of the fit and of the evaluation, with room to spare. Says how many of a deviation's digits are
// worth printing; 0 for a correction that gives no curve, whose deviation is exactly 0.
double Deviation_Error_Bound(const TThermometerCorrection& correction, double t);

// The correction takes the deviation at the reading r, not at the temperature T that the thermometer
// read as r = T + d(T), so the corrected r - d(r) is not exactly T. Returns the largest |r - d(r) - T|
// for T across the calibrated range, and sets at_temperature to the T where it occurs; 0 for a
// correction that gives no curve.
double Largest_Model_Difference(const TThermometerCorrection& correction, double* at_temperature);

#endif // THERMOMETERCORRECTION_H
