// What the window does when a drive recorder is plugged in: copy its new records to a folder
// of its own, optionally deleting each one once its copy is verified. Kept per recorder, by
// the drive's identity, in the "DriveImport" section of the program's settings file, so a
// recorder keeps its folder whichever port or mount point it comes in on.
#pragma once

#include <string>

enum class DriveImportChoice
{
    kUnasked, // never offered: the window asks the first time the recorder is plugged in
    kOff,     // declined or turned off: not asked again
    kOn,
};

struct DriveImportSetting
{
    DriveImportChoice choice = DriveImportChoice::kUnasked;
    std::string folder; // the default folder when none was chosen
    bool deleteVerified = false;
};

// ~/Recordings/<label>, the label made one plain folder name.
std::string DefaultImportFolder(const std::string& label);

// An empty path is the program's settings file.
DriveImportSetting LoadDriveImportSetting(const std::string& identity, const std::string& label,
                                          const std::wstring& iniPath = L"");
bool SaveDriveImportSetting(const std::string& identity, const DriveImportSetting& setting,
                            const std::wstring& iniPath = L"");
