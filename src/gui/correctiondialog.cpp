#include "correctiondialog.h"

#include "calibrationstatus.h"
#include "clock.h"
#include "datetext.h"
#include "duedateedit.h"
#include "formlayout.h"
#include "returnkeychain.h"
#include "thermometerdata.h"
#include "xmlscreen.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpacerItem>

#include <cmath>
#include <tuple>

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
    if (text.trimmed().isEmpty())
    {
        return QStringLiteral(" is not typed yet.");
    }
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
    QLabel* description_label = new QLabel("Thermometer &Description:", this);
    description_label->setBuddy(description_edit);
    grid_layout->addWidget(description_label, 0, 0);
    grid_layout->addWidget(description_edit, 0, 1, 1, 2);

    calibration_due_date_edit = new TDueDateEdit(this);
    calibration_due_date_edit->setObjectName("Calibration_Due_Date_Edit");
    QLabel* due_date_label = new QLabel("Calibration Due Da&te:", this);
    due_date_label->setBuddy(calibration_due_date_edit);
    grid_layout->addWidget(due_date_label, 1, 0);
    grid_layout->addWidget(calibration_due_date_edit, 1, 1, 1, 2);

    grid_layout->addWidget(Create_Horizontal_Line(this), 2, 0, 1, 3);

    QLabel* reference_label = new QLabel("&Reference Temperature", this);
    reference_label->setAlignment(Qt::AlignCenter);
    QLabel* reading_label = new QLabel("Thermometer Readin&g", this);
    reading_label->setAlignment(Qt::AlignCenter);
    grid_layout->addWidget(reference_label, 3, 1);
    grid_layout->addWidget(reading_label, 3, 2);

    reference_temperature1_edit = New_Temperature_Edit(this, "Reference_Temperature1_Edit");
    thermometer_reading1_edit = New_Temperature_Edit(this, "Thermometer_Reading1_Edit");
    reference_temperature2_edit = New_Temperature_Edit(this, "Reference_Temperature2_Edit");
    thermometer_reading2_edit = New_Temperature_Edit(this, "Thermometer_Reading2_Edit");
    reference_temperature3_edit = New_Temperature_Edit(this, "Reference_Temperature3_Edit");
    thermometer_reading3_edit = New_Temperature_Edit(this, "Thermometer_Reading3_Edit");

    QLabel* test_point1_label = new QLabel("Test Point &1:", this);
    grid_layout->addWidget(test_point1_label, 4, 0);
    grid_layout->addWidget(reference_temperature1_edit, 4, 1);
    grid_layout->addWidget(thermometer_reading1_edit, 4, 2);
    QLabel* test_point2_label = new QLabel("Test Point &2:", this);
    grid_layout->addWidget(test_point2_label, 5, 0);
    grid_layout->addWidget(reference_temperature2_edit, 5, 1);
    grid_layout->addWidget(thermometer_reading2_edit, 5, 2);
    QLabel* test_point3_label = new QLabel("Test Point &3:", this);
    grid_layout->addWidget(test_point3_label, 6, 0);
    grid_layout->addWidget(reference_temperature3_edit, 6, 1);
    grid_layout->addWidget(thermometer_reading3_edit, 6, 2);

    // Says why "Accept" is unavailable and what the due date means, under the test points.
    explanation_label = new QLabel(this);
    explanation_label->setObjectName("Explanation_Label");
    explanation_label->setWordWrap(true);
    // It quotes descriptions, which are no markup whatever they hold.
    explanation_label->setTextFormat(Qt::PlainText);
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

    // The column headings lead to the first test point, each test point to its reference temperature.
    reference_label->setBuddy(reference_temperature1_edit);
    reading_label->setBuddy(thermometer_reading1_edit);
    test_point1_label->setBuddy(reference_temperature1_edit);
    test_point2_label->setBuddy(reference_temperature2_edit);
    test_point3_label->setBuddy(reference_temperature3_edit);
    // Return finishes a field and goes on in the Tab order, from the last reading to "Accept"; on a
    // focused button it presses that button. Escape cancels, as in any dialog.
    const QList<QWidget*> return_chain = {description_edit,
                                          calibration_due_date_edit,
                                          reference_temperature1_edit,
                                          thermometer_reading1_edit,
                                          reference_temperature2_edit,
                                          thermometer_reading2_edit,
                                          reference_temperature3_edit,
                                          thermometer_reading3_edit,
                                          accept_button};
    // Judged before the focus moves on, as a disabled "Accept" takes no focus: Return finishes the last
    // reading only after it has passed the focus on.
    connect(thermometer_reading3_edit, &QLineEdit::returnPressed, this,
            &TCorrectionDialog::Update_Accept_Button);
    Chain_Return_Key(return_chain);
    Press_On_Return(cancel_button);
    Press_On_Return(accept_button);

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
    opened_data = dialog_data;
    description_edit->setText(dialog_data.description);
    calibration_due_date_edit->Set_Due_Date(dialog_data.calibration_due_date);
    other_descriptions = others;

    reference_temperature1_edit->setText(Temperature_Text(dialog_data.reference_temperature1));
    reference_temperature2_edit->setText(Temperature_Text(dialog_data.reference_temperature2));
    reference_temperature3_edit->setText(Temperature_Text(dialog_data.reference_temperature3));
    thermometer_reading1_edit->setText(Temperature_Text(dialog_data.thermometer_reading1));
    thermometer_reading2_edit->setText(Temperature_Text(dialog_data.thermometer_reading2));
    thermometer_reading3_edit->setText(Temperature_Text(dialog_data.thermometer_reading3));

    refused_entry.clear();
    Show_Opening_Explanation();
}

