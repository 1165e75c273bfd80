#include "temperaturelog.h"

#include "numbertext.h"

#include <QDir>
#include <QFile>
#include <QLocale>
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

QString Csv_Field(const QString& field)
{
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r'))
    {
        return field;
    }
    QString quoted = field;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QString Csv_Text_Field(const QString& text)
{
    static const QRegularExpression number_like("^[-0-9.,]*$");
    const bool formula = !text.isEmpty() && (QString("=+@\t\r").contains(text[0]) ||
                                             (text[0] == '-' && !number_like.match(text).hasMatch()));
    return Csv_Field(formula ? "'" + text : text);
}

QString Temperature_Log_Header(bool with_date_time)
{
    return QString(with_date_time ? "Date and Time," : "") +
           "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";
}

QString Log_Date_Time_Text(const QDateTime& date_time)
{
    const int offset_minutes = date_time.offsetFromUtc() / 60;
    return QLocale::c().toString(date_time, "yyyy-MM-dd'T'HH:mm:ss") +
           QString("%1%2:%3")
               .arg(offset_minutes < 0 ? '-' : '+')
               .arg(qAbs(offset_minutes) / 60, 2, 10, QChar('0'))
               .arg(qAbs(offset_minutes) % 60, 2, 10, QChar('0'));
}

bool Has_Date_Time_Column(const QByteArray& first_line)
{
    QByteArray line = first_line;
    while (line.endsWith('\n') || line.endsWith('\r'))
    {
        line.chop(1);
    }
    return line + "\n" == Temperature_Log_Header(true).toLatin1();
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

QStringList Append_Temperature_Log_Entry(const QString& file_path, const QString& description,
                                         const QString& thermometer, const QStringList& axis_texts,
                                         bool date_time_column, const QDateTime& now, bool* entry_written)
{
    if (entry_written != nullptr)
    {
        *entry_written = false;
    }
    QStringList messages;
    const bool exists = QFile::exists(file_path);
    messages << QString(exists ? "INF  Appending log file: '%1' for '%2'"
                               : "INF  Creating log file: '%1' for '%2'")
                    .arg(QDir::toNativeSeparators(file_path), description);

    // An existing file's header decides its columns, whatever the option says now.
    bool with_date_time = date_time_column;
    if (exists)
    {
        QFile existing(file_path);
        with_date_time = existing.open(QIODevice::ReadOnly) && Has_Date_Time_Column(existing.readLine());
    }

    QFile file(file_path);
    if (!file.open(QIODevice::Append | QIODevice::Text))
    {
        messages << QString("WAR  Cannot open temperature log file for writing. File: '%1'.  Reason: %2")
                        .arg(QDir::toNativeSeparators(file_path), file.errorString());
        return messages;
    }

    const qint64 size_before = file.size();
    QString text;
    if (!exists)
    {
        text += Temperature_Log_Header(with_date_time);
    }
    if (with_date_time)
    {
        text += Log_Date_Time_Text(now) + ",";
    }
    text += Temperature_Log_Line(description, thermometer, axis_texts);

    // A full disk or a removed medium must not pass for a recorded reading.
    const QByteArray data = Latin1_Text(text);
    const bool written = file.write(data) == data.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
    {
        // The bytes that did reach the file would be glued to the next entry, and a new file would
        // get no header: cut the file back to where this entry began.
        if (exists)
        {
            QFile::resize(file_path, size_before);
        }
        else
        {
            QFile::remove(file_path);
        }
        messages << QString("WAR  Temperature log entry was not written to '%1': %2")
                        .arg(QDir::toNativeSeparators(file_path), file.errorString());
        return messages;
    }
    if (date_time_column && !with_date_time)
    {
        messages << QString("WAR  Date and time not logged: '%1' has no \"Date and Time\" column; a new log "
                            "file gets one.")
                        .arg(QDir::toNativeSeparators(file_path));
    }
    if (entry_written != nullptr)
    {
        *entry_written = true;
    }
    return messages;
}
