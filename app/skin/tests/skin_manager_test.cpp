#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "platform/thread_locale.h"
#include "skin/skin_manager.h"
#include "testsupport/test_env.h"

namespace
{

using namespace skin;

TEST(SkinManager, ValueReaders)
{
    SkinManager m;
    m.RegisterName("IDD_X", 5);
    m.Parse("[IDD_X]\r\ntext_color=189 198 207\r\nitem_count=5\r\n"
            "item_right=48 135 206 290 372\r\nsize=5000 10\r\nbad=300 0 0\r\n");
    KeyTable& k = m.Section(5);
    uint32_t c = 0;
    ASSERT_TRUE(SkinManager::ReadColor(k, "text_color", c));
    EXPECT_EQ(c, 189u | 198u << 8 | 207u << 16);
    EXPECT_EQ(ColorFromRef(c), QColor(189, 198, 207));
    int n = 0;
    ASSERT_TRUE(SkinManager::ReadInt(k, "item_count", n));
    std::vector<int> list;
    ASSERT_TRUE(SkinManager::ReadList(k, "item_right", size_t(n), list));
    EXPECT_EQ(list, (std::vector<int>{48, 135, 206, 290, 372}));

    // a missing key is added empty and leaves the target alone; so do refused values
    QSize s(3, 4);
    EXPECT_FALSE(SkinManager::ReadSize(k, "missing", s));
    EXPECT_EQ(k.count("missing"), 1u);
    EXPECT_EQ(k["missing"], "");
    EXPECT_FALSE(SkinManager::ReadSize(k, "size", s));
    EXPECT_EQ(s, QSize(3, 4));
    EXPECT_FALSE(SkinManager::ReadColor(k, "bad", c));
    EXPECT_EQ(c, 189u | 198u << 8 | 207u << 16);
    // a section lookup creates an empty one
    EXPECT_FALSE(m.HasSection(77));
    EXPECT_TRUE(m.Section(77).empty());
    EXPECT_TRUE(m.HasSection(77));
}

TEST(SkinManager, LoadTakesThreadLanguageThenNeutral)
{
    testsupport::ScopedTestEnv env;
    QString root = QString::fromStdString(env.Path("skins"));
    QDir().mkpath(root + "/1049");
    QDir().mkpath(root + "/neutral");
    testsupport::WriteFile(env.Path("skins/1049/189.txt"), "[IDD_ABOUTBOX]\r\nsize=10 20\r\n");
    testsupport::WriteFile(env.Path("skins/neutral/189.txt"), "[IDD_ABOUTBOX]\r\nsize=30 40\r\n");
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(root + "/neutral/197.png"));

    for (auto [lcid, expected] : {std::pair{1049u, QSize(10, 20)}, {1033u, QSize(30, 40)}})
    {
        platform::SetThreadLocale(lcid);
        SkinManager m;
        m.RegisterName("IDD_ABOUTBOX", 100);
        EXPECT_TRUE(m.Load(197, 189, root));
        QSize s;
        EXPECT_TRUE(SkinManager::ReadSize(m.Section(100), "size", s));
        EXPECT_EQ(s, expected);
        EXPECT_FALSE(m.Bitmap().isNull());
    }
    platform::SetThreadLocale(1033);
}

TEST(SkinManager, MissingResourcesLeaveNothingToDraw)
{
    testsupport::ScopedTestEnv env;
    SkinManager m;
    m.RegisterName("IDD_ABOUTBOX", 100);
    EXPECT_TRUE(m.Load(9991, 9992, QString::fromStdString(env.Path("none"))));
    EXPECT_TRUE(m.Sections().empty());
    QImage target(4, 4, QImage::Format_RGB32);
    QPainter p(&target);
    EXPECT_FALSE(m.Draw(p, 0, 0, 4, 4, 0, 0));
}

TEST(SkinManager, DrawCopiesTheRectangleUnchanged)
{
    SkinManager m;
    QImage bmp(20, 10, QImage::Format_ARGB32);
    bmp.fill(QColor(0, 0, 255));
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 20; ++x)
            bmp.setPixelColor(x, y, QColor(10, 200, 30, 128)); // half alpha must not blend
    m.SetBitmap(bmp);
    QImage target(10, 10, QImage::Format_ARGB32);
    target.fill(Qt::white);
    {
        QPainter p(&target);
        EXPECT_TRUE(m.Draw(p, 10, 0, 4, 4, 2, 3));
    }
    EXPECT_EQ(target.pixelColor(2, 3), QColor(10, 200, 30, 128));
    EXPECT_EQ(target.pixelColor(5, 6), QColor(10, 200, 30, 128));
    EXPECT_EQ(target.pixelColor(6, 3), QColor(Qt::white));
    EXPECT_EQ(target.pixelColor(1, 3), QColor(Qt::white));
}

} // namespace
