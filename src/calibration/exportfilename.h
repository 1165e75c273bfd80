#ifndef EXPORTFILENAME_H
#define EXPORTFILENAME_H

#include <QString>

// The file name an export proposes: the thermometer's description with the characters that file
// systems refuse replaced, and the suffix. The correction view and the history view both offer it.
QString Export_File_Name(const QString& description, const QString& suffix);

#endif // EXPORTFILENAME_H
