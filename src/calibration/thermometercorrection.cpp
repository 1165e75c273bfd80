#include "thermometercorrection.h"

#include "interpolation.h"

#include <QVector>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace
{
// A correction whose test points span less than this, in degrees, is not applied.
constexpr double Minimum_Span = 1.0;

// Two reference temperatures closer than this are one and the same temperature: no reference is known
// to better than a millidegree, and the curve through two points closer still would turn on the last
// digit of their readings. Exactly equal ones give no curve at all. No real calibration puts two test
// points this close.
constexpr double Minimum_Point_Distance = 1e-3;

void Compare_Exchange(TVector2& left, TVector2& right)
{
    // Strictly greater only, so that points with equal x keep their order.
    if (left.x > right.x)
    {
        std::swap(left, right);
    }
}
} // namespace

TThermometerCorrection::TThermometerCorrection()
    : point1(15.0, 0.0), point2(20.0, 0.0), point3(25.0, 0.0), fitted(false), valid(false), a(0.0), b(0.0),
      c(0.0)
{
    Sort_Points();
}

TThermometerCorrection::TThermometerCorrection(const TVector2& p1, const TVector2& p2, const TVector2& p3)
    : point1(p1), point2(p2), point3(p3), fitted(false), valid(false), a(0.0), b(0.0), c(0.0)
{
    Sort_Points();
}

TThermometerCorrection::TThermometerCorrection(const TThermometerCorrection& other)
    : point1(other.point1), point2(other.point2), point3(other.point3), fitted(other.fitted),
      valid(other.valid), a(other.a), b(other.b), c(other.c)
{
}

TThermometerCorrection& TThermometerCorrection::operator=(const TThermometerCorrection& other)
{
    if (this != &other)
    {
        point1 = other.point1;
        point2 = other.point2;
        point3 = other.point3;
        fitted = other.fitted;
        valid = other.valid;
        a = other.a;
        b = other.b;
        c = other.c;
    }
    return *this;
}

void TThermometerCorrection::Set_Points(const TVector2& p1, const TVector2& p2, const TVector2& p3)
{
    point1 = p1;
    point2 = p2;
    point3 = p3;
    Sort_Points();
}

void TThermometerCorrection::Set_Point1(const TVector2& point)
{
    point1 = point;
    Sort_Points();
}

void TThermometerCorrection::Set_Point2(const TVector2& point)
{
    point2 = point;
    Sort_Points();
}

void TThermometerCorrection::Set_Point3(const TVector2& point)
{
    point3 = point;
    Sort_Points();
}

TVector2 TThermometerCorrection::Evaluate_Point(const double& t) const
{
    Calculate_Coefficients();
    return TVector2(t, (c + b * t) + (t * t) * a);
}

bool TThermometerCorrection::Is_Valid() const
{
    Calculate_Coefficients();
    return valid;
}

void TThermometerCorrection::Sort_Points()
{
    Compare_Exchange(point1, point2);
    Compare_Exchange(point2, point3);
    Compare_Exchange(point1, point2);
    fitted = false;
}

void TThermometerCorrection::Calculate_Coefficients() const
{
    if (fitted)
    {
        return;
    }
    valid = Fit_Curve(&a, &b, &c);
    if (!valid)
    {
        a = 0.0;
        b = 0.0;
        c = 0.0;
    }
    fitted = true;
}

// The one rule that decides validity, so that a valid correction is exactly one whose coefficients
// were fitted. Expects the points sorted; the outputs are meaningful only when it returns true.
bool TThermometerCorrection::Fit_Curve(double* a_value, double* b_value, double* c_value) const
{
    // Written as negations so that a NaN reference temperature also fails.
    if (!(point3.x - point1.x >= Minimum_Span))
    {
        return false;
    }
    if (!(point2.x - point1.x >= Minimum_Point_Distance) || !(point3.x - point2.x >= Minimum_Point_Distance))
    {
        return false;
    }

    const QVector<TVector2> points{point1, point2, point3};
    if (!Calculate_Quadratic_Fit(points, a_value, b_value, c_value))
    {
        return false;
    }
    return std::isfinite(*a_value) && std::isfinite(*b_value) && std::isfinite(*c_value);
}

