#ifndef CLICORRECTION_H
#define CLICORRECTION_H

#include "message.h"
#include "thermometercorrection.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVector>

// Readings corrected for the command line as the window corrects them: one at a time, or a column of a
// CSV file of readings taken elsewhere.

// The thermometer that corrects, as the window decides when it is selected.
struct TCliThermometer
{
    QString description;
    bool in_calibration = false;
    QDate due_date;
    TThermometerCorrection correction;
};

// One reading: the text of the window's corrected field, and what to say about it.
struct TCorrectedReading
{
    // The corrected value with two decimals (a decimal comma when asked for), or "-----".
    QString text;
    // Why it is "-----"; empty otherwise.
    QString reason;
    // "30 corrected to 29.30 by extrapolation, outside the calibrated range 15.00 to 25.00 °C" for a
    // reading corrected by extending the curve; empty otherwise.
    QString extrapolation;
};

// reading as typed (a point for the decimals, or a comma when decimal_comma is set).
TCorrectedReading Correct_Reading(const QString& reading, bool decimal_comma,
                                  const TCliThermometer& thermometer);

// How a CSV file of readings is written: European spreadsheets separate fields with ';' and write
// decimal commas.
struct TCsvFormat
{
    char delimiter = ',';
    bool decimal_comma = false;
};

enum class TCsvOutcome
{
    // Every reading was corrected.
    Corrected,
    // At least one line's field shows "-----"; a message says why.
    Not_All_Corrected,
    // The file cannot be read as CSV (a quoted field left open): no content.
    Refused,
    // No line of the file has the column: no content.
    No_Such_Column
};

struct TCsvCorrection
{
    TCsvOutcome outcome = TCsvOutcome::Corrected;
    // The file with the corrected column appended, every other byte as it was.
    QByteArray content;
    // For standard error, in the order of the lines they are about: errors (a reading not corrected, a
    // file refused) and warnings.
    TMessages messages;
};

// Corrects the readings in column (counted from 1) of a CSV file's content into a new last column. The
// first line that is not blank is the header when it holds no number in the column: the new column is
// named "Corrected <header> (<thermometer>)", in the file's encoding where the thermometer's
// description can be written in it, else in ASCII. An empty field stays empty; a line without the column,
// or with a field in doubt there, gets "-----" and a message.
TCsvCorrection Correct_Csv_Column(const QByteArray& content, int column, const TCsvFormat& format,
                                  const TCliThermometer& thermometer);

#endif // CLICORRECTION_H
