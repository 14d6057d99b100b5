// The main window. For now a plain window titled with the program's name; its Exit path
// (closing the window) already does what the Exit command does: copy the player's loop
// length into the settings and save them, exactly once.
#pragma once

#include <QDialog>

class CAppSettings;

class CVarkDlg : public QDialog {
    Q_OBJECT
public:
    explicit CVarkDlg(CAppSettings& settings, QWidget* parent = nullptr);

    // The Exit command: stop playback, release the player (when they exist), save the
    // settings, end the window.
    void OnExit();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    CAppSettings& settings_;
    uint32_t ringLength_; // the player's loop length in seconds
    bool exited_ = false;
};
