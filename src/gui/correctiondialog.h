#ifndef CORRECTIONDIALOG_H
#define CORRECTIONDIALOG_H

#include "correctiondialogdata.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class TDueDateEdit;

// The Correction Editor: description, calibration due date and three test points of one
// thermometer. It only edits values; the caller looks the thermometer up and stores it.
class TCorrectionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TCorrectionDialog(QWidget* parent = nullptr);
    ~TCorrectionDialog() override;

    // The dialog refuses the descriptions in others (letter case ignored) and opens with
    // "Accept" disabled. A null due date shows none, to be typed.
    void Set_Dialog_Data(const TCorrectionDialogData& dialog_data, const QStringList& others);
    void Get_Dialog_Data(TCorrectionDialogData* dialog_data);
    // Empties every field, for a thermometer to add: its description, due date and test points must
    // all be typed before "Accept" becomes available.
    void Set_Empty_Entry(const QStringList& others);
    // What the operator typed into the fields, as far as it differs from what the dialog was opened
    // with ("due date Jun 30 2031; test point 2 thermometer reading 20.50"); empty when nothing does.
    QString Typed_Entry() const;
    // Says, above everything else the dialog explains, that the change of the last edit was not saved
    // because another window changed the thermometer meanwhile, and what had been typed (a
    // Typed_Entry), until the dialog is set again; nothing when empty.
    void Set_Refused_Entry(const QString& typed_entry);

private slots:
    void Description_Changed();
    void Calibration_Date_Changed();
    void Temperature_Changed();

private:
    // The one judgement behind "Accept", made from every field at once, and its explanation.
    void Update_Accept_Button();
    // "Accept" disabled, and why, or that a change of a field makes it available.
    void Show_Opening_Explanation();
    // Why the entry cannot be accepted, naming the field; empty when it can.
    QString Entry_Problem() const;
    // The due date in words with the days left, and what will make every reading "-----".
    QString Due_Date_Explanation() const;
    // The six temperatures as they will be stored, in the order reference, reading of test points 1 to
    // 3: a field that still shows what it opened with gives back the value behind it, which may hold
    // more decimals than shown. False when a field is not a number.
    bool Temperature_Values(double values[6]) const;
    // Sets the line under the test points, after the refused entry's note, growing the dialog to show
    // all of it.
    void Show_Explanation(const QString& text);
    // That Accept adds a thermometer and leaves the one the dialog opened on as it is, when the
    // description names another; empty otherwise.
    QString Addition_Note() const;
    // Warnings about a calibration that is doubtful, and how far the correction's model is from the exact
    // inverse of the calibration; each line starts with a line break. Shown also for an entry that cannot
    // be accepted as it stands, which a calibration file may hold; acceptable says whether it can.
    QString Calibration_Explanation(bool acceptable) const;

    TDueDateEdit* calibration_due_date_edit;
    QLineEdit* description_edit;
    QLineEdit* reference_temperature1_edit;
    QLineEdit* thermometer_reading1_edit;
    QLineEdit* reference_temperature2_edit;
    QLineEdit* thermometer_reading2_edit;
    QLineEdit* reference_temperature3_edit;
    QLineEdit* thermometer_reading3_edit;
    QPushButton* accept_button;
    QStringList other_descriptions;
    QLabel* explanation_label;
    // What Set_Dialog_Data was given.
    TCorrectionDialogData opened_data;
    QString refused_entry;
};

#endif // CORRECTIONDIALOG_H
