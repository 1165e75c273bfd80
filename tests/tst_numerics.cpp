#include "interpolation.h"
#include "vector2.h"
#include "vector3.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(TVector2)
Q_DECLARE_METATYPE(TVector3)

namespace
{
QString Describe(double actual, double expected)
{
    return QString("actual %1, expected %2").arg(actual, 0, 'g', 17).arg(expected, 0, 'g', 17);
}

// The parabola through three points of distinct x, from divided differences in extended precision:
// a computation independent of the normal equations.
void Parabola_Through(const QVector<TVector2>& points, long double* a, long double* b, long double* c)
{
    const long double x1 = points[0].x, x2 = points[1].x, x3 = points[2].x;
    const long double y1 = points[0].y, y2 = points[1].y, y3 = points[2].y;
    const long double d12 = (y2 - y1) / (x2 - x1);
    const long double d23 = (y3 - y2) / (x3 - x2);
    *a = (d23 - d12) / (x3 - x1);
    *b = d12 - *a * (x1 + x2);
    *c = y1 - x1 * d12 + *a * x1 * x2;
}

double Polynomial(const QVector<double>& coefficients_highest_first, double x)
{
    double value = 0.0;
    for (double coefficient : coefficients_highest_first)
    {
        value = value * x + coefficient;
    }
    return value;
}
} // namespace

class TTestNumerics : public QObject
{
    Q_OBJECT

private slots:
    void Vector_Index();
    void Vector_Normalise();
    void Vector2_Scalar_Operations_data();
    void Vector2_Scalar_Operations();
    void Vector3_Operations();
    void Cross_data();
    void Cross();
    void Point_In_Triangle_data();
    void Point_In_Triangle();

    void Slope_End_Points_data();
    void Slope_End_Points();
    void Linear_Fit();
    void Slope_Origin_data();
    void Slope_Origin();

    void Quadratic_Fit_Too_Few_Points();
    void Quadratic_Fit_Through_Three_Points_data();
    void Quadratic_Fit_Through_Three_Points();
    void Quadratic_Fit_Least_Squares();
    void Cubic_And_Quartic_Fit_data();
    void Cubic_And_Quartic_Fit();
    void Cubic_And_Quartic_Failure_data();
    void Cubic_And_Quartic_Failure();

    void Solve_Linear_System_data();
    void Solve_Linear_System();

    void Interpolate_Value_data();
    void Interpolate_Value();
    void Interpolate_3D_data();
    void Interpolate_3D();
};

void TTestNumerics::Vector_Index()
{
    TVector2 v(1.5, -2.5);
    QCOMPARE(v[0], 1.5);
    QCOMPARE(v[1], -2.5);
    v[0] = 7.0;
    v[1] = 8.0;
    QCOMPARE(v.x, 7.0);
    QCOMPARE(v.y, 8.0);

    TVector3 w(1.0, 2.0, 3.0);
    const TVector3& read_only = w;
    QCOMPARE(read_only[2], 3.0);
    w[2] = -4.0;
    QCOMPARE(w.z, -4.0);
    QCOMPARE(w[0], 1.0);
    QCOMPARE(w[1], 2.0);

    QCOMPARE(TVector2().x, 0.0);
    QCOMPARE(TVector3().z, 0.0);
}

void TTestNumerics::Vector_Normalise()
{
    TVector2 v2(3.0, 4.0);
    QCOMPARE(&v2.Normalise(), &v2);
    QCOMPARE(v2.x, 0.6);
    QCOMPARE(v2.y, 0.8);

    TVector3 v3(0.0, -3.0, 4.0);
    QCOMPARE(&v3.Normalise(), &v3);
    QCOMPARE(v3.x, 0.0);
    QCOMPARE(v3.y, -0.6);
    QCOMPARE(v3.z, 0.8);
}

