#include "movra/wav_file.h"

#include "basix/codec_converter.h"
#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "platform/acm.h"
#include "platform/little_endian.h"
#include "platform/riff.h"
#include "platform/text.h"
#include "xw_file.h"

#include <algorithm>
#include <cstring>

namespace
{

// A hostile average-bytes field must not size the read buffer: a few hundred ms of any
// real format stays far below this.
constexpr size_t kMaxCodedBuffer = 1 << 20;

std::string Narrow(const std::wstring& name)
{
    return platform::WideToUtf8(name);
}

// Formats whose block is one frame: positions map to bytes exactly.
bool FrameCoded(const WAVEFORMATEX& f)
{
    switch (f.wFormatTag)
    {
    case WAVE_FORMAT_PCM:
    case WAVE_FORMAT_IEEE_FLOAT:
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
    case WAVE_FORMAT_EXTENSIBLE:
        return f.wBitsPerSample > 0 && f.nBlockAlign == f.nChannels * ((f.wBitsPerSample + 7) / 8);
    default:
        return false;
    }
}

WAVEFORMATEX PcmOf(const WAVEFORMATEX& f)
{
    return platform::MakePcmFormat(f.nSamplesPerSec, f.nChannels, 16);
}

} // namespace

WAVE_FILE::WAVE_FILE(const std::wstring& name) : name_(name)
{
    OpenExisting();
}

WAVE_FILE::WAVE_FILE(const WAVE_FILE& other) : name_(other.name_)
{
    if (other.mode_ != MODE::read)
        throw LOGIC_ERROR(DEBUG_INFO("WAVE_FILE: a file being written cannot be copied"));
    OpenExisting();
    RNUMBER64 reached;
    Seek(other.Tell(), reached);
}

void WAVE_FILE::OpenExisting()
{
    mode_ = MODE::read;
    if (!file_.Open(name_, A_FILE::READ, A_FILE::SHARE_READ | A_FILE::SHARE_WRITE))
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "CAN'T OPEN FILE %s", Narrow(name_).c_str());
        throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
    }

    RIFF_CHUNK riff;
    if (!riff.Read(file_) || riff.Id() != CHUNK_RIFF || riff.Form() != CHUNK_WAVE)
        throw LOGIC_ERROR(DEBUG_INFO("WAVE_FILE: not a RIFF WAVE file"));

    required_ = {CHUNK_DATA, CHUNK_FMT};
    found_.clear();
    const int64_t fileSize = GetFileSizeBytes();
    const uint64_t end = fileSize > 0 ? static_cast<uint64_t>(fileSize) : 0;
    const uint64_t stop = platform::riff::WalkChunks(
        [this](uint64_t offset, void* buffer, size_t size) { return ReadAt(offset, buffer, size); },
        end,
        [this](const platform::riff::Chunk& chunk)
        {
            if (!GetChunk(chunk))
                JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "WAVE_FILE: unknown CHUNK 0x%08x", chunk.Id());
            return true;
        },
        platform::riff::Pad::kWhenZero);
    // A chunk id with its size cut off is a damaged file; fewer bytes than an id are slack.
    if (stop < end && end - stop >= 4)
        throw RUNTIME_ERROR(DEBUG_INFO("WAVE_FILE: chunk cannot be read"));
    for (uint32_t id : required_)
        if (!found_.count(id))
            throw LOGIC_ERROR(DEBUG_INFO(id, "WAVE_FILE: required chunk missing"));

    const WAVEFORMATEX& f = *format_;
    if (f.nChannels == 0 || f.nSamplesPerSec == 0 || f.nBlockAlign == 0)
        throw RUNTIME_ERROR(DEBUG_INFO(f.nChannels, f.nSamplesPerSec, f.nBlockAlign,
                                       "WAVE_FILE: unusable format record"));

    // A file cut short plays what it holds.
    lastFileSize_ = GetFileSizeBytes();
    const uint64_t held = lastFileSize_ > dataStart_ ? uint64_t(lastFileSize_ - dataStart_) : 0;
    dataSize_ = std::min(dataSize_, held);

    // A frame-coded file's length is its data; a "fact" count claiming more would let a seek
    // land past the data and play the chunks behind it as sound.
    if (FrameCoded(f) || !factPresent_ || factSamples_ == 0)
        FillFact();
    else
        samples_ = factSamples_;

    const size_t blocks = std::max<size_t>(1, f.nAvgBytesPerSec / (size_t(f.nBlockAlign) * 5));
    const size_t bufferBytes =
        std::max<size_t>(f.nBlockAlign, std::min(blocks * f.nBlockAlign, kMaxCodedBuffer) /
                                            f.nBlockAlign * f.nBlockAlign);
    coded_.assign(bufferBytes, 0);
    converter_ = std::make_unique<CODEC_CONVERTER>(bufferBytes);
    const WAVEFORMATEX pcm = PcmOf(f);
    if (!converter_->Initialize(format_.get(), &pcm, bufferBytes))
        throw RUNTIME_ERROR(DEBUG_INFO(f.wFormatTag, "WAVE_FILE: the format cannot be decoded"));

    blocksPerMs_ = RNUMBER64(f.nAvgBytesPerSec, int64_t(f.nBlockAlign) * 1000);

    RNUMBER64 reached;
    if (!Seek(RNUMBER64(0), reached))
        throw RUNTIME_ERROR(DEBUG_INFO("WAVE_FILE: cannot seek to the start"));
    Describe();
}

