#include "calibrationstatus.h"

#include "datetext.h"
#include "thermometerdata.h"

#include <algorithm>
#include <cmath>

namespace
{

// Readings this far beyond the reference temperatures are extrapolated, not interpolated.
const double Range_Margin = 1.0;

QString Days_Text(qint64 days)
{
    return days == 1 ? QStringLiteral("1 day") : QString("%1 days").arg(days);
}

bool Is_Finite(const TVector2& point)
{
    return std::isfinite(point.x) && std::isfinite(point.y);
}

// Typed values such as 16.10 - 15.10 come out a hair above 1: only what is beyond by more counts.
const double Limit_Tolerance = 1e-9;

bool Is_Beyond(double value, double limit)
{
    return std::fabs(value) > limit + Limit_Tolerance;
}

// With two decimals, or as many more as it takes not to look like the limit itself ("1.00 °C, more
// than 1 °C").
QString Beyond_Limit_Text(double value, double limit)
{
    QString text;
    for (int decimals = 2; decimals <= 5; ++decimals)
    {
        text = QString::number(value, 'f', decimals);
        if (std::fabs(text.toDouble()) != limit)
        {
            break;
        }
    }
    return text;
}

QString Temperature_Text(double value)
{
    return QString::fromUtf8("%1 \u00b0C").arg(value, 0, 'f', 2);
}

} // namespace

TCalibrationState Calibration_State(const QDate& due_date, const QDate& today, int warn_days,
                                    const TThermometerCorrection& correction)
{
    // The same comparison as the corrected display: valid only while today lies before the due date.
    const qint64 days_left = due_date.isValid() ? today.daysTo(due_date) : 0;
    if (days_left <= 0)
    {
        return TCalibrationState::Out_Of_Calibration;
    }
    if (!correction.Is_Valid())
    {
        return TCalibrationState::Correction_Not_Usable;
    }
    if (!Doubt_Reasons(due_date, today, correction).isEmpty())
    {
        return TCalibrationState::Doubtful;
    }
    if (days_left <= warn_days)
    {
        return TCalibrationState::Due_Soon;
    }
    return TCalibrationState::In_Calibration;
}

bool Is_Due_Within(const QDate& due_date, const QDate& today, int warn_days)
{
    const qint64 days_left = due_date.isValid() ? today.daysTo(due_date) : 0;
    return days_left > 0 && days_left <= warn_days;
}

TCalibrationState Thermometer_State(const TThermometerList& list, const QString& description,
                                    const QDate& today, int warn_days)
{
    return Calibration_State(list.Get_Calibration_Due_Date(description), today, warn_days,
                             list.Get_Correction(description));
}

QString Calibration_State_Text(TCalibrationState state)
{
    switch (state)
    {
    case TCalibrationState::In_Calibration:
        return QStringLiteral("In calibration");
    case TCalibrationState::Due_Soon:
        return QStringLiteral("Due soon");
    case TCalibrationState::Doubtful:
        return QStringLiteral("Doubtful");
    case TCalibrationState::Out_Of_Calibration:
        return QStringLiteral("Out of calibration");
    case TCalibrationState::Correction_Not_Usable:
        return QStringLiteral("Correction not usable");
    }
    return QString();
}

QString Calibration_State_Icon(TCalibrationState state)
{
    switch (state)
    {
    case TCalibrationState::In_Calibration:
        return QStringLiteral(":/gui/calibration_ok_icon16.png");
    case TCalibrationState::Due_Soon:
        return QStringLiteral(":/gui/calibration_due_icon16.png");
    case TCalibrationState::Doubtful:
        return QStringLiteral(":/gui/calibration_doubtful_icon16.png");
    case TCalibrationState::Out_Of_Calibration:
        return QStringLiteral(":/gui/calibration_expired_icon16.png");
    case TCalibrationState::Correction_Not_Usable:
        return QStringLiteral(":/gui/calibration_unusable_icon16.png");
    }
    return QString();
}

QString Days_Left_Text(const QDate& due_date, const QDate& today)
{
    if (!due_date.isValid())
    {
        return QStringLiteral("no due date");
    }
    const qint64 days_left = today.daysTo(due_date);
    if (days_left == 0)
    {
        return QStringLiteral("due today");
    }
    return days_left > 0 ? "in " + Days_Text(days_left) : Days_Text(-days_left) + " overdue";
}

QString Calibrated_Range_Text(const TThermometerCorrection& correction)
{
    return QString::fromUtf8("%1 to %2 \u00b0C")
        .arg(correction.Get_Point1().x, 0, 'f', 2)
        .arg(correction.Get_Point3().x, 0, 'f', 2);
}

