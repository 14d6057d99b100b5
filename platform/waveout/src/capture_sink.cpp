// The capture back end: every played frame is appended to a 16-bit stereo PCM WAV file, and
// the RIFF and data sizes are rewritten after each block so the file is valid at any moment.
#include "sink.h"

#include "platform/little_endian.h"
#include "platform/riff.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform::waveout
{
namespace
{

constexpr uint32_t kHeaderBytes = 44;
// The RIFF size field is 32 bits; a capture stops growing rather than wrap it.
constexpr uint64_t kMaxData = 0xFFFFFFFFull - kHeaderBytes;

class CaptureSink final : public Sink
{
public:
    CaptureSink(FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
    ~CaptureSink() override { std::fclose(file_); }

    bool WriteHeader(uint32_t rate)
    {
        // 16-bit stereo PCM
        uint8_t format[16];
        StoreLE16(format, 1);
        StoreLE16(format + 2, 2);
        StoreLE32(format + 4, rate);
        StoreLE32(format + 8, rate * 4);
        StoreLE16(format + 12, 4);
        StoreLE16(format + 14, 16);
        const riff::WaveHead head = riff::WaveHeader(format, sizeof format, kHeaderBytes - 8, 0);
        dataSizeAt_ = head.dataSizeAt;
        return std::fwrite(head.bytes.data(), 1, head.bytes.size(), file_) == head.bytes.size() &&
               std::fflush(file_) == 0;
    }

    bool Paced() const override { return true; }

    bool Play(const int16_t* samples, size_t frames, std::string* error) override
    {
        const uint64_t bytes = static_cast<uint64_t>(frames) * 4;
        if (dataBytes_ + bytes > kMaxData) return Fail(error, "capture file full");
        uint8_t buffer[4096];
        size_t done = 0;
        while (done < frames * 2)
        {
            size_t n = 0;
            for (; n < sizeof buffer / 2 && done < frames * 2; ++n, ++done)
                StoreLE16(buffer + 2 * n, static_cast<uint16_t>(samples[done]));
            if (std::fseek(file_, 0, SEEK_END) != 0 ||
                std::fwrite(buffer, 1, 2 * n, file_) != 2 * n)
                return Fail(error, std::strerror(errno));
        }
        dataBytes_ += bytes;
        uint8_t size[4];
        StoreLE32(size, static_cast<uint32_t>(dataBytes_ + kHeaderBytes - 8));
        bool ok = std::fseek(file_, riff::kRiffSizeAt, SEEK_SET) == 0 &&
                  std::fwrite(size, 1, 4, file_) == 4;
        StoreLE32(size, static_cast<uint32_t>(dataBytes_));
        ok = ok && std::fseek(file_, static_cast<long>(dataSizeAt_), SEEK_SET) == 0 &&
             std::fwrite(size, 1, 4, file_) == 4;
        ok = ok && std::fflush(file_) == 0;
        return ok || Fail(error, std::strerror(errno));
    }

    std::string Name() const override { return "capture:" + path_; }

private:
    bool Fail(std::string* error, const std::string& why)
    {
        if (error) *error = "capture " + path_ + ": " + why;
        return false;
    }

    FILE* file_;
    std::string path_;
    uint64_t dataBytes_ = 0;
    size_t dataSizeAt_ = 0;
};

class NullSink final : public Sink
{
public:
    bool Paced() const override { return true; }
    bool Play(const int16_t*, size_t, std::string*) override { return true; }
    std::string Name() const override { return "null"; }
};

} // namespace

std::unique_ptr<Sink> OpenNullSink()
{
    return std::make_unique<NullSink>();
}

// Each open starts a new file: one WAV holds one rate, and a device is reopened only when the
// rate changes.
std::unique_ptr<Sink> OpenCaptureSink(const std::string& path, uint32_t rate, std::string* error)
{
    FILE* file = std::fopen(path.c_str(), "w+b");
    if (!file)
    {
        if (error) *error = "capture " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    auto sink = std::make_unique<CaptureSink>(file, path);
    if (!sink->WriteHeader(rate))
    {
        if (error) *error = "capture " + path + ": cannot write the header";
        return nullptr;
    }
    return sink;
}

} // namespace platform::waveout
