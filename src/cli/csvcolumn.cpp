#include "csvcolumn.h"

namespace
{

const QByteArray Byte_Order_Mark("\xEF\xBB\xBF");

bool Is_Continuation_Byte(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Reads content byte by byte, counting physical lines and the columns within them.
class TCsvReader
{
public:
    TCsvReader(const QByteArray& content, char delimiter, bool utf8)
        : content(content), delimiter(delimiter), utf8(utf8)
    {
    }

    bool Read(QVector<TCsvRecord>* records, QString* error)
    {
        // The mark belongs to the first record's text, not to its first field.
        if (content.startsWith(Byte_Order_Mark))
        {
            at = Byte_Order_Mark.size();
        }
        // A file of nothing but the mark is one blank record, so that the mark is kept.
        while (at < content.size() || (records->isEmpty() && at > 0))
        {
            TCsvRecord record;
            record.line = line;
            const int record_start = records->isEmpty() ? 0 : at;
            for (;;)
            {
                TCsvField field;
                if (!Read_Field(&field, error))
                {
                    return false;
                }
                record.fields << field;
                if (at < content.size() && content[at] == delimiter)
                {
                    Advance();
                    continue;
                }
                break;
            }
            record.text = content.mid(record_start, at - record_start);
            record.line_end = Line_End_At(at);
            for (int index = 0; index < record.line_end.size(); ++index)
            {
                Advance();
            }
            *records << record;
        }
        return true;
    }

private:
    // The line end starting at position; empty when there is none.
    QByteArray Line_End_At(int position) const
    {
        if (position >= content.size())
        {
            return QByteArray();
        }
        if (content[position] == '\r')
        {
            return position + 1 < content.size() && content[position + 1] == '\n' ? QByteArray("\r\n")
                                                                                  : QByteArray("\r");
        }
        return content[position] == '\n' ? QByteArray("\n") : QByteArray();
    }

    bool Ends_Field(char byte) const { return byte == delimiter || byte == '\n' || byte == '\r'; }

    // Steps over one byte, keeping line and column: a CR followed by an LF ends one line, not two.
    void Advance()
    {
        const char byte = content[at];
        ++at;
        if (byte == '\n' || (byte == '\r' && (at >= content.size() || content[at] != '\n')))
        {
            ++line;
            column = 1;
        }
        else if (byte != '\r' && !(utf8 && Is_Continuation_Byte(static_cast<unsigned char>(byte))))
        {
            ++column;
        }
    }

    bool Read_Field(TCsvField* field, QString* error)
    {
        field->line = line;
        field->column = column;
        if (at >= content.size() || content[at] != '"')
        {
            // Unquoted: a quote in it is a character like any other.
            const int start = at;
            while (at < content.size() && !Ends_Field(content[at]))
            {
                Advance();
            }
            field->value = content.mid(start, at - start);
            return true;
        }
        field->quoted = true;
        Advance();
        for (;;)
        {
            if (at >= content.size())
            {
                *error =
                    QString("line %1, column %2: the quoted field that starts there is not closed before "
                            "the end of the file")
                        .arg(field->line)
                        .arg(field->column);
                return false;
            }
            if (content[at] == '"')
            {
                Advance();
                if (at < content.size() && content[at] == '"')
                {
                    field->value += '"';
                    Advance();
                    continue;
                }
                break;
            }
            field->value += content[at];
            Advance();
        }
        // Text between the closing quote and the next delimiter: kept, but the field is in doubt.
        const int after_quote = at;
        const int after_line = line;
        const int after_column = column;
        while (at < content.size() && !Ends_Field(content[at]))
        {
            Advance();
        }
        if (at > after_quote)
        {
            field->value += content.mid(after_quote, at - after_quote);
            field->problem = QString("line %1, column %2: text after the closing quote of the field that "
                                     "starts at column %3")
                                 .arg(after_line)
                                 .arg(after_column)
                                 .arg(field->column);
        }
        return true;
    }

    const QByteArray& content;
    const char delimiter;
    const bool utf8;
    int at = 0;
    int line = 1;
    int column = 1;
};

} // namespace

bool Read_Csv(const QByteArray& content, char delimiter, TCsvText* text, QString* error)
{
    Q_ASSERT_X(text != nullptr && error != nullptr, "Read_Csv", "text, error");
    text->records.clear();
    text->utf8 = Is_Valid_Utf8(content);
    return TCsvReader(content, delimiter, text->utf8).Read(&text->records, error);
}

QByteArray Csv_Field_Bytes(const QByteArray& value, char delimiter)
{
    if (!value.contains(delimiter) && !value.contains('"') && !value.contains('\n') && !value.contains('\r'))
    {
        return value;
    }
    QByteArray quoted = value;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QByteArray With_Appended_Column(const QVector<TCsvRecord>& records, char delimiter,
                                const QVector<QByteArray>& added_fields)
{
    Q_ASSERT_X(added_fields.size() == records.size(), "With_Appended_Column", "added_fields");
    QByteArray result;
    for (int index = 0; index < records.size(); ++index)
    {
        const TCsvRecord& record = records[index];
        result += record.text;
        if (!record.Is_Blank())
        {
            result += delimiter + Csv_Field_Bytes(added_fields[index], delimiter);
        }
        result += record.line_end;
    }
    return result;
}

bool Is_Valid_Utf8(const QByteArray& bytes)
{
    const int size = bytes.size();
    for (int at = 0; at < size;)
    {
        const unsigned char lead = static_cast<unsigned char>(bytes[at]);
        int length = 0;
        unsigned int code_point = 0;
        unsigned int smallest = 0;
        if (lead < 0x80)
        {
            ++at;
            continue;
        }
        if ((lead & 0xE0) == 0xC0)
        {
            length = 2;
            code_point = lead & 0x1F;
            smallest = 0x80;
        }
        else if ((lead & 0xF0) == 0xE0)
        {
            length = 3;
            code_point = lead & 0x0F;
            smallest = 0x800;
        }
        else if ((lead & 0xF8) == 0xF0)
        {
            length = 4;
            code_point = lead & 0x07;
            smallest = 0x10000;
        }
        else
        {
            return false;
        }
        if (at + length > size)
        {
            return false;
        }
        for (int index = 1; index < length; ++index)
        {
            const unsigned char byte = static_cast<unsigned char>(bytes[at + index]);
            if (!Is_Continuation_Byte(byte))
            {
                return false;
            }
            code_point = (code_point << 6) | (byte & 0x3F);
        }
        if (code_point < smallest || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
        {
            return false;
        }
        at += length;
    }
    return true;
}
