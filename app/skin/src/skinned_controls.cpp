#include "skin/skinned_controls.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "scriba/scriba.h"
#include "skin/base_dlg.h"

namespace skin
{

namespace
{
void Pt(KeyTable& k, const char* key, QPoint& p)
{
    SkinManager::ReadPoint(k, key, p);
}
} // namespace

// ---- CSkinnedButton -------------------------------------------------------------------

void CSkinnedButton::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    bool hasSize = SkinManager::ReadSize(*k, "button_size", buttonSize_);
    bool hasPos = SkinManager::ReadPoint(*k, "button_position", buttonPos_);
    SkinManager::ReadSize(*k, "caption_size", captionSize_);
    SkinManager::ReadPoint(*k, "caption_position", captionPos_);
    Pt(*k, "skin_button_position", skin_);
    Pt(*k, "skin_button_position_pushed", skinPushed_);
    Pt(*k, "skin_button_position_disabled", skinDisabled_);
    SkinManager::ReadSize(*k, "active_rect_size", activeSize_);
    SkinManager::ReadPoint(*k, "active_rect_position", activePos_);
    Pt(*k, "skin_caption_position", skinCaption_);
    Pt(*k, "skin_caption_position_disabled", skinCaptionDisabled_);
    Place(hasPos ? &buttonPos_ : nullptr, hasSize ? &buttonSize_ : nullptr);
    // caption, button and active positions become relative to the window
    QPoint origin = pos();
    captionPos_ -= origin;
    activePos_ -= origin;
    buttonPos_ -= origin;
    activeRect_ = QRect(activePos_, activeSize_);
    if (traceTag_)
        SLOG(1, "CSkinnedButton, tag=%d, topleft=%d,%d, size=%d,%d", int(traceTag_), origin.x(),
             origin.y(), buttonSize_.width(), buttonSize_.height());
}

void CSkinnedButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const char* what = "Button";
    QPoint src = skin_;
    if (!isEnabled())
        src = skinDisabled_, what = "ButtonDisabled";
    else if (isDown() || isChecked())
        src = skinPushed_, what = "ButtonPushed";
    bool ok = DrawPart(p, src, buttonSize_);
    if (traceTag_)
        SLOG(1, "%s, res=%d, tag=%d, skin=%d,%d, pos=%d,%d, size=%d,%d", what, ok ? 1 : 0,
             int(traceTag_), src.x(), src.y(), 0, 0, buttonSize_.width(), buttonSize_.height());
}

void CSkinnedButton::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && !activeRect_.contains(e->position().toPoint()))
        return; // presses outside the active rectangle are swallowed
    pressed_ = e->button() == Qt::LeftButton;
    QPushButton::mousePressEvent(e);
    repaint();
}

void CSkinnedButton::mouseReleaseEvent(QMouseEvent* e)
{
    bool was = pressed_;
    pressed_ = false;
    if (!was && e->button() == Qt::LeftButton) return;
    QPushButton::mouseReleaseEvent(e);
    repaint();
}

// ---- CSkinnedButtonEx -----------------------------------------------------------------

CSkinnedButtonEx::CSkinnedButtonEx(SkinManager* m, QWidget* parent) : SkinnedControl(m, parent)
{
    setMouseTracking(true);
    hoverTimer_.setInterval(100);
    QObject::connect(&hoverTimer_, &QTimer::timeout, this, [this] { Watch(); });
    onCommand = [this](int id)
    {
        for (QWidget* w = parentWidget(); w; w = w->parentWidget())
            if (auto* dlg = dynamic_cast<CBaseDlg*>(w))
            {
                dlg->OnCommand(id);
                return;
            }
    };
}

void CSkinnedButtonEx::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    ReadPlacement(*k);
    Pt(*k, "skin_position", skin_);
    Pt(*k, "skin_position_over", skinOver_);
    Pt(*k, "skin_position_pushed", skinPushed_);
}

