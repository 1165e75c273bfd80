#include "correctiondialog.h"
#include "inputdialog.h"
#include "messagebox.h"

#include <QApplication>
#include <QBuffer>
#include <QDateEdit>
#include <QDomDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace
{

const QStringList Temperature_Edit_Names = {"Reference_Temperature1_Edit", "Thermometer_Reading1_Edit",
                                            "Reference_Temperature2_Edit", "Thermometer_Reading2_Edit",
                                            "Reference_Temperature3_Edit", "Thermometer_Reading3_Edit"};

TCorrectionDialogData Valid_Record()
{
    TCorrectionDialogData record;
    record.reference_temperature1 = 15.0;
    record.reference_temperature2 = 20.0;
    record.reference_temperature3 = 25.0;
    record.thermometer_reading1 = 15.1;
    record.thermometer_reading2 = 20.05;
    record.thermometer_reading3 = 24.98;
    record.description = "Probe 7";
    record.calibration_due_date = QDate(2030, 12, 31);
    return record;
}

const QStringList Other_Descriptions = {"Probe 1", "Probe 2"};

bool Accept_Enabled(const QDialog& dialog)
{
    return dialog.findChild<QPushButton*>("Accept_Button")->isEnabled();
}

// Replaces the text as the operator would, so that textEdited is emitted for every key.
void Type_Over(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// A field named "date" takes an ISO date; any other name is a line edit of the dialog.
void Change_Field(QDialog& dialog, const QString& field, const QString& text)
{
    if (field == "date")
    {
        dialog.findChild<QDateEdit*>("Calibration_Due_Date_Edit")
            ->setDate(QDate::fromString(text, Qt::ISODate));
    }
    else
    {
        QLineEdit* edit = dialog.findChild<QLineEdit*>(field);
        Type_Over(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
}

// Runs exec with the action applied to the modal dialog from within its event loop. Should the
// action leave the dialog open, it is ended with -1 so that a fault cannot hang the suite.
int Run_Modal(QDialog& dialog, const std::function<void(QWidget*)>& action)
{
    QTimer::singleShot(0, &dialog,
                       [&dialog, action]()
                       {
                           action(QApplication::activeModalWidget());
                           QTimer::singleShot(0, &dialog,
                                              [&dialog]()
                                              {
                                                  if (dialog.isVisible())
                                                  {
                                                      dialog.done(-1);
                                                  }
                                              });
                       });
    return dialog.exec();
}

// The way the calibration file stores a description: a text node under the XML layer's null-node
// policy, saved indented as UTF-8 and parsed back; the loader takes the first child as the text.
bool Survives_Calibration_File(const QString& text)
{
    const QDomImplementation::InvalidDataPolicy Old_Policy = QDomImplementation::invalidDataPolicy();
    QDomImplementation::setInvalidDataPolicy(QDomImplementation::ReturnNullNode);
    QDomDocument document;
    document.appendChild(document.createProcessingInstruction("xml", "version=\"1.0\" encoding=\"utf-8\""));
    QDomElement root = document.createElement("Thermometer_Calibration_Data");
    document.appendChild(root);
    QDomElement entry = root.appendChild(document.createElement("Entry")).toElement();
    QDomElement description = entry.appendChild(document.createElement("Description")).toElement();
    const QDomText text_node = document.createTextNode(text);
    QDomImplementation::setInvalidDataPolicy(Old_Policy);
    if (text_node.isNull())
    {
        return false;
    }
    description.appendChild(text_node);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly | QIODevice::Text);
    QTextStream stream(&buffer);
    document.save(stream, 4, QDomNode::EncodingFromDocument);
    stream.flush();
    buffer.close();

    QDomDocument read_back;
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    if (!read_back.setContent(&buffer, true))
    {
        return false;
    }
    const QDomNode first =
        read_back.documentElement().firstChildElement("Entry").firstChildElement("Description").firstChild();
    return first.isCharacterData() && first.nodeValue() == text;
}

// Offers icons on dialog buttons, so that the test sees the box remove them.
class TIcon_Style : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* return_data) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
        {
            return 1;
        }
        return QProxyStyle::styleHint(hint, option, widget, return_data);
    }
};

} // namespace

