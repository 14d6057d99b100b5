// Start-up of the program: single instance, data folder, settings, language, log, the main
// window run modally, teardown.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QDialog;
class CAppSettings;

// The single-instance name the program uses.
inline constexpr const char* kSingleInstanceName = "{CD49E055-093D-412c-BF1A-7A1726222C76}";

class CVarkApp
{
public:
    using MainWindowFactory = std::function<std::unique_ptr<QDialog>(CAppSettings&)>;
    using FatalMessage = std::function<void(const std::wstring& text)>;

    // Defaults: the program's main window and a message box with the error icon. Tests
    // replace either.
    CVarkApp();
    void SetMainWindowFactory(MainWindowFactory factory) { factory_ = std::move(factory); }
    void SetFatalMessage(FatalMessage message) { fatal_ = std::move(message); }

    // Runs start-up to the end; needs a QApplication. Returns the process exit status (0
    // also for a second instance, which ends silently).
    int Run();

    // The data folder start-up settled on ("<roaming>/Mirvanta/Varke-P").
    static std::string DataFolder();
    // The same folder's name, without creating it.
    static std::string DataFolderName();

private:
    MainWindowFactory factory_;
    FatalMessage fatal_;
};
