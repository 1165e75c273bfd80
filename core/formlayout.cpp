#include "formlayout.h"

#include <QFrame>
#include <QHBoxLayout>
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
