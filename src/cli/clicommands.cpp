#include "clicommands.h"

#include "calibrationstatus.h"
#include "calibrationstore.h"
#include "clock.h"
#include "csvcolumn.h"
#include "datetext.h"
#include "reports.h"
#include "settingsfile.h"
#include "temperaturelog.h"
#include "thermometerdata.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace
{

const char* const Program_Name = "velmora-cli";

const char* const Overview =
    "Reads the calibration data of Velmora without a window; never writes it.\n"
    "\n"
    "Commands:\n"
    "  list [--warn-days N] [--csv]      every thermometer with its calibration state\n"
    "  check [--warn-days N]             the warnings of the window's start-up; exit status 0 all in\n"
    "                                    calibration, 1 due soon, 2 out of calibration, not usable or\n"
    "                                    implausible, 3 calibration file unreadable\n"
    "  correct THERMOMETER READING...    each reading corrected as the window shows it\n"
    "  correct THERMOMETER --csv FILE --column N [--output FILE]\n"
    "                                    adds a column of corrected readings to a CSV file\n"
    "  validate [FILE]                   loads a calibration file as the window does, checks its history\n"
    "  report corrections|uncertainty THERMOMETER [--uncertainty U] --output FILE\n"
    "                                    writes the window's report\n"
    "\n"
    "'velmora-cli COMMAND --help' describes a command.";

// The uncertainty the window's dialog offers first.
const double Default_Uncertainty = 0.04;

TCliResult Usage_Error(const QString& message)
{
    TCliResult result;
    result.status = Cli_Exit_Usage;
    result.err = QString("%1: %2\nTry '%1 --help'.\n").arg(Program_Name, message);
    return result;
}

TCliResult Help(const QCommandLineParser& parser, const QString& extra = QString())
{
    TCliResult result;
    result.out = parser.helpText();
    if (!extra.isEmpty())
    {
        result.out += "\n" + extra + "\n";
    }
    return result;
}

void Add_Common_Options(QCommandLineParser* parser)
{
    parser->addOptions({{{"h", "help"}, "Shows this help."}, {{"v", "version"}, "Shows the version."}});
}

TCliResult Help_Or_Version(const QCommandLineParser& parser)
{
    if (parser.isSet("help"))
    {
        return Help(parser);
    }
    TCliResult result;
    result.out = QString("%1 %2\n").arg(Program_Name, VELMORA_VERSION);
    return result;
}

// What every command shares: the data directory and the window's settings.
struct TContext
{
    QString data_directory;
    QString application_directory;
    QDate today;

    TCalibrationStore Store() const
    {
        return data_directory.isEmpty() ? TCalibrationStore(application_directory)
                                        : TCalibrationStore::In_Data_Directory(data_directory);
    }
};

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

bool Is_Implausible(const TThermometerList& list, const QString& description, const QDate& today)
{
    return !Implausibility(list.Get_Correction(description)).isEmpty() ||
           Is_Due_Date_Implausible(list.Get_Calibration_Due_Date(description), today);
}

// The state shown by list: the window's calibration state, or "Implausible" for a thermometer that
// corrects readings but whose calibration or due date looks like a slip of the hand.
QString State_Text(const TThermometerList& list, const QString& description, const QDate& today,
                   int warn_days)
{
    const TCalibrationState state = Calibration_State(list.Get_Calibration_Due_Date(description), today,
                                                      warn_days, list.Get_Correction(description));
    const bool corrects = state == TCalibrationState::In_Calibration || state == TCalibrationState::Due_Soon;
    return corrects && Is_Implausible(list, description, today) ? QString("Implausible")
                                                                : Calibration_State_Text(state);
}

// The start-up lines of loading: any WAR or ERR line means the file did not load completely.
bool Loaded_Completely(const QStringList& load_messages)
{
    return std::none_of(load_messages.begin(), load_messages.end(),
                        [](const QString& line) { return line.startsWith("WAR") || line.startsWith("ERR"); });
}

bool Has_Error_Line(const QStringList& messages)
{
    return std::any_of(messages.begin(), messages.end(),
                       [](const QString& line) { return line.startsWith("ERR"); });
}

QString Lines(const QStringList& lines)
{
    return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
}

// The description as the list stores it, matched as the window matches it (letter case ignored);
// empty when there is no such thermometer.
// Loads the data directory's calibration file; the lines of loading go to load_messages.
TThermometerList Load(const TContext& context, QStringList* load_messages, int* warn_days,
                      const QCommandLineParser& parser, QString* error)
{
    TCalibrationStore store = context.Store();
    TThermometerList list;
    *load_messages = store.Load_Thermometers(&list);
    if (warn_days != nullptr && !Warn_Days(parser, store, warn_days, error))
    {
        return TThermometerList();
    }
    return list;
}

// Loads the list and finds the thermometer name names as the window finds it (letter case ignored).
// False, with the usage error and the file's ERR lines in *not_found, when there is none.
bool Find_Thermometer(const TContext& context, const QCommandLineParser& parser, const QString& name,
                      TThermometerList* list, QString* description, TCliResult* not_found)
{
    QStringList load_messages;
    QString error;
    *list = Load(context, &load_messages, nullptr, parser, &error);
    *description = list->Get_Stored_Description(name);
    if (!description->isEmpty())
    {
        return true;
    }
    *not_found = Usage_Error(QString("no thermometer '%1' in the calibration file").arg(name));
    not_found->err.prepend(Lines(load_messages.filter(QRegularExpression("^ERR"))));
    return false;
}

TCliResult List_Command(const TContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Lists every thermometer with its calibration state, due date, days "
                                     "left and calibrated range.");
    parser.addOptions({{"warn-days", "Due soon within N days (default: the window's setting).", "N"},
                       {"csv", "Comma-separated values with a header, for scripts."}});
    Add_Common_Options(&parser);
    parser.addPositionalArgument("list", "The command.");
    if (!parser.parse(arguments))
    {
        return Usage_Error(parser.errorText());
    }
    if (parser.isSet("help") || parser.isSet("version"))
    {
        return Help_Or_Version(parser);
    }
    if (parser.positionalArguments().size() > 1)
    {
        return Usage_Error(QString("list takes no arguments: '%1'").arg(parser.positionalArguments()[1]));
    }
    QStringList load_messages;
    int warn_days = Default_Warn_Days_Before_Due;
    QString error;
    const TThermometerList list = Load(context, &load_messages, &warn_days, parser, &error);
    if (!error.isEmpty())
    {
        return Usage_Error(error);
    }
    TCliResult result;
    // Entries left out would otherwise vanish from the list without a word.
    result.err = Lines(load_messages.filter(QRegularExpression("^(WAR|ERR)")));
    if (Has_Error_Line(load_messages))
    {
        result.status = Cli_Exit_Failure;
        return result;
    }
    const bool csv = parser.isSet("csv");
    QVector<QStringList> rows;
    rows << (csv ? QStringList{"thermometer", "state", "due_date", "days_left", "calibrated_range"}
                 : QStringList{"Thermometer", "State", "Due date", "Days left", "Calibrated range"});
    for (const QString& description : list.Get_Descriptions())
    {
        const QDate due_date = list.Get_Calibration_Due_Date(description);
        const TThermometerCorrection correction = list.Get_Correction(description);
        // Scripts get the ISO date and the plain number of days; people the window's texts.
        rows << QStringList{
            description, State_Text(list, description, context.today, warn_days),
            csv ? due_date.toString(Qt::ISODate) : Due_Date_Text(due_date),
            csv ? (due_date.isValid() ? QString::number(context.today.daysTo(due_date)) : QString())
                : Days_Left_Text(due_date, context.today),
            Correction_Problem(correction).isEmpty() ? Calibrated_Range_Text(correction) : QString()};
    }
    if (csv)
    {
        for (const QStringList& row : rows)
        {
            QStringList fields;
            for (const QString& field : row)
            {
                fields << Csv_Field(field);
            }
            result.out += fields.join(',') + '\n';
        }
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
        result.out += line.trimmed() + '\n';
    }
    return result;
}