bool WAVE_FILE::ReadAt(uint64_t offset, void* buffer, size_t size)
{
    uint32_t done = 0;
    return file_.Seek(static_cast<int64_t>(offset), A_FILE::FROM_BEGIN) >= 0 &&
           file_.Read(buffer, static_cast<uint32_t>(size), &done) && done == size;
}

bool WAVE_FILE::GetChunk(const platform::riff::Chunk& chunk)
{
    const auto unreadable = []
    { throw RUNTIME_ERROR(DEBUG_INFO("WAVE_FILE: chunk cannot be read")); };
    const uint32_t id = chunk.Id();
    if (id == CHUNK_FMT)
    {
        if (chunk.size > kMaxFormatBytes)
            throw RUNTIME_ERROR(
                DEBUG_INFO(chunk.size, "WAVE_FILE: format chunk larger than 998 bytes"));
        std::vector<uint8_t> body(chunk.size);
        if (chunk.held < chunk.size || (chunk.size && !ReadAt(chunk.body, body.data(), chunk.size)))
            unreadable();
        format_ = platform::WaveFormatBlock::FromChunk(body.data(), body.size());
    }
    else if (id == CHUNK_DATA)
    {
        dataStart_ = static_cast<int64_t>(chunk.body);
        dataSize_ = chunk.size;
    }
    else if (id == CHUNK_FACT)
    {
        uint8_t body[4];
        if (chunk.size < 4 || !ReadAt(chunk.body, body, sizeof body)) unreadable();
        factSamples_ = platform::LoadLE32(body);
        factPresent_ = true;
    }
    else
        return false;
    found_.insert(id);
    return true;
}

void WAVE_FILE::FillFact()
{
    const WAVEFORMATEX& f = *format_;
    if (FrameCoded(f))
        samples_ = dataSize_ / f.nBlockAlign;
    else if (const uint64_t perBlock = SamplesPerBlock(); perBlock > 0)
        samples_ = dataSize_ / f.nBlockAlign * perBlock;
    else if (f.nAvgBytesPerSec > 0 && f.nSamplesPerSec > 0)
        // A constant bit rate gives the length from the size.
        samples_ = dataSize_ / f.nAvgBytesPerSec * f.nSamplesPerSec +
                   dataSize_ % f.nAvgBytesPerSec * f.nSamplesPerSec / f.nAvgBytesPerSec;
    else
        throw LOGIC_ERROR(DEBUG_INFO("Missing CHUNK_FACT"));
}

