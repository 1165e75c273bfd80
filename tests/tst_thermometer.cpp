#include "calibrationstatus.h"
#include "exactcalibration.h"
#include "temperaturelog.h"
#include "thermometerdata.h"

#include <QtTest>

#include <random>

using Exact::TRational;

class TTestThermometer : public QObject
{
    Q_OBJECT

private slots:
    void Correction_data()
    {
        QTest::addColumn<QVector<double>>("xy");  // three test points as x, y pairs
        QTest::addColumn<QVector<double>>("abc"); // all zero exactly when not valid
        QTest::newRow("unsorted example")
            << QVector<double>{25, 0.4, 20, 0.2, 15, 0.1} << QVector<double>{0.002, -0.05, 0.4};
        QTest::newRow("span 1") << QVector<double>{0, 0, 0.5, 0.3, 1, 0.2} << QVector<double>{-0.8, 1, 0};
        QTest::newRow("nearly equal x") << QVector<double>{20, 0, 20 + 1e-13, 1, 25, 0} << QVector<double>(3);
        QTest::newRow("not a number") << QVector<double>{15, 0.1, 20, qQNaN(), 25, 0.2} << QVector<double>(3);
    }

    void Correction()
    {
        QFETCH(QVector<double>, xy);
        QFETCH(QVector<double>, abc);
        const TThermometerCorrection fit({xy[0], xy[1]}, {xy[2], xy[3]}, {xy[4], xy[5]});
        QCOMPARE(fit.Is_Valid(), abc != QVector<double>(3));
        QVERIFY(qAbs(fit.Get_A() - abc[0]) + qAbs(fit.Get_B() - abc[1]) + qAbs(fit.Get_C() - abc[2]) < 1e-9);
    }

    // Two test points a hundredth of a degree apart; the corrected values worked out exactly by hand.
    void Close_Test_Points_data()
    {
        QTest::addColumn<QStringList>("points"); // x, y, x, y, x, y
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("corrected");
        const QStringList top{"170.09", "0.2737", "183.53", "0.2373", "183.54", "0.2133"};
        const QStringList bottom{"219.49", "-0.1142", "219.50", "-0.2935", "239.12", "-0.1701"};
        QTest::newRow("181.29, exactly 176.575016") << top << "181.29"
                                                    << "176.58";
        QTest::newRow("175, exactly 167.274610") << top << "175.00"
                                                 << "167.27";
        QTest::newRow("184, exactly 184.929235") << top << "184"
                                                 << "184.93";
        QTest::newRow("220, exactly 229.025502") << bottom << "220"
                                                 << "229.03";
        QTest::newRow("230, exactly 317.725121") << bottom << "230.00"
                                                 << "317.73";
        QTest::newRow("240, exactly 223.681088") << bottom << "240"
                                                 << "223.68";
    }

    void Close_Test_Points()
    {
        QFETCH(QStringList, points);
        QFETCH(QString, reading);
        QFETCH(QString, corrected);
        const Exact::TDecimalPoints decimal{{points[0], points[2], points[4]},
                                            {points[1], points[3], points[5]}};
        QCOMPARE(Corrected_Reading_Text(reading, true, Correction_Of(decimal)), corrected);
    }

