#include "form_skin.h"

#include "describe.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

#include "res/strings.h"

namespace builder
{

namespace
{

using F = FormControl;

constexpr int kTitle = 23;

std::string Rgb(const QColor& c)
{
    return std::to_string(c.red()) + " " + std::to_string(c.green()) + " " +
           std::to_string(c.blue());
}
bool Rtl()
{
    return platform::PrimaryLanguage(platform::GetThreadLocale()) == 1;
}

QString Text(const F& c)
{
    QString s = Str(c.text);
    if (c.arg) s.replace(QStringLiteral("%d"), QString::number(c.arg));
    return s;
}

// A preview sample: a string of the table with literal text appended, or the literal text.
QString Sample(const F& c)
{
    QString s = QString::fromUtf8(c.sample ? c.sample : "");
    return c.sampleText ? Str(c.sampleText) + s : s;
}

// Alignment in absolute terms: "start" is the right edge in Arabic.
int Align(int flags)
{
    int h = flags & flag::kCenter                 ? Qt::AlignHCenter
            : flags & flag::kLeft                 ? Qt::AlignLeft
            : (Rtl() != bool(flags & flag::kEnd)) ? Qt::AlignRight
                                                  : Qt::AlignLeft;
    return Qt::AlignAbsolute | h | Qt::AlignVCenter;
}

QFont FontOf(const F& c)
{
    double pt = c.flags & flag::kLarge ? 13 : 9;
    bool bold = c.kind == F::Heading || (c.flags & flag::kLarge);
    return c.flags & flag::kFigure ? FigureFont(pt, bold) : LabelFont(pt, bold);
}

// `data`: figures, names and paths read left to right in every language.
void DrawText(QPainter& p, const QRect& r, const QString& s, const QFont& f, const QColor& ink,
              int align, bool data = false)
{
    if (!(align & Qt::TextWordWrap)) align |= Qt::TextSingleLine;
    p.save();
    p.setFont(f);
    p.setPen(ink);
    p.setLayoutDirection(Rtl() && !data ? Qt::RightToLeft : Qt::LeftToRight);
    p.drawText(r, align, s);
    p.restore();
}

// ---- geometry shared by description and pictures ---------------------------------------

constexpr QSize kThumb(16, 16);
constexpr int kTile = 8;

QPoint SliderOrigin(const F& c)
{
    return QPoint(10, c.rect.height() / 2);
}
int SliderLength(const F& c)
{
    return c.rect.width() - 20;
}
int SpinHalf(const F& c)
{
    return (c.rect.height() - 1) / 2;
}
// Date and time controls fill their rectangle with their background colour; they sit inside
// the field drawn in the background, with room on the left so the text does not touch it.
QRect DateInner(const F& c)
{
    return c.rect.adjusted(4, 1, -1, -1);
}
// Their drop button, relative to the control: a calendar for dates, the up-down for times.
QRect DateButton(const F& c)
{
    QRect in = DateInner(c);
    int w = c.kind == F::Time ? 16 : 23;
    return QRect(in.width() - w, 0, w, in.height());
}

// The menu bar's items as spans from the left edge. In Arabic the bar runs right to left:
// a blank span first, then the titles from the last (Help) to the first (File), so that File
// sits at the right end; the window hands its menus over in the same order.
std::vector<uint32_t> MenuTitles()
{
    std::vector<uint32_t> ids;
    for (uint32_t id = res::ids::kMenuFile; id <= res::ids::kMenuHelp; ++id)
        ids.push_back(id);
    if (Rtl())
    {
        std::reverse(ids.begin(), ids.end());
        ids.insert(ids.begin(), 0);
    }
    return ids;
}

int MenuTitleWidth(uint32_t id)
{
    return id ? QFontMetrics(LabelFont(9)).horizontalAdvance(Str(id)) + 24 : 0;
}

// The room all titles take together.
int MenuTitlesWidth()
{
    int total = 0;
    for (uint32_t id : MenuTitles())
        total += MenuTitleWidth(id);
    return total;
}

std::vector<int> MenuRights(const F& c)
{
    std::vector<uint32_t> ids = MenuTitles();
    std::vector<int> widths;
    int total = 0;
    for (uint32_t id : ids)
    {
        widths.push_back(MenuTitleWidth(id));
        total += widths.back();
    }
    if (!ids.empty() && ids[0] == 0) widths[0] = std::max(0, c.rect.width() - total);
    std::vector<int> r;
    int x = 0;
    for (int w : widths)
    {
        x += w;
        r.push_back(std::min(x, c.rect.width()));
    }
    return r;
}

QColor LevelColour(int quarter)
{
    return quarter == 0 ? colour::error : quarter == 1 ? colour::warning : colour::ok;
}

QColor ImageColour(const F& c)
{
    switch (c.icon)
    {
    case Icon::Connected:
        return colour::ok;
    case Icon::Charging:
        return colour::charging;
    case Icon::Voice:
        return colour::ok;
    default:
        return colour::secondary;
    }
}

// ---- painting controls in a state, in dialog coordinates ---------------------------------

void PaintChoice(QPainter& p, const F& c, State s, bool checked)
{
    if (c.kind == F::Toggle)
    {
        PaintToggle(p, c.rect, c.icon, Text(c), s, checked, Rtl());
        return;
    }
    bool rtl = Rtl();
    QRect box(rtl ? c.rect.right() - 15 : c.rect.left(), c.rect.center().y() - 7, 16, 16);
    if (c.kind == F::Check)
        PaintCheckBox(p, box, s, checked);
    else
        PaintRadioMark(p, box, s, checked);
    QRect t = rtl ? c.rect.adjusted(0, 0, -24, 0) : c.rect.adjusted(24, 0, 0, 0);
    DrawText(p, t, Text(c), LabelFont(9), s == State::Disabled ? colour::disabled : colour::text,
             Align(0));
}

void PaintLink(QPainter& p, const F& c, State s)
{
    QFont f = LabelFont(9);
    f.setUnderline(s != State::Normal);
    QColor ink = s == State::Pressed ? colour::accentPressed
                 : s == State::Hover ? colour::accentHover
                                     : colour::accent;
    DrawText(p, c.rect, Text(c), f, ink, Align(c.flags));
}

void PaintTimeButton(QPainter& p, const QRect& r, State s)
{
    int half = r.height() / 2;
    PaintArrowHalf(p, QRect(r.left(), r.top(), r.width(), half), true, s);
    PaintArrowHalf(p, QRect(r.left(), r.top() + half, r.width(), r.height() - half), false,
                   s == State::Pressed ? State::Normal : s);
}

void PaintDateButton(QPainter& p, const F& c, State s)
{
    QRect b = DateButton(c).translated(DateInner(c).topLeft());
    if (c.kind == F::Time)
    {
        PaintTimeButton(p, b, s);
        return;
    }
    p.save();
    p.setClipRect(b);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(s == State::Pressed ? colour::accentPressed : colour::inset);
    p.drawRoundedRect(QRectF(b).adjusted(-4.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
    p.setPen(colour::hairline);
    p.drawLine(b.topLeft() + QPoint(0, 3), b.bottomLeft() - QPoint(0, 3));
    QRectF ib(0, 0, 14, 14);
    ib.moveCenter(QRectF(b).center());
    PaintIcon(p, ib, Icon::Calendar,
              s == State::Disabled  ? colour::disabled
              : s == State::Pressed ? colour::inset
                                    : colour::accent);
}

void PaintComboButton(QPainter& p, const QRect& b, State s)
{
    p.save();
    p.setClipRect(b);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(s == State::Pressed ? colour::accentPressed : colour::inset);
    p.drawRoundedRect(QRectF(b).adjusted(-4.5, 1.5, -1.5, -1.5), 3, 3);
    p.restore();
    p.save();
    p.setPen(colour::hairline);
    p.drawLine(b.topLeft() + QPoint(0, 4), b.bottomLeft() - QPoint(0, 4));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(s == State::Disabled  ? colour::disabled
                  : s == State::Pressed ? colour::inset
                                        : colour::accent,
                  1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPointF m = QRectF(b).center();
    p.drawPolyline(QPolygonF({m + QPointF(-4, -2), m + QPointF(0, 2), m + QPointF(4, -2)}));
    p.restore();
}

void PaintMenu(QPainter& p, const F& c, bool selected)
{
    std::vector<int> rights = MenuRights(c);
    std::vector<uint32_t> titles = MenuTitles();
    int left = 0;
    for (size_t i = 0; i < rights.size(); ++i)
    {
        QRect item(c.rect.left() + left, c.rect.top(), rights[i] - left, c.rect.height());
        if (!titles[i])
        {
            left = rights[i];
            continue;
        }
        if (selected)
        {
            p.save();
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(Qt::NoPen);
            p.setBrush(colour::hairline);
            p.drawRoundedRect(QRectF(item).adjusted(2, 3, -2, -3), 4, 4);
            p.restore();
            // an accent bar under the open item: shape, not only brightness
            p.fillRect(QRect(item.left() + 8, item.bottom() - 3, item.width() - 16, 2),
                       colour::accent);
        }
        DrawText(p, item, Str(titles[i]), LabelFont(9), selected ? colour::text : colour::secondary,
                 Qt::AlignAbsolute | Qt::AlignHCenter | Qt::AlignVCenter);
        left = rights[i];
    }
}

void PaintIndicatorTiles(QPainter& p, const QRect& r, int count, const QColor& c)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int i = 0; i < count; ++i)
        p.drawRoundedRect(QRectF(r.left() + i * kTile, r.top() + 1, kTile - 2, r.height() - 2), 1.5,
                          1.5);
    p.restore();
}

void PaintImage(QPainter& p, const F& c, bool highlight)
{
    QColor ink = ImageColour(c);
    if (highlight) ink = ink.lighter(125);
    QRectF box(0, 0, 16, 16);
    box.moveCenter(QRectF(c.rect).center());
    PaintIcon(p, box, c.icon, ink);
}

void PaintProgress(QPainter& p, const QRect& r, bool full)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(full ? colour::accentPressed : colour::hairline, 1));
    p.setBrush(full ? colour::accent : colour::inset);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
}

// ---- what each control contributes: keys and pictures -------------------------------------

struct Pic
{
    std::string key;
    QRect src; // in the dialog: the state is painted there and cut out
    std::function<void(QPainter&)> paint;
    bool preview; // the normal picture, placed in previews
};

struct Entry
{
    std::vector<std::pair<std::string, std::string>> keys; // before the pictures
    std::vector<Pic> pics;
    std::vector<std::pair<std::string, std::string>> colours; // after them
};

const State kThree[3] = {State::Normal, State::Pressed, State::Disabled};

Entry Describe(const F& c)
{
    Entry e;
    const QRect r = c.rect;
    auto key = [&](const std::string& k, const std::string& v) { e.keys.push_back({k, v}); };
    auto col = [&](const std::string& k, const QColor& v) { e.colours.push_back({k, Rgb(v)}); };
    auto placement = [&]
    {
        key("size", Sz(r.size()));
        key("position", Pt(r.topLeft()));
    };
    switch (c.kind)
    {
    case F::Label:
    case F::Heading:
    case F::Panel:
    case F::Well:
        break;
    case F::Static:
        placement();
        col("text_color", c.flags & flag::kSecondary ? colour::secondary : colour::text);
        if (c.flags & flag::kAccent) col("accent_color", colour::accent);
        break;
    case F::List:
        placement();
        col("text_color", colour::text);
        col("bg_color", colour::inset);
        col("selected_text_color", colour::inset);
        col("selected_bg_color", colour::accent);
        break;
    case F::Edit:
        key("edit_position", Pt(r.topLeft() + QPoint(8, 4)));
        key("edit_size", Sz(r.size() - QSize(16, 8)));
        col("edit_text_color", colour::text);
        col("bg_color", colour::inset);
        break;
    case F::Button:
    case F::IconButton:
    case F::Close:
    case F::Minimize:
    {
        key("button_size", Sz(r.size()));
        key("button_position", Pt(r.topLeft()));
        key("active_rect_size", Sz(r.size()));
        key("active_rect_position", Pt(r.topLeft()));
        const char* names[3] = {"skin_button_position", "skin_button_position_pushed",
                                "skin_button_position_disabled"};
        for (int i = 0; i < 3; ++i)
        {
            State s = kThree[i];
            e.pics.push_back({names[i], r,
                              [c, s](QPainter& p)
                              {
                                  switch (c.kind)
                                  {
                                  case F::Close:
                                      PaintCloseButton(p, c.rect, s);
                                      break;
                                  case F::Minimize:
                                      PaintMinimizeButton(p, c.rect, s);
                                      break;
                                  case F::IconButton:
                                      PaintIconButton(p, c.rect, c.icon, s,
                                                      c.flags & flag::kPrimary);
                                      break;
                                  default:
                                      PaintButton(p, c.rect, Text(c), s, c.flags & flag::kPrimary);
                                  }
                              },
                              i == 0});
        }
        break;
    }
    case F::Check:
    case F::Toggle:
    case F::Radio:
    {
        placement();
        struct S
        {
            const char* key;
            State s;
            bool checked;
        } states[5] = {{"skin_position", State::Normal, false},
                       {"skin_position_pushed", State::Pressed, false},
                       {"skin_position_disabled", State::Disabled, false},
                       {"skin_position_checked", State::Normal, true},
                       {"skin_position_checked_disabled", State::Disabled, true}};
        for (const S& s : states)
            e.pics.push_back({s.key, r, [c, s](QPainter& p) { PaintChoice(p, c, s.s, s.checked); },
                              s.key == states[0].key});
        break;
    }
    case F::Slider:
    {
        placement();
        QPoint o = SliderOrigin(c);
        int len = SliderLength(c);
        auto channel = [c, o, len](QPainter& p)
        {
            PaintSliderChannel(p, c.rect.left() + o.x(), c.rect.left() + o.x() + len,
                               c.rect.top() + o.y(), true);
        };
        e.pics.push_back({"skin_position", r, channel, true});
        QRect thumb(QPoint(0, 0), kThumb);
        thumb.moveCenter(r.topLeft() + o + QPoint(len / 2, 0));
        e.pics.push_back({"skin_position_thumb", thumb,
                          [channel, thumb](QPainter& p)
                          {
                              channel(p);
                              PaintSliderThumb(p, QRectF(thumb).center(), State::Normal);
                          },
                          false});
        key("thumb_size", Sz(kThumb));
        key("channel_origin", Pt(o));
        key("channel_length", std::to_string(len));
        break;
    }
    case F::Indicator:
    {
        placement();
        int n = r.width() / kTile;
        e.pics.push_back({"skin_position", r,
                          [r, n](QPainter& p) { PaintIndicatorTiles(p, r, n, colour::hairline); },
                          true});
        key("size_part", Sz(QSize(kTile, r.height())));
        const char* names[4] = {"skin_part_position_00", "skin_part_position_25",
                                "skin_part_position_50", "skin_part_position_75"};
        for (int q = 0; q < 4; ++q)
            e.pics.push_back({names[q], QRect(r.topLeft(), QSize(kTile, r.height())),
                              [r, q](QPainter& p) { PaintIndicatorTiles(p, r, 1, LevelColour(q)); },
                              false});
        break;
    }
    case F::Progress:
        placement();
        e.pics.push_back(
            {"skin_position", r, [r](QPainter& p) { PaintProgress(p, r, false); }, true});
        e.pics.push_back(
            {"skin_position_full", r, [r](QPainter& p) { PaintProgress(p, r, true); }, false});
        break;
    case F::Image:
        placement();
        e.pics.push_back({"skin_position", r, [c](QPainter& p) { PaintImage(p, c, false); }, true});
        e.pics.push_back(
            {"skin_position_highlight", r, [c](QPainter& p) { PaintImage(p, c, true); }, false});
        col("text_color", colour::text);
        break;
    case F::Link:
    {
        placement();
        const char* names[3] = {"skin_position", "skin_position_over", "skin_position_pushed"};
        const State states[3] = {State::Normal, State::Hover, State::Pressed};
        for (int i = 0; i < 3; ++i)
        {
            State s = states[i];
            e.pics.push_back({names[i], r, [c, s](QPainter& p) { PaintLink(p, c, s); }, i == 0});
        }
        break;
    }
    case F::Spin:
    {
        int h = SpinHalf(c);
        QRect up(r.topLeft(), QSize(r.width(), h));
        QRect down = up.translated(0, h + 1);
        key("size", Sz(up.size()));
        key("position_up", Pt(up.topLeft()));
        key("position_down", Pt(down.topLeft()));
        const char* upNames[3] = {"skin_position_up", "skin_position_up_pushed",
                                  "skin_position_up_disabled"};
        const char* downNames[3] = {"skin_position_down", "skin_position_down_pushed",
                                    "skin_position_down_disabled"};
        for (int i = 0; i < 3; ++i)
        {
            State s = kThree[i];
            e.pics.push_back(
                {upNames[i], up, [up, s](QPainter& p) { PaintArrowHalf(p, up, true, s); }, i == 0});
            e.pics.push_back({downNames[i], down,
                              [down, s](QPainter& p) { PaintArrowHalf(p, down, false, s); },
                              i == 0});
        }
        break;
    }
    case F::Date:
    case F::Time:
    {
        QRect in = DateInner(c);
        key("size", Sz(in.size()));
        key("position", Pt(in.topLeft()));
        e.pics.push_back({"skin_position", in, [](QPainter&) {}, false});
        QRect b = DateButton(c);
        key("button_size", Sz(b.size()));
        key("button_position", Pt(b.topLeft()));
        const char* names[3] = {"skin_position_button", "skin_position_button_pushed",
                                "skin_position_button_disabled"};
        for (int i = 0; i < 3; ++i)
        {
            State s = kThree[i];
            e.pics.push_back({names[i], b.translated(in.topLeft()),
                              [c, s](QPainter& p) { PaintDateButton(p, c, s); }, i == 0});
        }
        col("text_color", colour::text);
        col("bg_color", colour::inset);
        col("bg_cal_color", colour::panel);
        col("month_cal_color", colour::inset);
        col("text_cal_color", colour::text);
        col("title_bg_cal_color", colour::accent);
        col("title_text_cal_color", colour::inset);
        col("trailing_text_cal_color", colour::disabled);
        break;
    }
    case F::Combo:
    {
        placement();
        // the edit background is one pixel larger each way than the edit part
        QRect edit(5, 1, r.width() - 24 - 6, r.height() - 2);
        e.pics.push_back({"skin_position", edit.adjusted(-1, -1, 1, 1).translated(r.topLeft()),
                          [](QPainter&) {}, false});
        key("edit_position", Pt(edit.topLeft()));
        key("edit_size", Sz(edit.size()));
        key("button_size", "24 " + std::to_string(r.height()));
        key("button_position", Pt(QPoint(r.width() - 24, 0)));
        const char* names[3] = {"skin_position_button", "skin_position_button_pushed",
                                "skin_position_button_disabled"};
        QRect b(r.right() - 23, r.top(), 24, r.height());
        for (int i = 0; i < 3; ++i)
        {
            State s = kThree[i];
            e.pics.push_back(
                {names[i], b, [b, s](QPainter& p) { PaintComboButton(p, b, s); }, i == 0});
        }
        e.colours.push_back({"combo_edit_id", "1001"});
        col("edit_text_color", colour::text);
        col("bg_color", colour::panel);
        col("selected_bg_color", colour::accent);
        col("text_color", colour::text);
        col("selected_text_color", colour::inset);
        break;
    }
    case F::Menu:
    {
        placement();
        e.pics.push_back({"skin_position", r, [c](QPainter& p) { PaintMenu(p, c, false); }, true});
        e.pics.push_back(
            {"skin_position_selected", r, [c](QPainter& p) { PaintMenu(p, c, true); }, false});
        std::vector<int> rights = MenuRights(c);
        key("item_count", std::to_string(rights.size()));
        std::string list;
        for (int x : rights)
            list += (list.empty() ? "" : " ") + std::to_string(x);
        key("item_right", list);
        break;
    }
    }
    return e;
}

// ---- the background ---------------------------------------------------------------------

QImage Background(const FormDialog& d)
{
    QImage img(d.size, QImage::Format_RGB32);
    QPainter p(&img);
    PaintBody(p, QRect(QPoint(0, 0), d.size), kTitle, Str(d.title));
    if (d.footer > 0)
    {
        p.fillRect(QRect(1, d.footer, d.size.width() - 2, d.size.height() - d.footer - 1),
                   QColor(0x22, 0x26, 0x2B));
        p.setPen(colour::hairline);
        p.drawLine(1, d.footer, d.size.width() - 2, d.footer);
    }
    for (const F& c : d.controls)
    {
        switch (c.kind)
        {
        case F::Panel:
            p.save();
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(colour::hairline, 1));
            p.setBrush(colour::panel);
            p.drawRoundedRect(QRectF(c.rect).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
            p.restore();
            break;
        case F::Heading:
        {
            QFont f = FontOf(c);
            int w = QFontMetrics(f).horizontalAdvance(Text(c));
            DrawText(p, c.rect, Text(c), f, colour::text, Align(0));
            p.setPen(colour::hairline);
            int y = c.rect.center().y() + 1;
            if (Rtl())
                p.drawLine(c.rect.left(), y, c.rect.right() - w - 10, y);
            else
                p.drawLine(c.rect.left() + w + 10, y, c.rect.right(), y);
            break;
        }
        case F::Label:
            if (c.icon != Icon::None)
            {
                PaintIcon(p, c.rect, c.icon, colour::accent);
                break;
            }
            DrawText(p, c.rect, c.text ? Text(c) : Sample(c), FontOf(c),
                     c.flags & flag::kPrimary ? colour::text : colour::secondary,
                     c.flags & flag::kWrap
                         ? (Align(c.flags) & ~Qt::AlignVCenter) | Qt::AlignTop | Qt::TextWordWrap
                         : Align(c.flags));
            break;
        case F::Well:
        case F::Edit:
        case F::Date:
        case F::Time:
        case F::Combo:
        case F::List:
            PaintField(p, c.rect);
            break;
        default:
            break;
        }
    }
    return img;
}

// Where each picture sits in the strip below the background: shelves filled left to right.
struct Layout
{
    std::vector<Entry> entries;
    std::vector<std::vector<QPoint>> at; // per control, per picture
    QSize bitmap;
};

// The texts a control is named by for screen readers, as string numbers ("" for none): its
// own; else the label drawn before it on its row, or the one just above it; else,
// in a table, the text its row starts with and its column's heading; else the label after it.
std::string NameText(const FormDialog& d, const F& c)
{
    const auto one = [](uint32_t id) { return id ? std::to_string(id) : std::string(); };
    switch (c.kind)
    {
    case F::Close:
        return one(res::ids::kCloseButton);
    case F::Minimize:
        return one(res::ids::kMinimizeButton);
    case F::IconButton:
        return c.icon == Icon::Folder ? one(res::ids::kBrowseButton) : ""; // else its tool tip
    case F::Button:
    case F::Check:
    case F::Toggle:
    case F::Radio:
        if (c.text) return one(c.text);
        break;
    case F::Edit:
    case F::Combo:
    case F::Date:
    case F::Time:
    case F::Slider:
    case F::List:
        break;
    default:
        return "";
    }
    const QRect r = c.rect;
    // distances along the row and up from the control; the layout tables place controls alike
    // in every language (a neutral description serves them all), so left comes first
    const auto ahead = [&](const QRect& t) { return r.left() - t.right(); };
    const auto behind = [&](const QRect& t) { return t.left() - r.right(); };
    uint32_t before = 0, column = 0, leader = 0, after = 0;
    int beforeGap = 1 << 20, columnGap = 1 << 20, leaderGap = 1 << 20, afterGap = 1 << 20;
    for (const F& l : d.controls)
    {
        if (!l.text || &l == &c) continue;
        const QRect t = l.rect;
        const bool label = l.kind == F::Label || l.kind == F::Heading;
        const bool choice = l.kind == F::Check || l.kind == F::Toggle || l.kind == F::Radio;
        const bool row = t.top() < r.bottom() && t.bottom() > r.top();
        const bool over = t.bottom() <= r.top() + 2 && t.left() < r.right() && t.right() > r.left();
        const auto closer = [](uint32_t& id, int& best, uint32_t text, int gap)
        {
            if (gap >= 0 && gap < best) std::tie(id, best) = std::pair(text, gap);
        };
        if (label && row && ahead(t) >= -4) closer(before, beforeGap, l.text, ahead(t) + 4);
        if (label && row && behind(t) >= -4) closer(after, afterGap, l.text, behind(t) + 4);
        if (choice && row && ahead(t) >= -4) closer(leader, leaderGap, l.text, ahead(t) + 4);
        if (label && over) closer(column, columnGap, l.text, r.top() - t.bottom());
    }
    if (before) return one(before);
    if (column && columnGap <= 40) return one(column); // the label just above it
    if (column) return leader ? one(leader) + " " + one(column) : one(column);
    return one(after);
}

Layout Pack(const FormDialog& d)
{
    Layout l;
    int width = d.size.width();
    for (const F& c : d.controls)
    {
        l.entries.push_back(Describe(c));
        if (const std::string name = NameText(d, c); !name.empty())
            l.entries.back().keys.push_back({"label_text", name});
        for (const Pic& pic : l.entries.back().pics)
            width = std::max(width, pic.src.width());
    }
    int x = 0, y = d.size.height(), shelf = 0;
    for (const Entry& e : l.entries)
    {
        l.at.emplace_back();
        for (const Pic& pic : e.pics)
        {
            if (x + pic.src.width() > width)
            {
                x = 0;
                y += shelf;
                shelf = 0;
            }
            l.at.back().push_back(QPoint(x, y));
            x += pic.src.width();
            shelf = std::max(shelf, pic.src.height());
        }
    }
    l.bitmap = QSize(width, y + shelf);
    return l;
}

QImage Cut(const QImage& background, const Pic& pic)
{
    QImage piece = background.copy(pic.src);
    QPainter q(&piece);
    q.translate(-pic.src.topLeft());
    pic.paint(q);
    return piece;
}

} // namespace

