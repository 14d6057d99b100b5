// The signature check and the key dialog as a user drives them: an authentic, a renamed and a
// changed file, a wrong serial, broken signature files and wrong entries; the check runs on
// its own thread while the window goes on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "dialogs/key_dlg.h"
#include "dialogs/passphrase_dlg.h"
#include "dialogs/serial_choice.h"
#include "dialogs/sign_dlg.h"
#include "platform/text.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "skin/modal_questions.h"
#include "skin/skinned_controls.h"
#include "testsupport/test_env.h"
#include "transfer/open_signature.h"
#include "transfer/sha1.h"
#include "transfer/signature.h"
#include "transfer/signing_key.h"
#include "transfer/wav_writer.h"

namespace
{

using namespace dialogs;
namespace fs = std::filesystem;
using skin::ScriptedResponder; // unscripted messages are answered with OK

constexpr uint32_t kSerial = 4242;

// An exported file of `dataBytes` and its signature for kSerial, as the export writes them.
std::string MakeSignedFile(const std::string& folder, size_t dataBytes)
{
    fs::create_directories(folder);
    const std::string base = "2026_05_01 10_20_30";
    const std::string path = folder + "/" + base + ".wav";
    vark::RecordInfo format;
    format.compressed = 1;
    vark::CWavWriter writer;
    EXPECT_TRUE(writer.Create(path, format));
    std::string data(dataBytes, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 13);
    EXPECT_TRUE(writer.Write(data.data(), data.size()));
    EXPECT_TRUE(writer.WriteTrailer(base));
    EXPECT_TRUE(writer.Close());
    const std::string bytes = testsupport::ReadFile(path);
    vark::Sha1 sha;
    sha.Input(bytes.data(), bytes.size());
    EXPECT_TRUE(vark::Sign(path, sha, kSerial));
    return path;
}

class SignTest : public ::testing::Test
{
protected:
    void SetUp() override { settings_ = std::make_unique<CAppSettings>(L""); }

    // OK, waiting for the check to end; the texts of the messages it gave.
    std::vector<std::string> Check(CSignDlg& dlg)
    {
        const size_t before = answers_.AskedQuestions().size();
        dlg.OnCommand(skin::IDOK);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.Verifying(); }, 60000));
        std::vector<std::string> texts;
        for (size_t i = before; i < answers_.AskedQuestions().size(); ++i)
            texts.push_back(answers_.AskedQuestions()[i].text);
        return texts;
    }
    uint32_t LastStyle() const { return answers_.AskedQuestions().back().style; }

    testsupport::ScopedTestEnv env_;
    ScriptedResponder answers_;
    std::unique_ptr<CAppSettings> settings_;
};

std::vector<std::string> Texts(std::initializer_list<uint32_t> ids)
{
    std::vector<std::string> t;
    for (uint32_t id : ids)
        t.push_back(res::LoadString(id));
    return t;
}

} // namespace

