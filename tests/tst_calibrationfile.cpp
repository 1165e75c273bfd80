#include "correctiondialogdata.h"
#include "thermometerdata.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <unistd.h>

Q_DECLARE_METATYPE(TVector2)

namespace
{
// A message that names the file has %1 in its place.
QString Fill_File_Name(const QString& message, const QString& file_name)
{
    return message.contains(QLatin1String("%1")) ? message.arg(file_name) : message;
}

const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

QByteArray Read_File(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void Write_File(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// Adds a thermometer the way the main window does, from test points given as (reference, deviation).
void Add(TThermometerList* list, const QString& description, const QDate& due_date, const TVector2& p1,
         const TVector2& p2, const TVector2& p3)
{
    TCorrectionDialogData data;
    data.reference_temperature1 = p1.x;
    data.reference_temperature2 = p2.x;
    data.reference_temperature3 = p3.x;
    data.thermometer_reading1 = p1.x + p1.y;
    data.thermometer_reading2 = p2.x + p2.y;
    data.thermometer_reading3 = p3.x + p3.y;
    list->Set_Correction_Data(description, data);
    if (due_date.isValid())
    {
        list->Set_Calibration_Due_Date(description, due_date);
    }
}

TThermometerData Record(const QString& description, const QDate& due_date, const TVector2& p1,
                        const TVector2& p2, const TVector2& p3)
{
    TThermometerData record;
    record.description = description;
    record.calibration_due_date = due_date;
    record.correction.Set_Points(p1, p2, p3);
    return record;
}

QByteArray Entry(const QString& description, const QString& date, const QString& p1, const QString& p2,
                 const QString& p3, const QString& checksum)
{
    return QStringLiteral(
               "<Entry><Description>%1</Description><Calibration_Due_Date>%2</Calibration_Due_Date>"
               "<Point1>%3</Point1><Point2>%4</Point2><Point3>%5</Point3><Checksum>%6</Checksum>"
               "</Entry>")
        .arg(description, date, p1, p2, p3, checksum)
        .toUtf8();
}

QByteArray Calibration_File(const QByteArray& entries, const QByteArray& version = "1")
{
    return Declaration + "<Thermometer_Calibration_Data File_Version=\"" + version +
           "\"><Calibration_Entries>" + entries + "</Calibration_Entries></Thermometer_Calibration_Data>\n";
}

// The Probe 7 thermometer: due 31 December 2025, points (0, 0.1), (20, 0.05), (40, -0.02).
const QByteArray Probe_7 =
    Entry("Probe 7", "31122025", "0.00000,0.10000", "20.00000,0.05000", "40.00000,-0.02000", "0a0e");
const QByteArray Good =
    Entry("Good", "01012030", "10.00000,0.50000", "20.00000,0.25000", "30.00000,0.00000", "0946");

// What a load rebuilds from a point written with 5 decimals.
double Read_Back(double value)
{
    return QString::number(value, 'f', 5).toDouble();
}

bool Same_Points(const TThermometerCorrection& actual, const TVector2& p1, const TVector2& p2,
                 const TVector2& p3)
{
    return actual.Get_Point1().x == p1.x && actual.Get_Point1().y == p1.y && actual.Get_Point2().x == p2.x &&
           actual.Get_Point2().y == p2.y && actual.Get_Point3().x == p3.x && actual.Get_Point3().y == p3.y;
}
} // namespace

class TTestCalibrationFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void Checksum_Of_Description_Bytes_data();
    void Checksum_Of_Description_Bytes();
    void Sample_File_Bytes();
    void Empty_List();
    void Round_Trip();
    void Load_Failures_data();
    void Load_Failures();
    void Checksum_Mismatch_data();
    void Checksum_Mismatch();
    void Entry_Layout_Does_Not_Matter();
    void Point_Values_data();
    void Point_Values();
    void Other_File_Version();
    void Awkward_Values_Load_Again_data();
    void Awkward_Values_Load_Again();
    void Rounded_Reference_Loads_Again();
    void Save_Failure_Keeps_File_data();
    void Save_Failure_Keeps_File();
    void Empty_Description_From_File_Never_Matches();

private:
    QTemporaryDir dir;
    QString path;
};

void TTestCalibrationFile::init()
{
    QVERIFY(dir.isValid());
    path = dir.filePath("calibration_data.xml");
    QFile::remove(path);
}

void TTestCalibrationFile::Checksum_Of_Description_Bytes_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("sum");

