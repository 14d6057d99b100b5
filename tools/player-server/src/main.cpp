// vark-player: the player server. --regserver / --unregserver (un)register it for the player
// class; started by the COM runtime with --com-serve, it serves one player object per
// activation and writes the core's journal to Log/Player.log under the program's data
// folder.
#include "player_case.h"

#include "faltor/journal.h"
#include "platform/paths.h"
#include "platform/version.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace
{
std::string LogFolder()
{
    std::string folder = platform::RoamingAppDataFolder();
    if (folder.empty()) folder = platform::ExecutableFolder();
    return platform::JoinPath(platform::JoinPath(platform::JoinPath(folder, "Mirvanta"), "Varke-P"),
                              "Log");
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
    {
        std::printf("vark-player %s\n", platform::kProgramVersion);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
    {
        std::printf("usage: vark-player --regserver | --unregserver | --help | --version\n"
                    "The player server, started by vark and vark-cli play (--com-serve=FD).\n"
                    "  --regserver    register this program as the player server\n"
                    "  --unregserver  remove the registration\n"
                    "environment: VARK_COM_REGISTRY (the registration folder, default\n"
                    "  $XDG_DATA_HOME/vark/com), VARK_AUDIO, VARK_AUDIO_SPEED\n");
        return 0;
    }
    trillo::RegisterPlayerInterfaces();
    const bool serving = argc == 2 && std::strncmp(argv[1], "--com-serve=", 12) == 0;
    if (serving)
    {
        const std::string folder = LogFolder();
        // Without a journal the player still plays.
        if (platform::CreateFolders(folder))
            JOURNAL::Create(platform::JoinPath(folder, "Player.log"));
    }
    com::ServerClass server{trillo::CLSID_PlayerCase, [](com::REFIID iid, void** object)
                            {
                                try
                                {
                                    auto* player = new player::CPlayerCase;
                                    const com::HRESULT hr = player->QueryInterface(iid, object);
                                    player->Release();
                                    return hr;
                                }
                                catch (const std::exception& e)
                                {
                                    if (JOURNAL::Journal)
                                        JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR, "no player: %s",
                                                              e.what());
                                    return com::E_FAIL;
                                }
                            }};
    const int status = com::ServerMain(argc, argv, server);
    JOURNAL::Destroy();
    return status;
}
