// The main window against the virtual recorder over real sockets: connecting with the empty
// PIN and with a PIN, the status, the list with its current row, wrapping, unplug and replug.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "dialogs/device_dlg.h"
#include "dialogs/export_dlg.h"
#include "dialogs/pin_dlg.h"
#include "dialogs/records_list.h"
#include "platform/com/apartment.h"
#include "platform/text.h"
#include "platform/thread_locale.h"
#include "recorder/demo.h"
#include "recorder/drive_demo.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "shell/waveform_strip.h"
#include "skin/modal_questions.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"
#include "testsupport/sound.h"
#include "testsupport/test_env.h"
#include "transfer/g711.h"
#include "transfer/peaks_cache.h"
#include "transfer/vark_data_flow.h"
#include "trillo/player_case.h"

namespace
{

const recorder::RecorderImage& DemoImage()
{
    static const recorder::RecorderImage image = recorder::MakeDemoImage();
    return image;
}

std::unique_ptr<recorder::VirtualRecorder> PlugDemo(const std::string& pin = {},
                                                    recorder::RecorderIdentity* identity = nullptr,
                                                    recorder::FirmwareConfig config = {})
{
    recorder::RecorderImage image = DemoImage();
    if (!pin.empty())
    {
        EXPECT_TRUE(recorder::PinToAccessCode(pin, &image.settings.accessCode));
    }
    if (identity) image.identity = *identity;
    auto r = std::make_unique<recorder::VirtualRecorder>(
        std::make_shared<recorder::RecorderFirmware>(image, config));
    EXPECT_TRUE(r->Plug());
    return r;
}

// A demo recorder whose erase takes `seconds` instead of a real recorder's minutes.
std::unique_ptr<recorder::VirtualRecorder> PlugDemoErasingIn(double seconds)
{
    recorder::FirmwareConfig quick;
    quick.eraseSeconds = seconds;
    return PlugDemo({}, nullptr, quick);
}

// The window's first tick connects; the list then loads through the loading dialog.
bool WaitForList(CVarkDlg& dlg, int rows)
{
    return QTest::qWaitFor([&] { return dlg.Connected() && dlg.List()->RowCount() == rows; },
                           30000);
}

// The player runs in its server process: the apartment joins this loop as in the program.
class PlayerApartment
{
public:
    PlayerApartment()
    {
        com::CoInitialize();
        EXPECT_TRUE(trillo::RegisterPlayerServerIfMissing(testsupport::BinDir() + "/vark-player"));
        pump_ = std::make_unique<QSocketNotifier>(com::ApartmentFd(), QSocketNotifier::Read);
        QObject::connect(pump_.get(), &QSocketNotifier::activated, [] { com::PumpApartment(); });
    }
    ~PlayerApartment()
    {
        pump_.reset();
        com::CoUninitialize();
    }

private:
    std::unique_ptr<QSocketNotifier> pump_;
};

QString Str(uint32_t id)
{
    return QString::fromStdString(res::LoadString(id));
}

} // namespace

TEST(MainWindow, ConnectsListsChoosesTheNewestAndFollowsUnplugAndReplug)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    auto plugged = PlugDemo();
    CAppSettings settings(L"");
    settings.LoadListOrder = 0;
    CVarkDlg dlg(settings);
    dlg.show();
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(res::ids::kNoConnection));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 8; }, 30000));
    EXPECT_TRUE(dlg.Connected());
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(res::ids::kConnected));
    EXPECT_FALSE(dlg.FieldText(CVarkDlg::IDC_EDIT_UIN).isEmpty());
    EXPECT_TRUE(dlg.FieldText(CVarkDlg::IDC_EDIT_MAX_DUR).contains(':'));
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_TRACK_COUNT), "8");
    // oldest first: the last row is current, the newest record either way
    EXPECT_EQ(dlg.SelectedIndex(), 7);
    EXPECT_TRUE(dlg.List()->HasCurrentMarker(7));
    EXPECT_EQ(dlg.List()->Text(0, 0), "1");
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_PLAY));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_REFRESH));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_RECORD_SETTINGS));
    EXPECT_FALSE(dlg.ItemEnabled(CVarkDlg::ID_ENTER_PIN));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_SELECT_DEVICE));
    dlg.ChooseRow(8); // past the end wraps to the first row
    EXPECT_EQ(dlg.SelectedIndex(), 0);
    EXPECT_FALSE(dlg.List()->HasCurrentMarker(7));
    dlg.ChooseRow(-1);
    EXPECT_EQ(dlg.SelectedIndex(), 7);
    if (const char* dir = std::getenv("VARK_SHOT_DIR"))
        dlg.grab().save(QString::fromLocal8Bit(dir) + "/IDD_VARK_DIALOG-connected.png");

    plugged->Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Connected(); }, 10000));
    EXPECT_EQ(dlg.List()->RowCount(), 0);
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(res::ids::kNoConnection));
    EXPECT_FALSE(dlg.ItemEnabled(CVarkDlg::ID_REFRESH));

    plugged = PlugDemo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 8; }, 30000));
    EXPECT_TRUE(answers.AskedQuestions().empty());
    dlg.OnExit();
    EXPECT_EQ(settings.SaveCount(), 1);
}

