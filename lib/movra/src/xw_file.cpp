#include "xw_file.h"

#include "platform/little_endian.h"

#include <vector>

using platform::LoadLE32;
using platform::StoreLE32;

namespace
{

bool ReadExact(A_FILE& file, void* buffer, uint32_t count)
{
    uint32_t done = 0;
    return file.Read(buffer, count, &done) && done == count;
}

bool WriteExact(A_FILE& file, const void* buffer, uint32_t count)
{
    uint32_t done = 0;
    return file.Write(buffer, count, &done) && done == count;
}

} // namespace

CHUNK::~CHUNK() = default;

bool CHUNK::ReadHeader(A_FILE& file)
{
    uint8_t header[8];
    if (!ReadExact(file, header, sizeof header)) return false;
    id_ = LoadLE32(header);
    size_ = LoadLE32(header + 4);
    return true;
}

bool CHUNK::WriteHeader(A_FILE& file, uint32_t size)
{
    uint8_t header[platform::riff::kChunkHeaderBytes];
    platform::riff::PutChunkHeader(header, id_, size);
    size_ = size;
    return WriteExact(file, header, sizeof header);
}

bool CHUNK::Write(A_FILE& file)
{
    return WriteHeader(file, size_);
}

bool RIFF_CHUNK::Write(A_FILE& file)
{
    uint8_t header[platform::riff::kFormHeaderBytes];
    platform::riff::PutFormHeader(header, form_, size_);
    return WriteExact(file, header, sizeof header);
}

bool RIFF_CHUNK::Read(A_FILE& file)
{
    uint8_t form[4];
    if (!ReadHeader(file) || !ReadExact(file, form, sizeof form)) return false;
    form_ = LoadLE32(form);
    return true;
}

FMT_CHUNK::FMT_CHUNK(const WAVEFORMATEX* format) : CHUNK(CHUNK_FMT), format_(format) {}

uint32_t FMT_CHUNK::BodySize() const
{
    return static_cast<uint32_t>(format_.size());
}

bool FMT_CHUNK::Write(A_FILE& file)
{
    const std::vector<uint8_t> body = format_.Serialize();
    size_ = static_cast<uint32_t>(body.size());
    const std::vector<uint8_t> chunk = platform::riff::ChunkBytes(id_, body.data(), body.size());
    return WriteExact(file, chunk.data(), static_cast<uint32_t>(chunk.size()));
}

bool FACT_CHUNK::Write(A_FILE& file)
{
    uint8_t body[4];
    StoreLE32(body, samples_);
    size_ = sizeof body;
    const std::vector<uint8_t> chunk = platform::riff::ChunkBytes(id_, body, sizeof body);
    return WriteExact(file, chunk.data(), static_cast<uint32_t>(chunk.size()));
}

bool DATA_CHUNK::Write(A_FILE& file)
{
    return WriteHeader(file, size_);
}
