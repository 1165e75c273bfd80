#include "clock.h"
#include "correctiondialog.h"
#include "inputdialog.h"
#include "messagebox.h"
#include "optionsdialog.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

const TCorrectionDialogData Valid_Record{20.004, 20, 25, 15.1, 20.05, 24.98, "Probe 7", QDate(2030, 12, 31)};
const TCorrectionDialogData Usable_Record{15, 20, 25, 15.1, 20.05, 24.98, "Probe 7", QDate(2030, 12, 31)};
Q_DECLARE_METATYPE(TCorrectionDialogData)

// The due date line of the records above, on the fixed day Dec 07 2026.
QString Due_Line()
{
    return "Due Tuesday, December 31, 2030: in 1485 days.";
}

// "date" takes an ISO date; any other name is a line edit, finished with Return.
void Change_Field(QDialog& dialog, const QString& field, const QString& text)
{
    if (field == "date")
        return dialog.findChild<QDateEdit*>()->setDate(QDate::fromString(text, Qt::ISODate));
    QLineEdit* edit = dialog.findChild<QLineEdit*>(field);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Shortcuts and focus changes need a shown, active window.
bool Activate(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

QString Focus_Name()
{
    return QApplication::focusWidget()->objectName();
}

// The controls Tab reaches from first up to "Accept", first included.
QStringList Tab_Walk(QDialog& dialog, const char* first)
{
    dialog.findChild<QWidget*>(first)->setFocus(Qt::TabFocusReason);
    QStringList reached = {Focus_Name()};
    for (int presses = 0; presses < 20 && Focus_Name() != "Accept_Button"; ++presses)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << Focus_Name();
    }
    return reached;
}

const QStringList Editor_Tab_Order = {"Description_Edit",
                                      "Calibration_Due_Date_Edit",
                                      "Reference_Temperature1_Edit",
                                      "Thermometer_Reading1_Edit",
                                      "Reference_Temperature2_Edit",
                                      "Thermometer_Reading2_Edit",
                                      "Reference_Temperature3_Edit",
                                      "Thermometer_Reading3_Edit",
                                      "Cancel_Button",
                                      "Accept_Button"};

// The dialogs are shown, not run: a click or Return leaves its outcome in result().
class TTestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale("de_DE")); } // numbers stay locale-independent
    // The second opening follows a use that ended with "Accept" enabled; Return must not close it.
    void Correction_Use()
    {
        TCorrectionDialog dialog;
        TCorrectionDialogData record = Valid_Record;
        for (const int result : {1, 0})
        {
            record.calibration_due_date = record.calibration_due_date.addDays(1); // setting it is judged
            dialog.Set_Dialog_Data(record, {});
            dialog.show();
            QVERIFY(!dialog.findChild<QPushButton*>("Accept_Button")->isEnabled());
            Change_Field(dialog, "Thermometer_Reading2_Edit", "20.75");
            Change_Field(dialog, "Description_Edit", " Probe 7 ");
            dialog.findChild<QPushButton*>(result ? "Accept_Button" : "Cancel_Button")->click();
            QCOMPARE(dialog.result(), result);
            dialog.Get_Dialog_Data(&record);
            QVERIFY(record.reference_temperature1 == 20.004); // shown as "20.00", but not typed
            QCOMPARE(record.thermometer_reading2, 20.75);
            QCOMPARE(record.description, QString("Probe 7")); // stored without the blanks
        }
    }
    // The line under the test points: the first problem in field order, then the due date in words. Accept
    // follows it, judged over all fields whichever changed last.
    void Correction_Explanation_data()
    {
        QTest::addColumn<QStringList>("edits"); // field, text, field, text
        QTest::addColumn<QString>("explanation");
        const QString D = "Description_Edit", R1 = "Reference_Temperature1_Edit";
        const QString R2 = "Reference_Temperature2_Edit", R3 = "Reference_Temperature3_Edit";
        const QString T2 = "Thermometer_Reading2_Edit", T3 = "Thermometer_Reading3_Edit";
        const QDate today = QDate::currentDate();
        const QString due =
            QString("Due Tuesday, December 31, 2030: in %1 days.").arg(today.daysTo({2030, 12, 31}));
        const QString dashes = ", so every reading will show \"-----\".";
        const QString refused = "Accept is unavailable: the ";
        const QString used = refused + "description '%1' is already used by another thermometer.\n";
        const QString unkept =
            refused + "description holds a character that the calibration file cannot keep.\n" + due;
        QTest::newRow("as opened") << QStringList()
                                   << "Accept becomes available when a field is changed.\n" + due;
        QTest::newRow("blank") << QStringList{D, " "} << refused + "description is blank.\n" + due;
        QTest::newRow("used, then date")
            << QStringList{D, "probe 1", "date", "2031-01-01"}
            << used.arg("probe 1") +
                   QString("Due Wednesday, January 1, 2031: in %1 days.").arg(today.daysTo({2031, 1, 1}));
        QTest::newRow("used within blanks") << QStringList{D, " Probe 2 "} << used.arg("Probe 2") + due;
        QTest::newRow("control character") << QStringList{D, "Probe\x01"} << unkept;
        // Another description adds a thermometer: the line says so, and what becomes of the one opened.
        QTest::newRow("emoji") << QStringList{D, QString::fromUcs4(U"P\U0001F321")}
                               << QString::fromUcs4(
                                      U"Accept adds 'P\U0001F321' as a new thermometer with these "
                                      U"values; 'Probe 7' stays as it is.\n") +
                                      due;
        QTest::newRow("lone surrogate") << QStringList{D, "P" + QString(QChar(0xD83C))} << unkept;
        for (const ushort code : {0xFEFF, 0xFFFE, 0x85})
            QTest::newRow(qPrintable(QString::number(code, 16)))
                << QStringList{D, "P" + QString(QChar(code))} << unkept;
        // What is doubtful about the calibration is said although the value is refused.
        const QString doubtful =
            "\nWarning: implausible calibration: the test point at 20.00 \u00b0C deviates by "
            "%1 \u00b0C, more than 1 \u00b0C. Check the readings.\nNote: corrections take "
            "the deviation at the reading, so within the calibrated range a corrected value "
            "differs from the exact inverse of the calibration by up to %2 \u00b0C (at %3 "
            "\u00b0C).";
        QTest::newRow("41, then description")
            << QStringList{T2, "41", D, "Probe 9"}
            << refused + "test point 2 thermometer reading 41 is outside 0 to 40.\n" + due +
                   doubtful.arg("21.00", "380.020", "20.57");
        QTest::newRow("comma before range")
            << QStringList{T2, "20,5", R1, "41"}
            << refused + "test point 1 reference temperature 41 is outside 0 to 40.\n" + due;
        QTest::newRow("comma") << QStringList{T2, "20,5"}
                               << refused + "test point 2 thermometer reading \"20,5\" is not a number.\n" +
                                      due;
        QTest::newRow("nan") << QStringList{R1, "nan"}
                             << refused + "test point 1 reference temperature \"nan\" is not a number.\n" +
                                    due + " Warning: a test point is not a number" + dashes;
        QTest::newRow("0 and 40")
            << QStringList{R1, "40", T3, "0"}
            << due +
                   "\nWarning: implausible calibration: the test point at 25.00 \u00b0C deviates by -25.00 "
                   "\u00b0C, more than 1 \u00b0C; the test point at 40.00 \u00b0C deviates by -24.90 "
                   "\u00b0C, "
                   "more than 1 \u00b0C. Check the readings; Accept still saves it.\nNote: corrections take "
                   "the deviation at the reading, so within the calibrated range a corrected value differs "
                   "from the exact inverse of the calibration by up to 401.510 \u00b0C (at 30.59 \u00b0C).";
        QTest::newRow("40.01") << QStringList{T2, "40.01"}
                               << refused + "test point 2 thermometer reading 40.01 is outside 0 to 40.\n" +
                                      due + doubtful.arg("20.01", "329.621", "20.60");
        QTest::newRow("due today") << QStringList{"date", today.toString(Qt::ISODate)}
                                   << "Due " + QLocale::c().toString(today, "dddd, MMMM d, yyyy") +
                                          ": due today. Warning: the due date is today or earlier" + dashes;
        QTest::newRow("span under a degree")
            << QStringList{R1, "20", R2, "20.4", R3, "20.9"}
            << due + " Warning: test points span less than one degree" + dashes;
    }
    void Correction_Explanation()
    {
        QFETCH(QStringList, edits);
        QFETCH(QString, explanation);
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Usable_Record, {"Probe 1", "Probe 2"});
        for (int i = 0; i + 1 < edits.size(); i += 2)
            Change_Field(dialog, edits[i], edits[i + 1]);
        QCOMPARE(dialog.findChild<QLabel*>("Explanation_Label")->text(), explanation);
        QCOMPARE(dialog.findChild<QPushButton*>("Accept_Button")->isEnabled(),
                 !explanation.startsWith("Accept is unavailable") && !edits.isEmpty());
    }
    // A calibration file may hold a calibration beyond 0 to 40 degrees: opened, it cannot be accepted as
    // it stands, but what is doubtful about it and the model's difference are said all the same.
    void Correction_Beyond_0_To_40_data()
    {
        QTest::addColumn<TCorrectionDialogData>("record");
        QTest::addColumn<QString>("explanation");
        const QString note =
            "\nNote: corrections take the deviation at the reading, so within the calibrated "
            "range a corrected value differs from the exact inverse of the calibration by up "
            "to %1 \u00b0C (at %2 \u00b0C).";
        QTest::newRow("curved, 50 to 70")
            << TCorrectionDialogData{50, 60, 70, 50.1, 60.2, 70.4, "Probe 9", QDate(2030, 12, 31)}
            << "Accept is unavailable: the test point 1 reference temperature 50.00 is outside 0 to 40.\n" +
                   Due_Line() + note.arg("0.010", "70.00");
        QTest::newRow("1.5 high, -30 to 0")
            << TCorrectionDialogData{-30, -15, 0, -28.5, -13.5, 1.5, "Probe 9", QDate(2030, 12, 31)}
            << "Accept is unavailable: the test point 1 reference temperature -30.00 is outside 0 to 40.\n" +
                   Due_Line() +
                   "\nWarning: implausible calibration: the test point at -30.00 \u00b0C deviates by "
                   "1.50 \u00b0C, more than 1 \u00b0C; the test point at -15.00 \u00b0C deviates by "
                   "1.50 \u00b0C, more than 1 \u00b0C; the test point at 0.00 \u00b0C deviates by "
                   "1.50 \u00b0C, more than 1 \u00b0C. Check the readings.";
        QTest::newRow("plain, 40 to 60")
            << TCorrectionDialogData{40, 50, 60, 40.1, 50.1, 60.1, "Probe 9", QDate(2030, 12, 31)}
            << "Accept is unavailable: the test point 1 thermometer reading 40.10 is outside 0 to 40.\n" +
                   Due_Line();
    }

    void Correction_Beyond_0_To_40()
    {
        QFETCH(TCorrectionDialogData, record);
        QFETCH(QString, explanation);
        TClock::Set_Fixed_Now(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(record, {});
        QCOMPARE(dialog.findChild<QLabel*>("Explanation_Label")->text(), explanation);
        // Typing keeps them.
        Change_Field(dialog, "Description_Edit", "Probe 10");
        QCOMPARE(dialog.findChild<QLabel*>("Explanation_Label")->text(), explanation);
        QVERIFY(!dialog.findChild<QPushButton*>("Accept_Button")->isEnabled());
        TClock::Set_Fixed_Now(QDateTime());
    }

    // Warnings that leave Accept available, on the line under the test points while the operator types:
    // blocking reasons first, then the due date, a doubtful calibration, and the model's approximation.
    void Correction_Warnings_data()
    {
        QTest::addColumn<QStringList>("typed"); // field, text, field, text; "date" is the due date field
        QTest::addColumn<QStringList>("lines"); // after the due date line, or from a due date typed
        const QString R1 = "Reference_Temperature1_Edit", T1 = "Thermometer_Reading1_Edit";
        const QString T2 = "Thermometer_Reading2_Edit", T3 = "Thermometer_Reading3_Edit";
        const QString check = ". Check the readings; Accept still saves it.";
        const QString implausible = "Warning: implausible calibration: the test point at ";
        const QString note = "Note: corrections take the deviation at the reading, so within the calibrated "
                             "range a corrected value differs from the exact inverse of the calibration by "
                             "up to %1 \u00b0C (at %2 \u00b0C).";
        QTest::newRow("as opened") << QStringList() << QStringList();
        // 2.02 typed for 20.20.
        QTest::newRow("typo") << QStringList{T2, "2.02"}
                              << QStringList{
                                     implausible +
                                         "20.00 \u00b0C deviates by -17.98 \u00b0C, more than 1 \u00b0C" +
                                         check,
                                     note.arg("241.764", "19.34")};
        QTest::newRow("1 degree off throughout")
            << QStringList{T1, "16", T2, "21", T3, "26"} << QStringList();
        QTest::newRow("a hair beyond")
            << QStringList{T1, "16.001", T2, "21", T3, "26"}
            << QStringList{implausible + "15.00 \u00b0C deviates by 1.001 \u00b0C, more than 1 \u00b0C" +
                           check};
        QTest::newRow("two points far off")
            << QStringList{T1, "13.4", T3, "26.5"}
            << QStringList{implausible +
                               "15.00 \u00b0C deviates by -1.60 \u00b0C, more than 1 \u00b0C; the test "
                               "point at 25.00 \u00b0C deviates by 1.50 \u00b0C, more than 1 \u00b0C" +
                               check,
                           note.arg("0.570", "15.00")};
        QTest::newRow("steep curve")
            << QStringList{T1, "15", T2, "20.95", T3, "25"}
            << QStringList{
                   "Warning: implausible calibration: the deviation changes by 0.38 \u00b0C per \u00b0C "
                   "at 15.00 \u00b0C, more than 0.1 \u00b0C per \u00b0C" +
                       check,
                   note.arg("0.155", "22.67")};
        // Deviations 0.1, 0.2, 0.4: a reading of 25.40 is corrected to 24.98, not 25.00.
        QTest::newRow("approximation")
            << QStringList{T1, "15.1", T2, "20.2", T3, "25.4"} << QStringList{note.arg("0.020", "25.00")};
        QTest::newRow("within half a digit")
            << QStringList{T1, "15.1", T2, "20.15", T3, "25.2"} << QStringList();
        // A far due date is only pointed out, on the due date line itself.
        const QString far = " Warning: the due date lies more than 10 years ahead.";
        QTest::newRow("due in 10 years") << QStringList{"date", "Dec 07 2036"}
                                         << QStringList{"Due Sunday, December 7, 2036: in 3653 days."};
        QTest::newRow("due in 10 years and a day")
            << QStringList{"date", "Dec 08 2036"}
            << QStringList{"Due Monday, December 8, 2036: in 3654 days." + far};
        QTest::newRow("due in 12 years") << QStringList{"date", "Dec 07 2038"}
                                         << QStringList{"Due Tuesday, December 7, 2038: in 4383 days." + far};
        QTest::newRow("due in 9999") << QStringList{"date", "Dec 31 9999"}
                                     << QStringList{"Due Friday, December 31, 9999: in 2912102 days." + far};
    }
    void Correction_Warnings()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, lines);
        TClock::Set_Fixed_Now(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Usable_Record, {});
        dialog.show();
        for (int i = 0; i + 1 < typed.size(); i += 2)
        {
            QLineEdit* edit = dialog.findChild<QLineEdit*>(typed[i]);
            QWidget* field = edit;
            if (edit == nullptr)
                field = dialog.findChild<QDateEdit*>();
            field->setFocus(Qt::TabFocusReason);
            if (edit != nullptr)
                edit->selectAll();
            QTest::keyClicks(field, typed[i + 1]); // no Return: judged while typing
        }
        const QStringList shown = dialog.findChild<QLabel*>("Explanation_Label")->text().split('\n');
        QCOMPARE(shown, (typed.isEmpty() ? QStringList{"Accept becomes available when a field is changed."}
                                         : QStringList()) +
                            (typed.value(0) == "date" ? QStringList() : QStringList{Due_Line()}) + lines);
        QCOMPARE(dialog.findChild<QPushButton*>("Accept_Button")->isEnabled(), !typed.isEmpty());
        // All of it visible: the dialog grows for the wrapped lines.
        dialog.layout()->activate();
        QLabel* label = dialog.findChild<QLabel*>("Explanation_Label");
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        TClock::Set_Fixed_Now(QDateTime());
    }
    // A disabled button takes no focus, so the click alone never finishes the edit: only judging each
    // keystroke lets it through.
    void Correction_Accept_Right_After_A_Fix()
    {
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Valid_Record, {});
        dialog.show();
        QLineEdit* edit = dialog.findChild<QLineEdit*>("Thermometer_Reading2_Edit");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "41");
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::mouseClick(dialog.findChild<QPushButton*>("Accept_Button"), Qt::LeftButton);
        QCOMPARE(dialog.result(), 1);
    }
    // Return finishes each field and goes on in the Tab order without closing the dialog, from the last
    // reading to "Accept", where it accepts.
    void Correction_Return_Chain_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
    void Correction_Return_Chain()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Usable_Record, {"Probe 1"});
        QVERIFY(Activate(&dialog));
        dialog.findChild<QWidget*>("Description_Edit")->setFocus(Qt::TabFocusReason);
        const QStringList typed = {"Probe 8", "Jun 30 2027", "14", "14.2", "21", "21.1", "30", "29.95"};
        for (int index = 0; index < typed.size(); ++index)
        {
            QCOMPARE(Focus_Name(), Editor_Tab_Order[index]);
            if (index == 0)
                dialog.findChild<QLineEdit*>("Description_Edit")->selectAll(); // focused from the start
            QTest::keyClicks(QApplication::focusWidget(), typed[index]);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QVERIFY(dialog.isVisible());
        }
        QCOMPARE(Focus_Name(), QString("Accept_Button"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), 1);
        TCorrectionDialogData record;
        dialog.Get_Dialog_Data(&record);
        QCOMPARE(record.description, QString("Probe 8"));
        QCOMPARE(record.calibration_due_date, QDate(2027, 6, 30));
        QCOMPARE(QVector<double>({record.reference_temperature1, record.thermometer_reading1,
                                  record.reference_temperature2, record.thermometer_reading2,
                                  record.reference_temperature3, record.thermometer_reading3}),
                 QVector<double>({14, 14.2, 21, 21.1, 30, 29.95}));
    }
    // Return stops at the last reading while its entry is refused: "Accept" takes no focus then.
    void Correction_Return_Stops_At_A_Refused_Entry()
    {
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Usable_Record, {});
        QVERIFY(Activate(&dialog));
        QLineEdit* edit = dialog.findChild<QLineEdit*>("Thermometer_Reading3_Edit");
        edit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(edit, "41");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(Focus_Name(), QString("Thermometer_Reading3_Edit"));
        QVERIFY(dialog.isVisible());
        // Finished unchanged, an entry as opened becomes acceptable and Return goes on to "Accept".
        dialog.Set_Dialog_Data(Usable_Record, {});
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(Focus_Name(), QString("Accept_Button"));
    }
    void Correction_Cancel_From_The_Keyboard_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::newRow("Escape in a reading") << "Thermometer_Reading2_Edit" << int(Qt::Key_Escape);
        QTest::newRow("Escape in the date") << "Calibration_Due_Date_Edit" << int(Qt::Key_Escape);
        QTest::newRow("Escape on Accept") << "Accept_Button" << int(Qt::Key_Escape);
        QTest::newRow("Return on Cancel") << "Cancel_Button" << int(Qt::Key_Return);
    }
    void Correction_Cancel_From_The_Keyboard()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Usable_Record, {});
        QVERIFY(Activate(&dialog));
        Change_Field(dialog, "Thermometer_Reading1_Edit", "15.2"); // "Accept" enabled: a cancel must win
        dialog.findChild<QWidget*>(focus)->setFocus(Qt::TabFocusReason);
        QCOMPARE(Focus_Name(), focus);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
    }
    // Tab reaches "Accept" in nine presses, the date being one stop also backwards, whose parts the arrow
    // keys still change.
    // The log options follow the date and time box, before the buttons; what was there keeps its order.
    void Options_Tab_Order()
    {
        TOptionsDialog dialog;
        dialog.Set_Options(30, false);
        QVERIFY(Activate(&dialog));
        QCOMPARE(Tab_Walk(dialog, "Warn_Days_Edit"),
                 QStringList({"Warn_Days_Edit", "Log_Date_Time_Check_Box", "Log_Audit_Columns_Check_Box",
                              "Log_Utf8_Check_Box", "Cancel_Button", "Accept_Button"}));
    }

    void Correction_Tab_Order()
    {
        TCorrectionDialog dialog;
        TCorrectionDialogData record = Usable_Record;
        record.calibration_due_date = QDate(2027, 6, 15);
        dialog.Set_Dialog_Data(record, {});
        QVERIFY(Activate(&dialog));
        Change_Field(dialog, "Description_Edit", "Probe 8");
        QCOMPARE(Tab_Walk(dialog, "Description_Edit"), Editor_Tab_Order);
        dialog.findChild<QWidget*>("Reference_Temperature1_Edit")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(Focus_Name(), QString("Calibration_Due_Date_Edit"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(Focus_Name(), QString("Description_Edit"));

        QDateEdit* date_edit = dialog.findChild<QDateEdit*>();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(date_edit, Qt::Key_Up); // the month, selected on entry
        QCOMPARE(date_edit->date(), QDate(2027, 7, 15));
        for (int presses = 0; presses < 5; ++presses) // past "Jul "
            QTest::keyClick(date_edit, Qt::Key_Right);
        QTest::keyClick(date_edit, Qt::Key_Up); // now in the day
        QCOMPARE(date_edit->date(), QDate(2027, 7, 16));
        QCOMPARE(Focus_Name(), QString("Calibration_Due_Date_Edit"));
    }
    // Every label and button of each dialog has a mnemonic of its own; a label's leads to its field.
    void Mnemonics_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<int>("count");
        QTest::newRow("Correction Editor") << "TCorrectionDialog" << 9;
        QTest::newRow("Input Dialog") << "TInputDialog" << 3;
        QTest::newRow("Options") << "TOptionsDialog" << 6;
    }
    void Mnemonics()
    {
        QFETCH(QString, dialog);
        QFETCH(int, count);
        std::unique_ptr<QDialog> shown(
            dialog == "TCorrectionDialog" ? static_cast<QDialog*>(new TCorrectionDialog)
            : dialog == "TInputDialog"    ? static_cast<QDialog*>(new TInputDialog)
                                          : static_cast<QDialog*>(new TOptionsDialog));
        QVERIFY(Activate(shown.get()));
        QStringList keys;
        for (QWidget* widget : shown->findChildren<QWidget*>())
        {
            QLabel* label = qobject_cast<QLabel*>(widget);
            QAbstractButton* button = qobject_cast<QAbstractButton*>(widget);
            const QString text = label != nullptr ? label->text() : button != nullptr ? button->text() : "";
            if (text.isEmpty() || widget->objectName() == "Explanation_Label" ||
                widget->objectName() == "Reason_Label" || text == "C")
            {
                continue;
            }
            const QString key = QKeySequence::mnemonic(text).toString();
            QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(text));
            keys << key;
            if (label != nullptr)
            {
                QVERIFY2(label->buddy() != nullptr, qPrintable(text));
                shown->setFocus();
                QTest::keySequence(shown.get(), QKeySequence::mnemonic(text));
                QCOMPARE(QApplication::focusWidget(), label->buddy());
            }
        }
        QCOMPARE(keys.size(), count);
    }
    void Due_Date_Typing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("shown"); // before typing; null: none
        QTest::newRow("month section") << "Jun 30 2027" << QDate::currentDate();
        QTest::newRow("lower case after a slip") << "xjun 30 2027" << QDate::currentDate();
        QTest::newRow("into no date") << "Jun 30 2027" << QDate();
    }
    void Due_Date_Typing()
    {
        QFETCH(QString, typed);
        QFETCH(QDate, shown);
        TCorrectionDialog dialog;
        TCorrectionDialogData record = Valid_Record;
        record.calibration_due_date = shown;
        dialog.Set_Dialog_Data(record, {});
        dialog.show();
        QDateEdit* edit = dialog.findChild<QDateEdit*>();
        edit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->date(), QDate(2027, 6, 30));
        QCOMPARE(edit->text(), QString("Jun 30 2027"));
    }
    void Options_Entry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("days"); // -1: refused
        QTest::addColumn<QString>("reason");
        QTest::newRow("0") << "0" << 0 << "No warnings before the due date.";
        QTest::newRow("3650 with blanks")
            << " 3650 " << 3650 << "Warn when a thermometer is due within 3650 days.";
        QTest::newRow("3651") << "3651" << -1 << "3651 days is outside 0 to 3650.";
        QTest::newRow("beyond int") << "99999999999" << -1 << "99999999999 days is outside 0 to 3650.";
        QTest::newRow("fraction") << "12.5" << -1 << "\"12.5\" is not a whole number of days.";
        QTest::newRow("empty") << "" << -1 << "Type the number of days, 0 to 3650.";
    }
    void Options_Entry()
    {
        QFETCH(QString, text);
        QFETCH(int, days);
        QFETCH(QString, reason);
        TOptionsDialog dialog;
        dialog.Set_Options(30, true);
        dialog.show();
        QLineEdit* edit = dialog.findChild<QLineEdit*>("Warn_Days_Edit");
        edit->clear();
        QTest::keyClicks(edit, text);
        QCOMPARE(dialog.findChild<QLabel*>("Reason_Label")->text(), reason);
        QTest::keyClick(edit, Qt::Key_Return); // the default button, only while the period is acceptable
        QCOMPARE(dialog.result(), int(days >= 0));
        QCOMPARE(dialog.Get_Warn_Days(), days >= 0 ? days : 30);
        QVERIFY(dialog.Get_Log_Date_Time());
    }
    void Input_Entry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("explanation");
        for (const char* text : {"0", "0.99"})
            QTest::newRow(text) << text << true << "";
        const QString refused = "Accept is unavailable: the calibration uncertainty ";
        QTest::newRow("1") << "1" << false << refused + "1 is outside 0 to below 1.";
        QTest::newRow("-0.01") << "-0.01" << false << refused + "-0.01 is outside 0 to below 1.";
        QTest::newRow("nan") << "nan" << false << refused + "\"nan\" is not a number.";
        QTest::newRow("comma") << "0,05" << false
                               << refused +
                                      "\"0,05\" is not a number. The decimal separator is a point: 0.05.";
        QTest::newRow("empty") << "" << false << refused + "\"\" is not a number.";
    }
    // Only the operator's entry is judged: a value set afterwards leaves "Accept" as it was.
    void Input_Entry()
    {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(QString, explanation);
        TInputDialog dialog;
        dialog.show();
        QLineEdit* edit = dialog.findChild<QLineEdit*>("Value_Edit");
        QTest::keyClicks(edit, enabled ? "2" : "0.5"); // the entry itself must change the state
        edit->selectAll();
        QTest::keyClicks(edit, text);
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        QLabel* label = dialog.findChild<QLabel*>("Explanation_Label");
        QCOMPARE(label->text(), explanation);
        QCoreApplication::processEvents();
        QVERIFY(label->height() >= label->heightForWidth(label->width())); // shown whole
        dialog.Set_Value(0.123);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(enabled));
        QCOMPARE(dialog.Get_Value(), 0.12);
    }
    // An entry for a thermometer to add starts empty, no due date either; Accept waits for all of it,
    // and an arrow key on the empty due date starts from today.
    void Correction_Empty_Entry()
    {
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Usable_Record, {});
        dialog.Set_Empty_Entry({"Probe 1"});
        dialog.show();
        QStringList texts;
        for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
        {
            if (edit->objectName().endsWith("_Edit"))
            {
                texts << edit->text();
            }
        }
        QCOMPARE(texts.join(""), QString());
        QDateEdit* date_edit = dialog.findChild<QDateEdit*>();
        QCOMPARE(date_edit->text(), QString("not set"));
        QLabel* explanation = dialog.findChild<QLabel*>("Explanation_Label");
        QCOMPARE(explanation->text(),
                 QString("Accept is unavailable: the description is blank.\nNo due date yet."));
        Change_Field(dialog, "Description_Edit", "probe 1");
        QVERIFY(explanation->text().startsWith(
            "Accept is unavailable: the description 'probe 1' is already used"));
        Change_Field(dialog, "Description_Edit", "Probe 2");
        QCOMPARE(explanation->text().section('\n', 0, 0),
                 "Accept is unavailable: the due date is not set; type it as shown, for example " +
                     QLocale::c().toString(TClock::Today().addYears(1), "MMM dd yyyy") + ".");
        date_edit->setFocus();
        QTest::keyClick(date_edit, Qt::Key_Up);
        QCOMPARE(date_edit->date(), TClock::Today());
        QVERIFY2(
            explanation->text().startsWith("Accept is unavailable: the test point 1 reference temperature is "
                                           "not typed yet."),
            qPrintable(explanation->text()));
        QVERIFY(!dialog.findChild<QPushButton*>("Accept_Button")->isEnabled());
    }
    // What the operator typed, as far as it differs from what the dialog opened with, is said above all
    // else when the dialog opens again on another window's values.
    void Correction_Refused_Entry()
    {
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Usable_Record, {});
        QCOMPARE(dialog.Typed_Entry(), QString());
        Change_Field(dialog, "date", "2031-06-30");
        Change_Field(dialog, "Thermometer_Reading2_Edit", "20.5");
        Change_Field(dialog, "Description_Edit", "Probe 7");
        const QString typed = dialog.Typed_Entry();
        QCOMPARE(typed, QString("due date Jun 30 2031; test point 2 thermometer reading 20.5"));
        TCorrectionDialogData current = Usable_Record;
        current.thermometer_reading3 = 25.2;
        dialog.Set_Dialog_Data(current, {});
        dialog.Set_Refused_Entry(typed);
        QLabel* explanation = dialog.findChild<QLabel*>("Explanation_Label");
        QVERIFY(explanation->text().startsWith(
            "Not saved: another window changed this thermometer meanwhile, and "
            "the fields show its current values. You had typed: " +
            typed + ".\nAccept becomes available when a field is changed."));
        Change_Field(dialog, "date", "2031-06-30");
        QVERIFY(explanation->text().startsWith("Not saved: "));
        QVERIFY(dialog.findChild<QPushButton*>("Accept_Button")->isEnabled());
        dialog.Set_Dialog_Data(current, {});
        QVERIFY(!explanation->text().startsWith("Not saved: "));
    }
    // The details button gets a mnemonic, kept when it is pressed.
    void Message_Box_Details()
    {
        TMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDetailedText("details");
        box.show();
        QAbstractButton* details = nullptr;
        for (QAbstractButton* button : box.buttons())
        {
            if (box.buttonRole(button) == QMessageBox::ActionRole)
            {
                details = button;
            }
        }
        QVERIFY(details != nullptr);
        QCOMPARE(details->text(), QString("Show &Details..."));
        details->click();
        QTRY_COMPARE(details->text(), QString("Hide &Details..."));
    }
    void Message_Box()
    {
        TMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.show();
        QCoreApplication::processEvents();
        QCOMPARE(box.width(), 500);
        box.setFixedWidth(800); // as a resize by the window system
        QCoreApplication::processEvents();
        QCOMPARE(box.width(), 500);
        box.button(QMessageBox::Yes)->click();
        QCOMPARE(box.result(), 0x4000);
    }
};

QTEST_MAIN(TTestDialogs)
#include "tst_dialogs.moc"
