#include "velmora.h"
#include "velmoratestsupport.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace Test_Support;

Q_DECLARE_METATYPE(TThermometerCorrection)

namespace
{

TThermometerCorrection Correction(double x1, double y1, double x2, double y2, double x3, double y3)
{
    return TThermometerCorrection(TVector2(x1, y1), TVector2(x2, y2), TVector2(x3, y3));
}

QStringList Lines(const QString& report)
{
    QStringList lines = report.split('\n');
    if (lines.last().isEmpty())
    {
        lines.removeLast();
    }
    return lines;
}

} // namespace

class TReportsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir* report_directory = nullptr;

    // Answers the save dialog with file_name, or cancels it when file_name is empty; returns
    // what the dialog proposed.
    static void Answer_Save_Dialog(const QString& file_name, QString* proposed)
    {
        Answer_Next_Modal("QFileDialog",
                          [=](QWidget* modal)
                          {
                              QFileDialog* dialog = qobject_cast<QFileDialog*>(modal);
                              QVERIFY(dialog != nullptr);
                              *proposed = dialog->windowTitle() + "|" + dialog->selectedFiles().value(0) +
                                          "|" + dialog->nameFilters().join(";");
                              if (file_name.isEmpty())
                              {
                                  dialog->reject();
                                  return;
                              }
                              dialog->selectFile(file_name);
                              QMetaObject::invokeMethod(dialog, "accept");
                          });
    }

    // Answers the uncertainty dialog: the value it showed goes to shown, then value is typed
    // (unless empty) and the dialog accepted or cancelled.
    static void Answer_Input_Dialog(const QString& value, bool accept, QString* shown)
    {
        Answer_Next_Modal("TInputDialog",
                          [=](QWidget* modal)
                          {
                              QLineEdit* edit = Child<QLineEdit>(modal, "Value_Edit");
                              *shown = edit->text();
                              if (!value.isEmpty())
                              {
                                  edit->selectAll();
                                  QTest::keyClicks(edit, value);
                              }
                              if (accept)
                              {
                                  QTest::keyClick(edit, Qt::Key_Return);
                              }
                              else
                              {
                                  Child<QPushButton>(modal, "Cancel_Button")->click();
                              }
                          });
    }

    TVelmora* Create_Window(const QList<TThermometer>& thermometers)
    {
        if (!Write_Calibration_File(thermometers))
        {
            qFatal("cannot write the calibration file");
        }
        Store_Setting("Current_Path", report_directory->path());
        return new TVelmora();
    }

    static TThermometer Sample()
    {
        return {"Probe 7", QDate(2031, 12, 31), {25, 15, 20}, {25.4, 15.1, 20.2}};
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        Remove_Data_Directories();
        report_directory = new QTemporaryDir();
        QVERIFY(report_directory->isValid());
    }

    void cleanup()
    {
        delete report_directory;
        report_directory = nullptr;
    }

    void cleanupTestCase() { Remove_Data_Directories(); }

    void Corrections_Report_Tabulates_The_Span()
    {
        const QStringList lines =
            Lines(Corrections_Report("Probe 7", QDate(2031, 12, 31), Correction(25, 0.4, 15, 0.1, 20, 0.2)));
        QCOMPARE(lines.size(), 6 + 101);
        QCOMPARE(lines.mid(0, 7),
                 QStringList({"Thermometer:,Probe 7", "Calibration Due:,Dec 31 2031",
                              "Point 1:,15.0000,0.1000", "Point 2:,20.0000,0.2000", "Point 3:,25.0000,0.4000",
                              "Reference C,Corrected C,Deviation C", "15.0000,14.9000,-0.1"}));
        QCOMPARE(lines[6 + 70], QString("22.0000,21.7320,-0.268"));
        QCOMPARE(lines.last(), QString("25.0000,24.6000,-0.4"));
    }

    void Corrections_Report_Range_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("widened to whole degrees")
            << Correction(15.3, 0, 20, 0, 24.2, 0) << 101 << "15.0000,15.0000,0"
            << "25.0000,25.0000,0";
        QTest::newRow("one whole number") << Correction(20, 0.1, 20, 0.1, 20, 0.1) << 1 << "20.0000,20.0000,0"
                                          << "20.0000,20.0000,0";
        QTest::newRow("negative") << Correction(-2, 0, 0, 0, 1.5, 0) << 41 << "-2.0000,-2.0000,0"
                                  << "2.0000,2.0000,0";
    }

    void Corrections_Report_Range()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(int, rows);
        QFETCH(QString, first);
        QFETCH(QString, last);
        const QStringList lines = Lines(Corrections_Report("T", QDate(2030, 1, 2), correction));
        QCOMPARE(lines.size(), 6 + rows);
        QCOMPARE(lines[6], first);
        QCOMPARE(lines.last(), last);
    }

    void Report_Headers_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QDate>("due_date");
        QTest::addColumn<QString>("thermometer_line");
        QTest::addColumn<QString>("due_field");
        QTest::newRow("null date") << "T" << QDate() << "Thermometer:,T"
                                   << "";
        QTest::newRow("empty selector") << "" << QDate(2030, 1, 2) << "Thermometer:,"
                                        << "Jan 02 2030";
        QTest::newRow("comma and quote")
            << "Probe 3, \"spare\"" << QDate(2030, 1, 2) << "Thermometer:,\"Probe 3, \"\"spare\"\"\""
            << "Jan 02 2030";
    }

    void Report_Headers()
    {
        QFETCH(QString, description);
        QFETCH(QDate, due_date);
        QFETCH(QString, thermometer_line);
        QFETCH(QString, due_field);
        const TThermometerCorrection correction;
        const QStringList corrections = Lines(Corrections_Report(description, due_date, correction));
        QCOMPARE(corrections[0], thermometer_line);
        QCOMPARE(corrections[1], "Calibration Due:," + due_field);
        const QStringList uncertainty = Lines(Uncertainty_Report(description, due_date, correction, 0.04));
        QCOMPARE(uncertainty[0], thermometer_line);
        QCOMPARE(uncertainty[1], "Calibration Due:," + due_field + ",,,Temp. C ->");
    }

    void Uncertainty_Report_Has_57_Sets()
    {
        const TThermometerCorrection correction = Correction(15, 0.1, 20, 0.2, 25, 0.4);
        const QStringList lines = Lines(Uncertainty_Report("Probe 7", QDate(2031, 12, 31), correction, 0.04));
        QCOMPARE(lines.size(), 3 + 57);
        QCOMPARE(lines[2],
                 QString("Set,Offset 1,Offset 2,Offset 3,15.0000,16.0000,17.0000,18.0000,19.0000,20.0000,"
                         "21.0000,22.0000,23.0000,24.0000,25.0000"));

        QStringList sets;
        for (int line = 3; line < lines.size(); ++line)
        {
            const QStringList fields = lines[line].split(',');
            QCOMPARE(fields.size(), 4 + 11);
            sets << fields[0];
        }
        QStringList expected;
        for (int set = 0; set < 64; ++set)
        {
            if (set == 0 || set % 8 != 0)
            {
                expected << QString::number(set);
            }
        }
        QCOMPARE(sets, expected);

        // Set 0 is the plain correction: 22 is corrected to 21.7320 as in the corrections report.
        QVERIFY(lines[3].startsWith("0,0.000,0.000,0.000,14.9000,"));
        QCOMPARE(lines[3].split(',')[4 + 7], QString("21.7320"));
        QVERIFY(lines[4].startsWith("1,0.040,0.000,0.000,"));
        QVERIFY(lines[5].startsWith("2,0.000,0.040,0.000,"));
        QVERIFY(lines[10].startsWith("7,0.040,0.040,0.040,"));
        QVERIFY(lines[11].startsWith("9,-0.040,0.000,0.000,"));
        QVERIFY(lines.last().startsWith("63,-0.040,-0.040,-0.040,"));
        // Shifting every point up by u lowers every corrected value by u.
        QCOMPARE(lines[10].split(',')[4 + 7], QString("21.6920"));
        // Sign bits of points that are not shifted change nothing.
        QCOMPARE(lines[5].split(',').mid(1), lines[12].split(',').mid(1));
    }

    void Uncertainty_Report_Degenerate_Cases_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<double>("uncertainty");
        QTest::addColumn<bool>("equal_to_temperature");
        QTest::newRow("no uncertainty") << Correction(15, 0.1, 20, 0.2, 25, 0.4) << 0.0 << false;
        QTest::newRow("span below one degree") << Correction(20, 0.1, 20.4, 0.2, 20.9, 0.4) << 0.04 << true;
    }

    void Uncertainty_Report_Degenerate_Cases()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(double, uncertainty);
        QFETCH(bool, equal_to_temperature);
        const QStringList lines = Lines(Uncertainty_Report("T", QDate(2030, 1, 2), correction, uncertainty));
        const QStringList temperatures = lines[2].split(',').mid(4);
        const QStringList set_zero = lines[3].split(',').mid(4);
        for (int line = 3; line < lines.size(); ++line)
        {
            const QStringList values = lines[line].split(',').mid(4);
            QCOMPARE(values, equal_to_temperature ? temperatures : set_zero);
        }
    }

    void Uncertainty_Report_Range_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("columns");
        QTest::newRow("15.5 to 24.5") << Correction(15.5, 0, 20, 0, 24.5, 0) << "15.0000"
                                      << "25.0000" << 11;
        QTest::newRow("10 to 30") << Correction(10, 0, 20, 0, 30, 0) << "10.0000"
                                  << "30.0000" << 21;
    }

    void Uncertainty_Report_Range()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(int, columns);
        const QStringList temperatures =
            Lines(Uncertainty_Report("T", QDate(), correction, 0.04))[2].split(',').mid(4);
        QCOMPARE(temperatures.size(), columns);
        QCOMPARE(temperatures.first(), first);
        QCOMPARE(temperatures.last(), last);
    }

    void Unusable_Ranges_Are_Refused_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<bool>("usable");
        QTest::newRow("calibration range") << Correction(-50, 0, 100, 0, 500, 0) << true;
        QTest::newRow("far apart") << Correction(0, 0, 1, 0, 1e9, 0) << false;
        QTest::newRow("far out") << Correction(1e17, 0, 1e17, 0, 1e17 + 64, 0) << false;
        QTest::newRow("infinite") << Correction(0, 0, 1, 0, qInf(), 0) << false;
    }

    void Unusable_Ranges_Are_Refused()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(bool, usable);
        QString error;
        QCOMPARE(Is_Evaluation_Range_Usable(correction, &error), usable);
        QCOMPARE(error.startsWith("ERR  "), !usable);
    }

    void Corrections_Report_Is_Written_From_The_Window()
    {
        std::unique_ptr<TVelmora> window(Create_Window({Sample()}));
        const QString file_name = report_directory->path() + "/bench.csv";
        QString proposed;
        Answer_Save_Dialog(file_name, &proposed);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Corrections"));

        QCOMPARE(proposed,
                 QString("Save File|%1/evaluation.csv|CSV data (*.csv *.txt)").arg(report_directory->path()));
        QCOMPARE(Read_File(file_name),
                 Corrections_Report("Probe 7", QDate(2031, 12, 31), Correction(15, 0.1, 20, 0.2, 25, 0.4))
                     .toLatin1());
        QCOMPARE(Log_Lines(window.get()).last(), QString("INF  Evaluation file written."));
    }

    void Uncertainty_Report_Is_Written_From_The_Window()
    {
        std::unique_ptr<TVelmora> window(Create_Window({Sample()}));
        const QString file_name = report_directory->path() + "/u.csv";
        QString shown;
        QString proposed;
        Answer_Input_Dialog("0.1", true, &shown);
        Answer_Save_Dialog(file_name, &proposed);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Uncertainty"));

        QCOMPARE(shown, QString("0.04"));
        QCOMPARE(
            proposed,
            QString("Save File|%1/uncertainty.csv|CSV data (*.csv *.txt)").arg(report_directory->path()));
        QCOMPARE(Read_File(file_name), Uncertainty_Report("Probe 7", QDate(2031, 12, 31),
                                                          Correction(15, 0.1, 20, 0.2, 25, 0.4), 0.1)
                                           .toLatin1());
        QCOMPARE(Log_Lines(window.get()).last(), QString("INF  Uncertainty file written."));

        // The next run offers the value last shown.
        Answer_Input_Dialog(QString(), false, &shown);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Uncertainty"));
        QCOMPARE(shown, QString("0.1"));
    }

    void Cancelled_Dialogs_Write_Nothing()
    {
        std::unique_ptr<TVelmora> window(Create_Window({Sample()}));
        const QStringList log_before = Log_Lines(window.get());
        QString ignored;

        Answer_Save_Dialog(QString(), &ignored);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Corrections"));
        Answer_Input_Dialog(QString(), false, &ignored);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Uncertainty"));
        Answer_Input_Dialog(QString(), true, &ignored);
        Answer_Save_Dialog(QString(), &ignored);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Uncertainty"));

        QCOMPARE(Log_Lines(window.get()), log_before);
        QCOMPARE(QDir(report_directory->path()).entryList(QDir::Files), QStringList());
    }

    void Failed_Report_Write_Is_Reported()
    {
        std::unique_ptr<TVelmora> window(Create_Window({Sample()}));
        const QString file_name = report_directory->path() + "/bench.csv";
        QString proposed;
        Answer_Save_Dialog(file_name, &proposed);

        With_File_Size_Limit(100, [&]()
                             { QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Corrections")); });

        const QString last = Log_Lines(window.get()).last();
        QVERIFY2(last.startsWith(QString("ERR  Evaluation file '%1' was not written completely")
                                     .arg(QDir::toNativeSeparators(file_name))),
                 qPrintable(last));
    }

    void Unusable_Range_Writes_No_File()
    {
        std::unique_ptr<TVelmora> window(
            Create_Window({TThermometer{"Wide", QDate(2031, 1, 1), {0, 1, 5e6}, {0, 1, 5e6}}}));
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Corrections"));
        QVERIFY(Log_Lines(window.get())
                    .last()
                    .startsWith("ERR  Cannot evaluate the temperature range 0 to 5e+06"));
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Evaluate_Uncertainty"));
        QVERIFY(Log_Lines(window.get())
                    .last()
                    .startsWith("ERR  Cannot evaluate the temperature range 0 to 5e+06"));
        QCOMPARE(QDir(report_directory->path()).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TReportsTest)
#include "tst_reports.moc"
