#ifndef CHARTEXPORT_H
#define CHARTEXPORT_H

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QtCharts/QChart>

// Qt 5 keeps the chart classes in a namespace of its own and names it with this macro; Qt 6 has
// neither.
#ifndef QT_CHARTS_USE_NAMESPACE
#define QT_CHARTS_USE_NAMESPACE
#endif
QT_CHARTS_USE_NAMESPACE

enum class TChartFormat
{
    Png,
    Svg
};

// The chart drawn at size on a white ground, as a whole PNG or SVG file; empty when it cannot be
// encoded. Takes the chart over: it is drawn outside any window, at the size asked for rather than
// at the size some window happens to have. title names the SVG document.
QByteArray Render_Chart(QChart* chart, const QSize& size, TChartFormat format, const QString& title);

#endif // CHARTEXPORT_H