    QTest::newRow("abc") << "abc" << 0x0126;
    QTest::newRow("e acute counts as two negative bytes") << QStringLiteral("\u00e9") << 0xff6c;
}

// The description's bytes add to the checksum of the rest of the record, modulo 65536.
void TTestCalibrationFile::Checksum_Of_Description_Bytes()
{
    QFETCH(QString, description);
    QFETCH(int, sum);

    const TThermometerList list;
    const TVector2 p1(0, 0.1), p2(20, 0.05), p3(40, -0.02);
    const int rest = list.Calculate_Checksum(Record("", QDate(), p1, p2, p3)).toInt(nullptr, 16);
    const QString checksum = list.Calculate_Checksum(Record(description, QDate(), p1, p2, p3));
    QCOMPARE(checksum, QStringLiteral("%1").arg((rest + sum) % 65536, 4, 16, QLatin1Char('0')));
}

void TTestCalibrationFile::Sample_File_Bytes()
{
    TThermometerList list;
    Add(&list, "Probe 7", QDate(2025, 12, 31), TVector2(40, -0.02), TVector2(0, 0.1), TVector2(20, 0.05));
    QCOMPARE(list.Calculate_Checksum(Record("Probe 7", QDate(2025, 12, 31), TVector2(0, 0.1),
                                            TVector2(20, 0.05), TVector2(40, -0.02))),
             QStringLiteral("0a0e"));

    QVERIFY(list.Save_Calibration_File(path));
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
    QVERIFY(list.Get_Last_Error().isEmpty());
}

void TTestCalibrationFile::Empty_List()
{
    QVERIFY(TThermometerList().Save_Calibration_File(path));
    QCOMPARE(Read_File(path), Declaration + "<Thermometer_Calibration_Data File_Version=\"1\">\n"
                                            "    <Calibration_Entries/>\n"
                                            "</Thermometer_Calibration_Data>\n");

    // A list that holds entries and a count from an earlier load gives both up.
    const QString other = dir.filePath("other.xml");
    Write_File(other, Calibration_File(Good + Entry("Bad", "01012030", "1,0", "2,0", "3,0", "0000")));
    TThermometerList list;
    QVERIFY(list.Load_Calibration_File(other));
    QCOMPARE(list.Get_Checksum_Error_Count(), 1);

    QVERIFY(list.Load_Calibration_File(path));
    QVERIFY(list.Get_Descriptions().isEmpty());
    QCOMPARE(list.Get_Checksum_Error_Count(), 0);
    QCOMPARE(list.Get_File_Version(), 1);
}

void TTestCalibrationFile::Round_Trip()
{
    TThermometerList list;
    Add(&list, QStringLiteral("F\u00fchler \u03a9 3 \u6e29\u5ea6"), QDate(2026, 3, 9), TVector2(0.5, 0.125),
        TVector2(20, -0.0375), TVector2(39.75, 0.2));
    Add(&list, "A & <B> \"c\"", QDate(2024, 1, 1), TVector2(15, 0), TVector2(20, 0), TVector2(25, 0));
    Add(&list, "  padded\tand\r\nbroken  ", QDate(2030, 12, 31), TVector2(5, 1), TVector2(10, 2),
        TVector2(35, 3));
    // The parser keeps no text made of white space only: such texts must still come back.
    Add(&list, "   ", QDate(2027, 6, 15), TVector2(1, 0.01), TVector2(2, 0.02), TVector2(3, 0.03));
    Add(&list, "No due date", QDate(), TVector2(10, -0.5), TVector2(20, -0.25), TVector2(30, 0));
    QVERIFY(list.Save_Calibration_File(path));
    const QByteArray saved = Read_File(path);

    TThermometerList loaded;
    QVERIFY(loaded.Load_Calibration_File(path));
    QCOMPARE(loaded.Get_Checksum_Error_Count(), 0);
    QCOMPARE(loaded.Get_Descriptions(), list.Get_Descriptions());
    for (const QString& description : list.Get_Descriptions())
    {
        const TThermometerCorrection expected = list.Get_Correction(description);
        const auto read_back = [](const TVector2& point)
        { return TVector2(Read_Back(point.x), Read_Back(point.y)); };
        QVERIFY2(Same_Points(loaded.Get_Correction(description), read_back(expected.Get_Point1()),
                             read_back(expected.Get_Point2()), read_back(expected.Get_Point3())),
                 qPrintable(description));
        QCOMPARE(loaded.Get_Calibration_Due_Date(description), list.Get_Calibration_Due_Date(description));
    }
    QVERIFY(loaded.Get_Correction("No due date").Is_Valid());

    // Saving what was loaded writes the same bytes again.
    QVERIFY(loaded.Save_Calibration_File(path));
    QCOMPARE(Read_File(path), saved);
}

