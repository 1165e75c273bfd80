#include "interpolation.h"

#include <QtTest>

Q_DECLARE_METATYPE(TVector2)

class TTestNumerics : public QObject
{
    Q_OBJECT

private slots:
    void Scalar_Minus_Vector()
    {
        const TVector2 s_minus_v = 5.0 - TVector2(1, 2), v_minus_s = TVector2(1, 2) - 5.0;
        QVERIFY(s_minus_v.x == 4 && s_minus_v.y == 3 && v_minus_s.x == -4 && v_minus_s.y == -3);
    }

    void Point_In_Triangle_data()
    {
        QTest::addColumn<TVector2>("p");
        QTest::addColumn<bool>("inside");
        QTest::newRow("on a-b") << TVector2(2, 0) << false;
        QTest::newRow("on a-c") << TVector2(0, 2) << false;
        QTest::newRow("on b-c") << TVector2(2, 2) << true;
        QTest::newRow("beyond b-c") << TVector2(3, 3) << false;
    }

    void Point_In_Triangle()
    {
        QFETCH(TVector2, p);
        QFETCH(bool, inside);
        // Exchanging b and c reverses the orientation but keeps b-c the edge that counts inside.
        QCOMPARE(Is_Point_In_Triangle(p, {0, 0}, {4, 0}, {0, 4}), inside);
        QCOMPARE(Is_Point_In_Triangle(p, {0, 0}, {0, 4}, {4, 0}), inside);
    }

    void Polynomial_Fit()
    {
        double a = 7, b = 7, c = 7, d = 7;
        QVERIFY(!Calculate_Quadratic_Fit({{15, 0.1}, {20, 0.2}}, &a, &b, &c) && a == 7 && b == 7 && c == 7);
        QVERIFY(Calculate_Quadratic_Fit({{15, 0.1}, {20, 0.2}, {25, 0.4}}, &a, &b, &c));
        QVERIFY(qAbs(a - 0.002) + qAbs(b + 0.05) + qAbs(c - 0.4) < 1e-12);
        QVERIFY(Calculate_Cubic_Fit({{0, -1}, {1, 1}, {2, 5}, {3, 17}}, &a, &b, &c, &d));
        QVERIFY(qAbs(a - 1) + qAbs(b + 2) + qAbs(c - 3) + qAbs(d + 1) < 1e-9);
    }

    void Solve_Linear_System()
    {
        // A zero on the diagonal is exchanged with the row below; a zero column has no pivot at all.
        QVector<double> exchanged{0, 1, 2, 1, 0, 3}, singular{0, 1, 2, 0, 3, 4}, solution{-1, -1};
        QVERIFY(::Solve_Linear_System(2, 3, exchanged.data(), solution.data()));
        QCOMPARE(solution, QVector<double>({3, 2}));
        QVERIFY(!::Solve_Linear_System(2, 3, singular.data(), solution.data()));
    }

    void Interpolate_Value()
    {
        const QVector<TVector2> ascending{{0, 0}, {10, 10}, {20, 40}}, descending{{20, 40}, {10, 10}, {0, 0}};
        double v = 99.0;
        QVERIFY(::Interpolate_Value(ascending, 15.0, &v) && v == 25.0);
        QVERIFY(::Interpolate_Value(ascending, 25.0, &v) && v == 55.0); // beyond the last point
        QVERIFY(::Interpolate_Value(descending, 15.0, &v) && v == 25.0);
        QVERIFY(::Interpolate_Value(descending, 25.0, &v) && v == 55.0); // beyond the first point
        QVERIFY(!::Interpolate_Value({{3, 1}, {5, 2}, {3, 3}}, 4.0, &v) && v == 0.0); // no span in x
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
