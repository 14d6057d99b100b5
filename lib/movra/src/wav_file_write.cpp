// WAVE_FILE as a writer: headers first, sound appended through the converter, sizes brought
// up to date by FinalFlush.
#include "movra/wav_file.h"

#include "basix/codec_converter.h"
#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "platform/text.h"
#include "xw_file.h"

#include <algorithm>

namespace
{

// The RIFF size fields are 32 bits.
constexpr uint64_t kMaxDataBytes = 0xFFFFFF00ull;

constexpr size_t kWriteBuffer = 64 * 1024;

} // namespace

WAVE_FILE::WAVE_FILE(const std::wstring& name, const WAVEFORMATEX* fileFormat,
                     const WAVEFORMATEX* inputFormat)
    : name_(name), mode_(MODE::write)
{
    if (!fileFormat || !inputFormat)
        throw INVALID_ARGUMENT(DEBUG_INFO("WAVE_FILE: a format is missing"));
    format_ = platform::WaveFormatBlock(fileFormat);
    inputFormat_ = platform::WaveFormatBlock(inputFormat);
    // Checked before the file is touched, so a refused format never truncates a file. Sound
    // already in the file's format is written as it comes.
    const bool same = format_.Serialize() == inputFormat_.Serialize();
    if (format_->nBlockAlign == 0 || format_->nChannels == 0 || format_->nSamplesPerSec == 0)
        throw INVALID_ARGUMENT(DEBUG_INFO("WAVE_FILE: unusable file format"));
    if (!same) converter_ = std::make_unique<CODEC_CONVERTER>(kWriteBuffer);
    if (!same && !converter_->Initialize(inputFormat_.get(), format_.get(), kWriteBuffer))
        throw RUNTIME_ERROR(DEBUG_INFO(inputFormat->wFormatTag, fileFormat->wFormatTag,
                                       "WAVE_FILE: the input cannot be written in this format"));

    if (!file_.Open(name_, A_FILE::WRITE | A_FILE::CREATE | A_FILE::TRUNCATE, A_FILE::SHARE_READ))
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "CAN'T CREATE FILE %s",
                    platform::WideToUtf8(name_).c_str());
        throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
    }
    riff_ = std::make_unique<RIFF_CHUNK>();
    fmt_ = std::make_unique<FMT_CHUNK>(format_.get());
    fact_ = std::make_unique<FACT_CHUNK>();
    data_ = std::make_unique<DATA_CHUNK>();
    const auto write = [this](CHUNK& chunk, int64_t& at)
    {
        at = file_.Seek(0, A_FILE::FROM_CURRENT);
        if (at < 0 || !chunk.Write(file_))
            throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
    };
    riff_->SetSize(4);
    write(*riff_, riffAt_);
    write(*fmt_, fmtAt_);
    write(*fact_, factAt_);
    write(*data_, dataAt_);
    dataStart_ = file_.Seek(0, A_FILE::FROM_CURRENT);
    Describe();
}

WAVE_FILE::~WAVE_FILE()
{
    if (mode_ != MODE::write || flushed_) return;
    try
    {
        FinalFlush();
    }
    catch (const EXCEPTION& e)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "WAVE_FILE: %s", e.what());
    }
}

void WAVE_FILE::WriteChunk(CHUNK& chunk, int64_t at)
{
    if (file_.Seek(at, A_FILE::FROM_BEGIN) < 0 || !chunk.Write(file_) ||
        file_.Seek(0, A_FILE::FROM_END) < 0)
        throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
}

bool WAVE_FILE::Write(const RNUMBER64& position, const std::vector<uint8_t>& data)
{
    return Write(position, data, false);
}

bool WAVE_FILE::Write(const RNUMBER64& position, const std::vector<uint8_t>& data, bool final)
{
    if (mode_ != MODE::write || flushed_)
        throw LOGIC_ERROR(DEBUG_INFO("WAVE_FILE::Write: the file is not being written"));
    const RNUMBER64 end = Tell();
    if (position < end)
        throw LOGIC_ERROR(DEBUG_INFO("WAVE_FILE::Write: position before the end of the file"));
    const WAVEFORMATEX& f = *format_;
    const auto emit = [&](const uint8_t* bytes, size_t size)
    {
        if (dataSize_ + size > kMaxDataBytes)
            throw RUNTIME_ERROR(DEBUG_INFO("WAVE_FILE::Write: the file is full"));
        uint32_t done = 0;
        if (!file_.Write(bytes, static_cast<uint32_t>(size), &done) || done != size)
            throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
        dataSize_ += size;
        position_ = samples_ = dataSize_ / f.nBlockAlign;
    };
    const auto gap = static_cast<uint64_t>(FloorOf((position - end) * RNUMBER64(f.nSamplesPerSec)));
    if (gap > 0)
    {
        // 8-bit PCM is unsigned: its silence is the middle value.
        const std::vector<uint8_t> silence(std::min<uint64_t>(gap * f.nBlockAlign, kMaxDataBytes),
                                           f.wBitsPerSample == 8 ? 0x80 : 0);
        emit(silence.data(), silence.size());
    }

    pending_.insert(pending_.end(), data.begin(), data.end());
    if (!converter_)
    {
        // Whole frames only; a torn one waits for the rest (and is dropped at the end).
        const size_t whole = pending_.size() / f.nBlockAlign * f.nBlockAlign;
        if (whole) emit(pending_.data(), whole);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(whole));
        if (final) pending_.clear();
        return true;
    }
    const size_t inputAlign = std::max<size_t>(1, inputFormat_->nBlockAlign);
    for (;;)
    {
        size_t size = pending_.size();
        if (size == 0 && !final) break;
        const size_t offered = size;
        const size_t produced = converter_->Convert(pending_.data(), size, final);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(size));
        if (produced > 0)
        {
            emit(converter_->Buffer(), produced);
            continue;
        }
        if (size > 0) continue;
        if (!final && offered >= inputAlign)
            throw LOGIC_ERROR(DEBUG_INFO("CODEC: i can't get data"));
        break; // a torn block waits for the rest, or the codec is drained
    }
    return true;
}

void WAVE_FILE::FinalFlush()
{
    if (mode_ != MODE::write || flushed_) return;
    Write(Tell(), {}, true);
    flushed_ = true;
    if (dataSize_ % 2 != 0)
    {
        static const uint8_t pad = 0;
        uint32_t done = 0;
        if (!file_.Write(&pad, 1, &done) || done != 1)
            throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
    }
    const int64_t fileSize = file_.Seek(0, A_FILE::FROM_END);
    if (fileSize < 0) throw RUNTIME_ERROR(DEBUG_INFO(file_.GetLastErrorAsString().c_str()));
    data_->SetSize(static_cast<uint32_t>(dataSize_));
    WriteChunk(*data_, dataAt_);
    fact_->SetSamples(static_cast<uint32_t>(samples_));
    WriteChunk(*fact_, factAt_);
    riff_->SetSize(static_cast<uint32_t>(fileSize - 8));
    WriteChunk(*riff_, riffAt_);
    file_.Flush();
}
