#include "inputdialog.h"

#include "formlayout.h"
#include "reports.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>

TInputDialog::TInputDialog(QWidget* parent) : QDialog(parent)
{
    resize(384, 113);
    // Named after the command that asks for the value.
    setWindowTitle("Evaluate Uncertainty");

    QGridLayout* grid_layout = new QGridLayout(this);

    prompt_label = new QLabel("Calibration &Uncertainty (k=2):", this);
    unit_label = new QLabel("C", this);
    value_edit = new QLineEdit(this);
    value_edit->setObjectName("Value_Edit");
    value_edit->setAlignment(Qt::AlignCenter);
    prompt_label->setBuddy(value_edit);
    grid_layout->addWidget(prompt_label, 0, 0);
    grid_layout->addWidget(value_edit, 0, 1);
    grid_layout->addWidget(unit_label, 0, 2);

    explanation_label = new QLabel(this);
    explanation_label->setObjectName("Explanation_Label");
    explanation_label->setWordWrap(true);
    grid_layout->addWidget(explanation_label, 1, 0, 1, 3);

    grid_layout->addWidget(Create_Horizontal_Line(this), 2, 0, 1, 3);
    grid_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 3, 0, 1, 3);

    // Accept is the default button: Return in the value edit accepts while the value is acceptable.
    QPushButton* cancel_button = nullptr;
    grid_layout->addLayout(Create_Cancel_Accept_Row(this, true, &cancel_button, &accept_button), 4, 0, 1, 3);

    connect(cancel_button, &QPushButton::clicked, this, &TInputDialog::reject);
    connect(accept_button, &QPushButton::clicked, this, &TInputDialog::accept);
    // textEdited, not textChanged: only the operator's edits are judged, not Set_Value.
    connect(value_edit, &QLineEdit::textEdited, this, &TInputDialog::Value_Changed);
}

TInputDialog::~TInputDialog() = default;

void TInputDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The value proposed is selected, so that what is typed replaces it rather than being appended.
    value_edit->setFocus(Qt::OtherFocusReason);
    value_edit->selectAll();
}

void TInputDialog::Set_Value(const double& value)
{
    value_edit->setText(QString("%1").arg(value, 0, 'f', 2));
}

double TInputDialog::Get_Value() const
{
    return value_edit->text().toDouble();
}

void TInputDialog::Value_Changed(const QString& text)
{
    double value = 0.0;
    QString problem = Uncertainty_Problem(text, &value);
    if (!problem.isEmpty())
    {
        problem.prepend("Accept is unavailable: ");
    }
    accept_button->setEnabled(problem.isEmpty());
    explanation_label->setText(problem);
    // The dialog opens just tall enough for the value; a reason of several lines makes it taller rather
    // than being cut off.
    const int needed = heightForWidth(width());
    if (needed > height())
    {
        resize(width(), needed);
    }
}
