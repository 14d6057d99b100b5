#include "msgbox_skin.h"

#include <QPainter>

#include "describe.h"
#include "painter_kit.h"
#include "res/strings.h"

namespace builder
{

namespace
{

// Layout on the 8-pixel grid. The state pictures sit below the background in the bitmap.
constexpr int kW = 400, kH = 160, kTitle = 23;
constexpr QSize kButton(88, 28), kIcon(32, 32), kClose(16, 16);
constexpr QPoint kOk(156, 116), kYes(108, 116), kNo(204, 116), kClosePos(376, 4);
constexpr QPoint kIconPos(24, 48), kTextPos(72, 36);
constexpr QSize kText(304, 68);
constexpr int kStripY = kH;          // button pictures: 3 rows (OK, Yes, No) x 3 states
constexpr int kIconY = kH + 3 * 28;  // icons: 4 kinds x (normal, highlight)
constexpr int kCloseY = kIconY + 32; // close: normal, pushed, disabled
constexpr int kBitmapH = kCloseY + 16;

} // namespace

std::string MsgBoxDescription()
{
    std::string d;
    auto line = [&](const std::string& s) { d += s + "\r\n"; };
    line("[IDD_MSGBOX_DIALOG]");
    line("size=" + Sz(QSize(kW, kH)));
    line("skin_position=0 0");
    line("title_height=23");
    const char* names[3] = {"IDOK", "IDYES", "IDNO"};
    const uint32_t texts[3] = {res::ids::kOkButton, res::ids::kYesButton, res::ids::kNoButton};
    QPoint pos[3] = {kOk, kYes, kNo};
    for (int i = 0; i < 3; ++i)
    {
        int y = kStripY + i * 28;
        line(std::string("[") + names[i] + "]");
        line("button_size=" + Sz(kButton));
        line("button_position=" + Pt(pos[i]));
        line("active_rect_size=" + Sz(kButton));
        line("active_rect_position=" + Pt(pos[i]));
        line("skin_button_position=" + Pt(QPoint(0, y)));
        line("skin_button_position_pushed=" + Pt(QPoint(88, y)));
        line("skin_button_position_disabled=" + Pt(QPoint(176, y)));
        line("label_text=" + std::to_string(texts[i])); // the name a screen reader says
    }
    line("[IDC_CANCEL]");
    line("button_size=" + Sz(kClose));
    line("button_position=" + Pt(kClosePos));
    line("active_rect_size=" + Sz(kClose));
    line("active_rect_position=" + Pt(kClosePos));
    line("skin_button_position=" + Pt(QPoint(0, kCloseY)));
    line("skin_button_position_pushed=" + Pt(QPoint(16, kCloseY)));
    line("skin_button_position_disabled=" + Pt(QPoint(32, kCloseY)));
    line("label_text=" + std::to_string(res::ids::kCloseButton));
    const char* icons[4] = {"IDC_ICON_ERROR", "IDC_ICON_WARNING", "IDC_ICON_ASK", "IDC_ICON_INFO"};
    for (int i = 0; i < 4; ++i)
    {
        line(std::string("[") + icons[i] + "]");
        line("size=" + Sz(kIcon));
        line("position=" + Pt(kIconPos));
        line("skin_position=" + Pt(QPoint(i * 64, kIconY)));
        line("skin_position_highlight=" + Pt(QPoint(i * 64 + 32, kIconY)));
        line("text_color=232 234 237");
    }
    line("[IDC_STATIC_TEXT]");
    line("size=" + Sz(kText));
    line("position=" + Pt(kTextPos));
    line("text_color=232 234 237");
    return d;
}

QImage MsgBoxBitmap(int number)
{
    QImage img(kW, kBitmapH, QImage::Format_RGB32);
    img.fill(colour::body);
    QPainter p(&img);
    PaintBody(p, QRect(0, 0, kW, kH), kTitle, Str(res::ids::kProductName));
    // a quiet footer band under the buttons; the box without buttons (216) has none
    if (number != 216)
    {
        p.fillRect(QRect(1, 108, kW - 2, kH - 109), QColor(0x22, 0x26, 0x2B));
        p.setPen(colour::hairline);
        p.drawLine(1, 108, kW - 2, 108);
    }
    uint32_t labels[3] = {res::ids::kOkButton, res::ids::kYesButton, res::ids::kNoButton};
    for (int i = 0; i < 3; ++i)
    {
        int y = kStripY + i * 28;
        bool primary = i != 2; // OK and Yes are the default buttons
        PaintButton(p, QRect(QPoint(0, y), kButton), Str(labels[i]), State::Normal, primary);
        PaintButton(p, QRect(QPoint(88, y), kButton), Str(labels[i]), State::Pressed, primary);
        PaintButton(p, QRect(QPoint(176, y), kButton), Str(labels[i]), State::Disabled, primary);
    }
    for (int i = 0; i < 4; ++i)
    {
        PaintMessageIcon(p, QRect(QPoint(i * 64, kIconY), kIcon), i, false);
        PaintMessageIcon(p, QRect(QPoint(i * 64 + 32, kIconY), kIcon), i, true);
    }
    PaintCloseButton(p, QRect(QPoint(0, kCloseY), kClose), State::Normal);
    PaintCloseButton(p, QRect(QPoint(16, kCloseY), kClose), State::Pressed);
    PaintCloseButton(p, QRect(QPoint(32, kCloseY), kClose), State::Disabled);
    return img;
}

QImage UpDownBitmap(int number)
{
    QImage img(16, 11, QImage::Format_RGB32);
    QPainter p(&img);
    bool up = number == 266 || number == 267 || number == 270;
    State s = number == 267 || number == 269 ? State::Pressed
              : number >= 270                ? State::Disabled
                                             : State::Normal;
    PaintArrowHalf(p, img.rect(), up, s);
    return img;
}

} // namespace builder
