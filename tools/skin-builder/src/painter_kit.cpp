#include "painter_kit.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace builder
{

QFont LabelFont(double points, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QFont FigureFont(double points, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void PaintIcon(QPainter& p, const QRectF& r, Icon icon, const QColor& ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    // a 16-unit grid scaled to the square, strokes of 1.6 units
    double k = std::min(r.width(), r.height()) / 16.0;
    p.translate(r.center() - QPointF(8 * k, 8 * k));
    p.scale(k, k);
    QPen pen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    auto fill = [&](const QPolygonF& poly)
    {
        p.setBrush(ink);
        p.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolygon(poly);
        p.setBrush(Qt::NoBrush);
        p.setPen(pen);
    };
    switch (icon)
    {
    case Icon::None:
        break;
    case Icon::Play:
        fill(QPolygonF({{4.5, 2.5}, {13, 8}, {4.5, 13.5}}));
        break;
    case Icon::Pause:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(QRectF(4, 3, 3, 10), 0.8, 0.8);
        p.drawRoundedRect(QRectF(9, 3, 3, 10), 0.8, 0.8);
        break;
    case Icon::Stop:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1.2, 1.2);
        break;
    case Icon::Previous:
        fill(QPolygonF({{13, 3}, {6, 8}, {13, 13}}));
        p.drawLine(QPointF(4, 3), QPointF(4, 13));
        break;
    case Icon::Next:
        fill(QPolygonF({{3, 3}, {10, 8}, {3, 13}}));
        p.drawLine(QPointF(12, 3), QPointF(12, 13));
        break;
    case Icon::OpenFile:
    {
        // a page with a folded corner and a note on it
        p.drawPolygon(QPolygonF({{3.5, 1.5}, {9.5, 1.5}, {12.5, 4.5}, {12.5, 14.5}, {3.5, 14.5}}));
        p.drawPolyline(QPolygonF({{9.5, 1.5}, {9.5, 4.5}, {12.5, 4.5}}));
        p.drawLine(QPointF(9, 7.5), QPointF(9, 11.5));
        p.setBrush(ink);
        p.drawEllipse(QPointF(7.5, 11.5), 1.4, 1.2);
        break;
    }
    case Icon::Folder:
        p.drawPolygon(
            QPolygonF({{1.5, 4}, {6, 4}, {7.5, 5.5}, {14.5, 5.5}, {14.5, 13}, {1.5, 13}}));
        break;
    case Icon::Options:
        // three sliders
        for (int i = 0; i < 3; ++i)
        {
            double y = 4 + i * 4;
            p.drawLine(QPointF(2, y), QPointF(14, y));
        }
        p.setBrush(ink);
        p.drawEllipse(QPointF(10, 4), 1.6, 1.6);
        p.drawEllipse(QPointF(5, 8), 1.6, 1.6);
        p.drawEllipse(QPointF(11, 12), 1.6, 1.6);
        break;
    case Icon::Loop:
    {
        QPainterPath a;
        a.moveTo(3, 9);
        a.lineTo(3, 7);
        a.cubicTo(3, 5, 4, 4.5, 6, 4.5);
        a.lineTo(12, 4.5);
        p.drawPath(a);
        QPainterPath b;
        b.moveTo(13, 7);
        b.lineTo(13, 9);
        b.cubicTo(13, 11, 12, 11.5, 10, 11.5);
        b.lineTo(4, 11.5);
        p.drawPath(b);
        p.drawPolyline(QPolygonF({{10, 2.5}, {12, 4.5}, {10, 6.5}}));
        p.drawPolyline(QPolygonF({{6, 9.5}, {4, 11.5}, {6, 13.5}}));
        break;
    }
    case Icon::Gain:
        // rising bars
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(3 + i * 3.3, 13), QPointF(3 + i * 3.3, 10 - i * 2.3));
        break;
    case Icon::Denoise:
    {
        // a calm wave with a stroke across the noise
        QPainterPath w;
        w.moveTo(1.5, 8);
        w.cubicTo(3.5, 3, 5.5, 3, 7.5, 8);
        w.cubicTo(9.5, 13, 11.5, 13, 14.5, 8);
        p.drawPath(w);
        break;
    }
    case Icon::Connected:
        // a filled lamp with a check: on
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.setPen(QPen(colour::inset, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({{5, 8.2}, {7.2, 10.4}, {11, 6}}));
        break;
    case Icon::Disconnected:
        // a hollow lamp crossed out: off, told apart by shape as well as colour
        p.drawEllipse(QPointF(8, 8), 5.8, 5.8);
        p.drawLine(QPointF(4, 12), QPointF(12, 4));
        break;
    case Icon::Charging:
        fill(QPolygonF({{9.5, 1.5}, {3.5, 9}, {7.5, 9}, {6.5, 14.5}, {12.5, 7}, {8.5, 7}}));
        break;
    case Icon::Voice:
        // a microphone
        p.drawRoundedRect(QRectF(5.5, 1.5, 5, 8), 2.5, 2.5);
        p.drawArc(QRectF(3, 4, 10, 8.5), 200 * 16, 140 * 16);
        p.drawLine(QPointF(8, 12.5), QPointF(8, 14.5));
        break;
    case Icon::Speaker:
        fill(QPolygonF({{2, 6}, {5, 6}, {8.5, 3}, {8.5, 13}, {5, 10}, {2, 10}}));
        p.drawArc(QRectF(7, 4.5, 5, 7), -60 * 16, 120 * 16);
        p.drawArc(QRectF(7, 2, 8, 12), -60 * 16, 120 * 16);
        break;
    case Icon::Calendar:
        p.drawRoundedRect(QRectF(2, 3, 12, 11), 1.5, 1.5);
        p.drawLine(QPointF(2, 6.5), QPointF(14, 6.5));
        p.drawLine(QPointF(5, 1.5), QPointF(5, 4));
        p.drawLine(QPointF(11, 1.5), QPointF(11, 4));
        break;
    case Icon::AppMark:
    {
        // the product mark: a level meter in a rounded square
        p.drawRoundedRect(QRectF(1, 1, 14, 14), 3.5, 3.5);
        const double h[5] = {3, 6, 9, 5, 2.5};
        for (int i = 0; i < 5; ++i)
            p.drawLine(QPointF(4 + i * 2, 8 - h[i] / 2), QPointF(4 + i * 2, 8 + h[i] / 2));
        break;
    }
    }
    p.restore();
}

void PaintBody(QPainter& p, const QRect& r, int titleHeight, const QString& title)
{
    p.fillRect(r, colour::body);
    p.fillRect(QRect(r.left(), r.top(), r.width(), titleHeight), colour::panel);
    p.setPen(QColor(255, 255, 255, 18));
    p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
    p.setPen(colour::hairline);
    p.drawLine(r.left(), r.top() + titleHeight - 1, r.right(), r.top() + titleHeight - 1);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    // a small accent mark and the product name, quiet, in the band
    p.fillRect(QRect(r.left() + 8, r.top() + 8, 3, 7), colour::accent);
    p.setFont(LabelFont(8, true));
    p.setPen(colour::secondary);
    p.drawText(QRect(r.left() + 16, r.top(), r.width() - 72, titleHeight),
               Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter, title);
}

void PaintButton(QPainter& p, const QRect& r, const QString& label, State s, bool primary)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(r, colour::body); // the picture is copied opaque: start from the body
    QRectF b = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill, edge, ink;
    switch (s)
    {
    case State::Normal:
        fill = primary ? colour::accent : QColor(0x2D, 0x33, 0x3A);
        edge = primary ? colour::accentHover : QColor(0x41, 0x48, 0x51);
        ink = primary ? colour::inset : colour::text;
        break;
    case State::Hover:
        fill = primary ? colour::accentHover : QColor(0x37, 0x3E, 0x46);
        edge = primary ? colour::accentHover : QColor(0x4C, 0x54, 0x5E);
        ink = primary ? colour::inset : colour::text;
        break;
    case State::Pressed:
        fill = primary ? colour::accentPressed : colour::inset;
        edge = primary ? colour::accentPressed : colour::accent;
        ink = primary ? colour::inset : colour::accent;
        break;
    case State::Disabled:
        fill = QColor(0x23, 0x27, 0x2D);
        edge = colour::hairline;
        ink = colour::disabled;
        break;
    }
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(b, 4, 4);
    if (s == State::Normal || s == State::Hover)
    {
        p.setPen(QColor(255, 255, 255, primary ? 70 : 22)); // the 1-pixel top highlight
        p.drawLine(QPointF(b.left() + 4, b.top() + 1), QPointF(b.right() - 4, b.top() + 1));
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(ink);
    p.setFont(LabelFont(9, primary));
    p.drawText(r.translated(0, s == State::Pressed ? 1 : 0), Qt::AlignCenter, label);
    p.restore();
}

void PaintIconButton(QPainter& p, const QRect& r, Icon icon, State s, bool primary)
{
    PaintButton(p, r, QString(), s, primary);
    QColor ink = s == State::Disabled  ? colour::disabled
                 : primary             ? colour::inset
                 : s == State::Pressed ? colour::accent
                                       : colour::text;
    QRectF box(0, 0, 16, 16);
    box.moveCenter(QRectF(r).center() + QPointF(0, s == State::Pressed ? 1 : 0));
    PaintIcon(p, box, icon, ink);
}

void PaintField(QPainter& p, const QRect& r, bool enabled)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(colour::hairline, 1));
    p.setBrush(enabled ? colour::inset : QColor(0x1A, 0x1D, 0x21));
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.restore();
}

