#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include "message.h"

#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The keys of the settings file "velmora_settings.ini", all at the top level of the INI file.
enum class TSetting
{
    Current_Path,
    Record_File,
    Active_Thermometer,
    Active_Thermometer_Description,
    Description,
    Axis_X_Enabled,
    Axis_Y_Enabled,
    Axis_Z_Enabled,
    Axis_Part_Enabled,
    Meter_X_Value,
    Meter_Y_Value,
    Meter_Z_Value,
    Meter_Part_Value,
    Warn_Days_Before_Due,
    Log_Date_Time,
    Window_Geometry,
    Log_Audit_Columns,
    Log_Utf8
};

// The settings file, read once when opened. A window writes only the settings it changed, each time
// into the file as it is on disk then, so that two windows sharing it never undo each other's
// settings; every other line of the file stays as it is. A write that fails leaves the file as it
// was; the changes stay in memory and go with the next write that succeeds.
class TSettingsFile
{
public:
    // Reads file_name; a file that cannot be used is not written at all (see Get_Start_Up_Messages).
    explicit TSettingsFile(const QString& file_name);

    const QString& Get_File_Name() const { return file_name; }
    // The error for a file that exists but cannot be read; none otherwise.
    const TMessages& Get_Start_Up_Messages() const { return start_up_messages; }

    // The name of key in the file.
    static QString Key_Name(TSetting key);
    // The value of key as this window knows it: as read at start, or as the window last set it (a
    // string, or bytes), or its default.
    QVariant Value(TSetting key) const;

    // Takes the values; those that differ from Value are changes, which are written, together with
    // changes a failed write left, in one small write. Returns the messages to log: an error with the
    // system's reason when a write fails after one that succeeded (not at every edit), information
    // when the file is written again after a failure.
    TMessages Set_Values(const QVector<QPair<TSetting, QVariant>>& values);
    TMessages Set_Value(TSetting key, const QVariant& value);
    // Whether changes wait for a write that succeeds.
    bool Has_Unwritten_Changes() const { return !unwritten.isEmpty(); }

private:
    // False, with reason set, when the file on disk does not hold the unwritten changes now.
    bool Write(QString* reason) const;

    QString file_name;
    TMessages start_up_messages;
    // Every key of the file as read at start, and what this window set since.
    QMap<QString, QVariant> values;
    // What this window changed and the file does not hold yet.
    QMap<QString, QVariant> unwritten;
    bool is_usable = true;
    bool last_write_failed = false;
};

#endif // SETTINGSFILE_H
