// The durable writer: the whole-file replacement that settings, the calibration file, reports, exports
// and velmora-cli's --output share (a regular file is replaced whole, whatever else the name leads to is
// written into as it is), and the line append of the temperature log and the calibration history (whole
// lines or none); and the return of what such work freed to the system.
#include "calibrationtestsupport.h"
#include "durablefile.h"
#include "platform.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

class TDurableFileTest : public QObject
{
    Q_OBJECT

    // Lines as the log and the history write them: a quoted field holding a line end, a Latin-1 letter.
    const QByteArray Lines = QByteArray("c,\xE9\n\"d\r\ne\"\n");

private slots:
    void Targets_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("no file yet") << "none";
        QTest::newRow("regular file") << "file";
        QTest::newRow("symbolic link to a file") << "link";
        QTest::newRow("symbolic link to no file") << "dangling link";
        QTest::newRow("named pipe") << "pipe";
        QTest::newRow("symbolic link to a named pipe") << "link to pipe";
    }
    // The content reaches whoever reads the name: a pipe's reader gets it through the pipe, which stays; a
    // link stays a link; a regular file is replaced, so that a hard link to the old one keeps the old bytes.
    void Targets()
    {
        QFETCH(QString, kind);
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        const QString name = directory.path() + "/out.csv";
        const QString target = directory.path() + "/target.csv";
        const QString old_copy = directory.path() + "/old.csv";
        const QByteArray content("a,b\r\n\xC3\xB6,\xFC\n");
        const bool pipe = kind.endsWith("pipe");
        if (kind == "file")
        {
            QVERIFY(Test_Support::Write_File(name, "old"));
            QCOMPARE(::link(QFile::encodeName(name).constData(), QFile::encodeName(old_copy).constData()), 0);
        }
        if (kind == "link" || kind == "link to pipe")
        {
            QVERIFY(pipe ? ::mkfifo(QFile::encodeName(target).constData(), 0600) == 0
                         : Test_Support::Write_File(target, "old"));
            QVERIFY(QFile::link(target, name));
        }
        if (kind == "dangling link")
        {
            QVERIFY(QFile::link(target, name));
        }
        if (kind == "pipe")
        {
            QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        }
        // A reader waits on the pipe, so that opening it for writing does not block.
        const int reader = pipe ? ::open(QFile::encodeName(name).constData(), O_RDONLY | O_NONBLOCK) : -1;
        QCOMPARE(reader >= 0, pipe);

        QString reason;
        bool opened = false;
        QVERIFY2(Write_Whole_File(name, content, &reason, TLineEnds::Unchanged, &opened), qPrintable(reason));
        QVERIFY(opened);

        if (pipe)
        {
            char buffer[256];
            const ssize_t got = ::read(reader, buffer, sizeof buffer);
            ::close(reader);
            QCOMPARE(QByteArray(buffer, int(qMax<ssize_t>(got, 0))), content);
            struct stat status;
            QCOMPARE(::stat(QFile::encodeName(name).constData(), &status), 0);
            QVERIFY(S_ISFIFO(status.st_mode));
        }
        else
        {
            QCOMPARE(Test_Support::Read_File(name), content);
        }
        QCOMPARE(QFileInfo(name).isSymLink(), kind.contains("link"));
        if (kind == "file")
        {
            QCOMPARE(Test_Support::Read_File(old_copy), QByteArray("old"));
        }
        // Nothing left beside it.
        const QStringList expected_files =
            kind == "file"
                ? QStringList{"old.csv", "out.csv"}
                : (kind.contains("link") ? QStringList{"out.csv", "target.csv"} : QStringList{"out.csv"});
        QCOMPARE(QDir(directory.path())
                     .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
                 expected_files);
    }

    // A device that takes nothing fails with the system's reason.
    void Full_Device()
    {
        if (!QFileInfo("/dev/full").exists())
        {
            QSKIP("no /dev/full here");
        }
        QString reason;
        QVERIFY(!Write_Whole_File("/dev/full", QByteArray(100, 'x'), &reason));
        QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    }

    // A full disk leaves the regular file as it was, and no part of the new one.
    void Full_Disk_Keeps_File()
    {
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        const QString name = directory.path() + "/out.csv";
        QVERIFY(Test_Support::Write_File(name, "old"));
        bool written = true;
        QString reason;
        Test_Support::With_File_Size_Limit(
            16, [&] { written = Write_Whole_File(name, QByteArray(4096, 'x'), &reason); });
        QVERIFY(!written);
        QVERIFY(!reason.isEmpty());
        QCOMPARE(Test_Support::Read_File(name), QByteArray("old"));
        QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.csv"});
    }

    // Room for part of the lines only: no part of them stays, a file the append created goes again, and
    // the reason is the system's. With room, the lines land after the bytes kept: through a link in the
    // file it leads to, into a pipe as they are.
    void Append_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<qint64>("keep");
        QTest::addColumn<QByteArray>("left"); // after a failure; null: no file
        QTest::addColumn<QByteArray>("appended");
        const QByteArray none;
        QTest::newRow("no file yet") << "file" << none << qint64(-1) << none << Lines;
        QTest::newRow("empty file") << "file" << QByteArray("") << qint64(-1) << QByteArray("") << Lines;
        QTest::newRow("at the end") << "file" << QByteArray("a\nb\n") << qint64(-1) << QByteArray("a\nb\n")
                                    << "a\nb\n" + Lines;
        // What was cut off was no line: it does not come back.
        QTest::newRow("incomplete last line cut off")
            << "file" << QByteArray("a\nb,") << qint64(2) << QByteArray("a\n") << "a\n" + Lines;
        QTest::newRow("all kept") << "file" << QByteArray("a\nb\n") << qint64(4) << QByteArray("a\nb\n")
                                  << "a\nb\n" + Lines;
        QTest::newRow("symbolic link")
            << "link" << QByteArray("a\n") << qint64(-1) << QByteArray("a\n") << "a\n" + Lines;
        QTest::newRow("symbolic link to no file") << "link" << none << qint64(-1) << none << Lines;
        // A pipe knows no size limit.
        QTest::newRow("named pipe") << "pipe" << none << qint64(-1) << none << Lines;
    }

    void Append()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, before);
        QFETCH(qint64, keep);
        QFETCH(QByteArray, left);
        QFETCH(QByteArray, appended);
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        const QString name = directory.path() + "/velmora.csv";
        const QString target = kind == "link" ? directory.path() + "/target.csv" : name;
        if (kind == "link")
        {
            QVERIFY(QFile::link(target, name));
        }
        QVERIFY(before.isNull() || Test_Support::Write_File(target, before));
        QString reason;
        bool opened = false;
        const auto entries = [&] {
            return QDir(directory.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                .size();
        };

        if (kind == "pipe")
        {
            QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        }
        else
        {
            bool written = true;
            Test_Support::With_File_Size_Limit(rlim_t(before.size() + 5), [&] {
                written = Append_Whole_Lines(name, Lines, &reason, keep, TLineEnds::Unchanged, &opened);
            });
            QVERIFY(!written);
            QVERIFY(opened);
            QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
            QCOMPARE(QFileInfo::exists(target), !left.isNull());
            QCOMPARE(Test_Support::Read_File(target), left);
            QCOMPARE(entries(), int(kind == "link") + int(!left.isNull()));
        }

        // A reader waits on the pipe, so that opening it for writing does not block.
        const int reader =
            kind == "pipe" ? ::open(QFile::encodeName(name).constData(), O_RDONLY | O_NONBLOCK) : -1;
        QVERIFY2(Append_Whole_Lines(name, Lines, &reason, keep, TLineEnds::Unchanged, &opened),
                 qPrintable(reason));
        QVERIFY(opened);
        if (kind == "pipe")
        {
            char buffer[256];
            const ssize_t got = ::read(reader, buffer, sizeof buffer);
            ::close(reader);
            QCOMPARE(QByteArray(buffer, int(qMax<ssize_t>(got, 0))), appended);
            QVERIFY(QFileInfo(name).exists() && !QFileInfo(name).isFile());
        }
        else
        {
            QCOMPARE(Test_Support::Read_File(target), appended);
        }
        QCOMPARE(QFileInfo(name).isSymLink(), kind == "link");
        QCOMPARE(entries(), 1 + int(kind == "link"));
    }

    // What cannot be opened is told apart from what failed while written, and a device that takes nothing
    // fails with the system's reason.
    void Append_Not_Written_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<int>("error_number");
        QTest::newRow("missing directory") << "/missing/velmora.csv" << false << ENOENT;
        QTest::newRow("full device") << "/dev/full" << true << ENOSPC;
    }

    void Append_Not_Written()
    {
        QFETCH(QString, name);
        QFETCH(bool, opened);
        QFETCH(int, error_number);
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        const QString file_name = name.startsWith("/dev/") ? name : directory.path() + name;
        if (!QFileInfo(file_name).dir().exists())
        {
            QSKIP("no such device here");
        }
        QString reason;
        bool is_open = !opened;
        QVERIFY(!Append_Whole_Lines(file_name, Lines, &reason, -1, TLineEnds::Unchanged, &is_open));
        QCOMPARE(is_open, opened);
        QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(error_number)));
        QCOMPARE(QDir(directory.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // What a save freed goes back to the system, also from amid the heap: there the heap itself keeps it.
    void Freed_Memory_Goes_Back()
    {
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__)
        QSKIP("only the GNU C library's own heap is given back");
#else
        const auto resident_kilobytes = [] {
            QFile status("/proc/self/status");
            const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
            const int at = text.indexOf("\nVmRSS:");
            return at < 0 ? -1
                          : text.mid(at + 8, text.indexOf('\n', at + 1) - at - 8)
                                .trimmed()
                                .split(' ')[0]
                                .toLongLong();
        };
        // 64 MB in blocks small enough for the heap to keep, then all freed but the last, which keeps
        // the heap from shrinking at its end.
        const size_t block_size = 32 * 1024;
        std::vector<char*> blocks(2048);
        for (char*& block : blocks)
        {
            block = static_cast<char*>(std::malloc(block_size));
            QVERIFY(block != nullptr);
            std::memset(block, 1, block_size);
        }
        for (size_t index = 0; index + 1 < blocks.size(); ++index)
        {
            std::free(blocks[index]);
        }
        const qint64 before = resident_kilobytes();
        Return_Free_Memory();
        const qint64 after = resident_kilobytes();
        std::free(blocks.back());
        QVERIFY2(before > 0 && before - after > 32 * 1024,
                 qPrintable(QString("resident %1 kB, then %2 kB").arg(before).arg(after)));
#endif
    }
};

QTEST_GUILESS_MAIN(TDurableFileTest)
#include "tst_durablefile.moc"
