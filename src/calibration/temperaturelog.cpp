#include "temperaturelog.h"

#include "calibrationstatus.h"
#include "csvtext.h"
#include "durablefile.h"
#include "numbertext.h"
#include "timetext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

QString Corrected_Reading_Text(const QString& meter_text, bool in_calibration,
                               const TThermometerCorrection& correction)
{
    if (!in_calibration || !correction.Is_Valid())
    {
        return Not_Corrected;
    }
    bool is_number = false;
    const double reading = meter_text.toDouble(&is_number);
    // "inf" and "nan" convert, but no meter shows them.
    if (!is_number || !std::isfinite(reading))
    {
        return Not_Corrected;
    }
    // A huge reading overflows the quadratic; "-inf" or "nan" must not reach the display or the log.
    const TVector2 deviation = correction.Evaluate_Point(reading);
    const double corrected = deviation.x - deviation.y;
    if (!std::isfinite(corrected))
    {
        return Not_Corrected;
    }
    return Shown_Number_Text(corrected, 2);
}

namespace
{

// text in Latin-1, with one "?" for each character outside it: an emoji, however many code units and
// code points it takes, is one character; a letter and a combining accent that Latin-1 has as one
// letter are written as that letter.
QByteArray Latin1_Text(const QString& text)
{
    // Most entries are Latin-1 already: nothing to judge character by character, and nothing that
    // normalising would change, as no two Latin-1 letters compose.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar unit) { return unit.unicode() <= 0xFF; }))
    {
        return text.toLatin1();
    }
    const QString composed = text.normalized(QString::NormalizationForm_C);
    QByteArray latin1;
    latin1.reserve(composed.size());
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, composed);
    int start = 0;
    for (int end = characters.toNextBoundary(); end > start; end = characters.toNextBoundary())
    {
        const QString character = composed.mid(start, end - start);
        const bool in_latin1 = std::all_of(character.cbegin(), character.cend(),
                                           [](QChar unit) { return unit.unicode() <= 0xFF; });
        latin1 += in_latin1 ? character.toLatin1() : QByteArray("?");
        start = end;
    }
    return latin1;
}

} // namespace

namespace
{

const char* const Plain_Header =
    "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C";
const char* const Date_Time_Column = "Date and Time,";
const char* const Audit_Columns =
    ",X Meter Reading,Y Meter Reading,Z Meter Reading,Part Meter Reading,Calibration Record,Flags";
const char* const Utf8_Byte_Order_Mark = "\xEF\xBB\xBF";
const char* const Axis_Names[] = {"X", "Y", "Z", "Part"};
constexpr int Record_Hash_Digits = 12;

// The layout a line names when it is a header line (its line end and, first in a file, its byte-order
// mark already taken off); false when it is none.
bool Header_Layout(const QByteArray& line, TLogLayout* layout)
{
    for (const TLogLayout candidate : {TLogLayout::Plain, TLogLayout::Date_Time, TLogLayout::Audit})
    {
        if (line + '\n' == Temperature_Log_Header(candidate).toLatin1())
        {
            *layout = candidate;
            return true;
        }
    }
    return false;
}

QByteArray Without_Line_End(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
    {
        line.chop(1);
    }
    return line;
}

// The layout of the last header line of an open log file, read backwards from its end in blocks so that
// only what follows that header is read; found false (and Plain) when the file has none. Every header
// line holds the plain header, which a fast search finds.
TLogLayout Last_Header_Layout(QFile* file, bool* found)
{
    *found = false;
    constexpr qint64 Block_Size = 64 * 1024;
    // No header is this long: the part of a longer line that goes on before a block is not kept.
    constexpr int Longest_Header = 512;
    const QByteArray needle(Plain_Header);
    qint64 position = file->size();
    // The beginning of the line that goes on after position, without its line end.
    QByteArray carry;
    // That line is too long to be a header; carry is then empty.
    bool carry_too_long = false;
    while (position > 0)
    {
        const qint64 start = std::max<qint64>(0, position - Block_Size);
        if (!file->seek(start))
        {
            return TLogLayout::Plain;
        }
        const QByteArray block = file->read(position - start);
        if (block.size() != position - start)
        {
            return TLogLayout::Plain;
        }
        position = start;
        const QByteArray buffer = block + carry;
        // Judged are the lines that begin after the first line end, or at the start of the file, and end
        // before the part of a line too long to be a header.
        const int first_line_end = start == 0 ? -1 : buffer.indexOf('\n');
        const int judged_end = carry_too_long ? buffer.lastIndexOf('\n') : buffer.size();
        int from = judged_end;
        while (from >= 0)
        {
            const int at = buffer.lastIndexOf(needle, from);
            if (at < 0 || at <= first_line_end)
            {
                break;
            }
            const int line_start = buffer.lastIndexOf('\n', at) + 1;
            const int newline = buffer.indexOf('\n', at);
            QByteArray line = Without_Line_End(
                buffer.mid(line_start, (newline < 0 ? buffer.size() : newline) - line_start));
            if (start == 0 && line_start == 0 && line.startsWith(Utf8_Byte_Order_Mark))
            {
                line.remove(0, 3);
            }
            TLogLayout layout = TLogLayout::Plain;
            if (Header_Layout(line, &layout))
            {
                *found = true;
                return layout;
            }
            from = line_start - 2;
        }
        if (first_line_end < 0)
        {
            // All of it goes on a line that began before it.
            carry_too_long = carry_too_long || buffer.size() > Longest_Header;
            carry = carry_too_long ? QByteArray() : buffer;
        }
        else
        {
            carry = buffer.left(first_line_end);
            carry_too_long = carry.size() > Longest_Header;
            if (carry_too_long)
            {
                carry.clear();
            }
        }
    }
    return TLogLayout::Plain;
}

// text in Latin-1 or UTF-8, as the file is written.
QByteArray Encoded_Text(const QString& text, bool utf8)
{
    return utf8 ? text.toUtf8() : Latin1_Text(text);
}

} // namespace

