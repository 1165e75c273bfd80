#include "qtcompat.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace Test_Support;

// Start-up, settings, the data directory and the corrected display of the main window.
class TMainWindowTest : public QObject
{
    Q_OBJECT

    // Description, record path and file, then each axis's tick and meter text, X to Part.
    static QString Inputs(QWidget* window)
    {
        QStringList inputs = {Text(window, "Description_Field"), Text(window, "Record_Path_Field"),
                              Text(window, "Record_File_Field")};
        for (const char* axis : {"X", "Y", "Z", "Part"})
        {
            inputs << (Child<QCheckBox>(window, qPrintable(QString(axis) + "_Check_Box"))->isChecked()
                           ? "+"
                           : "-") +
                          Text(window, qPrintable(QString(axis) + "_Meter_Field"));
        }
        return inputs.join('|');
    }

    static QString Stored(const QString& directory, const QString& key)
    {
        return Stored_Setting(key, directory + "/velmora_settings.ini").toString();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Remove_Data_Directories(); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void First_Start_Then_Restart()
    {
        const QString path = "/tmp/M\u00e4rz \u20ac";
        const QString description = "Probe \U0001F321 \u00b0C, left";
        {
            TVelmora window;
            QCOMPARE(Inputs(&window), "Position 1|" + QDir::toNativeSeparators(QDir::homePath()) +
                                          "|velmora.csv|+20.00|+20.00|+20.00|+20.00");
            QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "-----", "-----", "-----"}));
            QCOMPARE(Log_Lines(&window),
                     QStringList({"ERR  Cannot load calibration file: '" +
                                      QDir::toNativeSeparators(Calibration_File()) +
                                      "': no calibration file exists yet. To add the first thermometer, open "
                                      "Edit > Correction Editor (Ctrl+E), type its description, due date and "
                                      "test points and press Accept.",
                                  "INF  Calibration data checksum error count: 0"}));
            const QByteArray before = Read_File(Data_Directory() + "/velmora_settings.ini");
            QTest::keyClicks(Child<QLineEdit>(&window, "Description_Field"), "typed, not finished");
            QCOMPARE(Read_File(Data_Directory() + "/velmora_settings.ini"), before);
            // Typed as a whole (key clicks take no umlaut), then finished with Return.
            Child<QLineEdit>(&window, "Record_Path_Field")->setText(QDir::toNativeSeparators(path));
            QTest::keyClick(Child<QLineEdit>(&window, "Record_Path_Field"), Qt::Key_Return);
            Child<QLineEdit>(&window, "Description_Field")->setText(description);
            QTest::keyClick(Child<QLineEdit>(&window, "Description_Field"), Qt::Key_Return);
            Type(&window, "Y_Meter_Field", "abc");
            Child<QCheckBox>(&window, "Z_Check_Box")->setChecked(false);
            // Written as each edit is finished: a killed process never runs the close handling.
            QStringList stored;
            for (const char* key : {"Current_Path", "Description", "Meter_Y_Value", "Axis_Z_Enabled"})
            {
                stored << Stored(Data_Directory(), key);
            }
            QCOMPARE(stored.join('|'), path + "|" + description + "|abc|false");
            window.show();
            window.menuBar()->actions()[0]->menu()->actions()[0]->trigger(); // File > Quit
            QVERIFY(!window.isVisible());
        }
        // In UTF-8 under either Qt version, so that each reads what the other wrote.
        QVERIFY(Read_File(Data_Directory() + "/velmora_settings.ini")
                    .split('\n')
                    .contains("Current_Path=" + QDir::toNativeSeparators(path).toUtf8()));

        // The stored thermometer is selected and the restored readings are shown corrected by it.
        QVERIFY(Write_Calibration_File({{"A", 0.1}, {"B", 0.2}}));
        Store_Setting("Active_Thermometer", 1);
        TVelmora window;
        QCOMPARE(Inputs(&window), description + "|" + QDir::toNativeSeparators(path) +
                                      "|velmora.csv|+20.00|+abc|-20.00|+20.00");
        QCOMPARE(Corrected_Texts(&window), QStringList({"19.80", "-----", "19.80", "19.80"}));
        // The operator's choice takes up the thermometer; a negative index changes nothing.
        QVERIFY(QMetaObject::invokeMethod(Child<QComboBox>(&window, "Thermometer_Selector"), "activated",
                                          Q_ARG(int, 0)));
        QVERIFY(QMetaObject::invokeMethod(&window, "Thermometer_Selection_Changed", Q_ARG(int, -1)));
        QCOMPARE(Text(&window, "X_Corrected_Field"), QString("19.90"));
        // The operator's choice is written at once; the window's own selection at the next write.
        QTest::keyClick(Child<QComboBox>(&window, "Thermometer_Selector"), Qt::Key_Up);
        QCOMPARE(Stored(Data_Directory(), "Active_Thermometer") + "|" +
                     Stored(Data_Directory(), "Active_Thermometer_Description"),
                 QString("0|A"));
    }

    // Neither data directory can be written: the window still starts, and says once that settings are lost.
    void Unwritable_Data_Directories_Are_Said()
    {
        const QString user_directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(Write_File(Data_Directory(), "") && QDir().mkpath(QFileInfo(user_directory).path()) &&
                Write_File(user_directory, ""));
        QStringList lines;
        {
            TVelmora window;
            Type(&window, "Description_Field", "Position 2");
            Type(&window, "Description_Field", "Position 3");
            lines = Log_Lines(&window);
        }
        QCOMPARE(Read_File(user_directory), QByteArray());
        QFile::remove(user_directory);
        const QString native_user_directory = QDir::toNativeSeparators(user_directory);
        QCOMPARE(lines.first(), QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                                    .arg(QDir::toNativeSeparators(Data_Directory()), native_user_directory));
        QVERIFY2(lines[1].startsWith("ERR  Cannot write data directory '" + native_user_directory + "': "),
                 qPrintable(lines[1]));
        QCOMPARE(lines.filter("settings file").size(), 1);
        QCOMPARE(lines.last(), "ERR  Cannot write settings file '" +
                                   QDir::toNativeSeparators(user_directory + "/velmora_settings.ini") +
                                   "'; changed settings will not be kept.  Reason: " +
                                   QString::fromLocal8Bit(std::strerror(ENOTDIR)));
    }

    // A directory in the settings file's place is said at start; the window starts with the defaults.
    void Unusable_Settings_File_Is_Said_At_Start()
    {
        const QString settings_file = Data_Directory() + "/velmora_settings.ini";
        QVERIFY(QDir().mkpath(settings_file));
        TVelmora window;
        Type(&window, "Description_Field", "Position 2");
        QCOMPARE(Log_Lines(&window).filter("settings file"),
                 QStringList("ERR  Cannot read settings file '" + QDir::toNativeSeparators(settings_file) +
                             "': " + QString::fromLocal8Bit(std::strerror(EISDIR)) +
                             "; the defaults are used and changed settings will not be kept."));
        QVERIFY(QFileInfo(settings_file).isDir());
    }

    // A calibration file that is a link to a device, or far too large, is refused before it is read:
    // the window starts at once and says why.
    void Unreadable_Calibration_File_Is_Refused_At_Start_data()
    {
        QTest::addColumn<bool>("device"); // else a sparse file of 300 MB
        QTest::addColumn<QString>("reason");
        QTest::newRow("link to /dev/zero") << true << "it is not a regular file";
        QTest::newRow("300 MB") << false << "it is larger than 256 MB";
    }

    void Unreadable_Calibration_File_Is_Refused_At_Start()
    {
        QFETCH(bool, device);
        QFETCH(QString, reason);
        QVERIFY(QDir().mkpath(Data_Directory()));
        QFile file(Calibration_File());
        QVERIFY(device ? QFile::link("/dev/zero", Calibration_File())
                       : file.open(QIODevice::WriteOnly) && file.resize(qint64(300) * 1024 * 1024));
        file.close();
        TVelmora window;
        QVERIFY2(Log_Lines(&window).first().endsWith("'.  Reason: " + reason),
                 qPrintable(Log_Lines(&window).first()));
        QCOMPARE(Child<QComboBox>(&window, "Thermometer_Selector")->count(), 0);
        QFile::remove(Calibration_File());
    }

    // Two windows on one data directory: each writes only the settings it changed, as an edit is
    // finished and at close, into the file as it is then, so that neither undoes the other's.
    void Two_Windows_Keep_Each_Others_Settings()
    {
        TVelmora first;
        TVelmora second;
        Answer_Next_Modal("TOptionsDialog", [](QWidget* dialog) {
            Type(dialog, "Warn_Days_Edit", "9");
            Child<QPushButton>(dialog, "Accept_Button")->click();
        });
        Child<QAction>(&first, "Options_Action")->trigger();
        Type(&second, "Description_Field", "Position 9");
        Type(&first, "X_Meter_Field", "21.5");
        second.close();
        first.close();
        QCOMPARE(Stored(Data_Directory(), "Warn_Days_Before_Due") + "|" +
                     Stored(Data_Directory(), "Description") + "|" +
                     Stored(Data_Directory(), "Meter_X_Value"),
                 QString("9|Position 9|21.5"));
        TVelmora third;
        QCOMPARE(Text(&third, "Description_Field") + "|" + Text(&third, "X_Meter_Field"),
                 QString("Position 9|21.5"));
    }

    void Only_The_Finished_Field_Changes()
    {
        // A German default locale must not leak its decimal comma into parsing or formatting.
        QLocale::setDefault(QLocale("de_DE"));
        QVERIFY(Write_Calibration_File({{"T1"}}));
        Store_Setting("Axis_X_Enabled", false); // an unticked axis is still shown corrected
        TVelmora window;
        Child<QLineEdit>(&window, "Z_Meter_Field")->setText("30"); // typed but not finished
        Type(&window, "X_Meter_Field", "20,5");
        QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "19.88", "19.88", "19.88"}));
        Type(&window, "X_Meter_Field", "20.5");
        Type(&window, "Y_Meter_Field", "inf");
        Type(&window, "Part_Meter_Field", "-5");
        QCOMPARE(Corrected_Texts(&window), QStringList({"20.38", "-----", "19.88", "-5.12"}));
        Type(&window, "Part_Meter_Field", "1e200"); // the correction overflows
        QCOMPARE(Text(&window, "Part_Corrected_Field"), QString("-----"));
    }

    // A, B and C, of which A may be left out for a checksum mismatch.
    void Restored_Selection_data()
    {
        QTest::addColumn<bool>("a_damaged");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("description"); // empty: stored by an older version
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("warning");
        QTest::newRow("index past the end") << false << 5 << QString() << "A" << QString();
        QTest::newRow("entry before it left out") << true << 1 << "b"
                                                  << "B" << QString();
        // No other thermometer takes its place: the restored readings would be corrected with it.
        QTest::newRow("gone")
            << false << 1 << "X" << QString()
            << "WAR  Thermometer 'X', in use at the last close, is no longer in the list. No "
               "thermometer is selected: choose the one in use.";
    }

    void Restored_Selection()
    {
        QFETCH(bool, a_damaged);
        QFETCH(int, index);
        QFETCH(QString, description);
        QFETCH(QString, selected);
        QFETCH(QString, warning);
        QVERIFY(Write_Calibration_File({{"A", 0.1}, {"B", 0.2}, {"C", 0.3}}));
        if (a_damaged)
        {
            QVERIFY(Write_File(Calibration_File(), Read_File(Calibration_File()).replace(">A<", ">A2<")));
        }
        Store_Setting("Active_Thermometer", index);
        if (!description.isEmpty())
        {
            Store_Setting("Active_Thermometer_Description", description);
        }
        TVelmora window;
        QCOMPARE(Child<QComboBox>(&window, "Thermometer_Selector")->currentText(), selected);
        QCOMPARE(Text(&window, "X_Corrected_Field"), selected == "A"      ? "19.90"
                                                     : selected.isEmpty() ? "-----"
                                                                          : "19.80");
        QCOMPARE(Child<QLineEdit>(&window, "X_Corrected_Field")->toolTip(),
                 selected.isEmpty() ? "no thermometer selected" : "");
        QCOMPARE(Log_Lines(&window).filter("in use at the last close"), QStringList(warning).filter("W"));
        window.close();
        QCOMPARE(Stored(Data_Directory(), "Active_Thermometer_Description"), selected);
    }

    void Window_Geometry_Is_Remembered_data()
    {
        QTest::addColumn<QRect>("closed_at"); // the window's normal geometry when it was last closed
        QTest::addColumn<bool>("maximized");  // and whether it was maximized
        QTest::addColumn<bool>("cut_short");  // the stored geometry lost its end
        QTest::addColumn<QRect>("expected");
        // Qt leaves room above the window for a title bar, so none is placed higher than 20 here.
        const QRect closed_at(30, 25, 720, 560);
        const QRect first_start(QPoint(), QSize(754, 629));
        QTest::newRow("first start") << QRect() << false << false << first_start;
        QTest::newRow("maximized") << closed_at << true << false << closed_at;
        QTest::newRow("on a screen no longer there")
            << QRect(2000, 100, 720, 560) << false << false << first_start;
        // Qt itself would make the window 1 x 1.
        QTest::newRow("cut short") << closed_at << false << true << first_start;
    }

    void Window_Geometry_Is_Remembered()
    {
        QFETCH(QRect, closed_at);
        QFETCH(bool, maximized);
        QFETCH(bool, cut_short);
        QFETCH(QRect, expected);
        if (closed_at.isValid())
        {
            TVelmora window;
            window.show();
            window.setGeometry(closed_at);
            if (maximized)
            {
                window.showMaximized();
            }
            window.close();
        }
        if (cut_short)
        {
            const QByteArray saved =
                QSettings(Data_Directory() + "/velmora_settings.ini", QSettings::IniFormat)
                    .value("Window_Geometry")
                    .toByteArray();
            Store_Setting("Window_Geometry", saved.left(saved.size() / 2));
        }
        TVelmora window;
        QCOMPARE(window.normalGeometry(), expected);
        QCOMPARE(window.isMaximized(), maximized);
    }

    void Log_Shows_Its_Last_Line_And_Line_Starts_When_Resized()
    {
        // Each thermometer loaded adds a log line wider than the pane.
        QList<TThermometer> thermometers;
        for (int number = 1; number <= 40; ++number)
        {
            thermometers << TThermometer{QString("Probe %1 ").arg(number) + QString(100, 'x')};
        }
        QVERIFY(Write_Calibration_File(thermometers));
        TVelmora window;
        window.show();
        window.resize(754, 560);
        QCoreApplication::processEvents();
        QPlainTextEdit* log = Child<QPlainTextEdit>(&window, "Log_Pane");
        QTextCursor end(log->document());
        end.movePosition(QTextCursor::End);
        const QRect last_line = log->cursorRect(end);
        QVERIFY2(last_line.top() >= 0 && last_line.bottom() < log->viewport()->height(),
                 qPrintable(QString("line %1 to %2, pane 0 to %3")
                                .arg(last_line.top())
                                .arg(last_line.bottom())
                                .arg(log->viewport()->height())));

        // Lines wrap: nothing is hidden to the side.
        QCOMPARE(log->horizontalScrollBar()->maximum(), 0);
    }

    // At the first start the ERR line says how to add the first thermometer; the whole of it is in view,
    // without scrolling to the side.
    void First_Start_Hint_Is_In_View()
    {
        TVelmora window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPlainTextEdit* log = Child<QPlainTextEdit>(&window, "Log_Pane");
        QTextCursor hint_end(log->document()->firstBlock());
        hint_end.movePosition(QTextCursor::EndOfBlock);
        QVERIFY(hint_end.block().text().endsWith("and press Accept."));
        const QRect end = log->cursorRect(hint_end);
        QVERIFY2(end.right() <= log->viewport()->width() && end.top() >= 0 &&
                     end.bottom() <= log->viewport()->height(),
                 qPrintable(QString("end at %1,%2 in a pane %3 x %4")
                                .arg(end.right())
                                .arg(end.bottom())
                                .arg(log->viewport()->width())
                                .arg(log->viewport()->height())));
        QCOMPARE(log->horizontalScrollBar()->maximum(), 0);
        QVERIFY(!log->horizontalScrollBar()->isVisible());
    }

    // The log takes all the height the window gains; the widgets keep their order.
    void Log_Pane_Grows_With_The_Window()
    {
        TVelmora window;
        window.show();
        window.resize(754, 560);
        QCoreApplication::processEvents();
        QPlainTextEdit* log = Child<QPlainTextEdit>(&window, "Log_Pane");
        const int height = log->height();
        QLabel* logo = Child<QLabel>(&window, "Logo_Label");
        window.resize(754, 760);
        QCoreApplication::processEvents();
        QCOMPARE(log->height(), height + 200);
        QVERIFY(log->geometry().bottom() < logo->geometry().top());
        QCOMPARE(logo->geometry().bottom(), window.centralWidget()->height() - 1 -
                                                window.centralWidget()->layout()->contentsMargins().bottom());
    }
};

QTEST_MAIN(TMainWindowTest)
#include "tst_mainwindow.moc"
