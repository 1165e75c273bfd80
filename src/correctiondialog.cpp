#include "correctiondialog.h"

#include "formlayout.h"
#include "xmlscreen.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>

namespace
{

// The description is stored as XML text and its checksum recomputed from what is read back, so
// every character must be one XML keeps unchanged: characters above U+FFFF (emoji) are, controls,
// U+FFFE, U+FFFF and lone surrogates are not. Tab and line ends would be kept, but a one-line
// description has no use for them. U+FEFF, which pasted text can carry, is invisible and is taken
// for a byte order mark by more than one reader.
bool Is_Storable_Text(const QString& text)
{
    for (const QChar character : text)
    {
        if (character.category() == QChar::Other_Control || character.unicode() == 0xFEFF)
        {
            return false;
        }
    }
    return Is_Xml_Text(text);
}

// QString::toDouble also accepts "inf" and "nan"; the range test refuses both.
bool Is_Temperature_In_Range(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && value >= 0.0 && value <= 40.0;
}

QString Temperature_Text(const double& value)
{
    return QString("%1").arg(value, 0, 'f', 2);
}

QLineEdit* New_Temperature_Edit(QWidget* parent, const QString& name)
{
    QLineEdit* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

} // namespace

TCorrectionDialog::TCorrectionDialog(QWidget* parent) : QDialog(parent)
{
    resize(601, 301);
    setWindowTitle("Correction Editor");

    QGridLayout* grid_layout = new QGridLayout(this);

    description_edit = new QLineEdit(this);
    description_edit->setObjectName("Description_Edit");
    grid_layout->addWidget(new QLabel("Thermometer Description:", this), 0, 0);
    grid_layout->addWidget(description_edit, 0, 1, 1, 2);

    calibration_due_date_edit = new QDateEdit(this);
    calibration_due_date_edit->setObjectName("Calibration_Due_Date_Edit");
    calibration_due_date_edit->setDisplayFormat("MMM dd yyyy");
    grid_layout->addWidget(new QLabel("Calibration Due Date:", this), 1, 0);
    grid_layout->addWidget(calibration_due_date_edit, 1, 1, 1, 2);

    grid_layout->addWidget(Create_Horizontal_Line(this), 2, 0, 1, 3);

    QLabel* reference_label = new QLabel("Reference Temperature", this);
    reference_label->setAlignment(Qt::AlignCenter);
    QLabel* reading_label = new QLabel("Thermometer Reading", this);
    reading_label->setAlignment(Qt::AlignCenter);
    grid_layout->addWidget(reference_label, 3, 1);
    grid_layout->addWidget(reading_label, 3, 2);

    reference_temperature1_edit = New_Temperature_Edit(this, "Reference_Temperature1_Edit");
    thermometer_reading1_edit = New_Temperature_Edit(this, "Thermometer_Reading1_Edit");
    reference_temperature2_edit = New_Temperature_Edit(this, "Reference_Temperature2_Edit");
    thermometer_reading2_edit = New_Temperature_Edit(this, "Thermometer_Reading2_Edit");
    reference_temperature3_edit = New_Temperature_Edit(this, "Reference_Temperature3_Edit");
    thermometer_reading3_edit = New_Temperature_Edit(this, "Thermometer_Reading3_Edit");

    grid_layout->addWidget(new QLabel("Test Point 1:", this), 4, 0);
    grid_layout->addWidget(reference_temperature1_edit, 4, 1);
    grid_layout->addWidget(thermometer_reading1_edit, 4, 2);
    grid_layout->addWidget(new QLabel("Test Point 2:", this), 5, 0);
    grid_layout->addWidget(reference_temperature2_edit, 5, 1);
    grid_layout->addWidget(thermometer_reading2_edit, 5, 2);
    grid_layout->addWidget(new QLabel("Test Point 3:", this), 6, 0);
    grid_layout->addWidget(reference_temperature3_edit, 6, 1);
    grid_layout->addWidget(thermometer_reading3_edit, 6, 2);

    grid_layout->addWidget(Create_Horizontal_Line(this), 7, 0, 1, 3);
    grid_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 8, 0, 1, 3);

    // Neither button is a default button, so Return in an edit never closes the dialog.
    QPushButton* cancel_button = new QPushButton("Cancel", this);
    cancel_button->setObjectName("Cancel_Button");
    cancel_button->setAutoDefault(false);
    accept_button = new QPushButton("Accept", this);
    accept_button->setObjectName("Accept_Button");
    accept_button->setAutoDefault(false);

    grid_layout->addLayout(Create_Button_Row({cancel_button, accept_button}), 9, 0, 1, 3);