QString Temperature_Log_Header(TLogLayout layout)
{
    switch (layout)
    {
    case TLogLayout::Plain:
        break;
    case TLogLayout::Date_Time:
        return QString(Date_Time_Column) + Plain_Header + '\n';
    case TLogLayout::Audit:
        return QString(Date_Time_Column) + Plain_Header + Audit_Columns + '\n';
    }
    return QString(Plain_Header) + '\n';
}

int Temperature_Log_Columns(TLogLayout layout)
{
    return layout == TLogLayout::Plain ? 6 : layout == TLogLayout::Date_Time ? 7 : 13;
}

QString Temperature_Log_Line(const QString& description, const QString& thermometer,
                             const QStringList& axis_texts)
{
    Q_ASSERT_X(axis_texts.size() == 4, "Temperature_Log_Line", "axis_texts");
    QString line = Csv_Field(description) + "," + Csv_Field(thermometer);
    for (const QString& text : axis_texts)
    {
        line += "," + Csv_Field(text);
    }
    return line + "\n";
}

QString Temperature_Log_Entry_Text(const TLogEntry& entry, TLogLayout layout)
{
    Q_ASSERT_X(entry.meter_texts.size() == 4, "Temperature_Log_Entry_Text", "meter_texts");
    QString text;
    if (layout != TLogLayout::Plain)
    {
        text += Log_Date_Time_Text(entry.time) + ",";
    }
    text += Temperature_Log_Line(entry.description, entry.thermometer, entry.axis_texts);
    if (layout == TLogLayout::Audit)
    {
        text.chop(1);
        for (const QString& meter_text : entry.meter_texts)
        {
            text += "," + Csv_Field(meter_text);
        }
        text += "," + Csv_Field(entry.calibration_record) + "," + Csv_Field(entry.flags.join("; ")) + "\n";
    }
    return text;
}

QString Calibration_Record_Text(int number, const QByteArray& hash)
{
    return QString("%1:%2").arg(number).arg(QString::fromLatin1(hash.left(Record_Hash_Digits)));
}

