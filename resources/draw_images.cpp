// Draws the program's compiled-in pictures and the Windows shell icon. Not part of the build: run it by
// hand from the repository root after changing a picture, then commit the files it writes:
//   g++ -std=c++17 -fPIC resources/draw_images.cpp $(pkg-config --cflags --libs Qt5Gui) -o /tmp/draw_images
//   QT_QPA_PLATFORM=offscreen /tmp/draw_images resources
// It writes icons/velmora.png, gui/browse_icon16.png, gui/edit_icon16.png, gui/remove_icon16.png, the five
// gui/calibration_*_icon16.png, images/logo.png, velmora.ico and the installed application icon
// hicolor/NxN/apps/com.velmora.Velmora.png (N = 16, 32, 48, 64, 128, 256) below the directory given as its
// only argument, and each of the window's PNGs once more as name@2x.png at twice the size for screens
// scaled to 200 %.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cmath>

#include <cstdio>

namespace
{
// One palette for every picture, so that the icons read as one family.
const QColor deep_blue(0x1b, 0x3a, 0x6b);
const QColor mid_blue(0x2f, 0x62, 0xa8);
const QColor light_blue(0x8c, 0xb6, 0xe8);
const QColor glass_white(0xf5, 0xf8, 0xfc);
const QColor thermo_red(0xd9, 0x2b, 0x2b);
const QColor dark_red(0x9e, 0x15, 0x15);
const QColor bright_red(0xf0, 0x4e, 0x4e);

// width and height are in logical pixels; at scale 2 the painter draws the same design with twice as many
// pixels, so the @2x pictures are as sharp as their 1x originals rather than enlarged copies of them.
QImage New_Canvas(int width, int height, int scale)
{
    QImage image(width * scale, height * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    return image;
}

void Begin(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// A thermometer in a 64 x 64 design space: glass tube over a bulb, red column and a scale beside it.
// on_badge selects the light-on-dark colours used on the application icon; the logo's small mark leaves
// the scale out, as it would only blur at that size.
void Draw_Thermometer(QPainter& painter, bool on_badge, bool with_scale)
{
    const QPointF bulb_centre(25.0, 46.0);
    const QRectF tube(18.0, 6.0, 14.0, 40.0);

    QPainterPath glass;
    glass.addRoundedRect(tube, 7.0, 7.0);
    QPainterPath glass_bulb;
    glass_bulb.addEllipse(bulb_centre, 11.5, 11.5);
    glass = glass.united(glass_bulb);

    if (on_badge)
    {
        // A soft drop shadow lifts the glass off the badge.
        painter.save();
        painter.translate(0.0, 1.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 70));
        painter.drawPath(glass);
        painter.restore();
    }

    QLinearGradient glass_fill(tube.left(), 0.0, tube.right(), 0.0);
    glass_fill.setColorAt(0.0, QColor(0xdc, 0xe7, 0xf5));
    glass_fill.setColorAt(0.35, glass_white);
    glass_fill.setColorAt(1.0, QColor(0xd2, 0xdf, 0xf0));
    painter.setBrush(glass_fill);
    painter.setPen(on_badge ? Qt::NoPen : QPen(deep_blue, 2.0));
    painter.drawPath(glass);

    QPainterPath liquid;
    liquid.addRoundedRect(QRectF(22.0, 19.0, 6.0, 30.0), 3.0, 3.0);
    QPainterPath liquid_bulb;
    liquid_bulb.addEllipse(bulb_centre, 7.5, 7.5);
    liquid = liquid.united(liquid_bulb);
    QLinearGradient liquid_fill(17.0, 0.0, 33.0, 0.0);
    liquid_fill.setColorAt(0.0, bright_red);
    liquid_fill.setColorAt(0.45, thermo_red);
    liquid_fill.setColorAt(1.0, dark_red);
    painter.setPen(Qt::NoPen);
    painter.setBrush(liquid_fill);
    painter.drawPath(liquid);

    // Glint on the bulb and along the tube, as on real glass.
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawEllipse(QPointF(20.8, 44.6), 1.6, 2.4);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawRoundedRect(QRectF(20.0, 10.0, 1.6, 28.0), 0.8, 0.8);

    if (!with_scale)
    {
        return;
    }
    // Scale: long marks every ten degrees, short ones in between, on whole pixels so they stay crisp.
    const QColor mark_colour = on_badge ? QColor(0xe8, 0xf0, 0xfb) : deep_blue;
    painter.setBrush(mark_colour);
    for (int i = 0; i < 7; ++i)
    {
        const double y = 9.0 + 5.0 * i;
        const double length = (i % 2 == 0) ? 12.0 : 7.0;
        painter.drawRoundedRect(QRectF(37.0, y, length, 2.0), 1.0, 1.0);
    }
}

// The application icon at size x size pixels. Each size is drawn, not scaled from another, so that the
// badge's edge lands on whole pixels and the scale is left out where it would only blur.
QImage Draw_App_Icon(int size)
{
    QImage image = New_Canvas(size, size, 1);
    QPainter painter(&image);
    Begin(painter);

    const double unit = size / 64.0;
    const double margin = qRound(2.0 * unit);
    const QRectF badge(margin, margin, size - 2.0 * margin, size - 2.0 * margin);
    QLinearGradient badge_fill(0.0, badge.top(), 0.0, badge.bottom());
    badge_fill.setColorAt(0.0, mid_blue);
    badge_fill.setColorAt(1.0, deep_blue);
    painter.setPen(Qt::NoPen);
    painter.setBrush(badge_fill);
    painter.drawRoundedRect(badge, 13.0 * unit, 13.0 * unit);
    // A faint inner rim keeps the badge's edge visible on dark task bars.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 45), 1.0));
    painter.drawRoundedRect(badge.adjusted(0.5, 0.5, -0.5, -0.5), 13.0 * unit - 0.5, 13.0 * unit - 0.5);

    // Without its scale the thermometer moves to the middle of the badge.
    const bool with_scale = size >= 48;
    painter.scale(unit, unit);
    painter.translate(with_scale ? 2.0 : 7.0, 0.0);
    Draw_Thermometer(painter, true, with_scale);
    painter.end();
    return image;
}

QImage Draw_Browse_Icon(int scale)
{
    QImage image = New_Canvas(16, 16, scale);
    QPainter painter(&image);
    Begin(painter);
    const QPen outline(deep_blue, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);

    // Back of the folder with its tab.
    QPainterPath back;
    back.moveTo(1.5, 13.5);
    back.lineTo(1.5, 3.5);
    back.lineTo(6.0, 3.5);
    back.lineTo(7.5, 5.0);
    back.lineTo(14.5, 5.0);
    back.lineTo(14.5, 13.5);
    back.closeSubpath();
    painter.setPen(outline);
    painter.setBrush(mid_blue);
    painter.drawPath(back);

    // Front flap, slanted so that the folder reads as open.
    QPainterPath front;
    front.moveTo(1.5, 13.5);
    front.lineTo(3.0, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(14.5, 13.5);
    front.closeSubpath();
    QLinearGradient front_fill(0.0, 7.5, 0.0, 13.5);
    front_fill.setColorAt(0.0, QColor(0xb4, 0xd0, 0xf2));
    front_fill.setColorAt(1.0, QColor(0x6a, 0x9c, 0xdc));
    painter.setPen(outline);
    painter.setBrush(front_fill);
    painter.drawPath(front);
    painter.end();
    return image;
}

QImage Draw_Edit_Icon(int scale)
{
    QImage image = New_Canvas(16, 16, scale);
    QPainter painter(&image);
    Begin(painter);

    // Drawn lying along x, then turned so that the point aims at the bottom left.
    painter.translate(8.2, 7.8);
    painter.rotate(-45.0);
    const double half = 2.6;
    const QPen outline(QColor(0x3a, 0x2a, 0x10), 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    // Body in three facets for a rounded look.
    const QRectF body(-3.6, -half, 8.0, 2.0 * half);
    QLinearGradient body_fill(0.0, -half, 0.0, half);
    body_fill.setColorAt(0.0, QColor(0xff, 0xd8, 0x6b));
    body_fill.setColorAt(0.5, QColor(0xf5, 0xb3, 0x2a));
    body_fill.setColorAt(1.0, QColor(0xc9, 0x82, 0x10));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body_fill);
    painter.drawRect(body);

    // Eraser, then the metal ferrule that holds it.
    QLinearGradient rubber(0.0, -half, 0.0, half);
    rubber.setColorAt(0.0, bright_red);
    rubber.setColorAt(1.0, dark_red);
    painter.setBrush(rubber);
    painter.drawRoundedRect(QRectF(5.0, -half, 3.8, 2.0 * half), 1.2, 1.2);
    QLinearGradient metal(0.0, -half, 0.0, half);
    metal.setColorAt(0.0, QColor(0xf0, 0xf3, 0xf7));
    metal.setColorAt(1.0, QColor(0x8a, 0x94, 0xa3));
    painter.setBrush(metal);
    painter.drawRect(QRectF(4.4, -half, 2.0, 2.0 * half));

    // Sharpened wood and the graphite point.
    QPainterPath wood;
    wood.moveTo(-3.6, -half);
    wood.lineTo(-8.6, 0.0);
    wood.lineTo(-3.6, half);
    wood.closeSubpath();
    painter.setBrush(QColor(0xf1, 0xd3, 0xa5));
    painter.drawPath(wood);
    QPainterPath lead;
    lead.moveTo(-6.6, -0.8);
    lead.lineTo(-8.6, 0.0);
    lead.lineTo(-6.6, 0.8);
    lead.closeSubpath();
    painter.setBrush(QColor(0x2b, 0x2b, 0x33));
    painter.drawPath(lead);

    // One outline round the whole pencil keeps it crisp on any background.
    QPainterPath shape;
    shape.moveTo(-8.6, 0.0);
    shape.lineTo(-3.6, -half);
    shape.lineTo(7.6, -half);
    shape.quadTo(8.8, -half, 8.8, -half + 1.2);
    shape.lineTo(8.8, half - 1.2);
    shape.quadTo(8.8, half, 7.6, half);
    shape.lineTo(-3.6, half);
    shape.closeSubpath();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(outline);
    painter.drawPath(shape);
    painter.end();
    return image;
}

QImage Draw_Remove_Icon(int scale)
{
    QImage image = New_Canvas(16, 16, scale);
    QPainter painter(&image);
    Begin(painter);

    QPainterPath cross;
    cross.moveTo(3.5, 3.5);
    cross.lineTo(12.5, 12.5);
    cross.moveTo(12.5, 3.5);
    cross.lineTo(3.5, 12.5);

    // A dark rim under a bright stroke gives the cross depth and keeps it visible on any button.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(dark_red, 4.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(cross);
    QLinearGradient stroke_fill(0.0, 2.0, 0.0, 14.0);
    stroke_fill.setColorAt(0.0, bright_red);
    stroke_fill.setColorAt(1.0, thermo_red);
    painter.setPen(QPen(QBrush(stroke_fill), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(cross);
    painter.end();
    return image;
}

// The thermometer selector's calibration state icons, drawn in a 16-unit design. Each
// state has its own shape as well as its own colour, so that the states differ without colour too:
// a round badge with a tick (in calibration), a round badge with clock hands (due soon), a diamond with a
// question mark (doubtful), an octagon with a bar (out of calibration) and a triangle with an exclamation
// mark (correction not usable).
enum class State_Icon
{
    In_Calibration,
    Due_Soon,
    Doubtful,
    Out_Of_Calibration,
    Not_Usable
};

QImage Draw_State_Icon(State_Icon icon, int scale)
{
    QImage image = New_Canvas(16, 16, scale);
    QPainter painter(&image);
    Begin(painter);

    QColor fill;
    QColor rim;
    QPainterPath badge;
    switch (icon)
    {
    case State_Icon::In_Calibration:
        fill = QColor(0x2e, 0x9e, 0x4f);
        rim = QColor(0x1b, 0x6b, 0x33);
        badge.addEllipse(QPointF(8.0, 8.0), 6.8, 6.8);
        break;
    case State_Icon::Due_Soon:
        fill = QColor(0xf0, 0xa2, 0x1c);
        rim = QColor(0xa8, 0x65, 0x05);
        badge.addEllipse(QPointF(8.0, 8.0), 6.8, 6.8);
        break;
    case State_Icon::Doubtful:
        fill = QColor(0x7b, 0x4f, 0xc4);
        rim = QColor(0x4a, 0x2a, 0x82);
        badge.moveTo(8.0, 0.6);
        badge.lineTo(15.4, 8.0);
        badge.lineTo(8.0, 15.4);
        badge.lineTo(0.6, 8.0);
        badge.closeSubpath();
        break;
    case State_Icon::Out_Of_Calibration:
    {
        fill = thermo_red;
        rim = dark_red;
        QPolygonF octagon;
        for (int corner = 0; corner < 8; ++corner)
        {
            const double angle = (22.5 + 45.0 * corner) * 3.14159265358979 / 180.0;
            octagon << QPointF(8.0 + 7.2 * std::cos(angle), 8.0 + 7.2 * std::sin(angle));
        }
        badge.addPolygon(octagon);
        badge.closeSubpath();
        break;
    }
    case State_Icon::Not_Usable:
        fill = QColor(0x6b, 0x72, 0x80);
        rim = QColor(0x3a, 0x3f, 0x4a);
        badge.moveTo(8.0, 1.2);
        badge.lineTo(15.2, 14.4);
        badge.lineTo(0.8, 14.4);
        badge.closeSubpath();
        break;
    }
    QLinearGradient badge_fill(0.0, 1.0, 0.0, 15.0);
    badge_fill.setColorAt(0.0, fill.lighter(125));
    badge_fill.setColorAt(1.0, fill);
    painter.setPen(QPen(rim, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(badge_fill);
    painter.drawPath(badge);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (icon)
    {
    case State_Icon::In_Calibration:
        painter.drawPolyline(QPolygonF({QPointF(4.8, 8.3), QPointF(7.1, 10.6), QPointF(11.4, 5.6)}));
        break;
    case State_Icon::Due_Soon:
        painter.drawPolyline(QPolygonF({QPointF(8.0, 4.2), QPointF(8.0, 8.0), QPointF(10.8, 9.8)}));
        break;
    case State_Icon::Doubtful:
    {
        // A question mark of strokes, not of a font, so that it looks the same wherever it is drawn.
        painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath hook;
        hook.moveTo(6.0, 6.4);
        hook.cubicTo(6.0, 4.2, 10.0, 4.2, 10.0, 6.4);
        hook.cubicTo(10.0, 7.8, 8.0, 7.9, 8.0, 9.6);
        painter.drawPath(hook);
        painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawPoint(QPointF(8.0, 11.9));
        break;
    }
    case State_Icon::Out_Of_Calibration:
        painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(4.2, 8.0), QPointF(11.8, 8.0));
        break;
    case State_Icon::Not_Usable:
        painter.setPen(QPen(Qt::white, 1.7, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(8.0, 5.6), QPointF(8.0, 9.6));
        painter.drawPoint(QPointF(8.0, 12.0));
        break;
    }
    painter.end();
    return image;
}

QImage Draw_In_Calibration_Icon(int scale)
{
    return Draw_State_Icon(State_Icon::In_Calibration, scale);
}

QImage Draw_Due_Soon_Icon(int scale)
{
    return Draw_State_Icon(State_Icon::Due_Soon, scale);
}

QImage Draw_Doubtful_Icon(int scale)
{
    return Draw_State_Icon(State_Icon::Doubtful, scale);
}

QImage Draw_Out_Of_Calibration_Icon(int scale)
{
    return Draw_State_Icon(State_Icon::Out_Of_Calibration, scale);
}

QImage Draw_Not_Usable_Icon(int scale)
{
    return Draw_State_Icon(State_Icon::Not_Usable, scale);
}

QImage Draw_Logo(int scale)
{
    QImage image = New_Canvas(100, 40, scale);
    QPainter painter(&image);
    Begin(painter);

    // The thermometer mark, scaled from its 64-unit design: the glass spans 12.5 to 37.5 across (outline
    // included) and 5 to 58.5 down, which lands at x 1 to 16 and centred on the logo's height.
    const double mark_scale = 0.6;
    painter.save();
    painter.translate(1.0 - mark_scale * 12.5, 20.0 - mark_scale * 31.75);
    painter.scale(mark_scale, mark_scale);
    Draw_Thermometer(painter, false, false);
    painter.restore();
    const double mark_right = 1.0 + mark_scale * 25.0;

    QFont font("DejaVu Sans Condensed");
    font.setBold(true);
    font.setPixelSize(19);
    font.setHintingPreference(QFont::PreferNoHinting);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const QString name = QStringLiteral("Velmora");
    const QRectF ink = metrics.tightBoundingRect(name);
    // Set the name flush right, so that it lines up with the window's right margin.
    const double text_left = 99.0 - ink.right();
    Q_ASSERT_X(text_left + ink.left() >= mark_right + 2.0, "Draw_Logo", "name overlaps the mark");
    const double baseline = 25.0;
    painter.setPen(deep_blue);
    painter.drawText(QPointF(text_left, baseline), name);

    // A short red rule under the name echoes the thermometer's column.
    painter.setPen(Qt::NoPen);
    painter.setBrush(thermo_red);
    painter.drawRoundedRect(QRectF(text_left + ink.left(), baseline + 4.0, ink.width(), 2.0), 1.0, 1.0);
    painter.end();
    return image;
}

// Windows shell icon: an ICO container holding one 64 x 64, 32 bits per pixel image as a BMP DIB (the form
// every Windows resource compiler accepts) with its colour rows bottom-up and a 1-bit AND mask after them.
QByteArray Make_Ico(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    const int colour_bytes = width * height * 4;
    const int mask_stride = ((width + 31) / 32) * 4;
    const int mask_bytes = mask_stride * height;
    const int dib_bytes = 40 + colour_bytes + mask_bytes;

    QByteArray ico;
    auto put16 = [&ico](quint16 value) {
        char bytes[2];
        qToLittleEndian(value, bytes);
        ico.append(bytes, 2);
    };
    auto put32 = [&ico](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        ico.append(bytes, 4);
    };

    // Header: reserved, type 1 (icon), one image.
    put16(0);
    put16(1);
    put16(1);
    // Directory entry: width, height, palette size, reserved, planes, bits per pixel, size, offset.
    ico.append(char(width % 256));
    ico.append(char(height % 256));
    ico.append(char(0));
    ico.append(char(0));
    put16(1);
    put16(32);
    put32(quint32(dib_bytes));
    put32(6 + 16);

    // BITMAPINFOHEADER; the height counts the colour rows and the mask rows together.
    put32(40);
    put32(quint32(width));
    put32(quint32(2 * height));
    put16(1);
    put16(32);
    put32(0);
    put32(quint32(colour_bytes + mask_bytes));
    put32(0);
    put32(0);
    put32(0);
    put32(0);

    for (int y = height - 1; y >= 0; --y)
    {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x)
        {
            ico.append(char(qBlue(row[x])));
            ico.append(char(qGreen(row[x])));
            ico.append(char(qRed(row[x])));
            ico.append(char(qAlpha(row[x])));
        }
    }
    for (int y = height - 1; y >= 0; --y)
    {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QByteArray mask_row(mask_stride, '\0');
        for (int x = 0; x < width; ++x)
        {
            if (qAlpha(row[x]) == 0)
            {
                mask_row[x / 8] = char(mask_row.at(x / 8) | (0x80 >> (x % 8)));
            }
        }
        ico.append(mask_row);
    }
    return ico;
}

bool Save_Png(const QImage& image, const QString& path)
{
    // Format_ARGB32 with an alpha channel makes Qt write 8-bit RGBA (colour type 6).
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG"))
    {
        std::fprintf(stderr, "draw_images: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Writes name.png and name@2x.png, the name Qt looks for on screens scaled to 200 %.
bool Save_Png_Pair(QImage (*draw)(int scale), const QDir& out, const QString& name)
{
    const bool ok = Save_Png(draw(1), out.filePath(name + ".png"));
    return Save_Png(draw(2), out.filePath(name + "@2x.png")) && ok;
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: draw_images RESOURCES_DIRECTORY\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    const QImage app_icon = Draw_App_Icon(64);
    bool ok = Save_Png(app_icon, out.filePath("icons/velmora.png"));
    ok = Save_Png(Draw_App_Icon(128), out.filePath("icons/velmora@2x.png")) && ok;
    // The desktop's menus and launchers pick the size they show from the hicolor icon theme.
    for (int size : {16, 32, 48, 64, 128, 256})
    {
        const QString directory = QString("hicolor/%1x%1/apps").arg(size);
        ok = out.mkpath(directory) &&
             Save_Png(Draw_App_Icon(size), out.filePath(directory + "/com.velmora.Velmora.png")) && ok;
    }
    ok = Save_Png_Pair(Draw_Browse_Icon, out, "gui/browse_icon16") && ok;
    ok = Save_Png_Pair(Draw_Edit_Icon, out, "gui/edit_icon16") && ok;
    ok = Save_Png_Pair(Draw_Remove_Icon, out, "gui/remove_icon16") && ok;
    ok = Save_Png_Pair(Draw_Logo, out, "images/logo") && ok;
    ok = Save_Png_Pair(Draw_In_Calibration_Icon, out, "gui/calibration_ok_icon16") && ok;
    ok = Save_Png_Pair(Draw_Due_Soon_Icon, out, "gui/calibration_due_icon16") && ok;
    ok = Save_Png_Pair(Draw_Doubtful_Icon, out, "gui/calibration_doubtful_icon16") && ok;
    ok = Save_Png_Pair(Draw_Out_Of_Calibration_Icon, out, "gui/calibration_expired_icon16") && ok;
    ok = Save_Png_Pair(Draw_Not_Usable_Icon, out, "gui/calibration_unusable_icon16") && ok;

    QFile ico(out.filePath("velmora.ico"));
    const QByteArray ico_bytes = Make_Ico(app_icon);
    if (!ico.open(QIODevice::WriteOnly) || ico.write(ico_bytes) != ico_bytes.size() || !ico.flush())
    {
        std::fprintf(stderr, "draw_images: cannot write %s\n", qPrintable(ico.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