std::string FormDescription(const FormDialog& d)
{
    std::string t;
    auto line = [&](const std::string& s) { t += s + "\r\n"; };
    line("[" + d.name + "]");
    line("size=" + Sz(d.size));
    line("skin_position=0 0");
    line("title_height=23");
    Layout l = Pack(d);
    for (size_t i = 0; i < d.controls.size(); ++i)
    {
        const Entry& e = l.entries[i];
        if (d.controls[i].name.empty()) continue;
        line("[" + d.controls[i].name + "]");
        for (const auto& [k, v] : e.keys)
            line(k + "=" + v);
        for (size_t j = 0; j < e.pics.size(); ++j)
            line(e.pics[j].key + "=" + Pt(l.at[i][j]));
        for (const auto& [k, v] : e.colours)
            line(k + "=" + v);
    }
    return t;
}

QImage FormBitmap(const FormDialog& d)
{
    Layout l = Pack(d);
    QImage bg = Background(d);
    QImage img(l.bitmap, QImage::Format_RGB32);
    img.fill(colour::body);
    QPainter p(&img);
    p.drawImage(0, 0, bg);
    for (size_t i = 0; i < d.controls.size(); ++i)
        for (size_t j = 0; j < l.entries[i].pics.size(); ++j)
            p.drawImage(l.at[i][j], Cut(bg, l.entries[i].pics[j]));
    return img;
}

