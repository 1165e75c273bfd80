#ifndef WINDOWGEOMETRY_H
#define WINDOWGEOMETRY_H

#include <QByteArray>

class QWidget;

// Restores size, position and state saved by QWidget::saveGeometry, but only onto a screen that exists
// now: a window saved on a monitor that has since been removed, or under another arrangement of
// screens, would otherwise come back squeezed into a corner or beyond reach. Leaves the window as it is
// and returns false for such a geometry and for anything that is not a saved geometry at all.
bool Restore_Window_Geometry(QWidget* window, const QByteArray& geometry);

#endif // WINDOWGEOMETRY_H
