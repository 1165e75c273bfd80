#include "highdpi.h"

#include <QCoreApplication>

void Enable_High_Dpi_Support()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 always does both, and there these attributes only draw a deprecation warning.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}
