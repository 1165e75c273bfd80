#ifndef INTERPOLATION_H
#define INTERPOLATION_H

#include "vector2.h"
#include "vector3.h"

#include <QVector>

// Least-squares fits and piecewise-linear interpolation over point sequences. Every routine returns
// true on success; which outputs are zeroed on entry and which stay untouched on failure is part of
// each routine's contract. Required output pointers must not be null.

// Slope of the line through the first and the last point.
bool Calculate_Slope_End_Points(const QVector<TVector2>& points, double* slope);
// Ordinary least-squares line; intercept may be null. Outputs are untouched on failure.
bool Calculate_Linear_Fit(const QVector<TVector2>& points, double* slope, double* intercept);
// Slope of a line through the origin from the mean ratio, points left of the y axis mirrored.
bool Calculate_Slope_Origin(const QVector<TVector2>& points, double* slope);
// y = a*x^2 + b*x + c; with three points of distinct x, the parabola through them, exact to the rounding
// of its coefficients. Outputs are untouched on failure.
bool Calculate_Quadratic_Fit(const QVector<TVector2>& points, double* a, double* b, double* c);
// y = a*x^3 + b*x^2 + c*x + d.
bool Calculate_Cubic_Fit(const QVector<TVector2>& points, double* a, double* b, double* c, double* d);
// y = a*x^4 + b*x^3 + c*x^2 + d*x + e.
bool Calculate_Quartic_Fit(const QVector<TVector2>& points, double* a, double* b, double* c, double* d,
                           double* e);

// Gauss-Jordan elimination on a row-major augmented matrix of rows x (rows + 1) elements, which it
// overwrites. A pivot is exchanged only when it is below 1e-12, with the first usable row below it.
bool Solve_Linear_System(int rows, int columns, double* matrix, double* solution);

// Linear interpolation along a polyline ordered by x (ascending or descending), linear
// extrapolation beyond its ends.
bool Interpolate_Value(const QVector<TVector2>& points, const double& x, double* value);
// The same along a 3-D polyline, with the named coordinate as the parameter.
bool Interpolate_At_Z(const QVector<TVector3>& points, const double& z, double* x_value, double* y_value);
bool Interpolate_At_X(const QVector<TVector3>& points, const double& x, double* y_value, double* z_value);
bool Interpolate_At_Y(const QVector<TVector3>& points, const double& y, double* z_value, double* x_value);

#endif // INTERPOLATION_H