void TTestCalibrationFile::Load_Failures_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QString>("message");    // %1 stands for the file name
    QTest::addColumn<bool>("whole_message"); // false: the message is the beginning of the text
    QTest::addColumn<QStringList>("descriptions");

    const QStringList untouched{"Previous"};
    const QStringList good{"Good"};
    QTest::newRow("missing file") << QByteArray() << "ERR:  Cannot open file '%1' for reading." << true
                                  << untouched;
    QTest::newRow("not XML") << QByteArray("Probe 7,31122025")
                             << "ERR:  Reference file XML parse error at line 1 column 1: " << false
                             << untouched;
    QTest::newRow("other identification")
        << QByteArray("<thermometer_calibration_data File_Version=\"1\"><Calibration_Entries/>"
                      "</thermometer_calibration_data>")
        << "ERR:  Identification 'Thermometer_Calibration_Data' does not match 'thermometer_calibration_data'"
        << true << untouched;
    QTest::newRow("no File_Version")
        << QByteArray("<Thermometer_Calibration_Data><Calibration_Entries/></Thermometer_Calibration_Data>")
        << "ERR:  The 'File_Version' attribute is missing." << true << untouched;
    QTest::newRow("no Calibration_Entries")
        << QByteArray(
               "<Thermometer_Calibration_Data File_Version=\"1\"><Entry/></Thermometer_Calibration_Data>")
        << "ERR:  Node 'Calibration_Entries' is missing from node 'Thermometer_Calibration_Data' and not "
           "optional."
        << true << QStringList();
    QTest::newRow("no Checksum") << Calibration_File(
                                        Good +
                                        "<Entry><Description>X</Description><Calibration_Due_Date>01012030"
                                        "</Calibration_Due_Date><Point1>1,0</Point1><Point2>2,0</Point2>"
                                        "<Point3>3,0</Point3></Entry>" +
                                        Probe_7)
                                 << "ERR:  Node 'Checksum' is missing from node 'Entry' and not optional."
                                 << true << good;
    QTest::newRow("empty Description")
        << Calibration_File(Good + Entry("", "01012030", "1,0", "2,0", "3,0", "0000"))
        << "ERR:  Node Text for 'Description' is not optional." << true << good;
    QTest::newRow("blank Description")
        << Calibration_File(Good + Entry("  \t ", "01012030", "1,0", "2,0", "3,0", "0000"))
        << "ERR:  Node Text for 'Description' is not optional." << true << good;
    QTest::newRow("one value") << Calibration_File(Good + Entry("X", "01012030", "1", "2,0", "3,0", "0000") +
                                                   Probe_7)
                               << "Point1 temperature data invalid" << true << good;
    QTest::newRow("semicolon") << Calibration_File(Good + Entry("X", "01012030", "1,0", "2;0", "3,0", "0000"))
                               << "Point2 temperature data invalid" << true << good;
    QTest::newRow("trailing comma") << Calibration_File(Good +
                                                        Entry("X", "01012030", "1,0", "2,0", "3,0,", "0000"))
                                    << "Point3 temperature data invalid" << true << good;
}

