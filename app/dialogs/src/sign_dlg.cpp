#include "dialogs/sign_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <system_error>

#include "dialogs/serial_choice.h"
#include "form_buttons.h"
#include "platform/text.h"
#include "platform/whole_file.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "skin/modal_questions.h"
#include "transfer/open_signature.h"
#include "transfer/signing_key.h"

#include <fstream>

namespace dialogs
{

namespace
{

std::filesystem::path PathOf(const QString& text)
{
    return std::filesystem::path(text.toStdString());
}

// The start of a signature file, enough to tell an open signature (a few hundred bytes) from
// the system's 40-byte one.
std::string SignatureText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text(4096, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    return text;
}

} // namespace

CSignDlg::CSignDlg(QWidget* parent, CAppSettings& settings, uint32_t attachedSerial)
    : SkinnedDialog(kName, kDialogId, parent), settings_(settings),
      serial_(std::make_unique<SerialChoice>(*this, attachedSerial))
{
    wav_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_FILE");
    Bind(new skin::CSkinnedButton(&Skin()), "IDC_BUTTON_FILE");
    signature_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_SIGN_FILE");
    Bind(new skin::CSkinnedButton(&Skin()), "IDC_BUTTON_SIGN_FILE");
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    serial_->Init();
}

CSignDlg::~CSignDlg()
{
    if (thread_.joinable()) thread_.join();
    if (verifying_) QApplication::restoreOverrideCursor();
}

void CSignDlg::OnCommand(int id)
{
    if (verifying_) return;
    switch (id)
    {
    case IDC_BUTTON_FILE:
        return Browse(false);
    case IDC_BUTTON_SIGN_FILE:
        return Browse(true);
    case skin::IDOK:
        return Confirm();
    default:
        return CBaseDlg::OnCommand(id);
    }
}

void CSignDlg::reject()
{
    if (!verifying_) CBaseDlg::reject();
}

void CSignDlg::closeEvent(QCloseEvent* e)
{
    if (verifying_) return e->ignore();
    SkinnedDialog::closeEvent(e);
}

void CSignDlg::Browse(bool signature)
{
    std::wstring& folder =
        signature ? settings_.LastOpenDsgDirectory : settings_.LastOpenWaveDirectory;
    const std::optional<std::string> chosen = skin::Questions().OpenFile(
        this,
        res::LoadString(signature ? res::ids::kSignatureFilesFilter : res::ids::kSoundFilesFilter),
        // until a file was chosen here, where the exports went
        platform::WideToUtf8(folder.empty() ? settings_.LastExportDirectory : folder));
    if (!chosen) return;
    folder = platform::Utf8ToWide(std::filesystem::path(*chosen).parent_path().string());
    (signature ? signature_ : wav_)->setText(QString::fromStdString(*chosen));
    // the signature export wrote beside the file, when there is one and none was chosen yet
    std::error_code ec;
    const auto beside = vark::SignaturePathFor(*chosen);
    if (!signature && signature_->text().trimmed().isEmpty() &&
        std::filesystem::is_regular_file(beside, ec))
        signature_->setText(QString::fromStdString(beside.string()));
}

std::filesystem::path CSignDlg::CheckedFile(skin::CSkinnedEdit* field)
{
    const QString text = field->text().trimmed();
    if (text.isEmpty())
    {
        Message(res::ids::kEnterFileName, res::ids::kCopyToDisk, kStyleError);
        field->setFocus();
        return {};
    }
    // a folder or anything else that is no plain file cannot be the file asked for
    std::error_code ec;
    const std::filesystem::path path = PathOf(text);
    if (!std::filesystem::is_regular_file(path, ec))
    {
        Message(res::ids::kFileNotFound, res::ids::kCopyToDisk, kStyleError);
        field->setFocus();
        return {};
    }
    return path;
}

void CSignDlg::Confirm()
{
    const std::filesystem::path wav = CheckedFile(wav_);
    if (wav.empty()) return;
    const std::filesystem::path signature = CheckedFile(signature_);
    if (signature.empty()) return;
    if (const std::string text = SignatureText(signature); vark::opensig::LooksLikeSignature(text))
        return ConfirmOpen(wav, signature, text);
    const std::optional<uint32_t> serial = serial_->Chosen();
    if (!serial || *serial == 0)
    {
        Message(res::ids::kWrongSerialNumber, res::ids::kCopyToDisk, kStyleError);
        serial_->Field()->setFocus();
        return;
    }
    SetBusy(true);
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread(
        [this, wav, signature, serial = *serial]
        {
            std::wstring exported;
            const bool authentic = vark::Verify(signature, wav, serial, exported);
            const std::wstring base = platform::Utf8ToWide(wav.stem().string());
            // dropped if the dialog has gone meanwhile (its destructor joins first)
            QMetaObject::invokeMethod(
                this, [this, authentic, exported, base] { Verified(authentic, exported, base); },
                Qt::QueuedConnection);
        });
}

void CSignDlg::Verified(bool authentic, const std::wstring& exportedName,
                        const std::wstring& baseName)
{
    if (thread_.joinable()) thread_.join();
    SetBusy(false);
    if (!authentic)
    {
        Message(res::ids::kFileChanged, res::ids::kCopyToDisk, kStyleError);
        return;
    }
    Message(res::ids::kFileIsAuthentic, res::ids::kCopyToDisk, kStyleOk);
    if (!exportedName.empty() && exportedName != baseName)
        Message(res::LoadString(res::ids::kFileNameChanged) + platform::WideToUtf8(exportedName),
                kStyleWarning);
}

void CSignDlg::ConfirmOpen(const std::filesystem::path& file,
                           const std::filesystem::path& signature, const std::string& text)
{
    using namespace vark::opensig;
    const std::optional<KeyId> id = SignatureKeyId(text);
    if (!id)
    {
        Message(res::FormatWithStrings(res::ids::kNotAnOpenSignature, {signature.string()}),
                kStyleError);
        signature_->setFocus();
        return;
    }
    // the user's own key when it made the signature, else the signer's key file
    std::optional<PublicKey> key = vark::OwnPublicKey();
    if (!key || key->id != *id)
    {
        const std::optional<std::string> chosen = skin::Questions().OpenFile(
            this, res::LoadString(res::ids::kPublicKeysFilter), signature.parent_path().string());
        if (!chosen) return;
        key = ParsePublicKey(platform::ReadWholeFile(*chosen).value_or(""));
        if (!key)
        {
            Message(res::FormatWithStrings(res::ids::kNotAPublicKey, {*chosen}), kStyleError);
            return;
        }
    }
    SetBusy(true);
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread(
        [this, file, text, key = *key]
        {
            const CheckResult r = CheckFile(file.string(), text, key);
            const std::string keyId = KeyIdText(r.keyId);
            QMetaObject::invokeMethod(
                this, [this, r, keyId] { VerifiedOpen(int(r.result), keyId, r.trustedComment); },
                Qt::QueuedConnection);
        });
}

void CSignDlg::VerifiedOpen(int result, const std::string& keyId, const std::string& comment)
{
    using vark::opensig::Check;
    if (thread_.joinable()) thread_.join();
    SetBusy(false);
    switch (Check(result))
    {
    case Check::authentic:
        Message(res::ids::kFileIsAuthentic, res::ids::kCopyToDisk, kStyleOk);
        Message(res::FormatWithStrings(res::ids::kSignedWithKey, {keyId, comment}), kStyleOk);
        return;
    case Check::otherKey:
        Message(res::FormatWithStrings(res::ids::kSignedWithOtherKey, {keyId}), kStyleError);
        return;
    case Check::malformed:
        Message(res::FormatWithStrings(res::ids::kNotAnOpenSignature,
                                       {signature_->text().toStdString()}),
                kStyleError);
        return;
    case Check::unreadable:
        Message(res::ids::kFileNotFound, res::ids::kCopyToDisk, kStyleError);
        return;
    default: // changed, or its trusted comment edited
        Message(res::ids::kFileChanged, res::ids::kCopyToDisk, kStyleError);
        return;
    }
}

void CSignDlg::SetBusy(bool busy)
{
    if (busy == verifying_) return;
    verifying_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    for (QWidget* w : findChildren<QWidget*>())
        if (dynamic_cast<skin::SkinLayer*>(w)) w->setEnabled(!busy);
    if (!busy) serial_->UpdateEnables();
}

} // namespace dialogs
