#include "settingsfile.h"

#include "calibrationlock.h"
#include "calibrationstatus.h"
#include "durablefile.h"
#include "filescreen.h"
#include "qtcompat.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

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
    {TSetting::Window_Geometry, "Window_Geometry"},
    {TSetting::Log_Audit_Columns, "Log_Audit_Columns"},
    {TSetting::Log_Utf8, "Log_Utf8"}};

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
    case TSetting::Log_Audit_Columns:
    case TSetting::Log_Utf8:
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

// Far more than the sixteen keys take; a larger file is no settings file of ours.
constexpr qint64 Settings_Max_File_Size = 1024 * 1024;

// Another window writing its settings holds the lock for one small write.
constexpr int Settings_Lock_Timeout = 1000;

bool Is_Hex_Digit(uint character)
{
    return (character >= '0' && character <= '9') || (character >= 'a' && character <= 'f') ||
           (character >= 'A' && character <= 'F');
}

// A value as QSettings writes it in its INI format with UTF-8 text (Use_Utf8_Ini_Encoding): a string
// that begins with "@" gets a second one, bytes are written as "@ByteArray(...)" with "\x" escapes,
// flags as "true" and "false"; control characters, quotes and backslashes are escaped, and the whole is
// quoted where a ",", ";" or "=" or a blank at either end would otherwise be read differently.
QByteArray Ini_Value_Text(const QVariant& value)
{
    QString text;
    switch (value.userType())
    {
    case QMetaType::QByteArray:
    {
        const QByteArray bytes = value.toByteArray();
        text = QStringLiteral("@ByteArray(") + QString::fromLatin1(bytes.constData(), bytes.size()) + ')';
        break;
    }
    case QMetaType::Bool:
        text = value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        break;
    default:
        text = value.toString();
        if (text.startsWith('@'))
        {
            text.prepend('@');
        }
    }
    // Bytes are escaped one by one; text goes out as UTF-8.
    const bool as_utf8 = !text.startsWith(QLatin1String("@ByteArray("));
    QByteArray result;
    bool needs_quotes = false;
    // After a "\x" escape a hex digit would be read as part of it.
    bool escape_next_if_digit = false;
    for (int index = 0; index < text.size(); ++index)
    {
        const uint character = text.at(index).unicode();
        if (character == ';' || character == ',' || character == '=')
        {
            needs_quotes = true;
        }
        if (escape_next_if_digit && Is_Hex_Digit(character))
        {
            result += "\\x" + QByteArray::number(character, 16);
            continue;
        }
        escape_next_if_digit = false;
        switch (character)
        {
        case 0:
            result += "\\0";
            escape_next_if_digit = true;
            break;
        case '\a':
            result += "\\a";
            break;
        case '\b':
            result += "\\b";
            break;
        case '\f':
            result += "\\f";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        case '\v':
            result += "\\v";
            break;
        case '"':
        case '\\':
            result += '\\';
            result += char(character);
            break;
        default:
            if (character <= 0x1F || (character >= 0x7F && !as_utf8))
            {
                result += "\\x" + QByteArray::number(character, 16);
                escape_next_if_digit = true;
            }
            else if (character >= 0x7F)
            {
                const bool pair = text.at(index).isHighSurrogate() && index + 1 < text.size() &&
                                  text.at(index + 1).isLowSurrogate();
                result += text.mid(index, pair ? 2 : 1).toUtf8();
                index += pair ? 1 : 0;
            }
            else
            {
                result += char(character);
            }
        }
    }
    if (needs_quotes || result.startsWith(' ') || result.endsWith(' '))
    {
        result = '"' + result + '"';
    }
    return result;
}

// One line of an INI file as QSettings reads it: a line end escaped by a backslash continues it.
struct TIniLine
{
    int begin = 0;
    // Past its line end.
    int end = 0;
    // The key it sets in the top-level section ("General"); empty for a section header, a comment,
    // a blank line and a key of another section.
    QString key;
    bool is_general_header = false;
};

QVector<TIniLine> Ini_Lines(const QByteArray& content)
{
    QVector<TIniLine> lines;
    // Keys before the first section header are top-level ones too.
    bool in_general = true;
    int position = 0;
    while (position < content.size())
    {
        TIniLine line;
        line.begin = position;
        int text_end = -1;
        while (position < content.size() && text_end < 0)
        {
            const char character = content.at(position);
            const bool crlf = position + 1 < content.size() && content.at(position + 1) == '\n';
            if (character == '\\')
            {
                // An escaped character, a line end too, belongs to the line.
                const bool escaped_crlf = position + 1 < content.size() && content.at(position + 1) == '\r' &&
                                          position + 2 < content.size() && content.at(position + 2) == '\n';
                position += escaped_crlf ? 3 : 2;
            }
            else if (character == '\n' || character == '\r')
            {
                text_end = position;
                position += character == '\r' && crlf ? 2 : 1;
            }
            else
            {
                ++position;
            }
        }
        line.end = qMin(position, int(content.size()));
        const QByteArray text =
            content.mid(line.begin, (text_end < 0 ? line.end : text_end) - line.begin).trimmed();
        if (text.startsWith('['))
        {
            const int close = text.indexOf(']');
            in_general = text.mid(1, close < 0 ? -1 : close - 1).trimmed().toLower() == "general";
            line.is_general_header = in_general;
        }
        else if (in_general && !text.startsWith(';') && text.contains('='))
        {
            line.key = QString::fromUtf8(text.left(text.indexOf('=')).trimmed());
        }
        lines.append(line);
    }
    return lines;
}

