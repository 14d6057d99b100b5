#include "shell/vark_app.h"

#include "shell/app_settings.h"
#include "shell/vark_dlg.h"
#include "vark_application.h"

#include "platform/com/apartment.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "scriba/scriba.h"
#include "skin_data/skin_data.h"
#include "trillo/player_case.h"

#include <QDialog>
#include <QMessageBox>
#include <QSocketNotifier>
#include <exception>

namespace
{
constexpr const wchar_t* kUnhandledException =
    L"An unhandled exception has been occured. The application will be closed.";
}

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
    g_appSettings = &settings;

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
    const std::string playerServer =
        platform::JoinPath(platform::ExecutableFolder(), "vark-player");
    if (!trillo::RegisterPlayerServerIfMissing(playerServer))
        SLOG_ERR("The player server %s cannot be registered", playerServer.c_str());
    auto apartment = std::make_unique<QSocketNotifier>(com::ApartmentFd(), QSocketNotifier::Read);
    QObject::connect(apartment.get(), &QSocketNotifier::activated, [] { com::PumpApartment(); });
    skin_data::InitSkinData();
    try
    {
        std::unique_ptr<QDialog> window = factory_(settings);
        auto* app = qobject_cast<CVarkApplication*>(QCoreApplication::instance());
        if (app) app->SetMainWindow(window.get());
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
    g_appSettings = nullptr;
    return 0; // settings are saved by the Exit command, never here
}
