// Measures what the program costs with N thermometers next to what Qt itself costs for the same work.
//
//   velmora_bench [--only name,...] [N ...]
//   velmora_bench --memory [N ...]
//
// For each N it writes a calibration file of N thermometers and measures load, save, start-up and one
// accepted edit together with their baselines, a Write of a log entry without and with the audit columns,
// and the trace of a log of 10 N entries (at most 100,000) against the history. Every measure prints its wall
// time; run under valgrind --tool=callgrind --instr-atstart=no it also dumps the instructions of each measure
// as a profile part named "<measure> <N>" (bench/run.sh collects them). The program stops with an error when
// the application does not read back what it was given, so a smoke run checks the work too.
//
// With --memory it measures peak memory instead (the resident set's high-water mark the system keeps,
// VmHWM): for each N it writes the file and starts two fresh processes of itself, one that builds only
// what the window needs to show N thermometers (the baseline) and one that starts the window and makes
// ten accepted edits. A high-water mark only rises, hence a process per figure.

#include "calibrationhistory.h"
#include "calibrationstatus.h"
#include "clock.h"
#include "logtrace.h"
#include "messagebox.h"
#include "temperaturelog.h"
#include "thermometerdata.h"
#include "velmora.h"
#include "version.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDomDocument>
#include <QDomImplementation>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace
{

// The texts of one entry exactly as the calibration file holds them.
struct TEntryTexts
{
    QString description;
    QString due_date;
    QString point1;
    QString point2;
    QString point3;
    QString checksum;
};

[[noreturn]] void Fail(const QString& message)
{
    std::fprintf(stderr, "velmora_bench: %s\n", qPrintable(message));
    std::exit(1);
}

// Names as a laboratory gives them: a type, a place or owner and an inventory number, some with
// letters outside ASCII and one with a character that XML must escape.
QString Description(int index)
{
    static const char* const patterns[] = {
        "Pt100 probe bay %1",       "Fühler Messraum 2 Nr. %1", "Sonde de température n° %1",
        "Glass thermometer CMM %1", "Thermocouple type K #%1",  "Прибор %1",
        "Reference probe A&B %1",   "Surface probe table %1",   "Logger channel %1",
        "Température pièce (%1)",
    };
    const int pattern_count = int(sizeof(patterns) / sizeof(patterns[0]));
    return QString::fromUtf8(patterns[index % pattern_count]).arg(index, 5, 10, QLatin1Char('0'));
}

QString Point_Text(double x, double y)
{
    return QString::number(x, 'f', 5) + QLatin1Char(',') + QString::number(y, 'f', 5);
}

QVector<TEntryTexts> Generate_Entries(int count)
{
    static const double references[][3] = {{15, 20, 25}, {10, 20, 30}, {18, 20, 22}, {0, 20, 40}};
    const TThermometerList list;
    QVector<TEntryTexts> entries;
    entries.reserve(count);
    for (int index = 0; index < count; ++index)
    {
        const double* reference = references[index % 4];
        // In hundredths, so that no sum comes out as a negative zero.
        const int deviation = index % 41 - 20;
        TEntryTexts texts;
        texts.description = Description(index);
        // Counted from today, so that the share of thermometers out of calibration or due soon (about
        // one in ten, and 2 %), whose start-up warnings cost too, is the same on any day.
        const QDate due_date = QDate::currentDate().addDays((index * 37) % 1500 - 150);
        texts.due_date = due_date.toString(QStringLiteral("ddMMyyyy"));
        texts.point1 = Point_Text(reference[0], deviation / 100.0);
        texts.point2 = Point_Text(reference[1], (deviation + 5) / 100.0);
        texts.point3 = Point_Text(reference[2], (deviation + 2 * (index % 7)) / 100.0);

        // The checksum is taken from the values as a load rebuilds them from these texts.
        TThermometerData record;
        record.description = texts.description;
        record.calibration_due_date = due_date;
        const auto point = [](const QString& text) {
            const QStringList parts = text.split(QLatin1Char(','));
            return TVector2(parts.at(0).toDouble(), parts.at(1).toDouble());
        };
        record.correction.Set_Points(point(texts.point1), point(texts.point2), point(texts.point3));
        texts.checksum = list.Calculate_Checksum(record);
        entries.append(texts);
    }
    return entries;
}

void Append_Text_Element(QDomDocument* document, QDomElement* parent, const QString& name,
                         const QString& text)
{
    QDomElement element = document->createElement(name);
    element.appendChild(document->createTextNode(text));
    parent->appendChild(element);
}

// The save baseline: the calibration file's DOM built straight from its texts and saved with
// QDomDocument::save through a QSaveFile. It also writes the files that the other measures read.
void Save_Directly(const QVector<TEntryTexts>& entries, const QString& file_name)
{
    QDomDocument document;
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"utf-8\"")));
    QDomElement root = document.createElement(QStringLiteral("Thermometer_Calibration_Data"));
    root.setAttribute(QStringLiteral("File_Version"), QStringLiteral("1"));
    document.appendChild(root);
    QDomElement calibration_entries = document.createElement(QStringLiteral("Calibration_Entries"));
    root.appendChild(calibration_entries);
    for (const TEntryTexts& texts : entries)
    {
        QDomElement entry = document.createElement(QStringLiteral("Entry"));
        Append_Text_Element(&document, &entry, QStringLiteral("Description"), texts.description);
        Append_Text_Element(&document, &entry, QStringLiteral("Calibration_Due_Date"), texts.due_date);
        Append_Text_Element(&document, &entry, QStringLiteral("Point1"), texts.point1);
        Append_Text_Element(&document, &entry, QStringLiteral("Point2"), texts.point2);
        Append_Text_Element(&document, &entry, QStringLiteral("Point3"), texts.point3);
        Append_Text_Element(&document, &entry, QStringLiteral("Checksum"), texts.checksum);
        calibration_entries.appendChild(entry);
    }

    QSaveFile file(file_name);
    if (!file.open(QIODevice::WriteOnly))
    {
        Fail(QStringLiteral("cannot write %1").arg(file_name));
    }
    {
        QTextStream stream(&file);
        document.save(stream, 4, QDomNode::EncodingFromDocument);
    }
    if (!file.commit())
    {
        Fail(QStringLiteral("cannot write %1").arg(file_name));
    }
}

