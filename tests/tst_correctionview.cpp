#include "correctionview.h"
#include "velmora.h"
#include "velmoratestsupport.h"
#include "windowgeometry.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDomDocument>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QHelpEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolTip>
#include <QWindow>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QScatterSeries>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace Test_Support;

namespace
{
TCorrectionView* Open_View(TVelmora* window)
{
    QAction* action = window->menuBar()->actions().value(2)->menu()->actions().value(0);
    action->trigger();
    return Child<TCorrectionView>(window, "Correction_View");
}

QList<QGraphicsSimpleTextItem*> Reading_Label_Items(QChart* chart)
{
    QList<QGraphicsSimpleTextItem*> items;
    for (QGraphicsItem* child : chart->childItems())
    {
        if (child->data(0).toString() == "Reading_Label")
        {
            items << static_cast<QGraphicsSimpleTextItem*>(child);
        }
    }
    return items;
}

QStringList Reading_Labels(QChart* chart)
{
    QStringList labels;
    for (QGraphicsSimpleTextItem* item : Reading_Label_Items(chart))
    {
        labels << item->text();
    }
    return labels;
}

// Counts the help events that reach a scene: its answer hides any tooltip its items do not have.
struct THelp_Event_Counter : QObject
{
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::GraphicsSceneHelp ? 1 : 0;
        return false;
    }
};