TEST(MainWindow, AskForThePinWhenTheEmptyOneIsRefused)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    auto plugged = PlugDemo("1234");
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    // the PIN dialog opens on the first tick: answer it wrongly, then rightly from the menu
    int asked = 0;
    QTimer pin;
    QObject::connect(&pin, &QTimer::timeout,
                     [&]
                     {
                         for (QWidget* w : QApplication::topLevelWidgets())
                             if (auto* d = dynamic_cast<dialogs::CPINDlg*>(w); d && d->isVisible())
                             {
                                 d->PinField()->setText(asked++ == 0 ? "9999" : "1234");
                                 d->OnCommand(skin::IDOK);
                             }
                     });
    pin.start(50);
    answers.AnswerMessage(skin::IDOK); // "Wrong PIN code."
    dlg.show();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return asked == 1 && !answers.AskedQuestions().empty(); }, 30000));
    EXPECT_EQ(answers.AskedQuestions()[0].text, res::LoadString(res::ids::kWrongPinCode));
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(res::ids::kNoPinCode));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_ENTER_PIN));
    dlg.OnCommand(CVarkDlg::ID_ENTER_PIN);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 8; }, 30000));
    EXPECT_TRUE(dlg.Connected());
    EXPECT_EQ(answers.Unexpected(), 0);
    dlg.OnExit();
}

TEST(MainWindow, FirmwareWarningsOnConnecting)
{
    testsupport::ScopedTestEnv env;
    struct Case
    {
        uint16_t firmware;
        uint8_t capability;
        std::vector<uint32_t> warnings;
    };
    using res::ids::kObsoleteFirmware, res::ids::kUpgradeManager;
    const Case cases[] = {{0x0310, 1, {kObsoleteFirmware}}, {0x0311, 1, {}},
                          {0x2C38, 2, {kUpgradeManager}},   {0x2C37, 2, {}},
                          {0x2E00, 2, {kUpgradeManager}},   {0x2E00, 1, {}}};
    for (const Case& c : cases)
    {
        skin::ScriptedResponder answers;
        for (size_t i = 0; i < c.warnings.size(); ++i)
            answers.AnswerMessage(skin::IDOK);
        recorder::RecorderIdentity id = DemoImage().identity;
        id.firmware = c.firmware;
        id.capability = c.capability;
        auto plugged = PlugDemo({}, &id);
        CAppSettings settings(L"");
        CVarkDlg dlg(settings);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Connected(); }, 30000)) << c.firmware;
        std::vector<uint32_t> shown;
        for (const auto& q : answers.AskedQuestions())
            for (uint32_t w : {kObsoleteFirmware, kUpgradeManager})
                if (q.text == res::LoadString(w) && q.style == 0x30) shown.push_back(w);
        EXPECT_EQ(shown, c.warnings) << std::hex << c.firmware;
        dlg.OnExit();
    }
}

