// Known sound through each program part that writes WAVE files: the transfer core's export
// writer, the player core's file writer, the sound library's RIFF output stream and the
// sound stand-in's capture file. Each file's SHA-256 is pinned: the bytes are what other
// programs, stored signatures and the recorder's users already have.
#include "movra/wav_file.h"
#include "ondakit/out_riff_file_stream.h"
#include "platform/text.h"
#include "platform/wave_format.h"
#include "platform/waveout.h"
#include "testsupport/sound.h"
#include "testsupport/test_env.h"
#include "transfer/wav_writer.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <condition_variable>
#include <mutex>

namespace
{

std::string Sha256(const std::string& bytes)
{
    unsigned char digest[32];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    static const char* kHex = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i)
        text += {kHex[digest[i] >> 4], kHex[digest[i] & 15]};
    return text;
}

std::string FileSha256(const std::string& path)
{
    return Sha256(testsupport::ReadFile(path));
}

std::vector<uint8_t> ToneBytes(size_t samples)
{
    std::vector<uint8_t> bytes;
    for (int16_t s : testsupport::TestTone(samples))
    {
        bytes.push_back(static_cast<uint8_t>(s));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    return bytes;
}

} // namespace

TEST(RiffBytes, EveryWriterKeepsItsFile)
{
    testsupport::ScopedTestEnv env;
    const std::vector<uint8_t> tone = ToneBytes(801); // an odd count of bytes for the 8-bit ones

    // the export writer: PCM and compressed, with the closing LIST chunk
    for (const uint8_t compressed : {uint8_t{0}, uint8_t{1}})
    {
        vark::RecordInfo format;
        format.compressed = compressed;
        format.rate16k = compressed ? 0 : 1;
        vark::CWavWriter writer;
        const std::string path = env.Path("export" + std::to_string(compressed) + ".wav");
        ASSERT_TRUE(writer.Create(path, format));
        ASSERT_TRUE(writer.Write(tone.data(), compressed ? 801 : tone.size()));
        ASSERT_TRUE(writer.WriteTrailer("2026_11_07 09_30_00"));
        ASSERT_TRUE(writer.Close());
    }
    // the player core's writer: 16-bit sound, and 8-bit sound of an odd size (padded)
    {
        const WAVEFORMATEX pcm = platform::MakePcmFormat(8000, 1);
        const WAVEFORMATEX byte = platform::MakePcmFormat(8000, 1, 8);
        {
            WAVE_FILE out(platform::Utf8ToWide(env.Path("core_pcm.wav")), &pcm, &pcm);
            ASSERT_TRUE(out.Write(RNUMBER64(0), tone));
            out.FinalFlush();
        }
        WAVE_FILE out(platform::Utf8ToWide(env.Path("core_byte.wav")), &byte, &byte);
        ASSERT_TRUE(
            out.Write(RNUMBER64(0), std::vector<uint8_t>(tone.begin(), tone.begin() + 801)));
        out.FinalFlush();
    }
    // the sound library's stream, left with an odd count to pad
    {
        OutRiffFileStream out(env.Path("stream.wav").c_str(), 8000, 1);
        ASSERT_EQ(out.WriteBytes(reinterpret_cast<const char*>(tone.data()), 801), 801);
    }
    // the capture back end
    {
        env.Set("VARK_AUDIO", "capture:" + env.Path("capture.wav"));
        env.Set("VARK_AUDIO_SPEED", std::string("50"));
        std::mutex mutex;
        std::condition_variable done;
        bool returned = false;
        auto out = platform::waveout::WaveOut::Open(-1, 8000,
                                                    [&](platform::waveout::WaveHeader*)
                                                    {
                                                        std::lock_guard lock(mutex);
                                                        returned = true;
                                                        done.notify_all();
                                                    });
        ASSERT_TRUE(out);
        std::vector<uint8_t> stereo;
        for (size_t i = 0; i + 1 < tone.size(); i += 2)
            stereo.insert(stereo.end(), {tone[i], tone[i + 1], tone[i], tone[i + 1]});
        platform::waveout::WaveHeader block;
        block.data = stereo.data();
        block.bufferLength = static_cast<uint32_t>(stereo.size());
        ASSERT_TRUE(out->Prepare(&block));
        ASSERT_TRUE(out->Write(&block));
        std::unique_lock lock(mutex);
        ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(30), [&] { return returned; }));
    }

    const std::pair<const char*, const char*> expected[] = {
        {"export0.wav", "054818e1ba980aa113b72e53aec4f73a3705790ac718f1e5eddd83f20bd52e58"},
        {"export1.wav", "0df364f5a1846a64054a4c5501c4dc9f569bea44f17b3061d70c9701b8b4d116"},
        {"core_pcm.wav", "da2b6dd1b1d65624750b48f181892f3413a2b1e140c8f7e38d46bd982c21b5b1"},
        {"core_byte.wav", "9bb126e44d47d9510498baf9de2251ec91736467224b31fb9027ffa837786f92"},
        {"stream.wav", "2742d9eff4ae3ddafafae82013d374f1c958831d03a28a654bc72feb55e27041"},
        {"capture.wav", "5d783022ff2322fee3795f8957eea25f36070dcbdee0d5aa1d659c1c83bf2d08"},
    };
    for (const auto& [name, sha] : expected)
        EXPECT_EQ(FileSha256(env.Path(name)), sha) << name;
}