TEST_F(SignTest, AuthenticRenamedChangedAndAWrongSerial)
{
    const std::string folder = env_.Path("signed ملف");
    const std::string wav = MakeSignedFile(folder, 4u << 20);
    CSignDlg dlg(nullptr, *settings_, kSerial);
    dlg.show();
    EXPECT_TRUE(dlg.Serial().RecorderButton()->isChecked());
    EXPECT_FALSE(dlg.Serial().Field()->isEnabled());

    // the browser starts where the exports went, fills the file and finds the signature beside it
    settings_->LastExportDirectory = platform::Utf8ToWide(env_.Path("exports"));
    answers_.AnswerPath(wav);
    dlg.OnCommand(CSignDlg::IDC_BUTTON_FILE);
    EXPECT_EQ(answers_.AskedQuestions().back().text, res::LoadString(res::ids::kSoundFilesFilter));
    EXPECT_EQ(answers_.AskedQuestions().back().startFolder, env_.Path("exports"));
    EXPECT_EQ(dlg.WavField()->text().toStdString(), wav);
    EXPECT_EQ(dlg.SignatureField()->text().toStdString(), wav + ".dsg");
    EXPECT_EQ(platform::WideToUtf8(settings_->LastOpenWaveDirectory), folder);
    answers_.AnswerPath(std::nullopt); // then where the last one was chosen
    dlg.OnCommand(CSignDlg::IDC_BUTTON_FILE);
    EXPECT_EQ(answers_.AskedQuestions().back().startFolder, folder);
    EXPECT_EQ(dlg.WavField()->text().toStdString(), wav);

    // a large file is checked on its own thread under the wait cursor
    dlg.WavField()->setText(QString::fromStdString("  " + wav + " "));
    dlg.OnCommand(skin::IDOK);
    EXPECT_TRUE(dlg.Verifying());
    ASSERT_TRUE(QApplication::overrideCursor());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dlg.OnCommand(skin::IDCANCEL); // waits for the check
    QTest::keyClick(&dlg, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Verifying(); }, 60000));
    EXPECT_FALSE(QApplication::overrideCursor());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(answers_.AskedQuestions().back().text, res::LoadString(res::ids::kFileIsAuthentic));
    EXPECT_EQ(LastStyle(), 0u);

    // renamed: authentic, then the name it was exported under
    const std::string renamed = folder + "/interview.wav";
    fs::copy_file(wav, renamed);
    dlg.WavField()->setText(QString::fromStdString(renamed));
    EXPECT_EQ(Check(dlg), (std::vector<std::string>{res::LoadString(res::ids::kFileIsAuthentic),
                                                    res::LoadString(res::ids::kFileNameChanged) +
                                                        "2026_05_01 10_20_30"}));
    EXPECT_EQ(LastStyle(), 0x30u);

    // another serial typed in
    dlg.Serial().TypedButton()->click();
    EXPECT_TRUE(dlg.Serial().Field()->isEnabled());
    dlg.Serial().Field()->setText("4243");
    EXPECT_EQ(Check(dlg), Texts({res::ids::kFileChanged}));
    EXPECT_EQ(LastStyle(), 0x10u);
    dlg.Serial().Field()->setText(" 4242 ");
    EXPECT_EQ(Check(dlg).size(), 2u) << "the typed serial is trimmed";

    // one changed byte in the trailer
    std::string bytes = testsupport::ReadFile(renamed);
    bytes[bytes.size() - 20] ^= 1;
    testsupport::WriteFile(renamed, bytes);
    EXPECT_EQ(Check(dlg), Texts({res::ids::kFileChanged}));
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(SignTest, WrongEntriesAndBrokenSignatureFiles)
{
    const std::string wav = MakeSignedFile(env_.Path("files"), 1000);
    CSignDlg dlg(nullptr, *settings_, 0);
    dlg.show();
    // no recorder: the typed serial only
    EXPECT_TRUE(dlg.Serial().TypedButton()->isChecked());
    EXPECT_FALSE(dlg.Serial().RecorderButton()->isEnabled());
    EXPECT_TRUE(dlg.Serial().Field()->isEnabled());

    const std::string longPath = env_.Path(std::string(4000, 'n') + ".wav");
    const std::vector<std::pair<std::pair<std::string, std::string>, uint32_t>> refused = {
        {{"   ", wav + ".dsg"}, res::ids::kEnterFileName},
        {{env_.Path("missing.wav"), wav + ".dsg"}, res::ids::kFileNotFound},
        {{env_.Path("files"), wav + ".dsg"}, res::ids::kFileNotFound}, // a folder
        {{longPath, wav + ".dsg"}, res::ids::kFileNotFound},
        {{wav, ""}, res::ids::kEnterFileName},
        {{wav, wav + ".sig"}, res::ids::kFileNotFound},
    };
    for (const auto& [paths, message] : refused)
    {
        dlg.WavField()->setText(QString::fromStdString(paths.first));
        dlg.SignatureField()->setText(QString::fromStdString(paths.second));
        EXPECT_EQ(Check(dlg), Texts({message})) << paths.first.substr(0, 80);
        EXPECT_EQ(LastStyle(), 0x10u);
    }
    dlg.SignatureField()->setText(QString::fromStdString(wav + ".dsg"));
    for (const char* serial : {"", "0", "12a", "-0", "99999999999"})
    {
        dlg.Serial().Field()->setText(serial);
        EXPECT_EQ(Check(dlg), Texts({res::ids::kWrongSerialNumber})) << serial;
    }
    dlg.Serial().Field()->setText("4242");
    EXPECT_EQ(Check(dlg), Texts({res::ids::kFileIsAuthentic}));

    // signature files of the wrong length, or not one at all
    const std::string good = testsupport::ReadFile(wav + ".dsg");
    const std::string broken = env_.Path("broken.dsg");
    dlg.SignatureField()->setText(QString::fromStdString(broken));
    for (const std::string& content :
         {std::string(), good.substr(0, 39), std::string(41, 'x'), std::string(1000000, 'z')})
    {
        testsupport::WriteFile(broken, content);
        EXPECT_EQ(Check(dlg), Texts({res::ids::kFileChanged})) << content.size();
    }
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(SignTest, KeyDialogShowsTheKeyOfTheChosenSerialAndStaysOpen)
{
    CKeyDlg dlg(nullptr, kSerial);
    dlg.show();
    EXPECT_TRUE(dlg.Serial().RecorderButton()->isChecked());
    EXPECT_TRUE(dlg.KeyField()->isReadOnly());
    dlg.OnCommand(skin::IDOK);
    EXPECT_EQ(dlg.KeyField()->text().toStdString(),
              vark::SerialKeyText(vark::MakeSerialKey(kSerial)));
    EXPECT_EQ(dlg.KeyField()->selectedText(), dlg.KeyField()->text());

    dlg.Serial().TypedButton()->click();
    for (const char* bad : {"", "0", "x1"})
    {
        dlg.Serial().Field()->setText(bad);
        dlg.OnCommand(skin::IDOK);
        EXPECT_EQ(answers_.AskedQuestions().back().text,
                  res::LoadString(res::ids::kWrongSerialNumber))
            << bad;
        EXPECT_EQ(answers_.AskedQuestions().back().style, 0x10u);
    }
    EXPECT_EQ(answers_.AskedQuestions().size(), 3u);
    // a device number above 32767 reads back negative and keys as such
    dlg.Serial().Field()->setText("-5");
    dlg.OnCommand(skin::IDOK);
    EXPECT_EQ(dlg.KeyField()->text().toStdString(),
              vark::SerialKeyText(vark::MakeSerialKey(0xFFFFFFFBu)));
    EXPECT_TRUE(dlg.isVisible());

    CKeyDlg none(nullptr, 0);
    EXPECT_TRUE(none.Serial().TypedButton()->isChecked());
    EXPECT_FALSE(none.Serial().RecorderButton()->isEnabled());
}

// An open signature, told by its content whatever its name: the user's own key checks it with
// no serial; another key's is checked against the key file the dialog asks for.
TEST_F(SignTest, OpenSignaturesCheckedWithTheOwnKeyOrTheSignersKeyFile)
{
    using namespace vark::opensig;
    const std::string wav = MakeSignedFile(env_.Path("out"), 4000);
    std::string error;
    const auto own = vark::LoadOrMakeSigningKey("", &error, {32768, 8388608});
    ASSERT_TRUE(own) << error;
    const std::string sig = env_.Path("out/own.sig"), theirs = env_.Path("out/theirs.minisig");
    testsupport::WriteFile(sig, SignatureFile(own->pair, *HashFile(wav), "record:7", "x"));
    const KeyPair other = MakeKeyPair();
    testsupport::WriteFile(theirs, SignatureFile(other, *HashFile(wav), "record:8", "x"));
    testsupport::WriteFile(env_.Path("out/other.pub"), PublicKeyFile(other.pub));

    CSignDlg dlg(nullptr, *settings_, 0);
    dlg.WavField()->setText(QString::fromStdString(wav));
    dlg.SignatureField()->setText(QString::fromStdString(sig));
    const std::string ownId = KeyIdText(own->pair.pub.id), otherId = KeyIdText(other.pub.id);
    EXPECT_EQ(Check(dlg), (std::vector<std::string>{res::LoadString(res::ids::kFileIsAuthentic),
                                                    res::FormatWithStrings(res::ids::kSignedWithKey,
                                                                           {ownId, "record:7"})}));

    dlg.SignatureField()->setText(QString::fromStdString(theirs));
    answers_.AnswerPath(env_.Path("out/other.pub"));
    EXPECT_EQ(Check(dlg).back(),
              res::FormatWithStrings(res::ids::kSignedWithKey, {otherId, "record:8"}));
    EXPECT_EQ(answers_.AskedQuestions().end()[-3].kind, ScriptedResponder::Asked::kOpenFile);
    answers_.AnswerPath(wav); // not a key
    EXPECT_EQ(Check(dlg),
              (std::vector<std::string>{res::LoadString(res::ids::kPublicKeysFilter),
                                        res::FormatWithStrings(res::ids::kNotAPublicKey, {wav})}));
    answers_.AnswerPath(std::nullopt); // cancelled: nothing checked
    EXPECT_EQ(Check(dlg).size(), 1u);

    testsupport::WriteFile(wav, testsupport::ReadFile(wav) + "x");
    dlg.SignatureField()->setText(QString::fromStdString(sig));
    EXPECT_EQ(Check(dlg), (std::vector<std::string>{res::LoadString(res::ids::kFileChanged)}));
}

// Public keys: with no signing key yet the field says so; Export makes the key (here without a
// passphrase, after the question) and writes its public key file where the user chose.
TEST_F(SignTest, KeyDialogExportsTheSigningKeyMakingItFirst)
{
    CKeyDlg dlg(nullptr, kSerial);
    EXPECT_TRUE(dlg.SigningKeyField()->text().isEmpty());
    EXPECT_FALSE(dlg.SigningKeyField()->placeholderText().isEmpty());
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout,
                     []
                     {
                         if (auto* ask =
                                 dynamic_cast<CPassphraseDlg*>(QApplication::activeModalWidget()))
                             ask->OnCommand(skin::IDOK); // both fields left empty
                     });
    answer.start(20);
    answers_.AnswerMessage(skin::IDYES); // keep it unencrypted
    answers_.AnswerPath(env_.Path("mine.pub"));
    dlg.OnCommand(CKeyDlg::IDC_BUTTON_EXPORT_KEY);
    const auto pub = vark::OwnPublicKey();
    ASSERT_TRUE(pub);
    EXPECT_FALSE(vark::OwnKeyEncrypted());
    EXPECT_EQ(testsupport::ReadFile(env_.Path("mine.pub")), vark::opensig::PublicKeyFile(*pub));
    EXPECT_TRUE(testsupport::ReadFile(env_.Path("mine.pub"))
                    .find(dlg.SigningKeyField()->text().toStdString()) != std::string::npos);
    EXPECT_EQ(answers_.AskedQuestions().front().text,
              res::LoadString(res::ids::kUnencryptedKeyQuestion));
}