void TCorrectionDialog::Show_Opening_Explanation()
{
    // Setting the date may already have run Calibration_Date_Changed; the dialog still opens
    // with "Accept" disabled until the operator finishes an edit.
    accept_button->setEnabled(false);
    const QString problem = Entry_Problem();
    Show_Explanation(
        (problem.isEmpty() ? QString("Accept becomes available when a field is changed.") : problem) + "\n" +
        Due_Date_Explanation() + Calibration_Explanation(problem.isEmpty()));
}

void TCorrectionDialog::Get_Dialog_Data(TCorrectionDialogData* dialog_data)
{
    Q_ASSERT_X(dialog_data != nullptr, "TCorrectionDialog::Get_Dialog_Data(dialog_data)",
               "dialog_data != nullptr");

    double values[6];
    Temperature_Values(values);
    dialog_data->reference_temperature1 = values[0];
    dialog_data->thermometer_reading1 = values[1];
    dialog_data->reference_temperature2 = values[2];
    dialog_data->thermometer_reading2 = values[3];
    dialog_data->reference_temperature3 = values[4];
    dialog_data->thermometer_reading3 = values[5];
    // " Probe 1" would look like "Probe 1" in the selector.
    dialog_data->description = description_edit->text().trimmed();
    dialog_data->calibration_due_date = calibration_due_date_edit->Due_Date();
}

void TCorrectionDialog::Set_Empty_Entry(const QStringList& others)
{
    opened_data = TCorrectionDialogData();
    other_descriptions = others;
    description_edit->clear();
    calibration_due_date_edit->Set_Due_Date(QDate());
    for (QLineEdit* edit :
         {reference_temperature1_edit, thermometer_reading1_edit, reference_temperature2_edit,
          thermometer_reading2_edit, reference_temperature3_edit, thermometer_reading3_edit})
    {
        edit->clear();
    }
    refused_entry.clear();
    Show_Opening_Explanation();
}

QString TCorrectionDialog::Typed_Entry() const
{
    QStringList typed;
    const QString description = description_edit->text().trimmed();
    if (description != opened_data.description.trimmed())
    {
        typed << QString("description '%1'").arg(description);
    }
    const QDate due_date = calibration_due_date_edit->Due_Date();
    if (due_date != opened_data.calibration_due_date && due_date.isValid())
    {
        typed << "due date " + Due_Date_Text(due_date);
    }
    const std::tuple<const char*, const QLineEdit*, double> temperatures[] = {
        {"test point 1 reference temperature", reference_temperature1_edit,
         opened_data.reference_temperature1},
        {"test point 1 thermometer reading", thermometer_reading1_edit, opened_data.thermometer_reading1},
        {"test point 2 reference temperature", reference_temperature2_edit,
         opened_data.reference_temperature2},
        {"test point 2 thermometer reading", thermometer_reading2_edit, opened_data.thermometer_reading2},
        {"test point 3 reference temperature", reference_temperature3_edit,
         opened_data.reference_temperature3},
        {"test point 3 thermometer reading", thermometer_reading3_edit, opened_data.thermometer_reading3}};
    for (const auto& [name, edit, opened] : temperatures)
    {
        if (edit->text() != Temperature_Text(opened))
        {
            typed << QString("%1 %2").arg(name, edit->text());
        }
    }
    return typed.join("; ");
}

