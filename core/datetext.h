#ifndef DATETEXT_H
#define DATETEXT_H

#include <QDate>
#include <QString>

// The compact date form "ddMMyyyy" of data files, the same as QDate::toString and QDate::fromString
// with that format give, without parsing the format for every date. Years outside 1000 to 9999 and
// texts that are not eight digits are handed to Qt itself.

QString Day_Month_Year_Text(const QDate& date);
QDate Day_Month_Year_Date(const QString& text);

#endif // DATETEXT_H
