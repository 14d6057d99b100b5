// The playback panel on its own, with bare controls in a plain dialog and the real player
// server: what it does with nothing to play, a file from disk played to its end and again,
// and letting go of it.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTest>

#include "dialogs/player_options_dlg.h"
#include "platform/com/apartment.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "shell/playback_panel.h"
#include "shell/waveform_strip.h"
#include "skin/base_dlg.h"
#include "skin/modal_questions.h"
#include "skin/skin_manager.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"
#include "testsupport/sound.h"
#include "testsupport/test_env.h"
#include "trillo/player_case.h"

#include <cmath>
#include <fcntl.h>
#include <linux/input.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Bare controls of the panel in `window`.
PlaybackPanel::Controls MakeControls(skin::SkinManager& skin, skin::CBaseDlg& window)
{
    PlaybackPanel::Controls c{};
    c.loop = new skin::CSkinnedCheck(&skin, &window);
    c.agc = new skin::CSkinnedCheck(&skin, &window);
    c.denoiser = new skin::CSkinnedCheck(&skin, &window);
    c.position = new skin::CSkinnedSlider(&skin, &window);
    c.volume = new skin::CSkinnedSlider(&skin, &window);
    c.loopLength = new skin::CSkinnedEdit(&skin, &window);
    c.loopSpin = new skin::CSkinnedSpin(&skin, &window);
    for (auto** t : {&c.name, &c.at, &c.duration, &c.size, &c.format})
        *t = new skin::CSkinnedStatic(&skin, &window);
    c.waveform = new WaveformStrip(&skin, &window);
    return c;
}

// The player server registered and its apartment served by this loop, as in the program.
class ServedPlayer
{
public:
    ServedPlayer()
    {
        com::CoInitialize();
        EXPECT_TRUE(trillo::RegisterPlayerServerIfMissing(testsupport::BinDir() + "/vark-player"));
        pump_ = std::make_unique<QSocketNotifier>(com::ApartmentFd(), QSocketNotifier::Read);
        QObject::connect(pump_.get(), &QSocketNotifier::activated, [] { com::PumpApartment(); });
    }
    ~ServedPlayer()
    {
        pump_.reset();
        com::CoUninitialize();
    }

private:
    std::unique_ptr<QSocketNotifier> pump_;
};

// A foot pedal as a stand-in: a FIFO among the event devices, and its presses.
class FifoPedal
{
public:
    explicit FifoPedal(const std::string& path) : path_(path)
    {
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        // the writer, before any reader; not inherited by the player server, which would
        // keep the FIFO open after a pull
        fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    ~FifoPedal() { Pull(); }
    // `code` BTN_0, BTN_1, BTN_2: the left, middle, right pedal.
    void Press(uint16_t code, bool down)
    {
        input_event e[2]{};
        e[0].type = EV_KEY;
        e[0].code = code;
        e[0].value = down;
        EXPECT_EQ(::write(fd_, e, sizeof e), ssize_t(sizeof e));
    }
    // Pulled out: the reader sees the end.
    void Pull()
    {
        if (fd_ < 0) return;
        ::close(fd_);
        fd_ = -1;
        ::unlink(path_.c_str());
    }

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace

TEST(PlaybackPanel, FallsBackToTheRecordThenPlaysAFileFillsItsFieldsAndLetsGo)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "capture:" + env.Path("out.wav"));
    skin::ScriptedResponder answers;
    ServedPlayer player;
    {
        skin::CBaseDlg window;
        skin::SkinManager skin;
        const PlaybackPanel::Controls c = MakeControls(skin, window);
        CAppSettings settings(L"");
        settings.RingLength = 40; // stored beyond the range: forced into it
        PlaybackPanel panel(window, settings, c);
        int recordAsked = 0;
        panel.playCurrentRecord = [&] { ++recordAsked; };

        EXPECT_EQ(panel.LoopLength(), 30);
        for (const auto& [typed, kept] :
             {std::pair<const char*, int>{"2", 3}, {"x", 3}, {"12", 12}})
        {
            c.loopLength->setText(typed);
            panel.ReadLoopLength();
            EXPECT_EQ(panel.LoopLength(), kept) << typed;
        }
        // nothing held: the processing boxes do not stay ticked, Play asks for the record
        c.agc->setChecked(true);
        panel.OnProcessingBox(true);
        EXPECT_FALSE(c.agc->isChecked());
        panel.OnPlayButton();
        panel.OnPlayPause();
        EXPECT_EQ(recordAsked, 2);
        for (int i = 0; i < 20; ++i)
            panel.VolumeStep(4);
        EXPECT_EQ(c.volume->Pos(), 100);

        const std::string wav = env.Path("tone.wav");
        testsupport::WriteFile(wav, testsupport::MonoWav(testsupport::TestTone(8000), 8000));
        answers.AnswerPath(wav);
        panel.PlayFromDisk();
        EXPECT_EQ(panel.Player().Kind(), vark::FlowKind::kFile);
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.duration->text() == "0:00:01"; }, 20000));
        EXPECT_EQ(c.position->Maximum(), 1000);
        EXPECT_TRUE(c.name->text().contains("tone"));
        EXPECT_FALSE(c.format->text().isEmpty());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.Player().IsPlaying(); }, 20000));
        EXPECT_TRUE(panel.Active());
        panel.OnPlayButton(); // after its end the file starts again
        EXPECT_TRUE(QTest::qWaitFor([&] { return panel.Player().IsPlaying(); }, 10000));
        EXPECT_EQ(recordAsked, 2);

        panel.Drop();
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.duration->text().isEmpty(); }, 10000));
        EXPECT_TRUE(c.name->text().isEmpty());
        EXPECT_EQ(c.position->Maximum(), 0);
        panel.End();
    }
    EXPECT_EQ(answers.Unexpected(), 0);
}

