#ifndef INPUTDIALOG_H
#define INPUTDIALOG_H

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks the operator for the calibration uncertainty (k=2), a number from 0 to below 1.
class TInputDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TInputDialog(QWidget* parent = nullptr);
    ~TInputDialog() override;

    // Shows the value with two decimals; whether "Accept" is enabled stays as it was.
    void Set_Value(const double& value);
    // The shown text as a number; text that is not a number gives 0.
    double Get_Value() const;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void Value_Changed(const QString& text);

private:
    QLabel* prompt_label;
    QLabel* unit_label;
    QLineEdit* value_edit;
    QPushButton* accept_button;
    // Says under the value why "Accept" is unavailable, as the Correction Editor's explanation does.
    QLabel* explanation_label;
};

#endif // INPUTDIALOG_H
