#include "velmora.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

const char* const Data_Directory_Name = ".velmora";
const char* const Settings_File_Name = "/velmora_settings.ini";

QFrame* Create_Horizontal_Line(QWidget* parent)
{
    QFrame* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLineEdit* Create_Reading_Field(QWidget* parent, const QFont& font, const QString& object_name, bool read_only)
{
    QLineEdit* field = new QLineEdit(parent);
    field->setObjectName(object_name);
    field->setFont(font);
    field->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    field->setReadOnly(read_only);
    return field;
}

QPushButton* Create_Command_Button(QWidget* parent, const QString& object_name)
{
    QPushButton* button = new QPushButton(parent);
    button->setObjectName(object_name);
    button->setAutoDefault(false);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return button;
}

// A directory can hold the settings and the calibration data only if a file can really be
// created in it; the permission bits alone do not tell (read-only mounts, ACLs).
bool Is_Directory_Writable(const QString& path)
{
    if (!QFileInfo(path).isDir())
    {
        return false;
    }
    QTemporaryFile probe(path + "/.write_probe_XXXXXX");
    return probe.open();
}

} // namespace

TVelmora::TVelmora(QWidget* parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    QFont reading_font;
    reading_font.setPointSize(16);
    reading_font.setWeight(75);
    QFont log_font("Courier New");
    log_font.setFixedPitch(true);
    QFont notice_font;
    notice_font.setPointSize(8);
    notice_font.setItalic(true);

    Choose_Data_Directory();

    settings = new QSettings(data_directory_path + Settings_File_Name, QSettings::IniFormat, this);

    resize(754, 629);

    correction_editor_action = new QAction(this);
    remove_thermometer_action = new QAction(this);
    quit_action = new QAction(this);

    QWidget* central_widget = new QWidget(this);
    setCentralWidget(central_widget);
    QVBoxLayout* main_layout = new QVBoxLayout(central_widget);

    QGridLayout* grid_a = new QGridLayout();
    QLabel* record_path_label = new QLabel(central_widget);
    record_path_field = new QLineEdit(central_widget);
    record_path_field->setObjectName("Record_Path_Field");
    browse_button = new QToolButton(central_widget);
    browse_button->setObjectName("Browse_Button");
    QLabel* record_file_label = new QLabel(central_widget);
    record_file_field = new QLineEdit(central_widget);
    record_file_field->setObjectName("Record_File_Field");
    QLabel* thermometer_label = new QLabel(central_widget);
    thermometer_selector = new QComboBox(central_widget);
    thermometer_selector->setObjectName("Thermometer_Selector");
    edit_button = new QToolButton(central_widget);
    edit_button->setObjectName("Edit_Button");
    remove_button = new QToolButton(central_widget);
    remove_button->setObjectName("Remove_Button");
    grid_a->addWidget(record_path_label, 0, 0);
    grid_a->addWidget(record_path_field, 0, 1);
    grid_a->addWidget(browse_button, 0, 2, 1, 2);
    grid_a->addWidget(record_file_label, 1, 0);
    grid_a->addWidget(record_file_field, 1, 1);
    grid_a->addWidget(thermometer_label, 2, 0);
    grid_a->addWidget(thermometer_selector, 2, 1);
    grid_a->addWidget(edit_button, 2, 2);
    grid_a->addWidget(remove_button, 2, 3);
    main_layout->addLayout(grid_a);

    main_layout->addWidget(Create_Horizontal_Line(central_widget));

    QGridLayout* grid_b = new QGridLayout();
    QLabel* description_label = new QLabel(central_widget);
    description_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    description_field = new QLineEdit(central_widget);
    description_field->setObjectName("Description_Field");
    QLabel* meter_reading_label = new QLabel(central_widget);
    meter_reading_label->setAlignment(Qt::AlignCenter);
    QLabel* corrected_reading_label = new QLabel(central_widget);
    corrected_reading_label->setAlignment(Qt::AlignCenter);
    x_check_box = new QCheckBox(central_widget);
    x_check_box->setObjectName("X_Check_Box");
    y_check_box = new QCheckBox(central_widget);
    y_check_box->setObjectName("Y_Check_Box");
    z_check_box = new QCheckBox(central_widget);
    z_check_box->setObjectName("Z_Check_Box");
    part_check_box = new QCheckBox(central_widget);
    part_check_box->setObjectName("Part_Check_Box");
    x_meter_field = Create_Reading_Field(central_widget, reading_font, "X_Meter_Field", false);
    y_meter_field = Create_Reading_Field(central_widget, reading_font, "Y_Meter_Field", false);
    z_meter_field = Create_Reading_Field(central_widget, reading_font, "Z_Meter_Field", false);
    part_meter_field = Create_Reading_Field(central_widget, reading_font, "Part_Meter_Field", false);
    x_corrected_field = Create_Reading_Field(central_widget, reading_font, "X_Corrected_Field", true);
    y_corrected_field = Create_Reading_Field(central_widget, reading_font, "Y_Corrected_Field", true);
    z_corrected_field = Create_Reading_Field(central_widget, reading_font, "Z_Corrected_Field", true);
    part_corrected_field = Create_Reading_Field(central_widget, reading_font, "Part_Corrected_Field", true);
    write_button = Create_Command_Button(central_widget, "Write_Button");
    evaluate_corrections_button = Create_Command_Button(central_widget, "Evaluate_Corrections_Button");
    evaluate_uncertainty_button = Create_Command_Button(central_widget, "Evaluate_Uncertainty_Button");
    grid_b->addWidget(description_label, 0, 0);
    grid_b->addWidget(description_field, 0, 1, 1, 2);
    grid_b->addWidget(meter_reading_label, 1, 1);
    grid_b->addWidget(corrected_reading_label, 1, 2);
    grid_b->addWidget(x_check_box, 2, 0);
    grid_b->addWidget(x_meter_field, 2, 1);
    grid_b->addWidget(x_corrected_field, 2, 2);
    grid_b->addWidget(y_check_box, 3, 0);
    grid_b->addWidget(y_meter_field, 3, 1);
    grid_b->addWidget(y_corrected_field, 3, 2);
    grid_b->addWidget(z_check_box, 4, 0);
    grid_b->addWidget(z_meter_field, 4, 1);
    grid_b->addWidget(z_corrected_field, 4, 2);
    grid_b->addWidget(part_check_box, 5, 0);
    grid_b->addWidget(part_meter_field, 5, 1);
    grid_b->addWidget(part_corrected_field, 5, 2);
    grid_b->addWidget(write_button, 2, 3, 2, 1);
    grid_b->addWidget(evaluate_corrections_button, 4, 3);
    grid_b->addWidget(evaluate_uncertainty_button, 5, 3);
    main_layout->addLayout(grid_b);

    main_layout->addWidget(Create_Horizontal_Line(central_widget));

    QLabel* log_label = new QLabel(central_widget);
    main_layout->addWidget(log_label);
    log_pane = new QPlainTextEdit(central_widget);
    log_pane->setObjectName("Log_Pane");
    log_pane->setReadOnly(true);
    log_pane->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_pane->setFont(log_font);
    main_layout->addWidget(log_pane);

    main_layout->addWidget(Create_Horizontal_Line(central_widget));
    main_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));

    QHBoxLayout* bottom_layout = new QHBoxLayout();
    QLabel* notice_label = new QLabel(central_widget);
    notice_label->setFont(notice_font);
    notice_label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    QLabel* logo_label = new QLabel(central_widget);
    logo_label->setObjectName("Logo_Label");
    logo_label->setFixedSize(100, 40);
    bottom_layout->addWidget(notice_label);
    bottom_layout->addWidget(logo_label);
    main_layout->addLayout(bottom_layout);

    QMenu* file_menu = menuBar()->addMenu(QString());
    file_menu->addAction(quit_action);
    QMenu* edit_menu = menuBar()->addMenu(QString());
    edit_menu->addAction(correction_editor_action);
    edit_menu->addAction(remove_thermometer_action);

    if (!data_directory_warning.isEmpty())
    {
        Log_Message(data_directory_warning);
    }

    current_path = settings->value("Current_Path", QDir::homePath()).toString();
    record_path_field->setText(QDir::toNativeSeparators(current_path));
    record_file_field->setText(settings->value("Record_File", "velmora.csv").toString());

    description_field->setText(settings->value("Description", "Position 1").toString());
    x_check_box->setChecked(settings->value("Axis_X_Enabled", true).toBool());
    y_check_box->setChecked(settings->value("Axis_Y_Enabled", true).toBool());
    z_check_box->setChecked(settings->value("Axis_Z_Enabled", true).toBool());
    part_check_box->setChecked(settings->value("Axis_Part_Enabled", true).toBool());
    x_meter_field->setText(settings->value("Meter_X_Value", "20.00").toString());
    y_meter_field->setText(settings->value("Meter_Y_Value", "20.00").toString());
    z_meter_field->setText(settings->value("Meter_Z_Value", "20.00").toString());
    part_meter_field->setText(settings->value("Meter_Part_Value", "20.00").toString());

    setTabOrder(record_path_field, browse_button);
    setTabOrder(browse_button, record_file_field);
    setTabOrder(record_file_field, thermometer_selector);
    setTabOrder(thermometer_selector, edit_button);
    setTabOrder(edit_button, remove_button);
    setTabOrder(remove_button, description_field);
    setTabOrder(description_field, x_check_box);
    setTabOrder(x_check_box, x_meter_field);
    setTabOrder(x_meter_field, y_check_box);
    setTabOrder(y_check_box, y_meter_field);
    setTabOrder(y_meter_field, z_check_box);
    setTabOrder(z_check_box, z_meter_field);
    setTabOrder(z_meter_field, part_check_box);
    setTabOrder(part_check_box, part_meter_field);
    setTabOrder(part_meter_field, write_button);
    setTabOrder(write_button, evaluate_corrections_button);
    setTabOrder(evaluate_corrections_button, evaluate_uncertainty_button);
    setTabOrder(evaluate_uncertainty_button, log_pane);

    setWindowTitle("Velmora - Version 1.1");
    logo_label->setPixmap(QPixmap(":/images/logo.png"));
    browse_button->setIconSize(QSize(16, 16));
    browse_button->setIcon(QIcon(":/gui/browse_icon16.png"));
    edit_button->setIconSize(QSize(16, 16));
    edit_button->setIcon(QIcon(":/gui/edit_icon16.png"));
    remove_button->setIconSize(QSize(16, 16));
    remove_button->setIcon(QIcon(":/gui/remove_icon16.png"));

    correction_editor_action->setText("Correction Editor");
    remove_thermometer_action->setText("Remove Thermometer");
    quit_action->setText("Quit");
    record_path_label->setText("Record Path:");
    record_file_label->setText("Record File:");
    thermometer_label->setText("Thermometer:");
    description_label->setText("Description:");
    meter_reading_label->setText("Meter Reading");
    corrected_reading_label->setText("Corrected Reading");
    x_check_box->setText("X Axis Temperature:");
    y_check_box->setText("Y Axis Temperature:");
    z_check_box->setText("Z Axis Temperature:");
    part_check_box->setText("Part Temperature:");
    write_button->setText("Write");
    evaluate_corrections_button->setText("Evaluate Corrections");
    evaluate_uncertainty_button->setText("Evaluate Uncertainty");
    log_label->setText("Log:");
    notice_label->setText("Readings are corrected only while the thermometer is within its calibration period.");
    file_menu->setTitle("File");
    edit_menu->setTitle("Edit");

    connect(quit_action, &QAction::triggered, this, &TVelmora::close);
}

