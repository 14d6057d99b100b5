#include "platform/waveout.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace platform::waveout;

namespace
{

uint32_t Le32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(s[at + i]);
    return v;
}

// Blocks of 128 stereo frames holding a known signal, and a record of what came back.
struct Blocks
{
    explicit Blocks(size_t count, size_t frames = 128)
        : data(count, std::vector<uint8_t>(frames * 4)), headers(count)
    {
        for (size_t b = 0; b < count; ++b)
        {
            for (size_t i = 0; i < frames * 2; ++i)
            {
                const auto s =
                    static_cast<uint16_t>(static_cast<int16_t>((b * 977 + i * 31) % 60000 - 30000));
                data[b][2 * i] = static_cast<uint8_t>(s);
                data[b][2 * i + 1] = static_cast<uint8_t>(s >> 8);
            }
            headers[b].data = data[b].data();
            headers[b].bufferLength = static_cast<uint32_t>(frames * 4);
            headers[b].user = b;
        }
    }

    WaveOut::DoneCallback Callback()
    {
        return [this](WaveHeader* h)
        {
            std::lock_guard lock(mutex);
            order.push_back(h->user);
            threads.push_back(std::this_thread::get_id());
        };
    }

    size_t Returned()
    {
        std::lock_guard lock(mutex);
        return order.size();
    }

    void SubmitAll(WaveOut& out)
    {
        for (WaveHeader& h : headers)
        {
            ASSERT_TRUE(WaveOut::Prepare(&h));
            ASSERT_TRUE(out.Write(&h));
        }
    }

    std::string Signal() const
    {
        std::string all;
        for (const auto& d : data)
            all.append(reinterpret_cast<const char*>(d.data()), d.size());
        return all;
    }

    std::vector<std::vector<uint8_t>> data;
    std::vector<WaveHeader> headers;
    std::mutex mutex;
    std::vector<uintptr_t> order;
    std::vector<std::thread::id> threads;
};

} // namespace

TEST(WaveOut, CaptureHearsTheSignalBitForBitInAValidGrowingFile)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("heard.wav");
    env.Set("VARK_AUDIO", "capture:" + path);
    env.Set("VARK_AUDIO_SPEED", "20");
    Blocks blocks(40);
    std::string error;
    auto out = WaveOut::Open(-1, 22050, blocks.Callback(), &error);
    ASSERT_TRUE(out) << error;
    EXPECT_EQ(out->BackEnd(), "capture:" + path);
    blocks.SubmitAll(*out);

    // Part way through, the header already describes what the file holds: the played part,
    // possibly short of a block the writer is appending right now.
    ASSERT_TRUE(testsupport::WaitFor([&] { return blocks.Returned() >= 10; }, 10000));
    const std::string partial = testsupport::ReadFile(path);
    ASSERT_GE(partial.size(), 44u);
    EXPECT_GT(Le32(partial, 40), 0u);
    EXPECT_LE(Le32(partial, 40), partial.size() - 44);
    EXPECT_LE(Le32(partial, 4), partial.size() - 8);

    ASSERT_TRUE(testsupport::WaitFor([&] { return blocks.Returned() == 40; }, 10000));
    out.reset();
    const std::string file = testsupport::ReadFile(path);
    ASSERT_EQ(file.size(), 44 + 40 * 512u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(file, 16), 16u);
    EXPECT_EQ(Le32(file, 20), 0x00020001u); // PCM, 2 channels
    EXPECT_EQ(Le32(file, 24), 22050u);
    EXPECT_EQ(Le32(file, 28), 22050u * 4);
    EXPECT_EQ(Le32(file, 32), 0x00100004u); // align 4, 16 bits
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(Le32(file, 4), file.size() - 8);
    EXPECT_EQ(Le32(file, 40), 40 * 512u);
    EXPECT_TRUE(file.substr(44) == blocks.Signal());

    std::vector<uintptr_t> expected(40);
    for (size_t i = 0; i < 40; ++i)
        expected[i] = i;
    EXPECT_EQ(blocks.order, expected);
    for (const auto& id : blocks.threads)
        EXPECT_NE(id, std::this_thread::get_id());
    for (const WaveHeader& h : blocks.headers)
        EXPECT_EQ(h.flags & (kHeaderDone | kHeaderInQueue), kHeaderDone);
}

TEST(WaveOut, VolumeScalesEachChannelAndFullVolumeKeepsEveryBit)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("volume.wav");
    env.Set("VARK_AUDIO", "capture:" + path);
    env.Set("VARK_AUDIO_SPEED", "50");
    Blocks blocks(2);
    auto out = WaveOut::Open(0, 8000, blocks.Callback());
    ASSERT_TRUE(out);
    out->SetVolume(0xFFFF, 0);
    uint16_t left = 1, right = 1;
    out->GetVolume(&left, &right);
    EXPECT_EQ(left, 0xFFFF);
    EXPECT_EQ(right, 0);
    blocks.SubmitAll(*out);
    ASSERT_TRUE(testsupport::WaitFor([&] { return blocks.Returned() == 2; }, 10000));
    out.reset();
    const std::string file = testsupport::ReadFile(path);
    ASSERT_EQ(file.size(), 44 + 2 * 512u);
    const std::string signal = blocks.Signal();
    for (size_t i = 0; i < signal.size(); i += 4)
    {
        ASSERT_EQ(file.substr(44 + i, 2), signal.substr(i, 2)) << i;
        ASSERT_EQ(file.substr(44 + i + 2, 2), std::string(2, '\0')) << i;
    }
}

