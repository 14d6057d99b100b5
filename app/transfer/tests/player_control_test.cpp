// The player controller and the file flow against a recording player wrapper: which wrapper
// calls each command makes, in order, and what reaches the window.
#include "flow_fakes.h"

#include "platform/text.h"
#include "testsupport/test_env.h"
#include "transfer/file_data_flow.h"
#include "transfer/player_control.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vark;
using flowtest::FakeTril;
using flowtest::Window;
using Calls = std::vector<std::string>;

namespace
{

// A flow that only notes which of its operations ran.
class NotingFlow : public CDataFlow
{
public:
    bool Play() override { return Note("Play"), playOk; }
    void Stop() override { Note("Stop"); }
    void Pause(bool on) override { Note(on ? "Pause(1)" : "Pause(0)"); }
    void Feed() override { Note("Feed"); }
    bool Open() override { return Note("Open"), openOk; }
    void Close() override { Note("Close"); }
    FlowKind Kind() const override { return FlowKind(7); }
    bool Note(const std::string& what)
    {
        ops.push_back(what);
        return true;
    }
    Calls ops;
    bool playOk = true, openOk = true;
};

class ControlTest : public ::testing::Test
{
protected:
    PlayerControl::SendFunction Sender()
    {
        return [this](platform::UINT m, platform::WPARAM w, platform::LPARAM l)
        { window.Send(m, w, l); };
    }
    testsupport::ScopedTestEnv env;
    FakeTril tril;
    flowtest::TestClock clock;
    Window window;
};

TEST_F(ControlTest, AdoptInitialisesThePlayerOnceAndReplacesTheFlowInOrder)
{
    testsupport::WriteFile(env.Path("a.wav"), std::string(5000, 'x'));
    testsupport::WriteFile(env.Path("b.wav"), std::string(100, 'x'));
    CFileDataFlow a, b;
    a.SetPath(platform::Utf8ToWide(env.Path("a.wav")));
    b.SetPath(platform::Utf8ToWide(env.Path("b.wav")));
    PlayerControl control(window.Handle(), clock, tril, Sender());

    ASSERT_TRUE(control.Adopt(&a));
    EXPECT_EQ(tril.Take(), (Calls{"Init(-1," + std::to_string(kPlayerMessage) + ",0,200)",
                                  "OpenFile(" + env.Path("a.wav") + ")"}));
    EXPECT_EQ(tril.initWindow, window.Handle());
    EXPECT_EQ(window.Take(),
              (std::vector<Window::Message>{
                  {player_code::kSize, 4, {}},
                  {player_code::kName, reinterpret_cast<intptr_t>(a.Path().c_str()), a.Path()}}));
    EXPECT_TRUE(window.Sent().empty());
    EXPECT_EQ(a.Controller(), &control);

    ASSERT_TRUE(control.Play());
    ASSERT_TRUE(control.Adopt(&b));
    // The old flow is stopped and closed after code 12; the player is ready already.
    EXPECT_EQ(tril.Take(), (Calls{"Play(1)", "Play(0)", "OpenFile(null)",
                                  "OpenFile(" + env.Path("b.wav") + ")"}));
    EXPECT_EQ(window.Sent(), (std::vector<Window::Message>{{player_code::kReplaced, 0, {}}}));
    EXPECT_EQ(a.Controller(), nullptr);
    EXPECT_EQ(control.Flow(), &b);
    EXPECT_FALSE(control.IsPlaying());
    EXPECT_EQ(window.Take()[0].value, 0); // 100 bytes are 0 KiB
}

TEST_F(ControlTest, AFailedInitOrOpenLeavesNoFlow)
{
    CFileDataFlow file;
    file.SetPath(platform::Utf8ToWide(env.Path("missing.wav")));
    PlayerControl control(window.Handle(), clock, tril);
    tril.failing = {"Init"};
    EXPECT_FALSE(control.Adopt(&file));
    EXPECT_EQ(control.Flow(), nullptr);
    EXPECT_EQ(file.Controller(), nullptr);
    EXPECT_EQ(tril.Take(),
              Calls{"Init(-1," + std::to_string(kPlayerMessage) + ",0,200)"}); // nothing opened

    tril.failing = {"OpenFile"};
    EXPECT_FALSE(control.Adopt(&file));
    EXPECT_EQ(control.Flow(), nullptr);
    EXPECT_FALSE(control.Play());

    // The player opened it but the file is not there to be measured: no size, no name.
    tril.failing.clear();
    tril.Take();
    EXPECT_TRUE(control.Adopt(&file));
    EXPECT_TRUE(window.Take().empty());
}

TEST_F(ControlTest, PlayStopPauseAndTickFollowTheFlags)
{
    NotingFlow flow;
    PlayerControl control(window.Handle(), clock, tril);
    control.Tick();
    control.TogglePause();
    control.Stop();
    EXPECT_EQ(control.Kind(), FlowKind::kNone);
    ASSERT_TRUE(control.Adopt(&flow));
    EXPECT_EQ(control.Kind(), FlowKind::kNone); // not playing yet
    control.Tick();
    control.TogglePause(); // only while playing
    ASSERT_TRUE(control.Play());
    ASSERT_TRUE(control.Play()); // already playing: the flow is not started twice
    EXPECT_EQ(control.Kind(), FlowKind(7));
    control.Tick();
    control.TogglePause();
    EXPECT_TRUE(control.IsPaused());
    control.Tick(); // paused: no feeding
    control.TogglePause();
    control.Tick();
    control.Stop();
    control.Stop(); // stopping a stopped controller does nothing
    control.Tick();
    EXPECT_EQ(flow.ops, (Calls{"Open", "Play", "Feed", "Pause(1)", "Pause(0)", "Feed", "Stop"}));
    EXPECT_EQ(control.Kind(), FlowKind::kNone);

    // Play clears pause; a flow that cannot start leaves the controller stopped.
    flow.ops.clear();
    ASSERT_TRUE(control.Play());
    control.TogglePause();
    ASSERT_TRUE(control.Play());
    EXPECT_FALSE(control.IsPaused());
    control.Stop();
    flow.playOk = false;
    EXPECT_FALSE(control.Play());
    EXPECT_FALSE(control.IsPlaying());
    control.Tick();
    EXPECT_EQ(flow.ops, (Calls{"Play", "Pause(1)", "Stop", "Play"}));
}

TEST_F(ControlTest, GainAgcAndDenoiserNeedAFlowAndUseThePlayerOptions)
{
    NotingFlow flow;
    PlayerControl control(window.Handle(), clock, tril);
    EXPECT_FALSE(control.SetGain(70));
    EXPECT_FALSE(control.SetAgc(true));
    EXPECT_FALSE(control.SetDenoiser(true));
    EXPECT_TRUE(tril.Take().empty());
    ASSERT_TRUE(control.Adopt(&flow));
    tril.Take();
    EXPECT_TRUE(control.SetGain(70));
    EXPECT_TRUE(control.SetAgc(true));
    EXPECT_TRUE(control.SetAgc(false));
    EXPECT_TRUE(control.SetDenoiser(true));
    EXPECT_TRUE(control.SetDenoiser(false));
    control.agcLevel = 55;
    control.ncMode = 0;
    control.ncDepth = 123;
    control.SetAgc(true);
    control.SetDenoiser(true);
    EXPECT_EQ(tril.Take(),
              (Calls{"SetGain(70)", "SetAgc(30,1)", "SetAgc(0,0)", "SetDenoiser(1,20000,1)",
                     "SetDenoiser(0,0,0)", "SetAgc(55,1)", "SetDenoiser(0,123,1)"}));
    tril.failing = {"SetGain"};
    EXPECT_FALSE(control.SetGain(1));
}

TEST_F(ControlTest, FileFlowSlotsAreWrapperCalls)
{
    testsupport::WriteFile(env.Path("a.wav"), "x");
    CFileDataFlow file;
    file.SetPath(platform::Utf8ToWide(env.Path("a.wav")));
    EXPECT_FALSE(file.Play()); // not adopted: no player to ask
    EXPECT_TRUE(tril.Take().empty());
    PlayerControl control(window.Handle(), clock, tril);
    ASSERT_TRUE(control.Adopt(&file));
    tril.Take();
    EXPECT_EQ(file.Kind(), FlowKind::kFile);
    file.Play();
    file.Pause(true);
    file.Pause(false);
    file.SetRing(5);
    file.SetRing(0);
    file.SetPosition(1234);
    file.SetStretch(-3);
    file.Feed(); // nothing: the player reads the file itself
    file.Stop();
    file.Close();
    EXPECT_EQ(tril.Take(),
              (Calls{"Play(1)", "Pause()", "Play(1)", "SetRing(5,1)", "SetRing(0,0)",
                     "SetPosition(1234)", "SetStretch(-3)", "Play(0)", "OpenFile(null)"}));
}

TEST_F(ControlTest, DestroyingEitherSideLetsGo)
{
    auto flow = std::make_unique<NotingFlow>();
    {
        PlayerControl control(window.Handle(), clock, tril);
        ASSERT_TRUE(control.Adopt(flow.get()));
        ASSERT_TRUE(control.Play());
    }
    // The controller went first: the flow was stopped, closed and detached, code 12 posted.
    EXPECT_EQ(flow->ops, (Calls{"Open", "Play", "Stop", "Close"}));
    EXPECT_EQ(flow->Controller(), nullptr);
    EXPECT_EQ(window.Take().back().code, player_code::kReplaced);

    PlayerControl control(window.Handle(), clock, tril);
    ASSERT_TRUE(control.Adopt(flow.get()));
    ASSERT_TRUE(control.Play());
    flow.reset();
    EXPECT_EQ(control.Flow(), nullptr);
    EXPECT_FALSE(control.IsPlaying());
    control.Tick();
    control.Stop();
}

} // namespace