// The load baseline, and part of the start-up baseline: the file read whole and parsed into a DOM as
// the program has it parsed (with namespace processing), the cheapest way Qt offers.
QDomDocument Parse_Directly(const QString& file_name)
{
    QFile file(file_name);
    QDomDocument document;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(file.readAll(), true))
    {
        Fail(QStringLiteral("cannot parse %1").arg(file_name));
    }
    return document;
}

QLineEdit* New_Line_Edit(QWidget* parent)
{
    QLineEdit* edit = new QLineEdit(parent);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

QFrame* New_Line(QWidget* parent)
{
    QFrame* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// The start-up baseline's window: the main window's widgets, fonts, icons and menus, laid out alike,
// with nothing behind them. Returns the selector and the log pane for the rest of the baseline.
QMainWindow* Build_Bare_Window(QComboBox** selector, QPlainTextEdit** log_pane)
{
    QMainWindow* window = new QMainWindow();
    window->resize(754, 629);
    QFont reading_font;
    reading_font.setPointSize(16);
    reading_font.setWeight(QFont::Bold);
    QFont log_font(QStringLiteral("Courier New"));
    log_font.setFixedPitch(true);
    QFont notice_font;
    notice_font.setPointSize(8);
    notice_font.setItalic(true);

    QWidget* central = new QWidget(window);
    window->setCentralWidget(central);
    QVBoxLayout* main_layout = new QVBoxLayout(central);

    QGridLayout* grid_a = new QGridLayout();
    *selector = new QComboBox(central);
    QToolButton* buttons[3];
    for (int index = 0; index < 3; ++index)
    {
        buttons[index] = new QToolButton(central);
        buttons[index]->setIconSize(QSize(16, 16));
    }
    buttons[0]->setIcon(QIcon(QStringLiteral(":/gui/browse_icon16.png")));
    buttons[1]->setIcon(QIcon(QStringLiteral(":/gui/edit_icon16.png")));
    buttons[2]->setIcon(QIcon(QStringLiteral(":/gui/remove_icon16.png")));
    grid_a->addWidget(new QLabel(QStringLiteral("Record Path:"), central), 0, 0);
    grid_a->addWidget(new QLineEdit(central), 0, 1);
    grid_a->addWidget(buttons[0], 0, 2, 1, 2);
    grid_a->addWidget(new QLabel(QStringLiteral("Record File:"), central), 1, 0);
    grid_a->addWidget(new QLineEdit(central), 1, 1);
    grid_a->addWidget(new QLabel(QStringLiteral("Thermometer:"), central), 2, 0);
    grid_a->addWidget(*selector, 2, 1);
    grid_a->addWidget(buttons[1], 2, 2);
    grid_a->addWidget(buttons[2], 2, 3);
    main_layout->addLayout(grid_a);
    main_layout->addWidget(New_Line(central));

    QGridLayout* grid_b = new QGridLayout();
    grid_b->addWidget(new QLabel(QStringLiteral("Description:"), central), 0, 0);
    grid_b->addWidget(new QLineEdit(central), 0, 1, 1, 2);
    grid_b->addWidget(new QLabel(QStringLiteral("Meter Reading"), central), 1, 1);
    grid_b->addWidget(new QLabel(QStringLiteral("Corrected Reading"), central), 1, 2);
    for (int row = 2; row < 6; ++row)
    {
        grid_b->addWidget(new QCheckBox(QStringLiteral("X Axis Temperature:"), central), row, 0);
        for (int column = 1; column < 3; ++column)
        {
            QLineEdit* field = New_Line_Edit(central);
            field->setFont(reading_font);
            field->setText(QStringLiteral("20.00"));
            grid_b->addWidget(field, row, column);
        }
    }
    grid_b->addWidget(new QPushButton(QStringLiteral("Write"), central), 2, 3, 2, 1);
    grid_b->addWidget(new QPushButton(QStringLiteral("Evaluate Corrections"), central), 4, 3);
    grid_b->addWidget(new QPushButton(QStringLiteral("Evaluate Uncertainty"), central), 5, 3);
    main_layout->addLayout(grid_b);
    main_layout->addWidget(New_Line(central));

    main_layout->addWidget(new QLabel(QStringLiteral("Log:"), central));
    *log_pane = new QPlainTextEdit(central);
    (*log_pane)->setReadOnly(true);
    (*log_pane)->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    (*log_pane)->setFont(log_font);
    main_layout->addWidget(*log_pane);
    main_layout->addWidget(New_Line(central));

    QHBoxLayout* bottom_layout = new QHBoxLayout();
    QLabel* notice = new QLabel(QStringLiteral("Readings are corrected only while the thermometer is "
                                               "within its calibration period."),
                                central);
    notice->setFont(notice_font);
    QLabel* logo = new QLabel(central);
    logo->setFixedSize(100, 40);
    logo->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    bottom_layout->addWidget(notice);
    bottom_layout->addWidget(logo);
    main_layout->addLayout(bottom_layout);

    QMenu* file_menu = window->menuBar()->addMenu(QStringLiteral("File"));
    file_menu->addAction(new QAction(QStringLiteral("Quit"), window));
    QMenu* edit_menu = window->menuBar()->addMenu(QStringLiteral("Edit"));
    edit_menu->addAction(new QAction(QStringLiteral("Correction Editor"), window));
    edit_menu->addAction(new QAction(QStringLiteral("Remove Thermometer"), window));
    new TMessageBox(window);
    window->setWindowTitle(QStringLiteral("Velmora - Version " VELMORA_VERSION));
    return window;
}

// Answers the Correction Editor once it is open: a new reading at test point 2, then Accept.
void Accept_Next_Edit(double reading)
{
    QTimer* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, reading]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->inherits("TCorrectionDialog"))
        {
            return;
        }
        timer->stop();
        timer->deleteLater();
        QLineEdit* edit = modal->findChild<QLineEdit*>(QStringLiteral("Thermometer_Reading2_Edit"));
        QPushButton* accept = modal->findChild<QPushButton*>(QStringLiteral("Accept_Button"));
        if (edit == nullptr || accept == nullptr)
        {
            Fail(QStringLiteral("the Correction Editor has changed"));
        }
        edit->setText(QString::number(reading, 'f', 2));
        emit edit->editingFinished();
        if (!accept->isEnabled())
        {
            Fail(QStringLiteral("the Correction Editor refused the edit"));
        }
        accept->click();
    });
    timer->start(0);
}

