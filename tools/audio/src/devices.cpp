#include "commands.h"

#include "platform/waveout.h"

#include <cstdio>

namespace varkaudio
{

int Devices(const Args& args)
{
    if (!args.empty())
    {
        Complain("devices takes no arguments");
        return 2;
    }
    // name first: it is what --output-device and the program's settings take
    for (const auto& device : platform::waveout::OutputDevices())
        std::printf("%s\t%s\n", device.name.c_str(), device.description.c_str());
    return 0;
}

} // namespace varkaudio
