#include "temperaturelog.h"

#include "csvtext.h"
#include "durablefile.h"
#include "numbertext.h"
#include "timetext.h"

#include <QDir>
#include <QFile>
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

QString Temperature_Log_Header(bool with_date_time)
{
    return QString(with_date_time ? "Date and Time," : "") +
           "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";
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

    // A full disk or a removed medium must not pass for a recorded reading, and the bytes that did reach
    // the file must not be glued to the next entry (nor a new file be left without its header).
    QString reason;
    bool opened = false;
    if (!Append_Whole_Lines(file_path, Latin1_Text(text), &reason, -1, TLineEnds::Native, &opened))
    {
        messages << (opened
                         ? QString("WAR  Temperature log entry was not written to '%1': %2")
                         : QString(
                               "WAR  Cannot open temperature log file for writing. File: '%1'.  Reason: %2"))
                        .arg(QDir::toNativeSeparators(file_path), reason);
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
