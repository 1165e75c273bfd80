#ifndef CSVCOLUMN_H
#define CSVCOLUMN_H

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

// One record of a CSV text: its text as it stands (quotes and all, without the line end), its line
// end, and its fields unquoted.
struct TCsvRecord
{
    QString text;
    QString line_end;
    QStringList fields;
};

// Splits text into records as RFC 4180 has it: fields separated by commas, quoted with '"' when they
// hold a comma, a quote ("" inside) or a line end. A quote left open runs to the end of the text.
QVector<TCsvRecord> Csv_Records(const QString& text);

// The text with one field appended to every non-empty record: new_field(record_index, field) gives it
// for field number column (counted from 1; empty when the record has fewer). Every record keeps its
// own text and line end, so the rest of the file stays byte for byte as it was.
QString With_Appended_Column(const QString& text, int column,
                             const std::function<QString(int, const QString&)>& new_field);

#endif // CSVCOLUMN_H