void PaintCheckBox(QPainter& p, const QRect& box, State s, bool checked)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QRectF b = QRectF(box).adjusted(1.5, 1.5, -1.5, -1.5);
    bool off = s == State::Disabled;
    QColor edge = off                   ? colour::hairline
                  : s == State::Pressed ? colour::accent
                                        : QColor(0x5B, 0x63, 0x6C);
    QColor fill = colour::inset;
    if (checked)
    {
        edge = off                   ? colour::disabled
               : s == State::Pressed ? colour::accentPressed
                                     : colour::accent;
        fill = edge;
    }
    p.setPen(QPen(edge, 1.2));
    p.setBrush(fill);
    p.drawRoundedRect(b, 3, 3);
    if (checked)
    {
        p.setPen(QPen(colour::inset, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPointF c = b.center();
        p.drawPolyline(
            QPolygonF({c + QPointF(-3.5, 0), c + QPointF(-1, 2.6), c + QPointF(3.6, -2.8)}));
    }
    p.restore();
}

void PaintRadioMark(QPainter& p, const QRect& box, State s, bool checked)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QRectF b = QRectF(box).adjusted(1.5, 1.5, -1.5, -1.5);
    bool off = s == State::Disabled;
    QColor edge = checked               ? (off ? colour::disabled : colour::accent)
                  : off                 ? colour::hairline
                  : s == State::Pressed ? colour::accent
                                        : QColor(0x5B, 0x63, 0x6C);
    p.setPen(QPen(edge, checked ? 1.8 : 1.2));
    p.setBrush(colour::inset);
    p.drawEllipse(b);
    if (checked)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(edge);
        p.drawEllipse(b.center(), 3.2, 3.2);
    }
    else if (s == State::Pressed)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::accentPressed);
        p.drawEllipse(b.center(), 2.2, 2.2);
    }
    p.restore();
}

