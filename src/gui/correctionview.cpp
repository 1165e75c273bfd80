#include "correctionview.h"

#include "calibrationstatus.h"
#include "correctioncurve.h"
#include "datetext.h"
#include "durablefile.h"
#include "exportfilename.h"
#include "numbertext.h"

#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace
{
const QColor Curve_Colour(0x1b, 0x3a, 0x6b);
const QColor Band_Colour(0x8c, 0xb6, 0xe8, 0x90);
const QColor Point_Colour(0xd9, 0x2b, 0x2b);
const QColor Reading_Colour(0x2e, 0x7d, 0x32);

QString Signed(double value)
{
    const QString text = Shown_Number_Text(value, 2);
    return (text.startsWith('-') ? "" : "+") + text;
}

QLineSeries* Line(const QVector<QPointF>& points, const QColor& colour, Qt::PenStyle style, qreal width)
{
    QLineSeries* series = new QLineSeries();
    series->replace(points);
    QPen pen(colour, width, style);
    series->setPen(pen);
    return series;
}

// Series that only draw a part or a label stay out of the legend.
void Hide_From_Legend(QChart* chart, QAbstractSeries* series)
{
    for (QLegendMarker* marker : chart->legend()->markers(series))
    {
        marker->setVisible(false);
    }
}

// Ticks on round multiples, about target of them over the range, labelled with as many decimals as
// the interval needs.
void Set_Ticks(QValueAxis* axis, double low, double high, int target)
{
    axis->setRange(low, high);
    const double raw = (high - low) / target;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double interval = 10.0 * magnitude;
    for (double factor : {1.0, 2.0, 5.0})
    {
        if (factor * magnitude >= raw)
        {
            interval = factor * magnitude;
            break;
        }
    }
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(interval);
    const int decimals = std::max(0, int(-std::floor(std::log10(interval) + 1e-9)));
    axis->setLabelFormat(QString("%.%1f").arg(decimals));
    QFont font = axis->labelsFont();
    font.setPointSize(9);
    axis->setLabelsFont(font);
    font.setPointSize(10);
    axis->setTitleFont(font);
}

// Above every series of the plot.
constexpr qreal Reading_Label_Z = 100;

struct TReadingLabel
{
    QGraphicsSimpleTextItem* item;
    // The value at the middle of the label's lower edge, on the reading's line.
    QPointF anchor;
    QAbstractSeries* line;
};

void Place_Labels(QChart* chart, const QVector<TReadingLabel>& labels)
{
    const QRectF area = chart->plotArea();
    for (const TReadingLabel& label : labels)
    {
        const QPointF anchor = chart->mapToPosition(label.anchor, label.line);
        const QRectF bounds = label.item->boundingRect();
        // Within the plot area; a label wider than the area keeps its start in view.
        const qreal left =
            std::max(area.left(), std::min(anchor.x() - bounds.width() / 2, area.right() - bounds.width()));
        const qreal top =
            std::max(area.top(), std::min(anchor.y() - bounds.height(), area.bottom() - bounds.height()));
        label.item->setPos(left, top);
    }
}

// Text as HTML in lines of at most width in the font without bold, broken between words; one line
// while there is no width yet.
QString Wrapped_Html(const QString& text, QFont font, qreal width)
{
    font.setBold(false);
    const QFontMetricsF metrics(font);
    QStringList lines;
    QString line;
    for (const QString& word : text.split(' '))
    {
        const QString longer = line.isEmpty() ? word : line + ' ' + word;
        if (!line.isEmpty() && width > 0 && metrics.horizontalAdvance(longer) > width)
        {
            lines << line.toHtmlEscaped();
            line = word;
        }
        else
        {
            line = longer;
        }
    }
    lines << line.toHtmlEscaped();
    return lines.join("<br>");
}

struct TRange
{
    double low = INFINITY;
    double high = -INFINITY;
    void Include(double value)
    {
        low = std::min(low, value);
        high = std::max(high, value);
    }
};
} // namespace

