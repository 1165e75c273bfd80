#ifndef LOGPANE_H
#define LOGPANE_H

#include <QPlainTextEdit>

// The window's log: unwrapped lines, newest last. Whenever the pane changes size (the window resized,
// maximized or restored), it shows the last line whole and the start of the lines, where the
// INF/WAR/ERR tells what a line is about.
class TLogPane : public QPlainTextEdit
{
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

#endif // LOGPANE_H
