#ifndef PLATFORM_H
#define PLATFORM_H

#include <QString>

class QFileDevice;

// What the operating system offers and Qt does not. Every call into a system header lives in
// platform.cpp, with a branch for Windows and one for POSIX systems; nothing else includes them.

// The account this program runs as: the effective user's login name, not what the environment claims,
// so that a record names who was really logged in.
QString Account_Name();

// Waits until the disk holds what was written to file (an open QFile). False, with reason set to the
// system's reason, when the system cannot say so.
bool Sync_To_Disk(QFileDevice* file, QString* reason);

// Whether the process with this id runs on this computer, as QLockFile judges the process that holds a
// lock: a reader that cannot take a lock itself tells a live writer from one that was killed.
bool Is_Process_Running(qint64 process_id);

// Gives the memory the heap holds free back to the system. The heap keeps what a large piece of work
// freed (a start with many thermometers, a save) resident for the next allocations, which the next
// large piece of work, allocating blocks of its own, does not use: the process would keep both.
void Return_Free_Memory();

#endif // PLATFORM_H
