#include "calibrationstore.h"
#include "velmoratestsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace Test_Support;

// The data directory, the start-up lines of a load and the kept copy, without a window.
class TCalibrationStoreTest : public QObject
{
    Q_OBJECT

    QTemporaryDir base;
    // Stands for the directory of the executable; "%1" and "%2" must reach file names as they are.
    const QString application_directory = base.filePath("app %1 %2");
    const QString data_directory = application_directory + "/.velmora";
    const QString calibration_file = data_directory + "/calibration_data.xml";

    static QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        Remove_Data_Directories();
        QDir(application_directory).removeRecursively();
        QVERIFY(QDir().mkpath(application_directory));
    }

    // Data beside the executable is taken over when the per-user directory lacks it.
    void Unusable_Data_Directory_Falls_Back_data()
    {
        QTest::addColumn<bool>("blocked_by_file");
        QTest::addColumn<bool>("settings_here"); // the per-user directory holds settings already
        QTest::addColumn<QString>("copied");
        QTest::newRow("a file named .velmora") << true << false << QString();
        QTest::newRow("a read-only .velmora")
            << false << false << " Copied calibration_data.xml and velmora_settings.ini from it.";
        QTest::newRow("settings already here") << false << true << " Copied calibration_data.xml from it.";
    }

    void Unusable_Data_Directory_Falls_Back()
    {
        QFETCH(bool, blocked_by_file);
        QFETCH(bool, settings_here);
        QFETCH(QString, copied);
        if (!blocked_by_file && geteuid() == 0)
        {
            QSKIP("root writes into read-only directories");
        }
        const QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(blocked_by_file ? Write_File(data_directory, "")
                                : Write_Calibration_File({{"T1"}}, calibration_file));
        QVERIFY(blocked_by_file ||
                Write_File(data_directory + "/velmora_settings.ini", "[General]\nRecord_File=a\n"));
        QVERIFY(!settings_here ||
                (QDir().mkpath(fallback) && Write_File(fallback + "/velmora_settings.ini", "here")));
        QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::ExeOwner);
        const TCalibrationStore store(application_directory);
        QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(store.Get_Data_Directory_Warning(),
                 QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                         .arg(Native(data_directory), Native(fallback)) +
                     copied);
        QCOMPARE(store.Get_Settings_File_Name(), fallback + "/velmora_settings.ini");
        QCOMPARE(store.Get_Calibration_File_Name(), fallback + "/calibration_data.xml");
        QCOMPARE(Read_File(store.Get_Calibration_File_Name()), Read_File(calibration_file));
        QCOMPARE(Read_File(store.Get_Settings_File_Name()),
                 settings_here ? QByteArray("here") : Read_File(data_directory + "/velmora_settings.ini"));
    }

    // Every entry left out is named with the reason, and the file is said to be kept.
    void Start_Up_Lines_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("error"); // empty: the file loads
        QTest::addColumn<int>("checksum_errors");
        QTest::addColumn<QString>("rejected");
        QTest::newRow("checksum mismatch") << QByteArray(">T2<") << QByteArray(">T2b<") << QString() << 1
                                           << "2 'T2b' was left out: checksum mismatch";
        QTest::newRow("broken entry") << QByteArray("<Description>T2</Description>") << QByteArray()
                                      << "ERR:  " << 0 << "2 was left out: broken entry";
    }

    void Start_Up_Lines()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, error);
        QFETCH(int, checksum_errors);
        QFETCH(QString, rejected);
        QVERIFY(Write_Calibration_File({{"T1"}, {"T2"}}, calibration_file));
        QByteArray content = Read_File(calibration_file);
        QVERIFY(Write_File(calibration_file, content.replace(before, after)));

        TCalibrationStore store(application_directory);
        QCOMPARE(store.Get_Data_Directory_Warning(), QString());
        TThermometerList list;
        const QStringList lines = store.Load_Thermometers(&list);
        const QString file = Native(calibration_file);
        QCOMPARE(lines.mid(1), QStringList({"INF  Loaded correction data for 'T1'.  Calibration Due: " +
                                                QDate::currentDate().addYears(1).toString("MMM dd yyyy"),
                                            "INF  Calibration data checksum error count: " +
                                                QString::number(checksum_errors),
                                            "WAR  Calibration entry " + rejected + ".",
                                            "WAR  Calibration file '" + file +
                                                "' will be kept under a new name at the first save."}));
        QVERIFY2(lines[0].startsWith(error.isEmpty() ? "INF  Calibration file loaded: '" + file + "'"
                                                     : "ERR  Cannot load calibration file: '" + file +
                                                           "': error reading file '" + calibration_file +
                                                           "': " + error + "Node 'Description' is missing"),
                 qPrintable(lines[0]));
    }

    void Damaged_File_Is_Kept_Before_The_First_Save_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("intact") << QByteArray() << QByteArray();
        QTest::newRow("checksum mismatch") << QByteArray(">B<") << QByteArray(">B2<");
        QTest::newRow("broken entry") << QByteArray("15.00000,0.12000") << QByteArray("15.00000");
        QTest::newRow("other version")
            << QByteArray("File_Version=\"1\"") << QByteArray("File_Version=\"2\"");
    }

    void Damaged_File_Is_Kept_Before_The_First_Save()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QVERIFY(Write_Calibration_File({{"A"}, {"B"}}, calibration_file));
        const QByteArray damaged = Read_File(calibration_file).replace(before, after);
        QVERIFY(Write_File(calibration_file, damaged));
        const auto kept = [this](int number) {
            return data_directory + QString("/calibration_data_kept_%1.xml").arg(number);
        };
        QVERIFY(Write_File(kept(1), "earlier")); // an earlier kept copy is never overwritten

        TCalibrationStore store(application_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        list.Set_Correction_Data("X", TCorrectionDialogData());
        const QStringList first_save = store.Save_Thermometers(&list);
        QCOMPARE(store.Save_Thermometers(&list), QStringList()); // only the first save keeps a copy
        QCOMPARE(Read_File(kept(1)), QByteArray("earlier"));
        QCOMPARE(Read_File(kept(2)), before.isEmpty() ? QByteArray() : damaged);
        QVERIFY(!QFile::exists(kept(3)));
        QCOMPARE(first_save,
                 before.isEmpty()
                     ? QStringList()
                     : QStringList("WAR  Calibration file '" + Native(calibration_file) +
                                   "' did not load completely; kept it as '" + Native(kept(2)) + "'."));
        QVERIFY(Read_File(calibration_file).contains(">X<"));
    }
};

QTEST_GUILESS_MAIN(TCalibrationStoreTest)
#include "tst_calibrationstore.moc"