QImage FormPreview(const FormDialog& d)
{
    Layout l = Pack(d);
    QImage bg = Background(d);
    QImage out = bg;
    QPainter p(&out);
    for (size_t i = 0; i < d.controls.size(); ++i)
    {
        const F& c = d.controls[i];
        if (c.flags & flag::kNoPreview) continue;
        auto pic = [&](const std::string& key) -> const Pic&
        {
            for (const Pic& x : l.entries[i].pics)
                if (x.key == key) return x;
            return l.entries[i].pics.front();
        };
        for (const Pic& x : l.entries[i].pics)
            if (x.preview) p.drawImage(x.src.topLeft(), Cut(bg, x));
        // value-like controls at their sample value, drawn as the controls draw themselves
        int v = c.sample ? std::clamp(QString::fromUtf8(c.sample).toInt(), 0, 100) : -1;
        if (v >= 0 && c.kind == F::Slider)
        {
            const Pic& t = pic("skin_position_thumb");
            QRect at = t.src;
            at.moveCenter(c.rect.topLeft() + SliderOrigin(c) +
                          QPoint(SliderLength(c) * v / 100, 0));
            p.drawImage(at.topLeft(), Cut(bg, t));
        }
        if (v >= 0 && c.kind == F::Indicator)
        {
            const char* parts[4] = {"skin_part_position_00", "skin_part_position_25",
                                    "skin_part_position_50", "skin_part_position_75"};
            QImage tile = Cut(bg, pic(parts[std::min(v / 25, 3)]));
            int filled = c.rect.width() * v / 100;
            for (int x = 0; x < filled; x += kTile)
                p.drawImage(c.rect.topLeft() + QPoint(x, 0), tile,
                            QRect(0, 0, std::min(kTile, filled - x), c.rect.height()));
        }
        if (v > 0 && c.kind == F::Progress)
            p.drawImage(c.rect.topLeft(), Cut(bg, pic("skin_position_full")),
                        QRect(0, 0, c.rect.width() * v / 100, c.rect.height()));
        if (c.kind == F::List)
        {
            // the list draws its own header and rows; a sketch of them shows the proportions
            const int widths[9] = {30, 30, 30, 105, 75, 75, 50, 75, 95};
            double k = (c.rect.width() - 2) / 565.0;
            int x = c.rect.left() + 1;
            p.fillRect(QRect(c.rect.left() + 1, c.rect.top() + 1, c.rect.width() - 2, 22),
                       colour::panel);
            for (int col = 0; col < 9; ++col)
            {
                int w = int(widths[col] * k);
                DrawText(p, QRect(x + 6, c.rect.top() + 1, w - 8, 22),
                         Str(res::ids::kColumnNumber + uint32_t(col)), LabelFont(8.5),
                         colour::secondary, Align(0));
                x += w;
            }
        }
        if ((!c.sample && !c.sampleText) || c.kind == F::Label || c.kind == F::Slider ||
            c.kind == F::Indicator || c.kind == F::Progress)
            continue;
        QString s = Sample(c);
        bool data = !c.sampleText;
        switch (c.kind)
        {
        case F::Static:
            DrawText(p, c.rect, s, FontOf(c),
                     c.flags & flag::kSecondary ? colour::secondary : colour::text,
                     c.flags & flag::kWrap
                         ? (Align(c.flags) & ~Qt::AlignVCenter) | Qt::AlignTop | Qt::TextWordWrap
                         : Align(c.flags),
                     data);
            break;
        case F::Edit:
            // paths, serial numbers and keys read left to right in every language
            DrawText(p, c.rect.adjusted(8, 0, -8, 0), s, FontOf(c), colour::text,
                     data ? Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter : Align(c.flags),
                     data);
            break;
        case F::Combo:
            DrawText(p, c.rect.adjusted(8, 0, -28, 0), s, LabelFont(9), colour::text,
                     Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter, data);
            break;
        case F::Date:
        case F::Time:
            DrawText(p, DateInner(c).adjusted(2, 0, -24, 0), s, LabelFont(9), colour::text,
                     Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter, data);
            break;
        default:
            break;
        }
    }
    return out;
}