void TTestNumerics::Vector2_Scalar_Operations_data()
{
    QTest::addColumn<TVector2>("result");
    QTest::addColumn<TVector2>("expected");
    const TVector2 v(1.0, 2.0);
    const TVector2 w(-3.0, 0.5);
    QTest::newRow("scalar minus vector") << 5.0 - v << TVector2(4.0, 3.0);
    QTest::newRow("vector minus scalar") << v - 5.0 << TVector2(-4.0, -3.0);
    QTest::newRow("vector plus scalar") << v + 5.0 << TVector2(6.0, 7.0);
    QTest::newRow("scalar plus vector") << 5.0 + v << TVector2(6.0, 7.0);
    QTest::newRow("vector times scalar") << v * 3.0 << TVector2(3.0, 6.0);
    QTest::newRow("scalar times vector") << -3.0 * v << TVector2(-3.0, -6.0);
    QTest::newRow("vector over scalar") << v / 4.0 << TVector2(0.25, 0.5);
    QTest::newRow("sum") << v + w << TVector2(-2.0, 2.5);
    QTest::newRow("difference") << v - w << TVector2(4.0, 1.5);
    QTest::newRow("dot") << TVector2(Dot(v, w), 0.0) << TVector2(-2.0, 0.0);
}

void TTestNumerics::Vector2_Scalar_Operations()
{
    QFETCH(TVector2, result);
    QFETCH(TVector2, expected);
    QCOMPARE(result.x, expected.x);
    QCOMPARE(result.y, expected.y);
}

void TTestNumerics::Vector3_Operations()
{
    const TVector3 v(1.0, 2.0, 3.0);
    const TVector3 w(4.0, -5.0, 0.5);
    const TVector3 results[] = {5.0 - v, v - 5.0, 2.0 * v + 1.0, v / 2.0 - w};
    const TVector3 expected[] = {{4, 3, 2}, {-4, -3, -2}, {3, 5, 7}, {-3.5, 6, 1}};
    for (int i = 0; i < 4; ++i)
    {
        QVERIFY2(results[i].x == expected[i].x && results[i].y == expected[i].y &&
                     results[i].z == expected[i].z,
                 qPrintable(QString("case %1").arg(i)));
    }
    QCOMPARE(Dot(v, w), -4.5);
}

void TTestNumerics::Cross_data()
{
    QTest::addColumn<TVector3>("u");
    QTest::addColumn<TVector3>("v");
    QTest::addColumn<TVector3>("expected");
    QTest::newRow("x cross y") << TVector3(1, 0, 0) << TVector3(0, 1, 0) << TVector3(0, 0, 1);
    QTest::newRow("y cross x") << TVector3(0, 1, 0) << TVector3(1, 0, 0) << TVector3(0, 0, -1);
    QTest::newRow("general") << TVector3(1, 2, 3) << TVector3(4, 5, 6) << TVector3(-3, 6, -3);
    QTest::newRow("parallel") << TVector3(1, 2, 3) << TVector3(2, 4, 6) << TVector3(0, 0, 0);
}

void TTestNumerics::Cross()
{
    QFETCH(TVector3, u);
    QFETCH(TVector3, v);
    QFETCH(TVector3, expected);

    const TVector3 free_result = ::Cross(u, v);
    QCOMPARE(free_result.x, expected.x);
    QCOMPARE(free_result.y, expected.y);
    QCOMPARE(free_result.z, expected.z);

    TVector3 in_place = u;
    TVector3& returned = in_place.Cross(v);
    QCOMPARE(&returned, &in_place);
    QCOMPARE(in_place.x, expected.x);
    QCOMPARE(in_place.y, expected.y);
    QCOMPARE(in_place.z, expected.z);

    // Crossing a vector with itself must read the old components, not the half-updated ones.
    TVector3 itself = u;
    itself.Cross(itself);
    QCOMPARE(itself.x, 0.0);
    QCOMPARE(itself.y, 0.0);
    QCOMPARE(itself.z, 0.0);
}

