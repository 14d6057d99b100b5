// The skinned control classes: each keeps its Qt widget's behaviour and signals and draws
// itself only by copying rectangles of its dialog's skin bitmap, chosen by its state.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <vector>

#include "skin/skinned_window.h"

namespace skin
{

class CSkinnedButton : public SkinnedControl<QPushButton>
{
public:
    explicit CSkinnedButton(SkinManager* m, QWidget* parent = nullptr) : SkinnedControl(m, parent)
    {
    }
    void ApplySkin() override;
    // The press-sensitive area, relative to the window.
    QRect ActiveRect() const { return activeRect_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QSize buttonSize_, captionSize_, activeSize_;
    QPoint buttonPos_, captionPos_, activePos_;
    QPoint skin_, skinPushed_, skinDisabled_, skinCaption_, skinCaptionDisabled_;
    QRect activeRect_;
    bool pressed_ = false;
};

// A link-like button: hover watched by a 100 ms timer, command to the dialog on release.
class CSkinnedButtonEx : public SkinnedControl<QWidget>
{
public:
    explicit CSkinnedButtonEx(SkinManager* m, QWidget* parent = nullptr);
    void ApplySkin() override;
    void SetCursorShape(const QCursor& c)
    {
        cursor_ = c;
        hasCursor_ = true;
    }
    bool Hovered() const { return hovered_; }
    bool Pressed() const { return pressed_; }
    // Called with the control's identifier when a press inside is released inside; the
    // default sends the command to the dialog (CBaseDlg::OnCommand).
    std::function<void(int)> onCommand;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void Watch();
    QPoint skin_, skinOver_, skinPushed_;
    QTimer hoverTimer_;
    bool hovered_ = false, pressed_ = false, hasCursor_ = false;
    QCursor cursor_;
};

// A check box or radio button drawn from five pictures (normal, pushed, disabled, checked,
// checked and disabled); which of them a state shows is the kind's own.
template <class B> class SkinnedToggle : public SkinnedControl<B>
{
public:
    explicit SkinnedToggle(SkinManager* m, QWidget* parent = nullptr) : SkinnedControl<B>(m, parent)
    {
    }
    void ApplySkin() override;
    // The picture the current state shows (for drawing and tests).
    virtual QPoint StatePicture() const = 0;

protected:
    void paintEvent(QPaintEvent*) override;
    bool hitButton(const QPoint& p) const override { return this->rect().contains(p); }

    QPoint skin_, skinPushed_, skinDisabled_, skinChecked_, skinCheckedDisabled_;
};
extern template class SkinnedToggle<QCheckBox>;
extern template class SkinnedToggle<QRadioButton>;

class CSkinnedCheck : public SkinnedToggle<QCheckBox>
{
public:
    using SkinnedToggle::SkinnedToggle;
    void SetCheck(int state);
    QPoint StatePicture() const override;
};

class CSkinnedRadio : public SkinnedToggle<QRadioButton>
{
public:
    using SkinnedToggle::SkinnedToggle;
    QPoint StatePicture() const override;
};

// A static picture that lights up while the mouse is over it.
class CSkinnedImage : public SkinnedControl<QLabel>
{
public:
    explicit CSkinnedImage(SkinManager* m, QWidget* parent = nullptr);
    void ApplySkin() override;
    bool Hovered() const { return hovered_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    QPoint skin_, skinHighlight_;
    QColor text_ = Qt::black;
    bool hovered_ = false;
};

// A bar of tiles, 0 to 100.
class CSkinnedIndicator : public SkinnedControl<QWidget>
{
public:
    explicit CSkinnedIndicator(SkinManager* m, QWidget* parent = nullptr)
        : SkinnedControl(m, parent)
    {
    }
    void ApplySkin() override;
    void SetValue(int value);
    int Value() const { return value_; }
    // The tiles the current value draws: (source in the bitmap, target rectangle).
    std::vector<std::pair<QPoint, QRect>> Tiles() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPoint skin_, part_[4];
    QSize partSize_;
    int value_ = 0;
};

class CSkinnedProgress : public SkinnedControl<QProgressBar>
{
public:
    explicit CSkinnedProgress(SkinManager* m, QWidget* parent = nullptr) : SkinnedControl(m, parent)
    {
    }
    void ApplySkin() override;
    // Width of the full picture at the current value.
    int FullWidth() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPoint skin_, skinFull_;
};

// A static text. Transparent unless the section says transparent=0; the background brush is
// black until bg_color is read.
class CSkinnedStatic : public SkinnedControl<QLabel>
{
public:
    explicit CSkinnedStatic(SkinManager* m, QWidget* parent = nullptr);
    void ApplySkin() override;
    QColor Background() const { return bg_; }
    bool Transparent() const { return transparent_; }
    QColor TextColor() const { return text_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor text_ = Qt::black, bg_ = Qt::black;
    bool transparent_ = true;
};

class CSkinnedEdit : public SkinnedControl<QLineEdit>
{
public:
    explicit CSkinnedEdit(SkinManager* m, QWidget* parent = nullptr);
    void ApplySkin() override;
    QColor Background() const { return bg_; }

private:
    void UpdateColours();
    QColor text_ = Qt::black, bg_ = Qt::black;
};

} // namespace skin
