#include "correctiondialogdata.h"
#include "thermometercorrection.h"
#include "thermometerdata.h"

#include <QtTest>

#include <algorithm>

Q_DECLARE_METATYPE(TVector2)

using TPoints = QVector<TVector2>;

namespace
{
TCorrectionDialogData Dialog_Data(double reading1, double reading2, double reading3)
{
    return TCorrectionDialogData{15.0, 20.0, 25.0, reading1, reading2, reading3, QString(), QDate()};
}
} // namespace

class TTestThermometer : public QObject
{
    Q_OBJECT

private slots:
    void Correction_data();
    void Correction();
    void Set_Point_And_Copy();
    void Lookup_And_Remove();
    void Empty_And_Absent();
    void Due_Date_data();
    void Due_Date();
};

void TTestThermometer::Correction_data()
{
    QTest::addColumn<TPoints>("points");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("deviation_at_22");
    QTest::newRow("unsorted") << TPoints{{25, 0.4}, {15, 0.1}, {20, 0.2}} << true << 0.268;
    QTest::newRow("span exactly 1") << TPoints{{20, 0.1}, {20.5, 0.3}, {21, 0.2}} << true << -0.9;
    QTest::newRow("span 0.9") << TPoints{{20, 0.1}, {20.4, 0.3}, {20.9, 0.2}} << false << 0.0;
    // Two points at one reference temperature leave a curve of three coefficients undetermined.
    QTest::newRow("equal x keep order") << TPoints{{20, 0.1}, {20, 0.2}, {19.5, 0.3}} << false << 0.0;
    QTest::newRow("nearly equal x") << TPoints{{20, 0.1}, {20 + 1e-13, 0.3}, {25, 0.2}} << false << 0.0;
    QTest::newRow("not a number") << TPoints{{15, 0.1}, {20, qQNaN()}, {25, 0.2}} << false << 0.0;
    QTest::newRow("infinite") << TPoints{{15, 0.1}, {20, 0.2}, {qInf(), 0.2}} << false << 0.0;
}

void TTestThermometer::Correction()
{
    QFETCH(TPoints, points);
    QFETCH(bool, valid);
    QFETCH(double, deviation_at_22);
    const TThermometerCorrection correction(points[0], points[1], points[2]);
    // Points of equal x keep the order they were given in, as with a stable sort.
    std::stable_sort(points.begin(), points.end(),
                     [](const TVector2& l, const TVector2& r) { return l.x < r.x; });
    const TPoints kept{correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()};
    for (int i = 0; i < 3; ++i)
    {
        QCOMPARE(kept[i].x, points[i].x);
        QCOMPARE(kept[i].y, points[i].y);
    }
    QCOMPARE(correction.Is_Valid(), valid);
    const double deviation = correction.Evaluate_Point(22.0).y;
    QVERIFY2(qAbs(deviation - deviation_at_22) < 1e-6, qPrintable(QString::number(deviation)));
    if (!valid)
    {
        QVERIFY(correction.Get_A() == 0.0 && correction.Get_B() == 0.0 && correction.Get_C() == 0.0);
    }
}

void TTestThermometer::Set_Point_And_Copy()
{
    TThermometerCorrection correction(TVector2(15, 0.1), TVector2(20, 0.2), TVector2(25, 0.4));
    correction.Set_Point1(TVector2(30, 0.5));
    QCOMPARE(correction.Get_Point1().x, 20.0);
    QCOMPARE(correction.Get_Point3().x, 30.0);
    QCOMPARE(correction.Evaluate_Point(30.0).y, 0.5);

    TThermometerCorrection assigned;
    assigned = correction;
    for (const TThermometerCorrection& copy : {TThermometerCorrection(correction), assigned})
    {
        QVERIFY(copy.Get_A() == correction.Get_A() && copy.Get_B() == correction.Get_B() &&
                copy.Get_C() == correction.Get_C() && copy.Get_Point1().y == correction.Get_Point1().y);
    }
}

void TTestThermometer::Lookup_And_Remove()
{
    TThermometerList list;
    list.Set_Correction_Data("Other", Dialog_Data(15, 20, 25));
    list.Set_Correction_Data("Probe 7", Dialog_Data(15.1, 20.3, 25.4));
    list.Set_Correction_Data("PROBE 7", Dialog_Data(15.2, 20.3, 25.4));
    list.Set_Correction_Data("Third", Dialog_Data(15, 22, 25));
    QCOMPARE(list.Get_Descriptions(), QStringList({"Other", "Probe 7", "Third"}));
    QCOMPARE(list.Get_Correction("probe 7").Get_Point1().y, 0.2);
    QCOMPARE(list.Get_Correction("pRoBe 7").Get_Point2().y, 0.3);
    TCorrectionDialogData data;
    QVERIFY(list.Get_Correction_Data("Probe 7", &data));
    QCOMPARE(data.thermometer_reading2, 20.3);

    list.Remove_Thermometer_Data("probe 7");
    QCOMPARE(list.Get_Descriptions(), QStringList({"Other", "Third"}));
    QCOMPARE(list.Get_Correction("Third").Get_Point2().y, 2.0);
}

void TTestThermometer::Empty_And_Absent()
{
    TThermometerList list;
    list.Set_Correction_Data("", Dialog_Data(15.5, 20.5, 25.5));
    QVERIFY(list.Get_Descriptions().isEmpty());
    list.Set_Correction_Data("Probe", Dialog_Data(15.5, 20.5, 25.5));
    list.Set_Calibration_Due_Date("Probe", QDate::currentDate().addDays(30));
    for (const QString& absent : {QString(), QString("Probe 8")})
    {
        const TThermometerCorrection correction = list.Get_Correction(absent);
        QCOMPARE(correction.Evaluate_Point(22.0).y, 0.0);
        TCorrectionDialogData data = Dialog_Data(1, 2, 3);
        QVERIFY(!list.Get_Correction_Data(absent, &data));
        QCOMPARE(data.thermometer_reading2, 20.0);
        QCOMPARE(list.Get_Calibration_Due_Date(absent), QDate::currentDate());
        QVERIFY(!list.Is_Calibration_Valid(absent));
    }
}

void TTestThermometer::Due_Date_data()
{
    QTest::addColumn<QDate>("due_date");
    QTest::addColumn<bool>("valid");
    QTest::newRow("today") << QDate::currentDate() << false;
    QTest::newRow("tomorrow") << QDate::currentDate().addDays(1) << true;
    QTest::newRow("null") << QDate() << false;
}

void TTestThermometer::Due_Date()
{
    QFETCH(QDate, due_date);
    QFETCH(bool, valid);
    TThermometerList list;
    list.Set_Correction_Data("Probe", Dialog_Data(15, 20, 25));
    list.Set_Calibration_Due_Date("Probe", due_date);
    QCOMPARE(list.Is_Calibration_Valid("Probe"), valid);
}

QTEST_GUILESS_MAIN(TTestThermometer)
#include "tst_thermometer.moc"
