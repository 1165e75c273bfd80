#include "commandline.h"
#include "qtcompat.h"
#include "velmora.h"
#include "version.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

#include <cstdio>

int main(int argc, char* argv[])
{
    // The name also names the per-user data directory (~/.local/share/velmora).
    QCoreApplication::setApplicationName("velmora");
    QCoreApplication::setApplicationVersion(VELMORA_VERSION);
    QGuiApplication::setDesktopFileName(VELMORA_APPLICATION_ID);
    Answer_Help_Or_Version(argc, argv);

    Enable_High_Dpi_Support();
    QApplication application(argc, argv);
    QString error;
    if (!Check_Arguments(QCoreApplication::arguments(), &error))
    {
        std::fprintf(stderr, "velmora: %s\nTry 'velmora --help'.\n", qPrintable(error));
        return 1;
    }
    QApplication::setStyle(QStyleFactory::create("fusion"));
    QApplication::setWindowIcon(QIcon(":/icons/velmora.png"));

    // Deleted only after the event loop has returned, never from inside an event.
    TVelmora* main_window = new TVelmora();
    main_window->show();
    const int result = application.exec();
    delete main_window;
    return result;
}
