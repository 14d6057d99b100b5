#include "dialogs/passphrase_dlg.h"

#include "form_buttons.h"
#include "res/string_ids.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "transfer/signing_key.h"

#include <QApplication>
#include <filesystem>

namespace dialogs
{

CPassphraseDlg::CPassphraseDlg(QWidget* parent, bool making, vark::opensig::KdfLimits limits)
    : SkinnedDialog(kName, kDialogId, parent), making_(making), limits_(limits)
{
    auto* prompt = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_STATIC_PROMPT");
    auto* passLabel = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_STATIC_PASS");
    pass_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_PASS");
    auto* againLabel = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_STATIC_AGAIN");
    again_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_PASS2");
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    prompt->setWordWrap(true);
    prompt->setAlignment(Qt::AlignTop | Qt::AlignLeading);
    prompt->setText(QString::fromStdString(
        res::LoadString(making ? res::ids::kNewSigningKeyPrompt : res::ids::kSigningKeyPrompt)));
    passLabel->setText(QString::fromStdString(res::LoadString(res::ids::kPassphraseLabel)));
    for (skin::CSkinnedEdit* e : {pass_, again_})
        e->setEchoMode(QLineEdit::Password);
    if (making)
        againLabel->setText(
            QString::fromStdString(res::LoadString(res::ids::kPassphraseAgainLabel)));
    else
        again_->hide();
    pass_->setFocus();
}

void CPassphraseDlg::OnCommand(int id)
{
    if (id != skin::IDOK) return CBaseDlg::OnCommand(id);
    const std::string pass = pass_->text().toStdString();
    if (making_ && pass != again_->text().toStdString())
    {
        Message(res::ids::kPassphrasesDiffer, res::ids::kSigningKeyTitle, kStyleError);
        again_->setFocus();
        return;
    }
    if (making_ && pass.empty() &&
        Message(res::LoadString(res::ids::kUnencryptedKeyQuestion), kStyleQuestionYesNo) !=
            skin::IDYES)
    {
        pass_->setFocus();
        return;
    }
    // scrypt takes a moment on purpose
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string error;
    const auto key = vark::LoadOrMakeSigningKey(pass, &error, limits_);
    QApplication::restoreOverrideCursor();
    if (!key)
    {
        SLOG_ERR("Signing key: %s", error.c_str());
        if (error.find("passphrase") != std::string::npos)
            Message(res::ids::kWrongPassphrase, res::ids::kSigningKeyTitle, kStyleError);
        else
            Message(error, kStyleError);
        pass_->selectAll();
        pass_->setFocus();
        return;
    }
    key_ = key->pair;
    CBaseDlg::OnCommand(id);
}

std::optional<vark::opensig::KeyPair> CPassphraseDlg::OwnKey(QWidget* parent)
{
    std::error_code ec;
    const bool exists = std::filesystem::exists(vark::SecretKeyPath(), ec);
    if (exists && !vark::OwnKeyEncrypted())
    {
        std::string error;
        if (const auto key = vark::LoadOrMakeSigningKey("", &error)) return key->pair;
        SLOG_ERR("Signing key: %s", error.c_str());
    }
    CPassphraseDlg dlg(parent, !exists);
    if (dlg.exec() != skin::IDOK) return std::nullopt;
    return dlg.Key();
}

} // namespace dialogs
