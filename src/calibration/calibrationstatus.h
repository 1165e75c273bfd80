#ifndef CALIBRATIONSTATUS_H
#define CALIBRATIONSTATUS_H

#include "message.h"
#include "thermometercorrection.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>

class TThermometerList;

// The calibration state of a thermometer as the operator sees it, and the words that explain a
// corrected field showing "-----". Dates are passed in, never taken from the clock here, so that
// every rule can be checked at its boundaries.

enum class TCalibrationState
{
    In_Calibration,
    // Due within the warning period, but its readings are still corrected.
    Due_Soon,
    // Corrects readings, but its calibration or its due date looks like a slip of the hand (see
    // Doubt_Reasons). Outranks Due_Soon: a thermometer due soon whose values look wrong is Doubtful.
    Doubtful,
    // Due date today or earlier, or no readable due date: readings are not corrected.
    Out_Of_Calibration,
    // The test points give no usable curve: readings are not corrected whatever the date.
    Correction_Not_Usable
};

const int Default_Warn_Days_Before_Due = 30;
const int Maximum_Warn_Days_Before_Due = 3650;

// The one statement of a thermometer's state: the selector's icon and tooltip, velmora-cli's list and
// check, the correction view and every warning about a state come from it. warn_days 0 turns the
// Due_Soon state off. Out of calibration outranks an unusable correction (a recalibration brings new
// test points anyway), and both outrank Doubtful, which outranks Due_Soon.
TCalibrationState Calibration_State(const QDate& due_date, const QDate& today, int warn_days,
                                    const TThermometerCorrection& correction);
// Whether the due date lies within the warning period and has not passed: what Due_Soon means, also for
// a Doubtful thermometer, which outranks it.
bool Is_Due_Within(const QDate& due_date, const QDate& today, int warn_days);
// The state of the thermometer of list that description finds (letter case ignored).
TCalibrationState Thermometer_State(const TThermometerList& list, const QString& description,
                                    const QDate& today, int warn_days);
// "In calibration", "Due soon", "Doubtful", "Out of calibration", "Correction not usable".
QString Calibration_State_Text(TCalibrationState state);
// The compiled-in 16 x 16 icon of the state.
QString Calibration_State_Icon(TCalibrationState state);

// "in 12 days", "due today", "3 days overdue"; "no due date" for a null date.
QString Days_Left_Text(const QDate& due_date, const QDate& today);
// "15.00 to 25.00 °C": the lowest to the highest reference temperature.
QString Calibrated_Range_Text(const TThermometerCorrection& correction);
// Why the test points give no curve; empty when they do.
QString Correction_Problem(const TThermometerCorrection& correction);

// The selector's tooltip for a thermometer: its state (for a Doubtful one why, and whether it is also
// due soon), review when a person has reviewed its doubtful calibration, the due date with the days left
// and the calibrated range.
QString Calibration_Tooltip(const QDate& due_date, const QDate& today, int warn_days,
                            const TThermometerCorrection& correction, const QString& review = QString());
// The warning for a thermometer that is due soon, doubtful, out of calibration or unusable; none
// otherwise. A doubtful one whose doubt a person reviewed (doubt_reviewed) no longer warns as doubtful,
// but still as due soon when it is.
TMessages Calibration_Warning(const QString& description, const QDate& due_date, const QDate& today,
                              int warn_days, const TThermometerCorrection& correction,
                              bool doubt_reviewed = false);

// Calibration_Warning of the thermometer of list that description finds.
TMessages Thermometer_Warnings(const TThermometerList& list, const QString& description, const QDate& today,
                               int warn_days, bool doubt_reviewed = false);
// The warnings logged at start-up: Thermometer_Warnings for every thermometer of list in its order;
// none when all are in calibration. reviewed_doubts holds the lookup keys (TThermometerList::Lookup_Key)
// of the thermometers whose doubtful calibration a person reviewed.
TMessages Calibration_Warnings(const TThermometerList& list, const QDate& today, int warn_days,
                               const QSet<QString>& reviewed_doubts = QSet<QString>());