void TTestCalibrationFile::Load_Failures()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(bool, whole_message);
    QFETCH(QStringList, descriptions);

    // A name with a placeholder in it shows whether the texts are filled in one pass.
    const QString file_name = dir.filePath("calibration %1 data.xml");
    QFile::remove(file_name);
    if (!content.isEmpty())
    {
        Write_File(file_name, content);
    }

    TThermometerList list;
    Add(&list, "Previous", QDate(2030, 1, 1), TVector2(10, 0), TVector2(20, 0), TVector2(30, 0));
    QVERIFY(!list.Load_Calibration_File(file_name));

    const QString expected =
        QStringLiteral("error reading file '%1': ").arg(file_name) + Fill_File_Name(message, file_name);
    if (whole_message)
    {
        QCOMPARE(list.Get_Last_Error(), expected);
    }
    else
    {
        QVERIFY2(list.Get_Last_Error().startsWith(expected), qPrintable(list.Get_Last_Error()));
    }
    QCOMPARE(list.Get_Descriptions(), descriptions);
    QCOMPARE(list.Get_Checksum_Error_Count(), 0);
}

void TTestCalibrationFile::Checksum_Mismatch_data()
{
    QTest::addColumn<QByteArray>("entry");

    QTest::newRow("unchanged") << Probe_7;
    QTest::newRow("description changed") << QByteArray(Probe_7).replace("Probe 7", "Probe 8");
    QTest::newRow("due date changed") << QByteArray(Probe_7).replace("31122025", "31122026");
    QTest::newRow("point changed in the third decimal") << QByteArray(Probe_7).replace("0.10000", "0.10100");
    QTest::newRow("uppercase checksum") << QByteArray(Probe_7).replace("0a0e", "0A0E");
    QTest::newRow("date that is no date") << QByteArray(Probe_7).replace("31122025", "31132025");
    QTest::newRow("two words as a point") << QByteArray(Probe_7).replace("0.00000,0.10000", "zero,tenth");
}

// A mismatch costs that entry only; the entries on either side load.
void TTestCalibrationFile::Checksum_Mismatch()
{
    QFETCH(QByteArray, entry);

    Write_File(path, Calibration_File(Good + entry + Good));
    TThermometerList list;
    list.Set_Correction_Data("Previous", TCorrectionDialogData());
    QVERIFY(list.Load_Calibration_File(path));

    const bool unchanged = QByteArray(QTest::currentDataTag()) == "unchanged";
    QCOMPARE(list.Get_Descriptions(),
             unchanged ? QStringList({"Good", "Probe 7", "Good"}) : QStringList({"Good", "Good"}));
    QCOMPARE(list.Get_Checksum_Error_Count(), unchanged ? 0 : 1);
    QVERIFY(list.Get_Last_Error().isEmpty());
}

void TTestCalibrationFile::Entry_Layout_Does_Not_Matter()
{
    Write_File(path, Declaration +
                         "<Thermometer_Calibration_Data File_Version=\"1\"><Calibration_Entries>"
                         "<Entry><Checksum>0a0e</Checksum><Point3>0.00000,0.10000</Point3>"
                         "<Note>hand written</Note><Point1>40.00000,-0.02000</Point1>"
                         "<Calibration_Due_Date>31122025</Calibration_Due_Date>"
                         "<Point2>20.00000,0.05000</Point2><Description>Probe 7</Description></Entry>"
                         "<Remark/>" +
                         Good + "</Calibration_Entries></Thermometer_Calibration_Data>");
    TThermometerList list;
    QVERIFY(list.Load_Calibration_File(path));
    QCOMPARE(list.Get_Descriptions(), QStringList({"Probe 7", "Good"}));
    QCOMPARE(list.Get_Checksum_Error_Count(), 0);
    QVERIFY(Same_Points(list.Get_Correction("Probe 7"), TVector2(0, 0.1), TVector2(20, 0.05),
                        TVector2(40, -0.02)));
    QCOMPARE(list.Get_Calibration_Due_Date("probe 7"), QDate(2025, 12, 31));
}

void TTestCalibrationFile::Point_Values_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TVector2>("point");

    QTest::newRow("blanks around the values") << " 20.5 , -0.25 " << TVector2(20.5, -0.25);
    QTest::newRow("two words") << "abc,def" << TVector2(0, 0);
    QTest::newRow("empty parts") << "," << TVector2(0, 0);
    QTest::newRow("infinity") << "inf,0.5" << TVector2(0, 0.5);
    QTest::newRow("negative infinity") << "20,-inf" << TVector2(20, 0);
    QTest::newRow("not a number") << "nan,1" << TVector2(0, 1);
    QTest::newRow("overflow") << "1e999,-1e999" << TVector2(0, 0);
}

