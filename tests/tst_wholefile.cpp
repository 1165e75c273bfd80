// The whole-file writer that reports, exports and velmora-cli's --output share: a regular file is replaced
// whole, whatever else the name leads to is written into as it is.
#include "calibrationtestsupport.h"
#include "wholefile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TWholeFileTest : public QObject
{
    Q_OBJECT

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
};

QTEST_GUILESS_MAIN(TWholeFileTest)
#include "tst_wholefile.moc"
