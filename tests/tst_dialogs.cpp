#include "correctiondialog.h"
#include "inputdialog.h"
#include "messagebox.h"
#include "xmlfile.h"

#include <QApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>
#include <QtTest>

namespace
{

const TCorrectionDialogData Valid_Record{15.0,  20.0,  25.0,      15.1,
                                         20.05, 24.98, "Probe 7", QDate(2030, 12, 31)};
const QStringList Others = {"Probe 1", "Probe 2"};

bool Accept_Enabled(const QDialog& dialog)
{
    return dialog.findChild<QPushButton*>("Accept_Button")->isEnabled();
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

// Types over the text, so that textEdited is emitted as for the operator.
void Type_Over(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Runs the action inside exec; a dialog the action left open ends with -1, so no fault hangs the suite.
template <typename Action> int Run_Modal(QDialog& dialog, Action action)
{
    QTimer::singleShot(0, &dialog,
                       [&dialog, action]()
                       {
                           action();
                           if (dialog.isVisible())
                               dialog.done(-1);
                       });
    return dialog.exec();
}

// Writes the text as the calibration file writes a description and reads it back.
bool Survives_Calibration_File(const QString& text)
{
    try
    {
        TXmlFile out, in;
        out.Create_Document("Data", 1);
        QDomElement element = out.Create_Child_Element(&out.root_element, "Description");
        out.Write_Node_Data(&element, text);
        QByteArray bytes;
        out.Save_Data(&bytes, false);
        in.Open_Data(bytes, "Data", nullptr, true);
        const QDomElement read = in.Get_Child_Element(&in.root_element, "Description", false);
        return in.Read_Node_Text(&read, false) == text;
    }
    catch (const TXmlFileException&)
    {
        return false;
    }
}

class TIcon_Style : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        const bool icons = hint == SH_DialogButtonBox_ButtonsHaveIcons;
        return icons ? 1 : QProxyStyle::styleHint(hint, option, widget, data);
    }
};

} // namespace

