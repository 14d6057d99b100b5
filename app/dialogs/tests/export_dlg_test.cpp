// "Copy to disk" against the virtual recorder over a real socket: OK's checks, a signed run
// with joined fragments (the same bytes as vark-cli's export), deselection, the questions on
// the UI thread, cancel, stop, the recorder unplugged and a file that cannot be written.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "dialogs/drive_serial_dlg.h"
#include "dialogs/export_dlg.h"
#include "dialogs/passphrase_dlg.h"
#include "dialogs/records_list.h"
#include "platform/little_endian.h"
#include "platform/text.h"
#include "plugged_recorder.h"
#include "recorder/drive_demo.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "settings/drive_serials.h"
#include "skin/modal_questions.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "testsupport/test_env.h"
#include "transfer/export_rules.h"
#include "transfer/signature.h"
#include "transfer/signing_key.h"

namespace
{

using namespace dialogs;
namespace fs = std::filesystem;
using Dlg = CExportDlg;

// Records every message it answers and whether it was asked on the UI thread.
class Responder : public skin::ScriptedResponder
{
public:
    int Message(QWidget* parent, const std::string& text, uint32_t style) override
    {
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++offUiThread;
        if (onMessage) onMessage(text);
        return ScriptedResponder::Message(parent, text, style);
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const auto& a : AskedQuestions())
            t.push_back(a.text);
        return t;
    }
    int offUiThread = 0;
    std::function<void(const std::string&)> onMessage;
};

template <class T> T* Control(QWidget& dlg, int id)
{
    for (T* c : dlg.findChildren<T*>())
        if (auto* layer = dynamic_cast<skin::SkinLayer*>(c); layer && layer->ControlId() == id)
            return c;
    return nullptr;
}

void Click(QWidget& dlg, int id)
{
    Control<QAbstractButton>(dlg, id)->click();
}

std::string Fmt(uint32_t id, const std::string& arg)
{
    return res::FormatWithStrings(id, {arg});
}

class ExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings_ = std::make_unique<CAppSettings>(L"");
        recorder::RecorderImage image;
        image.identity.serial = 4242;
        // two "A" fragments 3 s apart (8 kHz mono mu-law) that join, then a 16 kHz PCM record
        const uint32_t t0 = 86400 * 400 + 3600;
        const std::vector<std::tuple<uint32_t, uint32_t, size_t>> records = {
            {t0, 0x20, 16000}, {t0 + 5, 0x20, 24000}, {t0 + 60, 0x05, 64000}};
        for (const auto& [start, header, size] : records)
        {
            recorder::StoredRecord r;
            r.start = start;
            r.header = header;
            for (size_t i = 0; i < size; ++i)
                r.data.push_back(static_cast<uint8_t>(i * 7 + start));
            image.records.push_back(r);
        }
        recorder_.Plug(image);
        ASSERT_FALSE(HasFailure());
        for (int i = 0; i < 3; ++i)
        {
            vark::RecordInfo info;
            ASSERT_TRUE(device_.GetRecordInfo(uint16_t(i), info));
            list_.InsertRecord(i, i, info);
            names_.push_back(vark::ExportBaseName(info) + ".wav");
        }
        out_ = env_.Path("out dir Запись");
        settings_->LastExportDirectory = platform::Utf8ToWide(out_);
        settings_->PauseLength = 2;
        firmware_->ClearRequestLog();
    }
    void TearDown() override { firmware_->SetLogSink({}); }

    std::vector<ExportEntry> SelectAll()
    {
        std::vector<ExportEntry> s;
        for (int i = 0; i < 3; ++i)
        {
            list_.topLevelItem(i)->setSelected(true);
            s.push_back({i, uint16_t(i)});
        }
        return s;
    }
    std::vector<int> Selected() const { return list_.SelectedRows(); }
    // Runs `action` on the UI thread as soon as the worker opens record `index` to copy it:
    // the third time the recorder is told to select it (counting, header, copy).
    void WhenCopying(int index, std::function<void()> action)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        actions_[index] = {0, std::move(action)};
        firmware_->SetLogSink(
            [this](const recorder::RequestLogEntry& e)
            {
                if (e.direction != 'W' || e.command != 10 || e.input.size() < 6) return;
                std::lock_guard<std::mutex> lock(mutex_);
                auto it = actions_.find(e.input[4] | e.input[5] << 8);
                if (it != actions_.end() && ++it->second.first == 3)
                    QMetaObject::invokeMethod(&list_, it->second.second, Qt::QueuedConnection);
            });
    }
    void ForgetActions()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        actions_.clear();
    }
    int Run(Dlg& dlg)
    {
        QTimer::singleShot(0, &dlg, [&dlg] { Click(dlg, skin::IDOK); });
        return dlg.exec();
    }
    void Slow(uint64_t bytesPerSecond)
    {
        recorder::FirmwareConfig c = firmware_->Config();
        c.throttleBytesPerSecond = bytesPerSecond;
        firmware_->SetConfig(c);
    }
    std::string File(const std::string& name) const { return out_ + "/" + name; }
    // A file closed as the writer closes it: both sizes in the header match what it holds
    // (a file cut short by a failure has no trailer).
    static void ExpectCompleteHeader(const std::string& wav, bool trailer)
    {
        const size_t trailerSize = trailer ? 156 : 0;
        ASSERT_GE(wav.size(), 46u + trailerSize);
        const auto* p = reinterpret_cast<const uint8_t*>(wav.data());
        EXPECT_EQ(platform::LoadLE32(p + 4), wav.size() - 8);
        EXPECT_EQ(platform::LoadLE32(p + 42), wav.size() - 46 - trailerSize);
    }

    testsupport::ScopedTestEnv env_;
    Responder answers_;
    std::unique_ptr<CAppSettings> settings_;
    dialogs_test::PluggedRecorder recorder_;
    std::shared_ptr<recorder::RecorderFirmware>& firmware_ = recorder_.firmware;
    std::unique_ptr<recorder::VirtualRecorder>& plugged_ = recorder_.plugged;
    vark::CVarkDevice& device_ = recorder_.device;
    CRecordsList list_{nullptr};
    std::vector<std::string> names_;
    std::string out_;
    std::mutex mutex_;
    std::map<int, std::pair<int, std::function<void()>>> actions_;
};

} // namespace