TCliResult Check_Command(const TContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Prints the warnings the window writes at start-up, nothing when all is well.");
    parser.addOptions({{"warn-days", "Due soon within N days (default: the window's setting).", "N"}});
    Add_Common_Options(&parser);
    parser.addPositionalArgument("check", "The command.");
    if (!parser.parse(arguments))
    {
        return Usage_Error(parser.errorText());
    }
    if (parser.isSet("version"))
    {
        return Help_Or_Version(parser);
    }
    if (parser.isSet("help"))
    {
        return Help(parser, "Exit status: 0 every thermometer in calibration, 1 one due soon, 2 one out of "
                            "calibration,\nnot usable or implausible, 3 the calibration file cannot be "
                            "read.");
    }
    if (parser.positionalArguments().size() > 1)
    {
        return Usage_Error(QString("check takes no arguments: '%1'").arg(parser.positionalArguments()[1]));
    }
    QStringList load_messages;
    int warn_days = Default_Warn_Days_Before_Due;
    QString error;
    const TThermometerList list = Load(context, &load_messages, &warn_days, parser, &error);
    if (!error.isEmpty())
    {
        return Usage_Error(error);
    }
    TCliResult result;
    // The load's own warnings first, as the window logs them: entries left out are thermometers that
    // can no longer be used.
    const QStringList load_warnings = load_messages.filter(QRegularExpression("^(WAR|ERR)"));
    const QStringList warnings = Calibration_Warnings(list, context.today, warn_days);
    result.out = Lines(load_warnings + warnings);
    if (Has_Error_Line(load_messages))
    {
        result.status = Cli_Exit_Unreadable;
        return result;
    }
    result.status = load_warnings.isEmpty() ? Cli_Exit_Success : 2;
    for (const QString& description : list.Get_Descriptions())
    {
        switch (Calibration_State(list.Get_Calibration_Due_Date(description), context.today, warn_days,
                                  list.Get_Correction(description)))
        {
        case TCalibrationState::In_Calibration:
            break;
        case TCalibrationState::Due_Soon:
            result.status = std::max(result.status, 1);
            break;
        case TCalibrationState::Out_Of_Calibration:
        case TCalibrationState::Correction_Not_Usable:
            result.status = 2;
            break;
        }
        // Only what the window warns about at start-up: a doubtful due date is questioned when it is
        // typed, not at every start.
        if (!Implausibility(list.Get_Correction(description)).isEmpty())
        {
            result.status = 2;
        }
    }
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

// The readings of one column of a CSV file, taken elsewhere, corrected into a column of their own.
TCliResult Correct_Csv_Column(const QCommandLineParser& parser, const QString& description,
                              bool in_calibration, const QDate& due_date,
                              const TThermometerCorrection& correction)
{
    const int column = parser.value("column").toInt();
    TCliResult result;
    const QString csv_name = parser.value("csv");
    QFile csv_file(csv_name);
    if (!csv_file.open(QIODevice::ReadOnly))
    {
        result.err = QString("%1: cannot read '%2': %3\n")
                         .arg(Program_Name, QDir::toNativeSeparators(csv_name), csv_file.errorString());
        result.status = Cli_Exit_Failure;
        return result;
    }
    const QString text = QString::fromUtf8(csv_file.readAll());
    const QString content = With_Appended_Column(text, column, [&](int index, const QString& field) {
        const QString reading = field.trimmed();
        // A first line that holds no number there is the header: the new column is named after it.
        if (index == 0 && !reading.isEmpty())
        {
            bool number = false;
            reading.toDouble(&number);
            if (!number)
            {
                return QString("Corrected %1 (%2)").arg(reading, description);
            }
        }
        // An axis not read on that line stays empty, as in the temperature log.
        if (reading.isEmpty())
        {
            return QString();
        }
        const QString corrected = Corrected_Reading_Text(reading, in_calibration, correction);
        if (corrected == Not_Corrected)
        {
            result.err += QString("%1: line %2: '%3' not corrected: %4\n")
                              .arg(Program_Name, QString::number(index + 1), reading,
                                   Not_Corrected_Reason(reading, true, in_calibration, due_date, correction));
            result.status = Cli_Exit_Failure;
        }
        return corrected;
    });
    if (!parser.isSet("output"))
    {
        result.out = content;
        return result;
    }
    QString error;
    if (!Write_Report_File(parser.value("output"), content, &error))
    {
        result.err += error + '\n';
        result.status = Cli_Exit_Failure;
    }
    return result;
}

TCliResult Correct_Command(const TContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Prints each reading corrected as the window shows it, one a line; "
                                     "\"-----\" when it cannot be corrected, with the reason on standard "
                                     "error and exit status 1. With --csv, the readings of one column of "
                                     "a CSV file are corrected into a new last column, and the file is "
                                     "printed (or written to --output) with it; every other byte stays.");
    parser.addOptions({{"csv", "A CSV file holding the readings.", "FILE"},
                       {"column", "The column of the readings in the CSV file, counted from 1.", "N"},
                       {"output", "Where to write the CSV file with the corrected column.", "FILE"}});
    Add_Common_Options(&parser);
    parser.addPositionalArgument("correct", "The command.");
    parser.addPositionalArgument("THERMOMETER", "The thermometer's description (letter case ignored).");
    parser.addPositionalArgument("READING", "Readings in °C, a point for the decimals.", "READING...");
    if (!parser.parse(With_Negative_Readings(arguments)))
    {
        return Usage_Error(parser.errorText());
    }
    if (parser.isSet("help") || parser.isSet("version"))
    {
        return Help_Or_Version(parser);
    }
    const QStringList positional = parser.positionalArguments();
    const bool csv = parser.isSet("csv");
    if (csv && positional.size() != 2)
    {
        return Usage_Error("correct --csv needs a thermometer and no readings");
    }
    if (!csv && (parser.isSet("column") || parser.isSet("output")))
    {
        return Usage_Error("--column and --output belong to --csv");
    }
    bool is_number = false;
    if (csv && (parser.value("column").toInt(&is_number) < 1 || !is_number))
    {
        return Usage_Error("--csv needs --column N, the column of the readings counted from 1");
    }
    if (positional.size() < (csv ? 2 : 3))
    {
        return Usage_Error("correct needs a thermometer and at least one reading");
    }
    TThermometerList list;
    QString description;
    TCliResult not_found;
    if (!Find_Thermometer(context, parser, positional[1], &list, &description, &not_found))
    {
        return not_found;
    }
    // As the window decides it when the thermometer is selected.
    const bool in_calibration = list.Is_Calibration_Valid(description);
    const TThermometerCorrection correction = list.Get_Correction(description);
    const QDate due_date = list.Get_Calibration_Due_Date(description);
    if (csv)
    {
        return Correct_Csv_Column(parser, description, in_calibration, due_date, correction);
    }
    TCliResult result;
    for (const QString& reading : positional.mid(2))
    {
        const QString text = Corrected_Reading_Text(reading, in_calibration, correction);
        result.out += text + '\n';
        if (text == Not_Corrected)
        {
            result.err += QString("%1: '%2' not corrected: %3\n")
                              .arg(Program_Name, reading,
                                   Not_Corrected_Reason(reading, true, in_calibration, due_date, correction));
            result.status = Cli_Exit_Failure;
        }
    }
    return result;
}