TEST(WaveOut, ResetReturnsEverySubmittedBlockFromTheDeviceThread)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "null");
    Blocks blocks(30); // almost half a second at 8000 Hz
    auto out = WaveOut::Open(-1, 8000, blocks.Callback());
    ASSERT_TRUE(out);
    blocks.SubmitAll(*out);
    ASSERT_FALSE(out->Write(&blocks.headers[0])) << "a queued block was accepted twice";
    ASSERT_FALSE(WaveOut::Unprepare(&blocks.headers[29])) << "unprepared while queued";
    out->Reset();
    EXPECT_EQ(blocks.Returned(), 30u);
    EXPECT_EQ(out->Position(), 0u);
    for (const auto& id : blocks.threads)
        EXPECT_NE(id, std::this_thread::get_id());
    for (WaveHeader& h : blocks.headers)
        EXPECT_TRUE(WaveOut::Unprepare(&h));

    // The device plays on after a reset, and closing returns what is still queued.
    blocks.SubmitAll(*out);
    out.reset();
    EXPECT_EQ(blocks.Returned(), 60u);
}

TEST(WaveOut, PositionFollowsTheClockAtTheTrueRate)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "null");
    Blocks blocks(63); // about one second at 8000 Hz
    auto out = WaveOut::Open(-1, 8000, blocks.Callback());
    ASSERT_TRUE(out);
    const auto start = std::chrono::steady_clock::now();
    blocks.SubmitAll(*out);
    uint64_t last = 0;
    ASSERT_TRUE(testsupport::WaitFor(
        [&]
        {
            const uint64_t position = out->Position();
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            // Never ahead of the clock, never going back.
            EXPECT_LE(static_cast<double>(position), elapsed * 8000 + 1);
            EXPECT_GE(position, last);
            last = position;
            return position >= 3200; // 0.4 s
        },
        5000));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsed, 0.39);
    EXPECT_LT(elapsed, 3.0);
    EXPECT_LT(blocks.Returned(), 63u);
}

TEST(WaveOut, RefusesMalformedBlocksAndUnknownDevices)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "null");
    Blocks blocks(1);
    auto out = WaveOut::Open(-1, 8000, blocks.Callback());
    ASSERT_TRUE(out);
    EXPECT_FALSE(out->Write(&blocks.headers[0])) << "not prepared";
    ASSERT_TRUE(WaveOut::Prepare(&blocks.headers[0]));
    blocks.headers[0].bufferLength = 6; // one and a half frames
    EXPECT_FALSE(out->Write(&blocks.headers[0]));
    EXPECT_FALSE(out->Write(nullptr));

    std::string error;
    EXPECT_FALSE(WaveOut::Open(1, 8000, blocks.Callback(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WaveOut::Open(-1, 0, blocks.Callback()));
    env.Set("VARK_AUDIO", "speakers");
    EXPECT_FALSE(WaveOut::Open(-1, 8000, blocks.Callback(), &error));
    env.Set("VARK_AUDIO", "capture:" + env.Path("no/such/folder/x.wav"));
    EXPECT_FALSE(WaveOut::Open(-1, 8000, blocks.Callback(), &error));
    EXPECT_NE(error.find("x.wav"), std::string::npos);
}

TEST(WaveOut, DefaultDeviceFallsBackToNullWhenAlsaCannotOpen)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "alsa:vark_no_such_pcm");
    const std::vector<std::string> names = DeviceNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "Null output");

    Blocks blocks(3);
    auto out = WaveOut::Open(-1, 44100, blocks.Callback());
    ASSERT_TRUE(out);
    EXPECT_EQ(out->BackEnd(), "null");
    blocks.SubmitAll(*out);
    EXPECT_TRUE(testsupport::WaitFor([&] { return blocks.Returned() == 3; }, 5000));
    // The last device number is the null output; one past it does not exist.
    EXPECT_TRUE(WaveOut::Open(static_cast<int>(names.size()) - 1, 44100, blocks.Callback()));
    EXPECT_FALSE(WaveOut::Open(static_cast<int>(names.size()), 44100, blocks.Callback()));
}

TEST(WaveOut, OutputsAreNamedByTheirPcmTheDefaultFirstAndOpenedByTheirNumber)
{
    testsupport::ScopedTestEnv env;
    const std::string raw = env.Path("out.raw");
    testsupport::UseTestAlsa(env, raw);
    const std::vector<OutputDevice> devices = OutputDevices();
    ASSERT_GE(devices.size(), 3u);
    EXPECT_EQ(devices.front().name, "default");
    EXPECT_EQ(devices.back().name, "null");
    const int file = DeviceNumber("vark_file");
    ASSERT_GT(file, 0);
    EXPECT_EQ(devices[size_t(file)].description, "Test file");
    EXPECT_EQ(DeviceNames()[size_t(file)], "Test file");
    EXPECT_EQ(DeviceNumber("no_such_pcm"), -1);
    EXPECT_EQ(DeviceNumber(""), -1);
    EXPECT_EQ(DeviceNameList().rfind("default, ", 0), 0u);

    Blocks blocks(3);
    {
        std::string error;
        auto out = WaveOut::Open(file, 44100, blocks.Callback(), &error);
        ASSERT_TRUE(out) << error;
        EXPECT_EQ(out->BackEnd(), "alsa:vark_file");
        blocks.SubmitAll(*out);
        EXPECT_TRUE(testsupport::WaitFor([&] { return blocks.Returned() == 3; }, 10000));
    }
    EXPECT_FALSE(testsupport::ReadFile(raw).empty()); // what played went to that PCM
}