TEST_F(ExportTest, OkChecksTheEntriesInOrderAndStaysOpen)
{
    Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
    dlg.show();
    auto* folder = Control<skin::CSkinnedEdit>(dlg, Dlg::IDC_EDIT_DIR);
    auto* pause = Control<skin::CSkinnedEdit>(dlg, Dlg::IDC_EDIT_PAUSE);
    EXPECT_EQ(folder->text().toStdString(), out_);
    EXPECT_EQ(pause->text(), "2");
    EXPECT_TRUE(Control<skin::CSkinnedRadio>(dlg, Dlg::IDC_RADIO_PAUSE0)->isChecked());
    EXPECT_EQ(Control<skin::CSkinnedProgress>(dlg, Dlg::IDC_PROGRESS_TOTAL)->value(), 0);

    // the browser: cancelled keeps the folder, a choice replaces it
    answers_.AnswerPath(std::nullopt);
    answers_.AnswerPath(env_.Path("chosen"));
    for (int i = 0; i < 6; ++i)
        answers_.AnswerMessage(skin::IDOK);
    Click(dlg, Dlg::IDC_BUTTON_DIR);
    EXPECT_EQ(folder->text().toStdString(), out_);
    Click(dlg, Dlg::IDC_BUTTON_DIR);
    EXPECT_EQ(folder->text().toStdString(), env_.Path("chosen"));
    EXPECT_EQ(answers_.AskedQuestions()[0].text, res::LoadString(res::ids::kSelectTargetFolder));

    // not a number: the edit reads 0, then the empty folder comes first
    pause->setText("4x");
    folder->setText("  ");
    Click(dlg, skin::IDOK);
    EXPECT_EQ(pause->text(), "0");
    // a fixed pause of 0, then of 60: the pause message, the edit set to 1
    folder->setText(QString::fromStdString(out_));
    Click(dlg, skin::IDOK);
    pause->setText("60");
    Click(dlg, skin::IDOK);
    EXPECT_EQ(pause->text(), "1");
    pause->setText("-3");
    Click(dlg, skin::IDOK);
    EXPECT_EQ(pause->text(), "1");
    // a folder below a plain file cannot be made
    testsupport::WriteFile(env_.Path("plain"), "x");
    folder->setText(QString::fromStdString(env_.Path("plain") + "/sub"));
    pause->setText("3");
    Click(dlg, skin::IDOK);
    const std::string tooLong = env_.Path(std::string(4000, 'd'));
    folder->setText(QString::fromStdString(tooLong));
    Click(dlg, skin::IDOK);
    const std::vector<std::string> expected = {
        res::LoadString(res::ids::kSelectTargetFolder),
        res::LoadString(res::ids::kSelectTargetFolder),
        res::LoadString(res::ids::kEnterTargetFolder),
        res::LoadString(res::ids::kPauseOutOfRange),
        res::LoadString(res::ids::kPauseOutOfRange),
        res::LoadString(res::ids::kPauseOutOfRange),
        Fmt(res::ids::kFolderNotCreated, env_.Path("plain") + "/sub"),
        Fmt(res::ids::kFolderNotCreated, tooLong)};
    EXPECT_EQ(answers_.Texts(), expected);
    for (size_t i = 2; i < expected.size(); ++i)
        EXPECT_EQ(answers_.AskedQuestions()[i].style, 0x10u) << i;
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.Running());
    EXPECT_EQ(firmware_->RequestLog().size(), 0u) << "nothing asked of the recorder";
    // the real pause takes any length, and the fixed length is not asked for then
    Click(dlg, Dlg::IDC_RADIO_PAUSE1);
    EXPECT_FALSE(pause->isEnabled());
    Click(dlg, skin::IDC_CANCEL);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(answers_.Unexpected(), 0);
}

