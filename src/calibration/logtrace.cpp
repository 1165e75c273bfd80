#include "logtrace.h"

#include "thermometerdata.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>

namespace
{

// The columns of the audit layout.
enum TAuditColumn
{
    Date_Time_Field,
    Description_Field,
    Thermometer_Field,
    First_Corrected_Field,
    First_Meter_Field = First_Corrected_Field + 4,
    Record_Field = First_Meter_Field + 4,
    Flags_Field
};

const char* const Axis_Names[] = {"X", "Y", "Z", "Part"};
// The digits of a record's hash that a log entry names it by.
constexpr int Record_Hash_Start = 12;

// A calibration as a record's after state gives it, read as a load reads the calibration file.
struct TRecordedCalibration
{
    QDate due_date;
    TThermometerCorrection correction;
};

TRecordedCalibration Recorded_Calibration(const THistoryState& state)
{
    TRecordedCalibration calibration;
    calibration.due_date = QDate::fromString(state.due_date, Qt::ISODate);
    TVector2 points[3];
    for (int point = 0; point < 3; ++point)
    {
        Read_Stored_Point(state.points[point], &points[point]);
    }
    calibration.correction.Set_Points(points[0], points[1], points[2]);
    return calibration;
}

qint64 Time_Msecs(const QString& text, bool* ok)
{
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    *ok = time.isValid();
    return *ok ? time.toMSecsSinceEpoch() : 0;
}

// What tracing needs of the history, made once for all the log's entries.
class THistoryIndex
{
public:
    explicit THistoryIndex(const THistoryContent& history) : history(history)
    {
        by_hash.reserve(history.records.size());
        times.reserve(history.records.size());
        for (int index = 0; index < history.records.size(); ++index)
        {
            by_hash.insert(history.records[index].hash.left(Record_Hash_Start), index);
            bool ok = false;
            times << Time_Msecs(history.records[index].time, &ok);
        }
        in_force = Calibrations_In_Force(history);
    }

    // The index of the record whose hash begins with hash_start; -1 when the history has none. Found by
    // its hash, not its number: a line lost before it moves it, but it stays the record it was.
    int Record_Index(const QByteArray& hash_start) const { return by_hash.value(hash_start, -1); }

    // The index of the record whose calibration was in force for the thermometer of key at time; -1 for
    // none (never given, removed, or the history began again). The history is appended in time order
    // under the lock, so the causes of a thermometer are in time order.
    int In_Force(const QString& key, qint64 time, bool* found) const
    {
        const auto changes = in_force.constFind(key);
        *found = false;
        if (changes == in_force.constEnd())
        {
            return -1;
        }
        const auto after = std::upper_bound(
            changes->cbegin(), changes->cend(), time,
            [this](qint64 value, const TCalibrationInForce& change) { return value < times[change.cause]; });
        if (after == changes->cbegin())
        {
            return -1;
        }
        *found = true;
        return (after - 1)->record;
    }

    const TRecordedCalibration& Calibration(int index)
    {
        auto cached = calibrations.find(index);
        if (cached == calibrations.end())
        {
            cached = calibrations.insert(index, Recorded_Calibration(history.records[index].after));
        }
        return *cached;
    }