// Whatever the text, a point reads as finite numbers; the entry loads when its checksum was made for
// those numbers.
void TTestCalibrationFile::Point_Values()
{
    QFETCH(QString, text);
    QFETCH(TVector2, point);

    const TVector2 p2(30, 0.1), p3(40, 0.2);
    const QString checksum =
        TThermometerList().Calculate_Checksum(Record("Odd", QDate(2030, 1, 1), point, p2, p3));
    Write_File(path, Calibration_File(Entry("Odd", "01012030", text, "30,0.1", "40,0.2", checksum)));

    TThermometerList list;
    QVERIFY(list.Load_Calibration_File(path));
    QCOMPARE(list.Get_Checksum_Error_Count(), 0);
    QCOMPARE(list.Get_Descriptions(), QStringList{"Odd"});
    const TThermometerCorrection correction = list.Get_Correction("Odd");
    QVERIFY(Same_Points(correction, point, p2, p3));
    QVERIFY(std::isfinite(correction.Get_A()) && std::isfinite(correction.Get_B()) &&
            std::isfinite(correction.Get_C()));
}

void TTestCalibrationFile::Other_File_Version()
{
    TThermometerList list;
    QCOMPARE(list.Get_File_Version(), 0);
    Write_File(path, Calibration_File(Good + QByteArray(Probe_7).replace("0a0e", "0a0f")));
    QVERIFY(list.Load_Calibration_File(path));
    QCOMPARE(list.Get_File_Version(), 1);

    const QString newer = dir.filePath("newer.xml");
    Write_File(newer, Calibration_File(Probe_7 + Probe_7, "2"));
    QVERIFY(list.Load_Calibration_File(newer));
    QCOMPARE(list.Get_File_Version(), 2);
    QCOMPARE(list.Get_Descriptions(), QStringList{"Good"});
    QCOMPARE(list.Get_Checksum_Error_Count(), 1);
    QVERIFY(list.Get_Last_Error().isEmpty());

    // A load that never identifies a file does not disturb the version of the last one that did.
    QVERIFY(!list.Load_Calibration_File(dir.filePath("missing.xml")));
    QCOMPARE(list.Get_File_Version(), 2);
}

void TTestCalibrationFile::Awkward_Values_Load_Again_data()
{
    QTest::addColumn<QVector<double>>("values");

    QVector<double> two_decimal_ties, four_decimal_ties, near_zero, scattered;
    for (int k = 0; k < 120; ++k)
    {
        for (double offset : {-0.000004, -0.000001, 0.0, 0.000001, 0.000004})
        {
            two_decimal_ties.append(0.005 + 0.01 * k + offset);
            four_decimal_ties.append(-(0.00005 + 0.0001 * k + offset));
        }
    }
    for (int k = -9; k <= 9; ++k)
    {
        near_zero << k * 0.000001 << k * 0.0000004 << k * 0.00000051;
    }
    near_zero << -0.0;
    quint32 state = 12345;
    for (int k = 0; k < 900; ++k)
    {
        state = state * 1664525u + 1013904223u;
        scattered.append((static_cast<double>(state) / 4294967296.0 - 0.5) * 100.0);
    }

    QTest::newRow("y = -0.000001") << QVector<double>{-0.000001};
    QTest::newRow("near two-decimal ties") << two_decimal_ties;
    QTest::newRow("near four-decimal ties") << four_decimal_ties;
    QTest::newRow("near zero") << near_zero;
    QTest::newRow("scattered") << scattered;
}

// Every entry that was saved loads again, whichever way the 5-decimal text rounds its values.
void TTestCalibrationFile::Awkward_Values_Load_Again()
{
    QFETCH(QVector<double>, values);

    TThermometerList list;
    for (int index = 0; index < values.size(); ++index)
    {
        const double v = values.at(index);
        Add(&list, QStringLiteral("T%1").arg(index), QDate(2030, 1, 1), TVector2(v, v),
            TVector2(v + 10.5, -v), TVector2(v + 10.5000049, v / 3));
    }
    QVERIFY(list.Save_Calibration_File(path));

    TThermometerList loaded;
    QVERIFY(loaded.Load_Calibration_File(path));
    QCOMPARE(loaded.Get_Checksum_Error_Count(), 0);
    QCOMPARE(loaded.Get_Descriptions(), list.Get_Descriptions());
}

