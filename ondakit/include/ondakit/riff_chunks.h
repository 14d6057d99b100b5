// The chunk walk of a RIFF "WAVE" file, in one place for every reader of such files: the
// library's own RIFF reader, the virtual recorder's audio import and the tests' WAV checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>

namespace ondakit
{

// One sub-chunk: its four-character id, where its body starts, the size its header declares
// and how much of that lies before the end of the walk.
struct RiffChunk
{
    char id[4];
    uint64_t body = 0;
    uint32_t size = 0;
    uint32_t held = 0;

    bool Is(const char (&fourcc)[5]) const { return std::memcmp(id, fourcc, 4) == 0; }
};

// Reads `size` bytes at `offset` into `buffer`; false when they cannot all be read.
using RiffReadAt = std::function<bool(uint64_t offset, void* buffer, size_t size)>;
// Returns false to end the walk.
using RiffVisit = std::function<bool(const RiffChunk& chunk)>;

// Hands every sub-chunk header from offset 12 up to `end` to `visit`, in file order, each
// body padded to even length. Ends at `end`, at a header that cannot be read, or when
// `visit` says so.
void WalkRiffChunks(const RiffReadAt& read, uint64_t end, const RiffVisit& visit);

// The same over a whole file in memory, up to its last byte; false (and no visit) when it
// does not start with a RIFF "WAVE" header.
bool WalkRiffChunks(const uint8_t* bytes, size_t size, const RiffVisit& visit);

} // namespace ondakit
