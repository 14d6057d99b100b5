#include "ondakit/mono_reader.h"
#include "ondakit/sound_decoder.h"
#include "ondakit_test_files.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>

using odktest::Wide;

namespace
{

std::unique_ptr<InputSoundFileStream> OpenWav(const std::string& path)
{
    return std::unique_ptr<InputSoundFileStream>(
        InputSoundFileStream::Open(Wide(path).c_str(), OpenRiffOnly));
}

std::vector<int16_t> Stereo(size_t frames, int16_t left, int16_t right)
{
    std::vector<int16_t> s;
    for (size_t i = 0; i < frames; ++i)
        s.push_back(left), s.push_back(right);
    return s;
}

} // namespace

TEST(MonoReader, SumsTheChannelsAndClamps)
{
    testsupport::ScopedTestEnv env;
    auto samples = Stereo(6000, 20000, 20000);
    const auto second = Stereo(6000, -20000, 5000);
    samples.insert(samples.end(), second.begin(), second.end());
    testsupport::WriteFile(env.Path("s.wav"), odktest::PcmWav(8000, 2, samples));
    auto stream = OpenWav(env.Path("s.wav"));
    ASSERT_TRUE(stream);
    MonoReader mono(stream.get());
    std::vector<short> out(20000);
    ASSERT_EQ(mono.ReadData(out.data(), 20000), 12000); // several 4096-frame passes
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[5999], 32767);
    EXPECT_EQ(out[6000], -15000);
    EXPECT_EQ(out[11999], -15000);
    EXPECT_EQ(mono.ReadData(out.data(), 10), 0);
}

TEST(MonoReader, ReadersOnSeveralThreadsDoNotMixTheirSound)
{
    testsupport::ScopedTestEnv env;
    constexpr int kThreads = 4;
    for (int t = 0; t < kThreads; ++t)
        testsupport::WriteFile(env.Path("t" + std::to_string(t) + ".wav"),
                               odktest::PcmWav(8000, 2, Stereo(200000, 100 * t, 1)));
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [&, t]
            {
                auto stream = OpenWav(env.Path("t" + std::to_string(t) + ".wav"));
                if (!stream) return void(wrong[t] = -1);
                MonoReader mono(stream.get());
                std::vector<short> out(5000);
                for (int n; (n = mono.ReadData(out.data(), 5000)) > 0;)
                    for (int i = 0; i < n; ++i)
                        wrong[t] += out[i] != 100 * t + 1;
            });
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(wrong[t], 0) << t;
}

namespace
{
struct Collector : DecSndReceiver
{
    std::vector<int16_t> pcm;
    void SetWavData(unsigned char* data, int bytes) override
    {
        for (int i = 0; i + 1 < bytes; i += 2)
            pcm.push_back(static_cast<int16_t>(data[i] | data[i + 1] << 8));
    }
};
} // namespace

TEST(SoundDecoder, PushedPiecesOfAnySizeDecodeLikeTheWhole)
{
    const auto pcm = acmtest::Tone(16000, 2, 16000 * 3, 440, 9000);
    const auto enc = acmtest::Encode("adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, 16000, 2, pcm);
    Collector whole, pieces;
    {
        SoundDecoder d(&whole, enc.format.get());
        auto data = enc.data;
        d.Process(data.data(), static_cast<int>(data.size()));
    }
    SoundDecoder d(&pieces, enc.format.get());
    EXPECT_EQ(pieces.ChannelCount(), 2);
    EXPECT_EQ(pieces.SampleRate(), 16000);
    EXPECT_EQ(d.GetChannelCount(), 2);
    EXPECT_EQ(d.GetSampleRate(), 16000);
    auto data = enc.data;
    for (size_t at = 0; at < data.size(); at += 1000) // not a multiple of the block
        d.Process(data.data() + at, static_cast<int>(std::min<size_t>(1000, data.size() - at)));
    EXPECT_EQ(pieces.pcm, whole.pcm);
    EXPECT_GE(whole.pcm.size(), pcm.size());
    EXPECT_GT(acmtest::AlignedSnr(pcm, whole.pcm, 2, 0), 28);

    // The base receiver keeps the numbers and ignores the sound.
    DecSndReceiver base;
    SoundDecoder b(&base, enc.format.get());
    b.Process(data.data(), 2000);
    EXPECT_EQ(base.SampleRate(), 16000);

    const WAVEFORMATEX unknown{0x4321, 1, 8000, 8000, 1, 8, 0};
    EXPECT_THROW(SoundDecoder(&base, &unknown), std::runtime_error);
}
