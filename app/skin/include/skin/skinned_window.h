// The skin layers of windows: SkinnedWindow<T> adds to a Qt widget class the pointer to its
// dialog's SkinManager, its resource identifier and a trace tag, and answers the skin-apply
// message; SkinnedControl<T> adds what controls share (reading and placing from a section).
#pragma once

#include <QEvent>
#include <QWidget>
#include <cstdint>
#include <string>
#include <utility>

#include "skin/skin_manager.h"

namespace skin
{

// The skin-apply message, sent to a dialog and every descendant after the skin is loaded.
constexpr int kSkinApplyMessage = 32868;
constexpr QEvent::Type kSkinApplyEvent = QEvent::Type(kSkinApplyMessage);

// What every skinned window has, reachable without knowing its widget class.
class SkinLayer
{
public:
    explicit SkinLayer(SkinManager* manager) : manager_(manager) {}
    virtual ~SkinLayer() = default;
    SkinManager* Manager() const { return manager_; }
    int ControlId() const { return controlId_; }
    void SetControlId(int id) { controlId_ = id; }
    uint32_t TraceTag() const { return traceTag_; }
    void SetTraceTag(uint32_t tag) { traceTag_ = tag; }
    // The identifier under which the window's section is looked up.
    virtual int SectionId() const { return controlId_; }
    // Reads the section and moves and sizes the window (the skin-apply message).
    virtual void ApplySkin() {}

protected:
    KeyTable* OwnSection() { return manager_ ? &manager_->Section(SectionId()) : nullptr; }
    // The label the skin drew beside the control (its string number under "label_text"),
    // empty when none: the control's name for screen readers.
    std::string LabelText();

    SkinManager* manager_;
    int controlId_ = -1;
    uint32_t traceTag_ = 0;
};

template <class T> class SkinnedWindow : public T, public SkinLayer
{

public:
    template <class... A>
    explicit SkinnedWindow(SkinManager* manager, A&&... args)
        : T(std::forward<A>(args)...), SkinLayer(manager)
    {
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == kSkinApplyEvent)
        {
            ApplySkin();
            if (const std::string name = LabelText(); !name.empty())
                this->setAccessibleName(QString::fromStdString(name));
            e->accept();
            return true;
        }
        return T::event(e);
    }
};

template <class T> class SkinnedControl : public SkinnedWindow<T>
{
public:
    using SkinnedWindow<T>::SkinnedWindow;

protected:
    // Geometry from the section, in the dialog's client coordinates; absent or refused keys
    // keep the template geometry.
    void Place(const QPoint* pos, const QSize* size)
    {
        if (pos) this->move(*pos);
        if (size) this->resize(*size);
    }
    // Reads "position" and "size" into pos_/size_ and places the window.
    void ReadPlacement(KeyTable& k, const char* posKey = "position", const char* sizeKey = "size")
    {
        bool p = SkinManager::ReadPoint(k, posKey, pos_);
        bool s = SkinManager::ReadSize(k, sizeKey, size_);
        Place(p ? &pos_ : nullptr, s ? &size_ : nullptr);
    }
    bool DrawPart(QPainter& p, const QPoint& src, const QSize& size, int tx = 0, int ty = 0)
    {
        return this->manager_ &&
               this->manager_->Draw(p, src.x(), src.y(), size.width(), size.height(), tx, ty);
    }

    QPoint pos_;
    QSize size_;
};

} // namespace skin