uint64_t WAVE_FILE::SamplesPerBlock() const
{
    const WAVEFORMATEX& f = *format_;
    const bool ima = f.wFormatTag == WAVE_FORMAT_IMA_ADPCM, ms = f.wFormatTag == WAVE_FORMAT_ADPCM;
    if (!ima && !ms) return 0;
    if (f.cbSize >= 2)
        if (const uint16_t n = platform::LoadLE16(platform::WaveFormatExtra(format_.get())))
            return n;
    // Without the field the block layout tells: a header per channel (4 bytes and one sample
    // for IMA, 7 bytes and two samples for MS), then two samples a byte.
    const unsigned header = (ima ? 4u : 7u) * f.nChannels;
    if (f.nBlockAlign <= header) return 0;
    return uint64_t(f.nBlockAlign - header) * 2 / f.nChannels + (ima ? 1 : 2);
}

int64_t WAVE_FILE::GetFileSizeBytes()
{
    return file_.GetSize();
}

void WAVE_FILE::Describe()
{
    const WAVEFORMATEX& f = *format_;
    if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        description_ = "Float 32bit " + std::to_string(f.nSamplesPerSec) + "Hz " +
                       (f.nChannels == 1 ? "Mono" : "Stereo");
    else
    {
        const auto tag = platform::acm::FormatTagName(f.wFormatTag);
        const auto details = platform::acm::FormatName(f);
        description_.clear();
        if (tag) description_ = *tag;
        if (details) description_ += (description_.empty() ? "" : " ") + *details;
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "WAVE_FILE: %s %s", Narrow(name_).c_str(),
                description_.c_str());
}

unsigned WAVE_FILE::GetSampleRate() const
{
    return format_->nSamplesPerSec;
}

unsigned WAVE_FILE::GetChannelCount() const
{
    return format_->nChannels;
}

const WAVEFORMATEX* WAVE_FILE::GetWaveFormat() const
{
    return format_.get();
}

RNUMBER64 WAVE_FILE::Size() const
{
    return RNUMBER64(static_cast<int64_t>(samples_), format_->nSamplesPerSec);
}

RNUMBER64 WAVE_FILE::Tell() const
{
    return RNUMBER64(static_cast<int64_t>(position_), format_->nSamplesPerSec);
}

void WAVE_FILE::CheckSize()
{
    const int64_t size = GetFileSizeBytes();
    if (size <= lastFileSize_) return;
    // Only growth right behind the sound is more sound; bytes after a later chunk are not.
    const uint64_t dataEnd = uint64_t(dataStart_) + dataSize_;
    if (dataEnd != uint64_t(lastFileSize_))
    {
        lastFileSize_ = size;
        return;
    }
    const int64_t grown = size - lastFileSize_;
    lastFileSize_ = size;
    dataSize_ += uint64_t(grown);
    FillFact();
    // The converter may have been drained at the old end; the new data starts a new run.
    drained_ = false;
    JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "OnFileSizeChange %s %i", Narrow(name_).c_str(),
                static_cast<int>(dataSize_));
    OnFileSizeChange(grown);
}

void WAVE_FILE::OnFileSizeChange(int64_t) {}

void WAVE_FILE::CleanUp()
{
    codedHead_ = codedTail_ = 0;
    converted_.clear();
    convertedHead_ = 0;
    drained_ = false;
    if (converter_) converter_->Reset();
}

size_t WAVE_FILE::ReadCodecSrcData()
{
    if (codedHead_ > 0)
    {
        std::memmove(coded_.data(), coded_.data() + codedHead_, codedTail_ - codedHead_);
        codedTail_ -= codedHead_;
        codedHead_ = 0;
    }
    const uint64_t room = coded_.size() - codedTail_;
    const uint64_t left = codedPos_ < dataSize_ ? dataSize_ - codedPos_ : 0;
    const auto want = static_cast<uint32_t>(std::min<uint64_t>(room, left));
    if (want == 0) return 0;
    if (file_.Seek(dataStart_ + int64_t(codedPos_), A_FILE::FROM_BEGIN) < 0)
        throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
    uint32_t done = 0;
    if (!file_.Read(coded_.data() + codedTail_, want, &done))
        throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
    if (done < want)
        // The file shrank under us: what is gone is no longer part of the data.
        dataSize_ = codedPos_ + done;
    codedTail_ += done;
    codedPos_ += done;
    return done;
}