QString Correction_Problem(const TThermometerCorrection& correction)
{
    if (correction.Is_Valid())
    {
        return QString();
    }
    if (!Is_Finite(correction.Get_Point1()) || !Is_Finite(correction.Get_Point2()) ||
        !Is_Finite(correction.Get_Point3()))
    {
        return QStringLiteral("a test point is not a number");
    }
    if (correction.Get_Point3().x - correction.Get_Point1().x < 1.0)
    {
        return QStringLiteral("test points span less than one degree");
    }
    return QStringLiteral("two test points share a reference temperature");
}

QString Calibration_Tooltip(const QDate& due_date, const QDate& today, int warn_days,
                            const TThermometerCorrection& correction, const QString& review)
{
    const TCalibrationState state = Calibration_State(due_date, today, warn_days, correction);
    QString tooltip = Calibration_State_Text(state);
    if (state == TCalibrationState::Correction_Not_Usable)
    {
        tooltip += ": " + Correction_Problem(correction);
    }
    if (state == TCalibrationState::Doubtful)
    {
        tooltip += (Is_Due_Within(due_date, today, warn_days) ? " and due soon: " : ": ") +
                   Doubt_Reasons(due_date, today, correction);
        if (!review.isEmpty())
        {
            tooltip += "\nReviewed " + review;
        }
    }
    tooltip += due_date.isValid()
                   ? QString("\nDue %1: %2").arg(Due_Date_Text(due_date), Days_Left_Text(due_date, today))
                   : QStringLiteral("\nNo due date");
    return tooltip + "\nCalibrated range " + Calibrated_Range_Text(correction);
}

TMessages Calibration_Warning(const QString& description, const QDate& due_date, const QDate& today,
                              int warn_days, const TThermometerCorrection& correction, bool doubt_reviewed)
{
    const QString due_soon = QString("is due for calibration %1 (%2).")
                                 .arg(Days_Left_Text(due_date, today), Due_Date_Text(due_date));
    switch (Calibration_State(due_date, today, warn_days, correction))
    {
    case TCalibrationState::In_Calibration:
        return TMessages();
    case TCalibrationState::Due_Soon:
        return {TMessage::Warning(QString("Thermometer '%1' %2").arg(description, due_soon))};
    case TCalibrationState::Doubtful:
    {
        const bool soon = Is_Due_Within(due_date, today, warn_days);
        if (doubt_reviewed)
        {
            // Reviewed, the doubt no longer alarms; the due date still does.
            return soon ? TMessages{TMessage::Warning(
                              QString("Thermometer '%1' %2").arg(description, due_soon))}
                        : TMessages();
        }
        const bool points = !Implausibility(correction).isEmpty();
        const bool date = Is_Due_Date_Implausible(due_date, today);
        const QString what = points && date ? QString("test points and its due date")
                             : points       ? QString("test points")
                                            : QString("due date");
        return {TMessage::Warning(QString("Thermometer '%1' is doubtful: %2. Check its %3.%4")
                                      .arg(description, Doubt_Reasons(due_date, today, correction), what,
                                           soon ? " It " + due_soon : QString()))};
    }
    case TCalibrationState::Out_Of_Calibration:
        return {due_date.isValid()
                    ? TMessage::Warning(QString("Thermometer '%1' is out of calibration since %2.")
                                            .arg(description, Due_Date_Text(due_date)))
                    : TMessage::Warning(
                          QString("Thermometer '%1' is out of calibration: no due date.").arg(description))};
    case TCalibrationState::Correction_Not_Usable:
        return {TMessage::Warning(QString("Thermometer '%1' cannot correct readings: %2.")
                                      .arg(description, Correction_Problem(correction)))};
    }
    return TMessages();
}

TMessages Thermometer_Warnings(const TThermometerList& list, const QString& description, const QDate& today,
                               int warn_days, bool doubt_reviewed)
{
    return Calibration_Warning(description, list.Get_Calibration_Due_Date(description), today, warn_days,
                               list.Get_Correction(description), doubt_reviewed);
}

TMessages Calibration_Warnings(const TThermometerList& list, const QDate& today, int warn_days,
                               const QSet<QString>& reviewed_doubts)
{
    TMessages warnings;
    for (const QString& description : list.Get_Descriptions())
    {
        warnings << Thermometer_Warnings(list, description, today, warn_days,
                                         reviewed_doubts.contains(TThermometerList::Lookup_Key(description)));
    }
    return warnings;
}

