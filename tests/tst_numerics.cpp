#include "interpolation.h"
#include "vector2.h"
#include "vector3.h"

#include <QtTest>

Q_DECLARE_METATYPE(TVector2)
Q_DECLARE_METATYPE(TVector3)

using TPoints = QVector<TVector2>;
using TNumbers = QVector<double>;

class TTestNumerics : public QObject
{
    Q_OBJECT

private slots:
    void Vector_Operators_data();
    void Vector_Operators();
    void Point_In_Triangle_data();
    void Point_In_Triangle();
    void Slope_Origin_data();
    void Slope_Origin();
    void Polynomial_Fit_data();
    void Polynomial_Fit();
    void Solve_Linear_System_data();
    void Solve_Linear_System();
    void Interpolate_Value_data();
    void Interpolate_Value();
    void Interpolate_At_Y_Output_Order();
};

void TTestNumerics::Vector_Operators_data()
{
    QTest::addColumn<TVector3>("result");
    QTest::addColumn<TVector3>("expected");
    const TVector2 p(1, 2);
    const TVector3 u(1, 2, 3), v(4, 5, 6);
    TVector3 in_place = u, itself = u;
    in_place.Cross(v);
    itself.Cross(itself);
    QTest::newRow("2-D s - v") << TVector3((5.0 - p).x, (5.0 - p).y, 0) << TVector3(4, 3, 0);
    QTest::newRow("s - v") << 5.0 - u << TVector3(4, 3, 2);
    QTest::newRow("v - s") << u - 5.0 << TVector3(-4, -3, -2);
    QTest::newRow("cross") << Cross(u, v) << TVector3(-3, 6, -3);
    QTest::newRow("cross in place") << in_place << TVector3(-3, 6, -3);
    QTest::newRow("cross with itself") << itself << TVector3(0, 0, 0);
}

void TTestNumerics::Vector_Operators()
{
    QFETCH(TVector3, result);
    QFETCH(TVector3, expected);
    QVERIFY(result.x == expected.x && result.y == expected.y && result.z == expected.z);
}

void TTestNumerics::Point_In_Triangle_data()
{
    QTest::addColumn<TVector2>("p");
    QTest::addColumn<TVector2>("b");
    QTest::addColumn<TVector2>("c");
    QTest::addColumn<bool>("inside");
    // Exchanging b and c reverses the orientation but keeps which edge is b-c, the one that counts inside.
    TVector2 b(4, 0), c(0, 4);
    for (const QByteArray name : {"forward, ", "reversed, "})
    {
        QTest::newRow(name + "inside") << TVector2(1, 1) << b << c << true;
        QTest::newRow(name + "outside") << TVector2(3, 3) << b << c << false;
        QTest::newRow(name + "on y = 0") << TVector2(2, 0) << b << c << false;
        QTest::newRow(name + "on x = 0") << TVector2(0, 2) << b << c << false;
        QTest::newRow(name + "on b-c") << TVector2(2, 2) << b << c << true;
        std::swap(b, c);
    }
}

void TTestNumerics::Point_In_Triangle()
{
    QFETCH(TVector2, p);
    QFETCH(TVector2, b);
    QFETCH(TVector2, c);
    QFETCH(bool, inside);
    QCOMPARE(Is_Point_In_Triangle(p, TVector2(0, 0), b, c), inside);
}

void TTestNumerics::Slope_Origin_data()
{
    QTest::addColumn<TPoints>("points");
    QTest::addColumn<bool>("result");
    QTest::addColumn<double>("slope");
    QTest::newRow("left point mirrored") << TPoints{{-2, -1}, {2, 1}} << true << 0.5;
    QTest::newRow("mean ratio, not least squares") << TPoints{{1, 0.5}, {3, 0.5}} << true << 0.25;
    QTest::newRow("steep falls back to least squares") << TPoints{{1, 2}, {2, 4}} << true << 2.0;
    QTest::newRow("empty") << TPoints{} << false << 0.0;
}

void TTestNumerics::Slope_Origin()
{
    QFETCH(TPoints, points);
    QFETCH(bool, result);
    QFETCH(double, slope);
    double actual = 99.0;
    QCOMPARE(Calculate_Slope_Origin(points, &actual), result);
    QCOMPARE(actual, slope);
}

