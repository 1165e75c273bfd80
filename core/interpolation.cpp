#include "interpolation.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <utility>

namespace
{
// Power sums of calibration temperatures reach 1e7 and the normal equations cancel heavily, so they
// are accumulated in extended precision where the platform has it.
using TSum = long double;

// Shared by the cubic and quartic fits: the coefficients of x^0 .. x^degree, lowest first.
bool Fit_Polynomial(const QVector<TVector2>& points, int degree, double* coefficients)
{
    constexpr int Maximum_Coefficients = 5;
    const int count = degree + 1;
    const int columns = count + 1;
    Q_ASSERT_X(count <= Maximum_Coefficients, "Fit_Polynomial", "degree <= 4");

    double matrix[Maximum_Coefficients * (Maximum_Coefficients + 1)];
    for (int row = 0; row < count; ++row)
    {
        for (int column = 0; column < count; ++column)
        {
            TSum sum = 0;
            for (const TVector2& point : points)
            {
                sum += std::pow(static_cast<TSum>(point.x), row + column);
            }
            matrix[row * columns + column] = static_cast<double>(sum);
        }
        TSum sum = 0;
        for (const TVector2& point : points)
        {
            sum += std::pow(static_cast<TSum>(point.x), row) * point.y;
        }
        matrix[row * columns + count] = static_cast<double>(sum);
    }
    return Solve_Linear_System(count, columns, matrix, coefficients);
}

// Three points of distinct x: the least-squares quadratic is the parabola through them. Taken from
// Newton's divided differences, each coefficient is as exact as its rounding allows even for two points a
// hundredth of a degree apart, where the normal equations, whose condition is the square of the
// points', lost four decimals. Equal x give coefficients that are not finite, as the normal equations do.
void Interpolating_Quadratic(const TVector2& p0, const TVector2& p1, const TVector2& p2, double* a, double* b,
                             double* c)
{
    // The y are taken in units of a power of two near the largest of them, which changes no rounding,
    // so that the difference of two huge ones does not overflow where the coefficients do not.
    int exponent = 0;
    const double largest = std::max({std::fabs(p0.y), std::fabs(p1.y), std::fabs(p2.y)});
    if (std::isfinite(largest))
    {
        std::frexp(largest, &exponent);
    }
    const double y0 = std::ldexp(p0.y, -exponent);
    const double y1 = std::ldexp(p1.y, -exponent);
    const double y2 = std::ldexp(p2.y, -exponent);

    const double slope01 = (y1 - y0) / (p1.x - p0.x);
    const double slope12 = (y2 - y1) / (p2.x - p1.x);
    const double curvature = (slope12 - slope01) / (p2.x - p0.x);
    // y = y0 + slope01 (x - x0) + curvature (x - x0) (x - x1), multiplied out.
    *a = std::ldexp(curvature, exponent);
    *b = std::ldexp(slope01 - curvature * (p0.x + p1.x), exponent);
    *c = std::ldexp(y0 - p0.x * (slope01 - curvature * p1.x), exponent);
}

// More than three points: the normal equations in x centred on the middle of the points' range and
// scaled to -1 .. 1, where the powers stay near 1 instead of reaching 1e9; the coefficients found for
// that variable are then multiplied out. All x equal give coefficients that are not finite.
void Least_Squares_Quadratic(const QVector<TVector2>& points, double* a, double* b, double* c)
{
    double low = points.first().x;
    double high = low;
    for (const TVector2& point : points)
    {
        low = std::min(low, point.x);
        high = std::max(high, point.x);
    }
    const double middle = low + (high - low) / 2.0;
    const double half_range = (high - low) / 2.0;

    TSum s1 = 0;
    TSum s2 = 0;
    TSum s3 = 0;
    TSum s4 = 0;
    TSum t0 = 0;
    TSum t1 = 0;
    TSum t2 = 0;
    for (const TVector2& point : points)
    {
        const TSum s = (static_cast<TSum>(point.x) - middle) / half_range;
        const TSum y = point.y;
        s1 += s;
        s2 += s * s;
        s3 += s * s * s;
        s4 += s * s * s * s;
        t0 += y;
        t1 += s * y;
        t2 += s * s * y;
    }
    const TSum n = points.size();

    // Cramer's rule, each determinant expanded along its first column.
    const TSum determinant = s4 * (n * s2 - s1 * s1) - s3 * (n * s3 - s2 * s1) + s2 * (s1 * s3 - s2 * s2);
    const TSum scaled_a =
        (t2 * (n * s2 - s1 * s1) - t1 * (n * s3 - s2 * s1) + t0 * (s1 * s3 - s2 * s2)) / determinant;
    const TSum scaled_b =
        (s4 * (n * t1 - s1 * t0) - s3 * (n * t2 - s2 * t0) + s2 * (s1 * t2 - s2 * t1)) / determinant;
    const TSum scaled_c =
        (s4 * (s2 * t0 - s1 * t1) - s3 * (s3 * t0 - s1 * t2) + s2 * (s3 * t1 - s2 * t2)) / determinant;

    // A s^2 + B s + C with s = (x - m) / h.
    const TSum a_value = scaled_a / half_range / half_range;
    const TSum b_value = scaled_b / half_range - 2 * a_value * middle;
    const TSum c_value = scaled_c - (scaled_b / half_range) * middle + a_value * middle * middle;
    *a = static_cast<double>(a_value);
    *b = static_cast<double>(b_value);
    *c = static_cast<double>(c_value);
}

// The common part of the 2-D and 3-D interpolations: the whole interpolated point, with the
// coordinate of the given index as the parameter.
template <typename TVector>
bool Interpolate_Point(const QVector<TVector>& points, int coordinate, const double& parameter,
                       TVector* result)
{
    const int count = points.size();
    if (count < 2)
    {
        return false;
    }
    const TVector& first = points.first();
    const TVector& last = points.last();
    const double span = last[coordinate] - first[coordinate];
    if (std::fabs(span) < 1e-6)
    {
        return false;
    }

    const double t = (parameter - first[coordinate]) / span;
    if (t < 0.0)
    {
        const TVector& start = points[0];
        const TVector direction = points[1] - start;
        const double h = (parameter - start[coordinate]) / direction[coordinate];
        *result = start + h * direction;
        return true;
    }
    if (t > 1.0)
    {
        const TVector& end = points[count - 1];
        const TVector direction = points[count - 2] - end;
        const double h = (parameter - end[coordinate]) / direction[coordinate];
        *result = end + h * direction;
        return true;
    }

    for (int k = 0; k + 1 < count; ++k)
    {
        const TVector& start = points[k];
        const TVector& end = points[k + 1];
        const double step = end[coordinate] - start[coordinate];
        if (std::fabs(step) <= 1e-6)
        {
            continue;
        }
        const double h = (parameter - start[coordinate]) / step;
        if (h >= 0.0 && h <= 1.0)
        {
            const TVector direction = end - start;
            *result = start + h * direction;
            return true;
        }
    }
    return false;
}
} // namespace

