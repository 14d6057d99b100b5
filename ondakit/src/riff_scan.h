// The chunk walk of a RIFF WAVE file, shared by the RIFF reader and the header queries.
#pragma once

#include "platform/wave_format.h"

#include <cstdint>
#include <optional>

namespace ondakit
{

struct RiffScan
{
    enum Status
    {
        ok,
        noWaveForm, // no RIFF "WAVE" header
        noFormat,   // no "fmt " chunk
        badFormat,  // a "fmt " chunk that runs past the file or is absurdly large
    } status = noWaveForm;
    platform::WaveFormatBlock format;
    bool hasData = false;
    uint64_t dataOffset = 0;
    uint32_t dataSize = 0; // cut to what the file holds
    std::optional<uint32_t> fact;
};

// Walks the sub-chunks of the RIFF "WAVE" form of the open file `fd` in file order (each
// body padded to even length): the first "fmt ", the first "data" and the first "fact".
RiffScan ScanRiff(int fd);

} // namespace ondakit
