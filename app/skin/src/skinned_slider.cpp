#include "skin/skinned_slider.h"

#include <QPainter>
#include <algorithm>

namespace skin
{

CSkinnedSlider::CSkinnedSlider(SkinManager* m, QWidget* parent, bool vertical)
    : SkinnedControl(m, parent), vertical_(vertical)
{
    setFocusPolicy(Qt::TabFocus); // a click leaves the focus where it was
}

void CSkinnedSlider::keyPressEvent(QKeyEvent* e)
{
    const int range = max_ - min_, line = std::max(1, range / 50), page = std::max(1, range / 10);
    int to = pos_;
    switch (e->key())
    {
    case Qt::Key_Left:
    case Qt::Key_Down:
        to = pos_ - line;
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        to = pos_ + line;
        break;
    case Qt::Key_PageDown:
        to = pos_ - page;
        break;
    case Qt::Key_PageUp:
        to = pos_ + page;
        break;
    case Qt::Key_Home:
        to = min_;
        break;
    case Qt::Key_End:
        to = max_;
        break;
    default:
        return SkinnedControl::keyPressEvent(e);
    }
    const int before = pos_;
    SetPos(to);
    // a move by the keys ends at once, as a released drag does
    if (pos_ != before)
    {
        emit notify(kThumbPosition, pos_);
        emit notify(kEndScroll, pos_);
    }
}

void CSkinnedSlider::ApplySkin()
{
    KeyTable* k = OwnSection();
    if (!k) return;
    ReadPlacement(*k);
    SkinManager::ReadPoint(*k, "skin_position", skin_);
    SkinManager::ReadPoint(*k, "skin_position_thumb", skinThumb_);
    SkinManager::ReadSize(*k, "thumb_size", thumbSize_);
    SkinManager::ReadPoint(*k, "channel_origin", channelOrigin_);
    int len = 0;
    if (SkinManager::ReadInt(*k, "channel_length", len) && len > 0) channelLength_ = len;
    update();
}

void CSkinnedSlider::SetRange(int minimum, int maximum)
{
    min_ = minimum;
    max_ = std::max(minimum, maximum);
    SetPos(pos_);
    update();
}

QRect CSkinnedSlider::ThumbRect() const
{
    if (max_ == min_) return {};
    long long along = (vertical_ ? channelOrigin_.y() : channelOrigin_.x()) +
                      ((long long)pos_ - min_) * channelLength_ / ((long long)max_ - min_);
    int a = int(along);
    if (vertical_)
        return QRect(channelOrigin_.x() - thumbSize_.width() / 2, a - thumbSize_.height() / 2,
                     thumbSize_.width(), thumbSize_.height());
    return QRect(a - thumbSize_.width() / 2, channelOrigin_.y() - thumbSize_.height() / 2,
                 thumbSize_.width(), thumbSize_.height());
}

void CSkinnedSlider::SetPos(int position)
{
    position = std::clamp(position, min_, max_);
    QRect before = ThumbRect();
    pos_ = position;
    QRect after = ThumbRect();
    if (before != after) update(before.united(after));
}

void CSkinnedSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPart(p, skin_, size());
    QRect t = ThumbRect();
    if (!t.isEmpty()) DrawPart(p, skinThumb_, t.size(), t.x(), t.y());
}

void CSkinnedSlider::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    int p = Along(e->position());
    if (!ThumbRect().contains(e->position().toPoint()))
    {
        int thumb = vertical_ ? thumbSize_.height() : thumbSize_.width();
        long long v = (((long long)p - thumb / 2) * ((long long)max_ - min_) + channelLength_ / 2) /
                      channelLength_;
        SetPos(int(std::clamp<long long>(v, INT32_MIN, INT32_MAX)));
    }
    dragging_ = true;
    pressPos_ = pos_;
    pressAlong_ = p;
}

void CSkinnedSlider::mouseMoveEvent(QMouseEvent* e)
{
    if (!dragging_) return;
    long long travel = (long long)Along(e->position()) - pressAlong_;
    long long v =
        pressPos_ + (travel * ((long long)max_ - min_) + channelLength_ / 2) / channelLength_;
    SetPos(int(std::clamp<long long>(v, INT32_MIN, INT32_MAX)));
    emit notify(kThumbTrack, pos_);
}

void CSkinnedSlider::mouseReleaseEvent(QMouseEvent* e)
{
    if (!dragging_ || e->button() != Qt::LeftButton) return;
    dragging_ = false;
    emit notify(kThumbPosition, pos_);
    emit notify(kCaptureReleased, pos_);
    emit notify(kEndScroll, pos_);
}

} // namespace skin
