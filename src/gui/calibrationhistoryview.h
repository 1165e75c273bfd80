#ifndef CALIBRATIONHISTORYVIEW_H
#define CALIBRATIONHISTORYVIEW_H

#include "calibrationfindings.h"
#include "calibrationhistory.h"
#include "message.h"

#include <QString>
#include <QVector>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class TReviewDialog;

// The calibration history in a window of its own beside the main window, not modal: the records of the
// selected thermometer or of all, newest first, whether the chain of records holds, and the findings a
// person has to look at, which Review... marks as reviewed. The main window hands it the history and its
// findings again whenever it is shown and after every change, and the selection whenever it changes; it
// records a review the view asks for.
class TCalibrationHistoryView : public QWidget
{
    Q_OBJECT

public:
    explicit TCalibrationHistoryView(QWidget* parent = nullptr);
    ~TCalibrationHistoryView() override;

    // findings: every finding of the history, reviewed ones included (Calibration_Findings).
    void Set_History(const THistoryContent& content, const QString& history_file_name,
                     const QVector<TFinding>& findings);
    // The history could not be read: nothing is shown but why.
    void Set_Read_Error(const QString& error);
    // The selected thermometer's description; empty when none is selected.
    void Set_Selection(const QString& description);
    // Where the export's file dialog starts.
    void Set_Export_Directory(const QString& directory);

    // Writes the shown records as CSV; false, and an error message, when the file could not be written.
    bool Export_Csv(const QString& file_name);

    // Asks for the comment on the selected finding, else on the first open finding that can be reviewed,
    // and hands it on as Review_Requested once accepted. Only an information message when there is none.
    void Review_Selected_Finding();

signals:
    // A line for the main window's log pane.
    void Message(const TMessage& message);
    // A person accepted a review of finding with comment; the main window records it.
    void Review_Requested(const TFinding& finding, const QString& comment);

private slots:
    void Export_With_Dialog();
    void Show_Records();
    void Show_Findings();
    void Finding_Selection_Changed();

private:
    void Create_Widgets();
    void Create_Layout();
    void Connect_Signals();
    void Set_Up_Keyboard();
    void Show_Chain();
    // The finding of the selected row of the finding table; nullptr when none is selected.
    const TFinding* Selected_Finding() const;

    THistoryContent history;
    // The thermometer each record is about, by index into history.records (History_Record_Thermometers).
    QVector<QString> record_thermometers;
    QVector<TFinding> findings;
    // The findings in the finding table, in its order.
    QVector<TFinding> shown_findings;
    QString history_file_name;
    QString read_error;
    QString selection;
    QString export_directory;
    QVector<THistoryRecord> shown_records;

    QLabel* filter_label;
    QComboBox* filter_selector;
    QLabel* shown_label;
    QTreeWidget* record_table;
    QLabel* chain_label;
    QLabel* findings_label;
    QCheckBox* reviewed_check_box;
    QTreeWidget* finding_table;
    QPushButton* review_button;
    QPushButton* export_button;
    TReviewDialog* review_dialog = nullptr;
};

#endif // CALIBRATIONHISTORYVIEW_H
