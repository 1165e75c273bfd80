#ifndef REPORTS_H
#define REPORTS_H

#include "message.h"
#include "thermometercorrection.h"

#include <QDate>
#include <QString>
#include <QVector>

// Both reports refuse ranges that no calibration has (a damaged file can hold any numbers);
// error receives the error saying why.
bool Is_Evaluation_Range_Usable(const TThermometerCorrection& correction, TMessage* error);
QString Corrections_Report(const QString& description, const QDate& due_date,
                           const TThermometerCorrection& correction);
// One set of the uncertainty report: its number, the offsets given to test points 1 to 3 and the
// correction fitted through the shifted points.
struct TShiftedSet
{
    qint64 number;
    double offsets[3];
    TThermometerCorrection correction;
};
// The report's 57 sets in its order, set 0 (the correction itself) first. The correction view's
// uncertainty band is drawn from the same sets.
QVector<TShiftedSet> Uncertainty_Shifted_Sets(const TThermometerCorrection& correction, double uncertainty);
// Why text is no calibration uncertainty for the uncertainty report ("the calibration uncertainty
// 1 is outside 0 to below 1."); empty, with *value set, when it is one: a number from 0 to below 1.
QString Uncertainty_Problem(const QString& text, double* value);
QString Uncertainty_Report(const QString& description, const QDate& due_date,
                           const TThermometerCorrection& correction, double uncertainty);

// Writes a report to file_name; false, with error receiving the error saying why, when it was
// not written completely.
bool Write_Report_File(const QString& file_name, const QString& content, TMessage* error);

#endif // REPORTS_H
