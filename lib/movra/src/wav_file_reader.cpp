#include "movra/wav_file.h"

#include "faltor/journal.h"
#include "xw_file.h"

#include <algorithm>

WAVE_FILE_READER::WAVE_FILE_READER(const std::wstring& name, unsigned offsetMs) : WAVE_FILE(name)
{
    RNUMBER64 reached;
    Seek(RNUMBER64::FromMs(offsetMs), reached);
}

bool WAVE_FILE_READER::Read(RNUMBER64& position, RNUMBER64& wanted, RNUMBER64& read)
{
    const unsigned rate = GetSampleRate(), channels = GetChannelCount();
    read = RNUMBER64(0);
    position = readPos_;
    const int64_t frames = FramesOf(wanted, rate);
    wanted = RNUMBER64(frames, rate);
    // Asking for nothing says nothing about the end.
    if (eof_ || frames == 0) return true;
    if (stretchUsed_ >= stretchFrames_)
    {
        RNUMBER64 at, ask = wanted, got;
        const short* data = nullptr;
        WAVE_FILE::Read(at, ask, data, got);
        if (got == RNUMBER64(0))
        {
            eof_ = true;
            last_ = nullptr;
            stretch_ = nullptr;
            stretchFrames_ = stretchUsed_ = 0;
            return true;
        }
        stretch_ = data;
        stretchFrames_ = static_cast<uint64_t>(FloorOf(got * RNUMBER64(rate)));
        stretchUsed_ = 0;
        readPos_ = at;
        bufferEnd_ = at + got;
        position = readPos_;
    }
    const uint64_t n = std::min<uint64_t>(uint64_t(frames), stretchFrames_ - stretchUsed_);
    last_ = stretch_ + stretchUsed_ * channels;
    stretchUsed_ += n;
    read = RNUMBER64(static_cast<int64_t>(n), rate);
    readPos_ += read;
    return true;
}

void WAVE_FILE_READER::SetDesiredReadSize(RNUMBER64& size) const
{
    const uint64_t left = stretchFrames_ - stretchUsed_;
    if (left == 0) return;
    size = std::min(size, RNUMBER64(static_cast<int64_t>(left), GetSampleRate()));
}

bool WAVE_FILE_READER::Seek(const RNUMBER64& target, RNUMBER64& reached)
{
    if (!WAVE_FILE::Seek(target, reached)) return false;
    readPos_ = bufferEnd_ = reached;
    stretch_ = last_ = nullptr;
    stretchFrames_ = stretchUsed_ = 0;
    eof_ = false;
    return true;
}

WAVE_FILE_READER_NATIVE::WAVE_FILE_READER_NATIVE(const std::wstring& name, unsigned offsetMs)
    : WAVE_FILE_READER(name, offsetMs)
{
}

WAVE_FILE_READER_NATIVE::~WAVE_FILE_READER_NATIVE() = default;

bool WAVE_FILE_READER_NATIVE::Seek(const RNUMBER64& target, RNUMBER64& reached)
{
    return WAVE_FILE_READER::Seek(target, reached);
}

bool WAVE_FILE_READER_NATIVE::Read(RNUMBER64& position, RNUMBER64& wanted, RNUMBER64& read)
{
    return WAVE_FILE_READER::Read(position, wanted, read);
}

bool WAVE_FILE_READER_NATIVE::Size(RNUMBER64& length)
{
    length = WAVE_FILE_READER::Size();
    return true;
}

bool WAVE_FILE_READER_NATIVE::Tell(RNUMBER64& position) const
{
    position = WAVE_FILE_READER::Tell();
    return true;
}

void WAVE_FILE_READER_NATIVE::OnFileSizeChange(int64_t)
{
    sizeChanged_ = 1;
}

bool WAVE_FILE_READER_NATIVE::TakeSizeChanged()
{
    const bool changed = sizeChanged_ != 0;
    sizeChanged_ = 0;
    return changed;
}
