#include "thermometerdata.h"

#include <QtGlobal>

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
