#ifndef FORMLAYOUT_H
#define FORMLAYOUT_H

#include <initializer_list>

class QFrame;
class QHBoxLayout;
class QPushButton;
class QWidget;

// A sunken horizontal line between the groups of a form.
QFrame* Create_Horizontal_Line(QWidget* parent);

// A dialog's button row: the buttons, in the given order, pushed to the right by a spacer.
QHBoxLayout* Create_Button_Row(std::initializer_list<QWidget*> buttons);

// The "Cancel" and "Accept" row every dialog ends with. Only a default Accept answers Return: a dialog
// whose edits use Return themselves passes accept_is_default false. The caller connects the buttons.
QHBoxLayout* Create_Cancel_Accept_Row(QWidget* dialog, bool accept_is_default, QPushButton** cancel_button,
                                      QPushButton** accept_button);

#endif // FORMLAYOUT_H