void CSkinnedButtonEx::Watch()
{
    if (!rect().contains(mapFromGlobal(QCursor::pos())) && !underMouse())
    {
        hovered_ = pressed_ = false;
        hoverTimer_.stop();
        unsetCursor();
        update();
    }
}

void CSkinnedButtonEx::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPart(p, pressed_ ? skinPushed_ : hovered_ ? skinOver_ : skin_, size());
}

void CSkinnedButtonEx::mouseMoveEvent(QMouseEvent* e)
{
    if (!hovered_ && rect().contains(e->position().toPoint()))
    {
        hovered_ = true;
        if (hasCursor_) setCursor(cursor_);
        hoverTimer_.start();
        update();
    }
}

void CSkinnedButtonEx::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    pressed_ = hovered_ = true;
    hoverTimer_.start();
    update();
}

void CSkinnedButtonEx::mouseReleaseEvent(QMouseEvent* e)
{
    bool was = pressed_;
    pressed_ = false;
    update();
    if (was && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) &&
        onCommand)
        onCommand(controlId_);
}

// ---- CSkinnedCheck, CSkinnedRadio ------------------------------------------------------

template <class B> void SkinnedToggle<B>::ApplySkin()
{
    if (KeyTable* k = this->OwnSection())
    {
        this->ReadPlacement(*k);
        Pt(*k, "skin_position", skin_);
        Pt(*k, "skin_position_pushed", skinPushed_);
        Pt(*k, "skin_position_disabled", skinDisabled_);
        Pt(*k, "skin_position_checked", skinChecked_);
        Pt(*k, "skin_position_checked_disabled", skinCheckedDisabled_);
    }
}

template <class B> void SkinnedToggle<B>::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    this->DrawPart(p, StatePicture(), this->size());
}

template class SkinnedToggle<QCheckBox>;
template class SkinnedToggle<QRadioButton>;

void CSkinnedCheck::SetCheck(int state)
{
    setUpdatesEnabled(false);
    setCheckState(state == 0 ? Qt::Unchecked : state == 1 ? Qt::Checked : Qt::PartiallyChecked);
    setUpdatesEnabled(true);
    repaint();
}

QPoint CSkinnedCheck::StatePicture() const
{
    if (checkState() != Qt::Unchecked)
        return !isEnabled() ? skinCheckedDisabled_ : isDown() ? skinPushed_ : skinChecked_;
    return !isEnabled() ? skinDisabled_ : isDown() ? skinPushed_ : skin_;
}

QPoint CSkinnedRadio::StatePicture() const
{
    if (isChecked()) return isEnabled() ? skinChecked_ : skinCheckedDisabled_;
    return !isEnabled() ? skinDisabled_ : isDown() ? skinPushed_ : skin_;
}

// ---- CSkinnedImage --------------------------------------------------------------------

CSkinnedImage::CSkinnedImage(SkinManager* m, QWidget* parent) : SkinnedControl(m, parent)
{
    setMouseTracking(true);
}

void CSkinnedImage::ApplySkin()
{
    if (KeyTable* k = OwnSection())
    {
        ReadPlacement(*k);
        Pt(*k, "skin_position", skin_);
        Pt(*k, "skin_position_highlight", skinHighlight_);
        SkinManager::ReadColor(*k, "text_color", text_);
    }
}

void CSkinnedImage::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPart(p, hovered_ ? skinHighlight_ : skin_, size());
    if (!text().isEmpty())
    {
        p.setPen(text_);
        p.drawText(rect(), int(alignment()), text());
    }
}

void CSkinnedImage::mouseMoveEvent(QMouseEvent* e)
{
    if (!hovered_)
    {
        hovered_ = true;
        update();
    }
    QLabel::mouseMoveEvent(e);
}

void CSkinnedImage::leaveEvent(QEvent* e)
{
    hovered_ = false;
    update();
    QLabel::leaveEvent(e);
}

// ---- CSkinnedIndicator ----------------------------------------------------------------