TCliResult Validate_Command(const TContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Loads a calibration file as the window does at start-up, checks it "
                                     "against its calibration history and prints its lines; exit status 0 "
                                     "when it loaded completely and agrees with a whole history, 1 "
                                     "otherwise.");
    parser.addOptions({{"warn-days", "Due soon within N days (default: the window's setting).", "N"}});
    Add_Common_Options(&parser);
    parser.addPositionalArgument("validate", "The command.");
    parser.addPositionalArgument("FILE", "The file (default: the data directory's).", "[FILE]");
    if (!parser.parse(arguments))
    {
        return Usage_Error(parser.errorText());
    }
    if (parser.isSet("help") || parser.isSet("version"))
    {
        return Help_Or_Version(parser);
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 2)
    {
        return Usage_Error(QString("validate takes one file: '%1'").arg(positional[2]));
    }
    const TCalibrationStore settings_store = context.Store();
    TCalibrationStore store =
        positional.size() == 2 ? TCalibrationStore::For_Calibration_File(positional[1]) : settings_store;
    int warn_days = Default_Warn_Days_Before_Due;
    QString error;
    if (!Warn_Days(parser, settings_store, &warn_days, &error))
    {
        return Usage_Error(error);
    }
    TThermometerList list;
    const QStringList load_messages = store.Load_Thermometers(&list);
    TCliResult result;
    // A hand edit or a history that does not hold is a finding: nothing is recorded here.
    const THistoryCheckResult history = store.Verify_Calibration_History(list);
    result.out =
        Lines(load_messages + history.messages + Calibration_Warnings(list, context.today, warn_days));
    result.status = Loaded_Completely(load_messages) && history.agrees ? Cli_Exit_Success : Cli_Exit_Failure;
    return result;
}

