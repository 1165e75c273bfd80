#include "correctionview.h"
#include "duedateedit.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTextDocument>
#include <QtTest>

using namespace Test_Support;

// Adding, changing and removing thermometers from the main window.
class TManagementTest : public QObject
{
    Q_OBJECT

    // The due date the Correction Editor shows, as an ISO date; empty while it shows none.
    static QString Due_Date_Shown(QWidget* dialog)
    {
        return static_cast<TDueDateEdit*>(Child<QDateEdit>(dialog, "Calibration_Due_Date_Edit"))
            ->Due_Date()
            .toString(Qt::ISODate);
    }

    // Types a due date into the Correction Editor as the operator does, in full as it is shown.
    static void Type_Due_Date(QWidget* dialog, const QDate& date)
    {
        QDateEdit* date_edit = Child<QDateEdit>(dialog, "Calibration_Due_Date_Edit");
        date_edit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(date_edit, QLocale::c().toString(date, "MMM dd yyyy"));
    }

    // Runs call; answers a modal widget of class_name that opens meanwhile with answer. Returns whether
    // one opened.
    static bool Answer_Modal_During(const char* class_name, const std::function<void(QWidget*)>& answer,
                                    const std::function<void()>& call)
    {
        bool opened = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&]() {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal->inherits(class_name))
            {
                timer.stop();
                opened = true;
                answer(modal);
            }
        });
        timer.start(0);
        call();
        return opened;
    }

    // Adds a thermometer through Edit > New Thermometer..., typing every field: a reading offset of
    // 0.12 but at test point 2, where it reads reading2. Returns the description, the first reference,
    // the last reading and the due date that the editor showed on opening.
    static QStringList Add(QWidget* window, const QString& description, const QDate& due,
                           const QString& reading2)
    {
        QStringList shown;
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            shown << Text(dialog, "Description_Edit") << Text(dialog, "Reference_Temperature1_Edit")
                  << Text(dialog, "Thermometer_Reading3_Edit") << Due_Date_Shown(dialog);
            Type(dialog, "Description_Edit", description);
            Type_Due_Date(dialog, due);
            const QStringList texts = {"15", "15.12", "20", reading2, "25", "25.12"};
            const char* const fields[] = {"Reference_Temperature1_Edit", "Thermometer_Reading1_Edit",
                                          "Reference_Temperature2_Edit", "Thermometer_Reading2_Edit",
                                          "Reference_Temperature3_Edit", "Thermometer_Reading3_Edit"};
            for (int field = 0; field < 6; ++field)
            {
                Type(dialog, fields[field], texts[field]);
            }
            Child<QPushButton>(dialog, "Accept_Button")->click();
        });
        Child<QAction>(window, "New_Thermometer_Action")->trigger();
        return shown;
    }

    // Opens the Correction Editor, types the description (unless null) and the reading at test
    // point 2, then presses Accept or Cancel. Returns the description, the first reference, the
    // last reading and the due date that the editor showed on opening.
    static QStringList Edit(QWidget* window, const QString& description, const QString& reading2 = "20.5",
                            bool accept = true)
    {
        QStringList shown;
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            shown << Text(dialog, "Description_Edit") << Text(dialog, "Reference_Temperature1_Edit")
                  << Text(dialog, "Thermometer_Reading3_Edit") << Due_Date_Shown(dialog);
            if (!description.isNull())
            {
                Type(dialog, "Description_Edit", description);
            }
            Type(dialog, "Thermometer_Reading2_Edit", reading2);
            Child<QPushButton>(dialog, accept ? "Accept_Button" : "Cancel_Button")->click();
        });
        QMetaObject::invokeMethod(window, "Edit_Thermometer");
        return shown;
    }

    // Opens the Correction Editor; while it is open another window takes its turn (meanwhile), then
    // fill changes the fields and Accept is pressed. Returns the reading at test point 2 and the due
    // date that the editor showed on opening.
    static QString Edit_Meanwhile(QWidget* window, const std::function<void()>& meanwhile,
                                  const std::function<void(QWidget*)>& fill)
    {
        QString shown;
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            shown = Text(dialog, "Thermometer_Reading2_Edit") + " " + Due_Date_Shown(dialog);
            meanwhile();
            fill(dialog);
            Child<QPushButton>(dialog, "Accept_Button")->click();
        });
        QMetaObject::invokeMethod(window, "Edit_Thermometer");
        return shown;
    }

    static std::function<void(QWidget*)> Set_Due_Date(const QDate& date)
    {
        return
            [date](QWidget* dialog) { Child<QDateEdit>(dialog, "Calibration_Due_Date_Edit")->setDate(date); };
    }

    // The log lines of window that hold text.
    static QStringList Lines_With(QWidget* window, const QString& text)
    {
        return Log_Lines(window).filter(text);
    }

    // Answers the confirmation with Yes or No, after another window's turn (meanwhile) while it is open;
    // returns its title, question (as plain text) and details.
    static QString Remove(QWidget* window, QMessageBox::StandardButton answer,
                          const std::function<void()>& meanwhile = {})
    {
        QString shown;
        Answer_Next_Modal("QMessageBox", [&shown, answer, &meanwhile](QWidget* modal) {
            QMessageBox* box = qobject_cast<QMessageBox*>(modal);
            QTextDocument informative;
            informative.setHtml(box->informativeText());
            shown = box->windowTitle() + "|" + informative.toPlainText() + "|" + box->detailedText();
            if (meanwhile)
            {
                meanwhile();
            }
            box->button(answer)->click();
        });
        QMetaObject::invokeMethod(window, "Remove_Thermometer");
        return shown;
    }

    // The selector's items with the current one in brackets.
    static QString Selection(QWidget* window)
    {
        QComboBox* selector = Child<QComboBox>(window, "Thermometer_Selector");
        QStringList items;
        for (int index = 0; index < selector->count(); ++index)
        {
            items << (index == selector->currentIndex() ? "[" + selector->itemText(index) + "]"
                                                        : selector->itemText(index));
        }
        return items.join(' ');
    }

    // Whether Remove (action and button) and both report buttons are enabled, "1" or "0" each.
    static QString Enabled(QWidget* window)
    {
        QString enabled = Child<QAction>(window, "Remove_Thermometer_Action")->isEnabled() ? "1" : "0";
        for (const char* button :
             {"Remove_Button", "Evaluate_Corrections_Button", "Evaluate_Uncertainty_Button"})
        {
            enabled += Child<QWidget>(window, button)->isEnabled() ? "1" : "0";
        }
        return enabled;
    }

    static TThermometerList Saved_List()
    {
        TThermometerList list;
        return list.Load_Calibration_File(Calibration_File()) ? list : TThermometerList();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Remove_Data_Directories(); }

    void First_Thermometer_Is_Added_From_Nothing()
    {
        TVelmora window;
        QCOMPARE(Enabled(&window), QString("0000"));
        // With nothing to edit, the editor opens empty, as for a new thermometer: nothing is proposed.
        QCOMPARE(Edit(&window, "Probe 1", "20.12", false), QStringList({"", "", "", ""}));
        const QDate due = QDate::currentDate().addYears(1);
        Add(&window, "Probe 1", due, "20.12");
        QCOMPARE(Selection(&window), QString("[Probe 1]"));
        QCOMPARE(Enabled(&window), QString("1111"));
        QCOMPARE(Log_Lines(&window).last(), "INF  Added correction data for 'Probe 1'.  Calibration Due: " +
                                                QLocale::c().toString(due, "MMM dd yyyy"));
        QCOMPARE(Saved_List().Get_Correction("Probe 1").Get_Point2().y, 0.12);

        QVERIFY(QFile::remove(Calibration_File()) && QDir().mkpath(Calibration_File())); // cannot be replaced
        Edit(&window, "Probe 2", "20.12");
        // Only the failure, with its level once: the window shows what the file holds.
        const QString failure = Log_Lines(&window).last();
        QVERIFY2(failure.startsWith("ERR  error writing file '" + Calibration_File() + "': Cannot ") &&
                     !failure.contains("ERR:"),
                 qPrintable(failure));
        QCOMPARE(Lines_With(&window, "Probe 2"), QStringList());
        QCOMPARE(Selection(&window), QString("[Probe 1]"));
    }

    // Edit > New Thermometer... opens the editor empty: nothing of the selected thermometer is taken
    // over (the editor's own test has how Accept waits for every field).
    void New_Thermometer_Is_Typed_Whole()
    {
        QVERIFY(Write_Calibration_File({{"Probe B", 0.3}}));
        TVelmora window;
        QAction* action = Child<QAction>(&window, "New_Thermometer_Action");
        QCOMPARE(action->text() + "|" + action->shortcut().toString(), QString("&New Thermometer...|Ctrl+N"));
        QMenu* edit_menu = window.menuBar()->actions()[1]->menu();
        QCOMPARE(edit_menu->actions().last(), action);
        QCOMPARE(edit_menu->actions().first()->text(), QString("&Correction Editor"));
        const QDate due = QDate::currentDate().addYears(2);
        QCOMPARE(Add(&window, "Bath", due, "20.1"), QStringList({"", "", "", ""}));
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList({"Probe B", "Bath"}));
        QCOMPARE(Saved_List().Get_Correction("Bath").Get_Point2().y, 0.1);
        QCOMPARE(Saved_List().Get_Correction("Probe B").Get_Point2().y, 0.3);
        QCOMPARE(Saved_List().Get_Calibration_Due_Date("Bath"), due);
        QCOMPARE(Selection(&window), QString("Probe B [Bath]"));
    }

    // A save that fails (a full disk) changes nothing in the window: no line says that the change was
    // made, and the next change, of another thermometer, does not save it after all. The change's
    // record goes first: when it cannot be written nothing is saved; when the save fails after it, the
    // record is marked as not saved.
    void Failed_Save_Leaves_The_Window_As_It_Was_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("record_written");
        QTest::newRow("record not written") << "A" << false;
        // Escaped in the calibration file, the description makes it larger than the history.
        QTest::newRow("save fails after the record") << QString(2000, '&') << true;
    }

    void Failed_Save_Leaves_The_Window_As_It_Was()
    {
        QFETCH(QString, description);
        QFETCH(bool, record_written);
        QVERIFY(Write_Calibration_File({{description, 0.1}}));
        TVelmora window;
        const QStringList log_before = Log_Lines(&window);
        const QString history_file = Data_Directory() + "/calibration_history.jsonl";
        const qint64 limit = QFileInfo(record_written ? Calibration_File() : history_file).size();
        With_File_Size_Limit(rlim_t(limit), [&] { Edit(&window, "Probe 2"); });
        const QStringList added = Log_Lines(&window).mid(log_before.size());
        QCOMPARE(added.size(), 1);
        const QString failure =
            record_written ? "ERR  error writing file '" + Calibration_File() + "': Cannot write file '"
                           : "ERR  Cannot write calibration history '" + history_file +
                                 "': File too large; the change was not saved.";
        QVERIFY2(added.first().startsWith(failure), qPrintable(added.first()));
        QCOMPARE(Selection(&window) + "|" + Text(&window, "X_Corrected_Field"),
                 "[" + description + "]|19.90");
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList(description));
        const QList<QByteArray> records = Read_File(history_file).split('\n');
        QCOMPARE(records.size(), record_written ? 4 : 2); // and the empty text after the last line end
        if (record_written)
        {
            QVERIFY(records[1].contains("\"action\":\"added\""));
            QVERIFY(records[2].contains("\"action\":\"not saved\"") && records[2].contains("\"marks\":2"));
        }

        Edit(&window, QString(), "20.25");
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList(description));
        QCOMPARE(Saved_List().Get_Correction(description).Get_Point2().y, 0.25);
        QCOMPARE(Selection(&window) + "|" + Text(&window, "X_Corrected_Field"),
                 "[" + description + "]|19.75");
        QCOMPARE(Lines_With(&window, "Probe 2"), QStringList());
        // History and file agree: the next start finds nothing to report.
        TVelmora next;
        QCOMPARE(Lines_With(&next, "calibration history"), QStringList());
    }

    void Edits_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("selection");
        // The editor drops the blanks of " B ", which a hand-edited file can hold: still in place.
        QTest::newRow("in place") << 1 << QString() << "A [ B ] C";
        // A change of letter case only renames the thermometer, in its place.
        QTest::newRow("letter case only") << 2 << "c"
                                          << "A  B  [c]";
        QTest::newRow("new description") << 0 << "New"
                                         << "A  B  C [New]";
    }

    void Edits()
    {
        QFETCH(int, active);
        QFETCH(QString, description);
        QFETCH(QString, selection);
        QVERIFY(Write_Calibration_File({{"A", 0.1}, {" B ", 0.1}, {"C", 0.1}}));
        Store_Setting("Active_Thermometer", active);
        TVelmora window;
        Edit(&window, description, "20.5");
        QCOMPARE(Selection(&window), selection);
        QCOMPARE(Text(&window, "X_Corrected_Field"), QString("19.50"));
        const QString edited = Child<QComboBox>(&window, "Thermometer_Selector")->currentText();
        for (const QString& stored : Saved_List().Get_Descriptions())
        {
            QCOMPARE(Saved_List().Get_Correction(stored).Get_Point2().y, stored == edited ? 0.5 : 0.1);
        }
    }

    void Removals()
    {
        QVERIFY(Write_Calibration_File({{"A", 0.1}, {"<B & C>", 0.2}}));
        Store_Setting("Active_Thermometer", 1);
        TVelmora window;
        // A cancelled edit or a refused removal changes nothing. The question names the thermometer right
        // after it, under the program's title.
        const QByteArray file_before = Read_File(Calibration_File());
        const QStringList log_before = Log_Lines(&window);
        Edit(&window, "Z", "20.5", false);
        QCOMPARE(Remove(&window, QMessageBox::No),
                 "Velmora|Are you sure you want to delete the current thermometer? '<B & C>'|"
                 "Thermometer to delete: '<B & C>'\nCalibration due: " +
                     QLocale::c().toString(QDate::currentDate().addYears(1), "MMM dd yyyy"));
        QCOMPARE(Selection(&window) + "|" + Text(&window, "X_Corrected_Field"), QString("A [<B & C>]|19.80"));
        QCOMPARE(Log_Lines(&window), log_before);
        QCOMPARE(Read_File(Calibration_File()), file_before);

        Remove(&window, QMessageBox::Yes);
        QCOMPARE(Selection(&window) + "|" + Text(&window, "X_Corrected_Field"), QString("[A]|19.90"));
        QCOMPARE(Log_Lines(&window).last(), QString("INF  Removed correction data for '<B & C>'."));
        Remove(&window, QMessageBox::Yes);
        QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "-----", "-----", "-----"}));
        QCOMPARE(Enabled(&window), QString("0000"));
        // Invoked with nothing left, the slot still asks, and the empty list is saved.
        Remove(&window, QMessageBox::Yes);
        QCOMPARE(Log_Lines(&window).last(), QString("INF  Removed correction data for ''."));
        QVERIFY(Read_File(Calibration_File()).contains("<Calibration_Entries/>"));
    }

    // The editor shows two decimals of the five stored; what the operator did not type stays as stored.
    void Untouched_Values_Keep_Their_Stored_Precision_data()
    {
        QTest::addColumn<QStringList>("typed");  // field, text, after the due date Jun 30 2031
        QTest::addColumn<QStringList>("points"); // as the file holds them
        QTest::newRow("due date only")
            << QStringList() << QStringList{"15.12340,0.12000", "20.00500,0.12000", "25.00000,0.12000"};
        QTest::newRow("one reading typed")
            << QStringList{"Thermometer_Reading2_Edit", "20.50"}
            << QStringList{"15.12340,0.12000", "20.00500,0.49500", "25.00000,0.12000"};
        // The reading shown as 15.24 is still the stored 15.2434.
        QTest::newRow("one reference typed")
            << QStringList{"Reference_Temperature1_Edit", "15"}
            << QStringList{"15.00000,0.24340", "20.00500,0.12000", "25.00000,0.12000"};
    }

    void Untouched_Values_Keep_Their_Stored_Precision()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, points);
        QVERIFY(Write_Calibration_File({{"Probe 1", 0.12, QDate(2030, 1, 1), {15.1234, 20.005, 25}}}));
        TVelmora window;
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            Type_Due_Date(dialog, QDate(2031, 6, 30));
            for (int i = 0; i + 1 < typed.size(); i += 2)
            {
                Type(dialog, qPrintable(typed[i]), typed[i + 1]);
            }
            Child<QPushButton>(dialog, "Accept_Button")->click();
        });
        QMetaObject::invokeMethod(&window, "Edit_Thermometer");
        const QByteArray saved = Read_File(Calibration_File());
        QVERIFY2(saved.contains("<Calibration_Due_Date>30062031</Calibration_Due_Date>"), saved.constData());
        for (int point = 0; point < 3; ++point)
        {
            const QString element = QString("<Point%1>%2</Point%1>").arg(point + 1).arg(points[point]);
            QVERIFY2(saved.contains(element.toLatin1()), qPrintable(element + " in\n" + saved));
        }
        // Its checksum matches: the next start reads it back as saved.
        TThermometerList list;
        QVERIFY(list.Load_Calibration_File(Calibration_File()));
        QCOMPARE(list.Get_Descriptions(), QStringList{"Probe 1"});
    }

    // Only a damaged file holds an entry without a due date: the editor shows none, and one must be
    // typed before Accept becomes available.
    void Entry_Without_Due_Date_Opens_Without_One()
    {
        QVERIFY(Write_Calibration_File({{"A", 0.1, QDate(2031, 1, 1)}, {"B", 0.1, QDate()}}));
        TVelmora window;
        QCOMPARE(Edit(&window, QString(), "20.5", false).last(), QString("2031-01-01"));
        Child<QComboBox>(&window, "Thermometer_Selector")->setCurrentIndex(1);
        bool accept_without_date = true;
        QString shown = "opened";
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            shown = Due_Date_Shown(dialog);
            Type(dialog, "Thermometer_Reading2_Edit", "20.5");
            accept_without_date = Child<QPushButton>(dialog, "Accept_Button")->isEnabled();
            Type_Due_Date(dialog, QDate(2032, 3, 4));
            Child<QPushButton>(dialog, "Accept_Button")->click();
        });
        QMetaObject::invokeMethod(&window, "Edit_Thermometer");
        QCOMPARE(shown, QString());
        QVERIFY(!accept_without_date);
        QCOMPARE(Saved_List().Get_Calibration_Due_Date("B"), QDate(2032, 3, 4));
    }

    // A change of letter case only renames the thermometer in the file, the list and the history, whose
    // record is an ordinary change from the one description to the other.
    void Letter_Case_Change_Renames()
    {
        QVERIFY(Write_Calibration_File({{"Probe A"}, {"Probe B"}}));
        TVelmora window;
        Edit(&window, "PROBE A", "20.12");
        QCOMPARE(Log_Lines(&window).last(),
                 "INF  Updated correction data for 'PROBE A' (renamed from 'Probe A').  Calibration Due: " +
                     QLocale::c().toString(QDate::currentDate().addYears(1), "MMM dd yyyy"));
        QCOMPARE(Selection(&window), QString("[PROBE A] Probe B"));
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList({"PROBE A", "Probe B"}));
        // The change's record, before the mark that it was saved.
        const QList<QByteArray> records =
            Read_File(Data_Directory() + "/calibration_history.jsonl").split('\n');
        const QByteArray last = records.value(records.size() - 3);
        QVERIFY(records.value(records.size() - 2).contains("\"action\":\"saved\""));
        QVERIFY2(last.contains("\"action\":\"changed\"") && last.contains("\"description\":\"Probe A\"") &&
                     last.contains("\"description\":\"PROBE A\""),
                 last.constData());
        TVelmora next;
        QCOMPARE(Lines_With(&next, "calibration history"), QStringList());
    }

    // Two windows on one data directory (two stations sharing an install folder alike) edit in turn:
    // each edit applies to the file as the other left it, so neither undoes the other.
    void Two_Windows_Keep_Each_Others_Thermometers()
    {
        QVERIFY(Write_Calibration_File({{"A"}, {"B"}}));
        TVelmora first;
        TVelmora second;
        Edit(&first, "First 1");
        Edit(&second, "Second 1");
        Edit(&first, "First 2");
        Remove(&second, QMessageBox::Yes); // Second 1, the one it selected
        Child<QComboBox>(&first, "Thermometer_Selector")->setCurrentIndex(1);
        Edit(&first, QString(), "20.75"); // B, changed in place
        Edit(&second, "Second 2");

        QCOMPARE(Saved_List().Get_Descriptions(), QStringList({"A", "B", "First 1", "First 2", "Second 2"}));
        QCOMPARE(Saved_List().Get_Correction("B").Get_Point2().y, 0.75);
        QCOMPARE(Selection(&first), QString("A [B] First 1 First 2"));
        QCOMPARE(Selection(&second), QString("A B First 1 First 2 [Second 2]"));
        // Each window reloads as it opens the editor or the question after the other one saved.
        QCOMPARE(Lines_With(&second, Reloaded()).size(), 3);
        QCOMPARE(Lines_With(&first, Reloaded()).size(), 2);
    }

    // A directory or a file without a process id in the lock file's place blocks every change: the
    // window says so, names it and what to do, and shows what it showed.
    void Lock_File_That_Is_No_Lock_Is_Named_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::addColumn<QString>("problem"); // %1: the lock file
        QTest::newRow("directory") << true
                                   << "is a directory, not a lock Velmora can use; the change was not saved. "
                                      "Remove '%1' (Velmora makes only plain files of that name), then make "
                                      "the change again.";
        QTest::newRow("garbage") << false
                                 << "holds no process id (7 bytes), so it is not a lock Velmora can use; the "
                                    "change was not saved. If no other Velmora is saving, delete '%1', then "
                                    "make the change again.";
    }

    void Lock_File_That_Is_No_Lock_Is_Named()
    {
        QFETCH(bool, directory);
        QFETCH(QString, problem);
        QVERIFY(Write_Calibration_File({{"A", 0.1}}));
        const QString lock_name = Calibration_File() + ".lock";
        QVERIFY(directory ? QDir().mkpath(lock_name) : Write_File(lock_name, "garbage"));
        TVelmora window;
        const QStringList log_before = Log_Lines(&window);
        Edit(&window, "Probe 2");
        QCOMPARE(Log_Lines(&window).mid(log_before.size()),
                 QStringList("ERR  Cannot lock calibration file '" +
                             QDir::toNativeSeparators(Calibration_File()) + "': the lock file '" +
                             QDir::toNativeSeparators(lock_name) + "' " +
                             problem.arg(QDir::toNativeSeparators(lock_name))));
        QCOMPARE(Selection(&window), QString("[A]"));
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList("A"));
    }

    // The start of the line that says the file was reloaded.
    static QString Reloaded()
    {
        return "INF  Calibration file '" + QDir::toNativeSeparators(Calibration_File()) +
               "' was changed by another writer; reloaded it";
    }

    // Window 1 opened the editor on A before window 2 recalibrated A: saving window 1's new due date
    // with the readings it showed would undo window 2's calibration. The editor opens again on A's
    // current values and says what was typed, so that it can be typed again where it still applies.
    void Edit_Of_A_Thermometer_Changed_Meanwhile_Is_Refused()
    {
        const QDate due = QDate::currentDate().addYears(1);
        const QDate new_due = due.addMonths(6);
        QVERIFY(Write_Calibration_File({{"A"}, {"B"}}));
        TVelmora first;
        TVelmora second;
        QStringList reopened;
        QCOMPARE(Edit_Meanwhile(
                     &first, [&second]() { Edit(&second, QString(), "20.75"); },
                     [&](QWidget* dialog) {
                         Set_Due_Date(new_due)(dialog);
                         Answer_Next_Modal("TCorrectionDialog", [&](QWidget* again) {
                             QPushButton* accept = Child<QPushButton>(again, "Accept_Button");
                             reopened
                                 << Text(again, "Thermometer_Reading2_Edit") + " " + Due_Date_Shown(again)
                                 << Child<QLabel>(again, "Explanation_Label")->text().section('\n', 0, 1)
                                 << (accept->isEnabled() ? "enabled" : "disabled");
                             Type_Due_Date(again, new_due);
                             accept->click();
                         });
                     }),
                 "20.12 " + due.toString(Qt::ISODate));
        QCOMPARE(Lines_With(&first, "ERR  "),
                 QStringList("ERR  Thermometer 'A' was changed by another window after the Correction Editor "
                             "opened on it; this change was not saved. The editor now opens on its current "
                             "values."));
        QCOMPARE(
            reopened,
            QStringList({"20.75 " + due.toString(Qt::ISODate),
                         "Not saved: another window changed this thermometer meanwhile, and the fields show "
                         "its current values. You had typed: due date " +
                             QLocale::c().toString(new_due, "MMM dd yyyy") +
                             ".\nAccept becomes available when a field is changed.",
                         "disabled"}));
        // Typed again, the new due date goes with window 2's calibration.
        QCOMPARE(Saved_List().Get_Correction("A").Get_Point2().y, 0.75);
        QCOMPARE(Saved_List().Get_Calibration_Due_Date("A"), new_due);
        QCOMPARE(Lines_With(&first, "INF  Updated"),
                 QStringList("INF  Updated correction data for 'A'.  Calibration Due: " +
                             QLocale::c().toString(new_due, "MMM dd yyyy")));
        QCOMPARE(Selection(&first) + "|" + Text(&first, "X_Corrected_Field"), QString("[A] B|19.25"));
    }

    // Window 2 removed B while window 1's editor was open on it: window 1's edit does not bring it back,
    // and no other thermometer takes its place, whose correction would be applied without a word. Window 2
    // added "probe x" while window 1's editor was adding "Probe X": descriptions that differ only in letter
    // case are one thermometer, judged against the file as it is now; the one the edit was about is
    // selected, so that the editor opens on it.
    void Edit_Refused_For_Another_Windows_Change_data()
    {
        QTest::addColumn<bool>("removal"); // else an addition
        QTest::addColumn<QStringList>("saved");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("shown");
        QTest::newRow("thermometer removed")
            << true << QStringList("A")
            << "ERR  Thermometer 'B' was removed by another window after the Correction Editor opened on it; "
               "this change was not saved."
            << "A|-----|no thermometer selected";
        QTest::newRow("description taken")
            << false << QStringList({"A", "probe x"})
            << "ERR  Thermometer 'Probe X' was not added: another window added 'probe x' meanwhile, and "
               "descriptions that differ only in letter case are the same thermometer; this change was not "
               "saved."
            << "A [probe x]|19.50|";
    }

    void Edit_Refused_For_Another_Windows_Change()
    {
        QFETCH(bool, removal);
        QFETCH(QStringList, saved);
        QFETCH(QString, error);
        QFETCH(QString, shown);
        QList<TThermometer> thermometers{{"A"}};
        if (removal)
        {
            thermometers.append({"B"});
        }
        QVERIFY(Write_Calibration_File(thermometers));
        Store_Setting("Active_Thermometer", removal ? 1 : 0);
        TVelmora first;
        TVelmora second;
        Edit_Meanwhile(
            &first,
            [&]() {
                if (removal)
                {
                    Remove(&second, QMessageBox::Yes);
                }
                else
                {
                    Edit(&second, "probe x", "20.5");
                }
            },
            [&](QWidget* dialog) {
                Type(dialog, "Description_Edit", removal ? "B" : "Probe X");
                Type(dialog, "Thermometer_Reading2_Edit", "20.25");
            });
        QCOMPARE(Saved_List().Get_Descriptions(), saved);
        QCOMPARE(Saved_List().Get_Correction(saved.last()).Get_Point2().y, removal ? 0.12 : 0.5);
        QCOMPARE(Lines_With(&first, "ERR  "), QStringList(error));
        QCOMPARE(Lines_With(&first, "WAR  "),
                 removal ? QStringList("WAR  Thermometer 'B', selected in this window, is no longer in the "
                                       "calibration file; no thermometer is selected: choose the one in use.")
                         : QStringList());
        QCOMPARE(Lines_With(&first, "INF  Updated"), QStringList());
        QCOMPARE(Selection(&first) + "|" + Text(&first, "X_Corrected_Field") + "|" +
                     Child<QLineEdit>(&first, "X_Corrected_Field")->toolTip(),
                 shown);
    }

    // Window 2 recalibrated A while window 1 asked whether to remove A: what window 1's operator agreed
    // to remove is not what the file holds, so window 1 refuses; asked again, it removes A.
    void Removal_Of_A_Thermometer_Changed_Meanwhile_Is_Refused()
    {
        QVERIFY(Write_Calibration_File({{"A"}, {"B"}, {"C"}}));
        TVelmora first;
        TVelmora second;
        Remove(&first, QMessageBox::Yes, [&second]() { Edit(&second, QString(), "20.75"); });
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList({"A", "B", "C"}));
        QCOMPARE(Saved_List().Get_Correction("A").Get_Point2().y, 0.75);
        QCOMPARE(Log_Lines(&first).last(),
                 QString("ERR  Thermometer 'A' was not removed: another window changed it after the removal "
                         "was asked for. Check its current values, then remove it again if it is still to "
                         "go."));
        QCOMPARE(Selection(&first) + "|" + Text(&first, "X_Corrected_Field"), QString("[A] B C|19.25"));
        QCOMPARE(Remove(&first, QMessageBox::Yes).section('|', 2),
                 "Thermometer to delete: 'A'\nCalibration due: " +
                     QLocale::c().toString(QDate::currentDate().addYears(1), "MMM dd yyyy"));
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList({"B", "C"}));
        QCOMPARE(Log_Lines(&first).last(), QString("INF  Removed correction data for 'A'."));

        // Removed by window 2 meanwhile, there is nothing left to remove.
        Remove(&first, QMessageBox::Yes, [&second]() {
            QComboBox* selector = Child<QComboBox>(&second, "Thermometer_Selector");
            selector->setCurrentIndex(selector->findText("B"));
            Remove(&second, QMessageBox::Yes);
        });
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList("C"));
        QVERIFY(Log_Lines(&first).contains("INF  Thermometer 'B' was already removed by another window."));
        QVERIFY(Log_Lines(&first).contains(
            "WAR  Thermometer 'B', selected in this window, is no longer in the "
            "calibration file; no thermometer is selected: choose the one in use."));
        QCOMPARE(Lines_With(&first, "INF  Removed correction data for 'B'"), QStringList());
        QCOMPARE(Selection(&first), QString("C"));
    }

    // Told by the system that window 2 saved the file, window 1 reloads it at once: selector, corrected
    // readings and the open correction view follow, and the selection is kept by description.
    void Window_Follows_Another_Windows_Save()
    {
        QVERIFY(Write_Calibration_File({{"A", 0.1}, {"B", 0.2}}));
        Store_Setting("Active_Thermometer", 1);
        TVelmora first;
        TVelmora second;
        first.show();
        QMetaObject::invokeMethod(&first, "Show_Correction_Curve");
        TCorrectionView* view = Child<TCorrectionView>(&first, "Correction_View");
        QSignalSpy notices(Child<QFileSystemWatcher>(&first, "Calibration_File_Watcher"),
                           &QFileSystemWatcher::fileChanged);
        const QStringList log_before = Log_Lines(&first);

        Edit(&second, QString(), "20.5");
        Edit(&second, "New", "20.5");
        QTRY_VERIFY(!Lines_With(&first, Reloaded()).isEmpty());
        QVERIFY(notices.count() > 0);
        QTRY_COMPARE(Selection(&first), QString("A [B] New"));
        QCOMPARE(Text(&first, "X_Corrected_Field"), QString("19.50"));
        const auto test_point2 = [view]() {
            return view->Get_Chart()->findChild<QScatterSeries*>("Test_Points")->at(1).y();
        };
        QCOMPARE(test_point2(), 0.5);
        QCOMPARE(Lines_With(&first, "WAR  "), QStringList());

        // The selected thermometer removed: none is selected until the operator chooses, and a line
        // says so.
        Child<QComboBox>(&second, "Thermometer_Selector")->setCurrentIndex(1);
        Remove(&second, QMessageBox::Yes);
        QTRY_COMPARE(Selection(&first), QString("A New"));
        QCOMPARE(Lines_With(&first, "WAR  "),
                 QStringList("WAR  Thermometer 'B', selected in this window, is no longer in the calibration "
                             "file; no thermometer is selected: choose the one in use."));
        QCOMPARE(Text(&first, "X_Corrected_Field"), QString("-----"));
        QCOMPARE(view->Get_Chart()->title(), QString("No thermometer is selected."));
        QCOMPARE(Lines_With(&first, Reloaded()).size() + log_before.size() + 1, Log_Lines(&first).size());
    }

    // A window whose watcher has not told it of another window's save (a network share): an action
    // started on a thermometer the other window removed is not carried out on another one. Window 1
    // still shows T selected; its reload finds T gone and says so, and nothing opens.
    void Action_On_A_Thermometer_Removed_Unnoticed_Is_Not_Carried_Out_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QString>("modal"); // the class of what would open
        QTest::addColumn<QString>("line");
        QTest::newRow("edit")
            << "Edit_Thermometer"
            << "TCorrectionDialog"
            << "ERR  Thermometer 'T' was removed by another window; the Correction Editor was "
               "not opened. Choose the thermometer to edit.";
        QTest::newRow("removal") << "Remove_Thermometer"
                                 << "QMessageBox"
                                 << "INF  Thermometer 'T' was already removed by another window.";
        QTest::newRow("corrections report")
            << "Evaluate_Corrections"
            << "QFileDialog"
            << "ERR  Thermometer 'T' was removed by another window; the corrections evaluation was not "
               "written. Choose the thermometer to report on.";
        QTest::newRow("uncertainty report")
            << "Evaluate_Uncertainty"
            << "TInputDialog"
            << "ERR  Thermometer 'T' was removed by another window; the uncertainty evaluation was not "
               "written. Choose the thermometer to report on.";
    }

    void Action_On_A_Thermometer_Removed_Unnoticed_Is_Not_Carried_Out()
    {
        QFETCH(QString, slot);
        QFETCH(QString, modal);
        QFETCH(QString, line);
        QVERIFY(Write_Calibration_File({{"Probe 1", 0.1}, {"T", 0.2}}));
        Store_Setting("Active_Thermometer_Description", "T");
        TVelmora first;
        Child<QFileSystemWatcher>(&first, "Calibration_File_Watcher")->blockSignals(true);
        TVelmora second;
        Remove(&second, QMessageBox::Yes);
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList("Probe 1"));
        const QByteArray file_before = Read_File(Calibration_File());
        QCOMPARE(Selection(&first), QString("Probe 1 [T]"));

        const bool opened = Answer_Modal_During(
            qPrintable(modal), [](QWidget* dialog) { QMetaObject::invokeMethod(dialog, "reject"); },
            [&]() { QMetaObject::invokeMethod(&first, qPrintable(slot)); });
        QVERIFY(!opened);
        QCOMPARE(Log_Lines(&first).last(), line);
        QVERIFY(Log_Lines(&first).contains(
            "WAR  Thermometer 'T', selected in this window, is no longer in the "
            "calibration file; no thermometer is selected: choose the one in use."));
        QCOMPARE(Selection(&first) + "|" + Text(&first, "X_Corrected_Field"), QString("Probe 1|-----"));
        QCOMPARE(Read_File(Calibration_File()), file_before);
    }

    // Changed meanwhile and unnoticed, the thermometer is acted on with its current values, and a line
    // says so.
    void Edit_Of_A_Thermometer_Changed_Unnoticed_Shows_Its_Current_Values()
    {
        QVERIFY(Write_Calibration_File({{"A"}, {"B"}}));
        TVelmora first;
        Child<QFileSystemWatcher>(&first, "Calibration_File_Watcher")->blockSignals(true);
        TVelmora second;
        Edit(&second, QString(), "20.75");
        QCOMPARE(Edit(&first, QString(), "20.5", false).value(2), QString("25.12"));
        QCOMPARE(
            Lines_With(&first, "WAR  "),
            QStringList("WAR  Thermometer 'A' was changed by another window; the Correction Editor opens "
                        "on its current values."));
        QCOMPARE(Text(&first, "X_Corrected_Field"), QString("19.25"));
    }

    // While another station holds the lock, the window waits without freezing: a busy cursor and a line
    // naming the file; cancelled, nothing is saved, also once the lock is free. Let go, the change is saved.
    void Wait_For_Another_Station_Can_Be_Cancelled_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("let go") << false;
    }

    void Wait_For_Another_Station_Can_Be_Cancelled()
    {
        QFETCH(bool, cancel);
        QVERIFY(Write_Calibration_File({{"A", 0.1}}));
        TVelmora window;
        const QByteArray file_before = Read_File(Calibration_File());
        QLockFile other_station(Calibration_File() + ".lock");
        QVERIFY(other_station.lock());
        QStringList waiting;
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            Type(dialog, "Thermometer_Reading2_Edit", "20.5");
            Answer_Next_Modal("QProgressDialog", [&](QWidget* modal) {
                QProgressDialog* progress = qobject_cast<QProgressDialog*>(modal);
                waiting << progress->labelText()
                        << QString::number(QGuiApplication::overrideCursor() != nullptr
                                               ? QGuiApplication::overrideCursor()->shape()
                                               : -1);
                other_station.unlock();
                if (cancel)
                {
                    progress->cancel();
                }
            });
            Child<QPushButton>(dialog, "Accept_Button")->click();
        });
        QMetaObject::invokeMethod(&window, "Edit_Thermometer");
        QCOMPARE(waiting, QStringList({"Waiting for another station's save of '" +
                                           QDir::toNativeSeparators(Calibration_File()) + "'...",
                                       QString::number(Qt::BusyCursor)}));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        if (cancel)
        {
            QCOMPARE(Log_Lines(&window).last(),
                     "ERR  Cannot lock calibration file '" + QDir::toNativeSeparators(Calibration_File()) +
                         "': waiting for another station's save was cancelled; the change was not saved.");
            QCOMPARE(Read_File(Calibration_File()), file_before);
            QCOMPARE(Text(&window, "X_Corrected_Field"), QString("19.90"));
        }
        else
        {
            QCOMPARE(Saved_List().Get_Correction("A").Get_Point2().y, 0.5);
            QCOMPARE(Text(&window, "X_Corrected_Field"), QString("19.50"));
        }
    }
};

QTEST_MAIN(TManagementTest)
#include "tst_management.moc"
