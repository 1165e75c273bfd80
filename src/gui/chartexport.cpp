#include "chartexport.h"

#include <QBuffer>
#include <QGraphicsScene>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgGenerator>

QByteArray Render_Chart(QChart* chart, const QSize& size, TChartFormat format, const QString& title)
{
    Q_ASSERT_X(chart != nullptr, "Render_Chart", "chart");
    QGraphicsScene scene; // owns the chart from here on
    scene.addItem(chart);
    if (size.isEmpty())
    {
        return QByteArray();
    }
    chart->resize(size);
    const QRectF area(QPointF(0, 0), size);

    QByteArray content;
    QBuffer buffer(&content);
    buffer.open(QIODevice::WriteOnly);
    if (format == TChartFormat::Svg)
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(area);
        generator.setTitle(title);
        QPainter painter(&generator);
        painter.fillRect(area, Qt::white);
        scene.render(&painter, area, area);
        return painter.end() ? content : QByteArray();
    }

    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, area, area);
    }
    QImageWriter writer(&buffer, "png");
    return writer.write(image) ? content : QByteArray();
}
