#include "calibrationhistoryview.h"

#include "durablefile.h"
#include "exportfilename.h"
#include "thermometerdata.h"

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
    Action_Column,
    Thermometer_Column,
    Change_Column,
    Column_Count
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
    record_table->setHeaderLabels({"Record", "Time", "User", "Host", "Action", "Thermometer", "Change"});
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
    layout->addWidget(record_table, 1);
    layout->addWidget(chain_label);
    QHBoxLayout* button_row = new QHBoxLayout();
    button_row->addStretch();
    button_row->addWidget(export_button);
    layout->addLayout(button_row);
}

void TCalibrationHistoryView::Connect_Signals()
{
    connect(filter_selector, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TCalibrationHistoryView::Show_Records);
    connect(export_button, &QPushButton::clicked, this, &TCalibrationHistoryView::Export_With_Dialog);
}

void TCalibrationHistoryView::Set_Up_Keyboard()
{
    setTabOrder(filter_selector, record_table);
    setTabOrder(record_table, chain_label);
    setTabOrder(chain_label, export_button);
    // A window of its own has no Cancel button to take Escape, as a dialog does.
    QShortcut* close_shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close_shortcut, &QShortcut::activated, this, &QWidget::close);
    record_table->setAccessibleName("Calibration history records");
    chain_label->setAccessibleName("Chain of records");
}

void TCalibrationHistoryView::Set_History(const THistoryContent& content, const QString& file_name)
{
    history = content;
    history_file_name = file_name;
    read_error.clear();
    Show_Records();
}

void TCalibrationHistoryView::Set_Read_Error(const QString& error)
{
    history = THistoryContent();
    read_error = error;
    Show_Records();
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
        // Newest first: the question is nearly always what changed last.
        for (auto record = history.records.crbegin(); record != history.records.crend(); ++record)
        {
            if (all || TThermometerList::Is_Same_Description(record->description, selection))
            {
                shown_records.append(*record);
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
        item->setText(User_Column, record.user);
        item->setText(Host_Column, record.host);
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
        QStringList warnings = History_Chain_Warnings(history_file_name, history);
        for (QString& warning : warnings)
        {
            if (warning.startsWith("WAR  "))
            {
                warning.remove(0, 5);
            }
        }
        text = warnings.join('\n');
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
        emit Message(QString("ERR  Cannot write calibration history export '%1'.  Reason: %2")
                         .arg(QDir::toNativeSeparators(file_name), reason));
        return false;
    }
    emit Message(
        QString("INF  Calibration history exported to '%1'.").arg(QDir::toNativeSeparators(file_name)));
    return true;
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
