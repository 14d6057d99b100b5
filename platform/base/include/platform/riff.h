// RIFF "WAVE" files, for every reader and writer of such files in the programs. Readers walk
// the chunks here; writers take the chunk header, the form header and the head most WAVE
// files start with from here, and keep their own file handling (some rewrite sizes as they
// go).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace platform::riff
{

inline constexpr size_t kChunkHeaderBytes = 8;
inline constexpr size_t kFormHeaderBytes = 12;
// Where the form's size field (the file's size less 8) sits.
inline constexpr size_t kRiffSizeAt = 4;

// The id of a chunk as its header's first four bytes read little-endian.
constexpr uint32_t FourCc(const char (&id)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(id[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[3])) << 24;
}

// The 8-byte header of a chunk: id, body size.
void PutChunkHeader(uint8_t* at, uint32_t id, uint32_t bodySize);
inline void PutChunkHeader(uint8_t* at, const char (&id)[5], uint32_t bodySize)
{
    PutChunkHeader(at, FourCc(id), bodySize);
}
// A whole chunk: header, body, and the zero pad byte after an odd-sized body.
std::vector<uint8_t> ChunkBytes(uint32_t id, const uint8_t* body, size_t bodySize);
// "RIFF" `size` `form`: the 12 bytes a RIFF file starts with.
void PutFormHeader(uint8_t* at, uint32_t form, uint32_t size);

// The head of a WAVE file: the form header, the "fmt " chunk holding the format record
// (padded to even length), and the data chunk's header.
struct WaveHead
{
    std::vector<uint8_t> bytes;
    size_t formatAt = 0;   // where the format record starts
    size_t dataSizeAt = 0; // where the data chunk's size field sits; its body follows
};
WaveHead WaveHeader(const uint8_t* format, size_t formatBytes, uint32_t riffSize,
                    uint32_t dataSize);

// ---- reading ----

// One sub-chunk: its four-character id, where its body starts, the size its header declares
// and how much of that lies before the end of the walk.
struct Chunk
{
    char id[4];
    uint64_t body = 0;
    uint32_t size = 0;
    uint32_t held = 0;

    bool Is(const char (&fourcc)[5]) const { return std::memcmp(id, fourcc, 4) == 0; }
    uint32_t Id() const;
};

// Reads `size` bytes at `offset` into `buffer`; false when they cannot all be read.
using ReadAt = std::function<bool(uint64_t offset, void* buffer, size_t size)>;
// Returns false to end the walk.
using Visit = std::function<bool(const Chunk& chunk)>;

// How a body of odd size is stepped over: always with its pad byte, as RIFF lays it down, or
// only when that byte is zero (pad bytes are zero and no chunk id starts with one, so a
// file whose writer did not pad still reads).
enum class Pad
{
    kAlways,
    kWhenZero,
};

// Hands every sub-chunk header from offset 12 up to `end` to `visit`, in file order. Ends at
// `end`, at a header that cannot be read whole, or when `visit` says so; returns where the
// walk ended (the offset of the header it did not take, or past the last chunk).
uint64_t WalkChunks(const ReadAt& read, uint64_t end, const Visit& visit, Pad pad = Pad::kAlways);

// The same over a whole file in memory, up to its last byte; false (and no visit) when it
// does not start with a RIFF "WAVE" header.
bool WalkWaveChunks(const uint8_t* bytes, size_t size, const Visit& visit);

} // namespace platform::riff
