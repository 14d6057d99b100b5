#include "skin/skinned_more.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "platform/thread_locale.h"

namespace skin
{

namespace
{
void Pt(KeyTable& k, const char* key, QPoint& p)
{
    SkinManager::ReadPoint(k, key, p);
}
// The system's grey of disabled text.
const QColor kGrayText(0x6D, 0x6D, 0x6D);
} // namespace

// ---- CSkinnedSpin ---------------------------------------------------------------------

void CSkinnedSpin::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    bool s = SkinManager::ReadSize(*k, "size", half_);
    Pt(*k, "position_up", posUp_);
    Pt(*k, "position_down", posDown_);
    Pt(*k, "skin_position_up", up_);
    Pt(*k, "skin_position_up_pushed", upPushed_);
    Pt(*k, "skin_position_up_disabled", upDisabled_);
    Pt(*k, "skin_position_down", down_);
    Pt(*k, "skin_position_down_pushed", downPushed_);
    Pt(*k, "skin_position_down_disabled", downDisabled_);
    if (s) setGeometry(QRect(posUp_, QSize(half_.width(), half_.height() * 2 + 1)));
}

void CSkinnedSpin::SetPos(int v)
{
    pos_ = std::clamp(v, lo_, hi_);
    if (buddy_) buddy_->setText(QString::number(pos_));
}

int CSkinnedSpin::Pos() const
{
    bool ok = false;
    int v = buddy_ ? buddy_->text().toInt(&ok) : pos_;
    return buddy_ && !ok ? pos_ : std::clamp(v, lo_, hi_);
}

void CSkinnedSpin::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    bool on = isEnabled();
    DrawPart(p, !on ? upDisabled_ : pressed_ == 1 ? upPushed_ : up_, half_);
    DrawPart(p,
             !on             ? downDisabled_
             : pressed_ == 2 ? downPushed_
                             : down_,
             half_, 0, half_.height() + 1);
}

void CSkinnedSpin::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || (buddy_ && !buddy_->isEnabled())) return;
    int y = int(e->position().y());
    pressed_ = y < half_.height() ? 1 : y > half_.height() ? 2 : 0;
    if (pressed_) SetPos(Pos() + (pressed_ == 1 ? 1 : -1));
    update();
}

void CSkinnedSpin::mouseReleaseEvent(QMouseEvent*)
{
    pressed_ = 0;
    update();
}

// ---- CSkinnedCombo --------------------------------------------------------------------

CSkinnedCombo::CSkinnedCombo(SkinManager* m, QWidget* parent) : SkinnedControl(m, parent)
{
    setItemDelegate(new QStyledItemDelegate(this));
}

void CSkinnedCombo::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    ReadPlacement(*k);
    Pt(*k, "skin_position", skin_);
    SkinManager::ReadSize(*k, "edit_size", editSize_);
    Pt(*k, "edit_position", editPos_);
    SkinManager::ReadSize(*k, "button_size", buttonSize_);
    Pt(*k, "button_position", buttonPos_);
    Pt(*k, "skin_position_button", button_);
    Pt(*k, "skin_position_button_pushed", buttonPushed_);
    Pt(*k, "skin_position_button_disabled", buttonDisabled_);
    comboEditId_ = (*k)["combo_edit_id"];
    SkinManager::ReadColor(*k, "edit_text_color", editText_);
    SkinManager::ReadColor(*k, "bg_color", bg_);
    SkinManager::ReadColor(*k, "selected_bg_color", selBg_);
    SkinManager::ReadColor(*k, "text_color", text_);
    SkinManager::ReadColor(*k, "selected_text_color", selText_);
    // list items: bg_color / text_color, the selected one selected_bg_color / _text_color
    QPalette pal = palette();
    pal.setColor(QPalette::Base, bg_);
    pal.setColor(QPalette::Text, text_);
    pal.setColor(QPalette::Highlight, selBg_);
    pal.setColor(QPalette::HighlightedText, selText_);
    setPalette(pal);
    // The drop-down is a window of its own, which takes no palette from the combo, and the
    // style would draw its items as a menu's: a plain list in the section's colours.
    pal.setColor(QPalette::Window, bg_);
    pal.setColor(QPalette::WindowText, text_);
    view()->setPalette(pal);
    view()->window()->setPalette(pal);
    // Arabic reads from the right: the value and the list's items start at the right edge
    rtl_ = platform::PrimaryLanguage(platform::GetThreadLocale()) == 1;
    view()->setLayoutDirection(rtl_ ? Qt::RightToLeft : Qt::LeftToRight);
}

void CSkinnedCombo::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // the edit part's background is one pixel larger than its rectangle each way
    QRect edit(editPos_, editSize_);
    DrawPart(p, skin_, edit.size() + QSize(2, 2), edit.x() - 1, edit.y() - 1);
    p.setPen(isEnabled() ? editText_ : palette().color(QPalette::Disabled, QPalette::Text));
    p.drawText(rtl_ ? edit.adjusted(0, 0, -3, 0) : edit.adjusted(3, 0, 0, 0),
               (rtl_ ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextSingleLine,
               currentText());
    DrawPart(p,
             !isEnabled()     ? buttonDisabled_
             : buttonPressed_ ? buttonPushed_
                              : button_,
             buttonSize_, buttonPos_.x(), buttonPos_.y());
}

void CSkinnedCombo::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && ButtonRect().contains(e->position().toPoint()))
    {
        buttonPressed_ = true;
        repaint(ButtonRect());
    }
    QComboBox::mousePressEvent(e);
}

void CSkinnedCombo::mouseReleaseEvent(QMouseEvent* e)
{
    if (buttonPressed_)
    {
        buttonPressed_ = false;
        repaint(ButtonRect());
    }
    QComboBox::mouseReleaseEvent(e);
}

