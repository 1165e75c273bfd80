#ifndef OPTIONSDIALOG_H
#define OPTIONSDIALOG_H

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The operator's options: how many days before a thermometer's due date to warn, whether new
// temperature log files get a date and time column, whether entries get the audit columns, and whether
// new log files are written in UTF-8.
class TOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsDialog(QWidget* parent = nullptr);
    ~TOptionsDialog() override;

    void Set_Options(int warn_days, bool log_date_time);
    // Meaningful after the dialog was accepted, which it only is with a valid warning period.
    int Get_Warn_Days() const;
    bool Get_Log_Date_Time() const;
    void Set_Log_Audit_Options(bool audit_columns, bool utf8_for_new_files);
    bool Get_Log_Audit_Columns() const;
    bool Get_Log_Utf8() const;

private slots:
    void Warn_Days_Changed();

private:
    QLineEdit* warn_days_edit;
    QLabel* reason_label;
    QCheckBox* log_date_time_check_box;
    QCheckBox* log_audit_columns_check_box;
    QCheckBox* log_utf8_check_box;
    QPushButton* accept_button;
};

#endif // OPTIONSDIALOG_H
