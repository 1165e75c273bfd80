#ifndef NUMBERTEXT_H
#define NUMBERTEXT_H

#include <QString>
#include <QStringView>

// The texts of QString::number(value, 'f', precision) and the values of QString::toDouble, character
// for character and bit for bit, at a fraction of their cost for the plain numbers that data files
// hold. What the fast ways do not cover (large magnitudes, exponents, blanks) is handed to Qt itself.

// Room for every text Format_Fixed writes.
constexpr int Fixed_Text_Capacity = 64;

// Writes the text of QString::number(value, 'f', precision) to buffer, which holds
// Fixed_Text_Capacity characters, and returns its length; -1 when it would not fit (magnitudes of
// 1e15 and above, infinities and NaN), and buffer is then undefined.
int Format_Fixed(double value, int precision, char* buffer);
// The same as QString::number(value, 'f', precision).
QString Fixed_Text(double value, int precision);
// Format_Fixed, but "0.00" for a value that rounds to zero from below, never "-0.00": a minus before
// nothing but zeros says only that the value lay below zero before rounding, and reads back as zero.
int Format_Number(double value, int precision, char* buffer);
// A value as the operator reads it on screen, in the temperature log and in the reports: the text
// Format_Number writes.
QString Shown_Number_Text(double value, int precision);

// The same as text.toDouble(ok).
double Decimal_Value(QStringView text, bool* ok = nullptr);

#endif // NUMBERTEXT_H
