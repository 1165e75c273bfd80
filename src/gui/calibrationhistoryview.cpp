#include "calibrationhistoryview.h"

#include "durablefile.h"
#include "exportfilename.h"
#include "reviewdialog.h"
#include "thermometerdata.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
enum TColumn
{
    Record_Column,
    Time_Column,
    User_Column,
    Host_Column,
    Found_By_Column,
    Action_Column,
    Thermometer_Column,
    Change_Column,
    Column_Count
};

enum TFindingColumn
{
    Finding_Record_Column,
    Finding_Kind_Column,
    Finding_Thermometer_Column,
    Finding_State_Column,
    Finding_Text_Column,
    Finding_Review_Column,
    Finding_Column_Count
};

// The filter's choices, in its order.
enum TFilter
{
    Selected_Thermometer,
    All_Thermometers
};

const QColor Warning_Colour(0xb0, 0x00, 0x20);

QString Count_Text(int count)
{
    return count == 1 ? QString("1 record") : QString("%1 records").arg(count);
}

QString Finding_Count_Text(int count, const char* what)
{
    return count == 1 ? QString("1 %1 finding").arg(what) : QString("%1 %2 findings").arg(count).arg(what);
}

// Why a finding cannot be reviewed, or is no more; empty for one that can be.
QString Not_Reviewable_Reason(const TFinding& finding)
{
    if (finding.reviewed)
    {
        return QStringLiteral("It is reviewed.");
    }
    if (finding.kind == TFinding::Incomplete_Line)
    {
        return QStringLiteral("Nothing to review: the next change drops the cut-off line.");
    }
    if (!finding.Is_Reviewable())
    {
        return QStringLiteral("It has no record in the calibration history yet: the next start of a window "
                              "that can write the data directory records it.");
    }
    return QString();
}
} // namespace

TCalibrationHistoryView::TCalibrationHistoryView(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("Calibration_History_View");
    setWindowTitle("Calibration History");
    resize(1080, 480);

    Create_Widgets();
    Create_Layout();
    Connect_Signals();
    Set_Up_Keyboard();
    Show_Records();
}

TCalibrationHistoryView::~TCalibrationHistoryView() = default;

void TCalibrationHistoryView::Create_Widgets()
{
    filter_selector = new QComboBox(this);
    filter_selector->setObjectName("Filter_Selector");
    filter_selector->addItems({"Selected thermometer", "All thermometers"});
    filter_label = new QLabel("&Show:", this);
    filter_label->setBuddy(filter_selector);
    shown_label = new QLabel(this);
    shown_label->setObjectName("Shown_Label");
    // It names a thermometer, whose description may hold anything, markup too.
    shown_label->setTextFormat(Qt::PlainText);

    record_table = new QTreeWidget(this);
    record_table->setObjectName("Record_Table");
    record_table->setColumnCount(Column_Count);
    record_table->setHeaderLabels(
        {"Record", "Time", "User", "Host", "Found By", "Action", "Thermometer", "Change"});
    record_table->setRootIsDecorated(false);
    record_table->setUniformRowHeights(true);
    // What changed is what an auditor reads: shown whole, scrolled to rather than cut off.
    record_table->setTextElideMode(Qt::ElideNone);
    record_table->header()->setStretchLastSection(false);
    record_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    record_table->setSortingEnabled(false);
    record_table->setAllColumnsShowFocus(true);
    record_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    record_table->setSelectionMode(QAbstractItemView::SingleSelection);
    record_table->setMinimumSize(500, 200);

    // The head hash is copied into an audit's notes: selectable, also from the keyboard.
    chain_label = new QLabel(this);
    chain_label->setObjectName("Chain_Label");
    chain_label->setWordWrap(true);
    chain_label->setTextFormat(Qt::PlainText);
    chain_label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    chain_label->setFocusPolicy(Qt::StrongFocus);

    findings_label = new QLabel(this);
    findings_label->setObjectName("Findings_Label");
    findings_label->setWordWrap(true);
    reviewed_check_box = new QCheckBox("Show re&viewed findings", this);
    reviewed_check_box->setObjectName("Reviewed_Check_Box");
    finding_table = new QTreeWidget(this);
    finding_table->setObjectName("Finding_Table");
    finding_table->setColumnCount(Finding_Column_Count);
    finding_table->setHeaderLabels({"Record", "Finding", "Thermometer", "State", "What was found", "Review"});
    finding_table->setRootIsDecorated(false);
    finding_table->setUniformRowHeights(true);
    finding_table->setTextElideMode(Qt::ElideNone);
    finding_table->header()->setStretchLastSection(false);
    finding_table->setAllColumnsShowFocus(true);
    finding_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    finding_table->setSelectionMode(QAbstractItemView::SingleSelection);
    finding_table->setMinimumSize(500, 100);

    review_button = new QPushButton("&Review...", this);
    review_button->setObjectName("Review_Button");
    review_button->setAutoDefault(false);
    export_button = new QPushButton("&Export CSV...", this);
    export_button->setObjectName("Export_Csv_Button");
    export_button->setAutoDefault(false);
}

