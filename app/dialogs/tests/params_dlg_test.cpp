// The recording parameters dialog against the virtual recorder over a real socket, driven
// with keys and clicks; its questions are answered by the scripted responder.
#include "dialogs/params_dlg.h"

#include "device/vark_device.h"
#include "device/vark_settings.h"
#include "platform/text.h"
#include "platform/thread_locale.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "skin/modal_questions.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace dialogs;
using namespace vark;
using skin::ScriptedResponder;

namespace
{

using skin::IDCANCEL, skin::IDNO, skin::IDOK, skin::IDYES;
constexpr uint32_t kTimerStart = 852199200; // 2027-01-02 10:00:00 in recorder time

// Control identifiers of the dialog, by their names in its table.
enum
{
    kSourceLeft = CParamsDlg::IDC_CMB_SOURCE_LEFT,
    kSourceRight = CParamsDlg::IDC_CMB_SOURCE_RIGHT,
    kRate = CParamsDlg::IDC_CMB_SAMPLE_RATE,
    kCompression = CParamsDlg::IDC_CHK_COMPRESSION,
    kMono = CParamsDlg::IDC_OP_FORMAT0,
    kStereo = CParamsDlg::IDC_OP_FORMAT1,
    kAgcOn = CParamsDlg::IDC_OP_AGC1,
    kAgcOff = CParamsDlg::IDC_OP_AGC0,
    kInputLevel = CParamsDlg::IDC_SL_INPUT_LEVEL,
    kInputLevelText = CParamsDlg::IDC_STATIC_INPUT_LEVEL,
    kTimerOn = CParamsDlg::IDC_CHK_TIMER1,
    kTimerDate = CParamsDlg::IDC_DTP_TIMER_DATE1,
    kTimerTime = CParamsDlg::IDC_DTP_TIMER_TIME1,
    kTimerDuration = CParamsDlg::IDC_DTP_TIMER_DUR1,
    kAccu = CParamsDlg::IDC_CHK_ACCU,
    kAccuSlider = CParamsDlg::IDC_SL_ACCU_LEFT,
    kAccuText = CParamsDlg::IDC_STATIC_ACCU_LEFT,
    kLevel = CParamsDlg::IDC_PROGRESS_LEVEL_LEFT,
    kLevelAbove = CParamsDlg::IDC_STATIC_LEVEL_ABOVE,
    kRing = CParamsDlg::IDC_CHK_RING,
    kRingHours = CParamsDlg::IDC_EDIT_RING_HOUR,
    kRingHoursSpin = CParamsDlg::IDC_SPIN_RING_HOUR,
    kRingMinutes = CParamsDlg::IDC_EDIT_RING_MIN,
    kRingMinutesSpin = CParamsDlg::IDC_SPIN_RING_MIN,
    kButtonMode = CParamsDlg::IDC_CMB_BUTTON_MODE,
    kRecordButton = CParamsDlg::IDC_CHK_RECORD_BUTTON,
    kMaxDuration = CParamsDlg::IDC_STATIC_MAX_DUR,
    kDefault = CParamsDlg::IDC_DEFAULT,
    kSave = CParamsDlg::IDC_SAVE,
    kLoad = CParamsDlg::IDC_LOAD,
};

// A control of the dialog by its identifier.
template <class T> T* Control(QWidget* dlg, int id)
{
    for (T* w : dlg->findChildren<T*>())
        if (auto* layer = dynamic_cast<skin::SkinLayer*>(w); layer && layer->ControlId() == id)
            return w;
    ADD_FAILURE() << "no control " << id;
    return nullptr;
}

void Click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
}

// Any write to the recorder but the unlock.
bool WroteSomething(const std::vector<recorder::RequestLogEntry>& log)
{
    for (const auto& e : log)
        if (e.direction == 'W' && e.command != 29) return true;
    return false;
}

class ParamsDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        platform::SetThreadLocale(1033);
        recorder::RecorderImage image;
        image.identity.memoryTotal = 64ull * 1024 * 1024;
        image.settings.stereo = 1;
        image.settings.rate16k = 1;
        image.settings.sourceLeft = recorder::kSourceExtLeft;
        image.settings.sourceRight = recorder::kSourceLineRight;
        image.settings.agc = 0;
        image.settings.levelLeft = image.settings.levelRight = 8; // level 9
        image.settings.accuThreshold = 37;
        image.settings.loopSeconds = 2 * 3600 + 15 * 60;
        image.settings.buttonMode = 2;
        image.settings.timers[1] = {kTimerStart, 5400}; // 2027-01-02 10:00 for 1:30
        firmware_ = std::make_shared<recorder::RecorderFirmware>(image);
        plugged_ = std::make_unique<recorder::VirtualRecorder>(firmware_);
        ASSERT_TRUE(plugged_->Plug());
        ASSERT_TRUE(device_.Open(plugged_->DevicePath()));
        ASSERT_TRUE(device_.PresentAccessCode(L""));
        device_.ReadParameters();
        settings_ = std::make_unique<CAppSettings>(platform::Utf8ToWide(env_.Path("Varke.ini")));
    }
    void TearDown() override { platform::SetThreadLocale(1033); }

    std::unique_ptr<CParamsDlg> Open(uint32_t freeKilobytes = 4000000)
    {
        auto dlg = std::make_unique<CParamsDlg>(nullptr, *settings_, &device_, freeKilobytes);
        dlg->show();
        firmware_->ClearRequestLog();
        return dlg;
    }

    std::string Asked(size_t i) const
    {
        return i < answers_.AskedQuestions().size() ? answers_.AskedQuestions()[i].text : "";
    }

    testsupport::ScopedTestEnv env_;
    ScriptedResponder answers_;
    std::shared_ptr<recorder::RecorderFirmware> firmware_;
    std::unique_ptr<recorder::VirtualRecorder> plugged_;
    CVarkDevice device_;
    std::unique_ptr<CAppSettings> settings_;

    template <class T> T* C(int id) { return Control<T>(dlg_.get(), id); }
    skin::CSkinnedCheck* Check(int id) { return C<skin::CSkinnedCheck>(id); }
    skin::CSkinnedCombo* Combo(int id) { return C<skin::CSkinnedCombo>(id); }
    skin::CSkinnedEdit* Edit(int id) { return C<skin::CSkinnedEdit>(id); }
    skin::CSkinnedDateTime* Picker(int id) { return C<skin::CSkinnedDateTime>(id); }
    QString Label(int id) { return C<skin::CSkinnedStatic>(id)->text(); }
    void Press(int id) { Click(C<skin::CSkinnedButton>(id)); }
    void Type(int id, const QString& text)
    {
        skin::CSkinnedEdit* e = Edit(id);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    void SetTimer(int i, QDate date, QTime start, QTime duration)
    {
        if (!Check(kTimerOn + i)->isChecked()) Click(Check(kTimerOn + i));
        Picker(kTimerDate + i)->setDate(date);
        Picker(kTimerTime + i)->setTime(start);
        Picker(kTimerDuration + i)->setTime(duration);
    }
    // The record the controls stand for, to compare what two states of the dialog show.
    VarkParams Shown() { return ParamsFromEntries(VarkParams{}, dlg_->Entries()); }
    void ExpectAsked(size_t i, const std::string& text)
    {
        ASSERT_GT(answers_.AskedQuestions().size(), i);
        EXPECT_EQ(answers_.AskedQuestions()[i].text, text);
    }

    std::unique_ptr<CParamsDlg> dlg_;
};