TEST_F(ExportTest, SignedRunJoinsFragmentsLikeTheCommandLineAndDeselectsRows)
{
    const std::string cliOut = env_.Path("cli");
    const auto cli =
        testsupport::RunProcess({testsupport::BinDir() + "/vark-cli", "export", "--records", "1-3",
                                 "--pause", "2", "--sign", "--out", cliOut});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;

    Slow(100000);
    Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
    Click(dlg, Dlg::IDC_CHK_MAKE_SIGN);
    ASSERT_TRUE(Control<skin::CSkinnedCheck>(dlg, Dlg::IDC_CHK_MAKE_SIGN)->isChecked());
    bool seenMidRun = false;
    WhenCopying(2,
                [&]
                {
                    // the first file is done: its rows are deselected, the others not yet
                    EXPECT_EQ(Selected(), (std::vector<int>{2}));
                    EXPECT_EQ(Control<skin::CSkinnedStatic>(dlg, Dlg::IDC_STATIC_PROGRESS_CUR)
                                  ->text()
                                  .toStdString(),
                              res::LoadString(res::ids::kWritingRecordFile));
                    // 16000 + 16000 noise + 24000 + 64000 bytes = 117 KiB
                    EXPECT_EQ(
                        Control<skin::CSkinnedStatic>(dlg, Dlg::IDC_STATIC_TOTAL_TO_WRITE)->text(),
                        "117");
                    EXPECT_FALSE(Control<QWidget>(dlg, skin::IDOK)->isEnabled());
                    EXPECT_FALSE(Control<QWidget>(dlg, Dlg::IDC_EDIT_DIR)->isEnabled());
                    EXPECT_FALSE(Control<QWidget>(dlg, Dlg::IDC_CHK_KEEP_SEL)->isEnabled());
                    seenMidRun = true;
                });
    std::srand(1); // the noise as a fresh vark-cli process makes it
    EXPECT_EQ(Run(dlg), skin::IDOK);
    EXPECT_TRUE(seenMidRun);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(Control<skin::CSkinnedStatic>(dlg, Dlg::IDC_STATIC_TOTAL_WRITED)->text(), "117");
    EXPECT_EQ(Control<skin::CSkinnedStatic>(dlg, Dlg::IDC_STATIC_PROGRESS_TOTAL_PERC)->text(),
              "100");
    EXPECT_EQ(Control<skin::CSkinnedProgress>(dlg, Dlg::IDC_PROGRESS_TOTAL)->value(), 100);
    EXPECT_TRUE(answers_.AskedQuestions().empty());

    // two files, each with its signature, byte for byte what vark-cli wrote
    for (const std::string& name : {names_[0], names_[2]})
        for (const std::string& file : {name, name + ".dsg"})
        {
            SCOPED_TRACE(file);
            ASSERT_TRUE(testsupport::FileExists(File(file)));
            EXPECT_TRUE(testsupport::ReadFile(File(file)) ==
                        testsupport::ReadFile(cliOut + "/" + file));
        }
    EXPECT_FALSE(testsupport::FileExists(File(names_[1])));
    EXPECT_EQ(testsupport::ReadFile(File(names_[0])).size(), 46u + 16000 + 16000 + 24000 + 156);
    std::wstring exported;
    EXPECT_TRUE(vark::Verify(File(names_[2] + ".dsg"), File(names_[2]), 4242, exported));
    // the choices are remembered
    EXPECT_EQ(settings_->DigitalSign, 1u);
    EXPECT_EQ(settings_->PauseLength, 2u);
    EXPECT_EQ(platform::WideToUtf8(settings_->LastExportDirectory), out_);
}

