#include "velmoratestsupport.h"

#include <QtTest>

using namespace Test_Support;

namespace
{
// An entry as the program writes it, due 31 December 2025 with points p1, (20, 0.05), (40, -0.02).
QByteArray Entry(const QString& description, const QString& checksum, const QString& p1 = "0.00000,0.10000")
{
    return QStringLiteral("        <Entry>\n"
                          "            <Description>%1</Description>\n"
                          "            <Calibration_Due_Date>31122025</Calibration_Due_Date>\n"
                          "            <Point1>%2</Point1>\n"
                          "            <Point2>20.00000,0.05000</Point2>\n"
                          "            <Point3>40.00000,-0.02000</Point3>\n"
                          "            <Checksum>%3</Checksum>\n"
                          "        </Entry>\n")
        .arg(description, p1, checksum)
        .toUtf8();
}

// Saves one thermometer the way the program does, from the Correction Editor's record.
bool Save(const QString& path, const TCorrectionDialogData& data)
{
    TThermometerList list;
    list.Set_Correction_Data(data.description, data);
    list.Set_Calibration_Due_Date(data.description, data.calibration_due_date);
    return list.Save_Calibration_File(path);
}

QByteArray File(const QByteArray& entries)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Thermometer_Calibration_Data File_Version=\"1\">\n"
           "    <Calibration_Entries>\n" +
           entries + "    </Calibration_Entries>\n</Thermometer_Calibration_Data>\n";
}
} // namespace

class TTestCalibrationFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QString path = dir.filePath("calibration %1 data.xml"); // "%1" must reach the messages as it is

private slots:
    void Saved_Bytes()
    {
        QVERIFY(Save(path, {40, 0, 20, 39.98, 0.1, 20.05, "Probe 7", QDate(2025, 12, 31)}));
        QCOMPARE(Read_File(path), File(Entry("Probe 7", "0a0e")));
    }

    // Only a file can hold a thermometer without a description; no lookup may find it.
    void Empty_Description_Never_Matches()
    {
        QVERIFY(Write_File(path, File(Entry("<![CDATA[]]>", "07bf"))));
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
        QTest::addColumn<QString>("error"); // the last error after the file name

        QTest::newRow("missing file")
            << QByteArray() << "Previous" << 0 << "ERR:  Cannot open file '" + path + "' for reading.";
        // Each byte counts signed: the two of "é" lower the sum. Only the damaged entry is left out.
        QTest::newRow("checksums") << File(Entry("abc", "08e5") + Entry("X", "08e5") +
                                           Entry("\u00e9", "072b"))
                                   << "abc|\u00e9" << 1 << "";
        // A merged or hand-edited file: no lookup could reach the second, so it is left out.
        QTest::newRow("letter-case duplicate")
            << File(Entry("abc", "08e5") + Entry("ABC", "0885")) << "abc" << 0 << "";
        QTest::newRow("bad point, earlier entries kept") << File(Entry("abc", "08e5") + Entry("X", "0", "1"))
                                                         << "abc" << 0 << "Point1 temperature data invalid";
        QTest::newRow("no Checksum")
            << File(Entry("X", "0").replace("<Checksum>0</Checksum>", "")) << "" << 0
            << "ERR:  Node 'Checksum' is missing from node 'Entry' and not optional.";
        QTest::newRow("File_Version 2")
            << File("").replace("Version=\"1", "Version=\"2") << "Previous" << 0 << "";
        // Blanks only and an empty date must survive the parser; 1.234996 is saved as 1.23500, so its
        // checksum must cover the 1.24 read back, not the 1.23 in memory.
        QVERIFY(Save(path, {1.234996, 2, 3, 1.01, 2.02, 3.03, " \t ", QDate()}));
        QTest::newRow("saved by the program") << Read_File(path) << " \t " << 0 << "";
        // Qt 5 alone would read "+1122025" as 1 December 2025, whose checksum this is.
        QTest::newRow("date not as written")
            << File(Entry("abc", "08e2").replace("31122025", "+1122025")) << "" << 1 << "";
        QTest::newRow("inf and nan read as 0") << File(Entry("Odd", "08d5", "inf,nan")) << "Odd" << 0 << "";
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
        QCOMPARE(list.Get_Last_Error(), error.isEmpty() ? "" : "error reading file '" + path + "': " + error);
        QCOMPARE(list.Get_Descriptions().join('|'), descriptions);
        QCOMPARE(list.Get_Checksum_Error_Count(), checksum_errors);
    }
};

QTEST_GUILESS_MAIN(TTestCalibrationFile)
#include "tst_calibrationfile.moc"