TVelmora::~TVelmora() = default;

void TVelmora::Choose_Data_Directory()
{
    application_directory_path = QCoreApplication::applicationDirPath();

    QDir directory(application_directory_path);
    if (!directory.exists(Data_Directory_Name))
    {
        directory.mkdir(Data_Directory_Name);
    }
    directory.cd(Data_Directory_Name);
    data_directory_path = directory.absolutePath();

    const QString preferred_path = application_directory_path + "/" + Data_Directory_Name;
    if (data_directory_path == QDir(preferred_path).absolutePath() && Is_Directory_Writable(data_directory_path))
    {
        return;
    }

    // Installed where an ordinary user may not write: settings and calibration edits would be lost
    // without a word, so keep them in the user's own application data directory instead.
    const QString fallback_path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(fallback_path);
    data_directory_path = QDir(fallback_path).absolutePath();
    data_directory_warning = QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                                 .arg(QDir::toNativeSeparators(QDir::cleanPath(preferred_path)),
                                      QDir::toNativeSeparators(data_directory_path));
}

void TVelmora::closeEvent(QCloseEvent* event)
{
    settings->setValue("Current_Path", QDir::fromNativeSeparators(record_path_field->text()));
    settings->setValue("Record_File", record_file_field->text());
    settings->setValue("Active_Thermometer", thermometer_selector->currentIndex());
    settings->setValue("Description", description_field->text());
    settings->setValue("Axis_X_Enabled", x_check_box->isChecked());
    settings->setValue("Axis_Y_Enabled", y_check_box->isChecked());
    settings->setValue("Axis_Z_Enabled", z_check_box->isChecked());
    settings->setValue("Axis_Part_Enabled", part_check_box->isChecked());
    settings->setValue("Meter_X_Value", x_meter_field->text());
    settings->setValue("Meter_Y_Value", y_meter_field->text());
    settings->setValue("Meter_Z_Value", z_meter_field->text());
    settings->setValue("Meter_Part_Value", part_meter_field->text());
    event->accept();
}

void TVelmora::Log_Message(const QString& message)
{
    log_pane->appendPlainText(message);
    log_pane->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
}