TCliResult Report_Command(const TContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes the window's corrections or uncertainty report of a "
                                     "thermometer; a failed write leaves an existing file as it was.");
    parser.addOptions(
        {{"uncertainty", "The calibration uncertainty (k=2) in °C, 0 to below 1 (default 0.04).", "U"},
         {"output", "The report file to write.", "FILE"}});
    Add_Common_Options(&parser);
    parser.addPositionalArgument("report", "The command.");
    parser.addPositionalArgument("KIND", "corrections or uncertainty.");
    parser.addPositionalArgument("THERMOMETER", "The thermometer's description (letter case ignored).");
    if (!parser.parse(arguments))
    {
        return Usage_Error(parser.errorText());
    }
    if (parser.isSet("help") || parser.isSet("version"))
    {
        return Help_Or_Version(parser);
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 3)
    {
        return Usage_Error("report needs a kind (corrections or uncertainty) and a thermometer");
    }
    const QString kind = positional[1];
    if (kind != "corrections" && kind != "uncertainty")
    {
        return Usage_Error(QString("unknown report '%1': corrections or uncertainty").arg(kind));
    }
    if (!parser.isSet("output") || parser.value("output").isEmpty())
    {
        return Usage_Error("report needs --output FILE");
    }
    if (kind == "corrections" && parser.isSet("uncertainty"))
    {
        return Usage_Error("--uncertainty belongs to the uncertainty report");
    }
    double uncertainty = Default_Uncertainty;
    if (parser.isSet("uncertainty"))
    {
        // The window's dialog accepts the same values only.
        const QString problem = Uncertainty_Problem(parser.value("uncertainty"), &uncertainty);
        if (!problem.isEmpty())
        {
            return Usage_Error("--uncertainty: " + problem);
        }
    }
    TThermometerList list;
    QString description;
    TCliResult not_found;
    if (!Find_Thermometer(context, parser, positional[2], &list, &description, &not_found))
    {
        return not_found;
    }
    const TThermometerCorrection correction = list.Get_Correction(description);
    const QDate due_date = list.Get_Calibration_Due_Date(description);
    TCliResult result;
    QString error;
    if (!Is_Evaluation_Range_Usable(correction, &error))
    {
        result.err = error + '\n';
        result.status = Cli_Exit_Failure;
        return result;
    }
    const QString content = kind == "corrections"
                                ? Corrections_Report(description, due_date, correction)
                                : Uncertainty_Report(description, due_date, correction, uncertainty);
    const QString file_name = parser.value("output");
    if (!Write_Report_File(file_name, content, &error))
    {
        result.err = error + '\n';
        result.status = Cli_Exit_Failure;
        return result;
    }
    // The window's lines after a report.
    const QString written =
        kind == "corrections" ? "INF  Evaluation file written." : "INF  Uncertainty file written.";
    result.out =
        Lines(QStringList{written + QString(" File: '%1'").arg(QDir::toNativeSeparators(file_name))} +
              Report_Warnings(description, due_date, context.today, correction));
    return result;
}

} // namespace