void TCalibrationHistoryView::Create_Layout()
{
    QVBoxLayout* layout = new QVBoxLayout(this);
    QHBoxLayout* filter_row = new QHBoxLayout();
    filter_row->addWidget(filter_label);
    filter_row->addWidget(filter_selector);
    filter_row->addSpacing(12);
    filter_row->addWidget(shown_label, 1);
    layout->addLayout(filter_row);
    layout->addWidget(record_table, 2);
    layout->addWidget(chain_label);
    QHBoxLayout* findings_row = new QHBoxLayout();
    findings_row->addWidget(findings_label, 1);
    findings_row->addWidget(reviewed_check_box);
    layout->addLayout(findings_row);
    layout->addWidget(finding_table, 1);
    QHBoxLayout* button_row = new QHBoxLayout();
    button_row->addStretch();
    button_row->addWidget(review_button);
    button_row->addWidget(export_button);
    layout->addLayout(button_row);
}

void TCalibrationHistoryView::Connect_Signals()
{
    connect(filter_selector, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TCalibrationHistoryView::Show_Records);
    connect(export_button, &QPushButton::clicked, this, &TCalibrationHistoryView::Export_With_Dialog);
    connect(reviewed_check_box, &QCheckBox::toggled, this, &TCalibrationHistoryView::Show_Findings);
    connect(finding_table, &QTreeWidget::itemSelectionChanged, this,
            &TCalibrationHistoryView::Finding_Selection_Changed);
    connect(review_button, &QPushButton::clicked, this, &TCalibrationHistoryView::Review_Selected_Finding);
}

void TCalibrationHistoryView::Set_Up_Keyboard()
{
    setTabOrder(filter_selector, record_table);
    setTabOrder(record_table, chain_label);
    setTabOrder(chain_label, reviewed_check_box);
    setTabOrder(reviewed_check_box, finding_table);
    setTabOrder(finding_table, review_button);
    setTabOrder(review_button, export_button);
    // A window of its own has no Cancel button to take Escape, as a dialog does.
    QShortcut* close_shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close_shortcut, &QShortcut::activated, this, &QWidget::close);
    record_table->setAccessibleName("Calibration history records");
    chain_label->setAccessibleName("Chain of records");
    finding_table->setAccessibleName("Findings");
}

void TCalibrationHistoryView::Set_History(const THistoryContent& content, const QString& file_name,
                                          const QVector<TFinding>& all_findings)
{
    history = content;
    record_thermometers = History_Record_Thermometers(history.records);
    history_file_name = file_name;
    findings = all_findings;
    read_error.clear();
    Show_Records();
    Show_Findings();
}

void TCalibrationHistoryView::Set_Read_Error(const QString& error)
{
    history = THistoryContent();
    record_thermometers.clear();
    findings.clear();
    read_error = error;
    Show_Records();
    Show_Findings();
}

void TCalibrationHistoryView::Set_Selection(const QString& description)
{
    if (description == selection)
    {
        return;
    }
    selection = description;
    // A history of thousands of records takes a moment to show; all of them do not change.
    if (filter_selector->currentIndex() != All_Thermometers)
    {
        Show_Records();
    }
}

void TCalibrationHistoryView::Set_Export_Directory(const QString& directory)
{
    export_directory = directory;
}

