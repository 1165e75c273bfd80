#include "clicommands.h"

#include "calibrationfindings.h"
#include "calibrationhistory.h"
#include "calibrationstatus.h"
#include "calibrationstore.h"
#include "clicorrection.h"
#include "clock.h"
#include "csvtext.h"
#include "datetext.h"
#include "durablefile.h"
#include "filescreen.h"
#include "logtrace.h"
#include "message.h"
#include "reports.h"
#include "settingsfile.h"
#include "thermometerdata.h"
#include "version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <optional>

namespace
{

const char* const Program_Name = "velmora-cli";

// The uncertainty the window's dialog offers first.
const double Default_Uncertainty = 0.04;

// What the prologue reads for a command before the command runs.
enum class TLoad
{
    // The data directory's calibration file.
    List,
    // The same, and the thermometer that one argument names.
    Thermometer,
    // The calibration file that the optional argument names, else the data directory's.
    Calibration_File
};

// What every command shares: where the data directory is and what day it is.
struct TContext
{
    // Empty: the window's data directory, chosen from application_directory as the window chooses it.
    QString data_directory;
    QString application_directory;
    QDate today;
};

// One positional argument after the command's name, for --help.
struct TArgument
{
    QString name;
    QString description;
    QString syntax;
};

// A command line as the prologue parsed it, with what it read for the command.
struct TInvocation
{
    const QCommandLineParser* parser = nullptr;
    // The positional arguments after the command's name.
    QStringList arguments;
    QDate today;
    std::optional<TCalibrationStore> store;
    TThermometerList list;
    // The messages of loading list.
    TMessages load_messages;
    int warn_days = Default_Warn_Days_Before_Due;
    // The thermometer an argument named, as the list stores it (TLoad::Thermometer).
    QString description;
};

// One command of velmora-cli: how it is called, what it takes, what the prologue reads for it and
// what it does then.
struct TCommand
{
    QString name;
    // The program's --help: each way the command is called, with what it does then.
    QVector<QPair<QString, QString>> usages;
    // The command's --help: what it does, then its options and arguments, then the epilogue.
    QString description;
    QList<QCommandLineOption> options;
    QVector<TArgument> arguments;
    QString epilogue;
    // How many positional arguments follow the name (maximum -1: any number), and what they are, as
    // in "correct needs a thermometer and at least one reading".
    int minimum_arguments = 0;
    int maximum_arguments = 0;
    QString takes;
    // A negative number among the arguments is a reading, not an option.
    bool negative_arguments = false;
    TLoad load = TLoad::List;
    // TLoad::Thermometer: which argument names the thermometer.
    int thermometer_argument = 0;
    // The usage errors beyond the number of arguments, checked before anything is read: the error's
    // text, or empty when there is none.
    std::function<QString(const QCommandLineParser&, const QStringList&)> check;
    std::function<TCliResult(const TInvocation&)> run;
};

TCliResult Usage_Error(const QString& message)
{
    TCliResult result;
    result.status = Cli_Exit_Usage;
    result.err = QString("%1: %2\nTry '%1 --help'.\n").arg(Program_Name, message);
    return result;
}

void Add_Common_Options(QCommandLineParser* parser)
{
    parser->addOptions({{{"h", "help"}, "Shows this help."}, {{"v", "version"}, "Shows the version."}});
}

// --help or --version, when the command line asks for one of them; nothing otherwise.
std::optional<TCliResult> Help_Or_Version(const QCommandLineParser& parser,
                                          const QString& epilogue = QString())
{
    if (!parser.isSet("help") && !parser.isSet("version"))
    {
        return std::nullopt;
    }
    TCliResult result;
    if (parser.isSet("help"))
    {
        QString help = parser.helpText();
        if (!epilogue.isEmpty())
        {
            help += "\n" + epilogue + "\n";
        }
        result.out = help.toUtf8();
        return result;
    }
    result.out = QString("%1 %2\n").arg(Program_Name, VELMORA_VERSION).toUtf8();
    return result;
}

QCommandLineOption Warn_Days_Option()
{
    return {"warn-days", "Due soon within N days (default: the window's setting).", "N"};
}

// The window's warning period, from its settings file or its default; --warn-days overrides it.
bool Warn_Days(const QCommandLineParser& parser, const TCalibrationStore& store, int* days, QString* error)
{
    if (parser.isSet("warn-days"))
    {
        QString reason;
        if (!Parse_Warn_Days(parser.value("warn-days"), days, &reason))
        {
            *error = QString("--warn-days: %1").arg(reason);
            return false;
        }
        return true;
    }
    // A hand-edited period that the window would refuse falls back to the default there too.
    *days = Default_Warn_Days_Before_Due;
    const TSettingsFile settings(store.Get_Settings_File_Name());
    QString reason;
    Parse_Warn_Days(settings.Value(TSetting::Warn_Days_Before_Due).toString(), days, &reason);
    return true;
}

// The warning of a thermometer whose readings are corrected but whose calibration or due date looks like
// a slip of the hand; none for one that is not Doubtful. Said without the warning period, which the
// command does not take.
TMessages Doubt_Warnings(const TThermometerList& list, const QString& description, const QDate& today)
{
    if (Thermometer_State(list, description, today, 0) != TCalibrationState::Doubtful)
    {
        return TMessages();
    }
    return Thermometer_Warnings(list, description, today, 0);
}

// The start-up messages of loading: any warning or error means the file did not load completely.
bool Loaded_Completely(const TMessages& load_messages)
{
    return Highest_Severity(load_messages) == TSeverity::Info;
}

bool Has_Error(const TMessages& messages)
{
    return Highest_Severity(messages) == TSeverity::Error;
}

QString Lines(const QStringList& lines)
{
    return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
}

QString Lines(const TMessages& messages)
{
    return Lines(Log_Lines(messages));
}

TCliResult List_Command(const TInvocation& invocation)
{
    const TThermometerList& list = invocation.list;
    TCliResult result;
    // Entries left out would otherwise vanish from the list without a word.
    result.err = Lines(At_Least(invocation.load_messages, TSeverity::Warning));
    if (Has_Error(invocation.load_messages))
    {
        result.status = Cli_Exit_Failure;
        return result;
    }
    if (invocation.parser->isSet("names"))
    {
        result.out = Lines(list.Get_Descriptions()).toUtf8();
        return result;
    }
    const bool csv = invocation.parser->isSet("csv");
    QVector<QStringList> rows;
    rows << (csv ? QStringList{"thermometer", "state", "due_date", "days_left", "calibrated_range",
                               "model_error"}
                 : QStringList{"Thermometer", "State", "Due date", "Days left", "Calibrated range",
                               "Model error"});
    for (const QString& description : list.Get_Descriptions())
    {
        const QDate due_date = list.Get_Calibration_Due_Date(description);
        const TThermometerCorrection correction = list.Get_Correction(description);
        // Scripts get the ISO date and the plain number of days; people the window's texts.
        rows << QStringList{
            description,
            Calibration_State_Text(
                Thermometer_State(list, description, invocation.today, invocation.warn_days)),
            csv ? due_date.toString(Qt::ISODate) : Due_Date_Text(due_date),
            csv ? (due_date.isValid() ? QString::number(invocation.today.daysTo(due_date)) : QString())
                : Days_Left_Text(due_date, invocation.today),
            Correction_Problem(correction).isEmpty() ? Calibrated_Range_Text(correction) : QString()};
        // How far a corrected value can be from the exact inverse of the calibration, as the editor says.
        rows.last() << Model_Difference_Text(correction);
    }
    QString out;
    if (csv)
    {
        for (const QStringList& row : rows)
        {
            QStringList fields;
            // A description such as "=1+1" must not run as a formula in the spreadsheet that opens the list.
            for (const QString& field : row)
            {
                fields << Csv_Text_Field(field);
            }
            out += fields.join(',') + '\n';
        }
        result.out = out.toUtf8();
        return result;
    }
    QVector<int> widths(rows[0].size(), 0);
    for (const QStringList& row : rows)
    {
        for (int column = 0; column < row.size(); ++column)
        {
            widths[column] = std::max(widths[column], int(row[column].size()));
        }
    }
    for (const QStringList& row : rows)
    {
        QString line;
        for (int column = 0; column < row.size(); ++column)
        {
            line += column + 1 < row.size() ? row[column].leftJustified(widths[column] + 2) : row[column];
        }
        out += line.trimmed() + '\n';
    }
    result.out = out.toUtf8();
    return result;
}

TCliResult Check_Command(const TInvocation& invocation)
{
    const TThermometerList& list = invocation.list;
    TCliResult result;
    // The load's own warnings first, as the window logs them: entries left out are thermometers that
    // can no longer be used.
    const TMessages load_warnings = At_Least(invocation.load_messages, TSeverity::Warning);
    if (Has_Error(invocation.load_messages))
    {
        result.out = Lines(load_warnings).toUtf8();
        result.status = Cli_Exit_Unreadable;
        return result;
    }
    // Read as validate reads it, so that a save in progress is never a finding; nothing is recorded.
    TCalibrationStore store = *invocation.store;
    const THistoryCheckResult history = store.Verify_Calibration_History(list);
    const QHash<QString, TReviewedDoubt> reviewed = Reviewed_Doubts(history.findings);
    QSet<QString> reviewed_keys;
    for (auto doubt = reviewed.keyBegin(); doubt != reviewed.keyEnd(); ++doubt)
    {
        reviewed_keys.insert(*doubt);
    }
    // The lines of the window's start, in its order.
    result.out = Lines(load_warnings + history.finding_messages +
                       Calibration_Warnings(list, invocation.today, invocation.warn_days, reviewed_keys))
                     .toUtf8();
    // A history that could not be checked, or a finding nobody reviewed, needs a person as much as a
    // thermometer out of calibration.
    result.status = load_warnings.isEmpty() && history.checked && !Has_Open_Finding(history.findings)
                        ? Cli_Exit_Success
                        : 2;
    for (const QString& description : list.Get_Descriptions())
    {
        const QDate due_date = list.Get_Calibration_Due_Date(description);
        switch (Thermometer_State(list, description, invocation.today, invocation.warn_days))
        {
        case TCalibrationState::In_Calibration:
            break;
        case TCalibrationState::Due_Soon:
            result.status = std::max(result.status, 1);
            break;
        case TCalibrationState::Doubtful:
            // Reviewed, it no longer alarms; its due date still does.
            if (!reviewed_keys.contains(TThermometerList::Lookup_Key(description)))
            {
                result.status = 2;
            }
            else if (Is_Due_Within(due_date, invocation.today, invocation.warn_days))
            {
                result.status = std::max(result.status, 1);
            }
            break;
        case TCalibrationState::Out_Of_Calibration:
        case TCalibrationState::Correction_Not_Usable:
            result.status = 2;
            break;
        }
    }
    return result;
}

QString Finding_State_Text(const TFinding& finding)
{
    if (finding.reviewed)
    {
        return QStringLiteral("reviewed");
    }
    return finding.Is_Reviewable() ? QStringLiteral("open") : QStringLiteral("open, cannot be reviewed yet");
}

TCliResult Findings_Command(const TInvocation& invocation)
{
    TCliResult result;
    result.err = Lines(At_Least(invocation.load_messages, TSeverity::Warning));
    if (Has_Error(invocation.load_messages))
    {
        result.status = Cli_Exit_Unreadable;
        return result;
    }
    TCalibrationStore store = *invocation.store;
    const THistoryCheckResult history = store.Verify_Calibration_History(invocation.list);
    if (!history.checked)
    {
        result.err += Lines(history.messages);
        result.status = Cli_Exit_Failure;
        return result;
    }
    const bool all = invocation.parser->isSet("all");
    QVector<TFinding> findings;
    for (const TFinding& finding : history.findings)
    {
        if (all || !finding.reviewed)
        {
            findings << finding;
        }
    }
    QString out;
    if (invocation.parser->isSet("csv"))
    {
        out = "record,finding,thermometer,state,found,origin,reviewed_by,reviewed_at,review_record,comment\n";
        for (const TFinding& finding : findings)
        {
            const THistoryRecord& review = finding.review;
            QStringList fields = {finding.record > 0 ? QString::number(finding.record) : QString(),
                                  Finding_Kind_Text(finding.kind),
                                  Csv_Text_Field(finding.description),
                                  Finding_State_Text(finding),
                                  Csv_Text_Field(finding.text),
                                  Csv_Text_Field(finding.origin),
                                  finding.reviewed ? Csv_Text_Field(History_Writer_Text(review)) : QString(),
                                  finding.reviewed ? Csv_Text_Field(review.time) : QString(),
                                  finding.reviewed ? QString::number(review.number) : QString(),
                                  finding.reviewed ? Csv_Text_Field(review.comment) : QString()};
            out += fields.join(',') + '\n';
        }
    }
    else if (findings.isEmpty())
    {
        out = all ? "No findings.\n" : "No open findings.\n";
    }
    else
    {
        // A block each: the texts are too long for a table.
        for (const TFinding& finding : findings)
        {
            out +=
                QString("%1, %2: %3\n")
                    .arg(finding.record > 0 ? QString("Record %1").arg(finding.record) : QString("No record"),
                         Finding_Kind_Text(finding.kind), Finding_State_Text(finding));
            out += "  " + finding.text + "\n";
            if (!finding.origin.isEmpty())
            {
                out += "  " + finding.origin + "\n";
            }
            if (finding.reviewed)
            {
                out += "  reviewed " + Review_Text(finding) + "\n";
            }
        }
    }
    result.out = out.toUtf8();
    return result;
}

// A negative reading looks like an option: everything from the first one on is taken as it is.
QStringList With_Negative_Readings(const QStringList& arguments)
{
    QStringList result = arguments;
    for (int index = 1; index < result.size(); ++index)
    {
        bool is_number = false;
        result[index].toDouble(&is_number);
        if (result[index] == "--")
        {
            break;
        }
        if (is_number && result[index].startsWith('-'))
        {
            result.insert(index, "--");
            break;
        }
    }
    return result;
}

// The thermometer that invocation names, as the window has it when it is selected.
TCliThermometer Named_Thermometer(const TInvocation& invocation)
{
    TCliThermometer thermometer;
    thermometer.description = invocation.description;
    thermometer.in_calibration = invocation.list.Is_Calibration_Valid(invocation.description);
    thermometer.due_date = invocation.list.Get_Calibration_Due_Date(invocation.description);
    thermometer.correction = invocation.list.Get_Correction(invocation.description);
    return thermometer;
}

// The readings of one column of a CSV file, taken elsewhere, corrected into a column of their own.
// result already holds what was said about the thermometer.
void Correct_Csv_Column(const TInvocation& invocation, const TCliThermometer& thermometer, TCliResult* result,
                        bool* warned)
{
    const QCommandLineParser& parser = *invocation.parser;
    const QString csv_name = parser.value("csv");
    QFile csv_file(csv_name);
    const bool opened = csv_file.open(QIODevice::ReadOnly);
    const QByteArray content = opened ? csv_file.readAll() : QByteArray();
    if (!opened || csv_file.error() != QFileDevice::NoError)
    {
        result->err += QString("%1: cannot read '%2': %3\n")
                           .arg(Program_Name, QDir::toNativeSeparators(csv_name), csv_file.errorString());
        result->status = Cli_Exit_Failure;
        return;
    }
    TCsvFormat format;
    format.delimiter = parser.isSet("delimiter") ? parser.value("delimiter").at(0).toLatin1() : ',';
    format.decimal_comma = parser.isSet("decimal-comma");
    const TCsvCorrection corrected =
        Correct_Csv_Column(content, parser.value("column").toInt(), format, thermometer);
    if (corrected.outcome == TCsvOutcome::No_Such_Column)
    {
        const TCliResult usage = Usage_Error(corrected.messages.value(0).text);
        result->err += usage.err;
        result->status = usage.status;
        return;
    }
    if (corrected.outcome == TCsvOutcome::Refused)
    {
        result->err +=
            QString("%1: cannot read '%2' as CSV: %3; nothing was written\n")
                .arg(Program_Name, QDir::toNativeSeparators(csv_name), corrected.messages.value(0).text);
        result->status = Cli_Exit_Failure;
        return;
    }
    for (const TMessage& message : corrected.messages)
    {
        // A warning is a log line, as the window's; an error names the program, as every other error does.
        const bool warning = message.severity == TSeverity::Warning;
        result->err +=
            (warning ? message.Log_Line() : QString("%1: %2").arg(Program_Name, message.text)) + '\n';
        *warned = *warned || warning;
    }
    if (corrected.outcome == TCsvOutcome::Not_All_Corrected)
    {
        result->status = Cli_Exit_Failure;
    }
    if (!parser.isSet("output"))
    {
        result->out = corrected.content;
        return;
    }
    // The file's own bytes: no change of encoding or line ends on the way.
    const QString output_name = parser.value("output");
    QString reason;
    if (!Write_Whole_File(output_name, corrected.content, &reason))
    {
        result->err += QString("%1: cannot write '%2': %3\n")
                           .arg(Program_Name, QDir::toNativeSeparators(output_name), reason);
        result->status = Cli_Exit_Failure;
    }
}

QString Correct_Usage(const QCommandLineParser& parser, const QStringList& arguments)
{
    const bool csv = parser.isSet("csv");
    if (csv && arguments.size() != 1)
    {
        return "correct --csv needs a thermometer and no readings";
    }
    if (!csv)
    {
        for (const char* const option : {"column", "output", "delimiter", "decimal-comma"})
        {
            if (parser.isSet(option))
            {
                return QString("--%1 belongs to --csv").arg(option);
            }
        }
        return arguments.size() < 2 ? QString("correct needs a thermometer and at least one reading")
                                    : QString();
    }
    if (!parser.isSet("column"))
    {
        return "--csv needs --column N, the column of the readings counted from 1";
    }
    bool is_number = false;
    const int column = parser.value("column").toInt(&is_number);
    if (!is_number || column < 1)
    {
        return QString("--column '%1': give the column of the readings as a number, counted from 1")
            .arg(parser.value("column"));
    }
    const QString delimiter = parser.value("delimiter");
    if (parser.isSet("delimiter") &&
        (delimiter.size() != 1 || delimiter[0].unicode() >= 0x80 || QString("\"\r\n").contains(delimiter[0])))
    {
        return QString("--delimiter '%1': give one ASCII character other than a quote or a line end, such "
                       "as ';'")
            .arg(delimiter);
    }
    return QString();
}

TCliResult Correct_Command(const TInvocation& invocation)
{
    const TCliThermometer thermometer = Named_Thermometer(invocation);
    TCliResult result;
    // Said once, before the readings: their numbers stand, but the calibration behind them is in doubt.
    const TMessages doubts = Doubt_Warnings(invocation.list, thermometer.description, invocation.today);
    result.err = Lines(doubts);
    bool warned = !doubts.isEmpty();
    if (invocation.parser->isSet("csv"))
    {
        Correct_Csv_Column(invocation, thermometer, &result, &warned);
    }
    else
    {
        QString out;
        for (const QString& reading : invocation.arguments.mid(1))
        {
            const TCorrectedReading corrected = Correct_Reading(reading, false, thermometer);
            out += corrected.text + '\n';
            if (!corrected.reason.isEmpty())
            {
                result.err +=
                    QString("%1: '%2' not corrected: %3\n").arg(Program_Name, reading, corrected.reason);
                result.status = Cli_Exit_Failure;
            }
            else if (!corrected.extrapolation.isEmpty())
            {
                result.err +=
                    TMessage::Warning(QString("Reading %1.").arg(corrected.extrapolation)).Log_Line() + '\n';
                warned = true;
            }
        }
        result.out = out.toUtf8();
    }
    if (warned && invocation.parser->isSet("strict") && result.status == Cli_Exit_Success)
    {
        result.status = Cli_Exit_Failure;
    }
    return result;
}

TCliResult Validate_Command(const TInvocation& invocation)
{
    TCalibrationStore store = *invocation.store;
    TCliResult result;
    // A hand edit or a history that does not hold is a finding: nothing is recorded here.
    const THistoryCheckResult history = store.Verify_Calibration_History(invocation.list);
    result.out = Lines(invocation.load_messages + history.messages +
                       Calibration_Warnings(invocation.list, invocation.today, invocation.warn_days))
                     .toUtf8();
    result.status =
        Loaded_Completely(invocation.load_messages) && history.agrees ? Cli_Exit_Success : Cli_Exit_Failure;
    return result;
}

// The largest temperature log trace reads whole.
constexpr qint64 Largest_Traced_Log = qint64(1024) * 1024 * 1024;

TCliResult Trace_Command(const TInvocation& invocation)
{
    TCliResult result;
    const QString log_name = invocation.arguments[0];
    QString reason;
    QByteArray bytes;
    if (Screen_File(log_name, Largest_Traced_Log, &reason))
    {
        QFile log_file(log_name);
        if (log_file.open(QIODevice::ReadOnly))
        {
            bytes = log_file.readAll();
        }
        if (!log_file.isOpen() || log_file.error() != QFileDevice::NoError)
        {
            reason = log_file.errorString();
        }
    }
    if (!reason.isEmpty())
    {
        result.err = QString("%1: cannot read '%2': %3\n")
                         .arg(Program_Name, QDir::toNativeSeparators(log_name), reason);
        result.status = Cli_Exit_Unreadable;
        return result;
    }
    THistoryContent history;
    QString error;
    // Read as a check reads it, so that no save under way shows half done; nothing is recorded.
    if (!invocation.store->Read_Consistent_History(&history, &error))
    {
        result.err = QString("%1: %2\n").arg(Program_Name, error);
        result.status = Cli_Exit_Unreadable;
        return result;
    }
    const TTraceResult trace = Trace_Temperature_Log(Read_Temperature_Log(bytes), history);
    QStringList notes;
    if (history.first_break != 0)
    {
        notes << TMessage::Warning(
                     QString("Calibration history '%1' does not hold from line %2: %3.")
                         .arg(QDir::toNativeSeparators(invocation.store->Get_History_File_Name()))
                         .arg(history.first_break)
                         .arg(history.break_reason))
                     .Log_Line();
    }
    QString out;
    const bool csv = invocation.parser->isSet("csv");
    if (csv)
    {
        out = "line,thermometer,record,problem\n";
    }
    for (const TTraceMismatch& mismatch : trace.mismatches)
    {
        if (csv)
        {
            for (const QString& problem : mismatch.problems)
            {
                out += QString("%1,%2,%3,%4\n")
                           .arg(mismatch.line)
                           .arg(Csv_Text_Field(mismatch.thermometer), Csv_Text_Field(mismatch.record),
                                Csv_Text_Field(problem));
            }
            continue;
        }
        out += QString("line %1: '%2': %3\n")
                   .arg(mismatch.line)
                   .arg(mismatch.thermometer, mismatch.problems.join("; "));
    }
    const QString summary =
        QString("%1 of %2 traced entries do not match the calibration history; %3 entries "
                "without audit columns.")
            .arg(trace.mismatches.size())
            .arg(trace.traced)
            .arg(trace.untraced);
    if (csv)
    {
        notes << summary;
    }
    else
    {
        out += summary + "\n";
    }
    result.out = out.toUtf8();
    result.err = Lines(notes);
    result.status = trace.mismatches.isEmpty() ? Cli_Exit_Success : Cli_Exit_Failure;
    return result;
}

QString Report_Usage(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QString kind = arguments[0];
    if (kind != "corrections" && kind != "uncertainty")
    {
        return QString("unknown report '%1': corrections or uncertainty").arg(kind);
    }
    if (!parser.isSet("output") || parser.value("output").isEmpty())
    {
        return "report needs --output FILE";
    }
    if (kind == "corrections" && parser.isSet("uncertainty"))
    {
        return "--uncertainty belongs to the uncertainty report";
    }
    double uncertainty = Default_Uncertainty;
    // The window's dialog accepts the same values only.
    const QString problem = parser.isSet("uncertainty")
                                ? Uncertainty_Problem(parser.value("uncertainty"), &uncertainty)
                                : QString();
    return problem.isEmpty() ? QString() : "--uncertainty: " + problem;
}

TCliResult Report_Command(const TInvocation& invocation)
{
    const QCommandLineParser& parser = *invocation.parser;
    const QString kind = invocation.arguments[0];
    const QString& description = invocation.description;
    double uncertainty = Default_Uncertainty;
    if (parser.isSet("uncertainty"))
    {
        Uncertainty_Problem(parser.value("uncertainty"), &uncertainty);
    }
    const TThermometerCorrection correction = invocation.list.Get_Correction(description);
    const QDate due_date = invocation.list.Get_Calibration_Due_Date(description);
    TCliResult result;
    TMessage error;
    if (!Is_Evaluation_Range_Usable(correction, &error))
    {
        result.err = error.Log_Line() + '\n';
        result.status = Cli_Exit_Failure;
        return result;
    }
    const QString content = kind == "corrections"
                                ? Corrections_Report(description, due_date, correction)
                                : Uncertainty_Report(description, due_date, correction, uncertainty);
    const QString file_name = parser.value("output");
    if (!Write_Report_File(file_name, content, &error))
    {
        result.err = error.Log_Line() + '\n';
        result.status = Cli_Exit_Failure;
        return result;
    }
    // The window's messages after a report.
    const QString written = kind == "corrections" ? "Evaluation file written." : "Uncertainty file written.";
    result.out = Lines(TMessages{TMessage::Info(
                           written + QString(" File: '%1'").arg(QDir::toNativeSeparators(file_name)))} +
                       Report_Warnings(description, due_date, invocation.today, correction))
                     .toUtf8();
    return result;
}

const TArgument Thermometer_Argument{"THERMOMETER", "The thermometer's description (letter case ignored).",
                                     QString()};

// Every command, in the order the program's --help lists them.
const QVector<TCommand>& Commands()
{
    static const QVector<TCommand> commands = [] {
        QVector<TCommand> table;

        TCommand list;
        list.name = "list";
        list.usages = {
            {"list [--warn-days N] [--csv|--names]", "every thermometer with its calibration state"}};
        list.description = QString("Lists every thermometer with its calibration state, due date, days left, "
                                   "calibrated range and model error: how far a corrected value can differ "
                                   "from the exact inverse of the calibration, where that exceeds %1 °C.")
                               .arg(Stated_Model_Difference);
        list.options = {Warn_Days_Option(),
                        {"csv", "Comma-separated values with a header, for scripts and spreadsheets."},
                        {"names", "Only the descriptions, one a line."}};
        list.takes = "no arguments";
        list.run = List_Command;
        table << list;

        TCommand check;
        check.name = "check";
        check.usages = {{"check [--warn-days N]",
                         "what needs a person, for cron: the warnings of the window's\n"
                         "start-up and the open findings; exit status 0 nothing,\n"
                         "1 due soon only, 2 out of calibration, not usable, doubtful\n"
                         "and not reviewed, or an open finding, 3 calibration file\n"
                         "unreadable"}};
        check.description =
            "Prints what needs a person, as the window's start-up does: the thermometers due soon, out of "
            "calibration, not usable or doubtful (a doubtful one only until a person reviewed it), and the "
            "open findings of the calibration history (changes made outside Velmora, changes that never "
            "reached the file, a lost, cut or broken history, damaged records). Nothing when all is well, "
            "so that a daily cron job mails only then. The history is read as validate reads it, between "
            "saves, and nothing is recorded.";
        check.options = {Warn_Days_Option()};
        check.epilogue =
            "Exit status: 0 nothing to do, 1 a thermometer due soon and nothing else, 2 one out of\n"
            "calibration, not usable or doubtful and not reviewed, an open finding, an entry left\n"
            "out of the file or a history that could not be checked, 3 the calibration file\n"
            "cannot be read.";
        check.takes = "no arguments";
        check.run = Check_Command;
        table << check;

        TCommand findings;
        findings.name = "findings";
        findings.usages = {{"findings [--all] [--csv]",
                            "the open findings of the calibration history, for\n"
                            "auditors; --all with the reviewed ones and their reviews"}};
        findings.description =
            "Lists the open findings of the calibration history: doubtful calibrations, changes made outside "
            "Velmora, changes that never reached the calibration file, a lost or shortened history, lines "
            "that do not fit the chain, damaged records and a cut-off last line; each with the record it is "
            "tied to and who wrote that record. A person closes a finding with Review... in the window's "
            "Calibration History. Reads the history as validate does and never writes.";
        findings.options = {{"all", "Also the reviewed findings, with who reviewed them, when and why."},
                            {"csv", "Comma-separated values with a header, for scripts and spreadsheets."}};
        findings.epilogue = "Exit status: 0 listed, 1 the calibration history cannot be read or checked,\n"
                            "3 the calibration file cannot be read.";
        findings.takes = "no arguments";
        findings.run = Findings_Command;
        table << findings;

        TCommand correct;
        correct.name = "correct";
        correct.usages = {
            {"correct THERMOMETER READING... [--strict]", "each reading corrected as the window shows it"},
            {"correct THERMOMETER --csv FILE --column N [--delimiter C] [--decimal-comma]\n"
             "        [--output FILE] [--strict]",
             "adds a column of corrected readings to a CSV file"}};
        correct.description =
            "Prints each reading corrected as the window shows it, one a line; \"-----\" when it cannot "
            "be corrected, with the reason on standard error and exit status 1. A reading corrected by "
            "extending the curve beyond the calibrated range, and a thermometer whose calibration or due "
            "date is in doubt, get a WAR line on standard error. With --csv, the readings of one column of "
            "a CSV file are corrected into a new last column, and the file is printed (or written to "
            "--output) with it; every other byte stays.";
        correct.options = {
            {"csv", "A CSV file holding the readings.", "FILE"},
            {"column", "The column of the readings in the CSV file, counted from 1.", "N"},
            {"delimiter", "The character between the fields of the CSV file (default ',').", "C"},
            {"decimal-comma", "The CSV file's numbers have a decimal comma, the corrected ones too."},
            {"output", "Where to write the CSV file with the corrected column (default: standard output).",
             "FILE"},
            {"strict", "Exit status 1 also after a WAR line."}};
        correct.epilogue = "The CSV file is read and written as bytes, in its own encoding and line ends.\n"
                           "A quote opens a quoted field only at the start of a field. Lines are counted\n"
                           "as an editor counts them.\n"
                           "Exit status: 0 every reading corrected, 1 one not corrected, the file refused\n"
                           "or not written (with --strict also after a WAR line), 3 no data directory,\n"
                           "64 a usage error or a column no line has, 74 standard output not written.";
        correct.arguments = {Thermometer_Argument,
                             {"READING", "Readings in °C, a point for the decimals.", "READING..."}};
        correct.minimum_arguments = 1;
        correct.maximum_arguments = -1;
        correct.takes = "a thermometer and at least one reading";
        correct.negative_arguments = true;
        correct.load = TLoad::Thermometer;
        correct.check = Correct_Usage;
        correct.run = Correct_Command;
        table << correct;

        TCommand validate;
        validate.name = "validate";
        validate.usages = {
            {"validate [FILE]", "loads a calibration file as the window does, checks its history"}};
        validate.description = "Loads a calibration file as the window does at start-up, checks it against "
                               "its calibration history and prints its lines; exit status 0 when it loaded "
                               "completely and agrees with a whole history, 1 otherwise.";
        validate.options = {Warn_Days_Option()};
        validate.arguments = {{"FILE", "The file (default: the data directory's).", "[FILE]"}};
        validate.maximum_arguments = 1;
        validate.takes = "one file";
        validate.load = TLoad::Calibration_File;
        validate.run = Validate_Command;
        table << validate;

        TCommand report;
        report.name = "report";
        report.usages = {
            {"report corrections|uncertainty THERMOMETER [--uncertainty U]\n        --output FILE",
             "writes the window's report"}};
        report.description = "Writes the window's corrections or uncertainty report of a thermometer; a "
                             "failed write leaves an existing file as it was.";
        report.options = {
            {"uncertainty", "The calibration uncertainty (k=2) in °C, 0 to below 1 (default 0.04).", "U"},
            {"output", "The report file to write.", "FILE"}};
        report.arguments = {{"KIND", "corrections or uncertainty.", QString()}, Thermometer_Argument};
        report.minimum_arguments = 2;
        report.maximum_arguments = 2;
        report.takes = "a kind (corrections or uncertainty) and a thermometer";
        report.load = TLoad::Thermometer;
        report.thermometer_argument = 1;
        report.check = Report_Usage;
        report.run = Report_Command;
        table << report;

        TCommand trace;
        trace.name = "trace";
        trace.usages = {{"trace LOGFILE [--csv]",
                         "each logged value recomputed from the calibration in force;\n"
                         "exit status 0 all match, 1 one does not, 3 unreadable"}};
        trace.description =
            "Traces every entry of a temperature log written with the audit columns: finds the calibration "
            "record it names in the calibration history, checks that the record is of the entry's "
            "thermometer and was in force at the entry's date and time, and recomputes each corrected value "
            "from the meter reading as the window does. Prints every entry that does not match, with what "
            "differs. Never writes.";
        trace.options = {{"csv", "Comma-separated values with a header: one line for each problem."}};
        trace.arguments = {{"LOGFILE", "The temperature log (CSV) to trace.", QString()}};
        trace.epilogue = "Entries without audit columns cannot be traced; they are counted.\n"
                         "Exit status: 0 every traced entry matches, 1 one does not, 3 the log or the\n"
                         "calibration history cannot be read, or no data directory.";
        trace.minimum_arguments = 1;
        trace.maximum_arguments = 1;
        trace.takes = "one log file";
        trace.run = Trace_Command;
        table << trace;
        return table;
    }();
    return commands;
}

// The program's --help: its options, then every command with what it does.
QString Overview()
{
    // The summaries start in one column; a longer call has its summary on the next line.
    const QString indent(36, ' ');
    QString overview =
        "Reads the calibration data of Velmora without a window; never writes it.\n\nCommands:\n";
    for (const TCommand& command : Commands())
    {
        for (const auto& usage : command.usages)
        {
            const QString call = "  " + usage.first;
            overview +=
                (call.size() < indent.size() ? call.leftJustified(indent.size()) : call + "\n" + indent) +
                QString(usage.second).replace("\n", "\n" + indent) + "\n";
        }
    }
    return overview + "\n'velmora-cli COMMAND --help' describes a command.";
}

bool Has_Option(const TCommand& command, const QString& name)
{
    return std::any_of(command.options.begin(), command.options.end(),
                       [&](const QCommandLineOption& option) { return option.names().contains(name); });
}

// Nobody waits for a script at its terminal: rather than report a history unchecked, it waits out a
// slow station's saves (a network folder, several windows saving one after the other) for longer than a
// window would.
constexpr int Command_Line_Lock_Timeout = 30000;

// Loads the calibration file the command reads into invocation, and the thermometer it names; the
// usage error, after the load's errors, when there is no such thermometer.
std::optional<TCliResult> Load(const TCommand& command, const TContext& context, TInvocation* invocation)
{
    TCalibrationStore data_directory_store =
        TCalibrationStore::For_Command_Line(context.application_directory);
    if (!context.data_directory.isEmpty())
    {
        data_directory_store = TCalibrationStore::In_Data_Directory(context.data_directory);
        data_directory_store.Set_Reader(TCalibrationStore::TReader::Command_Line);
    }
    const bool named_file = command.load == TLoad::Calibration_File && !invocation->arguments.isEmpty();
    const QString data_directory = data_directory_store.Get_Data_Directory();
    // Made by the window at its first start; looking for it here must not make it.
    if (!named_file && !QFileInfo(data_directory).isDir())
    {
        TCliResult missing;
        missing.status = Cli_Exit_Unreadable;
        missing.err = QString("%1: no data directory '%2'%3\n")
                          .arg(Program_Name, QDir::toNativeSeparators(data_directory),
                               context.data_directory.isEmpty()
                                   ? ": the window makes it when it first starts, or give --data-dir DIR"
                                   : " (given with --data-dir)");
        return missing;
    }
    invocation->store = data_directory_store;
    if (named_file)
    {
        invocation->store = TCalibrationStore::For_Calibration_File(invocation->arguments[0]);
        invocation->store->Set_Reader(TCalibrationStore::TReader::Command_Line);
    }
    invocation->store->Set_Lock_Timeout(Command_Line_Lock_Timeout);
    QString error;
    // The warning period comes from the window's settings, whichever file is read.
    if (Has_Option(command, "warn-days") &&
        !Warn_Days(*invocation->parser, data_directory_store, &invocation->warn_days, &error))
    {
        return Usage_Error(error);
    }
    invocation->load_messages = invocation->store->Load_Thermometers(&invocation->list);
    if (command.load != TLoad::Thermometer)
    {
        return std::nullopt;
    }
    const QString name = invocation->arguments[command.thermometer_argument];
    invocation->description = invocation->list.Get_Stored_Description(name);
    if (!invocation->description.isEmpty())
    {
        return std::nullopt;
    }
    TCliResult not_found = Usage_Error(QString("no thermometer '%1' in the calibration file").arg(name));
    not_found.err.prepend(Lines(At_Least(invocation->load_messages, TSeverity::Error)));
    return not_found;
}

// The prologue every command shares: its own command line parsed, --help and --version answered, its
// arguments counted and checked, its calibration file loaded; then the command.
TCliResult Run_Command(const TCommand& command, const TContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(command.description);
    parser.addOptions(command.options);
    Add_Common_Options(&parser);
    parser.addPositionalArgument(command.name, "The command.");
    for (const TArgument& argument : command.arguments)
    {
        parser.addPositionalArgument(argument.name, argument.description, argument.syntax);
    }
    if (!parser.parse(command.negative_arguments ? With_Negative_Readings(arguments) : arguments))
    {
        return Usage_Error(parser.errorText());
    }
    if (const std::optional<TCliResult> answer = Help_Or_Version(parser, command.epilogue))
    {
        return *answer;
    }
    TInvocation invocation;
    invocation.parser = &parser;
    invocation.arguments = parser.positionalArguments().mid(1);
    invocation.today = context.today;
    const int count = invocation.arguments.size();
    if (count < command.minimum_arguments)
    {
        return Usage_Error(QString("%1 needs %2").arg(command.name, command.takes));
    }
    if (command.maximum_arguments >= 0 && count > command.maximum_arguments)
    {
        return Usage_Error(
            QString("%1 takes %2: '%3'")
                .arg(command.name, command.takes, invocation.arguments[command.maximum_arguments]));
    }
    const QString usage_problem = command.check ? command.check(parser, invocation.arguments) : QString();
    if (!usage_problem.isEmpty())
    {
        return Usage_Error(usage_problem);
    }
    if (const std::optional<TCliResult> failed = Load(command, context, &invocation))
    {
        return *failed;
    }
    return command.run(invocation);
}

} // namespace

