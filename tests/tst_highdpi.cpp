#include "qtcompat.h"
#include "velmora.h"
#include "velmoratestsupport.h"

#include <QDirIterator>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QtTest>

using namespace Test_Support;

// The window on a screen scaled to 200 %: icons and logo must come from their @2x files, not be
// enlarged from the 1x ones. The scale is set before the application starts, in main below.
class THighDpiTest : public QObject
{
    Q_OBJECT

    // Whether every opaque pixel of picture appears unchanged somewhere in shot.
    static bool Contains(const QImage& shot, const QImage& picture)
    {
        const QImage haystack = shot.convertToFormat(QImage::Format_ARGB32);
        const QImage needle = picture.convertToFormat(QImage::Format_ARGB32);
        for (int top = 0; top + needle.height() <= haystack.height(); ++top)
        {
            for (int left = 0; left + needle.width() <= haystack.width(); ++left)
            {
                bool found = true;
                for (int y = 0; found && y < needle.height(); ++y)
                {
                    for (int x = 0; found && x < needle.width(); ++x)
                    {
                        const QRgb pixel = needle.pixel(x, y);
                        found = qAlpha(pixel) < 255 || haystack.pixel(left + x, top + y) == pixel;
                    }
                }
                if (found)
                {
                    return true;
                }
            }
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        Remove_Data_Directories();
        // A selected thermometer keeps every button enabled, so icons are drawn in their own colours.
        QVERIFY(Write_Calibration_File({{"T1"}}));
    }

    void Every_Picture_Has_A_2x_File_Twice_Its_Size()
    {
        int pictures = 0;
        for (const char* directory : {":/icons", ":/gui", ":/images"})
        {
            QDirIterator iterator(directory, {"*.png"});
            while (iterator.hasNext())
            {
                const QString file = iterator.next();
                if (file.endsWith("@2x.png"))
                {
                    continue;
                }
                ++pictures;
                const QImage picture(file);
                const QImage doubled(QString(file).replace(".png", "@2x.png"));
                QVERIFY2(!doubled.isNull(), qPrintable(file));
                QCOMPARE(doubled.size(), picture.size() * 2);
            }
        }
        QCOMPARE(pictures, 9); // the window's five pictures and the four calibration state icons
    }

    void Tool_Buttons_Show_2x_Icons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("icon");
        QTest::newRow("browse") << "Browse_Button"
                                << ":/gui/browse_icon16@2x.png";
        QTest::newRow("edit") << "Edit_Button"
                              << ":/gui/edit_icon16@2x.png";
        QTest::newRow("remove") << "Remove_Button"
                                << ":/gui/remove_icon16@2x.png";
    }

    void Tool_Buttons_Show_2x_Icons()
    {
        QFETCH(QString, button);
        QFETCH(QString, icon);
        TVelmora window;
        window.show();
        const QImage shot = Child<QToolButton>(&window, qPrintable(button))->grab().toImage();
        QCOMPARE(shot.devicePixelRatio(), 2.0);
        QVERIFY(Contains(shot, QImage(icon)));
    }

    void Logo_Is_Drawn_From_Its_2x_File()
    {
        TVelmora window;
        window.show();
        QLabel* logo = Child<QLabel>(&window, "Logo_Label");
        // Painted over the window's background, in the same pixel format, as the label paints it.
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