// The title as the chart draws it, its lines joined by blanks.
QString Shown_Title(QChart* chart)
{
    QList<QGraphicsItem*> items = chart->childItems();
    while (!items.isEmpty())
    {
        QGraphicsItem* item = items.takeFirst();
        const QGraphicsTextItem* text = dynamic_cast<const QGraphicsTextItem*>(item);
        if (text != nullptr && text->toPlainText().startsWith("Probe 7"))
        {
            QString shown = text->toPlainText();
            return shown.replace(QChar(0x2028), ' ').replace('\n', ' ');
        }
        items << item->childItems();
    }
    return QString();
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

    // Once the mouse rests on a test point, the view is asked for a tooltip again; its scene, which
    // would hide the point's tooltip, is not.
    void Test_Point_Tooltip_Stays_While_The_Mouse_Rests()
    {
        TCorrectionView view;
        view.Set_Data(Probe_7());
        view.show();
        QChartView* chart_view = Child<QChartView>(&view, "Chart_View");
        THelp_Event_Counter counter;
        chart_view->scene()->installEventFilter(&counter);
        QScatterSeries* points = view.Get_Chart()->findChild<QScatterSeries*>("Test_Points");
        const QPoint on_point =
            chart_view->mapFromScene(view.Get_Chart()->mapToPosition(points->at(2), points));
        QHelpEvent rest(QEvent::ToolTip, on_point, chart_view->viewport()->mapToGlobal(on_point));
        QCoreApplication::sendEvent(chart_view->viewport(), &rest);
        QCOMPARE(counter.count, 1); // no point hovered: the scene answers

        QVERIFY(
            QMetaObject::invokeMethod(points, "hovered", Q_ARG(QPointF, points->at(2)), Q_ARG(bool, true)));
        const QString text = "Test point 3: reference 25.00 °C, reading 25.40 °C, deviation +0.40 °C";
        QCOMPARE(QToolTip::text(), text);
        QCoreApplication::sendEvent(chart_view->viewport(), &rest);
        QCOMPARE(counter.count, 1);
        QCOMPARE(QToolTip::text(), text);

        QVERIFY(
            QMetaObject::invokeMethod(points, "hovered", Q_ARG(QPointF, points->at(2)), Q_ARG(bool, false)));
        QCoreApplication::sendEvent(chart_view->viewport(), &rest);
        QCOMPARE(counter.count, 2);
    }

    // The mouse anywhere on a marker hovers its point, also where the dashed curve beyond the test points
    // leaves it and where a reading's line crosses it.
    void Test_Point_Hovered_All_Over_Its_Marker_data()
    {
        QTest::addColumn<QPointF>("offset"); // from the marker's centre, in pixels
        QTest::newRow("centre") << QPointF(0, 0);
        QTest::newRow("under the dashed curve") << QPointF(3, -1);
        QTest::newRow("on the reading's line") << QPointF(-3, 2);
    }

    void Test_Point_Hovered_All_Over_Its_Marker()
    {
        QFETCH(QPointF, offset);
        TCorrectionViewData data = Probe_7();
        data.readings = {{"X", 24.97, "24.57"}};
        TCorrectionView view;
        view.Set_Data(data);
        view.show();
        QCoreApplication::processEvents();
        QChartView* chart_view = Child<QChartView>(&view, "Chart_View");
        QScatterSeries* points = view.Get_Chart()->findChild<QScatterSeries*>("Test_Points");
        QSignalSpy hovered(points, &QScatterSeries::hovered);
        const QPointF centre = view.Get_Chart()->mapToPosition(points->at(2), points);
        for (const QPoint& position : {QPoint(10, 10), chart_view->mapFromScene(centre + offset)})
        {
            QMouseEvent move(QEvent::MouseMove, position, chart_view->viewport()->mapToGlobal(position),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(chart_view->viewport(), &move);
        }
        QCOMPARE(hovered.count(), 1);
        QCOMPARE(hovered[0][0].toPointF(), points->at(2));
    }

    // Readings at either end of the range keep their labels whole within the plot area, in the window
    // and in exports of any size.
    void Reading_Labels_Stay_Within_The_Plot_data()
    {
        QTest::addColumn<QSize>("export_size"); // empty: the view's window
        QTest::newRow("window") << QSize();
        QTest::newRow("export 640 x 400") << QSize(640, 400);
        QTest::newRow("export at the smallest view") << QSize(400, 300);
        QTest::newRow("export 1600 x 900") << QSize(1600, 900);
    }

    void Reading_Labels_Stay_Within_The_Plot()
    {
        QFETCH(QSize, export_size);
        TCorrectionViewData data = Probe_7();
        data.readings = {{"X", 25.4, "24.98"}, {"Y", 14.05, "13.96"}, {"Part", 20.0, "19.80"}};
        TCorrectionView view;
        QGraphicsScene scene;
        QChart* chart = nullptr;
        if (export_size.isEmpty())
        {
            view.Set_Data(data);
            view.show();
            QCoreApplication::processEvents();
            chart = view.Get_Chart();
        }
        else
        {
            // As the export draws it.
            chart = Create_Correction_Chart(data);
            scene.addItem(chart);
            chart->resize(export_size);
        }
        const QList<QGraphicsSimpleTextItem*> labels = Reading_Label_Items(chart);
        QCOMPARE(labels.size(), 3);
        const QRectF area = chart->plotArea().adjusted(-0.5, -0.5, 0.5, 0.5);
        for (QGraphicsSimpleTextItem* label : labels)
        {
            const QRectF bounds = label->mapRectToParent(label->boundingRect());
            QString where;
            QDebug(&where) << label->text() << bounds << "outside" << area;
            QVERIFY2(area.contains(bounds), qPrintable(where));
        }
        // The label of a reading in the middle stays centred on its line.
        const QPointF middle = chart->mapToPosition(QPointF(20.0, 0.0), chart->series().first());
        const QRectF part = labels[2]->mapRectToParent(labels[2]->boundingRect());
        QVERIFY(qAbs(part.center().x() - middle.x()) < 1.0);
    }

    // Where the screen has room, the view opens beside the main window, on the side with room.
    void Placement_Beside_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("placed");
        const QRect screen(0, 0, 1920, 1050);
        QTest::newRow("right") << QRect(100, 120, 756, 660) << QSize(822, 590) << screen << QPoint(856, 120);
        QTest::newRow("left only") << QRect(1000, 120, 756, 660) << QSize(822, 590) << screen
                                   << QPoint(178, 120);
        QTest::newRow("neither, more room right")
            << QRect(100, 50, 756, 660) << QSize(1200, 590) << screen << QPoint(720, 50);
        QTest::newRow("neither, more room left")
            << QRect(1000, 50, 756, 660) << QSize(1200, 590) << screen << QPoint(0, 50);
        QTest::newRow("low window") << QRect(100, 700, 756, 300) << QSize(822, 590) << screen
                                    << QPoint(856, 460);
        QTest::newRow("taller than the screen")
            << QRect(100, 100, 756, 660) << QSize(822, 1200) << screen << QPoint(856, 0);
        QTest::newRow("second screen") << QRect(2000, 120, 756, 660) << QSize(822, 590)
                                       << QRect(1920, 30, 1920, 1050) << QPoint(2756, 120);
    }

    void Placement_Beside()
    {
        QFETCH(QRect, anchor);
        QFETCH(QSize, size);
        QFETCH(QRect, available);
        QFETCH(QPoint, placed);
        QCOMPARE(Place_Beside(anchor, size, available), QRect(placed, size));
    }

    // The offscreen screen, 800 pixels wide, has no room beside the main window: the view goes where the
    // placement puts it, at the screen's right edge, not over the window's left part as it opened before.
    void View_Opens_Where_The_Placement_Puts_It()
    {
        QVERIFY(Write_Calibration_File({{"A"}}));
        TVelmora window;
        window.show();
        window.resize(window.minimumSizeHint());
        window.move(0, 0);
        TCorrectionView* view = Open_View(&window);
        view->close();
        view->resize(view->minimumSizeHint());
        QCOMPARE(Open_View(&window), view);
        const QRect screen = window.windowHandle()->screen()->availableGeometry();
        QCOMPARE(view->frameGeometry(),
                 Place_Beside(window.frameGeometry(), view->frameGeometry().size(), screen));
        QCOMPARE(view->frameGeometry().right(), screen.right());
    }

    // How far a corrected value can be from the exact inverse of the calibration is said under the
    // title, whole at any width: a chart cuts a long title off.
    void Caption_States_The_Model_Difference_data()
    {
        QTest::addColumn<QVector<double>>("xy");
        QTest::addColumn<QString>("note");
        const QString note =
            " Note: corrections take the deviation at the reading, so within the calibrated "
            "range a corrected value differs from the exact inverse of the calibration by up "
            "to %1 °C (at %2 °C).";
        // 25.40 is corrected to 24.97968 by d(25.4) = 0.42032.
        QTest::newRow("curved") << QVector<double>{15, 0.1, 20, 0.2, 25, 0.4} << note.arg("0.020", "25.00");
        // d(t) = 0.01 t - 0.05: off by 0.01 d(T), 0.002 at most.
        QTest::newRow("within half a digit") << QVector<double>{15, 0.1, 20, 0.15, 25, 0.2} << QString();
        QTest::newRow("beyond 0 to 40")
            << QVector<double>{50, 0.1, 60, 0.2, 70, 0.4} << note.arg("0.010", "70.00");
    }

    void Caption_States_The_Model_Difference()
    {
        QFETCH(QVector<double>, xy);
        QFETCH(QString, note);
        TCorrectionViewData data = Probe_7();
        data.correction = TThermometerCorrection({xy[0], xy[1]}, {xy[2], xy[3]}, {xy[4], xy[5]});
        const QString expected = "Probe 7 · Calibration due Dec 31 2031 · in calibration" + note;
        for (const QSize& size : {QSize(560, 400), QSize(820, 560), QSize(1920, 1080)})
        {
            QGraphicsScene scene; // owns the chart
            QChart* chart = Create_Correction_Chart(data);
            scene.addItem(chart);
            chart->resize(size);
            QCOMPARE(Shown_Title(chart), expected);
        }
        TCorrectionView view;
        view.Set_Data(data);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(Shown_Title(view.Get_Chart()), expected);
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

    void Export_From_The_Dialog_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<int>("file_size_limit"); // a failed export when not 0
        QTest::newRow("written") << "Export_Png_Button"
                                 << "Probe 7"
                                 << "Probe 7.png" << 0;
        QTest::newRow("slash in the name") << "Export_Png_Button"
                                           << "Probe 7/8"
                                           << "Probe 7_8.png" << 0;
        // Small images stay in the save file's buffer until its final flush, large ones fail on write.
        for (const int limit : {2000, 40000})
        {
            QTest::addRow("PNG, disk full at %d bytes", limit) << "Export_Png_Button"
                                                               << "Probe 7"
                                                               << "Probe 7.png" << limit;
            QTest::addRow("SVG, disk full at %d bytes", limit) << "Export_Svg_Button"
                                                               << "Probe 7"
                                                               << "Probe 7.svg" << limit;
        }
    }

    void Export_From_The_Dialog()
    {
        QFETCH(QString, button);
        QFETCH(QString, description);
        QFETCH(QString, proposed);
        QFETCH(int, file_size_limit);
        QTemporaryDir target;
        const QString file_name = target.path() + "/out";
        // A file that was there before a failed export stays as it was.
        QVERIFY(Write_File(file_name, "previous"));
        TCorrectionView view;
        TCorrectionViewData data = Probe_7();
        data.description = description;
        data.directory = target.path();
        view.Set_Data(data);
        view.show();
        // The spy keeps the messages only of a type registered at run time.
        qRegisterMetaType<TMessage>();
        QSignalSpy messages(&view, &TCorrectionView::Message);
        QString offered;
        Answer_Save_Dialog(file_name, &offered);
        Answer_Next_Modal("QMessageBox", [](QWidget* modal) {
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        const auto press = [&]() { Child<QPushButton>(&view, qPrintable(button))->click(); };
        file_size_limit > 0 ? With_File_Size_Limit(rlim_t(file_size_limit), press) : press();

        QCOMPARE(offered.section('|', 0, 0), target.path() + "/" + proposed);
        QCOMPARE(messages.count(), 1);
        const QString logged = messages[0][0].value<TMessage>().Log_Line();
        const QString native = QDir::toNativeSeparators(file_name);
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"out"}));
        if (file_size_limit > 0)
        {
            // The system's reason, not Qt's "Unknown error" for a short write.
            QCOMPARE(logged, "ERR  Cannot export the correction curve to '" + native +
                                 "': " + QString::fromLocal8Bit(std::strerror(EFBIG)));
            QCOMPARE(Read_File(file_name), QByteArray("previous"));
            return;
        }
        QCOMPARE(logged, "INF  Correction curve exported to '" + native + "'.");
        QCOMPARE(QImage(file_name, "png").size(), Child<QWidget>(&view, "Chart_View")->size());
    }
};

QTEST_MAIN(TCorrectionViewTest)
#include "tst_correctionview.moc"
