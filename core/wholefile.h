#ifndef WHOLEFILE_H
#define WHOLEFILE_H

#include <QByteArray>
#include <QString>

// How the line ends of content reach the disk: as they are, or as the system's text files end lines
// ("\r\n" on Windows).
enum class TLineEnds
{
    Unchanged,
    Native
};

// Replaces file_name with content as a whole: the new content is written beside the old file and put
// in its place only once all of it is on disk. On failure the file is left as it was, no partial file
// remains and reason receives the system's reason; opened, when given, whether the file could be
// opened for writing at all. Only a regular file (or none) is replaced: a symbolic link stays and the
// file it leads to is replaced, and a named pipe or a device is written into as it is (what it took
// before a failure cannot be taken back).
bool Write_Whole_File(const QString& file_name, const QByteArray& content, QString* reason,
                      TLineEnds line_ends = TLineEnds::Unchanged, bool* opened = nullptr);

#endif // WHOLEFILE_H