class TTest_Dialogs : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void Correction_Rules_data()
    {
        QTest::addColumn<QStringList>("edits"); // field, text, field, text
        QTest::addColumn<bool>("enabled");
        const auto Row = [](const char* name, const QStringList& edits, bool enabled)
        { QTest::newRow(name) << edits << enabled; };
        const QString D = "Description_Edit", R1 = "Reference_Temperature1_Edit";
        const QString T2 = "Thermometer_Reading2_Edit", T3 = "Thermometer_Reading3_Edit";
        Row("duplicate, other case", {D, "pROBE 2"}, false);
        Row("duplicate, then date", {D, "probe 1", "date", "2031-01-01"}, false);
        Row("41, then description", {T2, "41", D, "Probe 9"}, false);
        Row("blanks only", {D, "   ", R1, "20"}, false);
        Row("control character", {D, "Probe\x01"}, false);
        Row("emoji", {D, QString::fromUcs4(U"P\U0001F321")}, false);
        Row("0 and 40", {R1, "40", T3, "0"}, true);
        Row("40.01", {D, "Probe 9", T2, "40.01"}, false);
        Row("-0.5", {D, "Probe 9", T3, "-0.5"}, false);
        Row("nan", {D, "Probe 9", R1, "nan"}, false);
        Row("inf", {D, "Probe 9", T2, "inf"}, false);
        Row("text", {D, "Probe 9", R1, "abc"}, false);
        Row("past date", {D, "Probe 9", "date", "1999-12-31"}, true);
    }
    void Correction_Rules()
    {
        QFETCH(QStringList, edits);
        QFETCH(bool, enabled);
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Valid_Record, Others);
        for (int i = 0; i + 1 < edits.size(); i += 2)
            Change_Field(dialog, edits[i], edits[i + 1]);
        QCOMPARE(Accept_Enabled(dialog), enabled);
    }
    // The editor refuses what the file would lose, and the line controls.
    void Correction_Characters_Match_File()
    {
        TCorrectionDialog dialog;
        dialog.Set_Dialog_Data(Valid_Record, Others);
        for (const char32_t code : {0x0u, 0x9u, 0xAu, 0xDu, 0x1Fu, 0x20u, 0x7Fu, 0xE9u, 0xD800u, 0xDFFFu,
                                    0xFDD0u, 0xFFFDu, 0xFFFEu, 0xFFFFu, 0x1F321u})
        {
            const QString text =
                "Probe" + (code > 0xFFFF ? QString::fromUcs4(&code, 1) : QChar(char16_t(code))) + "x";
            Change_Field(dialog, "Description_Edit", text);
            const bool line_control = code == 0x09 || code == 0x0A || code == 0x0D;
            QVERIFY2(Accept_Enabled(dialog) == (Survives_Calibration_File(text) && !line_control),
                     qPrintable(QString::number(code, 16)));
        }
    }
    // One dialog for all three, so that each opening follows a use that ended with "Accept" enabled.
    void Correction_Exec()
    {
        QLocale::setDefault(QLocale("de_DE")); // numbers stay locale-independent
        TCorrectionDialog dialog;
        int day = 0;
        for (const QString button : {"Accept_Button", "Cancel_Button", ""})
        {
            TCorrectionDialogData record = Valid_Record;
            record.reference_temperature1 = 20.004;
            record.calibration_due_date = record.calibration_due_date.addDays(++day);
            dialog.Set_Dialog_Data(record, Others);
            QVERIFY(!Accept_Enabled(dialog));
            QCOMPARE(dialog.findChild<QLineEdit*>("Reference_Temperature1_Edit")->text(), QString("20.00"));
            const int result = Run_Modal(dialog,
                                         [&]()
                                         {
                                             Change_Field(dialog, "Thermometer_Reading2_Edit", "20.75");
                                             Change_Field(dialog, "Description_Edit", "Probe 8");
                                             QVERIFY(Accept_Enabled(dialog));
                                             QVERIFY2(dialog.isVisible(), "Return closed the editor");
                                             if (button.isEmpty())
                                                 dialog.close();
                                             else
                                                 dialog.findChild<QPushButton*>(button)->click();
                                         });
            QCOMPARE(result, button == "Accept_Button" ? 1 : 0);
            dialog.Get_Dialog_Data(&record);
            QCOMPARE(record.reference_temperature1, 20.0);
            QCOMPARE(record.thermometer_reading2, 20.75);
        }
    }
    void Input_Rules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        for (const char* text : {"0.99", "0"})
            QTest::newRow(text) << text << true;
        for (const char* text : {"1", "1.5", "-0.01", "abc", "", "nan"})
            QTest::newRow(text) << text << false;
    }
    void Input_Rules()
    {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        TInputDialog dialog;
        QLineEdit* edit = dialog.findChild<QLineEdit*>("Value_Edit");
        Type_Over(edit, enabled ? "2" : "0.5"); // the entry itself must change the state
        QCOMPARE(Accept_Enabled(dialog), !enabled);
        Type_Over(edit, text);
        QCOMPARE(Accept_Enabled(dialog), enabled);
    }
    void Input_Set_Value_And_Return()
    {
        TInputDialog dialog;
        QLineEdit* edit = dialog.findChild<QLineEdit*>("Value_Edit");
        QTest::keyClicks(edit, "x");
        dialog.Set_Value(0.123);
        QCOMPARE(edit->text(), QString("0.12"));
        QCOMPARE(dialog.Get_Value(), 0.12);
        QVERIFY(!Accept_Enabled(dialog));
        const auto type_and_return = [edit]()
        {
            Type_Over(edit, "0.25");
            QTest::keyClick(edit, Qt::Key_Return);
        };
        QCOMPARE(Run_Modal(dialog, type_and_return), 1);
        QCOMPARE(dialog.Get_Value(), 0.25);
    }
    void Message_Box_Texts_And_Width()
    {
        for (const int repeat : {1, 12})
        {
            const QString span = "<span style=\"font-size:10pt; font-weight:%1; color:#000000;\" >%2</span>";
            const QString informative = QString("Delete it? ").repeated(repeat);
            TMessageBox box;
            box.Set_Text("a <i>b</i>");
            box.Set_Informative_Text(informative);
            QCOMPARE(box.text(), span.arg(600).arg("a <i>b</i>"));
            QCOMPARE(box.informativeText(), span.arg(400).arg(informative));
            box.show();
            QCoreApplication::processEvents();
            QCOMPARE(box.width(), 500);
            box.setMinimumWidth(0); // as a window system would: past the constraints
            box.setMaximumWidth(QWIDGETSIZE_MAX);
            box.resize(800, box.height());
            QCoreApplication::processEvents();
            QCOMPARE(box.width(), 500);
        }
    }
    // The style offers icons on dialog buttons; the box must take them off.
    void Message_Box_No_Icons()
    {
        const QString old_style = QApplication::style()->objectName();
        QApplication::setStyle(new TIcon_Style(QStyleFactory::create("fusion")));
        QMessageBox plain(QMessageBox::NoIcon, "", "", QMessageBox::Yes);
        TMessageBox box;
        box.setStandardButtons(QMessageBox::Yes);
        const bool plain_icon = !plain.button(QMessageBox::Yes)->icon().isNull();
        const bool box_icon = !box.button(QMessageBox::Yes)->icon().isNull();
        QApplication::setStyle(QStyleFactory::create(old_style));
        QVERIFY2(plain_icon, "no icons offered, so the test proves nothing");
        QVERIFY(!box_icon);
    }
    void Message_Box_Exec()
    {
        for (const int button : {0x4000, 0x10000}) // Yes, No
        {
            TMessageBox box;
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(Run_Modal(box, [&]() { box.button(QMessageBox::StandardButton(button))->click(); }),
                     button);
        }
    }
    void Message_Box_Send_Key()
    {
        struct TRecorder : QObject
        {
            QList<int> events; // type, key
            bool eventFilter(QObject*, QEvent* event) override
            {
                if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
                    events << event->type() << static_cast<QKeyEvent*>(event)->key();
                return false;
            }
        } recorder;
        TMessageBox box;
        box.installEventFilter(&recorder);
        box.Send_Key(Qt::Key_F5);
        QCoreApplication::sendPostedEvents(&box);
        QCOMPARE(recorder.events, QList<int>({QEvent::KeyPress, Qt::Key_F5, QEvent::KeyRelease, Qt::Key_F5}));
    }
};

QTEST_MAIN(TTest_Dialogs)
#include "tst_dialogs.moc"
