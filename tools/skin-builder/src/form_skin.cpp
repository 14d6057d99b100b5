#include "form_skin.h"

#include <QFontMetrics>
#include <QPainter>

#include "painter_kit.h"
#include "res/strings.h"
#include "skin/skin_manager.h"

namespace builder {

namespace {

QString Str(uint32_t id) { return QString::fromStdString(res::LoadString(id)); }
std::string Pt(QPoint p) { return std::to_string(p.x()) + " " + std::to_string(p.y()); }
std::string Sz(QSize s) { return std::to_string(s.width()) + " " + std::to_string(s.height()); }
bool Rtl() { return platform::PrimaryLanguage(platform::GetThreadLocale()) == 1; }

constexpr int kTitle = 23;
constexpr QSize kCloseSize(16, 16);

FormControl Close(int width) { return {FormControl::Close, "IDC_CANCEL", QRect(QPoint(width - 24, 4), kCloseSize)}; }
FormControl Ok(int y) { return {FormControl::Button, "IDOK", QRect(152, y, 88, 28), 40020, true}; }
FormControl Cancel(int y) { return {FormControl::Button, "IDCANCEL", QRect(248, y, 88, 28), 40023}; }
FormControl Lbl(int y, uint32_t text) { return {FormControl::Label, "", QRect(24, y, 312, 16), text}; }
FormControl Fld(const char* name, int y) { return {FormControl::Edit, name, QRect(24, y, 312, 24)}; }

// Where a control's state pictures sit in the strip: one row per control, 3 states.
struct Strip
{
    int top;
    std::vector<int> rows; // y of each control's row, -1 for none
};

Strip StripFor(const FormDialog& d)
{
    Strip s{d.size.height(), {}};
    int y = s.top;
    for (const FormControl& c : d.controls)
    {
        if (c.kind == FormControl::Label)
        {
            s.rows.push_back(-1);
            continue;
        }
        s.rows.push_back(y);
        y += c.kind == FormControl::Combo ? c.rect.height() + 2 : c.rect.height();
    }
    s.rows.push_back(y); // end
    return s;
}

int Width(const FormDialog& d)
{
    int w = d.size.width();
    for (const FormControl& c : d.controls)
        if (c.kind == FormControl::Combo)
            w = std::max(w, c.rect.width() + 2 + 3 * 24);
        else if (c.kind != FormControl::Label)
            w = std::max(w, 3 * c.rect.width());
    return w;
}

void PaintField(QPainter& p, const QRect& r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(colour::hairline, 1));
    p.setBrush(colour::inset);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.restore();
}

} // namespace

const std::vector<FormDialog>& FormDialogs()
{
    static const std::vector<FormDialog> dialogs = {
        {"IDD_PIN_DIALOG", 199, 193, true, QSize(360, 184), 40030,
         {Lbl(40, 40031), Fld("IDC_EDIT_UIN", 58), Lbl(92, 40032), Fld("IDC_EDIT_PIN", 110),
          Ok(148), Cancel(148), Close(360)}},
        {"IDD_CHANGE_PIN_DIALOG", 200, 201, false, QSize(360, 236), 40033,
         {Lbl(40, 40034), Fld("IDC_EDIT_PIN_OLD", 58), Lbl(92, 40035),
          Fld("IDC_EDIT_PIN_NEW1", 110), Lbl(144, 40036), Fld("IDC_EDIT_PIN_NEW2", 162),
          Ok(200), Cancel(200), Close(360)}},
        {"IDD_DEVICE_DIALOG", 203, 202, false, QSize(360, 132), 40037,
         {Lbl(40, 40038), {FormControl::Combo, "IDC_CMB_DEVICE", QRect(24, 58, 312, 24)},
          Ok(96), Cancel(96), Close(360)}},
    };
    return dialogs;
}

std::string FormDescription(const FormDialog& d)
{
    std::string t;
    auto line = [&](const std::string& s) { t += s + "\r\n"; };
    line("[" + d.name + "]");
    line("size=" + Sz(d.size));
    line("skin_position=0 0");
    line("title_height=23");
    Strip s = StripFor(d);
    for (size_t i = 0; i < d.controls.size(); ++i)
    {
        const FormControl& c = d.controls[i];
        int row = s.rows[i];
        switch (c.kind)
        {
        case FormControl::Label:
            break;
        case FormControl::Edit:
            line("[" + c.name + "]");
            line("edit_position=" + Pt(c.rect.topLeft() + QPoint(8, 4)));
            line("edit_size=" + Sz(c.rect.size() - QSize(16, 8)));
            line("edit_text_color=232 234 237");
            line("bg_color=21 24 28");
            break;
        case FormControl::Combo:
        {
            line("[" + c.name + "]");
            line("size=" + Sz(c.rect.size()));
            line("position=" + Pt(c.rect.topLeft()));
            line("skin_position=" + Pt(QPoint(0, row)));
            line("edit_position=1 1");
            line("edit_size=" + Sz(c.rect.size() - QSize(2 + 24, 2)));
            line("button_size=24 " + std::to_string(c.rect.height()));
            line("button_position=" + Pt(QPoint(c.rect.width() - 24, 0)));
            int bx = c.rect.width() + 2;
            line("skin_position_button=" + Pt(QPoint(bx, row)));
            line("skin_position_button_pushed=" + Pt(QPoint(bx + 24, row)));
            line("skin_position_button_disabled=" + Pt(QPoint(bx + 48, row)));
            line("combo_edit_id=1001");
            line("edit_text_color=232 234 237");
            line("bg_color=38 43 49");
            line("selected_bg_color=46 196 182");
            line("text_color=232 234 237");
            line("selected_text_color=21 24 28");
            break;
        }
        case FormControl::Button:
        case FormControl::Close:
            line("[" + c.name + "]");
            line("button_size=" + Sz(c.rect.size()));
            line("button_position=" + Pt(c.rect.topLeft()));
            line("active_rect_size=" + Sz(c.rect.size()));
            line("active_rect_position=" + Pt(c.rect.topLeft()));
            line("skin_button_position=" + Pt(QPoint(0, row)));
            line("skin_button_position_pushed=" + Pt(QPoint(c.rect.width(), row)));
            line("skin_button_position_disabled=" + Pt(QPoint(2 * c.rect.width(), row)));
            break;
        }
    }
    return t;
}

