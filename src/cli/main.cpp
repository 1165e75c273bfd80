#include "clicommands.h"
#include "version.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // The window's name: it names the per-user data directory (~/.local/share/velmora) both read.
    QCoreApplication::setApplicationName("velmora");
    QCoreApplication::setApplicationVersion(VELMORA_VERSION);
    const TCliResult result = Run_Cli(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
    // UTF-8 whatever the locale: the calibrated range holds "°C", and scripts read the bytes.
    const QByteArray out = result.out.toUtf8();
    const QByteArray err = result.err.toUtf8();
    std::fwrite(out.constData(), 1, out.size(), stdout);
    std::fwrite(err.constData(), 1, err.size(), stderr);
    return result.status;
}
