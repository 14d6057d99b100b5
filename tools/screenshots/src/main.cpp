// vark-screenshots OUTDIR: every window of the program in its typical state, in the five
// languages, as OUTDIR/<dialog>-<language>.png, rendered under the offscreen platform.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "dialogs/about_dlg.h"
#include "dialogs/change_pin_dlg.h"
#include "dialogs/device_dlg.h"
#include "dialogs/drive_import_dlg.h"
#include "dialogs/drive_serial_dlg.h"
#include "dialogs/export_dlg.h"
#include "dialogs/key_dlg.h"
#include "dialogs/load_records_list_dlg.h"
#include "dialogs/passphrase_dlg.h"
#include "dialogs/pin_dlg.h"
#include "dialogs/player_options_dlg.h"
#include "dialogs/records_list.h"
#include "dialogs/sign_dlg.h"
#include "dialogs/time_dlg.h"
#include "main_window_shots.h"
#include "platform/thread_locale.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "skin/skinned_controls.h"
#include "skin_data/skin_data.h"

namespace
{

bool Save(QWidget& w, const QString& dir, const char* name, platform::Lcid lcid)
{
    w.show();
    QApplication::processEvents();
    const QString path =
        QStringLiteral("%1/%2-%3.png").arg(dir, QLatin1String(name), res::LanguageFileName(lcid));
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The control of a dialog with that identifier, to show a state only a run would reach.
template <class T> T* Control(QWidget& dlg, int id)
{
    for (T* c : dlg.findChildren<T*>())
        if (auto* layer = dynamic_cast<skin::SkinLayer*>(c); layer && layer->ControlId() == id)
            return c;
    return nullptr;
}

// Copy to disk in the middle of a run.
void ShowExportRun(dialogs::CExportDlg& d)
{
    using D = dialogs::CExportDlg;
    Control<skin::CSkinnedStatic>(d, D::IDC_STATIC_PROGRESS_CUR)
        ->setText(QString::fromStdString(res::LoadString(res::ids::kWritingRecordFile)));
    Control<skin::CSkinnedStatic>(d, D::IDC_STATIC_PROGRESS_CUR_PERC)->setText("42");
    Control<skin::CSkinnedStatic>(d, D::IDC_STATIC_PROGRESS_TOTAL_PERC)->setText("27");
    Control<skin::CSkinnedStatic>(d, D::IDC_STATIC_TOTAL_WRITED)->setText("12,345");
    Control<skin::CSkinnedStatic>(d, D::IDC_STATIC_TOTAL_TO_WRITE)->setText("45,678");
    Control<skin::CSkinnedProgress>(d, D::IDC_PROGRESS_CUR)->setValue(42);
    Control<skin::CSkinnedProgress>(d, D::IDC_PROGRESS_TOTAL)->setValue(27);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc != 2 || argv[1][0] == '-')
    {
        std::fprintf(stderr, "usage: vark-screenshots OUTDIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir))
    {
        std::fprintf(stderr, "vark-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }
    skin_data::InitSkinData();
    CAppSettings settings(L"");
    settings.LastExportDirectory = L"/home/user/Records/Export";
    settings.PauseLength = 2;
    settings.DigitalSign = 1;
    bool ok = true;
    for (platform::Lcid lcid : res::Languages())
    {
        platform::SetThreadLocale(lcid);
        {
            dialogs::CPINDlg d(nullptr, 20416);
            d.PinField()->setText("1234");
            ok &= Save(d, dir, "IDD_PIN_DIALOG", lcid);
        }
        {
            dialogs::CChangePINDlg d(nullptr, L"1234");
            d.OldField()->setText("1234");
            d.NewField()->setText("4321");
            ok &= Save(d, dir, "IDD_CHANGE_PIN_DIALOG", lcid);
        }
        {
            dialogs::CTimeDlg d(nullptr);
            ok &= Save(d, dir, "IDD_TIME_DIALOG", lcid);
        }
        {
            dialogs::CDeviceDlg d(nullptr, settings);
            ok &= Save(d, dir, "IDD_DEVICE_DIALOG", lcid);
        }
        {
            dialogs::CPlayerOptionsDlg* slot = nullptr;
            auto* d = dialogs::CPlayerOptionsDlg::Open(nullptr, slot, settings, {}, {});
            ok &= Save(*d, dir, "IDD_PLAYER_OPTIONS_DIALOG", lcid);
            delete d;
        }
        {
            dialogs::CAboutDlg d(nullptr, 0x2C10);
            ok &= Save(d, dir, "IDD_ABOUTBOX", lcid);
        }
        {
            vark::CVarkDevice device;
            dialogs::CRecordsList list(nullptr);
            dialogs::CLoadRecordsListDlg d(nullptr, device, 8, 0, list);
            ok &= Save(d, dir, "IDD_LOAD_RECLIST_DLG", lcid);
        }
        {
            vark::CVarkDevice device;
            dialogs::CRecordsList list(nullptr);
            dialogs::CExportDlg d(nullptr, settings, device, {{0, 0}, {1, 1}}, list);
            ShowExportRun(d);
            ok &= Save(d, dir, "IDD_EXPORT_DIALOG", lcid);
        }
        {
            dialogs::CDriveSerialDlg d(nullptr, "VOICE_PEN");
            d.Field()->setText("20416");
            ok &= Save(d, dir, "IDD_DRIVE_SERIAL_DIALOG", lcid);
        }
        {
            DriveImportSetting setting;
            setting.choice = DriveImportChoice::kOn;
            setting.folder = "/home/user/Recordings/VOICE_PEN";
            dialogs::CDriveImportDlg d(nullptr, "VOICE_PEN", setting);
            ok &= Save(d, dir, "IDD_DRIVE_IMPORT_DIALOG", lcid);
        }
        {
            dialogs::CPassphraseDlg d(nullptr, true);
            d.Field()->setText("correct horse");
            d.AgainField()->setText("correct horse");
            ok &= Save(d, dir, "IDD_PASSPHRASE_DIALOG", lcid);
        }
        {
            dialogs::CSignDlg d(nullptr, settings, 20416);
            d.WavField()->setText("/home/user/Records/Export/2026_05_01 10_20_30.wav");
            d.SignatureField()->setText("/home/user/Records/Export/2026_05_01 10_20_30.wav.dsg");
            ok &= Save(d, dir, "IDD_SIGNTATURE_DIALOG", lcid);
        }
        {
            dialogs::CKeyDlg d(nullptr, 20416);
            d.OnCommand(skin::IDOK);
            ok &= Save(d, dir, "IDD_KEY_DIALOG", lcid);
        }
    }
    ok &= SaveMainWindowShots(dir);
    return ok ? 0 : 1;
}
