#include "velmora.h"

#include <QPlainTextEdit>

TVelmora::TVelmora(QWidget* parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    resize(754, 629);
    log_pane = new QPlainTextEdit(this);
    log_pane->setReadOnly(true);
    setCentralWidget(log_pane);
    setWindowTitle("Velmora - Version 1.1");
}

TVelmora::~TVelmora() = default;

void TVelmora::Log_Message(const QString& message)
{
    log_pane->appendPlainText(message);
    log_pane->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
}
