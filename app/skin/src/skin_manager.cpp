#include "skin/skin_manager.h"

#include <QFile>

#include "platform/thread_locale.h"
#include "scriba/scriba.h"

namespace skin
{

QByteArray FindSkinResource(int number, const char* ext, const QString& module)
{
    QString root = module.isEmpty() ? QString::fromLatin1(kProgramSkins) : module;
    QString lang = QString::number(platform::GetThreadLocale());
    for (const QString& folder : {lang, QStringLiteral("neutral")})
    {
        QFile f(QStringLiteral("%1/%2/%3.%4").arg(root, folder).arg(number).arg(ext));
        if (f.open(QIODevice::ReadOnly)) return f.readAll();
    }
    return {};
}

bool SkinManager::Load(int bitmap, int description, const QString& module)
{
    QByteArray png = FindSkinResource(bitmap, "png", module);
    bitmap_ = QImage();
    if (!png.isEmpty()) bitmap_.loadFromData(png, "PNG");
    QByteArray text = FindSkinResource(description, "txt", module);
    Parse(std::string_view(text.constData(), size_t(text.size())));
    SLOG(1, "SkinManager::Load, bitmap=%d (%s), description=%d (%d bytes, %d sections)", bitmap,
         bitmap_.isNull() ? "missing" : "ok", description, int(text.size()), int(sections_.size()));
    return true;
}

namespace
{
bool Numbers(KeyTable& keys, const std::string& key, size_t n, std::vector<int>& v)
{
    // operator[] adds the absent key with an empty value, as the lookup does
    return ReadNumbers(keys[key], n, v);
}
} // namespace

bool SkinManager::ReadPair(KeyTable& keys, const std::string& key, int& a, int& b)
{
    std::vector<int> v;
    if (!Numbers(keys, key, 2, v)) return false;
    a = v[0];
    b = v[1];
    return true;
}

bool SkinManager::ReadPoint(KeyTable& keys, const std::string& key, QPoint& p)
{
    int x, y;
    if (!ReadPair(keys, key, x, y)) return false;
    p = QPoint(x, y);
    return true;
}

bool SkinManager::ReadSize(KeyTable& keys, const std::string& key, QSize& s)
{
    int w, h;
    if (!ReadPair(keys, key, w, h) || w < 0 || h < 0 || w > kMaxSkinExtent || h > kMaxSkinExtent)
        return false;
    s = QSize(w, h);
    return true;
}

bool SkinManager::ReadColor(KeyTable& keys, const std::string& key, uint32_t& colorRef)
{
    std::vector<int> v;
    if (!Numbers(keys, key, 3, v)) return false;
    for (int c : v)
        if (c < 0 || c > 255) return false;
    colorRef = uint32_t(v[0]) | uint32_t(v[1]) << 8 | uint32_t(v[2]) << 16;
    return true;
}

bool SkinManager::ReadColor(KeyTable& keys, const std::string& key, QColor& color)
{
    uint32_t c;
    if (!ReadColor(keys, key, c)) return false;
    color = ColorFromRef(c);
    return true;
}

bool SkinManager::ReadInt(KeyTable& keys, const std::string& key, int& value)
{
    std::vector<int> v;
    if (!Numbers(keys, key, 1, v)) return false;
    value = v[0];
    return true;
}

bool SkinManager::ReadList(KeyTable& keys, const std::string& key, size_t n,
                           std::vector<int>& value)
{
    return Numbers(keys, key, n, value);
}

bool SkinManager::Draw(QPainter& target, int sx, int sy, int w, int h, int tx, int ty) const
{
    if (bitmap_.isNull()) return false;
    QPainter::CompositionMode old = target.compositionMode();
    target.setCompositionMode(QPainter::CompositionMode_Source);
    target.drawImage(QPoint(tx, ty), bitmap_, QRect(sx, sy, w, h));
    target.setCompositionMode(old);
    return true;
}

} // namespace skin
