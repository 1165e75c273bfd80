#include "velmora.h"
#include "velmoratestsupport.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Test_Support;

class TTemperatureLogTest : public QObject
{
    Q_OBJECT

    const QByteArray Header =
        "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";
    std::unique_ptr<QTemporaryDir> record_directory;
    std::unique_ptr<TVelmora> window;

    QString Log_File() const { return record_directory->path() + "/velmora.csv"; }

    // Thermometers as given, description P1, readings 20.24 (X), 20 (Y, Z) and 20.07 (Part), and
    // the axes ticked as given; the log goes into the test's own directory.
    void Create_Window(const QList<TThermometer>& thermometers, const QString& ticked = "XYZP")
    {
        QVERIFY(Write_Calibration_File(thermometers));
        window.reset(new TVelmora());
        Child<QLineEdit>(window.get(), "Record_Path_Field")
            ->setText(QDir::toNativeSeparators(record_directory->path()));
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
        record_directory.reset(new QTemporaryDir());
    }
    void cleanup() { window.reset(); }
    void cleanupTestCase() { Remove_Data_Directories(); }

    void First_Write_Creates_Then_Appends()
    {
        Create_Window({Offset_Thermometer("T1")});
        Write();
        QCOMPARE(Log_Lines(window.get()).last(),
                 "INF  Creating log file: '" + QDir::toNativeSeparators(Log_File()) + "' for 'P1'");
        Child<QLineEdit>(window.get(), "Description_Field")->setText("P2");
        Write();
        QCOMPARE(Read_File(Log_File()),
                 Header + "P1,T1,20.12,19.88,19.88,19.95\nP2,T1,20.12,19.88,19.88,19.95\n");
        QCOMPARE(Log_Lines(window.get()).last(),
                 "INF  Appending log file: '" + QDir::toNativeSeparators(Log_File()) + "' for 'P2'");
    }

    void Data_Line_data()
    {
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QList<TThermometer>>("thermometers");
        QTest::addColumn<QByteArray>("line");
        const QList<TThermometer> t1 = {Offset_Thermometer("T1")};
        QTest::newRow("X and Part") << "XP"
                                    << "P1" << t1 << QByteArray("P1,T1,20.12,,,19.95\n");
        QTest::newRow("none") << ""
                              << "P1" << t1 << QByteArray("P1,T1,,,,\n");
        QTest::newRow("out of calibration")
            << "XY"
            << "P1" << QList<TThermometer>{Offset_Thermometer("T1", 0.1, QDate::currentDate())}
            << QByteArray("P1,T1,-----,-----,,\n");
        QTest::newRow("no thermometer") << "P"
                                        << "P1" << QList<TThermometer>() << QByteArray("P1,,,,,-----\n");
        QTest::newRow("quotes and commas")
            << ""
            << "Table 2, \"left\"" << QList<TThermometer>{Offset_Thermometer("Probe 3, spare")}
            << QByteArray("\"Table 2, \"\"left\"\"\",\"Probe 3, spare\",,,,\n");
        QTest::newRow("outside Latin-1")
            << "" << QString::fromUtf8("Pos \u2603 \u00e9") << t1 << QByteArray("Pos ? \xe9,T1,,,,\n");
    }

    void Data_Line()
    {
        QFETCH(QString, ticked);
        QFETCH(QString, description);
        QFETCH(QList<TThermometer>, thermometers);
        QFETCH(QByteArray, line);
        Create_Window(thermometers, ticked);
        Child<QLineEdit>(window.get(), "Description_Field")->setText(description);
        Write();
        QCOMPARE(Read_File(Log_File()), Header + line);
    }

    void Existing_Empty_File_Gets_No_Header()
    {
        QVERIFY(Write_File(Log_File(), ""));
        Create_Window({Offset_Thermometer("T1")}, "X");
        Write();
        QCOMPARE(Read_File(Log_File()), QByteArray("P1,T1,20.12,,,\n"));
    }

    void Failures_Are_Reported_data()
    {
        QTest::addColumn<bool>("missing_directory");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing directory") << true << "WAR  Cannot open temperature log file for writing";
        QTest::newRow("full disk") << false << "WAR  Temperature log entry was not written to '%1': ";
    }

    void Failures_Are_Reported()
    {
        QFETCH(bool, missing_directory);
        QFETCH(QString, expected);
        Create_Window({Offset_Thermometer("T1")});
        // A path typed by hand is used as it stands.
        const QString directory = record_directory->path() + (missing_directory ? "/missing" : "");
        Child<QLineEdit>(window.get(), "Record_Path_Field")->setText(QDir::toNativeSeparators(directory));
        // The header alone is longer than 20 bytes.
        With_File_Size_Limit(20, [&]() { Write(); });
        const QStringList lines = Log_Lines(window.get());
        const QString file = QDir::toNativeSeparators(directory + "/velmora.csv");
        QCOMPARE(lines[lines.size() - 2], "INF  Creating log file: '" + file + "' for 'P1'");
        QVERIFY2(lines.last().startsWith(expected.arg(file)), qPrintable(lines.last()));
    }

    void Browse_Chooses_The_Record_Directory_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("chosen") << true;
        QTest::newRow("cancelled") << false;
    }

    void Browse_Chooses_The_Record_Directory()
    {
        QFETCH(bool, accept);
        Create_Window({});
        const QString before = Text(window.get(), "Record_Path_Field");
        const QString chosen = record_directory->path() + "/chosen";
        QVERIFY(QDir().mkpath(chosen));
        QString caption;
        Answer_Next_Modal("QFileDialog", [&](QWidget* modal) {
            QFileDialog* dialog = qobject_cast<QFileDialog*>(modal);
            caption = dialog->windowTitle();
            QCOMPARE(dialog->directory().absolutePath(), QDir(record_directory->path()).absolutePath());
            dialog->selectFile(chosen);
            QMetaObject::invokeMethod(dialog, accept ? "accept" : "reject");
        });
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Browse_Path"));
        QCOMPARE(caption, QString("Select directory to write output file."));
        QCOMPARE(Text(window.get(), "Record_Path_Field"), accept ? QDir::toNativeSeparators(chosen) : before);
    }
};

QTEST_MAIN(TTemperatureLogTest)
#include "tst_temperaturelog.moc"
