// The skinned menu bar and its drop-down, which behave as desktop menu bars do: a click on a
// title opens its drop-down and leaves it open, a click on an item runs it, a click outside,
// on the same title or Escape closes it, and moving over another title while one is open
// opens that one. From the keyboard: Alt pressed and released alone opens the first menu,
// Alt with a title's letter opens that menu, Left and Right go to the neighbouring menu on
// screen (so the order mirrors in a right-to-left bar), Up and Down between enabled items,
// Enter runs one. The titles carry no marks: each takes its first letter that no earlier
// title has taken.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

#include "skin/skinned_window.h"

namespace skin
{

// The drop-down of a menu bar item, drawn in the skin's colours with the nearest sans serif
// to the program's menu font at 8.5 points.
class CSkinnedPopupMenu : public QWidget
{
public:
    explicit CSkinnedPopupMenu(QMenu* menu, QWidget* parent = nullptr);
    // `opener`: the global rectangle of the title that opened it. The release that ends the
    // opening click there keeps it open; a press there closes it.
    void Popup(const QPoint& globalPos, const QRect& opener = {});
    int ItemHeight() const { return itemHeight_; }
    // The item under the mouse or chosen with the keys, -1 for none.
    int Highlighted() const { return hot_; }
    // Highlights the first enabled item (opened from the keyboard).
    void HighlightFirst();
    static QFont MenuFont();

    std::function<void()> onClosed;         // hidden, by whatever means
    std::function<void(int)> onStep;        // Left (-1) or Right (+1)
    std::function<void(QPoint)> onMoveAway; // the mouse moves outside it (global position)

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    int ItemAt(int y) const;
    bool Runnable(int i) const;
    void MoveHighlight(int step);
    void Run(int i);
    QMenu* menu_;
    QList<QAction*> actions_;
    QRect opener_;
    bool pressed_ = false; // a press since it opened
    int itemHeight_ = 16, hot_ = -1;
};

// The menu bar: items are the spans between consecutive item_right values.
class CSkinnedMenu : public SkinnedControl<QWidget>
{
public:
    explicit CSkinnedMenu(SkinManager* m, QWidget* parent = nullptr);
    ~CSkinnedMenu() override;
    void ApplySkin() override;
    // The menus in the bar's order on screen; a null one leaves its span blank. In a
    // right-to-left bar the first menu is the rightmost.
    void SetMenu(std::vector<QMenu*> submenus, bool rightToLeft = false);
    // The item under x, -1 when none.
    int ItemAt(int x) const;
    int Highlighted() const { return hot_; }
    // The open drop-down, null when none.
    CSkinnedPopupMenu* OpenPopup() const;
    // The letter that opens item `item` with Alt (lower case), 0 when none.
    QChar Mnemonic(int item) const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Open(int item, bool fromKeyboard = false);
    void Step(int direction);
    bool HasMenu(int item) const;
    QRect TitleRect(int item) const;
    QPoint skin_, skinSelected_;
    std::vector<int> right_;
    std::vector<QMenu*> submenus_;
    std::vector<QChar> mnemonics_;
    bool rightToLeft_ = false, altAlone_ = false, filtering_ = false;
    int hot_ = -1, open_ = -1;
    QTimer leave_;
    QPointer<CSkinnedPopupMenu> popup_;
};

} // namespace skin
