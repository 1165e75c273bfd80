#ifndef CLICOMMANDS_H
#define CLICOMMANDS_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// The commands of velmora-cli: the calibration data the window keeps, read without a window. They
// never write into the data directory; only report and correct --output write the file they name.

// Exit statuses shared by all commands; check and validate add their own (see the manual page).
const int Cli_Exit_Success = 0;
const int Cli_Exit_Failure = 1;
// A command line that names an unknown command, option or thermometer, as sysexits.h has it.
const int Cli_Exit_Usage = 64;
// No data directory where it was looked for; check: the calibration file cannot be read.
const int Cli_Exit_Unreadable = 3;
// Standard output could not be written, as sysexits.h has it (EX_IOERR).
const int Cli_Exit_Io_Error = 74;

// What a command printed and how it ended.
struct TCliResult
{
    int status = Cli_Exit_Success;
    // Bytes: a CSV file comes back in its own encoding; everything else is UTF-8.
    QByteArray out;
    QString err;
};

// Runs the command line arguments (the program name first). application_directory_path is where the
// executable lives: without --data-dir the data directory is the one the window would choose from it.
TCliResult Run_Cli(const QStringList& arguments, const QString& application_directory_path);

#endif // CLICOMMANDS_H
