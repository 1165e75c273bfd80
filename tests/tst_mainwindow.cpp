#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QMenuBar>
#include <QScrollBar>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace Test_Support;

// Start-up, settings and the data directory of the main window.
class TMainWindowTest : public QObject
{
    Q_OBJECT

    const QStringList Meter_Fields = {"X_Meter_Field", "Y_Meter_Field", "Z_Meter_Field", "Part_Meter_Field"};
    const QStringList Check_Boxes = {"X_Check_Box", "Y_Check_Box", "Z_Check_Box", "Part_Check_Box"};

    QString Stored(const QString& directory, const QString& key)
    {
        return QSettings(directory + "/velmora_settings.ini", QSettings::IniFormat).value(key).toString();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Remove_Data_Directories(); }
    void cleanupTestCase() { Remove_Data_Directories(); }

    void First_Start_Shows_Defaults()
    {
        TVelmora window;
        QVERIFY(QFileInfo(Data_Directory()).isDir());
        QCOMPARE(window.windowTitle(), QString("Velmora - Version 1.1"));
        QCOMPARE(Text(&window, "Description_Field"), QString("Position 1"));
        QCOMPARE(Text(&window, "Record_Path_Field"), QDir::toNativeSeparators(QDir::homePath()));
        QCOMPARE(Text(&window, "Record_File_Field"), QString("velmora.csv"));
        for (int axis = 0; axis < 4; ++axis)
        {
            QCOMPARE(Text(&window, qPrintable(Meter_Fields[axis])), QString("20.00"));
            QVERIFY(Child<QCheckBox>(&window, qPrintable(Check_Boxes[axis]))->isChecked());
        }
        QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "-----", "-----", "-----"}));
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

    void Settings_Survive_A_Restart()
    {
        const QStringList meter_texts = {"19.5", "abc", "21.25", ""};
        {
            TVelmora window;
            Child<QLineEdit>(&window, "Record_Path_Field")
                ->setText(QDir::toNativeSeparators("/tmp/velmora logs"));
            Child<QLineEdit>(&window, "Record_File_Field")->setText("bench 3.csv");
            Child<QLineEdit>(&window, "Description_Field")->setText("Position 7, left");
            for (int axis = 0; axis < 4; ++axis)
            {
                Child<QCheckBox>(&window, qPrintable(Check_Boxes[axis]))->setChecked(axis % 2 == 1);
                Child<QLineEdit>(&window, qPrintable(Meter_Fields[axis]))->setText(meter_texts[axis]);
            }
            QVERIFY(window.close());
        }
        QCOMPARE(Stored(Data_Directory(), "Current_Path"), QString("/tmp/velmora logs"));
        QCOMPARE(Stored(Data_Directory(), "Active_Thermometer"), QString("-1"));
        QCOMPARE(QSettings(Data_Directory() + "/velmora_settings.ini", QSettings::IniFormat).allKeys().size(),
                 12);

        TVelmora window;
        QCOMPARE(Text(&window, "Record_Path_Field"), QDir::toNativeSeparators("/tmp/velmora logs"));
        QCOMPARE(Text(&window, "Record_File_Field"), QString("bench 3.csv"));
        QCOMPARE(Text(&window, "Description_Field"), QString("Position 7, left"));
        for (int axis = 0; axis < 4; ++axis)
        {
            QCOMPARE(Child<QCheckBox>(&window, qPrintable(Check_Boxes[axis]))->isChecked(), axis % 2 == 1);
            QCOMPARE(Text(&window, qPrintable(Meter_Fields[axis])), meter_texts[axis]);
        }
    }

    void Quit_Saves_The_Settings()
    {
        std::unique_ptr<TVelmora> window(new TVelmora());
        window->show();
        Child<QLineEdit>(window.get(), "Description_Field")->setText("Quit test");
        QAction* quit = window->menuBar()->actions()[0]->menu()->actions()[0];
        QCOMPARE(quit->text(), QString("Quit"));
        quit->trigger();
        QVERIFY(!window->isVisible());
        window.reset();
        QCOMPARE(Stored(Data_Directory(), "Description"), QString("Quit test"));
    }

    void Long_Log_Keeps_The_Last_Line_In_View()
    {
        TVelmora window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPlainTextEdit* pane = Child<QPlainTextEdit>(&window, "Log_Pane");
        for (int line = 0; line < 300; ++line)
        {
            window.Log_Message(QString("INF  line %1 %2").arg(line).arg(QString(200, 'x')));
        }
        QVERIFY(Log_Lines(&window).last().startsWith("INF  line 299 x"));
        QVERIFY(pane->verticalScrollBar()->maximum() > 0);
        QCOMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
        QCOMPARE(pane->horizontalScrollBar()->value(), 0);
    }

    void Unusable_Data_Directory_Falls_Back_data()
    {
        QTest::addColumn<bool>("blocked_by_file");
        QTest::newRow("a file named .velmora") << true;
        QTest::newRow("a read-only .velmora") << false;
    }

    void Unusable_Data_Directory_Falls_Back()
    {
        QFETCH(bool, blocked_by_file);
        if (blocked_by_file)
        {
            QVERIFY(Write_File(Data_Directory(), ""));
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
            QVERIFY(Log_Lines(&window).contains(
                QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                    .arg(QDir::toNativeSeparators(Data_Directory()), QDir::toNativeSeparators(fallback))));
            Child<QLineEdit>(&window, "Description_Field")->setText("kept");
            window.close();
        }
        QCOMPARE(Stored(fallback, "Description"), QString("kept"));
        QFile::setPermissions(Data_Directory(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_MAIN(TMainWindowTest)
#include "tst_mainwindow.moc"
