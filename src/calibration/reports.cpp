#include "reports.h"

#include "csvtext.h"
#include "datetext.h"
#include "durablefile.h"
#include "numbertext.h"

#include <QDir>
#include <QVector>

#include <cmath>

namespace
{

// Wider than any thermometer's calibration range. A damaged or hand-edited calibration file can hold
// any numbers, and the reports step through the range: far out, a step of 0.1 no longer changes t.
const double Maximum_Evaluation_Span = 10000.0;
const double Maximum_Evaluation_Temperature = 100000.0;

// The corrected value minus the reference, -d(t), as 'g' writes it with six significant digits, but
// rounded no finer than the place whose half unit covers the error bound: every digit written is right.
// That cuts digits only where the deviation is near zero, or for test points so close together that
// the curve's coefficients dwarf the deviation.
QString Deviation_Text(double deviation, double error_bound)
{
    const int significant_digits = 6;
    // A zero deviation is 0 whatever its sign bit.
    if (deviation == 0.0)
    {
        return QStringLiteral("0");
    }
    if (error_bound == 0.0 || !std::isfinite(deviation))
    {
        return QString("%1").arg(deviation, 0, 'g', significant_digits);
    }
    // Test points near the largest number: the bound itself overflowed.
    if (!std::isfinite(error_bound))
    {
        return QString("%1").arg(deviation, 0, 'g', 1);
    }
    // The finest decimal place p with half of 10^-p at least the bound, and the place of the leading digit.
    const int decimals = int(std::floor(-std::log10(2.0 * error_bound)));
    const int leading = int(std::floor(std::log10(std::fabs(deviation))));
    const int digits = leading + decimals + 1;
    if (digits >= significant_digits)
    {
        return QString("%1").arg(deviation, 0, 'g', significant_digits);
    }
    if (digits >= 1)
    {
        return QString("%1").arg(deviation, 0, 'g', digits);
    }
    // Below the first place that can be vouched for: 0, or one unit of that place.
    const double unit = std::pow(10.0, -decimals);
    return std::fabs(deviation) < unit / 2.0 ? QString("0")
                                             : QString("%1").arg(std::copysign(unit, deviation), 0, 'g', 1);
}

} // namespace

bool Is_Evaluation_Range_Usable(const TThermometerCorrection& correction, TMessage* error)
{
    Q_ASSERT_X(error != nullptr, "Is_Evaluation_Range_Usable", "error");
    const double start = std::floor(correction.Get_Point1().x);
    const double end = std::ceil(correction.Get_Point3().x);
    if (std::fabs(start) <= Maximum_Evaluation_Temperature &&
        std::fabs(end) <= Maximum_Evaluation_Temperature && end - start <= Maximum_Evaluation_Span)
    {
        return true;
    }
    *error = TMessage::Error(
        QString("Cannot evaluate the temperature range %1 to %2: it is not a calibration range.")
            .arg(correction.Get_Point1().x, 0, 'g', -1)
            .arg(correction.Get_Point3().x, 0, 'g', -1));
    return false;
}

QString Corrections_Report(const QString& description, const QDate& due_date,
                           const TThermometerCorrection& correction)
{
    QString report;
    report += QString("Thermometer:,%1\n").arg(Csv_Field(description));
    report += QString("Calibration Due:,%1\n").arg(Due_Date_Text(due_date));
    const TVector2 points[3] = {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()};
    for (int index = 0; index < 3; ++index)
    {
        report += QString("Point %1:,%2,%3\n")
                      .arg(index + 1)
                      .arg(Shown_Number_Text(points[index].x, 4), Shown_Number_Text(points[index].y, 4));
    }
    report += "Reference C,Corrected C,Deviation C\n";

    // The step is accumulated, not recomputed from a row number; the 0.001 margin keeps the last
    // whole degree although the repeated addition drifts. A row is evaluated at the temperature it
    // shows, not at the drifted sum: over a wide range the drift reaches the deviation's sixth digit.
    const double end = std::ceil(correction.Get_Point3().x) + 0.001;
    for (double t = std::floor(correction.Get_Point1().x); t < end; t += 0.1)
    {
        const QString reference_text = Shown_Number_Text(t, 4);
        const double reference = Decimal_Value(reference_text);
        const double deviation = correction.Evaluate_Point(reference).y;
        report += QString("%1,%2,%3\n")
                      .arg(reference_text, Shown_Number_Text(reference - deviation, 4),
                           Deviation_Text(-deviation, Deviation_Error_Bound(correction, reference)));
    }
    return report;
}