TEST(MainWindow, LoopLengthDeleteAllAndTheLanguageMenu)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    auto plugged = PlugDemoErasingIn(0.6);
    CAppSettings settings(L"");
    settings.Language = 9;
    settings.LoadListOrder = 1; // newest first: each row is put at the top, row 0 is current
    CVarkDlg dlg(settings);
    dlg.show();
    ASSERT_TRUE(WaitForList(dlg, 8));
    EXPECT_EQ(dlg.List()->Text(0, 0), "1");
    EXPECT_EQ(dlg.SelectedIndex(), 0);
    EXPECT_TRUE(dlg.List()->HasCurrentMarker(0));

    // the loop length is forced into 3..30 when its field is left
    auto* loop = dlg.findChild<skin::CSkinnedEdit*>();
    for (QWidget* w : dlg.findChildren<QWidget*>())
        if (auto* e = dynamic_cast<skin::CSkinnedEdit*>(w);
            e && e->ControlId() == CVarkDlg::IDC_EDIT_RING_LENGTH)
            loop = e;
    for (auto [typed, kept] : {std::pair{"45", "30"}, {"1", "3"}, {"12", "12"}})
    {
        loop->setFocus();
        loop->clear();
        QTest::keyClicks(loop, typed);
        emit loop->editingFinished();
        EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_RING_LENGTH), kept);
    }
    EXPECT_EQ(dlg.LoopLength(), 12);
    // with nothing to play, the processing boxes do not stay checked
    for (QWidget* w : dlg.findChildren<QWidget*>())
        if (auto* box = dynamic_cast<skin::CSkinnedCheck*>(w);
            box && (box->ControlId() == CVarkDlg::IDC_CHK_ARC ||
                    box->ControlId() == CVarkDlg::IDC_CHK_DENOISER))
        {
            box->click();
            EXPECT_FALSE(box->isChecked()) << box->ControlId();
        }

    // Delete all: both questions, then the erase polled until it ends
    answers.AnswerMessage(skin::IDYES);
    answers.AnswerMessage(skin::IDNO);
    dlg.OnCommand(CVarkDlg::ID_DELETE_ALL);
    EXPECT_EQ(dlg.List()->RowCount(), 8); // the second question said no
    answers.AnswerMessage(skin::IDYES);
    answers.AnswerMessage(skin::IDYES);
    dlg.OnCommand(CVarkDlg::ID_DELETE_ALL);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dlg.List()->RowCount() == 0 && dlg.isEnabled(); }, 30000));
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_TRACK_COUNT), "0");
    EXPECT_FALSE(dlg.ItemEnabled(CVarkDlg::ID_DELETE_ALL));
    ASSERT_GE(answers.AskedQuestions().size(), 4u);
    EXPECT_EQ(answers.AskedQuestions()[2].style, 0x24u);
    EXPECT_EQ(answers.AskedQuestions()[3].style, 0x44u);

    // Language: asked twice; the choice is stored for the next start, and yes closes
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_LANG_ARABIC));
    answers.AnswerMessage(skin::IDYES);
    answers.AnswerMessage(skin::IDNO);
    dlg.OnCommand(CVarkDlg::ID_LANG_RUSSIAN + 3); // Polish
    EXPECT_EQ(settings.Language, 21u);
    EXPECT_TRUE(dlg.isVisible());
    answers.AnswerMessage(skin::IDYES);
    answers.AnswerMessage(skin::IDYES);
    dlg.OnCommand(CVarkDlg::ID_LANG_ARABIC);
    EXPECT_EQ(settings.Language, 1u);
    EXPECT_EQ(settings.SaveCount(), 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(settings.RingLength, 12u);
    EXPECT_EQ(answers.Unexpected(), 0);
}

TEST(MainWindow, TheLoopLengthSetWithTheArrowsIsSavedAtExit)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    CAppSettings settings(L"");
    settings.RingLength = 5;
    CVarkDlg dlg(settings);
    dlg.show();
    skin::CSkinnedSpin* spin = nullptr;
    for (QWidget* w : dlg.findChildren<QWidget*>())
        if (auto* s = dynamic_cast<skin::CSkinnedSpin*>(w)) spin = s;
    ASSERT_NE(spin, nullptr);
    // two clicks down on the lower arrow, one up: 4, then 3 (the least), then 4
    const QPoint down(spin->width() / 2, spin->height() - 2), up(spin->width() / 2, 2);
    for (const QPoint& at : {down, down, down, up})
    {
        QTest::mousePress(spin, Qt::LeftButton, {}, at);
        QTest::mouseRelease(spin, Qt::LeftButton, {}, at);
    }
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_RING_LENGTH), "4");
    dlg.OnExit();
    EXPECT_EQ(settings.RingLength, 4u);
    EXPECT_EQ(settings.SaveCount(), 1);
}

