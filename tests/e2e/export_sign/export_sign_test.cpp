// The demo recorder on page-format firmware with single-bit flash errors, exported and
// signed by vark-cli: every file holds the records exactly as the image stores them, and
// vark-cli verify accepts each file and nothing changed.
#include "device/record_info.h"
#include "platform/little_endian.h"
#include "recorder/image.h"
#include "testsupport/test_env.h"
#include "transfer/export_rules.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>
#include <sstream>

using testsupport::BinDir;
using testsupport::ReadFile;
using testsupport::RunProcess;

namespace
{

// One expected file: where each record's bytes sit in its data chunk.
struct Expected
{
    std::string name;
    std::vector<std::pair<size_t, size_t>> pieces; // (data offset, record index)
    size_t dataSize = 0;
};

std::vector<Expected> Layout(const recorder::RecorderImage& image)
{
    std::vector<Expected> files;
    vark::RecordInfo previous;
    for (size_t i = 0; i < image.records.size(); ++i)
    {
        const auto& r = image.records[i];
        const vark::RecordInfo info = vark::DecodeRecordHeader(
            static_cast<uint32_t>(r.data.size()), r.start, r.header, image.identity.serial);
        const uint64_t noise = vark::JoinNoiseBytes(previous, info, vark::PauseMode::kFixed, 1);
        if (noise == 0) files.push_back({vark::ExportBaseName(info) + ".wav", {}, 0});
        files.back().dataSize += noise;
        files.back().pieces.emplace_back(files.back().dataSize, i);
        files.back().dataSize += r.data.size();
        previous = info;
    }
    return files;
}

} // namespace

TEST(ExportSignE2E, ExportedDataEqualsTheImageDespiteFlashErrorsAndVerifies)
{
    testsupport::ScopedTestEnv env;
    env.Set("LC_ALL", std::string("C"));
    const std::string img = env.Path("img"), out = env.Path("out");
    const auto made = RunProcess({BinDir() + "/vark-recorder", "make-image", img, "--demo",
                                  "--firmware", "2C10", "--serial", "4242"},
                                 "", 120000);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    recorder::RecorderImage image;
    std::string error;
    ASSERT_TRUE(recorder::LoadImage(img, &image, &error)) << error;
    ASSERT_GE(image.records.size(), 3u);

    // One flipped bit in a sector of every record, and one in the stored code of sector 2 of
    // each, never in the same sector (two errors in one sector are beyond correction). Sectors
    // of one repeated byte (silence) are left out: their code reads as never programmed, so
    // the reader does not check them.
    std::vector<std::string> plug = {BinDir() + "/vark-recorder", "plug", img, "--fault",
                                     "flip-code:2,byte=1,bit=5"};
    for (size_t r = 0; r < image.records.size(); ++r)
    {
        const auto& data = image.records[r].data;
        for (size_t sector = 3 + r % 4; (sector + 1) * 512 <= data.size(); ++sector)
        {
            const auto begin = data.begin() + static_cast<std::ptrdiff_t>(sector * 512);
            if (std::all_of(begin, begin + 512, [&](uint8_t b) { return b == *begin; })) continue;
            plug.push_back("--fault");
            plug.push_back("flip-data:" + std::to_string(sector) +
                           ",byte=" + std::to_string(r * 67 % 512) +
                           ",bit=" + std::to_string(r % 8) + ",record=" + std::to_string(r));
            break;
        }
    }
    ASSERT_GE(plug.size(), 5 + 2 * image.records.size());
    testsupport::ChildProcess plugged(plug);
    ASSERT_TRUE(testsupport::WaitForRecorder(env, 60000)) << plugged.Stderr();

    const auto exported = RunProcess(
        {BinDir() + "/vark-cli", "export", "--all", "--sign", "--out", out, "--yes"}, "", 300000);
    ASSERT_EQ(exported.exitCode, 0) << exported.err;

    const std::vector<Expected> files = Layout(image);
    std::ostringstream listing;
    for (const Expected& f : files)
        listing << out << "/" << f.name << "\n" << out << "/" << f.name << ".dsg\n";
    EXPECT_EQ(exported.out, listing.str());
    EXPECT_LT(files.size(), image.records.size()) << "the demo has fragments that join";

    for (const Expected& f : files)
    {
        SCOPED_TRACE(f.name);
        const std::string path = out + "/" + f.name;
        const std::string wav = ReadFile(path);
        ASSERT_EQ(wav.size(), 46 + f.dataSize + 156);
        const auto* p = reinterpret_cast<const uint8_t*>(wav.data());
        EXPECT_EQ(platform::LoadLE32(p + 4), wav.size() - 8);
        EXPECT_EQ(platform::LoadLE32(p + 42), f.dataSize);
        for (const auto& [offset, record] : f.pieces)
        {
            const auto& data = image.records[record].data;
            EXPECT_EQ(wav.compare(46 + offset, data.size(),
                                  reinterpret_cast<const char*>(data.data()), data.size()),
                      0)
                << "record " << record + 1;
        }
        const auto ok = RunProcess({BinDir() + "/vark-cli", "verify", path, "--serial", "4242"});
        EXPECT_EQ(ok.exitCode, 0) << ok.err;
        EXPECT_EQ(ok.out, "File is authentic.\n");
        const auto attached = RunProcess({BinDir() + "/vark-cli", "verify", path, "--attached"});
        EXPECT_EQ(attached.exitCode, 0) << attached.err;
        const auto other = RunProcess({BinDir() + "/vark-cli", "verify", path, "--serial", "4243"});
        EXPECT_EQ(other.exitCode, 1);
        EXPECT_EQ(other.out, "File has been changed.\n");
    }

    // One changed byte, inside a record's sound data, is found.
    const std::string path = out + "/" + files.front().name;
    std::string wav = ReadFile(path);
    wav[46 + 1234] = static_cast<char>(wav[46 + 1234] ^ 0x40);
    testsupport::WriteFile(path, wav);
    const auto changed = RunProcess({BinDir() + "/vark-cli", "verify", path, "--serial", "4242"});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_EQ(changed.out, "File has been changed.\n");
}

