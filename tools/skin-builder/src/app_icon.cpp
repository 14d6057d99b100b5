#include "app_icon.h"

#include "painter_kit.h"

#include <QPainter>
#include <QPainterPath>

namespace builder
{

namespace
{

// A 16-unit grid, as the skins' icons: the tile, its frame, and the meter's bars.
constexpr double kTile = 1, kTileSize = 14, kRadius = 3.5;
constexpr double kBarStroke = 1.6;
constexpr double kBarHeights[] = {3, 6, 9, 5, 2.5};
constexpr double BarX(int i)
{
    return 4 + i * 2;
}

QString Hex(const QColor& c)
{
    return c.name(QColor::HexRgb).toUpper();
}

} // namespace

QString AppIconSvg()
{
    QString svg =
        QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                       "viewBox=\"0 0 16 16\">\n"
                       "  <rect x=\"%1\" y=\"%1\" width=\"%2\" height=\"%2\" rx=\"%3\" "
                       "fill=\"%4\" stroke=\"%5\" stroke-width=\"0.25\"/>\n"
                       "  <path d=\"M%6 %7 H%8\" stroke=\"#FFFFFF\" stroke-opacity=\"0.12\" "
                       "stroke-width=\"0.25\"/>\n"
                       "  <g stroke=\"%9\" stroke-width=\"%10\" stroke-linecap=\"round\">\n")
            .arg(kTile + 0.125)
            .arg(kTileSize - 0.25)
            .arg(kRadius)
            .arg(Hex(colour::body), Hex(colour::hairline))
            .arg(kTile + kRadius)
            .arg(kTile + 0.2)
            .arg(kTile + kTileSize - kRadius)
            .arg(Hex(colour::accent))
            .arg(kBarStroke);
    for (int i = 0; i < 5; ++i)
        svg += QStringLiteral("    <path d=\"M%1 %2 V%3\"/>\n")
                   .arg(BarX(i))
                   .arg(8 - kBarHeights[i] / 2)
                   .arg(8 + kBarHeights[i] / 2);
    svg += QStringLiteral("  </g>\n</svg>\n");
    return svg;
}

QImage AppIconPicture(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 16.0, size / 16.0);
    const QRectF tile(kTile + 0.125, kTile + 0.125, kTileSize - 0.25, kTileSize - 0.25);
    p.setPen(QPen(colour::hairline, 0.25));
    p.setBrush(colour::body);
    p.drawRoundedRect(tile, kRadius, kRadius);
    p.setPen(QPen(QColor(255, 255, 255, 31), 0.25));
    p.drawLine(QPointF(kTile + kRadius, kTile + 0.2),
               QPointF(kTile + kTileSize - kRadius, kTile + 0.2));
    p.setPen(QPen(colour::accent, kBarStroke, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(BarX(i), 8 - kBarHeights[i] / 2),
                   QPointF(BarX(i), 8 + kBarHeights[i] / 2));
    return image;
}

} // namespace builder