bool Calculate_Slope_End_Points(const QVector<TVector2>& points, double* slope)
{
    Q_ASSERT_X(slope != nullptr, "Calculate_Slope_End_Points", "slope != nullptr");
    *slope = 0.0;
    if (points.size() < 2)
    {
        return false;
    }
    const TVector2& first = points.first();
    const TVector2& last = points.last();
    const double dx = last.x - first.x;
    if (std::fabs(dx) > 1e-6)
    {
        *slope = (last.y - first.y) / dx;
        return true;
    }
    return false;
}

bool Calculate_Linear_Fit(const QVector<TVector2>& points, double* slope, double* intercept)
{
    Q_ASSERT_X(slope != nullptr, "Calculate_Linear_Fit", "slope != nullptr");
    if (points.size() < 2)
    {
        return false;
    }
    TSum sx = 0;
    TSum sy = 0;
    TSum sxy = 0;
    TSum sxx = 0;
    for (const TVector2& point : points)
    {
        sx += point.x;
        sy += point.y;
        sxy += static_cast<TSum>(point.x) * point.y;
        sxx += static_cast<TSum>(point.x) * point.x;
    }
    const TSum n = points.size();
    const TSum fitted_slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    *slope = static_cast<double>(fitted_slope);
    if (intercept != nullptr)
    {
        *intercept = static_cast<double>((sy - sx * fitted_slope) / n);
    }
    return true;
}

