#include "velmora.h"
#include "velmoratestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QtTest>

using namespace Test_Support;

// Reading entry and the loading of the thermometers at start, end to end in the window.
class TReadingsTest : public QObject
{
    Q_OBJECT

private:
    static QStringList Corrected_Texts(QWidget* window)
    {
        QStringList texts;
        for (const char* name :
             {"X_Corrected_Field", "Y_Corrected_Field", "Z_Corrected_Field", "Part_Corrected_Field"})
        {
            texts << Child<QLineEdit>(window, name)->text();
        }
        return texts;
    }

    static void Finish_Editing(QWidget* window, const char* field_name, const QString& text)
    {
        QLineEdit* field = Child<QLineEdit>(window, field_name);
        field->clear();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    static void Replace_In_Calibration_File(const QByteArray& before, const QByteArray& after)
    {
        QByteArray content = Read_File(Calibration_File());
        QVERIFY(content.contains(before));
        content.replace(before, after);
        QFile file(Calibration_File());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        QLocale::setDefault(QLocale::c());
        Remove_Data_Directories();
    }

    void cleanupTestCase()
    {
        QLocale::setDefault(QLocale::c());
        Remove_Data_Directories();
    }

    void Restored_Readings_Are_Shown_Corrected_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<TThermometer>("thermometer");
        QTest::addColumn<QString>("expected");

        const QDate next_year = QDate::currentDate().addYears(1);
        for (const QString& locale : {QString("C"), QString("de_DE")})
        {
            QTest::addRow("deviation 0.12, %s", qPrintable(locale))
                << locale << Offset_Thermometer("T1") << "19.88";
            QTest::addRow("due today, %s", qPrintable(locale))
                << locale << Offset_Thermometer("T1", 0.12, QDate::currentDate()) << "-----";
            QTest::addRow("due yesterday, %s", qPrintable(locale))
                << locale << Offset_Thermometer("T1", 0.12, QDate::currentDate().addDays(-1)) << "-----";
            QTest::addRow("span below one degree, %s", qPrintable(locale))
                << locale << TThermometer{"T1", next_year, {20, 20.4, 20.9}, {20.1, 20.5, 21}} << "-----";
            QTest::addRow("span of exactly one degree, %s", qPrintable(locale))
                << locale << TThermometer{"T1", next_year, {19.5, 20, 20.5}, {19.55, 20.05, 20.55}}
                << "19.95";
            QTest::addRow("negative result, %s", qPrintable(locale))
                << locale << Offset_Thermometer("T1", 20.456) << "-0.46";
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

    void Finished_Field_Alone_Is_Recomputed_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << "C";
        QTest::newRow("German") << "de_DE";
    }

    void Finished_Field_Alone_Is_Recomputed()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        QVERIFY(Write_Calibration_File({Offset_Thermometer("T1")}));
        TVelmora window;
        window.show();

        // Typing alone changes nothing until editing finishes.
        Child<QLineEdit>(&window, "Z_Meter_Field")->setText("30");

        Finish_Editing(&window, "X_Meter_Field", "20,5");
        QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "19.88", "19.88", "19.88"}));
        Finish_Editing(&window, "X_Meter_Field", "20.5");
        QCOMPARE(Corrected_Texts(&window), QStringList({"20.38", "19.88", "19.88", "19.88"}));
        Finish_Editing(&window, "Y_Meter_Field", "abc");
        QCOMPARE(Corrected_Texts(&window), QStringList({"20.38", "-----", "19.88", "19.88"}));
        Finish_Editing(&window, "Y_Meter_Field", "inf");
        QCOMPARE(Corrected_Texts(&window), QStringList({"20.38", "-----", "19.88", "19.88"}));
        Finish_Editing(&window, "Part_Meter_Field", "-5");
        QCOMPARE(Corrected_Texts(&window), QStringList({"20.38", "-----", "19.88", "-5.12"}));
    }

    void Unticked_Axis_Is_Still_Corrected()
    {
        QVERIFY(Write_Calibration_File({Offset_Thermometer("T1")}));
        Store_Setting("Axis_X_Enabled", false);
        TVelmora window;
        QVERIFY(!Child<QCheckBox>(&window, "X_Check_Box")->isChecked());
        QCOMPARE(Child<QLineEdit>(&window, "X_Corrected_Field")->text(), QString("19.88"));
        Finish_Editing(&window, "X_Meter_Field", "21");
        QCOMPARE(Child<QLineEdit>(&window, "X_Corrected_Field")->text(), QString("20.88"));
    }

    void Stored_Active_Thermometer_Is_Selected_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("expected_index");
        QTest::addColumn<QString>("expected_text");
        QTest::newRow("past the end") << 5 << 0 << "19.90";
        QTest::newRow("saved while empty") << -1 << 0 << "19.90";
        QTest::newRow("second") << 1 << 1 << "19.80";
        QTest::newRow("last") << 2 << 2 << "-----";
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
        QCOMPARE(selector->count(), 3);
        QCOMPARE(selector->itemText(0), QString("Probe A"));
        QCOMPARE(selector->itemText(1), QString("Probe B"));
        QCOMPARE(selector->itemText(2), QString("Probe C"));
        QCOMPARE(selector->currentIndex(), expected_index);
        QCOMPARE(Child<QLineEdit>(&window, "X_Corrected_Field")->text(), expected_text);
    }

    void Operator_Choice_Takes_Up_The_Thermometer()
    {
        QVERIFY(
            Write_Calibration_File({Offset_Thermometer("Probe A", 0.1), Offset_Thermometer("Probe B", 0.2)}));
        TVelmora window;
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        selector->setCurrentIndex(1);
        QVERIFY(QMetaObject::invokeMethod(selector, "activated", Q_ARG(int, 1)));
        QCOMPARE(Child<QLineEdit>(&window, "Part_Corrected_Field")->text(), QString("19.80"));
        const int before = Log_Lines(&window).size();
        QVERIFY(QMetaObject::invokeMethod(&window, "Thermometer_Selection_Changed", Q_ARG(int, -1)));
        QCOMPARE(Child<QLineEdit>(&window, "Part_Corrected_Field")->text(), QString("19.80"));
        QCOMPARE(Log_Lines(&window).size(), before);
    }

    void Start_Up_Log_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QStringList>("expected_log");
        QTest::addColumn<QStringList>("expected_items");

        const QString path = QDir::toNativeSeparators(Calibration_File());
        const QString due = QDate::currentDate().addYears(1).toString("MMM dd yyyy");
        QTest::newRow("missing file")
            << "missing"
            << QStringList({QString("ERR  Cannot load calibration file: '%1'").arg(path),
                            "INF  Calibration data checksum error count: 0"})
            << QStringList();
        QTest::newRow("intact")
            << "none"
            << QStringList({QString("INF  Calibration file loaded: '%1'").arg(path),
                            QString("INF  Loaded correction data for 'T1'.  Calibration Due: %1").arg(due),
                            QString("INF  Loaded correction data for 'T2'.  Calibration Due: %1").arg(due),
                            "INF  Calibration data checksum error count: 0"})
            << QStringList({"T1", "T2"});
        QTest::newRow("one bad checksum")
            << "checksum"
            << QStringList({QString("INF  Calibration file loaded: '%1'").arg(path),
                            QString("INF  Loaded correction data for 'T1'.  Calibration Due: %1").arg(due),
                            "INF  Calibration data checksum error count: 1"})
            << QStringList({"T1"});
        QTest::newRow("version 2") << "version"
                                   << QStringList({QString("INF  Calibration file loaded: '%1'").arg(path),
                                                   "INF  Calibration data checksum error count: 0"})
                                   << QStringList();
    }

    void Start_Up_Log()
    {
        QFETCH(QString, damage);
        QFETCH(QStringList, expected_log);
        QFETCH(QStringList, expected_items);
        if (damage != "missing")
        {
            QVERIFY(Write_Calibration_File({Offset_Thermometer("T1"), Offset_Thermometer("T2")}));
        }
        if (damage == "checksum")
        {
            Replace_In_Calibration_File("<Description>T2</Description>", "<Description>T2b</Description>");
        }
        else if (damage == "version")
        {
            Replace_In_Calibration_File("File_Version=\"1\"", "File_Version=\"2\"");
        }

        TVelmora window;
        QCOMPARE(Log_Lines(&window), expected_log);
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        QStringList items;
        for (int index = 0; index < selector->count(); ++index)
        {
            items << selector->itemText(index);
        }
        QCOMPARE(items, expected_items);
        QCOMPARE(selector->currentIndex(), expected_items.isEmpty() ? -1 : 0);
        if (expected_items.isEmpty())
        {
            QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "-----", "-----", "-----"}));
        }
    }
};

QTEST_MAIN(TReadingsTest)
#include "tst_readings.moc"
