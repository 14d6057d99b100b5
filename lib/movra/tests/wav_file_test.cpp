#include "movra/wav_file.h"

#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "platform/text.h"
#include "testsupport/test_env.h"
#include "wave_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace wavetest;

namespace
{

// A temporary folder with the journal open in it.
struct Fixture
{
    Fixture() { EXPECT_TRUE(JOURNAL::Create(env.Path("journal.log"))); }
    ~Fixture() { JOURNAL::Destroy(); }

    std::wstring Write(const std::string& name, const std::string& bytes)
    {
        testsupport::WriteFile(env.Path(name), bytes);
        return platform::Utf8ToWide(env.Path(name));
    }
    size_t JournalCount(const std::string& text) const
    {
        const std::string log = testsupport::ReadFile(env.Path("journal.log"));
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }

    testsupport::ScopedTestEnv env;
};

RNUMBER64 Ms(int64_t ms)
{
    return RNUMBER64::FromMs(ms);
}

std::vector<int16_t> ReadAll(WAVE_FILE_READER& reader, int64_t pieceMs = 20)
{
    return ReadToEof(reader, reader.GetSampleRate(), reader.GetChannelCount(), pieceMs);
}

} // namespace

TEST(WaveFile, ReadsPcmInPiecesSeeksAndRaisesTheEndFlag)
{
    Fixture f;
    const auto name = f.Write("a.wav", PcmFile(8000, 2, 8000));
    WAVE_FILE_READER reader(name, 250);
    EXPECT_EQ(reader.Size(), RNUMBER64(1));
    EXPECT_EQ(reader.Tell(), Ms(250));
    EXPECT_EQ(reader.GetChannelCount(), 2u);

    RNUMBER64 at, wanted = Ms(20), read;
    ASSERT_TRUE(reader.Read(at, wanted, read));
    EXPECT_EQ(at, Ms(250));
    EXPECT_EQ(read, Ms(20));
    EXPECT_EQ(reader.GetBuffer()[0], Ramp(2000, 0));
    EXPECT_EQ(reader.GetBuffer()[1], Ramp(2000, 1));

    // The rest of the file; the end comes exactly once the last sample is out.
    const auto rest = ReadAll(reader, 33);
    EXPECT_EQ(rest, Interleaved(8000 - 2160, 2, 2160));
    EXPECT_TRUE(reader.IsEOF());
    wanted = Ms(20);
    ASSERT_TRUE(reader.Read(at, wanted, read));
    EXPECT_EQ(read, RNUMBER64(0));

    // A seek leaves the end behind.
    RNUMBER64 reached;
    ASSERT_TRUE(reader.Seek(Ms(500), reached));
    EXPECT_EQ(reached, Ms(500));
    EXPECT_FALSE(reader.IsEOF());
    wanted = Ms(1);
    ASSERT_TRUE(reader.Read(at, wanted, read));
    EXPECT_EQ(reader.GetBuffer()[0], Ramp(4000, 0));
    // A copy is a second reader at the same place.
    WAVE_FILE copy(reader);
    wanted = Ms(1);
    const short* data = nullptr;
    ASSERT_TRUE(copy.Read(at, wanted, data, read));
    EXPECT_EQ(at, Ms(501));
    EXPECT_EQ(data[0], Ramp(4008, 0));
    // Beyond the end is the end.
    ASSERT_TRUE(reader.Seek(Ms(5000), reached));
    EXPECT_EQ(reached, RNUMBER64(1));
}