    const THistoryContent& history;

private:
    QHash<QByteArray, int> by_hash;
    QVector<qint64> times;
    QHash<QString, QVector<TCalibrationInForce>> in_force;
    QHash<int, TRecordedCalibration> calibrations;
};

QStringList Entry_Problems(const TLogRow& row, THistoryIndex* index)
{
    const QStringList& fields = row.fields;
    if (fields.size() != Temperature_Log_Columns(TLogLayout::Audit))
    {
        return {
            QString("%1 fields, not %2").arg(fields.size()).arg(Temperature_Log_Columns(TLogLayout::Audit))};
    }
    const QString record_text = fields[Record_Field];
    if (record_text.isEmpty())
    {
        return {"names no calibration record"};
    }
    int number = 0;
    QByteArray hash_start;
    if (!Read_Calibration_Record_Text(record_text, &number, &hash_start))
    {
        return {QString("calibration record '%1' is no record number and hash").arg(record_text)};
    }
    const int record_index = index->Record_Index(hash_start);
    if (record_index < 0)
    {
        return {QString("record %1 is not in the calibration history").arg(record_text)};
    }
    const THistoryRecord& record = index->history.records[record_index];
    if (!record.has_after)
    {
        return {QString("record %1 gives no calibration").arg(record_text)};
    }
    QStringList problems;
    const QString key = TThermometerList::Lookup_Key(fields[Thermometer_Field]);
    if (key != TThermometerList::Lookup_Key(record.after.description))
    {
        problems << QString("record %1 is of thermometer '%2'").arg(record_text, record.after.description);
    }
    bool time_ok = false;
    const qint64 time = Time_Msecs(fields[Date_Time_Field], &time_ok);
    if (!time_ok)
    {
        problems << QString("date and time '%1' cannot be read").arg(fields[Date_Time_Field]);
    }
    else
    {
        bool found = false;
        const int in_force = index->In_Force(key, time, &found);
        if (in_force != record_index)
        {
            problems << (in_force >= 0
                             ? QString("record %1 was not in force at %2: record %3 was")
                                   .arg(record_text, fields[Date_Time_Field],
                                        Calibration_Record_Text(index->history.records[in_force].number,
                                                                index->history.records[in_force].hash))
                             : QString("record %1 was not in force at %2: no calibration of '%3' was")
                                   .arg(record_text, fields[Date_Time_Field], fields[Thermometer_Field]));
        }
    }
    // Recomputed as the window computed it, from what the record holds, on the entry's day.
    const TRecordedCalibration& calibration = index->Calibration(record_index);
    TEntryCalibration entry;
    entry.thermometer_selected = true;
    entry.today = QDate::fromString(fields[Date_Time_Field].left(10), Qt::ISODate);
    entry.due_date = calibration.due_date;
    entry.in_calibration = calibration.due_date.isValid() && entry.today.isValid() &&
                           entry.today.toJulianDay() < calibration.due_date.toJulianDay();
    entry.correction = calibration.correction;
    entry.has_record = true;
    const QStringList axis_texts = fields.mid(First_Corrected_Field, 4);
    const QStringList meter_texts = fields.mid(First_Meter_Field, 4);
    bool values_match = true;
    for (int axis = 0; axis < 4; ++axis)
    {
        const QString& logged = axis_texts[axis];
        const QString& meter_text = meter_texts[axis];
        if (logged.isEmpty() && meter_text.isEmpty())
        {
            continue;
        }
        const QString recomputed =
            logged.isEmpty() ? QString()
                             : Corrected_Reading_Text(meter_text, entry.in_calibration, entry.correction);
        if (logged != recomputed || meter_text.isEmpty())
        {
            values_match = false;
            problems << QString("%1 '%2' logged for meter reading '%3', '%4' recomputed")
                            .arg(Axis_Names[axis], logged, meter_text, recomputed);
        }
    }
    // The flags say nothing new where a value already differs.
    if (values_match)
    {
        const QString flags = Audit_Flags(axis_texts, meter_texts, entry).join("; ");
        if (flags != fields[Flags_Field])
        {
            problems << QString("flags '%1' logged, '%2' recomputed").arg(fields[Flags_Field], flags);
        }
    }
    return problems;
}

} // namespace

TTraceResult Trace_Temperature_Log(const QVector<TLogRow>& rows, const THistoryContent& history)
{
    TTraceResult result;
    THistoryIndex index(history);
    for (const TLogRow& row : rows)
    {
        if (row.is_header)
        {
            continue;
        }
        if (row.layout != TLogLayout::Audit)
        {
            ++result.untraced;
            continue;
        }
        ++result.traced;
        const QStringList problems = Entry_Problems(row, &index);
        if (!problems.isEmpty())
        {
            TTraceMismatch mismatch;
            mismatch.line = row.line;
            mismatch.thermometer = row.fields.value(Thermometer_Field);
            mismatch.record = row.fields.value(Record_Field);
            mismatch.problems = problems;
            result.mismatches << mismatch;
        }
    }
    return result;
}
