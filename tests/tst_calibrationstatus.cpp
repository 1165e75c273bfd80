#include "calibrationstatus.h"

#include <QtTest>

Q_DECLARE_METATYPE(TCalibrationState)
Q_DECLARE_METATYPE(TThermometerCorrection)

namespace
{
const QDate Today(2026, 12, 7);
const TThermometerCorrection Usable; // 15, 20, 25
const TThermometerCorrection Narrow({20, 0.1}, {20.4, 0.1}, {20.9, 0.1});
const TThermometerCorrection Shared({15, 0.1}, {20, 0.1}, {20, 0.2});
} // namespace

class TCalibrationStatusTest : public QObject
{
    Q_OBJECT

private slots:
    // Month names must not follow the default locale.
    void initTestCase() { QLocale::setDefault(QLocale("de_DE")); }

    void State_data()
    {
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<int>("warn_days");
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<TCalibrationState>("state");
        QTest::addColumn<QString>("warning");
        using S = TCalibrationState;
        QTest::newRow("due in N+1 days") << Today.addDays(31) << 30 << Usable << S::In_Calibration << "";
        QTest::newRow("due in exactly N days")
            << Today.addDays(30) << 30 << Usable << S::Due_Soon
            << "WAR  Thermometer 'Probe 7' is due for calibration in 30 days (Jan 06 2027).";
        QTest::newRow("due tomorrow") << Today.addDays(1) << 30 << Usable << S::Due_Soon
                                      << "WAR  Thermometer 'Probe 7' is due for calibration in 1 day "
                                         "(Dec 08 2026).";
        QTest::newRow("N = 0, due tomorrow") << Today.addDays(1) << 0 << Usable << S::In_Calibration << "";
        QTest::newRow("due today") << Today << 30 << Usable << S::Out_Of_Calibration
                                   << "WAR  Thermometer 'Probe 7' is out of calibration since Dec 07 2026.";
        QTest::newRow("N = 0, due yesterday")
            << Today.addDays(-1) << 0 << Usable << S::Out_Of_Calibration
            << "WAR  Thermometer 'Probe 7' is out of calibration since Dec 06 2026.";
        QTest::newRow("no due date") << QDate() << 30 << Usable << S::Out_Of_Calibration
                                     << "WAR  Thermometer 'Probe 7' is out of calibration: no due date.";
        QTest::newRow("span under a degree")
            << Today.addDays(5) << 30 << Narrow << S::Correction_Not_Usable
            << "WAR  Thermometer 'Probe 7' cannot correct readings: test points span less than one degree.";
        QTest::newRow("shared reference")
            << Today.addDays(400) << 30 << Shared << S::Correction_Not_Usable
            << "WAR  Thermometer 'Probe 7' cannot correct readings: two test points share a reference "
               "temperature.";
        QTest::newRow("unusable and expired")
            << Today << 30 << Narrow << S::Out_Of_Calibration
            << "WAR  Thermometer 'Probe 7' is out of calibration since Dec 07 2026.";
    }

    void State()
    {
        QFETCH(QDate, due_date);
        QFETCH(int, warn_days);
        QFETCH(TThermometerCorrection, correction);
        QFETCH(TCalibrationState, state);
        QFETCH(QString, warning);
        QCOMPARE(Calibration_State(due_date, Today, warn_days, correction), state);
        QCOMPARE(Calibration_Warning("Probe 7", due_date, Today, warn_days, correction), warning);
    }

    void Tooltip_data()
    {
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("due soon") << Today.addDays(12) << Usable
                                  << "Due soon\nDue Dec 19 2026: in 12 days\nCalibrated range 15.00 to 25.00 "
                                     "\u00b0C";
        QTest::newRow("overdue") << Today.addDays(-3) << Usable
                                 << "Out of calibration\nDue Dec 04 2026: 3 days overdue\nCalibrated range "
                                    "15.00 to 25.00 \u00b0C";
        QTest::newRow("no due date")
            << QDate() << Usable
            << "Out of calibration\nNo due date\nCalibrated range 15.00 to 25.00 \u00b0C";
        QTest::newRow("unusable")
            << Today.addDays(100) << Narrow
            << "Correction not usable: test points span less than one degree\nDue Mar 17 "
               "2027: in 100 days\nCalibrated range 20.00 to 20.90 \u00b0C";
    }