class TTest_Dialogs : public QObject
{
    Q_OBJECT

private slots:
    void Correction_Opens_Disabled();
    void Correction_Field_Rules_data();
    void Correction_Field_Rules();
    void Correction_Judges_Whole_Dialog_data();
    void Correction_Judges_Whole_Dialog();
    void Correction_Description_Characters_data();
    void Correction_Description_Characters();
    void Correction_Values_Shown_As_Read_Back_data();
    void Correction_Values_Shown_As_Read_Back();
    void Correction_Exec_Results_data();
    void Correction_Exec_Results();
    void Correction_Tab_Order();

    void Input_Rules_data();
    void Input_Rules();
    void Input_Set_Value_Keeps_Accept_State();
    void Input_Set_Value_Two_Decimals_data();
    void Input_Set_Value_Two_Decimals();
    void Input_Exec_Results_data();
    void Input_Exec_Results();

    void Message_Box_Width_data();
    void Message_Box_Width();
    void Message_Box_Texts_data();
    void Message_Box_Texts();
    void Message_Box_Buttons();
    void Message_Box_Exec_Results_data();
    void Message_Box_Exec_Results();
    void Message_Box_Send_Key();

    void cleanup() { QLocale::setDefault(QLocale::c()); }
};

void TTest_Dialogs::Correction_Opens_Disabled()
{
    TCorrectionDialog dialog;
    dialog.Set_Dialog_Data(Valid_Record(), Other_Descriptions);
    QVERIFY(!Accept_Enabled(dialog));
    Change_Field(dialog, "Description_Edit", "Probe 8");
    QVERIFY(Accept_Enabled(dialog));

    // A new date makes the date edit report a change while the data are set.
    TCorrectionDialogData record = Valid_Record();
    record.calibration_due_date = QDate(2031, 6, 1);
    dialog.Set_Dialog_Data(record, Other_Descriptions);
    QVERIFY(!Accept_Enabled(dialog));
}

void TTest_Dialogs::Correction_Field_Rules_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    const auto Row = [](const char* name, const char* field, const char* text, bool enabled)
    { QTest::newRow(name) << QString(field) << QString(text) << enabled; };

    Row("new description", "Description_Edit", "Probe 8", true);
    Row("own description kept", "Description_Edit", "Probe 7", true);
    Row("duplicate", "Description_Edit", "Probe 1", false);
    Row("duplicate, other case", "Description_Edit", "pROBE 2", false);
    Row("empty description", "Description_Edit", "", false);
    Row("blanks only", "Description_Edit", "   ", false);
    Row("40", "Reference_Temperature1_Edit", "40", true);
    Row("0", "Thermometer_Reading3_Edit", "0", true);
    Row("40.01", "Reference_Temperature2_Edit", "40.01", false);
    Row("-0.5", "Thermometer_Reading1_Edit", "-0.5", false);
    Row("not a number", "Thermometer_Reading2_Edit", "abc", false);
    Row("comma", "Reference_Temperature3_Edit", "20,5", false);
    Row("empty temperature", "Reference_Temperature1_Edit", "", false);
    Row("inf", "Reference_Temperature1_Edit", "inf", false);
    Row("nan", "Thermometer_Reading1_Edit", "nan", false);
}

void TTest_Dialogs::Correction_Field_Rules()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(bool, enabled);

    TCorrectionDialog dialog;
    dialog.Set_Dialog_Data(Valid_Record(), Other_Descriptions);
    Change_Field(dialog, field, text);
    QCOMPARE(Accept_Enabled(dialog), enabled);
}

