#include "velmoratestsupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Test_Support;

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

QByteArray File(const QByteArray& entries)
{
    return Declaration + "<Thermometer_Calibration_Data File_Version=\"1\"><Calibration_Entries>" + entries +
           "</Calibration_Entries></Thermometer_Calibration_Data>\n";
}

const QByteArray Probe_7 = Entry("Probe 7", "0.00000,0.10000", "0a0e");
const QByteArray Bad = Entry("X", "1,0", "0000");
const QByteArray Exchanged = "<Entry><Checksum>0a0e</Checksum><Point3>0,0.1</Point3><Point1>40,-0.02</Point1>"
                             "<Point2>20,0.05</Point2><Calibration_Due_Date>31122025</Calibration_Due_Date>"
                             "<Description>Probe 7</Description></Entry>";
} // namespace

class TTestCalibrationFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path;

private slots:
    // A file name holding "%1" must come through the messages unchanged.
    void init() { path = dir.filePath("calibration %1 data.xml"); }
    void Checksum()
    {
        const TThermometerList list;
        TThermometerData record{"abc", {}, QDate()}; // "abc" adds 0x126 to the 0x062f of these points
        record.correction.Set_Points(TVector2(0, 0.1), TVector2(20, 0.05), TVector2(40, -0.02));
        QCOMPARE(list.Calculate_Checksum(record), "0755");
        record.description = QStringLiteral("\u00e9"); // two bytes above 0x7f: adds 0xff6c
        QCOMPARE(list.Calculate_Checksum(record), "059b");
    }

    void Saved_Bytes()
    {
        // The points given out of order.
        QVERIFY(Write_Calibration_File({{"Probe 7", QDate(2025, 12, 31), {40, 0, 20}, {39.98, 0.1, 20.05}}},
                                       path));
        QCOMPARE(Read_File(path), Declaration +
                                      "<Thermometer_Calibration_Data File_Version=\"1\">\n"
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
                                      "</Thermometer_Calibration_Data>\n");
    }

    // The parser drops white-space text, yet a description of blanks only and the empty date of a new
    // thermometer must come back. The checksum covers 2 and 4 decimals; 1.234996 is saved as 1.23500, so
    // its checksum must be made for 1.24 as the load reads it, not for the 1.23 in memory.
    void Round_Trip()
    {
        QList<TThermometer> thermometers{{" \t ", QDate(2027, 6, 15), {1, 2, 3}, {1.01, 2.02, 3.03}}};
        for (const double v : {1.234996, 0.004996, -2.675004, 99.994999, -0.00005, -0.0000049})
        {
            thermometers.append(
                {"\u03a9 " + QString::number(v), QDate(), {v, v + 10, v + 20}, {2 * v, 10, v + 20 + v / 3}});
        }
        QVERIFY(Write_Calibration_File(thermometers, path));
        TThermometerList loaded;
        QVERIFY(loaded.Load_Calibration_File(path));
        QCOMPARE(loaded.Get_Checksum_Error_Count(), 0);
        QCOMPARE(loaded.Get_Calibration_Due_Date(" \t "), QDate(2027, 6, 15));
        QCOMPARE(loaded.Get_Correction("\u03a9 1.235").Get_Point1().x, 1.235);
    }

    // Only a file can hold a thermometer without a description; no lookup may find it.
    void Empty_Description_Never_Matches()
    {
        QVERIFY(Write_File(path, File(Entry("<![CDATA[]]>", "0.00000,0.10000", "07bf"))));
        TThermometerList list;
        QVERIFY(list.Load_Calibration_File(path));
        QCOMPARE(list.Get_Descriptions(), QStringList({""}));
        QCOMPARE(list.Get_Correction("").Get_Point1().x, 15.0);
        TCorrectionDialogData data;
        QVERIFY(!list.Get_Correction_Data("", &data));
        QCOMPARE(list.Get_Calibration_Due_Date(""), QDate::currentDate());
    }

    void Load_data()
    {
        QTest::addColumn<QByteArray>("content");   // none: no file
        QTest::addColumn<QString>("descriptions"); // joined by "|"
        QTest::addColumn<int>("checksum_errors");
        QTest::addColumn<QString>("error"); // the last error text after the file name; %1: the file name

        QTest::newRow("missing file")
            << QByteArray() << "Previous" << 0 << "ERR:  Cannot open file '%1' for reading.";
        // The entries before a broken one stay loaded.
        QTest::newRow("bad point") << File(Probe_7 + Entry("X", "1", "0") + Probe_7) << "Probe 7" << 0
                                   << "Point1 temperature data invalid";
        QTest::newRow("no Checksum")
            << File(Probe_7 + QByteArray(Bad).replace("<Checksum>0000</Checksum>", "")) << "Probe 7" << 0
            << "ERR:  Node 'Checksum' is missing from node 'Entry' and not optional.";
        QTest::newRow("checksum mismatch") << File(Probe_7 + Bad + Probe_7) << "Probe 7|Probe 7" << 1 << "";
        QTest::newRow("uppercase checksum")
            << File(Probe_7 + QByteArray(Probe_7).replace("0a0e", "0A0E")) << "Probe 7" << 1 << "";
        QTest::newRow("exchanged elements") << File(Exchanged) << "Probe 7" << 0 << "";
        QTest::newRow("File_Version 2")
            << File(Probe_7).replace("Version=\"1", "Version=\"2") << "Previous" << 0 << "";
        // The checksum is made for the point read as (0, 0).
        QTest::newRow("inf and nan") << File(Entry("Odd", "inf,nan", "08d5")) << "Odd" << 0 << "";
    }

    void Load()
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
    }
};

QTEST_GUILESS_MAIN(TTestCalibrationFile)
#include "tst_calibrationfile.moc"
