#ifndef FORMLAYOUT_H
#define FORMLAYOUT_H

#include <initializer_list>

class QFrame;
class QHBoxLayout;
class QWidget;

// A sunken horizontal line between the groups of a form.
QFrame* Create_Horizontal_Line(QWidget* parent);

// A dialog's button row: the buttons, in the given order, pushed to the right by a spacer.
QHBoxLayout* Create_Button_Row(std::initializer_list<QWidget*> buttons);

#endif // FORMLAYOUT_H
