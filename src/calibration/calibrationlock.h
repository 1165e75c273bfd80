#ifndef CALIBRATIONLOCK_H
#define CALIBRATIONLOCK_H

#include <QString>

#include <functional>

class QLockFile;

// Called about every 50 ms while another writer holds a lock, with the name of the lock file; it may
// let the window go on meanwhile (repaint, show that it waits). Returning false cancels the wait.
using TLockWait = std::function<bool(const QString& lock_name)>;

// Why a lock was not taken.
struct TLockProblem
{
    enum TKind
    {
        None,
        // Another writer held it for the whole timeout.
        Busy,
        // The waiter cancelled the wait.
        Cancelled,
        // What stands in the lock file's place is no lock: a symbolic link, a directory, a device, or a
        // file that holds no process id. It is never removed: it was not made by a writer of ours.
        Not_A_Lock,
        // The lock file cannot be created or filled: a read-only folder, a full disk.
        Cannot_Create
    };

    TKind kind = None;
    // What is in the way, ready to follow "Cannot lock ...: ", with the system's reason where it
    // gave one.
    QString reason;
    // What to do about it, a sentence of its own; empty when waiting is all there is to do.
    QString advice;
};

// Takes lock, the QLockFile on lock_name, waiting up to timeout milliseconds while another writer
// holds it: wait is called between tries when given, else the thread sleeps. False, with *problem
// saying why, when it was not taken. A lock left by a writer that is gone is taken over, as QLockFile
// does; nothing else in the lock file's place is removed or followed.
bool Take_Lock(QLockFile* lock, const QString& lock_name, int timeout, const TLockWait& wait,
               TLockProblem* problem);

#endif // CALIBRATIONLOCK_H