void TTestNumerics::Point_In_Triangle_data()
{
    QTest::addColumn<TVector2>("p");
    QTest::addColumn<TVector2>("a");
    QTest::addColumn<TVector2>("b");
    QTest::addColumn<TVector2>("c");
    QTest::addColumn<bool>("inside");

    const struct
    {
        const char* name;
        TVector2 a, b, c;
    } triangles[] = {
        {"right angle", TVector2(0, 0), TVector2(4, 0), TVector2(0, 4)},
        {"general", TVector2(1, 1), TVector2(5, 2), TVector2(2, 6)},
    };
    for (const auto& triangle : triangles)
    {
        const TVector2 centre = (triangle.a + triangle.b + triangle.c) / 3.0;
        const TVector2 mid_bc = (triangle.b + triangle.c) * 0.5;
        const TVector2 beyond_bc = mid_bc + (mid_bc - triangle.a) * 0.5;
        // Both orientations: exchanging b and c reverses it but keeps which edge is b-c.
        for (int orientation = 0; orientation < 2; ++orientation)
        {
            const TVector2 b = orientation == 0 ? triangle.b : triangle.c;
            const TVector2 c = orientation == 0 ? triangle.c : triangle.b;
            const QByteArray prefix =
                QByteArray(triangle.name) + (orientation == 0 ? " forward " : " reversed ");
            QTest::newRow(prefix + "centre") << centre << triangle.a << b << c << true;
            QTest::newRow(prefix + "on edge a-b") << (triangle.a + b) * 0.5 << triangle.a << b << c << false;
            QTest::newRow(prefix + "on edge a-c") << (triangle.a + c) * 0.5 << triangle.a << b << c << false;
            QTest::newRow(prefix + "on edge b-c") << mid_bc << triangle.a << b << c << true;
            QTest::newRow(prefix + "beyond b-c") << beyond_bc << triangle.a << b << c << false;
            QTest::newRow(prefix + "vertex a") << triangle.a << triangle.a << b << c << false;
            QTest::newRow(prefix + "vertex b") << b << triangle.a << b << c << false;
            QTest::newRow(prefix + "outside a")
                << triangle.a - (centre - triangle.a) << triangle.a << b << c << false;
        }
    }
    const TVector2 a(0, 0), b(4, 0), c(0, 4);
    QTest::newRow("example inside") << TVector2(1, 1) << a << b << c << true;
    QTest::newRow("example outside") << TVector2(3, 3) << a << b << c << false;
    QTest::newRow("example on b-c") << TVector2(2, 2) << a << b << c << true;
    QTest::newRow("example on a-b") << TVector2(2, 0) << a << b << c << false;
    QTest::newRow("degenerate") << TVector2(1, 1) << TVector2(0, 0) << TVector2(2, 2) << TVector2(4, 4)
                                << false;
}

void TTestNumerics::Point_In_Triangle()
{
    QFETCH(TVector2, p);
    QFETCH(TVector2, a);
    QFETCH(TVector2, b);
    QFETCH(TVector2, c);
    QFETCH(bool, inside);
    QCOMPARE(Is_Point_In_Triangle(p, a, b, c), inside);
}

void TTestNumerics::Slope_End_Points_data()
{
    QTest::addColumn<QVector<TVector2>>("points");
    QTest::addColumn<bool>("result");
    QTest::addColumn<double>("slope");
    QTest::newRow("ends only count") << QVector<TVector2>{{0, 1}, {1, 100}, {4, 3}} << true << 0.5;
    QTest::newRow("descending") << QVector<TVector2>{{4, 3}, {0, 1}} << true << 0.5;
    QTest::newRow("ends 1e-7 apart") << QVector<TVector2>{{5, 1}, {6, 2}, {5.0000001, 3}} << false << 0.0;
    QTest::newRow("one point") << QVector<TVector2>{{1, 1}} << false << 0.0;
    QTest::newRow("none") << QVector<TVector2>{} << false << 0.0;
}

void TTestNumerics::Slope_End_Points()
{
    QFETCH(QVector<TVector2>, points);
    QFETCH(bool, result);
    QFETCH(double, slope);
    double actual = 99.0;
    QCOMPARE(Calculate_Slope_End_Points(points, &actual), result);
    QCOMPARE(actual, slope);
}