bool Read_Calibration_Record_Text(const QString& text, int* number, QByteArray* hash_start)
{
    static const QRegularExpression form("^([1-9][0-9]{0,9}):([0-9a-f]{12})$");
    const QRegularExpressionMatch match = form.match(text);
    bool ok = false;
    const int value = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
    if (!ok)
    {
        return false;
    }
    *number = value;
    *hash_start = match.captured(2).toLatin1();
    return true;
}

QStringList Audit_Flags(const QStringList& axis_texts, const QStringList& meter_texts,
                        const TEntryCalibration& calibration)
{
    Q_ASSERT_X(axis_texts.size() == 4 && meter_texts.size() == 4, "Audit_Flags", "axis_texts, meter_texts");
    QStringList flags;
    for (int axis = 0; axis < 4; ++axis)
    {
        if (axis_texts[axis] == Not_Corrected)
        {
            flags << QString("%1:not corrected (%2)")
                         .arg(Axis_Names[axis],
                              Not_Corrected_Reason(meter_texts[axis], calibration.thermometer_selected,
                                                   calibration.in_calibration, calibration.due_date,
                                                   calibration.correction));
        }
        else if (!axis_texts[axis].isEmpty() &&
                 Is_Outside_Calibrated_Range(meter_texts[axis].toDouble(), calibration.correction))
        {
            flags << QString("%1:extrapolated").arg(Axis_Names[axis]);
        }
    }
    if (calibration.thermometer_selected &&
        Calibration_State(calibration.due_date, calibration.today, 0, calibration.correction) ==
            TCalibrationState::Doubtful)
    {
        flags << "doubtful";
    }
    if (calibration.thermometer_selected && !calibration.has_record)
    {
        flags << "no calibration record";
    }
    return flags;
}

bool Has_Decimal_Comma(const QString& meter_text)
{
    bool is_number = false;
    meter_text.toDouble(&is_number);
    if (is_number || meter_text.count(',') != 1)
    {
        return false;
    }
    const double value = QString(meter_text).replace(',', '.').toDouble(&is_number);
    return is_number && std::isfinite(value);
}

TMessages Decimal_Comma_Refusal(const QStringList& axes, const QStringList& meter_texts)
{
    Q_ASSERT_X(axes.size() == meter_texts.size(), "Decimal_Comma_Refusal", "meter_texts");
    QStringList readings;
    for (int axis = 0; axis < axes.size(); ++axis)
    {
        if (Has_Decimal_Comma(meter_texts[axis]))
        {
            readings << QString("%1 \"%2\"").arg(axes[axis], meter_texts[axis]);
        }
    }
    if (readings.isEmpty())
    {
        return TMessages();
    }
    return {TMessage::Warning(
        QString("Entry not written: %1 %2 a decimal comma, which is not a number here; type "
                "%3 with a full stop (20.5) and write again.")
            .arg(readings.join(", "), readings.size() == 1 ? "has" : "have",
                 readings.size() == 1 ? "it" : "them"))};
}