TEST_F(ParamsDlgTest, OpensWithTheRecordersValuesAndAppliesTheRulesAfterEveryChange)
{
    dlg_ = Open(16000);
    const ParamsEntries e = dlg_->Entries();
    EXPECT_EQ(e.sourceLeft, 2);
    EXPECT_EQ(e.sourceRight, 3);
    EXPECT_EQ(e.rate, 1);
    EXPECT_TRUE(e.compression && e.stereo && e.accu && e.ring);
    EXPECT_FALSE(e.agc || e.recordButton);
    EXPECT_EQ(e.inputLevel, 9);
    EXPECT_EQ(e.buttonMode, 2);
    EXPECT_EQ(e.ringHours * 100 + e.ringMinutes, 215);
    EXPECT_TRUE(e.timers[1].enabled);
    EXPECT_EQ(e.timers[1].Start().Format("%Y-%m-%d %H:%M"), "2027-01-02 10:00");
    EXPECT_EQ(e.timers[1].durationHours * 100 + e.timers[1].durationMinutes, 130);
    // a timer that is off shows today, now, for 0:01
    EXPECT_FALSE(e.timers[0].enabled);
    EXPECT_EQ(Picker(kTimerDate)->date(), QDate::currentDate());
    EXPECT_EQ(Picker(kTimerDuration)->DisplayText(), "00:01");
    EXPECT_EQ(Label(kInputLevelText), "12");
    EXPECT_EQ(Label(kAccuText), "18");
    // dragging the thumb to the far end: level 31 reads 54
    auto* slider = C<skin::CSkinnedSlider>(kInputLevel);
    const QPoint thumb = slider->ThumbRect().center();
    QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(slider, QPoint(slider->width() - 1, thumb.y()));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, thumb.y()));
    EXPECT_EQ(slider->Pos(), 31);
    EXPECT_EQ(Label(kInputLevelText), "54");
    EXPECT_EQ(Label(kMaxDuration).toStdString(),
              res::LoadString(res::ids::kMaxRecordTime) + "0:08:32");

    EXPECT_TRUE(Combo(kSourceRight)->isEnabled());
    Click(C<skin::CSkinnedRadio>(kMono));
    EXPECT_FALSE(Combo(kSourceRight)->isEnabled());
    EXPECT_TRUE(Label(kMaxDuration).endsWith("0:17:04"));
    Click(Check(kCompression));
    QTest::keyClick(Combo(kRate), Qt::Key_Up); // 8 kHz
    EXPECT_TRUE(Label(kMaxDuration).endsWith("0:17:04"));
    EXPECT_TRUE(C<skin::CSkinnedSlider>(kInputLevel)->isEnabled());
    Click(C<skin::CSkinnedRadio>(kAgcOn));
    EXPECT_FALSE(C<skin::CSkinnedSlider>(kInputLevel)->isEnabled());
    // checked, the threshold goes no lower than 1 (0 would be stored as off); unchecked, to 0
    auto* threshold = C<skin::CSkinnedSlider>(kAccuSlider);
    threshold->SetPos(0);
    EXPECT_EQ(threshold->Pos(), 1);
    Click(Check(kAccu));
    EXPECT_FALSE(threshold->isEnabled());
    threshold->SetPos(0);
    EXPECT_EQ(threshold->Pos(), 0);
    Click(Check(kAccu));
    EXPECT_EQ(threshold->Pos(), 1);
    EXPECT_EQ(Label(kAccuText), "0");
    Click(Check(kAccu));
    Click(Check(kRing));
    for (int id : {kRingHours, kRingHoursSpin, kRingMinutes, kRingMinutesSpin})
        EXPECT_FALSE(C<QWidget>(id)->isEnabled()) << id;
    Click(Check(kRing));
    EXPECT_FALSE(Picker(kTimerTime)->isEnabled());
    EXPECT_TRUE(Picker(kTimerTime + 1)->isEnabled());
    Click(Check(kTimerOn));
    for (int id : {kTimerDate, kTimerTime, kTimerDuration})
        EXPECT_TRUE(Picker(id)->isEnabled()) << id;
    // the pickers take the keys and their skinned buttons
    skin::CSkinnedDateTime* start = Picker(kTimerTime + 1);
    QTest::keyClick(start, Qt::Key_Up);
    EXPECT_EQ(start->DisplayText(), "11:00");
    QTest::mouseClick(start, Qt::LeftButton, {}, QPoint(start->width() - 6, start->height() - 4));
    EXPECT_EQ(start->DisplayText(), "10:00");
    QTest::mouseClick(start, Qt::LeftButton, {}, QPoint(start->width() - 6, 3));
    EXPECT_EQ(start->DisplayText(), "11:00");

    // only digits reach the loop fields, and no more than 74 hours and 59 minutes
    Type(kRingHours, "9a9x9");
    EXPECT_EQ(Edit(kRingHours)->text(), "74");
    Type(kRingMinutes, "60");
    EXPECT_EQ(Edit(kRingMinutes)->text(), "59");
    Type(kRingMinutes, "");
    QApplication::clipboard()->setText("1b2");
    QTest::keyClick(Edit(kRingMinutes), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit(kRingMinutes)->text(), "12");
    QTest::mousePress(C<QWidget>(kRingMinutesSpin), Qt::LeftButton, {}, QPoint(4, 2));
    EXPECT_EQ(Edit(kRingMinutes)->text(), "13");
    EXPECT_EQ(dlg_->Entries().ringMinutes, 13);

    // Defaults
    Press(kDefault);
    const ParamsEntries d = dlg_->Entries();
    EXPECT_EQ(d.rate, 1);
    EXPECT_EQ(d.sourceLeft, 1);
    EXPECT_EQ(d.sourceRight, 0);
    EXPECT_FALSE(d.compression || d.stereo || d.agc || d.accu || d.ring || d.recordButton);
    EXPECT_EQ(d.inputLevel, 25);
    EXPECT_EQ(d.accuThreshold, 60);
    EXPECT_EQ(d.ringHours * 100 + d.ringMinutes, 100);
    EXPECT_EQ(d.buttonMode, 1);
    for (const TimerEntry& t : d.timers)
        EXPECT_FALSE(t.enabled);
    EXPECT_FALSE(Picker(kTimerTime)->isEnabled());
    EXPECT_FALSE(WroteSomething(firmware_->RequestLog()));
}

