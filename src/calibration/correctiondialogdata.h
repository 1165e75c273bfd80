#ifndef CORRECTIONDIALOGDATA_H
#define CORRECTIONDIALOGDATA_H

#include <QDate>
#include <QString>

// The values of one thermometer as the Correction Editor shows them. Test point i is
// (reference_temperature_i, thermometer_reading_i); the thermometer list turns it into the
// correction's point (reference, reading - reference).
struct TCorrectionDialogData
{
    double reference_temperature1 = 0.0;
    double reference_temperature2 = 0.0;
    double reference_temperature3 = 0.0;
    double thermometer_reading1 = 0.0;
    double thermometer_reading2 = 0.0;
    double thermometer_reading3 = 0.0;
    QString description;
    QDate calibration_due_date;
};

#endif // CORRECTIONDIALOGDATA_H