void TCalibrationHistoryView::Show_Records()
{
    const bool all = filter_selector->currentIndex() == All_Thermometers;
    shown_records.clear();
    if (all || !selection.isEmpty())
    {
        // Newest first: the question is nearly always what changed last. A record is the selected
        // thermometer's by what it changed, not by the name it carries for a reader.
        for (int index = history.records.size() - 1; index >= 0; --index)
        {
            if (all || TThermometerList::Is_Same_Description(record_thermometers.value(index), selection))
            {
                shown_records.append(history.records[index]);
            }
        }
    }

    record_table->clear();
    QList<QTreeWidgetItem*> items;
    for (const THistoryRecord& record : shown_records)
    {
        QTreeWidgetItem* item = new QTreeWidgetItem();
        item->setText(Record_Column, QString::number(record.number));
        item->setTextAlignment(Record_Column, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(Record_Column, "SHA-256 of this record: " + QString::fromLatin1(record.hash));
        item->setText(Time_Column, record.time);
        // Who found an outside change, or wrote a mark, did not make the change: never named as its author.
        if (Is_Found_Record(record.action))
        {
            item->setText(Found_By_Column, History_Writer_Text(record));
        }
        else
        {
            item->setText(User_Column, record.user);
            item->setText(Host_Column, record.host);
        }
        item->setText(Action_Column, History_Action_Text(record.action));
        item->setText(Thermometer_Column, record.description);
        const QString change = History_Change_Text(record);
        item->setText(Change_Column, change);
        item->setToolTip(Change_Column, change);
        items << item;
    }
    record_table->addTopLevelItems(items);
    for (int column = 0; column < Column_Count; ++column)
    {
        record_table->resizeColumnToContents(column);
    }

    const int total = history.records.size();
    if (!read_error.isEmpty())
    {
        shown_label->setText("The calibration history cannot be read.");
    }
    else if (all)
    {
        shown_label->setText(Count_Text(total) + " of all thermometers.");
    }
    else if (selection.isEmpty())
    {
        shown_label->setText("No thermometer is selected; choose All thermometers to see every record.");
    }
    else if (shown_records.isEmpty())
    {
        shown_label->setText(
            QString("No record of thermometer '%1' among %2.").arg(selection, Count_Text(total)));
    }
    else
    {
        shown_label->setText(QString("%1 of %2: thermometer '%3'.")
                                 .arg(Count_Text(shown_records.size()), QString::number(total), selection));
    }
    export_button->setEnabled(read_error.isEmpty());
    Show_Chain();
}

void TCalibrationHistoryView::Show_Chain()
{
    QString text;
    const bool broken = history.first_break != 0 || history.incomplete_last_line;
    if (!read_error.isEmpty())
    {
        text = read_error;
    }
    else if (broken)
    {
        text = Message_Texts(History_Chain_Warnings(history_file_name, history)).join('\n');
    }
    else if (history.records.isEmpty())
    {
        text = "The calibration history has no records yet.";
    }
    else
    {
        text = QString("Chain intact: %1; last record's SHA-256: %2")
                   .arg(Count_Text(history.records.size()), QString::fromLatin1(history.head_hash));
    }
    chain_label->setText(text);
    chain_label->setToolTip(QDir::toNativeSeparators(history_file_name));
    // A history that may have been tampered with must not read like one that is whole.
    const bool warn = !read_error.isEmpty() || broken;
    QPalette palette;
    QFont font;
    if (warn)
    {
        palette.setColor(QPalette::WindowText, Warning_Colour);
        font.setBold(true);
    }
    chain_label->setPalette(palette);
    chain_label->setFont(font);
}

bool TCalibrationHistoryView::Export_Csv(const QString& file_name)
{
    QString reason;
    if (!Write_Whole_File(file_name, History_Csv(shown_records).toUtf8(), &reason, TLineEnds::Native))
    {
        emit Message(TMessage::Error(QString("Cannot write calibration history export '%1'.  Reason: %2")
                                         .arg(QDir::toNativeSeparators(file_name), reason)));
        return false;
    }
    emit Message(TMessage::Info(
        QString("Calibration history exported to '%1'.").arg(QDir::toNativeSeparators(file_name))));
    return true;
}

void TCalibrationHistoryView::Show_Findings()
{
    const bool with_reviewed = reviewed_check_box->isChecked();
    // The selection stays on the same finding where it is still shown.
    const TFinding* selected = Selected_Finding();
    const TFinding previous = selected != nullptr ? *selected : TFinding();
    const bool had_selection = selected != nullptr;
    shown_findings.clear();
    int open = 0;
    for (const TFinding& finding : findings)
    {
        open += finding.reviewed ? 0 : 1;
        if (with_reviewed || !finding.reviewed)
        {
            shown_findings << finding;
        }
    }
    finding_table->clear();
    QList<QTreeWidgetItem*> items;
    QTreeWidgetItem* reselected = nullptr;
    for (const TFinding& finding : shown_findings)
    {
        QTreeWidgetItem* item = new QTreeWidgetItem();
        item->setText(Finding_Record_Column,
                      finding.record > 0 ? QString::number(finding.record) : QString());
        item->setTextAlignment(Finding_Record_Column, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(Finding_Kind_Column, Finding_Kind_Text(finding.kind));
        item->setText(Finding_Thermometer_Column, finding.description);
        item->setText(Finding_State_Column, finding.reviewed ? "reviewed" : "open");
        const QString text =
            finding.text + (finding.origin.isEmpty() ? QString() : " (" + finding.origin + ")");
        item->setText(Finding_Text_Column, text);
        item->setToolTip(Finding_Text_Column, text);
        const QString review = Review_Text(finding);
        item->setText(Finding_Review_Column, review);
        item->setToolTip(Finding_Review_Column, review);
        if (!finding.reviewed)
        {
            QFont bold = item->font(Finding_State_Column);
            bold.setBold(true);
            item->setFont(Finding_State_Column, bold);
            item->setForeground(Finding_State_Column, Warning_Colour);
        }
        items << item;
        if (had_selection && reselected == nullptr && Is_Same_Finding(finding, previous))
        {
            reselected = item;
        }
    }
    finding_table->addTopLevelItems(items);
    for (int column = 0; column < Finding_Column_Count; ++column)
    {
        finding_table->resizeColumnToContents(column);
    }
    if (reselected != nullptr)
    {
        reselected->setSelected(true);
        finding_table->setCurrentItem(reselected);
    }
    if (!read_error.isEmpty())
    {
        findings_label->setText("Findings: the calibration history cannot be read.");
    }
    else
    {
        const int reviewed = findings.size() - open;
        findings_label->setText(
            open == 0 && reviewed == 0
                ? QString("No findings: nothing in the calibration history needs a person.")
                : QString("%1%2. Select one and press Review... to mark it as reviewed.")
                      .arg(Finding_Count_Text(open, "open"),
                           reviewed > 0 ? ", " + Finding_Count_Text(reviewed, "reviewed") : QString()));
    }
    Finding_Selection_Changed();
}

const TFinding* TCalibrationHistoryView::Selected_Finding() const
{
    const QList<QTreeWidgetItem*> selected = finding_table->selectedItems();
    if (selected.isEmpty())
    {
        return nullptr;
    }
    const int row = finding_table->indexOfTopLevelItem(selected.first());
    return row >= 0 && row < shown_findings.size() ? &shown_findings[row] : nullptr;
}

void TCalibrationHistoryView::Finding_Selection_Changed()
{
    const TFinding* finding = Selected_Finding();
    const QString reason = finding != nullptr ? Not_Reviewable_Reason(*finding) : QString();
    review_button->setEnabled(finding != nullptr && reason.isEmpty());
    review_button->setToolTip(finding == nullptr ? QString("Select a finding to review.") : reason);
}

void TCalibrationHistoryView::Review_Selected_Finding()
{
    if (Selected_Finding() == nullptr || !Not_Reviewable_Reason(*Selected_Finding()).isEmpty())
    {
        for (int row = 0; row < shown_findings.size(); ++row)
        {
            if (Not_Reviewable_Reason(shown_findings[row]).isEmpty())
            {
                finding_table->setCurrentItem(finding_table->topLevelItem(row));
                break;
            }
        }
    }
    const TFinding* selected = Selected_Finding();
    if (selected == nullptr || !Not_Reviewable_Reason(*selected).isEmpty())
    {
        emit Message(TMessage::Info(
            QString("No open finding of the calibration history can be reviewed now%1")
                .arg(selected != nullptr ? ": " + Not_Reviewable_Reason(*selected) : QString("."))));
        return;
    }
    const TFinding finding = *selected;
    if (review_dialog == nullptr)
    {
        review_dialog = new TReviewDialog(this);
    }
    review_dialog->Set_Finding(Finding_Summary(finding), History_Writer_Text());
    if (review_dialog->exec() != QDialog::Accepted)
    {
        return;
    }
    emit Review_Requested(finding, review_dialog->Get_Comment());
}

void TCalibrationHistoryView::Export_With_Dialog()
{
    const bool all = filter_selector->currentIndex() == All_Thermometers;
    const QString proposed = all || selection.isEmpty() ? QString("calibration_history.csv")
                                                        : Export_File_Name(selection + " history", "csv");
    const QString file_name = QFileDialog::getSaveFileName(
        this, "Export Calibration History", export_directory + "/" + proposed, "CSV data (*.csv)");
    if (!file_name.isEmpty())
    {
        Export_Csv(file_name);
    }
}
