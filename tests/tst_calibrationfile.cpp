#include "velmoratestsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using Test_Support::Read_File;
using Test_Support::Write_Calibration_File;
using Test_Support::Write_File;

namespace
{
const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// An entry due 31 December 2025 with points p1, (20, 0.05), (40, -0.02).
QByteArray Entry(const QString& description, const QString& p1, const QString& checksum)
{
    return QStringLiteral("<Entry><Description>%1</Description><Calibration_Due_Date>31122025"
                          "</Calibration_Due_Date><Point1>%2</Point1><Point2>20.00000,0.05000</Point2>"
                          "<Point3>40.00000,-0.02000</Point3><Checksum>%3</Checksum></Entry>")
        .arg(description, p1, checksum)
        .toUtf8();
}

QByteArray File(const QByteArray& entries, const QByteArray& version = "1")
{
    return Declaration + "<Thermometer_Calibration_Data File_Version=\"" + version +
           "\"><Calibration_Entries>" + entries + "</Calibration_Entries></Thermometer_Calibration_Data>\n";
}

const QByteArray Probe_7 = Entry("Probe 7", "0.00000,0.10000", "0a0e");
const QByteArray Good = Entry("Good", "0,0.1", "0948");
const QByteArray Bad = Entry("X", "1,0", "0000");
const QByteArray Exchanged = "<Entry><Checksum>0a0e</Checksum><Point3>0,0.1</Point3><Point1>40,-0.02</Point1>"
                             "<Point2>20,0.05</Point2><Calibration_Due_Date>31122025</Calibration_Due_Date>"
                             "<Description>Probe 7</Description></Entry>";
} // namespace

class TTestCalibrationFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { path = dir.filePath("calibration %1 data.xml"); }
    void Checksum_data();
    void Checksum();
    void Saved_Bytes_data();
    void Saved_Bytes();
    void Round_Trip();
    void Load_data();
    void Load();
    void Awkward_Values_Load_Again();
    void Save_Failure_Keeps_File_data();
    void Save_Failure_Keeps_File();

private:
    QTemporaryDir dir;
    QString path;
};

void TTestCalibrationFile::Checksum_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QDate>("due_date"); // none: the expectation is what the description adds
    QTest::addColumn<QString>("checksum");

    QTest::newRow("abc") << "abc" << QDate() << "0126";
    QTest::newRow("e acute, two negative bytes") << QStringLiteral("\u00e9") << QDate() << "ff6c";
    QTest::newRow("Probe 7 sample") << "Probe 7" << QDate(2025, 12, 31) << "0a0e";
}

void TTestCalibrationFile::Checksum()
{
    QFETCH(QString, description);
    QFETCH(QDate, due_date);
    QFETCH(QString, checksum);

    const TThermometerList list;
    TThermometerData record{"", {}, due_date};
    record.correction.Set_Points(TVector2(0, 0.1), TVector2(20, 0.05), TVector2(40, -0.02));
    const int rest = due_date.isValid() ? 0 : list.Calculate_Checksum(record).toInt(nullptr, 16);
    record.description = description;
    QCOMPARE(list.Calculate_Checksum(record),
             QStringLiteral("%1").arg((rest + checksum.toInt(nullptr, 16)) % 65536, 4, 16, QLatin1Char('0')));
}

void TTestCalibrationFile::Saved_Bytes_data()
{
    QTest::addColumn<QList<Test_Support::TThermometer>>("thermometers");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty list") << QList<Test_Support::TThermometer>()
                                << Declaration + "<Thermometer_Calibration_Data File_Version=\"1\">\n"
                                                 "    <Calibration_Entries/>\n"
                                                 "</Thermometer_Calibration_Data>\n";
    QTest::newRow("Probe 7 sample") // the points given out of order
        << QList<Test_Support::TThermometer>{{"Probe 7",
                                              QDate(2025, 12, 31),
                                              {40, 0, 20},
                                              {39.98, 0.1, 20.05}}}
        << Declaration + "<Thermometer_Calibration_Data File_Version=\"1\">\n"
                         "    <Calibration_Entries>\n"
                         "        <Entry>\n"
                         "            <Description>Probe 7</Description>\n"
                         "            <Calibration_Due_Date>31122025</Calibration_Due_Date>\n"
                         "            <Point1>0.00000,0.10000</Point1>\n"
                         "            <Point2>20.00000,0.05000</Point2>\n"
                         "            <Point3>40.00000,-0.02000</Point3>\n"
                         "            <Checksum>0a0e</Checksum>\n"
                         "        </Entry>\n"
                         "    </Calibration_Entries>\n"
                         "</Thermometer_Calibration_Data>\n";
}