bool Calculate_Slope_Origin(const QVector<TVector2>& points, double* slope)
{
    Q_ASSERT_X(slope != nullptr, "Calculate_Slope_Origin", "slope != nullptr");
    *slope = 0.0;
    if (points.isEmpty())
    {
        return false;
    }
    TSum sx = 0;
    TSum sy = 0;
    for (const TVector2& point : points)
    {
        // A point left of or on the y axis counts as its mirror image through the origin.
        if (point.x > 0.0)
        {
            sx += point.x;
            sy += point.y;
        }
        else
        {
            sx -= point.x;
            sy -= point.y;
        }
    }
    const TSum n = points.size();
    const TSum mx = sx / n;
    const TSum my = sy / n;
    // The mean ratio is trusted only for slopes up to 1 in magnitude.
    if (std::fabs(my) > std::fabs(mx) || std::fabs(mx) < 1e-6L)
    {
        return Calculate_Linear_Fit(points, slope, nullptr);
    }
    *slope = static_cast<double>(my / mx);
    return true;
}

bool Calculate_Quadratic_Fit(const QVector<TVector2>& points, double* a, double* b, double* c)
{
    Q_ASSERT_X(a != nullptr, "Calculate_Quadratic_Fit", "a != nullptr");
    Q_ASSERT_X(b != nullptr, "Calculate_Quadratic_Fit", "b != nullptr");
    Q_ASSERT_X(c != nullptr, "Calculate_Quadratic_Fit", "c != nullptr");
    if (points.size() <= 2)
    {
        return false;
    }
    if (points.size() == 3)
    {
        Interpolating_Quadratic(points[0], points[1], points[2], a, b, c);
        return true;
    }
    Least_Squares_Quadratic(points, a, b, c);
    return true;
}

bool Calculate_Cubic_Fit(const QVector<TVector2>& points, double* a, double* b, double* c, double* d)
{
    Q_ASSERT_X(a != nullptr, "Calculate_Cubic_Fit", "a != nullptr");
    Q_ASSERT_X(b != nullptr, "Calculate_Cubic_Fit", "b != nullptr");
    Q_ASSERT_X(c != nullptr, "Calculate_Cubic_Fit", "c != nullptr");
    Q_ASSERT_X(d != nullptr, "Calculate_Cubic_Fit", "d != nullptr");
    *a = 0.0;
    *b = 0.0;
    *c = 0.0;
    *d = 0.0;
    if (points.size() < 4)
    {
        return false;
    }
    double coefficients[4];
    if (!Fit_Polynomial(points, 3, coefficients))
    {
        return false;
    }
    *a = coefficients[3];
    *b = coefficients[2];
    *c = coefficients[1];
    *d = coefficients[0];
    return true;
}

bool Calculate_Quartic_Fit(const QVector<TVector2>& points, double* a, double* b, double* c, double* d,
                           double* e)
{
    Q_ASSERT_X(a != nullptr, "Calculate_Quartic_Fit", "a != nullptr");
    Q_ASSERT_X(b != nullptr, "Calculate_Quartic_Fit", "b != nullptr");
    Q_ASSERT_X(c != nullptr, "Calculate_Quartic_Fit", "c != nullptr");
    Q_ASSERT_X(d != nullptr, "Calculate_Quartic_Fit", "d != nullptr");
    Q_ASSERT_X(e != nullptr, "Calculate_Quartic_Fit", "e != nullptr");
    *a = 0.0;
    *b = 0.0;
    *c = 0.0;
    *d = 0.0;
    *e = 0.0;
    if (points.size() < 5)
    {
        return false;
    }
    double coefficients[5];
    if (!Fit_Polynomial(points, 4, coefficients))
    {
        return false;
    }
    *a = coefficients[4];
    *b = coefficients[3];
    *c = coefficients[2];
    *d = coefficients[1];
    *e = coefficients[0];
    return true;
}

