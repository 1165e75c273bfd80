#include "correctiondialogdata.h"
#include "thermometercorrection.h"
#include "thermometerdata.h"

#include <QtTest>

Q_DECLARE_METATYPE(TVector2)

using TPoints = QVector<TVector2>;
using TNumbers = QVector<double>;

static TCorrectionDialogData Dialog_Data(double reading2)
{
    return TCorrectionDialogData{15.0, 20.0, 25.0, 15.0, reading2, 25.0, QString(), QDate()};
}

class TTestThermometer : public QObject
{
    Q_OBJECT

private slots:
    void Correction_data()
    {
        QTest::addColumn<TPoints>("points");
        QTest::addColumn<TNumbers>("abc");
        const TNumbers zero{0, 0, 0};
        QTest::newRow("example") << TPoints{{25, 0.4}, {20, 0.2}, {15, 0.1}} << TNumbers{0.002, -0.05, 0.4};
        QTest::newRow("span 1") << TPoints{{0, 0.1}, {0.5, 0.3}, {1, 0.2}} << TNumbers{-0.6, 0.7, 0.1};
        QTest::newRow("span 0.9") << TPoints{{0, 0.1}, {0.4, 0.3}, {0.9, 0.2}} << zero;
        QTest::newRow("equal x") << TPoints{{20, 0.1}, {20, 0.2}, {19, 0.3}} << zero;
        QTest::newRow("nearly equal x") << TPoints{{20, 0.1}, {20 + 1e-13, 0.3}, {25, 0.2}} << zero;
        QTest::newRow("not a number") << TPoints{{15, 0.1}, {20, qQNaN()}, {25, 0.2}} << zero;
    }

    void Correction()
    {
        QFETCH(TPoints, points);
        QFETCH(TNumbers, abc);
        const TThermometerCorrection correction(points[0], points[1], points[2]);
        // Valid exactly when a curve was fitted; otherwise the coefficients are all zero.
        QCOMPARE(correction.Is_Valid(), abc != TNumbers({0, 0, 0}));
        const TNumbers fitted{correction.Get_A(), correction.Get_B(), correction.Get_C()};
        for (int i = 0; i < 3; ++i)
        {
            QVERIFY2(qAbs(fitted[i] - abc[i]) < 1e-9, qPrintable(QString("%1: %2").arg(i).arg(fitted[i])));
        }
    }

    void Sort_And_Copy()
    {
        // Descending, so that each of the three exchanges of the sort is needed.
        TThermometerCorrection correction(TVector2(25, 0.4), TVector2(20, 0.2), TVector2(15, 0.1));
        QCOMPARE(correction.Get_Point1().y, 0.1);
        QCOMPARE(correction.Evaluate_Point(22.0).y, 0.268);
        correction.Set_Point1(TVector2(30, 0.5));
        QCOMPARE(correction.Get_Point3().x, 30.0);
        QCOMPARE(correction.Evaluate_Point(30.0).y, 0.5);
        TThermometerCorrection copy;
        copy = TThermometerCorrection(correction);
        QVERIFY(copy.Get_A() == correction.Get_A() && copy.Get_B() == correction.Get_B() &&
                copy.Get_C() == correction.Get_C() && copy.Get_Point1().y == correction.Get_Point1().y);
    }

    void Lookup_And_Remove()
    {
        TThermometerList list;
        list.Set_Correction_Data("", Dialog_Data(20.1));
        list.Set_Correction_Data("Other", Dialog_Data(20.1));
        list.Set_Correction_Data("Probe 7", Dialog_Data(20.1));
        list.Set_Correction_Data("Third", Dialog_Data(20.1));
        list.Set_Correction_Data("PROBE 7", Dialog_Data(20.3));
        QCOMPARE(list.Get_Correction("pRoBe 7").Get_Point2().y, 0.3);
        TCorrectionDialogData data;
        QVERIFY(list.Get_Correction_Data("probe 7", &data));
        QCOMPARE(data.thermometer_reading2, 20.3);
        list.Remove_Thermometer_Data("Probe 7");
        QCOMPARE(list.Get_Descriptions(), QStringList({"Other", "Third"}));
    }

    void Due_Date_And_Absent()
    {
        TThermometerList list;
        list.Set_Correction_Data("Probe", Dialog_Data(20.5));
        QVERIFY(!list.Is_Calibration_Valid("Probe")); // no date yet
        list.Set_Calibration_Due_Date("Probe", QDate::currentDate());
        QVERIFY(!list.Is_Calibration_Valid("Probe"));
        list.Set_Calibration_Due_Date("Probe", QDate::currentDate().addDays(1));
        QVERIFY(list.Is_Calibration_Valid("Probe"));
        // Nothing of the thermometer that is there may show through for one that is not.
        QCOMPARE(list.Get_Correction("Probe 8").Evaluate_Point(22.0).y, 0.0);
        TCorrectionDialogData data = Dialog_Data(2);
        QVERIFY(!list.Get_Correction_Data("Probe 8", &data));
        QCOMPARE(data.thermometer_reading2, 20.0);
        QCOMPARE(list.Get_Calibration_Due_Date("Probe 8"), QDate::currentDate());
        QVERIFY(!list.Is_Calibration_Valid("Probe 8"));
    }
};

QTEST_GUILESS_MAIN(TTestThermometer)
#include "tst_thermometer.moc"