// vark-cli killed in the middle of a record (as a crash or a power cut would end it) leaves no
// file under the record's name, only a part file; the next export, also with --skip-existing,
// writes the record whole and clears the part away.
TEST(ExportSignE2E, AnExportKilledMidwayLeavesNothingThatLooksFinished)
{
    testsupport::ScopedTestEnv env;
    env.Set("LC_ALL", std::string("C"));
    const std::string img = env.Path("img"), out = env.Path("out");
    const auto made =
        RunProcess({BinDir() + "/vark-recorder", "make-image", img, "--demo"}, "", 120000);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    recorder::RecorderImage image;
    std::string error;
    ASSERT_TRUE(recorder::LoadImage(img, &image, &error)) << error;
    const auto& record = image.records[0];
    // slow enough that the record takes seconds to copy
    testsupport::ChildProcess plugged(
        {BinDir() + "/vark-recorder", "plug", img, "--throttle", "16000"});
    ASSERT_TRUE(testsupport::WaitForRecorder(env, 60000)) << plugged.Stderr();
    const std::vector<std::string> exportFirst = {
        BinDir() + "/vark-cli", "export", "--records", "1", "--sign", "--out", out, "--yes"};

    const auto bytesWritten = [&]
    {
        uintmax_t most = 0;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(out, ec))
            most = std::max(most, e.file_size(ec));
        return most;
    };
    {
        testsupport::ChildProcess exporting(exportFirst);
        ASSERT_TRUE(testsupport::WaitFor([&] { return bytesWritten() > 46 + 8192; }, 60000));
        ASSERT_LT(bytesWritten(), 46 + record.data.size());
        exporting.Signal(SIGKILL);
        ASSERT_EQ(exporting.Wait(10000), -SIGKILL);
    }
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(out))
        left.push_back(e.path().filename().string());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].front(), '.');
    EXPECT_TRUE(left[0].ends_with(".wav.part")) << left[0];

    std::vector<std::string> again = exportFirst;
    again.push_back("--skip-existing");
    const auto done = RunProcess(again, "", 120000);
    ASSERT_EQ(done.exitCode, 0) << done.err;
    left.clear();
    for (const auto& e : std::filesystem::directory_iterator(out))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    const std::string name = Layout(image).front().name;
    EXPECT_EQ(left, (std::vector<std::string>{name, name + ".dsg", "SHA256SUMS"}));
    // the manifest lists both files, and sha256sum agrees with it
    const auto sums = RunProcess({"sh", "-c", "cd \"$0\" && sha256sum -c SHA256SUMS", out});
    EXPECT_EQ(sums.exitCode, 0) << sums.out << sums.err;
    EXPECT_NE(sums.out.find(name + ".dsg: OK"), std::string::npos) << sums.out;
    const std::string wav = ReadFile(out + "/" + name);
    ASSERT_GE(wav.size(), 46 + record.data.size() + 156);
    EXPECT_EQ(wav.compare(46, record.data.size(), reinterpret_cast<const char*>(record.data.data()),
                          record.data.size()),
              0);
    // the trailer names the final file, never the part
    EXPECT_NE(wav.find(name.substr(0, name.size() - 4)), std::string::npos);
    const auto ok = RunProcess({BinDir() + "/vark-cli", "verify", out + "/" + name, "--attached"});
    EXPECT_EQ(ok.exitCode, 0) << ok.out << ok.err;
}