void CSkinnedIndicator::ApplySkin()
{
    if (KeyTable* k = OwnSection())
    {
        ReadPlacement(*k);
        Pt(*k, "skin_position", skin_);
        SkinManager::ReadSize(*k, "size_part", partSize_);
        const char* keys[4] = {"skin_part_position_00", "skin_part_position_25",
                               "skin_part_position_50", "skin_part_position_75"};
        for (int i = 0; i < 4; ++i)
            Pt(*k, keys[i], part_[i]);
    }
}

void CSkinnedIndicator::SetValue(int value)
{
    value = std::clamp(value, 0, 100);
    if (value != value_)
    {
        value_ = value;
        update();
    }
}

std::vector<std::pair<QPoint, QRect>> CSkinnedIndicator::Tiles() const
{
    std::vector<std::pair<QPoint, QRect>> tiles;
    int filled = size_.width() * value_ / 100;
    if (filled <= 0 || partSize_.width() <= 0) return tiles;
    QPoint src = part_[std::min(value_ / 25, 3)];
    for (int x = 0; x < filled; x += partSize_.width())
        tiles.push_back(
            {src, QRect(x, 0, std::min(partSize_.width(), filled - x), partSize_.height())});
    return tiles;
}

void CSkinnedIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPart(p, skin_, size_);
    for (const auto& [src, r] : Tiles())
        DrawPart(p, src, r.size(), r.x(), r.y());
}

// ---- CSkinnedProgress -----------------------------------------------------------------

void CSkinnedProgress::ApplySkin()
{
    if (KeyTable* k = OwnSection())
    {
        ReadPlacement(*k);
        Pt(*k, "skin_position", skin_);
        Pt(*k, "skin_position_full", skinFull_);
    }
}

int CSkinnedProgress::FullWidth() const
{
    long long range = (long long)maximum() - minimum();
    if (range <= 0) return 0;
    return int(((long long)value() - minimum()) * width() / range);
}

void CSkinnedProgress::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPart(p, skin_, size());
    int w = FullWidth();
    if (w > 0) DrawPart(p, skinFull_, QSize(w, height()));
}

// ---- CSkinnedStatic -------------------------------------------------------------------

CSkinnedStatic::CSkinnedStatic(SkinManager* m, QWidget* parent) : SkinnedControl(m, parent)
{
    setTextFormat(Qt::PlainText); // ampersands are shown as they are
}

void CSkinnedStatic::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    ReadPlacement(*k);
    SkinManager::ReadColor(*k, "text_color", text_);
    int t = 1;
    if (k->count("transparent") && SkinManager::ReadInt(*k, "transparent", t))
        transparent_ = t != 0;
    if (k->count("bg_color")) SkinManager::ReadColor(*k, "bg_color", bg_);
    update();
}

void CSkinnedStatic::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!transparent_) p.fillRect(rect(), bg_);
    p.setPen(text_);
    p.setFont(font());
    p.setLayoutDirection(layoutDirection());
    int flags = int(QStyle::visualAlignment(layoutDirection(), alignment()));
    if (wordWrap()) flags |= Qt::TextWordWrap;
    p.drawText(rect(), flags, text());
}

// ---- CSkinnedEdit ---------------------------------------------------------------------

CSkinnedEdit::CSkinnedEdit(SkinManager* m, QWidget* parent) : SkinnedControl(m, parent)
{
    setFrame(false);
    UpdateColours();
}

void CSkinnedEdit::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    ReadPlacement(*k, "edit_position", "edit_size");
    SkinManager::ReadColor(*k, "edit_text_color", text_);
    SkinManager::ReadColor(*k, "bg_color", bg_);
    UpdateColours();
}

void CSkinnedEdit::UpdateColours()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, bg_);
    pal.setColor(QPalette::Window, bg_);
    pal.setColor(QPalette::Text, text_);
    // a disabled field shows its text halfway to the background, so the state reads at once
    const QColor dimmed((text_.red() + bg_.red()) / 2, (text_.green() + bg_.green()) / 2,
                        (text_.blue() + bg_.blue()) / 2);
    pal.setColor(QPalette::Disabled, QPalette::Text, dimmed);
    setPalette(pal);
    setAutoFillBackground(true);
}

} // namespace skin