void PaintToggle(QPainter& p, const QRect& r, Icon icon, const QString& label, State s,
                 bool checked, bool rtl)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QRectF b = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    bool off = s == State::Disabled;
    QColor fill = QColor(0x2D, 0x33, 0x3A), edge = QColor(0x41, 0x48, 0x51),
           ink = colour::secondary, text = colour::text;
    if (checked)
    {
        // lit: a deep accent fill, accent edge and icon; brighter than the unlit state
        fill = QColor(0x17, 0x4A, 0x46);
        edge = colour::accent;
        ink = colour::accentHover;
    }
    if (s == State::Pressed)
    {
        fill = colour::inset;
        edge = colour::accent;
        ink = colour::accent;
    }
    if (off)
    {
        fill = QColor(0x23, 0x27, 0x2D);
        edge = colour::hairline;
        ink = text = colour::disabled;
    }
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(b, 4, 4);
    if (!off && s != State::Pressed)
    {
        p.setPen(QColor(255, 255, 255, 22));
        p.drawLine(QPointF(b.left() + 4, b.top() + 1), QPointF(b.right() - 4, b.top() + 1));
    }
    QRectF ib(0, 0, 16, 16);
    ib.moveCenter(QPointF(rtl ? r.right() - 17 : r.left() + 18, QRectF(r).center().y()));
    PaintIcon(p, ib, icon, ink);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(text);
    p.setFont(LabelFont(9));
    p.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    QRect t = rtl ? r.adjusted(8, 0, -32, 0) : r.adjusted(32, 0, -8, 0);
    p.drawText(t, Qt::AlignAbsolute | (rtl ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
               label);
    p.restore();
}

void PaintSliderChannel(QPainter& p, int x0, int x1, int y, bool enabled)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(colour::hairline, 1));
    p.setBrush(enabled ? colour::inset : QColor(0x1A, 0x1D, 0x21));
    p.drawRoundedRect(QRectF(x0 - 3, y - 2.5, x1 - x0 + 6, 5), 2.5, 2.5);
    p.restore();
}

