#include "velmora.h"
#include "velmoratestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace Test_Support;

class TTemperatureLogTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir* record_directory = nullptr;

    QString Log_File() const { return record_directory->path() + "/velmora.csv"; }

    // A window with thermometer T1 (deviation 0.12), description P1, X reading 20.24 and Part
    // reading 20.07, writing into the test's record directory.
    TVelmora* Create_Window(const QList<TThermometer>& thermometers = {Offset_Thermometer("T1")})
    {
        if (!Write_Calibration_File(thermometers))
        {
            qFatal("cannot write the calibration file");
        }
        TVelmora* window = new TVelmora();
        Child<QLineEdit>(window, "Record_Path_Field")
            ->setText(QDir::toNativeSeparators(record_directory->path()));
        Child<QLineEdit>(window, "Description_Field")->setText("P1");
        Set_Reading(window, "X_Meter_Field", "20.24");
        Set_Reading(window, "Part_Meter_Field", "20.07");
        return window;
    }

    static void Set_Reading(QWidget* window, const char* field_name, const QString& text)
    {
        QLineEdit* field = Child<QLineEdit>(window, field_name);
        field->setText(text);
        emit field->editingFinished();
    }

    static void Tick(QWidget* window, bool x, bool y, bool z, bool part)
    {
        Child<QCheckBox>(window, "X_Check_Box")->setChecked(x);
        Child<QCheckBox>(window, "Y_Check_Box")->setChecked(y);
        Child<QCheckBox>(window, "Z_Check_Box")->setChecked(z);
        Child<QCheckBox>(window, "Part_Check_Box")->setChecked(part);
    }

    static void Write(QWidget* window)
    {
        QVERIFY(QMetaObject::invokeMethod(window, "Write_Temperature_Entry"));
    }

    static const QByteArray Header;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        Remove_Data_Directories();
        record_directory = new QTemporaryDir();
        QVERIFY(record_directory->isValid());
    }

    void cleanup()
    {
        delete record_directory;
        record_directory = nullptr;
    }

    void cleanupTestCase() { Remove_Data_Directories(); }

    void First_Write_Creates_Then_Appends()
    {
        std::unique_ptr<TVelmora> window(Create_Window());
        const QString native = QDir::toNativeSeparators(Log_File());

        Write(window.get());
        QCOMPARE(Read_File(Log_File()), Header + "P1,T1,20.12,19.88,19.88,19.95\n");
        QCOMPARE(Log_Lines(window.get()).last(),
                 QString("INF  Creating log file: '%1' for 'P1'").arg(native));

        Child<QLineEdit>(window.get(), "Description_Field")->setText("P2");
        Write(window.get());
        QCOMPARE(Read_File(Log_File()),
                 Header + "P1,T1,20.12,19.88,19.88,19.95\nP2,T1,20.12,19.88,19.88,19.95\n");
        QCOMPARE(Log_Lines(window.get()).last(),
                 QString("INF  Appending log file: '%1' for 'P2'").arg(native));
    }

    void Data_Line_Holds_The_Ticked_Axes_data()
    {
        QTest::addColumn<QList<bool>>("ticked");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<QByteArray>("line");

        const QDate next_year = QDate::currentDate().addYears(1);
        QTest::newRow("X and Part") << QList<bool>{true, false, false, true} << "P1" << next_year
                                    << QByteArray("P1,T1,20.12,,,19.95\n");
        QTest::newRow("none") << QList<bool>{false, false, false, false} << "P1" << next_year
                              << QByteArray("P1,T1,,,,\n");
        QTest::newRow("out of calibration") << QList<bool>{true, true, false, false} << "P1"
                                            << QDate::currentDate() << QByteArray("P1,T1,-----,-----,,\n");
        QTest::newRow("comma and quotes")
            << QList<bool>{false, false, false, true} << "Table 2, \"left\"" << next_year
            << QByteArray("\"Table 2, \"\"left\"\"\",T1,,,,19.95\n");
        QTest::newRow("outside Latin-1")
            << QList<bool>{false, false, false, false} << QString::fromUtf8("Pos \u2603 \u00e9") << next_year
            << QByteArray("Pos ? \xe9,T1,,,,\n");
    }

    void Data_Line_Holds_The_Ticked_Axes()
    {
        QFETCH(QList<bool>, ticked);
        QFETCH(QString, description);
        QFETCH(QDate, due_date);
        QFETCH(QByteArray, line);
        std::unique_ptr<TVelmora> window(Create_Window({Offset_Thermometer("T1", 0.12, due_date)}));
        Child<QLineEdit>(window.get(), "Description_Field")->setText(description);
        Tick(window.get(), ticked[0], ticked[1], ticked[2], ticked[3]);

        Write(window.get());
        QCOMPARE(Read_File(Log_File()), Header + line);
    }

    void Thermometer_With_A_Comma_Is_Quoted()
    {
        std::unique_ptr<TVelmora> window(Create_Window({Offset_Thermometer("Probe 3, spare")}));
        Tick(window.get(), false, false, false, false);
        Write(window.get());
        QCOMPARE(Read_File(Log_File()), Header + "P1,\"Probe 3, spare\",,,,\n");
    }

    void Empty_Selector_Writes_An_Empty_Thermometer()
    {
        std::unique_ptr<TVelmora> window(Create_Window({}));
        Write(window.get());
        QCOMPARE(Read_File(Log_File()), Header + "P1,,-----,-----,-----,-----\n");
    }

    void Existing_Empty_File_Gets_No_Header()
    {
        QFile empty(Log_File());
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        std::unique_ptr<TVelmora> window(Create_Window());
        Tick(window.get(), true, false, false, false);
        Write(window.get());
        QCOMPARE(Read_File(Log_File()), QByteArray("P1,T1,20.12,,,\n"));
    }

    void Unopenable_File_Is_Reported()
    {
        std::unique_ptr<TVelmora> window(Create_Window());
        const QString missing = record_directory->path() + "/no such directory";
        Child<QLineEdit>(window.get(), "Record_Path_Field")->setText(QDir::toNativeSeparators(missing));
        Write(window.get());
        const QStringList lines = Log_Lines(window.get());
        QCOMPARE(lines[lines.size() - 2], QString("INF  Creating log file: '%1' for 'P1'")
                                              .arg(QDir::toNativeSeparators(missing + "/velmora.csv")));
        QCOMPARE(lines.last(), QString("WAR  Cannot open temperature log file for writing"));
        QVERIFY(!QFile::exists(missing + "/velmora.csv"));
    }

    void Failed_Write_Is_Reported()
    {
        std::unique_ptr<TVelmora> window(Create_Window());
        // The header alone is longer than 20 bytes.
        With_File_Size_Limit(20, [&]() { Write(window.get()); });

        QVERIFY2(Log_Lines(window.get())
                     .last()
                     .startsWith(QString("WAR  Temperature log entry was not written to '%1'")
                                     .arg(QDir::toNativeSeparators(Log_File()))),
                 qPrintable(Log_Lines(window.get()).last()));
    }

    void Record_Fields_Are_Read_When_Writing()
    {
        std::unique_ptr<TVelmora> window(Create_Window());
        QVERIFY(QDir(record_directory->path()).mkdir("typed"));
        Child<QLineEdit>(window.get(), "Record_Path_Field")
            ->setText(QDir::toNativeSeparators(record_directory->path() + "/typed"));
        Child<QLineEdit>(window.get(), "Record_File_Field")->setText("bench.csv");
        Tick(window.get(), false, false, false, false);
        Write(window.get());
        QCOMPARE(Read_File(record_directory->path() + "/typed/bench.csv"), Header + "P1,T1,,,,\n");
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
        std::unique_ptr<TVelmora> window(Create_Window());
        QLineEdit* record_path = Child<QLineEdit>(window.get(), "Record_Path_Field");
        const QString before = record_path->text();
        const QString chosen = record_directory->path() + "/chosen";
        QVERIFY(QDir().mkpath(chosen));

        QString caption;
        Answer_Next_Modal("QFileDialog",
                          [&](QWidget* modal)
                          {
                              QFileDialog* dialog = qobject_cast<QFileDialog*>(modal);
                              QVERIFY(dialog != nullptr);
                              caption = dialog->windowTitle();
                              QCOMPARE(QDir(dialog->directory()).absolutePath(),
                                       QDir(record_directory->path()).absolutePath());
                              if (accept)
                              {
                                  dialog->setDirectory(chosen);
                                  dialog->selectFile(chosen);
                                  QMetaObject::invokeMethod(dialog, "accept");
                              }
                              else
                              {
                                  dialog->reject();
                              }
                          });
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Browse_Path"));

        QCOMPARE(caption, QString("Select directory to write output file."));
        QCOMPARE(record_path->text(), accept ? QDir::toNativeSeparators(chosen) : before);
    }
};

const QByteArray TTemperatureLogTest::Header =
    "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";

QTEST_MAIN(TTemperatureLogTest)
#include "tst_temperaturelog.moc"