TEST_F(ParamsDlgTest, OkWritesTheValuesThatTheCommandLineToolReadsBack)
{
    dlg_ = Open();
    QTest::keyClick(Combo(kRate), Qt::Key_Up);         // 8 kHz
    QTest::keyClick(Combo(kSourceLeft), Qt::Key_Up);   // internal mic
    QTest::keyClick(Combo(kSourceRight), Qt::Key_Up);  // external mic
    QTest::keyClick(Combo(kButtonMode), Qt::Key_Home); // locked
    Click(Check(kRecordButton));
    SetTimer(2, QDate(2027, 3, 4), QTime(7, 45), QTime(0, 20));
    Type(kRingHours, "4");
    Type(kRingMinutes, "38");
    Press(IDOK);
    EXPECT_EQ(dlg_->result(), IDOK);
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_TRUE(answers_.AskedQuestions().empty());

    const auto shown =
        testsupport::RunProcess({testsupport::BinDir() + "/vark-cli", "params", "show"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    for (const char* line : {"compression=on\n",
                             "channels=stereo\n",
                             "rate=8000\n",
                             "source-left=internal-mic\n",
                             "source-right=external-mic\n",
                             "timer2.enabled=on\n",
                             "timer2.start=2027-01-02 10:00:00\n",
                             "timer2.duration=1:30:00\n",
                             "timer3.enabled=on\n",
                             "timer3.start=2027-03-04 07:45:00\n",
                             "timer3.duration=0:20:00\n",
                             "timer4.enabled=off\n",
                             "voice-activation=on\n",
                             "voice-threshold=37\n",
                             "loop=on\n",
                             "loop-length=4:38:00\n",
                             "button-mode=locked\n",
                             "record-button=on\n",
                             "agc=off\n",
                             "input-level=9\n"})
        EXPECT_NE(shown.out.find(line), std::string::npos) << line << shown.out;
    // what the device object holds is what went out
    CVarkDevice again;
    ASSERT_TRUE(again.Open(plugged_->DevicePath()));
    ASSERT_TRUE(again.PresentAccessCode(L""));
    again.ReadParameters();
    const VarkParams& p = again.Params();
    EXPECT_EQ(SerializeParams(p).size(), kVarkParamsSize);
    for (int i : {1, 2})
    {
        EXPECT_EQ(p.timers[i].start, device_.Params().timers[i].start);
        EXPECT_EQ(p.timers[i].duration, device_.Params().timers[i].duration);
    }
}

TEST_F(ParamsDlgTest, EveryRefusalShowsItsMessageAndWritesNothing)
{
    dlg_ = Open(64 * 1024);
    Click(C<skin::CSkinnedRadio>(kMono));
    QTest::keyClick(Combo(kSourceLeft), Qt::Key_Home); // none
    Press(IDOK);
    ExpectAsked(0, res::LoadString(res::ids::kNoSignalSource));
    EXPECT_EQ(answers_.AskedQuestions()[0].style & 0xF0, 0x10u);
    EXPECT_TRUE(dlg_->isVisible());

    Click(C<skin::CSkinnedRadio>(kStereo)); // right "Linear input" alone will do in stereo
    SetTimer(0, QDate(2027, 1, 2), QTime(8, 30), QTime(2, 0));
    Press(IDOK);
    ExpectAsked(1, res::FormatString(res::ids::kTimersOverlap, 1, 2));
    Picker(kTimerTime)->setTime(QTime(8, 0));
    Picker(kTimerDuration)->setTime(QTime(2, 0));
    SetTimer(3, QDate(2020, 5, 1), QTime(8, 0), QTime(0, 1));
    Press(IDOK);
    ExpectAsked(2, res::FormatString(res::ids::kTimerInThePast, 4));
    Click(Check(kTimerOn + 3));

    Type(kRingHours, "0");
    Type(kRingMinutes, "0");
    Press(IDOK);
    ExpectAsked(3, res::LoadString(res::ids::kZeroRingDuration));

    // 16 kHz stereo uncompressed, 74:59: more than is free (asked, "No"), then too long
    Click(Check(kCompression));
    Type(kRingHours, "74");
    Type(kRingMinutes, "59");
    answers_.AnswerMessage(IDNO);
    Press(IDOK);
    ExpectAsked(4, res::LoadString(res::ids::kNotEnoughMemoryForLoop));
    EXPECT_EQ(answers_.AskedQuestions()[4].style, 0x24u);
    ExpectAsked(5, res::FormatString(res::ids::kLoopTooLong, 9, 18));
    EXPECT_EQ(Edit(kRingHours)->text(), "9");
    EXPECT_EQ(Edit(kRingMinutes)->text(), "18");
    answers_.AnswerMessage(IDYES); // "change the loop length": nothing else happens
    Press(IDOK);
    ExpectAsked(6, res::LoadString(res::ids::kNotEnoughMemoryForLoop));
    EXPECT_EQ(answers_.AskedQuestions().size(), 7u);
    EXPECT_EQ(answers_.Unexpected(), 5); // the error boxes were answered with their OK
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_FALSE(WroteSomething(firmware_->RequestLog()));
}

TEST_F(ParamsDlgTest, SavedSettingsLoadBackAndBadFilesChangeNothing)
{
    dlg_ = Open();
    SetTimer(4, QDate(2027, 6, 7), QTime(21, 5), QTime(3, 33));
    const VarkParams saved = Shown();
    const std::string folder = env_.Path("vrp");
    std::filesystem::create_directories(folder);
    answers_.AnswerPath(folder + "/desk"); // the extension comes by default
    Press(kSave);
    ExpectAsked(0, res::LoadString(res::ids::kParameterFilesFilter)); // the file dialog's filter
    ASSERT_TRUE(testsupport::FileExists(folder + "/desk.vrp"));
    EXPECT_EQ(platform::WideToUtf8(settings_->LastOpenVrpDirectory), folder);
    Press(kDefault);
    EXPECT_FALSE(Shown() == saved);
    answers_.AnswerPath(folder + "/desk.vrp");
    Press(kLoad);
    EXPECT_TRUE(Shown() == saved);
    EXPECT_TRUE(answers_.AskedQuestions().size() == 2u); // the two file choices only

    // files that are not parameter files: a message, the values stay
    const std::string good = testsupport::ReadFile(folder + "/desk.vrp");
    std::string badSum = good;
    const size_t value = badSum.find('=') + 1;
    badSum[value] = badSum[value] == '0' ? '1' : '0';
    std::string lower = good;
    for (size_t i = value; i < lower.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(lower[i]));
    const std::pair<const char*, std::string> bad[] = {
        {"empty.vrp", ""},
        {"truncated.vrp", good.substr(0, good.size() / 2)},
        {"garbage.vrp", std::string("\x00\xff\x7f[Common]\x01VarkParams=\x80", 24)},
        {"checksum.vrp", badSum},
        {"lower.vrp", lower},
    };
    Press(kDefault);
    const VarkParams defaults = Shown();
    size_t asked = answers_.AskedQuestions().size();
    for (const auto& [name, bytes] : bad)
    {
        testsupport::WriteFile(folder + "/" + name, bytes);
        answers_.AnswerPath(folder + "/" + name);
        Press(kLoad);
        ExpectAsked(asked + 1,
                    res::FormatString(res::ids::kNotAParameterFile, (folder + "/" + name).c_str()));
        asked += 2;
        EXPECT_TRUE(Shown() == defaults) << name;
    }
    answers_.AnswerPath(folder + "/missing.vrp");
    Press(kLoad);
    ExpectAsked(asked + 1,
                res::FormatString(res::ids::kNotAParameterFile, (folder + "/missing.vrp").c_str()));
    EXPECT_TRUE(Shown() == defaults);

    // values out of range show as the controls can hold them
    VarkParams wild = device_.Params();
    wild.accuThreshold = 900;
    wild.sourceLeft = 77;
    wild.inputLevelLeft = 250;
    ASSERT_TRUE(SaveParamsFile(platform::Utf8ToWide(folder + "/wild.vrp"), wild));
    answers_.AnswerPath(folder + "/wild.vrp");
    Press(kLoad);
    EXPECT_EQ(dlg_->Entries().accuThreshold, 120);
    EXPECT_EQ(dlg_->Entries().sourceLeft, 0);
    EXPECT_EQ(Label(kInputLevelText), "54");

    // a save that the checks refuse, or that cannot be written, leaves no file
    Type(kRingHours, "0");
    Type(kRingMinutes, "0");
    answers_.AnswerPath(folder + "/refused.vrp");
    Press(kSave);
    EXPECT_EQ(answers_.AskedQuestions().back().text, res::LoadString(res::ids::kZeroRingDuration));
    EXPECT_FALSE(testsupport::FileExists(folder + "/refused.vrp"));
    Press(kDefault);
    testsupport::WriteFile(env_.Path("plain-file"), "x");
    answers_.AnswerPath(env_.Path("plain-file") + "/under-a-file.vrp");
    Press(kSave);
    EXPECT_EQ(answers_.AskedQuestions().back().text, res::LoadString(res::ids::kDiskWriteError));
    if (geteuid() != 0) // the owner of everything writes anywhere
    {
        const std::string locked = env_.Path("locked");
        std::filesystem::create_directories(locked);
        chmod(locked.c_str(), 0500);
        answers_.AnswerPath(locked + "/p.vrp");
        Press(kSave);
        EXPECT_EQ(answers_.AskedQuestions().back().text,
                  res::LoadString(res::ids::kDiskWriteError));
        EXPECT_TRUE(std::filesystem::is_empty(locked));
        chmod(locked.c_str(), 0700);
    }
    EXPECT_FALSE(WroteSomething(firmware_->RequestLog()));
}

TEST_F(ParamsDlgTest, UnpluggedRecorderShowsNoLevelFailsTheWriteAndCanBeCancelled)
{
    dlg_ = Open();
    C<skin::CSkinnedSlider>(kAccuSlider)->SetPos(0); // every live level reaches it
    auto* above = C<skin::CSkinnedImage>(kLevelAbove);
    ASSERT_TRUE(QTest::qWaitFor([&] { return above->isVisible(); }, 5000));
    plugged_->Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !above->isVisible(); }, 5000));
    EXPECT_EQ(C<skin::CSkinnedProgress>(kLevel)->value(), 0);
    Press(IDOK);
    ExpectAsked(0, res::LoadString(res::ids::kCantSaveParameters));
    EXPECT_TRUE(dlg_->isVisible());
    Press(IDCANCEL);
    EXPECT_EQ(dlg_->result(), IDCANCEL);
}

