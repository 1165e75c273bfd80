#include "clicommands.h"
#include "version.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace
{

// Writes out to standard output and closes it; false, with the system's reason, when any of it failed
// (a full disk, a closed pipe's reader gone, /dev/full): scripts must not take a cut-off output for
// the whole.
bool Write_Standard_Output(const QByteArray& out, QString* reason)
{
    errno = 0;
    const bool written = std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size());
    const bool flushed = written && std::fflush(stdout) == 0;
    const int flush_error = errno;
    // Closing reports what a file system defers to the close (NFS), and writes nothing afterwards.
    errno = 0;
    const bool closed = std::fclose(stdout) == 0;
    const int close_error = errno;
    if (written && flushed && closed)
    {
        return true;
    }
    const int error = !flushed ? flush_error : close_error;
    *reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString("the output was cut short");
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // The window's name: it names the per-user data directory (~/.local/share/velmora) both read.
    QCoreApplication::setApplicationName("velmora");
    QCoreApplication::setApplicationVersion(VELMORA_VERSION);
    TCliResult result = Run_Cli(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
    QString reason;
    if (!Write_Standard_Output(result.out, &reason))
    {
        result.err += QString("velmora-cli: cannot write standard output: %1\n").arg(reason);
        result.status = Cli_Exit_Io_Error;
    }
    // UTF-8 whatever the locale: the calibrated range holds "°C", and scripts read the bytes.
    const QByteArray err = result.err.toUtf8();
    std::fwrite(err.constData(), 1, size_t(err.size()), stderr);
    return result.status;
}
