#include "velmora.h"

#include "calibrationhistory.h"
#include "calibrationhistoryview.h"
#include "calibrationstatemodel.h"
#include "calibrationstatus.h"
#include "clock.h"
#include "correctiondialog.h"
#include "correctionview.h"
#include "datetext.h"
#include "exportfilename.h"
#include "formlayout.h"
#include "inputdialog.h"
#include "logpane.h"
#include "menushortcutfilter.h"
#include "messagebox.h"
#include "optionsdialog.h"
#include "platform.h"
#include "reports.h"
#include "returnkeychain.h"
#include "savewait.h"
#include "temperaturelog.h"
#include "thermometerchange.h"
#include "version.h"
#include "windowgeometry.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>
#include <tuple>

namespace
{

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

} // namespace

TVelmora::TVelmora(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), calibration_store(QCoreApplication::applicationDirPath()),
      settings(calibration_store.Get_Settings_File_Name())
{
    setWindowTitle("Velmora - Version " VELMORA_VERSION);
    resize(754, 629);
    Restore_Window_Geometry(this, settings.Value(TSetting::Window_Geometry).toByteArray());

    Create_Actions();
    Create_Menus();
    Create_Areas();
    Set_Tab_Order();
    Read_Settings();

    Load_Thermometers();
    Warn_About_Calibrations();
    Follow_Other_Writers();
    Select_Initial_Thermometer();
    Update_Thermometer_Actions();
    // Whether a thermometer is in calibration depends on the day: judged again when it changes.
    judged_date = TClock::Today();
    Check_Calibration_Date();

    Connect_Signals();
    Set_Up_Keyboard();
    // What the start freed (the history's check above all) the process would keep otherwise, and each
    // save would take its own memory on top.
    Return_Free_Memory();
}

void TVelmora::Create_Actions()
{
    correction_editor_action = new QAction("&Correction Editor", this);
    remove_thermometer_action = new QAction("&Remove Thermometer", this);
    remove_thermometer_action->setObjectName("Remove_Thermometer_Action");
    calibration_history_action = new QAction("Calibration &History...", this);
    calibration_history_action->setObjectName("Calibration_History_Action");
    review_finding_action = new QAction("Review &Finding...", this);
    review_finding_action->setObjectName("Review_Finding_Action");
    quit_action = new QAction("&Quit", this);
    correction_curve_action = new QAction("&Correction Curve", this);
    correction_curve_action->setShortcut(Qt::Key_F7);
    options_action = new QAction("&Options...", this);
    options_action->setObjectName("Options_Action");
    new_thermometer_action = new QAction("&New Thermometer...", this);
    new_thermometer_action->setObjectName("New_Thermometer_Action");
}

void TVelmora::Create_Menus()
{
    menuBar()->addMenu("&File")->addAction(quit_action);
    QMenu* edit_menu = menuBar()->addMenu("&Edit");
    edit_menu->addAction(correction_editor_action);
    edit_menu->addAction(remove_thermometer_action);
    edit_menu->addAction(calibration_history_action);
    edit_menu->addAction(review_finding_action);
    edit_menu->addAction(new_thermometer_action);
    menuBar()->addMenu("&View")->addAction(correction_curve_action);
    menuBar()->addMenu("&Options")->addAction(options_action);
}

// The three areas from top to bottom, between rules: the record file and the thermometer, the
// readings with their commands, and the log with the notice under it.
void TVelmora::Create_Areas()
{
    QWidget* central_widget = new QWidget(this);
    setCentralWidget(central_widget);
    QVBoxLayout* main_layout = new QVBoxLayout(central_widget);
    Create_Thermometer_Area(central_widget, main_layout);
    main_layout->addWidget(Create_Horizontal_Line(central_widget));
    Create_Reading_Area(central_widget, main_layout);
    main_layout->addWidget(Create_Horizontal_Line(central_widget));
    Create_Log_Area(central_widget, main_layout);

    confirmation_box = new TMessageBox(this);
    confirmation_box->setWindowTitle("Velmora");
    midnight_timer = new QTimer(this);
    midnight_timer->setObjectName("Midnight_Timer");
    midnight_timer->setSingleShot(true);
    midnight_timer->setTimerType(Qt::PreciseTimer);
}

void TVelmora::Create_Thermometer_Area(QWidget* central_widget, QVBoxLayout* main_layout)
{
    QGridLayout* grid_a = new QGridLayout();
    QLabel* record_path_label = new QLabel("Record Path:", central_widget);
    record_path_field = new QLineEdit(central_widget);
    record_path_field->setObjectName("Record_Path_Field");
    browse_button = new QToolButton(central_widget);
    browse_button->setObjectName("Browse_Button");
    QLabel* record_file_label = new QLabel("Record File:", central_widget);
    record_file_field = new QLineEdit(central_widget);
    record_file_field->setObjectName("Record_File_Field");
    QLabel* thermometer_label = new QLabel("Thermometer:", central_widget);
    thermometer_selector = new QComboBox(central_widget);
    thermometer_selector->setObjectName("Thermometer_Selector");
    selector_model = new TCalibrationStateModel(&thermometer_list, thermometer_selector);
    thermometer_selector->setModel(selector_model);
    // The closed selector tells the same as the item it shows, also while the window sets it up.
    connect(thermometer_selector, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this]() {
        thermometer_selector->setToolTip(thermometer_selector->currentData(Qt::ToolTipRole).toString());
    });
    edit_button = new QToolButton(central_widget);
    edit_button->setObjectName("Edit_Button");
    remove_button = new QToolButton(central_widget);
    remove_button->setObjectName("Remove_Button");
    browse_button->setIconSize(QSize(16, 16));
    browse_button->setIcon(QIcon(":/gui/browse_icon16.png"));
    edit_button->setIconSize(QSize(16, 16));
    edit_button->setIcon(QIcon(":/gui/edit_icon16.png"));
    remove_button->setIconSize(QSize(16, 16));
    remove_button->setIcon(QIcon(":/gui/remove_icon16.png"));
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
}