// A file of three silent seconds and three loud ones: the strip draws nothing over the first half
// and the tone's height over the second; the keys of transcription and a click seek.
TEST(PlaybackPanel, TheStripDrawsTheFilesPeaksAndAClickSeeks)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "capture:" + env.Path("out.wav"));
    skin::ScriptedResponder answers;
    ServedPlayer player;
    {
        skin::CBaseDlg window;
        skin::SkinManager skin;
        const PlaybackPanel::Controls c = MakeControls(skin, window);
        c.waveform->setGeometry(0, 0, 200, 40);
        window.resize(220, 60);
        window.show();
        CAppSettings settings(L"");
        PlaybackPanel panel(window, settings, c);
        std::vector<int16_t> samples(24000, 0);
        for (int i = 0; i < 24000; ++i)
            samples.push_back(int16_t(16384 * std::sin(i * 2 * M_PI * 440 / 8000)));
        const std::string wav = env.Path("half.wav");
        testsupport::WriteFile(wav, testsupport::MonoWav(samples, 8000));
        answers.AnswerPath(wav);
        panel.PlayFromDisk();
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.waveform->KnownColumns() == 200; }, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.position->Maximum() == 6000; }, 20000));

        // drawn pixels per column: those unlike the column's top pixel (the position line and
        // the speech shading cover the whole height and count as none)
        const QImage picture = c.waveform->grab().toImage();
        const auto drawn = [&](int x)
        {
            int n = 0;
            for (int y = 0; y < picture.height(); ++y)
                n += picture.pixel(x, y) != picture.pixel(x, 0);
            return n;
        };
        for (int x = 4; x < 96; ++x)
            EXPECT_LE(drawn(x), 2) << x;
        for (int x = 104; x < 196; ++x)
        {
            EXPECT_GE(drawn(x), 17) << x; // 16384 / 32768 of 20 pixels each way
            EXPECT_LE(drawn(x), 22) << x;
        }

        ASSERT_TRUE(panel.Player().IsPlaying());
        QTest::mouseClick(c.waveform, Qt::LeftButton, {}, QPoint(150, 20));
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.position->Pos() >= 4400; }, 10000))
            << c.position->Pos();

        // the tone is the only speech: the keys jump to its start, and skip by five seconds
        ASSERT_EQ(c.waveform->Peaks().segments.size(), 1u);
        EXPECT_NEAR(c.waveform->Peaks().segments[0].start, 3.0, 0.05);
        panel.Skip(-1);
        EXPECT_EQ(c.position->Pos(), 0);
        panel.JumpToSpeech(1);
        EXPECT_NEAR(c.position->Pos(), 3000, 50);
        panel.JumpToSpeech(1); // none further on: it stays
        EXPECT_NEAR(c.position->Pos(), 3000, 50);
        panel.JumpToSpeech(-1); // at the start of the only one: back to the beginning
        EXPECT_EQ(c.position->Pos(), 0);
        panel.Skip(1);
        EXPECT_EQ(c.position->Pos(), 5000);

        // the transcription keys as the options set them: the step, the time stamp, and the
        // rewind whenever playback resumes after a pause
        settings.SkipStep = 2;
        panel.Skip(-1);
        EXPECT_EQ(c.position->Pos(), 3000);
        panel.CopyTimeStamp();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "[00:00:03]");
        settings.TimeStampOfDay = 1; // a file from disk has no time of day: still the position
        EXPECT_EQ(panel.TimeStamp(), "[00:00:03]");
        settings.ResumeRewind = 2;
        panel.OnPause();
        ASSERT_TRUE(panel.Player().IsPaused());
        const int held = c.position->Pos();
        panel.OnPlayPause();
        EXPECT_FALSE(panel.Player().IsPaused());
        EXPECT_EQ(c.position->Pos(), std::max(0, held - 2000));

        // played again with its time of day (as a drive recorder's file is): the strip is
        // kept, and the time stamp is the time of day there
        ASSERT_TRUE(panel.PlayFile(wav, QDateTime(QDate(2026, 12, 11), QTime(14, 2, 10))));
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.waveform->KnownColumns() == 200; }, 5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.position->Maximum() == 6000; }, 20000));
        panel.Skip(1);
        EXPECT_EQ(panel.TimeStamp(), "[14:02:12]");
        panel.End();
    }
    EXPECT_EQ(answers.Unexpected(), 0);
}

