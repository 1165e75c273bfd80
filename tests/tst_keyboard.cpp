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

    static QString Log_File() { return Data_Directory() + "/log.csv"; }

    // Logs into the data directory, which each test starts without.
    static void Set_Log_File(QWidget* window)
    {
        Child<QLineEdit>(window, "Record_Path_Field")->setText(QDir::toNativeSeparators(Data_Directory()));
        Child<QLineEdit>(window, "Record_File_Field")->setText("log.csv");
    }

    // Every widget Tab reaches, in order, starting at the record path and ending before it comes round.
    static QWidgetList Tab_Cycle(QWidget* window)
    {
        QWidget* first = Child<QWidget>(window, "Record_Path_Field");
        first->setFocus(Qt::TabFocusReason);
        QWidgetList cycle;
        for (QWidget* focus = first; cycle.size() < 50 && !cycle.contains(focus);
             focus = QApplication::focusWidget())
        {
            cycle << focus;
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        return cycle;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        Remove_Data_Directories();
        QVERIFY(Write_Calibration_File({{"T1"}}));
    }

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
        Set_Log_File(&window);
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
        QCOMPARE(Read_File(Log_File()), QByteArray("Measurement Description,Thermometer,X Temp. C,Y Temp. "
                                                   "C,Z Temp. C,Part Temp. C\nPosition 1,T1,20.38,20.88,"
                                                   "21.88,-5.12\n"));
        QCOMPARE(Focus_Name(), QString("X_Meter_Field"));
        QCOMPARE(Child<QLineEdit>(&window, "X_Meter_Field")->selectedText(), QString("20.5"));
    }

    void Write_Shortcut_Logs_The_Reading_Being_Typed_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+keypad Enter")
            << int(Qt::Key_Enter) << int(Qt::ControlModifier | Qt::KeypadModifier);
    }

    void Write_Shortcut_Logs_The_Reading_Being_Typed()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        TVelmora window;
        Set_Log_File(&window);
        Activate(&window);
        QLineEdit* part = Child<QLineEdit>(&window, "Part_Meter_Field");
        part->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(part, "-5");
        QTest::keyClick(part, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(Read_File(Log_File()).split('\n').value(1),
                 QByteArray("Position 1,T1,19.88,19.88,19.88,-5.12"));
    }

    void Ctrl_E_Opens_The_Correction_Editor_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("field_claims_key");
        QTest::newRow("from a reading") << "X_Meter_Field" << false;
        // As on Linux desktops, where a line edit takes Ctrl+E to go to the end of the line.
        QTest::newRow("from a field that claims Ctrl+E") << "Description_Field" << true;
        QTest::newRow("from the thermometer list") << "Thermometer_Selector" << false;
    }

    void Ctrl_E_Opens_The_Correction_Editor()
    {
        QFETCH(QString, focus);
        QFETCH(bool, field_claims_key);
        TVelmora window;
        Activate(&window);
        QWidget* focus_widget = Child<QWidget>(&window, qPrintable(focus));
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
        if (field_claims_key)
        {
            focus_widget->installEventFilter(&claim);
        }
        focus_widget->setFocus();
        QString opened_with;
        Answer_Next_Modal("TCorrectionDialog", [&opened_with](QWidget* dialog) {
            opened_with = Text(dialog, "Description_Edit");
            qobject_cast<QDialog*>(dialog)->reject();
        });
        QTest::keyClick(focus_widget, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(opened_with, QString("T1"));
    }

    void Alt_Key_Opens_Menu_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("menu");
        QTest::newRow("Alt+F") << int(Qt::Key_F) << "&File";
        QTest::newRow("Alt+E") << int(Qt::Key_E) << "&Edit";
    }

    void Alt_Key_Opens_Menu()
    {
        QFETCH(int, key);
        QFETCH(QString, menu);
        TVelmora window;
        Activate(&window);
        Child<QWidget>(&window, "X_Meter_Field")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::AltModifier);
        QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup != nullptr);
        QCOMPARE(popup->title(), menu);
        popup->close();
    }

    void Tab_Order_Is_Unchanged()
    {
        TVelmora window;
        Activate(&window);
        QStringList names;
        for (const QWidget* widget : Tab_Cycle(&window))
        {
            names << widget->objectName();
        }
        QCOMPARE(names, QStringList({"Record_Path_Field",
                                     "Browse_Button",
                                     "Record_File_Field",
                                     "Thermometer_Selector",
                                     "Edit_Button",
                                     "Remove_Button",
                                     "Description_Field",
                                     "X_Check_Box",
                                     "X_Meter_Field",
                                     "Y_Check_Box",
                                     "Y_Meter_Field",
                                     "Z_Check_Box",
                                     "Z_Meter_Field",
                                     "Part_Check_Box",
                                     "Part_Meter_Field",
                                     "Write_Button",
                                     "Evaluate_Corrections_Button",
                                     "Evaluate_Uncertainty_Button",
                                     "Log_Pane",
                                     "X_Corrected_Field",
                                     "Y_Corrected_Field",
                                     "Z_Corrected_Field",
                                     "Part_Corrected_Field"}));
    }

    void Every_Control_Has_Its_Own_Accessible_Name()
    {
        TVelmora window;
        Activate(&window);
        QStringList names;
        for (QWidget* widget : Tab_Cycle(&window))
        {
            const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName()));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names << name;
        }
    }
};

QTEST_MAIN(TKeyboardTest)
#include "tst_keyboard.moc"
