#include "formlayout.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpacerItem>

QFrame* Create_Horizontal_Line(QWidget* parent)
{
    QFrame* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QHBoxLayout* Create_Button_Row(std::initializer_list<QWidget*> buttons)
{
    QHBoxLayout* row = new QHBoxLayout();
    row->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    for (QWidget* button : buttons)
    {
        row->addWidget(button);
    }
    return row;
}

QHBoxLayout* Create_Cancel_Accept_Row(QWidget* dialog, bool accept_is_default, QPushButton** cancel_button,
                                      QPushButton** accept_button)
{
    Q_ASSERT_X(cancel_button != nullptr, "Create_Cancel_Accept_Row", "cancel_button");
    Q_ASSERT_X(accept_button != nullptr, "Create_Cancel_Accept_Row", "accept_button");
    *cancel_button = new QPushButton("&Cancel", dialog);
    (*cancel_button)->setObjectName("Cancel_Button");
    (*cancel_button)->setAutoDefault(false);
    *accept_button = new QPushButton("&Accept", dialog);
    (*accept_button)->setObjectName("Accept_Button");
    (*accept_button)->setAutoDefault(accept_is_default);
    (*accept_button)->setDefault(accept_is_default);
    return Create_Button_Row({*cancel_button, *accept_button});
}
