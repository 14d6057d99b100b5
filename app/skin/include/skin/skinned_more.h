// The remaining skinned controls: the up-down pair with a buddy, the combo box, the date
// and time field and the up-down skinned by its own bitmaps (the menu bar is in
// skinned_menu.h, included here).
#pragma once

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <vector>

#include "skin/skinned_menu.h"
#include "skin/skinned_window.h"

namespace skin
{

// Up-down pair; the section's size is that of one half, the lower half sits at height + 1.
class CSkinnedSpin : public SkinnedControl<QWidget>
{
public:
    explicit CSkinnedSpin(SkinManager* m, QWidget* parent = nullptr) : SkinnedControl(m, parent) {}
    void ApplySkin() override;
    void SetBuddy(QLineEdit* buddy) { buddy_ = buddy; }
    void SetRange(int lo, int hi)
    {
        lo_ = lo;
        hi_ = std::max(lo, hi);
        SetPos(pos_);
    }
    // Clamped; shown in the buddy as decimal text.
    void SetPos(int v);
    int Pos() const;
    int PressedHalf() const { return pressed_; } // 0 none, 1 upper, 2 lower

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QSize half_;
    QPoint posUp_, posDown_, up_, upPushed_, upDisabled_, down_, downPushed_, downDisabled_;
    QLineEdit* buddy_ = nullptr;
    int lo_ = 0, hi_ = 100, pos_ = 0, pressed_ = 0;
};

class CSkinnedCombo : public SkinnedControl<QComboBox>
{
public:
    explicit CSkinnedCombo(SkinManager* m, QWidget* parent = nullptr);
    void ApplySkin() override;
    bool ButtonPressed() const { return buttonPressed_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QRect ButtonRect() const { return QRect(buttonPos_, buttonSize_); }
    QPoint skin_, button_, buttonPushed_, buttonDisabled_, editPos_, buttonPos_;
    QSize editSize_, buttonSize_;
    std::string comboEditId_;
    QColor editText_ = Qt::black, bg_ = Qt::white, selBg_ = Qt::blue, text_ = Qt::black,
           selText_ = Qt::white;
    bool buttonPressed_ = false;
    bool rtl_ = false;
};

class CSkinnedDateTime : public SkinnedControl<QDateTimeEdit>
{
public:
    // timeStyle: "%H:%M:%S", else "%d.%m.%Y"; a custom format replaces both.
    CSkinnedDateTime(SkinManager* m, bool timeStyle, QWidget* parent = nullptr);
    void ApplySkin() override;
    // Also what the text field shows and edits.
    void SetCustomFormat(const QString& qtFormat);
    QString DisplayText() const;

protected:
    // The field picture, bg_color inside its border and the button; the text field on top
    // draws the text (in the system grey when disabled) and takes the editing keys.
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QRect TextRect() const;
    bool timeStyle_;
    QString custom_;
    QPoint skin_, button_, buttonPushed_, buttonDisabled_, buttonPos_;
    QSize buttonSize_;
    QColor text_ = Qt::black, bg_ = Qt::white;
};

// An up-down skinned by the six neutral bitmaps 266 to 271 instead of a section.
class CTimeUpDownSkin : public QWidget
{
public:
    explicit CTimeUpDownSkin(QWidget* parent = nullptr, const QString& module = {});
    int PressedHalf() const { return pressed_; }
    QSize BitmapSize() const { return bitmaps_[0].size(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent*) override
    {
        pressed_ = 0;
        update();
    }

private:
    QImage bitmaps_[6]; // up, up pressed, down, down pressed, up disabled, down disabled
    int halfHeight_ = -1, pressed_ = 0;
};

} // namespace skin
