#include "main_window_shots.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "dialogs/params_dlg.h"
#include "dialogs/records_list.h"
#include "drive/drive_identity.h"
#include "platform/com/apartment.h"
#include "platform/install_layout.h"
#include "platform/mounts.h"
#include "platform/thread_locale.h"
#include "recorder/demo.h"
#include "recorder/drive_demo.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "settings/drive_import_settings.h"
#include "shell/vark_dlg.h"
#include "trillo/player_case.h"

namespace
{

bool WaitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool Save(QWidget& w, const QString& path)
{
    QApplication::processEvents();
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The dialog with its first drop-down list open: the list is a window of its own, painted
// over the dialog's picture where it opened.
bool SaveWithList(QWidget& dialog, const QString& path)
{
    QComboBox* combo = dialog.findChild<QComboBox*>();
    if (!combo) return false;
    combo->showPopup();
    QApplication::processEvents();
    QWidget* list = combo->view()->window();
    QImage picture = dialog.grab().toImage();
    QPainter(&picture).drawPixmap(dialog.mapFromGlobal(list->mapToGlobal(QPoint())), list->grab());
    combo->hidePopup();
    const bool ok = picture.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The window connected to the demo drive recorder, in every language.
bool SaveDriveShots(const QString& dir, recorder::VirtualRecorder& cable, const QString& home)
{
    cable.Unplug();
    std::string error;
    const QString staged = home + "/staged";
    if (!recorder::MakeDrive(staged.toStdString(), true, &error, nullptr) ||
        !QDir().rename(staged, home + "/drives/VOICE_PEN"))
    {
        std::fprintf(stderr, "vark-screenshots: no demo drive: %s\n", error.c_str());
        return false;
    }
    // it copies its records when plugged in: the window shows the import's outcome line
    const std::string root = (home + "/drives/VOICE_PEN").toStdString();
    const drive::DriveIdentity identity =
        drive::IdentifyDrive(root, platform::mounts::ReadMounts());
    DriveImportSetting import;
    import.choice = DriveImportChoice::kOn;
    import.folder = (home + "/Recordings/VOICE_PEN").toStdString();
    if (!SaveDriveImportSetting(identity.id, import)) return false;
    bool ok = true;
    for (platform::Lcid lcid : res::Languages())
    {
        platform::SetThreadLocale(lcid);
        const QString lang = QString::fromLatin1(res::LanguageFileName(lcid));
        CAppSettings settings(L"");
        CVarkDlg window(settings);
        window.show();
        const QString copying =
            QString::fromStdString(res::LoadString(res::ids::kImportingNewRecords));
        if (!WaitUntil(
                [&]
                {
                    const QString activity = window.FieldText(CVarkDlg::IDC_EDIT_ACTIVITY);
                    return !window.DriveShown().empty() && window.List()->RowCount() > 0 &&
                           !activity.isEmpty() && !activity.startsWith(copying);
                },
                30000))
        {
            std::fprintf(stderr, "vark-screenshots: the demo drive was not shown and imported\n");
            return false;
        }
        ok &= Save(window, QStringLiteral("%1/IDD_VARK_DIALOG_drive-%2.png").arg(dir, lang));
        window.OnExit();
        WaitUntil([&] { return !window.isVisible(); }, 10000);
    }
    return ok;
}

} // namespace

bool SaveMainWindowShots(const QString& dir)
{
    QTemporaryDir home;
    if (!home.isValid()) return false;
    for (const char* name : {"VARK_DEVICE_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                             "XDG_CACHE_HOME", "VARK_COM_REGISTRY", "VARK_PEDAL_DIR"})
        setenv(name, qPrintable(home.path() + "/" + name), 1);
    setenv("VARK_AUDIO", "null", 1);
    // drives only from a folder of its own: none of the machine's is pictured
    const QString drives = home.path() + "/drives";
    QDir().mkpath(drives);
    setenv("VARK_DRIVE_ROOTS", qPrintable(drives), 1);
    setenv("VARK_MOUNTINFO", qPrintable(home.path() + "/mountinfo"), 1);
    auto recorder = std::make_unique<recorder::VirtualRecorder>(
        std::make_shared<recorder::RecorderFirmware>(recorder::MakeDemoImage()));
    if (!recorder->Plug()) return false;
    com::CoInitialize();
    trillo::UsePlayerServer(platform::HelperProgramPath("vark-player"));
    QSocketNotifier pump(com::ApartmentFd(), QSocketNotifier::Read);
    QObject::connect(&pump, &QSocketNotifier::activated, [] { com::PumpApartment(); });
    bool ok = true;
    for (platform::Lcid lcid : res::Languages())
    {
        platform::SetThreadLocale(lcid);
        const QString lang = QString::fromLatin1(res::LanguageFileName(lcid));
        CAppSettings settings(L"");
        settings.LoadListOrder = 1;
        CVarkDlg window(settings);
        window.show();
        if (!WaitUntil([&] { return window.Connected() && window.List()->RowCount() > 0; }, 30000))
        {
            std::fprintf(stderr, "vark-screenshots: the demo recorder did not connect\n");
            ok = false;
            break;
        }
        ok &= Save(window, QStringLiteral("%1/IDD_VARK_DIALOG-%2.png").arg(dir, lang));
        {
            // the recording parameters as the connected recorder holds them
            dialogs::CParamsDlg params(&window, settings, window.Recorder().ProtocolDevice());
            params.show();
            ok &= Save(params, QStringLiteral("%1/IDD_PARAMS_DIALOG-%2.png").arg(dir, lang));
            ok &= SaveWithList(params,
                               QStringLiteral("%1/IDD_PARAMS_DIALOG_list-%2.png").arg(dir, lang));
        }
        window.List()->clearSelection();
        window.List()->topLevelItem(2)->setSelected(true);
        window.OnCommand(CVarkDlg::ID_PLAY);
        WaitUntil(
            [&] { return window.FieldText(CVarkDlg::IDC_EDIT_CURRENT_PLAY_POSITION) >= "0:00:02"; },
            15000);
        ok &= Save(window, QStringLiteral("%1/IDD_VARK_DIALOG_playing-%2.png").arg(dir, lang));
        window.OnExit();
        WaitUntil([&] { return !window.isVisible(); }, 10000);
    }
    ok &= SaveDriveShots(dir, *recorder, home.path());
    com::CoUninitialize();
    return ok;
}
