#include "calibrationhistory.h"
#include "calibrationstore.h"
#include "calibrationtestsupport.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
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

    // Data beside the executable is taken over when the per-user directory lacks it; the calibration
    // history goes with the calibration file, and only with it.
    void Unusable_Data_Directory_Falls_Back_data()
    {
        QTest::addColumn<bool>("blocked_by_file"); // else a read-only .velmora
        QTest::addColumn<QString>("here");         // in the per-user directory already
        QTest::addColumn<QString>("copied");
        QTest::newRow("a file named .velmora") << true << QString() << QString();
        QTest::newRow("a read-only .velmora")
            << false << QString()
            << " Copied calibration_data.xml, calibration_history.jsonl and velmora_settings.ini from it.";
        QTest::newRow("settings already here")
            << false << "velmora_settings.ini"
            << " Copied calibration_data.xml and calibration_history.jsonl from it.";
        QTest::newRow("a calibration file already here") << false << "calibration_data.xml"
                                                         << " Copied velmora_settings.ini from it.";
    }

    void Unusable_Data_Directory_Falls_Back()
    {
        QFETCH(bool, blocked_by_file);
        QFETCH(QString, here);
        QFETCH(QString, copied);
        if (!blocked_by_file && geteuid() == 0)
        {
            QSKIP("root writes into read-only directories");
        }
        const QString settings = data_directory + "/velmora_settings.ini";
        if (blocked_by_file)
        {
            QVERIFY(Write_File(data_directory, ""));
        }
        else
        {
            // A calibration file saved with its history, which it names.
            QVERIFY(QDir().mkpath(data_directory));
            TCalibrationStore beside = TCalibrationStore::In_Data_Directory(data_directory);
            TThermometerList list;
            QVERIFY(beside.Change_Thermometers(&list, Add_X()).saved);
            QVERIFY(Write_File(settings, "a"));
        }
        const QString user_file = User_Directory() + "/" + here;
        if (here.endsWith(".xml"))
        {
            QVERIFY(Write_Calibration_File({{"T2"}}, user_file));
        }
        else if (!here.isEmpty())
        {
            QVERIFY(QDir().mkpath(User_Directory()) && Write_File(user_file, "here"));
        }
        const QByteArray here_before = Read_File(user_file);
        QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::ExeOwner);
        TCalibrationStore store(application_directory);
        QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(Log_Lines(store.Get_Data_Directory_Messages()),
                 QStringList(QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                                 .arg(Native(data_directory), Native(User_Directory())) +
                             copied));
        QCOMPARE(store.Get_Data_Directory(), User_Directory());
        for (const QString& name :
             QStringList({"calibration_data.xml", "calibration_history.jsonl", "velmora_settings.ini"}))
        {
            const QString target = User_Directory() + "/" + name;
            QCOMPARE(Read_File(target), name == here            ? here_before
                                        : copied.contains(name) ? Read_File(data_directory + "/" + name)
                                                                : QByteArray());
        }
        // Moved together, file and history still agree: nothing is started anew.
        QStringList started;
        if (here.endsWith(".xml"))
        {
            started << "INF  Calibration history started: 1 thermometer(s) recorded as first seen.";
        }
        TThermometerList list;
        store.Load_Thermometers(&list);
        QCOMPARE(Log_Lines(store.Check_Calibration_History(list).finding_messages), started);
    }

    // An installed program never reads ".velmora" beside it, not even a writable one.
    void Installed_Program_Uses_The_User_Directory()
    {
        QVERIFY(Install_Layout());
        QVERIFY(Write_Calibration_File({{"Beside"}}, calibration_file));
        TCalibrationStore store(application_directory);
        QCOMPARE(Log_Lines(store.Get_Data_Directory_Messages()),
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
        const TThermometerChangeResult save = store.Change_Thermometers(&list, Add_X());
        QCOMPARE(Log_Lines(store.Get_Data_Directory_Messages()),
                 QStringList("ERR  Cannot write data directory '" + Native(User_Directory()) +
                             "': Permission denied; settings and thermometers will not be saved."));
        QCOMPARE(save.messages.size(), 1);
        QVERIFY2(save.messages.first().Log_Line().startsWith("ERR  Cannot lock calibration file '" +
                                                             Native(store.Get_Calibration_File_Name()) +
                                                             "': "),
                 qPrintable(save.messages.first().Log_Line()));
        QVERIFY(!save.saved);
        QCOMPARE(list.Get_Descriptions(), QStringList());
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
        // A damaged file offers what it held before the damage.
        QTest::newRow("character XML forbids")
            << QByteArray(">B<") << QByteArray(">B&#1;<")
            << QStringList{broken, a, count + "0",
                           "WAR  Calibration entry 2 was left out: cut off by the damage.", keep};
        const QString sample = base.filePath("sample.xml");
        QVERIFY(Write_Calibration_File({{"A", 0.12, QDate(2031, 12, 31)}, {"B", 0.12, QDate(2031, 12, 31)}},
                                       sample));
        const QByteArray intact = Read_File(sample);
        QTest::newRow("cut in the second entry")
            << intact.mid(intact.indexOf("<Point2>", intact.indexOf(">B<"))) << QByteArray()
            << QStringList{broken, a, count + "0",
                           "WAR  Calibration entry 2 'B' was left out: cut off by the damage.", keep};
        QTest::newRow("control character near the end")
            << QByteArray("</Calibration_Entries>") << QByteArray("</Calibration_Entries\x02>")
            << QStringList{broken, a, QString(a).replace("'A'", "'B'"), count + "0", keep};
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
        const QStringList start_up = Log_Lines(store.Load_Thermometers(&list));
        QVERIFY2(start_up.value(0).startsWith(lines[0]), qPrintable(start_up.value(0)));
        QCOMPARE(start_up.mid(1), lines.mid(1));
        const TThermometerChangeResult first_save = store.Change_Thermometers(&list, Add_X());
        QVERIFY(first_save.saved);
        QCOMPARE(Log_Lines(store.Change_Thermometers(&list, Add_X()).messages), QStringList("INF  added"));
        QCOMPARE(Read_File(kept(1)), QByteArray("earlier"));
        QCOMPARE(Read_File(kept(2)), before.isEmpty() ? QByteArray() : damaged);
        QCOMPARE(Log_Lines(first_save.messages),
                 QStringList("INF  added") +
                     (before.isEmpty()
                          ? QStringList()
                          : QStringList("WAR  Calibration file '" + Native(calibration_file) +
                                        "' did not load completely; kept it as '" + Native(kept(2)) + "'.")));
        QVERIFY(Read_File(calibration_file).contains(">X<"));
    }

    // A full disk: a kept copy cut short would lose the thermometers it is kept for, so nothing is saved.
    void Damaged_File_Is_Kept_Whole_Or_Not_At_All()
    {
        // Escaped in the calibration file, the description makes it larger than its history.
        const QString a = QString(400, '&');
        QVERIFY(Write_Calibration_File({{a}, {"B"}}, calibration_file));
        const QByteArray damaged = Read_File(calibration_file).replace(">B<", ">B2<");
        QVERIFY(Write_File(calibration_file, damaged));
        TCalibrationStore store(application_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        TThermometerChangeResult save;
        With_File_Size_Limit(rlim_t(damaged.size() - 1),
                             [&]() { save = store.Change_Thermometers(&list, Add_X()); });
        const QString kept = data_directory + "/calibration_data_kept_1.xml";
        QCOMPARE(Log_Lines(save.messages),
                 QStringList("ERR  Cannot keep calibration file '" + Native(calibration_file) + "' as '" +
                             Native(kept) + "'; the thermometers were not saved.  Reason: " +
                             QString::fromLocal8Bit(std::strerror(EFBIG))));
        QVERIFY(!save.saved);
        QCOMPARE(list.Get_Descriptions(), QStringList(a));
        QCOMPARE(Read_File(calibration_file), damaged);
        QVERIFY(!QFileInfo::exists(kept));
    }

    // A hand-made entry without a description is named by its number; the others load.
    void Unreachable_Entry_Is_Left_Out()
    {
        const QDate due(2031, 12, 31);
        QVERIFY(
            Write_Calibration_File({{"A", 0.12, due}, {"B", 0.12, due}, {"C", 0.12, due}}, calibration_file));
        const auto checksum = [&due](const QString& description) {
            const TThermometerData record{description, Correction(15, 0.12, 20, 0.12, 25, 0.12), due};
            return ">" + TThermometerList().Calculate_Checksum(record).toUtf8() + "<";
        };
        QByteArray content = Read_File(calibration_file);
        QVERIFY(content.contains(checksum("B")));
        content.replace(">B<", "><![CDATA[]]><").replace(checksum("B"), checksum(""));
        QVERIFY(Write_File(calibration_file, content));

        TCalibrationStore store(application_directory);
        TThermometerList list;
        const QStringList lines = Log_Lines(store.Load_Thermometers(&list));
        QCOMPARE(list.Get_Descriptions(), QStringList({"A", "C"}));
        QCOMPARE(lines.filter("WAR  "),
                 QStringList({"WAR  Calibration entry 2 was left out: broken entry.",
                              "WAR  Calibration file '" + Native(calibration_file) +
                                  "' will be kept under a new name at the first save."}));
        QVERIFY(lines.contains("INF  Calibration data checksum error count: 0"));
    }

    // A device would be read without end and a file far larger than any calibration file into memory,
    // only to be refused: either is refused before a byte of it is read, at the load and at every
    // later look at the file. A file too large to read is kept, unread, under a new name at the first
    // save.
    void Unreadable_Calibration_File_Is_Refused_Unread_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link to /dev/zero") << "device"
                                           << "it is not a regular file";
        QTest::newRow("named pipe") << "pipe"
                                    << "it is not a regular file";
        QTest::newRow("sparse 300 MB") << "sparse"
                                       << "it is larger than 256 MB";
    }

    void Unreadable_Calibration_File_Is_Refused_Unread()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QVERIFY(QDir().mkpath(data_directory));
        if (kind == "device")
        {
            QVERIFY(QFile::link("/dev/zero", calibration_file));
        }
        else if (kind == "pipe")
        {
            QCOMPARE(mkfifo(QFile::encodeName(calibration_file).constData(), 0600), 0);
        }
        else
        {
            QFile sparse(calibration_file);
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(300) * 1024 * 1024));
        }
        TCalibrationStore store(application_directory);
        TThermometerList list;
        const QStringList lines = Log_Lines(store.Load_Thermometers(&list));
        const QString file = Native(calibration_file);
        QCOMPARE(lines.value(0), "ERR  Cannot load calibration file: '" + file + "': error reading file '" +
                                     calibration_file + "': ERR:  Cannot open file: '" + calibration_file +
                                     "'.  Reason: " + reason);
        bool reloaded = true;
        QCOMPARE(Log_Lines(store.Reload_Changed_Thermometers(&list, &reloaded)), QStringList());
        QVERIFY(!reloaded);
        if (kind != "sparse")
        {
            return;
        }
        QCOMPARE(Log_Lines(store.Change_Thermometers(&list, Add_X()).messages),
                 QStringList({"INF  added",
                              "WAR  Calibration file '" + file + "' did not load completely; kept it as '" +
                                  Native(data_directory + "/calibration_data_kept_1.xml") + "'."}));
        QCOMPARE(QFileInfo(data_directory + "/calibration_data_kept_1.xml").size(),
                 qint64(300) * 1024 * 1024);
        QVERIFY(Read_File(calibration_file).contains(">X<"));
    }

    // A change that adds X, logging "INF  added".
    static TThermometerChange Add_X()
    {
        return [](TThermometerList* changed, TMessage* message) {
            changed->Set_Correction_Data("X", TCorrectionDialogData());
            *message = TMessage::Info("added");
            return true;
        };
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
        const TThermometerChangeResult refused = store.Change_Thermometers(&list, Add_X());
        QCOMPARE(Log_Lines(refused.messages),
                 QStringList("ERR  Cannot lock calibration file '" + Native(calibration_file) +
                             "': another Velmora is saving it; the change was not saved."));
        QVERIFY(!refused.saved && !refused.reloaded);
        QCOMPARE(list.Get_Descriptions(), QStringList("A"));
        QCOMPARE(Read_File(calibration_file), before);

        other_writer.unlock();
        const TThermometerChangeResult added = store.Change_Thermometers(&list, Add_X());
        QCOMPARE(Log_Lines(added.messages), QStringList("INF  added"));
        QVERIFY(added.saved && !added.reloaded);
        QCOMPARE(Read_File(calibration_file).count("<Entry>"), 2);
    }

    // What stands in the lock file's place but is no lock is named at once, with what to do (the
    // window's test has a directory and a file of text). An empty file is what a writer killed between
    // making the lock file and filling it leaves.
    void Lock_File_That_Is_No_Lock_Is_Named_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("advice");
        const QString lock = "'" + Native(calibration_file + ".lock") + "'";
        QTest::newRow("empty file") << "empty"
                                    << "the lock file " + lock + " holds no process id (0 bytes), so it is"
                                    << " If no other Velmora is saving, delete " + lock +
                                           ", then make the change again.";
        QTest::newRow("dangling link") << "link"
                                       << "the lock file " + lock + " is a symbolic link"
                                       << " Remove " + lock +
                                              " (Velmora makes only plain files of that name), then make the "
                                              "change again.";
        // QLockFile would take the link for the stale lock of a writer that is gone and delete it, and
        // a file without a process id older than half a minute for an abandoned one: neither is ours.
        QTest::newRow("link to a lock whose writer is gone")
            << "stale link"
            << "the lock file " + lock + " is a symbolic link"
            << " Remove " + lock +
                   " (Velmora makes only plain files of that name), then make the change again.";
        QTest::newRow("old file without a process id")
            << "old garbage"
            << "the lock file " + lock + " holds no process id (7 bytes), so it is"
            << " If no other Velmora is saving, delete " + lock + ", then make the change again.";
    }

    // The text of a lock file that a writer who is gone left: its process id no longer runs.
    QByteArray Lock_Of_A_Writer_That_Is_Gone()
    {
        const QString name = base.filePath("gone.lock");
        QLockFile lock(name);
        if (!lock.tryLock(0))
        {
            return QByteArray();
        }
        QByteArray content = Read_File(name);
        lock.unlock();
        QProcess finished;
        finished.start("true", QStringList());
        const qint64 gone_id = finished.waitForStarted() ? finished.processId() : 0;
        finished.waitForFinished();
        const qint64 own_id = QCoreApplication::applicationPid();
        return gone_id == 0 ? QByteArray()
                            : content.replace(QByteArray::number(own_id), QByteArray::number(gone_id));
    }

    void Lock_File_That_Is_No_Lock_Is_Named()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QFETCH(QString, advice);
        QVERIFY(Write_Calibration_File({{"A"}}, calibration_file));
        const QByteArray before = Read_File(calibration_file);
        const QString lock_name = calibration_file + ".lock";
        const QString target = data_directory + "/target";
        if (kind == "link")
        {
            QVERIFY(QFile::link(data_directory + "/nowhere", lock_name));
        }
        else if (kind == "stale link")
        {
            const QByteArray stale = Lock_Of_A_Writer_That_Is_Gone();
            QVERIFY(!stale.isEmpty() && Write_File(target, stale) && QFile::link(target, lock_name));
        }
        else
        {
            QVERIFY(Write_File(lock_name, kind == "old garbage" ? "garbage" : ""));
            QFile old(lock_name);
            QVERIFY(kind != "old garbage" || (old.open(QIODevice::ReadWrite) &&
                                              old.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                                              QFileDevice::FileModificationTime)));
        }
        const QByteArray target_before = Read_File(target);
        TCalibrationStore store(application_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);

        QElapsedTimer elapsed;
        elapsed.start();
        const TThermometerChangeResult refused = store.Change_Thermometers(&list, Add_X());
        // The default timeout is five seconds; a file that holds no lock is given half a second, as the
        // writer that made it may be about to fill it.
        QVERIFY2(elapsed.elapsed() < 2000, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(Log_Lines(refused.messages),
                 QStringList("ERR  Cannot lock calibration file '" + Native(calibration_file) +
                             "': " + reason + (reason.endsWith("so it is") ? " " : ", ") +
                             "not a lock Velmora can use; the change was not saved." + advice));
        QVERIFY(!refused.saved);
        QCOMPARE(list.Get_Descriptions(), QStringList("A"));
        QCOMPARE(Read_File(calibration_file), before);
        QVERIFY(QFileInfo(lock_name).isSymLink() || QFileInfo::exists(lock_name));
        QCOMPARE(Read_File(target), target_before);

        QVERIFY(QFile::remove(lock_name));
        QCOMPARE(Log_Lines(store.Change_Thermometers(&list, Add_X()).messages), QStringList("INF  added"));
    }

    // A lock file that cannot be made is named with the system's reason and what to do: a folder the
    // user may not write, or a disk too full for the lock file (here the file-size limit).
    void Lock_File_That_Cannot_Be_Made_Is_Named_data()
    {
        QTest::addColumn<bool>("read_only"); // else the file-size limit
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("advice");
        const QString lock = "'" + Native(calibration_file + ".lock") + "'";
        QTest::newRow("read-only folder")
            << true
            << "the lock file " + lock +
                   " cannot be created: " + QString::fromLocal8Bit(std::strerror(EACCES))
            << "Make sure this user may create files in '" + Native(data_directory) +
                   "', then make the change again.";
        QTest::newRow("full disk") << false
                                   << "the lock file " + lock + " cannot be written: " +
                                          QString::fromLocal8Bit(std::strerror(EFBIG))
                                   << "Check the disk that holds '" + Native(data_directory) +
                                          "', then make the change again.";
    }

    void Lock_File_That_Cannot_Be_Made_Is_Named()
    {
        QFETCH(bool, read_only);
        QFETCH(QString, reason);
        QFETCH(QString, advice);
        if (read_only && geteuid() == 0)
        {
            QSKIP("root writes into read-only directories");
        }
        QVERIFY(Write_Calibration_File({{"A"}}, calibration_file));
        const QByteArray before = Read_File(calibration_file);
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(data_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        TThermometerChangeResult refused;
        if (read_only)
        {
            QVERIFY(QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::ExeOwner));
            refused = store.Change_Thermometers(&list, Add_X());
            QVERIFY(QFile::setPermissions(data_directory,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        else
        {
            With_File_Size_Limit(0, [&] { refused = store.Change_Thermometers(&list, Add_X()); });
        }
        QCOMPARE(Log_Lines(refused.messages),
                 QStringList("ERR  Cannot lock calibration file '" + Native(calibration_file) +
                             "': " + reason + "; the change was not saved. " + advice));
        QVERIFY(!refused.saved);
        QCOMPARE(Read_File(calibration_file), before);
        QCOMPARE(QDir(data_directory).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList("calibration_data.xml"));
    }

    // A wait for another writer's lock can be cancelled, and then nothing is saved, also once the lock
    // is free; a waiter that goes on gets the lock as soon as the other writer lets it go.
    void Wait_For_The_Lock_Can_Be_Cancelled()
    {
        QVERIFY(Write_Calibration_File({{"A"}}, calibration_file));
        const QByteArray before = Read_File(calibration_file);
        TCalibrationStore store(application_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        QLockFile other_writer(calibration_file + ".lock");
        QVERIFY(other_writer.lock());
        int waits = 0;
        QString waited_for;
        store.Set_Lock_Wait([&](const QString& lock_name) {
            waited_for = lock_name;
            if (++waits == 3)
            {
                other_writer.unlock();
                return false;
            }
            return true;
        });
        const TThermometerChangeResult cancelled = store.Change_Thermometers(&list, Add_X());
        QCOMPARE(Log_Lines(cancelled.messages),
                 QStringList("ERR  Cannot lock calibration file '" + Native(calibration_file) +
                             "': waiting for another station's save was cancelled; the "
                             "change was not saved."));
        QCOMPARE(waits, 3);
        QCOMPARE(waited_for, calibration_file + ".lock");
        QVERIFY(!cancelled.saved);
        QCOMPARE(list.Get_Descriptions(), QStringList("A"));
        QCOMPARE(Read_File(calibration_file), before);

        QVERIFY(other_writer.lock());
        waits = 0;
        store.Set_Lock_Wait([&](const QString&) {
            if (++waits == 2)
            {
                other_writer.unlock();
            }
            return true;
        });
        const TThermometerChangeResult added = store.Change_Thermometers(&list, Add_X());
        QCOMPARE(Log_Lines(added.messages), QStringList("INF  added"));
        QCOMPARE(waits, 2);
        QCOMPARE(list.Get_Descriptions(), QStringList({"A", "X"}));
    }

    // A failed save (here a full disk) leaves the list as it was, without the change's line, and the
    // next change does not save the failed one after all.
    void Failed_Save_Leaves_The_List()
    {
        QVERIFY(Write_Calibration_File({{"A"}}, calibration_file));
        const QByteArray before = Read_File(calibration_file);
        TCalibrationStore store(application_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        TThermometerChangeResult failed;
        With_File_Size_Limit(rlim_t(before.size()),
                             [&] { failed = store.Change_Thermometers(&list, Add_X()); });
        QVERIFY(!failed.saved);
        QCOMPARE(failed.messages.size(), 1);
        // The change's record, written before the file, is what the limit stops here.
        QCOMPARE(failed.messages.first().Log_Line(), "ERR  Cannot write calibration history '" +
                                                         Native(store.Get_History_File_Name()) +
                                                         "': File too large; the change was not saved.");
        QCOMPARE(list.Get_Descriptions(), QStringList("A"));
        QCOMPARE(Read_File(calibration_file), before);

        const TThermometerChangeResult added =
            store.Change_Thermometers(&list, [](TThermometerList* changed, TMessage* message) {
                changed->Set_Correction_Data("Y", TCorrectionDialogData());
                *message = TMessage::Info("added Y");
                return true;
            });
        QCOMPARE(Log_Lines(added.messages), QStringList("INF  added Y"));
        QCOMPARE(list.Get_Descriptions(), QStringList({"A", "Y"}));
        TThermometerList saved;
        QVERIFY(saved.Load_Calibration_File(calibration_file));
        QCOMPARE(saved.Get_Descriptions(), QStringList({"A", "Y"}));
    }

    // A change judges the list as the file holds it (here after another writer added X); refused, it
    // leaves list and file as they are, and only its reason is logged.
    void Change_Is_Judged_Against_The_File()
    {
        QVERIFY(Write_Calibration_File({{"A"}}, calibration_file));
        TCalibrationStore store(application_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        QVERIFY(Write_Calibration_File({{"A"}, {"x"}}, calibration_file));
        const QByteArray other_writers = Read_File(calibration_file);

        const TThermometerChangeResult refused =
            store.Change_Thermometers(&list, [](TThermometerList* changed, TMessage* message) {
                if (!changed->Get_Stored_Record("X").isNull())
                {
                    *message = TMessage::Error("taken");
                    return false;
                }
                changed->Set_Correction_Data("X", TCorrectionDialogData());
                *message = TMessage::Info("added");
                return true;
            });
        QCOMPARE(Log_Lines(refused.messages),
                 QStringList({"INF  Calibration file '" + Native(calibration_file) +
                                  "' was changed by another writer; reloaded it first.",
                              "ERR  taken"}));
        QVERIFY(refused.reloaded && !refused.saved);
        QCOMPARE(list.Get_Descriptions(), QStringList({"A", "x"}));
        QCOMPARE(Read_File(calibration_file), other_writers);
    }

    // Without a lock: what a window does when told that the file changed.
    void Reload_Only_When_Changed()
    {
        QVERIFY(Write_Calibration_File({{"A"}}, calibration_file));
        TCalibrationStore store(application_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        bool reloaded = true;
        QCOMPARE(Log_Lines(store.Reload_Changed_Thermometers(&list, &reloaded)), QStringList());
        QVERIFY(!reloaded);
        store.Change_Thermometers(&list, Add_X()); // its own save is no change
        QCOMPARE(Log_Lines(store.Reload_Changed_Thermometers(&list, &reloaded)), QStringList());
        QVERIFY(!reloaded);

        QVERIFY(Write_Calibration_File({{"B"}}, calibration_file));
        QCOMPARE(Log_Lines(store.Reload_Changed_Thermometers(&list, &reloaded)),
                 QStringList("INF  Calibration file '" + Native(calibration_file) +
                             "' was changed by another writer; reloaded it."));
        QVERIFY(reloaded);
        QCOMPARE(list.Get_Descriptions(), QStringList("B"));
        QCOMPARE(Log_Lines(store.Reload_Changed_Thermometers(&list, &reloaded)), QStringList());
        QVERIFY(!reloaded);
    }

    // The record of the calibration in force that a Write names is known from the store's last read or
    // write of the history: the start-up check, its own change, a reload after another writer's; none
    // after an edit by hand that no check has recorded, nor for a calibration the store never saved.
    void Calibration_Record_Follows_The_History_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("action"); // of the record named; -1: none
        QTest::newRow("start-up check") << "check" << int(THistoryRecord::First_Seen);
        QTest::newRow("own change") << "change" << int(THistoryRecord::Changed);
        QTest::newRow("another writer's change") << "other" << int(THistoryRecord::Changed);
        QTest::newRow("edit by hand") << "hand" << -1;
        QTest::newRow("edit by hand, checked") << "hand checked" << int(THistoryRecord::Changed_Outside);
        QTest::newRow("list changed without the store") << "unsaved" << -1;
    }

    void Calibration_Record_Follows_The_History()
    {
        QFETCH(QString, step);
        QFETCH(int, action);
        QVERIFY(Write_Calibration_File({{"A"}, {"B"}}, calibration_file));
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(data_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        store.Check_Calibration_History(list);
        bool reloaded = false;
        if (step == "change")
        {
            QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("A", 0.2)).saved);
        }
        else if (step == "other")
        {
            TCalibrationStore other = TCalibrationStore::In_Data_Directory(data_directory);
            TThermometerList other_list;
            other.Load_Thermometers(&other_list);
            QVERIFY(other.Change_Thermometers(&other_list, Set_Thermometer("A", 0.2)).saved);
            store.Reload_Changed_Thermometers(&list, &reloaded);
            QVERIFY(reloaded);
        }
        else if (step == "unsaved")
        {
            TMessage message;
            QVERIFY(Set_Thermometer("A", 0.2)(&list, &message));
        }
        else if (step.startsWith("hand"))
        {
            TThermometerList edited;
            edited.Load_Calibration_File(calibration_file);
            TMessage message;
            Set_Thermometer("A", 0.3)(&edited, &message);
            QVERIFY(edited.Save_Calibration_File(calibration_file, edited.Get_History_Anchor()));
            store.Reload_Changed_Thermometers(&list, &reloaded);
            QVERIFY(reloaded);
            if (step == "hand checked")
            {
                store.Check_Calibration_History(list);
            }
        }
        const TCalibrationRecord record = store.Calibration_Record(list, "a");
        THistoryContent history;
        QString error;
        QVERIFY(Read_History_File(store.Get_History_File_Name(), &history, &error));
        if (action < 0)
        {
            QCOMPARE(record.number, 0);
            return;
        }
        QCOMPARE(int(record.action), action);
        // The last record of A in the history, as the file holds it.
        const THistoryRecord& on_disk = history.records[record.number - 1];
        QCOMPARE(on_disk.hash, record.Hash());
        QCOMPARE(on_disk.after, History_State(list, "A"));
        // B keeps the record of its first sighting.
        QCOMPARE(int(store.Calibration_Record(list, "B").action), int(THistoryRecord::First_Seen));
    }

    // Readings typed beyond the file's five decimals: once saved, the list corrects with what the file
    // holds, and the change's record is the calibration a later start finds, with no alarm.
    void Saved_Change_Is_What_The_File_Holds_data()
    {
        QTest::addColumn<double>("deviation");
        QTest::newRow("seven decimals") << 0.1234567;
        QTest::newRow("rounds up") << 0.0999996;
        QTest::newRow("below zero, rounds to zero") << -0.000004;
        QTest::newRow("above zero, rounds to zero") << 0.000004;
    }

    void Saved_Change_Is_What_The_File_Holds()
    {
        QFETCH(double, deviation);
        QVERIFY(Write_Calibration_File({{"A"}}, calibration_file));
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(data_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        store.Check_Calibration_History(list);
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("A", deviation)).saved);

        TCalibrationStore later = TCalibrationStore::In_Data_Directory(data_directory);
        TThermometerList loaded;
        later.Load_Thermometers(&loaded);
        const THistoryCheckResult check = later.Check_Calibration_History(loaded);
        QVERIFY2(check.agrees, qPrintable(Log_Lines(check.messages).join('\n')));
        QCOMPARE(Log_Lines(check.finding_messages), QStringList());
        QCOMPARE(int(later.Calibration_Record(loaded, "A").action), int(THistoryRecord::Changed));
        QCOMPARE(store.Calibration_Record(list, "A").Hash(), later.Calibration_Record(loaded, "A").Hash());
        for (const double reading : {15.0, 19.99, 20.0, 24.5})
        {
            QVERIFY(Corrected_Temperature(list.Get_Correction("A"), reading) ==
                    Corrected_Temperature(loaded.Get_Correction("A"), reading));
        }
    }

    // A thermometer as the file holds it: what lies beyond the file's five decimals is no change.
    void Stored_Thermometer_Is_What_The_File_Holds()
    {
        TThermometerList list;
        TCorrectionDialogData data{15, 20, 25, 15.12, 20.12, 25.12, {}, {}};
        list.Set_Correction_Data("Probe A", data);
        list.Set_Calibration_Due_Date("Probe A", QDate(2031, 1, 2));
        const QString stored = list.Get_Stored_Record("probe a");
        QCOMPARE(stored, QString("Probe A\n%1\n15.00000,0.12000\n20.00000,0.12000\n25.00000,0.12000")
                             .arg(QDate(2031, 1, 2).toJulianDay()));
        QVERIFY(list.Get_Stored_Record("Probe B").isNull());
        data.thermometer_reading2 = 20.120000001;
        list.Set_Correction_Data("Probe A", data);
        QCOMPARE(list.Get_Stored_Record("Probe A"), stored);
        data.thermometer_reading2 = 20.12001;
        list.Set_Correction_Data("Probe A", data);
        QVERIFY(list.Get_Stored_Record("Probe A") != stored);
    }
};

QTEST_GUILESS_MAIN(TCalibrationStoreTest)
#include "tst_calibrationstore.moc"
