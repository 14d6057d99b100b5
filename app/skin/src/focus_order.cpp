#include "skin/focus_order.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <algorithm>
#include <charconv>

#include "res/strings.h"
#include "skin/skinned_window.h"

namespace skin
{

namespace
{

// A ring in the accent colour around the control Tab moved to, since the skins draw no focus
// of their own; a click or the window's activation hides it, as on other desktops.
class FocusRing : public QWidget
{
public:
    explicit FocusRing(QWidget& dialog) : QWidget(&dialog)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::FocusIn) return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w == this || w->window() != window()) return false;
        const Qt::FocusReason why = static_cast<QFocusEvent*>(e)->reason();
        if (why != Qt::TabFocusReason && why != Qt::BacktabFocusReason)
        {
            hide();
            return false;
        }
        setGeometry(QRect(w->mapTo(window(), QPoint()), w->size()).adjusted(-3, -3, 3, 3));
        raise();
        show();
        update();
        return false;
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x2E, 0xC4, 0xB6), 2));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
};

} // namespace

std::vector<QWidget*> FocusableControls(QWidget& dialog)
{
    std::vector<QWidget*> out;
    for (QWidget* w : dialog.findChildren<QWidget*>())
    {
        if (w->isWindow() || w->isHidden() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            continue;
        bool inner = false; // inside another control that takes the focus itself
        for (QWidget* p = w->parentWidget(); p && p != &dialog; p = p->parentWidget())
            inner = inner || (p->focusPolicy() & Qt::TabFocus) || p->focusProxy();
        if (!inner) out.push_back(w);
    }
    return out;
}

void ArrangeFocus(QWidget& dialog, bool rightToLeft, int titleHeight)
{
    std::vector<QWidget*> controls = FocusableControls(dialog);
    if (controls.empty()) return;
    const auto at = [&](QWidget* w)
    {
        const QPoint p = w->mapTo(&dialog, w->rect().center());
        // below everything else: the band's buttons are the window's, not its content
        return p.y() < titleHeight ? p + QPoint(0, 1 << 20) : p;
    };
    std::stable_sort(controls.begin(), controls.end(),
                     [&](QWidget* a, QWidget* b) { return at(a).y() < at(b).y(); });
    // a row: controls whose centres lie within half the first one's height of it
    for (size_t first = 0; first < controls.size();)
    {
        const int top = at(controls[first]).y();
        const int tolerance = std::max(4, controls[first]->height() / 2);
        size_t end = first + 1;
        while (end < controls.size() && at(controls[end]).y() - top <= tolerance)
            ++end;
        std::stable_sort(controls.begin() + long(first), controls.begin() + long(end),
                         [&](QWidget* a, QWidget* b)
                         { return rightToLeft ? at(a).x() > at(b).x() : at(a).x() < at(b).x(); });
        first = end;
    }
    for (size_t i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls[i - 1], controls[i]);
    new FocusRing(dialog);
}

std::string SkinLayer::LabelText()
{
    KeyTable* k = OwnSection();
    const auto it = k ? k->find("label_text") : KeyTable::iterator();
    if (!k || it == k->end()) return {};
    // string numbers (beyond the range of the skin's coordinates), the name's parts
    std::string text;
    const std::string& value = it->second;
    for (const char *at = value.data(), *end = at + value.size(); at < end;)
    {
        uint32_t id = 0;
        const auto [next, ec] = std::from_chars(at, end, id);
        if (ec != std::errc() || !id) break;
        std::string part = res::LoadString(id);
        part = part.substr(0, part.find('\t'));
        while (!part.empty() && (part.back() == ':' || part.back() == ' '))
            part.pop_back();
        text += (text.empty() ? "" : ", ") + part;
        at = next;
        while (at < end && *at == ' ')
            ++at;
    }
    return text;
}

void SetToolTip(QWidget& control, const QString& tip)
{
    control.setToolTip(tip);
    if (control.accessibleName().isEmpty()) control.setAccessibleName(tip);
}

} // namespace skin