void TTest_Dialogs::Correction_Judges_Whole_Dialog_data()
{
    QTest::addColumn<QString>("first_field");
    QTest::addColumn<QString>("first_text");
    QTest::addColumn<QString>("second_field");
    QTest::addColumn<QString>("second_text");
    QTest::addColumn<bool>("enabled");
    const auto Row = [](const char* name, const char* field1, const char* text1, const char* field2,
                        const char* text2, bool enabled) {
        QTest::newRow(name) << QString(field1) << QString(text1) << QString(field2) << QString(text2)
                            << enabled;
    };

    Row("duplicate, then date", "Description_Edit", "probe 1", "date", "2031-01-01", false);
    Row("empty, then temperature", "Description_Edit", "", "Reference_Temperature1_Edit", "20", false);
    Row("blanks, then date", "Description_Edit", "  ", "date", "2031-01-01", false);
    Row("41, then description", "Reference_Temperature2_Edit", "41", "Description_Edit", "Probe 9", false);
    Row("-1, then other temperature", "Thermometer_Reading3_Edit", "-1", "Reference_Temperature1_Edit", "20",
        false);
    Row("text, then date", "Thermometer_Reading2_Edit", "x", "date", "2031-01-01", false);
    Row("date only", "date", "2031-01-01", "date", "2031-02-01", true);
    Row("date in the past", "date", "2000-01-01", "date", "1999-12-31", true);
    Row("41 mended", "Reference_Temperature2_Edit", "41", "Reference_Temperature2_Edit", "39", true);
}

void TTest_Dialogs::Correction_Judges_Whole_Dialog()
{
    QFETCH(QString, first_field);
    QFETCH(QString, first_text);
    QFETCH(QString, second_field);
    QFETCH(QString, second_text);
    QFETCH(bool, enabled);

    TCorrectionDialog dialog;
    dialog.Set_Dialog_Data(Valid_Record(), Other_Descriptions);
    Change_Field(dialog, first_field, first_text);
    Change_Field(dialog, second_field, second_text);
    QCOMPARE(Accept_Enabled(dialog), enabled);
}

void TTest_Dialogs::Correction_Description_Characters_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("accepted");

    const auto With = [](char16_t code) { return QString("Probe") + QChar(code) + "1"; };
    QTest::newRow("plain") << "Probe 1a" << true << true;
    QTest::newRow("markup characters") << "<a&b>\"c'd]]>" << true << true;
    QTest::newRow("outer blanks") << "  Probe 3 " << true << true;
    QTest::newRow("e acute") << With(0x00E9) << true << true;
    QTest::newRow("DEL") << With(0x007F) << true << true;
    QTest::newRow("U+0085") << With(0x0085) << true << true;
    QTest::newRow("no-break space inside") << With(0x00A0) << true << true;
    QTest::newRow("U+2028") << With(0x2028) << true << true;
    QTest::newRow("U+E000") << With(0xE000) << true << true;
    QTest::newRow("U+FDD0") << With(0xFDD0) << true << true;
    QTest::newRow("U+FFFD") << With(0xFFFD) << true << true;
    QTest::newRow("U+0000") << With(0x0000) << false << false;
    QTest::newRow("U+0001") << With(0x0001) << false << false;
    QTest::newRow("U+001F") << With(0x001F) << false << false;
    QTest::newRow("U+FFFE") << With(0xFFFE) << false << false;
    QTest::newRow("U+FFFF") << With(0xFFFF) << false << false;
    QTest::newRow("lone high surrogate") << With(0xD800) << false << false;
    QTest::newRow("lone low surrogate") << With(0xDFFF) << false << false;
    QTest::newRow("surrogate pair") << QString("Probe") + QString::fromUcs4(U"\U0001F321") << false << false;
    QTest::newRow("blanks only") << "   " << false << false;
    QTest::newRow("no-break space only") << QString(QChar(0x00A0)) << false << false;
    // These three survive the file, but a one-line description has no use for them.
    QTest::newRow("tab") << With(0x0009) << true << false;
    QTest::newRow("line feed") << With(0x000A) << true << false;
    QTest::newRow("carriage return") << With(0x000D) << true << false;
}

