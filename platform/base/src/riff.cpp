#include "platform/riff.h"

#include "platform/little_endian.h"

#include <algorithm>
#include <cstring>

namespace platform::riff
{

void PutChunkHeader(uint8_t* at, uint32_t id, uint32_t bodySize)
{
    StoreLE32(at, id);
    StoreLE32(at + 4, bodySize);
}

std::vector<uint8_t> ChunkBytes(uint32_t id, const uint8_t* body, size_t bodySize)
{
    std::vector<uint8_t> bytes(kChunkHeaderBytes + bodySize + bodySize % 2, 0);
    PutChunkHeader(bytes.data(), id, static_cast<uint32_t>(bodySize));
    if (bodySize) std::memcpy(bytes.data() + kChunkHeaderBytes, body, bodySize);
    return bytes;
}

void PutFormHeader(uint8_t* at, uint32_t form, uint32_t size)
{
    PutChunkHeader(at, "RIFF", size);
    StoreLE32(at + kChunkHeaderBytes, form);
}

WaveHead WaveHeader(const uint8_t* format, size_t formatBytes, uint32_t riffSize, uint32_t dataSize)
{
    WaveHead head;
    head.bytes.resize(kFormHeaderBytes);
    PutFormHeader(head.bytes.data(), FourCc("WAVE"), riffSize);
    const std::vector<uint8_t> fmt = ChunkBytes(FourCc("fmt "), format, formatBytes);
    head.formatAt = head.bytes.size() + kChunkHeaderBytes;
    head.bytes.insert(head.bytes.end(), fmt.begin(), fmt.end());
    head.dataSizeAt = head.bytes.size() + 4;
    head.bytes.resize(head.bytes.size() + kChunkHeaderBytes);
    PutChunkHeader(head.bytes.data() + head.dataSizeAt - 4, "data", dataSize);
    return head;
}

uint32_t Chunk::Id() const
{
    return LoadLE32(reinterpret_cast<const uint8_t*>(id));
}

uint64_t WalkChunks(const ReadAt& read, uint64_t end, const Visit& visit, Pad pad)
{
    uint64_t pos = kFormHeaderBytes;
    while (pos + kChunkHeaderBytes <= end)
    {
        uint8_t header[kChunkHeaderBytes];
        if (!read(pos, header, sizeof header)) return pos;
        Chunk chunk;
        std::memcpy(chunk.id, header, 4);
        chunk.size = LoadLE32(header + 4);
        chunk.body = pos + kChunkHeaderBytes;
        chunk.held = static_cast<uint32_t>(std::min<uint64_t>(chunk.size, end - chunk.body));
        if (!visit(chunk)) return pos;
        pos = chunk.body + chunk.size;
        if (chunk.size & 1)
        {
            uint8_t next = 0;
            if (pad == Pad::kAlways || !read(pos, &next, 1) || next == 0) ++pos;
        }
    }
    return pos;
}

bool WalkWaveChunks(const uint8_t* bytes, size_t size, const Visit& visit)
{
    if (size < kFormHeaderBytes || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    const auto read = [bytes, size](uint64_t offset, void* buffer, size_t count)
    {
        if (offset > size || count > size - offset) return false;
        std::memcpy(buffer, bytes + offset, count);
        return true;
    };
    WalkChunks(read, size, visit);
    return true;
}

} // namespace platform::riff
