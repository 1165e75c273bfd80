#include "windowgeometry.h"

#include <QDataStream>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace
{

// What QWidget::saveGeometry writes, the same from Qt 5.4 to Qt 6, in the stream version of Qt 4.0:
// a magic number, the format version, the frame and normal geometry, the screen's number, the maximized
// and full-screen flags, from version 2 the screen's width and from version 3 the geometry. Qt itself
// applies a truncated record, so the whole of it is read here first.
const quint32 Geometry_Magic_Number = 0x1D9D0CB;

bool Read_Frame_Geometry(const QByteArray& geometry, QRect* frame)
{
    QDataStream stream(geometry);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic_number = 0;
    quint16 major_version = 0;
    quint16 minor_version = 0;
    stream >> magic_number >> major_version >> minor_version;
    if (stream.status() != QDataStream::Ok || magic_number != Geometry_Magic_Number || major_version < 1 ||
        major_version > 3)
    {
        return false;
    }
    QRect normal_geometry;
    qint32 screen_number = 0;
    quint8 maximized = 0;
    quint8 full_screen = 0;
    stream >> *frame >> normal_geometry >> screen_number >> maximized >> full_screen;
    if (major_version > 1)
    {
        qint32 screen_width = 0;
        stream >> screen_width;
    }
    if (major_version > 2)
    {
        QRect widget_geometry;
        stream >> widget_geometry;
    }
    return stream.status() == QDataStream::Ok && frame->isValid() && normal_geometry.isValid();
}

} // namespace

bool Restore_Window_Geometry(QWidget* window, const QByteArray& geometry)
{
    Q_ASSERT_X(window != nullptr, "Restore_Window_Geometry", "window");
    QRect frame;
    if (!Read_Frame_Geometry(geometry, &frame))
    {
        return false;
    }
    // The window's middle, not its corner, must lie on a screen, so that enough of it to grab and
    // read is in view.
    const QPoint centre = frame.center();
    for (const QScreen* screen : QGuiApplication::screens())
    {
        if (screen->availableGeometry().contains(centre))
        {
            return window->restoreGeometry(geometry);
        }
    }
    return false;
}

QRect Place_Beside(const QRect& anchor, const QSize& size, const QRect& available)
{
    const int room_right = available.right() - anchor.right();
    const int room_left = anchor.left() - available.left();
    int left = 0;
    if (room_right >= size.width())
    {
        left = anchor.right() + 1;
    }
    else if (room_left >= size.width())
    {
        left = anchor.left() - size.width();
    }
    else
    {
        left = room_right >= room_left ? available.right() + 1 - size.width() : available.left();
    }
    // A window taller than the screen keeps its title bar on it.
    const int top = std::max(available.top(), std::min(anchor.top(), available.bottom() + 1 - size.height()));
    return QRect(QPoint(std::max(left, available.left()), top), size);
}