void TTest_Dialogs::Correction_Description_Characters()
{
    QFETCH(QString, description);
    QFETCH(bool, stored);
    QFETCH(bool, accepted);

    QCOMPARE(Survives_Calibration_File(description), stored);
    TCorrectionDialog dialog;
    dialog.Set_Dialog_Data(Valid_Record(), Other_Descriptions);
    dialog.findChild<QLineEdit*>("Description_Edit")->setText(description);
    QVERIFY(QMetaObject::invokeMethod(&dialog, "Description_Changed"));
    QCOMPARE(Accept_Enabled(dialog), accepted);
}

void TTest_Dialogs::Correction_Values_Shown_As_Read_Back_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("C") << "C";
    QTest::newRow("German") << "de_DE";
}

void TTest_Dialogs::Correction_Values_Shown_As_Read_Back()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));

    TCorrectionDialogData record = Valid_Record();
    record.reference_temperature1 = 20.004;
    record.thermometer_reading1 = 0.123;
    record.reference_temperature2 = 20.0;
    record.thermometer_reading2 = 1234.5;
    record.reference_temperature3 = -0.5;
    record.description = " Probe 7 ";
    TCorrectionDialog dialog;
    dialog.Set_Dialog_Data(record, Other_Descriptions);

    QStringList shown;
    for (const QString& name : Temperature_Edit_Names)
    {
        shown << dialog.findChild<QLineEdit*>(name)->text();
    }
    QCOMPARE(shown, QStringList({"20.00", "0.12", "20.00", "1234.50", "-0.50", "24.98"}));

    TCorrectionDialogData read_back;
    dialog.Get_Dialog_Data(&read_back);
    QCOMPARE(read_back.reference_temperature1, 20.0);
    QCOMPARE(read_back.thermometer_reading1, 0.12);
    QCOMPARE(read_back.thermometer_reading2, 1234.5);
    QCOMPARE(read_back.reference_temperature3, -0.5);
    QCOMPARE(read_back.thermometer_reading3, 24.98);
    QCOMPARE(read_back.description, QString(" Probe 7 "));
    QCOMPARE(read_back.calibration_due_date, QDate(2030, 12, 31));

    // Operator input is read with a full stop whatever the locale.
    Change_Field(dialog, "Reference_Temperature2_Edit", "20.5");
    Change_Field(dialog, "Thermometer_Reading2_Edit", "20.75");
    Change_Field(dialog, "Reference_Temperature3_Edit", "25");
    QVERIFY(Accept_Enabled(dialog));
    dialog.Get_Dialog_Data(&read_back);
    QCOMPARE(read_back.reference_temperature2, 20.5);
    QCOMPARE(read_back.thermometer_reading2, 20.75);
}

void TTest_Dialogs::Correction_Exec_Results_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("accept") << "accept" << 1;
    QTest::newRow("cancel") << "cancel" << 0;
    QTest::newRow("close") << "close" << 0;
    QTest::newRow("return, then cancel") << "return" << 0;
}

void TTest_Dialogs::Correction_Exec_Results()
{
    QFETCH(QString, action);
    QFETCH(int, result);

    TCorrectionDialog dialog;
    dialog.Set_Dialog_Data(Valid_Record(), Other_Descriptions);
    const int Result =
        Run_Modal(dialog,
                  [&dialog, &action](QWidget* modal)
                  {
                      QCOMPARE(modal, &dialog);
                      Change_Field(dialog, "Description_Edit", "Probe 8");
                      if (action == "accept")
                      {
                          QTest::mouseClick(dialog.findChild<QPushButton*>("Accept_Button"), Qt::LeftButton);
                      }
                      else if (action == "close")
                      {
                          dialog.close();
                      }
                      else
                      {
                          if (action == "return")
                          {
                              // No button is the default: Return with "Accept" enabled leaves the dialog
                              // open.
                              QVERIFY(Accept_Enabled(dialog));
                              QVERIFY(dialog.isVisible());
                          }
                          QTest::mouseClick(dialog.findChild<QPushButton*>("Cancel_Button"), Qt::LeftButton);
                      }
                  });
    QCOMPARE(Result, result);
}