TEST_F(ExportTest, KeepSelectionAndTheOverwriteQuestionOnTheUiThread)
{
    fs::create_directories(out_);
    testsupport::WriteFile(File(names_[0]), "old first");
    testsupport::WriteFile(File(names_[2]), "old third");
    answers_.AnswerMessage(skin::IDNO);  // keep the first file
    answers_.AnswerMessage(skin::IDYES); // overwrite the third
    Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
    Click(dlg, Dlg::IDC_CHK_KEEP_SEL);
    // a record playing from the recorder is stopped first and given its time to close
    using Clock = std::chrono::steady_clock;
    std::atomic<int64_t> okAt{0}, firstRequestAt{0};
    dlg.stopRecorderPlayback = [&]
    {
        okAt = Clock::now().time_since_epoch().count();
        return true;
    };
    firmware_->SetLogSink(
        [&](const recorder::RequestLogEntry&)
        {
            int64_t none = 0;
            firstRequestAt.compare_exchange_strong(none, Clock::now().time_since_epoch().count());
        });
    EXPECT_EQ(Run(dlg), skin::IDOK);
    ASSERT_NE(okAt, 0);
    EXPECT_GE(Clock::duration(firstRequestAt - okAt), std::chrono::milliseconds(200));
    EXPECT_EQ(answers_.Texts(),
              (std::vector<std::string>{Fmt(res::ids::kRecordExists, File(names_[0])),
                                        Fmt(res::ids::kRecordExists, File(names_[2]))}));
    EXPECT_EQ(answers_.AskedQuestions()[0].style, 0x24u);
    EXPECT_EQ(answers_.offUiThread, 0);
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(testsupport::ReadFile(File(names_[0])), "old first");
    // the fragment after a skipped one starts its own file
    EXPECT_EQ(testsupport::ReadFile(File(names_[1])).size(), 46u + 24000 + 156);
    EXPECT_EQ(testsupport::ReadFile(File(names_[2])).size(), 46u + 64000 + 156);
    EXPECT_FALSE(testsupport::FileExists(File(names_[1] + ".dsg")));
    EXPECT_EQ(answers_.Unexpected(), 0);
}