void TTestCalibrationFile::Saved_Bytes()
{
    QFETCH(QList<Test_Support::TThermometer>, thermometers);
    QFETCH(QByteArray, expected);

    QVERIFY(Write_Calibration_File(thermometers, path));
    QCOMPARE(Read_File(path), expected);
}

// A description of blanks only must come back although the parser drops white-space text.
void TTestCalibrationFile::Round_Trip()
{
    const QString non_ascii = QStringLiteral("F\u00fchler \u03a9 \u6e29");
    QVERIFY(Write_Calibration_File({{non_ascii, QDate(2026, 3, 9), {0.5, 20, 39.75}, {0.625, 19.9625, 39.95}},
                                    {"A & <B> \"c\"", QDate(2024, 1, 1), {15, 20, 25}, {15, 20, 25}},
                                    {" \t ", QDate(2027, 6, 15), {1, 2, 3}, {1.01, 2.02, 3.03}},
                                    {"No due date", QDate(), {10, 20, 30}, {9.5, 19.75, 30}}},
                                   path));
    const QByteArray saved = Read_File(path);
    TThermometerList loaded;
    QVERIFY(loaded.Load_Calibration_File(path));
    QCOMPARE(loaded.Get_Checksum_Error_Count(), 0);
    QCOMPARE(loaded.Get_Descriptions(), QStringList({non_ascii, "A & <B> \"c\"", " \t ", "No due date"}));
    QCOMPARE(loaded.Get_Correction(non_ascii).Get_Point1().y, 0.125);
    QCOMPARE(loaded.Get_Calibration_Due_Date(" \t "), QDate(2027, 6, 15));
    QVERIFY(loaded.Save_Calibration_File(path));
    QCOMPARE(Read_File(path), saved);
}

void TTestCalibrationFile::Load_data()
{
    QTest::addColumn<QByteArray>("content");   // none: no file
    QTest::addColumn<QString>("descriptions"); // joined by "|"
    QTest::addColumn<int>("checksum_errors");
    QTest::addColumn<QString>("error"); // the last error text after the file name; %1: the file name

    const QString invalid = "Point%1 temperature data invalid";
    QTest::newRow("missing file") << QByteArray() << "Previous" << 0
                                  << "ERR:  Cannot open file '%1' for reading.";
    QTest::newRow("identification") << QByteArray("<thermometer_calibration_data File_Version=\"1\"/>")
                                    << "Previous" << 0
                                    << "ERR:  Identification 'Thermometer_Calibration_Data' does not match "
                                       "'thermometer_calibration_data'";
    QTest::newRow("one value") << File(Good + Entry("X", "1", "0") + Probe_7) << "Good" << 0
                               << invalid.arg(1);
    QTest::newRow("semicolon") << File(Good + Entry("X", "1;0", "0")) << "Good" << 0 << invalid.arg(1);
    QTest::newRow("trailing comma") << File(Good + QByteArray(Bad).replace("0</Point3>", "0,</Point3>"))
                                    << "Good" << 0 << invalid.arg(3);
    QTest::newRow("no Checksum") << File(Good + QByteArray(Bad).replace("<Checksum>0000</Checksum>", ""))
                                 << "Good" << 0
                                 << "ERR:  Node 'Checksum' is missing from node 'Entry' and not optional.";
    QTest::newRow("empty Description") << File(Good + Entry("", "1,0", "0")) << "Good" << 0
                                       << "ERR:  Node Text for 'Description' is not optional.";
    QTest::newRow("no entries") << File("") << "" << 0 << "";
    QTest::newRow("checksums") << File(Good + Probe_7 + Good) << "Good|Probe 7|Good" << 0 << "";
    QTest::newRow("checksum mismatch") << File(Good + Bad + Good) << "Good|Good" << 1 << "";
    QTest::newRow("uppercase checksum")
        << File(QByteArray(Probe_7).replace("0a0e", "0A0E") + Good) << "Good" << 1 << "";
    QTest::newRow("exchanged elements") << File(Exchanged) << "Probe 7" << 0 << "";
    QTest::newRow("File_Version 2") << File(Probe_7, "2") << "Previous" << 0 << "";
    // Each checksum is made for the point read as (0, 0.5), (0, 1) and (0, 0).
    QTest::newRow("infinity") << File(Entry("Odd", "inf,0.5", "08da")) << "Odd" << 0 << "";
    QTest::newRow("not a number") << File(Entry("Odd", "nan,1", "08d6")) << "Odd" << 0 << "";
    QTest::newRow("overflow") << File(Entry("Odd", "1e999,-1e999", "08d5")) << "Odd" << 0 << "";
}

