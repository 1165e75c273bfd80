#include "logpane.h"

#include <QScrollBar>

void TLogPane::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
