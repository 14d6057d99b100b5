// The recorder controller against the virtual recorder over real sockets, with no window: a
// host that records what it was told, answers its questions from a script and runs its
// delayed steps from a loop that also serves the device notifications.
#include "transfer/recorder_control.h"

#include "recorder/faults.h"
#include "recorder/virtual_recorder.h"
#include "res/string_ids.h"
#include "testsupport/test_env.h"

#include <chrono>
#include <deque>
#include <gtest/gtest.h>
#include <poll.h>
#include <vector>

using vark::RecorderControl;

namespace
{

recorder::RecorderImage Image(int records, const std::string& pin = {})
{
    recorder::RecorderImage image;
    image.identity.serial = 4711;
    for (int i = 0; i < records; ++i)
    {
        recorder::StoredRecord r;
        r.start = 86400 * 300 + 600 * uint32_t(i);
        r.data.assign(4096 * size_t(i + 1), uint8_t(0x55 + i));
        image.records.push_back(r);
    }
    if (!pin.empty())
    {
        EXPECT_TRUE(recorder::PinToAccessCode(pin, &image.settings.accessCode));
    }
    return image;
}

class TestHost : public RecorderControl::Host
{
public:
    int Message(uint32_t textId, uint32_t, uint32_t) override
    {
        messages.push_back(textId);
        return answer;
    }
    std::optional<std::wstring> AskPin(uint16_t serial) override
    {
        askedSerials.push_back(serial);
        if (pins.empty()) return std::nullopt;
        std::wstring p = pins.front();
        pins.pop_front();
        return p;
    }
    void After(int ms, std::function<void()> step) override
    {
        steps.push_back({Clock::now() + std::chrono::milliseconds(ms), std::move(step)});
    }
    void Watch(int f) override { fd = f; }
    void StateChanged() override { ++stateChanges; }
    void StatusRead() override { ++statusReads; }
    void RecordsCleared() override { ++cleared; }
    void LoadRecords(int count) override
    {
        lentWhileLoading = control->WorkerHasRecorder();
        loads.push_back(count);
        if (duringLoad) duringLoad();
    }
    void RecordsLoaded() override { ++loaded; }
    void StopPlayback() override { ++stops; }
    void DropPlayback() override { ++drops; }
    void Erasing(bool on) override { erasing.push_back(on); }

    // Serves device notifications and due steps until `done` or `timeoutMs`.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 20000)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done())
        {
            if (Clock::now() > end) return false;
            pollfd p{fd, POLLIN, 0};
            if (fd >= 0 && ::poll(&p, 1, 10) > 0) control->OnDeviceEvents();
            if (fd < 0) ::poll(nullptr, 0, 10);
            for (size_t i = 0; i < steps.size();)
                if (steps[i].due <= Clock::now())
                {
                    auto step = std::move(steps[i].step);
                    steps.erase(steps.begin() + long(i));
                    step();
                }
                else
                    ++i;
        }
        return true;
    }

    using Clock = std::chrono::steady_clock;
    struct Step
    {
        Clock::time_point due;
        std::function<void()> step;
    };
    RecorderControl* control = nullptr;
    int answer = 1, fd = -2, stateChanges = 0, statusReads = 0, cleared = 0, loaded = 0;
    int stops = 0, drops = 0;
    bool lentWhileLoading = false;
    std::vector<uint32_t> messages;
    std::vector<uint16_t> askedSerials;
    std::deque<std::wstring> pins;
    std::vector<int> loads;
    std::vector<bool> erasing;
    std::vector<Step> steps;
    std::function<void()> duringLoad;
};

struct Fixture
{
    Fixture() { host.control = &control; }
    void Plug(const recorder::RecorderImage& image, recorder::FirmwareConfig config = {})
    {
        firmware = std::make_shared<recorder::RecorderFirmware>(image, config);
        plugged = std::make_unique<recorder::VirtualRecorder>(firmware);
        ASSERT_TRUE(plugged->Plug());
    }
    // The requests since the last call, as command numbers with their direction.
    std::vector<std::string> Requests()
    {
        std::vector<std::string> out;
        for (const auto& e : firmware->RequestLog())
            out.push_back(std::string(1, e.direction) + std::to_string(e.command));
        firmware->ClearRequestLog();
        return out;
    }

