#ifndef DURABLEFILE_H
#define DURABLEFILE_H

#include <QByteArray>
#include <QString>

// The two ways this program writes a file so that a failure never passes for a success and never leaves
// part of what was written: a file replaced whole, and whole lines appended to a file that grows (the
// temperature log, the calibration history).

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

// Appends lines (whole lines, each ended by "\n") to file_name, creating it when there is none, and
// waits until the disk holds them. keep is how many bytes of the file stay before them: what follows
// (an incomplete last line, which is no line) is cut off first; -1 keeps the whole file and appends at
// its end, whatever another writer appended meanwhile. On failure no part of the lines remains: the file
// is cut back to the bytes kept, a file this call created is removed again, and reason receives the
// system's reason; opened, when given, whether the file could be opened for writing at all. A named pipe
// or a device is written into as it is.
bool Append_Whole_Lines(const QString& file_name, const QByteArray& lines, QString* reason, qint64 keep = -1,
                        TLineEnds line_ends = TLineEnds::Unchanged, bool* opened = nullptr);

#endif // DURABLEFILE_H
