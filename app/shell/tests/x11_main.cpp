#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unistd.h>

#include "skin_data/skin_data.h"
#include "testsupport/test_env.h"
#include "x11_session.h"

namespace
{

std::string g_problem;

bool OnPath(const char* program)
{
    return testsupport::RunProcess({"sh", "-c", std::string("command -v ") + program}, "", 5000)
               .exitCode == 0;
}

// A display of its own: parallel test processes each take the next free number.
std::unique_ptr<testsupport::ChildProcess> StartXvfb(std::string& display)
{
    for (int n = 90; n < 130; ++n)
    {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (testsupport::FileExists(socket) ||
            testsupport::FileExists("/tmp/.X" + std::to_string(n) + "-lock"))
            continue;
        auto x = std::make_unique<testsupport::ChildProcess>(std::vector<std::string>{
            "Xvfb", ":" + std::to_string(n), "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        const bool up = testsupport::WaitFor(
            [&] { return testsupport::FileExists(socket) || x->Wait(0).has_value(); }, 10000);
        if (up && !x->Wait(0))
        {
            display = ":" + std::to_string(n);
            return x;
        }
    }
    return nullptr;
}

} // namespace

namespace x11
{

const std::string& Problem()
{
    return g_problem;
}

std::optional<QString> XdoOutput(const QStringList& arguments)
{
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"), arguments);
    if (!QTest::qWaitFor([&] { return xdo.state() == QProcess::NotRunning; }, 10000) ||
        xdo.exitStatus() != QProcess::NormalExit || xdo.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(xdo.readAllStandardOutput());
}

bool Xdo(const QStringList& arguments)
{
    return XdoOutput(arguments).has_value();
}

} // namespace x11

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // listing the tests (at build time) needs no display
    const bool listing = ::testing::GTEST_FLAG(list_tests);
    std::unique_ptr<testsupport::ChildProcess> xvfb, windowManager, watchdog;
    std::string display;
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop"})
        if (g_problem.empty() && !OnPath(tool))
            g_problem = std::string(tool) + " is not installed (scripts/bootstrap installs it)";
    if (!listing && g_problem.empty())
    {
        xvfb = StartXvfb(display);
        if (!xvfb) g_problem = "Xvfb did not start";
    }
    if (listing || !g_problem.empty())
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    else
    {
        setenv("DISPLAY", display.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        windowManager = std::make_unique<testsupport::ChildProcess>(
            std::vector<std::string>{"openbox", "--sm-disable"});
        // the window manager takes the screen before the first window maps
        const bool managed = testsupport::WaitFor(
            []
            {
                return testsupport::RunProcess({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, "",
                                               5000)
                           .out.find("window id") != std::string::npos;
            },
            30000);
        if (!managed) g_problem = "openbox did not take the screen";
        // a test program that is killed leaves no X server behind
        const std::string self = std::to_string(::getpid());
        watchdog = std::make_unique<testsupport::ChildProcess>(std::vector<std::string>{
            "sh", "-c",
            "while kill -0 " + self + " 2>/dev/null; do sleep 1; done; kill " +
                std::to_string(windowManager->Pid()) + " " + std::to_string(xvfb->Pid())});
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        skin_data::InitSkinData();
        result = RUN_ALL_TESTS();
    }
    watchdog.reset();
    windowManager.reset();
    xvfb.reset();
    return result;
}

// The xcb platform's session bus connection keeps a buffer that libdbus never frees.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}
