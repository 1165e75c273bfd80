#include "timetext.h"

#include <QLocale>

QString Log_Date_Time_Text(const QDateTime& date_time)
{
    const int offset_minutes = date_time.offsetFromUtc() / 60;
    return QLocale::c().toString(date_time, "yyyy-MM-dd'T'HH:mm:ss") +
           QString("%1%2:%3")
               .arg(offset_minutes < 0 ? '-' : '+')
               .arg(qAbs(offset_minutes) / 60, 2, 10, QChar('0'))
               .arg(qAbs(offset_minutes) % 60, 2, 10, QChar('0'));
}