TEST(WaveFile, ChunkWalkSkipsUnknownChunksAndHonoursThePadByte)
{
    Fixture f;
    const std::string data = Chunk("data", Pcm16(Interleaved(100, 1)));
    const std::string fmt = Fmt(1, 1, 8000, 16);
    // A LIST chunk before the data: one journal line, and reading goes on.
    {
        WAVE_FILE_READER reader(f.Write("list.wav", Riff(fmt + Chunk("LIST", "INFOabc") + data)),
                                0);
        EXPECT_EQ(ReadAll(reader), Interleaved(100, 1));
        EXPECT_EQ(f.JournalCount("WAVE_FILE: unknown CHUNK 0x5453494c"), 1u);
        EXPECT_EQ(f.JournalCount("unknown CHUNK"), 1u);
    }
    // Odd chunks written with and without the pad byte both open.
    for (bool pad : {true, false})
    {
        const std::string file = Riff(Chunk("junk", "abc", pad) + fmt +
                                      Chunk("fact", std::string("\x64\0\0\0\x01", 5), pad) + data);
        WAVE_FILE_READER reader(f.Write("odd.wav", file), 0);
        EXPECT_EQ(reader.Size(), RNUMBER64(100, 8000)) << pad;
        EXPECT_EQ(ReadAll(reader), Interleaved(100, 1)) << pad;
    }
    // An odd data chunk followed by its pad and another chunk.
    {
        std::string odd = Pcm16(Interleaved(10, 1)) + "x"; // a torn last sample
        WAVE_FILE_READER reader(f.Write("pad.wav", Riff(Fmt(1, 1, 8000, 16) + Chunk("data", odd) +
                                                        Chunk("LIST", "INFO"))),
                                0);
        EXPECT_EQ(ReadAll(reader), Interleaved(10, 1));
    }
}

TEST(WaveFile, MalformedFilesRaiseTheDocumentedTypes)
{
    Fixture f;
    const std::string fmt = Fmt(1, 1, 8000, 16);
    const std::string data = Chunk("data", Pcm16(Interleaved(10, 1)));
    const auto open = [&](const std::string& bytes) { WAVE_FILE file(f.Write("bad.wav", bytes)); };

    EXPECT_THROW(open(Riff(fmt)), LOGIC_ERROR);                                        // no data
    EXPECT_THROW(open(Riff(data)), LOGIC_ERROR);                                       // no format
    EXPECT_THROW(open(std::string("RIFF\4\0\0\0WAVX", 12) + fmt + data), LOGIC_ERROR); // not WAVE
    EXPECT_THROW(open(std::string("RIFX\4\0\0\0WAVE", 12) + fmt + data), LOGIC_ERROR); // not RIFF
    EXPECT_THROW(open("RIFF\4\0\0"), LOGIC_ERROR); // short header
    EXPECT_THROW(open(Riff(Chunk("fmt ", std::string(999, '\0')) + data)), RUNTIME_ERROR);
    EXPECT_NO_THROW(open(Riff(Fmt(1, 1, 8000, 16, 0, -1, std::string(998 - 18, '\0')) + data)));
    EXPECT_THROW(open(Riff(fmt + data + "LIST\x10")), RUNTIME_ERROR);       // torn header
    EXPECT_THROW(open(Riff(Fmt(1, 0, 8000, 16, 2) + data)), RUNTIME_ERROR); // no channels
    // A format nobody decodes and no way to tell its length.
    EXPECT_THROW(open(Riff(Fmt(0x1234, 1, 8000, 4, 4, 0, "") + data)), LOGIC_ERROR);
    try
    {
        open(Riff(Fmt(0x1234, 1, 8000, 4, 4, 0, "") + data));
    }
    catch (const LOGIC_ERROR& e)
    {
        EXPECT_NE(std::string(e.what()).find("Missing CHUNK_FACT"), std::string::npos);
    }
    EXPECT_THROW(WAVE_FILE(platform::Utf8ToWide(f.env.Path("none.wav"))), RUNTIME_ERROR);
    EXPECT_EQ(f.JournalCount("CAN'T OPEN FILE"), 1u);
}

TEST(WaveFile, TruncatedAndCorruptedHeadersNeverReadOutOfBounds)
{
    Fixture f;
    const std::string good =
        Riff(Fmt(1, 2, 8000, 16) + Chunk("fact", std::string("\x20\0\0\0", 4)) +
             Chunk("LIST", "INFOabc") + Chunk("data", Pcm16(Interleaved(32, 2))));
    const auto attempt = [&](const std::string& bytes)
    {
        try
        {
            WAVE_FILE_READER reader(f.Write("fuzz.wav", bytes), 0);
            // Whatever opened reads a bounded amount and ends.
            const auto samples = ReadAll(reader, 7);
            EXPECT_LE(samples.size(), 64 * bytes.size());
        }
        catch (const LOGIC_ERROR&)
        {
        }
        catch (const RUNTIME_ERROR&)
        {
        }
    };
    for (size_t n = 0; n <= good.size(); ++n)
        attempt(good.substr(0, n));
    std::mt19937 random(8);
    for (int round = 0; round < 1500; ++round)
    {
        std::string bytes = good;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i)
            bytes[random() % 80] = char(random());
        attempt(bytes);
    }
}

