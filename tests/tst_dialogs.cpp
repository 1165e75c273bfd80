#include "correctiondialog.h"
#include "inputdialog.h"
#include "messagebox.h"
#include "optionsdialog.h"

#include <QtTest>
#include <QtWidgets>

const TCorrectionDialogData Valid_Record{20.004, 20, 25, 15.1, 20.05, 24.98, "Probe 7", QDate(2030, 12, 31)};
const TCorrectionDialogData Usable_Record{15, 20, 25, 15.1, 20.05, 24.98, "Probe 7", QDate(2030, 12, 31)};

// "date" takes an ISO date; any other name is a line edit, finished with Return.
void Change_Field(QDialog& dialog, const QString& field, const QString& text)
{
    if (field == "date")
        return dialog.findChild<QDateEdit*>()->setDate(QDate::fromString(text, Qt::ISODate));
    QLineEdit* edit = dialog.findChild<QLineEdit*>(field);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

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
            QCOMPARE(record.reference_temperature1, 20.0); // shown as "20.00"
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
        QTest::newRow("emoji") << QStringList{D, QString::fromUcs4(U"P\U0001F321")} << due;
        QTest::newRow("lone surrogate") << QStringList{D, "P" + QString(QChar(0xD83C))} << unkept;
        for (const ushort code : {0xFEFF, 0xFFFE, 0x85})
            QTest::newRow(qPrintable(QString::number(code, 16)))
                << QStringList{D, "P" + QString(QChar(code))} << unkept;
        QTest::newRow("41, then description")
            << QStringList{T2, "41", D, "Probe 9"}
            << refused + "test point 2 thermometer reading 41 is outside 0 to 40.\n" + due;
        QTest::newRow("comma before range")
            << QStringList{T2, "20,5", R1, "41"}
            << refused + "test point 1 reference temperature 41 is outside 0 to 40.\n" + due;
        QTest::newRow("comma") << QStringList{T2, "20,5"}
                               << refused + "test point 2 thermometer reading \"20,5\" is not a number.\n" +
                                      due;
        QTest::newRow("nan") << QStringList{R1, "nan"}
                             << refused + "test point 1 reference temperature \"nan\" is not a number.\n" +
                                    due + " Warning: a test point is not a number" + dashes;
        QTest::newRow("0 and 40") << QStringList{R1, "40", T3, "0"} << due;
        QTest::newRow("40.01") << QStringList{T2, "40.01"}
                               << refused + "test point 2 thermometer reading 40.01 is outside 0 to 40.\n" +
                                      due;
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
    void Due_Date_Typing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("month section") << "Jun 30 2027";
        QTest::newRow("lower case after a slip") << "xjun 30 2027";
    }
    void Due_Date_Typing()
    {
        QFETCH(QString, typed);
        TCorrectionDialog dialog;
        TCorrectionDialogData record = Valid_Record;
        record.calibration_due_date = QDate::currentDate();
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
        for (const char* text : {"0", "0.99"})
            QTest::newRow(text) << text << true;
        for (const char* text : {"1", "-0.01", "nan"})
            QTest::newRow(text) << text << false;
    }
    // Only the operator's entry is judged: a value set afterwards leaves "Accept" as it was.
    void Input_Entry()
    {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        TInputDialog dialog;
        dialog.show();
        QLineEdit* edit = dialog.findChild<QLineEdit*>("Value_Edit");
        QTest::keyClicks(edit, enabled ? "2" : "0.5"); // the entry itself must change the state
        edit->selectAll();
        QTest::keyClicks(edit, text);
        dialog.Set_Value(0.123);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(enabled));
        QCOMPARE(dialog.Get_Value(), 0.12);
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
