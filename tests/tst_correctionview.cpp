#include "correctionview.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDomDocument>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QScatterSeries>
#include <QtTest>

#include <algorithm>

using namespace Test_Support;

namespace
{
TCorrectionView* Open_View(TVelmora* window)
{
    QAction* action = window->menuBar()->actions().value(2)->menu()->actions().value(0);
    action->trigger();
    return Child<TCorrectionView>(window, "Correction_View");
}

// As the operator picks a thermometer: the selector changes, then reports the choice.
void Select(TVelmora* window, int index)
{
    QComboBox* selector = Child<QComboBox>(window, "Thermometer_Selector");
    selector->setCurrentIndex(index);
    QMetaObject::invokeMethod(selector, "activated", Q_ARG(int, index));
}

QStringList Reading_Labels(QChart* chart)
{
    QStringList labels;
    for (QAbstractSeries* series : chart->series())
    {
        QScatterSeries* scatter = qobject_cast<QScatterSeries*>(series);
        if (scatter != nullptr && scatter->pointLabelsVisible())
        {
            labels << scatter->pointLabelsFormat();
        }
    }
    return labels;
}

bool Has_Band(QChart* chart, const QString& name)
{
    const QList<QAbstractSeries*> series = chart->series();
    return std::any_of(series.begin(), series.end(), [&name](QAbstractSeries* one) {
        return qobject_cast<QAreaSeries*>(one) != nullptr && one->name() == name;
    });
}

TCorrectionViewData Probe_7()
{
    TCorrectionViewData data;
    data.has_thermometer = true;
    data.description = "Probe 7";
    data.due_date = QDate(2031, 12, 31);
    data.state = "in calibration";
    data.correction = TThermometerCorrection(TVector2(15, 0.1), TVector2(20, 0.2), TVector2(25, 0.4));
    data.readings = {{"X", 20.5, "20.30"}, {"Part", 23.0, "22.70"}};
    return data;
}
} // namespace

class TCorrectionViewTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Remove_Data_Directories(); }

    void View_Follows_The_Main_Window()
    {
        const QDate due = QDate::currentDate().addYears(1);
        QVERIFY(Write_Calibration_File(
            {{"A", 0.1, due}, {"B <unusable>", 0.1, QDate::currentDate().addDays(-1), {15, 20, 20}}}));
        Store_Setting("Axis_Z_Enabled", false);
        Store_Setting("Meter_X_Value", "20.5");
        Store_Setting("Meter_Y_Value", "abc");
        Store_Setting("Meter_Part_Value", "21");
        TVelmora window;
        window.show();

        TCorrectionView* view = Open_View(&window);
        QVERIFY(view->isVisible() && !view->isModal() && view->isWindow());
        QCOMPARE(view->Get_Chart()->title(),
                 "A · Calibration due " + QLocale::c().toString(due, "MMM dd yyyy") + " · in calibration");
        QVERIFY(Has_Band(view->Get_Chart(), "Uncertainty band, u = 0.04 °C (k=2)"));
        QCOMPARE(Reading_Labels(view->Get_Chart()), QStringList({"X 20.50 → 20.40", "Part 21.00 → 20.90"}));
        QScatterSeries* points = view->Get_Chart()->findChild<QScatterSeries*>("Test_Points");
        QCOMPARE(points->count(), 3);
        QVERIFY(
            QMetaObject::invokeMethod(points, "hovered", Q_ARG(QPointF, points->at(1)), Q_ARG(bool, true)));
        QCOMPARE(QToolTip::text(),
                 QString("Test point 2: reference 20.00 °C, reading 20.10 °C, deviation +0.10 °C"));

        // The selection, a tick, a finished reading and a new uncertainty all reach the open view.
        Select(&window, 1);
        QVERIFY2(view->Get_Chart()->title().contains("B &lt;unusable&gt; · Calibration due "),
                 qPrintable(view->Get_Chart()->title()));
        QVERIFY(view->Get_Chart()->title().endsWith(
            " · out of calibration<br>Two test points share a reference temperature, so no correction "
            "curve is drawn."));
        QCOMPARE(view->Get_Chart()->findChild<QScatterSeries*>("Test_Points")->count(), 3);
        QVERIFY(!Has_Band(view->Get_Chart(), "Uncertainty band, u = 0.04 °C (k=2)"));
        Child<QCheckBox>(&window, "Z_Check_Box")->setChecked(true);
        Select(&window, 0);
        Type(&window, "X_Meter_Field", "22");
        QCOMPARE(Reading_Labels(view->Get_Chart()),
                 QStringList({"X 22.00 → 21.90", "Z 20.00 → 19.90", "Part 21.00 → 20.90"}));
        Answer_Input_Dialog("0.1");
        Answer_Next_Modal("QFileDialog", [](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QVERIFY(QMetaObject::invokeMethod(&window, "Evaluate_Uncertainty"));
        QVERIFY(Has_Band(view->Get_Chart(), "Uncertainty band, u = 0.10 °C (k=2)"));

        // Closed, it is brought up to date when it opens again.
        view->close();
        Select(&window, 1);
        QCOMPARE(Open_View(&window), view);
        QVERIFY(view->Get_Chart()->title().startsWith("B &lt;unusable&gt;"));
    }

    void Svg_Export_Has_The_Title_And_The_Markers()
    {
        TCorrectionView view;
        view.Set_Data(Probe_7());
        QString error;
        QVERIFY(view.Export(folder.path() + "/p.svg", TChartFormat::Svg, QSize(640, 400), &error));
        QDomDocument svg;
        QVERIFY(svg.setContent(Read_File(folder.path() + "/p.svg")));
        QCOMPARE(svg.documentElement().firstChildElement("title").text(),
                 QString("Correction curve of Probe 7"));
        int markers = 0;
        const QDomNodeList circles = svg.elementsByTagName("circle");
        for (int index = 0; index < circles.size(); ++index)
        {
            markers += circles.at(index).parentNode().toElement().attribute("fill") == "#d92b2b" ? 1 : 0;
        }
        QCOMPARE(markers, 3);
    }

    void Png_Export_From_The_Dialog_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<int>("file_size_limit"); // a failed export when not 0
        QTest::newRow("written") << "Probe 7"
                                 << "Probe 7.png" << 0;
        QTest::newRow("slash in the name") << "Probe 7/8"
                                           << "Probe 7_8.png" << 0;
        QTest::newRow("disk full") << "Probe 7"
                                   << "Probe 7.png" << 2000;
    }

    void Png_Export_From_The_Dialog()
    {
        QFETCH(QString, description);
        QFETCH(QString, proposed);
        QFETCH(int, file_size_limit);
        QTemporaryDir target;
        const QString file_name = target.path() + "/out.png";
        // A file that was there before a failed export stays as it was.
        QVERIFY(Write_File(file_name, "previous"));
        TCorrectionView view;
        TCorrectionViewData data = Probe_7();
        data.description = description;
        data.directory = target.path();
        view.Set_Data(data);
        view.show();
        QSignalSpy messages(&view, &TCorrectionView::Message);
        QString offered;
        Answer_Save_Dialog(file_name, &offered);
        Answer_Next_Modal("QMessageBox", [](QWidget* modal) {
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        const auto press = [&]() { Child<QPushButton>(&view, "Export_Png_Button")->click(); };
        file_size_limit > 0 ? With_File_Size_Limit(rlim_t(file_size_limit), press) : press();

        QCOMPARE(offered.section('|', 0, 0), target.path() + "/" + proposed);
        QCOMPARE(messages.count(), 1);
        const QString logged = messages[0][0].toString();
        const QString native = QDir::toNativeSeparators(file_name);
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"out.png"}));
        if (file_size_limit > 0)
        {
            const QString message = "ERR  Cannot export the correction curve to '" + native + "': ";
            QVERIFY2(logged.startsWith(message) && logged.size() > message.size(), qPrintable(logged));
            QCOMPARE(Read_File(file_name), QByteArray("previous"));
            return;
        }
        QCOMPARE(logged, "INF  Correction curve exported to '" + native + "'.");
        QCOMPARE(QImage(file_name).size(), Child<QWidget>(&view, "Chart_View")->size());
    }
};

QTEST_MAIN(TCorrectionViewTest)
#include "tst_correctionview.moc"
