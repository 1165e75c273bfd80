#ifndef CSVTEXT_H
#define CSVTEXT_H

#include <QString>

// The fields of the CSV files this program writes: the temperature log, the reports, the calibration
// history's export and velmora-cli's tables.

// A field of the CSV files, quoted only when it would otherwise break the row.
QString Csv_Field(const QString& field);
// A text field of a CSV file meant for spreadsheets: a text that a spreadsheet would take for a formula
// ("=", "+", "@", a tab or carriage return first, or "-" before anything but a number or a point such as
// "-5.00000,0.10000") gets an apostrophe first, so that it shows as text; then quoted as Csv_Field quotes.
QString Csv_Text_Field(const QString& text);

#endif // CSVTEXT_H