TEST(MainWindow, TheChosenOutputDeviceIsStoredByNameAndNeedsARestart)
{
    testsupport::ScopedTestEnv env;
    const std::string raw = env.Path("out.raw");
    testsupport::UseTestAlsa(env, raw);
    skin::ScriptedResponder answers;
    answers.AnswerMessage(skin::IDOK); // "Please restart the software."
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    dlg.show();
    // the device dialog: the second output (after the default) chosen, then OK
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
                     [&]
                     {
                         auto* d =
                             dynamic_cast<dialogs::CDeviceDlg*>(QApplication::activeModalWidget());
                         if (!d || d->DeviceList()->count() < 2) return;
                         d->DeviceList()->setCurrentIndex(d->DeviceList()->findText("Test file"));
                         d->OnCommand(skin::IDOK);
                     });
    watch.start(50);
    dlg.OnCommand(CVarkDlg::ID_SELECT_DEVICE);
    EXPECT_EQ(settings.OutDeviceName, L"vark_file");
    ASSERT_EQ(answers.AskedQuestions().size(), 1u);
    EXPECT_EQ(answers.AskedQuestions()[0].text, res::LoadString(res::ids::kRestartSoftware));
    EXPECT_EQ(answers.AskedQuestions()[0].style, 0u);
    dlg.OnExit();
}

