#include "settings/app_settings.h"
#include "shell/vark_app.h"
#include "shell/vark_dlg.h"

#include "testsupport/test_env.h"
#include "trillo/player_case.h"

#include <QDialog>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <stdexcept>

using testsupport::ReadFile;

namespace
{

int CountOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::string DataFolder(const testsupport::ScopedTestEnv& env)
{
    return env.Root() + "/config/Mirvanta/Varke-P";
}

class ThrowingWindow : public QDialog
{
protected:
    void showEvent(QShowEvent*) override { throw std::runtime_error("boom"); }
};

} // namespace

TEST(StartUp, ClosingTheMainWindowSavesTheSettingsOnce)
{
    testsupport::ScopedTestEnv env;
    CVarkApp app;
    CVarkDlg* window = nullptr;
    app.SetMainWindowFactory(
        [&](CAppSettings& settings)
        {
            auto dlg = std::make_unique<CVarkDlg>(settings);
            window = dlg.get();
            QTimer::singleShot(0, dlg.get(),
                               [w = dlg.get()]
                               {
                                   w->close();
                                   w->close(); // a second close must not save again
                               });
            return dlg;
        });
    EXPECT_EQ(app.Run(), 0);
    ASSERT_NE(window, nullptr);
    const std::string folder = DataFolder(env);
    EXPECT_NE(ReadFile(folder + "/Varke.ini").find("[Common]\nOutDeviceName="), std::string::npos);
    const std::string log = ReadFile(folder + "/Log/Varke.log");
    EXPECT_EQ(CountOf(log, "Settings saved"), 1) << log;
    EXPECT_EQ(CountOf(log, "Sound Manager Varke P ended"), 1);
}

TEST(StartUp, AnEscapingExceptionIsReportedAndTheLogStillClosed)
{
    testsupport::ScopedTestEnv env;
    CVarkApp app;
    std::wstring shown;
    app.SetFatalMessage([&](const std::wstring& text) { shown = text; });
    app.SetMainWindowFactory([](CAppSettings&) { return std::make_unique<ThrowingWindow>(); });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(shown, L"An unhandled exception has been occured. The application will be closed.");
    const std::string log = ReadFile(DataFolder(env) + "/Log/Varke.log");
    EXPECT_NE(log.find("Unhandled exception: boom"), std::string::npos);
    EXPECT_NE(log.find("Sound Manager Varke P ended"), std::string::npos);
    // Nothing saved: that is the Exit command's job.
    EXPECT_FALSE(testsupport::FileExists(DataFolder(env) + "/Varke.ini"));
}

TEST(StartUp, TheProgramClosesOnSigtermAndASecondStartEndsSilently)
{
    testsupport::ScopedTestEnv env;
    env.Set("QT_QPA_PLATFORM", std::string("offscreen"));
    const std::string vark = testsupport::BinDir() + "/vark";
    const std::string log = DataFolder(env) + "/Log/Varke.log";
    testsupport::ChildProcess first({vark});
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return ReadFile(log).find("started") != std::string::npos; }, 30000))
        << first.Stderr();

    const auto second = testsupport::RunProcess({vark}, "", 30000);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(CountOf(ReadFile(log), "started"), 1);

    ASSERT_TRUE(first.Signal(SIGTERM));
    const auto status = first.Wait(30000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << first.Stderr();
    EXPECT_EQ(CountOf(ReadFile(log), "Settings saved"), 1);
    EXPECT_TRUE(testsupport::FileExists(DataFolder(env) + "/Varke.ini"));
}

TEST(StartUp, TheMainWindowRunsInACOMApartmentThatTheEventLoopPumps)
{
    testsupport::ScopedTestEnv env;
    CVarkApp app;
    bool pumped = false;
    int fdDuringRun = -1;
    app.SetMainWindowFactory(
        [&](CAppSettings& settings)
        {
            auto dlg = std::make_unique<CVarkDlg>(settings);
            fdDuringRun = com::ApartmentFd();
            // Work queued to the apartment runs only when the Qt loop pumps it.
            auto queue = com::CurrentApartmentQueue();
            if (queue)
                queue->Post(
                    [&pumped, w = dlg.get()]
                    {
                        pumped = true;
                        w->close();
                    });
            QTimer::singleShot(20000, dlg.get(), [w = dlg.get()] { w->close(); });
            return dlg;
        });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_GE(fdDuringRun, 0);
    EXPECT_TRUE(pumped);
    EXPECT_EQ(com::ApartmentFd(), -1); // left at exit
    // The player server next to the program is registered for the player class.
    const auto server = com::LookupServer(trillo::CLSID_PlayerCase);
    ASSERT_TRUE(server.has_value());
    EXPECT_TRUE(server->ends_with("/vark-player")) << *server;
    EXPECT_TRUE(testsupport::FileExists(*server));
}
