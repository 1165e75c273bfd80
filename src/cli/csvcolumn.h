#ifndef CSVCOLUMN_H
#define CSVCOLUMN_H

#include <QByteArray>
#include <QString>
#include <QVector>

// A CSV file read as bytes, whatever its encoding, so that it can be written back with one more column
// and every other byte as it was: UTF-8 with or without a byte-order mark, Latin-1 and the like; line
// ends LF, CRLF or CR; a last line with or without its line end.

// One field of a record: its value unquoted, and where it starts.
struct TCsvField
{
    QByteArray value;
    bool quoted = false;
    // The physical line (from 1) and the column in characters (from 1) of its first byte.
    int line = 0;
    int column = 0;
    // Text after a quoted field's closing quote ("20"5): what the value means is unclear. Empty when there
    // is none; the value then holds the quoted part and that text as they stand.
    QString problem;
};

// One record: its bytes as they stand (quotes and all, a byte-order mark included, its line end not),
// its line end, and its fields. A record spans several physical lines when a quoted field holds a line
// end.
struct TCsvRecord
{
    QByteArray text;
    QByteArray line_end;
    int line = 0;
    QVector<TCsvField> fields;

    // Nothing but a line end (or a byte-order mark): no field to add to.
    bool Is_Blank() const { return fields.size() == 1 && fields[0].value.isEmpty() && !fields[0].quoted; }
};

struct TCsvText
{
    QVector<TCsvRecord> records;
    // Whether the bytes are valid UTF-8 (a byte-order mark or plain ASCII included): columns are then
    // counted in characters, and added text is written in UTF-8.
    bool utf8 = true;
};

// Splits content into records as RFC 4180 has it, with delimiter between fields: a field that starts
// with '"' is quoted and may hold the delimiter, line ends and "" for a quote; a quote anywhere else is
// taken literally, as spreadsheets take it. False, with error naming the line and column, when a quoted
// field is still open at the end of content.
bool Read_Csv(const QByteArray& content, char delimiter, TCsvText* text, QString* error);

// value as one field: quoted when it holds the delimiter, a quote or a line end, as the temperature log
// quotes its fields.
QByteArray Csv_Field_Bytes(const QByteArray& value, char delimiter);

// The records with one field appended to every record that is not blank: added_fields[index] (unquoted)
// for records[index]. Everything else stays byte for byte: each record's text and line end.
QByteArray With_Appended_Column(const QVector<TCsvRecord>& records, char delimiter,
                                const QVector<QByteArray>& added_fields);

// Whether bytes are valid UTF-8: no stray or missing continuation byte, no overlong form, no surrogate.
bool Is_Valid_Utf8(const QByteArray& bytes);

#endif // CSVCOLUMN_H
