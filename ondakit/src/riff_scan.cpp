#include "riff_scan.h"

#include "platform/little_endian.h"
#include "platform/riff.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ondakit
{

namespace
{

// A format block is a few dozen bytes; a megabyte is no format block.
constexpr uint32_t kMaxFormatChunk = 1u << 20;

bool ReadAt(int fd, uint64_t offset, void* buffer, size_t size)
{
    auto* p = static_cast<uint8_t*>(buffer);
    while (size > 0)
    {
        const ssize_t n = pread(fd, p, size, static_cast<off_t>(offset));
        if (n <= 0) return false;
        p += n, offset += static_cast<uint64_t>(n), size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

RiffScan ScanRiff(int fd)
{
    RiffScan scan;
    struct stat st
    {
    };
    uint8_t head[12];
    if (fstat(fd, &st) != 0 || !ReadAt(fd, 0, head, sizeof head)) return scan;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return scan;
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    const uint64_t end = std::min<uint64_t>(8 + uint64_t{platform::LoadLE32(head + 4)}, fileSize);
    const auto read = [fd](uint64_t offset, void* buffer, size_t size)
    { return ReadAt(fd, offset, buffer, size); };
    bool hasFormat = false;
    platform::riff::WalkChunks(
        read, end,
        [&](const platform::riff::Chunk& chunk)
        {
            if (!hasFormat && chunk.Is("fmt "))
            {
                if (chunk.size > kMaxFormatChunk || chunk.held < chunk.size)
                {
                    scan.status = RiffScan::badFormat;
                    return false;
                }
                std::vector<uint8_t> bytes(chunk.size);
                if (chunk.size && !ReadAt(fd, chunk.body, bytes.data(), chunk.size))
                {
                    scan.status = RiffScan::badFormat;
                    return false;
                }
                scan.format = platform::WaveFormatBlock::FromChunk(bytes.data(), chunk.size);
                hasFormat = true;
            }
            else if (!scan.hasData && chunk.Is("data"))
            {
                scan.hasData = true;
                scan.dataOffset = chunk.body;
                scan.dataSize = chunk.held;
            }
            else if (!scan.fact && chunk.Is("fact") && chunk.held >= 4)
            {
                uint8_t count[4];
                if (ReadAt(fd, chunk.body, count, 4)) scan.fact = platform::LoadLE32(count);
            }
            return true;
        });
    if (scan.status == RiffScan::badFormat) return scan;
    scan.status = hasFormat ? RiffScan::ok : RiffScan::noFormat;
    return scan;
}

} // namespace ondakit
