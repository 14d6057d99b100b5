#include "ondakit/out_riff_file_stream.h"

#include "platform/little_endian.h"
#include "platform/riff.h"
#include "platform/text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace
{

bool WriteAllAt(int fd, const uint8_t* data, size_t size, uint64_t offset, size_t* written)
{
    size_t done = 0;
    while (done < size)
    {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    if (written) *written = done;
    return done == size;
}

} // namespace

std::string OutRiffFileStream::ErrorText(int code, const char* text)
{
    std::string message = "Error " + std::to_string(code) + ": ";
    if (text) message += std::string(text) + "{";
    // Code 0 is no system error and has no description worth showing.
    if (code > 0) message += "\n" + std::string(std::strerror(code)) + "\n";
    return message + "}\n";
}

void OutRiffFileStream::Raise(int code, const char* text)
{
    throw std::runtime_error(ErrorText(code, text));
}

OutRiffFileStream::OutRiffFileStream(const wchar_t* path, WAVEFORMATEX* format)
{
    if (!path) Raise(EINVAL, nullptr);
    OpenFile(platform::WideToUtf8(path), format);
}

OutRiffFileStream::OutRiffFileStream(const char* path, WAVEFORMATEX* format)
{
    if (!path) Raise(EINVAL, nullptr);
    OpenFile(path, format);
}

OutRiffFileStream::OutRiffFileStream(const wchar_t* path, int sampleRate, int channels)
{
    if (!path) Raise(EINVAL, nullptr);
    if (sampleRate <= 0 || channels <= 0 || channels > 0x7FFF) Raise(0, "Bad wave format");
    WAVEFORMATEX f =
        platform::MakePcmFormat(static_cast<uint32_t>(sampleRate), static_cast<uint16_t>(channels));
    OpenFile(platform::WideToUtf8(path), &f);
}

OutRiffFileStream::OutRiffFileStream(const char* path, int sampleRate, int channels)
{
    if (!path) Raise(EINVAL, nullptr);
    if (sampleRate <= 0 || channels <= 0 || channels > 0x7FFF) Raise(0, "Bad wave format");
    WAVEFORMATEX f =
        platform::MakePcmFormat(static_cast<uint32_t>(sampleRate), static_cast<uint16_t>(channels));
    OpenFile(path, &f);
}

void OutRiffFileStream::OpenFile(const std::string& path, const WAVEFORMATEX* format)
{
    if (!format) Raise(0, "Can't write WaveFormat structure");
    channels_ = format->nChannels;
    keepHeaderCurrent_ = true;
    oddParity_ = false;
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) Raise(errno, nullptr);
    try
    {
        const size_t fmtSize = platform::kWaveFormatHeaderBytes + format->cbSize;
        // The caller's block byte for byte, its header written field by field.
        std::vector<uint8_t> record(fmtSize);
        platform::WriteWaveFormat(*format, record.data());
        std::memcpy(record.data() + platform::kWaveFormatHeaderBytes,
                    platform::WaveFormatExtra(format), format->cbSize);
        // The sizes are brought up to date below, once the head is in place.
        const platform::riff::WaveHead wave =
            platform::riff::WaveHeader(record.data(), record.size(), 0, 0);
        const auto split = static_cast<long>(wave.formatAt + fmtSize);
        const std::vector<uint8_t> head(wave.bytes.begin(), wave.bytes.begin() + split);
        const std::vector<uint8_t> tail(wave.bytes.begin() + split, wave.bytes.end());
        size_t written = 0;
        errno = 0;
        if (!WriteAllAt(fd_, head.data(), head.size(), 0, &written))
        {
            if (written >= wave.formatAt) Raise(0, "Can't write WaveFormat structure");
            Raise(errno ? errno : EIO, nullptr);
        }
        errno = 0;
        if (!WriteAllAt(fd_, tail.data(), tail.size(), head.size(), nullptr))
            Raise(errno ? errno : EIO, nullptr);
        dataOffset_ = static_cast<uint32_t>(head.size() + tail.size());
        dataSize_ = 0;
        errno = 0;
        if (!UpdateHeader()) Raise(errno ? errno : EIO, nullptr);
    }
    catch (...)
    {
        close(fd_);
        fd_ = -1;
        unlink(path.c_str());
        throw;
    }
}

bool OutRiffFileStream::UpdateHeader()
{
    uint8_t size[4];
    const uint64_t pad = dataSize_ % 2 && !keepHeaderCurrent_ ? 1 : 0;
    platform::StoreLE32(size, static_cast<uint32_t>(dataOffset_ + dataSize_ + pad - 8));
    if (!WriteAllAt(fd_, size, 4, platform::riff::kRiffSizeAt, nullptr)) return false;
    platform::StoreLE32(size, static_cast<uint32_t>(dataSize_));
    return WriteAllAt(fd_, size, 4, dataOffset_ - 4, nullptr);
}

int OutRiffFileStream::WriteBytes(const char* data, int count)
{
    if (fd_ < 0 || !data || count <= 0) return 0;
    // The RIFF size is 32 bits: a write that would overflow it is refused.
    if (dataOffset_ + dataSize_ + static_cast<uint64_t>(count) + 1 - 8 > 0xFFFFFFFFu) return 0;
    size_t written = 0;
    WriteAllAt(fd_, reinterpret_cast<const uint8_t*>(data), static_cast<size_t>(count),
               dataOffset_ + dataSize_, &written);
    dataSize_ += written;
    if (keepHeaderCurrent_)
    {
        if (written % 2) oddParity_ = !oddParity_;
        // Only at even totals: a pad byte is never wanted in the middle of the samples.
        if (!oddParity_) UpdateHeader();
    }
    return static_cast<int>(written);
}

OutRiffFileStream::~OutRiffFileStream()
{
    if (fd_ < 0) return;
    keepHeaderCurrent_ = false;
    if (dataSize_ % 2)
    {
        const uint8_t zero = 0;
        WriteAllAt(fd_, &zero, 1, dataOffset_ + dataSize_, nullptr);
    }
    UpdateHeader();
    close(fd_);
}
