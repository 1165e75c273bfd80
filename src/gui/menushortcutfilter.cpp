#include "menushortcutfilter.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

TMenuShortcutFilter::TMenuShortcutFilter(QMenuBar* menu_bar, QObject* parent)
    : QObject(parent), menu_bar(menu_bar)
{
    Q_ASSERT_X(menu_bar != nullptr, "TMenuShortcutFilter", "menu_bar");
}

bool TMenuShortcutFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
    {
        return QObject::eventFilter(watched, event);
    }
    const QKeyEvent* key_event = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key_event->key() | int(key_event->modifiers() & ~Qt::KeypadModifier));
    for (const QAction* menu_action : menu_bar->actions())
    {
        if (menu_action->menu() == nullptr)
        {
            continue;
        }
        for (const QAction* action : menu_action->menu()->actions())
        {
            if (action->isEnabled() && action->shortcuts().contains(pressed))
            {
                // Not overridden: the shortcut then triggers the action.
                event->ignore();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
