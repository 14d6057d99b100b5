#include "shell/vark_app.h"

#include "platform/paths.h"

namespace
{
std::string Roaming()
{
    std::string folder = platform::RoamingAppDataFolder();
    return folder.empty() ? platform::ExecutableFolder() : folder;
}
} // namespace

std::string CVarkApp::DataFolder()
{
    std::string folder = platform::JoinPath(Roaming(), "Mirvanta");
    // Folder creation failures are ignored: the program still runs, without a log.
    platform::CreateFolders(folder);
    folder = platform::JoinPath(folder, "Varke-P");
    platform::CreateFolders(folder);
    return folder;
}

std::string CVarkApp::DataFolderName()
{
    return platform::JoinPath(platform::JoinPath(Roaming(), "Mirvanta"), "Varke-P");
}
