#include "clicorrection.h"

#include "calibrationstatus.h"
#include "csvcolumn.h"
#include "temperaturelog.h"

#include <QRegularExpression>

#include <algorithm>

namespace
{

// The reading as the window's meter field would hold it, a point for the decimals. With decimal_comma,
// a reading with a point is refused: *reason says why.
QString Meter_Text(const QString& reading, bool decimal_comma, QString* reason)
{
    if (!decimal_comma)
    {
        return reading;
    }
    if (reading.contains('.'))
    {
        *reason =
            QString("\"%1\" is not a number (--decimal-comma takes a comma for the decimals)").arg(reading);
    }
    return QString(reading).replace(',', '.');
}

bool Is_Number(const QString& reading, bool decimal_comma)
{
    QString reason;
    const QString meter_text = Meter_Text(reading, decimal_comma, &reason);
    bool is_number = false;
    meter_text.toDouble(&is_number);
    return reason.isEmpty() && is_number;
}

// description in the file's encoding (UTF-8, else a single-byte one such as Latin-1) where it can be
// written in it; otherwise its letters without accents, and '?' for what ASCII cannot hold.
QByteArray Description_Bytes(const QString& description, bool utf8)
{
    if (utf8)
    {
        return description.toUtf8();
    }
    if (std::all_of(description.begin(), description.end(),
                    [](QChar character) { return character.unicode() < 0x100; }))
    {
        return description.toLatin1();
    }
    QByteArray ascii;
    for (const QChar character : description.normalized(QString::NormalizationForm_KD))
    {
        if (character.unicode() < 0x80)
        {
            ascii += char(character.unicode());
        }
        else if (character.category() != QChar::Mark_NonSpacing)
        {
            ascii += '?';
        }
    }
    return ascii;
}

QString Field_Text(const QByteArray& value, bool utf8)
{
    return (utf8 ? QString::fromUtf8(value) : QString::fromLatin1(value)).trimmed();
}

// "20" followed by "5" in a comma-separated file: perhaps the number 20,5 split at its decimal comma.
bool Is_Split_Number(const TCsvRecord& record, int index)
{
    static const QRegularExpression whole_number("^[+-]?[0-9]+$");
    static const QRegularExpression digits("^[0-9]+$");
    return index + 1 < record.fields.size() && !record.fields[index].quoted &&
           !record.fields[index + 1].quoted &&
           whole_number.match(QString::fromLatin1(record.fields[index].value.trimmed())).hasMatch() &&
           digits.match(QString::fromLatin1(record.fields[index + 1].value)).hasMatch();
}

} // namespace

TCorrectedReading Correct_Reading(const QString& reading, bool decimal_comma,
                                  const TCliThermometer& thermometer)
{
    TCorrectedReading result;
    QString format_reason;
    const QString meter_text = Meter_Text(reading, decimal_comma, &format_reason);
    const QString corrected =
        format_reason.isEmpty()
            ? Corrected_Reading_Text(meter_text, thermometer.in_calibration, thermometer.correction)
            : QString(Not_Corrected);
    if (corrected == Not_Corrected)
    {
        result.text = corrected;
        // Out of calibration outranks the form of the number, as in the window.
        result.reason = Not_Corrected_Reason(meter_text, true, thermometer.in_calibration,
                                             thermometer.due_date, thermometer.correction);
        if (result.reason.isEmpty())
        {
            result.reason = format_reason;
        }
        else if (decimal_comma)
        {
            // The reason quotes the number as the file has it, not as converted for the window's rules.
            result.reason.replace(meter_text.trimmed(), reading.trimmed());
        }
        return result;
    }
    result.text = decimal_comma ? QString(corrected).replace('.', ',') : corrected;
    if (Is_Outside_Calibrated_Range(meter_text.toDouble(), thermometer.correction))
    {
        result.extrapolation =
            QString("%1 corrected to %2 by extrapolation, outside the calibrated range %3")
                .arg(reading.trimmed(), result.text, Calibrated_Range_Text(thermometer.correction));
    }
    return result;
}