QString Test_Point_Text(int number, const QPointF& point)
{
    return QString("Test point %1: reference %2 °C, reading %3 °C, deviation %4 °C")
        .arg(number)
        .arg(Shown_Number_Text(point.x(), 2), Shown_Number_Text(point.x() + point.y(), 2), Signed(point.y()));
}

QChart* Create_Correction_Chart(const TCorrectionViewData& data)
{
    QChart* chart = new QChart();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    if (!data.has_thermometer)
    {
        chart->setTitle("No thermometer is selected.");
        return chart;
    }

    const TCorrectionCurve curve = Sample_Correction_Curve(data.correction, data.uncertainty);
    QString title = QString("%1 · Calibration due %2 · %3")
                        .arg(data.description.toHtmlEscaped(),
                             data.due_date.isValid() ? Due_Date_Text(data.due_date) : QString("(none)"),
                             data.state.toHtmlEscaped());
    if (!curve.is_usable)
    {
        title += "<br>" + curve.reason.toHtmlEscaped();
    }
    chart->setTitle(title);
    QFont title_font = chart->titleFont();
    title_font.setPointSize(11);
    title_font.setBold(true);
    chart->setTitleFont(title_font);

    TRange x_range;
    TRange y_range;
    x_range.Include(curve.start);
    x_range.Include(curve.end);
    for (const QPointF& point : curve.test_points + curve.curve + curve.band_low + curve.band_high)
    {
        y_range.Include(point.y());
    }
    for (const TAxisReading& reading : data.readings)
    {
        x_range.Include(reading.reading);
    }
    const double x_pad = (x_range.high - x_range.low) * 0.02;
    if (y_range.low > y_range.high)
    {
        y_range.Include(0.0);
    }
    // Deviations all alike, as in an unusable correction, still get an axis with room around them;
    // the readings' labels get room of their own at the top.
    const double y_span = std::max(y_range.high - y_range.low, 0.1);
    const double y_low = y_range.low - 0.1 * y_span;
    const double y_high = y_range.high + (0.1 + 0.08 * data.readings.size()) * y_span;
    // A damaged calibration file can hold deviations near the largest number: the axes would end at
    // infinity.
    if (!std::isfinite(x_range.high - x_range.low + 2 * x_pad) || !std::isfinite(y_high - y_low))
    {
        chart->setTitle(title + "<br>" +
                        QString("The values lie too far apart to be plotted.").toHtmlEscaped());
        return chart;
    }

    QValueAxis* x_axis = new QValueAxis();
    x_axis->setTitleText("Reading (°C)");
    Set_Ticks(x_axis, x_range.low - x_pad, x_range.high + x_pad, 8);
    QValueAxis* y_axis = new QValueAxis();
    y_axis->setTitleText("Deviation (°C)");
    Set_Ticks(y_axis, y_low, y_high, 6);
    chart->addAxis(x_axis, Qt::AlignBottom);
    chart->addAxis(y_axis, Qt::AlignLeft);

    QVector<QAbstractSeries*> series;
    QVector<QAbstractSeries*> unlisted;
    if (curve.is_usable)
    {
        QAreaSeries* band = new QAreaSeries(Line(curve.band_high, Band_Colour, Qt::SolidLine, 1),
                                            Line(curve.band_low, Band_Colour, Qt::SolidLine, 1));
        band->setName(QString("Uncertainty band, u = %1 °C (k=2)").arg(data.uncertainty, 0, 'f', 2));
        band->setColor(Band_Colour);
        band->setBorderColor(Band_Colour);
        band->upperSeries()->setParent(band);
        band->lowerSeries()->setParent(band);
        series << band;

        QVector<QPointF> below;
        QVector<QPointF> within;
        QVector<QPointF> above;
        for (const QPointF& point : curve.curve)
        {
            if (point.x() <= curve.span_start)
            {
                below << point;
            }
            if (point.x() >= curve.span_start && point.x() <= curve.span_end)
            {
                within << point;
            }
            if (point.x() >= curve.span_end)
            {
                above << point;
            }
        }
        QLineSeries* deviation = Line(within, Curve_Colour, Qt::SolidLine, 2.5);
        deviation->setName("Deviation curve (dashed beyond the test points)");
        series << deviation;
        unlisted << Line(below, Curve_Colour, Qt::DashLine, 2) << Line(above, Curve_Colour, Qt::DashLine, 2);
    }

    QScatterSeries* points = new QScatterSeries();
    points->setObjectName("Test_Points");
    points->setName("Test points");
    points->replace(curve.test_points);
    points->setColor(Point_Colour);
    points->setBorderColor(Qt::white);
    points->setMarkerSize(11);
    series << points;

    // Labels of readings that lie close together are set one below the other. A series' point label
    // is centred on its point and cut off at the plot's edge, so a reading near either end lost half
    // of it: these are text items of the chart, placed on each layout.
    const double label_step = 0.08 * y_span;
    QVector<TReadingLabel> labels;
    for (int index = 0; index < data.readings.size(); ++index)
    {
        const TAxisReading& reading = data.readings[index];
        QLineSeries* line =
            Line({{reading.reading, y_low}, {reading.reading, y_high}}, Reading_Colour, Qt::DashDotLine, 1.5);
        unlisted << line;
        QGraphicsSimpleTextItem* label =
            new QGraphicsSimpleTextItem(QString("%1 %2 → %3")
                                            .arg(reading.axis)
                                            .arg(Shown_Number_Text(reading.reading, 2))
                                            .arg(reading.corrected_text),
                                        chart);
        label->setData(0, "Reading_Label");
        label->setBrush(Reading_Colour);
        label->setZValue(Reading_Label_Z);
        labels.append({label, QPointF(reading.reading, y_high - label_step * (index + 1)), line});
    }

    // The test points last, on top: a line drawn over a marker took the mouse from it, so that hovering
    // the marker where the dashed curve leaves it or a reading's line crosses it showed nothing. Hidden
    // from the legend, the unlisted series leave its order as it was.
    series.removeOne(points);
    for (QAbstractSeries* item : series + unlisted + QVector<QAbstractSeries*>{points})
    {
        chart->addSeries(item);
        item->attachAxis(x_axis);
        item->attachAxis(y_axis);
    }
    for (QAbstractSeries* item : unlisted)
    {
        Hide_From_Legend(chart, item);
    }
    QObject::connect(chart, &QChart::plotAreaChanged, chart,
                     [chart, labels]() { Place_Labels(chart, labels); });
    Place_Labels(chart, labels);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QFont legend_font = chart->legend()->font();
    legend_font.setPointSize(9);
    chart->legend()->setFont(legend_font);

    // The readings' labels show corrected values: how far those can be from the exact inverse of the
    // calibration is said under the title, in the image exported too. A chart cuts a long title off
    // rather than wrap it, so the note is broken into lines that fit whenever the chart's width changes.
    const QString model_difference = Model_Difference_Note(data.correction);
    if (!model_difference.isEmpty())
    {
        const QString note = "Note: " + model_difference + ".";
        const auto show_note = [chart, title, note]() {
            qreal left = 0;
            qreal top = 0;
            qreal right = 0;
            qreal bottom = 0;
            chart->layout()->getContentsMargins(&left, &top, &right, &bottom);
            // A few pixels spare for the rounding of the text's width.
            const qreal width =
                chart->size().width() - chart->margins().left() - chart->margins().right() - left - right - 8;
            chart->setTitle(title + "<br><span style=\"font-weight:normal\">" +
                            Wrapped_Html(note, chart->titleFont(), width) + "</span>");
            // At once: an export renders right after resizing, before a deferred layout would run.
            chart->layout()->activate();
        };
        QObject::connect(chart, &QGraphicsWidget::geometryChanged, chart, show_note);
        show_note();
    }
    return chart;
}

