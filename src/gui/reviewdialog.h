#ifndef REVIEWDIALOG_H
#define REVIEWDIALOG_H

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks a person to mark a finding of the calibration history as reviewed: it shows the finding and who
// signs the review, and takes the comment that says why the finding stands. Accept is available only
// once a comment is typed; what is done with it is the caller's.
class TReviewDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TReviewDialog(QWidget* parent = nullptr);
    ~TReviewDialog() override;

    // finding: the finding in one line (Finding_Summary); reviewer: "tech on vm". Clears the comment.
    void Set_Finding(const QString& finding, const QString& reviewer);
    // The comment as typed, without blanks around it.
    QString Get_Comment() const;

private slots:
    void Comment_Changed();

private:
    QLabel* finding_label;
    QLabel* reviewer_label;
    QLineEdit* comment_edit;
    QLabel* reason_label;
    QPushButton* accept_button;
};

#endif // REVIEWDIALOG_H
