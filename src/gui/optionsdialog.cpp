#include "optionsdialog.h"

#include "calibrationstatus.h"
#include "formlayout.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>

TOptionsDialog::TOptionsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Options");

    QGridLayout* grid_layout = new QGridLayout(this);

    warn_days_edit = new QLineEdit(this);
    warn_days_edit->setObjectName("Warn_Days_Edit");
    QLabel* warn_days_label = new QLabel("&Warn days before due:", this);
    warn_days_label->setBuddy(warn_days_edit);
    grid_layout->addWidget(warn_days_label, 0, 0);
    grid_layout->addWidget(warn_days_edit, 0, 1);

    // Says why the period is refused, and what 0 means, so that a disabled "Accept" is never a riddle.
    reason_label = new QLabel(this);
    reason_label->setObjectName("Reason_Label");
    reason_label->setWordWrap(true);
    grid_layout->addWidget(reason_label, 1, 0, 1, 2);

    log_date_time_check_box = new QCheckBox("Add a &date and time column to new temperature log files", this);
    log_date_time_check_box->setObjectName("Log_Date_Time_Check_Box");
    grid_layout->addWidget(log_date_time_check_box, 2, 0, 1, 2);

    // Made after the date and time box, so that Tab reaches them after it and before the buttons.
    log_audit_columns_check_box = new QCheckBox(
        "Add a&udit columns to temperature log entries (meter readings, calibration record, flags)", this);
    log_audit_columns_check_box->setObjectName("Log_Audit_Columns_Check_Box");
    grid_layout->addWidget(log_audit_columns_check_box, 3, 0, 1, 2);

    // An existing file keeps its encoding: a file that changed it in the middle would read wrongly.
    log_utf8_check_box = new QCheckBox("Write new temperature log files in UTF-&8", this);
    log_utf8_check_box->setObjectName("Log_Utf8_Check_Box");
    grid_layout->addWidget(log_utf8_check_box, 4, 0, 1, 2);

    grid_layout->addWidget(Create_Horizontal_Line(this), 5, 0, 1, 2);
    grid_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 6, 0, 1, 2);

    QPushButton* cancel_button = nullptr;
    grid_layout->addLayout(Create_Cancel_Accept_Row(this, true, &cancel_button, &accept_button), 7, 0, 1, 2);

    connect(cancel_button, &QPushButton::clicked, this, &TOptionsDialog::reject);
    connect(accept_button, &QPushButton::clicked, this, &TOptionsDialog::accept);
    connect(warn_days_edit, &QLineEdit::textChanged, this, &TOptionsDialog::Warn_Days_Changed);
}

TOptionsDialog::~TOptionsDialog() = default;

void TOptionsDialog::Set_Options(int warn_days, bool log_date_time)
{
    warn_days_edit->setText(QString::number(warn_days));
    log_date_time_check_box->setChecked(log_date_time);
    Warn_Days_Changed();
}

int TOptionsDialog::Get_Warn_Days() const
{
    int days = Default_Warn_Days_Before_Due;
    QString reason;
    Parse_Warn_Days(warn_days_edit->text(), &days, &reason);
    return days;
}

bool TOptionsDialog::Get_Log_Date_Time() const
{
    return log_date_time_check_box->isChecked();
}

void TOptionsDialog::Set_Log_Audit_Options(bool audit_columns, bool utf8_for_new_files)
{
    log_audit_columns_check_box->setChecked(audit_columns);
    log_utf8_check_box->setChecked(utf8_for_new_files);
}

bool TOptionsDialog::Get_Log_Audit_Columns() const
{
    return log_audit_columns_check_box->isChecked();
}

bool TOptionsDialog::Get_Log_Utf8() const
{
    return log_utf8_check_box->isChecked();
}

void TOptionsDialog::Warn_Days_Changed()
{
    int days = 0;
    QString reason;
    const bool valid = Parse_Warn_Days(warn_days_edit->text(), &days, &reason);
    accept_button->setEnabled(valid);
    if (!valid)
    {
        reason_label->setText(reason);
    }
    else if (days == 0)
    {
        reason_label->setText("No warnings before the due date.");
    }
    else
    {
        reason_label->setText(
            QString("Warn when a thermometer is due within %1 day%2.").arg(days).arg(days == 1 ? "" : "s"));
    }
}
