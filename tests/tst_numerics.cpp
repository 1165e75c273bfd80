#include "interpolation.h"
#include "vector2.h"
#include "vector3.h"

#include <QtTest>

Q_DECLARE_METATYPE(TVector2)

using TPoints = QVector<TVector2>;
using TNumbers = QVector<double>;

class TTestNumerics : public QObject
{
    Q_OBJECT

private slots:
    void Vector_Operators()
    {
        const auto text = [](const TVector3& v) { return QString("%1 %2 %3").arg(v.x).arg(v.y).arg(v.z); };
        const TVector3 u(1, 2, 3);
        TVector3 itself = u;
        itself.Cross(itself);
        QCOMPARE(text(5.0 - u), QString("4 3 2"));
        QCOMPARE(text(u - 5.0), QString("-4 -3 -2"));
        QCOMPARE(text(Cross(u, TVector3(4, 5, 6))), QString("-3 6 -3"));
        QCOMPARE(text(itself), QString("0 0 0"));
    }

    void Point_In_Triangle()
    {
        // Exchanging b and c reverses the orientation but keeps b-c the edge that counts inside.
        const TVector2 a(0, 0), b(4, 0), c(0, 4);
        QVERIFY(!Is_Point_In_Triangle(TVector2(3, 3), a, b, c));
        QVERIFY(!Is_Point_In_Triangle(TVector2(3, 3), a, c, b));
        QVERIFY(!Is_Point_In_Triangle(TVector2(2, 0), a, b, c)); // on a-b
        QVERIFY(!Is_Point_In_Triangle(TVector2(2, 0), a, c, b));
        QVERIFY(!Is_Point_In_Triangle(TVector2(0, 2), a, b, c)); // on a-c
        QVERIFY(!Is_Point_In_Triangle(TVector2(0, 2), a, c, b));
        QVERIFY(Is_Point_In_Triangle(TVector2(2, 2), a, b, c)); // on b-c
        QVERIFY(Is_Point_In_Triangle(TVector2(2, 2), a, c, b));
    }

    void Polynomial_Fit_data()
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

    void Polynomial_Fit()
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
            QVERIFY2(qAbs(f[i] - expected[i]) < 1e-9, qPrintable(QString("%1: %2").arg(i).arg(f[i])));
        }
    }

    void Solve_Linear_System()
    {
        // A zero on the diagonal is exchanged with the row below; a zero column has no pivot at all.
        TNumbers exchanged{0, 1, 2, 1, 0, 3}, singular{0, 1, 2, 0, 3, 4}, solution{-1, -1};
        QVERIFY(::Solve_Linear_System(2, 3, exchanged.data(), solution.data()));
        QCOMPARE(solution, TNumbers({3, 2}));
        QVERIFY(!::Solve_Linear_System(2, 3, singular.data(), solution.data()));
    }

    void Interpolate_Value_data()
    {
        QTest::addColumn<TPoints>("points");
        QTest::addColumn<double>("x");
        QTest::addColumn<bool>("result");
        QTest::addColumn<double>("value");
        const TPoints polyline{{0, 0}, {10, 10}, {20, 40}};
        QTest::newRow("inside") << polyline << 15.0 << true << 25.0;
        QTest::newRow("at 0") << polyline << 0.0 << true << 0.0;
        QTest::newRow("below") << polyline << -5.0 << true << -5.0;
        QTest::newRow("above") << polyline << 25.0 << true << 55.0;
        QTest::newRow("first and last x equal") << TPoints{{3, 1}, {5, 2}, {3, 3}} << 4.0 << false << 0.0;
    }

    void Interpolate_Value()
    {
        QFETCH(TPoints, points);
        QFETCH(double, x);
        QFETCH(bool, result);
        QFETCH(double, value);
        // Each polyline is run once more backwards, ordered by descending x.
        for (const char* order : {"as given", "reversed"})
        {
            double actual = 99.0;
            QVERIFY2(::Interpolate_Value(points, x, &actual) == result && actual == value, order);
            std::reverse(points.begin(), points.end());
        }
    }

    void Interpolate_At_Y_Output_Order()
    {
        double z = 0.0, x = 0.0;
        QVERIFY(Interpolate_At_Y(QVector<TVector3>{{0, 100, 1000}, {10, 120, 1100}}, 110.0, &z, &x));
        QVERIFY2(z == 1050.0 && x == 5.0, qPrintable(QString("z %1, x %2").arg(z).arg(x)));
    }
};

QTEST_GUILESS_MAIN(TTestNumerics)
#include "tst_numerics.moc"
