#include "dialogs/about_dlg.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "form_buttons.h"
#include "platform/install_layout.h"
#include "platform/thread_locale.h"
#include "res/strings.h"
#include "scriba/scriba.h"

namespace dialogs
{

namespace
{
} // namespace

CAboutDlg::CAboutDlg(QWidget* parent, uint16_t firmwareVersion)
    : SkinnedDialog(kName, kDialogId, parent)
{
    build_ = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_STATIC_BUILD");
    build_->setText(BuildText());
    firmware_ = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_FIRMWARE_VERSION");
    firmware_->setText(FirmwareText(firmwareVersion));
    link_ = Bind(new skin::CSkinnedButtonEx(&Skin()), "IDC_LINK");
    link_->SetCursorShape(Qt::PointingHandCursor);
    BindFormButtons(*this, false);
    InitSkin(kBitmap, kDescription);
}

QString CAboutDlg::FirmwareText(uint16_t version)
{
    if (version == 0) return {};
    return QString::asprintf("%02d.%02d", version >> 8, version & 0xFF);
}

QString CAboutDlg::FindGuide(const QString& languageFile)
{
    // the installation's documentation folder, else the sources the build tree came from
    const QString installed = QString::fromStdString(platform::ProgramDocFolder());
    QStringList folders;
    if (!installed.isEmpty()) folders << installed;
    folders << QStringLiteral(VARK_SOURCE_DIR) + "/docs";
    QStringList names;
    if (!languageFile.isEmpty() && languageFile != "en")
        names << QStringLiteral("guide.%1.md").arg(languageFile);
    names << QStringLiteral("guide.md");
    for (const QString& folder : folders)
        for (const QString& name : names)
            if (QFileInfo::exists(folder + "/" + name))
                return QFileInfo(folder + "/" + name).canonicalFilePath();
    // before the guide is written, the README says how to use the programs
    for (const QString& folder : folders)
    {
        const QString readme = folder == installed ? folder + "/README.md"
                                                   : QStringLiteral(VARK_SOURCE_DIR) + "/README.md";
        if (QFileInfo::exists(readme)) return QFileInfo(readme).canonicalFilePath();
    }
    return {};
}

void CAboutDlg::OnCommand(int id)
{
    if (id != IDC_LINK) return CBaseDlg::OnCommand(id);
    const QString guide =
        FindGuide(QString::fromLatin1(res::LanguageFileName(platform::GetThreadLocale())));
    if (guide.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(guide)))
    {
        SLOG_ERR("The user guide cannot be opened (%s)", guide.toUtf8().constData());
        Message(res::ids::kGuideNotOpened, res::ids::kMessageTitle, kStyleInformation);
    }
}

} // namespace dialogs
