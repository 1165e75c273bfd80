#include "calibrationstore.h"
#include "velmoratestsupport.h"

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
        QCOMPARE(store.Get_Data_Directory_Messages(),
                 QStringList(QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                                 .arg(Native(data_directory), Native(fallback)) +
                             copied));
        QCOMPARE(store.Get_Settings_File_Name(), fallback + "/velmora_settings.ini");
        QCOMPARE(store.Get_Calibration_File_Name(), fallback + "/calibration_data.xml");
        QCOMPARE(Read_File(store.Get_Calibration_File_Name()), Read_File(calibration_file));
        QCOMPARE(Read_File(store.Get_Settings_File_Name()),
                 settings_here ? QByteArray("here") : Read_File(data_directory + "/velmora_settings.ini"));
    }

    // An installed program never makes or reads ".velmora" beside it, not even a writable one.
    void Installed_Program_Uses_The_User_Directory_data()
    {
        QTest::addColumn<bool>("data_beside"); // a build tree's data beside the executable
        QTest::newRow("bin directory") << false;
        QTest::newRow("beside a .velmora") << true;
    }

    void Installed_Program_Uses_The_User_Directory()
    {
        QFETCH(bool, data_beside);
        QVERIFY(Install_Layout());
        QVERIFY(!data_beside || Write_Calibration_File({{"Beside"}}, calibration_file));
        const QByteArray beside = Read_File(calibration_file);

        TCalibrationStore store(application_directory);
        QCOMPARE(store.Get_Data_Directory_Messages(),
                 QStringList("INF  Data directory: '" + Native(User_Directory()) + "'"));
        QCOMPARE(store.Get_Settings_File_Name(), User_Directory() + "/velmora_settings.ini");
        TThermometerList list;
        store.Load_Thermometers(&list);
        QCOMPARE(list.Get_Descriptions(), QStringList());
        list.Set_Correction_Data("T1", TCorrectionDialogData());
        QCOMPARE(store.Save_Thermometers(&list), QStringList());
        QVERIFY(Read_File(User_Directory() + "/calibration_data.xml").contains(">T1<"));
        QCOMPARE(QFileInfo::exists(data_directory), data_beside);
        QCOMPARE(Read_File(calibration_file), beside);
    }

    // The program still starts, told which directory failed and why; every save then fails aloud.
    void Unwritable_User_Directory_Is_Reported_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>(
            "blocked_by_file"); // a file where the directory belongs, else a read-only parent
        QTest::newRow("installed, a file in the way") << true << true;
        QTest::newRow("installed, a read-only parent") << true << false;
        QTest::newRow("build tree, nothing writable") << false << true;
    }

    void Unwritable_User_Directory_Is_Reported()
    {
        QFETCH(bool, installed);
        QFETCH(bool, blocked_by_file);
        if (!blocked_by_file && geteuid() == 0)
        {
            QSKIP("root writes into read-only directories");
        }
        const QString user_parent = QFileInfo(User_Directory()).path();
        QVERIFY(QDir().mkpath(user_parent));
        QVERIFY(installed ? Install_Layout() : Write_File(data_directory, "in the way"));
        QVERIFY(blocked_by_file ? Write_File(User_Directory(), "in the way")
                                : QFile::setPermissions(user_parent, QFile::ReadOwner | QFile::ExeOwner));

        TCalibrationStore store(application_directory);
        TThermometerList list;
        list.Set_Correction_Data("T1", TCorrectionDialogData());
        const QStringList save_lines = store.Save_Thermometers(&list);
        QFile::setPermissions(user_parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QStringList lines = store.Get_Data_Directory_Messages();
        QCOMPARE(lines.size(), installed ? 1 : 2);
        const QString error = lines.last();
        const QString start = "ERR  Cannot write data directory '" + Native(User_Directory()) + "': ";
        const QString end = "; settings and thermometers will not be saved.";
        QVERIFY2(error.startsWith(start) && error.endsWith(end), qPrintable(error));
        const QString reason = error.mid(start.size(), error.size() - start.size() - end.size());
        QCOMPARE(reason, QString(blocked_by_file ? "Not a directory" : "Permission denied"));
        QCOMPARE(save_lines.size(), 1);
        QVERIFY2(
            save_lines.first().startsWith("ERR  error writing file '" + store.Get_Calibration_File_Name()),
            qPrintable(save_lines.first()));
        QVERIFY(!QFileInfo(User_Directory()).isDir());
        QCOMPARE(Read_File(User_Directory()), blocked_by_file ? QByteArray("in the way") : QByteArray());
        QCOMPARE(Read_File(data_directory), installed ? QByteArray() : QByteArray("in the way"));
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
        QCOMPARE(store.Get_Data_Directory_Messages(), QStringList());
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
        QTest::newRow("character XML forbids") << QByteArray(">B<") << QByteArray(">B&#1;<");
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
        QVERIFY(!QFile::exists(calibration_file + ".lock"));
    }
};

QTEST_GUILESS_MAIN(TCalibrationStoreTest)
#include "tst_calibrationstore.moc"
