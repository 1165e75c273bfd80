#include "correctiondialog.h"

#include "calibrationstatus.h"
#include "clock.h"
#include "datetext.h"
#include "duedateedit.h"
#include "formlayout.h"
#include "xmlscreen.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpacerItem>

#include <cmath>

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

// Why a temperature text is refused, after the field's name; empty when it is a number from 0 to 40.
QString Temperature_Problem(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    // QString::toDouble also accepts "inf" and "nan".
    if (!ok || !std::isfinite(value))
    {
        return QString(" \"%1\" is not a number.").arg(text);
    }
    if (value < 0.0 || value > 40.0)
    {
        return QString(" %1 is outside 0 to 40.").arg(text);
    }
    return QString();
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

    calibration_due_date_edit = new TDueDateEdit(this);
    calibration_due_date_edit->setObjectName("Calibration_Due_Date_Edit");
    calibration_due_date_edit->setDisplayFormat(Due_Date_Format);
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

    // Says why "Accept" is unavailable and what the due date means, under the test points.
    explanation_label = new QLabel(this);
    explanation_label->setObjectName("Explanation_Label");
    explanation_label->setWordWrap(true);
    grid_layout->addWidget(explanation_label, 7, 0, 1, 3);

    grid_layout->addWidget(Create_Horizontal_Line(this), 8, 0, 1, 3);
    grid_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 9, 0, 1, 3);

    // Neither button is a default button, so Return in an edit never closes the dialog.
    QPushButton* cancel_button = nullptr;
    grid_layout->addLayout(Create_Cancel_Accept_Row(this, false, &cancel_button, &accept_button), 10, 0, 1,
                           3);

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
    // Judged on every keystroke too, so that a click on "Accept" right after a fix counts.
    for (QLineEdit* edit : {description_edit, reference_temperature1_edit, thermometer_reading1_edit,
                            reference_temperature2_edit, thermometer_reading2_edit,
                            reference_temperature3_edit, thermometer_reading3_edit})
    {
        connect(edit, &QLineEdit::textEdited, this, &TCorrectionDialog::Update_Accept_Button);
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
    const QString problem = Entry_Problem();
    explanation_label->setText(
        (problem.isEmpty() ? QString("Accept becomes available when a field is changed.") : problem) + "\n" +
        Due_Date_Explanation());
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
    const QString problem = Entry_Problem();
    accept_button->setEnabled(problem.isEmpty());
    explanation_label->setText((problem.isEmpty() ? QString() : problem + "\n") + Due_Date_Explanation());
}

QString TCorrectionDialog::Entry_Problem() const
{
    const QString description = description_edit->text();
    if (description.trimmed().isEmpty())
    {
        return "Accept is unavailable: the description is blank.";
    }
    if (!Is_Storable_Text(description))
    {
        return "Accept is unavailable: the description holds a character that the calibration file cannot "
               "keep.";
    }
    // Compared as stored: without leading and trailing blanks.
    for (const QString& other : other_descriptions)
    {
        if (other.trimmed().compare(description.trimmed(), Qt::CaseInsensitive) == 0)
        {
            return QString(
                       "Accept is unavailable: the description '%1' is already used by another thermometer.")
                .arg(description.trimmed());
        }
    }
    const std::pair<const char*, const QLineEdit*> temperatures[] = {
        {"test point 1 reference temperature", reference_temperature1_edit},
        {"test point 1 thermometer reading", thermometer_reading1_edit},
        {"test point 2 reference temperature", reference_temperature2_edit},
        {"test point 2 thermometer reading", thermometer_reading2_edit},
        {"test point 3 reference temperature", reference_temperature3_edit},
        {"test point 3 thermometer reading", thermometer_reading3_edit}};
    for (const auto& temperature : temperatures)
    {
        const QString problem = Temperature_Problem(temperature.second->text());
        if (!problem.isEmpty())
        {
            return QString("Accept is unavailable: the %1").arg(temperature.first) + problem;
        }
    }
    return QString();
}

QString TCorrectionDialog::Due_Date_Explanation() const
{
    const QDate due_date = calibration_due_date_edit->date();
    const QDate today = TClock::Today();
    QString text =
        QString("Due %1: %2.")
            .arg(QLocale::c().toString(due_date, "dddd, MMMM d, yyyy"), Days_Left_Text(due_date, today));

    QStringList warnings;
    if (today.daysTo(due_date) <= 0)
    {
        warnings << "the due date is today or earlier";
    }
    // The same points the thermometer list will build from the fields, when all are numbers.
    const QList<const QLineEdit*> edits = {reference_temperature1_edit, thermometer_reading1_edit,
                                           reference_temperature2_edit, thermometer_reading2_edit,
                                           reference_temperature3_edit, thermometer_reading3_edit};
    QVector<double> values;
    for (const QLineEdit* edit : edits)
    {
        bool ok = false;
        values << edit->text().toDouble(&ok);
        if (!ok)
        {
            values.clear();
            break;
        }
    }
    if (!values.isEmpty())
    {
        const TThermometerCorrection correction({values[0], values[1] - values[0]},
                                                {values[2], values[3] - values[2]},
                                                {values[4], values[5] - values[4]});
        const QString problem = Correction_Problem(correction);
        if (!problem.isEmpty())
        {
            warnings << problem;
        }
    }
    if (!warnings.isEmpty())
    {
        text += QString(" Warning: %1, so every reading will show \"-----\".").arg(warnings.join("; "));
    }
    return text;
}
