#include "velmora.h"
#include "velmoratestsupport.h"

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

    const QStringList Temperature_Edits = {"Reference_Temperature1_Edit", "Thermometer_Reading1_Edit",
                                           "Reference_Temperature2_Edit", "Thermometer_Reading2_Edit",
                                           "Reference_Temperature3_Edit", "Thermometer_Reading3_Edit"};

    // Opens the Correction Editor and types the description (unless null) and the readings given for
    // test points 1 to 3 (empty: left as shown), then accepts it, or cancels when accept is false.
    // Returns what the editor showed when it opened: description, date and the six temperatures.
    QStringList Edit(QWidget* window, const QString& description, const QStringList& readings = {},
                     const QDate& due_date = QDate(), bool accept = true)
    {
        QStringList shown;
        Answer_Next_Modal("TCorrectionDialog", [&](QWidget* dialog) {
            shown << Text(dialog, "Description_Edit")
                  << Child<QDateEdit>(dialog, "Calibration_Due_Date_Edit")->date().toString(Qt::ISODate);
            for (const QString& name : Temperature_Edits)
            {
                shown << Text(dialog, qPrintable(name));
            }
            if (!description.isNull())
            {
                Type(dialog, "Description_Edit", description);
            }
            for (int point = 0; point < readings.size(); ++point)
            {
                Type(dialog, qPrintable(Temperature_Edits[2 * point + 1]), readings[point]);
            }
            if (due_date.isValid())
            {
                Child<QDateEdit>(dialog, "Calibration_Due_Date_Edit")->setDate(due_date);
            }
            Child<QPushButton>(dialog, accept ? "Accept_Button" : "Cancel_Button")->click();
        });
        QMetaObject::invokeMethod(window, "Edit_Thermometer");
        return shown;
    }

    // Answers the confirmation with a button, or closes it with NoButton.
    void Remove(QWidget* window, QMessageBox::StandardButton answer)
    {
        Answer_Next_Modal("QMessageBox", [=](QWidget* modal) {
            QMessageBox* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box->text().contains("Remove Thermometer"));
            QVERIFY(
                box->informativeText().contains("Are you sure you want to delete the current thermometer?"));
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
            answer == QMessageBox::NoButton ? (void)box->close() : box->button(answer)->click();
        });
        QMetaObject::invokeMethod(window, "Remove_Thermometer");
    }

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

    static TThermometerList Saved_List()
    {
        TThermometerList list;
        list.Load_Calibration_File(Calibration_File());
        return list;
    }

    static QList<TThermometer> Three() // deviations 0.1, 0.2, 0.3
    {
        return {Offset_Thermometer("Probe A", 0.1), Offset_Thermometer("Probe B", 0.2),
                Offset_Thermometer("Probe C", 0.3)};
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Remove_Data_Directories(); }
    void cleanupTestCase() { Remove_Data_Directories(); }

    void First_Thermometer_Is_Added_From_Nothing()
    {
        TVelmora window;
        const QDate due = QDate::currentDate().addMonths(6);
        const QStringList shown = Edit(&window, "Probe 1", {"15", "20.12", "25"}, due);
        QCOMPARE(shown, QStringList({"", QDate::currentDate().toString(Qt::ISODate), "15.00", "15.00",
                                     "20.00", "20.00", "25.00", "25.00"}));
        QCOMPARE(Selection(&window), QString("[Probe 1]"));
        QCOMPARE(Log_Lines(&window).last(), "INF  Updated correction data for 'Probe 1'.  Calibration Due: " +
                                                due.toString("MMM dd yyyy"));
        QCOMPARE(Text(&window, "X_Corrected_Field"), QString("19.88"));
        QCOMPARE(Saved_List().Get_Calibration_Due_Date("Probe 1"), due);
        QCOMPARE(Saved_List().Get_Correction("Probe 1").Get_Point2().y, 0.12);
    }

    void Edits_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("corrected");
        QTest::addColumn<QStringList>("saved");
        QTest::newRow("in place") << 1 << QString() << "Probe A [Probe B] Probe C"
                                  << "19.50" << QStringList({"Probe A", "Probe B", "Probe C"});
        // The list keeps the stored letter case; the selector must name the edited thermometer.
        QTest::newRow("letter case only") << 2 << "probe c"
                                          << "Probe A Probe B [Probe C]"
                                          << "19.50" << QStringList({"Probe A", "Probe B", "Probe C"});
        QTest::newRow("new description")
            << 0 << "Probe New"
            << "Probe A Probe B Probe C [Probe New]"
            << "19.50" << QStringList({"Probe A", "Probe B", "Probe C", "Probe New"});
    }

    void Edits()
    {
        QFETCH(int, active);
        QFETCH(QString, description);
        QFETCH(QString, selection);
        QFETCH(QString, corrected);
        QFETCH(QStringList, saved);
        QVERIFY(Write_Calibration_File(Three()));
        Store_Setting("Active_Thermometer", active);
        TVelmora window;
        Edit(&window, description, {"15.5", "20.5", "25.5"});
        QCOMPARE(Selection(&window), selection);
        QCOMPARE(Text(&window, "X_Corrected_Field"), corrected);
        QVERIFY(
            Log_Lines(&window).last().startsWith(QString("INF  Updated correction data for '%1'.")
                                                     .arg(description.isNull() ? "Probe B" : description)));
        const TThermometerList list = Saved_List();
        QCOMPARE(list.Get_Descriptions(), saved);
        QCOMPARE(list.Get_Correction("Probe A").Get_Point1().y, 0.1);
        QCOMPARE(list.Get_Correction(saved[active == 0 ? 3 : active]).Get_Point1().y, 0.5);
    }

    void Refusals_Change_Nothing_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("edit cancelled") << -1;
        QTest::newRow("removal refused") << int(QMessageBox::No);
        QTest::newRow("confirmation closed") << int(QMessageBox::NoButton);
    }

    void Refusals_Change_Nothing()
    {
        QFETCH(int, answer);
        QVERIFY(Write_Calibration_File(Three()));
        const QByteArray before = Read_File(Calibration_File());
        TVelmora window;
        const QStringList log_before = Log_Lines(&window);
        if (answer < 0)
        {
            Edit(&window, "Probe Z", {}, QDate(), false);
        }
        else
        {
            Remove(&window, QMessageBox::StandardButton(answer));
        }
        QCOMPARE(Selection(&window), QString("[Probe A] Probe B Probe C"));
        QCOMPARE(Log_Lines(&window), log_before);
        QCOMPARE(Read_File(Calibration_File()), before);
    }

    void Removals()
    {
        QVERIFY(Write_Calibration_File(Three()));
        Store_Setting("Active_Thermometer", 1);
        TVelmora window;
        Remove(&window, QMessageBox::Yes);
        QCOMPARE(Selection(&window), QString("[Probe A] Probe C"));
        QCOMPARE(Text(&window, "X_Corrected_Field"), QString("19.90"));
        QCOMPARE(Log_Lines(&window).last(), QString("INF  Removed correction data for 'Probe B'."));
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList({"Probe A", "Probe C"}));

        Remove(&window, QMessageBox::Yes);
        Remove(&window, QMessageBox::Yes);
        QCOMPARE(Selection(&window), QString());
        QCOMPARE(Corrected_Texts(&window), QStringList({"-----", "-----", "-----", "-----"}));
        QVERIFY(Read_File(Calibration_File()).contains("<Calibration_Entries/>"));

        // With nothing left the box still asks, and the unchanged list is saved again.
        QVERIFY(QFile::remove(Calibration_File()));
        Remove(&window, QMessageBox::Yes);
        QCOMPARE(Log_Lines(&window).last(), QString("INF  Removed correction data for ''."));
        QVERIFY(QFile::exists(Calibration_File()));
    }

    void Damaged_File_Is_Kept_Before_The_First_Save_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("intact") << QByteArray() << QByteArray();
        QTest::newRow("checksum mismatch") << QByteArray(">Probe B<") << QByteArray(">Probe b2<");
        QTest::newRow("broken entry") << QByteArray("15.00000,0.12000") << QByteArray("15.00000");
        QTest::newRow("other version")
            << QByteArray("File_Version=\"1\"") << QByteArray("File_Version=\"2\"");
        QTest::newRow("not XML") << QByteArray("</Thermometer_Calibration_Data>") << QByteArray();
    }

    void Damaged_File_Is_Kept_Before_The_First_Save()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QVERIFY(Write_Calibration_File({Offset_Thermometer("Probe A"), Offset_Thermometer("Probe B")}));
        QByteArray damaged = Read_File(Calibration_File());
        if (!before.isEmpty())
        {
            damaged.replace(damaged.lastIndexOf(before), before.size(), after);
        }
        QVERIFY(Write_File(Calibration_File(), damaged));
        // An earlier kept copy is never overwritten.
        const QString first_copy = Data_Directory() + "/calibration_data_kept_1.xml";
        const QString second_copy = Data_Directory() + "/calibration_data_kept_2.xml";
        QVERIFY(Write_File(first_copy, "earlier"));

        TVelmora window;
        Edit(&window, "Probe X");
        QCOMPARE(Read_File(first_copy), QByteArray("earlier"));
        if (before.isEmpty())
        {
            QVERIFY(!QFile::exists(second_copy));
            return;
        }
        QCOMPARE(Read_File(second_copy), damaged);
        QVERIFY(Log_Lines(&window).contains(
            "WAR  Calibration file '" + QDir::toNativeSeparators(Calibration_File()) +
            "' did not load completely; kept it as '" + QDir::toNativeSeparators(second_copy) + "'."));
        QVERIFY(Saved_List().Get_Descriptions().contains("Probe X"));
        Edit(&window, "Probe Y");
        QVERIFY(!QFile::exists(Data_Directory() + "/calibration_data_kept_3.xml"));
    }

    void Failed_Save_Is_Reported()
    {
        TVelmora window;
        QVERIFY(QDir().mkpath(Calibration_File())); // a directory cannot be replaced by a file
        Edit(&window, "Probe 1");
        QVERIFY(Log_Lines(&window).last().startsWith("ERR  error writing file '" + Calibration_File() +
                                                     "': ERR:  "));
        QVERIFY(Log_Lines(&window).contains("INF  Updated correction data for 'Probe 1'.  Calibration Due: " +
                                            QDate::currentDate().toString("MMM dd yyyy")));
    }
};

QTEST_MAIN(TManagementTest)
#include "tst_management.moc"
