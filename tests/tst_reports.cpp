#include "velmora.h"
#include "velmoratestsupport.h"

#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Test_Support;

Q_DECLARE_METATYPE(TThermometerCorrection)

namespace
{

TThermometerCorrection Correction(double x1, double y1, double x2, double y2, double x3, double y3)
{
    return TThermometerCorrection(TVector2(x1, y1), TVector2(x2, y2), TVector2(x3, y3));
}

const TThermometerCorrection Sample = Correction(15, 0.1, 20, 0.2, 25, 0.4);

QStringList Lines(const QString& report)
{
    return report.split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TReportsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> report_directory;
    std::unique_ptr<TVelmora> window;

    // Answers the save dialog with file_name, or cancels it when file_name is empty; proposed
    // receives the caption, the proposed file and the filter.
    void Answer_Save_Dialog(const QString& file_name, QString* proposed = nullptr)
    {
        Answer_Next_Modal("QFileDialog", [=](QWidget* modal) {
            QFileDialog* dialog = qobject_cast<QFileDialog*>(modal);
            if (proposed != nullptr)
            {
                *proposed = dialog->windowTitle() + "|" + dialog->selectedFiles().value(0) + "|" +
                            dialog->nameFilters().join(";");
            }
            dialog->selectFile(file_name);
            QMetaObject::invokeMethod(dialog, file_name.isEmpty() ? "reject" : "accept");
        });
    }

    // Answers the uncertainty dialog: shown receives the value it offered; value (unless empty) is
    // typed, then Return accepts or Cancel refuses.
    void Answer_Input_Dialog(const QString& value, bool accept, QString* shown = nullptr)
    {
        Answer_Next_Modal("TInputDialog", [=](QWidget* modal) {
            QLineEdit* edit = Child<QLineEdit>(modal, "Value_Edit");
            if (shown != nullptr)
            {
                *shown = edit->text();
            }
            if (!value.isEmpty())
            {
                edit->selectAll();
                QTest::keyClicks(edit, value);
            }
            accept ? QTest::keyClick(edit, Qt::Key_Return)
                   : Child<QPushButton>(modal, "Cancel_Button")->click();
        });
    }

    // Probe 7 with deviations 0.1, 0.2, 0.4 at 15, 20, 25 unless other references are given.
    void Create_Window(const QList<double>& references = {15, 20, 25})
    {
        QVERIFY(Write_Calibration_File({{"Probe 7",
                                         QDate(2031, 12, 31),
                                         {references[2], references[0], references[1]},
                                         {references[2] + 0.4, references[0] + 0.1, references[1] + 0.2}}}));
        Store_Setting("Current_Path", report_directory->path());
        window.reset(new TVelmora());
    }

    void Run(const char* slot) { QVERIFY(QMetaObject::invokeMethod(window.get(), slot)); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        Remove_Data_Directories();
        report_directory.reset(new QTemporaryDir());
    }
    void cleanup() { window.reset(); }
    void cleanupTestCase() { Remove_Data_Directories(); }

    void Corrections_Report()
    {
        const QStringList lines = Lines(::Corrections_Report("Probe 7", QDate(2031, 12, 31), Sample));
        QCOMPARE(lines.size(), 6 + 101);
        QCOMPARE(lines.mid(0, 7),
                 QStringList({"Thermometer:,Probe 7", "Calibration Due:,Dec 31 2031",
                              "Point 1:,15.0000,0.1000", "Point 2:,20.0000,0.2000", "Point 3:,25.0000,0.4000",
                              "Reference C,Corrected C,Deviation C", "15.0000,14.9000,-0.1"}));
        QCOMPARE(lines[6 + 70], QString("22.0000,21.7320,-0.268"));
        QCOMPARE(lines.last(), QString("25.0000,24.6000,-0.4"));

        // A null date leaves its field empty; a comma or quote in the description is quoted.
        const QString odd = "Probe 3, \"spare\"";
        QCOMPARE(Lines(::Corrections_Report(odd, QDate(), Sample)).mid(0, 2),
                 QStringList({"Thermometer:,\"Probe 3, \"\"spare\"\"\"", "Calibration Due:,"}));
        QCOMPARE(Lines(::Uncertainty_Report(odd, QDate(), Sample, 0.04)).mid(0, 2),
                 QStringList({"Thermometer:,\"Probe 3, \"\"spare\"\"\"", "Calibration Due:,,,,Temp. C ->"}));
    }

    void Report_Ranges_data()
    {
        QTest::addColumn<TThermometerCorrection>("correction");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("rows");
        QTest::newRow("widened to whole degrees") << Correction(15.3, 0, 20, 0, 24.2, 0) << "15"
                                                  << "25" << 101;
        QTest::newRow("one whole number") << Correction(20, 0.1, 20, 0.1, 20, 0.1) << "20"
                                          << "20" << 1;
        QTest::newRow("10 to 30") << Correction(10, 0, 20, 0, 30, 0) << "10"
                                  << "30" << 201;
        QTest::newRow("below zero") << Correction(-2, 0, 0, 0, 1.5, 0) << "-2"
                                    << "2" << 41;
    }

    void Report_Ranges()
    {
        QFETCH(TThermometerCorrection, correction);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(int, rows);
        const QStringList corrections = Lines(::Corrections_Report("T", QDate(), correction));
        QCOMPARE(corrections.size(), 6 + rows);
        QCOMPARE(corrections[6], first + ".0000," + first + ".0000,0");
        QCOMPARE(corrections.last(), last + ".0000," + last + ".0000,0");
        const QStringList temperatures =
            Lines(::Uncertainty_Report("T", QDate(), correction, 0.04))[2].split(',').mid(4);
        QCOMPARE(temperatures.size(), (rows - 1) / 10 + 1);
        QCOMPARE(temperatures.first(), first + ".0000");
        QCOMPARE(temperatures.last(), last + ".0000");
    }

    void Uncertainty_Report()
    {
        const QStringList lines = Lines(::Uncertainty_Report("Probe 7", QDate(2031, 12, 31), Sample, 0.04));
        QCOMPARE(lines.size(), 3 + 57);
        QVERIFY(lines[2].startsWith("Set,Offset 1,Offset 2,Offset 3,15.0000,16.0000,"));
        QMap<int, QStringList> sets;
        for (const QString& line : lines.mid(3))
        {
            const QStringList fields = line.split(',');
            QCOMPARE(fields.size(), 4 + 11);
            sets[fields[0].toInt()] = fields.mid(1);
        }
        QList<int> expected;
        for (int set = 0; set < 64; ++set)
        {
            if (set == 0 || set % 8 != 0)
            {
                expected << set;
            }
        }
        QCOMPARE(sets.keys(), expected);
        // Set 0 is the correction itself; set 7 shifts every point by +u, so 22 comes out u lower.
        QCOMPARE(sets[0].mid(0, 4), QStringList({"0.000", "0.000", "0.000", "14.9000"}));
        QCOMPARE(sets[0][3 + 7], QString("21.7320"));
        QCOMPARE(sets[7].mid(0, 3), QStringList({"0.040", "0.040", "0.040"}));
        QCOMPARE(sets[7][3 + 7], QString("21.6920"));
        QCOMPARE(sets[9].mid(0, 3), QStringList({"-0.040", "0.000", "0.000"}));
        QCOMPARE(sets[63].mid(0, 3), QStringList({"-0.040", "-0.040", "-0.040"}));
        // Sign bits of points that are not shifted change nothing.
        QCOMPARE(sets[2], sets[10]);

        for (const QString& line : Lines(::Uncertainty_Report("T", QDate(), Sample, 0.0)).mid(3))
        {
            QCOMPARE(line.split(',').mid(4), lines[3].split(',').mid(4));
        }
        const QStringList narrow =
            Lines(::Uncertainty_Report("T", QDate(), Correction(20, 0.1, 20.4, 0.2, 20.9, 0.4), 0.04));
        for (const QString& line : narrow.mid(3))
        {
            QCOMPARE(line.split(',').mid(4), narrow[2].split(',').mid(4)); // values equal their temperatures
        }
    }

    void Reports_Are_Written_From_The_Window()
    {
        Create_Window();
        const QString folder = report_directory->path();
        QString proposed;
        Answer_Save_Dialog(folder + "/e.csv", &proposed);
        Run("Evaluate_Corrections");
        QCOMPARE(proposed, "Save File|" + folder + "/evaluation.csv|CSV data (*.csv *.txt)");
        QCOMPARE(Read_File(folder + "/e.csv"),
                 ::Corrections_Report("Probe 7", QDate(2031, 12, 31), Sample).toLatin1());
        QCOMPARE(Log_Lines(window.get()).last(), QString("INF  Evaluation file written."));

        QString shown;
        Answer_Input_Dialog("0.1", true, &shown);
        Answer_Save_Dialog(folder + "/u.csv", &proposed);
        Run("Evaluate_Uncertainty");
        QCOMPARE(shown, QString("0.04"));
        QCOMPARE(proposed, "Save File|" + folder + "/uncertainty.csv|CSV data (*.csv *.txt)");
        QCOMPARE(Read_File(folder + "/u.csv"),
                 ::Uncertainty_Report("Probe 7", QDate(2031, 12, 31), Sample, 0.1).toLatin1());
        QCOMPARE(Log_Lines(window.get()).last(), QString("INF  Uncertainty file written."));

        // Cancelling any dialog writes and logs nothing; the next run offers the value last shown.
        const QStringList log_before = Log_Lines(window.get());
        Answer_Save_Dialog(QString());
        Run("Evaluate_Corrections");
        Answer_Input_Dialog(QString(), false, &shown);
        Run("Evaluate_Uncertainty");
        QCOMPARE(shown, QString("0.1"));
        Answer_Input_Dialog(QString(), true);
        Answer_Save_Dialog(QString());
        Run("Evaluate_Uncertainty");
        QCOMPARE(Log_Lines(window.get()), log_before);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({"e.csv", "u.csv"}));
    }