TEST_F(ExportTest, CancelAsksNoGoesOnYesStopsAndDeletesTheFileBeingWritten)
{
    Slow(40000);
    answers_.AnswerMessage(skin::IDNO);
    answers_.AnswerMessage(skin::IDYES);
    Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
    WhenCopying(0,
                [&]
                {
                    Click(dlg, skin::IDCANCEL);
                    EXPECT_TRUE(dlg.isVisible()) << "cancel only signals the worker";
                });
    WhenCopying(2,
                [&]
                {
                    QTest::keyClick(&dlg, Qt::Key_Escape);
                    dlg.close();
                });
    EXPECT_EQ(Run(dlg), skin::IDOK);
    EXPECT_EQ(answers_.Texts(),
              (std::vector<std::string>{res::LoadString(res::ids::kCancelCopying),
                                        res::LoadString(res::ids::kCancelCopying)}));
    EXPECT_EQ(answers_.offUiThread, 0);
    ExpectCompleteHeader(testsupport::ReadFile(File(names_[0])), true);
    EXPECT_FALSE(testsupport::FileExists(File(names_[2]))) << "the cancelled file is removed";
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
    EXPECT_EQ(answers_.Unexpected(), 0);

    // Stop, as the main window's exit does it: no question, the current file goes as well
    list_.clearSelection();
    ForgetActions();
    Dlg again(nullptr, *settings_, device_, SelectAll(), list_);
    WhenCopying(2, [&] { again.Stop(); });
    fs::remove(File(names_[0]));
    EXPECT_EQ(Run(again), skin::IDOK);
    EXPECT_EQ(answers_.AskedQuestions().size(), 2u);
    EXPECT_TRUE(testsupport::FileExists(File(names_[0])));
    EXPECT_FALSE(testsupport::FileExists(File(names_[2])));
}

TEST_F(ExportTest, UnplugMidRecordEndsWithCantOpenRecordAndAClosedUnsignedFile)
{
    recorder::Fault unplug;
    unplug.kind = recorder::Fault::Kind::UnplugAfter;
    unplug.bytes = 30000;
    firmware_->AddFault(unplug);
    answers_.AnswerMessage(skin::IDOK);
    Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
    Click(dlg, Dlg::IDC_CHK_MAKE_SIGN);
    EXPECT_EQ(Run(dlg), skin::IDOK);
    EXPECT_EQ(answers_.Texts(),
              (std::vector<std::string>{res::LoadString(res::ids::kCantOpenRecord)}));
    EXPECT_EQ(answers_.AskedQuestions()[0].style, 0x10u);
    EXPECT_EQ(answers_.offUiThread, 0);
    EXPECT_FALSE(testsupport::FileExists(File(names_[0]))); // not finished: only its part
    const std::string wav = testsupport::ReadFile(File("." + names_[0] + ".part"));
    ExpectCompleteHeader(wav, false);
    EXPECT_LT(wav.size(), 46u + 16000 + 16000 + 24000);
    EXPECT_FALSE(testsupport::FileExists(File(names_[0] + ".dsg")));
    EXPECT_FALSE(testsupport::FileExists(File(names_[2])));
}

TEST_F(ExportTest, AFileThatCannotBeWrittenEndsWithTheDiskErrorAndKeepsTheFinishedOnes)
{
    // a folder where the third file should go: it exists, is to be overwritten, and cannot be
    fs::create_directories(File(names_[2]));
    answers_.AnswerMessage(skin::IDYES);
    answers_.AnswerMessage(skin::IDOK);
    Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
    Click(dlg, Dlg::IDC_CHK_MAKE_SIGN);
    EXPECT_EQ(Run(dlg), skin::IDOK);
    EXPECT_EQ(answers_.Texts(),
              (std::vector<std::string>{Fmt(res::ids::kRecordExists, File(names_[2])),
                                        res::LoadString(res::ids::kDiskWriteError)}));
    EXPECT_EQ(answers_.AskedQuestions()[1].style, 0x10u);
    std::wstring exported;
    EXPECT_TRUE(vark::Verify(File(names_[0] + ".dsg"), File(names_[0]), 4242, exported));
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
}