void TTest_Dialogs::Correction_Tab_Order()
{
    TCorrectionDialog dialog;
    dialog.Set_Dialog_Data(Valid_Record(), Other_Descriptions);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.findChild<QLineEdit*>("Description_Edit")->setFocus();

    // Tab also steps through the sections of the date, so a widget may hold the focus for
    // several presses.
    QStringList order;
    for (int step = 0; step < 20 && order.size() < 10; ++step)
    {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr);
        QWidget* named = qobject_cast<QDateEdit*>(focus->parentWidget()) ? focus->parentWidget() : focus;
        if (order.isEmpty() || order.last() != named->objectName())
        {
            order << named->objectName();
        }
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"Description_Edit", "Calibration_Due_Date_Edit"}) + Temperature_Edit_Names +
                        QStringList({"Cancel_Button", "Accept_Button"}));
}

void TTest_Dialogs::Input_Rules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("0.99") << "0.99" << true;
    QTest::newRow("0") << "0" << true;
    QTest::newRow("1") << "1" << false;
    QTest::newRow("1.5") << "1.5" << false;
    QTest::newRow("-0.01") << "-0.01" << false;
    QTest::newRow("not a number") << "abc" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("nan") << "nan" << false;
    QTest::newRow("-inf") << "-inf" << false;
}

void TTest_Dialogs::Input_Rules()
{
    QFETCH(QString, text);
    QFETCH(bool, enabled);

    TInputDialog dialog;
    QLineEdit* edit = dialog.findChild<QLineEdit*>("Value_Edit");
    // Start from the opposite state, so that the entry itself must change it.
    Type_Over(edit, enabled ? "2" : "0.5");
    QCOMPARE(Accept_Enabled(dialog), !enabled);
    Type_Over(edit, text);
    QCOMPARE(Accept_Enabled(dialog), enabled);
}

void TTest_Dialogs::Input_Set_Value_Keeps_Accept_State()
{
    TInputDialog dialog;
    QLineEdit* edit = dialog.findChild<QLineEdit*>("Value_Edit");
    QTest::keyClicks(edit, "x");
    QVERIFY(!Accept_Enabled(dialog));
    dialog.Set_Value(0.5);
    QCOMPARE(edit->text(), QString("0.50"));
    QVERIFY(!Accept_Enabled(dialog));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QVERIFY(Accept_Enabled(dialog));
    QCOMPARE(dialog.Get_Value(), 0.5);
}

void TTest_Dialogs::Input_Set_Value_Two_Decimals_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("locale");
    const auto Row = [](const char* name, double value, const char* shown, const char* locale)
    { QTest::newRow(name) << value << QString(shown) << QString(locale); };
    Row("0.123", 0.123, "0.12", "C");
    Row("0.1", 0.1, "0.10", "C");
    Row("0.04", 0.04, "0.04", "C");
    Row("0.123 German", 0.123, "0.12", "de_DE");
    Row("1234.5 German", 1234.5, "1234.50", "de_DE");
}

void TTest_Dialogs::Input_Set_Value_Two_Decimals()
{
    QFETCH(double, value);
    QFETCH(QString, shown);
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));

    TInputDialog dialog;
    dialog.Set_Value(value);
    QCOMPARE(dialog.findChild<QLineEdit*>("Value_Edit")->text(), shown);
    QCOMPARE(dialog.Get_Value(), shown.toDouble());
}

void TTest_Dialogs::Input_Exec_Results_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::addColumn<double>("value");
    const auto Row = [](const char* name, const char* text, const char* action, int result, double value)
    { QTest::newRow(name) << QString(text) << QString(action) << result << value; };
    Row("accept", "0.3", "accept", 1, 0.3);
    Row("return", "0.25", "return", 1, 0.25);
    Row("return with 1.5, then cancel", "1.5", "return", 0, 1.5);
    Row("cancel", "0.3", "cancel", 0, 0.3);
    Row("close", "0.3", "close", 0, 0.3);
}