void TVelmora::Create_Reading_Area(QWidget* central_widget, QVBoxLayout* main_layout)
{
    QFont reading_font;
    reading_font.setPointSize(16);
    reading_font.setWeight(QFont::Bold);
    QGridLayout* grid_b = new QGridLayout();
    QLabel* description_label = new QLabel("Description:", central_widget);
    description_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    description_field = new QLineEdit(central_widget);
    description_field->setObjectName("Description_Field");
    QLabel* meter_reading_label = new QLabel("Meter Reading", central_widget);
    meter_reading_label->setAlignment(Qt::AlignCenter);
    QLabel* corrected_reading_label = new QLabel("Corrected Reading", central_widget);
    corrected_reading_label->setAlignment(Qt::AlignCenter);
    x_check_box = new QCheckBox("X Axis Temperature:", central_widget);
    x_check_box->setObjectName("X_Check_Box");
    y_check_box = new QCheckBox("Y Axis Temperature:", central_widget);
    y_check_box->setObjectName("Y_Check_Box");
    z_check_box = new QCheckBox("Z Axis Temperature:", central_widget);
    z_check_box->setObjectName("Z_Check_Box");
    part_check_box = new QCheckBox("Part Temperature:", central_widget);
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
    write_button->setText("Write");
    evaluate_corrections_button = Create_Command_Button(central_widget, "Evaluate_Corrections_Button");
    evaluate_corrections_button->setText("Evaluate Corrections");
    evaluate_uncertainty_button = Create_Command_Button(central_widget, "Evaluate_Uncertainty_Button");
    evaluate_uncertainty_button->setText("Evaluate Uncertainty");
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
}

void TVelmora::Create_Log_Area(QWidget* central_widget, QVBoxLayout* main_layout)
{
    QFont log_font("Courier New");
    log_font.setFixedPitch(true);
    QFont notice_font;
    notice_font.setPointSize(8);
    notice_font.setItalic(true);
    QLabel* log_label = new QLabel("Log:", central_widget);
    main_layout->addWidget(log_label);
    log_pane = new TLogPane(central_widget);
    log_pane->setObjectName("Log_Pane");
    log_pane->setReadOnly(true);
    // Long lines wrap: what a line goes on to say (a reason, what to do) is read at a glance.
    log_pane->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    log_pane->setFont(log_font);
    // The log takes the height the window gains; the spacer under it keeps its place but no longer grows.
    main_layout->addWidget(log_pane, 1);

    main_layout->addWidget(Create_Horizontal_Line(central_widget));
    main_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));

    QHBoxLayout* bottom_layout = new QHBoxLayout();
    QLabel* notice_label =
        new QLabel("Readings are corrected only while the thermometer is within its calibration period.",
                   central_widget);
    notice_label->setFont(notice_font);
    notice_label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    QLabel* logo_label = new QLabel(central_widget);
    logo_label->setObjectName("Logo_Label");
    logo_label->setFixedSize(100, 40);
    // Through QIcon, which also loads logo@2x.png where the screen is scaled to 200 %.
    logo_label->setPixmap(QIcon(":/images/logo.png").pixmap(QSize(100, 40)));
    bottom_layout->addWidget(notice_label);
    bottom_layout->addWidget(logo_label);
    main_layout->addLayout(bottom_layout);
}

void TVelmora::Set_Tab_Order()
{
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
}

void TVelmora::Read_Settings()
{
    Log_Messages(calibration_store.Get_Data_Directory_Messages());
    Log_Messages(settings.Get_Start_Up_Messages());

    current_path = settings.Value(TSetting::Current_Path).toString();
    record_path_field->setText(QDir::toNativeSeparators(current_path));
    record_file_field->setText(settings.Value(TSetting::Record_File).toString());
    // A hand-edited period that the Options dialog would refuse falls back to the default.
    warn_days_before_due = Default_Warn_Days_Before_Due;
    QString refusal;
    Parse_Warn_Days(settings.Value(TSetting::Warn_Days_Before_Due).toString(), &warn_days_before_due,
                    &refusal);
    log_date_time = settings.Value(TSetting::Log_Date_Time).toBool();
    log_audit_columns = settings.Value(TSetting::Log_Audit_Columns).toBool();
    log_utf8 = settings.Value(TSetting::Log_Utf8).toBool();
    description_field->setText(settings.Value(TSetting::Description).toString());
    x_check_box->setChecked(settings.Value(TSetting::Axis_X_Enabled).toBool());
    y_check_box->setChecked(settings.Value(TSetting::Axis_Y_Enabled).toBool());
    z_check_box->setChecked(settings.Value(TSetting::Axis_Z_Enabled).toBool());
    part_check_box->setChecked(settings.Value(TSetting::Axis_Part_Enabled).toBool());
    x_meter_field->setText(settings.Value(TSetting::Meter_X_Value).toString());
    y_meter_field->setText(settings.Value(TSetting::Meter_Y_Value).toString());
    z_meter_field->setText(settings.Value(TSetting::Meter_Z_Value).toString());
    part_meter_field->setText(settings.Value(TSetting::Meter_Part_Value).toString());
}

