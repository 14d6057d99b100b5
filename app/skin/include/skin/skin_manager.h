// SkinManager: one per skinned dialog. Holds the dialog's skin bitmap and its description
// tables, and copies rectangles of the bitmap onto the dialog and its controls.
#pragma once

#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>

#include "skin/skin_description.h"

namespace skin
{

// Where the program's own skin resources live (the Qt resource system). A resource is
// <root>/<lcid>/<number>.png or .txt, else <root>/neutral/<number>.<ext>.
inline const char* kProgramSkins = ":/vark/skins";

// Resource bytes by number in the calling thread's language, else the neutral entry.
// `module` is a resource root (empty: the program's own); `ext` is "png" or "txt".
QByteArray FindSkinResource(int number, const char* ext, const QString& module = {});

// A COLORREF-like value: red in the low byte, then green, then blue.
inline QColor ColorFromRef(uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

class SkinManager
{
public:
    // The dialog's constructor registers every name its skin uses, before Load. Two names
    // with one identifier feed one section.
    void RegisterName(const std::string& name, int id) { names_[name] = id; }
    const NameTable& Names() const { return names_; }

    // Loads the bitmap and the description by number (thread language, then neutral) and
    // parses the description. A missing part leaves drawing without effect or the section
    // table empty; always true.
    bool Load(int bitmap, int description, const QString& module = {});
    void Parse(std::string_view text) { ParseDescription(text, names_, sections_); }
    // For tools and tests: use a bitmap given directly.
    void SetBitmap(const QImage& image) { bitmap_ = image; }

    // The key table of an identifier, created empty when absent.
    KeyTable& Section(int id) { return sections_[id]; }
    bool HasSection(int id) const { return sections_.count(id) != 0; }
    const SectionTable& Sections() const { return sections_; }

    // Value readers: a missing key is added empty; on any failure the target is unchanged.
    static bool ReadPair(KeyTable& keys, const std::string& key, int& a, int& b);
    static bool ReadPoint(KeyTable& keys, const std::string& key, QPoint& p);
    // Sizes are refused when negative or above kMaxSkinExtent.
    static bool ReadSize(KeyTable& keys, const std::string& key, QSize& s);
    static bool ReadColor(KeyTable& keys, const std::string& key, uint32_t& colorRef);
    static bool ReadColor(KeyTable& keys, const std::string& key, QColor& color);
    static bool ReadInt(KeyTable& keys, const std::string& key, int& v);
    static bool ReadList(KeyTable& keys, const std::string& key, size_t n, std::vector<int>& v);
    static constexpr int kMaxSkinExtent = 4096;

    // Plain copy of a bitmap rectangle (no blending, no stretching); false without a bitmap.
    bool Draw(QPainter& target, int sx, int sy, int w, int h, int tx, int ty) const;
    void Draw(QPainter& target, int sx, int sy, int w, int h) const
    {
        Draw(target, sx, sy, w, h, 0, 0);
    }
    const QImage& Bitmap() const { return bitmap_; }

private:
    NameTable names_;
    SectionTable sections_;
    QImage bitmap_;
};

} // namespace skin
