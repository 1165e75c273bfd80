#include "csvcolumn.h"

#include "temperaturelog.h"

QVector<TCsvRecord> Csv_Records(const QString& text)
{
    QVector<TCsvRecord> records;
    TCsvRecord record;
    QString field;
    bool quoted = false;
    int record_start = 0;
    const auto finish_record = [&](int end, const QString& line_end) {
        record.text = text.mid(record_start, end - record_start);
        record.line_end = line_end;
        record.fields << field;
        records << record;
        record = TCsvRecord();
        field.clear();
    };
    for (int at = 0; at < text.size(); ++at)
    {
        const QChar character = text[at];
        if (quoted)
        {
            if (character == '"' && at + 1 < text.size() && text[at + 1] == '"')
            {
                field += '"';
                ++at;
            }
            else if (character == '"')
            {
                quoted = false;
            }
            else
            {
                field += character;
            }
        }
        else if (character == '"')
        {
            quoted = true;
        }
        else if (character == ',')
        {
            record.fields << field;
            field.clear();
        }
        else if (character == '\n' || character == '\r')
        {
            const bool crlf = character == '\r' && at + 1 < text.size() && text[at + 1] == '\n';
            finish_record(at, crlf ? QStringLiteral("\r\n") : QString(character));
            at += crlf ? 1 : 0;
            record_start = at + 1;
        }
        else
        {
            field += character;
        }
    }
    if (record_start < text.size())
    {
        finish_record(text.size(), QString());
    }
    return records;
}

QString With_Appended_Column(const QString& text, int column,
                             const std::function<QString(int, const QString&)>& new_field)
{
    QString result;
    const QVector<TCsvRecord> records = Csv_Records(text);
    for (int index = 0; index < records.size(); ++index)
    {
        const TCsvRecord& record = records[index];
        result += record.text;
        if (!record.text.isEmpty())
        {
            result += ',' + Csv_Field(new_field(index, record.fields.value(column - 1)));
        }
        result += record.line_end;
    }
    return result;
}
