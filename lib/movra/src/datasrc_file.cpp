#include "movra/datasrc_file.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "movra/odk_worker.h"
#include "movra/open_strategy.h"
#include "movra/wav_file.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdlib>
#include <cwctype>

namespace
{

std::string Narrow(const std::wstring& text)
{
    return platform::WideToUtf8(text);
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& tail)
{
    if (text.size() < tail.size()) return false;
    return platform::EqualsNoCase(std::wstring_view(text).substr(text.size() - tail.size()), tail);
}

bool StartsWithNoCase(const std::string& text, const std::string& head)
{
    return text.size() >= head.size() &&
           platform::EqualsNoCaseUtf8(std::string_view(text).substr(0, head.size()), head);
}

int64_t FramesIn(const RNUMBER64& time, unsigned rate)
{
    const RNUMBER64 frames = time * RNUMBER64(int64_t(rate));
    return frames.Num() / frames.Den();
}

} // namespace

DATASRC_FILE::DATASRC_FILE() = default;

DATASRC_FILE::~DATASRC_FILE()
{
    Close();
}

std::unique_ptr<DATASRC_FILE_WORKER> DATASRC_FILE::Construct(const std::wstring& entryName,
                                                             unsigned offsetMs)
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATASRC_FILE_WORKER::Construct %s\n",
                Narrow(entryName).c_str());
    const int strategy = ReadOpenStrategy();
    std::wstring name = entryName;
    if (EndsWithNoCase(name, L".DCT")) name = Get_DCT_SoundFile(name);

    if (strategy == OPEN_STRATEGY_NATIVE)
    {
        try
        {
            auto native = std::make_unique<WAVE_FILE_READER_NATIVE>(name, offsetMs);
            std::string format;
            native->GetFormat(format);
            // MPEG in RIFF plays better through the library's own decoder.
            if (!StartsWithNoCase(format, "MPEG")) return native;
        }
        catch (const EXCEPTION& e)
        {
            JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATASRC_FILE_WORKER::Construct native: %s",
                        e.what());
        }
    }
    auto library = std::make_unique<WAVE_FILE_READER_ODK>(name, offsetMs, strategy);
    RNUMBER64 length;
    if (library->IsOpen() && library->Size(length) && length > RNUMBER64(0)) return library;
    throw RUNTIME_ERROR(DEBUG_INFO(("Failed to open " + Narrow(name)).c_str()));
}

bool DATASRC_FILE::Open(const std::vector<std::wstring>& entries)
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATASRC_FILE::Open() 1");
    if (IsOpen())
    {
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATASRC_FILE::Open() IsOpen = true");
        throw LOGIC_ERROR(DEBUG_INFO("DATASRC_FILE::Open: already open"));
    }
    if (entries.empty()) return false;
    for (const auto& entry : entries)
        if (entry.empty()) return false;
    try
    {
        for (const auto& entry : entries)
        {
            const size_t separator = entry.find(L"<>");
            const std::wstring name = entry.substr(0, separator);
            long offset = 0;
            if (separator != std::wstring::npos)
                offset = std::atol(Narrow(entry.substr(separator + 2)).c_str());
            // A negative start is the start.
            const auto offsetMs = static_cast<unsigned>(std::clamp<long>(offset, 0, 0x7FFFFFFF));
            JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATASRC_FILE::Open calling Construct %s",
                        Narrow(name).c_str());
            workers_.push_back(Construct(name, offsetMs));
            names_.push_back(name);
        }
    }
    catch (...)
    {
        // A failed list leaves nothing open: the host can simply try again.
        workers_.clear();
        names_.clear();
        throw;
    }
    workers_.front()->Tell(position_);
    eof_ = false;
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATASRC_FILE::Open() 2");
    return true;
}

bool DATASRC_FILE::Close()
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATASRC_FILE::Close() 1");
    if (!IsOpen()) return true;
    if (IsRing()) RingOff();
    workers_.clear();
    names_.clear();
    position_ = RNUMBER64(0);
    eof_ = false;
    readingName_.clear();
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATASRC_FILE::Close() 2");
    return true;
}

bool DATASRC_FILE::IsOpen() const
{
    return !workers_.empty();
}

bool DATASRC_FILE::Size(RNUMBER64& length)
{
    if (!IsOpen()) return false;
    RNUMBER64 longest(0);
    for (auto& worker : workers_)
    {
        RNUMBER64 one;
        if (!worker->Size(one)) return false;
        longest = std::max(longest, one);
    }
    length = longest;
    return true;
}

void DATASRC_FILE::SeekAll(const RNUMBER64& target, RNUMBER64& reached, bool mustSucceed)
{
    for (size_t i = 0; i < workers_.size(); ++i)
    {
        RNUMBER64 one;
        const bool ok = workers_[i]->Seek(target, one);
        if (!ok && mustSucceed)
            throw RUNTIME_ERROR(DEBUG_INFO("DATASRC_FILE: cannot seek to the ring start"));
        if (!ok) return;
        workers_[i]->ClearEOF();
        if (i == 0) reached = one;
    }
}