// The output device stored by the device dialog is what plays, from the panel's start on; an
// output that is gone plays through the default, and VARK_AUDIO wins over the stored one.
TEST(PlaybackPanel, PlaysThroughTheStoredOutputDevice)
{
    testsupport::ScopedTestEnv env;
    const std::string raw = env.Path("out.raw");
    testsupport::UseTestAlsa(env, raw);
    skin::ScriptedResponder answers;
    ServedPlayer player;
    const std::string wav = env.Path("tone.wav");
    testsupport::WriteFile(wav, testsupport::MonoWav(testsupport::TestTone(2000), 8000));
    const auto playWith = [&](const std::wstring& stored)
    {
        skin::CBaseDlg window;
        skin::SkinManager skin;
        CAppSettings settings(L"");
        settings.OutDeviceName = stored;
        PlaybackPanel panel(window, settings, MakeControls(skin, window));
        answers.AnswerPath(wav);
        panel.PlayFromDisk();
        EXPECT_TRUE(QTest::qWaitFor([&] { return panel.Player().IsPlaying(); }, 20000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !panel.Player().IsPlaying(); }, 20000));
        panel.End();
    };
    playWith(L"vark_file");
    EXPECT_GE(testsupport::ReadFile(raw).size(), 2000u * 4);

    ::unlink(raw.c_str());
    playWith(L"gone");
    env.Set("VARK_AUDIO", "capture:" + env.Path("heard.wav"));
    playWith(L"vark_file");
    EXPECT_FALSE(testsupport::FileExists(raw));
    EXPECT_TRUE(testsupport::FileExists(env.Path("heard.wav")));
    EXPECT_EQ(answers.Unexpected(), 0);
}

// The pedal found at start plays while the middle one is held and pauses when it is let go
// (with the rewind on resume), winds with the outer ones, shows itself and its presses in the
// options dialog, pauses when pulled mid-press, and is found again when plugged back.
TEST(PlaybackPanel, AFootPedalPlaysWhileHeldWindsAndPausesWhenPulled)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "capture:" + env.Path("out.wav"));
    const std::string folder = env.Path("by-id");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    env.Set("VARK_PEDAL_DIR", folder);
    const std::string entry = folder + "/usb-VEC_VEC_USB_Footpedal-event-joystick";
    auto pedal = std::make_unique<FifoPedal>(entry);
    skin::ScriptedResponder answers;
    ServedPlayer player;
    {
        skin::CBaseDlg window;
        skin::SkinManager skin;
        const PlaybackPanel::Controls c = MakeControls(skin, window);
        CAppSettings settings(L"");
        PlaybackPanel panel(window, settings, c);
        const std::string wav = env.Path("tone.wav");
        testsupport::WriteFile(wav, testsupport::MonoWav(testsupport::TestTone(480000), 8000));
        answers.AnswerPath(wav);
        panel.PlayFromDisk();
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.position->Maximum() == 60000; }, 20000));
        ASSERT_TRUE(panel.Player().IsPlaying());

        pedal->Press(BTN_1, true); // held while it plays: it goes on
        pedal->Press(BTN_1, false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel.Player().IsPaused(); }, 5000));
        settings.ResumeRewind = 1;
        panel.Skip(1); // five seconds on
        const int held = c.position->Pos();
        pedal->Press(BTN_1, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.Player().IsPaused(); }, 5000));
        EXPECT_NEAR(c.position->Pos(), held - 1000, 400);
        pedal->Press(BTN_2, true); // forward a second at once (speed 4), then every 250 ms
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.position->Pos() >= held; }, 5000));
        pedal->Press(BTN_2, false);

        panel.OpenOptions();
        dialogs::CPlayerOptionsDlg* options = nullptr;
        for (QWidget* w : window.findChildren<QWidget*>())
            if (auto* d = dynamic_cast<dialogs::CPlayerOptionsDlg*>(w)) options = d;
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(options->PedalText().toStdString(), "usb-VEC_VEC_USB_Footpedal-event-joystick");
        pedal->Press(BTN_0, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return options->PedalsShown()[0]; }, 5000));
        pedal->Press(BTN_0, false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !options->PedalsShown()[0]; }, 5000));

        // pulled out while the middle pedal plays: the player pauses
        pedal->Pull();
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel.Player().IsPaused(); }, 5000));
        EXPECT_EQ(options->PedalText(),
                  QString::fromStdString(res::LoadString(res::ids::kNoPedalFound)));
        pedal = std::make_unique<FifoPedal>(entry);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return options->PedalText().toStdString() ==
                       "usb-VEC_VEC_USB_Footpedal-event-joystick";
            },
            5000));
        panel.End();
    }
    EXPECT_EQ(answers.Unexpected(), 0);
}