void TTestNumerics::Linear_Fit()
{
    // y = 2x + 1 with residuals that cancel: +0.1, -0.2, +0.1 at x = 0, 1, 2 keep the fit exact.
    const QVector<TVector2> points{{0, 1.1}, {1, 2.8}, {2, 5.1}};
    double slope = 0.0;
    double intercept = 0.0;
    QVERIFY(Calculate_Linear_Fit(points, &slope, &intercept));
    QCOMPARE(slope, 2.0);
    QCOMPARE(intercept, 1.0);

    double slope_only = 0.0;
    QVERIFY(Calculate_Linear_Fit(points, &slope_only, nullptr));
    QCOMPARE(slope_only, 2.0);

    double untouched_slope = 42.0;
    double untouched_intercept = 43.0;
    QVERIFY(!Calculate_Linear_Fit(QVector<TVector2>{{1, 1}}, &untouched_slope, &untouched_intercept));
    QCOMPARE(untouched_slope, 42.0);
    QCOMPARE(untouched_intercept, 43.0);
}

void TTestNumerics::Slope_Origin_data()
{
    QTest::addColumn<QVector<TVector2>>("points");
    QTest::addColumn<bool>("result");
    QTest::addColumn<double>("slope");
    QTest::newRow("steep falls back to least squares") << QVector<TVector2>{{1, 2}, {2, 4}} << true << 2.0;
    QTest::newRow("left point mirrored") << QVector<TVector2>{{-2, -1}, {2, 1}} << true << 0.5;
    QTest::newRow("mean ratio, not least squares") << QVector<TVector2>{{1, 0.5}, {3, 0.5}} << true << 0.25;
    QTest::newRow("point on the axis") << QVector<TVector2>{{0, 0}, {4, 1}} << true << 0.25;
    QTest::newRow("single point at origin") << QVector<TVector2>{{0, 0}} << false << 0.0;
    QTest::newRow("empty") << QVector<TVector2>{} << false << 0.0;
}

void TTestNumerics::Slope_Origin()
{
    QFETCH(QVector<TVector2>, points);
    QFETCH(bool, result);
    QFETCH(double, slope);
    double actual = 99.0;
    QCOMPARE(Calculate_Slope_Origin(points, &actual), result);
    QCOMPARE(actual, slope);
}

void TTestNumerics::Quadratic_Fit_Too_Few_Points()
{
    double a = 1.0, b = 2.0, c = 3.0;
    QVERIFY(!Calculate_Quadratic_Fit(QVector<TVector2>{{15, 0.1}, {20, 0.2}}, &a, &b, &c));
    QCOMPARE(a, 1.0);
    QCOMPARE(b, 2.0);
    QCOMPARE(c, 3.0);
}

void TTestNumerics::Quadratic_Fit_Through_Three_Points_data()
{
    QTest::addColumn<QVector<TVector2>>("points");
    QTest::addColumn<double>("tolerance");
    // Well-conditioned calibration data: test points several degrees apart between 0 and 40 degrees.
    QTest::newRow("example") << QVector<TVector2>{{15, 0.1}, {20, 0.2}, {25, 0.4}} << 1e-12;
    QTest::newRow("full range") << QVector<TVector2>{{0, 0.1}, {20, 0.05}, {40, -0.02}} << 1e-12;
    QTest::newRow("uneven") << QVector<TVector2>{{5, -0.3}, {18.5, 0.12}, {37.25, 0.41}} << 1e-12;
    QTest::newRow("unsorted") << QVector<TVector2>{{30, 0.2}, {10, 0.05}, {12, -0.03}} << 1e-12;
    QTest::newRow("top of the range") << QVector<TVector2>{{35, 0.01}, {37.5, 0.02}, {40, 0.05}} << 1e-12;
    // Narrow spans far from zero cancel more in the normal equations.
    QTest::newRow("narrow") << QVector<TVector2>{{21.3, 0.013}, {22.8, -0.021}, {24.1, 0.007}} << 1e-10;
    QTest::newRow("one degree") << QVector<TVector2>{{20, 0.1}, {20.5, 0.3}, {21, 0.2}} << 1e-10;
}

void TTestNumerics::Quadratic_Fit_Through_Three_Points()
{
    QFETCH(QVector<TVector2>, points);
    QFETCH(double, tolerance);
    long double expected[3];
    Parabola_Through(points, &expected[0], &expected[1], &expected[2]);

    double fitted[3] = {0.0, 0.0, 0.0};
    QVERIFY(Calculate_Quadratic_Fit(points, &fitted[0], &fitted[1], &fitted[2]));
    for (int i = 0; i < 3; ++i)
    {
        const double exact = static_cast<double>(expected[i]);
        QVERIFY2(std::fabs(fitted[i] - expected[i]) <= tolerance * std::fabs(exact),
                 qPrintable(QString("coefficient %1: ").arg(i) + Describe(fitted[i], exact)));
    }
    if (points.first().x == 15.0)
    {
        QCOMPARE(fitted[0], 0.002);
        QCOMPARE(fitted[1], -0.05);
        QCOMPARE(fitted[2], 0.4);
    }
}

