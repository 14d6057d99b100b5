#include "skin/skinned_more.h"

#include <QCalendarWidget>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>

namespace skin
{

namespace
{
void Pt(KeyTable& k, const char* key, QPoint& p)
{
    SkinManager::ReadPoint(k, key, p);
}
// Palette of the drop-down, matching the generated skins.
const QColor kPanel(0x26, 0x2B, 0x31), kText(0xE8, 0xEA, 0xED), kDisabled(0x5B, 0x63, 0x6C),
    kAccent(0x2E, 0xC4, 0xB6), kHair(0x34, 0x3A, 0x42), kInk(0x15, 0x18, 0x1C),
    kGrayText(0x6D, 0x6D, 0x6D);
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

CSkinnedCombo::CSkinnedCombo(SkinManager* m, QWidget* parent) : SkinnedControl(m, parent) {}

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
}

void CSkinnedCombo::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // the edit part's background is one pixel larger than its rectangle each way
    QRect edit(editPos_, editSize_);
    DrawPart(p, skin_, edit.size() + QSize(2, 2), edit.x() - 1, edit.y() - 1);
    p.setPen(isEnabled() ? editText_ : palette().color(QPalette::Disabled, QPalette::Text));
    p.drawText(edit.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
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

// ---- CSkinnedMenu ---------------------------------------------------------------------

CSkinnedMenu::CSkinnedMenu(SkinManager* m, QWidget* parent) : SkinnedControl(m, parent)
{
    setMouseTracking(true);
    leave_.setInterval(100);
    QObject::connect(&leave_, &QTimer::timeout, this,
                     [this]
                     {
                         if (!rect().contains(mapFromGlobal(QCursor::pos())) && !popup_)
                         {
                             hot_ = -1;
                             leave_.stop();
                             update();
                         }
                     });
}

CSkinnedMenu::~CSkinnedMenu()
{
    delete popup_;
}

void CSkinnedMenu::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    ReadPlacement(*k);
    Pt(*k, "skin_position", skin_);
    Pt(*k, "skin_position_selected", skinSelected_);
    int n = 0;
    if (SkinManager::ReadInt(*k, "item_count", n) && n > 0 && n <= 64)
        SkinManager::ReadList(*k, "item_right", size_t(n), right_);
}

int CSkinnedMenu::ItemAt(int x) const
{
    int left = 0;
    for (size_t i = 0; i < right_.size(); ++i)
    {
        if (x >= left && x < right_[i]) return int(i);
        left = right_[i];
    }
    return -1;
}

void CSkinnedMenu::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPart(p, skin_, size());
    int item = open_ >= 0 ? open_ : hot_;
    if (item >= 0 && size_t(item) < right_.size())
    {
        int left = item == 0 ? 0 : right_[size_t(item) - 1];
        int w = right_[size_t(item)] - left;
        DrawPart(p, skinSelected_ + QPoint(left, 0), QSize(w, height()), left, 0);
    }
}

void CSkinnedMenu::mouseMoveEvent(QMouseEvent* e)
{
    int item = ItemAt(int(e->position().x()));
    if (item >= 0 && (size_t(item) >= submenus_.size() || !submenus_[size_t(item)]))
        item = -1; // a span without a menu (the blank start of a right-to-left bar)
    if (item != hot_)
    {
        hot_ = item;
        leave_.start();
        update();
        if (popup_ && item >= 0 && item != open_) Open(item);
    }
}

void CSkinnedMenu::mousePressEvent(QMouseEvent* e)
{
    int item = ItemAt(int(e->position().x()));
    if (e->button() == Qt::LeftButton && item >= 0) Open(item);
}

void CSkinnedMenu::Open(int item)
{
    delete popup_;
    open_ = item;
    if (size_t(item) < submenus_.size() && submenus_[size_t(item)])
    {
        int left = item == 0 ? 0 : right_[size_t(item) - 1];
        popup_ = new CSkinnedPopupMenu(submenus_[size_t(item)], this);
        QObject::connect(popup_, &QObject::destroyed, this,
                         [this]
                         {
                             open_ = -1;
                             update();
                         });
        popup_->setAttribute(Qt::WA_DeleteOnClose);
        popup_->Popup(mapToGlobal(QPoint(left + 2, height() + 2)));
    }
    update();
}

// ---- CSkinnedPopupMenu ----------------------------------------------------------------

QFont CSkinnedPopupMenu::MenuFont()
{
    QFont f(QStringLiteral("Microsoft Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans")});
    f.setPointSizeF(8.5);
    return f;
}

CSkinnedPopupMenu::CSkinnedPopupMenu(QMenu* menu, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), menu_(menu), actions_(menu->actions())
{
    setMouseTracking(true);
    setFont(MenuFont());
    QFontMetrics fm(font());
    int widest = 0;
    for (QAction* a : actions_)
    {
        int w = fm.horizontalAdvance(a->text());
        if (a->text().contains('\t')) w += 3 * fm.averageCharWidth();
        widest = std::max(widest, w);
    }
    itemHeight_ = fm.height() + 2;
    resize(std::max(widest, 80) + 32, int(actions_.size()) * itemHeight_ + 2);
}

void CSkinnedPopupMenu::Popup(const QPoint& globalPos)
{
    move(globalPos);
    show();
}

int CSkinnedPopupMenu::ItemAt(int y) const
{
    int i = (y - 1) / itemHeight_;
    return y >= 1 && i < int(actions_.size()) ? i : -1;
}

void CSkinnedPopupMenu::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kPanel);
    p.setPen(kHair);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    for (int i = 0; i < int(actions_.size()); ++i)
    {
        QAction* a = actions_[i];
        QRect r(1, 1 + i * itemHeight_, width() - 2, itemHeight_);
        if (a->isSeparator())
        {
            p.setPen(kHair);
            p.drawLine(r.left() + 8, r.center().y(), r.right() - 8, r.center().y());
            continue;
        }
        bool hot = i == hot_ && a->isEnabled();
        if (hot) p.fillRect(r, kAccent);
        if (a->isChecked())
        {
            // a check mark as an even-stroked path
            QPen pen(hot ? kInk : kAccent, 1.6);
            p.setPen(pen);
            p.setRenderHint(QPainter::Antialiasing, true);
            QPointF c(r.left() + 8, r.center().y());
            p.drawPolyline(
                QPolygonF({c + QPointF(-3.5, 0), c + QPointF(-1, 2.5), c + QPointF(3.5, -3)}));
            p.setRenderHint(QPainter::Antialiasing, false);
        }
        p.setPen(!a->isEnabled() ? kDisabled : hot ? kInk : kText);
        QStringList parts = a->text().split('\t');
        QRect t = r.adjusted(16, 0, -8, 0);
        p.drawText(t, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, parts.value(0));
        if (parts.size() > 1)
            p.drawText(t, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, parts.value(1));
    }
}

void CSkinnedPopupMenu::mouseMoveEvent(QMouseEvent* e)
{
    int i = ItemAt(int(e->position().y()));
    if (i != hot_)
    {
        hot_ = i;
        update();
    }
}

void CSkinnedPopupMenu::mouseReleaseEvent(QMouseEvent* e)
{
    if (!rect().contains(e->position().toPoint()))
    {
        close();
        return;
    }
    int i = ItemAt(int(e->position().y()));
    if (i >= 0 && actions_[i]->isEnabled() && !actions_[i]->isSeparator())
    {
        QAction* a = actions_[i];
        close();
        a->trigger();
    }
}

} // namespace skin
