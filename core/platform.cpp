#include "platform.h"

#include <QFileDevice>
#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <io.h>
#include <malloc.h>
#include <windows.h>
#else
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#endif

#if defined(Q_OS_WIN)

namespace
{

QString Last_Error_Text()
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString reason =
        length > 0 ? QString::fromWCharArray(text, int(length)).trimmed() : QStringLiteral("unknown error");
    LocalFree(text);
    return reason;
}

} // namespace

QString Account_Name()
{
    wchar_t name[256 + 1];
    DWORD length = DWORD(sizeof(name) / sizeof(name[0]));
    if (GetUserNameW(name, &length) && length > 0)
    {
        // The length counts the terminating zero.
        return QString::fromWCharArray(name, int(length) - 1);
    }
    const QString user = qEnvironmentVariable("USERNAME");
    return user.isEmpty() ? QStringLiteral("unknown user") : user;
}

bool Sync_To_Disk(QFileDevice* file, QString* reason)
{
    const intptr_t handle = _get_osfhandle(file->handle());
    if (handle == intptr_t(-1) || !FlushFileBuffers(reinterpret_cast<HANDLE>(handle)))
    {
        *reason = Last_Error_Text();
        return false;
    }
    return true;
}

bool Is_Process_Running(qint64 process_id)
{
    if (process_id <= 0 || process_id > qint64(MAXDWORD))
    {
        return false;
    }
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(process_id));
    if (process == nullptr)
    {
        // Running, but not ours to open.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

void Return_Free_Memory()
{
    _heapmin();
}

#else

QString Account_Name()
{
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof(buffer), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr)
    {
        return QString::fromLocal8Bit(found->pw_name);
    }
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("uid %1").arg(geteuid()) : user;
}

bool Sync_To_Disk(QFileDevice* file, QString* reason)
{
    if (::fsync(file->handle()) != 0)
    {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

bool Is_Process_Running(qint64 process_id)
{
    if (process_id <= 0 || process_id != qint64(pid_t(process_id)))
    {
        return false;
    }
    // Signal 0 only asks; a process of another user answers with EPERM.
    return ::kill(pid_t(process_id), 0) == 0 || errno == EPERM;
}

void Return_Free_Memory()
{
#if defined(__GLIBC__)
    // Also the free pages amid the heap, not only those at its end.
    malloc_trim(0);
#endif
}

#endif
