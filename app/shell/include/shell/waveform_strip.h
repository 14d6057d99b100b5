// The waveform strip over the position slider: each column's smallest and largest sample,
// drawn mirrored about the middle (per channel for stereo, left above right), the spans of
// speech shaded, the played part in the accent colour and the rest dimmed, the position as a
// line; columns not known yet are left empty. A click or a drag seeks there (on release, as
// the slider does); hovering shows the time in the record and, when its start is known, the
// time of day.
#pragma once

#include "numera/waveform_peaks.h"
#include "skin/skinned_controls.h"

#include <QDateTime>
#include <functional>
#include <optional>

class WaveformStrip : public skin::CSkinnedStatic
{
public:
    explicit WaveformStrip(skin::SkinManager* m, QWidget* parent = nullptr);
    void ApplySkin() override;

    // The peaks and how many columns of them are known; an empty strip without.
    void SetPeaks(const numera::WaveformPeaks& peaks, int knownColumns);
    void Clear();
    // The position slider's range and place (the player's units, milliseconds).
    void SetRange(int length);
    void SetPosition(int position);
    // The time of day at the record's start, for the hover text.
    void SetStart(std::optional<QDateTime> start) { start_ = std::move(start); }

    // Asked to seek to a place in the record (the slider's units).
    std::function<void(int position)> seek;

    int KnownColumns() const { return known_; }
    const numera::WaveformPeaks& Peaks() const { return peaks_; }
    QColor Accent() const { return accent_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    int PositionAt(int x) const;
    QString HoverText(int position) const;

    numera::WaveformPeaks peaks_;
    int known_ = 0, length_ = 0, position_ = 0;
    std::optional<int> dragTo_;
    std::optional<QDateTime> start_;
    QColor accent_ = QColor(0x2c, 0xc2, 0xb0);
};