void TTest_Dialogs::Input_Exec_Results()
{
    QFETCH(QString, text);
    QFETCH(QString, action);
    QFETCH(int, result);
    QFETCH(double, value);

    TInputDialog dialog;
    dialog.Set_Value(0.1);
    const int Result = Run_Modal(
        dialog,
        [&dialog, &text, &action](QWidget* modal)
        {
            QCOMPARE(modal, &dialog);
            QLineEdit* edit = dialog.findChild<QLineEdit*>("Value_Edit");
            Type_Over(edit, text);
            if (action == "return")
            {
                QTest::keyClick(edit, Qt::Key_Return);
                if (dialog.isVisible())
                {
                    QTest::mouseClick(dialog.findChild<QPushButton*>("Cancel_Button"), Qt::LeftButton);
                }
            }
            else if (action == "close")
            {
                dialog.close();
            }
            else
            {
                const QString Button = action == "accept" ? "Accept_Button" : "Cancel_Button";
                QTest::mouseClick(dialog.findChild<QPushButton*>(Button), Qt::LeftButton);
            }
        });
    QCOMPARE(Result, result);
    QCOMPARE(dialog.Get_Value(), value);
}

void TTest_Dialogs::Message_Box_Width_data()
{
    QTest::addColumn<int>("repeat");
    QTest::addColumn<bool>("resize");
    QTest::newRow("short text") << 1 << false;
    QTest::newRow("long text") << 12 << false;
    QTest::newRow("short text, resized") << 1 << true;
    QTest::newRow("long text, resized") << 12 << true;
}

void TTest_Dialogs::Message_Box_Width()
{
    QFETCH(int, repeat);
    QFETCH(bool, resize);

    TMessageBox box;
    box.Set_Text("Remove Thermometer");
    box.Set_Informative_Text(
        QString("Are you sure you want to delete the current thermometer? ").repeated(repeat));
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.show();
    QCoreApplication::processEvents();
    QCOMPARE(box.width(), 500);
    if (resize)
    {
        // As a window system would: past the width constraints.
        box.setMinimumWidth(0);
        box.setMaximumWidth(QWIDGETSIZE_MAX);
        box.resize(800, box.height());
        QCoreApplication::processEvents();
        QCOMPARE(box.width(), 500);
    }
    // The height follows the wrapped text.
    const QLabel* label = box.findChild<QLabel*>("qt_msgbox_informativelabel");
    QVERIFY(label->height() >= label->heightForWidth(label->width()));
}

void TTest_Dialogs::Message_Box_Texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("plain");
    const auto Row = [](const char* name, const char* text, const char* plain)
    { QTest::newRow(name) << QString(text) << QString(plain); };
    Row("words", "Remove Thermometer", "Remove Thermometer");
    Row("empty", "", "");
    Row("markup takes effect", "a <i>b</i>", "a b");
    Row("placeholder kept", "50% %1", "50% %1");
}

void TTest_Dialogs::Message_Box_Texts()
{
    QFETCH(QString, text);
    QFETCH(QString, plain);

    TMessageBox box;
    box.Set_Text(text);
    box.Set_Informative_Text(text);
    QCOMPARE(box.text(),
             "<span style=\"font-size:10pt; font-weight:600; color:#000000;\" >" + text + "</span>");
    QCOMPARE(box.informativeText(),
             "<span style=\"font-size:10pt; font-weight:400; color:#000000;\" >" + text + "</span>");

    // Qt 5 maps a CSS weight w to w / 8: 600 to bold, 400 to normal.
    const QList<QPair<QString, int>> Texts = {{box.text(), QFont::Bold},
                                              {box.informativeText(), QFont::Normal}};
    for (const auto& text_and_weight : Texts)
    {
        QTextDocument document;
        document.setHtml(text_and_weight.first);
        QCOMPARE(document.toPlainText(), plain);
        if (!plain.isEmpty())
        {
            QTextCursor cursor(&document);
            cursor.movePosition(QTextCursor::NextCharacter);
            QCOMPARE(cursor.charFormat().fontPointSize(), 10.0);
            QCOMPARE(cursor.charFormat().fontWeight(), text_and_weight.second);
            QCOMPARE(cursor.charFormat().foreground().color(), QColor(Qt::black));
        }
    }
}