TCliResult Run_Cli(const QStringList& arguments, const QString& application_directory_path)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Overview);
    // Everything after the command is the command's: it parses its own options.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOptions({{"data-dir", "Reads the data directory DIR instead of the window's.", "DIR"}});
    Add_Common_Options(&parser);
    parser.addPositionalArgument("COMMAND", "list, check, correct, validate or report.",
                                 "COMMAND [ARGUMENTS]");
    if (!parser.parse(arguments))
    {
        return Usage_Error(parser.errorText());
    }
    if (parser.isSet("help") || parser.isSet("version"))
    {
        return Help_Or_Version(parser);
    }
    if (parser.isSet("version"))
    {
        TCliResult result;
        result.out = QString("%1 %2\n").arg(Program_Name, VELMORA_VERSION);
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
    {
        return Usage_Error("no command given");
    }
    TContext context;
    context.application_directory = application_directory_path;
    context.today = TClock::Today();
    if (parser.isSet("data-dir"))
    {
        context.data_directory = parser.value("data-dir");
        if (!QFileInfo(context.data_directory).isDir())
        {
            return Usage_Error(QString("--data-dir '%1' is not a directory").arg(context.data_directory));
        }
    }
    // The command parses its own line: the program name, then the command and what follows it.
    const QStringList command_arguments = QStringList{arguments.value(0)} + positional;
    const QString command = positional[0];
    if (command == "list")
    {
        return List_Command(context, command_arguments);
    }
    if (command == "check")
    {
        return Check_Command(context, command_arguments);
    }
    if (command == "correct")
    {
        return Correct_Command(context, command_arguments);
    }
    if (command == "validate")
    {
        return Validate_Command(context, command_arguments);
    }
    if (command == "report")
    {
        return Report_Command(context, command_arguments);
    }
    return Usage_Error(QString("unknown command '%1'").arg(command));
}