TEST(MainWindow, PlaysARecordWholeThenPausesSeeksAndExitsInTwoPasses)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "capture:" + env.Path("out.wav"));
    skin::ScriptedResponder answers;
    PlayerApartment apartment;
    auto plugged = PlugDemo();
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    dlg.show();
    ASSERT_TRUE(WaitForList(dlg, 8));
    for (int i = 0; i < 9; ++i) // F10 raises the volume by 4 up to full
        dlg.OnCommand(CVarkDlg::ID_VOLUME_UP);

    dlg.List()->clearSelection();
    dlg.List()->topLevelItem(0)->setSelected(true);
    dlg.OnCommand(CVarkDlg::ID_PLAY);
    EXPECT_EQ(dlg.SelectedIndex(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Player().IsPlaying(); }, 20000));
    // the flow's announcements are posted: they arrive through the loop
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return dlg.FieldText(CVarkDlg::IDC_EDIT_PLAY_DURATION) == "0:00:09"; }, 10000));
    EXPECT_TRUE(dlg.FieldText(CVarkDlg::IDC_EDIT_NAME).contains("1"));
    EXPECT_FALSE(dlg.FieldText(CVarkDlg::IDC_EDIT_FORMAT).isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Player().IsPlaying(); }, 60000));
    const auto& record = DemoImage().records[0];
    std::vector<int16_t> pcm(record.data.size());
    vark::MuLawExpand(record.data.data(), record.data.size(), pcm.data());
    std::vector<std::pair<int16_t, int16_t>> expected;
    for (int16_t v : pcm)
        expected.emplace_back(v, v);
    EXPECT_EQ(testsupport::CompareHeard(testsupport::CapturedFrames(env.Path("out.wav")), expected),
              "");
    // its strip came from what streamed, column for column, and is kept for the next play
    WaveformStrip* strip = nullptr;
    for (QWidget* w : dlg.findChildren<QWidget*>())
        if (auto* s = dynamic_cast<WaveformStrip*>(w)) strip = s;
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->KnownColumns(), strip->width());
    numera::PeakAnalyser direct(strip->Peaks().rate, 1, int64_t(pcm.size()), strip->width());
    direct.Feed(pcm.data(), pcm.size());
    EXPECT_EQ(strip->Peaks().min, direct.Result().min);
    EXPECT_EQ(strip->Peaks().max, direct.Result().max);
    auto* played = dynamic_cast<vark::CVarkDataFlow*>(dlg.Player().Flow());
    ASSERT_NE(played, nullptr);
    EXPECT_TRUE(vark::PeaksCache().Load(vark::RecordPeaksIdentity(played->Info()), strip->width()));

    // the next record: pause holds the position, a seek moves it, Exit stops first
    dlg.OnCommand(CVarkDlg::IDC_END);
    EXPECT_EQ(dlg.SelectedIndex(), 1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return dlg.FieldText(CVarkDlg::IDC_EDIT_CURRENT_PLAY_POSITION) >= "0:00:01"; },
        20000));
    dlg.OnCommand(CVarkDlg::IDC_PAUSE);
    EXPECT_TRUE(dlg.Player().IsPaused());
    QTest::qWait(300); // what was posted before the pause
    const QString held = dlg.FieldText(CVarkDlg::IDC_EDIT_CURRENT_PLAY_POSITION);
    QTest::qWait(1200);
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CURRENT_PLAY_POSITION), held);
    dlg.OnCommand(CVarkDlg::IDC_PLAY); // resumes
    EXPECT_FALSE(dlg.Player().IsPaused());
    // the position slider: dragged, then released at 4 s
    for (QWidget* w : dlg.findChildren<QWidget*>())
        if (auto* slider = dynamic_cast<skin::CSkinnedSlider*>(w);
            slider && slider->ControlId() == CVarkDlg::IDC_SL_PLAY)
        {
            emit slider->notify(skin::CSkinnedSlider::kThumbTrack, 4000);
            emit slider->notify(skin::CSkinnedSlider::kEndScroll, 4000);
        }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return dlg.FieldText(CVarkDlg::IDC_EDIT_CURRENT_PLAY_POSITION) >= "0:00:04"; },
        10000));
    // the loop box loops the last loop length (5 s) of what has played: here all of it
    for (QWidget* w : dlg.findChildren<QWidget*>())
        if (auto* box = dynamic_cast<skin::CSkinnedCheck*>(w);
            box && box->ControlId() == CVarkDlg::IDC_CHK_RING)
            box->click();
    auto* flow = dynamic_cast<vark::CVarkDataFlow*>(dlg.Player().Flow());
    ASSERT_NE(flow, nullptr);
    EXPECT_GE(flow->LoopEndMs(), 4000);
    EXPECT_EQ(flow->LoopStartMs(), 0);
    // a file from disk: its folder is remembered; one that cannot be played says so
    const std::string wav = env.Path("tone.wav");
    testsupport::WriteFile(wav, testsupport::MonoWav(testsupport::TestTone(16000), 8000));
    answers.AnswerPath(wav);
    dlg.OnCommand(CVarkDlg::ID_PLAY_FROM_DISK);
    EXPECT_EQ(dlg.Player().Kind(), vark::FlowKind::kFile);
    EXPECT_EQ(settings.LastOpenWaveDirectory, std::wstring(env.Root().begin(), env.Root().end()));
    const std::string broken = env.Path("broken.wav");
    testsupport::WriteFile(broken, "RIFF junk");
    answers.AnswerPath(broken);
    answers.AnswerMessage(skin::IDOK);
    dlg.OnCommand(CVarkDlg::ID_PLAY_FROM_DISK);
    ASSERT_FALSE(answers.AskedQuestions().empty());
    EXPECT_EQ(answers.AskedQuestions().back().text,
              res::LoadString(res::ids::kPlayFileError) + broken);

    dlg.OnCommand(CVarkDlg::IDC_PLAY); // the record once more, for Exit to stop
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Player().IsPlaying(); }, 20000));
    dlg.OnExit(); // first pass: the player is let go of
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(settings.SaveCount(), 0);
    dlg.OnExit(); // asked again meanwhile: still one save in the end
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible(); }, 10000));
    EXPECT_EQ(settings.SaveCount(), 1);
    EXPECT_FALSE(dlg.Player().Flow());
    EXPECT_EQ(answers.Unexpected(), 0);
}

