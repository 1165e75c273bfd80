#include "velmora.h"

#include "calibrationstatus.h"
#include "correctiondialog.h"
#include "formlayout.h"
#include "inputdialog.h"
#include "messagebox.h"
#include "optionsdialog.h"
#include "qtcompat.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace
{

const char* const Data_Directory_Name = ".velmora";
const char* const Settings_File_Name = "/velmora_settings.ini";

QLineEdit* Create_Reading_Field(QWidget* parent, const QFont& font, const QString& object_name,
                                bool read_only)
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

const char* const Not_Corrected = "-----";
const char* const Calibration_File_Base_Name = "calibration_data";

// Wider than any thermometer's calibration range. A damaged or hand-edited calibration file can hold
// any numbers, and the reports step through the range: far out, a step of 0.1 no longer changes t.
const double Maximum_Evaluation_Span = 10000.0;
const double Maximum_Evaluation_Temperature = 100000.0;

QString Format_Date(const QDate& date)
{
    // English month names on every system and under either Qt version: Qt 5 would take the system's.
    return QLocale::c().toString(date, "MMM dd yyyy");
}

// Writes all of data and reports whether every byte reached the file.
bool Write_All(QFile* file, const QByteArray& data)
{
    return file->write(data) == data.size() && file->flush();
}

} // namespace

QString Corrected_Reading_Text(const QString& meter_text, bool in_calibration,
                               const TThermometerCorrection& correction)
{
    if (!in_calibration || !correction.Is_Valid())
    {
        return Not_Corrected;
    }
    bool is_number = false;
    const double reading = meter_text.toDouble(&is_number);
    // "inf" and "nan" convert, but no meter shows them.
    if (!is_number || !std::isfinite(reading))
    {
        return Not_Corrected;
    }
    const TVector2 deviation = correction.Evaluate_Point(reading);
    return QString("%1").arg(deviation.x - deviation.y, 0, 'f', 2);
}

