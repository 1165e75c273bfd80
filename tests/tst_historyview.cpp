#include "calibrationhistoryview.h"
#include "platform.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace Test_Support;

namespace
{
THistoryState State(const QString& description, const QString& due_date, const QString& point1)
{
    THistoryState state;
    state.description = description;
    state.due_date = due_date;
    state.points[0] = point1;
    state.points[1] = "20.00000,0.10000";
    state.points[2] = "25.00000,0.10000";
    state.checksum = "1a2b";
    return state;
}

QByteArray Hash(int number)
{
    return QCryptographicHash::hash(QByteArray::number(number), QCryptographicHash::Sha256).toHex();
}

THistoryRecord Record(int number, THistoryRecord::TAction action, const QString& description)
{
    THistoryRecord record;
    record.number = number;
    record.time = QString("2026-12-0%1T09:1%1:00+01:00").arg(number);
    record.user = number % 2 == 0 ? "mkrause" : "technician";
    record.host = "bench-" + QString::number(number);
    record.action = action;
    record.description = description;
    record.has_before = action != THistoryRecord::Added && action != THistoryRecord::First_Seen;
    record.has_after = action != THistoryRecord::Removed;
    record.before = State(description, "2026-12-17", "15.00000,0.20000");
    record.after = State(description, "2062-12-17", "15.00000,0.02000");
    record.previous_hash = number == 1 ? QByteArray(64, '0') : Hash(number - 1);
    record.hash = Hash(number);
    return record;
}

// Three thermometers, one stored once in other letters, and one whose description starts like another's.
THistoryContent Content()
{
    THistoryContent content;
    content.records = {Record(1, THistoryRecord::First_Seen, "Probe 7"),
                       Record(2, THistoryRecord::Added, "Probe 12"),
                       Record(3, THistoryRecord::Changed, "PROBE 7"),
                       Record(4, THistoryRecord::Added, "Probe 70"),
                       Record(5, THistoryRecord::Changed_Outside, "Probe 7"),
                       Record(6, THistoryRecord::Removed, "Probe 12")};
    content.head_hash = Hash(6);
    content.line_count = 6;
    return content;
}

QVector<THistoryRecord> Records(const THistoryContent& content, const QList<int>& numbers)
{
    QVector<THistoryRecord> records;
    for (const int number : numbers)
    {
        records << content.records[number - 1];
    }
    return records;
}

QList<int> Row_Numbers(TCalibrationHistoryView* view)
{
    QTreeWidget* table = Child<QTreeWidget>(view, "Record_Table");
    QList<int> numbers;
    for (int row = 0; row < table->topLevelItemCount(); ++row)
    {
        numbers << table->topLevelItem(row)->text(0).toInt();
    }
    return numbers;
}

QString Label_Text(TCalibrationHistoryView* view, const char* name)
{
    return Child<QLabel>(view, name)->text();
}

void Set_Filter(TCalibrationHistoryView* view, int index)
{
    Child<QComboBox>(view, "Filter_Selector")->setCurrentIndex(index);
}

const QString History_File = "/data/calibration_history.jsonl";

// The history as the program left it on disk.
THistoryContent Saved_History()
{
    THistoryContent content;
    QString error;
    return Read_History_File(History_File_Name(Calibration_File()), &content, &error) ? content
                                                                                      : THistoryContent();
}

// Each shown row's number, thermometer and action.
QStringList Rows(TCalibrationHistoryView* view)
{
    QTreeWidget* table = Child<QTreeWidget>(view, "Record_Table");
    QStringList rows;
    for (int row = 0; row < table->topLevelItemCount(); ++row)
    {
        const QTreeWidgetItem* item = table->topLevelItem(row);
        rows << item->text(0) + " " + item->text(6) + " " + item->text(5);
    }
    return rows;
}

QStringList Rows(const QVector<THistoryRecord>& records, const QString& description = QString())
{
    QStringList rows;
    for (auto record = records.crbegin(); record != records.crend(); ++record)
    {
        if (description.isEmpty() || record->description == description)
        {
            rows << QString::number(record->number) + " " + record->description + " " +
                        History_Action_Text(record->action);
        }
    }
    return rows;
}

// Changes the reading at test point 2 of the selected thermometer in the Correction Editor.
void Edit_Reading(TVelmora* window, const QString& reading)
{
    Answer_Next_Modal("TCorrectionDialog", [reading](QWidget* dialog) {
        Type(dialog, "Thermometer_Reading2_Edit", reading);
        Child<QPushButton>(dialog, "Accept_Button")->click();
    });
    QMetaObject::invokeMethod(window, "Edit_Thermometer");
}
} // namespace

class THistoryViewTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Remove_Data_Directories(); }

    void Rows_Newest_First_And_Filtered_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("shown");
        QTest::newRow("selected") << 0 << "Probe 7" << QList<int>{5, 3, 1}
                                  << "3 records of 6: thermometer 'Probe 7'.";
        QTest::newRow("selected in other letters")
            << 0 << "probe 7" << QList<int>{5, 3, 1} << "3 records of 6: thermometer 'probe 7'.";
        QTest::newRow("one record") << 0 << "Probe 70" << QList<int>{4}
                                    << "1 record of 6: thermometer 'Probe 70'.";
        QTest::newRow("no record of it")
            << 0 << "Probe 9" << QList<int>{} << "No record of thermometer 'Probe 9' among 6 records.";
        QTest::newRow("none selected")
            << 0 << "" << QList<int>{}
            << "No thermometer is selected; choose All thermometers to see every record.";
        QTest::newRow("all") << 1 << "Probe 7" << QList<int>{6, 5, 4, 3, 2, 1}
                             << "6 records of all thermometers.";
        QTest::newRow("all, none selected")
            << 1 << "" << QList<int>{6, 5, 4, 3, 2, 1} << "6 records of all thermometers.";
    }

    void Rows_Newest_First_And_Filtered()
    {
        QFETCH(int, filter);
        QFETCH(QString, selection);
        QFETCH(QList<int>, rows);
        QFETCH(QString, shown);
        TCalibrationHistoryView view;
        QCOMPARE(Child<QComboBox>(&view, "Filter_Selector")->currentIndex(), 0);
        // Either order of the main window's calls shows the same.
        view.Set_Selection("Probe 12");
        view.Set_History(Content(), History_File, {});
        Set_Filter(&view, filter);
        view.Set_Selection(selection);
        QCOMPARE(Row_Numbers(&view), rows);
        QCOMPARE(Label_Text(&view, "Shown_Label"), shown);
    }

    // A record is a thermometer's by what it changed, not by the name it carries: one whose "thermometer"
    // differs from its states, a mark of its change and a review of it are all shown with that thermometer.
    void Filter_Goes_By_States()
    {
        THistoryContent content = Content();
        THistoryRecord named_otherwise = Record(7, THistoryRecord::Changed, "Probe 7");
        named_otherwise.description = "Probe 12";
        THistoryRecord mark = Record(8, THistoryRecord::Saved, "Probe 12");
        mark.has_before = mark.has_after = false;
        mark.marks = 7;
        THistoryRecord review = Record(9, THistoryRecord::Reviewed, QString());
        review.has_before = review.has_after = false;
        review.reviews = 5;
        review.finding = "changed outside Velmora";
        review.comment = "asked the lab";
        content.records << named_otherwise << mark << review;
        content.line_count = 9;
        TCalibrationHistoryView view;
        view.Set_History(content, History_File, {});
        view.Set_Selection("probe 7");
        QCOMPARE(Row_Numbers(&view), QList<int>({9, 8, 7, 5, 3, 1}));
        view.Set_Selection("Probe 12");
        QCOMPARE(Row_Numbers(&view), QList<int>({6, 2}));
    }

    void Row_Shows_Every_Column()
    {
        TCalibrationHistoryView view;
        view.Set_History(Content(), History_File, {});
        Set_Filter(&view, 1);
        QTreeWidget* table = Child<QTreeWidget>(&view, "Record_Table");
        QStringList headers;
        for (int column = 0; column < table->columnCount(); ++column)
        {
            headers << table->headerItem()->text(column);
        }
        QCOMPARE(headers, QStringList({"Record", "Time", "User", "Host", "Found By", "Action", "Thermometer",
                                       "Change"}));
        QVERIFY(!table->isSortingEnabled());
        for (int row = 0; row < table->topLevelItemCount(); ++row)
        {
            const THistoryRecord record = Content().records[5 - row];
            QTreeWidgetItem* item = table->topLevelItem(row);
            QStringList texts;
            for (int column = 0; column < table->columnCount(); ++column)
            {
                texts << item->text(column);
            }
            // A first sighting and an outside change name who found them, never as their author.
            const bool found = record.number == 1 || record.number == 5;
            QCOMPARE(texts, QStringList({QString::number(record.number), record.time,
                                         found ? "" : record.user, found ? "" : record.host,
                                         found ? record.user + " on " + record.host : QString(),
                                         History_Action_Text(record.action), record.description,
                                         History_Change_Text(record)}));
            QVERIFY(item->flags().testFlag(Qt::ItemIsEnabled) && !item->flags().testFlag(Qt::ItemIsEditable));
        }
    }

    void Chain_Line_data()
    {
        QTest::addColumn<int>("first_break");
        QTest::addColumn<bool>("incomplete_last_line");
        QTest::addColumn<int>("records"); // how many of Content()'s records were read
        QTest::addColumn<bool>("warns");
        QTest::newRow("intact") << 0 << false << 6 << false;
        QTest::newRow("empty") << 0 << false << 0 << false;
        QTest::newRow("broken") << 4 << false << 6 << true;
        QTest::newRow("broken at the first line") << 1 << false << 0 << true;
        QTest::newRow("last line cut off") << 0 << true << 6 << true;
        QTest::newRow("broken and cut off") << 3 << true << 6 << true;
    }

    void Chain_Line()
    {
        QFETCH(int, first_break);
        QFETCH(bool, incomplete_last_line);
        QFETCH(int, records);
        QFETCH(bool, warns);
        THistoryContent content = Content();
        content.records.resize(records);
        content.head_hash = records == 0 ? QByteArray(64, '0') : Hash(records);
        content.first_break = first_break;
        content.break_reason =
            first_break == 0 ? QString() : QString("its previous-record hash does not match");
        content.incomplete_last_line = incomplete_last_line;
        TCalibrationHistoryView view;
        view.Set_History(content, History_File, {});
        QLabel* chain = Child<QLabel>(&view, "Chain_Label");
        if (warns)
        {
            QStringList expected = Log_Lines(History_Chain_Warnings(History_File, content));
            QVERIFY(!expected.isEmpty());
            for (QString& line : expected)
            {
                line.remove(QRegularExpression("^WAR  "));
            }
            QCOMPARE(chain->text(), expected.join('\n'));
            QVERIFY(chain->font().bold());
            QVERIFY(chain->palette().color(QPalette::WindowText) !=
                    view.palette().color(QPalette::WindowText));
        }
        else
        {
            QCOMPARE(chain->text(), records == 0
                                        ? QString("The calibration history has no records yet.")
                                        : "Chain intact: 6 records; last record's SHA-256: " + Hash(6));
            QVERIFY(!chain->font().bold());
        }

        // A history read again as whole no longer warns.
        view.Set_History(Content(), History_File, {});
        QCOMPARE(chain->text(), "Chain intact: 6 records; last record's SHA-256: " + Hash(6));
        QVERIFY(!chain->font().bold());
    }

    void Read_Error_Shows_Nothing_But_Why()
    {
        TCalibrationHistoryView view;
        view.Set_History(Content(), History_File, {});
        Set_Filter(&view, 1);
        const QString error = "Cannot read '" + History_File + "': Permission denied";
        view.Set_Read_Error(error);
        QCOMPARE(Row_Numbers(&view), QList<int>());
        QCOMPARE(Label_Text(&view, "Chain_Label"), error);
        QVERIFY(Child<QLabel>(&view, "Chain_Label")->font().bold());
        QVERIFY(!Child<QPushButton>(&view, "Export_Csv_Button")->isEnabled());
        view.Set_History(Content(), History_File, {});
        QCOMPARE(Row_Numbers(&view).size(), 6);
        QVERIFY(Child<QPushButton>(&view, "Export_Csv_Button")->isEnabled());
    }

    void Failed_Export_Leaves_The_File_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("disk full") << "disk full";
        QTest::newRow("directory not writable") << "read-only";
        QTest::newRow("parent is a file") << "parent file";
    }

    void Failed_Export_Leaves_The_File()
    {
        QFETCH(QString, failure);
        if (failure == "read-only" && geteuid() == 0)
        {
            QSKIP("root writes into read-only directories; run the suite as an unprivileged user");
        }
        QTemporaryDir target;
        QString file_name = target.path() + "/history.csv";
        const QByteArray previous = "previous export\n";
        QVERIFY(Write_File(file_name, previous));
        if (failure == "parent file")
        {
            file_name += "/history.csv";
        }
        TCalibrationHistoryView view;
        view.Set_History(Content(), History_File, {});
        Set_Filter(&view, 1);
        // The spy keeps the messages only of a type registered at run time.
        qRegisterMetaType<TMessage>();
        QSignalSpy messages(&view, &TCalibrationHistoryView::Message);
        bool exported = true;
        const auto export_csv = [&]() { exported = view.Export_Csv(file_name); };
        if (failure == "disk full")
        {
            With_File_Size_Limit(40, export_csv);
        }
        else if (failure == "read-only")
        {
            QVERIFY(QFile::setPermissions(target.path(), QFile::ReadOwner | QFile::ExeOwner));
            export_csv();
            QFile::setPermissions(target.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        else
        {
            export_csv();
        }

        QVERIFY(!exported);
        QCOMPARE(Read_File(target.path() + "/history.csv"), previous);
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"history.csv"}));
        QCOMPARE(messages.count(), 1);
        const QString logged = messages[0][0].value<TMessage>().Log_Line();
        const QString prefix = "ERR  Cannot write calibration history export '" +
                               QDir::toNativeSeparators(file_name) + "'.  Reason: ";
        QVERIFY2(logged.startsWith(prefix) && logged.size() > prefix.size(), qPrintable(logged));
        if (failure == "disk full")
        {
            // The system's reason, not Qt's "Unknown error" for a short write.
            QCOMPARE(logged, prefix + QString::fromLocal8Bit(std::strerror(EFBIG)));
        }
    }

    // Export writes the rows shown, over a longer previous export, into the file picked in a dialog that
    // proposes a name after what is shown.
    void Export_Csv_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QList<int>>("exported");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("selected thermometer")
            << 0 << "probe 7" << QList<int>{5, 3, 1} << "probe 7 history.csv";
        QTest::newRow("a slash in the name") << 0 << "Probe 7/8" << QList<int>{} << "Probe 7_8 history.csv";
        QTest::newRow("all thermometers")
            << 1 << "Probe 7" << QList<int>{6, 5, 4, 3, 2, 1} << "calibration_history.csv";
        QTest::newRow("none selected") << 0 << "" << QList<int>{} << "calibration_history.csv";
    }

    void Export_Csv()
    {
        QFETCH(int, filter);
        QFETCH(QString, selection);
        QFETCH(QList<int>, exported);
        QFETCH(QString, proposed);
        QTemporaryDir target;
        TCalibrationHistoryView view;
        view.Set_History(Content(), History_File, {});
        view.Set_Export_Directory(target.path());
        Set_Filter(&view, filter);
        view.Set_Selection(selection);
        view.show();
        // The spy keeps the messages only of a type registered at run time.
        qRegisterMetaType<TMessage>();
        QSignalSpy messages(&view, &TCalibrationHistoryView::Message);
        const QString file_name = target.path() + "/from the dialog.csv";
        QVERIFY(Write_File(file_name, "previous export, longer than the new one would be if cut"));
        QString offered;
        Answer_Save_Dialog(file_name, &offered);
        Answer_Next_Modal("QMessageBox", [](QWidget* modal) { // replace it?
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        Child<QPushButton>(&view, "Export_Csv_Button")->click();
        QCOMPARE(offered, target.path() + "/" + proposed + "|CSV data (*.csv)");
        QCOMPARE(Read_File(file_name), History_Csv(Records(Content(), exported)).toUtf8());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages[0][0].value<TMessage>().Log_Line(),
                 "INF  Calibration history exported to '" + QDir::toNativeSeparators(file_name) + "'.");
    }

    // Tab walks every control and back to the start; Alt with a label's letter goes to its control.
    void Keyboard()
    {
        TCalibrationHistoryView view;
        view.Set_History(Content(), History_File, {});
        view.show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QComboBox* filter = Child<QComboBox>(&view, "Filter_Selector");
        filter->setFocus();
        QStringList walked;
        for (int step = 0; step < 6; ++step)
        {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        // Review... is unavailable while no finding is selected, and Tab passes it by.
        QCOMPARE(walked, QStringList({"Record_Table", "Chain_Label", "Reviewed_Check_Box", "Finding_Table",
                                      "Export_Csv_Button", "Filter_Selector"}));

        Child<QWidget>(&view, "Record_Table")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), filter);
        QTest::keyClick(filter, Qt::Key_Down);
        QCOMPARE(Row_Numbers(&view).size(), 6);

        QString offered;
        Answer_Next_Modal("QFileDialog", [&offered](QWidget* dialog) {
            offered = qobject_cast<QFileDialog*>(dialog)->windowTitle();
            qobject_cast<QFileDialog*>(dialog)->reject();
        });
        // A mnemonic presses the button as a click would be seen, a moment later.
        QTest::keyClick(filter, Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(offered, QString("Export Calibration History"));
    }

    // Opened from the Edit menu, the view shows the record of a change at once, made here or in another
    // window, and follows the selection.
    void Window_Shows_The_History()
    {
        QVERIFY(Write_Calibration_File({{"A", 0.1}, {"B", 0.2}}));
        TVelmora window;
        TVelmora other;
        window.show();
        QMenu* edit_menu = window.menuBar()->actions().value(1)->menu();
        QAction* action = edit_menu->actions().value(2);
        QCOMPARE(action->text(), QString("Calibration &History..."));
        action->trigger();
        TCalibrationHistoryView* view = Child<TCalibrationHistoryView>(&window, "Calibration_History_View");
        QVERIFY(view->isVisible() && view->isWindow());
        QCOMPARE(view->windowTitle(), QString("Calibration History"));
        QCOMPARE(Rows(view), Rows(Saved_History().records, "A"));

        Edit_Reading(&window, "20.5");
        const QVector<THistoryRecord> records = Saved_History().records;
        QVERIFY(records.size() >= 2);
        // The change's record, then the mark that the file holds it.
        QCOMPARE(records[records.size() - 2].action, THistoryRecord::Changed);
        QCOMPARE(records.last().action, THistoryRecord::Saved);
        QCOMPARE(Rows(view).value(0), Rows(records).value(0));
        QCOMPARE(Rows(view), Rows(records, "A"));
        QCOMPARE(Child<QTreeWidget>(view, "Record_Table")->topLevelItem(0)->text(7),
                 History_Change_Text(records.last()));
        QCOMPARE(Label_Text(view, "Chain_Label"),
                 QString("Chain intact: %1 records; last record's SHA-256: %2")
                     .arg(records.size())
                     .arg(QString::fromLatin1(records.last().hash)));

        Select(&window, 1);
        QCOMPARE(Rows(view), Rows(records, "B"));

        // Saved by another window: this one reloads the file and shows the history with it.
        Select(&other, 1);
        Edit_Reading(&other, "20.7");
        QTRY_COMPARE(Rows(view), Rows(Saved_History().records, "B"));
        QCOMPARE(Saved_History().records.last().description, QString("B"));

        // Closed and opened again, it reads the history anew.
        view->close();
        Edit_Reading(&window, "20.9");
        action->trigger();
        QVERIFY(view->isVisible());
        QCOMPARE(Rows(view), Rows(Saved_History().records, "B"));
    }

    // A record rewritten after the fact breaks the chain at the record after it, and the view says so but
    // shows it: it is what the file says now. A history that cannot be read is said so in the log, with
    // the path, and in the view, which shows nothing.
    void Window_Shows_A_Damaged_History_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::newRow("rewritten") << true;
        QTest::newRow("unreadable") << false;
    }

    void Window_Shows_A_Damaged_History()
    {
        QFETCH(bool, readable);
        QVERIFY(Write_Calibration_File({{"A", 0.1}, {"B", 0.2}}));
        TVelmora window;
        window.show();
        const QString history = History_File_Name(Calibration_File());
        QByteArray bytes = Read_File(history);
        const int user = bytes.indexOf("\"user\":\"");
        QVERIFY(user > 0 && user < bytes.indexOf('\n'));
        QVERIFY(readable ? Write_File(history, bytes.insert(user + 8, "x"))
                         : QFile::remove(history) && QDir().mkpath(history));
        QMetaObject::invokeMethod(&window, "Show_Calibration_History");
        TCalibrationHistoryView* view = Child<TCalibrationHistoryView>(&window, "Calibration_History_View");
        const QString chain = Label_Text(view, "Chain_Label");
        QVERIFY(Child<QLabel>(view, "Chain_Label")->font().bold());
        const QStringList errors = Log_Lines(&window).filter("WAR  Cannot read calibration history '" +
                                                             QDir::toNativeSeparators(history) + "'");
        QCOMPARE(errors.size(), readable ? 0 : 1);
        QVERIFY2(readable
                     ? chain.contains("record 2 does not fit the chain") && !chain.startsWith("Chain intact")
                     : chain.contains(QDir::toNativeSeparators(history)),
                 qPrintable(chain));
        QCOMPARE(Rows(view), readable ? Rows(Saved_History().records, "A") : QStringList());
        QCOMPARE(Child<QPushButton>(view, "Export_Csv_Button")->isEnabled(), readable);
        QDir(history).removeRecursively();
    }

    // Found at one start, named at every start until a person reviews it; the review is the reviewer's
    // record, and then the starts are silent. Who found the edit is never shown as its author.
    void Finding_Is_Named_Until_Reviewed()
    {
        TClock::Set_Fixed_Now(Test_Now());
        QVERIFY(Write_Calibration_File({{"A", 0.1, QDate(2027, 6, 1)}, {"B", 0.2, QDate(2027, 6, 1)}}));
        {
            TVelmora first; // begins the history
        }
        QByteArray file = Read_File(Calibration_File());
        QVERIFY(file.contains("20.00000,0.10000"));
        QVERIFY(Write_File(Calibration_File(), file.replace("20.00000,0.10000", "20.00000,0.01000")));
        const QString writer = Account_Name() + " on " + QSysInfo::machineHostName();
        const QString change = "thermometer 'A' was changed outside Velmora: point 2 20.00000,0.10000 -> "
                               "20.00000,0.01000";
        const QString open = "WAR  Open finding, record 3: " + change + " (found by " + writer +
                             " at 2026-12-07T10:30:00+01:00). Review it in the Calibration History window.";
        {
            TVelmora second; // finds the edit and records it
            QVERIFY(
                Log_Lines(&second).contains("WAR  Thermometer 'A' was changed outside Velmora: point 2 "
                                            "20.00000,0.10000 -> 20.00000,0.01000. The change is recorded "
                                            "in the calibration history."));
            QVERIFY(!Log_Lines(&second).contains(open));
        }
        TVelmora window;
        QCOMPARE(Log_Lines(&window).filter("WAR"), QStringList(open));
        window.show();

        QMenu* edit_menu = window.menuBar()->actions().value(1)->menu();
        QAction* review_action = edit_menu->actions().value(3);
        QCOMPARE(review_action->text(), QString("Review &Finding..."));
        QCOMPARE(edit_menu->actions().value(2)->text(), QString("Calibration &History..."));
        QString accept; // Accept's state at first, with a blank comment, with one typed
        QString shown;
        QString reviewer;
        TClock::Set_Fixed_Now(Test_Now().addSecs(600));
        Answer_Next_Modal("TReviewDialog", [&](QWidget* dialog) {
            const auto note = [&]() {
                accept += Child<QPushButton>(dialog, "Accept_Button")->isEnabled() ? "1" : "0";
            };
            note();
            shown = Child<QLabel>(dialog, "Finding_Label")->text();
            reviewer = Child<QLabel>(dialog, "Reviewer_Label")->text();
            QLineEdit* comment = Child<QLineEdit>(dialog, "Comment_Edit");
            QTest::keyClicks(comment, "   ");
            note();
            QTest::keyClicks(comment, "asked the lab: the certificate says 0.01");
            note();
            QTest::keyClick(comment, Qt::Key_Return);
        });
        review_action->trigger();
        QCOMPARE(accept, QString("001"));
        QCOMPARE(shown, "record 3: " + change + " (found by " + writer + " at 2026-12-07T10:30:00+01:00)");
        QVERIFY2(reviewer.startsWith("Reviewed by " + writer), qPrintable(reviewer));

        // The reviewer's record, on disk before the window shows it.
        const THistoryRecord review = Saved_History().records.last();
        QCOMPARE(review.number, 4);
        QCOMPARE(review.action, THistoryRecord::Reviewed);
        QCOMPARE(review.user + " on " + review.host, writer);
        QCOMPARE(review.time, QString("2026-12-07T10:40:00+01:00"));
        QCOMPARE(review.reviews, 3);
        QCOMPARE(review.finding, QString("changed outside Velmora"));
        QCOMPARE(review.comment, QString("asked the lab: the certificate says 0.01"));
        QVERIFY(Log_Lines(&window).last().startsWith(
            "INF  Finding reviewed as record 4 of the calibration history: "));
        TCalibrationHistoryView* view = Child<TCalibrationHistoryView>(&window, "Calibration_History_View");
        QTreeWidget* findings = Child<QTreeWidget>(view, "Finding_Table");
        QCOMPARE(findings->topLevelItemCount(), 0);
        Child<QCheckBox>(view, "Reviewed_Check_Box")->setChecked(true);
        QCOMPARE(findings->topLevelItemCount(), 1);
        QCOMPARE(findings->topLevelItem(0)->text(3), QString("reviewed"));
        QVERIFY(!Child<QPushButton>(view, "Review_Button")->isEnabled());

        // The edit's row names who found it, apart from the columns of who made a change.
        Set_Filter(view, 1);
        QTreeWidget* records = Child<QTreeWidget>(view, "Record_Table");
        const QTreeWidgetItem* found = records->topLevelItem(1);
        QCOMPARE(found->text(0), QString("3"));
        QCOMPARE(QStringList({found->text(2), found->text(3), found->text(4), found->text(5)}),
                 QStringList({"", "", writer, "changed outside Velmora"}));
        QCOMPARE(records->topLevelItem(0)->text(2), Account_Name());

        TVelmora next;
        QCOMPARE(Log_Lines(&next).filter("WAR"), QStringList());
        TClock::Set_Fixed_Now(QDateTime());
    }

    // A doubtful calibration reviewed from the findings' Review... button stays Doubtful, says who reviewed
    // it, and no longer alarms at a start; Cancel writes nothing.
    void Reviewed_Doubt_Stays_Doubtful()
    {
        TClock::Set_Fixed_Now(Test_Now());
        QVERIFY(Write_Calibration_File({{"Odd", 1.5, QDate(2027, 6, 1)}, {"Good", 0.1, QDate(2027, 6, 1)}}));
        const QString doubtful =
            "WAR  Thermometer 'Odd' is doubtful: the test point at 15.00 \u00b0C deviates by "
            "1.50 \u00b0C, more than 1 \u00b0C; the test point at 20.00 \u00b0C deviates by "
            "1.50 \u00b0C, more than 1 \u00b0C; the test point at 25.00 \u00b0C deviates by "
            "1.50 \u00b0C, more than 1 \u00b0C. Check its test points.";
        TVelmora window;
        QVERIFY(Log_Lines(&window).contains(doubtful));
        window.show();
        QVERIFY(QMetaObject::invokeMethod(&window, "Show_Calibration_History"));
        TCalibrationHistoryView* view = Child<TCalibrationHistoryView>(&window, "Calibration_History_View");
        QTreeWidget* findings = Child<QTreeWidget>(view, "Finding_Table");
        QCOMPARE(findings->topLevelItemCount(), 1);
        QCOMPARE(findings->topLevelItem(0)->text(1), QString("doubtful calibration"));
        QPushButton* review_button = Child<QPushButton>(view, "Review_Button");
        QVERIFY(!review_button->isEnabled());
        findings->setCurrentItem(findings->topLevelItem(0));
        QVERIFY(review_button->isEnabled());

        const QByteArray history = Read_File(History_File_Name(Calibration_File()));
        Answer_Next_Modal("TReviewDialog", [](QWidget* dialog) {
            QTest::keyClicks(Child<QLineEdit>(dialog, "Comment_Edit"), "never mind");
            Child<QPushButton>(dialog, "Cancel_Button")->click();
        });
        review_button->click();
        QCOMPARE(Read_File(History_File_Name(Calibration_File())), history);

        Answer_Next_Modal("TReviewDialog", [](QWidget* dialog) {
            QTest::keyClicks(Child<QLineEdit>(dialog, "Comment_Edit"), "probe replaced, 1.5 K is real");
            Child<QPushButton>(dialog, "Accept_Button")->click();
        });
        review_button->click();
        QCOMPARE(Saved_History().records.last().comment, QString("probe replaced, 1.5 K is real"));
        QComboBox* selector = Child<QComboBox>(&window, "Thermometer_Selector");
        const QString tooltip = selector->itemData(0, Qt::ToolTipRole).toString();
        QVERIFY2(
            tooltip.startsWith("Doubtful: ") &&
                tooltip.contains("\nReviewed by " + Account_Name() + " on " + QSysInfo::machineHostName() +
                                 " at 2026-12-07T10:30:00+01:00 (record 3): probe replaced, 1.5 K is real\n"),
            qPrintable(tooltip));
        // Picked, it no longer warns either.
        const int lines = Log_Lines(&window).size();
        Select(&window, 0);
        QCOMPARE(Log_Lines(&window).size(), lines);

        TVelmora next;
        QVERIFY(!Log_Lines(&next).contains(doubtful));
        QCOMPARE(Log_Lines(&next).filter("WAR"), QStringList());
        QVERIFY(Child<QComboBox>(&next, "Thermometer_Selector")
                    ->itemData(0, Qt::ToolTipRole)
                    .toString()
                    .contains("\nReviewed by "));
        TClock::Set_Fixed_Now(QDateTime());
    }

    void Escape_Closes_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("filter") << "Filter_Selector";
        QTest::newRow("table") << "Record_Table";
        QTest::newRow("chain line") << "Chain_Label";
        QTest::newRow("findings") << "Finding_Table";
        QTest::newRow("export") << "Export_Csv_Button";
    }

    void Escape_Closes()
    {
        QFETCH(QString, focus);
        TCalibrationHistoryView view;
        view.Set_History(Content(), History_File, {});
        view.show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QWidget* focused = Child<QWidget>(&view, qPrintable(focus));
        focused->setFocus();
        QCOMPARE(QApplication::focusWidget(), focused);
        QTest::keyClick(focused, Qt::Key_Escape);
        QVERIFY(!view.isVisible());
    }
};

QTEST_MAIN(THistoryViewTest)
#include "tst_historyview.moc"
