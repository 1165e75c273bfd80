#ifndef CLICOMMANDS_H
#define CLICOMMANDS_H

#include <QString>
#include <QStringList>

// The commands of velmora-cli: the calibration data the window keeps, read without a window. They
// never write the calibration file.

// Exit statuses shared by all commands; check and validate add their own (see the manual page).
const int Cli_Exit_Success = 0;
const int Cli_Exit_Failure = 1;
// A command line that names an unknown command, option or thermometer, as sysexits.h has it.
const int Cli_Exit_Usage = 64;
// check: the calibration file cannot be read.
const int Cli_Exit_Unreadable = 3;

// What a command printed and how it ended.
struct TCliResult
{
    int status = Cli_Exit_Success;
    QString out;
    QString err;
};

// Runs the command line arguments (the program name first). application_directory_path is where the
// executable lives: without --data-dir the data directory is chosen from it as the window chooses its.
TCliResult Run_Cli(const QStringList& arguments, const QString& application_directory_path);

#endif // CLICOMMANDS_H
