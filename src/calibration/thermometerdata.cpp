#include "thermometerdata.h"

#include "clock.h"
#include "datetext.h"
#include "numbertext.h"
#include "xmlfile.h"

#include <QByteArray>
#include <QChar>
#include <QDomElement>
#include <QRegularExpression>
#include <QStringView>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace
{
const QString Identification = QStringLiteral("Thermometer_Calibration_Data");
constexpr int Current_File_Version = 1;

// A value just below zero is written as zero, without the minus: a load reads "-0.00000" as zero and
// writes it back as "0.00000", so the file, the record of the change that saved it and every later load
// would disagree about a calibration nobody changed.
QString Point_Text(const TVector2& point)
{
    char text[2 * Fixed_Text_Capacity + 1];
    const int x_length = Format_Number(point.x, 5, text);
    const int y_length = x_length < 0 ? -1 : Format_Number(point.y, 5, text + x_length + 1);
    if (y_length < 0)
    {
        return Fixed_Text(point.x, 5) + QLatin1Char(',') + Fixed_Text(point.y, 5);
    }
    text[x_length] = ',';
    return QString::fromLatin1(text, x_length + 1 + y_length);
}

// Text that is not a number reads as 0, and so does an infinity or a NaN: such a value would run
// into the fit, the display and the reports.
double Point_Value(QStringView text)
{
    bool ok = false;
    const double value = Decimal_Value(text, &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// point_number names the point in the message.
TVector2 Parse_Point(const QString& text, int point_number)
{
    TVector2 point;
    if (!Read_Stored_Point(text, &point))
    {
        throw TXmlFileException(QStringLiteral("Point%1 temperature data invalid").arg(point_number), 1);
    }
    return point;
}

// The stored point when the editor gives back exactly what Get_Correction_Data made of it: the reading
// is reference + deviation there, and subtracting the reference again need not give the deviation
// bit for bit.
TVector2 Edited_Point(double reference, double reading, const TVector2& stored)
{
    if (reference == stored.x && reading == stored.x + stored.y)
    {
        return stored;
    }
    return TVector2(reference, reading - reference);
}

} // namespace

bool Read_Stored_Point(const QString& text, TVector2* point)
{
    const int comma = text.indexOf(QLatin1Char(','));
    if (comma < 0 || text.indexOf(QLatin1Char(','), comma + 1) >= 0)
    {
        return false;
    }
    const QStringView view(text);
    *point = TVector2(Point_Value(view.left(comma)), Point_Value(view.mid(comma + 1)));
    return true;
}

namespace
{

bool Is_Same_Entry(const TThermometerData& left, const TThermometerData& right)
{
    const TThermometerCorrection& a = left.correction;
    const TThermometerCorrection& b = right.correction;
    return left.description == right.description && left.calibration_due_date == right.calibration_due_date &&
           a.Get_Point1().x == b.Get_Point1().x && a.Get_Point1().y == b.Get_Point1().y &&
           a.Get_Point2().x == b.Get_Point2().x && a.Get_Point2().y == b.Get_Point2().y &&
           a.Get_Point3().x == b.Get_Point3().x && a.Get_Point3().y == b.Get_Point3().y;
}

// The fields of an entry in the order the file has them.
enum TEntryField
{
    Description_Field,
    Due_Date_Field,
    Point1_Field,
    Point2_Field,
    Point3_Field,
    Checksum_Field,
    Field_Count
};

const QString& Field_Name(TEntryField field)
{
    static const QString names[Field_Count] = {
        QStringLiteral("Description"), QStringLiteral("Calibration_Due_Date"),
        QStringLiteral("Point1"),      QStringLiteral("Point2"),
        QStringLiteral("Point3"),      QStringLiteral("Checksum")};
    return names[field];
}

// The first child element of each field's name, found in one walk over the entry's children: a
// search per field began again at the first child each time.
class TEntryFields
{
public:
    explicit TEntryFields(const QDomElement& entry_element) : entry(entry_element)
    {
        int found = 0;
        for (QDomElement child = entry.firstChildElement(); !child.isNull() && found < Field_Count;
             child = child.nextSiblingElement())
        {
            const QString name = child.tagName();
            for (int field = 0; field < Field_Count; ++field)
            {
                if (elements[field].isNull() && name == Field_Name(TEntryField(field)))
                {
                    elements[field] = child;
                    ++found;
                    break;
                }
            }
        }
    }

    // The field's text; a missing field or text fails as the file layer words it.
    QString Text(const TXmlFile& xml_file, TEntryField field) const
    {
        const QDomElement element = elements[field].isNull()
                                        ? xml_file.Get_Child_Element(&entry, Field_Name(field), false)
                                        : elements[field];
        return xml_file.Read_Node_Text(&element, false);
    }

private:
    const QDomElement entry;
    QDomElement elements[Field_Count];
};

const QString History_Anchor_Element = QStringLiteral("Calibration_History");
const QString Anchor_Records_Element = QStringLiteral("Records");
const QString Anchor_Hash_Element = QStringLiteral("Last_Record_SHA256");

// The history anchor of an opened document; not set when there is none, or when it is cut off by damage
// or is not one (a hand edit): a loader of an earlier version ignores the element as well.
THistoryAnchor Read_History_Anchor(const TXmlFile& xml_file)
{
    const QDomElement element = xml_file.root_element.firstChildElement(History_Anchor_Element);
    if (element.isNull() || !xml_file.Is_Complete(element))
    {
        return THistoryAnchor();
    }
    const QString records = element.firstChildElement(Anchor_Records_Element).text();
    const QString hash = element.firstChildElement(Anchor_Hash_Element).text();
    static const QRegularExpression digits(QStringLiteral("^[1-9][0-9]{0,8}$"));
    static const QRegularExpression sha256(QStringLiteral("^[0-9a-f]{64}$"));
    if (!digits.match(records).hasMatch() || !sha256.match(hash).hasMatch())
    {
        return THistoryAnchor();
    }
    THistoryAnchor anchor;
    anchor.records = records.toInt();
    anchor.last_record_hash = hash.toLatin1();
    return anchor;
}

// Each byte counts as a signed 8-bit value, so bytes of 0x80 and above lower the sum.
quint16 Byte_Sum(const char* bytes, int length)
{
    quint16 sum = 0;
    for (int index = 0; index < length; ++index)
    {
        sum = static_cast<quint16>(sum + static_cast<signed char>(bytes[index]));
    }
    return sum;
}

quint16 Utf8_Sum(const QString& text)
{
    quint16 sum = 0;
    for (const QChar character : text)
    {
        if (character.unicode() >= 0x80)
        {
            const QByteArray bytes = text.toUtf8();
            return Byte_Sum(bytes.constData(), bytes.size());
        }
        sum = static_cast<quint16>(sum + character.unicode());
    }
    return sum;
}

quint16 Fixed_Text_Sum(double value, int precision)
{
    char buffer[Fixed_Text_Capacity];
    const int length = Format_Fixed(value, precision, buffer);
    if (length < 0)
    {
        const QByteArray text = QString::number(value, 'f', precision).toLatin1();
        return Byte_Sum(text.constData(), text.size());
    }
    return Byte_Sum(buffer, length);
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

    const int index = Find_Entry(description);
    if (index >= 0)
    {
        TThermometerCorrection& correction = entries[index].correction;
        correction.Set_Points(
            Edited_Point(data.reference_temperature1, data.thermometer_reading1, correction.Get_Point1()),
            Edited_Point(data.reference_temperature2, data.thermometer_reading2, correction.Get_Point2()),
            Edited_Point(data.reference_temperature3, data.thermometer_reading3, correction.Get_Point3()));
        return;
    }
    const TVector2 p1(data.reference_temperature1, data.thermometer_reading1 - data.reference_temperature1);
    const TVector2 p2(data.reference_temperature2, data.thermometer_reading2 - data.reference_temperature2);
    const TVector2 p3(data.reference_temperature3, data.thermometer_reading3 - data.reference_temperature3);
    Add_Entry({description, TThermometerCorrection(p1, p2, p3), QDate()});
}

QDate TThermometerList::Get_Calibration_Due_Date(const QString& description) const
{
    const int index = Find_Entry(description);
    if (index < 0)
    {
        return TClock::Today();
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
    return due_date.isValid() && TClock::Today().toJulianDay() < due_date.toJulianDay();
}

void TThermometerList::Remove_Thermometer_Data(const QString& description)
{
    const int index = Find_Entry(description);
    if (index >= 0)
    {
        entries.remove(index);
        Rebuild_Index();
    }
}

bool TThermometerList::Rename_Thermometer(const QString& description, const QString& new_description)
{
    const int index = Find_Entry(description);
    const int other_index = Find_Entry(new_description);
    if (index < 0 || new_description.isEmpty() || (other_index >= 0 && other_index != index))
    {
        return false;
    }
    entries[index].description = new_description;
    Rebuild_Index();
    return true;
}

// Case-insensitive comparison folds each character as toCaseFolded does, so two descriptions compare
// equal exactly when their folded texts are equal.
QString TThermometerList::Get_Stored_Description(const QString& description) const
{
    const int index = Find_Entry(description);
    return index < 0 ? QString() : entries[index].description;
}

QString TThermometerList::Get_Stored_Record(const QString& description) const
{
    const int index = Find_Entry(description);
    if (index < 0)
    {
        return QString();
    }
    const TThermometerData& entry = entries[index];
    return (QStringList({entry.description, QString::number(entry.calibration_due_date.toJulianDay())}) +
            Get_Stored_Points(description))
        .join('\n');
}

QStringList TThermometerList::Get_Stored_Points(const QString& description) const
{
    const int index = Find_Entry(description);
    if (index < 0)
    {
        return QStringList();
    }
    const TThermometerCorrection& correction = entries[index].correction;
    return {Point_Text(correction.Get_Point1()), Point_Text(correction.Get_Point2()),
            Point_Text(correction.Get_Point3())};
}

bool TThermometerList::Has_Same_Entry(const TThermometerList& other, const QString& description) const
{
    const int index = Find_Entry(description);
    const int other_index = other.Find_Entry(description);
    return index >= 0 && other_index >= 0 && Is_Same_Entry(entries[index], other.entries[other_index]);
}

QString TThermometerList::Get_Stored_Checksum(const QString& description) const
{
    const int index = Find_Entry(description);
    return index < 0 ? QString() : Calculate_Checksum(entries[index]);
}

QString TThermometerList::Lookup_Key(const QString& description)
{
    return description.toCaseFolded();
}

bool TThermometerList::Is_Same_Description(const QString& first, const QString& second)
{
    return !first.isEmpty() && !second.isEmpty() && Lookup_Key(first) == Lookup_Key(second);
}

int TThermometerList::Find_Entry(const QString& description) const
{
    if (description.isEmpty())
    {
        return -1;
    }
    return first_entry_by_key.value(Lookup_Key(description), -1);
}

bool TThermometerList::Add_Entry(const TThermometerData& entry)
{
    // No lookup reaches an empty description: such an entry could never be changed or removed.
    const QString key = Lookup_Key(entry.description);
    if (entry.description.isEmpty() || first_entry_by_key.contains(key))
    {
        return false;
    }
    entries.append(entry);
    first_entry_by_key.insert(key, entries.size() - 1);
    return true;
}

void TThermometerList::Rebuild_Index()
{
    first_entry_by_key.clear();
    first_entry_by_key.reserve(entries.size());
    for (int index = entries.size() - 1; index >= 0; --index)
    {
        first_entry_by_key.insert(Lookup_Key(entries.at(index).description), index);
    }
}

struct TThermometerList::TEntryProgress
{
    // Entries taken so far; the first clears the list.
    int taken = 0;
    // The broken entry that ends the load: no entry after it is taken.
    std::optional<TXmlFileException> broken;
};

TElementRead TThermometerList::Entry_Reader(const TXmlFile* xml_file, TEntryProgress* progress)
{
    // Only the entries Load_Calibration_Entries would walk are taken: those of the first
    // Calibration_Entries of a calibration document of the current version, in file order. As entries
    // taken are gone, an Entry that is the first of its parent is the next one.
    return [this, xml_file, progress](const QDomElement& element, int depth) {
        if (depth != 3)
        {
            return false;
        }
        const QDomElement calibration_entries = element.parentNode().toElement();
        const QDomElement root = calibration_entries.parentNode().toElement();
        if (!root.parentNode().isDocument() || root.tagName() != Identification ||
            root.attribute(QStringLiteral("File_Version")).toInt(nullptr, 10) != Current_File_Version ||
            root.firstChildElement(QStringLiteral("Calibration_Entries")) != calibration_entries ||
            calibration_entries.firstChildElement(QStringLiteral("Entry")) != element)
        {
            return false;
        }
        if (!progress->broken)
        {
            if (progress->taken == 0)
            {
                Clear_Entries();
            }
            try
            {
                Load_Entry(*xml_file, element, ++progress->taken);
            }
            catch (const TXmlFileException& exception)
            {
                progress->broken = exception;
            }
        }
        return true;
    };
}

void TThermometerList::Clear_Entries()
{
    entries.clear();
    first_entry_by_key.clear();
    checksum_error_count = 0;
    rejected_entries.clear();
}

bool TThermometerList::Load_Calibration_File(const QString& file_name)
{
    TXmlFile xml_file;
    xml_file.file_name = file_name;
    int version = 0;
    TEntryProgress progress;
    try
    {
        xml_file.Open_File(Identification, &version, true, Entry_Reader(&xml_file, &progress));
        file_version = version;
        if (version == Current_File_Version)
        {
            Load_Calibration_Entries(&xml_file, &progress);
        }
    }
    catch (const TXmlFileException& exception)
    {
        last_error = QStringLiteral("error reading file '%1': %2").arg(file_name, exception.message);
        if (xml_file.damage_line > 0 && !xml_file.root_element.isNull())
        {
            Load_Entries_Before_Damage(&xml_file, version, &progress);
        }
        return false;
    }
    return true;
}

void TThermometerList::Load_Entries_Before_Damage(TXmlFile* xml_file, int version, TEntryProgress* progress)
{
    file_version = version;
    if (version != Current_File_Version)
    {
        return; // not read when intact either
    }
    try
    {
        Load_Calibration_Entries(xml_file, progress);
    }
    catch (const TXmlFileException&)
    {
        // A broken entry before the damage ends the reading there; its own line names it, and the
        // damage stays the error to report.
    }
    int read = entries.size();
    for (const TRejectedEntry& rejected : qAsConst(rejected_entries))
    {
        read += rejected.reason == TRejectedEntry::Incomplete ? 0 : 1;
    }
    if (!last_error.endsWith(QLatin1Char('.')))
    {
        last_error += QLatin1Char('.');
    }
    last_error += QStringLiteral(" %1 before line %2, column %3.")
                      .arg(read == 0   ? QStringLiteral("No entry was read completely")
                           : read == 1 ? QStringLiteral("1 entry was read completely")
                                       : QStringLiteral("%1 entries were read completely").arg(read))
                      .arg(xml_file->damage_line)
                      .arg(xml_file->damage_column);
}

void TThermometerList::Load_Calibration_Entries(TXmlFile* xml_file, TEntryProgress* progress)
{
    Q_ASSERT_X(xml_file != nullptr, "TThermometerList::Load_Calibration_Entries", "xml_file");

    if (progress->taken == 0)
    {
        Clear_Entries();
    }
    history_anchor = Read_History_Anchor(*xml_file);

    const QDomElement calibration_entries =
        xml_file->Get_Child_Element(&xml_file->root_element, QStringLiteral("Calibration_Entries"), false);
    if (progress->broken)
    {
        throw *progress->broken;
    }
    // What the entry reader did not take: an entry cut off by damage.
    QDomElement entry = xml_file->Get_Child_Element(&calibration_entries, QStringLiteral("Entry"), true);
    for (int entry_number = progress->taken + 1; !entry.isNull(); ++entry_number)
    {
        // Cut off by damage to the file: any of its fields may be cut short, so none is taken but a
        // complete description that names it.
        if (!xml_file->Is_Complete(entry))
        {
            const QDomElement description = entry.firstChildElement(Field_Name(Description_Field));
            rejected_entries.append({entry_number,
                                     description.isNull() || !xml_file->Is_Complete(description)
                                         ? QString()
                                         : xml_file->Read_Node_Text(&description, true),
                                     TRejectedEntry::Incomplete});
            break;
        }
        Load_Entry(*xml_file, entry, entry_number);
        entry = xml_file->Get_Sibling_Element(&entry, QStringLiteral("Entry"), true);
    }
    // Appending left room for up to as many again, which the list would keep, and each change copy.
    entries.squeeze();
}

void TThermometerList::Load_Entry(const TXmlFile& xml_file, const QDomElement& entry, int entry_number)
{
    TThermometerData record;
    QString stored;
    try
    {
        const TEntryFields fields(entry);
        record.description = fields.Text(xml_file, Description_Field);
        record.calibration_due_date = Day_Month_Year_Date(fields.Text(xml_file, Due_Date_Field));
        const TVector2 p1 = Parse_Point(fields.Text(xml_file, Point1_Field), 1);
        const TVector2 p2 = Parse_Point(fields.Text(xml_file, Point2_Field), 2);
        const TVector2 p3 = Parse_Point(fields.Text(xml_file, Point3_Field), 3);
        record.correction.Set_Points(p1, p2, p3);
        stored = fields.Text(xml_file, Checksum_Field);
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
    else if (record.description.isEmpty())
    {
        // No lookup reaches it: it could be neither selected, changed nor removed.
        rejected_entries.append({entry_number, record.description, TRejectedEntry::Broken_Entry});
    }
    else if (!Add_Entry(record))
    {
        rejected_entries.append({entry_number, record.description, TRejectedEntry::Duplicate});
    }
}

bool TThermometerList::Save_Calibration_File(const QString& file_name, const THistoryAnchor& anchor)
{
    TXmlFile xml_file;
    xml_file.file_name = file_name;
    try
    {
        xml_file.Create_Document(Identification, Current_File_Version);
        // Ahead of the entries, so that a file cut short by damage still names it.
        if (anchor.Is_Set())
        {
            QDomElement history =
                xml_file.Create_Child_Element(&xml_file.root_element, History_Anchor_Element);
            QDomElement records = xml_file.Create_Child_Element(&history, Anchor_Records_Element);
            xml_file.Write_Node_Data(&records, anchor.records);
            QDomElement hash = xml_file.Create_Child_Element(&history, Anchor_Hash_Element);
            xml_file.Write_Node_Data(&hash, QString::fromLatin1(anchor.last_record_hash));
        }
        QDomElement calibration_entries =
            xml_file.Create_Child_Element(&xml_file.root_element, QStringLiteral("Calibration_Entries"));
        QVector<TThermometerData> saved;
        saved.reserve(entries.size());
        // Each entry is made as it is written, so that the document never holds more than one.
        int next = 0;
        const auto next_entry = [&]() {
            if (next == entries.size())
            {
                return false;
            }
            const TThermometerData& record = entries.at(next++);
            const TThermometerCorrection& correction = record.correction;
            const QString date_text = Day_Month_Year_Text(record.calibration_due_date);
            const QString point_texts[3] = {Point_Text(correction.Get_Point1()),
                                            Point_Text(correction.Get_Point2()),
                                            Point_Text(correction.Get_Point3())};

            // The checksum covers fewer decimals than the file holds, so it is taken from the record
            // exactly as the next load will rebuild it from these texts; taken from the values in
            // memory it would differ whenever the rounding to 5 decimals moves a 2- or 4-decimal form,
            // and the entry would be dropped as damaged.
            TThermometerData read_back = record;
            read_back.calibration_due_date = Day_Month_Year_Date(date_text);
            read_back.correction.Set_Points(Parse_Point(point_texts[0], 1), Parse_Point(point_texts[1], 2),
                                            Parse_Point(point_texts[2], 3));

            QDomElement entry = xml_file.Create_Child_Element(&calibration_entries, QStringLiteral("Entry"));
            QDomElement description = xml_file.Create_Child_Element(&entry, Field_Name(Description_Field));
            xml_file.Write_Node_Data(&description, record.description);
            QDomElement due_date = xml_file.Create_Child_Element(&entry, Field_Name(Due_Date_Field));
            xml_file.Write_Node_Data(&due_date, date_text);
            const TEntryField point_fields[3] = {Point1_Field, Point2_Field, Point3_Field};
            for (int point = 0; point < 3; ++point)
            {
                QDomElement element = xml_file.Create_Child_Element(&entry, Field_Name(point_fields[point]));
                xml_file.Write_Node_Data(&element, point_texts[point]);
            }
            QDomElement checksum = xml_file.Create_Child_Element(&entry, Field_Name(Checksum_Field));
            xml_file.Write_Node_Data(&checksum, Calculate_Checksum(read_back));
            // The file holds points to 5 decimals by design; the description and the date must come
            // back exactly as they are in memory.
            saved.append(read_back);
            saved.last().calibration_due_date = record.calibration_due_date;
            return true;
        };
        // Every save reads the whole file it is about to write back before it replaces the old one.
        QByteArray data;
        xml_file.Save_Data(&data, false, calibration_entries, next_entry);
        Check_Read_Back(data, saved, anchor);
        xml_file.Save_File_Data(data);
        // From now on the list corrects with the points as the file holds them, to 5 decimals, as every
        // other window and velmora-cli reading the file does; the points as typed are gone with the save.
        for (int index = 0; index < entries.size(); ++index)
        {
            entries[index].correction = saved.at(index).correction;
        }
    }
    catch (const TXmlFileException& exception)
    {
        last_error = QStringLiteral("error writing file '%1': %2").arg(file_name, exception.message);
        return false;
    }
    history_anchor = anchor;
    return true;
}

void TThermometerList::Check_Read_Back(const QByteArray& data, const QVector<TThermometerData>& saved,
                                       const THistoryAnchor& anchor) const
{
    // Room for what is expected, so that the list is not grown, and held twice meanwhile, while read.
    TThermometerList read_back;
    read_back.entries.reserve(saved.size());
    QString failure;
    try
    {
        TXmlFile xml_file;
        int version = 0;
        TEntryProgress progress;
        xml_file.Open_Data(data, Identification, &version, true,
                           read_back.Entry_Reader(&xml_file, &progress));
        read_back.Load_Calibration_Entries(&xml_file, &progress);
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
    if (read_back.entries.size() != saved.size() || read_back.history_anchor != anchor || !failure.isEmpty())
    {
        throw TXmlFileException(
            QStringLiteral("ERR:  The file would not read back as it was saved%1; it was left as it was.")
                .arg(failure),
            1);
    }
}

QString TThermometerList::Calculate_Checksum(const TThermometerData& record) const
{
    const QString date_text = Day_Month_Year_Text(record.calibration_due_date);
    const TVector2* const points[] = {&record.correction.Get_Point1(), &record.correction.Get_Point2(),
                                      &record.correction.Get_Point3()};

    // The sum runs over the UTF-8 bytes of description, date and the points' texts written one after
    // the other. The date and the numbers are ASCII, so each part may be summed on its own; only a
    // surrogate in the description could be encoded differently at the seam, so then the whole text is.
    quint16 sum = 0;
    const bool has_surrogate = std::any_of(record.description.cbegin(), record.description.cend(),
                                           [](const QChar character) { return character.isSurrogate(); });
    if (has_surrogate)
    {
        QString text = record.description + date_text;
        for (const TVector2* point : points)
        {
            text += Fixed_Text(point->x, 2) + Fixed_Text(point->y, 4);
        }
        sum = Utf8_Sum(text);
    }
    else
    {
        sum = static_cast<quint16>(Utf8_Sum(record.description) + Utf8_Sum(date_text));
        for (const TVector2* point : points)
        {
            sum = static_cast<quint16>(sum + Fixed_Text_Sum(point->x, 2) + Fixed_Text_Sum(point->y, 4));
        }
    }

    static const char Hex_Digits[] = "0123456789abcdef";
    QString checksum(4, QLatin1Char('0'));
    for (int digit = 0; digit < 4; ++digit)
    {
        checksum[3 - digit] = QLatin1Char(Hex_Digits[(sum >> (4 * digit)) & 0xF]);
    }
    return checksum;
}
