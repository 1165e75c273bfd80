#include "correctiondialogdata.h"
#include "thermometercorrection.h"
#include "thermometerdata.h"

#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(TVector2)

namespace
{
TCorrectionDialogData Dialog_Data(double reference1, double reading1, double reference2, double reading2,
                                  double reference3, double reading3)
{
    TCorrectionDialogData data;
    data.reference_temperature1 = reference1;
    data.reference_temperature2 = reference2;
    data.reference_temperature3 = reference3;
    data.thermometer_reading1 = reading1;
    data.thermometer_reading2 = reading2;
    data.thermometer_reading3 = reading3;
    return data;
}

bool Is_Zero_Curve(const TThermometerCorrection& correction)
{
    return correction.Get_A() == 0.0 && correction.Get_B() == 0.0 && correction.Get_C() == 0.0;
}

bool Same_Point(const TVector2& actual, const TVector2& expected)
{
    return actual.x == expected.x && actual.y == expected.y;
}
} // namespace

class TTestThermometer : public QObject
{
    Q_OBJECT

private slots:
    void Default_Correction();
    void Sorting_data();
    void Sorting();
    void Equal_X_Keep_Their_Order();
    void Validity_data();
    void Validity();
    void Set_Single_Point_data();
    void Set_Single_Point();
    void Copy_And_Assignment();

    void Lookup_Ignores_Letter_Case_data();
    void Lookup_Ignores_Letter_Case();
    void Empty_Description_Never_Matches();
    void Absent_Thermometer();
    void Deviation_Conversion();
    void New_Thermometer_Has_No_Due_Date();
    void Calibration_Validity_data();
    void Calibration_Validity();
    void Remove_Thermometer_data();
    void Remove_Thermometer();
    void Duplicate_Reference_Temperature_In_List();
};

void TTestThermometer::Default_Correction()
{
    const TThermometerCorrection correction;
    QVERIFY(Same_Point(correction.Get_Point1(), TVector2(15, 0)));
    QVERIFY(Same_Point(correction.Get_Point2(), TVector2(20, 0)));
    QVERIFY(Same_Point(correction.Get_Point3(), TVector2(25, 0)));
    QVERIFY(Is_Zero_Curve(correction));
    QVERIFY(correction.Is_Valid());
    for (double t : {-10.0, 0.0, 22.5, 40.0})
    {
        const TVector2 value = correction.Evaluate_Point(t);
        QCOMPARE(value.x, t);
        QCOMPARE(value.y, 0.0);
    }
}

void TTestThermometer::Sorting_data()
{
    QTest::addColumn<TVector2>("p1");
    QTest::addColumn<TVector2>("p2");
    QTest::addColumn<TVector2>("p3");
    const TVector2 low(15, 0.1), middle(20, 0.2), high(25, 0.4);
    QTest::newRow("example") << high << low << middle;
    QTest::newRow("sorted") << low << middle << high;
    QTest::newRow("reversed") << high << middle << low;
    QTest::newRow("low last") << middle << high << low;
    QTest::newRow("middle first") << middle << low << high;
    QTest::newRow("high middle") << low << high << middle;
}

void TTestThermometer::Sorting()
{
    QFETCH(TVector2, p1);
    QFETCH(TVector2, p2);
    QFETCH(TVector2, p3);

    TThermometerCorrection set;
    set.Set_Points(p1, p2, p3);
    const TThermometerCorrection constructed(p1, p2, p3);
    for (const TThermometerCorrection& correction : {set, constructed})
    {
        QVERIFY(Same_Point(correction.Get_Point1(), TVector2(15, 0.1)));
        QVERIFY(Same_Point(correction.Get_Point2(), TVector2(20, 0.2)));
        QVERIFY(Same_Point(correction.Get_Point3(), TVector2(25, 0.4)));
        QCOMPARE(correction.Get_A(), 0.002);
        QCOMPARE(correction.Get_B(), -0.05);
        QCOMPARE(correction.Get_C(), 0.4);
        QVERIFY(correction.Is_Valid());
        const TVector2 value = correction.Evaluate_Point(22.0);
        QCOMPARE(value.x, 22.0);
        QCOMPARE(value.y, 0.268);
    }
}

