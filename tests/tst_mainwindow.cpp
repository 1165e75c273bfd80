#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace Test_Support;

// The main window keeps its data beside the executable; every test starts without it.
class TMainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init() { Remove_Data_Directories(); }

    void cleanupTestCase() { Remove_Data_Directories(); }

    void First_Start_Creates_Data_Directory_And_Shows_Defaults()
    {
        TVelmora window;

        QVERIFY(QFileInfo(Data_Directory()).isDir());
        QCOMPARE(window.windowTitle(), QString("Velmora - Version 1.1"));
        QCOMPARE(window.size(), QSize(754, 629));
        QCOMPARE(Child<QLineEdit>(&window, "Description_Field")->text(), QString("Position 1"));
        for (const char* name : {"X_Meter_Field", "Y_Meter_Field", "Z_Meter_Field", "Part_Meter_Field"})
        {
            QCOMPARE(Child<QLineEdit>(&window, name)->text(), QString("20.00"));
        }
        for (const char* name : {"X_Check_Box", "Y_Check_Box", "Z_Check_Box", "Part_Check_Box"})
        {
            QVERIFY(Child<QCheckBox>(&window, name)->isChecked());
        }
        QCOMPARE(Child<QLineEdit>(&window, "Record_Path_Field")->text(),
                 QDir::toNativeSeparators(QDir::homePath()));
        QCOMPARE(Child<QLineEdit>(&window, "Record_File_Field")->text(), QString("velmora.csv"));
        for (const char* name :
             {"X_Corrected_Field", "Y_Corrected_Field", "Z_Corrected_Field", "Part_Corrected_Field"})
        {
            QVERIFY(Child<QLineEdit>(&window, name)->isReadOnly());
        }
        QVERIFY(!Log_Lines(&window).join('\n').contains("WAR"));
    }

    void Menus_Hold_Their_Actions()
    {
        TVelmora window;
        const QList<QAction*> menus = window.menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QString("File"));
        QCOMPARE(menus[1]->text(), QString("Edit"));
        QCOMPARE(menus[0]->menu()->actions().size(), 1);
        QCOMPARE(menus[0]->menu()->actions()[0]->text(), QString("Quit"));
        QCOMPARE(menus[1]->menu()->actions().size(), 2);
        QCOMPARE(menus[1]->menu()->actions()[0]->text(), QString("Correction Editor"));
        QCOMPARE(menus[1]->menu()->actions()[1]->text(), QString("Remove Thermometer"));
    }

    void Slots_Keep_Their_Meta_Object_Order()
    {
        const QMetaObject* meta_object = &TVelmora::staticMetaObject;
        QStringList signatures;
        for (int index = meta_object->methodOffset(); index < meta_object->methodCount(); ++index)
        {
            signatures << meta_object->method(index).methodSignature();
        }
        QCOMPARE(signatures, QStringList({"Browse_Path()", "Edit_Thermometer()", "Remove_Thermometer()",
                                          "Thermometer_Selection_Changed(int)", "Temperature_Input_Changed()",
                                          "Write_Temperature_Entry()", "Evaluate_Corrections()",
                                          "Evaluate_Uncertainty()"}));
    }

    void Tab_Order_Follows_The_Form()
    {
        TVelmora window;
        const QStringList expected = {"Record_Path_Field",
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
                                      "Log_Pane"};
        QWidget* widget = Child<QWidget>(&window, "Record_Path_Field");
        for (int index = 1; index < expected.size(); ++index)
        {
            widget = widget->nextInFocusChain();
            while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty())
            {
                widget = widget->nextInFocusChain();
            }
            QCOMPARE(widget->objectName(), expected[index]);
        }
    }

    void Settings_Survive_A_Restart()
    {
        {
            TVelmora window;
            Child<QLineEdit>(&window, "Record_Path_Field")
                ->setText(QDir::toNativeSeparators("/tmp/velmora logs"));
            Child<QLineEdit>(&window, "Record_File_Field")->setText("bench 3.csv");
            Child<QLineEdit>(&window, "Description_Field")->setText("Position 7, left");
            Child<QCheckBox>(&window, "X_Check_Box")->setChecked(false);
            Child<QCheckBox>(&window, "Z_Check_Box")->setChecked(false);
            Child<QLineEdit>(&window, "X_Meter_Field")->setText("19.5");
            Child<QLineEdit>(&window, "Y_Meter_Field")->setText("abc");
            Child<QLineEdit>(&window, "Z_Meter_Field")->setText("21.25");
            Child<QLineEdit>(&window, "Part_Meter_Field")->setText("");
            QVERIFY(window.close());
        }

        QSettings stored(Data_Directory() + "/velmora_settings.ini", QSettings::IniFormat);
        QCOMPARE(stored.value("Current_Path").toString(), QString("/tmp/velmora logs"));
        QCOMPARE(stored.value("Active_Thermometer").toInt(), -1);
        QCOMPARE(stored.allKeys().size(), 12);

        TVelmora window;
        QCOMPARE(Child<QLineEdit>(&window, "Record_Path_Field")->text(),
                 QDir::toNativeSeparators("/tmp/velmora logs"));
        QCOMPARE(Child<QLineEdit>(&window, "Record_File_Field")->text(), QString("bench 3.csv"));
        QCOMPARE(Child<QLineEdit>(&window, "Description_Field")->text(), QString("Position 7, left"));
        QVERIFY(!Child<QCheckBox>(&window, "X_Check_Box")->isChecked());
        QVERIFY(Child<QCheckBox>(&window, "Y_Check_Box")->isChecked());
        QVERIFY(!Child<QCheckBox>(&window, "Z_Check_Box")->isChecked());
        QVERIFY(Child<QCheckBox>(&window, "Part_Check_Box")->isChecked());
        QCOMPARE(Child<QLineEdit>(&window, "X_Meter_Field")->text(), QString("19.5"));
        QCOMPARE(Child<QLineEdit>(&window, "Y_Meter_Field")->text(), QString("abc"));
        QCOMPARE(Child<QLineEdit>(&window, "Z_Meter_Field")->text(), QString("21.25"));
        QCOMPARE(Child<QLineEdit>(&window, "Part_Meter_Field")->text(), QString(""));
    }

    void Quit_Closes_Through_Close_Event()
    {
        std::unique_ptr<TVelmora> window(new TVelmora());
        window->show();
        Child<QLineEdit>(window.get(), "Description_Field")->setText("Quit test");
        QAction* quit = window->menuBar()->actions()[0]->menu()->actions()[0];
        quit->trigger();
        QVERIFY(!window->isVisible());
        window.reset();

        QSettings stored(Data_Directory() + "/velmora_settings.ini", QSettings::IniFormat);
        QCOMPARE(stored.value("Description").toString(), QString("Quit test"));
    }

    void Long_Log_Keeps_Last_Line_In_View()
    {
        TVelmora window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPlainTextEdit* pane = Child<QPlainTextEdit>(&window, "Log_Pane");
        for (int line = 0; line < 300; ++line)
        {
            window.Log_Message(QString("INF  line %1 %2").arg(line).arg(QString(200, 'x')));
        }
        QCOMPARE(Log_Lines(&window).last(), QString("INF  line 299 %1").arg(QString(200, 'x')));
        QVERIFY(pane->verticalScrollBar()->maximum() > 0);
        QCOMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
        QVERIFY(pane->textCursor().atEnd());
        QCOMPARE(pane->horizontalScrollBar()->value(), 0);
    }

    void Unusable_Data_Directory_Falls_Back_To_User_Directory_data()
    {
        QTest::addColumn<bool>("blocked_by_file");
        QTest::newRow("a file named .velmora") << true;
        QTest::newRow("a read-only .velmora") << false;
    }

    void Unusable_Data_Directory_Falls_Back_To_User_Directory()
    {
        QFETCH(bool, blocked_by_file);
        if (blocked_by_file)
        {
            QFile blocker(Data_Directory());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        else
        {
            if (geteuid() == 0)
            {
                QSKIP("root writes into read-only directories");
            }
            QVERIFY(QDir().mkpath(Data_Directory()));
            QVERIFY(QFile::setPermissions(Data_Directory(), QFile::ReadOwner | QFile::ExeOwner));
        }

        const QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        {
            TVelmora window;
            const QString expected =
                QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                    .arg(QDir::toNativeSeparators(Data_Directory()), QDir::toNativeSeparators(fallback));
            QVERIFY2(Log_Lines(&window).contains(expected), qPrintable(Log_Lines(&window).join('\n')));
            Child<QLineEdit>(&window, "Description_Field")->setText("kept");
            window.close();
        }
        QSettings stored(fallback + "/velmora_settings.ini", QSettings::IniFormat);
        QCOMPARE(stored.value("Description").toString(), QString("kept"));

        if (!blocked_by_file)
        {
            QFile::setPermissions(Data_Directory(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
};

QTEST_MAIN(TMainWindowTest)
#include "tst_mainwindow.moc"
