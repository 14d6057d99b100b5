// Consistency of the generated skins as the program loads them from its resources: every
// dialog, skinned by its real control classes, finds each section and key it reads, in every
// language, and every picture lies inside its bitmap.
#include <gtest/gtest.h>

#include <QFile>
#include <map>
#include <set>

#include "form_skin.h"
#include "res/strings.h"
#include "skin/dialog_table.h"
#include "skin/modal_questions.h"
#include "skin/msgbox_dlg.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"
#include "skin_data/skin_data.h"
#include "testsupport/test_env.h"

namespace
{

using namespace skin;

class GeneratedSkins : public ::testing::Test
{
protected:
    void SetUp() override { skin_data::InitSkinData(); }
    void TearDown() override { platform::SetThreadLocale(1033); }
};

// A dialog of the table, with a real skinned control for each entry, skinned from the
// program's resources as the dialog itself will be.
class TableDlg : public SkinnedDialog<CBaseDlg>
{
public:
    explicit TableDlg(const DialogSkin& d) : SkinnedDialog<CBaseDlg>(d.name, d.id, nullptr)
    {
        for (const ControlSkin& c : d.controls)
            controls_[c.id] = Make(c);
        InitSkin(d.bitmap, d.description);
    }
    QWidget* Control(int id) const { return controls_.at(id); }

private:
    QWidget* Make(const ControlSkin& c)
    {
        SkinManager* m = &Skin();
        switch (c.kind)
        {
        case ControlKind::Button:
            return Bind(new CSkinnedButton(m), c.id, c.name);
        case ControlKind::ButtonEx:
            return Bind(new CSkinnedButtonEx(m), c.id, c.name);
        case ControlKind::Check:
            return Bind(new CSkinnedCheck(m), c.id, c.name);
        case ControlKind::Radio:
            return Bind(new CSkinnedRadio(m), c.id, c.name);
        case ControlKind::Image:
            return Bind(new CSkinnedImage(m), c.id, c.name);
        case ControlKind::Indicator:
            return Bind(new CSkinnedIndicator(m), c.id, c.name);
        case ControlKind::Progress:
            return Bind(new CSkinnedProgress(m), c.id, c.name);
        case ControlKind::Slider:
            return Bind(new CSkinnedSlider(m), c.id, c.name);
        case ControlKind::Spin:
            return Bind(new CSkinnedSpin(m), c.id, c.name);
        case ControlKind::Static:
            return Bind(new CSkinnedStatic(m), c.id, c.name);
        case ControlKind::Combo:
            return Bind(new CSkinnedCombo(m), c.id, c.name);
        case ControlKind::Edit:
            return Bind(new CSkinnedEdit(m), c.id, c.name);
        case ControlKind::Date:
            return Bind(new CSkinnedDateTime(m, false), c.id, c.name);
        case ControlKind::Time:
            return Bind(new CSkinnedDateTime(m, true), c.id, c.name);
        case ControlKind::Menu:
            return Bind(new CSkinnedMenu(m), c.id, c.name);
        case ControlKind::List:
            Skin().RegisterName(c.name, c.id);
            return nullptr;
        }
        return nullptr;
    }
    std::map<int, QWidget*> controls_;
};

// The size of the rectangle a picture key names, as the control reading it copies it.
QSize PictureSize(KeyTable& k, const std::string& key, ControlKind kind)
{
    auto size = [&](const char* name)
    {
        QSize s;
        SkinManager::ReadSize(k, name, s);
        return s;
    };
    if (key.rfind("skin_button_position", 0) == 0 || key.rfind("skin_position_button", 0) == 0)
        return size("button_size");
    if (key == "skin_position_thumb") return size("thumb_size");
    if (key.rfind("skin_part_position", 0) == 0) return size("size_part");
    if (kind == ControlKind::Combo && key == "skin_position")
        return size("edit_size") + QSize(2, 2);
    return size("size");
}

bool OptionalKey(const std::string& key)
{
    // read by buttons, carried by no skin of the program
    return key.rfind("caption_", 0) == 0 || key.rfind("skin_caption_", 0) == 0;
}

TEST_F(GeneratedSkins, EveryDialogFindsEverySectionAndKeyItReadsInEveryLanguage)
{
    ASSERT_EQ(ProgramDialogs().size(), 16u);
    for (const DialogSkin& d : ProgramDialogs())
    {
        std::set<std::string> firstKeys;
        for (platform::Lcid l : res::Languages())
        {
            platform::SetThreadLocale(l);
            SCOPED_TRACE(std::string(d.name) + " in " + res::LanguageFileName(l));
            TableDlg dlg(d);
            SkinManager& m = dlg.Skin();
            ASSERT_FALSE(m.Bitmap().isNull());
            const QRect bitmap = m.Bitmap().rect();
            KeyTable& own = m.Section(d.id);
            QSize size;
            QPoint origin(-1, -1);
            int title = 0;
            ASSERT_TRUE(SkinManager::ReadSize(own, "size", size));
            ASSERT_TRUE(SkinManager::ReadPoint(own, "skin_position", origin));
            ASSERT_TRUE(SkinManager::ReadInt(own, "title_height", title));
            EXPECT_EQ(dlg.size(), size);
            EXPECT_EQ(origin, QPoint(0, 0));
            EXPECT_EQ(title, 23);
            EXPECT_TRUE(bitmap.contains(QRect(origin, size)));
            const QRect client(QPoint(0, 0), size);

            std::set<std::string> keys;
            for (const ControlSkin& c : d.controls)
            {
                SCOPED_TRACE(c.name);
                ASSERT_TRUE(m.HasSection(c.id));
                KeyTable& k = m.Section(c.id);
                if (c.kind == ControlKind::List)
                    for (const char* key : {"size", "position", "text_color", "bg_color",
                                            "selected_text_color", "selected_bg_color"})
                        (void)k[key]; // the main window reads these for its list
                for (auto& [key, value] : KeyTable(k))
                {
                    keys.insert(std::string(c.name) + "." + key);
                    if (OptionalKey(key)) continue;
                    // a key the control read but the skin lacks was added empty
                    EXPECT_FALSE(value.empty()) << "missing key " << key;
                    if (key.rfind("skin_", 0) != 0 || value.empty()) continue;
                    QPoint p;
                    ASSERT_TRUE(SkinManager::ReadPoint(k, key, p)) << key;
                    QRect picture(p, PictureSize(k, key, c.kind));
                    EXPECT_FALSE(picture.isEmpty()) << key;
                    EXPECT_TRUE(bitmap.contains(picture)) << key;
                    // pictures live in the strip below the background, never over it
                    EXPECT_GE(picture.top(), size.height()) << key;
                }
                if (QWidget* w = dlg.Control(c.id))
                {
                    EXPECT_FALSE(w->geometry().isEmpty());
                    EXPECT_TRUE(client.contains(w->geometry())) << "placed outside the dialog";
                }
            }
            if (firstKeys.empty()) firstKeys = keys;
            EXPECT_EQ(keys, firstKeys) << "the languages describe different keys";
        }
    }
}

TEST_F(GeneratedSkins, TheBuilderLaysOutExactlyTheControlsTheDialogsBind)
{
    // a section nobody registers is dropped by the parser: the control it meant would stay
    // unskinned, so the layouts and the dialogs must name the same controls
    for (const builder::FormDialog& f : builder::FormDialogs())
    {
        const DialogSkin* d = FindDialog(f.name);
        ASSERT_NE(d, nullptr) << f.name;
        EXPECT_EQ(d->bitmap, f.bitmap);
        EXPECT_EQ(d->description, f.description);
        EXPECT_EQ(d->descriptionPerLanguage, f.descriptionPerLanguage);
        std::multiset<std::string> laid, bound;
        for (const builder::FormControl& c : f.controls)
            if (!c.name.empty()) laid.insert(c.name);
        for (const ControlSkin& c : d->controls)
            bound.insert(c.name);
        EXPECT_EQ(laid, bound) << f.name;
    }
    EXPECT_EQ(builder::FormDialogs().size() + 1, ProgramDialogs().size()); // + the message box
}

TEST_F(GeneratedSkins, EveryLabelExistsAndFitsInEveryLanguage)
{
    for (platform::Lcid l : res::Languages())
    {
        platform::SetThreadLocale(l);
        for (const builder::FormDialog& f : builder::FormDialogs())
        {
            EXPECT_TRUE(res::BuiltInTable(l).count(f.title)) << f.name << " title, " << l;
            for (const builder::FormControl& c : f.controls)
            {
                if (c.text)
                {
                    EXPECT_TRUE(res::BuiltInTable(l).count(c.text)) << c.text << ", " << l;
                }
            }
            for (const std::string& o : builder::FormOverflows(f))
                ADD_FAILURE() << "does not fit in " << res::LanguageFileName(l) << ": " << o;
        }
    }
}

TEST_F(GeneratedSkins, MenuItemsFollowTheLabelsOfEachLanguage)
{
    // the menu bar's spans differ per language, so its description is kept per language
    std::set<std::string> spans;
    for (platform::Lcid l : res::Languages())
    {
        platform::SetThreadLocale(l);
        SkinManager m;
        const int menu = ControlId(*FindDialog("IDD_VARK_DIALOG"), "IDC_STATIC_MENU");
        m.RegisterName("IDC_STATIC_MENU", menu);
        m.Load(209, 195);
        KeyTable& k = m.Section(menu);
        int n = 0;
        std::vector<int> right;
        QSize bar;
        // in Arabic the bar runs right to left: a blank span, then Help ... File at the end
        const bool rtl = platform::PrimaryLanguage(l) == 1;
        ASSERT_TRUE(SkinManager::ReadInt(k, "item_count", n));
        ASSERT_EQ(n, rtl ? 6 : 5);
        ASSERT_TRUE(SkinManager::ReadList(k, "item_right", size_t(n), right));
        ASSERT_TRUE(SkinManager::ReadSize(k, "size", bar));
        for (size_t i = 1; i < right.size(); ++i)
            EXPECT_GT(right[i], right[i - 1] + 24) << l;
        if (rtl)
            EXPECT_EQ(right.back(), bar.width());
        else
            EXPECT_LT(right.back(), bar.width()) << l;
        spans.insert(k["item_right"]);
    }
    EXPECT_GT(spans.size(), 1u);
}

TEST_F(GeneratedSkins, NeutralAndPerLanguageDescriptionsAreWhereTheProgramLooks)
{
    for (const DialogSkin& d : ProgramDialogs())
    {
        for (platform::Lcid l : res::Languages())
        {
            EXPECT_TRUE(QFile::exists(QString(":/vark/skins/%1/%2.png").arg(l).arg(d.bitmap)))
                << d.name << " " << l;
            EXPECT_EQ(QFile::exists(QString(":/vark/skins/%1/%2.txt").arg(l).arg(d.description)),
                      d.descriptionPerLanguage)
                << d.name << " " << l;
        }
        QFile neutral(QString(":/vark/skins/neutral/%1.txt").arg(d.description));
        EXPECT_EQ(neutral.exists(), !d.descriptionPerLanguage) << d.name;
        if (neutral.open(QIODevice::ReadOnly))
        {
            QByteArray text = neutral.readAll();
            EXPECT_EQ(text.count("\n"), text.count("\r\n")) << d.name;
            EXPECT_TRUE(text.startsWith(QByteArray("[") + d.name + "]\r\n")) << d.name;
        }
    }
    for (platform::Lcid l : res::Languages())
        for (int n : {216, 249})
            EXPECT_TRUE(QFile::exists(QString(":/vark/skins/%1/%2.png").arg(l).arg(n)));
    for (int n = 266; n <= 271; ++n)
        EXPECT_TRUE(QFile::exists(QString(":/vark/skins/neutral/%1.png").arg(n)));
}

TEST_F(GeneratedSkins, NeutralDescriptionsFitTheBitmapOfEveryLanguage)
{
    // a neutral description is written once, from English, and serves every bitmap: the
    // geometry and the picture places must not move with the language
    for (const builder::FormDialog& f : builder::FormDialogs())
    {
        std::string first;
        QSize firstSize;
        for (platform::Lcid l : res::Languages())
        {
            platform::SetThreadLocale(l);
            std::string d = builder::FormDescription(f);
            QSize size = builder::FormBitmap(f).size();
            if (first.empty())
            {
                first = d;
                firstSize = size;
            }
            if (!f.descriptionPerLanguage)
            {
                EXPECT_EQ(d, first) << f.name << " " << l;
            }
            EXPECT_EQ(size, firstSize) << f.name << " " << l;
        }
    }
}

TEST(SkinBuilderTool, PreviewWritesEveryDialogInEveryLanguage)
{
    testsupport::ScopedTestEnv env;
    std::string out = env.Path("previews");
    testsupport::ProcessResult r =
        testsupport::RunProcess({testsupport::BinDir() + "/skin-builder", "--preview", out,
                                 "--skins", env.Path("skins"), "--out", env.Path("skins")},
                                "", 240000);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const DialogSkin& d : ProgramDialogs())
        for (platform::Lcid l : res::Languages())
        {
            QImage shot(QString::fromStdString(out + "/" + d.name + "-" + res::LanguageFileName(l) +
                                               ".png"));
            ASSERT_FALSE(shot.isNull()) << d.name << " " << l;
            // the window as the user sees it, not its whole bitmap with the picture strip
            if (const builder::FormDialog* f = [&]() -> const builder::FormDialog*
                {
                    for (const builder::FormDialog& x : builder::FormDialogs())
                        if (x.name == d.name) return &x;
                    return nullptr;
                }())
            {
                EXPECT_EQ(shot.size(), f->size) << d.name;
            }
        }
    for (const char* kind : {"error", "question", "warning", "information"})
        EXPECT_TRUE(testsupport::FileExists(out + "/IDD_MSGBOX_DIALOG_" + kind + "-ar.png"));
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

TEST_F(GeneratedSkins, StatePicturesDifferFromEachOther)
{
    // a state that looks like another cannot be told apart: compare the copied pictures
    for (const DialogSkin& d : ProgramDialogs())
    {
        TableDlg dlg(d);
        SkinManager& m = dlg.Skin();
        for (const ControlSkin& c : d.controls)
        {
            KeyTable& k = m.Section(c.id);
            std::map<std::string, QImage> pictures;
            for (auto& [key, value] : KeyTable(k))
            {
                QPoint p;
                if (key.rfind("skin_", 0) != 0 || !SkinManager::ReadPoint(k, key, p)) continue;
                pictures[key] = m.Bitmap().copy(QRect(p, PictureSize(k, key, c.kind)));
            }
            auto differ = [&](const char* a, const char* b)
            {
                if (pictures.count(a) && pictures.count(b))
                {
                    EXPECT_NE(pictures[a], pictures[b])
                        << d.name << " " << c.name << " " << a << " vs " << b;
                }
            };
            differ("skin_button_position", "skin_button_position_pushed");
            differ("skin_button_position", "skin_button_position_disabled");
            differ("skin_position", "skin_position_checked");
            differ("skin_position", "skin_position_disabled");
            differ("skin_position_checked", "skin_position_checked_disabled");
            differ("skin_position", "skin_position_pushed");
            differ("skin_position", "skin_position_highlight");
            differ("skin_position", "skin_position_over");
            differ("skin_position", "skin_position_full");
            differ("skin_position", "skin_position_selected");
            differ("skin_part_position_00", "skin_part_position_50");
            differ("skin_position_up", "skin_position_up_pushed");
            differ("skin_position_down", "skin_position_down_disabled");
            differ("skin_position_button", "skin_position_button_pushed");
        }
    }
}

} // namespace
