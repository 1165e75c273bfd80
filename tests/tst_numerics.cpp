#include "csvtext.h"
#include "datetext.h"
#include "exactnumbers.h"
#include "interpolation.h"
#include "numbertext.h"
#include "timetext.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <random>

Q_DECLARE_METATYPE(TVector2)

using Exact::TRational;

namespace
{
// |computed - exact| within a part in 10^14 of exact: double precision, give or take a few roundings.
bool Is_Close(double computed, const TRational& exact)
{
    return (TRational::Of_Double(computed) - exact).Absolute() <=
           exact.Absolute() * TRational::Power_Of_Ten(-14);
}

QString Coefficients_Text(const double computed[3], const TRational exact[3])
{
    return QString("a %1 (exact %2), b %3 (%4), c %5 (%6)")
        .arg(computed[0], 0, 'g', 17)
        .arg(exact[0].Approximate(), 0, 'g', 17)
        .arg(computed[1], 0, 'g', 17)
        .arg(exact[1].Approximate(), 0, 'g', 17)
        .arg(computed[2], 0, 'g', 17)
        .arg(exact[2].Approximate(), 0, 'g', 17);
}
} // namespace

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

    // Three points: the parabola through them, to double precision also where two lie a hundredth of a
    // degree apart, which the normal equations got wrong in the fourth decimal. Exact coefficients from
    // Lagrange's formula over the points as held.
    void Quadratic_Fit_Through_Three_Points_data()
    {
        QTest::addColumn<QVector<double>>("xy");
        QTest::newRow("well apart") << QVector<double>{15, 0.1, 20, 0.2, 25, 0.4};
        QTest::newRow("unsorted") << QVector<double>{25, 0.4, 15, 0.1, 20, 0.2};
        QTest::newRow("a hundredth apart")
            << QVector<double>{219.49, -0.1142, 219.50, -0.2935, 239.12, -0.1701};
        QTest::newRow("a hundredth apart at the top")
            << QVector<double>{170.09, 0.2737, 183.53, 0.2373, 183.54, 0.2133};
        QTest::newRow("a millidegree apart") << QVector<double>{20.000, 0.1, 20.001, 0.1005, 35, -0.2};
        QTest::newRow("below zero") << QVector<double>{-80.25, 0.31, -40.5, -0.02, -40.4, 0.07};
        QTest::newRow("hot") << QVector<double>{950.0, 2.5, 1050.0, -1.25, 1050.05, 0.75};
    }

    void Quadratic_Fit_Through_Three_Points()
    {
        QFETCH(QVector<double>, xy);
        double computed[3] = {0, 0, 0};
        QVERIFY(Calculate_Quadratic_Fit({{xy[0], xy[1]}, {xy[2], xy[3]}, {xy[4], xy[5]}}, &computed[0],
                                        &computed[1], &computed[2]));
        TRational x[3];
        TRational y[3];
        for (int i = 0; i < 3; ++i)
        {
            x[i] = TRational::Of_Double(xy[2 * i]);
            y[i] = TRational::Of_Double(xy[2 * i + 1]);
        }
        const Exact::TParabola parabola = Exact::Parabola_Through(x, y);
        const TRational exact[3] = {parabola.a, parabola.b, parabola.c};
        QVERIFY2(Is_Close(computed[0], exact[0]) && Is_Close(computed[1], exact[1]) &&
                     Is_Close(computed[2], exact[2]),
                 qPrintable(Coefficients_Text(computed, exact)));
    }

    // More points: the least-squares parabola, exact from the normal equations solved in rationals.
    void Quadratic_Fit_Least_Squares_data()
    {
        QTest::addColumn<QVector<double>>("xy");
        QTest::newRow("five well apart") << QVector<double>{10, 0.1, 15, 0.12, 20, 0.2, 25, 0.27, 30, 0.41};
        QTest::newRow("hot, in close pairs")
            << QVector<double>{219.49, -0.11, 219.5, -0.29, 229.3, -0.2, 239.12, -0.17, 239.13, -0.16};
        QTest::newRow("a parabola") << QVector<double>{-2, 4, -1, 1, 0, 0, 1, 1, 2, 4, 3, 9};
    }

    void Quadratic_Fit_Least_Squares()
    {
        QFETCH(QVector<double>, xy);
        QVector<TVector2> points;
        TRational s[5];
        TRational t[3];
        for (int i = 0; i + 1 < xy.size(); i += 2)
        {
            points.append({xy[i], xy[i + 1]});
            const TRational x = TRational::Of_Double(xy[i]);
            TRational power = 1;
            for (int k = 0; k < 5; ++k)
            {
                s[k] = s[k] + power;
                if (k < 3)
                {
                    t[k] = t[k] + power * TRational::Of_Double(xy[i + 1]);
                }
                power = power * x;
            }
        }
        // Cramer's rule on [s4 s3 s2; s3 s2 s1; s2 s1 s0] (a b c) = (t2 t1 t0).
        const auto determinant = [](const TRational m[3][3]) {
            return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                   m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                   m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        };
        const TRational matrix[3][3] = {{s[4], s[3], s[2]}, {s[3], s[2], s[1]}, {s[2], s[1], s[0]}};
        const TRational right[3] = {t[2], t[1], t[0]};
        TRational exact[3];
        for (int column = 0; column < 3; ++column)
        {
            TRational replaced[3][3];
            for (int row = 0; row < 3; ++row)
            {
                for (int k = 0; k < 3; ++k)
                {
                    replaced[row][k] = k == column ? right[row] : matrix[row][k];
                }
            }
            exact[column] = determinant(replaced) / determinant(matrix);
        }
        double computed[3] = {0, 0, 0};
        QVERIFY(Calculate_Quadratic_Fit(points, &computed[0], &computed[1], &computed[2]));
        // The curve, not each coefficient: c of the parabola is exactly 0.
        for (const double at : {xy.first(), xy[xy.size() / 2], xy[xy.size() - 2]})
        {
            const TRational x = TRational::Of_Double(at);
            const TRational expected = (exact[0] * x + exact[1]) * x + exact[2];
            const double fitted = (computed[2] + computed[1] * at) + (at * at) * computed[0];
            QVERIFY2((TRational::Of_Double(fitted) - expected).Absolute() <= TRational::Power_Of_Ten(-11),
                     qPrintable(QString("at %1: %2, exact %3; %4")
                                    .arg(at)
                                    .arg(fitted, 0, 'g', 17)
                                    .arg(expected.Approximate(), 0, 'g', 17)
                                    .arg(Coefficients_Text(computed, exact))));
        }
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
                // Shown and stored, a value that rounds to zero has no minus.
                const QString shown =
                    QRegularExpression("^-[0.]+$").match(expected).hasMatch() ? expected.mid(1) : expected;
                QCOMPARE(Shown_Number_Text(value, precision), shown);
                const int number_length = Format_Number(value, precision, buffer);
                QVERIFY(number_length < 0 ? length < 0 : QLatin1String(buffer, number_length) == shown);

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

    void Date_Time_Text_data()
    {
        QTest::addColumn<QString>("iso"); // as Qt reads it, with its offset
        QTest::addColumn<QString>("text");
        QTest::newRow("west, half hour") << "2026-03-01T00:00:05-03:30"
                                         << "2026-03-01T00:00:05-03:30";
        QTest::newRow("UTC") << "2026-12-07T14:03:59Z"
                             << "2026-12-07T14:03:59+00:00";
    }

    void Date_Time_Text()
    {
        QFETCH(QString, iso);
        QFETCH(QString, text);
        QCOMPARE(Log_Date_Time_Text(QDateTime::fromString(iso, Qt::ISODate)), text);
    }

    // A field breaks a row only by a delimiter, a quote or a line end; a text a spreadsheet would run
    // as a formula shows as text.
    void Csv_Fields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text_field");
        QTest::newRow("plain") << "Probe 3"
                               << "Probe 3"
                               << "Probe 3";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
        QTest::newRow("comma") << "Table 2, left"
                               << "\"Table 2, left\""
                               << "\"Table 2, left\"";
        QTest::newRow("quotes") << "a \"b\""
                                << "\"a \"\"b\"\"\""
                                << "\"a \"\"b\"\"\"";
        QTest::newRow("line feed") << "a\nb"
                                   << "\"a\nb\""
                                   << "\"a\nb\"";
        QTest::newRow("formula") << "=1+2"
                                 << "=1+2"
                                 << "'=1+2";
        QTest::newRow("plus") << "+1"
                              << "+1"
                              << "'+1";
        QTest::newRow("at") << "@SUM(A1)"
                            << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("tab") << "\tx"
                             << "\tx"
                             << "'\tx";
        QTest::newRow("carriage return") << "\rx"
                                         << "\"\rx\""
                                         << "\"'\rx\"";
        QTest::newRow("negative number") << "-5.00000,0.10000"
                                         << "\"-5.00000,0.10000\""
                                         << "\"-5.00000,0.10000\"";
        QTest::newRow("minus before a word") << "-x"
                                             << "-x"
                                             << "'-x";
        QTest::newRow("formula with a comma") << "=A1,B1"
                                              << "\"=A1,B1\""
                                              << "\"'=A1,B1\"";
    }

    void Csv_Fields()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(QString, text_field);
        QCOMPARE(Csv_Field(text), field);
        QCOMPARE(Csv_Text_Field(text), text_field);
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