TEST(WaveFile, DescriptionOfFloatAndCodedFiles)
{
    Fixture f;
    std::string floats;
    for (float v : {0.5f, -0.5f, 1.0f, 0.0f})
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put32(floats, bits);
    }
    WAVE_FILE_READER stereo(f.Write("f2.wav", Riff(Fmt(3, 2, 44100, 32) + Chunk("data", floats))),
                            0);
    EXPECT_EQ(stereo.GetFormat(), "Float 32bit 44100Hz Stereo");
    const auto samples = ReadAll(stereo);
    ASSERT_EQ(samples.size(), 4u);
    EXPECT_NEAR(samples[0], 16384, 1);
    EXPECT_NEAR(samples[1], -16384, 1);
    EXPECT_GE(samples[2], 32766);

    WAVE_FILE mono(f.Write("f1.wav", Riff(Fmt(3, 1, 8000, 32) + Chunk("data", floats))));
    EXPECT_EQ(mono.GetFormat(), "Float 32bit 8000Hz Mono");

    // mu-law: decoded through the codec and described by it.
    WAVE_FILE_READER ulaw(f.Write("u.wav", Riff(Fmt(7, 1, 8000, 8) +
                                                Chunk("data", std::string("\xFF\x80\x00\x7F", 4)))),
                          0);
    EXPECT_NE(ulaw.GetFormat().find("u-Law"), std::string::npos) << ulaw.GetFormat();
    EXPECT_EQ(ulaw.Size(), RNUMBER64(4, 8000));
    const auto decoded = ReadAll(ulaw);
    ASSERT_EQ(decoded.size(), 4u);
    EXPECT_EQ(decoded[0], 0);
    EXPECT_EQ(decoded[1], 32124);
    EXPECT_EQ(decoded[2], -32124);
}

TEST(WaveFile, AFileThatGrowsWhileReadGrowsItsLength)
{
    Fixture f;
    const std::string path = f.env.Path("grow.wav");
    testsupport::WriteFile(path, PcmFile(8000, 2, 16000));
    WAVE_FILE_READER_NATIVE reader(platform::Utf8ToWide(path), 0);
    RNUMBER64 length;
    reader.Size(length);
    EXPECT_EQ(length, RNUMBER64(2));
    RNUMBER64 at, wanted = Ms(500), read;
    reader.Read(at, wanted, read);
    std::vector<int16_t> all(reader.GetBuffer(), reader.GetBuffer() + 8000);
    EXPECT_FALSE(reader.TakeSizeChanged());

    // Someone appends one second (the header they leave alone), torn in the middle of a
    // frame; the reader catches up in between.
    const std::string more = Pcm16(Interleaved(8000, 2, 16000));
    const auto append = [&](const std::string& bytes)
    {
        FILE* file = std::fopen(path.c_str(), "ab");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        const auto got = ReadAll(reader);
        all.insert(all.end(), got.begin(), got.end());
        reader.ClearEOF();
    };
    append(more.substr(0, 8002));
    append(more.substr(8002));
    reader.Size(length);
    EXPECT_EQ(length, RNUMBER64(3));
    EXPECT_TRUE(reader.TakeSizeChanged());
    EXPECT_FALSE(reader.TakeSizeChanged());
    EXPECT_EQ(all, Interleaved(24000, 2));
    EXPECT_EQ(f.JournalCount("OnFileSizeChange"), 2u);
}

TEST(WaveFile, GrowthBehindALaterChunkIsNotSound)
{
    Fixture f;
    const std::string path = f.env.Path("tail.wav");
    testsupport::WriteFile(path,
                           Riff(Fmt(1, 1, 8000, 16) + Chunk("data", Pcm16(Interleaved(80, 1))) +
                                Chunk("LIST", "INFO")));
    WAVE_FILE_READER_NATIVE reader(platform::Utf8ToWide(path), 0);
    testsupport::WriteFile(path, testsupport::ReadFile(path) + std::string(1000, 'x'));
    EXPECT_EQ(ReadAll(reader), Interleaved(80, 1));
    EXPECT_FALSE(reader.TakeSizeChanged());
}