void TVelmora::Follow_Other_Writers()
{
    // Another window or station that saves the file changes what this one must show.
    calibration_watcher = new QFileSystemWatcher(this);
    calibration_watcher->setObjectName("Calibration_File_Watcher");
    calibration_reload_timer = new QTimer(this);
    calibration_reload_timer->setSingleShot(true);
    calibration_reload_timer->setInterval(50);
    connect(calibration_reload_timer, &QTimer::timeout, this, &TVelmora::Follow_Calibration_File);
    const auto calibration_file_event = [this]() {
        Watch_Calibration_File();
        if (!calibration_reload_timer->isActive())
        {
            calibration_reload_timer->start();
        }
    };
    connect(calibration_watcher, &QFileSystemWatcher::fileChanged, this, calibration_file_event);
    // The directory sees the file made where there was none, and a save that replaced it while the
    // file itself was not watched; every other change there (the settings, the lock file) leaves the
    // watched file alone.
    connect(calibration_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this, calibration_file_event]() {
                if (!calibration_watcher->files().contains(calibration_store.Get_Calibration_File_Name()))
                {
                    calibration_file_event();
                }
            });
    Watch_Calibration_File();
    // A change that waits for another writer's lock lets the window go on, and can be cancelled.
    save_wait = new TSaveWait(this);
    calibration_store.Set_Lock_Wait([this](const QString& lock_name) { return save_wait->Wait(lock_name); });
}

void TVelmora::Connect_Signals()
{
    connect(midnight_timer, &QTimer::timeout, this, &TVelmora::Check_Calibration_Date);
    connect(browse_button, &QToolButton::clicked, this, &TVelmora::Browse_Path);
    connect(correction_editor_action, &QAction::triggered, this, &TVelmora::Edit_Thermometer);
    connect(edit_button, &QToolButton::clicked, this, &TVelmora::Edit_Thermometer);
    connect(remove_thermometer_action, &QAction::triggered, this, &TVelmora::Remove_Thermometer);
    connect(remove_button, &QToolButton::clicked, this, &TVelmora::Remove_Thermometer);
    connect(thermometer_selector, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TVelmora::Update_Thermometer_Actions);
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
    connect(correction_curve_action, &QAction::triggered, this, &TVelmora::Show_Correction_Curve);
    connect(calibration_history_action, &QAction::triggered, this, &TVelmora::Show_Calibration_History);
    connect(new_thermometer_action, &QAction::triggered, this, &TVelmora::New_Thermometer);
    connect(review_finding_action, &QAction::triggered, this, &TVelmora::Review_Finding);
    for (QCheckBox* check_box : {x_check_box, y_check_box, z_check_box, part_check_box})
    {
        connect(check_box, &QCheckBox::toggled, this, &TVelmora::Update_Correction_View);
    }
    connect(options_action, &QAction::triggered, this, &TVelmora::Edit_Options);
    // Only the operator's choice: at start the warnings of all thermometers are already logged.
    connect(thermometer_selector, QOverload<int>::of(&QComboBox::activated), this,
            &TVelmora::Warn_About_Thermometer);

    // Written as each edit is finished, so that a killed process or a power cut loses little; not at
    // every key stroke, which would hold up the typing.
    for (QLineEdit* field : {record_path_field, record_file_field, description_field, x_meter_field,
                             y_meter_field, z_meter_field, part_meter_field})
    {
        connect(field, &QLineEdit::editingFinished, this, &TVelmora::Write_Settings);
    }
    for (QCheckBox* check_box : {x_check_box, y_check_box, z_check_box, part_check_box})
    {
        connect(check_box, &QCheckBox::toggled, this, &TVelmora::Write_Settings);
    }
    connect(thermometer_selector, QOverload<int>::of(&QComboBox::activated), this, &TVelmora::Write_Settings);
}

TVelmora::~TVelmora()
{
    // The widgets go after the members: a field that loses the focus as the window is destroyed would
    // still finish its editing into the settings and the list.
    for (QObject* child : findChildren<QObject*>())
    {
        disconnect(child, nullptr, this, nullptr);
    }
}

void TVelmora::Set_Up_Keyboard()
{
    quit_action->setShortcut(QKeySequence::Quit);
    correction_editor_action->setShortcut(QKeySequence("Ctrl+E"));
    new_thermometer_action->setShortcut(QKeySequence::New);
    TMenuShortcutFilter* menu_shortcut_filter = new TMenuShortcutFilter(menuBar(), this);
    for (QLineEdit* field : findChildren<QLineEdit*>())
    {
        field->installEventFilter(menu_shortcut_filter);
    }

    // Ctrl+Return writes from anywhere in the window. The focus moves to Write first, as with a click,
    // so that the reading being typed is finished and corrected before it is logged.
    QAction* write_action = new QAction(this);
    write_action->setShortcuts({QKeySequence("Ctrl+Return"), QKeySequence("Ctrl+Enter")});
    addAction(write_action);
    connect(write_action, &QAction::triggered, this, [this]() {
        write_button->setFocus(Qt::ShortcutFocusReason);
        write_button->click();
    });
    write_button->setToolTip(QString("Append the corrected readings to the temperature log (%1)")
                                 .arg(write_action->shortcut().toString(QKeySequence::NativeText)));

    // Return finishes a reading (editingFinished corrects it) and goes on to the next one, from Part
    // to Write; Return on Write writes and starts the next round at X. Tab still walks the full order.
    Chain_Return_Key({x_meter_field, y_meter_field, z_meter_field, part_meter_field, write_button});
    Press_On_Return(write_button, x_meter_field);

    // Buttons and check boxes with a text are named by it; these have only an icon or a label elsewhere.
    const std::pair<QWidget*, const char*> accessible_names[] = {
        {record_path_field, "Record Path"},
        {browse_button, "Choose Record Path"},
        {record_file_field, "Record File"},
        {thermometer_selector, "Thermometer"},
        {edit_button, "Correction Editor"},
        {remove_button, "Remove Thermometer"},
        {description_field, "Description"},
        {x_meter_field, "X Axis Meter Reading"},
        {y_meter_field, "Y Axis Meter Reading"},
        {z_meter_field, "Z Axis Meter Reading"},
        {part_meter_field, "Part Meter Reading"},
        {x_corrected_field, "X Axis Corrected Reading"},
        {y_corrected_field, "Y Axis Corrected Reading"},
        {z_corrected_field, "Z Axis Corrected Reading"},
        {part_corrected_field, "Part Corrected Reading"},
        {log_pane, "Log"}};
    for (const auto& name : accessible_names)
    {
        name.first->setAccessibleName(name.second);
    }
}

