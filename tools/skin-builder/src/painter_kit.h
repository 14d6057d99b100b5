// The visual language of every generated skin: palette, type, button and field pictures,
// and the 16/32-pixel icons drawn as vector paths.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>

namespace builder {

namespace colour {
inline const QColor body{0x1E, 0x22, 0x27}, panel{0x26, 0x2B, 0x31}, inset{0x15, 0x18, 0x1C},
    hairline{0x34, 0x3A, 0x42}, text{0xE8, 0xEA, 0xED}, secondary{0x9A, 0xA3, 0xAD},
    disabled{0x5B, 0x63, 0x6C}, accent{0x2E, 0xC4, 0xB6}, accentPressed{0x1E, 0x9E, 0x93},
    accentHover{0x5F, 0xD6, 0xCB}, ok{0x4C, 0xC3, 0x8A}, warning{0xF5, 0xB3, 0x42},
    error{0xE5, 0x53, 0x4B}, charging{0x4E, 0xA8, 0xDE};
}

enum class State { Normal, Hover, Pressed, Disabled };

QFont LabelFont(double points = 9, bool bold = false);

// The dialog body: graphite fill, a title band of `titleHeight` with a hairline under it,
// a 1-pixel top highlight and a hairline frame.
void PaintBody(QPainter& p, const QRect& r, int titleHeight, const QString& title);
// A push button; `primary` buttons carry the accent. Pressed is darker and shifted by one
// pixel, disabled is flat and dim: brightness tells the states apart, not hue alone.
void PaintButton(QPainter& p, const QRect& r, const QString& label, State s, bool primary);
// The close button of the title band.
void PaintCloseButton(QPainter& p, const QRect& r, State s);
// Message icons (32 pixels): 0 error, 1 warning, 2 question, 3 information.
void PaintMessageIcon(QPainter& p, const QRect& r, int kind, bool highlight);
// Arrow halves of an up-down (up: true), for the neutral bitmaps 266 to 271.
void PaintArrowHalf(QPainter& p, const QRect& r, bool up, State s);

} // namespace builder
