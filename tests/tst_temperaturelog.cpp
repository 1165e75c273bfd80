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
    const QByteArray Audit_Header =
        "Date and Time,Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. "
        "C,Part Temp. C,X Meter Reading,Y Meter Reading,Z Meter Reading,Part Meter "
        "Reading,Calibration Record,Flags\n";
    const QByteArray Stamp = "2026-12-07T14:03:59+01:00,";
    QTemporaryDir record_directory;

    QString Log_File() const { return record_directory.path() + "/velmora.csv"; }

    static TLogEntry Entry(const QString& description, const QString& thermometer,
                           const QStringList& axis_texts)
    {
        TLogEntry entry;
        entry.description = description;
        entry.thermometer = thermometer;
        entry.axis_texts = axis_texts;
        entry.time = QDateTime::fromString("2026-12-07T14:03:59+01:00", Qt::ISODate);
        return entry;
    }

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
        Append_Temperature_Log_Entry(Log_File(), Entry(description, thermometer, {"20.12", "", "", "-----"}),
                                     TLogOptions());
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
            messages = Log_Lines(
                Append_Temperature_Log_Entry(file, Entry("P1", "T1", {"20.12", "", "", ""}), TLogOptions()));
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
        TLogOptions options;
        options.date_time_column = option;
        const QStringList messages = Log_Lines(Append_Temperature_Log_Entry(
            Log_File(), Entry("P1", "T1", {"20.12", "", "", "-----"}), options, &written));
        QVERIFY(written);
        QCOMPARE(Read_File(Log_File()), (content.isNull() ? QByteArray() : content) + appended);
        QCOMPARE(messages.mid(1),
                 warned
                     ? QStringList("WAR  Date and time not logged: '" + QDir::toNativeSeparators(Log_File()) +
                                   "' has no \"Date and Time\" column; a new log file gets one.")
                     : QStringList());
    }

    // Each flag as the window gives it, and the bytes of the entry with the audit columns. The probe
    // reads 0.12 high from 15 to 25 degrees; the entry is written on Dec 07 2026.
    void Audit_Columns_data()
    {
        QTest::addColumn<QStringList>("meter_texts"); // X, Y, Z, Part; empty: not ticked
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<bool>("has_record");
        QTest::addColumn<QByteArray>("line"); // after the date and time
        QTest::newRow("corrected") << QStringList{"20.12", "", "", "21"} << QDate(2027, 6, 1) << true
                                   << QByteArray("P1,T1,20.00,,,20.88,20.12,,,21,5:0123456789ab,\n");
        QTest::newRow("extrapolated")
            << QStringList{"40", "20.12", "", "10"} << QDate(2027, 6, 1) << true
            << QByteArray(
                   "P1,T1,39.88,20.00,,9.88,40,20.12,,10,5:0123456789ab,X:extrapolated; Part:extrapolated\n");
        QTest::newRow("not a number, quoted")
            << QStringList{"abc", "", "2\"0", ""} << QDate(2027, 6, 1) << true
            << QByteArray(
                   "P1,T1,-----,,-----,,abc,,\"2\"\"0\",,5:0123456789ab,\"X:not corrected (\"\"abc\"\" is "
                   "not a number); Z:not corrected (\"\"2\"\"0\"\" is not a number)\"\n");
        QTest::newRow("out of calibration")
            << QStringList{"20.12", "", "", ""} << QDate(2026, 12, 7) << true
            << QByteArray(
                   "P1,T1,-----,,,,20.12,,,,5:0123456789ab,X:not corrected (out of calibration since Dec "
                   "07 2026)\n");
        QTest::newRow("doubtful due date") << QStringList{"20.12", "", "", ""} << QDate(2040, 1, 1) << true
                                           << QByteArray("P1,T1,20.00,,,,20.12,,,,5:0123456789ab,doubtful\n");
        QTest::newRow("no calibration record")
            << QStringList{"20.12", "", "", ""} << QDate(2027, 6, 1) << false
            << QByteArray("P1,T1,20.00,,,,20.12,,,,,no calibration record\n");
    }

    void Audit_Columns()
    {
        QFETCH(QStringList, meter_texts);
        QFETCH(QDate, due_date);
        QFETCH(bool, has_record);
        QFETCH(QByteArray, line);
        TEntryCalibration calibration;
        calibration.thermometer_selected = true;
        calibration.today = QDate(2026, 12, 7);
        calibration.due_date = due_date;
        calibration.in_calibration = calibration.today < due_date;
        calibration.correction = Correction(15, 0.12, 20, 0.12, 25, 0.12);
        calibration.has_record = has_record;
        TLogEntry entry = Entry("P1", "T1", {});
        entry.axis_texts.clear();
        for (const QString& meter_text : meter_texts)
        {
            entry.axis_texts << (meter_text.isEmpty()
                                     ? QString()
                                     : Corrected_Reading_Text(meter_text, calibration.in_calibration,
                                                              calibration.correction));
        }
        entry.meter_texts = meter_texts;
        entry.calibration_record =
            has_record ? Calibration_Record_Text(5, QByteArray(64, 'f').replace(0, 12, "0123456789ab"))
                       : QString();
        entry.flags = Audit_Flags(entry.axis_texts, meter_texts, calibration);
        TLogOptions options;
        options.audit_columns = true;
        QVERIFY(Write_File(Log_File(), Audit_Header));
        bool written = false;
        Append_Temperature_Log_Entry(Log_File(), entry, options, &written);
        QVERIFY(written);
        QCOMPARE(Read_File(Log_File()), Audit_Header + Stamp + line);
        // Read back as trace reads it: the fields as written.
        const QVector<TLogRow> rows = Read_Temperature_Log(Read_File(Log_File()));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].layout, TLogLayout::Audit);
        QCOMPARE(rows[1].fields.mid(7, 4), meter_texts);
        QCOMPARE(rows[1].fields.last(), entry.flags.join("; "));
    }

    // Turning the audit columns on or off in the middle of a file writes a header line of the new layout
    // first, so that a spreadsheet still opens the file; the log pane says so.
    void Audit_Columns_Switched_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file before
        QTest::addColumn<bool>("audit");
        QTest::addColumn<bool>("date_time");
        QTest::addColumn<QByteArray>("appended");
        QTest::addColumn<QString>("message"); // after the first; empty: none
        const QByteArray plain_entry = "P1,T1,20.00,,,\n";
        const QByteArray audit_entry = Stamp + "P1,T1,20.00,,,,20.12,,,,,\n";
        const QByteArray dated = "Date and Time," + Header;
        const QString begin = "INF  Audit columns begin in '%1': a header line of their layout was written "
                              "before the entry.";
        const QString end = "INF  Audit columns end in '%1': a header line without them was written before "
                            "the entry.";
        QTest::newRow("new file") << QByteArray() << true << false << Audit_Header + audit_entry << QString();
        QTest::newRow("plain file, turned on")
            << Header + plain_entry << true << false << Audit_Header + audit_entry << begin;
        QTest::newRow("dated file, turned on")
            << dated + Stamp + plain_entry << true << true << Audit_Header + audit_entry << begin;
        QTest::newRow("audit file, kept on")
            << Audit_Header + audit_entry << true << false << audit_entry << QString();
        QTest::newRow("audit file from Windows, kept on")
            << QByteArray(Audit_Header + audit_entry).replace("\n", "\r\n") << true << false << audit_entry
            << QString();
        QTest::newRow("turned off, plain again") << Header + plain_entry + Audit_Header + audit_entry << false
                                                 << false << Header + plain_entry << end;
        QTest::newRow("turned off, dated") << Header + plain_entry + Audit_Header + audit_entry << false
                                           << true << dated + Stamp + plain_entry << end;
        QTest::newRow("header text inside an entry")
            << Audit_Header + Stamp + "\"" + Header.trimmed() + "\",T1,20.00,,,,20.12,,,,,\n"
            << true << false << audit_entry << QString();
    }

    void Audit_Columns_Switched()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, audit);
        QFETCH(bool, date_time);
        QFETCH(QByteArray, appended);
        QFETCH(QString, message);
        QVERIFY(content.isNull() || Write_File(Log_File(), content));
        TLogEntry entry = Entry("P1", "T1", {"20.00", "", "", ""});
        entry.meter_texts = QStringList{"20.12", "", "", ""};
        TLogOptions options;
        options.audit_columns = audit;
        options.date_time_column = date_time;
        bool written = false;
        const QStringList messages =
            Log_Lines(Append_Temperature_Log_Entry(Log_File(), entry, options, &written));
        QVERIFY(written);
        QCOMPARE(Read_File(Log_File()), (content.isNull() ? QByteArray() : content) + appended);
        QCOMPARE(messages.mid(1).join('\n'),
                 message.isEmpty() ? QString() : message.arg(QDir::toNativeSeparators(Log_File())));
    }

    // UTF-8 only for a new file: an existing file keeps its encoding, whatever the option says.
    void Encoding_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file before
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<QByteArray>("appended");
        const QByteArray bom = "\xEF\xBB\xBF";
        QTest::newRow("new file, UTF-8")
            << QByteArray() << true << bom + Header + "Pos \xC3\xA9 \xE2\x82\xAC,T1,20.00,,,\n";
        QTest::newRow("new file, Latin-1") << QByteArray() << false << Header + "Pos \xE9 ?,T1,20.00,,,\n";
        QTest::newRow("Latin-1 file, UTF-8 chosen") << Header + "P\xE9,T1,19.00,,,\n"
                                                    << true << QByteArray("Pos \xE9 ?,T1,20.00,,,\n");
        QTest::newRow("UTF-8 file, Latin-1 chosen")
            << bom + Header << false << QByteArray("Pos \xC3\xA9 \xE2\x82\xAC,T1,20.00,,,\n");
    }

    void Encoding()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, utf8);
        QFETCH(QByteArray, appended);
        QVERIFY(content.isNull() || Write_File(Log_File(), content));
        TLogOptions options;
        options.utf8_for_new_files = utf8;
        bool written = false;
        Append_Temperature_Log_Entry(Log_File(), Entry("Pos \u00e9 \u20ac", "T1", {"20.00", "", "", ""}),
                                     options, &written);
        QVERIFY(written);
        QCOMPARE(Read_File(Log_File()), (content.isNull() ? QByteArray() : content) + appended);
        const QVector<TLogRow> rows = Read_Temperature_Log(Read_File(Log_File()));
        QCOMPARE(rows.last().fields[0], utf8 && content.isNull()             ? QString("Pos \u00e9 \u20ac")
                                        : content.startsWith("\xEF\xBB\xBF") ? QString("Pos \u00e9 \u20ac")
                                                                             : QString("Pos \u00e9 ?"));
    }

    // A decimal comma is refused at Write with the reason, rather than logged as "-----".
    void Decimal_Comma_data()
    {
        QTest::addColumn<QStringList>("meter_texts");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("one")
            << QStringList{"20,5", "20.5", "", ""}
            << "WAR  Entry not written: X \"20,5\" has a decimal comma, which is not a number "
               "here; type it with a full stop (20.5) and write again.";
        QTest::newRow("two")
            << QStringList{"20,5", "", "", "-3,25"}
            << "WAR  Entry not written: X \"20,5\", Part \"-3,25\" have a decimal comma, "
               "which is not a number here; type them with a full stop (20.5) and write again.";
        QTest::newRow("full stop") << QStringList{"20.5", "", "", ""} << QString();
        QTest::newRow("thousands and decimals") << QStringList{"1,234,5", "", "", ""} << QString();
        QTest::newRow("no number") << QStringList{"a,b", ",", "", ""} << QString();
    }

    void Decimal_Comma()
    {
        QFETCH(QStringList, meter_texts);
        QFETCH(QString, refusal);
        QCOMPARE(Log_Line_Of(Decimal_Comma_Refusal({"X", "Y", "Z", "Part"}, meter_texts)), refusal);
    }

    // Rows as trace reads them: quoted fields over several lines, line numbers as an editor counts them,
    // blank lines left out, each row with the layout of the header above it.
    void Read_Rows()
    {
        const QByteArray bytes =
            Header + "\"P\n1\",T1,20.00,,,\n\n" + Audit_Header + Stamp + "P2,T1,,,,,,,,,,\r\n";
        const QVector<TLogRow> rows = Read_Temperature_Log(bytes);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[1].line, 2);
        QCOMPARE(rows[1].fields, QStringList({"P\n1", "T1", "20.00", "", "", ""}));
        QCOMPARE(rows[1].layout, TLogLayout::Plain);
        QVERIFY(rows[2].is_header);
        QCOMPARE(rows[2].line, 5);
        QCOMPARE(rows[3].line, 6);
        QCOMPARE(rows[3].layout, TLogLayout::Audit);
        QCOMPARE(rows[3].fields.size(), 13);
        QCOMPARE(rows[3].fields.last(), QString());
    }
};

QTEST_MAIN(TTemperatureLogTest)
#include "tst_temperaturelog.moc"