double Corrected_Temperature(const TThermometerCorrection& correction, double reading)
{
    return reading - correction.Evaluate_Point(reading).y;
}

// A first-order bound: each term is a magnitude that some step of the computation rounds, at most a few
// times, to within half a unit in the last place; the factor covers those few times over.
double Deviation_Error_Bound(const TThermometerCorrection& correction, double t)
{
    if (!correction.Is_Valid())
    {
        return 0.0;
    }
    const TVector2 points[3] = {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()};
    const double a = correction.Get_A();
    const double b = correction.Get_B();
    const double c = correction.Get_C();

    // A point's y off by e moves the curve at t by e L(t), its x off by e by -e d'(x) L(t), where L is
    // the point's Lagrange polynomial; t off by e moves the deviation by e d'(t).
    double inputs = std::fabs(2.0 * a * t + b) * std::fabs(t);
    for (int i = 0; i < 3; ++i)
    {
        double lagrange = 1.0;
        for (int j = 0; j < 3; ++j)
        {
            if (j != i)
            {
                lagrange *= (t - points[j].x) / (points[i].x - points[j].x);
            }
        }
        inputs += std::fabs(lagrange) *
                  (std::fabs(points[i].y) + std::fabs(2.0 * a * points[i].x + b) * std::fabs(points[i].x));
    }

    // The divided differences, their product form multiplied out, and the evaluation (c + b t) + t^2 a.
    const TVector2& p0 = points[0];
    const TVector2& p1 = points[1];
    const double slope01 = std::fabs((p1.y - p0.y) / (p1.x - p0.x));
    const double slope12 = std::fabs((points[2].y - p1.y) / (points[2].x - p1.x));
    const double fit = slope01 * std::fabs(t - p0.x) +
                       std::fabs((t - p0.x) * (t - p1.x)) * (slope01 + slope12) / (points[2].x - p0.x) +
                       std::fabs(p0.y) + std::fabs(p0.x) * slope01 + std::fabs(a * p0.x * p1.x) +
                       std::fabs(t) * (slope01 + std::fabs(a) * std::fabs(p0.x + p1.x));
    const double evaluation = std::fabs(c) + std::fabs(b * t) + std::fabs(a) * t * t;

    const double unit_roundoff = std::numeric_limits<double>::epsilon() / 2.0;
    return 16.0 * unit_roundoff * (inputs + fit + evaluation);
}

double Largest_Model_Difference(const TThermometerCorrection& correction, double* at_temperature)
{
    Q_ASSERT_X(at_temperature != nullptr, "Largest_Model_Difference", "at_temperature");
    const double low = correction.Get_Point1().x;
    const double high = correction.Get_Point3().x;
    *at_temperature = low;
    if (!correction.Is_Valid())
    {
        return 0.0;
    }
    const auto difference = [&correction](double t) {
        return std::fabs(Corrected_Temperature(correction, t + correction.Evaluate_Point(t).y) - t);
    };
    // The difference is a polynomial of the fourth degree in T, with at most two peaks inside the range:
    // sampled, then the best sample narrowed down between its neighbours, so that the value said to be
    // the largest is not one that a peak between samples exceeds.
    const int steps = 1000;
    const double step_width = (high - low) / steps;
    int best_step = 0;
    double largest = difference(low);
    for (int step = 1; step <= steps; ++step)
    {
        const double value = difference(step == steps ? high : low + step_width * step);
        if (value > largest)
        {
            largest = value;
            best_step = step;
        }
    }
    *at_temperature = best_step == steps ? high : low + step_width * best_step;
    double left = std::max(low, *at_temperature - step_width);
    double right = std::min(high, *at_temperature + step_width);
    for (int iteration = 0; iteration < 100; ++iteration)
    {
        const double third = (right - left) / 3.0;
        if (difference(left + third) < difference(right - third))
        {
            left += third;
        }
        else
        {
            right -= third;
        }
    }
    const double middle = (left + right) / 2.0;
    if (difference(middle) > largest)
    {
        largest = difference(middle);
        *at_temperature = middle;
    }
    return largest;
}
