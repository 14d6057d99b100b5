#include "movra/odk_worker.h"

#include "movra/open_strategy.h"
#include "platform/text.h"
#include "testsupport/test_env.h"
#include "wave_bytes.h"

#include <gtest/gtest.h>

using namespace wavetest;

namespace
{

std::vector<int16_t> ReadAll(DATASRC_FILE_WORKER& reader)
{
    return ReadToEof(reader, reader.GetSampleRate(), reader.GetChannelsCount());
}

} // namespace

TEST(OdkReader, ReadsThroughEitherOpenPathFromTheOffset)
{
    testsupport::ScopedTestEnv env;
    testsupport::WriteFile(env.Path("a.wav"), PcmFile(8000, 2, 8000));
    const std::wstring name = platform::Utf8ToWide(env.Path("a.wav"));
    for (int strategy : {OPEN_STRATEGY_NATIVE, OPEN_STRATEGY_MMIO, OPEN_STRATEGY_DX})
    {
        WAVE_FILE_READER_ODK reader(name, 500, strategy);
        ASSERT_TRUE(reader.IsOpen()) << strategy;
        EXPECT_EQ(reader.UsedOpenTask(), strategy == OPEN_STRATEGY_DX);
        EXPECT_TRUE(reader.IsLibraryReader());
        RNUMBER64 length, at;
        EXPECT_TRUE(reader.Size(length));
        EXPECT_EQ(length, RNUMBER64(1));
        EXPECT_TRUE(reader.Tell(at));
        EXPECT_EQ(at, RNUMBER64(1, 2));
        std::string format;
        reader.GetFormat(format);
        EXPECT_EQ(format, " 8000Hz, Stereo (1 sec)");
        EXPECT_EQ(ReadAll(reader), Interleaved(4000, 2, 4000)) << strategy;
        RNUMBER64 reached;
        ASSERT_TRUE(reader.Seek(RNUMBER64(1, 4), reached));
        EXPECT_EQ(reached, RNUMBER64(1, 4));
        EXPECT_FALSE(reader.IsEOF());
    }
}

TEST(OdkReader, AFileNoReaderTakesLeavesItWithoutAStream)
{
    testsupport::ScopedTestEnv env;
    testsupport::WriteFile(env.Path("junk.wav"), "this is no sound at all");
    WAVE_FILE_READER_ODK reader(platform::Utf8ToWide(env.Path("junk.wav")), 0,
                                OPEN_STRATEGY_NATIVE);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_TRUE(reader.UsedOpenTask());
    RNUMBER64 length(5), at, wanted = RNUMBER64(1), read;
    EXPECT_FALSE(reader.Size(length));
    EXPECT_EQ(length, RNUMBER64(0));
    EXPECT_FALSE(reader.Read(at, wanted, read));
    WAVE_FILE_READER_ODK missing(platform::Utf8ToWide(env.Path("none.wav")), 0, OPEN_STRATEGY_DX);
    EXPECT_FALSE(missing.IsOpen());
}

TEST(HostOpenStrategy, SettingsFileBesideTheProgramAndItsValues)
{
    EXPECT_EQ(HostSettingsPath("/opt/v/bin/vark-player"), "/opt/v/bin/vark-player.ini");
    EXPECT_EQ(HostSettingsPath("/opt/v/bin/host.exe"), "/opt/v/bin/host.ini");
    EXPECT_EQ(HostSettingsPath("/opt/v.2/bin/host"), "/opt/v.2/bin/host.ini");
    EXPECT_EQ(HostSettingsPath("/opt/bin/.host"), "/opt/bin/.host.ini");
    EXPECT_EQ(ParseOpenStrategy("dx"), OPEN_STRATEGY_DX);
    EXPECT_EQ(ParseOpenStrategy("Mmio_Dx"), OPEN_STRATEGY_MMIO);
    EXPECT_EQ(ParseOpenStrategy("NZ_MMIO_DX"), OPEN_STRATEGY_NATIVE);
    EXPECT_EQ(ParseOpenStrategy("DX "), OPEN_STRATEGY_NATIVE);
    EXPECT_EQ(ParseOpenStrategy(""), OPEN_STRATEGY_NATIVE);
}