void TVelmora::Load_Thermometers()
{
    const TMessages messages = calibration_store.Load_Thermometers(&thermometer_list);
    Fill_Selector();
    Log_Messages(messages);
    // A hand edit of the file, or a save that never completed, shows against the history at once; every
    // finding still open is named again at every start.
    const THistoryCheckResult history = calibration_store.Check_Calibration_History(thermometer_list);
    Log_Messages(history.finding_messages);
    selector_model->Set_Reviewed_Doubts(Reviewed_Doubts(history.findings));
}

void TVelmora::Fill_Selector()
{
    thermometer_selector->insertItems(thermometer_selector->count(), thermometer_list.Get_Descriptions());
    Mark_Thermometer_States();
}

void TVelmora::Mark_Thermometer_States()
{
    selector_model->Refresh(warn_days_before_due);
    thermometer_selector->setToolTip(thermometer_selector->currentData(Qt::ToolTipRole).toString());
}

void TVelmora::Warn_About_Calibrations()
{
    // A doubtful calibration that a person reviewed no longer alarms.
    Log_Messages(Calibration_Warnings(thermometer_list, TClock::Today(), warn_days_before_due,
                                      selector_model->Reviewed_Doubt_Keys()));
}

void TVelmora::Warn_About_Thermometer(int index)
{
    if (index < 0)
    {
        return;
    }
    const QString description = thermometer_selector->itemText(index);
    Log_Messages(Thermometer_Warnings(thermometer_list, description, TClock::Today(), warn_days_before_due,
                                      !selector_model->Doubt_Review_Of(description).isEmpty()));
}

void TVelmora::Select_Initial_Thermometer()
{
    // The index alone selects another thermometer once an entry before it is left out, and its
    // correction would be applied to the restored readings without a word. One no longer listed is
    // not replaced by another: the operator chooses the one in use.
    const QString description = settings.Value(TSetting::Active_Thermometer_Description).toString();
    int index = -1;
    if (!description.isEmpty())
    {
        index =
            thermometer_list.Get_Descriptions().indexOf(thermometer_list.Get_Stored_Description(description));
        if (index < 0)
        {
            Log_Message(TMessage::Warning(
                QString("Thermometer '%1', in use at the last close, is no longer in the list. No "
                        "thermometer is selected: choose the one in use.")
                    .arg(description)));
        }
    }
    else
    {
        // Kept by earlier versions, which stored the index only.
        const int active = settings.Value(TSetting::Active_Thermometer).toInt();
        index = active >= 0 && active < thermometer_selector->count() ? active
                : thermometer_selector->count() > 0                   ? 0
                                                                      : -1;
    }
    thermometer_selector->setCurrentIndex(index);
    if (index >= 0)
    {
        Thermometer_Selection_Changed(index);
    }
    else
    {
        Update_Corrected_Readings();
    }
}

// With no thermometer selected there is nothing to remove or report on; the editor stays available
// because it adds the first thermometer.
void TVelmora::Update_Thermometer_Actions()
{
    const bool selected = thermometer_selector->currentIndex() >= 0;
    remove_thermometer_action->setEnabled(selected);
    remove_button->setEnabled(selected);
    evaluate_corrections_button->setEnabled(selected);
    evaluate_uncertainty_button->setEnabled(selected);
}

void TVelmora::Update_Corrected_Readings()
{
    Show_Corrected_Reading(x_meter_field, x_corrected_field);
    Show_Corrected_Reading(y_meter_field, y_corrected_field);
    Show_Corrected_Reading(z_meter_field, z_corrected_field);
    Show_Corrected_Reading(part_meter_field, part_corrected_field);
    Update_Correction_View();
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
    Update_History_Selection();
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
            Update_Correction_View();
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
    Write_Settings();
}

