#ifndef TEMPERATURELOG_H
#define TEMPERATURELOG_H

#include "clock.h"
#include "message.h"
#include "thermometercorrection.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// What a corrected field shows, and the log records, when no correction may be applied.
const char* const Not_Corrected = "-----";

// The text a corrected field shows for a meter text: the corrected reading with two decimals, or
// "-----" when the thermometer is out of calibration, its correction is unusable or the text is
// not a number. The log records exactly this text.
QString Corrected_Reading_Text(const QString& meter_text, bool in_calibration,
                               const TThermometerCorrection& correction);

// The layouts of a temperature log. A file's layout is the one its last header line names; a file with
// no header line has the plain one.
enum class TLogLayout
{
    // Description, thermometer and the four corrected readings.
    Plain,
    // The same after a "Date and Time" column.
    Date_Time,
    // Date_Time's columns, then the four meter readings as typed, the calibration record and the flags.
    Audit
};

// The header line of a layout, with its line end.
QString Temperature_Log_Header(TLogLayout layout);
// The number of columns of a layout.
int Temperature_Log_Columns(TLogLayout layout);
// axis_texts: the X, Y, Z and Part texts to log, empty for an axis that is not ticked.
QString Temperature_Log_Line(const QString& description, const QString& thermometer,
                             const QStringList& axis_texts);

// "17:3f2a9c01b7de": the calibration history's record number and the first 12 hexadecimal digits of
// its SHA-256, as the audit columns name the calibration an entry was corrected with.
QString Calibration_Record_Text(int number, const QByteArray& hash);
// Reads such a text; false when it is none.
bool Read_Calibration_Record_Text(const QString& text, int* number, QByteArray* hash_start);

// What an entry's readings were corrected with, as the window held it when the entry was written.
struct TEntryCalibration
{
    bool thermometer_selected = false;
    // Judged on the entry's day, as Is_Calibration_Valid judges it.
    bool in_calibration = false;
    QDate due_date;
    TThermometerCorrection correction;
    // The entry's day.
    QDate today;
    // The calibration history names the record of this calibration.
    bool has_record = false;
};

// The flags column of an entry, in the order of the window's warnings after it: each ticked axis not
// corrected, "X:not corrected (<why>)", or extrapolated, "X:extrapolated"; then "doubtful" and "no
// calibration record". axis_texts as Temperature_Log_Line takes them, meter_texts as typed.
QStringList Audit_Flags(const QStringList& axis_texts, const QStringList& meter_texts,
                        const TEntryCalibration& calibration);

// Whether a meter text is a number typed with a decimal comma ("20,5"), which Write refuses.
bool Has_Decimal_Comma(const QString& meter_text);
// The warning refusing an entry whose ticked readings hold a decimal comma: axes and meter_texts pair
// up, an empty text is not ticked. None when there is none.
TMessages Decimal_Comma_Refusal(const QStringList& axes, const QStringList& meter_texts);

// One entry of the temperature log.
struct TLogEntry
{
    QString description;
    QString thermometer;
    // X, Y, Z and Part: the corrected texts, and the meter readings as typed; empty for an axis that is
    // not ticked.
    QStringList axis_texts = QStringList{QString(), QString(), QString(), QString()};
    QStringList meter_texts = QStringList{QString(), QString(), QString(), QString()};
    // Calibration_Record_Text, empty for none; the flags as Audit_Flags gives them.
    QString calibration_record;
    QStringList flags;
    QDateTime time;
};

// How entries are written.
struct TLogOptions
{
    // A new file gets the "Date and Time" column.
    bool date_time_column = false;
    // Entries get the audit columns, in a file of any age: a header line of the audit layout comes first
    // where the file's layout is another one, and one of the other layout when they are turned off.
    bool audit_columns = false;
    // A new file is written in UTF-8, after a byte-order mark; otherwise in Latin-1.
    bool utf8_for_new_files = false;
};

// The text of one entry in a layout, with its line end: as Append_Temperature_Log_Entry writes it.
QString Temperature_Log_Entry_Text(const TLogEntry& entry, TLogLayout layout);

// Appends one entry to the log at file_path, starting a new file with the header, and returns the
// messages that say what happened, in order. A new file gets the layout and encoding the options
// choose; an existing file keeps its encoding, and the layout of its last header line unless the audit
// columns are turned on or off, which writes a header line of the new layout first, so that no part of a
// file mixes layouts. entry_written, when given, tells whether the entry is in the file.
TMessages Append_Temperature_Log_Entry(const QString& file_path, const TLogEntry& entry,
                                       const TLogOptions& options, bool* entry_written = nullptr);

// One row of a temperature log as read back.
struct TLogRow
{
    // The line it begins on, counted from 1 as an editor counts lines.
    int line = 0;
    // The layout of the last header line before it (or of the row itself, for a header).
    TLogLayout layout = TLogLayout::Plain;
    bool is_header = false;
    QStringList fields;
};

// Reads a log's bytes in its own encoding (UTF-8 after a byte-order mark, else Latin-1) into its rows,
// quoted as Csv_Field quotes (a quoted field may hold line ends). Blank lines are no rows.
QVector<TLogRow> Read_Temperature_Log(const QByteArray& bytes);

#endif // TEMPERATURELOG_H
