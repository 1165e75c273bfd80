#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAccessible>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using namespace Test_Support;

// Working the main window without the mouse: the Return chain through the readings, the shortcuts and
// mnemonics, the Tab order and the names a screen reader announces.
class TKeyboardTest : public QObject
{
    Q_OBJECT

    // Shortcuts and focus changes need a shown, active window.
    static void Activate(QWidget* window)
    {
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    static QString Focus_Name() { return QApplication::focusWidget()->objectName(); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        Remove_Data_Directories();
        QVERIFY(Write_Calibration_File({{"T1"}}));
    }

    // Both keys also go with Ctrl, which writes from any field, with the reading being typed.
    void Return_Chain_Reaches_Write_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }

    void Return_Chain_Reaches_Write()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        TVelmora window;
        // Logs into the data directory, which each test starts without.
        Child<QLineEdit>(&window, "Record_Path_Field")->setText(QDir::toNativeSeparators(Data_Directory()));
        Child<QLineEdit>(&window, "Record_File_Field")->setText("log.csv");
        Activate(&window);
        // Reached by Tab, a field's text is selected: typing replaces the stored reading.
        Child<QLineEdit>(&window, "X_Meter_Field")->setFocus(Qt::TabFocusReason);
        const QStringList fields = {"X_Meter_Field", "Y_Meter_Field", "Z_Meter_Field", "Part_Meter_Field"};
        const QStringList readings = {"20.5", "21", "22", "-5"};
        for (int index = 0; index < fields.size(); ++index)
        {
            QCOMPARE(Focus_Name(), fields[index]);
            QTest::keyClicks(QApplication::focusWidget(), readings[index]);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        }
        QCOMPARE(Focus_Name(), QString("Write_Button"));
        QCOMPARE(Corrected_Texts(&window), QStringList({"20.38", "20.88", "21.88", "-5.12"}));

        // Return on Write writes and starts the next round at X.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(Focus_Name(), QString("X_Meter_Field"));
        QCOMPARE(Child<QLineEdit>(&window, "X_Meter_Field")->selectedText(), QString("20.5"));
        QTest::keyClicks(QApplication::focusWidget(), "19");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers) | Qt::ControlModifier);
        QCOMPARE(
            Read_File(Data_Directory() + "/log.csv"),
            QByteArray("Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n"
                       "Position 1,T1,20.38,20.88,21.88,-5.12\nPosition 1,T1,18.88,20.88,21.88,-5.12\n"));
    }

    // As on Linux desktops, the fields claim Ctrl+E to go to the end of the line.
    void Ctrl_E_Opens_The_Correction_Editor()
    {
        TVelmora window;
        Activate(&window);
        QWidget* focus_widget = Child<QWidget>(&window, "X_Meter_Field");
        struct TClaim : QObject
        {
            bool eventFilter(QObject*, QEvent* event) override
            {
                if (event->type() == QEvent::ShortcutOverride)
                {
                    event->accept();
                }
                return false;
            }
        } claim;
        focus_widget->installEventFilter(&claim);
        focus_widget->setFocus();
        QString opened_with;
        Answer_Next_Modal("TCorrectionDialog", [&opened_with](QWidget* dialog) {
            opened_with = Text(dialog, "Description_Edit");
            qobject_cast<QDialog*>(dialog)->reject();
        });
        QTest::keyClick(focus_widget, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(opened_with, QString("T1"));
    }

    // Every menu and every item has a mnemonic of its own within its menu bar or menu, Alt with a menu's
    // opens it from a field; Alt+E, C works the editor from the keys alone.
    void Menu_Mnemonics()
    {
        TVelmora window;
        Activate(&window);
        QStringList titles;
        for (QAction* menu_action : window.menuBar()->actions())
        {
            const QString title_key = QKeySequence::mnemonic(menu_action->text()).toString();
            QVERIFY2(!title_key.isEmpty() && !titles.contains(title_key), qPrintable(menu_action->text()));
            titles << title_key;
            Activate(&window); // again after the last menu closed
            Child<QWidget>(&window, "X_Meter_Field")->setFocus();
            QTest::keySequence(QApplication::focusWidget(), QKeySequence(title_key));
            QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY2(popup != nullptr && popup->title() == menu_action->text(), qPrintable(title_key));
            popup->close();
            QStringList keys;
            for (QAction* action : menu_action->menu()->actions())
            {
                if (action->isSeparator())
                {
                    continue;
                }
                const QString key = QKeySequence::mnemonic(action->text()).toString();
                QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(action->text()));
                keys << key;
            }
            QVERIFY(!keys.isEmpty());
        }
        QCOMPARE(titles.join(' '), QString("Alt+F Alt+E Alt+V Alt+O"));

        Activate(&window);
        Child<QWidget>(&window, "X_Meter_Field")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::AltModifier);
        QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup != nullptr);
        QString opened_with;
        Answer_Next_Modal("TCorrectionDialog", [&opened_with](QWidget* dialog) {
            opened_with = Text(dialog, "Description_Edit");
            qobject_cast<QDialog*>(dialog)->reject();
        });
        QTest::keyClick(popup, Qt::Key_C);
        QCOMPARE(opened_with, QString("T1"));
    }

    // Each control Tab reaches, in the order of the form, with a name of its own for screen readers.
    void Tab_Order_And_Accessible_Names()
    {
        TVelmora window;
        Activate(&window);
        QStringList names;
        QStringList accessible_names;
        Child<QWidget>(&window, "Record_Path_Field")->setFocus(Qt::TabFocusReason);
        for (QWidget* widget = QApplication::focusWidget();
             names.size() < 50 && !names.contains(widget->objectName()); widget = QApplication::focusWidget())
        {
            names << widget->objectName();
            const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty() && !accessible_names.contains(name), qPrintable(name));
            accessible_names << name;
            QTest::keyClick(widget, Qt::Key_Tab);
        }
        QCOMPARE(
            names.join(' '),
            QString("Record_Path_Field Browse_Button Record_File_Field Thermometer_Selector Edit_Button "
                    "Remove_Button Description_Field X_Check_Box X_Meter_Field Y_Check_Box Y_Meter_Field "
                    "Z_Check_Box Z_Meter_Field Part_Check_Box Part_Meter_Field Write_Button "
                    "Evaluate_Corrections_Button Evaluate_Uncertainty_Button Log_Pane X_Corrected_Field "
                    "Y_Corrected_Field Z_Corrected_Field Part_Corrected_Field"));
    }
};

QTEST_MAIN(TKeyboardTest)
#include "tst_keyboard.moc"
