#include "reviewdialog.h"

#include "formlayout.h"

#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>

TReviewDialog::TReviewDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Review Finding");
    setMinimumWidth(520);

    QGridLayout* grid_layout = new QGridLayout(this);

    // A finding names thermometers and comments, which may hold anything, markup too.
    finding_label = new QLabel(this);
    finding_label->setObjectName("Finding_Label");
    finding_label->setTextFormat(Qt::PlainText);
    finding_label->setWordWrap(true);
    finding_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid_layout->addWidget(finding_label, 0, 0, 1, 2);

    reviewer_label = new QLabel(this);
    reviewer_label->setObjectName("Reviewer_Label");
    reviewer_label->setTextFormat(Qt::PlainText);
    reviewer_label->setWordWrap(true);
    grid_layout->addWidget(reviewer_label, 1, 0, 1, 2);

    comment_edit = new QLineEdit(this);
    comment_edit->setObjectName("Comment_Edit");
    comment_edit->setPlaceholderText("probe replaced, 1.5 K is real");
    QLabel* comment_label = new QLabel("&Comment:", this);
    comment_label->setBuddy(comment_edit);
    grid_layout->addWidget(comment_label, 2, 0);
    grid_layout->addWidget(comment_edit, 2, 1);

    // Says why Accept is unavailable, so that it is never a riddle.
    reason_label = new QLabel(this);
    reason_label->setObjectName("Reason_Label");
    reason_label->setWordWrap(true);
    grid_layout->addWidget(reason_label, 3, 0, 1, 2);

    grid_layout->addWidget(Create_Horizontal_Line(this), 4, 0, 1, 2);
    grid_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 5, 0, 1, 2);

    QPushButton* cancel_button = nullptr;
    grid_layout->addLayout(Create_Cancel_Accept_Row(this, true, &cancel_button, &accept_button), 6, 0, 1, 2);
    grid_layout->setColumnStretch(1, 1);

    connect(cancel_button, &QPushButton::clicked, this, &TReviewDialog::reject);
    connect(accept_button, &QPushButton::clicked, this, &TReviewDialog::accept);
    connect(comment_edit, &QLineEdit::textChanged, this, &TReviewDialog::Comment_Changed);
    comment_edit->setAccessibleName("Review comment");
    Comment_Changed();
}

TReviewDialog::~TReviewDialog() = default;

void TReviewDialog::Set_Finding(const QString& finding, const QString& reviewer)
{
    finding_label->setText(finding);
    reviewer_label->setText(
        QString("Reviewed by %1, now; the review is kept in the calibration history for good.")
            .arg(reviewer));
    comment_edit->clear();
    comment_edit->setFocus();
    Comment_Changed();
    // A long finding wraps over several lines: the dialog grows to show all of them.
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height())
    {
        resize(width(), needed);
    }
}

QString TReviewDialog::Get_Comment() const
{
    return comment_edit->text().trimmed();
}

void TReviewDialog::Comment_Changed()
{
    const bool typed = !Get_Comment().isEmpty();
    accept_button->setEnabled(typed);
    reason_label->setText(typed ? QString("Accept marks the finding as reviewed.")
                                : QString("Type why the finding stands, or what was done about it."));
}
