#ifndef LOGPANE_H
#define LOGPANE_H

#include <QPlainTextEdit>

// The window's log: lines wrapped at the pane's width, newest last. Whenever the pane changes size
// (the window resized, maximized or restored), it shows the last line whole.
class TLogPane : public QPlainTextEdit
{
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

#endif // LOGPANE_H
