// The capture back end: every played frame is appended to a 16-bit stereo PCM WAV file, and
// the RIFF and data sizes are rewritten after each block so the file is valid at any moment.
#include "sink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform::waveout
{
namespace
{

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

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
        uint8_t h[kHeaderBytes];
        std::memcpy(h, "RIFF", 4);
        Put32(h + 4, kHeaderBytes - 8);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        Put32(h + 16, 16);
        Put16(h + 20, 1); // PCM
        Put16(h + 22, 2);
        Put32(h + 24, rate);
        Put32(h + 28, rate * 4);
        Put16(h + 32, 4);
        Put16(h + 34, 16);
        std::memcpy(h + 36, "data", 4);
        Put32(h + 40, 0);
        return std::fwrite(h, 1, sizeof h, file_) == sizeof h && std::fflush(file_) == 0;
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
                Put16(buffer + 2 * n, static_cast<uint16_t>(samples[done]));
            if (std::fseek(file_, 0, SEEK_END) != 0 ||
                std::fwrite(buffer, 1, 2 * n, file_) != 2 * n)
                return Fail(error, std::strerror(errno));
        }
        dataBytes_ += bytes;
        uint8_t size[4];
        Put32(size, static_cast<uint32_t>(dataBytes_ + kHeaderBytes - 8));
        bool ok = std::fseek(file_, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
        Put32(size, static_cast<uint32_t>(dataBytes_));
        ok = ok && std::fseek(file_, 40, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
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
