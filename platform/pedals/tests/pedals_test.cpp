#include "platform/pedals.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <linux/input.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform::pedals;

namespace
{

std::string Events(std::initializer_list<std::tuple<uint16_t, uint16_t, int32_t>> events)
{
    std::string bytes;
    for (const auto& [type, code, value] : events)
    {
        input_event e{};
        e.type = type;
        e.code = code;
        e.value = value;
        bytes.append(reinterpret_cast<const char*>(&e), sizeof e);
        input_event sync{};
        sync.type = EV_SYN;
        bytes.append(reinterpret_cast<const char*>(&sync), sizeof sync);
    }
    return bytes;
}

std::vector<PedalChange> Feed(PedalDecoder& d, const std::string& bytes)
{
    return d.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool Readable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 10000) == 1;
}

} // namespace

// Records torn anywhere, repeats, keys that are no pedal and bursts: the states follow the
// presses. A device with a few keys ranks them; a keyboard's keys are read by the triples.
TEST(PedalDecoder, FollowsThePressesOfEachKindOfPedal)
{
    PedalDecoder few({BTN_6, BTN_4, BTN_5}); // a HID button pedal
    const std::string presses = Events({{EV_KEY, BTN_5, 1},
                                        {EV_KEY, BTN_5, 2}, // held: a repeat
                                        {EV_KEY, BTN_4, 1},
                                        {EV_REL, REL_X, 1},
                                        {EV_KEY, BTN_5, 0}});
    std::vector<PedalChange> changes;
    for (size_t at = 0; at < presses.size(); at += 7) // torn records
    {
        auto more = Feed(few, presses.substr(at, 7));
        changes.insert(changes.end(), more.begin(), more.end());
    }
    EXPECT_EQ(changes,
              (std::vector<PedalChange>{{kMiddle, true}, {kLeft, true}, {kMiddle, false}}));
    EXPECT_EQ(few.ReleaseAll(), (std::vector<PedalChange>{{kLeft, false}}));
    EXPECT_EQ(few.Down(), (std::array<bool, kPedals>{}));

    std::vector<uint16_t> keyboard;
    for (uint16_t k = KEY_ESC; k <= KEY_SPACE; ++k)
        keyboard.push_back(k);
    PedalDecoder programmable(keyboard);
    EXPECT_EQ(Feed(programmable, Events({{EV_KEY, KEY_C, 1}, {EV_KEY, KEY_Q, 1}})),
              (std::vector<PedalChange>{{kRight, true}}));

    PedalDecoder unknown; // no capabilities (a stand-in)
    std::string burst;
    for (int i = 0; i < 5000; ++i)
        burst += Events({{EV_KEY, BTN_0, i % 2 == 0}});
    burst += Events({{EV_KEY, BTN_2, 1}});
    EXPECT_EQ(Feed(unknown, burst).size(), 5001u);
    EXPECT_EQ(unknown.Down(), (std::array<bool, kPedals>{false, false, true}));
}

// A pedal is found among the event devices by its name (or USB ids), a keyboard is not;
// pulled out in the middle of a press, it lets go of the pedal and says it is gone.
TEST(PedalDevice, IsFoundReadAndLetsGoWhenPulledMidPress)
{
    testsupport::ScopedTestEnv env;
    const std::string folder = env.Path("by-id");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    env.Set("VARK_PEDAL_DIR", folder);
    const std::string pedal = folder + "/usb-VEC_VEC_USB_Footpedal-event-joystick";
    for (const std::string& name : {pedal, folder + "/usb-Some_Keyboard-event-kbd",
                                    folder + "/usb-VEC_VEC_USB_Footpedal-joystick"})
        ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
    const std::vector<PedalInfo> found = FindPedals();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, pedal);

    const int writer = ::open(pedal.c_str(), O_RDWR | O_NONBLOCK); // held before the reader
    ASSERT_GE(writer, 0);
    PedalDevice device(found[0]);
    ASSERT_TRUE(device.IsOpen());
    EXPECT_FALSE(device.Grabbed()); // a stand-in is no event device
    const std::string press = Events({{EV_KEY, BTN_1, 1}});
    ASSERT_EQ(::write(writer, press.data(), press.size()), ssize_t(press.size()));
    ASSERT_TRUE(Readable(device.Fd()));
    EXPECT_EQ(device.Read(), (std::vector<PedalChange>{{kMiddle, true}}));
    EXPECT_TRUE(device.Read().empty()); // nothing more yet, and nothing blocks
    EXPECT_FALSE(device.Gone());
    ::close(writer);
    ASSERT_TRUE(Readable(device.Fd()));
    EXPECT_EQ(device.Read(), (std::vector<PedalChange>{{kMiddle, false}}));
    EXPECT_TRUE(device.Gone());
}

// The folder's changes wake the watcher, also when the folder itself comes with the first
// input device.
TEST(PedalWatcher, WakesWhenTheFolderAndItsEntriesCome)
{
    testsupport::ScopedTestEnv env;
    const std::string folder = env.Path("by-id");
    env.Set("VARK_PEDAL_DIR", folder);
    PedalWatcher watcher;
    ASSERT_GE(watcher.Fd(), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_TRUE(Readable(watcher.Fd()));
    watcher.Drain();
    const std::string entry = folder + "/usb-X_Footswitch-event-kbd";
    ASSERT_EQ(::mkfifo(entry.c_str(), 0600), 0);
    ASSERT_TRUE(Readable(watcher.Fd()));
    watcher.Drain();
    EXPECT_EQ(FindPedals().size(), 1u);
}

// The package's udev rule gives the seat's user every model the program knows, and no other.
TEST(PedalModels, AreTheOnesThePackagesUdevRuleLists)
{
    std::set<std::pair<unsigned, unsigned>> known, ruled;
    for (const PedalModel& m : KnownPedals())
        known.insert({m.vendor, m.product});
    const std::string rules =
        testsupport::ReadFile(VARK_SOURCE_DIR "/dist/udev/70-vark-pedals.rules");
    for (size_t at = rules.find("ATTRS{idVendor}"); at != std::string::npos;
         at = rules.find("ATTRS{idVendor}", at + 1))
    {
        unsigned vendor = 0, product = 0;
        ASSERT_EQ(std::sscanf(rules.c_str() + at,
                              "ATTRS{idVendor}==\"%x\", ATTRS{idProduct}==\"%x\", TAG+=\"uaccess\"",
                              &vendor, &product),
                  2);
        ruled.insert({vendor, product});
    }
    EXPECT_EQ(ruled, known);
}
