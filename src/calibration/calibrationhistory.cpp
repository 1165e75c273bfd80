#include "calibrationhistory.h"

#include "clock.h"
#include "datetext.h"
#include "platform.h"
#include "temperaturelog.h"
#include "thermometerdata.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>

namespace
{

const char* const Action_Texts[] = {"added",    "changed", "removed", "first seen", "changed outside Velmora",
                                    "not saved"};
constexpr int Action_Count = int(sizeof(Action_Texts) / sizeof(Action_Texts[0]));
const QByteArray First_Previous_Hash(64, '0');
// A record is a few hundred bytes; a line far longer is no record, and is not parsed.
constexpr int Longest_Record_Line = 1 << 20;
// The same bound as for the calibration file: a history this large is not one Velmora wrote.
constexpr qint64 Largest_History_File = qint64(256) << 20;

// A write cut short by a size limit or a full disk returns what it wrote without an error; the next
// write then fails with the system's reason.
bool Write_All(QFile* file, const QByteArray& bytes)
{
    qint64 written = 0;
    while (written < bytes.size())
    {
        const qint64 count = file->write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
        {
            return false;
        }
        written += count;
    }
    return true;
}

QByteArray Sha256_Hex(const QByteArray& line)
{
    return QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex();
}

QJsonValue State_Value(bool has_state, const THistoryState& state)
{
    if (!has_state)
    {
        return QJsonValue(QJsonValue::Null);
    }
    QJsonObject object;
    object["description"] = state.description;
    object["due_date"] = state.due_date;
    for (int point = 0; point < 3; ++point)
    {
        object[QString("point%1").arg(point + 1)] = state.points[point];
    }
    object["checksum"] = state.checksum;
    return object;
}

// False when value is neither null nor a state with every field a text.
bool Read_State(const QJsonValue& value, bool* has_state, THistoryState* state)
{
    *has_state = !value.isNull();
    if (value.isNull())
    {
        return true;
    }
    if (!value.isObject())
    {
        return false;
    }
    const QJsonObject object = value.toObject();
    const char* const keys[] = {"description", "due_date", "point1", "point2", "point3", "checksum"};
    QString* const fields[] = {&state->description, &state->due_date,  &state->points[0],
                               &state->points[1],   &state->points[2], &state->checksum};
    for (int index = 0; index < 6; ++index)
    {
        const QJsonValue field = object.value(QLatin1String(keys[index]));
        if (!field.isString())
        {
            return false;
        }
        *fields[index] = field.toString();
    }
    return true;
}

QByteArray Record_Line(const THistoryRecord& record)
{
    QJsonObject object;
    object["record"] = record.number;
    object["time"] = record.time;
    object["user"] = record.user;
    object["host"] = record.host;
    object["action"] = History_Action_Text(record.action);
    object["thermometer"] = record.description;
    object["before"] = State_Value(record.has_before, record.before);
    object["after"] = State_Value(record.has_after, record.after);
    if (record.action == THistoryRecord::Not_Saved)
    {
        object["marks"] = record.marks;
    }
    object["previous"] = QString::fromLatin1(record.previous_hash);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString Text_Field(const QJsonObject& object, const char* key, bool* ok)
{
    const QJsonValue value = object.value(QLatin1String(key));
    *ok = *ok && value.isString();
    return value.toString();
}

// Reads one line as a record; *why says why it is none.
THistoryRecord Parse_Record(const QByteArray& line, QString* why)
{
    THistoryRecord record;
    if (line.size() > Longest_Record_Line)
    {
        *why = "it is too long to be a record";
        return record;
    }
    QJsonParseError parse_error;
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 5.15's parser leaks the value that a repeated key replaces: its leak, not one of ours.
    __lsan_disable();
#endif
    const QJsonDocument document = QJsonDocument::fromJson(line, &parse_error);
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    __lsan_enable();
#endif
    if (parse_error.error != QJsonParseError::NoError || !document.isObject())
    {
        *why = "it is not a record";
        return record;
    }
    const QJsonObject object = document.object();
    bool ok = true;
    record.number = object.value("record").toInt(-1);
    record.time = Text_Field(object, "time", &ok);
    record.user = Text_Field(object, "user", &ok);
    record.host = Text_Field(object, "host", &ok);
    const QString action = Text_Field(object, "action", &ok);
    record.description = Text_Field(object, "thermometer", &ok);
    record.previous_hash = Text_Field(object, "previous", &ok).toLatin1();
    const char* const* const found = std::find(Action_Texts, Action_Texts + Action_Count, action);
    ok = ok && found != Action_Texts + Action_Count;
    record.action = THistoryRecord::TAction(found - Action_Texts);
    ok = ok && Read_State(object.value("before"), &record.has_before, &record.before) &&
         Read_State(object.value("after"), &record.has_after, &record.after);
    if (ok && record.action == THistoryRecord::Not_Saved)
    {
        record.marks = object.value("marks").toInt(0);
        ok = record.marks > 0;
    }
    if (!ok)
    {
        *why = "it is not a record";
    }
    return record;
}

// A recorded due date (ISO 8601) as the log shows dates; "none" for an entry without one.
QString Due_Date_Shown(const QString& due_date)
{
    return due_date.isEmpty() ? QString("none") : Due_Date_Text(QDate::fromString(due_date, Qt::ISODate));
}

QString State_Text(const THistoryState& state)
{
    return QString("due date %1, points %2 / %3 / %4")
        .arg(Due_Date_Shown(state.due_date), state.points[0], state.points[1], state.points[2]);
}

// The state each thermometer has after the records, by lookup key, and the index of the record that set
// it (-1 once a Not_Saved record took it back).
struct TRecordedStates
{
    QHash<QString, THistoryState> states;
    QHash<QString, int> last_record;
    // The keys in the order their last record was written.
    QStringList Keys_In_Order() const
    {
        QStringList keys = last_record.keys();
        std::sort(keys.begin(), keys.end(), [&](const QString& a, const QString& b) {
            const int first = last_record[a];
            const int second = last_record[b];
            return first != second ? first < second : a < b;
        });
        return keys;
    }
};

TRecordedStates Recorded_States(const QVector<THistoryRecord>& records)
{
    TRecordedStates recorded;
    QHash<int, int> index_by_number;
    for (int index = 0; index < records.size(); ++index)
    {
        const THistoryRecord& record = records[index];
        index_by_number.insert(record.number, index);
        if (record.action == THistoryRecord::Not_Saved)
        {
            // The file still holds what it held before the marked record.
            const int marked = index_by_number.value(record.marks, -1);
            if (marked < 0)
            {
                continue;
            }
            const THistoryRecord& change = records[marked];
            const QString key = TThermometerList::Lookup_Key(change.description);
            if (recorded.last_record.value(key, -2) != marked)
            {
                continue;
            }
            if (change.has_before)
            {
                recorded.states.insert(key, change.before);
            }
            else
            {
                recorded.states.remove(key);
            }
            recorded.last_record.insert(key, -1);
            continue;
        }
        const QString key = TThermometerList::Lookup_Key(record.description);
        if (record.has_after)
        {
            recorded.states.insert(key, record.after);
        }
        else
        {
            recorded.states.remove(key);
        }
        recorded.last_record.insert(key, index);
    }
    return recorded;
}

THistoryRecord Change_Record(THistoryRecord::TAction action, const QString& description, bool has_before,
                             const THistoryState& before, bool has_after, const THistoryState& after)
{
    THistoryRecord record;
    record.action = action;
    record.description = description;
    record.has_before = has_before;
    record.before = before;
    record.has_after = has_after;
    record.after = after;
    return record;
}

} // namespace

bool THistoryState::operator==(const THistoryState& other) const
{
    return description == other.description && due_date == other.due_date && points[0] == other.points[0] &&
           points[1] == other.points[1] && points[2] == other.points[2];
}

QString History_File_Name(const QString& calibration_file_name)
{
    const QFileInfo info(calibration_file_name);
    const QString base_name =
        info.completeBaseName() == "calibration_data" ? QString("calibration") : info.completeBaseName();
    return info.absolutePath() + "/" + base_name + "_history.jsonl";
}

THistoryContent Read_History(const QByteArray& bytes, THistoryCheck check, const QStringList& about)
{
    const int last_line_end = bytes.lastIndexOf('\n');
    QSet<QString> wanted_keys;
    for (const QString& description : check == THistoryCheck::Head_Only ? about : QStringList())
    {
        wanted_keys.insert(TThermometerList::Lookup_Key(description));
    }
    THistoryContent content;
    content.head_hash = First_Previous_Hash;
    int start = 0;
    while (start < bytes.size())
    {
        const int end = bytes.indexOf('\n', start);
        if (end < 0)
        {
            content.incomplete_last_line = true;
            break;
        }
        const QByteArray line = bytes.mid(start, end - start);
        const int number = ++content.line_count;
        content.complete_size = end + 1;
        // Parsing is most of the rest: a record of another thermometer is not parsed. Its description is
        // taken from the one "thermometer" key as Velmora writes it; a line with an escape (written by
        // hand: Velmora writes one only for a quote, a backslash or a control character), or that holds
        // the key otherwise, is parsed.
        if (!wanted_keys.isEmpty() && end != last_line_end && !line.contains('\\'))
        {
            static const QByteArray key = "\"thermometer\":\"";
            const int at = line.indexOf(key);
            const int value_end = at < 0 ? -1 : line.indexOf('"', at + key.size());
            if (value_end >= 0 && line.indexOf(key, at + 1) < 0 &&
                !wanted_keys.contains(TThermometerList::Lookup_Key(
                    QString::fromUtf8(line.constData() + at + key.size(), value_end - at - key.size()))))
            {
                start = end + 1;
                continue;
            }
        }
        QString why;
        THistoryRecord record = Parse_Record(line, &why);
        const bool is_record = why.isEmpty();
        if (is_record && record.number != number)
        {
            why = QString("it is numbered %1").arg(record.number);
        }
        else if (is_record && check == THistoryCheck::Whole_Chain &&
                 record.previous_hash != content.head_hash)
        {
            why = number == 1 ? QString("it does not begin the chain")
                              : QString("it does not follow record %1").arg(number - 1);
        }
        if (!why.isEmpty() && content.first_break == 0)
        {
            content.first_break = number;
            content.break_reason = why;
        }
        // Hashing is most of the cost of a read: an append needs only the last line's.
        if (check == THistoryCheck::Whole_Chain || end == last_line_end)
        {
            record.hash = Sha256_Hex(line);
            content.head_hash = record.hash;
        }
        // A record out of place still tells what happened; only a line that is no record is left out.
        if (is_record)
        {
            record.number = number;
            content.records.append(record);
        }
        start = end + 1;
    }
    return content;
}

bool Read_History_File(const QString& file_name, THistoryContent* content, QString* error,
                       THistoryCheck check, const QStringList& about)
{
    *content = THistoryContent();
    content->head_hash = First_Previous_Hash;
    QFile file(file_name);
    if (!file.exists())
    {
        return true;
    }
    QString reason;
    // A device or a pipe in its place would be read without end.
    if (!QFileInfo(file_name).isFile())
    {
        reason = "it is not a regular file";
    }
    else if (!file.open(QIODevice::ReadOnly))
    {
        reason = file.errorString();
    }
    else if (file.size() > Largest_History_File)
    {
        reason = QString("it is larger than %1 MB").arg(Largest_History_File >> 20);
    }
    else
    {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
        {
            *content = Read_History(bytes, check, about);
            return true;
        }
        reason = file.errorString();
    }
    *error =
        QString("Cannot read calibration history '%1': %2").arg(QDir::toNativeSeparators(file_name), reason);
    return false;
}

THistoryState History_State(const TThermometerList& list, const QString& description)
{
    THistoryState state;
    state.description = list.Get_Stored_Description(description);
    const QDate due_date = list.Get_Calibration_Due_Date(description);
    state.due_date = due_date.isValid() ? due_date.toString(Qt::ISODate) : QString();
    const QStringList points = list.Get_Stored_Points(description);
    for (int point = 0; point < points.size() && point < 3; ++point)
    {
        state.points[point] = points[point];
    }
    state.checksum = list.Get_Stored_Checksum(description);
    return state;
}

QVector<THistoryRecord> History_Differences(const TThermometerList& before, const TThermometerList& after)
{
    QVector<THistoryRecord> records;
    for (const QString& description : after.Get_Descriptions())
    {
        // Most entries are untouched by a change: equal as stored, their texts need not be made.
        if (after.Has_Same_Entry(before, description))
        {
            continue;
        }
        const THistoryState new_state = History_State(after, description);
        if (before.Get_Stored_Description(description).isNull())
        {
            records << Change_Record(THistoryRecord::Added, description, false, THistoryState(), true,
                                     new_state);
            continue;
        }
        const THistoryState old_state = History_State(before, description);
        if (old_state != new_state)
        {
            records << Change_Record(THistoryRecord::Changed, description, true, old_state, true, new_state);
        }
    }
    for (const QString& description : before.Get_Descriptions())
    {
        if (after.Get_Stored_Description(description).isNull())
        {
            records << Change_Record(THistoryRecord::Removed, description, true,
                                     History_State(before, description), false, THistoryState());
        }
    }
    return records;
}

QVector<THistoryRecord> Reconcile_History(const THistoryContent& content, const TThermometerList& list,
                                          bool complete, const QDateTime& file_modified,
                                          const QStringList& only)
{
    QVector<THistoryRecord> records;
    const QStringList descriptions = list.Get_Descriptions();
    // A file that had no history: what it holds is where the history begins.
    if (content.line_count == 0 && !content.incomplete_last_line)
    {
        for (const QString& description : descriptions)
        {
            records << Change_Record(THistoryRecord::First_Seen, description, false, THistoryState(), true,
                                     History_State(list, description));
        }
        return records;
    }

    const TRecordedStates recorded = Recorded_States(content.records);
    QSet<QString> only_keys;
    for (const QString& description : only)
    {
        only_keys.insert(TThermometerList::Lookup_Key(description));
    }
    // The thermometers in the file first, then those the history has and the file lacks.
    QStringList in_file_descriptions;
    QStringList judged;
    QSet<QString> file_keys;
    for (const QString& description : descriptions)
    {
        const QString key = TThermometerList::Lookup_Key(description);
        file_keys.insert(key);
        if (only_keys.isEmpty() || only_keys.contains(key))
        {
            in_file_descriptions << description;
            judged << key;
        }
    }
    if (complete)
    {
        for (const QString& key : recorded.Keys_In_Order())
        {
            if (!file_keys.contains(key) && recorded.states.contains(key) &&
                (only_keys.isEmpty() || only_keys.contains(key)))
            {
                judged << key;
            }
        }
    }
    for (int index = 0; index < judged.size(); ++index)
    {
        const QString& key = judged[index];
        const bool in_file = index < in_file_descriptions.size();
        const THistoryState file_state =
            in_file ? History_State(list, in_file_descriptions[index]) : THistoryState();
        const bool in_history = recorded.states.contains(key);
        const THistoryState history_state = recorded.states.value(key);
        if (in_file == in_history && (!in_file || file_state == history_state))
        {
            continue;
        }
        // Written before the file was saved, a change whose save then failed or was cut off leaves the
        // file as it was before that record.
        const int last = recorded.last_record.value(key, -1);
        if (last >= 0)
        {
            const THistoryRecord& change = content.records[last];
            const bool velmora_change = change.action == THistoryRecord::Added ||
                                        change.action == THistoryRecord::Changed ||
                                        change.action == THistoryRecord::Removed;
            // Content alone cannot tell a change that was never saved from one undone by hand later; a
            // file written after the record was written was not left as it was. The second of slack
            // covers the record's time, which is kept to the second.
            const QDateTime recorded_at = QDateTime::fromString(change.time, Qt::ISODate);
            const bool untouched_since =
                !file_modified.isValid() || !recorded_at.isValid() || file_modified <= recorded_at.addSecs(1);
            if (velmora_change && untouched_since && change.has_before == in_file &&
                (!in_file || change.before == file_state))
            {
                records << Not_Saved_Records({change});
                continue;
            }
        }
        const QString description =
            in_file ? in_file_descriptions[index] : (in_history ? history_state.description : QString());
        records << Change_Record(THistoryRecord::Changed_Outside, description, in_history, history_state,
                                 in_file, file_state);
    }
    return records;
}

QStringList Reconciliation_Messages(const QVector<THistoryRecord>& records, bool recorded)
{
    QStringList messages;
    int first_seen = 0;
    for (const THistoryRecord& record : records)
    {
        if (record.action == THistoryRecord::First_Seen)
        {
            ++first_seen;
        }
        else if (record.action == THistoryRecord::Not_Saved)
        {
            messages << QString(
                            "WAR  The change of record %1 of the calibration history ('%2') never reached "
                            "the calibration file%3")
                            .arg(QString::number(record.marks), record.description,
                                 recorded ? QString("; the record is marked as not saved.") : QString("."));
        }
        else
        {
            messages << QString("WAR  Thermometer '%1' was changed outside Velmora: %2.%3")
                            .arg(record.description, History_Change_Text(record),
                                 recorded ? QString(" The change is recorded in the calibration history.")
                                          : QString());
        }
    }
    if (first_seen > 0 && recorded)
    {
        messages.prepend(
            QString("INF  Calibration history started: %1 thermometer(s) recorded as first seen.")
                .arg(first_seen));
    }
    return messages;
}

QVector<THistoryRecord> Not_Saved_Records(const QVector<THistoryRecord>& records)
{
    QVector<THistoryRecord> marks;
    for (const THistoryRecord& record : records)
    {
        THistoryRecord mark = Change_Record(THistoryRecord::Not_Saved, record.description, false,
                                            THistoryState(), false, THistoryState());
        mark.marks = record.number;
        marks << mark;
    }
    return marks;
}

bool Append_History(const QString& file_name, QVector<THistoryRecord> records, THistoryContent* content,
                    QString* error)
{
    if (records.isEmpty())
    {
        return true;
    }
    const QString time = Log_Date_Time_Text(TClock::Now());
    const QString user = Account_Name();
    const QString host = QSysInfo::machineHostName();
    QByteArray head = content->head_hash;
    QByteArray lines;
    for (int index = 0; index < records.size(); ++index)
    {
        THistoryRecord& record = records[index];
        record.number = content->line_count + index + 1;
        record.time = time;
        record.user = user;
        record.host = host;
        record.previous_hash = head;
        const QByteArray line = Record_Line(record);
        record.hash = Sha256_Hex(line);
        head = record.hash;
        lines += line + '\n';
    }

    // Unbuffered, so that a short write shows at once; the records count only once the disk holds them,
    // since the calibration file is saved after them.
    QFile file(file_name);
    const qint64 start = content->complete_size;
    QString reason;
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
    {
        reason = file.errorString();
    }
    else if (file.size() > start && !file.resize(start))
    {
        reason = file.errorString();
    }
    else if (!file.seek(start) || !Write_All(&file, lines))
    {
        reason = file.errorString();
    }
    else
    {
        Sync_To_Disk(&file, &reason);
    }
    if (!reason.isEmpty())
    {
        // Part of a record would break the chain for good: the file goes back to how it was.
        if (file.isOpen() && file.size() > start)
        {
            file.resize(start);
        }
        *error = QString("Cannot write calibration history '%1': %2")
                     .arg(QDir::toNativeSeparators(file_name),
                          reason.isEmpty() ? QString("unknown error") : reason);
        return false;
    }
    content->records += records;
    content->line_count += records.size();
    content->complete_size = start + lines.size();
    content->head_hash = head;
    content->incomplete_last_line = false;
    return true;
}

QStringList History_Chain_Warnings(const QString& file_name, const THistoryContent& content)
{
    QStringList messages;
    const QString name = QDir::toNativeSeparators(file_name);
    if (content.first_break > 0)
    {
        messages << QString("WAR  Calibration history '%1': record %2 does not fit the chain (%3); a record "
                            "was changed, inserted or deleted there.")
                        .arg(name, QString::number(content.first_break), content.break_reason);
    }
    if (content.incomplete_last_line)
    {
        messages << QString(
                        "WAR  Calibration history '%1': its last line is incomplete, a write cut off by a "
                        "crash or a full disk; it is no record and is dropped at the next change.")
                        .arg(name);
    }
    return messages;
}

QString History_Action_Text(THistoryRecord::TAction action)
{
    return QString::fromLatin1(Action_Texts[qBound(0, int(action), Action_Count - 1)]);
}

QString History_Change_Text(const THistoryRecord& record)
{
    if (record.action == THistoryRecord::Not_Saved)
    {
        return QString("the change of record %1 never reached the calibration file").arg(record.marks);
    }
    if (!record.has_before || !record.has_after)
    {
        if (!record.has_before && !record.has_after)
        {
            return QString();
        }
        return record.has_before ? State_Text(record.before) + " -> none"
                                 : "none -> " + State_Text(record.after);
    }
    QStringList changes;
    const THistoryState& before = record.before;
    const THistoryState& after = record.after;
    if (before.description != after.description)
    {
        changes << QString("description '%1' -> '%2'").arg(before.description, after.description);
    }
    if (before.due_date != after.due_date)
    {
        changes << QString("due date %1 -> %2")
                       .arg(Due_Date_Shown(before.due_date), Due_Date_Shown(after.due_date));
    }
    for (int point = 0; point < 3; ++point)
    {
        if (before.points[point] != after.points[point])
        {
            changes << QString("point %1 %2 -> %3")
                           .arg(QString::number(point + 1), before.points[point], after.points[point]);
        }
    }
    return changes.isEmpty() ? QString("no difference") : changes.join("; ");
}

QString History_Csv(const QVector<THistoryRecord>& records)
{
    const auto text_field = Csv_Text_Field;
    QString csv = "Record,Time,User,Host,Action,Thermometer,Change,"
                  "Due Date Before,Point 1 Before,Point 2 Before,Point 3 Before,Checksum Before,"
                  "Due Date After,Point 1 After,Point 2 After,Point 3 After,Checksum After,"
                  "Marks Record,Previous SHA-256,SHA-256\n";
    for (const THistoryRecord& record : records)
    {
        QStringList fields = {QString::number(record.number),
                              text_field(record.time),
                              text_field(record.user),
                              text_field(record.host),
                              History_Action_Text(record.action),
                              text_field(record.description),
                              text_field(History_Change_Text(record))};
        for (const auto& [has_state, state] :
             {std::pair<bool, THistoryState>(record.has_before, record.before),
              {record.has_after, record.after}})
        {
            const THistoryState shown = has_state ? state : THistoryState();
            fields << text_field(shown.due_date) << text_field(shown.points[0]) << text_field(shown.points[1])
                   << text_field(shown.points[2]) << text_field(shown.checksum);
        }
        fields << (record.marks > 0 ? QString::number(record.marks) : QString())
               << text_field(QString::fromLatin1(record.previous_hash)) << QString::fromLatin1(record.hash);
        csv += fields.join(',') + '\n';
    }
    return csv;
}
