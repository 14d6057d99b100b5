// CSignDlg, "Authenticate": checks a WAV file against its signature file and a serial number
// (the attached recorder's or a typed one). OK checks the entries in order, then verifies on
// a worker thread under the wait cursor so a large file does not freeze the window, and tells
// "File is authentic." (with the original name when the file was renamed) or "File has been
// changed.". The dialog stays open after every message; while a check runs its buttons, Escape
// and the window's close wait for it.
//
// A signature file in minisign's format (told by its content, not its name) is an open
// signature: it is checked against the user's own public key, or against a public key file
// the dialog asks for when another key made it; the serial does not count then.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <thread>

#include "skin/base_dlg.h"
#include "skin/skinned_fwd.h"

class CAppSettings;

namespace dialogs
{

class SerialChoice;

class CSignDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_SIGNATURE_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_SIGNATURE_DIALOG_CONTROLS);

    // `attachedSerial`: the serial signatures carry for the attached recorder, 0 when none.
    // `settings` keeps the folders the files were chosen in.
    CSignDlg(QWidget* parent, CAppSettings& settings, uint32_t attachedSerial);
    ~CSignDlg() override;
    void OnCommand(int id) override;
    bool Verifying() const { return verifying_; }

    const SerialChoice& Serial() const { return *serial_; }
    skin::CSkinnedEdit* WavField() const { return wav_; }
    skin::CSkinnedEdit* SignatureField() const { return signature_; }

protected:
    void reject() override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Browse(bool signature);
    // A path entry checked as OK checks it; empty when refused (the message was shown).
    std::filesystem::path CheckedFile(skin::CSkinnedEdit* field);
    void Confirm();
    void Verified(bool authentic, const std::wstring& exportedName, const std::wstring& baseName);
    // The open signature `text` of `file`: the key chosen, then the check on the thread.
    void ConfirmOpen(const std::filesystem::path& file, const std::filesystem::path& signature,
                     const std::string& text);
    void VerifiedOpen(int result, const std::string& keyId, const std::string& comment);
    void SetBusy(bool busy);

    CAppSettings& settings_;
    std::unique_ptr<SerialChoice> serial_;
    skin::CSkinnedEdit *wav_, *signature_;
    std::atomic<bool> verifying_{false};
    std::thread thread_;
};

} // namespace dialogs
