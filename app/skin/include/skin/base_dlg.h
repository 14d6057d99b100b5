// CBaseDlg, the base of every window of the program, and its skin layer SkinnedDialog:
// a caption-less dialog drawn from its skin bitmap and dragged by the title band.
#pragma once

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "platform/thread_locale.h"
#include "skin/control_tables.h"
#include "skin/dialog_table.h"
#include "skin/focus_order.h"
#include "skin/skinned_window.h"

namespace skin
{

// The buttons that close a form (IDC_CANCEL is the skin's close button), from their table;
// IDOK and IDCANCEL are also what a dialog returns, as IDYES and IDNO are of a message box.
#define VARK_CONTROL_CONSTANT(name, id, kind) constexpr int name = id;
VARK_FORM_BUTTONS_CONTROLS(VARK_CONTROL_CONSTANT)
#undef VARK_CONTROL_CONSTANT
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class CBaseDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CBaseDlg(QWidget* parent = nullptr) : QDialog(parent) {}

    // The message operation: the text string number formatted printf-style with the
    // arguments, shown by the skinned message box; the title string is loaded but not shown.
    // Style: the low four bits choose the buttons (3 and 4: Yes and No, else OK), bits 4 to 7
    // the icon. Returns the pressed button (1, 6 or 7).
    int Message(uint32_t textId, uint32_t titleId, uint32_t style, ...);
    // The same with a ready text.
    int Message(const std::string& text, uint32_t style);

    // A command of a control (a button's click, a link): the default closes on OK, Yes, No,
    // Cancel and the close button, with that identifier as the result (Cancel for the close
    // button).
    virtual void OnCommand(int id);

protected:
    // Escape ends a dialog as its Cancel button does.
    void reject() override { done(IDCANCEL); }
};

template <class T> class SkinnedDialog : public SkinnedWindow<T>
{
public:
    // `name` is the dialog's own section name, `id` its resource identifier.
    SkinnedDialog(const char* name, int id, QWidget* parent)
        : SkinnedWindow<T>(&ownSkin_, parent), dialogName_(name)
    {
        this->SetControlId(id);
        ownSkin_.RegisterName(name, id);
    }

    SkinManager& Skin() { return ownSkin_; }
    int TitleHeight() const { return titleHeight_; }
    bool Dragging() const { return dragging_; }

    // Binds the control `name` of this dialog's table (skin/control_tables.h) under its number.
    template <class C> C* Bind(C* control, const char* name)
    {
        return Bind(control, ControlNumber(name), name);
    }
    // The number of this dialog's control `name`; throws std::logic_error for a name that
    // its table lacks (a fault of the program, which the tests meet at once).
    int ControlNumber(const char* name) const
    {
        const DialogSkin* dialog = FindDialog(dialogName_);
        const int id = dialog ? ControlId(*dialog, name) : -1;
        if (id < 0) throw std::logic_error(std::string(dialogName_) + " has no control " + name);
        return id;
    }

    // Registers a control's section name and makes it a skinned child with its identifier.
    template <class C> C* Bind(C* control, int id, const char* name)
    {
        control->setParent(this);
        control->SetControlId(id);
        ownSkin_.RegisterName(name, id);
        if constexpr (std::is_base_of_v<QAbstractButton, C>)
            QObject::connect(control, &QAbstractButton::clicked, this,
                             [this, id] { this->OnCommand(id); });
        return control;
    }

    // Skinning a dialog: caption-less, load, apply the own section, then send the
    // skin-apply message to the dialog and to every descendant.
    void InitSkin(int bitmap, int description, const QString& module = {})
    {
        this->setWindowFlag(Qt::FramelessWindowHint, true);
        ownSkin_.Load(bitmap, description, module);
        QEvent own(kSkinApplyEvent);
        QCoreApplication::sendEvent(this, &own);
        for (QWidget* w : this->template findChildren<QWidget*>())
        {
            QEvent e(kSkinApplyEvent);
            QCoreApplication::sendEvent(w, &e);
        }
        // the controls are in place now: Tab follows them as a reader does
        ArrangeFocus(*this, platform::PrimaryLanguage(platform::GetThreadLocale()) == 1,
                     titleHeight_);
    }

    void ApplySkin() override
    {
        KeyTable& k = ownSkin_.Section(this->SectionId());
        hasSize_ = SkinManager::ReadSize(k, "size", size_);
        hasSkinPos_ = SkinManager::ReadPoint(k, "skin_position", skinPos_);
        SkinManager::ReadInt(k, "title_height", titleHeight_);
        if (hasSize_) this->setFixedSize(size_);
    }

protected:
    void showEvent(QShowEvent* e) override
    {
        T::showEvent(e);
        // A window manager may place a caption-less window without telling it where (no
        // synthetic ConfigureNotify), and Qt would then map to the screen as if it sat at the
        // origin: drop-downs and menus would open far from it. Asking for the place it has
        // makes the manager confirm it.
        QTimer::singleShot(0, this,
                           [this]
                           {
                               if (QWindow* w = this->windowHandle())
                                   w->setFramePosition(this->pos());
                           });
    }
    void paintEvent(QPaintEvent* e) override
    {
        if (hasSize_ && hasSkinPos_)
        {
            QPainter p(this);
            ownSkin_.Draw(p, skinPos_.x(), skinPos_.y(), size_.width(), size_.height(), 0, 0);
        }
        else
            T::paintEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && e->position().y() < titleHeight_)
        {
            dragging_ = true;
            dragOffset_ = e->globalPosition().toPoint() - this->frameGeometry().topLeft();
        }
        T::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (dragging_) this->move(e->globalPosition().toPoint() - dragOffset_);
        T::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        dragging_ = false;
        T::mouseReleaseEvent(e);
    }

private:
    // Declared before use by the base only through its address, which is stable.
    SkinManager ownSkin_;
    const char* dialogName_;
    QSize size_;
    QPoint skinPos_;
    bool hasSize_ = false, hasSkinPos_ = false;
    int titleHeight_ = 0;
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace skin