// The line end the file uses; a new file gets the system's, as QSettings writes it.
QByteArray Line_End(const QByteArray& content)
{
    if (content.contains("\r\n"))
    {
        return "\r\n";
    }
#if defined(Q_OS_WIN)
    return content.contains('\n') ? "\n" : "\r\n";
#else
    return "\n";
#endif
}

// content with key set to value: its line replaced (a second one of it removed), or a new line added
// to the top-level section in key order, as QSettings orders keys. Every other byte stays.
QByteArray Merge_Setting(QByteArray content, const QString& key, const QVariant& value)
{
    const QByteArray line_end = Line_End(content);
    if (!content.isEmpty() && !content.endsWith('\n') && !content.endsWith('\r'))
    {
        content += line_end;
    }
    const QByteArray new_line = key.toUtf8() + '=' + Ini_Value_Text(value) + line_end;
    const QVector<TIniLine> lines = Ini_Lines(content);
    int first_match = -1;
    int insert_at = -1;
    int after_keys = -1;
    int after_header = -1;
    for (int index = 0; index < lines.size(); ++index)
    {
        const TIniLine& line = lines[index];
        if (line.key == key && first_match < 0)
        {
            first_match = index;
        }
        if (line.is_general_header && after_header < 0)
        {
            after_header = line.end;
        }
        if (!line.key.isEmpty())
        {
            after_keys = line.end;
            if (insert_at < 0 && key < line.key)
            {
                insert_at = line.begin;
            }
        }
    }
    if (first_match >= 0)
    {
        // From the last line back, so that the places of the earlier ones stay where they were.
        for (int index = lines.size() - 1; index >= first_match; --index)
        {
            if (lines[index].key == key)
            {
                content.replace(lines[index].begin, lines[index].end - lines[index].begin,
                                index == first_match ? new_line : QByteArray());
            }
        }
        return content;
    }
    const int at = insert_at >= 0 ? insert_at : after_keys >= 0 ? after_keys : after_header;
    if (at >= 0)
    {
        return content.insert(at, new_line);
    }
    // No top-level section yet: it comes first, set off from the sections after it by a blank line.
    const QByteArray general = "[General]" + line_end + new_line;
    return content.trimmed().isEmpty() ? general : general + line_end + content;
}

} // namespace

TSettingsFile::TSettingsFile(const QString& settings_file_name) : file_name(settings_file_name)
{
    const QFileInfo info(file_name);
    if (info.exists())
    {
        // Written over, a file that could not be read would lose every setting it holds; a device
        // would be read without end.
        QFile file(file_name);
        QString reason;
        if (info.isDir())
        {
            reason = QString::fromLocal8Bit(std::strerror(EISDIR));
        }
        else if (!Screen_File(file_name, Settings_Max_File_Size, &reason))
        {
        }
        else if (!file.open(QIODevice::ReadOnly))
        {
            reason = file.errorString();
        }
        if (!reason.isEmpty())
        {
            is_usable = false;
            start_up_messages << TMessage::Error(
                QString("Cannot read settings file '%1': %2; the defaults are used and "
                        "changed settings will not be kept.")
                    .arg(QDir::toNativeSeparators(file_name), reason));
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

TMessages TSettingsFile::Set_Value(TSetting key, const QVariant& value)
{
    return Set_Values({{key, value}});
}

TMessages TSettingsFile::Set_Values(const QVector<QPair<TSetting, QVariant>>& new_values)
{
    for (const auto& new_value : new_values)
    {
        // Only a change is written: a value this window never changed may have been set by another.
        if (!Is_Same_Value(Value(new_value.first), new_value.second))
        {
            values.insert(Key_Name(new_value.first), new_value.second);
            unwritten.insert(Key_Name(new_value.first), new_value.second);
        }
    }
    if (!is_usable || unwritten.isEmpty())
    {
        return TMessages();
    }
    QString reason;
    const bool written = Write(&reason);
    const bool failed_before = last_write_failed;
    last_write_failed = !written;
    if (written)
    {
        unwritten.clear();
    }
    const QString native_name = QDir::toNativeSeparators(file_name);
    if (!written && !failed_before)
    {
        return {TMessage::Error(
            QString("Cannot write settings file '%1'; changed settings will not be kept.  Reason: %2")
                .arg(native_name, reason))};
    }
    if (written && failed_before)
    {
        return {TMessage::Info(
            QString("Settings file '%1' written again; changed settings are kept.").arg(native_name))};
    }
    return TMessages();
}

bool TSettingsFile::Write(QString* reason) const
{
    // The lock QSettings itself takes, so that two windows merge their changes one after the other. A
    // lock that cannot be made leaves the write to say why the folder takes no file.
    const QString lock_name = file_name + QStringLiteral(".lock");
    QLockFile lock(lock_name);
    TLockProblem problem;
    if (!Take_Lock(&lock, lock_name, Settings_Lock_Timeout, TLockWait(), &problem) &&
        problem.kind != TLockProblem::Cannot_Create)
    {
        *reason = problem.reason;
        return false;
    }
    QByteArray content;
    if (QFileInfo::exists(file_name))
    {
        QFile file(file_name);
        if (!Screen_File(file_name, Settings_Max_File_Size, reason))
        {
            return false;
        }
        if (!file.open(QIODevice::ReadOnly))
        {
            *reason = file.errorString();
            return false;
        }
        content = file.readAll();
        if (file.error() != QFileDevice::NoError)
        {
            *reason = file.errorString();
            return false;
        }
    }
    for (auto value = unwritten.cbegin(); value != unwritten.cend(); ++value)
    {
        content = Merge_Setting(content, value.key(), value.value());
    }
    return Write_Whole_File(file_name, content, reason);
}