void TTestThermometer::Equal_X_Keep_Their_Order()
{
    // Only the compare-exchanges that see a strictly greater x move points.
    TThermometerCorrection correction;
    correction.Set_Points(TVector2(20, 0.1), TVector2(20, 0.2), TVector2(19.5, 0.3));
    QVERIFY(Same_Point(correction.Get_Point1(), TVector2(19.5, 0.3)));
    QVERIFY(Same_Point(correction.Get_Point2(), TVector2(20, 0.1)));
    QVERIFY(Same_Point(correction.Get_Point3(), TVector2(20, 0.2)));

    correction.Set_Points(TVector2(25, 0.3), TVector2(20, 0.1), TVector2(20, 0.2));
    QVERIFY(Same_Point(correction.Get_Point1(), TVector2(20, 0.1)));
    QVERIFY(Same_Point(correction.Get_Point2(), TVector2(20, 0.2)));
    QVERIFY(Same_Point(correction.Get_Point3(), TVector2(25, 0.3)));
}

void TTestThermometer::Validity_data()
{
    QTest::addColumn<TVector2>("p1");
    QTest::addColumn<TVector2>("p2");
    QTest::addColumn<TVector2>("p3");
    QTest::addColumn<bool>("valid");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    QTest::newRow("span exactly 1") << TVector2(20, 0.1) << TVector2(20.5, 0.3) << TVector2(21, 0.2) << true;
    QTest::newRow("span 0.9") << TVector2(20, 0.1) << TVector2(20.4, 0.3) << TVector2(20.9, 0.2) << false;
    QTest::newRow("all at one temperature")
        << TVector2(20, 0.1) << TVector2(20, 0.3) << TVector2(20, 0.2) << false;
    QTest::newRow("full range") << TVector2(0, 0.1) << TVector2(20, 0.05) << TVector2(40, -0.02) << true;
    QTest::newRow("negative temperatures")
        << TVector2(-20, 0.3) << TVector2(-5, 0.1) << TVector2(10, -0.1) << true;
    // Two test points at one reference temperature leave only two distinct temperatures for a curve
    // of three coefficients.
    QTest::newRow("first two equal") << TVector2(20, 0.1) << TVector2(20, 0.3) << TVector2(25, 0.2) << false;
    QTest::newRow("last two equal") << TVector2(15, 0.1) << TVector2(25, 0.2) << TVector2(25, 0.3) << false;
    QTest::newRow("equal, same deviation")
        << TVector2(15, 0.1) << TVector2(25, 0.2) << TVector2(25, 0.2) << false;
    QTest::newRow("equal, zero deviation") << TVector2(15, 0) << TVector2(15, 0) << TVector2(25, 0) << false;
    // Rounding leaves these determinants slightly off zero: the coefficients come out finite but
    // meaningless.
    QTest::newRow("equal at the ice point")
        << TVector2(0, 0.1) << TVector2(0, 0.3) << TVector2(5.37, 0.2) << false;
    QTest::newRow("equal over one degree")
        << TVector2(0.01, 0.1) << TVector2(1.01, 0.3) << TVector2(1.01, 0.2) << false;
    QTest::newRow("equal, unsorted") << TVector2(30, 0.2) << TVector2(10, 0.1) << TVector2(30, 0.4) << false;
    QTest::newRow("equal within 1e-13")
        << TVector2(20, 0.1) << TVector2(20 + 1e-13, 0.3) << TVector2(25, 0.2) << false;
    QTest::newRow("below a millidegree apart")
        << TVector2(20, 0.1) << TVector2(20.0005, 0.3) << TVector2(25, 0.2) << false;
    QTest::newRow("two millidegrees apart")
        << TVector2(20, 0.1) << TVector2(20.002, 0.1) << TVector2(25, 0.2) << true;
    QTest::newRow("hundredth apart") << TVector2(0, 0.1) << TVector2(39.99, 0.05) << TVector2(40, 0.06)
                                     << true;
    QTest::newRow("not a number") << TVector2(15, 0.1) << TVector2(20, nan) << TVector2(25, 0.2) << false;
    QTest::newRow("infinite reference")
        << TVector2(15, 0.1) << TVector2(20, 0.2) << TVector2(infinity, 0.2) << false;
}

