#ifndef TIMETEXT_H
#define TIMETEXT_H

#include <QDateTime>
#include <QString>

// The date and time as the temperature log and the calibration history record it,
// "2026-12-07T14:03:59+01:00": ISO 8601, the time as given with its offset from UTC.
QString Log_Date_Time_Text(const QDateTime& date_time);

#endif // TIMETEXT_H