// Open signatures: the signing key is made through the passphrase dialog the first time (two
// entries that differ are refused), each file gets its .minisig; later a wrong passphrase is
// said, and cancelling the passphrase leaves the dialog open with nothing written.
TEST_F(ExportTest, OpenSignaturesWithTheKeyMadeThroughThePassphraseDialog)
{
    std::vector<std::pair<std::string, std::string>> entries = {{"one", "two"},
                                                                {"pass words", "pass words"}};
    std::function<void()> afterCancel;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout,
                     [&]
                     {
                         auto* ask =
                             dynamic_cast<CPassphraseDlg*>(QApplication::activeModalWidget());
                         if (!ask) return;
                         if (entries.empty())
                         {
                             Click(*ask, skin::IDCANCEL);
                             if (afterCancel) QTimer::singleShot(0, afterCancel);
                             return;
                         }
                         ask->Field()->setText(QString::fromStdString(entries.front().first));
                         ask->AgainField()->setText(QString::fromStdString(entries.front().second));
                         entries.erase(entries.begin());
                         Click(*ask, skin::IDOK);
                     });
    answer.start(20);
    answers_.AnswerMessage(skin::IDOK); // the passphrases differ
    {
        Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
        Click(dlg, Dlg::IDC_CHK_OPEN_SIGN);
        EXPECT_EQ(Run(dlg), skin::IDOK);
    }
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(answers_.Texts(),
              (std::vector<std::string>{res::LoadString(res::ids::kPassphrasesDiffer)}));
    EXPECT_EQ(settings_->OpenSignature, 1u);
    ASSERT_TRUE(vark::OwnKeyEncrypted());
    for (const std::string& name : {names_[0], names_[2]})
    {
        const auto r = vark::opensig::CheckFile(
            File(name), testsupport::ReadFile(File(name + ".minisig")), *vark::OwnPublicKey());
        EXPECT_EQ(r.result, vark::opensig::Check::authentic) << name;
        EXPECT_EQ(r.trustedComment.rfind("recorder:4242\t", 0), 0u) << r.trustedComment;
    }

    // the key is there now: a wrong passphrase is said, and a cancel starts nothing
    fs::remove_all(out_);
    entries = {{"wrong words", ""}};
    answers_.AnswerMessage(skin::IDOK); // the wrong passphrase
    Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
    ASSERT_TRUE(Control<skin::CSkinnedCheck>(dlg, Dlg::IDC_CHK_OPEN_SIGN)->isChecked());
    // the export dialog is still open after the passphrase was cancelled: cancel it too
    afterCancel = [&dlg]
    {
        EXPECT_TRUE(Control<QWidget>(dlg, skin::IDOK)->isEnabled());
        Click(dlg, skin::IDCANCEL);
    };
    QTimer::singleShot(0, &dlg, [&dlg] { Click(dlg, skin::IDOK); });
    EXPECT_EQ(dlg.exec(), skin::IDCANCEL);
    EXPECT_EQ(answers_.Texts().back(), res::LoadString(res::ids::kWrongPassphrase));
    EXPECT_FALSE(fs::exists(out_) && !fs::is_empty(out_));
}

// The file format and Broadcast WAV are remembered; Broadcast WAV is off for FLAC, whose
// comments always carry its fields; each writes what was chosen.
TEST_F(ExportTest, FormatAndBroadcastWavAreRememberedAndWritten)
{
    {
        Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
        auto* format = Control<skin::CSkinnedCombo>(dlg, Dlg::IDC_COMBO_FORMAT);
        auto* bwf = Control<skin::CSkinnedCheck>(dlg, Dlg::IDC_CHK_BWF);
        EXPECT_EQ(format->currentIndex(), 0);
        EXPECT_TRUE(bwf->isEnabled());
        Click(dlg, Dlg::IDC_CHK_BWF);
        EXPECT_EQ(Run(dlg), skin::IDOK);
    }
    EXPECT_EQ(settings_->BroadcastWav, 1u);
    EXPECT_NE(testsupport::ReadFile(File(names_[2])).find("bext"), std::string::npos);

    fs::remove_all(out_);
    Dlg dlg(nullptr, *settings_, device_, SelectAll(), list_);
    auto* format = Control<skin::CSkinnedCombo>(dlg, Dlg::IDC_COMBO_FORMAT);
    auto* bwf = Control<skin::CSkinnedCheck>(dlg, Dlg::IDC_CHK_BWF);
    EXPECT_TRUE(bwf->isChecked());
    format->setCurrentIndex(1);
    EXPECT_FALSE(bwf->isEnabled());
    EXPECT_EQ(Run(dlg), skin::IDOK);
    EXPECT_EQ(settings_->ExportFormat, 1u);
    std::string flac = names_[2];
    flac.replace(flac.size() - 4, 4, ".flac");
    EXPECT_EQ(testsupport::ReadFile(File(flac)).substr(0, 4), "fLaC");
    EXPECT_FALSE(testsupport::FileExists(File(names_[2])));
}

