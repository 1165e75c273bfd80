#include "calibrationfindings.h"
#include "calibrationstatus.h"
#include "clicommands.h"
#include "clock.h"
#include "correctionview.h"
#include "datetext.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace Test_Support;

Q_DECLARE_METATYPE(TCalibrationState)

namespace
{
const QDate Today(2026, 12, 7);
const TThermometerCorrection Usable; // 15, 20, 25
const TThermometerCorrection Narrow({20, 0.1}, {20.4, 0.1}, {20.9, 0.1});
const TThermometerCorrection Shared({15, 0.1}, {20, 0.1}, {20, 0.2});
// 2.02 typed for 20.20 at the second test point: a deviation of -17.98.
const TThermometerCorrection Typo({15, 0.1}, {20, -17.98}, {25, 0.1});
const QString Typo_Reason = "the test point at 20.00 \u00b0C deviates by -17.98 \u00b0C, more than 1 \u00b0C";
const TCalibrationState All_States[] = {TCalibrationState::In_Calibration, TCalibrationState::Due_Soon,
                                        TCalibrationState::Doubtful, TCalibrationState::Out_Of_Calibration,
                                        TCalibrationState::Correction_Not_Usable};
} // namespace

// The selector's icon of each item, as the name of the state whose icon it is.
QStringList Item_States(QComboBox* selector)
{
    QStringList states;
    for (int index = 0; index < selector->count(); ++index)
    {
        const QImage shown =
            qvariant_cast<QIcon>(selector->itemData(index, Qt::DecorationRole)).pixmap(16).toImage();
        QString state = "no icon";
        for (TCalibrationState candidate : All_States)
        {
            if (!shown.isNull() && shown == QIcon(Calibration_State_Icon(candidate)).pixmap(16).toImage())
            {
                state = Calibration_State_Text(candidate);
            }
        }
        states << state;
    }
    return states;
}

// Good, Soon (due in 10 days), Expired (due today) and Narrow (test points within a degree).
bool Write_Four_Thermometers()
{
    const QDate today = QDate::currentDate();
    return Write_Calibration_File({{"Good", 0.12, today.addDays(400)},
                                   {"Soon", 0.12, today.addDays(10)},
                                   {"Expired", 0.12, today},
                                   {"Narrow", 0.12, today.addDays(400), {20, 20.4, 20.9}}});
}

// The four, and Typo, whose second test point was read as 2.02 instead of 20.20: one of every state.
bool Write_Five_Thermometers()
{
    if (!Write_Four_Thermometers())
    {
        return false;
    }
    TThermometerList list;
    list.Load_Calibration_File(Calibration_File());
    list.Set_Correction_Data("Typo", {15, 20, 25, 15.1, 2.02, 25.1, {}, {}});
    list.Set_Calibration_Due_Date("Typo", QDate::currentDate().addDays(400));
    return list.Save_Calibration_File(Calibration_File());
}