// Why a corrected field shows "-----", in the order the display decides it; empty when the reading
// is corrected. in_calibration is the flag the display used, due_date the selected thermometer's.
QString Not_Corrected_Reason(const QString& meter_text, bool thermometer_selected, bool in_calibration,
                             const QDate& due_date, const TThermometerCorrection& correction);

// The warning for a temperature log entry that holds "-----": the axes grouped by their reason, in
// the order given. axes and reasons pair up; an axis with an empty reason is left out. None when no
// axis is left.
TMessages Not_Corrected_Entry_Warning(const QStringList& axes, const QStringList& reasons);

// The rules for values that are accepted but look like a slip of the hand; a real thermometer may
// be that far off, so they only make it Doubtful. Adjust them here. A calibration is doubtful when a test
// point deviates by more than Plausible_Deviation_Limit (in °C), or when its deviation curve changes by more
// than Plausible_Slope_Limit (°C per °C) anywhere within the calibrated range. A due date is doubtful
// more than Plausible_Due_Years ahead.
const double Plausible_Deviation_Limit = 1.0;
const double Plausible_Slope_Limit = 0.1;
const int Plausible_Due_Years = 10;

// Why the calibration is doubtful, naming test points by their reference temperature: "the test point
// at 20.00 °C deviates by -17.98 °C, more than 1 °C". The slope is only judged when every point is
// within the limit, since one wild point makes the curve steep as well. Empty for a plausible
// calibration and for one that gives no curve (Correction_Problem says why).
QString Implausibility(const TThermometerCorrection& correction);
bool Is_Due_Date_Implausible(const QDate& due_date, const QDate& today);
// Why a thermometer is Doubtful: Implausibility, then "the due date Dec 07 2072 is more than 10 years
// ahead", joined by "; ". Empty when neither rule holds. Whether it is Doubtful is Calibration_State's
// to say: an unusable correction or a due date passed outranks it.
QString Doubt_Reasons(const QDate& due_date, const QDate& today, const TThermometerCorrection& correction);
// The warnings after a report of a thermometer out of calibration, with an unusable correction, doubtful
// or with a model difference that is stated (Model_Difference_Note); none otherwise. The report itself is
// written as it always was.
TMessages Report_Warnings(const QString& description, const QDate& due_date, const QDate& today,
                          const TThermometerCorrection& correction);
// The warning for a temperature log entry holding readings corrected by extending the curve beyond
// the calibrated range (see Is_Outside_Calibrated_Range), naming their axes; none when there are none.
TMessages Outside_Range_Entry_Warning(const QStringList& axes, const TThermometerCorrection& correction);

// Whether the temperature a reading stands for, its corrected value, lies more than one degree beyond
// the lowest or the highest reference temperature, where the curve is extrapolated. The calibrated range
// is one of true temperatures: a probe reading 1.5 degrees high is still inside at a reading of 41.4 for
// a range ending at 40. Exactly one degree beyond is inside, at either end.
bool Is_Outside_Calibrated_Range(double reading, const TThermometerCorrection& correction);

// A correction takes the deviation at the reading, not at the temperature that the thermometer read,
// so within the calibrated range a corrected value differs from the exact inverse of the calibration
// by up to Largest_Model_Difference. That is stated wherever corrections are shown or tabulated once it
// exceeds Stated_Model_Difference, half the last digit the window shows.
const double Stated_Model_Difference = 0.005;
// "corrections take the deviation at the reading, so within the calibrated range a corrected value
// differs from the exact inverse of the calibration by up to 0.020 °C (at 25.00 °C)"; empty when the
// difference is not stated. The editor, the correction view and the reports' warning all say this.
QString Model_Difference_Note(const TThermometerCorrection& correction);
// The stated difference alone, "0.020 °C", for a column; empty when it is not stated.
QString Model_Difference_Text(const TThermometerCorrection& correction);

// A warning period typed by the operator: a whole number of days from 0 to 3650. On refusal reason
// says why and days is untouched.
bool Parse_Warn_Days(const QString& text, int* days, QString* reason);

#endif // CALIBRATIONSTATUS_H
