#ifndef LOGTRACE_H
#define LOGTRACE_H

#include "calibrationhistory.h"
#include "temperaturelog.h"

#include <QString>
#include <QVector>

// A line of a temperature log that does not match the calibration history.
struct TTraceMismatch
{
    // The line the entry begins on, counted from 1 as an editor counts lines.
    int line = 0;
    // The entry's thermometer and calibration record as logged.
    QString thermometer;
    QString record;
    // What does not match, one text each: "X 20.37 logged, 20.36 recomputed", "record 12:... is not in
    // the history", ...
    QStringList problems;
};

// What tracing a whole log found.
struct TTraceResult
{
    // The entries with audit columns, each traced; the entries without them, which cannot be.
    int traced = 0;
    int untraced = 0;
    QVector<TTraceMismatch> mismatches;
};

// Traces every entry with audit columns in rows against a whole history: the record it names must be in
// the history (number and hash), give a calibration of the entry's thermometer, and be the calibration
// Calibrations_In_Force puts in force for that thermometer at the entry's date and time; each logged
// value must be what Corrected_Reading_Text makes of the logged meter reading with that calibration,
// judged in calibration on the entry's day as the window judges it, and the flags what Audit_Flags
// gives. An entry that names no record is a mismatch: it cannot be traced.
TTraceResult Trace_Temperature_Log(const QVector<TLogRow>& rows, const THistoryContent& history);

#endif // LOGTRACE_H