TEST_F(ParamsDlgTest, CancelKeepsTheRecordAndPlaybackStopsBeforeTheWrite)
{
    const VarkParams before = device_.Params();
    dlg_ = Open();
    QTest::keyClick(Combo(kRate), Qt::Key_Up);
    Press(IDCANCEL);
    EXPECT_EQ(dlg_->result(), IDCANCEL);
    EXPECT_TRUE(device_.Params() == before);

    dlg_ = Open();
    int stopped = 0;
    dlg_->stopRecorderPlayback = [&]
    {
        ++stopped;
        return true;
    };
    QTest::keyClick(Combo(kRate), Qt::Key_Up);
    QElapsedTimer waited;
    waited.start();
    Press(IDOK);
    EXPECT_EQ(stopped, 1);
    EXPECT_FALSE(WroteSomething(firmware_->RequestLog())); // not before the record has closed
    Press(IDOK); // ignored while it waits, and so is Escape
    QTest::keyClick(dlg_.get(), Qt::Key_Escape);
    EXPECT_TRUE(dlg_->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg_->result() == IDOK; }, 10000));
    EXPECT_GE(waited.elapsed(), CParamsDlg::kPlaybackStopMs - 10);
    EXPECT_EQ(stopped, 1);
    EXPECT_TRUE(WroteSomething(firmware_->RequestLog()));
    EXPECT_EQ(device_.Params().rate16k, 0);
}

// Every control sits inside the dialog where its skin puts it, in every language; the
// pictures go to $VARK_SHOTS_DIR when it is set.
TEST_F(ParamsDlgTest, RendersInEveryLanguage)
{
    const char* shots = std::getenv("VARK_SHOTS_DIR");
    for (platform::Lcid lcid : res::Languages())
    {
        platform::SetThreadLocale(lcid);
        auto dlg = Open();
        EXPECT_EQ(dlg->size(), QSize(864, 528));
        for (QWidget* w : dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        {
            if (w->isVisible() && dynamic_cast<skin::SkinLayer*>(w))
            {
                EXPECT_TRUE(dlg->rect().contains(w->geometry())) << lcid;
            }
        }
        if (shots)
        {
            // with the level meter running
            auto* level = Control<skin::CSkinnedProgress>(dlg.get(), kLevel);
            EXPECT_TRUE(QTest::qWaitFor([&] { return level->value() > 0; }, 5000));
            QDir().mkpath(shots);
            dlg->grab().save(
                QString("%1/params-%2.png").arg(shots).arg(res::LanguageFileName(lcid)));
        }
    }
}

} // namespace
