// CSkinnedSlider: a complete slider of our own drawn from the skin (background and thumb).
// The parent learns of movement through notify(): 5 while the thumb is dragged, then 4, -16
// (the mouse capture released) and 8 when the button is released; a move by the keys sends
// 4 and 8.
#pragma once

#include <QMouseEvent>
#include <QWidget>

#include "skin/skinned_window.h"

namespace skin
{

class CSkinnedSlider : public SkinnedControl<QWidget>
{
    Q_OBJECT
public:
    static constexpr int kThumbTrack = 5, kThumbPosition = 4, kEndScroll = 8,
                         kCaptureReleased = -16;

    explicit CSkinnedSlider(SkinManager* m, QWidget* parent = nullptr, bool vertical = false);
    void ApplySkin() override;

    void SetRange(int minimum, int maximum);
    int Minimum() const { return min_; }
    int Maximum() const { return max_; }
    // Clamped to the range; repaints the old and new thumb when the thumb moves.
    void SetPos(int position);
    int Pos() const { return pos_; }
    QRect ThumbRect() const;
    bool Dragging() const { return dragging_; }

signals:
    void notify(int code, int position);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    // Arrows a step, Page Up and Down a tenth, Home and End the ends; each move is notified
    // as a position (4) and an end (8).
    void keyPressEvent(QKeyEvent* e) override;

private:
    int Along(const QPointF& p) const { return int(vertical_ ? p.y() : p.x()); }
    bool vertical_;
    int min_ = 0, max_ = 100, pos_ = 0;
    QSize thumbSize_{15, 21};
    QPoint channelOrigin_{10, 14};
    int channelLength_ = 210;
    QPoint skin_, skinThumb_;
    bool dragging_ = false;
    int pressPos_ = 0, pressAlong_ = 0;
};

} // namespace skin