TCliResult Run_Cli(const QStringList& arguments, const QString& application_directory_path)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Overview());
    // Everything after the command is the command's: it parses its own options.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOptions({{"data-dir", "Reads the data directory DIR instead of the window's.", "DIR"}});
    Add_Common_Options(&parser);
    parser.addPositionalArgument("COMMAND", "list, check, findings, correct, validate, report or trace.",
                                 "COMMAND [ARGUMENTS]");
    if (!parser.parse(arguments))
    {
        return Usage_Error(parser.errorText());
    }
    if (const std::optional<TCliResult> answer = Help_Or_Version(parser))
    {
        return *answer;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
    {
        return Usage_Error("no command given");
    }
    TContext context;
    context.application_directory = application_directory_path;
    context.today = TClock::Today();
    context.data_directory = parser.value("data-dir");
    if (parser.isSet("data-dir") && context.data_directory.isEmpty())
    {
        return Usage_Error("--data-dir needs a directory");
    }
    const QString name = positional[0];
    const QVector<TCommand>& commands = Commands();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const TCommand& entry) { return entry.name == name; });
    if (command == commands.end())
    {
        return Usage_Error(QString("unknown command '%1'").arg(name));
    }
    // The command parses its own line: the program name, then the command and what follows it.
    return Run_Command(*command, context, QStringList{arguments.value(0)} + positional);
}