void TTestThermometer::Validity()
{
    QFETCH(TVector2, p1);
    QFETCH(TVector2, p2);
    QFETCH(TVector2, p3);
    QFETCH(bool, valid);

    const TThermometerCorrection correction(p1, p2, p3);
    QCOMPARE(correction.Is_Valid(), valid);
    if (!valid)
    {
        // Whatever was wrong, the curve is the zero placeholder: no NaN or wild value can reach
        // a corrected reading.
        QVERIFY(Is_Zero_Curve(correction));
        QCOMPARE(correction.Evaluate_Point(21.7).y, 0.0);
        return;
    }
    QVERIFY(std::isfinite(correction.Get_A()));
    QVERIFY(std::isfinite(correction.Get_B()));
    QVERIFY(std::isfinite(correction.Get_C()));
    // A fitted curve passes through its three test points.
    for (const TVector2& point : {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()})
    {
        const double deviation = correction.Evaluate_Point(point.x).y;
        QVERIFY2(std::fabs(deviation - point.y) < 1e-6,
                 qPrintable(QString("at %1: %2 instead of %3").arg(point.x).arg(deviation).arg(point.y)));
    }
}

void TTestThermometer::Set_Single_Point_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<TVector2>("point");
    QTest::addColumn<TVector2>("expected1");
    QTest::addColumn<TVector2>("expected2");
    QTest::addColumn<TVector2>("expected3");
    // Starting from (15, 0.1), (20, 0.2), (25, 0.4).
    QTest::newRow("point 1 becomes the highest")
        << 1 << TVector2(30, 0.5) << TVector2(20, 0.2) << TVector2(25, 0.4) << TVector2(30, 0.5);
    QTest::newRow("point 3 becomes the lowest")
        << 3 << TVector2(10, 0.0) << TVector2(10, 0.0) << TVector2(15, 0.1) << TVector2(20, 0.2);
    QTest::newRow("point 2 stays in place")
        << 2 << TVector2(22, 0.3) << TVector2(15, 0.1) << TVector2(22, 0.3) << TVector2(25, 0.4);
    QTest::newRow("point 2 becomes the highest")
        << 2 << TVector2(26, 0.3) << TVector2(15, 0.1) << TVector2(25, 0.4) << TVector2(26, 0.3);
}

void TTestThermometer::Set_Single_Point()
{
    QFETCH(int, slot);
    QFETCH(TVector2, point);
    QFETCH(TVector2, expected1);
    QFETCH(TVector2, expected2);
    QFETCH(TVector2, expected3);

    TThermometerCorrection correction(TVector2(25, 0.4), TVector2(15, 0.1), TVector2(20, 0.2));
    if (slot == 1)
    {
        correction.Set_Point1(point);
    }
    else if (slot == 2)
    {
        correction.Set_Point2(point);
    }
    else
    {
        correction.Set_Point3(point);
    }
    QVERIFY(Same_Point(correction.Get_Point1(), expected1));
    QVERIFY(Same_Point(correction.Get_Point2(), expected2));
    QVERIFY(Same_Point(correction.Get_Point3(), expected3));

    // Refitted to the new points.
    const TThermometerCorrection reference(expected1, expected2, expected3);
    QCOMPARE(correction.Get_A(), reference.Get_A());
    QCOMPARE(correction.Get_B(), reference.Get_B());
    QCOMPARE(correction.Get_C(), reference.Get_C());
    QCOMPARE(correction.Evaluate_Point(point.x).y, point.y);
}