    void Tooltip()
    {
        QFETCH(QDate, due_date);
        QFETCH(TThermometerCorrection, correction);
        QFETCH(QString, tooltip);
        QCOMPARE(Calibration_Tooltip(due_date, Today, 30, correction), tooltip);
    }

    // The order follows the display: a reason that makes every field "-----" wins over the reading.
    void Reason_data()
    {
        QTest::addColumn<QString>("meter_text");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("in_calibration");
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<QString>("reason");
        QTest::newRow("corrected") << " 20.5 " << true << true << Today << Usable << "";
        QTest::newRow("no thermometer")
            << "abc" << false << false << Today << Usable << "no thermometer selected";
        QTest::newRow("expired") << "abc" << true << false << Today << Narrow
                                 << "out of calibration since Dec 07 2026";
        QTest::newRow("no due date") << "20" << true << false << QDate() << Usable
                                     << "out of calibration: no due date";
        QTest::newRow("unusable") << "abc" << true << true << Today << Shared
                                  << "test points unusable: two test points share a reference temperature";
        QTest::newRow("comma") << "20,5" << true << true << Today << Usable
                               << "\"20,5\" is not a number (use a full stop)";
        QTest::newRow("inf") << "inf" << true << true << Today << Usable << "\"inf\" is not a number";
        QTest::newRow("blank") << "  " << true << true << Today << Usable << "no reading typed";
    }

    void Reason()
    {
        QFETCH(QString, meter_text);
        QFETCH(bool, selected);
        QFETCH(bool, in_calibration);
        QFETCH(QDate, due_date);
        QFETCH(TThermometerCorrection, correction);
        QFETCH(QString, reason);
        QCOMPARE(Not_Corrected_Reason(meter_text, selected, in_calibration, due_date, correction), reason);
    }

    void Range_data()
    {
        QTest::addColumn<double>("reading");
        QTest::addColumn<bool>("outside");
        QTest::newRow("1 below the lowest") << 14.0 << false;
        QTest::newRow("more than 1 below") << 13.99 << true;
        QTest::newRow("1 above the highest") << 26.0 << false;
        QTest::newRow("more than 1 above") << 26.01 << true;
    }

    void Range()
    {
        QFETCH(double, reading);
        QFETCH(bool, outside);
        QCOMPARE(Is_Outside_Calibrated_Range(reading, Usable), outside);
    }

    void Warn_Days_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("days"); // -1: refused
        QTest::addColumn<QString>("reason");
        QTest::newRow("0") << "0" << 0 << "";
        QTest::newRow("3650 with blanks") << " 3650 " << 3650 << "";
        QTest::newRow("3651") << "3651" << -1 << "3651 days is outside 0 to 3650.";
        QTest::newRow("-1") << "-1" << -1 << "-1 days is outside 0 to 3650.";
        QTest::newRow("beyond int") << "99999999999" << -1 << "99999999999 days is outside 0 to 3650.";
        QTest::newRow("fraction") << "12.5" << -1 << "\"12.5\" is not a whole number of days.";
        QTest::newRow("empty") << "" << -1 << "Type the number of days, 0 to 3650.";
    }

    void Warn_Days()
    {
        QFETCH(QString, text);
        QFETCH(int, days);
        QFETCH(QString, reason);
        int parsed = -1;
        QString refusal;
        QCOMPARE(Parse_Warn_Days(text, &parsed, &refusal), days >= 0);
        QCOMPARE(parsed, days);
        QCOMPARE(refusal, reason);
    }
};

QTEST_MAIN(TCalibrationStatusTest)
#include "tst_calibrationstatus.moc"