bool Solve_Linear_System(int rows, int columns, double* matrix, double* solution)
{
    Q_ASSERT_X(rows > 0, "Solve_Linear_System", "rows > 0");
    Q_ASSERT_X(columns == rows + 1, "Solve_Linear_System", "columns == rows + 1");
    Q_ASSERT_X(matrix != nullptr, "Solve_Linear_System", "matrix != nullptr");
    Q_ASSERT_X(solution != nullptr, "Solve_Linear_System", "solution != nullptr");

    constexpr double Epsilon = 1e-12;
    const auto element = [matrix, columns](int row, int column) -> double& {
        return matrix[row * columns + column];
    };

    for (int i = 0; i < rows; ++i)
    {
        if (std::fabs(element(i, i)) < Epsilon)
        {
            for (int k = i + 1; k < rows; ++k)
            {
                if (std::fabs(element(k, i)) > Epsilon)
                {
                    for (int column = i; column < columns; ++column)
                    {
                        std::swap(element(i, column), element(k, column));
                    }
                    break;
                }
            }
        }
        if (std::fabs(element(i, i)) < Epsilon)
        {
            return false;
        }

        const double pivot = element(i, i);
        for (int column = i; column < columns; ++column)
        {
            element(i, column) /= pivot;
        }
        for (int row = 0; row < rows; ++row)
        {
            if (row == i)
            {
                continue;
            }
            const double factor = element(row, i);
            for (int column = 0; column < columns; ++column)
            {
                element(row, column) -= factor * element(i, column);
            }
        }
    }

    for (int k = 0; k < rows; ++k)
    {
        solution[k] = element(k, rows);
    }
    return true;
}

bool Interpolate_Value(const QVector<TVector2>& points, const double& x, double* value)
{
    Q_ASSERT_X(value != nullptr, "Interpolate_Value", "value != nullptr");
    *value = 0.0;
    TVector2 result;
    if (!Interpolate_Point(points, 0, x, &result))
    {
        return false;
    }
    *value = result.y;
    return true;
}

bool Interpolate_At_Z(const QVector<TVector3>& points, const double& z, double* x_value, double* y_value)
{
    Q_ASSERT_X(x_value != nullptr, "Interpolate_At_Z", "x_value != nullptr");
    Q_ASSERT_X(y_value != nullptr, "Interpolate_At_Z", "y_value != nullptr");
    *x_value = 0.0;
    *y_value = 0.0;
    TVector3 result;
    if (!Interpolate_Point(points, 2, z, &result))
    {
        return false;
    }
    *x_value = result.x;
    *y_value = result.y;
    return true;
}

bool Interpolate_At_X(const QVector<TVector3>& points, const double& x, double* y_value, double* z_value)
{
    Q_ASSERT_X(y_value != nullptr, "Interpolate_At_X", "y_value != nullptr");
    Q_ASSERT_X(z_value != nullptr, "Interpolate_At_X", "z_value != nullptr");
    *y_value = 0.0;
    *z_value = 0.0;
    TVector3 result;
    if (!Interpolate_Point(points, 0, x, &result))
    {
        return false;
    }
    *y_value = result.y;
    *z_value = result.z;
    return true;
}

bool Interpolate_At_Y(const QVector<TVector3>& points, const double& y, double* z_value, double* x_value)
{
    Q_ASSERT_X(z_value != nullptr, "Interpolate_At_Y", "z_value != nullptr");
    Q_ASSERT_X(x_value != nullptr, "Interpolate_At_Y", "x_value != nullptr");
    *z_value = 0.0;
    *x_value = 0.0;
    TVector3 result;
    if (!Interpolate_Point(points, 1, y, &result))
    {
        return false;
    }
    *z_value = result.z;
    *x_value = result.x;
    return true;
}