TEST(MainWindow, AFileFromDiskPlaysAgainAfterItsEnd)
{
    testsupport::ScopedTestEnv env;
    env.Set("VARK_AUDIO", "capture:" + env.Path("out.wav"));
    skin::ScriptedResponder answers;
    PlayerApartment apartment;
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    dlg.show();
    const std::string wav = env.Path("tone.wav");
    const std::vector<int16_t> tone = testsupport::TestTone(8000);
    testsupport::WriteFile(wav, testsupport::MonoWav(tone, 8000));
    const auto playToTheEnd = [&](int command)
    {
        dlg.OnCommand(command);
        EXPECT_FALSE(dlg.Player().IsPaused());
        EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.Player().IsPlaying(); }, 10000));
        // the player stops itself at the end of the file and says so
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.Player().IsPlaying(); }, 20000));
    };
    answers.AnswerPath(wav);
    playToTheEnd(CVarkDlg::ID_PLAY_FROM_DISK);
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CURRENT_PLAY_POSITION), "0:00:00");
    playToTheEnd(CVarkDlg::ID_PLAY_PAUSE); // Ctrl+P starts it again rather than pausing
    playToTheEnd(CVarkDlg::IDC_PLAY);
    size_t heard = 0;
    for (const auto& [left, right] : testsupport::CapturedFrames(env.Path("out.wav")))
        heard += left != 0 && right != 0;
    EXPECT_GE(heard, 3 * tone.size() * 99 / 100); // three times, whole
    dlg.OnExit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible(); }, 10000));
    EXPECT_EQ(answers.Unexpected(), 0);
}

TEST(MainWindow, APlayerServerThatDiesEndsPlaybackAndTheNextOneStartsAnew)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    PlayerApartment apartment;
    auto plugged = PlugDemo();
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    dlg.show();
    ASSERT_TRUE(WaitForList(dlg, 8));
    dlg.OnCommand(CVarkDlg::ID_PLAY);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !dlg.FieldText(CVarkDlg::IDC_EDIT_PLAY_DURATION).isEmpty(); }, 20000));
    const auto servers = testsupport::ProcessesUnder("vark-player", env.Root());
    ASSERT_EQ(servers.size(), 1u);
    ::kill(servers[0], SIGKILL);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Player().Flow(); }, 10000));
    EXPECT_TRUE(dlg.FieldText(CVarkDlg::IDC_EDIT_PLAY_DURATION).isEmpty());
    dlg.OnCommand(CVarkDlg::ID_PLAY);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return dlg.Player().IsPlaying() &&
                   !dlg.FieldText(CVarkDlg::IDC_EDIT_PLAY_DURATION).isEmpty();
        },
        20000));
    dlg.OnExit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible(); }, 10000));
    EXPECT_EQ(answers.Unexpected(), 0);
}

TEST(MainWindow, AsksToRefreshWhenTheFreeMemoryChangesBetweenPolls)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    auto plugged = PlugDemoErasingIn(0.2);
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    dlg.show();
    ASSERT_TRUE(WaitForList(dlg, 8));
    const QString freeBefore = dlg.FieldText(CVarkDlg::IDC_EDIT_FREE);
    // the recorder is erased behind the window's back (as its own button would)
    std::array<uint8_t, 16> erase{};
    erase[4] = 1;
    ASSERT_EQ(plugged->Firmware().Write(26, erase).status, 0u);
    answers.AnswerMessage(skin::IDYES);
    // the next poll comes within six seconds and sees the change
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.AskedQuestions().empty(); }, 15000));
    EXPECT_EQ(answers.AskedQuestions()[0].text, res::LoadString(res::ids::kMemoryChanged));
    EXPECT_EQ(answers.AskedQuestions()[0].style, 0x04u);
    EXPECT_NE(dlg.FieldText(CVarkDlg::IDC_EDIT_FREE), freeBefore);
    // yes refreshes the list: the erased recorder has none
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 0; }, 10000));
    EXPECT_EQ(answers.AskedQuestions().size(), 1u);
    dlg.OnExit();
}

TEST(MainWindow, EndingTheProgramClosesTheDialogThatIsOpen)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    auto plugged = PlugDemo("1234");
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    // the PIN dialog waits for an answer when the program is told to end (SIGTERM closes the
    // main window)
    QPointer<dialogs::CPINDlg> pin;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
                     [&]
                     {
                         if (pin) return;
                         for (QWidget* w : QApplication::topLevelWidgets())
                             if (auto* d = dynamic_cast<dialogs::CPINDlg*>(w); d && d->isVisible())
                             {
                                 pin = d;
                                 dlg.close();
                             }
                     });
    watch.start(50);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Exited(); }, 30000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pin || !pin->isVisible(); }, 5000));
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.Connected()); // nothing more was started after the end
    EXPECT_EQ(settings.SaveCount(), 1);
}