QVector<TShiftedSet> Uncertainty_Shifted_Sets(const TThermometerCorrection& correction, double uncertainty)
{
    const TVector2 points[3] = {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()};
    QVector<TShiftedSet> sets;
    for (qint64 set = 0; set < 64; ++set)
    {
        // Sets whose shift bits are all clear repeat set 0.
        if (set != 0 && (set & 7) == 0)
        {
            continue;
        }
        TShiftedSet shifted;
        shifted.number = set;
        for (int point = 0; point < 3; ++point)
        {
            const bool is_shifted = (set & (qint64(1) << point)) != 0;
            const bool is_negative = (set & (qint64(1) << (point + 3))) != 0;
            shifted.offsets[point] = is_shifted ? (is_negative ? 0.0 - uncertainty : 0.0 + uncertainty) : 0.0;
        }
        shifted.correction.Set_Points(TVector2(points[0].x, points[0].y + shifted.offsets[0]),
                                      TVector2(points[1].x, points[1].y + shifted.offsets[1]),
                                      TVector2(points[2].x, points[2].y + shifted.offsets[2]));
        sets.append(shifted);
    }
    return sets;
}

QString Uncertainty_Report(const QString& description, const QDate& due_date,
                           const TThermometerCorrection& correction, double uncertainty)
{
    QString report;
    report += QString("Thermometer:,%1\n").arg(Csv_Field(description));
    report += QString("Calibration Due:,%1,,,Temp. C ->\n").arg(Due_Date_Text(due_date));

    QVector<double> temperatures;
    const double end = std::ceil(correction.Get_Point3().x) + 0.001;
    for (double t = std::floor(correction.Get_Point1().x); t < end; t += 1.0)
    {
        temperatures.append(t);
    }

    report += "Set,Offset 1,Offset 2,Offset 3";
    for (double t : temperatures)
    {
        report += "," + Shown_Number_Text(t, 4);
    }
    report += "\n";

    for (const TShiftedSet& set : Uncertainty_Shifted_Sets(correction, uncertainty))
    {
        report += QString("%1,%2,%3,%4")
                      .arg(set.number)
                      .arg(Shown_Number_Text(set.offsets[0], 3), Shown_Number_Text(set.offsets[1], 3),
                           Shown_Number_Text(set.offsets[2], 3));
        for (double t : temperatures)
        {
            const TVector2 deviation = set.correction.Evaluate_Point(t);
            report += "," + Shown_Number_Text(t - deviation.y, 4);
        }
        report += "\n";
    }
    return report;
}

// QString::toDouble also accepts "inf" and "nan"; the range test refuses both.
QString Uncertainty_Problem(const QString& text, double* value)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
    {
        QString problem = QString("the calibration uncertainty \"%1\" is not a number.").arg(text);
        // A comma typed for the decimal separator, as many desktops' languages write it.
        QString with_point = text;
        with_point.replace(',', '.');
        bool point_ok = false;
        with_point.toDouble(&point_ok);
        if (text.contains(',') && point_ok)
        {
            problem += QString(" The decimal separator is a point: %1.").arg(with_point.trimmed());
        }
        return problem;
    }
    if (number < 0.0 || number >= 1.0)
    {
        return QString("the calibration uncertainty %1 is outside 0 to below 1.").arg(text.trimmed());
    }
    *value = number;
    return QString();
}

bool Write_Report_File(const QString& file_name, const QString& content, TMessage* error)
{
    Q_ASSERT_X(error != nullptr, "Write_Report_File", "error");
    // A failed write leaves the previous report as it was.
    QString reason;
    bool opened = false;
    if (!Write_Whole_File(file_name, content.toLatin1(), &reason, TLineEnds::Native, &opened))
    {
        *error = TMessage::Error(
            QString(opened ? "Evaluation file '%1' was not written completely: %2"
                           : "Cannot open evaluation file for writing. File: '%1'.  Reason: %2")
                .arg(QDir::toNativeSeparators(file_name), reason));
        return false;
    }
    return true;
}