QImage FormBitmap(const FormDialog& d)
{
    Strip s = StripFor(d);
    QImage img(Width(d), s.rows.back(), QImage::Format_RGB32);
    img.fill(colour::body);
    QPainter p(&img);
    QRect body(QPoint(0, 0), d.size);
    PaintBody(p, body, kTitle, Str(d.title));
    int footer = 0;
    for (const FormControl& c : d.controls)
        if (c.kind == FormControl::Button)
            footer = c.rect.top() - 12;
    if (footer > 0)
    {
        p.fillRect(QRect(1, footer, d.size.width() - 2, d.size.height() - footer - 1),
                   QColor(0x22, 0x26, 0x2B));
        p.setPen(colour::hairline);
        p.drawLine(1, footer, d.size.width() - 2, footer);
    }
    for (size_t i = 0; i < d.controls.size(); ++i)
    {
        const FormControl& c = d.controls[i];
        int row = s.rows[i];
        QRect r = c.rect;
        switch (c.kind)
        {
        case FormControl::Label:
            p.setFont(LabelFont(9));
            p.setPen(colour::secondary);
            p.setLayoutDirection(Rtl() ? Qt::RightToLeft : Qt::LeftToRight);
            p.drawText(r, (Rtl() ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                       Str(c.text));
            break;
        case FormControl::Edit:
            PaintField(p, r);
            break;
        case FormControl::Combo:
        {
            PaintField(p, r);
            // the edit background picture, one pixel larger each way than the edit part
            QImage field(r.size(), QImage::Format_RGB32);
            field.fill(colour::body);
            {
                QPainter f(&field);
                PaintField(f, field.rect());
            }
            p.drawImage(QPoint(0, row), field.copy(0, 0, r.width() - 24 + 2, r.height()));
            for (int st = 0; st < 3; ++st)
            {
                QRect b(r.width() + 2 + st * 24, row, 24, r.height());
                p.fillRect(b, st == 1 ? colour::accentPressed : colour::inset);
                p.setPen(colour::hairline);
                p.drawLine(b.topLeft(), b.bottomLeft());
                p.save();
                p.setRenderHint(QPainter::Antialiasing, true);
                p.setPen(QPen(st == 2 ? colour::disabled : st == 1 ? colour::inset : colour::accent,
                              1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                QPointF m = QRectF(b).center();
                p.drawPolyline(QPolygonF({m + QPointF(-4, -2), m + QPointF(0, 2), m + QPointF(4, -2)}));
                p.restore();
            }
            break;
        }
        case FormControl::Button:
        {
            const State states[3] = {State::Normal, State::Pressed, State::Disabled};
            for (int st = 0; st < 3; ++st)
                PaintButton(p, QRect(QPoint(st * r.width(), row), r.size()), Str(c.text),
                            states[st], c.primary);
            break;
        }
        case FormControl::Close:
        {
            const State states[3] = {State::Normal, State::Pressed, State::Disabled};
            for (int st = 0; st < 3; ++st)
                PaintCloseButton(p, QRect(QPoint(st * r.width(), row), r.size()), states[st]);
            break;
        }
        }
    }
    return img;
}

QImage FormPreview(const FormDialog& d)
{
    QImage sheet = FormBitmap(d);
    Strip s = StripFor(d);
    QImage out = sheet.copy(QRect(QPoint(0, 0), d.size));
    QPainter p(&out);
    for (size_t i = 0; i < d.controls.size(); ++i)
    {
        const FormControl& c = d.controls[i];
        if (c.kind == FormControl::Button || c.kind == FormControl::Close)
            p.drawImage(c.rect.topLeft(), sheet, QRect(QPoint(0, s.rows[i]), c.rect.size()));
        else if (c.kind == FormControl::Combo)
            p.drawImage(c.rect.topLeft() + QPoint(c.rect.width() - 24, 0), sheet,
                        QRect(c.rect.width() + 2, s.rows[i], 24, c.rect.height()));
    }
    return out;
}

std::vector<std::string> FormOverflows(const FormDialog& d)
{
    std::vector<std::string> out;
    for (const FormControl& c : d.controls)
    {
        if (!c.text)
            continue;
        QFontMetrics fm(LabelFont(9, c.primary));
        int room = c.kind == FormControl::Button ? c.rect.width() - 12 : c.rect.width();
        if (fm.horizontalAdvance(Str(c.text)) > room)
            out.push_back(d.name + " " + std::to_string(c.text));
    }
    return out;
}

} // namespace builder