    // Over thousands of calibrations, ordinary ones and ones with test points a hundredth of a degree
    // apart, and readings within, near and far beyond their ranges: the value shown is the exact
    // r - d(r) rounded to its two decimals, an exact tie either way.
    void Corrected_Values_Are_Exact()
    {
        std::mt19937_64 generator(38);
        QStringList wrong;
        int count = 0;
        for (int calibration = 0; calibration < 3000; ++calibration)
        {
            const Exact::TDecimalPoints points = Exact::Random_Points(generator);
            const TThermometerCorrection correction = Correction_Of(points);
            const Exact::TParabola curve = points.Exact_Curve();
            QVERIFY2(correction.Is_Valid(), qPrintable(Points_Text(points)));
            const qint64 low = qRound64(points.x[0].toDouble() * 100);
            const qint64 high = qRound64(points.x[2].toDouble() * 100);
            const qint64 readings[] = {low + qint64(generator() % quint64(high - low + 1)),
                                       low + qint64(generator() % quint64(high - low + 1)),
                                       low - qint64(generator() % 150),
                                       high + qint64(generator() % 150),
                                       low - qint64(generator() % 5000),
                                       high + qint64(generator() % 5000)};
            for (const qint64 hundredths : readings)
            {
                const QString reading = QString::number(double(hundredths) / 100.0, 'f', 2);
                const TRational r = TRational::Of_Decimal(reading);
                const TRational exact = r - curve.At(r);
                const QString shown = Corrected_Reading_Text(reading, true, correction);
                ++count;
                if (!Exact::Is_Rounding_Of(exact, shown) && wrong.size() < 10)
                {
                    wrong << QString("%1 at %2: %3, exactly %4")
                                 .arg(Points_Text(points), reading, shown)
                                 .arg(exact.Approximate(), 0, 'f', 6);
                }
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
        QCOMPARE(count, 18000);
    }

    // The deviation is printed no finer than this bound vouches for. It must hold against the exact
    // value, and stay small: below 1e-11 for test points well apart within 0 to 40 degrees, so
    // that six digits of a deviation above a thousandth are printed; below 1e-7 for the steep curves of
    // test points a hundredth apart, where coefficients in the millions are cancelled.
    void Deviation_Error_Bound_Holds()
    {
        std::mt19937_64 generator(3838);
        QStringList wrong;
        for (int calibration = 0; calibration < 1000; ++calibration)
        {
            const Exact::TDecimalPoints points = Exact::Random_Points(generator);
            const TThermometerCorrection correction = Correction_Of(points);
            const TVector2 p[3] = {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()};
            const bool ordinary = p[0].x >= 0 && p[2].x <= 40 && p[1].x - p[0].x >= 1 && p[2].x - p[1].x >= 1;
            const qint64 low = qRound64(std::floor(p[0].x)) * 10;
            const qint64 high = qRound64(std::ceil(p[2].x)) * 10;
            for (int sample = 0; sample < 10; ++sample)
            {
                // Tenths, as in the corrections report.
                const QString t =
                    QString::number(double(low + qint64(generator() % quint64(high - low + 1))) / 10, 'f', 1);
                const double deviation = correction.Evaluate_Point(t.toDouble()).y;
                const double bound = Deviation_Error_Bound(correction, t.toDouble());
                const TRational error =
                    (TRational::Of_Double(deviation) - points.Exact_Deviation(TRational::Of_Decimal(t)))
                        .Absolute();
                if ((TRational::Of_Double(bound) < error || bound > (ordinary ? 1e-11 : 1e-7)) &&
                    wrong.size() < 10)
                {
                    wrong << QString("%1 at %2: off by %3, bound %4")
                                 .arg(Points_Text(points), t)
                                 .arg(error.Approximate(), 0, 'g', 3)
                                 .arg(bound, 0, 'g', 3);
                }
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
        QCOMPARE(Deviation_Error_Bound(TThermometerCorrection(), 20.0), 0.0);
    }

    // One rule at both ends, judged on the temperature the reading stands for: beyond by exactly one
    // degree is inside, a hundredth more is outside.
    void Outside_Calibrated_Range_data()
    {
        QTest::addColumn<QVector<double>>("xy");
        QTest::addColumn<double>("reading");
        QTest::addColumn<bool>("outside");
        const QVector<double> odd{15.37, 0, 20, 0, 25.37, 0};
        const QVector<double> whole{15, 0, 20, 0, 25, 0};
        QTest::newRow("16.37 above 15.37") << QVector<double>{5.37, 0, 10, 0, 15.37, 0} << 16.37 << false;
        QTest::newRow("16.38 above 15.37") << QVector<double>{5.37, 0, 10, 0, 15.37, 0} << 16.38 << true;
        QTest::newRow("26.00 above 25.00") << whole << 26.0 << false;
        QTest::newRow("26.01 above 25.00") << whole << 26.01 << true;
        QTest::newRow("14.37 below 15.37") << odd << 14.37 << false;
        QTest::newRow("14.36 below 15.37") << odd << 14.36 << true;
        QTest::newRow("26.37 above 25.37") << odd << 26.37 << false;
        QTest::newRow("-0.9 below 0.1") << QVector<double>{0.1, 0, 5, 0, 10, 0} << -0.9 << false;
        QTest::newRow("-0.91 below 0.1") << QVector<double>{0.1, 0, 5, 0, 10, 0} << -0.91 << true;
        // A probe reading 1.5 degrees high over 0 to 40.
        const QVector<double> high{0, 1.5, 20, 1.5, 40, 1.5};
        QTest::newRow("41.4 reads 39.9") << high << 41.4 << false;
        QTest::newRow("42.5 reads 41.0") << high << 42.5 << false;
        QTest::newRow("42.51 reads 41.01") << high << 42.51 << true;
        QTest::newRow("-1.0 reads -2.5") << high << -1.0 << true;
        QTest::newRow("0.5 reads -1.0") << high << 0.5 << false;
        QTest::newRow("0.49 reads -1.01") << high << 0.49 << true;
        // Deviation 0.01 t: a reading of 31.4 stands for 31.4 - 0.314 = 31.086.
        QTest::newRow("sloped, 31.4 reads 31.086")
            << QVector<double>{10, 0.1, 20, 0.2, 30, 0.3} << 31.4 << true;
        QTest::newRow("sloped, 31.3 reads 30.987")
            << QVector<double>{10, 0.1, 20, 0.2, 30, 0.3} << 31.3 << false;
        QTest::newRow("not a number") << high << qQNaN() << false;
    }

    void Outside_Calibrated_Range()
    {
        QFETCH(QVector<double>, xy);
        QFETCH(double, reading);
        QFETCH(bool, outside);
        const TThermometerCorrection correction({xy[0], xy[1]}, {xy[2], xy[3]}, {xy[4], xy[5]});
        QCOMPARE(Is_Outside_Calibrated_Range(reading, correction), outside);
    }

    void Set_Point1_Resorts()
    {
        TThermometerCorrection correction({10, 5}, {15, 0.1}, {20, 0.2});
        correction.Set_Point1({25, 0.4}); // in place of (10, 5), so it has to move to the end
        QCOMPARE(correction.Evaluate_Point(22.0).y, 0.268);
    }

    // The correction takes the deviation at the reading; worked by hand from d(T) - d(T + d(T)).
    void Model_Difference_data()
    {
        QTest::addColumn<QVector<double>>("xy");
        QTest::addColumn<double>("difference");
        QTest::addColumn<double>("at"); // NaN: anywhere, for a difference of rounding noise
        // d(25.4) = 0.42032: a reading of 25.40 is corrected to 24.97968, not 25.
        QTest::newRow("example") << QVector<double>{15, 0.1, 20, 0.2, 25, 0.4} << 0.02032 << 25.0;
        // d(t) = 0.02 t - 0.2: the difference is 0.02 d(T), largest where d is.
        QTest::newRow("linear") << QVector<double>{15, 0.1, 20, 0.2, 25, 0.3} << 0.006 << 25.0;
        QTest::newRow("falling") << QVector<double>{15, 0.3, 20, 0.2, 25, 0.1} << 0.006 << 15.0;
        QTest::newRow("constant") << QVector<double>{15, 0.7, 20, 0.7, 25, 0.7} << 0.0 << qQNaN();
        QTest::newRow("not usable") << QVector<double>{20, 0.1, 20, 0.2, 25, 0.4} << 0.0 << 20.0;
    }

    void Model_Difference()
    {
        QFETCH(QVector<double>, xy);
        QFETCH(double, difference);
        QFETCH(double, at);
        const TThermometerCorrection correction({xy[0], xy[1]}, {xy[2], xy[3]}, {xy[4], xy[5]});
        double at_temperature = -1;
        QVERIFY(qAbs(Largest_Model_Difference(correction, &at_temperature) - difference) < 1e-9);
        QVERIFY(qIsNaN(at) || at_temperature == at);
    }

    // The editor hands back readings as reference + deviation; unchanged, they must store the very same
    // deviation as loaded, not one a rounding away (15.1234 + 0.1 - 15.1234 is not 0.1).
    void Unchanged_Points_Stay_Exact()
    {
        TThermometerList list;
        const TThermometerData record{
            "Probe", TThermometerCorrection({15.1234, 0.1}, {20.005, 0.12}, {25, 0.07}), QDate(2030, 1, 1)};
        QTemporaryDir folder;
        QFile file(folder.filePath("calibration_data.xml"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Thermometer_Calibration_Data File_Version=\"1\">\n"
            "<Calibration_Entries><Entry><Description>Probe</Description>"
            "<Calibration_Due_Date>01012030</Calibration_Due_Date><Point1>15.12340,0.10000</Point1>"
            "<Point2>20.00500,0.12000</Point2><Point3>25.00000,0.07000</Point3><Checksum>" +
            list.Calculate_Checksum(record).toLatin1() +
            "</Checksum></Entry></Calibration_Entries></Thermometer_Calibration_Data>\n");
        file.close();
        QVERIFY(list.Load_Calibration_File(file.fileName()));
        TCorrectionDialogData data;
        QVERIFY(list.Get_Correction_Data("Probe", &data));
        data.thermometer_reading3 = 25.3; // only this one typed anew
        list.Set_Correction_Data("Probe", data);
        const TThermometerCorrection after = list.Get_Correction("Probe");
        // Compared bit for bit: QCOMPARE would forgive a rounding.
        QVERIFY(after.Get_Point1().x == 15.1234 && after.Get_Point1().y == 0.1);
        QVERIFY(after.Get_Point2().x == 20.005 && after.Get_Point2().y == 0.12);
        QVERIFY(after.Get_Point3().x == 25.0 && after.Get_Point3().y == 25.3 - 25.0);
    }

    void Validity_And_Fallback()
    {
        TThermometerList list;
        list.Set_Correction_Data("Other", {15, 20, 25, 15, 20.3, 25, QString(), QDate()});
        list.Set_Correction_Data("Probe", {15, 20, 25, 15, 20.3, 25, QString(), QDate()});
        list.Set_Correction_Data("Third", {15, 20, 25, 15, 20.3, 25, QString(), QDate()});
        QVERIFY(!list.Is_Calibration_Valid("Probe")); // no due date yet
        list.Set_Calibration_Due_Date("Probe", QDate::currentDate());
        QVERIFY(!list.Is_Calibration_Valid("Probe"));
        list.Set_Calibration_Due_Date("Probe", QDate::currentDate().addDays(1));
        QVERIFY(list.Is_Calibration_Valid("Probe"));
        list.Remove_Thermometer_Data("Probe");
        // The lookup test covers the index; this one the fallback correction of a missing entry.
        QCOMPARE(list.Get_Correction("Probe").Evaluate_Point(22.0).y, 0.0); // nor a neighbour's
    }
    // Every lookup must find what a search from the front with letter case ignored finds, after every
    // change of the list: an index that a removal or an addition left stale finds a neighbour or nothing.
    void Lookup_data()
    {
        QTest::addColumn<QStringList>("descriptions");
        QTest::addColumn<QStringList>("probes"); // besides the descriptions and their case variants
        QTest::newRow("ASCII") << QStringList{"Probe 1", "probe 2", "PROBE 1", "Bay", "bay "}
                               << QStringList{"", " ", "Probe", "probe 3"};
        // Pairs that fold together (final sigma, titlecase digraph, Kelvin sign, micro sign, Cherokee,
        // Deseret beyond the BMP) and pairs that do not (sharp s, dotted capital I).
        QTest::newRow("Unicode")
            << QString::fromUtf8("σίσυφος|ǅ|K-Typ|µ-Sonde|Ꭰ|𐐀 probe|Straße|İzmir|Fühler").split('|')
            << QString::fromUtf8("ΣΊΣΥΦΟΣ|σίσυφοσ|ǆ|Ǆ|k-typ|Μ-SONDE|ꭰ|𐐨 PROBE|STRASSE|"
                                 "izmir|i̇zmir|FÜHLER|Fuhler")
                   .split('|');
    }

    void Lookup()
    {
        QFETCH(QStringList, descriptions);
        QFETCH(QStringList, probes);
        for (const QString& description : descriptions)
        {
            probes << description << description.toUpper() << description.toLower();
        }

        TThermometerList list;
        QHash<QString, double> tags; // the point 2 deviation that tells the thermometers apart
        double next_tag = 0.01;
        const auto set = [&](const QString& description) {
            const double tag = next_tag;
            next_tag += 0.01;
            list.Set_Correction_Data(description, {15, 20, 25, 15, 20 + tag, 25, QString(), QDate()});
            for (const QString& stored : list.Get_Descriptions())
            {
                if (stored.compare(description, Qt::CaseInsensitive) == 0)
                {
                    tags[stored] = tag;
                    break;
                }
            }
        };
        const auto check = [&](const char* step) {
            for (const QString& probe : qAsConst(probes))
            {
                QString expected;
                for (const QString& stored : list.Get_Descriptions())
                {
                    if (!probe.isEmpty() && stored.compare(probe, Qt::CaseInsensitive) == 0)
                    {
                        expected = stored;
                        break;
                    }
                }
                TCorrectionDialogData data;
                const bool found = list.Get_Correction_Data(probe, &data);
                const QString context = QString("%1: '%2'").arg(step, probe);
                QVERIFY2(found == !expected.isNull(), qPrintable(context));
                QVERIFY2(!found || qAbs(data.thermometer_reading2 - 20 - tags.value(expected)) < 1e-9,
                         qPrintable(context));
            }
        };

        for (const QString& description : qAsConst(descriptions))
        {
            set(description);
        }
        check("added");
        list.Remove_Thermometer_Data(descriptions.first().toUpper());
        list.Remove_Thermometer_Data(descriptions.at(descriptions.size() / 2));
        check("removed");
        set(descriptions.first());
        set(descriptions.last().toLower()); // letter case only: the thermometer keeps its description
        check("added again");
        for (const QString& description : list.Get_Descriptions())
        {
            list.Remove_Thermometer_Data(description);
        }
        QVERIFY(list.Get_Descriptions().isEmpty());
        check("emptied");
    }
};

QTEST_GUILESS_MAIN(TTestThermometer)
#include "tst_thermometer.moc"
