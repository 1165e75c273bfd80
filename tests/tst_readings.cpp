#include "velmora.h"
#include "velmoratestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLocale>
#include <QtTest>

using namespace Test_Support;

// Reading entry and the loading of the thermometers at start, end to end in the window. Every
// case also runs under a German default locale, whose decimal comma must not leak into parsing or
// formatting.
class TReadingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Remove_Data_Directories(); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { Remove_Data_Directories(); }

    void Restored_Readings_Are_Shown_Corrected_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<TThermometer>("thermometer");
        QTest::addColumn<QString>("expected");
        const QDate next_year = QDate::currentDate().addYears(1);
        for (const char* locale : {"C", "de_DE"})
        {
            QTest::addRow("deviation 0.12, %s", locale) << locale << Offset_Thermometer("T1") << "19.88";
            QTest::addRow("negative, %s", locale) << locale << Offset_Thermometer("T1", 20.456) << "-0.46";
            QTest::addRow("due today, %s", locale)
                << locale << Offset_Thermometer("T1", 0.12, QDate::currentDate()) << "-----";
            QTest::addRow("span 0.9, %s", locale)
                << locale << TThermometer{"T1", next_year, {20, 20.4, 20.9}, {20.1, 20.5, 21}} << "-----";
            QTest::addRow("span 1, %s", locale)
                << locale << TThermometer{"T1", next_year, {19.5, 20, 20.5}, {19.55, 20.05, 20.55}}
                << "19.95";
            QTest::addRow("two points at 20, %s", locale)
                << locale << TThermometer{"T1", next_year, {15, 20, 20}, {15.1, 20.2, 20.3}} << "-----";
        }
    }

    void Restored_Readings_Are_Shown_Corrected()
    {
        QFETCH(QString, locale);
        QFETCH(TThermometer, thermometer);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        QVERIFY(Write_Calibration_File({thermometer}));
        TVelmora window;
        QCOMPARE(Corrected_Texts(&window), QStringList({expected, expected, expected, expected}));
    }

    void Only_The_Finished_Field_Changes_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << "C";
        QTest::newRow("German") << "de_DE";
    }

    void Only_The_Finished_Field_Changes()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        QVERIFY(Write_Calibration_File({Offset_Thermometer("T1")}));
        Store_Setting("Axis_X_Enabled", false);
        TVelmora window;
        window.show();
        QVERIFY(!Child<QCheckBox>(&window, "X_Check_Box")->isChecked());

        Child<QLineEdit>(&window, "Z_Meter_Field")->setText("30"); // typed but not finished
        Type(&window, "X_Meter_Field", "20,5");
        QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "19.88", "19.88", "19.88"}));
        Type(&window, "X_Meter_Field", "20.5");
        Type(&window, "Y_Meter_Field", "inf");
        Type(&window, "Part_Meter_Field", "-5");
        QCOMPARE(Corrected_Texts(&window), QStringList({"20.38", "-----", "19.88", "-5.12"}));
    }

    void Stored_Active_Thermometer_Is_Selected_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("expected_index");
        QTest::addColumn<QString>("expected_text");
        QTest::newRow("past the end") << 5 << 0 << "19.90";
        QTest::newRow("saved while empty") << -1 << 0 << "19.90";
        QTest::newRow("second") << 1 << 1 << "19.80";
        QTest::newRow("third, due today") << 2 << 2 << "-----";
    }

    void Stored_Active_Thermometer_Is_Selected()
    {
        QFETCH(int, active);
        QFETCH(int, expected_index);
        QFETCH(QString, expected_text);
        QVERIFY(
            Write_Calibration_File({Offset_Thermometer("Probe A", 0.1), Offset_Thermometer("Probe B", 0.2),
                                    Offset_Thermometer("Probe C", 0.3, QDate::currentDate())}));
        Store_Setting("Active_Thermometer", active);
        TVelmora window;
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        QCOMPARE(selector->currentIndex(), expected_index);
        QCOMPARE(Text(&window, "X_Corrected_Field"), expected_text);

        // The operator's choice takes up the thermometer; a negative index changes nothing.
        QVERIFY(QMetaObject::invokeMethod(selector, "activated", Q_ARG(int, 1)));
        QCOMPARE(Text(&window, "X_Corrected_Field"), QString("19.80"));
        QVERIFY(QMetaObject::invokeMethod(&window, "Thermometer_Selection_Changed", Q_ARG(int, -1)));
        QCOMPARE(Text(&window, "X_Corrected_Field"), QString("19.80"));
    }

    void Start_Up_Log_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("expected_log");
        QTest::addColumn<QStringList>("items");
        const QString loaded =
            "INF  Calibration file loaded: '" + QDir::toNativeSeparators(Calibration_File()) + "'";
        const QString due = QDate::currentDate().addYears(1).toString("MMM dd yyyy");
        const QString t1 = "INF  Loaded correction data for 'T1'.  Calibration Due: " + due;
        const QString t2 = "INF  Loaded correction data for 'T2'.  Calibration Due: " + due;
        QTest::newRow("missing file") << QByteArray("<") << QByteArray("")
                                      << QStringList({"ERR  Cannot load calibration file: '" +
                                                          QDir::toNativeSeparators(Calibration_File()) + "'",
                                                      "INF  Calibration data checksum error count: 0"})
                                      << QStringList();
        QTest::newRow("intact") << QByteArray() << QByteArray()
                                << QStringList(
                                       {loaded, t1, t2, "INF  Calibration data checksum error count: 0"})
                                << QStringList({"T1", "T2"});
        QTest::newRow("one bad checksum")
            << QByteArray(">T2<") << QByteArray(">T2b<")
            << QStringList({loaded, t1, "INF  Calibration data checksum error count: 1"})
            << QStringList({"T1"});
        QTest::newRow("version 2") << QByteArray("File_Version=\"1\"") << QByteArray("File_Version=\"2\"")
                                   << QStringList({loaded, "INF  Calibration data checksum error count: 0"})
                                   << QStringList();
    }

    void Start_Up_Log()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, expected_log);
        QFETCH(QStringList, items);
        QVERIFY(Write_Calibration_File({Offset_Thermometer("T1"), Offset_Thermometer("T2")}));
        if (before == "<")
        {
            QVERIFY(QFile::remove(Calibration_File()));
        }
        else if (!before.isEmpty())
        {
            QVERIFY(Write_File(Calibration_File(), Read_File(Calibration_File()).replace(before, after)));
        }
        TVelmora window;
        QCOMPARE(Log_Lines(&window), expected_log);
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        QStringList shown;
        for (int index = 0; index < selector->count(); ++index)
        {
            shown << selector->itemText(index);
        }
        QCOMPARE(shown, items);
        QCOMPARE(selector->currentIndex(), items.isEmpty() ? -1 : 0);
    }
};

QTEST_MAIN(TReadingsTest)
#include "tst_readings.moc"
