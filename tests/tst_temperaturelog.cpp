#include "velmora.h"
#include "velmoratestsupport.h"

#include <QCheckBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Test_Support;

class TTemperatureLogTest : public QObject
{
    Q_OBJECT

    const QByteArray Header =
        "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";
    QTemporaryDir record_directory;
    std::unique_ptr<TVelmora> window;

    QString Log_File() const { return record_directory.path() + "/velmora.csv"; }

    // Description P1, readings 20.24 (X), 20 (Y, Z) and 20.07 (Part), the axes ticked as given; the
    // log goes into the test's own directory.
    void Create_Window(const QList<TThermometer>& thermometers, const QString& ticked = "XYZP")
    {
        QVERIFY(Write_Calibration_File(thermometers));
        window.reset(new TVelmora());
        Child<QLineEdit>(window.get(), "Record_Path_Field")
            ->setText(QDir::toNativeSeparators(record_directory.path()));
        Child<QLineEdit>(window.get(), "Description_Field")->setText("P1");
        Type(window.get(), "X_Meter_Field", "20.24");
        Type(window.get(), "Part_Meter_Field", "20.07");
        const char* boxes[] = {"X_Check_Box", "Y_Check_Box", "Z_Check_Box", "Part_Check_Box"};
        for (int axis = 0; axis < 4; ++axis)
        {
            Child<QCheckBox>(window.get(), boxes[axis])->setChecked(ticked.contains("XYZP"[axis]));
        }
    }

    void Write() { QVERIFY(QMetaObject::invokeMethod(window.get(), "Write_Temperature_Entry")); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        Remove_Data_Directories();
        QFile::remove(Log_File());
    }

    void First_Write_Creates_Then_Appends()
    {
        Create_Window({{"T1"}});
        Write();
        QVERIFY(QFile::exists(Log_File()));
        Write();
        QCOMPARE(Read_File(Log_File()),
                 Header + "P1,T1,20.12,19.88,19.88,19.95\nP1,T1,20.12,19.88,19.88,19.95\n");
        const QString file = QDir::toNativeSeparators(Log_File());
        QCOMPARE(Log_Lines(window.get()).mid(3),
                 QStringList({"INF  Creating log file: '" + file + "' for 'P1'",
                              "INF  Appending log file: '" + file + "' for 'P1'"}));
    }

    void Data_Line_data()
    {
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("thermometer"); // empty: none
        QTest::addColumn<QByteArray>("line");
        const auto row = [](const char* name, const char* ticked, const QString& description,
                            const char* thermometer, const QByteArray& line) {
            QTest::newRow(name) << QString(ticked) << description << QString(thermometer) << line;
        };
        row("X and Part", "XP", "P1", "T1", "P1,T1,20.12,,,19.95\n");
        row("no thermometer", "P", "P1", "", "P1,,,,,-----\n");
        row("quotes", "", "Table 2, \"left\"", "Probe 3, spare",
            "\"Table 2, \"\"left\"\"\",\"Probe 3, spare\",,,,\n");
        row("outside Latin-1", "", "Pos \u2603 \u00e9", "T1", "Pos ? \xe9,T1,,,,\n");
    }

    void Data_Line()
    {
        QFETCH(QString, ticked);
        QFETCH(QString, description);
        QFETCH(QString, thermometer);
        QFETCH(QByteArray, line);
        QVERIFY(Write_File(Log_File(), "")); // an existing empty file gets no header
        Create_Window(thermometer.isEmpty() ? QList<TThermometer>() : QList<TThermometer>{{thermometer}},
                      ticked);
        Child<QLineEdit>(window.get(), "Description_Field")->setText(description);
        Write();
        QCOMPARE(Read_File(Log_File()), line);
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
        Create_Window({{"T1"}});
        const QString file = QDir::toNativeSeparators(record_directory.path() + directory + "/velmora.csv");
        Child<QLineEdit>(window.get(), "Record_Path_Field")
            ->setText(QDir::toNativeSeparators(record_directory.path() + directory));
        With_File_Size_Limit(20, [&]() { Write(); }); // the header alone is longer
        const QStringList lines = Log_Lines(window.get());
        QCOMPARE(lines[lines.size() - 2], "INF  Creating log file: '" + file + "' for 'P1'");
        QVERIFY2(lines.last().startsWith(expected.arg(file)), qPrintable(lines.last()));
    }
};

QTEST_MAIN(TTemperatureLogTest)
#include "tst_temperaturelog.moc"
