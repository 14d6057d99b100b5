// The visual language of every generated skin: palette, type, button and field pictures,
// and the 16/32-pixel icons drawn as vector paths.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>

namespace builder
{

namespace colour
{
inline const QColor body{0x1E, 0x22, 0x27}, panel{0x26, 0x2B, 0x31}, inset{0x15, 0x18, 0x1C},
    hairline{0x34, 0x3A, 0x42}, text{0xE8, 0xEA, 0xED}, secondary{0x9A, 0xA3, 0xAD},
    disabled{0x5B, 0x63, 0x6C}, accent{0x2E, 0xC4, 0xB6}, accentPressed{0x1E, 0x9E, 0x93},
    accentHover{0x5F, 0xD6, 0xCB}, ok{0x4C, 0xC3, 0x8A}, warning{0xF5, 0xB3, 0x42},
    error{0xE5, 0x53, 0x4B}, charging{0x4E, 0xA8, 0xDE};
}

enum class State
{
    Normal,
    Hover,
    Pressed,
    Disabled
};

QFont LabelFont(double points = 9, bool bold = false);
// The figures of the status panel and the times read like a device display.
QFont FigureFont(double points = 9, bool bold = false);

// Vector icons, drawn with even strokes in one colour into a square.
enum class Icon
{
    None,
    Play,
    Pause,
    Stop,
    Previous,
    Next,
    OpenFile,
    Folder,
    Options,
    Loop,
    Gain,
    Denoise,
    Connected,
    Disconnected,
    Charging,
    Voice,
    Speaker,
    Calendar,
    AppMark
};
void PaintIcon(QPainter& p, const QRectF& r, Icon icon, const QColor& ink);

// The dialog body: graphite fill, a title band of `titleHeight` with a hairline under it,
// a 1-pixel top highlight and a hairline frame.
void PaintBody(QPainter& p, const QRect& r, int titleHeight, const QString& title);
// A push button; `primary` buttons carry the accent. Pressed is darker and shifted by one
// pixel, disabled is flat and dim: brightness tells the states apart, not hue alone.
void PaintButton(QPainter& p, const QRect& r, const QString& label, State s, bool primary);
// A push button with an icon and no text.
void PaintIconButton(QPainter& p, const QRect& r, Icon icon, State s, bool primary);
// The close button of the title band; the minimise button beside it.
void PaintCloseButton(QPainter& p, const QRect& r, State s);
void PaintMinimizeButton(QPainter& p, const QRect& r, State s);
// An inset field (edits, lists, value wells).
void PaintField(QPainter& p, const QRect& r, bool enabled = true);
// Check box and radio marks (16 pixels); checked ones carry the accent, disabled ones are dim.
void PaintCheckBox(QPainter& p, const QRect& box, State s, bool checked);
void PaintRadioMark(QPainter& p, const QRect& box, State s, bool checked);
// A toggle button (a check box drawn as a button): icon and label, lit while checked.
void PaintToggle(QPainter& p, const QRect& r, Icon icon, const QString& label, State s,
                 bool checked, bool rtl);
// A slider channel from x0 to x1 on the line y, and its round thumb centred on (x, y).
void PaintSliderChannel(QPainter& p, int x0, int x1, int y, bool enabled);
void PaintSliderThumb(QPainter& p, const QPointF& c, State s);
// Message icons (32 pixels): 0 error, 1 warning, 2 question, 3 information.
void PaintMessageIcon(QPainter& p, const QRect& r, int kind, bool highlight);
// Arrow halves of an up-down (up: true), for the neutral bitmaps 266 to 271.
void PaintArrowHalf(QPainter& p, const QRect& r, bool up, State s);

} // namespace builder
