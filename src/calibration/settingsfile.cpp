#include "settingsfile.h"

#include "calibrationstatus.h"
#include "qtcompat.h"
#include "wholefile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

namespace
{

struct TSettingDefinition
{
    TSetting key;
    const char* name;
};

// The one table of keys; the file keeps the names, so they never change.
const TSettingDefinition Setting_Definitions[] = {
    {TSetting::Current_Path, "Current_Path"},
    {TSetting::Record_File, "Record_File"},
    {TSetting::Active_Thermometer, "Active_Thermometer"},
    {TSetting::Active_Thermometer_Description, "Active_Thermometer_Description"},
    {TSetting::Description, "Description"},
    {TSetting::Axis_X_Enabled, "Axis_X_Enabled"},
    {TSetting::Axis_Y_Enabled, "Axis_Y_Enabled"},
    {TSetting::Axis_Z_Enabled, "Axis_Z_Enabled"},
    {TSetting::Axis_Part_Enabled, "Axis_Part_Enabled"},
    {TSetting::Meter_X_Value, "Meter_X_Value"},
    {TSetting::Meter_Y_Value, "Meter_Y_Value"},
    {TSetting::Meter_Z_Value, "Meter_Z_Value"},
    {TSetting::Meter_Part_Value, "Meter_Part_Value"},
    {TSetting::Warn_Days_Before_Due, "Warn_Days_Before_Due"},
    {TSetting::Log_Date_Time, "Log_Date_Time"},
    {TSetting::Window_Geometry, "Window_Geometry"}};

QVariant Default_Value(TSetting key)
{
    switch (key)
    {
    case TSetting::Current_Path:
        return QDir::homePath();
    case TSetting::Record_File:
        return QStringLiteral("velmora.csv");
    case TSetting::Active_Thermometer:
        return 0;
    case TSetting::Description:
        return QStringLiteral("Position 1");
    case TSetting::Axis_X_Enabled:
    case TSetting::Axis_Y_Enabled:
    case TSetting::Axis_Z_Enabled:
    case TSetting::Axis_Part_Enabled:
        return true;
    case TSetting::Meter_X_Value:
    case TSetting::Meter_Y_Value:
    case TSetting::Meter_Z_Value:
    case TSetting::Meter_Part_Value:
        return QStringLiteral("20.00");
    case TSetting::Warn_Days_Before_Due:
        return Default_Warn_Days_Before_Due;
    case TSetting::Log_Date_Time:
        return false;
    case TSetting::Active_Thermometer_Description:
        return QString();
    case TSetting::Window_Geometry:
        return QByteArray();
    }
    return QVariant();
}

// An INI file holds text: a number or a flag reads back as the text it was written as.
bool Is_Same_Value(const QVariant& read, const QVariant& written)
{
    return read.userType() == written.userType() ? read == written : read.toString() == written.toString();
}

} // namespace

TSettingsFile::TSettingsFile(const QString& settings_file_name) : file_name(settings_file_name)
{
    const QFileInfo info(file_name);
    if (info.exists())
    {
        // Written over, a file that could not be read would lose every setting it holds.
        QFile file(file_name);
        if (info.isDir() || !file.open(QIODevice::ReadOnly))
        {
            is_usable = false;
            start_up_messages << QString("ERR  Cannot read settings file '%1': %2; the defaults are used and "
                                         "changed settings will not be kept.")
                                     .arg(QDir::toNativeSeparators(file_name),
                                          info.isDir() ? QString::fromLocal8Bit(std::strerror(EISDIR))
                                                       : file.errorString());
            return;
        }
    }
    QSettings file(file_name, QSettings::IniFormat);
    Use_Utf8_Ini_Encoding(&file);
    for (const QString& key : file.allKeys())
    {
        values.insert(key, file.value(key));
    }
}

QString TSettingsFile::Key_Name(TSetting key)
{
    for (const TSettingDefinition& definition : Setting_Definitions)
    {
        if (definition.key == key)
        {
            return QLatin1String(definition.name);
        }
    }
    Q_UNREACHABLE();
    return QString();
}

QVariant TSettingsFile::Value(TSetting key) const
{
    return values.value(Key_Name(key), Default_Value(key));
}

QStringList TSettingsFile::Set_Value(TSetting key, const QVariant& value)
{
    return Set_Values({{key, value}});
}

QStringList TSettingsFile::Set_Values(const QVector<QPair<TSetting, QVariant>>& changes)
{
    for (const auto& change : changes)
    {
        values.insert(Key_Name(change.first), change.second);
    }
    if (!is_usable)
    {
        return QStringList();
    }
    QString reason;
    const bool written = Write(&reason);
    const bool failed_before = last_write_failed;
    last_write_failed = !written;
    const QString native_name = QDir::toNativeSeparators(file_name);
    if (!written && !failed_before)
    {
        return {
            QString("ERR  Cannot write settings file '%1'; changed settings will not be kept.  Reason: %2")
                .arg(native_name, reason)};
    }
    if (written && failed_before)
    {
        return {
            QString("INF  Settings file '%1' written again; changed settings are kept.").arg(native_name)};
    }
    return QStringList();
}

bool TSettingsFile::Write(QString* reason) const
{
    // QSettings writes its file without noticing a short write or a failed final flush: on a full disk
    // it left the file empty and reported no error. So it writes a scratch file, which is read back
    // and copied over the settings file only when it holds every value.
    QTemporaryDir scratch(file_name + QStringLiteral(".XXXXXX"));
    if (!scratch.isValid())
    {
        *reason = scratch.errorString();
        return false;
    }
    const QString written_name = scratch.filePath(QStringLiteral("written.ini"));
    const QString read_name = scratch.filePath(QStringLiteral("read.ini"));
    int write_error = 0;
    {
        QSettings written(written_name, QSettings::IniFormat);
        Use_Utf8_Ini_Encoding(&written);
        for (auto value = values.cbegin(); value != values.cend(); ++value)
        {
            written.setValue(value.key(), value.value());
        }
        errno = 0;
        written.sync();
        write_error = errno;
    }
    // QSettings keeps what it believes it wrote under the file's name and would read that back;
    // under another name the file is read as the disk holds it.
    if (!QFile::rename(written_name, read_name))
    {
        *reason = QString::fromLocal8Bit(std::strerror(write_error != 0 ? write_error : EIO));
        return false;
    }
    QSettings read(read_name, QSettings::IniFormat);
    Use_Utf8_Ini_Encoding(&read);
    bool complete = read.status() == QSettings::NoError && read.allKeys().size() == values.size();
    for (auto value = values.cbegin(); complete && value != values.cend(); ++value)
    {
        complete = Is_Same_Value(read.value(value.key()), value.value());
    }
    if (!complete)
    {
        *reason = write_error != 0 ? QString::fromLocal8Bit(std::strerror(write_error))
                                   : QStringLiteral("the file written did not read back complete");
        return false;
    }
    QFile file(read_name);
    if (!file.open(QIODevice::ReadOnly))
    {
        *reason = file.errorString();
        return false;
    }
    return Write_Whole_File(file_name, file.readAll(), reason);
}
