#include "shell/vark_app.h"

#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "vark_application.h"

#include "platform/com/apartment.h"
#include "platform/install_layout.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "scriba/scriba.h"
#include "skin_data/skin_data.h"
#include "trillo/player_case.h"

#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QSocketNotifier>
#include <exception>

namespace
{
constexpr const wchar_t* kUnhandledException =
    L"An unhandled exception has been occured. The application will be closed.";

// Logs the main window's first frame: the moment the user sees the program, which the log
// and the installation tests look for.
class FirstFrameLog : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
        {
            SLOG("Main window shown");
            watched->removeEventFilter(this);
        }
        return false;
    }
};
} // namespace

CVarkApp::CVarkApp()
{
    factory_ = [](CAppSettings& settings) -> std::unique_ptr<QDialog>
    { return std::make_unique<CVarkDlg>(settings); };
    fatal_ = [](const std::wstring& text)
    {
        QMessageBox::critical(nullptr, QStringLiteral("Sound Manager Varke P"),
                              QString::fromStdWString(text));
    };
}

int CVarkApp::Run()
{
    // A second start ends at once, silently.
    platform::SingleInstance instance(kSingleInstanceName);
    if (instance.AlreadyExists()) return 0;

    const std::string folder = DataFolder();
    CAppSettings settings(platform::Utf8ToWide(platform::JoinPath(folder, "Varke.ini")), L"Common");
    settings.Load(); // a missing file leaves the defaults

    ApplyLanguage(settings);

    const std::string logFolder = platform::JoinPath(folder, "Log");
    platform::CreateFolders(logFolder);
    OpenLog(platform::Utf8ToWide(platform::JoinPath(logFolder, "Varke.log")).c_str(),
            settings.LogFlags | kLogAppend, 1048576, 20);
    SetLogLevel(static_cast<int>(settings.LogLevel));
    SLOG("Sound Manager Varke P started, language %u", settings.Language);

    // The player lives in its own server process, reached through COM from this thread:
    // the apartment's fd joins the Qt loop so that the player's events are delivered.
    com::CoInitialize();
    // This installation's own player server, whatever another one registered.
    const std::string playerServer = platform::HelperProgramPath("vark-player");
    if (!trillo::UsePlayerServer(playerServer))
        SLOG_ERR("No player server: vark-player is missing beside %s",
                 platform::ExecutableFolder().c_str());
    auto apartment = std::make_unique<QSocketNotifier>(com::ApartmentFd(), QSocketNotifier::Read);
    QObject::connect(apartment.get(), &QSocketNotifier::activated, [] { com::PumpApartment(); });
    skin_data::InitSkinData();
    try
    {
        std::unique_ptr<QDialog> window = factory_(settings);
        auto* app = qobject_cast<CVarkApplication*>(QCoreApplication::instance());
        if (app) app->SetMainWindow(window.get());
        FirstFrameLog firstFrame;
        window->installEventFilter(&firstFrame);
        window->exec();
        if (app)
        {
            app->SetMainWindow(nullptr);
            app->RethrowEscapedException();
        }
    }
    catch (const std::exception& e)
    {
        SLOG_ERR("Unhandled exception: %s", e.what());
        fatal_(kUnhandledException);
    }
    catch (...)
    {
        SLOG_ERR("Unhandled exception of unknown type");
        fatal_(kUnhandledException);
    }

    apartment.reset();
    com::CoUninitialize();
    SLOG("Sound Manager Varke P ended");
    CloseLog();
    return 0; // settings are saved by the Exit command, never here
}