void TTest_Dialogs::Message_Box_Buttons()
{
    const QString Old_Style = QApplication::style()->objectName();
    QApplication::setStyle(new TIcon_Style(QStyleFactory::create("fusion")));

    QMessageBox plain;
    TMessageBox box;
    for (QMessageBox* each : {&plain, static_cast<QMessageBox*>(&box)})
    {
        each->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        each->show();
    }
    QCoreApplication::processEvents();
    const bool Plain_Icons = !plain.button(QMessageBox::Yes)->icon().isNull();
    const bool Box_Icons =
        !box.button(QMessageBox::Yes)->icon().isNull() || !box.button(QMessageBox::No)->icon().isNull();
    const bool Plain_Yes_First = plain.button(QMessageBox::Yes)->x() < plain.button(QMessageBox::No)->x();
    const bool Box_No_First = box.button(QMessageBox::No)->x() < box.button(QMessageBox::Yes)->x();
    plain.hide();
    box.hide();
    QApplication::setStyle(QStyleFactory::create(Old_Style));

    QVERIFY2(Plain_Icons, "the style offers no icons, so the test proves nothing");
    QVERIFY(!Box_Icons);
    QVERIFY2(Plain_Yes_First, "the style's own order is already the box's");
    QVERIFY(Box_No_First);
}

void TTest_Dialogs::Message_Box_Exec_Results_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("Yes") << "yes" << 0x4000;
    QTest::newRow("No") << "no" << 0x10000;
    QTest::newRow("Escape sent") << "escape" << 0x10000;
}

void TTest_Dialogs::Message_Box_Exec_Results()
{
    QFETCH(QString, action);
    QFETCH(int, result);

    TMessageBox box;
    box.Set_Text("Remove Thermometer");
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    const int Result =
        Run_Modal(box,
                  [&box, &action](QWidget* modal)
                  {
                      QCOMPARE(modal, &box);
                      if (action == "yes" || action == "no")
                      {
                          QTest::mouseClick(box.button(action == "yes" ? QMessageBox::Yes : QMessageBox::No),
                                            Qt::LeftButton);
                      }
                      else
                      {
                          box.Send_Key(Qt::Key_Escape);
                      }
                  });
    QCOMPARE(Result, result);
}

void TTest_Dialogs::Message_Box_Send_Key()
{
    class TKey_Recorder : public QObject
    {
    public:
        QList<QKeyEvent> events;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            {
                events << *static_cast<QKeyEvent*>(event);
            }
            return false;
        }
    } recorder;

    TMessageBox box;
    box.installEventFilter(&recorder);
    box.Send_Key(Qt::Key_F5);
    QVERIFY(recorder.events.isEmpty());
    QCoreApplication::sendPostedEvents(&box);
    QCOMPARE(recorder.events.size(), 2);
    QCOMPARE(recorder.events[0].type(), QEvent::KeyPress);
    QCOMPARE(recorder.events[1].type(), QEvent::KeyRelease);
    for (const QKeyEvent& event : recorder.events)
    {
        QCOMPARE(event.key(), int(Qt::Key_F5));
        QCOMPARE(event.modifiers(), Qt::NoModifier);
        QVERIFY(event.text().isEmpty());
        QVERIFY(!event.isAutoRepeat());
        QCOMPARE(event.count(), 1);
    }
}

QTEST_MAIN(TTest_Dialogs)
#include "tst_dialogs.moc"
