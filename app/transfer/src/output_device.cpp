#include "transfer/output_device.h"

#include "platform/text.h"
#include "platform/waveout.h"
#include "scriba/scriba.h"

#include <cstdlib>

namespace vark
{

int OutputDeviceNumber(const std::wstring& name)
{
    if (name.empty()) return -1;
    if (const char* chosen = std::getenv("VARK_AUDIO"); chosen && *chosen) return -1;
    const std::string pcm = platform::WideToUtf8(name);
    const int number = platform::waveout::DeviceNumber(pcm);
    if (number < 0)
        SLOG_ERR("Output device \"%s\" is not there; playing through the default device",
                 pcm.c_str());
    return number;
}

} // namespace vark
