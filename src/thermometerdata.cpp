#include "thermometerdata.h"

#include "xmlfile.h"

#include <QByteArray>
#include <QChar>
#include <QDomElement>
#include <QtGlobal>

#include <cmath>

namespace
{
const QString Identification = QStringLiteral("Thermometer_Calibration_Data");
const QString Date_Format = QStringLiteral("ddMMyyyy");
constexpr int Current_File_Version = 1;

QString Point_Text(const TVector2& point)
{
    return QStringLiteral("%1,%2").arg(QString::number(point.x, 'f', 5), QString::number(point.y, 'f', 5));
}

// Text that is not a number reads as 0, and so does an infinity or a NaN: such a value would run
// into the fit, the display and the reports.
double Point_Value(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// Only the exact text the program writes is a date: Qt 5 and Qt 6 differ on others (Qt 5 reads "+1122025"
// as 1 December 2025), and the file must be read the same under both. Any other text reads as no date.
QDate Parse_Date(const QString& text)
{
    const QDate date = QDate::fromString(text, Date_Format);
    return date.toString(Date_Format) == text ? date : QDate();
}

// point_number names the point in the message.
TVector2 Parse_Point(const QString& text, int point_number)
{
    const QStringList parts = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (parts.size() != 2)
    {
        throw TXmlFileException(QStringLiteral("Point%1 temperature data invalid").arg(point_number), 1);
    }
    return TVector2(Point_Value(parts.at(0)), Point_Value(parts.at(1)));
}

bool Is_Same_Entry(const TThermometerData& left, const TThermometerData& right)
{
    const TThermometerCorrection& a = left.correction;
    const TThermometerCorrection& b = right.correction;
    return left.description == right.description && left.calibration_due_date == right.calibration_due_date &&
           a.Get_Point1().x == b.Get_Point1().x && a.Get_Point1().y == b.Get_Point1().y &&
           a.Get_Point2().x == b.Get_Point2().x && a.Get_Point2().y == b.Get_Point2().y &&
           a.Get_Point3().x == b.Get_Point3().x && a.Get_Point3().y == b.Get_Point3().y;
}

QString Read_Text(const TXmlFile& xml_file, const QDomElement& entry, const QString& name)
{
    const QDomElement element = xml_file.Get_Child_Element(&entry, name, false);
    return xml_file.Read_Node_Text(&element, false);
}
} // namespace

QStringList TThermometerList::Get_Descriptions() const
{
    QStringList descriptions;
    for (const TThermometerData& entry : entries)
    {
        descriptions.append(entry.description);
    }
    return descriptions;
}

TThermometerCorrection TThermometerList::Get_Correction(const QString& description) const
{
    const int index = Find_Entry(description);
    if (index < 0)
    {
        return TThermometerCorrection();
    }
    return entries.at(index).correction;
}

bool TThermometerList::Get_Correction_Data(const QString& description,
                                           TCorrectionDialogData* temperature_data) const
{
    Q_ASSERT_X(temperature_data != nullptr, "TThermometerList::Get_Correction_Data",
               "temperature_data != nullptr");

    temperature_data->reference_temperature1 = 15.0;
    temperature_data->reference_temperature2 = 20.0;
    temperature_data->reference_temperature3 = 25.0;
    temperature_data->thermometer_reading1 = 15.0;
    temperature_data->thermometer_reading2 = 20.0;
    temperature_data->thermometer_reading3 = 25.0;

    const int index = Find_Entry(description);
    if (index < 0)
    {
        return false;
    }
    const TThermometerCorrection& correction = entries.at(index).correction;
    temperature_data->reference_temperature1 = correction.Get_Point1().x;
    temperature_data->reference_temperature2 = correction.Get_Point2().x;
    temperature_data->reference_temperature3 = correction.Get_Point3().x;
    temperature_data->thermometer_reading1 = correction.Get_Point1().x + correction.Get_Point1().y;
    temperature_data->thermometer_reading2 = correction.Get_Point2().x + correction.Get_Point2().y;
    temperature_data->thermometer_reading3 = correction.Get_Point3().x + correction.Get_Point3().y;
    return true;
}

void TThermometerList::Set_Correction_Data(const QString& description, const TCorrectionDialogData& data)
{
    if (description.isEmpty())
    {
        return;
    }

    const TVector2 p1(data.reference_temperature1, data.thermometer_reading1 - data.reference_temperature1);
    const TVector2 p2(data.reference_temperature2, data.thermometer_reading2 - data.reference_temperature2);
    const TVector2 p3(data.reference_temperature3, data.thermometer_reading3 - data.reference_temperature3);

    const int index = Find_Entry(description);
    if (index >= 0)
    {
        entries[index].correction.Set_Points(p1, p2, p3);
        return;
    }

    TThermometerData entry;
    entry.description = description;
    entry.correction.Set_Points(p1, p2, p3);
    entries.append(entry);
}

QDate TThermometerList::Get_Calibration_Due_Date(const QString& description) const
{
    const int index = Find_Entry(description);
    if (index < 0)
    {
        return QDate::currentDate();
    }
    return entries.at(index).calibration_due_date;
}

void TThermometerList::Set_Calibration_Due_Date(const QString& description, const QDate& date)
{
    const int index = Find_Entry(description);
    if (index >= 0)
    {
        entries[index].calibration_due_date = date;
    }
}

bool TThermometerList::Is_Calibration_Valid(const QString& description) const
{
    const int index = Find_Entry(description);
    if (index < 0)
    {
        return false;
    }
    const QDate& due_date = entries.at(index).calibration_due_date;
    return due_date.isValid() && QDate::currentDate().toJulianDay() < due_date.toJulianDay();
}

void TThermometerList::Remove_Thermometer_Data(const QString& description)
{
    const int index = Find_Entry(description);
    if (index >= 0)
    {
        entries.remove(index);
    }
}

int TThermometerList::Find_Entry(const QString& description) const
{
    if (description.isEmpty())
    {
        return -1;
    }
    for (int index = 0; index < entries.size(); ++index)
    {
        if (QString::compare(entries.at(index).description, description, Qt::CaseInsensitive) == 0)
        {
            return index;
        }
    }
    return -1;
}

bool TThermometerList::Load_Calibration_File(const QString& file_name)
{
    TXmlFile xml_file;
    xml_file.file_name = file_name;
    try
    {
        int version = 0;
        xml_file.Open_File(Identification, &version, true);
        file_version = version;
        if (version == Current_File_Version)
        {
            Load_Calibration_Entries(&xml_file);
        }
    }
    catch (const TXmlFileException& exception)
    {
        last_error = QStringLiteral("error reading file '%1': %2").arg(file_name, exception.message);
        return false;
    }
    return true;
}

void TThermometerList::Load_Calibration_Entries(TXmlFile* xml_file)
{
    Q_ASSERT_X(xml_file != nullptr, "TThermometerList::Load_Calibration_Entries", "xml_file");

    entries.clear();
    checksum_error_count = 0;
    rejected_entries.clear();

    const QDomElement calibration_entries =
        xml_file->Get_Child_Element(&xml_file->root_element, QStringLiteral("Calibration_Entries"), false);
    QDomElement entry = xml_file->Get_Child_Element(&calibration_entries, QStringLiteral("Entry"), true);
    for (int entry_number = 1; !entry.isNull(); ++entry_number)
    {
        TThermometerData record;
        QString stored;
        try
        {
            record.description = Read_Text(*xml_file, entry, QStringLiteral("Description"));
            record.calibration_due_date =
                Parse_Date(Read_Text(*xml_file, entry, QStringLiteral("Calibration_Due_Date")));
            const TVector2 p1 = Parse_Point(Read_Text(*xml_file, entry, QStringLiteral("Point1")), 1);
            const TVector2 p2 = Parse_Point(Read_Text(*xml_file, entry, QStringLiteral("Point2")), 2);
            const TVector2 p3 = Parse_Point(Read_Text(*xml_file, entry, QStringLiteral("Point3")), 3);
            record.correction.Set_Points(p1, p2, p3);
            stored = Read_Text(*xml_file, entry, QStringLiteral("Checksum"));
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
            // A fuzzer cannot forge checksums, yet every entry it makes must reach the save and reload.
            stored = Calculate_Checksum(record);
#endif
        }
        catch (const TXmlFileException&)
        {
            rejected_entries.append({entry_number, record.description, TRejectedEntry::Broken_Entry});
            throw;
        }

        if (stored != Calculate_Checksum(record))
        {
            ++checksum_error_count;
            rejected_entries.append({entry_number, record.description, TRejectedEntry::Checksum_Mismatch});
        }
        else if (Find_Entry(record.description) >= 0)
        {
            rejected_entries.append({entry_number, record.description, TRejectedEntry::Duplicate});
        }
        else
        {
            entries.append(record);
        }

        entry = xml_file->Get_Sibling_Element(&entry, QStringLiteral("Entry"), true);
    }
}

bool TThermometerList::Save_Calibration_File(const QString& file_name)
{
    TXmlFile xml_file;
    xml_file.file_name = file_name;
    try
    {
        xml_file.Create_Document(Identification, Current_File_Version);
        QDomElement calibration_entries =
            xml_file.Create_Child_Element(&xml_file.root_element, QStringLiteral("Calibration_Entries"));
        QVector<TThermometerData> saved;
        saved.reserve(entries.size());
        for (const TThermometerData& record : qAsConst(entries))
        {
            const TThermometerCorrection& correction = record.correction;
            const QString date_text = record.calibration_due_date.toString(Date_Format);
            const QString point1_text = Point_Text(correction.Get_Point1());
            const QString point2_text = Point_Text(correction.Get_Point2());
            const QString point3_text = Point_Text(correction.Get_Point3());

            // The checksum covers fewer decimals than the file holds, so it is taken from the record
            // exactly as the next load will rebuild it from these texts; taken from the values in
            // memory it would differ whenever the rounding to 5 decimals moves a 2- or 4-decimal form,
            // and the entry would be dropped as damaged.
            TThermometerData read_back = record;
            read_back.calibration_due_date = Parse_Date(date_text);
            read_back.correction.Set_Points(Parse_Point(point1_text, 1), Parse_Point(point2_text, 2),
                                            Parse_Point(point3_text, 3));

            QDomElement entry = xml_file.Create_Child_Element(&calibration_entries, QStringLiteral("Entry"));
            QDomElement description = xml_file.Create_Child_Element(&entry, QStringLiteral("Description"));
            xml_file.Write_Node_Data(&description, record.description);
            QDomElement due_date =
                xml_file.Create_Child_Element(&entry, QStringLiteral("Calibration_Due_Date"));
            xml_file.Write_Node_Data(&due_date, date_text);
            QDomElement point1 = xml_file.Create_Child_Element(&entry, QStringLiteral("Point1"));
            xml_file.Write_Node_Data(&point1, point1_text);
            QDomElement point2 = xml_file.Create_Child_Element(&entry, QStringLiteral("Point2"));
            xml_file.Write_Node_Data(&point2, point2_text);
            QDomElement point3 = xml_file.Create_Child_Element(&entry, QStringLiteral("Point3"));
            xml_file.Write_Node_Data(&point3, point3_text);
            QDomElement checksum = xml_file.Create_Child_Element(&entry, QStringLiteral("Checksum"));
            xml_file.Write_Node_Data(&checksum, Calculate_Checksum(read_back));
            // The file holds points to 5 decimals by design; the description and the date must come
            // back exactly as they are in memory.
            saved.append(read_back);
            saved.last().calibration_due_date = record.calibration_due_date;
        }
        QByteArray data;
        xml_file.Save_Data(&data, false);
        Check_Read_Back(data, saved);
        xml_file.Save_File_Data(data);
    }
    catch (const TXmlFileException& exception)
    {
        last_error = QStringLiteral("error writing file '%1': %2").arg(file_name, exception.message);
        return false;
    }
    return true;
}

void TThermometerList::Check_Read_Back(const QByteArray& data, const QVector<TThermometerData>& saved) const
{
    TThermometerList read_back;
    QString failure;
    try
    {
        TXmlFile xml_file;
        int version = 0;
        xml_file.Open_Data(data, Identification, &version, true);
        read_back.Load_Calibration_Entries(&xml_file);
    }
    catch (const TXmlFileException& exception)
    {
        failure = QStringLiteral(" (%1)").arg(exception.message);
    }
    for (int index = 0; index < saved.size(); ++index)
    {
        if (index >= read_back.entries.size() || !Is_Same_Entry(read_back.entries.at(index), saved.at(index)))
        {
            throw TXmlFileException(
                QStringLiteral(
                    "ERR:  Entry '%1' would not read back as it was saved%2; the file was left as it "
                    "was.")
                    .arg(saved.at(index).description, failure),
                1);
        }
    }
    if (read_back.entries.size() != saved.size() || !failure.isEmpty())
    {
        throw TXmlFileException(
            QStringLiteral("ERR:  The file would not read back as it was saved%1; it was left as it was.")
                .arg(failure),
            1);
    }
}

QString TThermometerList::Calculate_Checksum(const TThermometerData& record) const
{
    QString text = record.description + record.calibration_due_date.toString(Date_Format);
    for (const TVector2* point :
         {&record.correction.Get_Point1(), &record.correction.Get_Point2(), &record.correction.Get_Point3()})
    {
        text += QString::number(point->x, 'f', 2) + QString::number(point->y, 'f', 4);
    }

    // Each byte counts as a signed 8-bit value, so bytes of 0x80 and above lower the sum.
    quint16 sum = 0;
    const QByteArray bytes = text.toUtf8();
    for (const char byte : bytes)
    {
        sum = static_cast<quint16>(sum + static_cast<signed char>(byte));
    }
    return QStringLiteral("%1").arg(sum, 4, 16, QLatin1Char('0'));
}
