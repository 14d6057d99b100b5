#include "riff_scan.h"

#include "platform/little_endian.h"

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
    bool hasFormat = false;
    uint64_t pos = 12;
    while (pos + 8 <= end)
    {
        uint8_t chunk[8];
        if (!ReadAt(fd, pos, chunk, sizeof chunk)) break;
        const uint32_t size = platform::LoadLE32(chunk + 4);
        const uint64_t body = pos + 8;
        if (!hasFormat && std::memcmp(chunk, "fmt ", 4) == 0)
        {
            if (size > kMaxFormatChunk || body + size > end)
            {
                scan.status = RiffScan::badFormat;
                return scan;
            }
            std::vector<uint8_t> bytes(size);
            if (size && !ReadAt(fd, body, bytes.data(), size))
            {
                scan.status = RiffScan::badFormat;
                return scan;
            }
            scan.format = platform::WaveFormatBlock::FromChunk(bytes.data(), size);
            hasFormat = true;
        }
        else if (!scan.hasData && std::memcmp(chunk, "data", 4) == 0)
        {
            scan.hasData = true;
            scan.dataOffset = body;
            scan.dataSize = static_cast<uint32_t>(std::min<uint64_t>(size, end - body));
        }
        else if (!scan.fact && std::memcmp(chunk, "fact", 4) == 0 && size >= 4)
        {
            uint8_t count[4];
            if (body + 4 <= end && ReadAt(fd, body, count, 4))
                scan.fact = platform::LoadLE32(count);
        }
        pos = body + size + (size & 1);
    }
    scan.status = hasFormat ? RiffScan::ok : RiffScan::noFormat;
    return scan;
}

} // namespace ondakit