void TTestCalibrationFile::Load()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, descriptions);
    QFETCH(int, checksum_errors);
    QFETCH(QString, error);

    QFile::remove(path);
    QVERIFY(content.isEmpty() || Write_File(path, content));
    TThermometerList list;
    list.Set_Correction_Data("Previous", TCorrectionDialogData());
    QCOMPARE(list.Load_Calibration_File(path), error.isEmpty());
    QCOMPARE(list.Get_Last_Error(),
             error.isEmpty() ? "" : "error reading file '" + path + "': " + error.replace("%1", path));
    QCOMPARE(list.Get_Descriptions().join('|'), descriptions);
    QCOMPARE(list.Get_Checksum_Error_Count(), checksum_errors);
    QVERIFY(QTest::currentDataTag() != QByteArray("File_Version 2") || list.Get_File_Version() == 2);
}

// Values whose 2- or 4-decimal form (which the checksum covers) moves when they are rounded to the
// 5 decimals of the file: 1.234996 is saved as 1.23500, and its checksum must be made for 1.24.
void TTestCalibrationFile::Awkward_Values_Load_Again()
{
    QList<Test_Support::TThermometer> thermometers;
    for (const double v : {1.234996, 0.004996, 0.005004, 10.124996, -2.675004, 99.994999, -0.000001,
                           0.000049996, -0.00005, 0.12344999, 0.0, -0.0000049})
    {
        thermometers.append({QString::number(v, 'g', 10),
                             QDate(2030, 1, 1),
                             {v, v + 10, v + 20},
                             {2 * v, 10, v + 20 + v / 3}});
    }
    QVERIFY(Write_Calibration_File(thermometers, path));
    TThermometerList loaded;
    QVERIFY(loaded.Load_Calibration_File(path));
    QCOMPARE(loaded.Get_Checksum_Error_Count(), 0);
    QCOMPARE(loaded.Get_Descriptions().size(), thermometers.size());
    QCOMPARE(loaded.Get_Correction("1.234996").Get_Point1().x, 1.235);
}

void TTestCalibrationFile::Save_Failure_Keeps_File_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("read_only");
    QTest::addColumn<QString>("message"); // %1: the file name

    QTest::newRow("read-only file") << "Probe" << true << "ERR:  Cannot open file '%1' for writing";
    QTest::newRow("U+0001") << QStringLiteral("Bad\u0001") << false
                            << QStringLiteral("ERR:  Cannot write node 'Description' with data 'Bad\u0001'");
}

void TTestCalibrationFile::Save_Failure_Keeps_File()
{
    QFETCH(QString, description);
    QFETCH(bool, read_only);
    QFETCH(QString, message);

    if (read_only && geteuid() == 0)
    {
        QSKIP("root writes through file permissions; run the suite as an unprivileged user");
    }
    QFile::remove(path);
    QVERIFY(Write_File(path, File(Probe_7)));
    QVERIFY(!read_only || QFile::setPermissions(path, QFile::ReadOwner));
    TThermometerList list;
    QVERIFY(list.Load_Calibration_File(path));
    list.Set_Correction_Data(description, TCorrectionDialogData());
    QVERIFY(!list.Save_Calibration_File(path));
    QCOMPARE(list.Get_Last_Error(), "error writing file '" + path + "': " + message.replace("%1", path));
    QCOMPARE(Read_File(path), File(Probe_7));
}

QTEST_GUILESS_MAIN(TTestCalibrationFile)
#include "tst_calibrationfile.moc"
