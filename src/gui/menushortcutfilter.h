#ifndef MENUSHORTCUTFILTER_H
#define MENUSHORTCUTFILTER_H

#include <QObject>

class QMenuBar;

// On Linux desktops a line edit claims Ctrl+E (end of line), Ctrl+K, Ctrl+U and more for emacs-style
// editing before any shortcut sees them: Ctrl+E would open the Correction Editor only while no field
// has the focus, and the operator is nearly always in one. Installed on the window's line edits, this
// filter leaves the keys of the menu bar's actions to those actions.
class TMenuShortcutFilter : public QObject
{
    Q_OBJECT

public:
    TMenuShortcutFilter(QMenuBar* menu_bar, QObject* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMenuBar* menu_bar;
};

#endif // MENUSHORTCUTFILTER_H
