#ifndef VELMORA_H
#define VELMORA_H

#include <QMainWindow>

class QPlainTextEdit;

class TVelmora : public QMainWindow
{
    Q_OBJECT

public:
    explicit TVelmora(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~TVelmora() override;

    void Log_Message(const QString& message);

private:
    QPlainTextEdit* log_pane;
};

#endif // VELMORA_H
