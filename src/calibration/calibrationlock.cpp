#include "calibrationlock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <cstring>

namespace
{

// How long a lock file that holds no lock must stay so before it counts as no lock at all: a writer
// creates the file first and writes its process id into it a moment later.
constexpr int Unfilled_Lock_Grace = 500;

// Between two tries to take a lock that another writer holds.
constexpr int Lock_Retry_Interval = 50;

// Why the file in the lock's place is not a lock that QLockFile can take or wait for, with what to do
// about it in *advice; empty when it is one (or is gone). Judged before QLockFile sees the file: it
// would remove a symbolic link whose target names a process that is gone, and any file older than
// half a minute that holds no process id, without a word. *unfilled tells whether it is a file that
// holds no lock, which a writer may still be about to fill.
QString Not_A_Lock_Reason(const QLockFile& lock, const QString& lock_name, QString* advice, bool* unfilled)
{
    *unfilled = false;
    const QString name = QDir::toNativeSeparators(lock_name);
    const QFileInfo info(lock_name);
    QString what;
    if (info.isSymLink())
    {
        what = "a symbolic link";
    }
    else if (info.isDir())
    {
        what = "a directory";
    }
    else if (!info.exists())
    {
        return QString();
    }
    else if (!info.isFile())
    {
        what = "not a regular file";
    }
    else
    {
        qint64 process_id = 0;
        QString host_name;
        QString application_name;
        if (lock.getLockInfo(&process_id, &host_name, &application_name))
        {
            return QString();
        }
        *unfilled = true;
        *advice =
            QString("If no other Velmora is saving, delete '%1', then make the change again.").arg(name);
        return QString(
                   "the lock file '%1' holds no process id (%2 bytes), so it is not a lock Velmora can use")
            .arg(name, QString::number(info.size()));
    }
    *advice =
        QString("Remove '%1' (Velmora makes only plain files of that name), then make the change again.")
            .arg(name);
    return QString("the lock file '%1' is %2, not a lock Velmora can use").arg(name, what);
}

// The system's words for what went wrong with file, which Qt 5.15 sometimes gives as "Unknown error".
QString System_Reason(const QFileDevice& file, int error_number)
{
    const QString reason = file.errorString();
    if (error_number != 0 && (reason.isEmpty() || reason == QLatin1String("Unknown error")))
    {
        return QString::fromLocal8Bit(std::strerror(error_number));
    }
    return reason;
}

// QLockFile says only that it could not make or fill the lock file, not why. A file made and filled as
// it would be tells, in the system's words; it is removed again. False when it could be made after all
// (the trouble passed, or another writer made the lock meanwhile).
bool Creation_Problem(const QString& lock_name, TLockProblem* problem)
{
    const QString name = QDir::toNativeSeparators(lock_name);
    const QString directory = QDir::toNativeSeparators(QFileInfo(lock_name).absolutePath());
    QFile probe(lock_name);
    errno = 0;
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
    {
        if (QFileInfo::exists(lock_name))
        {
            return false;
        }
        problem->reason =
            QString("the lock file '%1' cannot be created: %2").arg(name, System_Reason(probe, errno));
        problem->advice = QString("Make sure this user may create files in '%1', then make the change again.")
                              .arg(directory);
        return true;
    }
    // As much as QLockFile writes: the process id, the program's name and the host's.
    const QByteArray content = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                               QCoreApplication::applicationName().toUtf8() + '\n' +
                               QSysInfo::machineHostName().toUtf8() + '\n';
    errno = 0;
    const bool written = probe.write(content) == content.size() && probe.flush();
    const QString reason = System_Reason(probe, errno);
    const bool disk_full = probe.error() == QFileDevice::ResourceError;
    probe.close();
    probe.remove();
    if (written)
    {
        return false;
    }
    problem->reason = QString("the lock file '%1' cannot be written: %2").arg(name, reason);
    problem->advice =
        QString(disk_full ? "Free space on the disk that holds '%1', then make the change again."
                          : "Check the disk that holds '%1', then make the change again.")
            .arg(directory);
    return true;
}

} // namespace

bool Take_Lock(QLockFile* lock, const QString& lock_name, int timeout, const TLockWait& wait,
               TLockProblem* problem)
{
    Q_ASSERT_X(lock != nullptr && problem != nullptr, "Take_Lock", "lock, problem");
    *problem = TLockProblem();
    QElapsedTimer waited;
    waited.start();
    // Since when the lock file has held no lock; invalid while it holds one.
    QElapsedTimer unfilled_since;
    for (;;)
    {
        bool unfilled = false;
        QString advice;
        const QString not_a_lock = Not_A_Lock_Reason(*lock, lock_name, &advice, &unfilled);
        if (!unfilled)
        {
            unfilled_since.invalidate();
        }
        else if (!unfilled_since.isValid())
        {
            unfilled_since.start();
        }
        const bool timed_out = waited.elapsed() >= timeout;
        if (!not_a_lock.isEmpty())
        {
            // Waiting for a directory or a file that holds no lock would only end the way it began.
            if (!unfilled || unfilled_since.elapsed() >= Unfilled_Lock_Grace || timed_out)
            {
                *problem = {TLockProblem::Not_A_Lock, not_a_lock, advice};
                return false;
            }
        }
        // QLockFile takes over a lock file whose writer is gone.
        else if (lock->tryLock(0))
        {
            return true;
        }
        else if (lock->error() != QLockFile::LockFailedError)
        {
            if (!Creation_Problem(lock_name, problem))
            {
                *problem = {
                    TLockProblem::Cannot_Create,
                    QString("the lock file '%1' cannot be created").arg(QDir::toNativeSeparators(lock_name)),
                    QString()};
            }
            problem->kind = TLockProblem::Cannot_Create;
            return false;
        }
        if (timed_out)
        {
            *problem = {TLockProblem::Busy, QString("another Velmora is saving it"), QString()};
            return false;
        }
        if (!wait)
        {
            QThread::msleep(static_cast<unsigned long>(
                qBound(qint64(1), timeout - waited.elapsed(), qint64(Lock_Retry_Interval))));
        }
        else if (!wait(lock_name))
        {
            *problem = {TLockProblem::Cancelled, QString("waiting for another station's save was cancelled"),
                        QString()};
            return false;
        }
    }
}