void TTestThermometer::Copy_And_Assignment()
{
    const TThermometerCorrection original(TVector2(5, -0.3), TVector2(18.5, 0.12), TVector2(37.25, 0.41));
    TThermometerCorrection assigned;
    assigned = original;
    const TThermometerCorrection& self = assigned;
    assigned = self;
    for (const TThermometerCorrection& correction : {TThermometerCorrection(original), assigned})
    {
        QVERIFY(Same_Point(correction.Get_Point1(), original.Get_Point1()));
        QVERIFY(Same_Point(correction.Get_Point3(), original.Get_Point3()));
        QVERIFY(correction.Get_A() == original.Get_A() && correction.Get_B() == original.Get_B() &&
                correction.Get_C() == original.Get_C());
    }
}

void TTestThermometer::Lookup_Ignores_Letter_Case_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("asked");
    QTest::newRow("upper") << "Probe 7"
                           << "PROBE 7";
    QTest::newRow("lower") << "Probe 7"
                           << "probe 7";
    QTest::newRow("mixed") << "probe 7"
                           << "pRoBe 7";
    QTest::newRow("accented") << QString::fromUtf8("Sonde \xc3\xa4u\xc3\x9f")
                              << QString::fromUtf8("SONDE \xc3\x84U\xc3\x9f");
}

void TTestThermometer::Lookup_Ignores_Letter_Case()
{
    QFETCH(QString, stored);
    QFETCH(QString, asked);

    TThermometerList list;
    list.Set_Correction_Data("Other", Dialog_Data(0, 0.1, 20, 20.1, 40, 40.1));
    list.Set_Correction_Data(stored, Dialog_Data(25, 25.4, 15, 15.1, 20, 20.2));
    list.Set_Correction_Data("Third", Dialog_Data(10, 10, 20, 20, 30, 30));

    const TThermometerCorrection correction = list.Get_Correction(asked);
    QCOMPARE(correction.Get_Point1().x, 15.0);
    QCOMPARE(correction.Get_Point3().y, 0.4);
    QCOMPARE(correction.Evaluate_Point(22.0).y, 0.268);

    TCorrectionDialogData data;
    QVERIFY(list.Get_Correction_Data(asked, &data));
    QCOMPARE(data.thermometer_reading3, 25.4);

    const QDate due_date(2031, 5, 17);
    list.Set_Calibration_Due_Date(asked, due_date);
    QCOMPARE(list.Get_Calibration_Due_Date(stored), due_date);
    QVERIFY(list.Is_Calibration_Valid(asked));

    // Changing the points through another spelling keeps the stored spelling and due date and adds
    // nothing.
    list.Set_Correction_Data(asked, Dialog_Data(0, 0.2, 20, 20.1, 40, 40.3));
    QCOMPARE(list.Get_Descriptions(), QStringList({"Other", stored, "Third"}));
    QCOMPARE(list.Get_Calibration_Due_Date(stored), due_date);
    QCOMPARE(list.Get_Correction(stored).Evaluate_Point(20.0).y, 0.1);

    list.Remove_Thermometer_Data(asked);
    QCOMPARE(list.Get_Descriptions(), QStringList({"Other", "Third"}));
}

void TTestThermometer::Empty_Description_Never_Matches()
{
    TThermometerList list;
    list.Set_Correction_Data("", Dialog_Data(15, 15.5, 20, 20.5, 25, 25.5));
    QVERIFY(list.Get_Descriptions().isEmpty());
    QCOMPARE(list.Get_Checksum_Error_Count(), 0);
    QVERIFY(list.Get_Last_Error().isEmpty());

    list.Set_Correction_Data("Probe", Dialog_Data(15, 15.5, 20, 20.5, 25, 25.5));
    list.Set_Calibration_Due_Date("Probe", QDate::currentDate().addDays(30));
    list.Set_Calibration_Due_Date("", QDate::currentDate().addDays(60));
    list.Set_Correction_Data("", Dialog_Data(15, 16, 20, 21, 25, 26));
    list.Remove_Thermometer_Data("");

    QCOMPARE(list.Get_Descriptions(), QStringList({"Probe"}));
    QCOMPARE(list.Get_Correction("").Get_Point1().y, 0.0);
    QVERIFY(Is_Zero_Curve(list.Get_Correction("")));
    TCorrectionDialogData data;
    QVERIFY(!list.Get_Correction_Data("", &data));
    QCOMPARE(list.Get_Calibration_Due_Date(""), QDate::currentDate());
    QVERIFY(!list.Is_Calibration_Valid(""));
    QCOMPARE(list.Get_Calibration_Due_Date("Probe"), QDate::currentDate().addDays(30));
    QCOMPARE(list.Get_Correction("Probe").Get_Point1().y, 0.5);
}

