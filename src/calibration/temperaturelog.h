#ifndef TEMPERATURELOG_H
#define TEMPERATURELOG_H

#include "clock.h"
#include "thermometercorrection.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// What a corrected field shows, and the log records, when no correction may be applied.
const char* const Not_Corrected = "-----";

// The text a corrected field shows for a meter text: the corrected reading with two decimals, or
// "-----" when the thermometer is out of calibration, its correction is unusable or the text is
// not a number. The log records exactly this text.
QString Corrected_Reading_Text(const QString& meter_text, bool in_calibration,
                               const TThermometerCorrection& correction);

// with_date_time: the file's entries begin with a "Date and Time" column.
QString Temperature_Log_Header(bool with_date_time = false);
// Whether an existing log's first line is the header with the "Date and Time" column.
bool Has_Date_Time_Column(const QByteArray& first_line);
// axis_texts: the X, Y, Z and Part texts to log, empty for an axis that is not ticked.
QString Temperature_Log_Line(const QString& description, const QString& thermometer,
                             const QStringList& axis_texts);

// Appends one entry to the log at file_path, starting a new file with the header, and returns the
// log lines that say what happened, in order. A new file gets the date and time column when
// date_time_column is set; an existing file keeps the columns its header names, so that a file never
// mixes layouts. now is the entry's date and time. entry_written, when given, tells whether the entry is
// in the file.
QStringList Append_Temperature_Log_Entry(const QString& file_path, const QString& description,
                                         const QString& thermometer, const QStringList& axis_texts,
                                         bool date_time_column = false, const QDateTime& now = TClock::Now(),
                                         bool* entry_written = nullptr);

#endif // TEMPERATURELOG_H
