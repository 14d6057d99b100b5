#include "skin/skinned_menu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace skin
{

namespace
{
// Palette of the drop-down, matching the generated skins.
const QColor kPanel(0x26, 0x2B, 0x31), kText(0xE8, 0xEA, 0xED), kDisabled(0x5B, 0x63, 0x6C),
    kAccent(0x2E, 0xC4, 0xB6), kHair(0x34, 0x3A, 0x42), kInk(0x15, 0x18, 0x1C);
} // namespace

// ---- CSkinnedMenu ---------------------------------------------------------------------

CSkinnedMenu::CSkinnedMenu(SkinManager* m, QWidget* parent) : SkinnedControl(m, parent)
{
    setMouseTracking(true);
    leave_.setInterval(100);
    QObject::connect(&leave_, &QTimer::timeout, this,
                     [this]
                     {
                         if (!rect().contains(mapFromGlobal(QCursor::pos())) && !OpenPopup())
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
    SkinManager::ReadPoint(*k, "skin_position", skin_);
    SkinManager::ReadPoint(*k, "skin_position_selected", skinSelected_);
    int n = 0;
    if (SkinManager::ReadInt(*k, "item_count", n) && n > 0 && n <= 64)
        SkinManager::ReadList(*k, "item_right", size_t(n), right_);
}

void CSkinnedMenu::SetMenu(std::vector<QMenu*> submenus, bool rightToLeft)
{
    submenus_ = std::move(submenus);
    rightToLeft_ = rightToLeft;
    // each title's first letter that no title before it (in reading order) has taken
    mnemonics_.assign(submenus_.size(), QChar());
    std::vector<QChar> taken;
    const int n = int(submenus_.size());
    for (int k = 0; k < n; ++k)
    {
        const int i = rightToLeft_ ? n - 1 - k : k;
        if (!submenus_[size_t(i)]) continue;
        for (QChar c : submenus_[size_t(i)]->title().toLower())
            if (c.isLetter() && std::find(taken.begin(), taken.end(), c) == taken.end())
            {
                mnemonics_[size_t(i)] = c;
                taken.push_back(c);
                break;
            }
    }
    // Alt and its letters reach the focused control first, which does not want them
    if (!filtering_) qApp->installEventFilter(this);
    filtering_ = true;
}

QChar CSkinnedMenu::Mnemonic(int item) const
{
    return item >= 0 && size_t(item) < mnemonics_.size() ? mnemonics_[size_t(item)] : QChar();
}

CSkinnedPopupMenu* CSkinnedMenu::OpenPopup() const
{
    return popup_ && popup_->isVisible() ? popup_.data() : nullptr;
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

bool CSkinnedMenu::HasMenu(int item) const
{
    // a span without a menu is the blank start of a right-to-left bar
    return item >= 0 && size_t(item) < submenus_.size() && size_t(item) < right_.size() &&
           submenus_[size_t(item)];
}

QRect CSkinnedMenu::TitleRect(int item) const
{
    const int left = item == 0 ? 0 : right_[size_t(item) - 1];
    return QRect(mapToGlobal(QPoint(left, 0)), QSize(right_[size_t(item)] - left, height()));
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
    if (!HasMenu(item)) item = -1;
    if (item != hot_)
    {
        hot_ = item;
        leave_.start();
        update();
        if (OpenPopup() && item >= 0 && item != open_) Open(item);
    }
}

void CSkinnedMenu::mousePressEvent(QMouseEvent* e)
{
    const int item = ItemAt(int(e->position().x()));
    if (e->button() != Qt::LeftButton || !HasMenu(item)) return;
    if (OpenPopup() && item == open_)
        popup_->close();
    else
        Open(item);
}

void CSkinnedMenu::Open(int item, bool fromKeyboard)
{
    if (popup_)
    {
        // the old one goes later: this may run inside its own event handler
        popup_->onClosed = nullptr;
        popup_->close();
        popup_ = nullptr;
    }
    open_ = -1;
    if (HasMenu(item))
    {
        open_ = hot_ = item;
        auto* popup = new CSkinnedPopupMenu(submenus_[size_t(item)], this);
        popup->setAttribute(Qt::WA_DeleteOnClose);
        popup->onClosed = [this]
        {
            // the title stays lit only while the mouse is on it
            open_ = -1;
            const QPoint at = mapFromGlobal(QCursor::pos());
            hot_ = rect().contains(at) && HasMenu(ItemAt(at.x())) ? ItemAt(at.x()) : -1;
            update();
        };
        popup->onStep = [this](int direction) { Step(direction); };
        popup->onMoveAway = [this](QPoint global)
        {
            const QPoint at = mapFromGlobal(global);
            const int over = rect().contains(at) ? ItemAt(at.x()) : -1;
            if (HasMenu(over) && over != open_) Open(over);
        };
        popup_ = popup;
        const int left = item == 0 ? 0 : right_[size_t(item) - 1];
        popup->Popup(mapToGlobal(QPoint(left + 2, height() + 2)), TitleRect(item));
        if (fromKeyboard) popup->HighlightFirst();
    }
    update();
}

void CSkinnedMenu::Step(int direction)
{
    const int n = int(std::min(submenus_.size(), right_.size()));
    for (int k = 1; k <= n; ++k)
    {
        const int i = ((open_ + k * direction) % n + n) % n;
        if (HasMenu(i)) return Open(i, true);
    }
}

bool CSkinnedMenu::eventFilter(QObject* watched, QEvent* e)
{
    const QEvent::Type type = e->type();
    // a key with Alt that is a shortcut (Alt+Left) never arrives as a press: Alt was not alone
    if (type == QEvent::ShortcutOverride || type == QEvent::Shortcut)
    {
        if (type == QEvent::Shortcut || static_cast<QKeyEvent*>(e)->key() != Qt::Key_Alt)
            altAlone_ = false;
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::MouseButtonPress)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != window() || !isVisible() || OpenPopup()) return false;
    if (type == QEvent::MouseButtonPress)
    {
        altAlone_ = false;
        return false;
    }
    auto* k = static_cast<QKeyEvent*>(e);
    if (type == QEvent::KeyRelease)
    {
        if (k->key() != Qt::Key_Alt || !altAlone_) return false;
        altAlone_ = false;
        // Alt alone opens the first menu in reading order
        const int n = int(submenus_.size());
        for (int j = 0; j < n; ++j)
            if (const int i = rightToLeft_ ? n - 1 - j : j; HasMenu(i))
            {
                Open(i, true);
                return true;
            }
        return false;
    }
    if (k->key() == Qt::Key_Alt)
    {
        if (!k->isAutoRepeat()) altAlone_ = true;
        return false;
    }
    altAlone_ = false;
    if (k->modifiers() != Qt::AltModifier || k->isAutoRepeat()) return false;
    const QString text = k->text().toLower();
    const QChar c = !text.isEmpty()      ? text[0]
                    : k->key() < 0x10000 ? QChar(char16_t(k->key())).toLower()
                                         : QChar();
    for (size_t i = 0; i < mnemonics_.size(); ++i)
        if (!c.isNull() && mnemonics_[i] == c && HasMenu(int(i)))
        {
            Open(int(i), true);
            return true;
        }
    return false;
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

void CSkinnedPopupMenu::Popup(const QPoint& globalPos, const QRect& opener)
{
    opener_ = opener;
    pressed_ = false;
    move(globalPos);
    show();
}

int CSkinnedPopupMenu::ItemAt(int y) const
{
    int i = (y - 1) / itemHeight_;
    return y >= 1 && i < int(actions_.size()) ? i : -1;
}

bool CSkinnedPopupMenu::Runnable(int i) const
{
    return i >= 0 && i < int(actions_.size()) && !actions_[i]->isSeparator() &&
           actions_[i]->isEnabled();
}

void CSkinnedPopupMenu::HighlightFirst()
{
    hot_ = -1;
    MoveHighlight(1);
}

void CSkinnedPopupMenu::MoveHighlight(int step)
{
    const int n = int(actions_.size());
    int i = hot_ < 0 && step < 0 ? n : hot_;
    for (int k = 0; k < n; ++k)
    {
        i = ((i + step) % n + n) % n;
        if (Runnable(i))
        {
            hot_ = i;
            update();
            return;
        }
    }
}

void CSkinnedPopupMenu::Run(int i)
{
    QAction* a = actions_[i];
    close();
    a->trigger();
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
    const bool inside = rect().contains(e->position().toPoint());
    const int i = inside ? ItemAt(int(e->position().y())) : -1;
    if (i != hot_ && (inside || hot_ >= 0))
    {
        hot_ = i;
        update();
    }
    // the drop-down has the mouse: moving onto another title of the bar opens that one
    if (!inside && onMoveAway) onMoveAway(e->globalPosition().toPoint());
}

void CSkinnedPopupMenu::mousePressEvent(QMouseEvent* e)
{
    if (!rect().contains(e->position().toPoint()))
    {
        // a press on its own title only closes it; elsewhere the press goes on to what is there
        if (opener_.contains(e->globalPosition().toPoint())) setAttribute(Qt::WA_NoMouseReplay);
        close();
        return;
    }
    pressed_ = true;
}

void CSkinnedPopupMenu::mouseReleaseEvent(QMouseEvent* e)
{
    if (!rect().contains(e->position().toPoint()))
    {
        // the release that ends the click which opened it
        if (!pressed_ && opener_.contains(e->globalPosition().toPoint())) return;
        close();
        return;
    }
    const int i = ItemAt(int(e->position().y()));
    if (Runnable(i)) Run(i);
}

void CSkinnedPopupMenu::keyPressEvent(QKeyEvent* e)
{
    switch (e->key())
    {
    case Qt::Key_Up:
    case Qt::Key_Down:
        MoveHighlight(e->key() == Qt::Key_Up ? -1 : 1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (Runnable(hot_)) Run(hot_);
        return;
    case Qt::Key_Escape:
    case Qt::Key_Alt:
        close();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (onStep) onStep(e->key() == Qt::Key_Left ? -1 : 1);
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

void CSkinnedPopupMenu::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    if (onClosed) onClosed();
}

} // namespace skin
