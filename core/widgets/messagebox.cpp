#include "messagebox.h"

#include <QAbstractButton>
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
    Give_Details_Button_A_Mnemonic();
}

// QMessageBox labels its details button "Show Details..." or "Hide Details..." without a mnemonic,
// anew each time it is pressed.
void TMessageBox::Give_Details_Button_A_Mnemonic()
{
    const QString show_label = QCoreApplication::translate("QMessageBox", "Show Details...");
    const QString hide_label = QCoreApplication::translate("QMessageBox", "Hide Details...");
    for (QAbstractButton* button : buttons())
    {
        const QString text = button->text();
        if (buttonRole(button) != QMessageBox::ActionRole || (text != show_label && text != hide_label))
        {
            continue;
        }
        button->setText(text == show_label ? "Show &Details..." : "Hide &Details...");
        if (button->property("Velmora_Mnemonic_Kept").toBool())
        {
            continue;
        }
        button->setProperty("Velmora_Mnemonic_Kept", true);
        // Runs after QMessageBox's own handling of the press, which sets the label again.
        connect(button, &QAbstractButton::clicked, this, &TMessageBox::Give_Details_Button_A_Mnemonic,
                Qt::QueuedConnection);
    }
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
