// Recorder parameter files (.vrp): any bytes as a file. A file that is refused leaves the
// record as it was; one that is taken saves back to a file that loads as the same record.
#include "fuzz_support.h"

#include "device/vark_settings.h"
#include "platform/text.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = fuzz::ScratchPath("params.vrp");
    static const std::string copy = fuzz::ScratchPath("copy.vrp");
    if (!fuzz::WriteBytes(path, data, size)) return 0;
    vark::VarkParams params;
    vark::VarkParamsBytes pattern{};
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<uint8_t>(i * 7 + 3);
    params = vark::DeserializeParams(pattern.data());
    const vark::VarkParams before = params;
    if (!vark::LoadParamsFile(platform::Utf8ToWide(path), params))
    {
        FUZZ_CHECK(params == before);
        return 0;
    }
    FUZZ_CHECK(vark::SaveParamsFile(platform::Utf8ToWide(copy), params));
    vark::VarkParams reloaded = before;
    FUZZ_CHECK(vark::LoadParamsFile(platform::Utf8ToWide(copy), reloaded));
    FUZZ_CHECK(vark::SerializeParams(reloaded) == vark::SerializeParams(params));
    return 0;
}
