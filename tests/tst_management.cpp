#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace Test_Support;

// Adding, changing and removing thermometers from the main window.
class TManagementTest : public QObject
{
    Q_OBJECT

private:
    struct TEdit
    {
        QString description;                 // typed when not null
        QMap<QString, QString> temperatures; // edit object name -> text
        QDate due_date;                      // set when valid
        bool accept = true;
    };

    // What the Correction Editor showed when it opened.
    struct TShown
    {
        QString description;
        QDate due_date;
        QStringList temperatures;
        bool accept_enabled = true;
    };

    static const QStringList Temperature_Edits;

    static TShown Edit(QWidget* window, const TEdit& edit)
    {
        TShown shown;
        Answer_Next_Modal(
            "TCorrectionDialog",
            [&](QWidget* modal)
            {
                shown.description = Child<QLineEdit>(modal, "Description_Edit")->text();
                shown.due_date = Child<QDateEdit>(modal, "Calibration_Due_Date_Edit")->date();
                for (const QString& name : Temperature_Edits)
                {
                    shown.temperatures << Child<QLineEdit>(modal, qPrintable(name))->text();
                }
                QPushButton* accept_button = Child<QPushButton>(modal, "Accept_Button");
                shown.accept_enabled = accept_button->isEnabled();
                if (!edit.description.isNull())
                {
                    QLineEdit* description = Child<QLineEdit>(modal, "Description_Edit");
                    description->clear();
                    QTest::keyClicks(description, edit.description);
                    QTest::keyClick(description, Qt::Key_Return);
                }
                for (auto it = edit.temperatures.cbegin(); it != edit.temperatures.cend(); ++it)
                {
                    QLineEdit* field = Child<QLineEdit>(modal, qPrintable(it.key()));
                    field->clear();
                    QTest::keyClicks(field, it.value());
                    QTest::keyClick(field, Qt::Key_Return);
                }
                if (edit.due_date.isValid())
                {
                    Child<QDateEdit>(modal, "Calibration_Due_Date_Edit")->setDate(edit.due_date);
                }
                if (edit.accept && accept_button->isEnabled())
                {
                    accept_button->click();
                }
                else
                {
                    Child<QPushButton>(modal, "Cancel_Button")->click();
                }
            });
        [&]() { QVERIFY(QMetaObject::invokeMethod(window, "Edit_Thermometer")); }();
        return shown;
    }

    static void Remove(QWidget* window, QMessageBox::StandardButton answer, QString* shown_text = nullptr)
    {
        Answer_Next_Modal("QMessageBox",
                          [=](QWidget* modal)
                          {
                              QMessageBox* box = qobject_cast<QMessageBox*>(modal);
                              QVERIFY(box != nullptr);
                              if (shown_text != nullptr)
                              {
                                  *shown_text = box->text() + "|" + box->informativeText();
                              }
                              QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
                              if (answer == QMessageBox::NoButton)
                              {
                                  box->close();
                              }
                              else
                              {
                                  box->button(answer)->click();
                              }
                          });
        QVERIFY(QMetaObject::invokeMethod(window, "Remove_Thermometer"));
    }

    static QStringList Items(QWidget* window)
    {
        QComboBox* selector = Child<QComboBox>(window, "Thermometer_Selector");
        QStringList items;
        for (int index = 0; index < selector->count(); ++index)
        {
            items << selector->itemText(index);
        }
        return items;
    }

    static int Current_Index(QWidget* window)
    {
        return Child<QComboBox>(window, "Thermometer_Selector")->currentIndex();
    }

    static QString Corrected_X(QWidget* window)
    {
        return Child<QLineEdit>(window, "X_Corrected_Field")->text();
    }

    static TThermometerList Saved_List()
    {
        TThermometerList list;
        if (!list.Load_Calibration_File(Calibration_File()))
        {
            qWarning("%s", qPrintable(list.Get_Last_Error()));
        }
        return list;
    }

