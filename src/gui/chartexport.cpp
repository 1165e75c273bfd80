#include "chartexport.h"

#include <QBuffer>
#include <QGraphicsScene>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
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

bool Write_Whole_File(const QString& file_name, const QByteArray& content, QString* error)
{
    Q_ASSERT_X(error != nullptr, "Write_Whole_File", "error");
    QSaveFile file(file_name);
    if (!file.open(QIODevice::WriteOnly))
    {
        *error = file.errorString();
        return false;
    }
    // QSaveFile commits a short write or a failed flush as if all had been written.
    if (file.write(content) != content.size() || !file.flush())
    {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
    {
        *error = file.errorString();
        return false;
    }
    return true;
}