void TVelmora::Write_Temperature_Entry()
{
    // The day may have changed since the fields were corrected, and the timer may not have run yet.
    Check_Calibration_Date();
    const QString file_path =
        QDir::fromNativeSeparators(record_path_field->text()) + QString("/%1").arg(record_file_field->text());
    const QStringList axis_texts = {x_check_box->isChecked() ? x_corrected_field->text() : QString(),
                                    y_check_box->isChecked() ? y_corrected_field->text() : QString(),
                                    z_check_box->isChecked() ? z_corrected_field->text() : QString(),
                                    part_check_box->isChecked() ? part_corrected_field->text() : QString()};
    const QStringList meter_texts = {x_check_box->isChecked() ? x_meter_field->text() : QString(),
                                     y_check_box->isChecked() ? y_meter_field->text() : QString(),
                                     z_check_box->isChecked() ? z_meter_field->text() : QString(),
                                     part_check_box->isChecked() ? part_meter_field->text() : QString()};
    // "20,5" is no number here: written, it would be "-----" where the operator meant a value.
    const TMessages refusal = Decimal_Comma_Refusal({"X", "Y", "Z", "Part"}, meter_texts);
    if (!refusal.isEmpty())
    {
        Log_Messages(refusal);
        return;
    }
    TLogEntry entry;
    entry.description = description_field->text();
    entry.thermometer = thermometer_selector->currentText();
    entry.axis_texts = axis_texts;
    entry.time = TClock::Now();
    if (log_audit_columns)
    {
        // The record as the store last read or wrote the history: a Write reads no history.
        const bool selected = thermometer_selector->currentIndex() >= 0;
        const TCalibrationRecord record =
            selected ? calibration_store.Calibration_Record(thermometer_list, entry.thermometer)
                     : TCalibrationRecord();
        TEntryCalibration calibration;
        calibration.thermometer_selected = selected;
        calibration.in_calibration = in_calibration;
        calibration.due_date = thermometer_list.Get_Calibration_Due_Date(entry.thermometer);
        calibration.correction = current_correction;
        calibration.today = judged_date;
        calibration.has_record = record.number > 0;
        entry.meter_texts = meter_texts;
        entry.calibration_record =
            calibration.has_record ? Calibration_Record_Text(record.number, record.Hash()) : QString();
        entry.flags = Audit_Flags(axis_texts, meter_texts, calibration);
    }
    TLogOptions options;
    options.date_time_column = log_date_time;
    options.audit_columns = log_audit_columns;
    options.utf8_for_new_files = log_utf8;
    bool written = false;
    Log_Messages(Append_Temperature_Log_Entry(file_path, entry, options, &written));
    if (!written)
    {
        return;
    }
    // "-----" in the log says nothing about why; the pane does.
    const QLineEdit* const meter_fields[] = {x_meter_field, y_meter_field, z_meter_field, part_meter_field};
    QStringList reasons;
    for (int axis = 0; axis < 4; ++axis)
    {
        reasons << (axis_texts[axis] == Not_Corrected ? Not_Corrected_Reason_For(meter_fields[axis])
                                                      : QString());
    }
    Log_Messages(Not_Corrected_Entry_Warning({"X", "Y", "Z", "Part"}, reasons));
    // Shown in colour only, an extrapolated value in the log looks like any other.
    const char* const axis_names[] = {"X", "Y", "Z", "Part"};
    QStringList outside_axes;
    for (int axis = 0; axis < 4; ++axis)
    {
        if (!axis_texts[axis].isEmpty() && axis_texts[axis] != Not_Corrected &&
            Is_Outside_Calibrated_Range(meter_fields[axis]->text().toDouble(), current_correction))
        {
            outside_axes << axis_names[axis];
        }
    }
    Log_Messages(Outside_Range_Entry_Warning(outside_axes, current_correction));
}

void TVelmora::Check_Calibration_Date()
{
    // Armed again from the clock each time: a timer that ran a little early, or late after a suspend,
    // still aims at the next midnight.
    const QDateTime now = TClock::Now();
    midnight_timer->start(int(now.msecsTo(now.date().addDays(1).startOfDay())));
    const QDate previous_date = judged_date;
    judged_date = now.date();
    if (judged_date == previous_date)
    {
        return;
    }
    // Every icon and tooltip may have changed; the selected thermometer decides the fields.
    Mark_Thermometer_States();
    const int index = thermometer_selector->currentIndex();
    if (index < 0)
    {
        return;
    }
    const QString description = thermometer_selector->itemText(index);
    in_calibration = thermometer_list.Is_Calibration_Valid(description);
    Update_Corrected_Readings();
    const QDate due_date = thermometer_list.Get_Calibration_Due_Date(description);
    const TThermometerCorrection correction = thermometer_list.Get_Correction(description);
    if (Calibration_State(due_date, previous_date, warn_days_before_due, correction) !=
        Calibration_State(due_date, judged_date, warn_days_before_due, correction))
    {
        Warn_About_Thermometer(index);
    }
}

bool TVelmora::Change_Thermometers(const TThermometerChange& change, const QStringList& selection)
{
    // While the store waits for another station's lock the window goes on; what it would reload
    // meanwhile the change reloads itself, under the lock.
    changing = true;
    const TThermometerChangeResult result = calibration_store.Change_Thermometers(&thermometer_list, change);
    save_wait->Finish();
    changing = false;
    Log_Messages(result.messages);
    // Another station's save told of while waiting for it, and not taken up by the change (a cancelled
    // wait), is shown now.
    if (reload_put_off && !result.saved && !result.reloaded)
    {
        reload_put_off = false;
        Follow_Calibration_File();
    }
    reload_put_off = false;
    if (result.saved)
    {
        Show_Thermometers(selection, true);
    }
    else if (result.reloaded)
    {
        // Not changed, but another window's save is shown now; what the change was about comes first,
        // so that the editor opens on its current values.
        Show_Reloaded_Thermometers(selection);
    }
    // Also a change that was not saved may have left a record.
    Read_History_Into_View();
    Return_Free_Memory();
    return result.saved;
}

void TVelmora::Show_Thermometers(const QStringList& selection, bool first_if_none)
{
    thermometer_selector->clear();
    Fill_Selector();
    const QStringList descriptions = thermometer_list.Get_Descriptions();
    int index = first_if_none && !descriptions.isEmpty() ? 0 : -1;
    for (const QString& wanted : selection)
    {
        const QString stored = thermometer_list.Get_Stored_Description(wanted);
        if (!wanted.isEmpty() && !stored.isEmpty())
        {
            index = descriptions.indexOf(stored);
            break;
        }
    }
    thermometer_selector->setCurrentIndex(index);
    in_calibration = false;
    if (index >= 0)
    {
        Thermometer_Selection_Changed(index);
    }
    else
    {
        Update_Corrected_Readings();
        Update_History_Selection();
    }
    Write_Settings();
}