// The process's resident set as the system reports it in /proc/self/status, in kB: field is "VmHWM"
// (the high-water mark) or "VmRSS" (now). -1 where there is no such report.
qint64 Resident_Kilobytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
    {
        return -1;
    }
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
    {
        if (line.startsWith(prefix))
        {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// The memory baseline: the bare window with the selector holding N descriptions and the log pane N
// lines, which any window showing N thermometers needs, and nothing behind them.
void Build_Memory_Baseline(int count)
{
    QComboBox* selector = nullptr;
    QPlainTextEdit* log_pane = nullptr;
    QMainWindow* window = Build_Bare_Window(&selector, &log_pane);
    QStringList descriptions;
    descriptions.reserve(count);
    for (int index = 0; index < count; ++index)
    {
        descriptions.append(Description(index));
    }
    selector->insertItems(0, descriptions);
    for (const QString& description : qAsConst(descriptions))
    {
        log_pane->appendPlainText(QStringLiteral("INF  Loaded correction data for '%1'.  Calibration Due: %2")
                                      .arg(description, QStringLiteral("01012030")));
    }
    std::printf("baseline %lld\n", Resident_Kilobytes("VmHWM"));
    delete window;
}

// Starts the window on the calibration file that the parent wrote and makes ten accepted edits; prints
// the high-water mark after the start and after the edits, and the resident set after the second and
// the tenth edit (the first builds the Correction Editor).
void Measure_Window_Memory(int count)
{
    TVelmora* window = new TVelmora();
    if (window->findChild<QComboBox*>(QStringLiteral("Thermometer_Selector"))->count() != count)
    {
        Fail(QStringLiteral("the window does not offer the %1 thermometers").arg(count));
    }
    const qint64 start = Resident_Kilobytes("VmHWM");
    QToolButton* edit_button = window->findChild<QToolButton*>(QStringLiteral("Edit_Button"));
    qint64 after_second = 0;
    for (int edit = 1; edit <= 10; ++edit)
    {
        Accept_Next_Edit(20.0 + edit / 10.0);
        edit_button->click();
        if (edit == 2)
        {
            after_second = Resident_Kilobytes("VmRSS");
        }
    }
    // Taken before the file is read back for the check below, which is the benchmark's memory, not the
    // window's.
    const qint64 after_edits = Resident_Kilobytes("VmHWM");
    const qint64 after_tenth = Resident_Kilobytes("VmRSS");
    QFile file(QCoreApplication::applicationDirPath() + QStringLiteral("/.velmora/calibration_data.xml"));
    if (!file.open(QIODevice::ReadOnly) || !file.readAll().contains("20.00000,1.00000"))
    {
        Fail(QStringLiteral("the edits were not saved"));
    }
    std::printf("window %lld %lld %lld %lld\n", start, after_edits, after_second, after_tenth);
    delete window;
}

// Ticks or clears the audit columns in the Options dialog that the window opens next, and accepts it.
void Accept_Audit_Columns(bool on)
{
    QTimer* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, on]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->inherits("TOptionsDialog"))
        {
            return;
        }
        timer->stop();
        timer->deleteLater();
        QCheckBox* audit = modal->findChild<QCheckBox*>(QStringLiteral("Log_Audit_Columns_Check_Box"));
        QPushButton* accept = modal->findChild<QPushButton*>(QStringLiteral("Accept_Button"));
        if (audit == nullptr || accept == nullptr)
        {
            Fail(QStringLiteral("the Options dialog has changed"));
        }
        audit->setChecked(on);
        accept->click();
    });
    timer->start(0);
}

