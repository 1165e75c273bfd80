#include "calibrationstore.h"
#include "calibrationtestsupport.h"

#include <QLockFile>
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

    // Where an installed program finds its desktop entry; application_directory is then its bin directory.
    const QString desktop_entry =
        QDir::cleanPath(application_directory + "/" VELMORA_DESKTOP_ENTRY_FROM_BINDIR);

    static QString Native(const QString& path) { return QDir::toNativeSeparators(path); }
    static QString User_Directory()
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }

    bool Install_Layout()
    {
        return QDir().mkpath(QFileInfo(desktop_entry).path()) &&
               Write_File(desktop_entry, "[Desktop Entry]\n");
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        const QString user_parent = QFileInfo(User_Directory()).path();
        QFile::setPermissions(user_parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(User_Directory());
        QFile::remove(desktop_entry);
        Remove_Data_Directories();
        QDir(application_directory).removeRecursively();
        QVERIFY(QDir().mkpath(application_directory));
    }

    // Data beside the executable is taken over when the per-user directory lacks it.
    void Unusable_Data_Directory_Falls_Back_data()
    {
        QTest::addColumn<bool>("blocked_by_file");     // else a read-only .velmora
        QTest::addColumn<QByteArray>("settings_here"); // in the per-user directory already
        QTest::addColumn<QString>("copied");
        QTest::newRow("a file named .velmora") << true << QByteArray() << QString();
        QTest::newRow("a read-only .velmora")
            << false << QByteArray() << " Copied calibration_data.xml and velmora_settings.ini from it.";
        QTest::newRow("settings already here")
            << false << QByteArray("here") << " Copied calibration_data.xml from it.";
    }

    void Unusable_Data_Directory_Falls_Back()
    {
        QFETCH(bool, blocked_by_file);
        QFETCH(QByteArray, settings_here);
        QFETCH(QString, copied);
        if (!blocked_by_file && geteuid() == 0)
        {
            QSKIP("root writes into read-only directories");
        }
        const QString settings = data_directory + "/velmora_settings.ini";
        QVERIFY(blocked_by_file
                    ? Write_File(data_directory, "")
                    : Write_Calibration_File({{"T1"}}, calibration_file) && Write_File(settings, "a"));
        QVERIFY(settings_here.isEmpty() ||
                (QDir().mkpath(User_Directory()) &&
                 Write_File(User_Directory() + "/velmora_settings.ini", settings_here)));
        QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::ExeOwner);
        const TCalibrationStore store(application_directory);
        QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(store.Get_Data_Directory_Messages(),
                 QStringList(QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                                 .arg(Native(data_directory), Native(User_Directory())) +
                             copied));
        QCOMPARE(store.Get_Data_Directory(), User_Directory());
        QCOMPARE(Read_File(store.Get_Calibration_File_Name()), Read_File(calibration_file));
        QCOMPARE(Read_File(store.Get_Settings_File_Name()),
                 settings_here.isEmpty() ? Read_File(settings) : settings_here);
    }

    // An installed program never reads ".velmora" beside it, not even a writable one.
    void Installed_Program_Uses_The_User_Directory()
    {
        QVERIFY(Install_Layout());
        QVERIFY(Write_Calibration_File({{"Beside"}}, calibration_file));
        TCalibrationStore store(application_directory);
        QCOMPARE(store.Get_Data_Directory_Messages(),
                 QStringList("INF  Data directory: '" + Native(User_Directory()) + "'"));
        TThermometerList list;
        store.Load_Thermometers(&list);
        QCOMPARE(list.Get_Descriptions(), QStringList());
    }

    // The program still starts, told which directory failed and why (found at the nearest existing
    // ancestor); every save then fails aloud.
    void Unwritable_User_Directory_Is_Reported()
    {
        if (geteuid() == 0)
        {
            QSKIP("root writes into read-only directories");
        }
        const QString user_parent = QFileInfo(User_Directory()).path();
        QVERIFY(QDir().mkpath(user_parent) && Install_Layout());
        QVERIFY(QFile::setPermissions(user_parent, QFile::ReadOwner | QFile::ExeOwner));
        TCalibrationStore store(application_directory);
        TThermometerList list;
        list.Set_Correction_Data("T1", TCorrectionDialogData());
        const QStringList save_lines = store.Save_Thermometers(&list);
        QCOMPARE(store.Get_Data_Directory_Messages(),
                 QStringList("ERR  Cannot write data directory '" + Native(User_Directory()) +
                             "': Permission denied; settings and thermometers will not be saved."));
        QCOMPARE(save_lines.size(), 1);
        QVERIFY2(
            save_lines.first().startsWith("ERR  error writing file '" + store.Get_Calibration_File_Name()),
            qPrintable(save_lines.first()));
        QVERIFY(!QFileInfo::exists(User_Directory()));
    }

    // Every entry a load leaves out is named with the reason; a file that did not load completely is
    // kept under a new name at the first save, never over an earlier kept copy.
    void Damaged_File_Is_Kept_Before_The_First_Save_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("lines"); // the first only as far as the file name
        const QString loaded = "INF  Calibration file loaded: '" + Native(calibration_file) + "'";
        const QString broken = "ERR  Cannot load calibration file: '" + Native(calibration_file) + "': error";
        const QString a = "INF  Loaded correction data for 'A'.  Calibration Due: Dec 31 2031";
        const QString count = "INF  Calibration data checksum error count: ";
        const QString keep = "WAR  Calibration file '" + Native(calibration_file) +
                             "' will be kept under a new name at the first save.";
        QTest::newRow("intact") << QByteArray() << QByteArray()
                                << QStringList{loaded, a, QString(a).replace("'A'", "'B'"), count + "0"};
        QTest::newRow("checksum mismatch")
            << QByteArray(">B<") << QByteArray(">B2<")
            << QStringList{loaded, a, count + "1",
                           "WAR  Calibration entry 2 'B2' was left out: checksum mismatch.", keep};
        QTest::newRow("no description")
            << QByteArray("<Description>B</Description>") << QByteArray()
            << QStringList{broken, a, count + "0", "WAR  Calibration entry 2 was left out: broken entry.",
                           keep};
        QTest::newRow("character XML forbids")
            << QByteArray(">B<") << QByteArray(">B&#1;<") << QStringList{broken, count + "0", keep};
        QTest::newRow("other version") << QByteArray("File_Version=\"1\"") << QByteArray("File_Version=\"2\"")
                                       << QStringList{loaded, count + "0", keep};
    }

    void Damaged_File_Is_Kept_Before_The_First_Save()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, lines);
        const QDate due(2031, 12, 31);
        QVERIFY(Write_Calibration_File({{"A", 0.12, due}, {"B", 0.12, due}}, calibration_file));
        const QByteArray damaged = Read_File(calibration_file).replace(before, after);
        QVERIFY(Write_File(calibration_file, damaged));
        const auto kept = [this](int number) {
            return data_directory + QString("/calibration_data_kept_%1.xml").arg(number);
        };
        QVERIFY(Write_File(kept(1), "earlier"));

        TCalibrationStore store(application_directory);
        TThermometerList list;
        const QStringList start_up = store.Load_Thermometers(&list);
        QVERIFY2(start_up.value(0).startsWith(lines[0]), qPrintable(start_up.value(0)));
        QCOMPARE(start_up.mid(1), lines.mid(1));
        list.Set_Correction_Data("X", TCorrectionDialogData());
        const QStringList first_save = store.Save_Thermometers(&list);
        QCOMPARE(store.Save_Thermometers(&list), QStringList());
        QCOMPARE(Read_File(kept(1)), QByteArray("earlier"));
        QCOMPARE(Read_File(kept(2)), before.isEmpty() ? QByteArray() : damaged);
        QCOMPARE(first_save,
                 before.isEmpty()
                     ? QStringList()
                     : QStringList("WAR  Calibration file '" + Native(calibration_file) +
                                   "' did not load completely; kept it as '" + Native(kept(2)) + "'."));
        QVERIFY(Read_File(calibration_file).contains(">X<"));
    }

    // A writer that holds the lock longer than the timeout: no save, and the list stays as it was.
    void Change_Waits_For_The_Lock()
    {
        QVERIFY(Write_Calibration_File({{"A"}}, calibration_file));
        const QByteArray before = Read_File(calibration_file);
        TCalibrationStore store(application_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        QLockFile other_writer(calibration_file + ".lock");
        QVERIFY(other_writer.lock());
        store.Set_Lock_Timeout(10);
        const auto add = [](TThermometerList* changed) {
            changed->Set_Correction_Data("X", TCorrectionDialogData());
            return QString("INF  added");
        };
        QCOMPARE(store.Change_Thermometers(&list, add),
                 QStringList("ERR  Cannot lock calibration file '" + Native(calibration_file) +
                             "': another Velmora is saving it; the change was not saved."));
        QCOMPARE(list.Get_Descriptions(), QStringList("A"));
        QCOMPARE(Read_File(calibration_file), before);

        other_writer.unlock();
        QCOMPARE(store.Change_Thermometers(&list, add), QStringList("INF  added"));
        QCOMPARE(Read_File(calibration_file).count("<Entry>"), 2);
    }
};

QTEST_GUILESS_MAIN(TCalibrationStoreTest)
#include "tst_calibrationstore.moc"
