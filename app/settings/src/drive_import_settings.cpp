#include "settings/drive_import_settings.h"

#include "platform/profile.h"
#include "program_ini.h"

#include <cstdlib>

namespace
{

constexpr const char* kSection = "DriveImport";

std::string Key(const std::string& identity, const char* what)
{
    return identity + "." + what;
}

} // namespace

std::string DefaultImportFolder(const std::string& label)
{
    std::string name;
    for (const char c : label)
        name += (c == '/' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    if (name.empty() || name == "." || name == "..") name = "Recorder";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/Recordings/" + name;
}

DriveImportSetting LoadDriveImportSetting(const std::string& identity, const std::string& label,
                                          const std::wstring& iniPath)
{
    DriveImportSetting s;
    s.folder = DefaultImportFolder(label);
    const std::string file = ProgramIniFile(iniPath);
    if (file.empty() || identity.empty()) return s;
    const auto read = [&](const char* what)
    { return platform::ProfileReadString(file, kSection, Key(identity, what)); };
    // anything but 1 that was written is an answer: only a missing key asks again
    if (const auto copy = read("Copy"))
        s.choice = *copy == "1" ? DriveImportChoice::kOn : DriveImportChoice::kOff;
    if (const auto folder = read("Folder"); folder && !folder->empty()) s.folder = *folder;
    s.deleteVerified = read("Delete").value_or("0") == "1";
    return s;
}

bool SaveDriveImportSetting(const std::string& identity, const DriveImportSetting& setting,
                            const std::wstring& iniPath)
{
    const std::string file = ProgramIniFile(iniPath);
    if (file.empty() || identity.empty()) return false;
    const auto write = [&](const char* what, const std::string& value)
    { return platform::ProfileWriteString(file, kSection, Key(identity, what), value); };
    if (setting.choice == DriveImportChoice::kUnasked)
        return platform::ProfileDeleteKey(file, kSection, Key(identity, "Copy"));
    return write("Copy", setting.choice == DriveImportChoice::kOn ? "1" : "0") &&
           write("Folder", setting.folder) && write("Delete", setting.deleteVerified ? "1" : "0");
}