    setTabOrder(description_edit, calibration_due_date_edit);
    setTabOrder(calibration_due_date_edit, reference_temperature1_edit);
    setTabOrder(reference_temperature1_edit, thermometer_reading1_edit);
    setTabOrder(thermometer_reading1_edit, reference_temperature2_edit);
    setTabOrder(reference_temperature2_edit, thermometer_reading2_edit);
    setTabOrder(thermometer_reading2_edit, reference_temperature3_edit);
    setTabOrder(reference_temperature3_edit, thermometer_reading3_edit);
    setTabOrder(thermometer_reading3_edit, cancel_button);
    setTabOrder(cancel_button, accept_button);

    connect(cancel_button, &QPushButton::clicked, this, &TCorrectionDialog::close);
    connect(accept_button, &QPushButton::clicked, this, &TCorrectionDialog::accept);
    connect(description_edit, &QLineEdit::editingFinished, this, &TCorrectionDialog::Description_Changed);
    connect(calibration_due_date_edit, &QDateEdit::dateChanged, this,
            &TCorrectionDialog::Calibration_Date_Changed);
    for (QLineEdit* edit :
         {reference_temperature1_edit, thermometer_reading1_edit, reference_temperature2_edit,
          thermometer_reading2_edit, reference_temperature3_edit, thermometer_reading3_edit})
    {
        connect(edit, &QLineEdit::editingFinished, this, &TCorrectionDialog::Temperature_Changed);
    }
}

TCorrectionDialog::~TCorrectionDialog() = default;

void TCorrectionDialog::Set_Dialog_Data(const TCorrectionDialogData& dialog_data, const QStringList& others)
{
    description_edit->setText(dialog_data.description);
    calibration_due_date_edit->setDate(dialog_data.calibration_due_date);
    other_descriptions = others;

    reference_temperature1_edit->setText(Temperature_Text(dialog_data.reference_temperature1));
    reference_temperature2_edit->setText(Temperature_Text(dialog_data.reference_temperature2));
    reference_temperature3_edit->setText(Temperature_Text(dialog_data.reference_temperature3));
    thermometer_reading1_edit->setText(Temperature_Text(dialog_data.thermometer_reading1));
    thermometer_reading2_edit->setText(Temperature_Text(dialog_data.thermometer_reading2));
    thermometer_reading3_edit->setText(Temperature_Text(dialog_data.thermometer_reading3));

    // Setting the date may already have run Calibration_Date_Changed; the dialog still opens
    // with "Accept" disabled until the operator finishes an edit.
    accept_button->setEnabled(false);
}

void TCorrectionDialog::Get_Dialog_Data(TCorrectionDialogData* dialog_data)
{
    Q_ASSERT_X(dialog_data != nullptr, "TCorrectionDialog::Get_Dialog_Data(dialog_data)",
               "dialog_data != nullptr");

    dialog_data->reference_temperature1 = reference_temperature1_edit->text().toDouble();
    dialog_data->reference_temperature2 = reference_temperature2_edit->text().toDouble();
    dialog_data->reference_temperature3 = reference_temperature3_edit->text().toDouble();
    dialog_data->thermometer_reading1 = thermometer_reading1_edit->text().toDouble();
    dialog_data->thermometer_reading2 = thermometer_reading2_edit->text().toDouble();
    dialog_data->thermometer_reading3 = thermometer_reading3_edit->text().toDouble();
    // " Probe 1" would look like "Probe 1" in the selector.
    dialog_data->description = description_edit->text().trimmed();
    dialog_data->calibration_due_date = calibration_due_date_edit->date();
}

void TCorrectionDialog::Description_Changed()
{
    Update_Accept_Button();
}

void TCorrectionDialog::Calibration_Date_Changed()
{
    Update_Accept_Button();
}

void TCorrectionDialog::Temperature_Changed()
{
    Update_Accept_Button();
}

// Each slot sees only its own field change, but an entry is only as good as all its fields:
// judging the changed field alone let a duplicate description or an out-of-range value through
// once another field had been edited.
void TCorrectionDialog::Update_Accept_Button()
{
    const QString description = description_edit->text();
    bool acceptable = !description.trimmed().isEmpty() && Is_Storable_Text(description);
    for (const QString& other : other_descriptions)
    {
        acceptable = acceptable && other.trimmed().compare(description.trimmed(), Qt::CaseInsensitive) != 0;
    }
    for (const QLineEdit* edit :
         {reference_temperature1_edit, thermometer_reading1_edit, reference_temperature2_edit,
          thermometer_reading2_edit, reference_temperature3_edit, thermometer_reading3_edit})
    {
        acceptable = acceptable && Is_Temperature_In_Range(edit->text());
    }
    accept_button->setEnabled(acceptable);
}