bool DATASRC_FILE::Seek(const RNUMBER64& target, RNUMBER64& reached)
{
    if (!IsOpen()) throw LOGIC_ERROR(DEBUG_INFO("DATASRC_FILE::Seek: not open"));
    RNUMBER64 first = position_;
    for (size_t i = 0; i < workers_.size(); ++i)
    {
        RNUMBER64 one;
        if (!workers_[i]->Seek(target, one)) return false;
        if (i == 0) first = one;
    }
    position_ = reached = first;
    eof_ = false;
    return true;
}

bool DATASRC_FILE::RingOn(const RNUMBER64& from, const RNUMBER64& to)
{
    ringStart_ = from;
    ringEnd_ = to;
    RNUMBER64 reached;
    return Seek(from, reached);
}

bool DATASRC_FILE::GetRing(RNUMBER64& from, RNUMBER64& to) const
{
    if (!IsRing()) return false;
    from = ringStart_;
    to = ringEnd_;
    return true;
}

bool DATASRC_FILE::RingOff()
{
    if (!IsRing()) throw LOGIC_ERROR(DEBUG_INFO("DATASRC_FILE::RingOff: not ringing"));
    ringStart_ = ringEnd_ = RNUMBER64(0);
    return true;
}

bool DATASRC_FILE::IsRing() const
{
    return ringStart_ != RNUMBER64(0) || ringEnd_ != RNUMBER64(0);
}

bool DATASRC_FILE::SizeChanged(RNUMBER64& length)
{
    if (!Size(length)) return false;
    bool changed = false;
    for (auto& worker : workers_)
        if (auto* native = dynamic_cast<WAVE_FILE_READER_NATIVE*>(worker.get()))
            changed = native->TakeSizeChanged() || changed;
    return changed;
}

bool DATASRC_FILE::ReadOnce(SMSG& msg, const RNUMBER64& wanted)
{
    const unsigned rate0 = workers_.front()->GetSampleRate();
    struct PIECE
    {
        const short* samples;
        int64_t frames;
        unsigned channels, rate;
    };
    std::vector<PIECE> pieces;
    RNUMBER64 longest(0);
    unsigned channels = 0;
    for (auto& worker : workers_)
    {
        worker->GetName(readingName_);
        RNUMBER64 at, ask = wanted, read;
        if (!worker->Read(at, ask, read))
            throw RUNTIME_ERROR(
                DEBUG_INFO(("DATASRC_FILE: cannot read " + Narrow(readingName_)).c_str()));
        const unsigned rate = worker->GetSampleRate(), count = worker->GetChannelsCount();
        pieces.push_back({worker->GetBuffer(), FramesIn(read, rate), count, rate});
        longest = std::max(longest, read);
        channels += count;
    }
    msg.Assign(long(rate0), channels, size_t(FramesIn(longest, rate0)), position_);
    const size_t frames = msg.Frames();
    unsigned base = 0;
    for (const PIECE& p : pieces)
    {
        for (size_t j = 0; j < frames; ++j)
        {
            // The sample that plays at the message's j-th instant.
            const int64_t k = p.rate == rate0 ? int64_t(j) : int64_t(j) * p.rate / rate0;
            if (k >= p.frames) break;
            for (unsigned c = 0; c < p.channels; ++c)
                msg.Channel(base + c)[j] = p.samples[size_t(k) * p.channels + c];
        }
        base += p.channels;
    }
    position_ += msg.length;
    return longest > RNUMBER64(0);
}

bool DATASRC_FILE::Read(SMSG& msg, const RNUMBER64& wanted)
{
    if (!IsOpen()) return false;
    msg.Clear();
    if (!IsRing())
    {
        ReadOnce(msg, wanted);
        eof_ = std::all_of(workers_.begin(), workers_.end(),
                           [](const auto& worker) { return worker->IsEOF(); });
        msg.eof = eof_;
        return true;
    }
    // Ringing: never past the ring end, and back to its start whenever it is reached (also
    // when the files end before it), so the loop plays on and no end mark is set.
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        if (position_ >= ringEnd_ || attempt > 0) SeekAll(ringStart_, position_, true);
        const RNUMBER64 left = ringEnd_ - position_;
        const bool got = ReadOnce(msg, left > RNUMBER64(0) ? std::min(wanted, left) : wanted);
        if (position_ >= ringEnd_) SeekAll(ringStart_, position_, true);
        if (got) break;
    }
    msg.eof = false;
    return true;
}

bool DATASRC_FILE::GetFileNames(std::vector<std::wstring>& names) const
{
    if (!IsOpen()) return false;
    names = names_;
    return true;
}

bool DATASRC_FILE::GetSampleRate(long& rate) const
{
    if (!IsOpen()) return false;
    rate = long(workers_.front()->GetSampleRate());
    return true;
}

bool DATASRC_FILE::GetChannelsCount(long& channels) const
{
    if (!IsOpen()) return false;
    channels = 0;
    for (const auto& worker : workers_)
        channels += long(worker->GetChannelsCount());
    return true;
}

bool DATASRC_FILE::GetFormat(std::string& format) const
{
    if (!IsOpen()) return false;
    workers_.front()->GetFormat(format);
    return true;
}

const DATASRC_FILE_WORKER* DATASRC_FILE::Worker(size_t i) const
{
    return i < workers_.size() ? workers_[i].get() : nullptr;
}