void TTestThermometer::Absent_Thermometer()
{
    TThermometerList list;
    list.Set_Correction_Data("Probe 7", Dialog_Data(0, 0.1, 20, 20.05, 40, 39.98));

    const TThermometerCorrection correction = list.Get_Correction("Probe 8");
    QVERIFY(Same_Point(correction.Get_Point1(), TVector2(15, 0)));
    QVERIFY(Same_Point(correction.Get_Point2(), TVector2(20, 0)));
    QVERIFY(Same_Point(correction.Get_Point3(), TVector2(25, 0)));
    QVERIFY(Is_Zero_Curve(correction));

    TCorrectionDialogData data = Dialog_Data(1, 2, 3, 4, 5, 6);
    data.description = "kept";
    data.calibration_due_date = QDate(2030, 1, 2);
    QVERIFY(!list.Get_Correction_Data("Probe 8", &data));
    QCOMPARE(data.reference_temperature1, 15.0);
    QCOMPARE(data.reference_temperature2, 20.0);
    QCOMPARE(data.reference_temperature3, 25.0);
    QCOMPARE(data.thermometer_reading1, 15.0);
    QCOMPARE(data.thermometer_reading2, 20.0);
    QCOMPARE(data.thermometer_reading3, 25.0);
    QCOMPARE(data.description, QString("kept"));
    QCOMPARE(data.calibration_due_date, QDate(2030, 1, 2));

    QCOMPARE(list.Get_Calibration_Due_Date("Probe 8"), QDate::currentDate());
    QVERIFY(!list.Is_Calibration_Valid("Probe 8"));
    list.Set_Calibration_Due_Date("Probe 8", QDate(2040, 1, 1));
    QVERIFY(list.Get_Calibration_Due_Date("Probe 7").isNull());
}

void TTestThermometer::Deviation_Conversion()
{
    TThermometerList list;
    // Given out of order: stored sorted, as deviations.
    list.Set_Correction_Data("Probe", Dialog_Data(30, 29.9, 20, 20.3, 10, 10.05));
    const TThermometerCorrection correction = list.Get_Correction("Probe");
    QCOMPARE(correction.Get_Point1().x, 10.0);
    QCOMPARE(correction.Get_Point1().y, 0.05);
    QCOMPARE(correction.Get_Point2().x, 20.0);
    QCOMPARE(correction.Get_Point2().y, 0.3);
    QCOMPARE(correction.Get_Point3().x, 30.0);
    QCOMPARE(correction.Get_Point3().y, -0.1);

    TCorrectionDialogData data;
    data.description = "untouched";
    QVERIFY(list.Get_Correction_Data("Probe", &data));
    QCOMPARE(data.reference_temperature1, 10.0);
    QCOMPARE(data.reference_temperature2, 20.0);
    QCOMPARE(data.reference_temperature3, 30.0);
    QCOMPARE(data.thermometer_reading1, 10.05);
    QCOMPARE(data.thermometer_reading2, 20.3);
    QCOMPARE(data.thermometer_reading3, 29.9);
    QCOMPARE(data.description, QString("untouched"));
    QVERIFY(data.calibration_due_date.isNull());
}

