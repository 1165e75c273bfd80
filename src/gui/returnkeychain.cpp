#include "returnkeychain.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QKeySequence>
#include <QLineEdit>

void Chain_Return_Key(const QList<QWidget*>& chain)
{
    for (int index = 0; index + 1 < chain.size(); ++index)
    {
        QWidget* next = chain[index + 1];
        // A spin box finishes its text on Return and then passes the key on as returnPressed of the line
        // edit inside it, its only one.
        QLineEdit* field = qobject_cast<QAbstractSpinBox*>(chain[index]) != nullptr
                               ? chain[index]->findChild<QLineEdit*>()
                               : qobject_cast<QLineEdit*>(chain[index]);
        Q_ASSERT_X(field != nullptr, "Chain_Return_Key", "a line edit or spin box");
        QObject::connect(field, &QLineEdit::returnPressed, next,
                         [next]() { next->setFocus(Qt::TabFocusReason); });
    }
}

void Press_On_Return(QAbstractButton* button, QWidget* next)
{
    // A button that is not a default button ignores Return; a shortcut bound to the focused button alone
    // gets it first.
    QAction* press_on_return = new QAction(button);
    press_on_return->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    press_on_return->setShortcutContext(Qt::WidgetShortcut);
    button->addAction(press_on_return);
    QObject::connect(press_on_return, &QAction::triggered, button, [button, next]() {
        button->click();
        if (next != nullptr)
        {
            next->setFocus(Qt::TabFocusReason);
        }
    });
}