// A drive recorder's records: the pause does not apply, the serial of the signatures is asked
// for once (a wrong entry refused) and remembered by the drive's identity, a WAV file is copied
// as it is and an MP3 converted with its original kept beside it.
TEST(DriveExportDialog, SerialAskedOnceWavCopiedMp3ConvertedWithItsOriginal)
{
    testsupport::ScopedTestEnv env;
    Responder answers;
    const std::string root = env.Path("VOICE_PEN"), out = env.Path("out");
    std::string error;
    ASSERT_TRUE(recorder::MakeDrive(root, true, &error)) << error;
    DriveExportSource source{{}, "uuid:1234-ABCD", "VOICE_PEN"};
    for (const drive::DriveRecord& r : drive::ListRecords(root))
        if (r.name == "260314_0926.WAV" || r.name == "VOICE006.MP3") source.records.push_back(r);
    ASSERT_EQ(source.records.size(), 2u);
    CAppSettings settings(L"");
    settings.LastExportDirectory = platform::Utf8ToWide(out);
    settings.DigitalSign = 1;
    CRecordsList list(nullptr);

    // Answers the serial dialog: a wrong entry first, then 777; any later one fails the test.
    int asked = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout,
                     [&]
                     {
                         auto* ask =
                             dynamic_cast<CDriveSerialDlg*>(QApplication::activeModalWidget());
                         if (!ask) return;
                         ++asked;
                         if (asked > 2)
                         {
                             ADD_FAILURE() << "the serial was asked for again";
                             return Click(*ask, skin::IDCANCEL);
                         }
                         ask->Field()->setText(asked == 1 ? "7x" : "777");
                         Click(*ask, skin::IDOK);
                     });
    answer.start(20);
    answers.AnswerMessage(skin::IDOK); // the wrong serial message
    {
        Dlg dlg(nullptr, settings, source, {{0, 0}, {1, 1}}, list);
        EXPECT_FALSE(Control<QWidget>(dlg, Dlg::IDC_RADIO_PAUSE0)->isEnabled());
        EXPECT_FALSE(Control<QWidget>(dlg, Dlg::IDC_EDIT_PAUSE)->isEnabled());
        ASSERT_TRUE(Control<QWidget>(dlg, Dlg::IDC_CHK_KEEP_ORIGINAL)->isEnabled());
        Click(dlg, Dlg::IDC_CHK_KEEP_ORIGINAL);
        QTimer::singleShot(0, &dlg, [&dlg] { Click(dlg, skin::IDOK); });
        EXPECT_EQ(dlg.exec(), skin::IDOK);
    }
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(answers.Texts(),
              (std::vector<std::string>{res::LoadString(res::ids::kWrongSerialNumber)}));
    EXPECT_EQ(RememberedDriveSerial("uuid:1234-ABCD"), 777u);

    std::map<std::string, std::string> written;
    for (const auto& e : fs::directory_iterator(out))
        written[e.path().filename().string()] = testsupport::ReadFile(e.path());
    // two WAV files, their signatures, the MP3 kept under its own extension and the manifest
    ASSERT_EQ(written.size(), 6u);
    const std::string wav = "2026_03_14 09_26_53.wav", mp3 = "2026_03_18 11_30_00";
    EXPECT_NE(written["SHA256SUMS"].find("  " + mp3 + ".MP3\n"), std::string::npos);
    ASSERT_TRUE(written.count(wav) && written.count(mp3 + ".wav") && written.count(mp3 + ".MP3"));
    EXPECT_TRUE(written[wav] == testsupport::ReadFile(source.records[0].path));
    EXPECT_TRUE(written[mp3 + ".MP3"] == testsupport::ReadFile(source.records[1].path));
    std::wstring exported;
    EXPECT_TRUE(
        vark::Verify(out + "/" + mp3 + ".wav.dsg", out + "/" + mp3 + ".wav", 777, exported));

    // a second copy takes the remembered serial without asking
    fs::remove_all(out);
    {
        Dlg dlg(nullptr, settings, source, {{0, 0}}, list);
        QTimer::singleShot(0, &dlg, [&dlg] { Click(dlg, skin::IDOK); });
        EXPECT_EQ(dlg.exec(), skin::IDOK);
    }
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(vark::Verify(out + "/" + wav + ".dsg", out + "/" + wav, 777, exported));
}
