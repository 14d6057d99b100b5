#include "shell/waveform_strip.h"

#include "res/strings.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace
{
QString Clock(int64_t ms)
{
    const int64_t s = std::max<int64_t>(ms, 0) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

WaveformStrip::WaveformStrip(skin::SkinManager* m, QWidget* parent) : CSkinnedStatic(m, parent)
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

void WaveformStrip::ApplySkin()
{
    CSkinnedStatic::ApplySkin();
    if (skin::KeyTable* k = OwnSection()) skin::SkinManager::ReadColor(*k, "accent_color", accent_);
    update();
}

void WaveformStrip::SetPeaks(const numera::WaveformPeaks& peaks, int knownColumns)
{
    peaks_ = peaks;
    known_ = std::clamp(knownColumns, 0, peaks_.width);
    update();
}

void WaveformStrip::Clear()
{
    peaks_ = {};
    known_ = length_ = position_ = 0;
    dragTo_.reset();
    start_.reset();
    update();
}

void WaveformStrip::SetRange(int length)
{
    length_ = std::max(0, length);
    update();
}

void WaveformStrip::SetPosition(int position)
{
    if (position_ == position) return;
    position_ = position;
    update();
}

int WaveformStrip::PositionAt(int x) const
{
    if (width() <= 0) return 0;
    return int(int64_t(length_) * std::clamp(x, 0, width()) / width());
}

QString WaveformStrip::HoverText(int position) const
{
    QString text = Clock(position);
    if (start_)
        text += QStringLiteral("  (%1)").arg(start_->addMSecs(position).toString("HH:mm:ss"));
    // the keys that move through what the strip shows
    return text + '\n' + QString::fromStdString(res::LoadString(res::ids::kWaveformKeys));
}

void WaveformStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width(), h = height();
    if (w <= 0 || h <= 0 || peaks_.width <= 0 || peaks_.frames <= 0) return;
    const int shown = dragTo_ ? *dragTo_ : position_;
    const int playedX = length_ > 0 ? int(int64_t(w) * std::clamp(shown, 0, length_) / length_) : 0;
    // the speech, under the sound
    QColor shade = accent_;
    shade.setAlpha(48);
    const double seconds = double(peaks_.frames) / std::max(1, peaks_.rate);
    for (const numera::SpeechSegment& s : peaks_.segments)
    {
        const int x0 = int(w * s.start / seconds), x1 = int(w * s.end / seconds);
        p.fillRect(QRect(x0, 0, std::max(1, x1 - x0), h), shade);
    }
    QColor rest = TextColor();
    rest.setAlpha(140);
    const int ch = std::max(1, peaks_.channels > 1 ? 2 : 1);
    const int band = h / ch;
    for (int x = 0; x < w; ++x)
    {
        const int c = int(int64_t(x) * peaks_.width / w);
        if (c >= known_) break;
        p.setPen(x < playedX ? accent_ : rest);
        for (int k = 0; k < ch; ++k)
        {
            const size_t at = size_t(c) * peaks_.channels + size_t(k);
            const double half = band / 2.0, mid = k * band + half;
            const int top = int(mid - peaks_.max[at] / 32768.0 * half);
            const int bottom = int(mid - peaks_.min[at] / 32768.0 * half);
            p.drawLine(x, std::min(top, bottom), x, std::max(top, bottom));
        }
    }
    if (length_ > 0)
    {
        p.setPen(TextColor());
        p.drawLine(std::min(playedX, w - 1), 0, std::min(playedX, w - 1), h - 1);
    }
}

void WaveformStrip::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || length_ <= 0) return CSkinnedStatic::mousePressEvent(e);
    dragTo_ = PositionAt(int(e->position().x()));
    update();
}

void WaveformStrip::mouseMoveEvent(QMouseEvent* e)
{
    const int x = int(e->position().x());
    if (length_ > 0)
        QToolTip::showText(e->globalPosition().toPoint(), HoverText(PositionAt(x)), this);
    if (dragTo_)
    {
        dragTo_ = PositionAt(x);
        update();
    }
}

void WaveformStrip::mouseReleaseEvent(QMouseEvent* e)
{
    if (!dragTo_) return CSkinnedStatic::mouseReleaseEvent(e);
    const int to = *dragTo_;
    dragTo_.reset();
    position_ = to;
    update();
    if (seek) seek(to);
}