void TVelmora::Show_Reloaded_Thermometers(const QStringList& selection)
{
    const QString previous =
        thermometer_selector->currentIndex() >= 0 ? thermometer_selector->currentText() : QString();
    // Another thermometer in place of one that is gone would correct the readings without a word.
    Show_Thermometers(selection + QStringList(previous), false);
    if (!previous.isEmpty() && thermometer_list.Get_Stored_Record(previous).isNull())
    {
        Log_Message(TMessage::Warning(
            QString("Thermometer '%1', selected in this window, is no longer in the calibration "
                    "file; %2")
                .arg(previous, thermometer_selector->currentIndex() >= 0
                                   ? QString("'%1' is selected now.").arg(thermometer_selector->currentText())
                               : thermometer_selector->count() > 0
                                   ? QString("no thermometer is selected: choose the one in use.")
                                   : QString("no thermometer is left."))));
    }
}

void TVelmora::Watch_Calibration_File()
{
    const QString file_name = calibration_store.Get_Calibration_File_Name();
    // A watch follows the file it was set on, and a save puts a new file in its place.
    if (calibration_watcher->files().contains(file_name))
    {
        calibration_watcher->removePath(file_name);
    }
    if (QFileInfo::exists(file_name))
    {
        calibration_watcher->addPath(file_name);
    }
    const QString directory = calibration_store.Get_Data_Directory();
    if (!calibration_watcher->directories().contains(directory) && QFileInfo(directory).isDir())
    {
        calibration_watcher->addPath(directory);
    }
}

void TVelmora::Follow_Calibration_File()
{
    if (changing)
    {
        reload_put_off = true;
        return;
    }
    bool reloaded = false;
    const TMessages messages = calibration_store.Reload_Changed_Thermometers(&thermometer_list, &reloaded);
    if (!reloaded)
    {
        return;
    }
    Log_Messages(messages);
    Show_Reloaded_Thermometers(QStringList());
    Read_History_Into_View();
    Return_Free_Memory();
}

TChosenThermometer TVelmora::Selected_Thermometer() const
{
    return thermometer_selector->currentIndex() < 0
               ? TChosenThermometer()
               : Choose_Thermometer(thermometer_list, thermometer_selector->currentText());
}

bool TVelmora::Reload_For(TThermometerAction action, TChosenThermometer* chosen)
{
    // Also where no notice of another station's save arrives (network shares).
    Follow_Calibration_File();
    const TChosenState state = Chosen_State(thermometer_list, *chosen);
    Log_Messages(Chosen_State_Message(action, *chosen, state));
    if (state == TChosenState::Gone)
    {
        return false;
    }
    *chosen = Choose_Thermometer(thermometer_list, chosen->description);
    return true;
}

void TVelmora::Edit_Thermometer()
{
    // The editor opens on the thermometer as the file holds it now; with none selected it opens empty,
    // for a new one.
    TChosenThermometer chosen = Selected_Thermometer();
    if (Reload_For(TThermometerAction::Edit, &chosen))
    {
        Open_Correction_Editor(chosen);
    }
}

void TVelmora::New_Thermometer()
{
    // The editor refuses the descriptions the file holds now.
    Follow_Calibration_File();
    Open_Correction_Editor(TChosenThermometer());
}

void TVelmora::Open_Correction_Editor(const TChosenThermometer& thermometer)
{
    if (correction_dialog == nullptr)
    {
        correction_dialog = new TCorrectionDialog(this);
    }
    TChosenThermometer opened = thermometer;
    // What the operator typed into an editor whose change was refused, to be typed again.
    QString refused_entry;
    for (;;)
    {
        QStringList others = thermometer_list.Get_Descriptions();
        if (opened.Is_None())
        {
            correction_dialog->Set_Empty_Entry(others);
        }
        else
        {
            others.removeOne(opened.description);
            TCorrectionDialogData dialog_data;
            thermometer_list.Get_Correction_Data(opened.description, &dialog_data);
            dialog_data.description = opened.description;
            // A damaged entry has no due date: the editor shows none, and one must be typed.
            dialog_data.calibration_due_date = thermometer_list.Get_Calibration_Due_Date(opened.description);
            correction_dialog->Set_Dialog_Data(dialog_data, others);
        }
        correction_dialog->Set_Refused_Entry(refused_entry);
        if (correction_dialog->exec() != 1)
        {
            return;
        }
        TThermometerEdit edit{opened, TCorrectionDialogData()};
        correction_dialog->Get_Dialog_Data(&edit.entry);
        TChangeRefusal refusal = TChangeRefusal::None;
        const bool saved = Change_Thermometers(
            [&edit, &refusal](TThermometerList* list, TMessage* message) {
                return Apply_Edit(list, edit, message, &refusal);
            },
            {Edited_Description(edit), opened.description});
        if (saved)
        {
            Warn_About_Thermometer(thermometer_selector->currentIndex());
            return;
        }
        // Changed by another window meanwhile: the editor opens again on its current values, and says
        // what was typed, to be typed again where it still applies.
        if (refusal != TChangeRefusal::Changed_Meanwhile)
        {
            return;
        }
        refused_entry = correction_dialog->Typed_Entry();
        opened = Choose_Thermometer(thermometer_list, opened.description);
        if (opened.Is_None())
        {
            return;
        }
    }
}

