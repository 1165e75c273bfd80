#include "messagebox.h"

#include <QCoreApplication>
#include <QKeyEvent>

TMessageBox::TMessageBox(QWidget* parent) : QMessageBox(parent), fixed_width(500)
{
    setTextFormat(Qt::RichText);
    // Layout 1 is QDialogButtonBox::MacLayout: the same button order on every platform.
    setStyleSheet("dialogbuttonbox-buttons-have-icons: 0;\nbutton-layout: 1;");
}

TMessageBox::~TMessageBox() = default;

// QMessageBox sizes itself from its texts on every show and layout change; the width is
// put back after it has done so.
void TMessageBox::resizeEvent(QResizeEvent* event)
{
    QMessageBox::resizeEvent(event);
    setFixedWidth(fixed_width);
}

void TMessageBox::showEvent(QShowEvent* event)
{
    QMessageBox::showEvent(event);
    setFixedWidth(fixed_width);
}

int TMessageBox::exec()
{
    return QDialog::exec();
}

void TMessageBox::Set_Text(const QString& text)
{
    setText(QString("<span style=\"font-size:10pt; font-weight:600; color:#000000;\" >%1</span>").arg(text));
}

void TMessageBox::Set_Informative_Text(const QString& text)
{
    setInformativeText(
        QString("<span style=\"font-size:10pt; font-weight:400; color:#000000;\" >%1</span>").arg(text));
}

void TMessageBox::Send_Key(int key)
{
    // The event queue takes ownership of posted events and deletes them after delivery.
    QCoreApplication::postEvent(this,
                                new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(), false, 1));
    QCoreApplication::postEvent(this,
                                new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(), false, 1));
}