TMessages Append_Temperature_Log_Entry(const QString& file_path, const TLogEntry& entry,
                                       const TLogOptions& options, bool* entry_written)
{
    if (entry_written != nullptr)
    {
        *entry_written = false;
    }
    TMessages messages;
    const QString native_path = QDir::toNativeSeparators(file_path);
    const bool exists = QFile::exists(file_path);
    messages << TMessage::Info(
        QString(exists ? "Appending log file: '%1' for '%2'" : "Creating log file: '%1' for '%2'")
            .arg(native_path, entry.description));

    // An existing file keeps its encoding, and the layout its last header line names; the audit columns
    // turned on or off change it. A new file gets what the options say.
    TLogLayout layout = options.date_time_column ? TLogLayout::Date_Time : TLogLayout::Plain;
    TLogLayout last_layout = TLogLayout::Plain;
    bool utf8 = options.utf8_for_new_files;
    if (exists)
    {
        QFile existing(file_path);
        // A device or a pipe in its place would be read without end.
        const bool readable = QFileInfo(file_path).isFile() && existing.open(QIODevice::ReadOnly);
        utf8 = readable && existing.peek(3) == Utf8_Byte_Order_Mark;
        bool found = false;
        last_layout = readable ? Last_Header_Layout(&existing, &found) : TLogLayout::Plain;
        // Where the audit columns end, the layout a new file would get; otherwise the file's own.
        if (last_layout != TLogLayout::Audit)
        {
            layout = last_layout;
        }
    }
    if (options.audit_columns)
    {
        layout = TLogLayout::Audit;
    }
    // A header line of its own only where the audit columns begin or end: the date and time column stays
    // as the file began.
    const bool switched =
        exists && layout != last_layout && (layout == TLogLayout::Audit || last_layout == TLogLayout::Audit);

    QString text;
    if (!exists || switched)
    {
        text += Temperature_Log_Header(layout);
    }
    text += Temperature_Log_Entry_Text(entry, layout);

    // A full disk or a removed medium must not pass for a recorded reading, and the bytes that did reach
    // the file must not be glued to the next entry (nor a new file be left without its header).
    const QByteArray data =
        (!exists && utf8 ? QByteArray(Utf8_Byte_Order_Mark) : QByteArray()) + Encoded_Text(text, utf8);
    QString reason;
    bool opened = false;
    if (!Append_Whole_Lines(file_path, data, &reason, -1, TLineEnds::Native, &opened))
    {
        messages << TMessage::Warning(
            QString(opened ? "Temperature log entry was not written to '%1': %2"
                           : "Cannot open temperature log file for writing. File: '%1'.  Reason: %2")
                .arg(native_path, reason));
        return messages;
    }
    if (switched)
    {
        messages << TMessage::Info(QString(layout == TLogLayout::Audit
                                               ? "Audit columns begin in '%1': a header line of their layout "
                                                 "was written before the entry."
                                               : "Audit columns end in '%1': a header line without them was "
                                                 "written before the entry.")
                                       .arg(native_path));
    }
    if (options.date_time_column && layout == TLogLayout::Plain)
    {
        messages << TMessage::Warning(
            QString("Date and time not logged: '%1' has no \"Date and Time\" column; a new log "
                    "file gets one.")
                .arg(native_path));
    }
    if (entry_written != nullptr)
    {
        *entry_written = true;
    }
    return messages;
}

QVector<TLogRow> Read_Temperature_Log(const QByteArray& bytes)
{
    const bool utf8 = bytes.startsWith(Utf8_Byte_Order_Mark);
    const QString text =
        utf8 ? QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3) : QString::fromLatin1(bytes);
    QVector<TLogRow> rows;
    TLogLayout layout = TLogLayout::Plain;
    int line = 1;
    int position = 0;
    const int size = text.size();
    while (position < size)
    {
        TLogRow row;
        row.line = line;
        const int row_start = position;
        QString field;
        bool row_ended = false;
        while (!row_ended)
        {
            // A field that begins with a quote is quoted, and may hold commas, quotes doubled and line ends.
            if (position < size && text[position] == '"')
            {
                ++position;
                for (; position < size; ++position)
                {
                    const QChar character = text[position];
                    if (character == '"')
                    {
                        if (position + 1 < size && text[position + 1] == '"')
                        {
                            field += '"';
                            ++position;
                            continue;
                        }
                        ++position;
                        break;
                    }
                    if (character == '\n')
                    {
                        ++line;
                    }
                    field += character;
                }
            }
            // What follows, up to the comma or the line end, is part of the field as it stands.
            while (position < size && text[position] != ',' && text[position] != '\n')
            {
                field += text[position++];
            }
            if (position >= size || text[position] == '\n')
            {
                row_ended = true;
                if (field.endsWith('\r'))
                {
                    field.chop(1);
                }
                if (position < size)
                {
                    ++line;
                }
            }
            ++position;
            row.fields << field;
            field.clear();
        }
        if (row.fields.size() == 1 && row.fields[0].isEmpty() && position - row_start <= 2)
        {
            continue; // a blank line
        }
        TLogLayout named = TLogLayout::Plain;
        row.is_header = Header_Layout(row.fields.join(',').toLatin1(), &named);
        if (row.is_header)
        {
            layout = named;
        }
        row.layout = layout;
        rows << row;
    }
    return rows;
}
