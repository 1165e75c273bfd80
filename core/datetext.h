#ifndef DATETEXT_H
#define DATETEXT_H

#include <QDate>
#include <QString>

// The compact date form "ddMMyyyy" of data files. Qt 5 and Qt 6 read other texts differently (Qt 5
// reads "+1122025" as 1 December 2025), and a file must read the same under both, so only the exact
// text that is written counts as a date. Both avoid parsing the format for every date; years outside
// 1000 to 9999 and texts that are not eight digits are left to Qt.

// The same as date.toString("ddMMyyyy").
QString Day_Month_Year_Text(const QDate& date);
// The date that Day_Month_Year_Text writes as exactly this text; a null date for any other text.
QDate Day_Month_Year_Date(const QString& text);

// The date as the log, the reports and the views show it ("Dec 07 2026"), with English month names on
// every system and under either Qt version; date edits display it in this format too.
const char* const Due_Date_Format = "MMM dd yyyy";
QString Due_Date_Text(const QDate& date);

#endif // DATETEXT_H
