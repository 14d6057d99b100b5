// MOVRA's static helpers: the level of a message and where the processing settings live.
#include "movra/movra.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "platform/install_layout.h"
#include "platform/paths.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

std::vector<long> CalcSndLevel(const SMSG& msg)
{
    std::vector<long> levels;
    const size_t frames = msg.Frames();
    if (msg.IsEmpty() || frames == 0) return levels;
    levels.reserve(msg.channels);
    for (unsigned long c = 0; c < msg.channels; ++c)
    {
        const int16_t* s = msg.Channel(c);
        int peak = 0;
        for (size_t f = 0; f < frames; ++f)
            peak = std::max(peak, std::abs(static_cast<int>(s[f])));
        levels.push_back(static_cast<long>(20.0 * std::log10(peak + 1.0)));
    }
    return levels;
}

std::string MOVRA::GetParentFolder()
{
    std::string path = platform::ExecutablePath();
    if (path.empty())
        throw RUNTIME_ERROR(DEBUG_INFO("GetParentFolder: the executable's path is unknown"));
    for (int cut = 0; cut < 2; ++cut)
    {
        const size_t slash = path.rfind('/');
        path = slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    return path;
}

std::string MOVRA::PlayerIniPath()
{
    // Installed (and in the build tree) the settings live in the program's data folder; a
    // host without one keeps them beside its own folder.
    const std::string data = platform::ProgramDataFolder();
    if (!data.empty()) return data + "/config/player.ini";
    return GetParentFolder() + "/config/player.ini";
}