    testsupport::ScopedTestEnv env;
    TestHost host;
    RecorderControl control{host};
    std::shared_ptr<recorder::RecorderFirmware> firmware;
    std::unique_ptr<recorder::VirtualRecorder> plugged;
};

} // namespace

TEST(RecorderControl, ConnectsPollsAsksAboutChangedMemoryAndFollowsUnplugAndReplug)
{
    Fixture f;
    f.Plug(Image(3));
    EXPECT_EQ(f.control.GetState(), RecorderControl::State::kNone);
    EXPECT_FALSE(f.control.Can().refresh);
    f.control.Tick(true); // the first tick watches and connects
    EXPECT_GE(f.host.fd, 0);
    ASSERT_TRUE(f.control.Connected());
    EXPECT_EQ(f.control.SerialNumber(), 4711);
    EXPECT_EQ(f.host.loads, std::vector<int>{3});
    EXPECT_TRUE(f.host.lentWhileLoading);
    EXPECT_FALSE(f.control.WorkerHasRecorder());
    EXPECT_EQ(f.host.loaded, 1);
    const auto can = f.control.Can();
    EXPECT_TRUE(can.refresh && can.parameters && can.clock && can.changePin && can.erase);
    EXPECT_FALSE(can.enterPin);
    const auto& s = f.control.LastStatus();
    EXPECT_TRUE(s.memoryKnown);
    EXPECT_EQ(s.totalKb, 65536u);
    EXPECT_GT(s.freeKb, 0u);
    EXPECT_TRUE(s.clock.has_value());
    EXPECT_NE(s.timeLeft, "00:00:00");
    EXPECT_EQ(f.control.AttachedSerial(), 4711u);

    // the status is read again on the sixth tick only (the connecting one was the first), and
    // not while playing from it
    f.Requests();
    for (int i = 0; i < 4; ++i)
        f.control.Tick(true);
    EXPECT_TRUE(f.Requests().empty());
    f.control.Tick(false);
    EXPECT_TRUE(f.Requests().empty());
    for (int i = 0; i < 6; ++i)
        f.control.Tick(true);
    EXPECT_EQ(f.Requests(), (std::vector<std::string>{"Q7", "Q8", "Q1"})); // memory, battery, clock

    // the memory changes behind the controller's back: asked once, yes refreshes
    std::array<uint8_t, 16> erase{};
    erase[4] = 1;
    ASSERT_EQ(f.firmware->Write(26, erase).status, 0u);
    ASSERT_TRUE(f.host.RunUntil([&] { return !f.firmware->Erasing(); }));
    f.host.answer = 6; // yes
    for (int i = 0; i < 6; ++i)
        f.control.Tick(true);
    EXPECT_EQ(f.host.messages, std::vector<uint32_t>{res::ids::kMemoryChanged});
    EXPECT_EQ(f.host.stops, 1);
    EXPECT_EQ(f.host.loaded, 2); // an empty recorder loads nothing and is listed at once
    EXPECT_EQ(f.host.loads.size(), 1u);

    // unplugged: disconnected after the notification; plugged again: connected again
    f.plugged->Unplug();
    ASSERT_TRUE(f.host.RunUntil([&] { return !f.control.Connected(); }));
    EXPECT_EQ(f.control.GetState(), RecorderControl::State::kNone);
    EXPECT_FALSE(f.control.Can().erase);
    f.Plug(Image(2));
    ASSERT_TRUE(f.host.RunUntil([&] { return f.control.Connected(); }));
    EXPECT_EQ(f.host.loads.back(), 2);
}

