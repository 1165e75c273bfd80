#ifndef VELMORA_H
#define VELMORA_H

#include "calibrationfindings.h"
#include "calibrationstore.h"
#include "message.h"
#include "settingsfile.h"
#include "thermometerchange.h"
#include "thermometercorrection.h"
#include "thermometerdata.h"

#include <QDate>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class QAction;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QFileSystemWatcher;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;
class QVBoxLayout;
class TCalibrationHistoryView;
class TCalibrationStateModel;
class TCorrectionDialog;
class TCorrectionView;
struct TCorrectionViewData;
class TInputDialog;
class TMessageBox;
class TOptionsDialog;
class TSaveWait;

// The one main window: reading entry, the temperature log, thermometer management and the
// reports all run from its slots.
class TVelmora : public QMainWindow
{
    Q_OBJECT

public:
    explicit TVelmora(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~TVelmora() override;

    void Log_Message(const TMessage& message);
    void Update_Corrected_Readings();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void Browse_Path();
    void Edit_Thermometer();
    void Remove_Thermometer();
    void Thermometer_Selection_Changed(int index);
    void Temperature_Input_Changed();
    void Write_Temperature_Entry();
    void Evaluate_Corrections();
    void Evaluate_Uncertainty();
    void Show_Correction_Curve();
    void Edit_Options();
    // Judges every thermometer's calibration state again when the day has changed since it was last
    // judged, and arms the midnight timer for the next change.
    void Check_Calibration_Date();
    // Opens the calibration history beside the window, read from the disk as it is now.
    void Show_Calibration_History();
    // Opens the Correction Editor empty, for a thermometer to add.
    void New_Thermometer();
    // Opens the calibration history and asks for a review of its selected finding (else its first open
    // one).
    void Review_Finding();
    // Records a review the history view asked for through the store, then shows the history, the
    // findings and the states as the disk holds them.
    void Record_Review(const TFinding& finding, const QString& comment);

private:
    // The steps of the constructor, in its order.
    void Create_Actions();
    void Create_Menus();
    void Create_Areas();
    void Create_Thermometer_Area(QWidget* central_widget, QVBoxLayout* main_layout);
    void Create_Reading_Area(QWidget* central_widget, QVBoxLayout* main_layout);
    void Create_Log_Area(QWidget* central_widget, QVBoxLayout* main_layout);
    void Set_Tab_Order();
    // Logs where the data lives and fills the fields from the settings file.
    void Read_Settings();
    // Watches the calibration file, so that what another window or station saves is shown at once.
    void Follow_Other_Writers();
    void Connect_Signals();
    // Shortcuts, the Return chain through the readings and the accessible names.
    void Set_Up_Keyboard();
    void Log_Messages(const TMessages& messages);
    void Load_Thermometers();
    void Select_Initial_Thermometer();
    void Fill_Selector();
    void Update_Thermometer_Actions();
    // Every setting from the window's state but its geometry: the one place that names what is saved.
    QVector<QPair<TSetting, QVariant>> Window_Settings() const;
    // Writes the settings the operator changed since they were last written.
    void Write_Settings();
    // Applies one change through the store. Once the file holds it, shows the list again selecting the
    // first of selection still there and returns true; otherwise the window shows what it showed (or
    // what another window saved meanwhile) and false.
    bool Change_Thermometers(const TThermometerChange& change, const QStringList& selection);
    // Refills the selector from the list, selecting the first of selection still there (letter case
    // ignored), else the first thermometer when first_if_none, else none; the readings and the
    // correction view follow.
    void Show_Thermometers(const QStringList& selection, bool first_if_none);
    // Shows the list again after another writer changed it, selecting the first of selection still
    // there, else keeping the selection by description; when that one is gone, none is selected and a
    // warning says so.
    void Show_Reloaded_Thermometers(const QStringList& selection);
    // Watches the calibration file, and its directory, which sees a save replace the file.
    void Watch_Calibration_File();
    // Reloads the list when another window or station saved the file, and shows it.
    void Follow_Calibration_File();
    // The thermometer selected, to which an action started now is bound; none when none is selected.
    TChosenThermometer Selected_Thermometer() const;
    // Reloads the file before action is carried out on *chosen: false, with the message that says so,
    // when another writer removed it meanwhile; otherwise *chosen becomes it as the file holds it now
    // (a warning when another writer changed it).
    bool Reload_For(TThermometerAction action, TChosenThermometer* chosen);
    // Opens the Correction Editor on thermometer, or empty when it is none, and saves what is accepted.
    // An edit refused because another window changed the thermometer meanwhile opens the editor again
    // on its current values, with what was typed shown to be typed again.
    void Open_Correction_Editor(const TChosenThermometer& thermometer);
    void Write_Report(const QString& default_name, const QString& content, const QString& success_text);
    // Moves a view about to be shown beside the window, where the screen has room.
    void Place_Beside_Window(QWidget* view);
    TCorrectionViewData Correction_View_Data() const;
    // Hands the open correction view the current state; a hidden view is updated when shown.
    void Update_Correction_View();
    // Reads the calibration history and its findings again into the open history view, which then shows
    // the record of a change just made, and the reviews into the selector's tooltips; a hidden view reads
    // it when shown.
    void Read_History_Into_View();
    // Hands the open history view the selected thermometer; a hidden view gets it when shown.
    void Update_History_Selection();
    // The calibration state of every thermometer: warnings at start, icons and tooltips in the selector
    // (worked out by its model when shown).
    void Warn_About_Calibrations();
    void Mark_Thermometer_States();
    void Warn_About_Thermometer(int index);
    // Shows one axis corrected, or "-----" with the reason as tooltip; marks extrapolated readings.
    void Show_Corrected_Reading(QLineEdit* meter_field, QLineEdit* corrected_field);
    QString Not_Corrected_Reason_For(const QLineEdit* meter_field) const;

    QAction* correction_editor_action;
    QAction* remove_thermometer_action;
    QAction* quit_action;
    QAction* options_action;
    QCheckBox* part_check_box;
    QCheckBox* x_check_box;
    QCheckBox* y_check_box;
    QCheckBox* z_check_box;
    QComboBox* thermometer_selector;
    TCalibrationStateModel* selector_model;
    QLineEdit* part_corrected_field;
    QLineEdit* description_field;
    QLineEdit* x_corrected_field;
    QLineEdit* y_corrected_field;
    QLineEdit* z_corrected_field;
    QLineEdit* part_meter_field;
    QLineEdit* x_meter_field;
    QLineEdit* y_meter_field;
    QLineEdit* z_meter_field;
    QLineEdit* record_file_field;
    QLineEdit* record_path_field;
    QPlainTextEdit* log_pane;
    QToolButton* browse_button;
    QToolButton* edit_button;
    QToolButton* remove_button;
    QPushButton* write_button;
    QPushButton* evaluate_corrections_button;
    QPushButton* evaluate_uncertainty_button;
    TCalibrationStore calibration_store;
    TSettingsFile settings;
    TMessageBox* confirmation_box;
    TCorrectionDialog* correction_dialog = nullptr;
    TInputDialog* input_dialog = nullptr;
    TThermometerList thermometer_list;
    QFileSystemWatcher* calibration_watcher;
    // One reload for the several notices of one save (lock file, temporary file, rename).
    QTimer* calibration_reload_timer;
    bool in_calibration = false;
    TThermometerCorrection current_correction;
    QString current_path;
    QAction* correction_curve_action;
    TCorrectionView* correction_view = nullptr;
    QAction* calibration_history_action;
    QAction* review_finding_action;
    TCalibrationHistoryView* history_view = nullptr;
    // The uncertainty of the last uncertainty report, drawn as the correction view's band.
    double last_uncertainty = 0.04;
    TOptionsDialog* options_dialog = nullptr;
    int warn_days_before_due;
    // New temperature log files get a first column with the date and time of each entry.
    bool log_date_time;
    // Entries get the audit columns; new temperature log files are written in UTF-8.
    bool log_audit_columns;
    bool log_utf8;
    // Fires once at the next midnight; judged_date is the day in_calibration and the icons hold for.
    QTimer* midnight_timer;
    QDate judged_date;
    QAction* new_thermometer_action;
    // Shows that a change waits for another station's lock, and lets the operator cancel it.
    TSaveWait* save_wait;
    // A change is under way: the window goes on while it waits for the lock, but reloads nothing.
    bool changing = false;
    // A reload was due while a change was under way.
    bool reload_put_off = false;
};

#endif // VELMORA_H
