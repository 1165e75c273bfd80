#include "calibrationtestsupport.h"
#include "qtcompat.h"
#include "settingsfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace Test_Support;

Q_DECLARE_METATYPE(TSetting)

// The settings file without a window: its keys and format, and what a failed write leaves on disk.
class TSettingsFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir directory;
    const QString file_name = directory.filePath("velmora_settings %1.ini");

    static QString Reason(int error_number) { return QString::fromLocal8Bit(std::strerror(error_number)); }

private slots:
    void init()
    {
        QFile::setPermissions(file_name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(file_name);
        QDir(file_name).removeRecursively();
    }

    // Every key is written as QSettings itself writes it (in UTF-8), so that files of earlier versions and
    // of either Qt version read the same; keys of other versions are kept.
    void Written_As_QSettings_Writes_data()
    {
        QTest::addColumn<TSetting>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("default_value");
        QTest::newRow("path") << TSetting::Current_Path << QVariant("/tmp/M\u00e4rz \u20ac, \"x\"")
                              << QVariant(QDir::homePath());
        QTest::newRow("record file") << TSetting::Record_File << QVariant("a=b;c.csv")
                                     << QVariant("velmora.csv");
        QTest::newRow("index") << TSetting::Active_Thermometer << QVariant(-1) << QVariant(0);
        QTest::newRow("description") << TSetting::Active_Thermometer_Description
                                     << QVariant(QString::fromUcs4(U"Probe \U0001F321 \u00b0C"))
                                     << QVariant(QString());
        QTest::newRow("flag") << TSetting::Axis_Part_Enabled << QVariant(false) << QVariant(true);
        QTest::newRow("meter text") << TSetting::Meter_Z_Value << QVariant(" 20,5 ") << QVariant("20.00");
        QTest::newRow("controls") << TSetting::Description
                                  << QVariant(QString("@a\tb\x01"
                                                      "1\\\x7f"))
                                  << QVariant("Position 1");
        QTest::newRow("days") << TSetting::Warn_Days_Before_Due << QVariant(7) << QVariant(30);
        QTest::newRow("geometry") << TSetting::Window_Geometry
                                  << QVariant(QByteArray("\x01\x00\xff"
                                                         "a,\n",
                                                         6))
                                  << QVariant(QByteArray());
    }

    void Written_As_QSettings_Writes()
    {
        QFETCH(TSetting, key);
        QFETCH(QVariant, value);
        QFETCH(QVariant, default_value);
        const QString name = TSettingsFile::Key_Name(key);
        QVERIFY(Write_File(file_name, "[General]\nOld_Key=kept\n"));
        TSettingsFile settings(file_name);
        QCOMPARE(settings.Value(key), default_value);
        QCOMPARE(Log_Lines(settings.Set_Value(key, value)), QStringList());

        const QString expected_name = directory.filePath("expected.ini");
        QFile::remove(expected_name);
        {
            QSettings expected(expected_name, QSettings::IniFormat);
            Use_Utf8_Ini_Encoding(&expected);
            expected.setValue("Old_Key", "kept");
            expected.setValue(name, value);
        }
        QCOMPARE(Read_File(file_name), Read_File(expected_name));
        QVERIFY(QFile::remove(expected_name));
        // No scratch or lock file is left behind.
        QCOMPARE(QDir(directory.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList(QFileInfo(file_name).fileName()));
        const QVariant read = TSettingsFile(file_name).Value(key);
        QCOMPARE(value.userType() == QMetaType::QByteArray ? read : QVariant(read.toString()),
                 value.userType() == QMetaType::QByteArray ? value : QVariant(value.toString()));
    }

    // Only the line of the changed key is written, into the file as it is on disk then; every other
    // byte stays, whoever wrote it (another window, an older version, an editor).
    void Only_The_Changed_Key_Is_Written_data()
    {
        QTest::addColumn<QByteArray>("on_disk"); // "missing": no file
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("no file") << QByteArray("missing") << QByteArray("[General]\nDescription=X\n");
        QTest::newRow("empty file") << QByteArray() << QByteArray("[General]\nDescription=X\n");
        QTest::newRow("in key order") << QByteArray("[General]\nAxis_X_Enabled=false\nRecord_File=a.csv\n")
                                      << QByteArray("[General]\nAxis_X_Enabled=false\nDescription=X\n"
                                                    "Record_File=a.csv\n");
        QTest::newRow("replaced in place") << QByteArray("[General]\nZ=1\nDescription = Position 7\nA=1\n")
                                           << QByteArray("[General]\nZ=1\nDescription=X\nA=1\n");
        QTest::newRow("carriage returns kept")
            << QByteArray("[General]\r\nA=1\r\n") << QByteArray("[General]\r\nA=1\r\nDescription=X\r\n");
        QTest::newRow("no line end at the end")
            << QByteArray("[General]\nA=1") << QByteArray("[General]\nA=1\nDescription=X\n");
        QTest::newRow("other sections and comments")
            << QByteArray("; by hand\n[Other]\nDescription=kept\n\n[general]\nA=1\n")
            << QByteArray("; by hand\n[Other]\nDescription=kept\n\n[general]\nA=1\nDescription=X\n");
        QTest::newRow("only another section")
            << QByteArray("[Other]\nk=v\n") << QByteArray("[General]\nDescription=X\n\n[Other]\nk=v\n");
        QTest::newRow("keys before any section") << QByteArray("Description=old\n[Other]\nDescription=kept\n")
                                                 << QByteArray("Description=X\n[Other]\nDescription=kept\n");
        QTest::newRow("twice, one continued")
            << QByteArray("[General]\nDescription=a\\\nb\nDescription=c\nZ=1\n")
            << QByteArray("[General]\nDescription=X\nZ=1\n");
    }

    void Only_The_Changed_Key_Is_Written()
    {
        QFETCH(QByteArray, on_disk);
        QFETCH(QByteArray, written);
        TSettingsFile settings(file_name);
        QVERIFY(on_disk == "missing" || Write_File(file_name, on_disk));
        // Values unchanged from what the file held at start are not written.
        QCOMPARE(Log_Lines(settings.Set_Values({{TSetting::Description, "X"},
                                                {TSetting::Warn_Days_Before_Due, 30},
                                                {TSetting::Axis_Y_Enabled, true}})),
                 QStringList());
        QCOMPARE(Read_File(file_name), written);
        QVERIFY(!settings.Has_Unwritten_Changes());
    }

    // Two windows on one settings file: each writes only what it changed, so neither undoes the other.
    void Two_Windows_Keep_Each_Others_Settings()
    {
        QVERIFY(Write_File(file_name, "[General]\nDescription=Position 7\nWarn_Days_Before_Due=30\n"));
        TSettingsFile first(file_name);
        TSettingsFile second(file_name);
        QCOMPARE(Log_Lines(first.Set_Value(TSetting::Warn_Days_Before_Due, 10)), QStringList());
        QCOMPARE(Log_Lines(second.Set_Values(
                     {{TSetting::Description, "Position 8"}, {TSetting::Warn_Days_Before_Due, 30}})),
                 QStringList());
        QCOMPARE(Log_Lines(first.Set_Values(
                     {{TSetting::Description, "Position 7"}, {TSetting::Record_File, "a.csv"}})),
                 QStringList());
        QCOMPARE(
            Read_File(file_name),
            QByteArray("[General]\nDescription=Position 8\nRecord_File=a.csv\nWarn_Days_Before_Due=10\n"));
    }

    // A full disk: QSettings alone left an empty file and reported no error.
    void Failed_Write_Keeps_The_Old_File()
    {
        QVERIFY(Write_File(file_name, "[General]\nDescription=Position 7\n"));
        const QByteArray old = Read_File(file_name);
        TSettingsFile settings(file_name);
        QStringList lines;
        With_File_Size_Limit(rlim_t(old.size()), [&]() {
            lines << Log_Lines(settings.Set_Value(TSetting::Description, "Position 8, a longer one"));
            // Said once, not at every key stroke.
            lines << Log_Lines(settings.Set_Value(TSetting::Meter_X_Value, "21.00"));
        });
        QCOMPARE(lines,
                 QStringList("ERR  Cannot write settings file '" + QDir::toNativeSeparators(file_name) +
                             "'; changed settings will not be kept.  Reason: " + Reason(EFBIG)));
        QCOMPARE(Read_File(file_name), old);
        QCOMPARE(QDir(directory.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList(QFileInfo(file_name).fileName()));

        // The values wait in memory for the next write that succeeds.
        QCOMPARE(Log_Lines(settings.Set_Value(TSetting::Meter_Y_Value, "22.00")),
                 QStringList("INF  Settings file '" + QDir::toNativeSeparators(file_name) +
                             "' written again; changed settings are kept."));
        const TSettingsFile read(file_name);
        QCOMPARE(read.Value(TSetting::Description).toString() + "|" +
                     read.Value(TSetting::Meter_X_Value).toString() + "|" +
                     read.Value(TSetting::Meter_Y_Value).toString(),
                 QString("Position 8, a longer one|21.00|22.00"));
    }

    // A file that cannot be read is said at once and never written over: its settings would be lost.
    void Unusable_File_Is_Said_At_Start_data()
    {
        QTest::addColumn<bool>("directory"); // else an unreadable file
        QTest::addColumn<int>("error_number");
        QTest::newRow("a directory of that name") << true << EISDIR;
        QTest::newRow("unreadable") << false << EACCES;
    }

    void Unusable_File_Is_Said_At_Start()
    {
        QFETCH(bool, directory);
        QFETCH(int, error_number);
        if (!directory && geteuid() == 0)
        {
            QSKIP("root reads through file permissions; run the suite as an unprivileged user");
        }
        QVERIFY(directory ? QDir().mkpath(file_name + "/inner")
                          : Write_File(file_name, "[General]\nDescription=Position 7\n") &&
                                QFile::setPermissions(file_name, QFile::WriteOwner));
        TSettingsFile settings(file_name);
        QCOMPARE(Log_Lines(settings.Get_Start_Up_Messages()),
                 QStringList("ERR  Cannot read settings file '" + QDir::toNativeSeparators(file_name) +
                             "': " + Reason(error_number) +
                             "; the defaults are used and changed settings will not be kept."));
        QCOMPARE(settings.Value(TSetting::Description).toString(), QString("Position 1"));
        QCOMPARE(Log_Lines(settings.Set_Value(TSetting::Description, "Position 8")), QStringList());
        QCOMPARE(QFileInfo(file_name).isDir(), directory);
        QVERIFY(QFile::setPermissions(file_name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(directory ? QStringList(QDir(file_name).entryList(QDir::NoDotAndDotDot | QDir::AllEntries))
                           : QStringList(QString(Read_File(file_name))),
                 directory ? QStringList("inner") : QStringList("[General]\nDescription=Position 7\n"));
    }
};

QTEST_GUILESS_MAIN(TSettingsFileTest)
#include "tst_settingsfile.moc"