void TTestNumerics::Quadratic_Fit_Least_Squares()
{
    // Noisy points: the least-squares residuals must satisfy the normal equations, i.e. be orthogonal
    // to 1, x and x^2.
    QVector<TVector2> points;
    const double noise[] = {0.003, -0.004, 0.001, 0.002, -0.005, 0.004, -0.001};
    for (int i = 0; i < 7; ++i)
    {
        const double x = 2.0 + 6.0 * i;
        points.append(TVector2(x, 0.0004 * x * x - 0.01 * x + 0.05 + noise[i]));
    }
    double a = 0.0, b = 0.0, c = 0.0;
    QVERIFY(Calculate_Quadratic_Fit(points, &a, &b, &c));
    long double r0 = 0, r1 = 0, r2 = 0;
    for (const TVector2& point : points)
    {
        const long double residual = point.y - ((c + b * point.x) + point.x * point.x * a);
        r0 += residual;
        r1 += residual * point.x;
        r2 += residual * point.x * point.x;
    }
    QVERIFY2(std::fabs(static_cast<double>(r0)) < 1e-12, qPrintable(QString::number(double(r0))));
    QVERIFY2(std::fabs(static_cast<double>(r1)) < 1e-10, qPrintable(QString::number(double(r1))));
    QVERIFY2(std::fabs(static_cast<double>(r2)) < 1e-8, qPrintable(QString::number(double(r2))));
}

void TTestNumerics::Cubic_And_Quartic_Fit_data()
{
    QTest::addColumn<QVector<double>>("coefficients");
    QTest::addColumn<QVector<double>>("xs");
    QTest::newRow("cubic") << QVector<double>{0.5, -2.0, 3.0, -1.0}
                           << QVector<double>{-3, -2, -1, 0, 1, 2, 3};
    QTest::newRow("cubic, four points")
        << QVector<double>{-0.25, 0.0, 1.5, 4.0} << QVector<double>{0, 1, 2, 5};
    QTest::newRow("quartic") << QVector<double>{0.1, -0.5, 2.0, 3.0, -7.0}
                             << QVector<double>{-3, -2, -1, 0, 1, 2, 3, 4};
    QTest::newRow("quartic, five points")
        << QVector<double>{1.0, 0.0, -2.0, 0.0, 1.0} << QVector<double>{-2, -1, 0, 1, 2};
}

void TTestNumerics::Cubic_And_Quartic_Fit()
{
    QFETCH(QVector<double>, coefficients);
    QFETCH(QVector<double>, xs);
    QVector<TVector2> points;
    for (double x : xs)
    {
        points.append(TVector2(x, Polynomial(coefficients, x)));
    }

    double fitted[5] = {-1, -1, -1, -1, -1};
    if (coefficients.size() == 4)
    {
        QVERIFY(Calculate_Cubic_Fit(points, &fitted[0], &fitted[1], &fitted[2], &fitted[3]));
    }
    else
    {
        QVERIFY(Calculate_Quartic_Fit(points, &fitted[0], &fitted[1], &fitted[2], &fitted[3], &fitted[4]));
    }
    for (int i = 0; i < coefficients.size(); ++i)
    {
        QVERIFY2(std::fabs(fitted[i] - coefficients[i]) < 1e-9,
                 qPrintable(QString("coefficient %1: ").arg(i) + Describe(fitted[i], coefficients[i])));
    }
}