TEST(RecorderControl, ALockedRecorderAsksForThePinAndTheWorkerKeepsItThroughAReplug)
{
    Fixture f;
    f.Plug(Image(2, "1234"));
    f.host.pins = {L"9999"};
    f.control.Tick(true);
    EXPECT_EQ(f.control.GetState(), RecorderControl::State::kLocked);
    EXPECT_TRUE(f.control.Can().enterPin);
    EXPECT_EQ(f.host.askedSerials, std::vector<uint16_t>{4711});
    EXPECT_EQ(f.host.messages, std::vector<uint32_t>{res::ids::kWrongPinCode});
    f.host.pins = {L"1234"};
    f.control.EnterPin();
    ASSERT_TRUE(f.control.Connected());
    EXPECT_EQ(f.control.Pin(), L"1234");
    ASSERT_TRUE(f.control.ChangePin(L"4321"));
    EXPECT_EQ(f.control.Pin(), L"4321");

    // Unplugged and plugged again while a worker has the recorder: the removal waits for the
    // worker, and then the recorder is connected again (it asks for the new PIN).
    recorder::RecorderImage again = Image(2, "4321");
    f.host.pins = {L"4321"};
    const bool same = f.control.LendToWorker(
        [&]
        {
            // each notification is handled a quarter second after it: served for a second
            f.plugged->Unplug();
            f.host.RunUntil([] { return false; }, 1000);
            EXPECT_TRUE(f.control.Connected()); // put off
            f.Plug(again);
            f.host.RunUntil([] { return false; }, 1000);
        });
    EXPECT_FALSE(same);
    EXPECT_TRUE(f.control.Connected());
    EXPECT_EQ(f.host.askedSerials.size(), 3u);

    // one failed clock read after a worker is not a recorder gone
    recorder::Fault fault;
    fault.command = 1;
    fault.direction = 'Q';
    fault.times = 1;
    f.firmware->AddFault(fault);
    EXPECT_TRUE(f.control.LendToWorker([] {}));
    EXPECT_TRUE(f.control.Connected());
}

TEST(RecorderControl, EraseIsPolledUntilItEndsThenTheEmptyRecorderIsListed)
{
    Fixture f;
    recorder::FirmwareConfig quick;
    quick.eraseSeconds = 0.6;
    f.Plug(Image(2), quick);
    f.control.Tick(true);
    ASSERT_TRUE(f.control.Connected());
    f.control.Erase();
    EXPECT_TRUE(f.control.IsErasing());
    EXPECT_EQ(f.host.drops, 1);
    f.control.Tick(true);
    for (int i = 0; i < 6; ++i) // no status poll meanwhile
        f.control.Tick(true);
    EXPECT_EQ(f.host.messages.size(), 0u);
    ASSERT_TRUE(f.host.RunUntil([&] { return !f.control.IsErasing(); }));
    EXPECT_EQ(f.host.erasing, (std::vector<bool>{true, false}));
    EXPECT_EQ(f.host.loaded, 2);
    EXPECT_EQ(f.host.loads, std::vector<int>{2}); // the first listing only

    // the clock: an invalid date is refused without a request
    f.Requests();
    EXPECT_FALSE(f.control.SetClock(platform::AutoDate::Invalid()));
    EXPECT_TRUE(f.Requests().empty());
    EXPECT_TRUE(f.control.SetClock(platform::AutoDate::Now()));

    f.control.End();
    f.plugged->Unplug();
    f.control.Tick(true);
    f.host.RunUntil([] { return false; }, 1000);
    EXPECT_TRUE(f.control.Connected()); // nothing is followed after the end
}

TEST(RecorderControl, StartConnectsBeforeTheFirstTickAndThePollKeepsItsPhase)
{
    Fixture f;
    f.Plug(Image(1));
    f.control.Start();
    ASSERT_TRUE(f.control.Connected());
    f.control.Start(); // once only
    f.Requests();
    // the status poll still comes on the sixth second, as when the first tick connected
    for (int i = 0; i < 5; ++i)
        f.control.Tick(true);
    EXPECT_TRUE(f.Requests().empty());
    f.control.Tick(true);
    EXPECT_EQ(f.Requests(), (std::vector<std::string>{"Q7", "Q8", "Q1"}));
}
