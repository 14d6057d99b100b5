#include "painter_kit.h"

#include <QPainterPath>

namespace builder {

QFont LabelFont(double points, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
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
    p.drawText(QRect(r.left() + 16, r.top(), r.width() - 48, titleHeight),
               Qt::AlignLeft | Qt::AlignVCenter, title);
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

void PaintCloseButton(QPainter& p, const QRect& r, State s)
{
    p.save();
    p.fillRect(r, colour::panel);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (s == State::Pressed || s == State::Hover)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(s == State::Pressed ? colour::error : colour::hairline);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    QColor ink = s == State::Disabled ? colour::disabled
                 : s == State::Pressed ? colour::text
                                       : colour::secondary;
    p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap));
    QPointF c = QRectF(r).center();
    p.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
    p.drawLine(c + QPointF(-4, 4), c + QPointF(4, -4));
    p.restore();
}

void PaintMessageIcon(QPainter& p, const QRect& r, int kind, bool highlight)
{
    p.save();
    p.fillRect(r, colour::body);
    p.setRenderHint(QPainter::Antialiasing, true);
    QColor c = kind == 0 ? colour::error : kind == 1 ? colour::warning
               : kind == 2 ? colour::accent : colour::charging;
    if (highlight)
        c = c.lighter(118);
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
    QColor ink = s == State::Disabled ? colour::disabled
                 : s == State::Pressed ? colour::inset
                                       : colour::secondary;
    p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPointF c = QRectF(r).center();
    double d = up ? -1 : 1;
    p.drawPolyline(QPolygonF({c + QPointF(-3, -d * 1.5), c + QPointF(0, d * 1.5),
                              c + QPointF(3, -d * 1.5)}));
    p.restore();
}

} // namespace builder