void TVelmora::Remove_Thermometer()
{
    // The question names the thermometer as the file holds it now.
    TChosenThermometer confirmed = Selected_Thermometer();
    if (!Reload_For(TThermometerAction::Removal, &confirmed))
    {
        return;
    }
    const QString selected = confirmed.description;
    confirmation_box->Set_Text("Remove Thermometer");
    confirmation_box->Set_Informative_Text(
        "Are you sure you want to delete the current thermometer?" +
        (confirmed.Is_None() ? QString() : QString(" '%1'").arg(selected.toHtmlEscaped())));
    // Named, so that a wrong selection is caught before its data is gone.
    confirmation_box->setDetailedText(
        confirmed.Is_None()
            ? QString("No thermometer is selected; nothing will be deleted.")
            : QString("Thermometer to delete: '%1'\nCalibration due: %2")
                  .arg(selected, Due_Date_Text(thermometer_list.Get_Calibration_Due_Date(selected))));
    confirmation_box->setIcon(QMessageBox::Warning);
    confirmation_box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    confirmation_box->setDefaultButton(QMessageBox::No);
    // What was confirmed: another window may change it, or the selection, while the question is open.
    if (confirmation_box->exec() != QMessageBox::Yes)
    {
        return;
    }

    // Once it is gone, the first remaining thermometer is selected.
    TChangeRefusal refusal = TChangeRefusal::None;
    const bool saved = Change_Thermometers(
        [&confirmed, &refusal](TThermometerList* list, TMessage* message) {
            return Apply_Removal(list, confirmed, message, &refusal);
        },
        {selected});
    if (saved)
    {
        Warn_About_Thermometer(thermometer_selector->currentIndex());
    }
}

void TVelmora::Write_Report(const QString& default_name, const QString& content, const QString& success_text)
{
    const QString file_name = QFileDialog::getSaveFileName(
        this, "Save File", current_path + "/" + default_name, "CSV data (*.csv *.txt)");
    if (file_name.isEmpty())
    {
        return;
    }
    TMessage error;
    if (!Write_Report_File(file_name, content, &error))
    {
        Log_Message(error);
        return;
    }
    Log_Message(
        TMessage::Info(success_text + QString(" File: '%1'").arg(QDir::toNativeSeparators(file_name))));
    // The report's values are written all the same; the file itself does not say they are doubtful.
    const QString description = thermometer_selector->currentText();
    Log_Messages(Report_Warnings(description, thermometer_list.Get_Calibration_Due_Date(description),
                                 TClock::Today(), current_correction));
}

void TVelmora::Evaluate_Corrections()
{
    // Of the thermometer as the file holds it now, and of no other.
    TChosenThermometer chosen = Selected_Thermometer();
    if (!Reload_For(TThermometerAction::Corrections_Report, &chosen))
    {
        return;
    }
    TMessage error;
    if (!Is_Evaluation_Range_Usable(current_correction, &error))
    {
        Log_Message(error);
        return;
    }
    const QString description = thermometer_selector->currentText();
    Write_Report(Export_File_Name(description + " corrections evaluation", "csv"),
                 Corrections_Report(description, thermometer_list.Get_Calibration_Due_Date(description),
                                    current_correction),
                 "Evaluation file written.");
}

void TVelmora::Evaluate_Uncertainty()
{
    TChosenThermometer chosen = Selected_Thermometer();
    if (!Reload_For(TThermometerAction::Uncertainty_Report, &chosen))
    {
        return;
    }
    TMessage error;
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
    last_uncertainty = uncertainty;
    Update_Correction_View();
    const QString description = thermometer_selector->currentText();
    Write_Report(Export_File_Name(description + " uncertainty evaluation", "csv"),
                 Uncertainty_Report(description, thermometer_list.Get_Calibration_Due_Date(description),
                                    current_correction, uncertainty),
                 "Uncertainty file written.");
}

void TVelmora::Place_Beside_Window(QWidget* view)
{
    // Beside the window rather than over the readings. A view not shown yet has no frame: the window's
    // stands in for it.
    if (!view->isVisible() && windowHandle() != nullptr && windowHandle()->screen() != nullptr)
    {
        const QSize frame = view->size() + (frameGeometry().size() - geometry().size());
        view->move(
            Place_Beside(frameGeometry(), frame, windowHandle()->screen()->availableGeometry()).topLeft());
    }
}

void TVelmora::Show_Correction_Curve()
{
    if (correction_view == nullptr)
    {
        correction_view = new TCorrectionView(this);
        connect(correction_view, &TCorrectionView::Message, this, &TVelmora::Log_Message);
    }
    Place_Beside_Window(correction_view);
    correction_view->show();
    Update_Correction_View();
    correction_view->raise();
    correction_view->activateWindow();
}

TCorrectionViewData TVelmora::Correction_View_Data() const
{
    TCorrectionViewData data;
    data.has_thermometer = thermometer_selector->currentIndex() >= 0;
    data.description = thermometer_selector->currentText();
    data.due_date = thermometer_list.Get_Calibration_Due_Date(data.description);
    data.state = Calibration_State_Text(Thermometer_State(thermometer_list, data.description, TClock::Today(),
                                                          warn_days_before_due))
                     .toLower();
    data.correction = current_correction;
    data.uncertainty = last_uncertainty;
    data.directory = current_path;
    const std::tuple<QString, QCheckBox*, QLineEdit*, QLineEdit*> axes[] = {
        {"X", x_check_box, x_meter_field, x_corrected_field},
        {"Y", y_check_box, y_meter_field, y_corrected_field},
        {"Z", z_check_box, z_meter_field, z_corrected_field},
        {"Part", part_check_box, part_meter_field, part_corrected_field}};
    for (const auto& [axis, check_box, meter_field, corrected_field] : axes)
    {
        bool is_number = false;
        const double reading = meter_field->text().toDouble(&is_number);
        if (check_box->isChecked() && is_number && std::isfinite(reading))
        {
            data.readings.append({axis, reading, corrected_field->text()});
        }
    }
    return data;
}