TCorrectionView::TCorrectionView(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("Correction_View");
    setWindowTitle("Correction Curve");
    resize(820, 560);

    chart_view = new QChartView(this);
    chart_view->setObjectName("Chart_View");
    chart_view->setRenderHint(QPainter::Antialiasing);
    chart_view->setMinimumSize(400, 300);
    export_png_button = new QPushButton("Export PNG...", this);
    export_png_button->setObjectName("Export_Png_Button");
    export_png_button->setAutoDefault(false);
    export_svg_button = new QPushButton("Export SVG...", this);
    export_svg_button->setObjectName("Export_Svg_Button");
    export_svg_button->setAutoDefault(false);

    QVBoxLayout* layout = new QVBoxLayout(this);
    layout->addWidget(chart_view);
    QHBoxLayout* button_row = new QHBoxLayout();
    button_row->addStretch();
    button_row->addWidget(export_png_button);
    button_row->addWidget(export_svg_button);
    layout->addLayout(button_row);

    chart_view->viewport()->installEventFilter(this);
    connect(export_png_button, &QPushButton::clicked, this, &TCorrectionView::Export_Png);
    connect(export_svg_button, &QPushButton::clicked, this, &TCorrectionView::Export_Svg);
    Set_Data(view_data);
}

TCorrectionView::~TCorrectionView() = default;