TEST(WaveFile, APcmFileIsAsLongAsItsDataWhateverItsFactCountSays)
{
    Fixture f;
    // 80 frames of data between a fact chunk claiming 300 and a chunk that is not sound.
    const std::wstring path = f.Write(
        "fact.wav",
        Riff(Fmt(1, 1, 8000, 16) + Chunk("fact", std::string("\x2c\x01\0\0", 4)) +
             Chunk("data", Pcm16(Interleaved(80, 1))) + Chunk("LIST", std::string(400, 'x'))));
    WAVE_FILE_READER reader(path, 0);
    EXPECT_EQ(reader.Size(), RNUMBER64(80, 8000));
    RNUMBER64 reached;
    ASSERT_TRUE(reader.Seek(RNUMBER64::FromMs(30), reached));
    EXPECT_EQ(reached, RNUMBER64(80, 8000));
    EXPECT_TRUE(ReadAll(reader).empty());
    ASSERT_TRUE(reader.Seek(RNUMBER64(40, 8000), reached));
    EXPECT_EQ(ReadAll(reader), Interleaved(40, 1, 40));
}

TEST(WaveFile, WriterConvertsPadsAndCompletesItsHeaders)
{
    Fixture f;
    const std::wstring name = platform::Utf8ToWide(f.env.Path("out.wav"));
    const WAVEFORMATEX pcm = platform::MakePcmFormat(8000, 1, 16);
    WAVEFORMATEX ulaw = pcm;
    ulaw.wFormatTag = WAVE_FORMAT_MULAW;
    ulaw.wBitsPerSample = 8;
    ulaw.nBlockAlign = 1;
    ulaw.nAvgBytesPerSec = 8000;
    {
        WAVE_FILE writer(name, &pcm, &ulaw);
        EXPECT_TRUE(writer.Write(RNUMBER64(0), {0xFF, 0x80, 0x00}));
        // 2 ms later: 13 samples of silence, then two more.
        EXPECT_TRUE(writer.Write(Ms(2), {0x80, 0x80}));
        EXPECT_EQ(writer.Size(), RNUMBER64(18, 8000));
        EXPECT_THROW(writer.Write(Ms(1), {0x80}), LOGIC_ERROR);
    } // completed by the destructor
    const std::string bytes = testsupport::ReadFile(f.env.Path("out.wav"));
    WAVE_FILE_READER reader(name, 0);
    EXPECT_EQ(reader.Size(), RNUMBER64(18, 8000));
    const auto samples = ReadAll(reader);
    ASSERT_EQ(samples.size(), 18u);
    EXPECT_EQ(samples[1], 32124);
    EXPECT_EQ(samples[2], -32124);
    EXPECT_EQ(samples[3], 0);
    EXPECT_EQ(samples[17], 32124);
    EXPECT_EQ(uint32_t(uint8_t(bytes[4]) | uint8_t(bytes[5]) << 8), bytes.size() - 8);

    // An 8-bit file with an odd data size gets its pad byte.
    const WAVEFORMATEX byte = platform::MakePcmFormat(8000, 1, 8);
    {
        WAVE_FILE writer(name, &byte, &byte);
        writer.Write(RNUMBER64(0), {1, 2, 3});
        writer.FinalFlush();
        EXPECT_THROW(writer.Write(RNUMBER64(1), {4}), LOGIC_ERROR);
    }
    EXPECT_EQ(testsupport::ReadFile(f.env.Path("out.wav")).size() % 2, 0u);
    EXPECT_EQ(WAVE_FILE(name).Size(), RNUMBER64(3, 8000));

    EXPECT_THROW(WAVE_FILE(platform::Utf8ToWide(f.env.Path("no/such/dir.wav")), &pcm, &pcm),
                 RUNTIME_ERROR);
    EXPECT_EQ(f.JournalCount("CAN'T CREATE FILE"), 1u);
}