class TBench
{
public:
    TBench(const QStringList& only) : only_measures(only)
    {
        data_directory = QCoreApplication::applicationDirPath() + QStringLiteral("/.velmora");
        QDir(data_directory).removeRecursively();
        QDir().mkpath(data_directory);
        calibration_file = data_directory + QStringLiteral("/calibration_data.xml");
        scratch_file = data_directory + QStringLiteral("/bench_scratch.xml");
    }

    ~TBench() { QDir(data_directory).removeRecursively(); }

    // The baselines run first, so that what the program's own code leaves on the heap does not
    // change what they cost from one version of it to the next.
    void Run(int count, bool report)
    {
        reporting = report;
        const QVector<TEntryTexts> entries = Generate_Entries(count);
        Save_Directly(entries, calibration_file);

        // Each baseline runs under the DOM policy that the program uses for the same work: its writers
        // have Qt refuse invalid names and text (checks that make creating a node about four times as
        // costly), its parse accepts what the stream reader let through.
        const QDomImplementation::InvalidDataPolicy program_policy = QDomImplementation::invalidDataPolicy();
        QDomImplementation::setInvalidDataPolicy(QDomImplementation::AcceptInvalidChars);
        Measure("parse", count, [this]() { Parse_Directly(calibration_file); });
        QDomImplementation::setInvalidDataPolicy(QDomImplementation::ReturnNullNode);
        Measure("save_base", count, [&]() { Save_Directly(entries, scratch_file); });
        QDomImplementation::setInvalidDataPolicy(QDomImplementation::AcceptInvalidChars);
        Measure("startup_base", count, [&]() {
            QComboBox* selector = nullptr;
            QPlainTextEdit* log_pane = nullptr;
            bare_window = Build_Bare_Window(&selector, &log_pane);
            const QDomDocument document = Parse_Directly(calibration_file);
            QStringList descriptions;
            descriptions.reserve(entries.size());
            for (const TEntryTexts& texts : entries)
            {
                descriptions.append(texts.description);
            }
            selector->insertItems(0, descriptions);
            for (const TEntryTexts& texts : entries)
            {
                log_pane->appendPlainText(
                    QStringLiteral("INF  Loaded correction data for '%1'.  Calibration Due: %2")
                        .arg(texts.description, texts.due_date));
            }
        });
        delete bare_window;
        bare_window = nullptr;
        QDomImplementation::setInvalidDataPolicy(program_policy);

        TThermometerList list;
        Measure("load", count, [&]() {
            if (!list.Load_Calibration_File(calibration_file))
            {
                Fail(list.Get_Last_Error());
            }
        });
        if (list.Get_Descriptions().size() != count || list.Get_Checksum_Error_Count() != 0)
        {
            Fail(QStringLiteral("%1 thermometers did not load").arg(count));
        }
        Measure("save", count, [&]() {
            if (!list.Save_Calibration_File(calibration_file))
            {
                Fail(list.Get_Last_Error());
            }
        });
        // The program writes the very file that the baseline writes, or the comparison is void.
        if (Read(calibration_file) != Read(scratch_file))
        {
            Fail(QStringLiteral("the saved file differs from the baseline's"));
        }

        TVelmora* window = nullptr;
        Measure("startup", count, [&]() { window = new TVelmora(); });
        if (window->findChild<QComboBox*>(QStringLiteral("Thermometer_Selector"))->count() != count)
        {
            Fail(QStringLiteral("the window does not offer the %1 thermometers").arg(count));
        }

        // The first edit of a window builds the Correction Editor; the one measured is the next. Every
        // edit writes the whole file and reads all of it back, as every save does.
        QToolButton* edit_button = window->findChild<QToolButton*>(QStringLiteral("Edit_Button"));
        Accept_Next_Edit(21.5);
        edit_button->click();
        Measure("edit", count, [&]() {
            Accept_Next_Edit(20.5);
            edit_button->click();
        });
        if (!Read(calibration_file).contains("20.00000,0.50000"))
        {
            Fail(QStringLiteral("the edit was not saved"));
        }

        // A Write without and with the audit columns, each into a log of its own that already has an
        // entry: the first Write of a file makes it.
        window->findChild<QLineEdit*>(QStringLiteral("Record_Path_Field"))
            ->setText(QDir::toNativeSeparators(data_directory));
        QFile::remove(data_directory + QStringLiteral("/bench_plain.csv"));
        QFile::remove(data_directory + QStringLiteral("/bench_audit.csv"));
        QLineEdit* record_file = window->findChild<QLineEdit*>(QStringLiteral("Record_File_Field"));
        QLineEdit* x_meter = window->findChild<QLineEdit*>(QStringLiteral("X_Meter_Field"));
        x_meter->setText(QStringLiteral("20.12"));
        emit x_meter->editingFinished();
        QPushButton* write_button = window->findChild<QPushButton*>(QStringLiteral("Write_Button"));
        record_file->setText(QStringLiteral("bench_plain.csv"));
        write_button->click();
        Measure("write", count, [&]() { write_button->click(); });
        QAction* options_action = window->findChild<QAction*>(QStringLiteral("Options_Action"));
        Accept_Audit_Columns(true);
        options_action->trigger();
        record_file->setText(QStringLiteral("bench_audit.csv"));
        write_button->click();
        Measure("write_audit", count, [&]() { write_button->click(); });
        // The next run's window starts with the option as the settings hold it.
        Accept_Audit_Columns(false);
        options_action->trigger();
        const QList<QByteArray> plain_lines =
            Read(data_directory + QStringLiteral("/bench_plain.csv")).split('\n');
        const QList<QByteArray> audit_lines =
            Read(data_directory + QStringLiteral("/bench_audit.csv")).split('\n');
        if (plain_lines.size() != 4 || audit_lines.size() != 4 || audit_lines[2].split(',').size() < 13 ||
            audit_lines[2].split(',')[11].isEmpty())
        {
            Fail(QStringLiteral("the window did not write its entries with and without the audit columns: %1")
                     .arg(QString::fromUtf8(audit_lines.join('|'))));
        }
        delete window;

        Trace_Log(count);
    }

