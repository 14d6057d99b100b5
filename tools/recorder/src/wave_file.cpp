#include "recorder/wave_file.h"

#include "platform/little_endian.h"
#include "platform/riff.h"

namespace recorder
{

namespace riff = platform::riff;

std::vector<uint8_t> WaveFileBytes(const PcmAudio& audio, const platform::bext::Bext* bext)
{
    const uint16_t channels = static_cast<uint16_t>(audio.channels);
    uint8_t format[16];
    platform::StoreLE16(format, 1); // PCM
    platform::StoreLE16(format + 2, channels);
    platform::StoreLE32(format + 4, audio.rate);
    platform::StoreLE32(format + 8, audio.rate * channels * 2);
    platform::StoreLE16(format + 12, static_cast<uint16_t>(channels * 2));
    platform::StoreLE16(format + 14, 16);

    std::vector<uint8_t> out(riff::kFormHeaderBytes);
    const auto append = [&out](const std::vector<uint8_t>& chunk)
    { out.insert(out.end(), chunk.begin(), chunk.end()); };
    append(riff::ChunkBytes(riff::FourCc("fmt "), format, sizeof format));
    if (bext)
    {
        const std::vector<uint8_t> body = platform::bext::Body(*bext);
        append(riff::ChunkBytes(riff::FourCc("bext"), body.data(), body.size()));
    }
    const size_t dataBytes = audio.samples.size() * 2;
    const size_t dataAt = out.size() + riff::kChunkHeaderBytes;
    out.resize(dataAt + dataBytes);
    riff::PutChunkHeader(out.data() + dataAt - riff::kChunkHeaderBytes, "data",
                         static_cast<uint32_t>(dataBytes));
    for (size_t i = 0; i < audio.samples.size(); ++i)
        platform::StoreLE16(out.data() + dataAt + 2 * i, static_cast<uint16_t>(audio.samples[i]));
    riff::PutFormHeader(out.data(), riff::FourCc("WAVE"), static_cast<uint32_t>(out.size() - 8));
    return out;
}

} // namespace recorder