void TTestNumerics::Polynomial_Fit_data()
{
    QTest::addColumn<TPoints>("points");
    QTest::addColumn<bool>("result");
    QTest::addColumn<TNumbers>("expected"); // highest power first
    QTest::newRow("quadratic example")
        << TPoints{{15, 0.1}, {20, 0.2}, {25, 0.4}} << true << TNumbers{0.002, -0.05, 0.4};
    QTest::newRow("quadratic, two points untouched")
        << TPoints{{15, 0.1}, {20, 0.2}} << false << TNumbers{7, 7, 7};
    QTest::newRow("cubic") << TPoints{{0, -1}, {1, 1}, {2, 5}, {3, 17}} << true << TNumbers{1, -2, 3, -1};
    QTest::newRow("quartic") << TPoints{{-2, 19}, {-1, -6}, {0, -7}, {1, -2}, {2, 15}} << true
                             << TNumbers{1, -1, 2, 3, -7};
}

void TTestNumerics::Polynomial_Fit()
{
    QFETCH(TPoints, points);
    QFETCH(bool, result);
    QFETCH(TNumbers, expected);
    TNumbers f(5, 7.0);
    QCOMPARE(expected.size() == 3   ? Calculate_Quadratic_Fit(points, &f[0], &f[1], &f[2])
             : expected.size() == 4 ? Calculate_Cubic_Fit(points, &f[0], &f[1], &f[2], &f[3])
                                    : Calculate_Quartic_Fit(points, &f[0], &f[1], &f[2], &f[3], &f[4]),
             result);
    for (int i = 0; i < expected.size(); ++i)
    {
        QVERIFY2(qAbs(f[i] - expected[i]) < 1e-9, qPrintable(QString("coefficient %1: %2").arg(i).arg(f[i])));
    }
}

void TTestNumerics::Solve_Linear_System_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<TNumbers>("matrix");
    QTest::addColumn<bool>("result");
    QTest::addColumn<TNumbers>("solution");
    QTest::newRow("zero pivot exchanged") << 2 << TNumbers{0, 1, 2, 1, 0, 3} << true << TNumbers{3, 2};
    // 1e-13 is no pivot: the first usable row below is the third.
    QTest::newRow("tiny entry skipped")
        << 3 << TNumbers{0, 1, 0, 2, 1e-13, 0, 1, 3, 1, 0, 0, 4} << true << TNumbers{4, 2, 3};
    QTest::newRow("singular") << 2 << TNumbers{0, 1, 2, 0, 3, 4} << false << TNumbers{-1, -1};
}

void TTestNumerics::Solve_Linear_System()
{
    QFETCH(int, rows);
    QFETCH(TNumbers, matrix);
    QFETCH(bool, result);
    QFETCH(TNumbers, solution);
    TNumbers actual(rows, -1.0);
    QCOMPARE(::Solve_Linear_System(rows, rows + 1, matrix.data(), actual.data()), result);
    for (int i = 0; i < rows; ++i)
    {
        QCOMPARE(actual[i], solution[i]);
    }
}

void TTestNumerics::Interpolate_Value_data()
{
    QTest::addColumn<TPoints>("points");
    QTest::addColumn<double>("x");
    QTest::addColumn<bool>("result");
    QTest::addColumn<double>("value");
    const TPoints ascending{{0, 0}, {10, 10}, {20, 40}};
    const TPoints descending{{20, 40}, {10, 10}, {0, 0}};
    for (const TPoints* order : {&ascending, &descending})
    {
        const TPoints& points = *order;
        const QByteArray name = order == &ascending ? "ascending, " : "descending, ";
        QTest::newRow(name + "inside") << points << 15.0 << true << 25.0;
        QTest::newRow(name + "at 0") << points << 0.0 << true << 0.0;
        QTest::newRow(name + "at 20") << points << 20.0 << true << 40.0;
        QTest::newRow(name + "below") << points << -5.0 << true << -5.0;
        QTest::newRow(name + "above") << points << 25.0 << true << 55.0;
    }
    QTest::newRow("first and last x equal") << TPoints{{3, 1}, {5, 2}, {3, 3}} << 4.0 << false << 0.0;
    QTest::newRow("one point") << TPoints{{3, 1}} << 3.0 << false << 0.0;
}

void TTestNumerics::Interpolate_Value()
{
    QFETCH(TPoints, points);
    QFETCH(double, x);
    QFETCH(bool, result);
    QFETCH(double, value);
    double actual = 99.0;
    QCOMPARE(::Interpolate_Value(points, x, &actual), result);
    QCOMPARE(actual, value);
}

void TTestNumerics::Interpolate_At_Y_Output_Order()
{
    double z = 0.0, x = 0.0;
    QVERIFY(Interpolate_At_Y(QVector<TVector3>{{0, 100, 1000}, {10, 120, 1100}}, 110.0, &z, &x));
    QVERIFY2(z == 1050.0 && x == 5.0, qPrintable(QString("z %1, x %2").arg(z).arg(x)));
}

QTEST_GUILESS_MAIN(TTestNumerics)
#include "tst_numerics.moc"