TCsvCorrection Correct_Csv_Column(const QByteArray& content, int column, const TCsvFormat& format,
                                  const TCliThermometer& thermometer)
{
    Q_ASSERT_X(column >= 1, "Correct_Csv_Column", "column");
    TCsvCorrection result;
    TCsvText text;
    QString error;
    if (!Read_Csv(content, format.delimiter, &text, &error))
    {
        result.outcome = TCsvOutcome::Refused;
        result.messages << TMessage::Error(error);
        return result;
    }
    const QVector<TCsvRecord>& records = text.records;
    const auto first = std::find_if(records.begin(), records.end(),
                                    [](const TCsvRecord& record) { return !record.Is_Blank(); });
    if (first == records.end())
    {
        result.content = content;
        return result;
    }
    int widest = 0;
    for (const TCsvRecord& record : records)
    {
        widest = record.Is_Blank() ? widest : std::max(widest, int(record.fields.size()));
    }
    if (widest < column)
    {
        result.outcome = TCsvOutcome::No_Such_Column;
        result.messages << TMessage::Error(QString("--column %1: no line of the file has more than %2 %3")
                                               .arg(column)
                                               .arg(widest)
                                               .arg(widest == 1 ? "field" : "fields"));
        return result;
    }
    const int index = column - 1;
    const int header_index = int(first - records.begin());
    const QString header =
        first->fields.size() > index ? Field_Text(first->fields[index].value, text.utf8) : QString();
    const bool has_header = !header.isEmpty() && !Is_Number(header, format.decimal_comma);
    // A number split at its decimal comma gives its line more fields than the first line has.
    const int usual_fields = first->fields.size();
    const bool split_numbers_possible = format.delimiter == ',' && !format.decimal_comma;

    QVector<QByteArray> added(records.size());
    const auto not_corrected = [&](int record, int line, const QString& reason) {
        added[record] = Not_Corrected;
        result.outcome = TCsvOutcome::Not_All_Corrected;
        result.messages << TMessage::Error(QString("line %1: %2").arg(line).arg(reason));
    };
    for (int record_index = 0; record_index < records.size(); ++record_index)
    {
        const TCsvRecord& record = records[record_index];
        if (record.Is_Blank())
        {
            continue;
        }
        if (record_index == header_index && has_header)
        {
            added[record_index] = "Corrected " + first->fields[index].value.trimmed() + " (" +
                                  Description_Bytes(thermometer.description, text.utf8) + ")";
            continue;
        }
        if (record.fields.size() <= index)
        {
            not_corrected(record_index, record.line,
                          QString("not corrected: the line has no column %1, only %2")
                              .arg(column)
                              .arg(record.fields.size()));
            continue;
        }
        const TCsvField& field = record.fields[index];
        const QString reading = Field_Text(field.value, text.utf8);
        if (!field.problem.isEmpty())
        {
            not_corrected(record_index, field.line,
                          QString("'%1' not corrected: %2").arg(reading, field.problem));
            continue;
        }
        // An axis not read on that line stays empty, as in the temperature log.
        if (reading.isEmpty())
        {
            continue;
        }
        if (split_numbers_possible && Is_Split_Number(record, index))
        {
            const QString both = reading + "," + QString::fromLatin1(record.fields[index + 1].value);
            if (record.fields.size() > usual_fields)
            {
                not_corrected(
                    record_index, field.line,
                    QString("'%1' not corrected: a decimal comma splits it into two fields, and the line "
                            "has %2 fields where the first has %3; quote it, or give --delimiter ';' "
                            "--decimal-comma for a file that separates fields with semicolons")
                        .arg(both)
                        .arg(record.fields.size())
                        .arg(usual_fields));
                continue;
            }
            if (!has_header)
            {
                result.messages << TMessage::Warning(
                    QString("Line %1: read %2 from '%3'; were it a decimal comma, the file would need "
                            "quotes or --delimiter ';' --decimal-comma.")
                        .arg(field.line)
                        .arg(reading, both));
            }
        }
        const TCorrectedReading corrected = Correct_Reading(reading, format.decimal_comma, thermometer);
        added[record_index] = corrected.text.toLatin1();
        if (!corrected.reason.isEmpty())
        {
            // The window's remedy for a comma is a full stop; a file has another.
            const bool comma = !format.decimal_comma && reading.contains(',') && thermometer.in_calibration &&
                               thermometer.correction.Is_Valid();
            not_corrected(record_index, field.line,
                          QString("'%1' not corrected: %2")
                              .arg(reading, comma ? QString("\"%1\" is not a number (for decimal commas give "
                                                            "--decimal-comma)")
                                                        .arg(reading)
                                                  : corrected.reason));
        }
        else if (!corrected.extrapolation.isEmpty())
        {
            result.messages << TMessage::Warning(
                QString("Line %1: reading %2.").arg(field.line).arg(corrected.extrapolation));
        }
    }
    result.content = With_Appended_Column(records, format.delimiter, added);
    return result;
}
