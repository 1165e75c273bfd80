#include "datetext.h"

#include <QLocale>

namespace
{

const QString Format = QStringLiteral("ddMMyyyy");

bool Is_Fast_Year(int year)
{
    return year >= 1000 && year <= 9999;
}

QDate Qt_Date(const QString& text)
{
    const QDate date = QDate::fromString(text, Format);
    return date.toString(Format) == text ? date : QDate();
}

} // namespace

QString Day_Month_Year_Text(const QDate& date)
{
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (!date.isValid() || !Is_Fast_Year(year))
    {
        return date.toString(Format);
    }
    const int values[3] = {day, month, year};
    const int widths[3] = {2, 2, 4};
    QString text(8, QLatin1Char('0'));
    QChar* digit = text.data() + 8;
    for (int part = 2; part >= 0; --part)
    {
        int value = values[part];
        for (int position = 0; position < widths[part]; ++position)
        {
            *--digit = QLatin1Char(char('0' + value % 10));
            value /= 10;
        }
    }
    return text;
}

QDate Day_Month_Year_Date(const QString& text)
{
    if (text.size() != 8)
    {
        return Qt_Date(text);
    }
    int number = 0;
    for (const QChar character : text)
    {
        if (character < QLatin1Char('0') || character > QLatin1Char('9'))
        {
            return Qt_Date(text);
        }
        number = number * 10 + (character.unicode() - '0');
    }
    const int year = number % 10000;
    const int month = number / 10000 % 100;
    const int day = number / 1000000;
    if (!Is_Fast_Year(year) || !QDate::isValid(year, month, day))
    {
        return Qt_Date(text);
    }
    return QDate(year, month, day);
}

QString Due_Date_Text(const QDate& date)
{
    // Qt 5 would take the system's month names.
    return QLocale::c().toString(date, Due_Date_Format);
}