std::vector<std::string> FormOverflows(const FormDialog& d)
{
    std::vector<std::string> out;
    auto report = [&](const F& c, const QString& what)
    {
        out.push_back(d.name + " " + (c.name.empty() ? std::to_string(c.text) : c.name) + " \"" +
                      what.toStdString() + "\"");
    };
    QFontMetrics title(LabelFont(8, true));
    if (title.horizontalAdvance(Str(d.title)) > d.size.width() - 72)
        out.push_back(d.name + " title");
    for (const F& c : d.controls)
    {
        int room = c.rect.width();
        QString s;
        QFont f = FontOf(c);
        switch (c.kind)
        {
        case F::Label:
            if (c.icon != Icon::None) continue;
            s = c.text ? Text(c) : Sample(c);
            break;
        case F::Heading:
            s = Text(c);
            room -= 24;
            break;
        case F::Button:
            s = Text(c);
            room -= 12;
            f = LabelFont(9, c.flags & flag::kPrimary);
            break;
        case F::Check:
        case F::Radio:
            s = Text(c);
            room -= 24;
            f = LabelFont(9);
            break;
        case F::Toggle:
            s = Text(c);
            room -= 40;
            f = LabelFont(9);
            break;
        case F::Link:
            s = Text(c);
            f = LabelFont(9);
            break;
        case F::Menu:
            if (MenuTitlesWidth() >= c.rect.width()) report(c, "menu");
            continue;
        case F::Static:
        case F::Edit:
        case F::Combo:
            if (!c.sample && !c.sampleText) continue;
            s = Sample(c);
            room -= c.kind == F::Edit ? 16 : c.kind == F::Combo ? 28 : 0;
            break;
        default:
            continue;
        }
        if (c.text && !res::LoadString(c.text).size()) report(c, "missing text");
        if (c.flags & flag::kWrap)
        {
            const QRect lines =
                QFontMetrics(f).boundingRect(QRect(0, 0, room, 1 << 16), Qt::TextWordWrap, s);
            if (lines.height() > c.rect.height()) report(c, s);
        }
        else if (QFontMetrics(f).horizontalAdvance(s) > room)
            report(c, s);
    }
    return out;
}

} // namespace builder
