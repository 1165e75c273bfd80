#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace Test_Support;

// Adding, changing and removing thermometers from the main window.
class TManagementTest : public QObject
{
    Q_OBJECT

    // Opens the Correction Editor, types the description (unless null) and the reading at test
    // point 2, then presses Accept or Cancel. Returns the description, the first reference, the
    // last reading and the due date that the editor showed on opening.
    static QStringList Edit(QWidget* window, const QString& description, const QString& reading2 = "20.5",
                            bool accept = true)
    {
        QStringList shown;
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            shown << Text(dialog, "Description_Edit") << Text(dialog, "Reference_Temperature1_Edit")
                  << Text(dialog, "Thermometer_Reading3_Edit")
                  << Child<QDateEdit>(dialog, "Calibration_Due_Date_Edit")->date().toString(Qt::ISODate);
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

    // Answers the confirmation with Yes or No; returns the details it showed.
    static QString Remove(QWidget* window, QMessageBox::StandardButton answer)
    {
        QString details;
        Answer_Next_Modal("QMessageBox", [&details, answer](QWidget* modal) {
            QMessageBox* box = qobject_cast<QMessageBox*>(modal);
            details = box->detailedText();
            box->button(answer)->click();
        });
        QMetaObject::invokeMethod(window, "Remove_Thermometer");
        return details;
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
        QCOMPARE(Edit(&window, "Probe 1", "20.12"),
                 QStringList({"", "15.00", "25.00", QDate::currentDate().toString(Qt::ISODate)}));
        QCOMPARE(Selection(&window), QString("[Probe 1]"));
        QCOMPARE(Enabled(&window), QString("1111"));
        // Saved with today's date, which the window warns about at once.
        const QString today = QLocale::c().toString(QDate::currentDate(), "MMM dd yyyy");
        QCOMPARE(Log_Lines(&window).mid(Log_Lines(&window).size() - 2),
                 QStringList({"INF  Updated correction data for 'Probe 1'.  Calibration Due: " + today,
                              "WAR  Thermometer 'Probe 1' is out of calibration since " + today + "."}));
        QCOMPARE(Saved_List().Get_Correction("Probe 1").Get_Point2().y, 0.12);

        QVERIFY(QFile::remove(Calibration_File()) && QDir().mkpath(Calibration_File())); // cannot be replaced
        Edit(&window, "Probe 2", "20.12");
        // The failure, then the warning that the new thermometer is due today.
        const QStringList lines = Log_Lines(&window);
        QVERIFY(lines[lines.size() - 2].startsWith("ERR  error writing file '" + Calibration_File() +
                                                   "': ERR:  "));
        QVERIFY(lines.last().startsWith("WAR  Thermometer 'Probe 2' is out of calibration"));
    }

    void Edits_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("selection");
        // The editor drops the blanks of " B ", which a hand-edited file can hold: still in place.
        QTest::newRow("in place") << 1 << QString() << "A [ B ] C";
        // The list keeps the stored letter case; the selector must name the edited thermometer.
        QTest::newRow("letter case only") << 2 << "c"
                                          << "A  B  [C]";
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
        QVERIFY(Write_Calibration_File({{"A", 0.1}, {"B", 0.2}}));
        Store_Setting("Active_Thermometer", 1);
        TVelmora window;
        // A cancelled edit or a refused removal changes nothing.
        const QByteArray file_before = Read_File(Calibration_File());
        const QStringList log_before = Log_Lines(&window);
        Edit(&window, "Z", "20.5", false);
        QCOMPARE(Remove(&window, QMessageBox::No),
                 "Thermometer to delete: 'B'\nCalibration due: " +
                     QLocale::c().toString(QDate::currentDate().addYears(1), "MMM dd yyyy"));
        QCOMPARE(Selection(&window) + "|" + Text(&window, "X_Corrected_Field"), QString("A [B]|19.80"));
        QCOMPARE(Log_Lines(&window), log_before);
        QCOMPARE(Read_File(Calibration_File()), file_before);

        Remove(&window, QMessageBox::Yes);
        QCOMPARE(Selection(&window) + "|" + Text(&window, "X_Corrected_Field"), QString("[A]|19.90"));
        QCOMPARE(Log_Lines(&window).last(), QString("INF  Removed correction data for 'B'."));
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
        QTest::addColumn<QStringList>("typed");  // field, text, ...; "date" is the due date field
        QTest::addColumn<QStringList>("points"); // as the file holds them
        QTest::newRow("due date only")
            << QStringList{"date", "Jun 30 2031"}
            << QStringList{"15.12340,0.12000", "20.00500,0.12000", "25.00000,0.12000"};
        QTest::newRow("one reading typed")
            << QStringList{"date", "Jun 30 2031", "Thermometer_Reading2_Edit", "20.50"}
            << QStringList{"15.12340,0.12000", "20.00500,0.49500", "25.00000,0.12000"};
        // The reading shown as 15.24 is still the stored 15.2434.
        QTest::newRow("one reference typed")
            << QStringList{"date", "Jun 30 2031", "Reference_Temperature1_Edit", "15"}
            << QStringList{"15.00000,0.24340", "20.00500,0.12000", "25.00000,0.12000"};
    }

    void Untouched_Values_Keep_Their_Stored_Precision()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, points);
        QVERIFY(Write_Calibration_File({{"Probe 1", 0.12, QDate(2030, 1, 1), {15.1234, 20.005, 25}}}));
        TVelmora window;
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            for (int i = 0; i + 1 < typed.size(); i += 2)
            {
                if (typed[i] != "date")
                {
                    Type(dialog, qPrintable(typed[i]), typed[i + 1]);
                    continue;
                }
                QDateEdit* date_edit = Child<QDateEdit>(dialog, "Calibration_Due_Date_Edit");
                date_edit->setFocus(Qt::TabFocusReason);
                QTest::keyClicks(date_edit, typed[i + 1]);
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

    // Only a damaged file holds an entry without a due date.
    void Entry_Without_Due_Date_Opens_With_Today()
    {
        QVERIFY(Write_Calibration_File({{"A", 0.1, QDate(2031, 1, 1)}, {"B", 0.1, QDate()}}));
        TVelmora window;
        QCOMPARE(Edit(&window, QString(), "20.5", false).last(), QString("2031-01-01"));
        Child<QComboBox>(&window, "Thermometer_Selector")->setCurrentIndex(1);
        QCOMPARE(Edit(&window, QString()).last(), QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(Saved_List().Get_Calibration_Due_Date("B"), QDate::currentDate());
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
        const QString reloaded = "INF  Calibration file '" + QDir::toNativeSeparators(Calibration_File()) +
                                 "' was changed by another writer; reloaded it first.";
        QCOMPARE(Log_Lines(&second).count(reloaded), 3);
        QCOMPARE(Log_Lines(&first).count(reloaded), 2);
    }
};

QTEST_MAIN(TManagementTest)
#include "tst_management.moc"