void TTestNumerics::Cubic_And_Quartic_Failure_data()
{
    QTest::addColumn<int>("degree");
    QTest::addColumn<QVector<TVector2>>("points");
    QTest::newRow("cubic, three points") << 3 << QVector<TVector2>{{0, 1}, {1, 2}, {2, 5}};
    QTest::newRow("cubic, all x equal") << 3 << QVector<TVector2>{{1, 1}, {1, 2}, {1, 3}, {1, 4}};
    QTest::newRow("cubic, all x zero") << 3 << QVector<TVector2>{{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}};
    QTest::newRow("quartic, four points") << 4 << QVector<TVector2>{{0, 1}, {1, 2}, {2, 5}, {3, 7}};
    QTest::newRow("quartic, all x equal") << 4 << QVector<TVector2>{{2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}};
}

void TTestNumerics::Cubic_And_Quartic_Failure()
{
    QFETCH(int, degree);
    QFETCH(QVector<TVector2>, points);
    double fitted[5] = {7, 7, 7, 7, 7};
    if (degree == 3)
    {
        QVERIFY(!Calculate_Cubic_Fit(points, &fitted[0], &fitted[1], &fitted[2], &fitted[3]));
    }
    else
    {
        QVERIFY(!Calculate_Quartic_Fit(points, &fitted[0], &fitted[1], &fitted[2], &fitted[3], &fitted[4]));
    }
    for (int i = 0; i <= degree; ++i)
    {
        QCOMPARE(fitted[i], 0.0);
    }
}

void TTestNumerics::Solve_Linear_System_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QVector<double>>("matrix");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QVector<double>>("solution");
    QTest::newRow("plain") << 2 << QVector<double>{2, 1, 5, 1, 3, 10} << true << QVector<double>{1, 3};
    QTest::newRow("zero pivot exchanged")
        << 2 << QVector<double>{0, 1, 2, 1, 0, 3} << true << QVector<double>{3, 2};
    // The row just below offers only 1e-13, which is no pivot: the first usable row is the third.
    QTest::newRow("tiny entry skipped")
        << 3 << QVector<double>{0, 1, 0, 2, 1e-13, 0, 1, 3, 1, 0, 0, 4} << true << QVector<double>{4, 2, 3};
    QTest::newRow("zero pivot in second column")
        << 3 << QVector<double>{1, 1, 0, 3, 1, 1, 1, 6, 0, 2, 1, 7} << true << QVector<double>{1, 2, 3};
    QTest::newRow("column below zero pivot is zero")
        << 2 << QVector<double>{0, 1, 2, 0, 3, 4} << false << QVector<double>{-1, -1};
    QTest::newRow("dependent rows") << 3 << QVector<double>{1, 2, 3, 1, 2, 4, 6, 2, 1, 0, 1, 5} << false
                                    << QVector<double>{-1, -1, -1};
}

void TTestNumerics::Solve_Linear_System()
{
    QFETCH(int, rows);
    QFETCH(QVector<double>, matrix);
    QFETCH(bool, result);
    QFETCH(QVector<double>, solution);
    QVector<double> actual(rows, -1.0);
    QCOMPARE(::Solve_Linear_System(rows, rows + 1, matrix.data(), actual.data()), result);
    if (result)
    {
        for (int i = 0; i < rows; ++i)
        {
            QVERIFY2(std::fabs(actual[i] - solution[i]) < 1e-11,
                     qPrintable(Describe(actual[i], solution[i])));
        }
    }
}