void TVelmora::Update_Correction_View()
{
    if (correction_view != nullptr && correction_view->isVisible())
    {
        correction_view->Set_Data(Correction_View_Data());
    }
}

void TVelmora::Show_Calibration_History()
{
    if (history_view == nullptr)
    {
        history_view = new TCalibrationHistoryView(this);
        connect(history_view, &TCalibrationHistoryView::Message, this, &TVelmora::Log_Message);
        connect(history_view, &TCalibrationHistoryView::Review_Requested, this, &TVelmora::Record_Review);
    }
    Place_Beside_Window(history_view);
    history_view->show();
    Update_History_Selection();
    Read_History_Into_View();
    history_view->raise();
    history_view->activateWindow();
}

void TVelmora::Read_History_Into_View()
{
    if (history_view == nullptr || !history_view->isVisible())
    {
        return;
    }
    history_view->Set_Export_Directory(current_path);
    // Read as a reader reads it, between saves; nothing is recorded.
    const THistoryCheckResult history = calibration_store.Verify_Calibration_History(thermometer_list);
    if (!history.checked)
    {
        Log_Messages(history.messages);
        history_view->Set_Read_Error(Message_Texts(history.messages).join('\n'));
        return;
    }
    history_view->Set_History(history.content, calibration_store.Get_History_File_Name(), history.findings);
    selector_model->Set_Reviewed_Doubts(Reviewed_Doubts(history.findings));
    Mark_Thermometer_States();
}

void TVelmora::Update_History_Selection()
{
    if (history_view != nullptr && history_view->isVisible())
    {
        history_view->Set_Selection(
            thermometer_selector->currentIndex() >= 0 ? thermometer_selector->currentText() : QString());
    }
}

void TVelmora::closeEvent(QCloseEvent* event)
{
    Log_Messages(settings.Set_Values(Window_Settings()
                                     << qMakePair(TSetting::Window_Geometry, QVariant(saveGeometry()))));
    event->accept();
}

void TVelmora::Log_Message(const TMessage& message)
{
    Log_Messages(TMessages{message});
}

// Many lines go in as one block: the pane then lays itself out once rather than once per line.
void TVelmora::Log_Messages(const TMessages& messages)
{
    if (messages.isEmpty())
    {
        return;
    }
    log_pane->appendPlainText(Log_Lines(messages).join('\n'));
    log_pane->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
}

QVector<QPair<TSetting, QVariant>> TVelmora::Window_Settings() const
{
    return {{TSetting::Current_Path, QDir::fromNativeSeparators(record_path_field->text())},
            {TSetting::Record_File, record_file_field->text()},
            {TSetting::Active_Thermometer, thermometer_selector->currentIndex()},
            {TSetting::Active_Thermometer_Description,
             thermometer_selector->currentIndex() >= 0 ? thermometer_selector->currentText() : QString()},
            {TSetting::Description, description_field->text()},
            {TSetting::Axis_X_Enabled, x_check_box->isChecked()},
            {TSetting::Axis_Y_Enabled, y_check_box->isChecked()},
            {TSetting::Axis_Z_Enabled, z_check_box->isChecked()},
            {TSetting::Axis_Part_Enabled, part_check_box->isChecked()},
            {TSetting::Meter_X_Value, x_meter_field->text()},
            {TSetting::Meter_Y_Value, y_meter_field->text()},
            {TSetting::Meter_Z_Value, z_meter_field->text()},
            {TSetting::Meter_Part_Value, part_meter_field->text()},
            {TSetting::Warn_Days_Before_Due, warn_days_before_due},
            {TSetting::Log_Date_Time, log_date_time},
            {TSetting::Log_Audit_Columns, log_audit_columns},
            {TSetting::Log_Utf8, log_utf8}};
}

void TVelmora::Write_Settings()
{
    Log_Messages(settings.Set_Values(Window_Settings()));
}

void TVelmora::Edit_Options()
{
    if (options_dialog == nullptr)
    {
        options_dialog = new TOptionsDialog(this);
    }
    options_dialog->Set_Options(warn_days_before_due, log_date_time);
    options_dialog->Set_Log_Audit_Options(log_audit_columns, log_utf8);
    if (options_dialog->exec() != QDialog::Accepted)
    {
        return;
    }
    warn_days_before_due = options_dialog->Get_Warn_Days();
    log_date_time = options_dialog->Get_Log_Date_Time();
    log_audit_columns = options_dialog->Get_Log_Audit_Columns();
    log_utf8 = options_dialog->Get_Log_Utf8();
    Write_Settings();
    Mark_Thermometer_States();
    Log_Message(TMessage::Info(
        QString("Options: warn %1 days before due; date and time in new log files: %2. Audit "
                "columns: %3; UTF-8 for new log files: %4.")
            .arg(warn_days_before_due)
            .arg(log_date_time ? "on" : "off", log_audit_columns ? "on" : "off", log_utf8 ? "on" : "off")));
}

void TVelmora::Review_Finding()
{
    Show_Calibration_History();
    history_view->Review_Selected_Finding();
}

void TVelmora::Record_Review(const TFinding& finding, const QString& comment)
{
    Log_Messages(calibration_store.Review_Finding(thermometer_list, finding, comment).messages);
    // Whether it was recorded or not, the disk says what is reviewed now.
    Read_History_Into_View();
}