QString Not_Corrected_Reason(const QString& meter_text, bool thermometer_selected, bool in_calibration,
                             const QDate& due_date, const TThermometerCorrection& correction)
{
    if (!thermometer_selected)
    {
        return QStringLiteral("no thermometer selected");
    }
    if (!in_calibration)
    {
        return due_date.isValid() ? "out of calibration since " + Due_Date_Text(due_date)
                                  : QStringLiteral("out of calibration: no due date");
    }
    if (!correction.Is_Valid())
    {
        return "test points unusable: " + Correction_Problem(correction);
    }
    // The same conversion as the display, which also refuses "inf" and "nan".
    bool is_number = false;
    const double reading = meter_text.toDouble(&is_number);
    if (is_number && std::isfinite(reading))
    {
        // So far beyond the calibrated range that the curve overflows.
        const TVector2 deviation = correction.Evaluate_Point(reading);
        return std::isfinite(deviation.x - deviation.y)
                   ? QString()
                   : QString("%1 is too far outside the calibrated range to be corrected")
                         .arg(meter_text.trimmed());
    }
    if (meter_text.trimmed().isEmpty())
    {
        return QStringLiteral("no reading typed");
    }
    if (meter_text.contains(','))
    {
        return QString("\"%1\" is not a number (use a full stop)").arg(meter_text);
    }
    return QString("\"%1\" is not a number").arg(meter_text);
}

TMessages Not_Corrected_Entry_Warning(const QStringList& axes, const QStringList& reasons)
{
    Q_ASSERT_X(axes.size() == reasons.size(), "Not_Corrected_Entry_Warning", "reasons");
    // Reasons in the order of their first axis, each with all its axes.
    QStringList distinct_reasons;
    QList<QStringList> axes_by_reason;
    for (int index = 0; index < axes.size(); ++index)
    {
        if (reasons[index].isEmpty())
        {
            continue;
        }
        const int known = distinct_reasons.indexOf(reasons[index]);
        if (known < 0)
        {
            distinct_reasons << reasons[index];
            axes_by_reason << QStringList(axes[index]);
        }
        else
        {
            axes_by_reason[known] << axes[index];
        }
    }
    if (distinct_reasons.isEmpty())
    {
        return TMessages();
    }
    QStringList parts;
    for (int index = 0; index < distinct_reasons.size(); ++index)
    {
        parts << QString("%1: %2").arg(axes_by_reason[index].join(", "), distinct_reasons[index]);
    }
    return {TMessage::Warning(QString("Entry written with \"-----\" for %1.").arg(parts.join("; ")))};
}

TMessages Outside_Range_Entry_Warning(const QStringList& axes, const TThermometerCorrection& correction)
{
    if (axes.isEmpty())
    {
        return TMessages();
    }
    return {TMessage::Warning(
        QString("Entry written with extrapolated values for %1: outside the calibrated range %2.")
            .arg(axes.join(", "), Calibrated_Range_Text(correction)))};
}

bool Is_Outside_Calibrated_Range(double reading, const TThermometerCorrection& correction)
{
    // How far beyond the nearer end, negative inside: one comparison decides both ends alike, with the
    // same tolerance for typed values that come out a hair beyond (16.37 - 15.37 is 1.0000000000000018).
    const double temperature = Corrected_Temperature(correction, reading);
    const double beyond =
        std::max(correction.Get_Point1().x - temperature, temperature - correction.Get_Point3().x);
    return beyond > Range_Margin + Limit_Tolerance;
}

namespace
{

// The difference with the temperature it occurs at, when it is stated; 0 otherwise.
double Stated_Difference(const TThermometerCorrection& correction, double* at_temperature)
{
    const double difference = Largest_Model_Difference(correction, at_temperature);
    return difference > Stated_Model_Difference ? difference : 0.0;
}

QString Difference_Text(double difference)
{
    return QString::fromUtf8("%1 \u00b0C").arg(difference, 0, 'f', 3);
}

} // namespace

QString Model_Difference_Note(const TThermometerCorrection& correction)
{
    double at_temperature = 0.0;
    const double difference = Stated_Difference(correction, &at_temperature);
    if (difference == 0.0)
    {
        return QString();
    }
    return QString("corrections take the deviation at the reading, so within the calibrated range a "
                   "corrected value differs from the exact inverse of the calibration by up to %1 (at %2)")
        .arg(Difference_Text(difference), Temperature_Text(at_temperature));
}

