#include "ondakit/input_acm_sound_file_stream.h"

#include "acm_decoder.h"
#include "debug_output.h"
#include "platform/little_endian.h"
#include "platform/text.h"
#include "riff_scan.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr size_t kFloatBufferBytes = 0x20000;
}

InputACMSoundFileStream::InputACMSoundFileStream() = default;

InputACMSoundFileStream::~InputACMSoundFileStream() = default;

const WAVEFORMATEX& InputACMSoundFileStream::Source() const
{
    return *reinterpret_cast<const WAVEFORMATEX*>(source_.data());
}

int InputACMSoundFileStream::GetChannelCount() const
{
    return destination_.nChannels;
}
int InputACMSoundFileStream::GetSampleRate() const
{
    return static_cast<int>(destination_.nSamplesPerSec);
}
int InputACMSoundFileStream::GetSampleCount() const
{
    return sampleCount_;
}
bool InputACMSoundFileStream::IsSeekSupported()
{
    return false;
}
bool InputACMSoundFileStream::UsesDX()
{
    return false;
}

static bool IsPlainFloat(const WAVEFORMATEX& f)
{
    return f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f.wBitsPerSample == 32;
}

void InputACMSoundFileStream::Start(const WAVEFORMATEX* source)
{
    const size_t size = platform::kWaveFormatHeaderBytes + source->cbSize;
    source_.assign(reinterpret_cast<const uint8_t*>(source),
                   reinterpret_cast<const uint8_t*>(source) + size);
    const WAVEFORMATEX& s = Source();
    destination_ = platform::MakePcmFormat(s.nSamplesPerSec, s.nChannels);
    if (IsPlainFloat(s) && s.nBlockAlign != 4 * s.nChannels)
        throw std::runtime_error("Bad file format");
    if (!Rewind()) throw std::runtime_error("Bad file format");

    // What the data can hold: a "fact" count beyond it (or a missing one) is replaced by it.
    uint64_t capacity = dataSize_ / s.nBlockAlign;
    if (decoder_ && s.wFormatTag != WAVE_FORMAT_PCM)
        capacity = decoder_->OutputSizeFor(dataSize_) / destination_.nBlockAlign;
    uint64_t count = capacity;
    if (sampleCount_ >= 0)
        count = std::min<uint64_t>(static_cast<uint64_t>(sampleCount_), capacity);
    sampleCount_ = static_cast<int32_t>(std::min<uint64_t>(count, INT32_MAX));
}

bool InputACMSoundFileStream::Rewind()
{
    remaining_ = dataSize_;
    endOfInput_ = false;
    if (IsPlainFloat(Source()))
    {
        floatBuffer_.resize(kFloatBufferBytes);
    }
    else
    {
        decoder_.reset();
        decoder_ = std::make_unique<AcmDecoder>(
            reinterpret_cast<const WAVEFORMATEX*>(source_.data()), destination_);
    }
    return GoToDataStart();
}

int InputACMSoundFileStream::ReadFloat(short* buffer, int frames)
{
    const int channels = destination_.nChannels;
    const size_t wanted = static_cast<size_t>(frames) * channels;
    size_t delivered = 0;
    while (!endOfInput_ && delivered < wanted)
    {
        const size_t bytes =
            std::min({(wanted - delivered) * 4, kFloatBufferBytes, size_t{remaining_}});
        const int got = bytes ? ReadRaw(floatBuffer_.data(), static_cast<int>(bytes)) : 0;
        if (got < static_cast<int>(bytes) || got <= 0)
            remaining_ = 0;
        else
            remaining_ -= static_cast<uint32_t>(got);
        if (remaining_ == 0) endOfInput_ = true;
        const size_t samples = static_cast<size_t>(std::max(got, 0)) / 4;
        for (size_t i = 0; i < samples; ++i)
        {
            // Scaled by 32000, not 32767, as the system always did; NaN reads as silence.
            float v = platform::LoadLEFloat(floatBuffer_.data() + 4 * i) * 32000.0f;
            if (std::isnan(v)) v = 0;
            buffer[delivered + i] = static_cast<short>(std::clamp(v, -32767.0f, 32767.0f));
        }
        delivered += samples;
    }
    return static_cast<int>(delivered / channels);
}

int InputACMSoundFileStream::ReadData(short* buffer, int frames)
{
    if (!buffer || frames <= 0) return 0;
    if (!decoder_) return floatBuffer_.empty() ? 0 : ReadFloat(buffer, frames);
    const int channels = destination_.nChannels;
    int total = 0;
    for (;;)
    {
        short* out = nullptr;
        int held = 0;
        decoder_->GetOutput(&out, &held);
        const int n = std::min(held, frames - total);
        if (n > 0)
        {
            std::memcpy(buffer + static_cast<size_t>(total) * channels, out,
                        static_cast<size_t>(n) * channels * sizeof(short));
            decoder_->ConsumeOutput(n);
            total += n;
        }
        if (total == frames) return total;
        if (endOfInput_ && remaining_ == 0) return total;
        if (remaining_ > 0)
        {
            uint8_t* space = nullptr;
            int free = 0;
            decoder_->GetInput(&space, &free);
            const int want =
                static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(free), remaining_));
            const int got = want > 0 ? ReadRaw(space, want) : 0;
            if (got <= 0)
            {
                remaining_ = 0;
            }
            else
            {
                remaining_ -= static_cast<uint32_t>(got);
                decoder_->AddInput(got);
            }
        }
        if (decoder_->Convert() == AcmDecoder::End) endOfInput_ = true;
    }
}

