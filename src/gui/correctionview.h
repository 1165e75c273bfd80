#ifndef CORRECTIONVIEW_H
#define CORRECTIONVIEW_H

#include "chartexport.h"
#include "message.h"
#include "thermometercorrection.h"

#include <QDate>
#include <QString>
#include <QVector>
#include <QWidget>

#include <QtCharts/QChartView>

class QPushButton;

// One ticked axis whose meter text is a number, as the main window shows it.
struct TAxisReading
{
    QString axis;
    double reading = 0.0;
    QString corrected_text;
};

// Everything the correction view shows; the main window fills it from its own state.
struct TCorrectionViewData
{
    bool has_thermometer = false;
    QString description;
    QDate due_date;
    QString state;
    TThermometerCorrection correction;
    // The uncertainty (k=2) last used for the uncertainty report.
    double uncertainty = 0.04;
    QVector<TAxisReading> readings;
    // Where the export dialogs start.
    QString directory;
};

// The chart of the deviation curve, its test points, the uncertainty band and the readings; the
// caller owns it. Each reading's label is a QGraphicsSimpleTextItem child of the chart, with data(0)
// "Reading_Label", kept within the plot area whenever the chart is laid out.
QChart* Create_Correction_Chart(const TCorrectionViewData& data);

// The tooltip of a test point.
QString Test_Point_Text(int number, const QPointF& point);

// A window of its own beside the main window, not modal: the main window hands it its data again
// whenever the selection, the readings or the uncertainty change while it is open.
class TCorrectionView : public QWidget
{
    Q_OBJECT

public:
    explicit TCorrectionView(QWidget* parent = nullptr);
    ~TCorrectionView() override;

    void Set_Data(const TCorrectionViewData& data);
    QChart* Get_Chart() const;
    // Writes the plot as it is shown, at size; false with error set when it could not be written.
    bool Export(const QString& file_name, TChartFormat format, const QSize& size, QString* error) const;

signals:
    // A line for the main window's log pane.
    void Message(const TMessage& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void Export_Png();
    void Export_Svg();
    void Test_Point_Hovered(const QPointF& point, bool state);

private:
    void Export_With_Dialog(TChartFormat format);

    TCorrectionViewData view_data;
    QChartView* chart_view;
    QPushButton* export_png_button;
    QPushButton* export_svg_button;
    // The tooltip of the test point under the mouse; empty when there is none.
    QString hovered_point_text;
};

#endif // CORRECTIONVIEW_H
