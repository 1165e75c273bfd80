#ifndef RETURNKEYCHAIN_H
#define RETURNKEYCHAIN_H

#include <QList>

class QAbstractButton;
class QWidget;

// Return (or keypad Enter) in each field of chain but the last finishes that field, as leaving it
// would, and moves the focus on to the next one, as Tab does. No default button takes part, so Return
// in a dialog's field never ends the dialog, and Tab still walks the full order. The fields are line
// edits or spin boxes (date edits among them); the last may be any widget that takes the focus.
void Chain_Return_Key(const QList<QWidget*>& chain);

// Return on the focused button presses it, although it is not a default button; then the focus goes
// on to next, when one is given.
void Press_On_Return(QAbstractButton* button, QWidget* next = nullptr);

#endif // RETURNKEYCHAIN_H