    void Failed_Report_Write_Is_Reported()
    {
        Create_Window();
        const QString file_name = report_directory->path() + "/e.csv";
        Answer_Save_Dialog(file_name);
        With_File_Size_Limit(100, [&]() { Run("Evaluate_Corrections"); });
        QVERIFY(Log_Lines(window.get())
                    .last()
                    .startsWith("ERR  Evaluation file '" + QDir::toNativeSeparators(file_name) +
                                "' was not written completely"));
    }

    void Unusable_Range_Opens_No_Dialog()
    {
        QString error;
        QVERIFY(Is_Evaluation_Range_Usable(Correction(-50, 0, 100, 0, 500, 0), &error));
        // Far from zero a step of 0.1 no longer moves t: the report would never end.
        QVERIFY(!Is_Evaluation_Range_Usable(Correction(1e17, 0, 1e17, 0, 1e17 + 64, 0), &error));
        QVERIFY(!Is_Evaluation_Range_Usable(Correction(0, 0, 1, 0, qInf(), 0), &error));

        Create_Window({0, 1, 5e6});
        Run("Evaluate_Corrections");
        QVERIFY(Log_Lines(window.get())
                    .last()
                    .startsWith("ERR  Cannot evaluate the temperature range 0 to 5e+06"));
        Run("Evaluate_Uncertainty");
        QVERIFY(Log_Lines(window.get())
                    .last()
                    .startsWith("ERR  Cannot evaluate the temperature range 0 to 5e+06"));
        QCOMPARE(QDir(report_directory->path()).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TReportsTest)
#include "tst_reports.moc"