    static QString Date_Text(const QDate& date) { return date.toString("MMM dd yyyy"); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init() { Remove_Data_Directories(); }

    void cleanupTestCase() { Remove_Data_Directories(); }

    void First_Thermometer_Is_Added_From_Nothing()
    {
        TVelmora window;
        const QDate due = QDate::currentDate().addMonths(6);
        const TShown shown = Edit(&window, {"Probe 1", {{"Thermometer_Reading2_Edit", "20.12"}}, due});

        QCOMPARE(shown.description, QString());
        QCOMPARE(shown.due_date, QDate::currentDate());
        QCOMPARE(shown.temperatures, QStringList({"15.00", "15.00", "20.00", "20.00", "25.00", "25.00"}));
        QVERIFY(!shown.accept_enabled);

        QCOMPARE(Items(&window), QStringList({"Probe 1"}));
        QCOMPARE(Current_Index(&window), 0);
        QCOMPARE(
            Log_Lines(&window).last(),
            QString("INF  Updated correction data for 'Probe 1'.  Calibration Due: %1").arg(Date_Text(due)));
        // Deviations 0, 0.12 and 0 at 15, 20 and 25: a reading of 20 is corrected to 19.88.
        QCOMPARE(Corrected_X(&window), QString("19.88"));

        const TThermometerList saved = Saved_List();
        QCOMPARE(saved.Get_Descriptions(), QStringList({"Probe 1"}));
        QCOMPARE(saved.Get_Calibration_Due_Date("Probe 1"), due);
        QCOMPARE(saved.Get_Correction("Probe 1").Get_Point2().y, 0.12);
    }

    void Cancelled_Edit_Changes_Nothing()
    {
        QVERIFY(Write_Calibration_File({Offset_Thermometer("Probe A")}));
        const QByteArray before = Read_File(Calibration_File());
        TVelmora window;
        const QStringList log_before = Log_Lines(&window);
        TEdit edit{"Probe Z", {}, {}};
        edit.accept = false;
        Edit(&window, edit);
        QCOMPARE(Items(&window), QStringList({"Probe A"}));
        QCOMPARE(Log_Lines(&window), log_before);
        QCOMPARE(Read_File(Calibration_File()), before);
    }

    void Selected_Thermometer_Is_Edited_In_Place()
    {
        QVERIFY(
            Write_Calibration_File({Offset_Thermometer("Probe A", 0.1), Offset_Thermometer("Probe B", 0.2),
                                    Offset_Thermometer("Probe C", 0.3)}));
        Store_Setting("Active_Thermometer", 1);
        TVelmora window;
        QCOMPARE(Corrected_X(&window), QString("19.80"));

        const TShown shown = Edit(&window, {QString(),
                                            {{"Thermometer_Reading1_Edit", "15.5"},
                                             {"Thermometer_Reading2_Edit", "20.5"},
                                             {"Thermometer_Reading3_Edit", "25.5"}},
                                            {}});
        QCOMPARE(shown.description, QString("Probe B"));
        QCOMPARE(shown.temperatures, QStringList({"15.00", "15.20", "20.00", "20.20", "25.00", "25.20"}));

        QCOMPARE(Items(&window), QStringList({"Probe A", "Probe B", "Probe C"}));
        QCOMPARE(Current_Index(&window), 1);
        QCOMPARE(Corrected_X(&window), QString("19.50"));
        QCOMPARE(Saved_List().Get_Correction("Probe B").Get_Point1().y, 0.5);
        QCOMPARE(Saved_List().Get_Correction("Probe A").Get_Point1().y, 0.1);
    }

    void Letter_Case_Change_Keeps_The_Thermometer_Selected()
    {
        QVERIFY(
            Write_Calibration_File({Offset_Thermometer("Probe A", 0.1), Offset_Thermometer("Probe B", 0.2),
                                    Offset_Thermometer("Probe C", 0.3)}));
        Store_Setting("Active_Thermometer", 2);
        TVelmora window;
        Edit(&window, {"probe c", {{"Thermometer_Reading2_Edit", "20.4"}}, {}});

        QCOMPARE(Items(&window), QStringList({"Probe A", "Probe B", "Probe C"}));
        QCOMPARE(Current_Index(&window), 2);
        QCOMPARE(Child<QComboBox>(&window, "Thermometer_Selector")->currentText(), QString("Probe C"));
        QVERIFY(Log_Lines(&window).last().startsWith("INF  Updated correction data for 'probe c'."));
        QCOMPARE(Saved_List().Get_Correction("Probe C").Get_Point2().y, 0.4);
    }

    void New_Description_Adds_A_Thermometer()
    {
        QVERIFY(Write_Calibration_File({Offset_Thermometer("Probe A", 0.1)}));
        TVelmora window;
        Edit(&window, {"Probe New",
                       {{"Thermometer_Reading1_Edit", "15.3"},
                        {"Thermometer_Reading2_Edit", "20.3"},
                        {"Thermometer_Reading3_Edit", "25.3"}},
                       QDate::currentDate().addDays(1)});

        QCOMPARE(Items(&window), QStringList({"Probe A", "Probe New"}));
        QCOMPARE(Current_Index(&window), 1);
        QCOMPARE(Corrected_X(&window), QString("19.70"));
        const TThermometerList saved = Saved_List();
        QCOMPARE(saved.Get_Descriptions(), QStringList({"Probe A", "Probe New"}));
        QCOMPARE(saved.Get_Correction("Probe A").Get_Point1().y, 0.1);
    }

    void Refused_Removal_Changes_Nothing_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("No") << int(QMessageBox::No);
        QTest::newRow("closed") << int(QMessageBox::NoButton);
    }

    void Refused_Removal_Changes_Nothing()
    {
        QFETCH(int, answer);
        QVERIFY(Write_Calibration_File({Offset_Thermometer("Probe A")}));
        const QByteArray before = Read_File(Calibration_File());
        TVelmora window;
        const QStringList log_before = Log_Lines(&window);
        QString shown;
        Remove(&window, QMessageBox::StandardButton(answer), &shown);
        QVERIFY(shown.contains("Remove Thermometer"));
        QVERIFY(shown.contains("Are you sure you want to delete the current thermometer?"));
        QCOMPARE(Items(&window), QStringList({"Probe A"}));
        QCOMPARE(Log_Lines(&window), log_before);
        QCOMPARE(Read_File(Calibration_File()), before);
    }

