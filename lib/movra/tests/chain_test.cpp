// The chain frame: results move messages on, drop them or hand them over; an unknown
// result is a logic error; objects need their host; STATE reports only news.
#include "movra/bobject.h"
#include "movra/movra.h"
#include "movra/state.h"
#include "platform/install_layout.h"
#include "platform/paths.h"
#include "recording_host.h"

#include <gtest/gtest.h>

namespace
{

// Answers with a scripted result per message and tags what it saw.
class ScriptedObject : public BASEOBJECT
{
public:
    ScriptedObject(long id, std::vector<long> results) : BASEOBJECT(id), results_(results) {}
    void NotifyState() override { Host().OnAgc(Id()); }
    long Process(SMSG& msg) override
    {
        msg.samples.push_back(static_cast<int16_t>(Id()));
        const long r = results_.empty() ? TONEXT : results_.front();
        if (!results_.empty()) results_.erase(results_.begin());
        if (r == CAPTURE) kept.push_back(std::move(msg));
        return r;
    }
    std::vector<SMSG> kept;

private:
    std::vector<long> results_;
};

std::unique_ptr<SMSG> Msg(int tag)
{
    auto m = std::make_unique<SMSG>();
    m->Assign(8000, 1, 0);
    m->samples.push_back(static_cast<int16_t>(tag));
    return m;
}

} // namespace

TEST(ProcessChain, MovesRemovesAndCapturesInIdOrder)
{
    ScriptedObject first(0, {TONEXT, REMOVE, CAPTURE});
    ScriptedObject second(1, {});
    std::map<long, BASEOBJECT*> chain{{1, &second}, {0, &first}};
    first.Input().push_back(Msg(10));
    first.Input().push_back(Msg(20));
    first.Input().push_back(Msg(30));
    SMSG_LIST out;
    ProcessChain(chain, out);

    ASSERT_EQ(out.size(), 1u);
    // Visited by object 0, then object 1.
    EXPECT_EQ(out.front()->samples, (std::vector<int16_t>{10, 0, 1}));
    ASSERT_EQ(first.kept.size(), 1u);
    EXPECT_EQ(first.kept[0].samples, (std::vector<int16_t>{30, 0}));
    EXPECT_TRUE(first.Input().empty());
    EXPECT_TRUE(first.Output().empty());
    EXPECT_TRUE(second.Input().empty());
}

TEST(ProcessChain, UnknownResultIsALogicError)
{
    ScriptedObject object(3, {7});
    std::map<long, BASEOBJECT*> chain{{3, &object}};
    object.Input().push_back(Msg(1));
    SMSG_LIST out;
    EXPECT_THROW(ProcessChain(chain, out), LOGIC_ERROR);
}

TEST(BaseObject, NeedsItsHostAndSwitchesOnce)
{
    ScriptedObject object(2, {});
    EXPECT_THROW(object.NotifyState(), LOGIC_ERROR);
    RecordingHost host;
    object.SetInterface(&host);
    object.NotifyState();
    EXPECT_EQ(host.Lines(), (std::vector<std::string>{"OnAgc 2"}));

    EXPECT_FALSE(object.IsEnabled());
    object.Enable();
    object.Enable();
    EXPECT_TRUE(object.IsEnabled());
    object.Disable();
    EXPECT_FALSE(object.IsEnabled());
    object.SetSpare(5);
    EXPECT_EQ(object.GetSpare(), 5);
    object.ClearSpare();
    EXPECT_EQ(object.GetSpare(), 0);
}

TEST(State, RaisesTheFlagOnlyForNews)
{
    STATE<long> s(7);
    EXPECT_TRUE(s.IsChanged()); // a new state is always reported once
    s.ClearChanged();
    s.Set(7);
    EXPECT_FALSE(s.IsChanged());
    EXPECT_EQ(s.Set(9), 9);
    EXPECT_TRUE(s.IsChanged());
    s.ClearChanged();
    s.Reset();
    EXPECT_EQ(s.Get(), 7);
    EXPECT_TRUE(s.IsChanged());
}

TEST(CalcSndLevel, PeakInDecibelsPerChannel)
{
    SMSG msg;
    EXPECT_TRUE(MOVRA::CalcSndLevel(msg).empty());
    msg.Assign(8000, 3, 4);
    msg.Channel(0)[2] = -32768;
    msg.Channel(1)[1] = 9;
    // Channel 2 stays silent.
    EXPECT_EQ(MOVRA::CalcSndLevel(msg), (std::vector<long>{90, 20, 0}));
}

TEST(GetParentFolder, IsTheFolderAboveTheProgramsFolder)
{
    // The test program lives in <build>/bin.
    const std::string parent = MOVRA::GetParentFolder();
    const std::string exe = platform::ExecutablePath();
    ASSERT_FALSE(parent.empty());
    EXPECT_EQ(exe.rfind(parent + "/", 0), 0u);
    const std::string rest = exe.substr(parent.size() + 1);
    EXPECT_EQ(std::count(rest.begin(), rest.end(), '/'), 1);
    // The build tree's data folder sits beside bin, as an installation's does.
    EXPECT_EQ(MOVRA::PlayerIniPath(), platform::ProgramDataFolder() + "/config/player.ini");
    EXPECT_EQ(platform::ProgramDataFolder().rfind(parent + "/", 0), 0u);
}
