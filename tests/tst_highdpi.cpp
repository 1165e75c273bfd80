#include "qtcompat.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>

using namespace Test_Support;

// The window on a screen scaled to 200 %: icons and logo must come from their @2x files, not be
// enlarged from the 1x ones. The scale is set before the application starts, in main below.
class THighDpiTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        Remove_Data_Directories();
    }

    void Every_Picture_Has_A_2x_File_Twice_Its_Size()
    {
        QStringList pictures;
        for (const char* directory : {":/icons", ":/gui", ":/images"})
        {
            for (const QString& name :
                 QDir(directory).entryList({"*.png"}).filter(QRegularExpression("^[^@]*$")))
            {
                const QString file = QString(directory) + "/" + name;
                QCOMPARE(QImage(QString(file).replace(".png", "@2x.png")).size(), QImage(file).size() * 2);
                pictures << name;
            }
        }
        QCOMPARE(pictures.size(), 10); // the window's five pictures and the five calibration state icons
    }

    void Window_Draws_2x_Pictures()
    {
        TVelmora window;
        window.show();
        const QIcon icon = Child<QToolButton>(&window, "Browse_Button")->icon();
        QCOMPARE(icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32),
                 QImage(":/gui/browse_icon16@2x.png").convertToFormat(QImage::Format_ARGB32));
        // Painted over the window's background, in the same pixel format, as the label paints it.
        QLabel* logo = Child<QLabel>(&window, "Logo_Label");
        const QImage shot = logo->grab().toImage();
        QImage expected(shot.size(), shot.format());
        expected.setDevicePixelRatio(shot.devicePixelRatio());
        expected.fill(logo->palette().color(logo->backgroundRole()));
        QPainter painter(&expected);
        painter.drawImage(QRect(0, 0, 100, 40), QImage(":/images/logo@2x.png"));
        painter.end();
        QCOMPARE(shot.size(), QSize(200, 80));
        QCOMPARE(shot, expected);
    }
};

// The scale factor and the application's high-DPI settings take effect only before the application
// object exists.
int main(int argc, char* argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    Enable_High_Dpi_Support();
    QApplication application(argc, argv);
    THighDpiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
