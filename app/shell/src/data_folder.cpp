#include "shell/vark_app.h"

#include "platform/paths.h"

std::string CVarkApp::DataFolder()
{
    std::string folder = platform::RoamingAppDataFolder();
    if (folder.empty()) folder = platform::ExecutableFolder();
    // Folder creation failures are ignored: the program still runs, without a log.
    folder = platform::JoinPath(folder, "Mirvanta");
    platform::CreateFolders(folder);
    folder = platform::JoinPath(folder, "Varke-P");
    platform::CreateFolders(folder);
    return folder;
}
