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

bool Skip(A_FILE& file, int64_t bytes)
{
    return file.Seek(bytes, A_FILE::FROM_CURRENT) >= 0;
}

} // namespace

CHUNK::~CHUNK() = default;

bool CHUNK::ReadHeader(A_FILE& file)
{
    uint8_t header[8];
    headerRead_ = false;
    if (!ReadExact(file, header, sizeof header)) return false;
    id_ = LoadLE32(header);
    size_ = LoadLE32(header + 4);
    headerRead_ = true;
    return true;
}

bool CHUNK::WriteHeader(A_FILE& file, uint32_t size)
{
    uint8_t header[8];
    StoreLE32(header, id_);
    StoreLE32(header + 4, size);
    size_ = size;
    return WriteExact(file, header, sizeof header);
}

bool CHUNK::SkipPad(A_FILE& file, uint64_t bodySize)
{
    if (bodySize % 2 == 0) return true;
    uint8_t pad = 0;
    uint32_t done = 0;
    if (!file.Read(&pad, 1, &done)) return false;
    if (done == 1 && pad != 0) return Skip(file, -1); // not a pad: the next chunk starts here
    return true;
}

bool CHUNK::Write(A_FILE& file)
{
    return WriteHeader(file, size_);
}

bool CHUNK::Read(A_FILE& file)
{
    return ReadHeader(file) && Skip(file, size_) && SkipPad(file, size_);
}

bool RIFF_CHUNK::Write(A_FILE& file)
{
    uint8_t form[4];
    StoreLE32(form, form_);
    return WriteHeader(file, size_) && WriteExact(file, form, sizeof form);
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
    const auto size = static_cast<uint32_t>(body.size());
    static const uint8_t zero = 0;
    return WriteHeader(file, size) && WriteExact(file, body.data(), size) &&
           (size % 2 == 0 || WriteExact(file, &zero, 1));
}

bool FMT_CHUNK::Read(A_FILE& file)
{
    tooLarge_ = false;
    if (!ReadHeader(file)) return false;
    if (size_ > kMaxFormatBytes)
    {
        tooLarge_ = true;
        return false;
    }
    std::vector<uint8_t> body(size_);
    if (!ReadExact(file, body.data(), size_)) return false;
    format_ = platform::WaveFormatBlock::FromChunk(body.data(), body.size());
    return SkipPad(file, size_);
}

bool FACT_CHUNK::Write(A_FILE& file)
{
    uint8_t body[4];
    StoreLE32(body, samples_);
    return WriteHeader(file, 4) && WriteExact(file, body, sizeof body);
}

bool FACT_CHUNK::Read(A_FILE& file)
{
    uint8_t body[4];
    if (!ReadHeader(file) || size_ < 4 || !ReadExact(file, body, sizeof body)) return false;
    samples_ = LoadLE32(body);
    // A longer fact body carries nothing the reader uses.
    return Skip(file, size_ - 4) && SkipPad(file, size_);
}

bool DATA_CHUNK::Write(A_FILE& file)
{
    return WriteHeader(file, size_);
}

bool DATA_CHUNK::Read(A_FILE& file)
{
    if (!ReadHeader(file)) return false;
    bodyStart_ = file.Seek(0, A_FILE::FROM_CURRENT);
    return bodyStart_ >= 0 && Skip(file, size_) && SkipPad(file, size_);
}
