#ifndef VELMORA_H
#define VELMORA_H

#include <QMainWindow>
#include <QString>

class QAction;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSettings;
class QToolButton;

// The one main window: reading entry, the temperature log, thermometer management and the
// reports all run from its slots.
class TVelmora : public QMainWindow
{
    Q_OBJECT

public:
    explicit TVelmora(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~TVelmora() override;

    void Log_Message(const QString& message);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Choose_Data_Directory();

    QAction* correction_editor_action;
    QAction* remove_thermometer_action;
    QAction* quit_action;
    QCheckBox* part_check_box;
    QCheckBox* x_check_box;
    QCheckBox* y_check_box;
    QCheckBox* z_check_box;
    QComboBox* thermometer_selector;
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
    QSettings* settings;
    QString application_directory_path;
    QString data_directory_path;
    QString current_path;
    // Set when the directory beside the executable could not be used; logged once the log pane exists.
    QString data_directory_warning;
};

#endif // VELMORA_H
