// vark-cli end to end against `vark-recorder plug` over real sockets.
#include "cli_fixture.h"

#include "device/vark_settings.h"
#include "drive/drive_record.h"
#include "platform/text.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>

using testsupport::RunProcess;

TEST_F(CliTest, StatusAndListOfTheDemoRecorder)
{
    Plug();
    const auto status = Cli({"status"});
    ASSERT_EQ(status.exitCode, 0) << status.err;
    EXPECT_NE(status.out.find("Connected (no PIN lock)"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("Firmware:         44.16"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find(" KB"), std::string::npos);

    const auto json = Cli({"--json", "status"});
    ASSERT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out.front(), '{');
    EXPECT_NE(json.out.find("\"pinLocked\":false"), std::string::npos) << json.out;

    const auto oldest = Cli({"list"});
    ASSERT_EQ(oldest.exitCode, 0) << oldest.err;
    const auto newest = Cli({"list", "--newest"});
    ASSERT_EQ(newest.exitCode, 0);
    // Either order lists the rows 1, 2, 3 ... from the top.
    EXPECT_EQ(oldest.out, newest.out);
    EXPECT_NE(oldest.out.find("\n1    "), std::string::npos) << oldest.out;
    EXPECT_NE(oldest.out.find("mono"), std::string::npos);
    EXPECT_NE(oldest.out.find("stereo"), std::string::npos);
    const auto listJson = Cli({"--json", "list"});
    EXPECT_NE(listJson.out.find("\"sources\":\"Internal mic"), std::string::npos) << listJson.out;
}

TEST_F(CliTest, ALockedRecorderNeedsTheRightPin)
{
    Plug({"--pin", "1234"});
    // Without --pin nothing was wrong with a PIN: the message says how to give one.
    const auto none = Cli({"status"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, "The recorder is locked with a PIN code. Give it with --pin PIN.\n");
    const auto wrong = Cli({"--pin", "9999", "status"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.err, "Wrong PIN code.\n");
    const auto right = Cli({"--pin", "1234", "status"});
    ASSERT_EQ(right.exitCode, 0) << right.err;
    EXPECT_NE(right.out.find("PIN lock on"), std::string::npos);

    ASSERT_EQ(Cli({"pin", "change", "--old", "1234", "--new", "4321"}).exitCode, 0);
    EXPECT_EQ(Cli({"--pin", "1234", "status"}).exitCode, 1);
    EXPECT_EQ(Cli({"--pin", "4321", "status"}).exitCode, 0);
    EXPECT_EQ(Cli({"pin", "change", "--pin", "4321", "--new", "123456789"}).exitCode, 2);
}

TEST_F(CliTest, ParametersRoundTripThroughAFileByteForByte)
{
    Plug();
    const std::string vrp = env_.Path("p.vrp");
    ASSERT_EQ(Cli({"params", "save", vrp}).exitCode, 0);
    const std::string saved = testsupport::ReadFile(vrp);
    ASSERT_EQ(saved.size(), std::string("[Common]\nVarkParams=\n").size() + 370);

    // Change the recorder, then load the file back and write it: the same record again.
    const auto set =
        Cli({"params", "set", "rate=8000", "channels=stereo", "input-level=0", "timer2.enabled=on",
             "timer2.start=2031-05-06 07:08:00", "timer2.duration=1:30", "--write"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const auto shown = Cli({"params", "show"});
    EXPECT_NE(shown.out.find("\nrate=8000\n"), std::string::npos);
    EXPECT_NE(shown.out.find("timer2.start=2031-05-06 07:08:00"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("timer2.duration=1:30:00"), std::string::npos);
    EXPECT_NE(shown.out.find("channels=stereo"), std::string::npos);

    ASSERT_EQ(Cli({"params", "load", vrp, "--write"}).exitCode, 0);
    const std::string again = env_.Path("again.vrp");
    ASSERT_EQ(Cli({"params", "save", again}).exitCode, 0);
    EXPECT_EQ(testsupport::ReadFile(again), saved);

    // Wrong entries change nothing and say why.
    const auto bad = Cli({"params", "set", "rate=11025", "--write"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("bad value for rate"), std::string::npos);
    EXPECT_EQ(Cli({"params", "set", "nonsense=1"}).exitCode, 2);
    testsupport::WriteFile(env_.Path("bad.vrp"), "[Common]\nVarkParams=0a0b\n");
    EXPECT_EQ(Cli({"params", "load", env_.Path("bad.vrp")}).exitCode, 1);

    // Voice activation on at threshold 0 would be stored as off: refused however it comes.
    ASSERT_EQ(Cli({"params", "set", "voice-activation=off", "--write"}).exitCode, 0);
    for (const std::vector<std::string>& onAtZero :
         {std::vector<std::string>{"params", "set", "voice-activation=on", "--write"},
          {"params", "set", "voice-activation=on", "voice-threshold=0"}})
    {
        const auto refused = Cli(onAtZero);
        EXPECT_EQ(refused.exitCode, 2) << onAtZero[2];
        EXPECT_NE(refused.err.find("voice-threshold"), std::string::npos) << refused.err;
    }
    vark::VarkParams p;
    p.accuEnabled = 1;
    const std::string zeroVrp = env_.Path("zero.vrp");
    ASSERT_TRUE(vark::SaveParamsFile(platform::Utf8ToWide(zeroVrp), p));
    EXPECT_EQ(Cli({"params", "load", zeroVrp}).exitCode, 0); // only shown
    EXPECT_EQ(Cli({"params", "load", zeroVrp, "--write"}).exitCode, 1);
    EXPECT_NE(Cli({"params", "show"}).out.find("voice-activation=off\n"), std::string::npos);
    ASSERT_EQ(
        Cli({"params", "set", "voice-activation=on", "voice-threshold=1", "--write"}).exitCode, 0);
    EXPECT_NE(Cli({"params", "show"}).out.find("voice-activation=on\n"), std::string::npos);
}

TEST_F(CliTest, ClockAndEraseAndUsage)
{
    Plug({"--erase-seconds", "1"});
    ASSERT_EQ(Cli({"clock", "set", "2030-01-02 03:04:05"}).exitCode, 0);
    const auto status = Cli({"status"});
    EXPECT_NE(status.out.find("Clock:            2030.01.02 03:0"), std::string::npos)
        << status.out;
    EXPECT_EQ(Cli({"clock", "set", "2030-02-30 00:00:00"}).exitCode, 2);
    EXPECT_EQ(Cli({"clock"}).exitCode, 2);
    EXPECT_EQ(Cli({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Cli({}).exitCode, 2);

    // Without --yes and without a terminal nothing is erased.
    EXPECT_EQ(Cli({"erase"}).exitCode, 1);
    const auto erased = Cli({"--json", "erase", "--yes"});
    ASSERT_EQ(erased.exitCode, 0) << erased.err;
    EXPECT_NE(erased.out.find("\"records\":0"), std::string::npos) << erased.out;
}

TEST_F(CliTest, MessagesFollowTheUsersLanguage)
{
    env_.Set("LC_ALL", std::string("ru_RU.UTF-8"));
    const auto r = Cli({"status"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.find("No connection"), std::string::npos) << r.err;
    EXPECT_FALSE(r.err.empty());
}

TEST_F(CliTest, NoRecorderIsAClearFailure)
{
    const auto r = Cli({"status"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("No connection"), std::string::npos);
    EXPECT_EQ(Cli({"--device", env_.Path("none"), "list"}).exitCode, 1);
}

TEST_F(CliTest, WithJsonEveryFailureIsAlsoAnErrorObject)
{
    const auto none = Cli({"--json", "status"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "{\"error\":{\"message\":\"No connection\",\"code\":168}}\n");
    EXPECT_EQ(none.err, "No connection\n");
    const auto usage = Cli({"--json", "frobnicate"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.out, "{\"error\":{\"message\":\"unknown command: frobnicate\",\"code\":0}}\n");
    // Without --json stdout stays empty.
    EXPECT_EQ(Cli({"status"}).out, "");
}

TEST_F(CliTest, AClockBeforeTheRecordersEpochIsRefused)
{
    Plug();
    ASSERT_EQ(Cli({"clock", "set", "2000-01-01 00:00:00"}).exitCode, 0);
    const auto before = Cli({"clock", "set", "1999-12-31 23:59:59"});
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_EQ(before.out, "");
    EXPECT_EQ(before.err, "Can't save parameters. Please check the connection with device.\n");
    const auto status = Cli({"status"});
    EXPECT_NE(status.out.find("Clock:            2000.01.01 00:0"), std::string::npos)
        << status.out;
}

TEST_F(CliTest, ParameterFilesAreRelativeToTheWorkingFolder)
{
    Plug();
    const std::filesystem::path work = env_.Path("work");
    std::filesystem::create_directories(work / "sub");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(work);
    const auto rel = Cli({"params", "save", "rel.vrp"});
    const auto sub = Cli({"params", "save", "sub/x.vrp"});
    const auto load = Cli({"params", "load", "rel.vrp"});
    std::filesystem::current_path(previous);
    EXPECT_EQ(rel.exitCode, 0) << rel.err;
    EXPECT_EQ(sub.exitCode, 0) << sub.err;
    EXPECT_EQ(load.exitCode, 0) << load.err;
    EXPECT_TRUE(std::filesystem::exists(work / "rel.vrp"));
    EXPECT_TRUE(std::filesystem::exists(work / "sub" / "x.vrp"));
    EXPECT_EQ(testsupport::ReadFile((work / "rel.vrp").string()),
              testsupport::ReadFile((work / "sub" / "x.vrp").string()));
    EXPECT_NE(load.out.find("rate="), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(env_.Path("config") + "/rel.vrp"));
}

TEST_F(CliTest, AFailedRecordCountIsAFailureNotAnEmptyRecorder)
{
    Plug({"--fault", "fail:Q9"});
    const std::string out = env_.Path("out");
    const auto exported = Cli({"export", "--all", "--out", out, "--yes"});
    EXPECT_EQ(exported.exitCode, 1);
    EXPECT_EQ(exported.err,
              "Can't read the number of records. Please check the connection with device.\n");
    const auto status = Cli({"--json", "status"});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_NE(status.out.find("\"code\":40201"), std::string::npos) << status.out;
    EXPECT_EQ(Cli({"list"}).exitCode, 1);
}

TEST_F(CliTest, ADriveRecorderIsListedCopiedSignedAndDeleted)
{
    namespace fs = std::filesystem;
    const std::string root = env_.Path("drives/VOICE_PEN"), out = env_.Path("out");
    auto made = testsupport::RunProcess(
        {testsupport::BinDir() + "/vark-recorder", "make-drive", env_.Path("staged"), "--demo"}, "",
        120000);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    fs::rename(env_.Path("staged"), root);

    auto drives = Cli({"drives", "--json"});
    EXPECT_EQ(drives.exitCode, 0);
    EXPECT_NE(drives.out.find("\"label\":\"VOICE_PEN\""), std::string::npos) << drives.out;
    EXPECT_NE(drives.out.find("\"records\":7"), std::string::npos);
    auto status = Cli({"--drive", root, "status"});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_NE(status.out.find("Label:            VOICE_PEN"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("Battery:          \u2014"), std::string::npos);
    auto list = Cli({"--drive", root, "--json", "list"});
    EXPECT_NE(list.out.find("\"startFrom\":\"bext\""), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\"startFrom\":\"tags\""), std::string::npos);
    EXPECT_NE(list.out.find("\"readable\":false"), std::string::npos);

    // WAV byte for byte, MP3 decoded to PCM with its original beside it, signed
    auto copied = Cli({"--drive", root, "export", "--out", out, "--records", "1,6", "--sign",
                       "--serial", "3001", "--keep-original"});
    ASSERT_EQ(copied.exitCode, 0) << copied.err;
    EXPECT_EQ(testsupport::ReadFile(out + "/2026_03_14 09_26_53.wav"),
              testsupport::ReadFile(root + "/RECORDER/FOLDER_A/260314_0926.WAV"));
    EXPECT_TRUE(fs::exists(out + "/2026_03_18 11_30_00.MP3"));
    auto verified = Cli({"verify", out + "/2026_03_18 11_30_00.wav", "--serial", "3001"});
    EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;
    // the serial is remembered for the drive; a record that cannot be read is refused
    auto again = Cli({"--drive", root, "export", "--out", out, "--records", "2", "--sign"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(fs::exists(out + "/2026_03_15 14_02_10.wav.dsg"));
    // in the window's settings file, where its export dialog finds it too
    EXPECT_NE(testsupport::ReadFile(env_.Path("config/Mirvanta/Varke-P/Varke.ini")).find("=3001"),
              std::string::npos);
    EXPECT_EQ(Cli({"--drive", root, "export", "--out", out, "--records", "3"}).exitCode, 1);
    EXPECT_EQ(Cli({"--drive", root, "export", "--out", out, "--records", "9"}).exitCode, 2);
    EXPECT_EQ(Cli({"export", "--out", out, "--all", "--serial", "1"}).exitCode, 2);
    // a drive's WAV file is copied as it is also when Broadcast WAV metadata is asked for;
    // the MP3, decoded, gets a bext chunk naming the drive's file
    const std::string bwf = env_.Path("bwf");
    ASSERT_EQ(Cli({"--drive", root, "export", "--out", bwf, "--records", "1,6", "--bwf"}).exitCode,
              0);
    EXPECT_EQ(testsupport::ReadFile(bwf + "/2026_03_14 09_26_53.wav"),
              testsupport::ReadFile(root + "/RECORDER/FOLDER_A/260314_0926.WAV"));
    const drive::DriveRecord decoded = drive::ReadRecord(bwf, bwf + "/2026_03_18 11_30_00.wav");
    EXPECT_EQ(decoded.startFrom, drive::StartFrom::kBext);
    EXPECT_NE(testsupport::ReadFile(bwf + "/2026_03_18 11_30_00.wav").find("A=MP3,F="),
              std::string::npos);

    // delete needs --yes without a terminal, and removes only the named file
    EXPECT_EQ(Cli({"--drive", root, "delete", "--records", "3"}).exitCode, 2);
    EXPECT_TRUE(fs::exists(root + "/RECORDER/FOLDER_A/REC0003.WAV"));
    EXPECT_EQ(Cli({"--drive", root, "delete", "--records", "3", "--yes"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(root + "/RECORDER/FOLDER_A/REC0003.WAV"));
    EXPECT_NE(Cli({"--drive", root, "--json", "list"}).out.find("\"count\":6"), std::string::npos);
    EXPECT_EQ(Cli({"--drive", env_.Path("nothing"), "list"}).exitCode, 1);
    EXPECT_EQ(Cli({"delete", "--all", "--yes"}).exitCode, 2);
}

// Import from the demo drive: every sound file copied as it is, once; the next import copies
// nothing; with --delete-verified the drive keeps only what is not a record; wrong entries.
TEST_F(CliTest, ImportCopiesADrivesNewFilesOnceAndDeletesOnlyVerifiedCopies)
{
    namespace fs = std::filesystem;
    const std::string root = env_.Path("drive"), out = env_.Path("imported");
    ASSERT_EQ(RunProcess({testsupport::BinDir() + "/vark-recorder", "make-drive", root, "--demo"})
                  .exitCode,
              0);
    const auto first = Cli({"--drive", root, "import", "--to", out});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.err.find("Copied 7, skipped 0, deleted 0."), std::string::npos) << first.err;
    EXPECT_EQ(testsupport::ReadFile(out + "/2026_03_18 11_30_00.MP3"),
              testsupport::ReadFile(root + "/RECORDER/FOLDER_C/VOICE006.MP3"));
    EXPECT_EQ(
        RunProcess({"sh", "-c", "cd '" + out + "' && sha256sum -c --quiet SHA256SUMS"}).exitCode,
        0);
    const auto again = Cli({"--drive", root, "--json", "import", "--to", out, "--delete-verified"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("\"copied\":0,\"skipped\":7,\"deleted\":7"), std::string::npos)
        << again.out;
    EXPECT_EQ(Cli({"--drive", root, "--json", "list"}).out.find("\"count\":0"), 1u);
    EXPECT_TRUE(fs::exists(root + "/RECORDER/FOLDER_C/NOTES.TXT"));
    EXPECT_EQ(Cli({"--drive", root, "import"}).exitCode, 2);
    EXPECT_EQ(Cli({"import", "--to", out}).exitCode, 2);
    EXPECT_EQ(Cli({"--drive", env_.Path("none"), "import", "--to", out}).exitCode, 1);
}

// Open signatures: the signing key made once from a passphrase file, its public key shown
// without it; a signature of the minisign tool checked against its key and against ours; an
// export's signatures checked by the minisign tool.
TEST_F(CliTest, OpenSignaturesMadeByExportsAndCheckedAgainstAKeyFileOrTheUsersOwnKey)
{
    if (testsupport::RunProcess({"minisign", "-v"}).exitCode != 0)
        GTEST_SKIP() << "minisign is not installed (scripts/bootstrap adds it)";
    const std::string file = env_.Path("talk.wav"), peer = env_.Path("peer");
    testsupport::WriteFile(file, std::string(5000, 'x'));
    EXPECT_EQ(Cli({"verify", file, "--minisig", file}).exitCode, 2); // no own key yet

    testsupport::WriteFile(env_.Path("pass"), "two words\n");
    const auto made = Cli({"key", "--signing", "--passphrase-file", env_.Path("pass"), "--export",
                           env_.Path("mine.pub")});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.out, testsupport::ReadFile(env_.Path("mine.pub")));
    EXPECT_EQ(Cli({"key", "--signing"}).out, made.out); // the same key, no passphrase needed

    ASSERT_EQ(
        testsupport::RunProcess({"minisign", "-G", "-W", "-p", peer + ".pub", "-s", peer + ".key"})
            .exitCode,
        0);
    ASSERT_EQ(testsupport::RunProcess(
                  {"minisign", "-S", "-s", peer + ".key", "-m", file, "-t", "record:1"})
                  .exitCode,
              0);
    const auto ok =
        Cli({"verify", file, "--minisig", file + ".minisig", "--public-key", peer + ".pub"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_NE(ok.out.find("File is authentic."), std::string::npos);
    EXPECT_NE(ok.out.find("record:1"), std::string::npos);
    const auto other = Cli({"verify", file, "--minisig", file + ".minisig"});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_NE(other.err.find("not with your own key"), std::string::npos) << other.err;
    EXPECT_EQ(Cli({"verify", file, "--minisig", peer + ".pub"}).exitCode, 1); // not a signature
    EXPECT_EQ(Cli({"verify", file, "--minisig", file + ".minisig", "--public-key", file}).exitCode,
              2); // not a key

    testsupport::WriteFile(file, std::string(5000, 'y'));
    const auto changed = Cli(
        {"--json", "verify", file, "--minisig", file + ".minisig", "--public-key", peer + ".pub"});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_NE(changed.out.find("\"authentic\":false"), std::string::npos);

    // an export signs each file openly; minisign checks it with our public key alone
    Plug();
    const std::string out = env_.Path("out");
    const auto exported = Cli({"export", "--out", out, "--records", "1", "--minisig",
                               "--passphrase-file", env_.Path("pass")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    std::string wav;
    for (const auto& e : std::filesystem::directory_iterator(out))
        if (e.path().extension() == ".wav") wav = e.path().string();
    ASSERT_FALSE(wav.empty());
    const auto byMinisign =
        testsupport::RunProcess({"minisign", "-V", "-m", wav, "-p", env_.Path("mine.pub")});
    EXPECT_EQ(byMinisign.exitCode, 0) << byMinisign.err;
    EXPECT_NE(byMinisign.out.find("record:1\t"), std::string::npos) << byMinisign.out;
    EXPECT_NE(byMinisign.out.find("\tfile:" + std::filesystem::path(wav).filename().string()),
              std::string::npos);
    EXPECT_EQ(Cli({"verify", wav, "--minisig", wav + ".minisig"}).exitCode, 0);
    // the folder's manifest lists the file and its signature; an edit is named
    EXPECT_EQ(Cli({"verify", "--manifest", out}).exitCode, 0);
    const std::vector<std::string> sha256sum = {"sh", "-c", "cd \"$0\" && sha256sum -c SHA256SUMS",
                                                out};
    EXPECT_EQ(testsupport::RunProcess(sha256sum).exitCode, 0);
    // one byte flipped: minisign, sha256sum and we all say so
    std::string bytes = testsupport::ReadFile(wav);
    bytes[bytes.size() / 2] ^= 0x01;
    testsupport::WriteFile(wav, bytes);
    EXPECT_NE(testsupport::RunProcess({"minisign", "-V", "-m", wav, "-p", env_.Path("mine.pub")})
                  .exitCode,
              0);
    EXPECT_NE(testsupport::RunProcess(sha256sum).exitCode, 0);
    EXPECT_EQ(Cli({"verify", wav, "--minisig", wav + ".minisig"}).exitCode, 1);
    testsupport::WriteFile(wav + ".minisig", "edited");
    const auto manifest = Cli({"verify", "--manifest", out});
    EXPECT_EQ(manifest.exitCode, 1);
    EXPECT_NE(manifest.out.find("CHANGED: " + std::filesystem::path(wav).filename().string() +
                                ".minisig"),
              std::string::npos)
        << manifest.out;
    // a wrong passphrase ends the export before anything is written
    testsupport::WriteFile(env_.Path("wrong"), "three words\n");
    const auto refused = Cli({"export", "--out", env_.Path("out2"), "--records", "2", "--minisig",
                              "--passphrase-file", env_.Path("wrong")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("wrong passphrase"), std::string::npos) << refused.err;
    EXPECT_TRUE(!std::filesystem::exists(env_.Path("out2")) ||
                std::filesystem::is_empty(env_.Path("out2")));
}