class TCalibrationStatusTest : public QObject
{
    Q_OBJECT

private slots:
    // Month names must not follow the default locale.
    void initTestCase()
    {
        QLocale::setDefault(QLocale("de_DE"));
        QStandardPaths::setTestModeEnabled(true);
    }
    void init() { Remove_Data_Directories(); }
    void cleanup() { TClock::Set_Fixed_Now(QDateTime()); }

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
        // A slip of the hand corrects readings, but is neither in calibration nor merely due soon.
        QTest::newRow("2.02 typed for 20.20")
            << Today.addDays(400) << 30 << Typo << S::Doubtful
            << "WAR  Thermometer 'Probe 7' is doubtful: " + Typo_Reason + ". Check its test points.";
        QTest::newRow("2072 typed for 2027") << QDate(2072, 12, 7) << 30 << Usable << S::Doubtful
                                             << "WAR  Thermometer 'Probe 7' is doubtful: the due date Dec 07 "
                                                "2072 is more than 10 years ahead. "
                                                "Check its due date.";
        QTest::newRow("exactly 10 years ahead")
            << QDate(2036, 12, 7) << 30 << Usable << S::In_Calibration << "";
        QTest::newRow("doubtful outranks due soon")
            << Today.addDays(10) << 30 << Typo << S::Doubtful
            << "WAR  Thermometer 'Probe 7' is doubtful: " + Typo_Reason +
                   ". Check its test points. It is due for calibration in 10 days (Dec 17 2026).";
        QTest::newRow("both doubts") << QDate(2072, 12, 7) << 30 << Typo << S::Doubtful
                                     << "WAR  Thermometer 'Probe 7' is doubtful: " + Typo_Reason +
                                            "; the due date Dec 07 2072 is more than 10 years ahead. Check "
                                            "its test points and its due "
                                            "date.";
        QTest::newRow("out of calibration outranks doubtful")
            << Today << 30 << Typo << S::Out_Of_Calibration
            << "WAR  Thermometer 'Probe 7' is out of calibration since Dec 07 2026.";
        const TThermometerCorrection narrow_typo({20, 5.0}, {20.4, 0.1}, {20.9, 0.1});
        QTest::newRow("not usable outranks doubtful")
            << QDate(2072, 12, 7) << 30 << narrow_typo << S::Correction_Not_Usable
            << "WAR  Thermometer 'Probe 7' cannot correct readings: test points span less than one degree.";
    }

    void State()
    {
        QFETCH(QDate, due_date);
        QFETCH(int, warn_days);
        QFETCH(TThermometerCorrection, correction);
        QFETCH(TCalibrationState, state);
        QFETCH(QString, warning);
        QCOMPARE(Calibration_State(due_date, Today, warn_days, correction), state);
        QCOMPARE(Log_Line_Of(Calibration_Warning("Probe 7", due_date, Today, warn_days, correction)),
                 warning);
    }

    // Reviewed, a doubtful thermometer no longer warns as doubtful; its due date still warns.
    void Reviewed_Doubt_Warns_Only_When_Due_data()
    {
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<QString>("warning");
        QTest::newRow("doubtful calibration") << Today.addDays(400) << Typo << "";
        QTest::newRow("doubtful due date") << QDate(2072, 12, 7) << Usable << "";
        QTest::newRow("due soon")
            << Today.addDays(10) << Typo
            << "WAR  Thermometer 'Probe 7' is due for calibration in 10 days (Dec 17 2026).";
        QTest::newRow("out of calibration")
            << Today << Typo << "WAR  Thermometer 'Probe 7' is out of calibration since Dec 07 2026.";
    }

    void Reviewed_Doubt_Warns_Only_When_Due()
    {
        QFETCH(QDate, due_date);
        QFETCH(TThermometerCorrection, correction);
        QFETCH(QString, warning);
        QCOMPARE(Log_Line_Of(Calibration_Warning("Probe 7", due_date, Today, 30, correction, true)), warning);
    }

    void Tooltip_data()
    {
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<QString>("review");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("overdue") << Today.addDays(-3) << Usable << ""
                                 << "Out of calibration\nDue Dec 04 2026: 3 days overdue\nCalibrated range "
                                    "15.00 to 25.00 \u00b0C";
        QTest::newRow("no due date")
            << QDate() << Usable << ""
            << "Out of calibration\nNo due date\nCalibrated range 15.00 to 25.00 \u00b0C";
        QTest::newRow("unusable")
            << Today.addDays(100) << Narrow << ""
            << "Correction not usable: test points span less than one degree\nDue Mar 17 "
               "2027: in 100 days\nCalibrated range 20.00 to 20.90 \u00b0C";
        // Neither the green tick's "In calibration" nor silence about why.
        QTest::newRow("2.02 typed for 20.20")
            << Today.addDays(100) << Typo << ""
            << "Doubtful: " + Typo_Reason +
                   "\nDue Mar 17 2027: in 100 days\nCalibrated range 15.00 to 25.00 \u00b0C";
        QTest::newRow("2072 typed for 2027")
            << QDate(2072, 12, 7) << Usable << ""
            << "Doubtful: the due date Dec 07 2072 is more than 10 years ahead\nDue Dec 07 2072: in 16802 "
               "days\nCalibrated range 15.00 to 25.00 \u00b0C";
        QTest::newRow("doubtful and due soon")
            << Today.addDays(10) << Typo << ""
            << "Doubtful and due soon: " + Typo_Reason +
                   "\nDue Dec 17 2026: in 10 days\nCalibrated range 15.00 to 25.00 \u00b0C";
        QTest::newRow("reviewed") << Today.addDays(100) << Typo
                                  << "by lead on vm at 2026-12-07T10:30:00+01:00 (record 4): probe replaced"
                                  << "Doubtful: " + Typo_Reason +
                                         "\nReviewed by lead on vm at 2026-12-07T10:30:00+01:00 (record 4): "
                                         "probe replaced\nDue Mar 17 "
                                         "2027: in 100 days\nCalibrated range 15.00 to 25.00 \u00b0C";
        // A review is of a doubtful calibration only.
        QTest::newRow("reviewed, in calibration")
            << Today.addDays(100) << Usable << "by lead on vm"
            << "In calibration\nDue Mar 17 2027: in 100 days\nCalibrated range 15.00 to 25.00 \u00b0C";
    }

    void Tooltip()
    {
        QFETCH(QDate, due_date);
        QFETCH(TThermometerCorrection, correction);
        QFETCH(QString, review);
        QFETCH(QString, tooltip);
        QCOMPARE(Calibration_Tooltip(due_date, Today, 30, correction, review), tooltip);
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
        QTest::newRow("expired") << "abc" << true << false << Today << Narrow
                                 << "out of calibration since Dec 07 2026";
        QTest::newRow("no due date") << "20" << true << false << QDate() << Usable
                                     << "out of calibration: no due date";
        QTest::newRow("unusable") << "abc" << true << true << Today << Shared
                                  << "test points unusable: two test points share a reference temperature";
        QTest::newRow("inf") << "inf" << true << true << Today << Usable << "\"inf\" is not a number";
        QTest::newRow("blank") << "  " << true << true << Today << Usable << "no reading typed";
        const TThermometerCorrection steep({15, 0.1}, {20, 0.3}, {25, 0.2});
        QTest::newRow("overflowing") << "1e200" << true << true << Today << steep
                                     << "1e200 is too far outside the calibrated range to be corrected";
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

    void Entry_Warning_data()
    {
        QTest::addColumn<QStringList>("reasons"); // X, Y, Z, Part
        QTest::addColumn<QString>("warning");
        const QString expired = "out of calibration since Dec 07 2026";
        QTest::newRow("all corrected") << QStringList{"", "", "", ""} << "";
        QTest::newRow("one reason") << QStringList{expired, expired, "", expired}
                                    << "WAR  Entry written with \"-----\" for X, Y, Part: " + expired + ".";
        QTest::newRow("two reasons")
            << QStringList{"", "\"abc\" is not a number", "no reading typed", "\"x\" is not a number"}
            << "WAR  Entry written with \"-----\" for Y: \"abc\" is not a number; Z: no reading typed; Part: "
               "\"x\" is not a number.";
    }

    void Entry_Warning()
    {
        QFETCH(QStringList, reasons);
        QFETCH(QString, warning);
        QCOMPARE(Log_Line_Of(Not_Corrected_Entry_Warning({"X", "Y", "Z", "Part"}, reasons)), warning);
    }

    void Selector_Shows_States_data()
    {
        QTest::addColumn<QVariant>("stored_warn_days"); // invalid: none stored
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QStringList>("warnings");
        const QString today = Due_Date_Text(QDate::currentDate());
        const QString soon = "WAR  Thermometer 'Soon' is due for calibration in 10 days (" +
                             Due_Date_Text(QDate::currentDate().addDays(10)) + ").";
        const QString expired = "WAR  Thermometer 'Expired' is out of calibration since " + today + ".";
        const QString narrow =
            "WAR  Thermometer 'Narrow' cannot correct readings: test points span less than one "
            "degree.";
        const QString typo =
            "WAR  Thermometer 'Typo' is doubtful: " + Typo_Reason + ". Check its test points.";
        const QStringList all = {"In calibration", "Due soon", "Out of calibration", "Correction not usable",
                                 "Doubtful"};
        QTest::newRow("default period") << QVariant() << all << QStringList{soon, expired, narrow, typo};
        QTest::newRow("refused period: default")
            << QVariant("-3") << all << QStringList{soon, expired, narrow, typo};
        QTest::newRow("9 days") << QVariant(9)
                                << QStringList{"In calibration", "In calibration", "Out of calibration",
                                               "Correction not usable", "Doubtful"}
                                << QStringList{expired, narrow, typo};
    }

    void Selector_Shows_States()
    {
        QFETCH(QVariant, stored_warn_days);
        QFETCH(QStringList, states);
        QFETCH(QStringList, warnings);
        QVERIFY(Write_Five_Thermometers());
        if (stored_warn_days.isValid())
        {
            Store_Setting("Warn_Days_Before_Due", stored_warn_days);
        }
        TVelmora window;
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        QCOMPARE(Item_States(selector), states);
        selector->setCurrentIndex(1); // the closed selector follows its current item
        QCOMPARE(selector->toolTip(), selector->itemData(1, Qt::ToolTipRole).toString());
        QCOMPARE(selector->itemData(1, Qt::ToolTipRole).toString().section('\n', 1),
                 "Due " + Due_Date_Text(QDate::currentDate().addDays(10)) +
                     ": in 10 days\nCalibrated range 15.00 to 25.00 \u00b0C");
        // After the loading lines, which stay as they were. The long warning lines come last: once the
        // window is laid out, the pane must not have scrolled their start out of view.
        QStringList shown = Log_Lines(&window);
        shown.removeAll("INF  Calibration history started: 5 thermometer(s) recorded as first seen.");
        QCOMPARE(shown.mid(7), warnings);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(Child<QPlainTextEdit>(&window, "Log_Pane")->horizontalScrollBar()->value(), 0);
        // The operator's choice warns again; a thermometer in calibration adds no line.
        const int lines = Log_Lines(&window).size();
        for (int index : {1, 0, 3})
        {
            QVERIFY(QMetaObject::invokeMethod(selector, "activated", Q_ARG(int, index)));
        }
        QCOMPARE(Log_Lines(&window).mid(lines), warnings.filter(QRegularExpression("'(Soon|Narrow)'")));
    }

    // Each state has an icon of its own: a doubtful calibration never shows the green tick.
    void State_Icons_Differ()
    {
        for (const QString& suffix : {QString(".png"), QString("@2x.png")})
        {
            QVector<QImage> images;
            for (TCalibrationState state : All_States)
            {
                const QString name = Calibration_State_Icon(state).replace(".png", suffix);
                images << QImage(name);
                QVERIFY2(!images.last().isNull(), qPrintable(name));
            }
            for (int first = 0; first < images.size(); ++first)
            {
                for (int second = first + 1; second < images.size(); ++second)
                {
                    QVERIFY2(images[first] != images[second],
                             qPrintable(Calibration_State_Text(All_States[first]) + " and " +
                                        Calibration_State_Text(All_States[second]) + suffix));
                }
            }
        }
    }

    // For every state the window's icon and tooltip, velmora-cli list and check say the same, on the same
    // file and day.
    void Window_And_List_Agree_data()
    {
        QTest::addColumn<QVector<double>>("readings"); // at 15, 20 and 25
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("check_status");
        const QVector<double> sound = {15.1, 20.1, 25.1};
        const QVector<double> typo = {15.1, 2.02, 25.1};
        QTest::newRow("in calibration") << sound << Today.addDays(400) << "In calibration" << 0;
        QTest::newRow("due soon") << sound << Today.addDays(30) << "Due soon" << 1;
        QTest::newRow("2.02 typed for 20.20") << typo << Today.addDays(400) << "Doubtful" << 2;
        QTest::newRow("2072 typed for 2027") << sound << QDate(2072, 12, 7) << "Doubtful" << 2;
        QTest::newRow("doubtful and due soon") << typo << Today.addDays(3) << "Doubtful" << 2;
        QTest::newRow("a sound probe 1.5 K off")
            << QVector<double>{16.5, 21.5, 26.5} << Today.addDays(400) << "Doubtful" << 2;
        QTest::newRow("due today") << sound << Today << "Out of calibration" << 2;
        QTest::newRow("doubtful and overdue") << typo << Today.addDays(-1) << "Out of calibration" << 2;
        QTest::newRow("no due date") << sound << QDate() << "Out of calibration" << 2;
        QTest::newRow("not usable") << QVector<double>{15.1, 15.1, 15.1} << Today.addDays(400)
                                    << "Correction not usable" << 2;
    }

    void Window_And_List_Agree()
    {
        QFETCH(QVector<double>, readings);
        QFETCH(QDate, due_date);
        QFETCH(QString, state);
        QFETCH(int, check_status);
        TClock::Set_Fixed_Now(QDateTime(Today, QTime(9, 0)));
        TThermometerList list;
        const bool flat = readings[0] == readings[1];
        list.Set_Correction_Data(
            "Probe",
            {15, flat ? 15.0 : 20.0, flat ? 15.0 : 25.0, readings[0], readings[1], readings[2], {}, {}});
        list.Set_Calibration_Due_Date("Probe", due_date);
        QDir().mkpath(Data_Directory());
        QVERIFY(list.Save_Calibration_File(Calibration_File()));

        TVelmora window;
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        QCOMPARE(Item_States(selector), QStringList(state));
        QCOMPARE(selector->itemData(0, Qt::ToolTipRole).toString().section(QRegularExpression("[:\n]"), 0, 0),
                 state == "Doubtful" && due_date == Today.addDays(3) ? QString("Doubtful and due soon")
                                                                     : state);
        const QString data_directory = "--data-dir=" + Data_Directory();
        const TCliResult listed =
            Run_Cli({"velmora-cli", data_directory, "list", "--csv"}, QCoreApplication::applicationDirPath());
        QCOMPARE(listed.status, 0);
        QCOMPARE(QString::fromUtf8(listed.out).split('\n').value(1).section(',', 1, 1), state);
        const TCliResult checked =
            Run_Cli({"velmora-cli", data_directory, "check"}, QCoreApplication::applicationDirPath());
        QCOMPARE(checked.status, check_status);
        // The window's start names the same as check, after the loading lines.
        const QStringList start = Log_Lines(&window).filter(QRegularExpression("^WAR"));
        QCOMPARE(QString::fromUtf8(checked.out), start.isEmpty() ? QString() : start.join('\n') + '\n');
        // The correction view's title says the same state.
        QVERIFY(QMetaObject::invokeMethod(&window, "Show_Correction_Curve"));
        const QString title = Child<TCorrectionView>(&window, "Correction_View")->Get_Chart()->title();
        QVERIFY2(title.section("<br>", 0, 0).endsWith(" \u00b7 " + state.toLower()), qPrintable(title));
        TClock::Set_Fixed_Now(QDateTime());
    }

    void Field_Tooltips_data()
    {
        QTest::addColumn<int>("thermometer");   // index into the four; -1: no calibration file
        QTest::addColumn<QStringList>("typed"); // into the X meter field, in turn
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("no thermometer") << -1 << QStringList() << "-----"
                                        << "no thermometer selected";
        QTest::newRow("comma") << 0 << QStringList{"20,5"} << "-----"
                               << "\"20,5\" is not a number (use a full stop)";
        QTest::newRow("unusable") << 3 << QStringList() << "-----"
                                  << "test points unusable: test points span less than one degree";
        // Judged on the corrected value, the temperature: the probe reads 0.12 high.
        const QString outside = "outside the calibrated range 15.00 to 25.00 \u00b0C";
        QTest::newRow("1 below the lowest") << 0 << QStringList{"14.12"} << "14.00"
                                            << "";
        QTest::newRow("further below") << 0 << QStringList{"14.11"} << "13.99" << outside;
        QTest::newRow("reading 1 below") << 0 << QStringList{"14"} << "13.88" << outside;
        QTest::newRow("1 above the highest") << 0 << QStringList{"26.12"} << "26.00"
                                             << "";
        QTest::newRow("reading beyond, temperature not") << 0 << QStringList{"26.1"} << "25.98"
                                                         << "";
        QTest::newRow("further above") << 0 << QStringList{"26.13"} << "26.01" << outside;
        QTest::newRow("marking cleared") << 0 << QStringList{"30", "abc", "26"} << "25.88"
                                         << "";
    }

    void Field_Tooltips()
    {
        QFETCH(int, thermometer);
        QFETCH(QStringList, typed);
        QFETCH(QString, shown);
        QFETCH(QString, tooltip);
        if (thermometer >= 0)
        {
            QVERIFY(Write_Four_Thermometers());
            Store_Setting("Active_Thermometer", thermometer);
        }
        TVelmora window;
        for (const QString& text : typed)
        {
            Type(&window, "X_Meter_Field", text);
        }
        QLineEdit* field = Child<QLineEdit>(&window, "X_Corrected_Field");
        QCOMPARE(field->text(), shown);
        QCOMPARE(field->toolTip(), tooltip);
        // Marked in colour only where the tooltip names the range; the other fields keep theirs.
        const bool marked = tooltip.startsWith("outside");
        QCOMPARE(field->palette().color(QPalette::Text) == window.palette().color(QPalette::Link), marked);
        QCOMPARE(Child<QLineEdit>(&window, "Y_Corrected_Field")->toolTip(),
                 shown == "-----" && typed.isEmpty() ? tooltip : QString());
    }

    // Saving a doubtful calibration is possible, but it is pointed out then and at every start.
    void Implausible_Calibration_Is_Warned_data()
    {
        QTest::addColumn<QStringList>("readings"); // typed at test points 1 to 3
        QTest::addColumn<QString>("reason");
        QTest::newRow("2.02 for 20.20")
            << QStringList{"15.10", "2.02", "25.10"}
            << "the test point at 20.00 \u00b0C deviates by -17.98 \u00b0C, more than 1 \u00b0C";
        QTest::newRow("steep curve") << QStringList{"15.00", "20.95", "25.00"}
                                     << "the deviation changes by 0.38 \u00b0C per \u00b0C at 15.00 \u00b0C, "
                                        "more than 0.1 \u00b0C per "
                                        "\u00b0C";
    }

    void Implausible_Calibration_Is_Warned()
    {
        QFETCH(QStringList, readings);
        QFETCH(QString, reason);
        TClock::Set_Fixed_Now(QDateTime(Today, QTime(9, 0)));
        QVERIFY(
            Write_Calibration_File({{"Soon", 0.1, Today.addDays(10)}, {"Probe 1", 0.1, Today.addDays(400)}}));
        Store_Setting("Active_Thermometer", 1);
        const QString warning =
            "WAR  Thermometer 'Probe 1' is doubtful: " + reason + ". Check its test points.";
        {
            TVelmora window;
            QString explained;
            Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
                for (int point = 0; point < 3; ++point)
                {
                    Type(dialog, qPrintable(QString("Thermometer_Reading%1_Edit").arg(point + 1)),
                         readings[point]);
                }
                explained = Child<QLabel>(dialog, "Explanation_Label")->text();
                Child<QPushButton>(dialog, "Accept_Button")->click();
            });
            QVERIFY(QMetaObject::invokeMethod(&window, "Edit_Thermometer"));
            QVERIFY2(explained.contains("\nWarning: implausible calibration: " + reason + ". "),
                     qPrintable(explained));
            const QStringList lines = Log_Lines(&window);
            QCOMPARE(lines.mid(lines.size() - 2),
                     QStringList({"INF  Updated correction data for 'Probe 1'.  Calibration Due: " +
                                      Due_Date_Text(Today.addDays(400)),
                                  warning}));
        }
        TVelmora window; // the next start: after the loading lines, with the due-date warnings
        QCOMPARE(Log_Lines(&window).mid(4),
                 QStringList(
                     {"WAR  Thermometer 'Soon' is due for calibration in 10 days (Dec 17 2026).", warning}));
        // Not the green tick of a sound calibration.
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        QCOMPARE(Item_States(selector), QStringList({"Due soon", "Doubtful"}));
        QVERIFY(
            selector->itemData(1, Qt::ToolTipRole).toString().startsWith("Doubtful: " + reason + "\nDue "));
        TClock::Set_Fixed_Now(QDateTime());
    }

    // The due date may arrive while the window is open: from midnight the fields stop correcting, the
    // icon and tooltips follow, and the line that selecting the thermometer writes is written. A Write
    // just after midnight judges the day itself, before the timer has run.
    void Due_Date_Passes_While_Open_data()
    {
        QTest::addColumn<bool>("timer_runs");
        QTest::newRow("midnight timer") << true;
        QTest::newRow("write before the timer") << false;
    }

    void Due_Date_Passes_While_Open()
    {
        QFETCH(bool, timer_runs);
        const QTemporaryDir record_directory;
        QVERIFY(Write_Calibration_File({{"Probe", 0.12, Today.addDays(1)}}));
        Store_Setting("Current_Path", record_directory.path());
        TClock::Set_Fixed_Now(QDateTime(Today, QTime(23, 59, 40)));
        TVelmora window;
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        QCOMPARE(Corrected_Texts(&window), QStringList({"19.88", "19.88", "19.88", "19.88"}));
        QCOMPARE(Item_States(selector), QStringList("Due soon"));
        const int lines = Log_Lines(&window).size();

        TClock::Set_Fixed_Now(QDateTime(Today.addDays(1), QTime(0, 0, 5)));
        const QString expired = "out of calibration since Dec 08 2026";
        const QString warning = "WAR  Thermometer 'Probe' is " + expired + ".";
        if (timer_runs)
        {
            QTimer* timer = Child<QTimer>(&window, "Midnight_Timer");
            QVERIFY(timer->isActive() && timer->isSingleShot());
            QCOMPARE(timer->interval(), 20 * 1000);
            QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
            QCOMPARE(Log_Lines(&window).mid(lines), QStringList(warning));
            // Armed again for the midnight after.
            QVERIFY(timer->isActive());
            QCOMPARE(timer->interval(), (24 * 3600 - 5) * 1000);
        }
        QVERIFY(QMetaObject::invokeMethod(&window, "Write_Temperature_Entry"));
        QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "-----", "-----", "-----"}));
        QCOMPARE(Child<QLineEdit>(&window, "Part_Corrected_Field")->toolTip(), expired);
        QCOMPARE(Item_States(selector), QStringList("Out of calibration"));
        QVERIFY2(selector->toolTip().startsWith("Out of calibration\nDue Dec 08 2026: due today"),
                 qPrintable(selector->toolTip()));
        QCOMPARE(
            Log_Lines(&window).mid(lines).filter("WAR"),
            QStringList({warning, "WAR  Entry written with \"-----\" for X, Y, Z, Part: " + expired + "."}));
        QCOMPARE(Read_File(record_directory.path() + "/velmora.csv").split('\n').value(1),
                 QByteArray("Position 1,Probe,-----,-----,-----,-----"));
    }

    // A shorter period turns Soon back to in calibration at once, and both options outlive the window.
    void Options_Change_And_Are_Kept()
    {
        QVERIFY(Write_Four_Thermometers());
        TVelmora window;
        Answer_Next_Modal("TOptionsDialog", [](QWidget* dialog) {
            Type(dialog, "Warn_Days_Edit", "9");
            Child<QCheckBox>(dialog, "Log_Date_Time_Check_Box")->setChecked(true);
            Child<QCheckBox>(dialog, "Log_Audit_Columns_Check_Box")->setChecked(true);
            Child<QPushButton>(dialog, "Accept_Button")->click();
        });
        Child<QAction>(&window, "Options_Action")->trigger();
        QCOMPARE(Item_States(Child<QComboBox>(&window, "Thermometer_Selector"))[1],
                 QString("In calibration"));
        QCOMPARE(Log_Lines(&window).last(),
                 QString("INF  Options: warn 9 days before due; date and time in new log files: on. Audit "
                         "columns: on; UTF-8 for new log files: off."));
        // Stored at once, as every other setting, not only when the window closes.
        QCOMPARE(Stored_Setting("Warn_Days_Before_Due").toString() + "|" +
                     Stored_Setting("Log_Date_Time").toString() + "|" +
                     Stored_Setting("Log_Audit_Columns").toString(),
                 QString("9|true|true"));
        // A new window offers them as they were chosen.
        TVelmora second;
        Answer_Next_Modal("TOptionsDialog", [](QWidget* dialog) {
            QVERIFY(Child<QCheckBox>(dialog, "Log_Audit_Columns_Check_Box")->isChecked());
            QVERIFY(!Child<QCheckBox>(dialog, "Log_Utf8_Check_Box")->isChecked());
            Child<QPushButton>(dialog, "Cancel_Button")->click();
        });
        Child<QAction>(&second, "Options_Action")->trigger();
    }
};

QTEST_MAIN(TCalibrationStatusTest)
#include "tst_calibrationstatus.moc"