// ---- CSkinnedDateTime -----------------------------------------------------------------

CSkinnedDateTime::CSkinnedDateTime(SkinManager* m, bool timeStyle, QWidget* parent)
    : SkinnedControl(m, parent), timeStyle_(timeStyle)
{
    setDisplayFormat(timeStyle ? "HH:mm:ss" : "dd.MM.yyyy");
    setCalendarPopup(!timeStyle);
    // the text field draws the text where the skin's field leaves room for it, on bg_color
    lineEdit()->setFrame(false);
    lineEdit()->setTextMargins(0, 0, 0, 0);
}

void CSkinnedDateTime::SetCustomFormat(const QString& qtFormat)
{
    custom_ = qtFormat;
    setDisplayFormat(qtFormat.isEmpty() ? (timeStyle_ ? "HH:mm:ss" : "dd.MM.yyyy") : qtFormat);
    update();
}

QRect CSkinnedDateTime::TextRect() const
{
    QRect r = rect().adjusted(2, 1, -1, -1);
    if (!buttonSize_.isEmpty() && buttonPos_.x() > r.left()) r.setRight(buttonPos_.x() - 1);
    return r;
}

void CSkinnedDateTime::resizeEvent(QResizeEvent* e)
{
    QDateTimeEdit::resizeEvent(e);
    lineEdit()->setGeometry(TextRect());
}

void CSkinnedDateTime::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    ReadPlacement(*k);
    Pt(*k, "skin_position", skin_);
    SkinManager::ReadSize(*k, "button_size", buttonSize_);
    Pt(*k, "button_position", buttonPos_);
    Pt(*k, "skin_position_button", button_);
    Pt(*k, "skin_position_button_pushed", buttonPushed_);
    Pt(*k, "skin_position_button_disabled", buttonDisabled_);
    SkinManager::ReadColor(*k, "text_color", text_);
    SkinManager::ReadColor(*k, "bg_color", bg_);
    QPalette field = lineEdit()->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    {
        field.setColor(g, QPalette::Base, bg_);
        field.setColor(g, QPalette::Window, bg_);
        // disabled: the system's grey text, as the platform picker shows it
        field.setColor(g, QPalette::Text, g == QPalette::Disabled ? kGrayText : text_);
    }
    lineEdit()->setPalette(field);
    lineEdit()->setGeometry(TextRect());
    QColor bgCal, month, textCal, titleBg, titleText, trailing;
    SkinManager::ReadColor(*k, "bg_cal_color", bgCal);
    SkinManager::ReadColor(*k, "month_cal_color", month);
    SkinManager::ReadColor(*k, "text_cal_color", textCal);
    SkinManager::ReadColor(*k, "title_bg_cal_color", titleBg);
    SkinManager::ReadColor(*k, "title_text_cal_color", titleText);
    SkinManager::ReadColor(*k, "trailing_text_cal_color", trailing);
    if (QCalendarWidget* cal = calendarWidget())
    {
        QPalette pal = cal->palette();
        pal.setColor(QPalette::Window, bgCal);
        pal.setColor(QPalette::Base, month);
        pal.setColor(QPalette::Text, textCal);
        pal.setColor(QPalette::WindowText, textCal);
        pal.setColor(QPalette::Highlight, titleBg);
        pal.setColor(QPalette::HighlightedText, titleText);
        pal.setColor(QPalette::PlaceholderText, trailing);
        cal->setPalette(pal);
    }
}

QString CSkinnedDateTime::DisplayText() const
{
    QDateTime v = dateTime();
    if (!v.isValid()) return QStringLiteral("Invalid DateTime");
    if (!custom_.isEmpty()) return v.toString(custom_);
    return v.toString(timeStyle_ ? "HH:mm:ss" : "dd.MM.yyyy");
}

void CSkinnedDateTime::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // the field's picture under the text gives its one-pixel border
    DrawPart(p, skin_, size());
    p.fillRect(rect().adjusted(1, 1, -1, -1), bg_);
    if (!buttonSize_.isEmpty())
        DrawPart(p, isEnabled() ? button_ : buttonDisabled_, buttonSize_, buttonPos_.x(),
                 buttonPos_.y());
}

// ---- CTimeUpDownSkin ------------------------------------------------------------------

CTimeUpDownSkin::CTimeUpDownSkin(QWidget* parent, const QString& module) : QWidget(parent)
{
    const int numbers[6] = {266, 267, 268, 269, 270, 271};
    for (int i = 0; i < 6; ++i)
        bitmaps_[i].loadFromData(FindSkinResource(numbers[i], "png", module), "PNG");
}

void CTimeUpDownSkin::paintEvent(QPaintEvent* e)
{
    if (halfHeight_ < 0) halfHeight_ = e->rect().height() / 2;
    QPainter p(this);
    bool on = isEnabled();
    const QImage& up = bitmaps_[!on ? 4 : pressed_ == 1 ? 1 : 0];
    const QImage& down = bitmaps_[!on ? 5 : pressed_ == 2 ? 3 : 2];
    auto put = [&](const QImage& img, int y)
    {
        if (img.isNull()) return;
        QRect target(0, y, width(), halfHeight_);
        if (width() > img.width() + 1)
            p.drawImage(target, img);
        else
            p.drawImage(target.topLeft(), img, QRect(QPoint(0, 0), target.size()));
    };
    put(up, 0);
    put(down, halfHeight_);
}

void CTimeUpDownSkin::mousePressEvent(QMouseEvent* e)
{
    int half = halfHeight_ < 0 ? height() / 2 : halfHeight_;
    pressed_ = e->position().y() >= half ? 2 : 1;
    update();
}

} // namespace skin