TEST(MainWindow, ADriveRecorderIsShownListedPlayedCopiedDeletedAndGivesWayToTheCable)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    PlayerApartment apartment;
    // made aside and moved in whole, as a mount appears
    std::string error;
    ASSERT_TRUE(recorder::MakeDrive(env.Path("staged"), true, &error, nullptr)) << error;
    const std::string root = env.Path("drives/VOICE_PEN");
    std::filesystem::rename(env.Path("staged"), root);

    CAppSettings settings(L"");
    settings.Language = 9;
    CVarkDlg dlg(settings);
    answers.AnswerMessage(skin::IDNO); // its records are not copied when it is plugged in
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return dlg.DriveShown() == root && dlg.List()->RowCount() == 7; }, 30000));
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_UIN), "VOICE_PEN");
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(res::ids::kConnected));
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_TIME), QStringLiteral("\u2014"));
    EXPECT_EQ(dlg.List()->Text(2, 6), Str(res::ids::kCannotBeRead));
    EXPECT_EQ(dlg.List()->Text(5, 6), "mp3");
    EXPECT_EQ(dlg.List()->Text(0, 8), "FOLDER_A/260314_0926.WAV");
    EXPECT_NE(dlg.List()->topLevelItem(0)->toolTip(0).indexOf(Str(res::ids::kStartFromBext)), -1);
    for (int id : {CVarkDlg::ID_SET_TIME, CVarkDlg::ID_RECORD_SETTINGS, CVarkDlg::ID_CHANGE_PIN,
                   CVarkDlg::ID_ENTER_PIN})
        EXPECT_FALSE(dlg.ItemEnabled(id)) << id;
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_DELETE_ALL));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_REFRESH));

    // the first record plays through the file flow, whole
    dlg.ChooseRow(0);
    dlg.OnCommand(CVarkDlg::IDC_PLAY);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Player().IsPlaying(); }, 20000));
    EXPECT_EQ(dlg.Player().Kind(), vark::FlowKind::kFile);

    // Delete: the selected row, after the question naming how many
    dlg.List()->clearSelection();
    dlg.List()->topLevelItem(2)->setSelected(true);
    ASSERT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_DELETE));
    answers.AnswerMessage(skin::IDNO);
    dlg.OnCommand(CVarkDlg::ID_DELETE);
    EXPECT_TRUE(std::filesystem::exists(root + "/RECORDER/FOLDER_A/REC0003.WAV"));
    answers.AnswerMessage(skin::IDYES);
    dlg.OnCommand(CVarkDlg::ID_DELETE);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 6; }, 20000));
    EXPECT_FALSE(std::filesystem::exists(root + "/RECORDER/FOLDER_A/REC0003.WAV"));
    EXPECT_NE(answers.AskedQuestions().back().text.find('1'), std::string::npos);

    // Copy to disk: the export dialog copies the selected file as it is
    dlg.List()->clearSelection();
    dlg.List()->topLevelItem(0)->setSelected(true);
    ASSERT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_SAVE_TO_DISK));
    settings.LastExportDirectory = platform::Utf8ToWide(env.Path("copies"));
    settings.DigitalSign = 0;
    QTimer confirm;
    QObject::connect(
        &confirm, &QTimer::timeout,
        [&]
        {
            if (auto* d = dynamic_cast<dialogs::CExportDlg*>(QApplication::activeModalWidget());
                d && !d->Running())
                d->OnCommand(skin::IDOK);
        });
    confirm.start(50);
    dlg.OnCommand(CVarkDlg::ID_SAVE_TO_DISK);
    confirm.stop();
    EXPECT_EQ(testsupport::ReadFile(env.Path("copies/2026_03_14 09_26_53.wav")),
              testsupport::ReadFile(root + "/RECORDER/FOLDER_A/260314_0926.WAV"));

    // the recorder on its cable comes first; when it goes, the drive is back
    auto plugged = PlugDemo();
    ASSERT_TRUE(WaitForList(dlg, 8));
    EXPECT_TRUE(dlg.DriveShown().empty());
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_UIN), "4711");
    plugged->Unplug();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return dlg.DriveShown() == root && dlg.List()->RowCount() == 6; }, 30000));

    // pulled: let go
    std::filesystem::remove_all(root);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.DriveShown().empty(); }, 30000));
    EXPECT_EQ(dlg.List()->RowCount(), 0);
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(res::ids::kNoConnection));
    dlg.OnExit();
    EXPECT_EQ(answers.Unexpected(), 0);
}