bool WAVE_FILE::Convert()
{
    const size_t align = format_->nBlockAlign;
    // Every round takes coded bytes, reads more or ends: the loop cannot stall.
    for (;;)
    {
        if (codedTail_ - codedHead_ < align || codedTail_ == codedHead_) ReadCodecSrcData();
        const bool final = codedPos_ >= dataSize_;
        size_t size = codedTail_ - codedHead_;
        // A torn frame at the end of a file still being written waits for its rest.
        if (final && FrameCoded(*format_)) size -= size % align;
        if (final && size == 0 && drained_) return false;
        const size_t offered = size;
        const size_t produced = converter_->Convert(coded_.data() + codedHead_, size, final);
        codedHead_ += size;
        if (produced > 0)
        {
            if (convertedHead_ > 0)
            {
                converted_.erase(converted_.begin(),
                                 converted_.begin() + static_cast<long>(convertedHead_));
                convertedHead_ = 0;
            }
            converted_.insert(converted_.end(), converter_->Buffer(),
                              converter_->Buffer() + produced);
            return true;
        }
        if (final && offered == 0)
        {
            drained_ = true;
            return false;
        }
        if (!final && size == 0 && codedTail_ - codedHead_ >= coded_.size())
            return false; // a full buffer the codec will not take
    }
}

bool WAVE_FILE::Read(RNUMBER64& position, RNUMBER64& wanted, const short*& data, RNUMBER64& read)
{
    data = nullptr;
    read = RNUMBER64(0);
    if (mode_ != MODE::read) return false;
    CheckSize();
    const unsigned rate = format_->nSamplesPerSec, channels = format_->nChannels;
    const int64_t frames = FramesOf(wanted, rate);
    wanted = RNUMBER64(frames, rate);
    position = Tell();
    out_.clear();
    const size_t frameBytes = size_t(channels) * 2;
    const size_t want = size_t(frames) * channels;
    while (out_.size() < want)
    {
        const size_t available = (converted_.size() - convertedHead_) / frameBytes;
        if (available == 0)
        {
            if (!Convert()) break;
            continue;
        }
        const size_t take = std::min(available, (want - out_.size()) / channels);
        const uint8_t* p = converted_.data() + convertedHead_;
        for (size_t i = 0; i < take * channels; ++i)
            out_.push_back(static_cast<short>(platform::LoadLE16(p + 2 * i)));
        convertedHead_ += take * frameBytes;
    }
    const int64_t got = static_cast<int64_t>(out_.size() / channels);
    position_ += uint64_t(got);
    data = out_.data();
    read = RNUMBER64(got, rate);
    return true;
}

bool WAVE_FILE::Seek(const RNUMBER64& target, RNUMBER64& reached)
{
    if (mode_ != MODE::read) return false;
    const WAVEFORMATEX& f = *format_;
    const RNUMBER64 t = std::clamp(target, RNUMBER64(0), Size());
    uint64_t byte;
    if (FrameCoded(f))
    {
        position_ = uint64_t(FloorOf(t * RNUMBER64(f.nSamplesPerSec)));
        byte = position_ * f.nBlockAlign;
    }
    else if (const uint64_t perBlock = SamplesPerBlock(); perBlock > 0)
    {
        const auto block = uint64_t(FloorOf(t * RNUMBER64(f.nSamplesPerSec))) / perBlock;
        byte = std::min(block * f.nBlockAlign, dataSize_ / f.nBlockAlign * f.nBlockAlign);
        position_ = byte / f.nBlockAlign * perBlock;
    }
    else
    {
        const auto block = uint64_t(FloorOf(t * RNUMBER64(1000) * blocksPerMs_));
        byte = std::min(block * f.nBlockAlign, dataSize_ / f.nBlockAlign * f.nBlockAlign);
        position_ = std::min<uint64_t>(
            samples_, uint64_t(FloorOf(RNUMBER64(int64_t(byte), f.nAvgBytesPerSec) *
                                       RNUMBER64(f.nSamplesPerSec))));
    }
    if (file_.Seek(dataStart_ + int64_t(byte), A_FILE::FROM_BEGIN) < 0)
        throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
    CleanUp();
    codedPos_ = byte;
    reached = Tell();
    return true;
}
