#include "calibrationhistory.h"

#include "clock.h"
#include "csvtext.h"
#include "datetext.h"
#include "durablefile.h"
#include "platform.h"
#include "thermometerdata.h"
#include "timetext.h"
#include "xmlscreen.h"

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
#include <cstring>

namespace
{

const char* const Action_Texts[] = {
    "added",     "changed", "removed",      "first seen", "changed outside Velmora",
    "not saved", "saved",   "history lost", "reviewed"};
constexpr int Action_Count = int(sizeof(Action_Texts) / sizeof(Action_Texts[0]));
const QByteArray First_Previous_Hash(64, '0');
// A record is a few hundred bytes; a line far longer is no record, and is not parsed.
constexpr int Longest_Record_Line = 1 << 20;
// Fewer bytes than the keys every record has ("action", "after", "before", ... with their quotes).
constexpr int Shortest_Record_Line = 64;
// The same bound as for the calibration file: a history this large is not one Velmora wrote.
constexpr qint64 Largest_History_File = qint64(256) << 20;

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
    if (record.action == THistoryRecord::Not_Saved || record.action == THistoryRecord::Saved)
    {
        object["marks"] = record.marks;
    }
    if (record.action == THistoryRecord::History_Lost)
    {
        object["anchor_records"] = record.anchor_records;
        object["anchor_sha256"] = QString::fromLatin1(record.anchor_hash);
    }
    if (record.action == THistoryRecord::Reviewed)
    {
        object["reviews"] = record.reviews;
        object["reviews_sha256"] = QString::fromLatin1(record.reviews_hash);
        object["finding"] = record.finding;
        object["comment"] = record.comment;
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
    if (ok && (record.action == THistoryRecord::Not_Saved || record.action == THistoryRecord::Saved))
    {
        record.marks = object.value("marks").toInt(0);
        ok = record.marks > 0;
    }
    if (ok && record.action == THistoryRecord::History_Lost)
    {
        record.anchor_records = object.value("anchor_records").toInt(0);
        record.anchor_hash = Text_Field(object, "anchor_sha256", &ok).toLatin1();
        ok = ok && record.anchor_records > 0;
    }
    if (ok && record.action == THistoryRecord::Reviewed)
    {
        record.reviews = object.value("reviews").toInt(0);
        record.reviews_hash = Text_Field(object, "reviews_sha256", &ok).toLatin1();
        record.finding = Text_Field(object, "finding", &ok);
        record.comment = Text_Field(object, "comment", &ok);
        ok = ok && record.reviews > 0;
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

bool Is_Change(THistoryRecord::TAction action)
{
    return action == THistoryRecord::Added || action == THistoryRecord::Changed ||
           action == THistoryRecord::Removed;
}

bool Is_Mark(THistoryRecord::TAction action)
{
    return action == THistoryRecord::Not_Saved || action == THistoryRecord::Saved;
}

// The description of the thermometer a record is about: that of its after state, else of its before
// state; empty when it holds neither. Its "thermometer" field only names it for a reader.
QString Record_Key_Description(const THistoryRecord& record)
{
    return record.has_after    ? record.after.description
           : record.has_before ? record.before.description
                               : QString();
}

// Makes *text share other's characters when both say the same: the records of one history repeat their
// writer, time and hashes line after line, and each would otherwise hold a copy of its own. An empty
// text is left alone, as a null one compares equal to it.
template <typename TText> void Share_Equal(TText* text, const TText& other)
{
    if (!other.isEmpty() && !text->isSharedWith(other) && *text == other)
    {
        *text = other;
    }
}

// A record read holds what the one before it, or the record itself, already says once.
void Share_Repeated_Texts(THistoryRecord* record, const THistoryRecord* previous, const QByteArray& head_hash)
{
    Share_Equal(&record->previous_hash, head_hash);
    Share_Equal(&record->after.description, record->description);
    Share_Equal(&record->before.description, record->description);
    if (previous != nullptr)
    {
        Share_Equal(&record->time, previous->time);
        Share_Equal(&record->user, previous->user);
        Share_Equal(&record->host, previous->host);
    }
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

// Whether a state-carrying record holds the states its action has: an addition or first sighting
// only an after state, a removal only a before state, a change both.
bool Fits_Action(const THistoryRecord& record)
{
    switch (record.action)
    {
    case THistoryRecord::Added:
    case THistoryRecord::First_Seen:
        return !record.has_before && record.has_after;
    case THistoryRecord::Removed:
        return record.has_before && !record.has_after;
    case THistoryRecord::Changed:
        return record.has_before && record.has_after;
    default:
        return true;
    }
}

// What the records say, read in order: the state each thermometer (by lookup key) has in the
// calibration file after them, the changes not yet settled, the losses recorded and the records that
// contradict themselves.
struct TRecordedStates
{
    QHash<QString, THistoryState> states;
    // The index of the last record about each thermometer.
    QHash<QString, int> last_record;
    // By index: the thermometer the record is about; empty for none, and for a record that can describe
    // none.
    QVector<QString> keys;
    // The indexes of changes that no mark and no later record of their thermometer settles.
    QSet<int> open;
    // The anchors History_Lost records name ("<records>:<hash>").
    QSet<QByteArray> lost_anchors;
    int damaged = 0;
    int first_damaged = 0;
    QString damage;

    QVector<THistoryDamage> damaged_list;

    void Damaged(const THistoryRecord& record, const QString& why)
    {
        if (damaged++ == 0)
        {
            first_damaged = record.number;
            damage = why;
        }
        damaged_list.append({record.number, why});
    }
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

// What the history lost of the records the calibration file was saved after, when it holds held
// complete lines.
QString Loss_Text(int anchor_records, const QByteArray& anchor_hash, int held)
{
    const QString anchor = QString("the calibration file was saved after its record %1 (SHA-256 %2)")
                               .arg(QString::number(anchor_records), QString::fromLatin1(anchor_hash));
    if (held <= 0)
    {
        return QString("it is missing or empty, but %1: %2 record(s) are missing")
            .arg(anchor, QString::number(anchor_records));
    }
    if (held < anchor_records)
    {
        return QString("it ends at record %1, but %2: %3 record(s) are missing")
            .arg(QString::number(held), anchor, QString::number(anchor_records - held));
    }
    return QString("its record %1 is not the one the calibration file was saved after (SHA-256 %2): the "
                   "history was replaced, or changed up to that record")
        .arg(QString::number(anchor_records), QString::fromLatin1(anchor_hash));
}

QByteArray Anchor_Key(int records, const QByteArray& hash)
{
    return QByteArray::number(records) + ':' + hash;
}

void Read_Mark(const QVector<THistoryRecord>& records, int index, const QHash<int, int>& index_by_number,
               TRecordedStates* recorded)
{
    const THistoryRecord& mark = records[index];
    const int marked = index_by_number.value(mark.marks, -1);
    if (marked < 0 || !Is_Change(records[marked].action) || recorded->keys[marked].isEmpty())
    {
        recorded->Damaged(mark,
                          QString("it marks record %1, which is no change of a thermometer").arg(mark.marks));
        return;
    }
    const THistoryRecord& change = records[marked];
    const QString& key = recorded->keys[marked];
    if (!recorded->open.contains(marked))
    {
        // A second mark, or one after a later record of the thermometer: the first word stands.
        recorded->Damaged(mark, QString("record %1, which it marks, was settled before").arg(mark.marks));
        return;
    }
    if (mark.description != Record_Key_Description(change))
    {
        recorded->Damaged(
            mark, QString("its thermometer '%1' is not the one record %2 is about, '%3'")
                      .arg(mark.description, QString::number(mark.marks), Record_Key_Description(change)));
    }
    else if (mark.has_before || mark.has_after)
    {
        recorded->Damaged(mark,
                          QString("a '%1' record holds no state").arg(History_Action_Text(mark.action)));
    }
    recorded->open.remove(marked);
    // The file still holds what it held before the change.
    if (mark.action == THistoryRecord::Not_Saved && recorded->last_record.value(key, -1) == marked)
    {
        if (change.has_before && TThermometerList::Lookup_Key(change.before.description) == key)
        {
            recorded->states.insert(key, change.before);
        }
        else
        {
            recorded->states.remove(key);
        }
    }
}

void Read_State_Record(const THistoryRecord& record, int index, TRecordedStates* recorded)
{
    const QString description = Record_Key_Description(record);
    // No thermometer of a calibration file has such a description: the record can be about none.
    if (description.isEmpty() || !Is_Xml_Text(description))
    {
        recorded->Damaged(record, "it describes no thermometer that a calibration file can hold");
        return;
    }
    const QString key = TThermometerList::Lookup_Key(description);
    recorded->keys[index] = key;
    if (record.has_before && record.has_after &&
        TThermometerList::Lookup_Key(record.before.description) != key)
    {
        recorded->Damaged(record, QString("its states describe two thermometers, '%1' and '%2'")
                                      .arg(record.before.description, description));
    }
    else if (record.description != description)
    {
        recorded->Damaged(record, QString("its thermometer '%1' is not the one its states describe, '%2'")
                                      .arg(record.description, description));
    }
    else if (!Fits_Action(record))
    {
        recorded->Damaged(
            record, QString("its states do not fit its action '%1'").arg(History_Action_Text(record.action)));
    }
    // What the file holds after it follows from its states, whatever else it says.
    const int previous = recorded->last_record.value(key, -1);
    if (previous >= 0)
    {
        recorded->open.remove(previous); // a later record of the thermometer settles it
    }
    if (Is_Change(record.action))
    {
        recorded->open.insert(index);
    }
    if (record.has_after)
    {
        recorded->states.insert(key, record.after);
    }
    else
    {
        recorded->states.remove(key);
    }
    recorded->last_record.insert(key, index);
}

TRecordedStates Recorded_States(const QVector<THistoryRecord>& records)
{
    TRecordedStates recorded;
    recorded.keys.resize(records.size());
    QHash<int, int> index_by_number;
    index_by_number.reserve(records.size());
    for (int index = 0; index < records.size(); ++index)
    {
        const THistoryRecord& record = records[index];
        index_by_number.insert(record.number, index);
        if (record.action == THistoryRecord::History_Lost)
        {
            // What follows begins again from the calibration file; nothing before it is open.
            recorded.states.clear();
            recorded.last_record.clear();
            recorded.open.clear();
            recorded.lost_anchors.insert(Anchor_Key(record.anchor_records, record.anchor_hash));
            if (record.has_before || record.has_after)
            {
                recorded.Damaged(record, "a 'history lost' record holds no state");
            }
        }
        else if (Is_Mark(record.action))
        {
            Read_Mark(records, index, index_by_number, &recorded);
        }
        else if (record.action == THistoryRecord::Reviewed)
        {
            // A review changes nothing the file holds; it only has to say what it reviews.
            if (record.has_before || record.has_after)
            {
                recorded.Damaged(record, "a 'reviewed' record holds no state");
            }
            else if (record.reviews >= record.number)
            {
                recorded.Damaged(
                    record,
                    QString("it reviews record %1, which does not come before it").arg(record.reviews));
            }
            else if (record.comment.trimmed().isEmpty())
            {
                recorded.Damaged(record, "a 'reviewed' record has no comment");
            }
        }
        else
        {
            Read_State_Record(record, index, &recorded);
        }
    }
    return recorded;
}

// The calibrations the records put in force (see Calibrations_In_Force), read in order as
// Recorded_States reads them, and the changes no mark and no later record of their thermometer settles.
struct TCalibrationsInForce
{
    QHash<QString, QVector<TCalibrationInForce>> by_key;
    QSet<int> open;
};

TCalibrationsInForce Read_Calibrations_In_Force(const QVector<THistoryRecord>& records)
{
    TCalibrationsInForce in_force;
    QHash<int, int> index_by_number;
    index_by_number.reserve(records.size());
    QHash<QString, int> last_record;
    for (int index = 0; index < records.size(); ++index)
    {
        const THistoryRecord& record = records[index];
        index_by_number.insert(record.number, index);
        if (record.action == THistoryRecord::History_Lost)
        {
            // What follows begins again from the calibration file.
            for (auto key = in_force.by_key.begin(); key != in_force.by_key.end(); ++key)
            {
                if (key->last().record >= 0)
                {
                    key->append({index, -1});
                }
            }
            last_record.clear();
            in_force.open.clear();
            continue;
        }
        if (Is_Mark(record.action))
        {
            // The first mark of an open change settles it; any other is damage, which the checks name.
            const int marked = index_by_number.value(record.marks, -1);
            if (marked < 0 || !in_force.open.remove(marked))
            {
                continue;
            }
            // Never in the file, so never in force: an open change is the last record of its thermometer.
            if (record.action == THistoryRecord::Not_Saved)
            {
                QVector<TCalibrationInForce>& changes =
                    in_force.by_key[TThermometerList::Lookup_Key(Record_Key_Description(records[marked]))];
                if (!changes.isEmpty() && changes.last().cause == marked)
                {
                    changes.removeLast();
                }
            }
            continue;
        }
        const QString description = Record_Key_Description(record);
        if (description.isEmpty() || !Is_Xml_Text(description))
        {
            continue;
        }
        const QString key = TThermometerList::Lookup_Key(description);
        const int previous = last_record.value(key, -1);
        if (previous >= 0)
        {
            in_force.open.remove(previous);
        }
        if (Is_Change(record.action))
        {
            in_force.open.insert(index);
        }
        last_record.insert(key, index);
        in_force.by_key[key].append({index, record.has_after ? index : -1});
    }
    return in_force;
}

// Velmora writes each record as compact JSON with its keys in Qt's order, so that the head of its line
// says what it is: {"action":"...","after":STATE,"before":STATE,... with each STATE null or
// {"checksum":"...","description":"...","due_date":"...","point1":"...","point2":"...","point3":"..."}.
// For a line of exactly that form without an escape or a repeated key, *action receives the action
// and *description the description of the state the record is about (empty when it holds none).
// False for any other line, which only a parse can judge.
class TLineHead
{
public:
    explicit TLineHead(const QByteArray& line) : bytes(line.constData()), size(line.size()) {}

    bool Read(int* action, QByteArray* description)
    {
        static const char* const forbidden[] = {"\"action\":", "\"after\":", "\"before\":"};
        if (!Literal("{\"action\":\"") || std::memchr(bytes, '\\', size_t(size)) != nullptr)
        {
            return false;
        }
        const int action_start = position;
        if (!Value())
        {
            return false;
        }
        const int length = position - 1 - action_start;
        *action = -1;
        for (int index = 0; index < Action_Count; ++index)
        {
            if (int(std::strlen(Action_Texts[index])) == length &&
                std::memcmp(bytes + action_start, Action_Texts[index], size_t(length)) == 0)
            {
                *action = index;
            }
        }
        if (*action < 0)
        {
            return false;
        }
        // Every record has both states, a mark's null; a damaged mark may hold one that a parse reads.
        QByteArray after;
        QByteArray before;
        bool has_after = false;
        bool has_before = false;
        if (!Literal(",\"after\":") || !State(&has_after, &after) || !Literal(",\"before\":") ||
            !State(&has_before, &before))
        {
            return false;
        }
        // A key repeated further on would replace what was read here.
        const QByteArray rest = QByteArray::fromRawData(bytes + position, size - position);
        for (const char* key : forbidden)
        {
            if (rest.contains(key))
            {
                return false;
            }
        }
        *description = has_after ? after : before;
        return true;
    }

private:
    bool Literal(const char* text)
    {
        const int length = int(std::strlen(text));
        if (size - position < length || std::memcmp(bytes + position, text, size_t(length)) != 0)
        {
            return false;
        }
        position += length;
        return true;
    }
    // A text value whose opening quote was read; ends after its closing quote.
    bool Value(QByteArray* value = nullptr)
    {
        const void* const quote = std::memchr(bytes + position, '"', size_t(size - position));
        if (quote == nullptr)
        {
            return false;
        }
        const int end = int(static_cast<const char*>(quote) - bytes);
        if (value != nullptr)
        {
            *value = QByteArray(bytes + position, end - position);
        }
        position = end + 1;
        return true;
    }
    bool State(bool* has_state, QByteArray* description)
    {
        *has_state = !Literal("null");
        if (!*has_state)
        {
            return true;
        }
        return Literal("{\"checksum\":\"") && Value() && Literal(",\"description\":\"") &&
               Value(description) && Literal(",\"due_date\":\"") && Value() && Literal(",\"point1\":\"") &&
               Value() && Literal(",\"point2\":\"") && Value() && Literal(",\"point3\":\"") && Value() &&
               Literal("}");
    }

    const char* const bytes;
    const int size;
    int position = 0;
};

// The byte offset of the first of the changes (Added, Changed, Removed) that the complete lines end
// with; complete_size when the last line is none. A line whose head does not read as one of another
// action is taken as a change: a change that may be open is read rather than passed over.
int Open_Changes_Start(const QByteArray& bytes, int complete_size)
{
    int start = complete_size;
    while (start > 0)
    {
        // A negative start would search from the end.
        const int line_start = start >= 2 ? bytes.lastIndexOf('\n', start - 2) + 1 : 0;
        int action = -1;
        QByteArray description;
        const QByteArray line =
            QByteArray::fromRawData(bytes.constData() + line_start, start - 1 - line_start);
        if (TLineHead(line).Read(&action, &description) && !Is_Change(THistoryRecord::TAction(action)))
        {
            break;
        }
        start = line_start;
    }
    return start;
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
    const QString file_name = info.fileName();
    QString history_name;
    if (file_name == "calibration_data.xml")
    {
        history_name = "calibration_history.jsonl";
    }
    else if (info.suffix() == "xml" && !info.completeBaseName().isEmpty() &&
             info.completeBaseName() != "calibration")
    {
        history_name = info.completeBaseName() + "_history.jsonl";
    }
    else
    {
        // Ends in ".history.jsonl", which no name above does.
        history_name = file_name + ".history.jsonl";
    }
    return info.absolutePath() + "/" + history_name;
}

THistoryContent Read_History(const QByteArray& bytes, THistoryCheck check, const QStringList& about,
                             int anchor_line)
{
    const int last_line_end = bytes.lastIndexOf('\n');
    const bool whole = check == THistoryCheck::Whole_Chain;
    QSet<QString> wanted_keys;
    for (const QString& description : whole ? QStringList() : about)
    {
        wanted_keys.insert(TThermometerList::Lookup_Key(description));
    }
    THistoryContent content;
    content.head_hash = First_Previous_Hash;
    content.anchor_line = anchor_line;
    // The changes the history ends with may be open: each is read.
    const int open_start = whole ? 0 : Open_Changes_Start(bytes, last_line_end + 1);
    content.open_from = 0;
    // A whole read keeps nearly every line: room for all at once, rather than growing by copies of all.
    // No record is shorter than its keys, so lines too short for one reserve nothing.
    if (whole)
    {
        content.records.reserve(
            int(std::min<qint64>(bytes.count('\n'), bytes.size() / Shortest_Record_Line)));
    }
    int start = 0;
    while (start < bytes.size())
    {
        const int end = bytes.indexOf('\n', start);
        if (end < 0)
        {
            content.incomplete_last_line = true;
            break;
        }
        const QByteArray line = QByteArray::fromRawData(bytes.constData() + start, end - start);
        const int number = ++content.line_count;
        content.complete_size = end + 1;
        if (start >= open_start && content.open_from == 0)
        {
            content.open_from = number;
        }
        // Parsing is most of the rest. For an append, a line in Velmora's form is parsed only when it
        // may matter: a record of a thermometer asked about, a Not_Saved or History_Lost record (which
        // change what the history says), or one of the open changes at the end. A Saved mark before
        // those settles a change that is settled anyway.
        if (!whole && end != last_line_end && start < open_start)
        {
            int action = -1;
            QByteArray description;
            // A mark is about no thermometer: one with a state is damaged, and parsed.
            const auto about_others = [&] {
                return !description.isEmpty() &&
                       !wanted_keys.contains(TThermometerList::Lookup_Key(QString::fromUtf8(description)));
            };
            if (TLineHead(line).Read(&action, &description) &&
                (action == THistoryRecord::Saved
                     ? description.isEmpty()
                     : (Is_Change(THistoryRecord::TAction(action)) || action == THistoryRecord::First_Seen ||
                        action == THistoryRecord::Changed_Outside) &&
                           about_others()))
            {
                if (number == anchor_line)
                {
                    content.anchor_line_hash = Sha256_Hex(line);
                }
                start = end + 1;
                continue;
            }
        }
        QString why;
        THistoryRecord record = Parse_Record(line, &why);
        const bool is_record = why.isEmpty();
        if (is_record)
        {
            Share_Repeated_Texts(&record, content.records.isEmpty() ? nullptr : &content.records.constLast(),
                                 content.head_hash);
        }
        if (is_record && record.number != number)
        {
            why = QString("it is numbered %1").arg(record.number);
        }
        else if (is_record && whole && record.previous_hash != content.head_hash)
        {
            why = number == 1 ? QString("it does not begin the chain")
                              : QString("it does not follow record %1").arg(number - 1);
        }
        // Hashing is most of the cost of a read: an append needs only the last line's and the anchor's.
        if (whole || end == last_line_end || number == anchor_line)
        {
            record.hash = Sha256_Hex(line);
        }
        if (!why.isEmpty())
        {
            if (content.first_break == 0)
            {
                content.first_break = number;
                content.break_reason = why;
            }
            content.breaks.append({number, why, record.hash});
        }
        if (whole || end == last_line_end)
        {
            content.head_hash = record.hash;
        }
        if (number == anchor_line)
        {
            content.anchor_line_hash = record.hash;
        }
        // A record out of place still tells what happened; only a line that is no record is left out.
        if (is_record)
        {
            record.number = number;
            content.records.append(record);
        }
        start = end + 1;
    }
    if (content.open_from == 0)
    {
        content.open_from = content.line_count + 1;
    }
    return content;
}

bool Read_History_Bytes(const QString& file_name, QByteArray* bytes, QString* error)
{
    *bytes = QByteArray();
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
        *bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
        {
            return true;
        }
        *bytes = QByteArray();
        reason = file.errorString();
    }
    *error =
        QString("Cannot read calibration history '%1': %2").arg(QDir::toNativeSeparators(file_name), reason);
    return false;
}

bool Read_History_File(const QString& file_name, THistoryContent* content, QString* error,
                       THistoryCheck check, const QStringList& about, int anchor_line)
{
    QByteArray bytes;
    if (!Read_History_Bytes(file_name, &bytes, error))
    {
        *content = Read_History(QByteArray());
        return false;
    }
    *content = Read_History(bytes, check, about, anchor_line);
    return true;
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

THistoryComparison Compare_History(const THistoryContent& content, const TThermometerList& list,
                                   bool complete, const QStringList* only)
{
    THistoryComparison comparison;
    QVector<THistoryRecord>& records = comparison.records;
    const TRecordedStates recorded = Recorded_States(content.records);
    comparison.damaged_records = recorded.damaged;
    comparison.first_damaged = recorded.first_damaged;
    comparison.damage = recorded.damage;
    comparison.damaged = recorded.damaged_list;
    const QStringList descriptions = list.Get_Descriptions();
    const auto first_seen = [&] {
        // A record of every thermometer: room for all at once, rather than growing by copies of all.
        records.reserve(records.size() + descriptions.size());
        for (const QString& description : descriptions)
        {
            records << Change_Record(THistoryRecord::First_Seen, description, false, THistoryState(), true,
                                     History_State(list, description));
        }
    };

    // The file was saved after the anchor's record: a history without that record lost it, unless a
    // record of that loss is there already.
    const THistoryAnchor& anchor = list.Get_History_Anchor();
    Q_ASSERT_X(!anchor.Is_Set() || content.anchor_line == anchor.records, "Compare_History",
               "the history was read without hashing the anchor's line");
    if (anchor.Is_Set() && content.anchor_line == anchor.records &&
        content.anchor_line_hash != anchor.last_record_hash &&
        !recorded.lost_anchors.contains(Anchor_Key(anchor.records, anchor.last_record_hash)))
    {
        THistoryRecord lost = Change_Record(THistoryRecord::History_Lost, QString(), false, THistoryState(),
                                            false, THistoryState());
        lost.anchor_records = anchor.records;
        lost.anchor_hash = anchor.last_record_hash;
        records << lost;
        first_seen();
        return comparison;
    }
    // A file that had no history: what it holds is where the history begins.
    if (content.line_count == 0 && !content.incomplete_last_line)
    {
        first_seen();
        return comparison;
    }

    // Every open change is settled by what the file holds now, whichever thermometers are compared.
    QList<int> open = recorded.open.values();
    std::sort(open.begin(), open.end());
    QSet<QString> settled_keys;
    for (const int index : open)
    {
        const THistoryRecord& change = content.records[index];
        if (change.number < content.open_from)
        {
            continue;
        }
        const QString& key = recorded.keys[index];
        const QString description = Record_Key_Description(change);
        const QString stored_description = list.Get_Stored_Description(description);
        const bool in_file = !stored_description.isNull();
        // Left out of an incomplete load, it may still be in the file: that cannot settle it.
        if (!in_file && !complete)
        {
            continue;
        }
        const THistoryState file_state = in_file ? History_State(list, description) : THistoryState();
        const auto holds = [&](bool has_state, const THistoryState& state) {
            return has_state ? in_file && state == file_state : !in_file;
        };
        if (holds(change.has_after, change.after))
        {
            records << Mark_Records({change}, THistoryRecord::Saved);
        }
        else if (holds(change.has_before && TThermometerList::Lookup_Key(change.before.description) == key,
                       change.before))
        {
            records << Mark_Records({change}, THistoryRecord::Not_Saved);
        }
        else
        {
            records << Change_Record(THistoryRecord::Changed_Outside,
                                     in_file ? stored_description : description, change.has_after,
                                     change.after, in_file, file_state);
        }
        settled_keys.insert(key);
    }

    QSet<QString> only_keys;
    for (const QString& description : only != nullptr ? *only : QStringList())
    {
        only_keys.insert(TThermometerList::Lookup_Key(description));
    }
    const auto compared = [&](const QString& key) {
        return (only == nullptr || only_keys.contains(key)) && !settled_keys.contains(key);
    };
    // The thermometers in the file first, then those the history has and the file lacks.
    QSet<QString> file_keys;
    for (const QString& description : descriptions)
    {
        const QString key = TThermometerList::Lookup_Key(description);
        file_keys.insert(key);
        if (!compared(key))
        {
            continue;
        }
        const THistoryState file_state = History_State(list, description);
        const auto state = recorded.states.constFind(key);
        const bool in_history = state != recorded.states.constEnd();
        if (!in_history || *state != file_state)
        {
            records << Change_Record(THistoryRecord::Changed_Outside, description, in_history,
                                     in_history ? *state : THistoryState(), true, file_state);
        }
    }
    if (complete)
    {
        for (const QString& key : recorded.Keys_In_Order())
        {
            const auto state = recorded.states.constFind(key);
            if (state != recorded.states.constEnd() && !file_keys.contains(key) && compared(key))
            {
                records << Change_Record(THistoryRecord::Changed_Outside, state->description, true, *state,
                                         false, THistoryState());
            }
        }
    }
    return comparison;
}

QHash<QString, QVector<TCalibrationInForce>> Calibrations_In_Force(const THistoryContent& content)
{
    return Read_Calibrations_In_Force(content.records).by_key;
}

TStateDigest History_State_Digest(const THistoryState& state)
{
    QCryptographicHash digest(QCryptographicHash::Md5);
    // What operator== compares, each text with its length first, so that no two states run together
    // alike.
    for (const QString* text :
         {&state.description, &state.due_date, &state.points[0], &state.points[1], &state.points[2]})
    {
        const quint32 length = quint32(text->size());
        digest.addData(QByteArray::fromRawData(reinterpret_cast<const char*>(&length), int(sizeof(length))));
        digest.addData(QByteArray::fromRawData(reinterpret_cast<const char*>(text->constData()),
                                               int(text->size()) * int(sizeof(QChar))));
    }
    const QByteArray result = digest.result();
    TStateDigest kept;
    std::copy_n(result.constData(), kept.size(), kept.begin());
    return kept;
}

TCalibrationRecord Calibration_Record_Of(const THistoryRecord& record)
{
    TCalibrationRecord kept;
    kept.number = record.number;
    kept.action = record.action;
    const QByteArray hash = QByteArray::fromHex(record.hash);
    std::copy_n(hash.constData(), std::min<qint64>(hash.size(), qint64(kept.hash_bytes.size())),
                kept.hash_bytes.begin());
    kept.after = History_State_Digest(record.after);
    return kept;
}

QHash<QString, TCalibrationRecord> Calibration_Records(const THistoryContent& content,
                                                       const TThermometerList& list)
{
    const TCalibrationsInForce in_force = Read_Calibrations_In_Force(content.records);
    QHash<QString, TCalibrationRecord> records;
    records.reserve(in_force.by_key.size());
    for (const QString& description : list.Get_Descriptions())
    {
        const QString key = TThermometerList::Lookup_Key(description);
        const auto found = in_force.by_key.constFind(key);
        if (found == in_force.by_key.constEnd() || found->isEmpty())
        {
            continue;
        }
        const THistoryState state = History_State(list, description);
        // A change not yet marked may still be on its way to the file, or never have reached it.
        const int last = found->size() - 1;
        const int first = last > 0 && in_force.open.contains(found->at(last).cause) ? last - 1 : last;
        for (int candidate = last; candidate >= first; --candidate)
        {
            const int record = found->at(candidate).record;
            if (record >= 0 && content.records[record].after == state)
            {
                // The key in force's own text: one copy of it for the records kept.
                records.insert(found.key(), Calibration_Record_Of(content.records[record]));
                break;
            }
        }
    }
    return records;
}

bool History_Agrees(const THistoryContent& content, const THistoryComparison& comparison)
{
    if (content.first_break != 0 || content.incomplete_last_line || comparison.damaged_records > 0)
    {
        return false;
    }
    return std::all_of(
        comparison.records.cbegin(), comparison.records.cend(), [](const THistoryRecord& record) {
            return record.action == THistoryRecord::Saved || record.action == THistoryRecord::First_Seen;
        });
}

TMessages History_Comparison_Messages(const QString& history_file_name, const THistoryContent& content,
                                      const THistoryComparison& comparison, bool recorded)
{
    const QString name = QDir::toNativeSeparators(history_file_name);
    TMessages messages = History_Chain_Warnings(history_file_name, content);
    if (comparison.damaged_records > 0)
    {
        messages << TMessage::Warning(
            QString("Calibration history '%1': record %2 is damaged: %3.%4")
                .arg(name, QString::number(comparison.first_damaged), comparison.damage,
                     comparison.damaged_records == 1 ? QString()
                                                     : QString(" %1 more record(s) are damaged as well.")
                                                           .arg(comparison.damaged_records - 1)));
    }
    TMessages findings;
    int first_seen = 0;
    QVector<THistoryRecord> saved;
    for (const THistoryRecord& record : comparison.records)
    {
        switch (record.action)
        {
        case THistoryRecord::History_Lost:
            messages << TMessage::Warning(
                QString("Calibration history '%1': %2.%3")
                    .arg(name, Loss_Text(record.anchor_records, record.anchor_hash, content.line_count),
                         recorded ? QString(" It begins again from the calibration file, after a "
                                            "record of the loss.")
                                  : QString()));
            break;
        case THistoryRecord::First_Seen:
            ++first_seen;
            break;
        case THistoryRecord::Saved:
            saved << record;
            break;
        case THistoryRecord::Not_Saved:
            findings << TMessage::Warning(
                QString("The change of record %1 of the calibration history ('%2') never reached "
                        "the calibration file%3")
                    .arg(QString::number(record.marks), record.description,
                         recorded ? QString("; the record is marked as not saved.") : QString(".")));
            break;
        default:
            findings << TMessage::Warning(
                QString("Thermometer '%1' was changed outside Velmora: %2.%3")
                    .arg(record.description, History_Change_Text(record),
                         recorded ? QString(" The change is recorded in the calibration history.")
                                  : QString()));
            break;
        }
    }
    // Neither is a finding: said only of what was recorded.
    if (first_seen > 0 && recorded)
    {
        messages << TMessage::Info(
            QString("Calibration history started: %1 thermometer(s) recorded as first seen.")
                .arg(first_seen));
    }
    if (saved.size() == 1 && recorded)
    {
        messages << TMessage::Info(
            QString("The change of record %1 of the calibration history ('%2') reached the "
                    "calibration file; the record is marked as saved.")
                .arg(QString::number(saved[0].marks), saved[0].description));
    }
    else if (saved.size() > 1 && recorded)
    {
        messages << TMessage::Info(
            QString("The changes of %1 records of the calibration history reached the calibration "
                    "file; the records are marked as saved.")
                .arg(saved.size()));
    }
    return messages + findings;
}

QVector<THistoryRecord> Mark_Records(const QVector<THistoryRecord>& records, THistoryRecord::TAction mark)
{
    QVector<THistoryRecord> marks;
    for (const THistoryRecord& record : records)
    {
        const QString description = Record_Key_Description(record);
        THistoryRecord marking = Change_Record(mark, description.isEmpty() ? record.description : description,
                                               false, THistoryState(), false, THistoryState());
        marking.marks = record.number;
        marks << marking;
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

    // The records count only once the disk holds them, since the calibration file is saved after them;
    // part of a record would break the chain for good.
    const qint64 start = content->complete_size;
    QString reason;
    if (!Append_Whole_Lines(file_name, lines, &reason, start))
    {
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

TMessages History_Chain_Warnings(const QString& file_name, const THistoryContent& content)
{
    TMessages messages;
    const QString name = QDir::toNativeSeparators(file_name);
    if (content.first_break > 0)
    {
        messages << TMessage::Warning(
            QString("Calibration history '%1': record %2 does not fit the chain (%3); a record "
                    "was changed, inserted or deleted there.")
                .arg(name, QString::number(content.first_break), content.break_reason));
    }
    if (content.incomplete_last_line)
    {
        messages << TMessage::Warning(
            QString("Calibration history '%1': its last line is incomplete, a write cut off by a "
                    "crash or a full disk; it is no record and is dropped at the next change.")
                .arg(name));
    }
    return messages;
}

QString History_Action_Text(THistoryRecord::TAction action)
{
    return QString::fromLatin1(Action_Texts[qBound(0, int(action), Action_Count - 1)]);
}

bool Is_Found_Record(THistoryRecord::TAction action)
{
    return action == THistoryRecord::First_Seen || action == THistoryRecord::Changed_Outside ||
           Is_Mark(action) || action == THistoryRecord::History_Lost;
}

QString History_Writer_Text(const THistoryRecord& record)
{
    return QString("%1 on %2").arg(record.user, record.host);
}

QString History_Writer_Text()
{
    THistoryRecord record;
    record.user = Account_Name();
    record.host = QSysInfo::machineHostName();
    return History_Writer_Text(record);
}

QVector<QString> History_Record_Thermometers(const QVector<THistoryRecord>& records)
{
    QVector<QString> thermometers(records.size());
    QHash<int, int> index_by_number;
    index_by_number.reserve(records.size());
    for (int index = 0; index < records.size(); ++index)
    {
        const THistoryRecord& record = records[index];
        index_by_number.insert(record.number, index);
        // Marks and reviews name only earlier records, so theirs is known by then.
        const int named = Is_Mark(record.action)                      ? record.marks
                          : record.action == THistoryRecord::Reviewed ? record.reviews
                                                                      : 0;
        if (record.has_before || record.has_after)
        {
            thermometers[index] = Record_Key_Description(record);
        }
        else if (named > 0 && index_by_number.value(named, index) != index)
        {
            thermometers[index] = thermometers[index_by_number.value(named)];
        }
        else if (record.action == THistoryRecord::Reviewed)
        {
            thermometers[index] = record.description;
        }
    }
    return thermometers;
}

QString History_Change_Text(const THistoryRecord& record)
{
    if (record.action == THistoryRecord::Not_Saved)
    {
        return QString("the change of record %1 never reached the calibration file").arg(record.marks);
    }
    if (record.action == THistoryRecord::Saved)
    {
        return QString("the change of record %1 reached the calibration file").arg(record.marks);
    }
    if (record.action == THistoryRecord::History_Lost)
    {
        // Written at the end of the history as it was, which then held the lines before it.
        return Loss_Text(record.anchor_records, record.anchor_hash, record.number - 1);
    }
    if (record.action == THistoryRecord::Reviewed)
    {
        return QString("reviewed the finding of record %1 (%2): %3")
            .arg(QString::number(record.reviews), record.finding, record.comment);
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
    QString csv = "Record,Time,User,Host,Found By,Action,Thermometer,Change,"
                  "Due Date Before,Point 1 Before,Point 2 Before,Point 3 Before,Checksum Before,"
                  "Due Date After,Point 1 After,Point 2 After,Point 3 After,Checksum After,"
                  "Marks Record,Reviews Record,Reviewed SHA-256,Previous SHA-256,SHA-256\n";
    for (const THistoryRecord& record : records)
    {
        // Who found an outside change did not make it: never in the columns of the author.
        const bool found = Is_Found_Record(record.action);
        QStringList fields = {QString::number(record.number),
                              text_field(record.time),
                              found ? QString() : text_field(record.user),
                              found ? QString() : text_field(record.host),
                              found ? text_field(History_Writer_Text(record)) : QString(),
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
               << (record.reviews > 0 ? QString::number(record.reviews) : QString())
               << text_field(QString::fromLatin1(record.reviews_hash))
               << text_field(QString::fromLatin1(record.previous_hash)) << QString::fromLatin1(record.hash);
        csv += fields.join(',') + '\n';
    }
    return csv;
}