void PaintSliderThumb(QPainter& p, const QPointF& c, State s)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QColor fill = s == State::Disabled  ? colour::disabled
                  : s == State::Pressed ? colour::accentPressed
                                        : colour::accent;
    p.setPen(QPen(colour::inset, 2));
    p.setBrush(fill);
    p.drawEllipse(c, 6.5, 6.5);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 4.5, c.y() - 4.5, 9, 9), 40 * 16, 100 * 16);
    p.restore();
}

namespace
{
// The small buttons of the title band: a rounded plate while pressed, then the glyph.
template <class Glyph>
void PaintBandButton(QPainter& p, const QRect& r, State s, const QColor& pressed, Glyph glyph)
{
    p.save();
    p.fillRect(r, colour::panel);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (s == State::Pressed || s == State::Hover)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(s == State::Pressed ? pressed : colour::hairline);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    QColor ink = s == State::Disabled  ? colour::disabled
                 : s == State::Pressed ? colour::text
                                       : colour::secondary;
    p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap));
    glyph(QRectF(r).center());
    p.restore();
}
} // namespace

void PaintCloseButton(QPainter& p, const QRect& r, State s)
{
    PaintBandButton(p, r, s, colour::error,
                    [&](QPointF c)
                    {
                        p.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
                        p.drawLine(c + QPointF(-4, 4), c + QPointF(4, -4));
                    });
}

void PaintMinimizeButton(QPainter& p, const QRect& r, State s)
{
    PaintBandButton(p, r, s, colour::accentPressed,
                    [&](QPointF c) { p.drawLine(c + QPointF(-4, 3), c + QPointF(4, 3)); });
}

void PaintMessageIcon(QPainter& p, const QRect& r, int kind, bool highlight)
{
    p.save();
    p.fillRect(r, colour::body);
    p.setRenderHint(QPainter::Antialiasing, true);
    QColor c = kind == 0   ? colour::error
               : kind == 1 ? colour::warning
               : kind == 2 ? colour::accent
                           : colour::charging;
    if (highlight) c = c.lighter(118);
    QRectF b = QRectF(r).adjusted(2, 2, -2, -2);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    if (kind == 1)
    {
        // warning: a rounded triangle, so the kind reads by shape too
        QPainterPath t;
        t.moveTo(b.center().x(), b.top() + 1);
        t.lineTo(b.right(), b.bottom() - 1);
        t.lineTo(b.left(), b.bottom() - 1);
        t.closeSubpath();
        p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(t);
    }
    else if (kind == 0)
    {
        // error: an octagon
        QPolygonF o;
        for (int i = 0; i < 8; ++i)
        {
            double a = (22.5 + 45 * i) * 3.14159265 / 180;
            o << b.center() + QPointF(std::cos(a), std::sin(a)) * (b.width() / 2);
        }
        p.drawPolygon(o);
    }
    else
        p.drawEllipse(b);
    QPen ink(colour::inset, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(ink);
    p.setBrush(Qt::NoBrush);
    QPointF m = b.center();
    switch (kind)
    {
    case 0:
        p.drawLine(m + QPointF(-5, -5), m + QPointF(5, 5));
        p.drawLine(m + QPointF(-5, 5), m + QPointF(5, -5));
        break;
    case 1:
        p.drawLine(m + QPointF(0, -4), m + QPointF(0, 3));
        p.drawPoint(m + QPointF(0, 8));
        break;
    case 2:
    {
        QPainterPath q;
        q.moveTo(m + QPointF(-4.5, -3.5));
        q.cubicTo(m + QPointF(-4.5, -9), m + QPointF(4.5, -9), m + QPointF(4.5, -3.5));
        q.cubicTo(m + QPointF(4.5, 0), m + QPointF(0, 0), m + QPointF(0, 3));
        p.drawPath(q);
        p.drawPoint(m + QPointF(0, 8));
        break;
    }
    default:
        p.drawPoint(m + QPointF(0, -7));
        p.drawLine(m + QPointF(0, -2), m + QPointF(0, 8));
        break;
    }
    p.restore();
}

void PaintArrowHalf(QPainter& p, const QRect& r, bool up, State s)
{
    p.save();
    p.fillRect(r, s == State::Pressed ? colour::accentPressed : colour::inset);
    p.setPen(colour::hairline);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setRenderHint(QPainter::Antialiasing, true);
    QColor ink = s == State::Disabled  ? colour::disabled
                 : s == State::Pressed ? colour::inset
                                       : colour::secondary;
    p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPointF c = QRectF(r).center();
    double d = up ? -1 : 1;
    p.drawPolyline(
        QPolygonF({c + QPointF(-3, -d * 1.5), c + QPointF(0, d * 1.5), c + QPointF(3, -d * 1.5)}));
    p.restore();
}

} // namespace builder
