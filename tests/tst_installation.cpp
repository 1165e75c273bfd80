#include "calibrationtestsupport.h"
#include "version.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using Test_Support::Read_File;

// The files an installation consists of, checked as the desktop and the package tools see them, and the
// program's answers on its command line.
class TInstallationTest : public QObject
{
    Q_OBJECT

    // As the build made them for the install.
    static QString Packaging_File(const QString& name) { return VELMORA_BUILD_DIR "/packaging/" + name; }

    // Runs program to its end; the exit code is -1 when it crashed or could not start.
    static int Run(const QString& program, const QStringList& arguments, QByteArray* output,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        process.waitForFinished(300000);
        *output = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private slots:
    void Validators_Accept_The_Packaging_Files_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("debian_package");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("desktop entry")
            << "desktop-file-validate"
            << "desktop-file-utils" << QStringList{Packaging_File(VELMORA_APPLICATION_ID ".desktop")};
        QTest::newRow("metainfo") << "appstreamcli"
                                  << "appstream"
                                  << QStringList{"validate", "--no-net",
                                                 Packaging_File(VELMORA_APPLICATION_ID ".metainfo.xml")};
    }

    void Validators_Accept_The_Packaging_Files()
    {
        QFETCH(QString, tool);
        QFETCH(QString, debian_package);
        QFETCH(QStringList, arguments);
        const QString program = QStandardPaths::findExecutable(tool);
        if (program.isEmpty())
        {
            QSKIP(qPrintable(QString("%1 is not installed (Debian package %2; scripts/test.sh installs it)")
                                 .arg(tool, debian_package)));
        }
        QByteArray output;
        const int exit_code = Run(program, arguments, &output);
        // desktop-file-validate succeeds on warnings too: it must have nothing at all to say.
        QVERIFY2(exit_code == 0 && (tool != "desktop-file-validate" || output.isEmpty()), output.constData());
    }

    void Install_Puts_Exactly_The_Expected_Files()
    {
        QTemporaryDir prefix;
        QByteArray output;
        QCOMPARE(
            Run(VELMORA_CMAKE_COMMAND, {"--install", VELMORA_BUILD_DIR, "--prefix", prefix.path()}, &output),
            0);

        QStringList expected = {"bin/velmora",
                                "bin/velmora-cli",
                                "share/applications/" VELMORA_APPLICATION_ID ".desktop",
                                "share/bash-completion/completions/velmora-cli",
                                "share/doc/velmora/user-guide.md",
                                "share/man/man1/velmora.1.gz",
                                "share/man/man1/velmora-cli.1.gz",
                                "share/metainfo/" VELMORA_APPLICATION_ID ".metainfo.xml"};
        for (const char* const picture : {"calibration-history", "calibration-states", "correction-curve",
                                          "correction-editor", "main-window-2x", "review-finding",
                                          "options"})
        {
            expected.append(QString("share/doc/velmora/screenshots/%1.png").arg(picture));
        }
        for (int size : {16, 32, 48, 64, 128, 256})
        {
            expected.append(
                QString("share/icons/hicolor/%1x%1/apps/" VELMORA_APPLICATION_ID ".png").arg(size));
            // The theme picks an icon by its directory's size: a picture of another size is shown blurred.
            QCOMPARE(QImage(prefix.filePath(expected.last())).size(), QSize(size, size));
        }
        expected.sort();
        QStringList installed;
        QDirIterator files(prefix.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext())
        {
            installed.append(QDir(prefix.path()).relativeFilePath(files.next()));
        }
        installed.sort();
        QCOMPARE(installed, expected);
        // The menu finds the icon and the software centre the menu entry by these names.
        const QByteArray entry =
            Read_File(prefix.filePath("share/applications/" VELMORA_APPLICATION_ID ".desktop"));
        QVERIFY(entry.contains("\nIcon=" VELMORA_APPLICATION_ID "\n"));
        QVERIFY(entry.contains("\nExec=velmora\n"));
        // Every picture the installed guide shows is installed beside it.
        const QString guide =
            QString::fromUtf8(Read_File(prefix.filePath("share/doc/velmora/user-guide.md")));
        QRegularExpressionMatchIterator pictures =
            QRegularExpression("\\]\\(([^)]+\\.png)\\)").globalMatch(guide);
        QVERIFY(pictures.hasNext());
        while (pictures.hasNext())
        {
            const QString picture = "share/doc/velmora/" + pictures.next().captured(1);
            QVERIFY2(installed.contains(picture), qPrintable(picture));
        }
        QVERIFY(
            Read_File(prefix.filePath("share/metainfo/" VELMORA_APPLICATION_ID ".metainfo.xml"))
                .contains("<launchable type=\"desktop-id\">" VELMORA_APPLICATION_ID ".desktop</launchable>"));
    }

    void Command_Line_Is_Answered_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("expected_output");
        QTest::newRow("help without a display") << QStringList{"-h"} << false << 0 << "  -v, --version";
        QTest::newRow("version after a toolkit option") << QStringList{"-style", "fusion", "-v"} << false << 0
                                                        << QString("velmora " VELMORA_VERSION "\n");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << true << 1
                                        << "velmora: Unknown option 'bogus'.\nTry 'velmora --help'.\n";
        QTest::newRow("file argument") << QStringList{"-style", "fusion", "log.csv"} << true << 1
                                       << "velmora: Unexpected argument 'log.csv'.\n";
    }

    void Command_Line_Is_Answered()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, exit_code);
        QFETCH(QString, expected_output);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        if (display)
        {
            environment.insert("QT_QPA_PLATFORM", "offscreen");
        }
        QByteArray output;
        QCOMPARE(Run(VELMORA_EXECUTABLE, arguments, &output, environment), exit_code);
        QVERIFY2(output.contains(expected_output.toUtf8()), output.constData());
    }
};

QTEST_GUILESS_MAIN(TInstallationTest)
#include "tst_installation.moc"