void TTestNumerics::Interpolate_Value_data()
{
    QTest::addColumn<QVector<TVector2>>("points");
    QTest::addColumn<double>("x");
    QTest::addColumn<bool>("result");
    QTest::addColumn<double>("value");

    const QVector<TVector2> ascending{{0, 0}, {10, 10}, {20, 40}};
    QVector<TVector2> descending = ascending;
    std::reverse(descending.begin(), descending.end());
    const struct
    {
        const char* name;
        QVector<TVector2> points;
    } orders[] = {{"ascending", ascending}, {"descending", descending}};
    for (const auto& order : orders)
    {
        const QByteArray prefix = QByteArray(order.name) + ": ";
        QTest::newRow(prefix + "first segment") << order.points << 5.0 << true << 5.0;
        QTest::newRow(prefix + "second segment") << order.points << 15.0 << true << 25.0;
        QTest::newRow(prefix + "inner point") << order.points << 10.0 << true << 10.0;
        QTest::newRow(prefix + "at x = 0") << order.points << 0.0 << true << 0.0;
        QTest::newRow(prefix + "at x = 20") << order.points << 20.0 << true << 40.0;
        QTest::newRow(prefix + "below") << order.points << -5.0 << true << -5.0;
        QTest::newRow(prefix + "above") << order.points << 25.0 << true << 55.0;
    }
    const QVector<TVector2> line{{0, 0}, {10, 10}};
    QTest::newRow("example beyond the end") << line << 15.0 << true << 15.0;
    QTest::newRow("example before the start") << line << -5.0 << true << -5.0;
    QTest::newRow("step skipped") << QVector<TVector2>{{0, 0}, {10, 10}, {10, 20}, {20, 30}} << 15.0 << true
                                  << 25.0;
    QTest::newRow("step, first segment wins")
        << QVector<TVector2>{{0, 0}, {10, 10}, {10, 20}, {20, 30}} << 10.0 << true << 10.0;
    QTest::newRow("no segment qualifies")
        << QVector<TVector2>{{0, 0}, {5, 1}, {5.0000001, 2}, {10, 3}} << 5.00000005 << false << 0.0;
    QTest::newRow("first and last x equal")
        << QVector<TVector2>{{3, 1}, {5, 2}, {3, 3}} << 4.0 << false << 0.0;
    QTest::newRow("one point") << QVector<TVector2>{{3, 1}} << 3.0 << false << 0.0;
}

void TTestNumerics::Interpolate_Value()
{
    QFETCH(QVector<TVector2>, points);
    QFETCH(double, x);
    QFETCH(bool, result);
    QFETCH(double, value);
    double actual = 99.0;
    QCOMPARE(::Interpolate_Value(points, x, &actual), result);
    QCOMPARE(actual, value);
}

void TTestNumerics::Interpolate_3D_data()
{
    QTest::addColumn<QString>("parameter_axis");
    QTest::addColumn<QVector<TVector3>>("points");
    QTest::addColumn<double>("parameter");
    QTest::addColumn<bool>("result");
    QTest::addColumn<TVector3>("expected");

    // Distinct coordinates everywhere, so that a swapped output shows.
    const QVector<TVector3> points{{0, 100, 1000}, {10, 120, 1100}, {20, 160, 1300}};
    QTest::newRow("z inside") << "z" << points << 1050.0 << true << TVector3(5, 110, 1050);
    QTest::newRow("x inside") << "x" << points << 15.0 << true << TVector3(15, 140, 1200);
    QTest::newRow("y inside") << "y" << points << 110.0 << true << TVector3(5, 110, 1050);
    QTest::newRow("x below") << "x" << points << -10.0 << true << TVector3(-10, 80, 900);
    QTest::newRow("y above") << "y" << points << 200.0 << true << TVector3(30, 200, 1500);
    QTest::newRow("z at the end") << "z" << points << 1300.0 << true << TVector3(20, 160, 1300);
    QTest::newRow("y flat") << "y" << QVector<TVector3>{{0, 1, 2}, {5, 1, 3}} << 1.0 << false << TVector3();
    QTest::newRow("x single") << "x" << QVector<TVector3>{{0, 1, 2}} << 0.0 << false << TVector3();
}

void TTestNumerics::Interpolate_3D()
{
    QFETCH(QString, parameter_axis);
    QFETCH(QVector<TVector3>, points);
    QFETCH(double, parameter);
    QFETCH(bool, result);
    QFETCH(TVector3, expected);

    double first = 99.0;
    double second = 99.0;
    if (parameter_axis == "z")
    {
        QCOMPARE(Interpolate_At_Z(points, parameter, &first, &second), result);
        QCOMPARE(first, expected.x);
        QCOMPARE(second, expected.y);
    }
    else if (parameter_axis == "x")
    {
        QCOMPARE(Interpolate_At_X(points, parameter, &first, &second), result);
        QCOMPARE(first, expected.y);
        QCOMPARE(second, expected.z);
    }
    else
    {
        QCOMPARE(Interpolate_At_Y(points, parameter, &first, &second), result);
        QCOMPARE(first, expected.z);
        QCOMPARE(second, expected.x);
    }
}

QTEST_GUILESS_MAIN(TTestNumerics)
#include "tst_numerics.moc"
