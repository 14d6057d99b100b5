// Consistency of the generated skins as the program loads them from its resources.
#include <gtest/gtest.h>

#include <QFile>
#include <set>

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

namespace {

// The form dialogs: every section's pictures lie inside the bitmap of every language, and
// every language describes the same sections.
TEST_F(GeneratedSkins, FormDialogsAreConsistentAcrossLanguages)
{
    struct Form
    {
        const char* name;
        int bitmap, description;
        std::vector<std::string> controls;
    } forms[] = {
        {"IDD_PIN_DIALOG", 199, 193, {"IDC_EDIT_UIN", "IDC_EDIT_PIN", "IDOK", "IDCANCEL", "IDC_CANCEL"}},
        {"IDD_CHANGE_PIN_DIALOG", 200, 201,
         {"IDC_EDIT_PIN_OLD", "IDC_EDIT_PIN_NEW1", "IDC_EDIT_PIN_NEW2", "IDOK", "IDCANCEL", "IDC_CANCEL"}},
        {"IDD_DEVICE_DIALOG", 203, 202, {"IDC_CMB_DEVICE", "IDOK", "IDCANCEL", "IDC_CANCEL"}},
    };
    for (const Form& f : forms)
    {
        std::set<std::string> firstKeys;
        for (platform::Lcid l : res::Languages())
        {
            platform::SetThreadLocale(l);
            SkinManager m;
            m.RegisterName(f.name, 1);
            int id = 100;
            for (const std::string& c : f.controls)
                m.RegisterName(c, id++);
            m.Load(f.bitmap, f.description);
            ASSERT_FALSE(m.Bitmap().isNull()) << f.name << l;
            std::set<std::string> keys;
            for (const auto& [sid, table] : m.Sections())
                for (const auto& kv : table)
                    keys.insert(std::to_string(sid) + kv.first);
            EXPECT_EQ(m.Sections().size(), f.controls.size() + 1) << f.name;
            if (firstKeys.empty())
                firstKeys = keys;
            EXPECT_EQ(keys, firstKeys) << f.name << " " << l;
            for (auto [sid, table] : m.Sections())
            {
                QSize size;
                if (!SkinManager::ReadSize(table, "size", size))
                    SkinManager::ReadSize(table, "button_size", size);
                for (auto& [key, value] : KeyTable(table))
                {
                    QPoint p;
                    if (key.rfind("skin_", 0) == 0 && SkinManager::ReadPoint(table, key, p))
                    {
                        QSize s = key.find("button") != std::string::npos && key != "skin_button_position" &&
                                          key.rfind("skin_button", 0) != 0
                                      ? QSize(24, size.height())
                                      : size;
                        EXPECT_TRUE(m.Bitmap().rect().contains(QRect(p, s)))
                            << f.name << " " << sid << " " << key;
                    }
                }
            }
        }
    }
}

} // namespace
