#ifndef CALIBRATIONHISTORYVIEW_H
#define CALIBRATIONHISTORYVIEW_H

#include "calibrationhistory.h"

#include <QString>
#include <QVector>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

// The calibration history in a window of its own beside the main window, not modal: the records of the
// selected thermometer or of all, newest first, and whether the chain of records holds. The main window
// hands it the history again whenever it is shown and after every change, and the selection whenever it
// changes.
class TCalibrationHistoryView : public QWidget
{
    Q_OBJECT

public:
    explicit TCalibrationHistoryView(QWidget* parent = nullptr);
    ~TCalibrationHistoryView() override;

    void Set_History(const THistoryContent& content, const QString& history_file_name);
    // The history could not be read: nothing is shown but why.
    void Set_Read_Error(const QString& error);
    // The selected thermometer's description; empty when none is selected.
    void Set_Selection(const QString& description);
    // Where the export's file dialog starts.
    void Set_Export_Directory(const QString& directory);

    // Writes the shown records as CSV; false, and an ERR message, when the file could not be written.
    bool Export_Csv(const QString& file_name);

signals:
    // A line for the main window's log pane.
    void Message(const QString& message);

private slots:
    void Export_With_Dialog();
    void Show_Records();

private:
    void Create_Widgets();
    void Create_Layout();
    void Connect_Signals();
    void Set_Up_Keyboard();
    void Show_Chain();

    THistoryContent history;
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
    QPushButton* export_button;
};

#endif // CALIBRATIONHISTORYVIEW_H