    // Writes the file of count thermometers, has a fresh process of this program measure the baseline
    // and one the window, and prints their figures in MB.
    void Measure_Memory(int count)
    {
        QDir(data_directory).removeRecursively();
        QDir().mkpath(data_directory);
        Save_Directly(Generate_Entries(count), calibration_file);
        const double file_size = QFileInfo(calibration_file).size() / 1048576.0;
        const QList<QByteArray> baseline = Run_Child(QStringLiteral("--memory-baseline"), count);
        const QList<QByteArray> window = Run_Child(QStringLiteral("--memory-window"), count);
        if (baseline.size() != 2 || window.size() != 5)
        {
            Fail(QStringLiteral("the memory figures at N = %1 are incomplete").arg(count));
        }
        const auto megabytes = [](const QByteArray& kilobytes) { return kilobytes.toLongLong() / 1024.0; };
        const double start = megabytes(window.at(1));
        std::printf("%7d %9.1f %9.1f %9.1f %9.1f %12.1f %12.2f %7.1fx\n", count, file_size,
                    megabytes(baseline.at(1)), start, megabytes(window.at(2)),
                    megabytes(window.at(4)) - megabytes(window.at(3)),
                    (megabytes(window.at(4)) - megabytes(window.at(3))) / 8,
                    (megabytes(window.at(2)) - megabytes(baseline.at(1))) / file_size);
        std::fflush(stdout);
    }

private:
    static QList<QByteArray> Run_Child(const QString& option, int count)
    {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {option, QString::number(count)});
        if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        {
            Fail(QStringLiteral("the measure %1 %2 failed").arg(option).arg(count));
        }
        return child.readAllStandardOutput().trimmed().split(' ');
    }

    // Ten entries for each thermometer, at most 100,000.
    static int Trace_Lines(int count) { return std::min(10 * count, 100000); }

    // trace of a log of Trace_Lines entries, each naming the record of its thermometer's calibration,
    // against the history that the window's start and edits wrote: 100,000 lines against 10,000 records
    // at N = 10,000.
    void Trace_Log(int count)
    {
        const QString history_file = data_directory + QStringLiteral("/calibration_history.jsonl");
        THistoryContent history;
        QString error;
        TThermometerList list;
        if (!Read_History_File(history_file, &history, &error) ||
            !list.Load_Calibration_File(calibration_file))
        {
            Fail(error + list.Get_Last_Error());
        }
        const QHash<QString, TCalibrationRecord> records = Calibration_Records(history, list);
        const QStringList descriptions = list.Get_Descriptions();
        const QDateTime time = TClock::Now().addSecs(3600);
        QString text = Temperature_Log_Header(TLogLayout::Audit);
        for (int line = 0; line < Trace_Lines(count); ++line)
        {
            const QString& description = descriptions[line % descriptions.size()];
            const TCalibrationRecord record = records.value(TThermometerList::Lookup_Key(description));
            TEntryCalibration calibration;
            calibration.thermometer_selected = true;
            calibration.today = time.date();
            calibration.due_date = list.Get_Calibration_Due_Date(description);
            calibration.in_calibration = calibration.today < calibration.due_date;
            calibration.correction = list.Get_Correction(description);
            calibration.has_record = record.number > 0;
            TLogEntry entry;
            entry.description = QStringLiteral("Position %1").arg(line % 7);
            entry.thermometer = description;
            entry.time = time;
            entry.meter_texts = QStringList{QString::number(15 + (line % 1000) / 100.0, 'f', 2), QString(),
                                            QString(), QString()};
            entry.axis_texts =
                QStringList{Corrected_Reading_Text(entry.meter_texts[0], calibration.in_calibration,
                                                   calibration.correction),
                            QString(), QString(), QString()};
            entry.calibration_record = Calibration_Record_Text(record.number, record.Hash());
            entry.flags = Audit_Flags(entry.axis_texts, entry.meter_texts, calibration);
            text += Temperature_Log_Entry_Text(entry, TLogLayout::Audit);
        }
        const QString log_file = data_directory + QStringLiteral("/bench_trace.csv");
        QFile file(log_file);
        if (!file.open(QIODevice::WriteOnly) || file.write("\xEF\xBB\xBF" + text.toUtf8()) < 0 ||
            !file.flush())
        {
            Fail(file.errorString());
        }
        file.close();
        TTraceResult trace;
        // As velmora-cli trace does it: both files read whole, then every line traced.
        Measure("trace", count, [&]() {
            THistoryContent read_history;
            QString read_error;
            Read_History_File(history_file, &read_history, &read_error);
            trace = Trace_Temperature_Log(Read_Temperature_Log(Read(log_file)), read_history);
        });
        if (trace.traced != Trace_Lines(count) || !trace.mismatches.isEmpty())
        {
            Fail(QStringLiteral("trace found %1 of %2 entries not matching, the first: %3")
                     .arg(trace.mismatches.size())
                     .arg(trace.traced)
                     .arg(trace.mismatches.isEmpty() ? QString() : trace.mismatches[0].problems.join("; ")));
        }
    }

    static QByteArray Read(const QString& file_name)
    {
        QFile file(file_name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void Measure(const char* name, int count, const std::function<void()>& work)
    {
        const bool selected = reporting && (only_measures.isEmpty() || only_measures.contains(name));
        if (selected)
        {
            CALLGRIND_START_INSTRUMENTATION;
            CALLGRIND_ZERO_STATS;
        }
        QElapsedTimer timer;
        timer.start();
        work();
        const qint64 nanoseconds = timer.nsecsElapsed();
        if (!selected)
        {
            return;
        }
        const QByteArray part = QByteArray(name) + ' ' + QByteArray::number(count);
        CALLGRIND_DUMP_STATS_AT(part.constData());
        CALLGRIND_STOP_INSTRUMENTATION;
        std::printf("%-12s %7d %12.3f ms\n", name, count, nanoseconds / 1e6);
        std::fflush(stdout);
    }

    QStringList only_measures;
    QString data_directory;
    QString calibration_file;
    QString scratch_file;
    QMainWindow* bare_window = nullptr;
    bool reporting = false;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));

    const QStringList arguments = application.arguments().mid(1);
    // The children of a memory measure.
    if (arguments.size() == 2 && arguments.at(0) == QLatin1String("--memory-baseline"))
    {
        Build_Memory_Baseline(arguments.at(1).toInt());
        return 0;
    }
    if (arguments.size() == 2 && arguments.at(0) == QLatin1String("--memory-window"))
    {
        Measure_Window_Memory(arguments.at(1).toInt());
        return 0;
    }

    QStringList only;
    QVector<int> counts;
    bool memory = false;
    for (int index = 0; index < arguments.size(); ++index)
    {
        bool ok = false;
        const int count = arguments.at(index).toInt(&ok);
        if (arguments.at(index) == QLatin1String("--only") && index + 1 < arguments.size())
        {
            only = arguments.at(++index).split(QLatin1Char(','));
        }
        else if (arguments.at(index) == QLatin1String("--memory"))
        {
            memory = true;
        }
        else if (ok && count > 0)
        {
            counts.append(count);
        }
        else
        {
            std::fprintf(stderr, "usage: velmora_bench [--only measure,...] [N ...]\n"
                                 "       velmora_bench --memory [N ...]\n");
            return 2;
        }
    }
    if (counts.isEmpty())
    {
        counts = memory ? QVector<int>{10000, 100000} : QVector<int>{10, 100, 1000, 10000};
    }

    TBench bench(only);
    if (memory)
    {
        // The window's edits are measured with its baseline beside them: growth is the resident set
        // added from the second to the tenth edit, the last column the peak above the baseline per byte
        // of the file.
        std::printf("Peak RSS (MB)\n%7s %9s %9s %9s %9s %12s %12s %8s\n", "N", "file", "baseline", "start",
                    "10 edits", "growth 2-10", "per edit", "/file");
        for (const int count : counts)
        {
            bench.Measure_Memory(count);
        }
        return 0;
    }
    // Once unmeasured, so that what Qt sets up on first use (fonts, styles, the dialog's platform
    // window) falls on no measure.
    bench.Run(10, false);
    std::printf("%-12s %7s %15s\n", "measure", "N", "wall time");
    for (const int count : counts)
    {
        bench.Run(count, true);
    }
    return 0;
}
