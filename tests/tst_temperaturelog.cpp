#include "temperaturelog.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QCheckBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace Test_Support;

class TTemperatureLogTest : public QObject
{
    Q_OBJECT

    const QByteArray Header =
        "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";
    QTemporaryDir record_directory;

    QString Log_File() const { return record_directory.path() + "/velmora.csv"; }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        Remove_Data_Directories();
        QFile::remove(Log_File());
    }

    // Description P1, readings 20.24 (X), 20 (Y, Z) and 20.07 (Part): the window logs what its
    // corrected fields show, for the ticked axes only.
    void Window_Creates_Then_Appends()
    {
        QVERIFY(Write_Calibration_File({{"T1"}}));
        TVelmora window;
        Child<QLineEdit>(&window, "Record_Path_Field")
            ->setText(QDir::toNativeSeparators(record_directory.path()));
        Child<QLineEdit>(&window, "Description_Field")->setText("P1");
        Type(&window, "X_Meter_Field", "20.24");
        Type(&window, "Part_Meter_Field", "20.07");
        QVERIFY(QMetaObject::invokeMethod(&window, "Write_Temperature_Entry"));
        QVERIFY(QFile::exists(Log_File()));
        Child<QCheckBox>(&window, "Y_Check_Box")->setChecked(false);
        Child<QCheckBox>(&window, "Z_Check_Box")->setChecked(false);
        QVERIFY(QMetaObject::invokeMethod(&window, "Write_Temperature_Entry"));
        QCOMPARE(Read_File(Log_File()), Header + "P1,T1,20.12,19.88,19.88,19.95\nP1,T1,20.12,,,19.95\n");
        const QString file = QDir::toNativeSeparators(Log_File());
        QCOMPARE(Log_Lines(&window).mid(3),
                 QStringList({"INF  Creating log file: '" + file + "' for 'P1'",
                              "INF  Appending log file: '" + file + "' for 'P1'"}));
    }

    void Data_Line_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("thermometer");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("no thermometer") << "P1" << QString() << QByteArray("P1,,20.12,,,-----\n");
        QTest::newRow("quotes") << "Table 2, \"left\""
                                << "Probe 3, spare"
                                << QByteArray("\"Table 2, \"\"left\"\"\",\"Probe 3, spare\",20.12,,,-----\n");
        QTest::newRow("outside Latin-1") << "Pos \u2603 \u00e9"
                                         << "T1" << QByteArray("Pos ? \xe9,T1,20.12,,,-----\n");
    }

    void Data_Line()
    {
        QFETCH(QString, description);
        QFETCH(QString, thermometer);
        QFETCH(QByteArray, line);
        QVERIFY(Write_File(Log_File(), "")); // an existing empty file gets no header
        const QStringList messages =
            Append_Temperature_Log_Entry(Log_File(), description, thermometer, {"20.12", "", "", "-----"});
        QCOMPARE(Read_File(Log_File()), line);
        QCOMPARE(messages, QStringList("INF  Appending log file: '" + QDir::toNativeSeparators(Log_File()) +
                                       "' for '" + description + "'"));
    }

    void Failures_Are_Reported_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing directory")
            << QString("/missing") << "WAR  Cannot open temperature log file for writing";
        QTest::newRow("full disk") << QString() << "WAR  Temperature log entry was not written to '%1': ";
    }

    void Failures_Are_Reported()
    {
        QFETCH(QString, directory);
        QFETCH(QString, expected);
        const QString file = record_directory.path() + directory + "/velmora.csv";
        QStringList messages;
        // The header alone is longer than the limit.
        With_File_Size_Limit(20, [&]() {
            messages = Append_Temperature_Log_Entry(file, "P1", "T1", {"20.12", "", "", ""});
        });
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0], "INF  Creating log file: '" + QDir::toNativeSeparators(file) + "' for 'P1'");
        QVERIFY2(messages[1].startsWith(expected.arg(QDir::toNativeSeparators(file))),
                 qPrintable(messages[1]));
    }
};

QTEST_MAIN(TTemperatureLogTest)
#include "tst_temperaturelog.moc"
