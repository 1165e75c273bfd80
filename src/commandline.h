#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QString>
#include <QStringList>

// Velmora takes no arguments of its own, but answers --help and --version as every installed program
// does: before the window system is touched, so that both also work without a display.

// Prints the help or the version and ends the process when the arguments ask for either; returns
// otherwise.
void Answer_Help_Or_Version(int argc, char* argv[]);

// arguments: the application object's, from which the toolkit has taken its own options (-platform,
// -style, ...). False, with the reason in error, when anything is left that velmora does not take.
bool Check_Arguments(const QStringList& arguments, QString* error);

#endif // COMMANDLINE_H
