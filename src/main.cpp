#include "qtcompat.h"
#include "velmora.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

int main(int argc, char* argv[])
{
    Enable_High_Dpi_Support();
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create("fusion"));
    QApplication::setWindowIcon(QIcon(":/icons/velmora.png"));

    // Deleted only after the event loop has returned, never from inside an event.
    TVelmora* main_window = new TVelmora();
    main_window->show();
    const int result = application.exec();
    delete main_window;
    return result;
}