QString Csv_Field(const QString& field)
{
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r'))
    {
        return field;
    }
    QString quoted = field;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QString Temperature_Log_Header()
{
    return "Measurement Description,Thermometer,X Temp. C,Y Temp. C,Z Temp. C,Part Temp. C\n";
}

QString Temperature_Log_Line(const QString& description, const QString& thermometer,
                             const QStringList& axis_texts)
{
    Q_ASSERT_X(axis_texts.size() == 4, "Temperature_Log_Line", "axis_texts");
    QString line = Csv_Field(description) + "," + Csv_Field(thermometer);
    for (const QString& text : axis_texts)
    {
        line += "," + Csv_Field(text);
    }
    return line + "\n";
}

bool Is_Evaluation_Range_Usable(const TThermometerCorrection& correction, QString* error)
{
    Q_ASSERT_X(error != nullptr, "Is_Evaluation_Range_Usable", "error");
    const double start = std::floor(correction.Get_Point1().x);
    const double end = std::ceil(correction.Get_Point3().x);
    if (std::fabs(start) <= Maximum_Evaluation_Temperature &&
        std::fabs(end) <= Maximum_Evaluation_Temperature && end - start <= Maximum_Evaluation_Span)
    {
        return true;
    }
    *error = QString("ERR  Cannot evaluate the temperature range %1 to %2: it is not a calibration range.")
                 .arg(correction.Get_Point1().x, 0, 'g', -1)
                 .arg(correction.Get_Point3().x, 0, 'g', -1);
    return false;
}

QString Corrections_Report(const QString& description, const QDate& due_date,
                           const TThermometerCorrection& correction)
{
    QString report;
    report += QString("Thermometer:,%1\n").arg(Csv_Field(description));
    report += QString("Calibration Due:,%1\n").arg(Format_Date(due_date));
    const TVector2 points[3] = {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()};
    for (int index = 0; index < 3; ++index)
    {
        report += QString("Point %1:,%2,%3\n")
                      .arg(index + 1)
                      .arg(points[index].x, 0, 'f', 4)
                      .arg(points[index].y, 0, 'f', 4);
    }
    report += "Reference C,Corrected C,Deviation C\n";

    // The step is accumulated, not recomputed from a row number; the 0.001 margin keeps the last
    // whole degree although the repeated addition drifts.
    const double end = std::ceil(correction.Get_Point3().x) + 0.001;
    for (double t = std::floor(correction.Get_Point1().x); t < end; t += 0.1)
    {
        const TVector2 deviation = correction.Evaluate_Point(t);
        const double corrected = t - deviation.y;
        report +=
            QString("%1,%2,%3\n").arg(t, 0, 'f', 4).arg(corrected, 0, 'f', 4).arg(corrected - t, 0, 'g', -1);
    }
    return report;
}

QString Uncertainty_Report(const QString& description, const QDate& due_date,
                           const TThermometerCorrection& correction, double uncertainty)
{
    QString report;
    report += QString("Thermometer:,%1\n").arg(Csv_Field(description));
    report += QString("Calibration Due:,%1,,,Temp. C ->\n").arg(Format_Date(due_date));

    QVector<double> temperatures;
    const double end = std::ceil(correction.Get_Point3().x) + 0.001;
    for (double t = std::floor(correction.Get_Point1().x); t < end; t += 1.0)
    {
        temperatures.append(t);
    }

    report += "Set,Offset 1,Offset 2,Offset 3";
    for (double t : temperatures)
    {
        report += QString(",%1").arg(t, 0, 'f', 4);
    }
    report += "\n";

    const TVector2 points[3] = {correction.Get_Point1(), correction.Get_Point2(), correction.Get_Point3()};
    TThermometerCorrection shifted;
    for (qint64 set = 0; set < 64; ++set)
    {
        // Sets whose shift bits are all clear repeat set 0.
        if (set != 0 && (set & 7) == 0)
        {
            continue;
        }
        double offsets[3];
        for (int point = 0; point < 3; ++point)
        {
            const bool is_shifted = (set & (qint64(1) << point)) != 0;
            const bool is_negative = (set & (qint64(1) << (point + 3))) != 0;
            offsets[point] = is_shifted ? (is_negative ? 0.0 - uncertainty : 0.0 + uncertainty) : 0.0;
        }
        shifted.Set_Points(TVector2(points[0].x, points[0].y + offsets[0]),
                           TVector2(points[1].x, points[1].y + offsets[1]),
                           TVector2(points[2].x, points[2].y + offsets[2]));

        report += QString("%1,%2,%3,%4")
                      .arg(set)
                      .arg(offsets[0], 0, 'f', 3)
                      .arg(offsets[1], 0, 'f', 3)
                      .arg(offsets[2], 0, 'f', 3);
        for (double t : temperatures)
        {
            const TVector2 deviation = shifted.Evaluate_Point(t);
            report += QString(",%1").arg(t - deviation.y, 0, 'f', 4);
        }
        report += "\n";
    }
    return report;
}

TVelmora::TVelmora(QWidget* parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    QFont reading_font;
    reading_font.setPointSize(16);
    reading_font.setWeight(QFont::Bold);
    QFont log_font("Courier New");
    log_font.setFixedPitch(true);
    QFont notice_font;
    notice_font.setPointSize(8);
    notice_font.setItalic(true);

    Choose_Data_Directory();

    settings = new QSettings(data_directory_path + Settings_File_Name, QSettings::IniFormat, this);
    Use_Utf8_Ini_Encoding(settings);

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
    // The closed selector tells the same as the item it shows, also while the window sets it up.
    connect(thermometer_selector, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this]() {
        thermometer_selector->setToolTip(thermometer_selector->currentData(Qt::ToolTipRole).toString());
    });
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
    QMenu* options_menu = menuBar()->addMenu("&Options");
    QAction* options_action = options_menu->addAction("&Options...");
    options_action->setObjectName("Options_Action");

    confirmation_box = new TMessageBox(this);
    correction_dialog = nullptr;
    input_dialog = nullptr;
    in_calibration = false;
    keep_calibration_file = false;
    options_dialog = nullptr;

    if (!data_directory_warning.isEmpty())
    {
        Log_Message(data_directory_warning);
    }

    current_path = settings->value("Current_Path", QDir::homePath()).toString();
    record_path_field->setText(QDir::toNativeSeparators(current_path));
    record_file_field->setText(settings->value("Record_File", "velmora.csv").toString());
    // A hand-edited period that the Options dialog would refuse falls back to the default.
    warn_days_before_due = Default_Warn_Days_Before_Due;
    QString refusal;
    Parse_Warn_Days(settings->value("Warn_Days_Before_Due", Default_Warn_Days_Before_Due).toString(),
                    &warn_days_before_due, &refusal);
    log_date_time = settings->value("Log_Date_Time", false).toBool();

    Load_Thermometers();
    Warn_About_Calibrations();

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
    notice_label->setText(
        "Readings are corrected only while the thermometer is within its calibration period.");
    file_menu->setTitle("File");
    edit_menu->setTitle("Edit");

    Select_Initial_Thermometer();

    connect(browse_button, &QToolButton::clicked, this, &TVelmora::Browse_Path);
    connect(correction_editor_action, &QAction::triggered, this, &TVelmora::Edit_Thermometer);
    connect(edit_button, &QToolButton::clicked, this, &TVelmora::Edit_Thermometer);
    connect(remove_thermometer_action, &QAction::triggered, this, &TVelmora::Remove_Thermometer);
    connect(remove_button, &QToolButton::clicked, this, &TVelmora::Remove_Thermometer);
    connect(thermometer_selector, QOverload<int>::of(&QComboBox::activated), this,
            &TVelmora::Thermometer_Selection_Changed);
    connect(x_meter_field, &QLineEdit::editingFinished, this, &TVelmora::Temperature_Input_Changed);
    connect(y_meter_field, &QLineEdit::editingFinished, this, &TVelmora::Temperature_Input_Changed);
    connect(z_meter_field, &QLineEdit::editingFinished, this, &TVelmora::Temperature_Input_Changed);
    connect(part_meter_field, &QLineEdit::editingFinished, this, &TVelmora::Temperature_Input_Changed);
    connect(write_button, &QPushButton::clicked, this, &TVelmora::Write_Temperature_Entry);
    connect(evaluate_corrections_button, &QPushButton::clicked, this, &TVelmora::Evaluate_Corrections);
    connect(evaluate_uncertainty_button, &QPushButton::clicked, this, &TVelmora::Evaluate_Uncertainty);
    connect(quit_action, &QAction::triggered, this, &TVelmora::close);
    connect(options_action, &QAction::triggered, this, &TVelmora::Edit_Options);
    // Only the operator's choice: at start the warnings of all thermometers are already logged.
    connect(thermometer_selector, QOverload<int>::of(&QComboBox::activated), this,
            &TVelmora::Warn_About_Thermometer);
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
    if (data_directory_path == QDir(preferred_path).absolutePath() &&
        Is_Directory_Writable(data_directory_path))
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

QString TVelmora::Calibration_File_Name() const
{
    return data_directory_path + "/" + Calibration_File_Base_Name + ".xml";
}

void TVelmora::Load_Thermometers()
{
    const QString file_name = Calibration_File_Name();
    const bool file_existed = QFileInfo::exists(file_name);
    const bool loaded = thermometer_list.Load_Calibration_File(file_name);
    if (loaded)
    {
        Log_Message(QString("INF  Calibration file loaded: '%1'").arg(QDir::toNativeSeparators(file_name)));
    }
    else
    {
        Log_Message(
            QString("ERR  Cannot load calibration file: '%1'").arg(QDir::toNativeSeparators(file_name)));
    }

    Fill_Selector();
    for (const QString& description : thermometer_list.Get_Descriptions())
    {
        Log_Message(
            QString("INF  Loaded correction data for '%1'.  Calibration Due: %2")
                .arg(description, Format_Date(thermometer_list.Get_Calibration_Due_Date(description))));
    }
    Log_Message(QString("INF  Calibration data checksum error count: %1")
                    .arg(thermometer_list.Get_Checksum_Error_Count()));

    keep_calibration_file = file_existed && (!loaded || thermometer_list.Get_Checksum_Error_Count() > 0 ||
                                             thermometer_list.Get_File_Version() != 1);
}

void TVelmora::Fill_Selector()
{
    thermometer_selector->insertItems(thermometer_selector->count(), thermometer_list.Get_Descriptions());
    Mark_Thermometer_States();
}

void TVelmora::Mark_Thermometer_States()
{
    const QDate today = QDate::currentDate();
    for (int index = 0; index < thermometer_selector->count(); ++index)
    {
        const QString description = thermometer_selector->itemText(index);
        const QDate due_date = thermometer_list.Get_Calibration_Due_Date(description);
        const TThermometerCorrection correction = thermometer_list.Get_Correction(description);
        const TCalibrationState state = Calibration_State(due_date, today, warn_days_before_due, correction);
        thermometer_selector->setItemIcon(index, QIcon(Calibration_State_Icon(state)));
        thermometer_selector->setItemData(
            index, Calibration_Tooltip(due_date, today, warn_days_before_due, correction), Qt::ToolTipRole);
    }
    thermometer_selector->setToolTip(thermometer_selector->currentData(Qt::ToolTipRole).toString());
}

void TVelmora::Warn_About_Calibrations()
{
    const QDate today = QDate::currentDate();
    for (const QString& description : thermometer_list.Get_Descriptions())
    {
        const QString warning =
            Calibration_Warning(description, thermometer_list.Get_Calibration_Due_Date(description), today,
                                warn_days_before_due, thermometer_list.Get_Correction(description));
        if (!warning.isEmpty())
        {
            Log_Message(warning);
        }
    }
}

void TVelmora::Warn_About_Thermometer(int index)
{
    if (index < 0)
    {
        return;
    }
    const QString description = thermometer_selector->itemText(index);
    const QString warning = Calibration_Warning(
        description, thermometer_list.Get_Calibration_Due_Date(description), QDate::currentDate(),
        warn_days_before_due, thermometer_list.Get_Correction(description));
    if (!warning.isEmpty())
    {
        Log_Message(warning);
    }
}

void TVelmora::Select_Initial_Thermometer()
{
    const int active = settings->value("Active_Thermometer", 0).toInt();
    if (active >= 0 && active < thermometer_selector->count())
    {
        thermometer_selector->setCurrentIndex(active);
        Thermometer_Selection_Changed(active);
    }
    else if (thermometer_selector->count() > 0)
    {
        thermometer_selector->setCurrentIndex(0);
        Thermometer_Selection_Changed(0);
    }
    else
    {
        Update_Corrected_Readings();
    }
}

void TVelmora::Update_Corrected_Readings()
{
    Show_Corrected_Reading(x_meter_field, x_corrected_field);
    Show_Corrected_Reading(y_meter_field, y_corrected_field);
    Show_Corrected_Reading(z_meter_field, z_corrected_field);
    Show_Corrected_Reading(part_meter_field, part_corrected_field);
}

QString TVelmora::Not_Corrected_Reason_For(const QLineEdit* meter_field) const
{
    const QString description = thermometer_selector->currentText();
    return Not_Corrected_Reason(meter_field->text(), thermometer_selector->currentIndex() >= 0,
                                in_calibration, thermometer_list.Get_Calibration_Due_Date(description),
                                current_correction);
}

void TVelmora::Show_Corrected_Reading(QLineEdit* meter_field, QLineEdit* corrected_field)
{
    const QString text = Corrected_Reading_Text(meter_field->text(), in_calibration, current_correction);
    corrected_field->setText(text);
    QString tooltip;
    if (text == Not_Corrected)
    {
        tooltip = Not_Corrected_Reason_For(meter_field);
    }
    else if (Is_Outside_Calibrated_Range(meter_field->text().toDouble(), current_correction))
    {
        tooltip = "outside the calibrated range " + Calibrated_Range_Text(current_correction);
    }
    corrected_field->setToolTip(tooltip);
    // Colour is only the quick hint; the tooltip says it in words. An empty palette inherits again.
    QPalette marked;
    if (!tooltip.isEmpty() && text != Not_Corrected)
    {
        marked.setColor(QPalette::Text, palette().color(QPalette::Link));
    }
    corrected_field->setPalette(marked);
}

void TVelmora::Thermometer_Selection_Changed(int index)
{
    if (index < 0)
    {
        return;
    }
    const QString description = thermometer_selector->itemText(index);
    current_correction = thermometer_list.Get_Correction(description);
    in_calibration = thermometer_list.Is_Calibration_Valid(description);
    Update_Corrected_Readings();
}

void TVelmora::Temperature_Input_Changed()
{
    QLineEdit* sender_field = qobject_cast<QLineEdit*>(sender());
    if (sender_field == nullptr)
    {
        return;
    }
    const std::pair<QLineEdit*, QLineEdit*> axes[] = {{x_meter_field, x_corrected_field},
                                                      {y_meter_field, y_corrected_field},
                                                      {z_meter_field, z_corrected_field},
                                                      {part_meter_field, part_corrected_field}};
    for (const auto& axis : axes)
    {
        if (axis.first == sender_field)
        {
            Show_Corrected_Reading(axis.first, axis.second);
            return;
        }
    }
}

void TVelmora::Browse_Path()
{
    const QString directory = QFileDialog::getExistingDirectory(
        this, "Select directory to write output file.", QDir::fromNativeSeparators(record_path_field->text()),
        QFileDialog::ShowDirsOnly);
    if (directory.isEmpty())
    {
        return;
    }
    record_path_field->setText(QDir::toNativeSeparators(directory));
    current_path = directory;
}

void TVelmora::Write_Temperature_Entry()
{
    const QString file_path =
        QDir::fromNativeSeparators(record_path_field->text()) + QString("/%1").arg(record_file_field->text());
    const QString description = description_field->text();
    const bool exists = QFile::exists(file_path);
    Log_Message(
        QString(exists ? "INF  Appending log file: '%1' for '%2'" : "INF  Creating log file: '%1' for '%2'")
            .arg(QDir::toNativeSeparators(file_path), description));

    QFile file(file_path);
    if (!file.open(QIODevice::Append | QIODevice::Text))
    {
        Log_Message("WAR  Cannot open temperature log file for writing");
        return;
    }

    QString text;
    if (!exists)
    {
        text += Temperature_Log_Header();
    }
    const QStringList axis_texts = {x_check_box->isChecked() ? x_corrected_field->text() : QString(),
                                    y_check_box->isChecked() ? y_corrected_field->text() : QString(),
                                    z_check_box->isChecked() ? z_corrected_field->text() : QString(),
                                    part_check_box->isChecked() ? part_corrected_field->text() : QString()};
    text += Temperature_Log_Line(description, thermometer_selector->currentText(), axis_texts);

    // A full disk or a removed medium must not pass for a recorded reading.
    const bool written = Write_All(&file, text.toLatin1());
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
    {
        Log_Message(QString("WAR  Temperature log entry was not written to '%1': %2")
                        .arg(QDir::toNativeSeparators(file_path), file.errorString()));
    }
}

bool TVelmora::Keep_Damaged_Calibration_File()
{
    const QString file_name = Calibration_File_Name();
    if (!QFileInfo::exists(file_name))
    {
        return true;
    }
    for (int number = 1;; ++number)
    {
        const QString kept_name =
            QString("%1/%2_kept_%3.xml").arg(data_directory_path, Calibration_File_Base_Name).arg(number);
        if (QFileInfo::exists(kept_name))
        {
            continue;
        }
        if (!QFile::copy(file_name, kept_name))
        {
            Log_Message(
                QString("ERR  Cannot keep calibration file '%1' as '%2'; the thermometers were not saved.")
                    .arg(QDir::toNativeSeparators(file_name), QDir::toNativeSeparators(kept_name)));
            return false;
        }
        Log_Message(QString("WAR  Calibration file '%1' did not load completely; kept it as '%2'.")
                        .arg(QDir::toNativeSeparators(file_name), QDir::toNativeSeparators(kept_name)));
        return true;
    }
}

void TVelmora::Save_Thermometers()
{
    // The first save would replace a file that still holds thermometers the list never loaded.
    if (keep_calibration_file)
    {
        if (!Keep_Damaged_Calibration_File())
        {
            return;
        }
        keep_calibration_file = false;
    }
    if (!thermometer_list.Save_Calibration_File(Calibration_File_Name()))
    {
        Log_Message(QString("ERR  %1").arg(thermometer_list.Get_Last_Error()));
    }
}

void TVelmora::Edit_Thermometer()
{
    if (correction_dialog == nullptr)
    {
        correction_dialog = new TCorrectionDialog(this);
    }

    QStringList descriptions = thermometer_list.Get_Descriptions();
    TCorrectionDialogData dialog_data;
    if (thermometer_selector->count() > 0)
    {
        dialog_data.description = thermometer_selector->currentText();
        descriptions.removeOne(dialog_data.description);
    }
    thermometer_list.Get_Correction_Data(dialog_data.description, &dialog_data);
    dialog_data.calibration_due_date = thermometer_list.Get_Calibration_Due_Date(dialog_data.description);

    correction_dialog->Set_Dialog_Data(dialog_data, descriptions);
    if (correction_dialog->exec() != 1)
    {
        return;
    }
    correction_dialog->Get_Dialog_Data(&dialog_data);

    const QString& description = dialog_data.description;
    thermometer_list.Set_Correction_Data(description, dialog_data);
    thermometer_list.Set_Calibration_Due_Date(description, dialog_data.calibration_due_date);

    thermometer_selector->clear();
    Fill_Selector();
    // Selected by the list's own lookup, letter case ignored, so that the selector names the
    // thermometer whose correction is in use even when only the case of its description changed.
    const QStringList stored_descriptions = thermometer_list.Get_Descriptions();
    for (int index = 0; index < stored_descriptions.size(); ++index)
    {
        if (stored_descriptions[index].compare(description, Qt::CaseInsensitive) == 0)
        {
            thermometer_selector->setCurrentIndex(index);
            break;
        }
    }

    in_calibration = thermometer_list.Is_Calibration_Valid(description);
    current_correction = thermometer_list.Get_Correction(description);
    Log_Message(QString("INF  Updated correction data for '%1'.  Calibration Due: %2")
                    .arg(description, Format_Date(thermometer_list.Get_Calibration_Due_Date(description))));
    Warn_About_Thermometer(thermometer_selector->currentIndex());
    Update_Corrected_Readings();
    Save_Thermometers();
}

void TVelmora::Remove_Thermometer()
{
    confirmation_box->Set_Text("Remove Thermometer");
    confirmation_box->Set_Informative_Text("Are you sure you want to delete the current thermometer?");
    // Named, so that a wrong selection is caught before its data is gone.
    const QString selected = thermometer_selector->currentText();
    confirmation_box->setDetailedText(
        thermometer_selector->currentIndex() < 0
            ? QString("No thermometer is selected; nothing will be deleted.")
            : QString("Thermometer to delete: '%1'\nCalibration due: %2")
                  .arg(selected, Due_Date_Text(thermometer_list.Get_Calibration_Due_Date(selected))));
    confirmation_box->setIcon(QMessageBox::Warning);
    confirmation_box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    confirmation_box->setDefaultButton(QMessageBox::No);
    if (confirmation_box->exec() != QMessageBox::Yes)
    {
        return;
    }

    const QString description = thermometer_selector->currentText();
    thermometer_list.Remove_Thermometer_Data(description);
    thermometer_selector->clear();
    Fill_Selector();
    in_calibration = false;
    if (thermometer_selector->count() > 0)
    {
        thermometer_selector->setCurrentIndex(0);
        Thermometer_Selection_Changed(0);
    }
    else
    {
        Update_Corrected_Readings();
    }
    Log_Message(QString("INF  Removed correction data for '%1'.").arg(description));
    Warn_About_Thermometer(thermometer_selector->currentIndex());
    Save_Thermometers();
}

void TVelmora::Write_Report(const QString& default_name, const QString& content,
                            const QString& success_message)
{
    const QString file_name = QFileDialog::getSaveFileName(
        this, "Save File", current_path + "/" + default_name, "CSV data (*.csv *.txt)");
    if (file_name.isEmpty())
    {
        return;
    }
    QFile file(file_name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
    {
        Log_Message("ERR  Cannot open evaluation file for writing.");
        return;
    }
    const bool written = Write_All(&file, content.toLatin1());
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
    {
        Log_Message(QString("ERR  Evaluation file '%1' was not written completely: %2")
                        .arg(QDir::toNativeSeparators(file_name), file.errorString()));
        return;
    }
    Log_Message(success_message);
}

void TVelmora::Evaluate_Corrections()
{
    QString error;
    if (!Is_Evaluation_Range_Usable(current_correction, &error))
    {
        Log_Message(error);
        return;
    }
    const QString description = thermometer_selector->currentText();
    Write_Report("evaluation.csv",
                 Corrections_Report(description, thermometer_list.Get_Calibration_Due_Date(description),
                                    current_correction),
                 "INF  Evaluation file written.");
}

void TVelmora::Evaluate_Uncertainty()
{
    QString error;
    if (!Is_Evaluation_Range_Usable(current_correction, &error))
    {
        Log_Message(error);
        return;
    }
    if (input_dialog == nullptr)
    {
        input_dialog = new TInputDialog(this);
        input_dialog->Set_Value(0.04);
    }
    if (input_dialog->exec() != 1)
    {
        return;
    }
    const double uncertainty = input_dialog->Get_Value();
    const QString description = thermometer_selector->currentText();
    Write_Report("uncertainty.csv",
                 Uncertainty_Report(description, thermometer_list.Get_Calibration_Due_Date(description),
                                    current_correction, uncertainty),
                 "INF  Uncertainty file written.");
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
    settings->setValue("Warn_Days_Before_Due", warn_days_before_due);
    settings->setValue("Log_Date_Time", log_date_time);
    event->accept();
}

void TVelmora::Log_Message(const QString& message)
{
    log_pane->appendPlainText(message);
    log_pane->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
    // Lines do not wrap: a cursor left at the end would scroll the start of a long line out of view,
    // also later, when the pane is first laid out. The start of the newest line keeps it in view.
    log_pane->moveCursor(QTextCursor::StartOfBlock, QTextCursor::MoveAnchor);
    log_pane->horizontalScrollBar()->setValue(0);
}

void TVelmora::Edit_Options()
{
    if (options_dialog == nullptr)
    {
        options_dialog = new TOptionsDialog(this);
    }
    options_dialog->Set_Options(warn_days_before_due, log_date_time);
    if (options_dialog->exec() != QDialog::Accepted)
    {
        return;
    }
    warn_days_before_due = options_dialog->Get_Warn_Days();
    log_date_time = options_dialog->Get_Log_Date_Time();
    Mark_Thermometer_States();
    Log_Message(QString("INF  Options: warn %1 days before due; date and time in new log files: %2.")
                    .arg(warn_days_before_due)
                    .arg(log_date_time ? "on" : "off"));
}
