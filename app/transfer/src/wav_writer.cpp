#include "transfer/wav_writer.h"

#include "platform/little_endian.h"
#include "platform/riff.h"
#include "platform/whole_file.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vark
{
namespace
{

uint8_t* Bytes(std::string& s, size_t at)
{
    return reinterpret_cast<uint8_t*>(s.data()) + at;
}

void PutText(std::string& s, size_t at, const char* text)
{
    std::memcpy(&s[at], text, std::strlen(text));
}

// At most `chars` characters of UTF-8 text (the system's code page here), never cutting a
// character in two, and at most `maxBytes` bytes.
std::string Leading(const std::string& text, size_t chars, size_t maxBytes)
{
    size_t end = 0, count = 0;
    while (end < text.size() && count < chars)
    {
        size_t next = end + 1;
        while (next < text.size() && (static_cast<uint8_t>(text[next]) & 0xC0) == 0x80)
            ++next;
        if (next > maxBytes) break;
        end = next;
        ++count;
    }
    return text.substr(0, end);
}

} // namespace

std::string WavTrailer(const std::string& baseName)
{
    static constexpr char kComment[] = "Start date-time & sound source: ";
    std::string t(kWavTrailerSize, '\0');
    platform::riff::PutChunkHeader(Bytes(t, 0), "LIST", 148);
    PutText(t, 8, "INFO");
    platform::riff::PutChunkHeader(Bytes(t, 12), "INAM", 64);
    PutText(t, 20, "Varke P");
    platform::riff::PutChunkHeader(Bytes(t, 84), "ICMT", 64);
    // The 64-byte comment keeps a terminating zero: at most 63 bytes of text.
    const std::string text = kComment + Leading(baseName, 30, 63 - (sizeof kComment - 1));
    PutText(t, 92, text.c_str());
    return t;
}

std::string CWavWriter::Header() const
{
    uint8_t format[18] = {};
    const auto blockAlign = static_cast<uint16_t>(channels_ * bytesPerSample_);
    platform::StoreLE16(format, formatTag_);
    platform::StoreLE16(format + 2, channels_);
    platform::StoreLE32(format + 4, rate_);
    platform::StoreLE32(format + 8, rate_ * blockAlign);
    platform::StoreLE16(format + 12, blockAlign);
    platform::StoreLE16(format + 14, static_cast<uint16_t>(8u * bytesPerSample_));
    auto head = platform::riff::WaveHeader(
        format, sizeof format, uint32_t(38 + bext_.size()) + dataSize_ + trailerSize_, dataSize_);
    // the data chunk's header starts four bytes before its size field
    head.bytes.insert(head.bytes.begin() + long(head.dataSizeAt - 4), bext_.begin(), bext_.end());
    return std::string(head.bytes.begin(), head.bytes.end());
}

bool CWavWriter::Create(const std::filesystem::path& path, const SampleFormat& format,
                        const platform::bext::Bext* tags)
{
    Close();
    bext_.clear();
    if (tags != nullptr)
    {
        const std::vector<uint8_t> body = platform::bext::Body(*tags);
        bext_ =
            platform::riff::ChunkBytes(platform::riff::FourCc("bext"), body.data(), body.size());
    }
    formatTag_ = format.ulaw ? 7 : 1;
    channels_ = format.channels;
    bytesPerSample_ = format.ulaw ? 1 : 2;
    rate_ = format.rate;
    dataSize_ = 0;
    trailerSize_ = 0;
    failed_ = false;
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
    const std::string header = Header();
    if (!WriteAll(header.data(), header.size()))
    {
        Close();
        return false;
    }
    return true;
}

bool CWavWriter::WriteAll(const void* data, size_t bytes)
{
    if (platform::WriteWhole(fd_, data, bytes)) return true;
    failed_ = true;
    return false;
}

bool CWavWriter::Write(const void* data, size_t bytes)
{
    if (!IsOpen()) return false;
    if (bytes >= dataLimit_ || dataSize_ >= dataLimit_ - bytes)
    {
        Close();
        return false;
    }
    // Count what reached the file even when the write stops half-way: the header must
    // describe the bytes that are there.
    const off_t before = ::lseek(fd_, 0, SEEK_CUR);
    const bool ok = WriteAll(data, bytes);
    const off_t after = ::lseek(fd_, 0, SEEK_CUR);
    if (ok)
        dataSize_ += static_cast<uint32_t>(bytes);
    else if (before >= 0 && after > before)
        dataSize_ += static_cast<uint32_t>(after - before);
    return ok;
}

bool CWavWriter::WriteTrailer(const std::string& baseName)
{
    if (!IsOpen()) return false;
    const std::string trailer = WavTrailer(baseName);
    if (!WriteAll(trailer.data(), trailer.size())) return false;
    trailerSize_ = static_cast<uint32_t>(trailer.size());
    return true;
}

bool CWavWriter::Close()
{
    if (!IsOpen()) return true;
    bool ok = !failed_;
    const off_t end = ::lseek(fd_, 0, SEEK_CUR);
    ok = end >= 0 && ::ftruncate(fd_, end) == 0 && ok;
    const std::string header = Header();
    ok =
        ::pwrite(fd_, header.data(), header.size(), 0) == static_cast<ssize_t>(header.size()) && ok;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
}

} // namespace vark
