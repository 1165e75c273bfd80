#ifndef MESSAGEBOX_H
#define MESSAGEBOX_H

#include <QMessageBox>

// The program's message box: a fixed width whatever the texts, styled rich-text main and
// informative texts, and buttons without icons in one order on every platform. It adds no
// signals or slots and so reports QMessageBox's meta-object.
class TMessageBox : public QMessageBox
{
public:
    explicit TMessageBox(QWidget* parent = nullptr);
    ~TMessageBox() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

public:
    int exec() override;

    // The text is inserted as markup, unescaped, so callers may use rich text in it.
    virtual void Set_Text(const QString& text);
    virtual void Set_Informative_Text(const QString& text);

    // Queues a press and a release of the key for the box itself, as if typed.
    void Send_Key(int key);

private:
    // Alt+D shows and hides the detailed text.
    void Give_Details_Button_A_Mnemonic();

    int fixed_width;
};

#endif // MESSAGEBOX_H
