#include "calibrationtestsupport.h"
#include "temperaturelog.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Test_Support;

class TTemperatureLogTest : public QObject
{
    Q_OBJECT

    const QByteArray Header =
        "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";
    QTemporaryDir record_directory;

    QString Log_File() const { return record_directory.path() + "/velmora.csv"; }

private slots:
    void init() { QFile::remove(Log_File()); }

    void Data_Line_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("thermometer");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("quotes") << "Table 2, \"left\""
                                << "Probe 3, spare"
                                << QByteArray("\"Table 2, \"\"left\"\"\",\"Probe 3, spare\",20.12,,,-----\n");
        QTest::newRow("outside Latin-1") << "Pos \u2603 \u00e9"
                                         << "T1" << QByteArray("Pos ? \xe9,T1,20.12,,,-----\n");
        // One question mark for each character the reader sees, however many code units it takes.
        QTest::newRow("emoji") << QString::fromUtf8("Pos \xF0\x9F\x98\x80 \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD")
                               << QString::fromUtf8("Probe \xF0\x9F\x87\xA9\xF0\x9F\x87\xAA")
                               << QByteArray("Pos ? ?,Probe ?,20.12,,,-----\n");
        QTest::newRow("combining accent") << "Pos e\u0301 \u20ac"
                                          << "T1" << QByteArray("Pos \xe9 ?,T1,20.12,,,-----\n");
    }

    void Data_Line()
    {
        QFETCH(QString, description);
        QFETCH(QString, thermometer);
        QFETCH(QByteArray, line);
        QVERIFY(Write_File(Log_File(), "")); // an existing empty file gets no header
        Append_Temperature_Log_Entry(Log_File(), description, thermometer, {"20.12", "", "", "-----"});
        QCOMPARE(Read_File(Log_File()), line);
    }

    // The field and the log show what the reading rounds to: a value just below zero is "0.00", as no
    // thermometer reads a signed zero.
    void Corrected_Text_Near_Zero_data()
    {
        QTest::addColumn<QString>("meter_text"); // corrected by subtracting 0.12
        QTest::addColumn<QString>("shown");
        QTest::newRow("-0.006") << "0.114"
                                << "-0.01";
        QTest::newRow("-0.004") << "0.116"
                                << "0.00";
        QTest::newRow("-0.0001") << "0.1199"
                                 << "0.00";
        QTest::newRow("zero") << "0.12"
                              << "0.00";
        QTest::newRow("+0.004") << "0.124"
                                << "0.00";
        QTest::newRow("+0.006") << "0.126"
                                << "0.01";
        QTest::newRow("-0.004 below -20") << "-19.884"
                                          << "-20.00";
    }

    void Corrected_Text_Near_Zero()
    {
        QFETCH(QString, meter_text);
        QFETCH(QString, shown);
        QCOMPARE(Corrected_Reading_Text(meter_text, true, Correction(-10, 0.12, 0, 0.12, 10, 0.12)), shown);
    }

    // A write that fails part-way leaves the file as it was before the entry, so that the next
    // entry is neither glued onto a fragment nor left without a header.
    void Failures_Are_Reported_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QByteArray>("content"); // null: no file before
        QTest::addColumn<QString>("expected");
        const QString not_written = "WAR  Temperature log entry was not written to '%1': ";
        QTest::newRow("missing directory") << QString("/missing") << QByteArray()
                                           << "WAR  Cannot open temperature log file for writing. File: "
                                              "'%1'.  Reason: No such file or directory";
        QTest::newRow("full disk, new file") << QString() << QByteArray() << not_written;
        QTest::newRow("full disk, existing file") << QString() << Header + "P0,T1,20.00,,,\n" << not_written;
    }

    void Failures_Are_Reported()
    {
        QFETCH(QString, directory);
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString file = record_directory.path() + directory + "/velmora.csv";
        QVERIFY(content.isNull() || Write_File(file, content));
        QStringList messages;
        // Room for a few bytes, but not for the whole entry.
        With_File_Size_Limit(content.size() + 8, [&]() {
            messages = Append_Temperature_Log_Entry(file, "P1", "T1", {"20.12", "", "", ""});
        });
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0], QString(content.isNull() ? "INF  Creating log file: '%1' for 'P1'"
                                                       : "INF  Appending log file: '%1' for 'P1'")
                                  .arg(QDir::toNativeSeparators(file)));
        QVERIFY2(messages[1].startsWith(expected.arg(QDir::toNativeSeparators(file))),
                 qPrintable(messages[1]));
        QCOMPARE(QFile::exists(file), !content.isNull());
        QCOMPARE(Read_File(file), content);
    }

    // The header of an existing file decides the columns; the option only shapes new files.
    void Date_Time_Column_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file before
        QTest::addColumn<bool>("option");
        QTest::addColumn<QByteArray>("appended");
        QTest::addColumn<bool>("warned");
        const QByteArray dated = "Date and Time," + Header;
        const QByteArray entry = "P1,T1,20.12,,,-----\n";
        const QByteArray stamp = "2026-12-07T14:03:59+01:00,";
        QTest::newRow("new file, option on") << QByteArray() << true << dated + stamp + entry << false;
        QTest::newRow("plain file, option on") << Header << true << entry << true;
        QTest::newRow("dated file, option off") << dated << false << stamp + entry << false;
        QTest::newRow("dated file from Windows")
            << QByteArray(dated).replace("\n", "\r\n") << true << stamp + entry << false;
    }

    void Date_Time_Column()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, option);
        QFETCH(QByteArray, appended);
        QFETCH(bool, warned);
        QVERIFY(content.isNull() || Write_File(Log_File(), content));
        bool written = false;
        const QStringList messages = Append_Temperature_Log_Entry(
            Log_File(), "P1", "T1", {"20.12", "", "", "-----"}, option,
            QDateTime::fromString("2026-12-07T14:03:59+01:00", Qt::ISODate), &written);
        QVERIFY(written);
        QCOMPARE(Read_File(Log_File()), (content.isNull() ? QByteArray() : content) + appended);
        QCOMPARE(messages.mid(1),
                 warned
                     ? QStringList("WAR  Date and time not logged: '" + QDir::toNativeSeparators(Log_File()) +
                                   "' has no \"Date and Time\" column; a new log file gets one.")
                     : QStringList());
    }
};

QTEST_MAIN(TTemperatureLogTest)
#include "tst_temperaturelog.moc"
