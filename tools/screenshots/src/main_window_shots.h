// The main window in every language: connected to a demo recorder with its list loaded, and
// playing a record; and the recording parameters of that recorder. The recorder is plugged in this
// process under private folders, so the user's own devices and settings are never touched.
#pragma once

#include <QString>

bool SaveMainWindowShots(const QString& dir);