void TCorrectionView::Set_Data(const TCorrectionViewData& data)
{
    view_data = data;
    QChart* chart = Create_Correction_Chart(view_data);
    QChart* previous = chart_view->chart();
    chart_view->setChart(chart);
    // setChart hands the previous chart back to its creator.
    delete previous;
    QScatterSeries* points = chart->findChild<QScatterSeries*>("Test_Points");
    if (points != nullptr)
    {
        connect(points, &QScatterSeries::hovered, this, &TCorrectionView::Test_Point_Hovered);
    }
    hovered_point_text.clear();
}

QChart* TCorrectionView::Get_Chart() const
{
    return chart_view->chart();
}

bool TCorrectionView::Export(const QString& file_name, TChartFormat format, const QSize& size,
                             QString* error) const
{
    Q_ASSERT_X(error != nullptr, "TCorrectionView::Export", "error");
    const QByteArray content = Render_Chart(Create_Correction_Chart(view_data), size, format,
                                            "Correction curve of " + view_data.description);
    if (content.isEmpty())
    {
        *error =
            QString("the image of %1 x %2 pixels could not be drawn").arg(size.width()).arg(size.height());
        return false;
    }
    return Write_Whole_File(file_name, content, error);
}

void TCorrectionView::Export_Png()
{
    Export_With_Dialog(TChartFormat::Png);
}

void TCorrectionView::Export_Svg()
{
    Export_With_Dialog(TChartFormat::Svg);
}

void TCorrectionView::Test_Point_Hovered(const QPointF& point, bool state)
{
    if (!state)
    {
        hovered_point_text.clear();
        QToolTip::hideText();
        return;
    }
    const int number = view_data.correction.Get_Point1().x == point.x()   ? 1
                       : view_data.correction.Get_Point2().x == point.x() ? 2
                                                                          : 3;
    hovered_point_text = Test_Point_Text(number, point);
    QToolTip::showText(QCursor::pos(), hovered_point_text, chart_view);
}

// Once the mouse rests, the window system asks the view for a tooltip; the chart's scene answers with
// those of its items, none, and so hid the test point's tooltip a moment after it was shown.
bool TCorrectionView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == chart_view->viewport() && event->type() == QEvent::ToolTip &&
        !hovered_point_text.isEmpty())
    {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), hovered_point_text, chart_view);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TCorrectionView::Export_With_Dialog(TChartFormat format)
{
    const bool is_svg = format == TChartFormat::Svg;
    const QString suffix = is_svg ? "svg" : "png";
    const QString file_name = QFileDialog::getSaveFileName(
        this, "Export Correction Curve",
        view_data.directory + "/" + Export_File_Name(view_data.description, suffix),
        is_svg ? "SVG image (*.svg)" : "PNG image (*.png)");
    if (file_name.isEmpty())
    {
        return;
    }
    QString error;
    if (!Export(file_name, format, chart_view->size(), &error))
    {
        emit Message(TMessage::Error(QString("Cannot export the correction curve to '%1': %2")
                                         .arg(QDir::toNativeSeparators(file_name), error)));
        return;
    }
    emit Message(TMessage::Info(
        QString("Correction curve exported to '%1'.").arg(QDir::toNativeSeparators(file_name))));
}
