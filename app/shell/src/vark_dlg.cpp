#include "vark_dlg.h"

#include "shell/app_settings.h"

#include "scriba/scriba.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

CVarkDlg::CVarkDlg(CAppSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), ringLength_(settings.RingLength)
{
    setWindowTitle(QStringLiteral("Sound Manager Varke P"));
    setMinimumSize(480, 320);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Sound Manager Varke P"), this));
}

void CVarkDlg::OnExit()
{
    if (exited_) return;
    exited_ = true;
    settings_.RingLength = ringLength_;
    if (settings_.Save())
        SLOG("Settings saved");
    else
        SLOG_ERR("Settings not saved: %ls", settings_.LastErrorText().c_str());
    done(QDialog::Accepted);
}

void CVarkDlg::closeEvent(QCloseEvent* event)
{
    OnExit();
    event->accept();
}

// Escape and the window manager's close both end the program through Exit.
void CVarkDlg::reject() { OnExit(); }
