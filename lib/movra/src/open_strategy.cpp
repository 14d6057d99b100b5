#include "movra/open_strategy.h"

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

std::string HostSettingsPath(const std::string& executable)
{
    const size_t slash = executable.find_last_of('/');
    const size_t dot = executable.find_last_of('.');
    // A dot in a folder name or a leading dot of a hidden file is no extension.
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return hasExtension ? executable.substr(0, dot + 1) + "ini" : executable + ".ini";
}

int ParseOpenStrategy(const std::string& value)
{
    if (platform::EqualsNoCaseUtf8(value, "MMIO_DX")) return OPEN_STRATEGY_MMIO;
    if (platform::EqualsNoCaseUtf8(value, "DX")) return OPEN_STRATEGY_DX;
    return OPEN_STRATEGY_NATIVE;
}

int ReadOpenStrategy()
{
    const std::string exe = platform::ExecutablePath();
    if (exe.empty()) return OPEN_STRATEGY_NATIVE;
    return ParseOpenStrategy(
        platform::ProfileReadString(HostSettingsPath(exe), "SETTINGS", "OpenStrategy")
            .value_or("NZ_MMIO_DX"));
}