QString Model_Difference_Text(const TThermometerCorrection& correction)
{
    double at_temperature = 0.0;
    const double difference = Stated_Difference(correction, &at_temperature);
    return difference == 0.0 ? QString() : Difference_Text(difference);
}

bool Parse_Warn_Days(const QString& text, int* days, QString* reason)
{
    Q_ASSERT_X(days != nullptr, "Parse_Warn_Days", "days");
    Q_ASSERT_X(reason != nullptr, "Parse_Warn_Days", "reason");
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
    {
        *reason = QString("Type the number of days, 0 to %1.").arg(Maximum_Warn_Days_Before_Due);
        return false;
    }
    bool is_number = false;
    const qlonglong value = trimmed.toLongLong(&is_number);
    if (!is_number)
    {
        *reason = QString("\"%1\" is not a whole number of days.").arg(trimmed);
        return false;
    }
    if (value < 0 || value > Maximum_Warn_Days_Before_Due)
    {
        *reason = QString("%1 days is outside 0 to %2.").arg(trimmed).arg(Maximum_Warn_Days_Before_Due);
        return false;
    }
    *days = int(value);
    return true;
}

QString Implausibility(const TThermometerCorrection& correction)
{
    if (!correction.Is_Valid())
    {
        return QString();
    }
    const QString limit_text = QString::fromUtf8("%1 \u00b0C").arg(Plausible_Deviation_Limit);
    QStringList problems;
    for (const TVector2& point : {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()})
    {
        if (Is_Beyond(point.y, Plausible_Deviation_Limit))
        {
            problems << QString::fromUtf8("the test point at %1 deviates by %2 \u00b0C, more than %3")
                            .arg(Temperature_Text(point.x),
                                 Beyond_Limit_Text(point.y, Plausible_Deviation_Limit), limit_text);
        }
    }
    if (!problems.isEmpty())
    {
        return problems.join("; ");
    }
    // The slope of a parabola changes linearly, so it is steepest at one end of the range.
    for (const double t : {correction.Get_Point1().x, correction.Get_Point3().x})
    {
        const double slope = 2.0 * correction.Get_A() * t + correction.Get_B();
        if (Is_Beyond(slope, Plausible_Slope_Limit))
        {
            return QString::fromUtf8("the deviation changes by %1 \u00b0C per \u00b0C at %2, more than %3 "
                                     "\u00b0C per \u00b0C")
                .arg(Beyond_Limit_Text(slope, Plausible_Slope_Limit), Temperature_Text(t))
                .arg(Plausible_Slope_Limit);
        }
    }
    return QString();
}

bool Is_Due_Date_Implausible(const QDate& due_date, const QDate& today)
{
    return due_date.isValid() && due_date > today.addYears(Plausible_Due_Years);
}

QString Doubt_Reasons(const QDate& due_date, const QDate& today, const TThermometerCorrection& correction)
{
    QStringList reasons;
    const QString implausibility = Implausibility(correction);
    if (!implausibility.isEmpty())
    {
        reasons << implausibility;
    }
    if (Is_Due_Date_Implausible(due_date, today))
    {
        reasons << QString("the due date %1 is more than %2 years ahead")
                       .arg(Due_Date_Text(due_date))
                       .arg(Plausible_Due_Years);
    }
    return reasons.join("; ");
}

TMessages Report_Warnings(const QString& description, const QDate& due_date, const QDate& today,
                          const TThermometerCorrection& correction)
{
    TMessages warnings;
    const QString written = QString("Report written for thermometer '%1', ").arg(description);
    switch (Calibration_State(due_date, today, 0, correction))
    {
    case TCalibrationState::In_Calibration:
    case TCalibrationState::Due_Soon:
        break;
    case TCalibrationState::Doubtful:
        warnings << TMessage::Warning(
            written + "which is doubtful: " + Doubt_Reasons(due_date, today, correction) + ".");
        break;
    case TCalibrationState::Out_Of_Calibration:
        warnings << TMessage::Warning(
            written + (due_date.isValid()
                           ? "which is out of calibration since " + Due_Date_Text(due_date) + "."
                           : QString("which is out of calibration: no due date.")));
        break;
    case TCalibrationState::Correction_Not_Usable:
        warnings << TMessage::Warning(
            written + "whose correction is not usable: " + Correction_Problem(correction) + ".");
        break;
    }
    const QString model_difference = Model_Difference_Note(correction);
    if (!model_difference.isEmpty())
    {
        warnings << TMessage::Warning(written + "where " + model_difference + ".");
    }
    return warnings;
}
