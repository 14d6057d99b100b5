// Consistency of the generated skins as the program loads them from its resources.
#include <gtest/gtest.h>

#include <QFile>

#include "res/strings.h"
#include "skin/msgbox_dlg.h"
#include "skin/modal_questions.h"
#include "skin_data/skin_data.h"

namespace {

using namespace skin;

class GeneratedSkins : public ::testing::Test
{
protected:
    void SetUp() override { skin_data::InitSkinData(); }
    void TearDown() override { platform::SetThreadLocale(1033); }
};

TEST_F(GeneratedSkins, EveryRegisteredNameHasASectionAndPicturesLieInsideTheBitmap)
{
    for (platform::Lcid l : res::Languages())
    {
        platform::SetThreadLocale(l);
        for (uint32_t style : {0x30u, 0x24u})
        {
            CMsgBoxDlg box(nullptr, "x", style);
            SkinManager& m = box.Skin();
            ASSERT_FALSE(m.Bitmap().isNull()) << l;
            QRect bitmap = m.Bitmap().rect();
            for (const auto& [name, id] : m.Names())
            {
                ASSERT_TRUE(m.HasSection(id)) << name;
                KeyTable& k = m.Section(id);
                QSize size;
                if (!SkinManager::ReadSize(k, "size", size))
                {
                    ASSERT_TRUE(SkinManager::ReadSize(k, "button_size", size)) << name;
                }
                for (auto& [key, value] : KeyTable(k))
                {
                    if (key.rfind("skin_", 0) != 0 || value.empty())
                        continue;
                    QPoint p;
                    ASSERT_TRUE(SkinManager::ReadPoint(k, key, p)) << name << key;
                    EXPECT_TRUE(bitmap.contains(QRect(p, size))) << name << " " << key;
                }
            }
            EXPECT_EQ(box.size(), QSize(400, 160));
            EXPECT_EQ(box.TitleHeight(), 23);
            QFile desc(":/vark/skins/neutral/217.txt");
            ASSERT_TRUE(desc.open(QIODevice::ReadOnly));
            EXPECT_TRUE(desc.readAll().contains("\r\n"));
        }
        for (int n : {216, 248, 249})
            EXPECT_TRUE(QFile::exists(QString(":/vark/skins/%1/%2.png").arg(l).arg(n)));
    }
    for (int n = 266; n <= 271; ++n)
        EXPECT_TRUE(QFile::exists(QString(":/vark/skins/neutral/%1.png").arg(n)));
}

TEST_F(GeneratedSkins, MessageBoxButtonsSitWhereTheSkinSays)
{
    CMsgBoxDlg yesNo(nullptr, "q", 0x24);
    EXPECT_EQ(yesNo.Yes()->geometry(), QRect(108, 116, 88, 28));
    EXPECT_EQ(yesNo.No()->geometry(), QRect(204, 116, 88, 28));
    EXPECT_EQ(yesNo.Text()->geometry(), QRect(72, 36, 304, 68));
    yesNo.show();
    yesNo.Yes()->click();
    EXPECT_EQ(yesNo.result(), IDYES);
}

} // namespace
