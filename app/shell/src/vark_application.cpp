#include "vark_application.h"

#include <QDialog>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &byte, 1);
}
} // namespace

CVarkApplication::CVarkApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0)
    {
        signalNotifier_ = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
        connect(signalNotifier_, &QSocketNotifier::activated, this,
                &CVarkApplication::OnTerminationSignal);
        struct sigaction sa
        {
        };
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            ::sigaction(sig, &sa, nullptr);
    }
}

CVarkApplication::~CVarkApplication()
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        std::signal(sig, SIG_DFL);
    for (int& fd : g_signalPipe)
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void CVarkApplication::SetMainWindow(QDialog* window)
{
    mainWindow_ = window;
}

void CVarkApplication::RethrowEscapedException()
{
    if (escaped_) std::rethrow_exception(std::exchange(escaped_, nullptr));
}

bool CVarkApplication::notify(QObject* receiver, QEvent* event)
{
    try
    {
        return QApplication::notify(receiver, event);
    }
    catch (...)
    {
        escaped_ = std::current_exception();
        // Queued: the exception may come before the window's own event loop runs.
        if (mainWindow_)
            QMetaObject::invokeMethod(
                mainWindow_,
                [w = mainWindow_]
                {
                    if (w) w->done(QDialog::Rejected);
                },
                Qt::QueuedConnection);
        return false;
    }
}

void CVarkApplication::OnTerminationSignal()
{
    char buf[16];
    while (::read(g_signalPipe[0], buf, sizeof buf) > 0)
    {
    }
    // Closing the window runs the same path as the Exit command, settings included.
    if (mainWindow_) mainWindow_->close();
}