void TCorrectionDialog::Set_Refused_Entry(const QString& typed_entry)
{
    refused_entry = typed_entry;
    Show_Opening_Explanation();
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
    // A refused value is the first thing to fix, but a calibration file may hold one (a range beyond 0 to
    // 40): what is doubtful about the calibration it makes is said all the same.
    const QString first = problem.isEmpty() ? Addition_Note() : problem;
    Show_Explanation((first.isEmpty() ? QString() : first + "\n") + Due_Date_Explanation() +
                     Calibration_Explanation(problem.isEmpty()));
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
        if (TThermometerList::Is_Same_Description(other.trimmed(), description.trimmed()))
        {
            return QString(
                       "Accept is unavailable: the description '%1' is already used by another thermometer.")
                .arg(description.trimmed());
        }
    }
    if (calibration_due_date_edit->Due_Date().isNull())
    {
        return QString("Accept is unavailable: the due date is not set; type it as shown, for example %1.")
            .arg(Due_Date_Text(TClock::Today().addYears(1)));
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
    const QDate due_date = calibration_due_date_edit->Due_Date();
    if (due_date.isNull())
    {
        return QStringLiteral("No due date yet.");
    }
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
    double values[6];
    if (Temperature_Values(values))
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
    if (Is_Due_Date_Implausible(due_date, today))
    {
        text += QString(" Warning: the due date lies more than %1 years ahead.").arg(Plausible_Due_Years);
    }
    return text;
}

QString TCorrectionDialog::Addition_Note() const
{
    const QString opened = opened_data.description.trimmed();
    const QString description = description_edit->text().trimmed();
    if (opened.isEmpty() || TThermometerList::Is_Same_Description(description, opened))
    {
        return QString();
    }
    return QString("Accept adds '%1' as a new thermometer with these values; '%2' stays as it is.")
        .arg(description, opened);
}

void TCorrectionDialog::Show_Explanation(const QString& text)
{
    explanation_label->setText(
        refused_entry.isEmpty()
            ? text
            : QString("Not saved: another window changed this thermometer meanwhile, and the fields show its "
                      "current values. You had typed: %1.\n")
                      .arg(refused_entry) +
                  text);
    // The wrapped lines need more height than the dialog was given: grow it rather than cut the last
    // warning off, and never shrink it under the operator's hands.
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height())
    {
        resize(width(), needed);
    }
}

bool TCorrectionDialog::Temperature_Values(double values[6]) const
{
    const std::pair<const QLineEdit*, double> fields[6] = {
        {reference_temperature1_edit, opened_data.reference_temperature1},
        {thermometer_reading1_edit, opened_data.thermometer_reading1},
        {reference_temperature2_edit, opened_data.reference_temperature2},
        {thermometer_reading2_edit, opened_data.thermometer_reading2},
        {reference_temperature3_edit, opened_data.reference_temperature3},
        {thermometer_reading3_edit, opened_data.thermometer_reading3}};
    bool all_numbers = true;
    for (int index = 0; index < 6; ++index)
    {
        const QString text = fields[index].first->text();
        // Rewriting a stored 15.1234 as the 15.12 shown would change a calibration nobody touched.
        if (text == Temperature_Text(fields[index].second))
        {
            values[index] = fields[index].second;
            continue;
        }
        bool ok = false;
        values[index] = text.toDouble(&ok);
        all_numbers = all_numbers && ok;
    }
    return all_numbers;
}

QString TCorrectionDialog::Calibration_Explanation(bool acceptable) const
{
    double values[6];
    if (!Temperature_Values(values))
    {
        return QString();
    }
    const TThermometerCorrection correction({values[0], values[1] - values[0]},
                                            {values[2], values[3] - values[2]},
                                            {values[4], values[5] - values[4]});
    QString text;
    const QString implausibility = Implausibility(correction);
    if (!implausibility.isEmpty())
    {
        text += QString("\nWarning: implausible calibration: %1. Check the readings%2.")
                    .arg(implausibility, acceptable ? "; Accept still saves it" : "");
    }
    const QString model_difference = Model_Difference_Note(correction);
    if (!model_difference.isEmpty())
    {
        text += "\nNote: " + model_difference + ".";
    }
    return text;
}
