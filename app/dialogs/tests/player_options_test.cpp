// The modeless player options: the lists, what Apply and OK hand over, one window at a time,
// and where it opens.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <climits>

#include "dialogs/player_options_dlg.h"
#include "settings/app_settings.h"
#include "skin/skinned_controls.h"
#include "testsupport/test_env.h"

namespace
{

using namespace dialogs;

void Press(CPlayerOptionsDlg& dlg, int id)
{
    for (auto* b : dlg.findChildren<skin::CSkinnedButton*>())
        if (b->ControlId() == id) return b->click();
    FAIL() << "no button " << id;
}

} // namespace

TEST(PlayerOptions, ListsApplyDefaultsAndOneWindowAtATime)
{
    testsupport::ScopedTestEnv env;
    CAppSettings settings(L"");
    std::vector<PlayerOptions> applied;
    CPlayerOptionsDlg* slot = nullptr;
    auto open = [&](PlayerOptions current)
    {
        return CPlayerOptionsDlg::Open(nullptr, slot, settings, current,
                                       [&](const PlayerOptions& o) { applied.push_back(o); });
    };
    CPlayerOptionsDlg* dlg = open({45, 1, 9000, 12, 2, true});
    ASSERT_EQ(slot, dlg);
    EXPECT_FALSE(dlg->isModal());
    EXPECT_EQ(dlg->LevelList()->count(), 96);
    EXPECT_EQ(dlg->LevelList()->itemText(95), "96");
    EXPECT_EQ(dlg->DepthList()->count(), 25);
    EXPECT_EQ(dlg->DepthList()->itemText(0), "6000");
    EXPECT_EQ(dlg->DepthList()->itemText(24), "30000");
    EXPECT_EQ(dlg->ModeList()->itemText(0), "Telephone line");
    EXPECT_EQ(dlg->ModeList()->itemText(1), "Microphone");
    EXPECT_EQ(dlg->SkipList()->itemText(0), "1");
    EXPECT_EQ(dlg->SkipList()->itemText(29), "30");
    EXPECT_EQ(dlg->RewindList()->itemText(10), "10");
    EXPECT_EQ(dlg->StampList()->currentText(), "Time of day");
    EXPECT_EQ(dlg->PedalSpeedList()->itemText(0), QString("2") + QChar(0x00d7));
    EXPECT_EQ(dlg->PedalModeList()->currentText(), "Hold to play");
    dlg->ShowPedal({}, {});
    EXPECT_EQ(dlg->PedalText(), "No foot pedal found");
    dlg->ShowPedal("VEC USB Footpedal", {false, true, false});
    EXPECT_EQ(dlg->PedalsShown(), (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(dlg->Read(), (PlayerOptions{45, 1, 9000, 12, 2, true}));

    dlg->ModeList()->setCurrentIndex(0);
    dlg->RewindList()->setCurrentIndex(3);
    dlg->StampList()->setCurrentIndex(0);
    dlg->PedalModeList()->setCurrentIndex(1);
    dlg->PedalSpeedList()->setCurrentIndex(8);
    Press(*dlg, CPlayerOptionsDlg::IDC_BUTTON_APPLY);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0], (PlayerOptions{45, 0, 9000, 12, 3, false, false, 10}));
    EXPECT_TRUE(dlg->isVisible());

    // asked again: the same window comes back
    EXPECT_EQ(open({1, 1, 6000}), dlg);

    Press(*dlg, CPlayerOptionsDlg::IDC_BUTTON_SET_DEFAULT);
    EXPECT_EQ(applied.size(), 1u); // shown only
    EXPECT_EQ(dlg->ModeList()->currentText(), "Microphone");
    dlg->move(123, 45);
    Press(*dlg, skin::IDOK);
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[1], (PlayerOptions{30, 1, 20000}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return slot == nullptr; }, 5000)); // deleted later
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(settings.PlayerOptionsWinPosX, 123u);
    EXPECT_EQ(settings.PlayerOptionsWinPosY, 45u);

    // a stored mode the list lacks selects its first entry; no mode at all hands depth 0;
    // Cancel hands nothing
    dlg = open({30, 7, 20000});
    EXPECT_EQ(dlg->ModeList()->currentIndex(), 0);
    dlg->ModeList()->setCurrentIndex(-1);
    EXPECT_EQ(dlg->Read().ncDepth, 0);
    Press(*dlg, skin::IDCANCEL);
    EXPECT_TRUE(QTest::qWaitFor([&] { return slot == nullptr; }, 5000));
    EXPECT_EQ(applied.size(), 2u);
}

TEST(PlayerOptions, OpensReachableWhereverItWasStored)
{
    const QSize w(360, 288);
    const QRect screen(0, 0, 1280, 800);
    EXPECT_EQ(CPlayerOptionsDlg::KeepReachable(-500, 5000, w, screen), QPoint(40 - 360, 760));
    EXPECT_EQ(CPlayerOptionsDlg::KeepReachable(INT_MIN, INT_MAX, w, screen), QPoint(-320, 760));
    EXPECT_EQ(CPlayerOptionsDlg::KeepReachable(INT_MAX, INT_MIN, w, screen), QPoint(1240, -40));
    EXPECT_EQ(CPlayerOptionsDlg::KeepReachable(100, 200, w, screen), QPoint(100, 200));
    // a second screen to the right, and one smaller than the window
    EXPECT_EQ(CPlayerOptionsDlg::KeepReachable(0, 0, w, QRect(1280, 0, 1024, 768)),
              QPoint(1280 + 40 - 360, 0));
    EXPECT_EQ(CPlayerOptionsDlg::KeepReachable(500, 500, w, QRect(0, 0, 200, 150)),
              QPoint(160, 110));

    // the stored place is read back as signed coordinates
    testsupport::ScopedTestEnv env;
    CAppSettings settings(L"");
    settings.PlayerOptionsWinPosX = static_cast<uint32_t>(-500);
    settings.PlayerOptionsWinPosY = 5000;
    CPlayerOptionsDlg* slot = nullptr;
    CPlayerOptionsDlg* dlg = CPlayerOptionsDlg::Open(nullptr, slot, settings, {}, {});
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(dlg->pos(), QPoint(area.left() + 40 - dlg->width(), area.bottom() + 1 - 40));
    delete dlg;
    EXPECT_EQ(slot, nullptr);
}