void TTestThermometer::New_Thermometer_Has_No_Due_Date()
{
    TThermometerList list;
    list.Set_Correction_Data("First", Dialog_Data(15, 15, 20, 20, 25, 25));
    list.Set_Calibration_Due_Date("First", QDate::currentDate().addYears(1));
    list.Set_Correction_Data("Second", Dialog_Data(15, 15, 20, 20, 25, 25));

    QCOMPARE(list.Get_Descriptions(), QStringList({"First", "Second"}));
    QVERIFY(list.Get_Calibration_Due_Date("Second").isNull());
    QVERIFY(!list.Is_Calibration_Valid("Second"));

    const QDate due_date = QDate::currentDate().addDays(1);
    list.Set_Calibration_Due_Date("Second", due_date);
    QCOMPARE(list.Get_Calibration_Due_Date("Second"), due_date);
    QVERIFY(list.Is_Calibration_Valid("Second"));
}

void TTestThermometer::Calibration_Validity_data()
{
    QTest::addColumn<QDate>("due_date");
    QTest::addColumn<bool>("valid");
    const QDate today = QDate::currentDate();
    QTest::newRow("tomorrow") << today.addDays(1) << true;
    QTest::newRow("next year") << today.addYears(1) << true;
    QTest::newRow("today") << today << false;
    QTest::newRow("yesterday") << today.addDays(-1) << false;
    QTest::newRow("null") << QDate() << false;
    QTest::newRow("invalid") << QDate(2025, 2, 30) << false;
}

void TTestThermometer::Calibration_Validity()
{
    QFETCH(QDate, due_date);
    QFETCH(bool, valid);
    TThermometerList list;
    list.Set_Correction_Data("Probe", Dialog_Data(15, 15, 20, 20, 25, 25));
    list.Set_Calibration_Due_Date("Probe", due_date);
    QCOMPARE(list.Is_Calibration_Valid("Probe"), valid);
}

void TTestThermometer::Remove_Thermometer_data()
{
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("first") << "A" << QStringList({"B", "C"});
    QTest::newRow("middle") << "B" << QStringList({"A", "C"});
    QTest::newRow("last") << "C" << QStringList({"A", "B"});
    QTest::newRow("absent") << "D" << QStringList({"A", "B", "C"});
}

void TTestThermometer::Remove_Thermometer()
{
    QFETCH(QString, removed);
    QFETCH(QStringList, remaining);

    TThermometerList list;
    const QStringList descriptions{"A", "B", "C"};
    for (int i = 0; i < descriptions.size(); ++i)
    {
        const double offset = 0.1 * (i + 1);
        list.Set_Correction_Data(descriptions[i],
                                 Dialog_Data(15, 15 + offset, 20, 20 + offset, 25, 25 + offset));
        list.Set_Calibration_Due_Date(descriptions[i], QDate(2040, 1, i + 1));
    }
    list.Remove_Thermometer_Data(removed);

    QCOMPARE(list.Get_Descriptions(), remaining);
    // The records that stay keep their own data.
    for (const QString& description : remaining)
    {
        const int i = descriptions.indexOf(description);
        QCOMPARE(list.Get_Calibration_Due_Date(description), QDate(2040, 1, i + 1));
        QCOMPARE(list.Get_Correction(description).Evaluate_Point(18.0).y, 0.1 * (i + 1));
    }
}

void TTestThermometer::Duplicate_Reference_Temperature_In_List()
{
    // Two test points typed at one reference temperature: the thermometer is kept as typed, but its
    // correction is not applied.
    TThermometerList list;
    list.Set_Correction_Data("Probe", Dialog_Data(20, 20.1, 20, 20.3, 25, 25.2));
    QVERIFY(!list.Get_Correction("Probe").Is_Valid());
    QVERIFY(Is_Zero_Curve(list.Get_Correction("Probe")));
    TCorrectionDialogData data;
    QVERIFY(list.Get_Correction_Data("Probe", &data));
    QCOMPARE(data.thermometer_reading2, 20.3);
}

QTEST_GUILESS_MAIN(TTestThermometer)
#include "tst_thermometer.moc"