    void Removal_Selects_The_First_Remaining()
    {
        QVERIFY(
            Write_Calibration_File({Offset_Thermometer("Probe A", 0.1), Offset_Thermometer("Probe B", 0.2),
                                    Offset_Thermometer("Probe C", 0.3)}));
        Store_Setting("Active_Thermometer", 0);
        TVelmora window;
        Remove(&window, QMessageBox::Yes);

        QCOMPARE(Items(&window), QStringList({"Probe B", "Probe C"}));
        QCOMPARE(Current_Index(&window), 0);
        QCOMPARE(Corrected_X(&window), QString("19.80"));
        QCOMPARE(Log_Lines(&window).last(), QString("INF  Removed correction data for 'Probe A'."));
        QCOMPARE(Saved_List().Get_Descriptions(), QStringList({"Probe B", "Probe C"}));
    }

    void Removing_The_Last_Leaves_Nothing()
    {
        QVERIFY(Write_Calibration_File({Offset_Thermometer("Probe A")}));
        TVelmora window;
        Remove(&window, QMessageBox::Yes);
        QCOMPARE(Items(&window), QStringList());
        for (const char* name :
             {"X_Corrected_Field", "Y_Corrected_Field", "Z_Corrected_Field", "Part_Corrected_Field"})
        {
            QCOMPARE(Child<QLineEdit>(&window, name)->text(), QString("-----"));
        }
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
        QTest::newRow("checksum mismatch") << QByteArray("<Description>Probe B</Description>")
                                           << QByteArray("<Description>Probe b2</Description>");
        QTest::newRow("broken entry") << QByteArray("15.00000,0.12000") << QByteArray("15.00000");
        QTest::newRow("other version")
            << QByteArray("File_Version=\"1\"") << QByteArray("File_Version=\"2\"");
        QTest::newRow("not XML") << QByteArray("</Thermometer_Calibration_Data>") << QByteArray("");
    }

    void Damaged_File_Is_Kept_Before_The_First_Save()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QVERIFY(Write_Calibration_File({Offset_Thermometer("Probe A"), Offset_Thermometer("Probe B")}));
        QByteArray damaged = Read_File(Calibration_File());
        damaged.replace(damaged.lastIndexOf(before), before.size(), after);
        {
            QFile file(Calibration_File());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(damaged), qint64(damaged.size()));
        }
        // An earlier kept copy is never overwritten.
        const QString first_copy = Data_Directory() + "/calibration_data_kept_1.xml";
        const QString second_copy = Data_Directory() + "/calibration_data_kept_2.xml";
        {
            QFile earlier(first_copy);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            QCOMPARE(earlier.write("earlier"), qint64(7));
        }

        TVelmora window;
        Edit(&window, {"Probe X", {}, {}});
        QCOMPARE(Read_File(first_copy), QByteArray("earlier"));
        QCOMPARE(Read_File(second_copy), damaged);
        QVERIFY(Log_Lines(&window).contains(
            QString("WAR  Calibration file '%1' did not load completely; kept it as '%2'.")
                .arg(QDir::toNativeSeparators(Calibration_File()), QDir::toNativeSeparators(second_copy))));
        QVERIFY(Saved_List().Get_Descriptions().contains("Probe X"));

        // Only the first save keeps a copy.
        Edit(&window, {"Probe Y", {}, {}});
        QVERIFY(!QFile::exists(Data_Directory() + "/calibration_data_kept_3.xml"));
    }

    void Intact_File_Is_Not_Kept()
    {
        QVERIFY(Write_Calibration_File({Offset_Thermometer("Probe A")}));
        TVelmora window;
        Edit(&window, {"Probe X", {}, {}});
        QVERIFY(!QFile::exists(Data_Directory() + "/calibration_data_kept_1.xml"));
    }

    void Failed_Save_Is_Reported()
    {
        TVelmora window;
        // A directory where the file belongs cannot be replaced by a file.
        QVERIFY(QDir().mkpath(Calibration_File()));
        Edit(&window, {"Probe 1", {}, {}});
        const QString last = Log_Lines(&window).last();
        QVERIFY2(last.startsWith(QString("ERR  error writing file '%1': ERR:  ").arg(Calibration_File())),
                 qPrintable(last));
        QVERIFY(Log_Lines(&window).contains(
            QString("INF  Updated correction data for 'Probe 1'.  Calibration Due: %1")
                .arg(Date_Text(QDate::currentDate()))));
    }
};

const QStringList TManagementTest::Temperature_Edits = {
    "Reference_Temperature1_Edit", "Thermometer_Reading1_Edit",   "Reference_Temperature2_Edit",
    "Thermometer_Reading2_Edit",   "Reference_Temperature3_Edit", "Thermometer_Reading3_Edit"};

QTEST_MAIN(TManagementTest)
#include "tst_management.moc"