double InputACMSoundFileStream::Seek(double seconds)
{
    const WAVEFORMATEX& s = Source();
    if (!(seconds > 0)) seconds = 0;
    const double wanted = seconds * s.nSamplesPerSec;
    const int64_t frame = wanted >= sampleCount_ ? sampleCount_ : static_cast<int64_t>(wanted);
    uint64_t offset = static_cast<uint64_t>(frame) * s.nBlockAlign;
    double reached = 0;
    if (decoder_ && s.wFormatTag != WAVE_FORMAT_PCM)
    {
        try
        {
            if (!Rewind()) return -1;
        }
        catch (const std::exception&)
        {
            return -1;
        }
        const uint64_t out = decoder_->OutputSizeFor(AcmDecoder::kInputBytes);
        const uint64_t ratio = out / AcmDecoder::kInputBytes;
        const uint64_t bytes = static_cast<uint64_t>(frame) * destination_.nBlockAlign;
        // A codec whose output is smaller than its input has an integer ratio of 0; the
        // exact ratio is used then.
        offset = ratio ? bytes / ratio : (out ? bytes * AcmDecoder::kInputBytes / out : 0);
        // Decoding can only start at a block boundary.
        offset -= offset % std::max<uint16_t>(s.nBlockAlign, 1);
        reached = static_cast<double>(frame) / destination_.nSamplesPerSec;
    }
    else
    {
        if (decoder_) decoder_->Reset(); // nothing converted before the seek may follow it
        reached = static_cast<double>(frame) / s.nSamplesPerSec;
    }
    offset = std::min<uint64_t>(offset, dataSize_);
    if (!GoToDataOffset(static_cast<uint32_t>(offset))) return -1;
    remaining_ = dataSize_ - static_cast<uint32_t>(offset);
    endOfInput_ = false;
    return reached;
}

InputACMSoundFileStream* InputACMSoundFileStream::Open(const wchar_t* path)
{
    if (!path) return nullptr;
    return Open(platform::WideToUtf8(path).c_str());
}

InputACMSoundFileStream* InputACMSoundFileStream::Open(const char* path)
{
    if (!path) return nullptr;
    try
    {
        return new InputRiffFileStream(path);
    }
    catch (const std::exception& e)
    {
        ondakit::DebugOutput(e.what());
    }
    catch (...)
    {
        ondakit::DebugOutput(
            "error InputACMSoundFileStream *InputACMSoundFileStream::Open(const char *file_name)");
    }
    return nullptr;
}

int InputACMSoundFileStream::GetWavFileParameters(const wchar_t* path, WAVEFORMATEX& format)
{
    if (!path) return -1;
    const int fd = open(platform::WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const ondakit::RiffScan scan = ondakit::ScanRiff(fd);
    close(fd);
    if (scan.status != ondakit::RiffScan::ok) return -2;
    format = *scan.format;
    return 0;
}

int InputACMSoundFileStream::GetWavFileChannelCount(const wchar_t* path)
{
    WAVEFORMATEX format{};
    const int rc = GetWavFileParameters(path, format);
    return rc < 0 ? rc : format.nChannels;
}

// --- InputRiffFileStream ---------------------------------------------------------------

InputRiffFileStream::InputRiffFileStream(const std::string& path)
{
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st
    {
    };
    if (fd_ < 0 || fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
    {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        throw std::runtime_error("Can't open file");
    }
    try
    {
        const ondakit::RiffScan scan = ondakit::ScanRiff(fd_);
        if (scan.status == ondakit::RiffScan::noWaveForm)
            throw std::runtime_error("Can't find RIFF chunk");
        if (scan.status != ondakit::RiffScan::ok) throw std::runtime_error("Bad file format");
        const WAVEFORMATEX& f = *scan.format;
        // Checked before any division by them.
        // Checked before any division by them; a rate beyond the int of GetSampleRate would
        // come out negative.
        if (f.nChannels == 0 || f.nSamplesPerSec == 0 || f.nBlockAlign == 0 ||
            f.nSamplesPerSec > static_cast<uint32_t>(INT32_MAX))
            throw std::runtime_error("Bad file format");
        const auto name = platform::acm::FormatTagName(f.wFormatTag);
        if (name && name->size() >= 4 && platform::EqualsNoCaseUtf8(name->substr(0, 4), "MPEG"))
            throw std::runtime_error("Won't support mpeg file");
        dataOffset_ = scan.dataOffset;
        dataSize_ = scan.hasData ? scan.dataSize : 0;
        if (scan.fact)
            sampleCount_ = static_cast<int32_t>(std::min<uint32_t>(*scan.fact, INT32_MAX));
        Start(scan.format.get());
    }
    catch (...)
    {
        close(fd_);
        fd_ = -1;
        throw;
    }
}

InputRiffFileStream::~InputRiffFileStream()
{
    if (fd_ >= 0) close(fd_);
}

bool InputRiffFileStream::IsSeekSupported()
{
    return true;
}

int InputRiffFileStream::ReadRaw(unsigned char* buffer, int count)
{
    if (count <= 0 || position_ >= dataSize_) return 0;
    size_t want = std::min<uint64_t>(static_cast<uint64_t>(count), dataSize_ - position_);
    size_t done = 0;
    while (done < want)
    {
        const ssize_t n = pread(fd_, buffer + done, want - done,
                                static_cast<off_t>(dataOffset_ + position_ + done));
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    position_ += done;
    return static_cast<int>(done);
}

bool InputRiffFileStream::GoToDataStart()
{
    return GoToDataOffset(0);
}

bool InputRiffFileStream::GoToDataOffset(uint32_t offset)
{
    if (offset > dataSize_) return false;
    position_ = offset;
    return true;
}
