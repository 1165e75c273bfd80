#ifndef TEMPERATURELOG_H
#define TEMPERATURELOG_H

#include "thermometercorrection.h"

#include <QString>
#include <QStringList>

// The text a corrected field shows for a meter text: the corrected reading with two decimals, or
// "-----" when the thermometer is out of calibration, its correction is unusable or the text is
// not a number. The log records exactly this text.
QString Corrected_Reading_Text(const QString& meter_text, bool in_calibration,
                               const TThermometerCorrection& correction);

// A field of the CSV files, quoted only when it would otherwise break the row.
QString Csv_Field(const QString& field);

QString Temperature_Log_Header();
// axis_texts: the X, Y, Z and Part texts to log, empty for an axis that is not ticked.
QString Temperature_Log_Line(const QString& description, const QString& thermometer,
                             const QStringList& axis_texts);

// Appends one entry to the log at file_path, starting a new file with the header, and returns the
// log lines that say what happened, in order.
QStringList Append_Temperature_Log_Entry(const QString& file_path, const QString& description,
                                         const QString& thermometer, const QStringList& axis_texts);

#endif // TEMPERATURELOG_H
