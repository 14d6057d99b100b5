#include "ondakit/riff_chunks.h"

#include "platform/little_endian.h"

#include <algorithm>

namespace ondakit
{

void WalkRiffChunks(const RiffReadAt& read, uint64_t end, const RiffVisit& visit)
{
    uint64_t pos = 12;
    while (pos + 8 <= end)
    {
        uint8_t header[8];
        if (!read(pos, header, sizeof header)) return;
        RiffChunk chunk;
        std::memcpy(chunk.id, header, 4);
        chunk.size = platform::LoadLE32(header + 4);
        chunk.body = pos + 8;
        chunk.held = static_cast<uint32_t>(std::min<uint64_t>(chunk.size, end - chunk.body));
        if (!visit(chunk)) return;
        pos = chunk.body + chunk.size + (chunk.size & 1);
    }
}

bool WalkRiffChunks(const uint8_t* bytes, size_t size, const RiffVisit& visit)
{
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    const auto read = [bytes, size](uint64_t offset, void* buffer, size_t count)
    {
        if (offset > size || count > size - offset) return false;
        std::memcpy(buffer, bytes + offset, count);
        return true;
    };
    WalkRiffChunks(read, size, visit);
    return true;
}

} // namespace ondakit
