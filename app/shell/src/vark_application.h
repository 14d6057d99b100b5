// The program's QApplication: turns an exception escaping an event handler into the end of
// the main window (Qt cannot unwind through its event loop), and closes the main window
// gracefully on SIGTERM, SIGINT or SIGHUP, as the Exit command does.
#pragma once

#include <QApplication>
#include <QPointer>
#include <exception>

class QDialog;
class QSocketNotifier;

class CVarkApplication : public QApplication
{
    Q_OBJECT
public:
    CVarkApplication(int& argc, char** argv);
    ~CVarkApplication() override;

    void SetMainWindow(QDialog* window);
    void RethrowEscapedException();
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void OnTerminationSignal();

    QPointer<QDialog> mainWindow_;
    std::exception_ptr escaped_;
    QSocketNotifier* signalNotifier_ = nullptr;
};
