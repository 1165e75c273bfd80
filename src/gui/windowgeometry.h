#ifndef WINDOWGEOMETRY_H
#define WINDOWGEOMETRY_H

#include <QByteArray>
#include <QRect>

class QWidget;

// Restores size, position and state saved by QWidget::saveGeometry, but only onto a screen that exists
// now: a window saved on a monitor that has since been removed, or under another arrangement of
// screens, would otherwise come back squeezed into a corner or beyond reach. Leaves the window as it is
// and returns false for such a geometry and for anything that is not a saved geometry at all.
bool Restore_Window_Geometry(QWidget* window, const QByteArray& geometry);

// Where a window whose frame has size goes beside anchor, another window's frame, within available, the
// screen's area for windows: to its right when it fits there, else to its left, the tops level as far
// as the screen allows. Where it fits on neither side, it goes to the side with more room, at the
// screen's edge, so that it covers as little of anchor as it can.
QRect Place_Beside(const QRect& anchor, const QSize& size, const QRect& available);

#endif // WINDOWGEOMETRY_H
