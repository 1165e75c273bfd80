#include "datetext.h"
#include "interpolation.h"
#include "numbertext.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <random>

Q_DECLARE_METATYPE(TVector2)

class TTestNumerics : public QObject
{
    Q_OBJECT

private slots:
    void Point_In_Triangle_data()
    {
        QTest::addColumn<TVector2>("p");
        QTest::addColumn<bool>("inside");
        QTest::newRow("on a-b") << TVector2(2, 0) << false;
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
    // The fast texts and values must be Qt's own bit for bit: a checksum is summed over these texts.
    void Number_Text_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::newRow("ties round away from zero")
            << QVector<double>{0.125, -0.125, 0.625, 2.5, 0.5, 1.00005};
        QTest::newRow("carries") << QVector<double>{9.995, 9.9999999, -99.9996, 0.99999, 999999.99999};
        QTest::newRow("zeros") << QVector<double>{0.0, -0.0, -0.001, -0.00004, 1e-21, -1e-300, 4.9e-324};
        QTest::newRow("magnitudes") << QVector<double>{
            1e6, 123456.789012, 4194304.0009765625, 1e14 + 0.5, 9.99e14, 1e15, -2e15, 1e300};
        QTest::newRow("not finite") << QVector<double>{qInf(), -qInf(), qQNaN()};

        std::mt19937_64 generator(19);
        QVector<double> random;
        for (int index = 0; index < 20000; ++index)
        {
            // Hundredths as typed, their differences, and arbitrary bit patterns of every magnitude.
            const double typed = double(int(generator() % 8001) - 4000) / 100.0;
            const double scaled = std::ldexp(double(generator() % (1ULL << 53)), int(generator() % 90) - 80);
            random << typed << typed - double(int(generator() % 4001)) / 100.0
                   << (generator() % 2 ? scaled : -scaled);
        }
        QTest::newRow("random") << random;
    }

    void Number_Text()
    {
        QFETCH(QVector<double>, values);
        for (const double value : values)
        {
            for (int precision = 0; precision <= 10; ++precision)
            {
                const QString expected = QString::number(value, 'f', precision);
                QCOMPARE(Fixed_Text(value, precision), expected);
                char buffer[Fixed_Text_Capacity];
                const int length = Format_Fixed(value, precision, buffer);
                QVERIFY(length < 0 ? !(std::fabs(value) < 1e15) : QLatin1String(buffer, length) == expected);

                bool ok = false;
                bool expected_ok = false;
                const double read = ::Decimal_Value(expected, &ok);
                const double expected_read = expected.toDouble(&expected_ok);
                QVERIFY2(ok == expected_ok && std::memcmp(&read, &expected_read, sizeof(double)) == 0,
                         qPrintable(expected));
            }
        }
    }

    void Date_Text_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* text :
             {"01012025", "29022024", "29022025", "31042025", "00012025", "01002025", "01130000", "01010999",
              "01011000", "31129999", "1012025", "010120250", "0101202a", "01-01-25", "", "٠١٠١٢٠٢٥"})
        {
            QTest::newRow(text) << QString::fromUtf8(text);
        }
    }

    void Date_Text()
    {
        QFETCH(QString, text);
        const QString format = QStringLiteral("ddMMyyyy");
        const QDate date = Day_Month_Year_Date(text);
        const QDate read = QDate::fromString(text, format);
        QCOMPARE(date, read.toString(format) == text ? read : QDate());
        for (const QDate& other : {date, date.addDays(1), date.addYears(-1), QDate(), QDate(999, 12, 31)})
        {
            QCOMPARE(Day_Month_Year_Text(other), other.toString(format));
        }
    }

    void Decimal_Value_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* text :
             {"0", "-0", "007.50", "-273.15", "1.", ".5", "+1", " 1", "1e3", "1,5", "-", "", "1..2", "inf",
              "nan", "0x10", "١٢", "123456789012345678901234567890", "1234567890123456789012345678901.5"})
        {
            QTest::newRow(text) << QString::fromUtf8(text);
        }
    }

    void Decimal_Value()
    {
        QFETCH(QString, text);
        bool ok = true;
        bool expected_ok = false;
        const double value = ::Decimal_Value(text, &ok);
        const double expected = text.toDouble(&expected_ok);
        QCOMPARE(ok, expected_ok);
        QVERIFY(std::memcmp(&value, &expected, sizeof(double)) == 0);
    }
};

QTEST_GUILESS_MAIN(TTestNumerics)
#include "tst_numerics.moc"