// Saved as 1.23500 and read back as 1.235, the value's two-decimal form moves from 1.23 to 1.24.
void TTestCalibrationFile::Rounded_Reference_Loads_Again()
{
    TThermometerList list;
    Add(&list, "Probe", QDate(2030, 1, 1), TVector2(1.234996, 0.1), TVector2(20, 0.05), TVector2(40, -0.02));
    QVERIFY(list.Save_Calibration_File(path));
    QVERIFY(Read_File(path).contains("<Point1>1.23500,0.10000</Point1>"));

    TThermometerList loaded;
    QVERIFY(loaded.Load_Calibration_File(path));
    QCOMPARE(loaded.Get_Checksum_Error_Count(), 0);
    QCOMPARE(loaded.Get_Descriptions(), QStringList{"Probe"});
    QCOMPARE(loaded.Get_Correction("Probe").Get_Point1().x, 1.235);
}

void TTestCalibrationFile::Save_Failure_Keeps_File_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("read_only");
    QTest::addColumn<QString>("message"); // %1 stands for the file name

    QTest::newRow("read-only file") << "Probe" << true << "ERR:  Cannot open file '%1' for writing";
    QTest::newRow("character XML refuses")
        << QStringLiteral("Bad\u0001") << false
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

    const QByteArray before = Calibration_File(Probe_7);
    Write_File(path, before);
    if (read_only)
    {
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
    }

    TThermometerList list;
    QVERIFY(list.Load_Calibration_File(path));
    Add(&list, description, QDate(2030, 1, 1), TVector2(10, 0), TVector2(20, 0), TVector2(30, 0));
    QVERIFY(!list.Save_Calibration_File(path));
    QCOMPARE(list.Get_Last_Error(),
             QStringLiteral("error writing file '%1': %2").arg(path, Fill_File_Name(message, path)));
    QCOMPARE(Read_File(path), before);
    QCOMPARE(list.Get_Descriptions(), QStringList({"Probe 7", description}));

    // A later success does not clear the text of the failure.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    list.Remove_Thermometer_Data(description);
    QVERIFY(list.Save_Calibration_File(path));
    QVERIFY(!list.Get_Last_Error().isEmpty());
}

// An empty description cannot be typed in, but an empty CDATA section in a file yields one.
void TTestCalibrationFile::Empty_Description_From_File_Never_Matches()
{
    const TVector2 p1(10, 1), p2(20, 2), p3(30, 3);
    const QString checksum = TThermometerList().Calculate_Checksum(Record("", QDate(2030, 1, 1), p1, p2, p3));
    Write_File(path, Calibration_File(Entry("<![CDATA[]]>", "01012030", "10,1", "20,2", "30,3", checksum)));

    TThermometerList list;
    QVERIFY(list.Load_Calibration_File(path));
    QCOMPARE(list.Get_Descriptions(), QStringList{""});

    QVERIFY(Same_Points(list.Get_Correction(""), TVector2(15, 0), TVector2(20, 0), TVector2(25, 0)));
    TCorrectionDialogData data;
    QVERIFY(!list.Get_Correction_Data("", &data));
    QCOMPARE(list.Get_Calibration_Due_Date(""), QDate::currentDate());
    QVERIFY(!list.Is_Calibration_Valid(""));
    list.Set_Calibration_Due_Date("", QDate(2040, 1, 1));
    list.Remove_Thermometer_Data("");
    QCOMPARE(list.Get_Descriptions(), QStringList{""});

    // Saved and loaded again, the record is still there.
    QVERIFY(list.Save_Calibration_File(path));
    TThermometerList loaded;
    QVERIFY(loaded.Load_Calibration_File(path));
    QCOMPARE(loaded.Get_Descriptions(), QStringList{""});
    QCOMPARE(loaded.Get_Checksum_Error_Count(), 0);
}

QTEST_GUILESS_MAIN(TTestCalibrationFile)
#include "tst_calibrationfile.moc"
