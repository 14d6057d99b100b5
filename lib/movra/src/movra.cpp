// MOVRA: construction, the worker cycle and the static helpers. The commands are in
// movra_cmd.cpp, their work in the theme files beside it.
#include "movra/movra.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "faltor/thread_id.h"
#include "movra/agc.h"
#include "movra/datasrc_file.h"
#include "movra/datasrc_monitoring.h"
#include "movra/denoiser.h"
#include "movra/hlfilter.h"
#include "movra/mixer.h"
#include "movra/sb_output_card.h"
#include "movra/speechsearch.h"
#include "movra/stretcher.h"
#include "movra_ms.h"
#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace
{

// A host pushes a live stream in pieces about every 200 ms; longer without sound is a pause
// or the end.
constexpr int64_t kStreamQuietMs = 300;

RNUMBER64 TotalLength(const std::list<std::unique_ptr<SMSG>>& list)
{
    RNUMBER64 total;
    for (const auto& msg : list)
        total += msg->length;
    return total;
}

} // namespace

MOVRA::MOVRA(long device)
    : THREAD_CLASS("errproc", ""), readBlock_(RNUMBER64::FromMs(20)),
      collectStep_(RNUMBER64::FromMs(100)), outputCap_(RNUMBER64::FromMs(500)),
      collectTarget_(RNUMBER64::FromMs(1000)), fileSource_(std::make_unique<DATASRC_FILE>()),
      monitoringSource_(std::make_unique<DATASRC_MONITORING>(readBlock_)), notifyTimer_(100),
      playState_(STATE_STOPPED), endOfFile_(false), ringSize_(RNUMBER64::FromMs(3000)),
      position_(RNUMBER64(0)), fileSize_(RNUMBER64(0)), stereoLevel_(STEREO_VOLUME{0, 0}),
      volumeBalance_(OUT_LEVEL_BALANCE{50, 0}), monitoringTag_(0)
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::MOVRA creating SB_OUTPUT_CARD");
    card_ = std::make_unique<SB_OUTPUT_CARD>(device);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: SetOutChanState(CH_STARTED)");
    card_->SetOutChanState(0, CH_STARTED);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: SetOutChanState(CH_STOPPED)");
    card_->SetOutChanState(0, CH_STOPPED);
    VOLUME_LEVEL volume{};
    if (card_->GetVolume(0, &volume)) volumeBalance_.Set({volume.level, volume.balance});

    const std::string settings = PlayerIniPath();
    // Every key has its default, so the player plays without the file; the journal says so.
    if (::access(settings.c_str(), R_OK) != 0)
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR,
                    "MOVRA: cannot read %s, the processing settings "
                    "take their defaults",
                    settings.c_str());
    mixer_ = std::make_unique<OBJ_MIXER>(settings);
    agc_ = std::make_unique<OBJ_AGC>();
    speechSearch_ = std::make_unique<OBJ_SPEECHSEARCH>();
    stretcher_ = std::make_unique<OBJ_STRETCHER>();
    denoiser_ = std::make_unique<OBJ_DENOISER>();
    filter_ = std::make_unique<OBJ_HLFILTER>(settings);
    BASEOBJECT* all[] = {mixer_.get(),        denoiser_.get(),  agc_.get(),
                         speechSearch_.get(), stretcher_.get(), filter_.get()};
    for (BASEOBJECT* object : all)
    {
        allObjects_[object->Id()] = object;
        fileChain_[object->Id()] = object;
    }
    monitoringChain_[OBJ_ID_MIXER] = mixer_.get();
    monitoringChain_[OBJ_ID_DENOISER] = denoiser_.get();
    monitoringChain_[OBJ_ID_AGC] = agc_.get();
    mixer_->Enable();

    notifyTimer_.Restart();
    Start();
}

MOVRA::~MOVRA()
{
    Stop();
    try
    {
        if (playState_.Get() != STATE_STOPPED)
        {
            card_->SetOutChanState(0, CH_STOPPED);
            ClearLists();
            playState_.Reset();
            stereoLevel_.Reset();
        }
    }
    catch (...)
    {
        // Tearing down goes on: the card's own destructor stops the device as well.
    }
    ClearLists();
    card_.reset();
    filter_.reset();
    denoiser_.reset();
    stretcher_.reset();
    speechSearch_.reset();
    agc_.reset();
    mixer_.reset();
    monitoringSource_.reset();
    fileSource_.reset();
}

std::string MOVRA::ClassInfo() const
{
    return "MOVRA";
}

MOVRA_NOTIFY& MOVRA::Host() const
{
    if (!host_) throw LOGIC_ERROR(DEBUG_INFO("MOVRA: no host interface set"));
    return *host_;
}

bool MOVRA::FileOpen() const
{
    return fileSource_->IsOpen();
}

RNUMBER64 MOVRA::CappedPosition(const RNUMBER64& position) const
{
    return std::min(position, fileSize_.Get());
}

void MOVRA::ClearLists()
{
    outputQueue_.clear();
    playingList_.clear();
    for (auto& [id, object] : allObjects_)
    {
        object->Input().clear();
        object->Output().clear();
    }
}

unsigned int MOVRA::MainThread()
{
    JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "THREAD INFO: MOVRA::MainThread id = %i",
                static_cast<int>(GetThreadId()));
    // The thread keeps its normal priority: raising it needs privileges a desktop user
    // does not have, and 10 ms cycles keep far ahead of the device anyway.
    while (!GetTermFlag())
    {
        bool hasHost;
        {
            LOCK_GUARD guard(lock_);
            hasHost = host_ != nullptr;
        }
        if (!hasHost)
        {
            ThreadWait(50);
            continue;
        }
        if (ThreadWait(10) == WAIT_TERMINATE) break;
        LOCK_GUARD guard(lock_);
        try
        {
            Cycle();
        }
        catch (const std::exception& e)
        {
            // A failing card or object must not end the worker: the source is closed and
            // the host told, and the core keeps serving commands.
            JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA cycle: %s", e.what());
            try
            {
                CloseFailedSource();
            }
            catch (const std::exception& again)
            {
                JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA cycle: closing failed: %s", again.what());
                ClearLists();
            }
        }
    }
    SetTermFlag(false);
    return 0;
}

void MOVRA::Cycle()
{
    Collect();
    ProcessObjects();
    Prebuffer();
    FeedCard();
    RetirePlayed();
    PeriodicReports();
}

void MOVRA::CloseFailedSource()
{
    const bool monitoring = active_ == monitoringSource_.get();
    std::string text = "ERR: ";
    text += monitoring ? std::string("MONITORING")
                       : platform::WideToUtf8(fileSource_->GetReadingName());
    text += " Can't read data source. Try close data source...";
    JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "%s", text.c_str());
    if (monitoring)
        ALogicClose(LOGICDEVICE_MONITORING);
    else if (active_)
        ALogicClose(LOGICDEVICE_FILE);
    else
        ClearLists();
}

void MOVRA::Collect()
{
    if (playState_.Get() != STATE_PLAYING || !active_ || !active_->IsOpen()) return;
    if (TotalLength(outputQueue_) >= collectTarget_) return;
    std::string why;
    ReadSource((active_ == monitoringSource_.get() ? monitoringChain_ : fileChain_)
                   .begin()
                   ->second->Input(),
               collectStep_, why);
}

bool MOVRA::ReadSource(std::list<std::unique_ptr<SMSG>>& into, RNUMBER64 need, std::string& why)
{
    while (readBlock_ < need && !endOfFile_.Get())
    {
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATANEED=%i", static_cast<int>(Ms(need)));
        bool read;
        try
        {
            read = active_->Read(readMsg_, readBlock_);
        }
        catch (const std::exception& e)
        {
            JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA cycle: read failed: %s", e.what());
            why = e.what();
            CloseFailedSource();
            return false;
        }
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DATAREAD=%i", static_cast<int>(Ms(readMsg_.length)));
        if (active_ == fileSource_.get())
        {
            RNUMBER64 size;
            if (fileSource_->SizeChanged(size))
            {
                JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA cycle: SizeChanged=%i",
                            static_cast<int>(Ms(size)));
                fileSize_.Set(size);
                Host().OnSetFileSize(Ms(size));
            }
        }
        if (read && readMsg_.eof) endOfFile_.Set(true);
        if (!endOfFile_.Get() && (!read || readMsg_.IsEmpty())) break;
        streamQuiet_.Restart();
        quietStreamDrained_ = false;
        into.push_back(std::make_unique<SMSG>(readMsg_));
        need -= readMsg_.length;
    }
    return true;
}

void MOVRA::ProcessObjects()
{
    const bool monitoring = active_ == monitoringSource_.get();
    ProcessChain(monitoring ? monitoringChain_ : fileChain_, outputQueue_);
    if (monitoring) DrainQuietStream();
}

bool MOVRA::StreamHasGoneQuiet() const
{
    return active_ == monitoringSource_.get() && monitoringSource_->Backlog() == RNUMBER64(0) &&
           streamQuiet_.PeekTimeMs() >= kStreamQuietMs;
}

void MOVRA::DrainQuietStream()
{
    if (quietStreamDrained_ || !outputQueue_.empty() || playState_.Get() != STATE_PLAYING ||
        !StreamHasGoneQuiet())
        return;
    quietStreamDrained_ = true;
    // A live stream carries no end mark, so the noise reducer and the gain control would keep
    // their delay lines (a third of a second with the gain control) for good, and the end of
    // every stream would be lost. An end mark through the chain lets it out; it is taken off
    // again before the output, where it would end playback. Should the stream go on after
    // all, the objects start afresh and no sample is lost.
    auto mark = std::make_unique<SMSG>();
    mark->eof = true;
    monitoringChain_.begin()->second->Input().push_back(std::move(mark));
    SMSG_LIST drained;
    ProcessChain(monitoringChain_, drained);
    for (std::unique_ptr<SMSG>& msg : drained)
    {
        msg->eof = false;
        if (msg->Frames() > 0) outputQueue_.push_back(std::move(msg));
    }
}

void MOVRA::Prebuffer()
{
    if (outputQueue_.empty() && playingList_.empty() && !collecting_)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "COLLECT: BEGIN");
        collecting_ = true;
    }
    if (!collecting_) return;
    if (TotalLength(outputQueue_) >= collectTarget_)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "COLLECT: END");
        collecting_ = false;
    }
    else if (!outputQueue_.empty() && outputQueue_.back()->eof)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "COLLECT: CANCEL");
        collecting_ = false;
    }
    else if (!outputQueue_.empty() && StreamHasGoneQuiet())
    {
        // A live stream has no end mark; one that has gone quiet may have ended, and what it
        // sent is played rather than held back for a second that may never come.
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "COLLECT: CANCEL");
        collecting_ = false;
    }
}

void MOVRA::FeedCard()
{
    // A live stream carries no end mark: once all it sent is with the card and it has gone
    // quiet, the card's partly filled block goes out as well, or the last moments of the
    // stream would never be heard.
    if (outputQueue_.empty() && playState_.Get() == STATE_PLAYING && StreamHasGoneQuiet())
        card_->Flush();
    if (outputQueue_.empty() || playState_.Get() != STATE_PLAYING || collecting_) return;
    long free1 = 0, free2 = 0;
    if (!card_->GetFreeSpace(0, &free1, &free2))
        throw RUNTIME_ERROR(DEBUG_INFO("MOVRA: GetFreeSpace failed"));
    long freeFrames = std::min(free1, free2);
    while (!outputQueue_.empty())
    {
        SMSG& msg = *outputQueue_.front();
        const long frames = static_cast<long>(msg.Frames());
        if (frames >= freeFrames) break;
        if (TotalLength(playingList_) >= outputCap_)
        {
            JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "BLASTER: FULL");
            break;
        }
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "BLASTER: GREED");
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "PROCESSING: sr=%i size_samples=%i pos_samples=%i eof=%i",
                    static_cast<int>(msg.rate), static_cast<int>(frames),
                    static_cast<int>((msg.start * RNUMBER64(msg.rate)).ToMs() / 1000),
                    msg.eof ? 1 : 0);
        if (msg.rate > 0 && msg.rate != outputRate_)
        {
            outputRate_ = msg.rate;
            JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: SetOutChanMode() set freq to %i",
                        static_cast<int>(outputRate_));
            card_->SetOutChanMode(0, outputRate_);
            // Reopening the device at the new rate leaves it stopped.
            card_->SetOutChanState(0, CH_STARTED);
            if (monitoringSource_->IsOpen()) monitoringSource_->SetRate(outputRate_);
        }
        if (frames > 0)
        {
            if (msg.channels < 2)
                throw LOGIC_ERROR(DEBUG_INFO(static_cast<int64_t>(msg.channels),
                                             "MOVRA: output message is not stereo"));
            long takenLeft = 0, takenRight = 0;
            card_->Write(0, msg.Channel(0), msg.Channel(1), 2 * frames, &takenLeft, &takenRight);
            if (takenLeft != 2 * frames || takenRight != 2 * frames)
                throw RUNTIME_ERROR(DEBUG_INFO(2 * frames, takenLeft, takenRight,
                                               "MOVRA: the card did not take the whole message"));
            freeFrames -= frames;
        }
        if (msg.eof) card_->Flush();
        playingList_.splice(playingList_.end(), outputQueue_, outputQueue_.begin());
    }
}

void MOVRA::RetirePlayed()
{
    if (playingList_.empty()) return;
    long pending1 = 0, pending2 = 0;
    if (!card_->GetPending(0, &pending1, &pending2))
        throw RUNTIME_ERROR(DEBUG_INFO("MOVRA: GetPending failed"));
    const long pending = std::min(pending1, pending2);
    const long rate = playingList_.front()->rate;
    const RNUMBER64 pendingTime = rate > 0 ? RNUMBER64(pending, rate) : RNUMBER64(0);
    RNUMBER64 total = TotalLength(playingList_);
    bool endRetired = false;
    while (!playingList_.empty() && total >= pendingTime)
    {
        SMSG& front = *playingList_.front();
        // The last message ends playback only once the device has played everything: the
        // stop would otherwise cut off the end of the file.
        if (front.eof && pending > 0) break;
        position_.Set(CappedPosition(front.start));
        total -= front.length;
        endRetired = endRetired || front.eof;
        playingList_.pop_front();
    }
    if (endRetired)
    {
        AStop(true, true);
        Host().OnEndOfFile();
    }
}

void MOVRA::PeriodicReports()
{
    if (notifyTimer_.PeekTimeMs() < 300) return;
    if (!playingList_.empty())
    {
        const std::vector<long> levels = CalcSndLevel(*playingList_.front());
        if (levels.size() >= 2) stereoLevel_.Set({levels[0], levels[1]});
    }
    if (stereoLevel_.IsChanged())
    {
        Host().OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
        stereoLevel_.ClearChanged();
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "NOTIFY_PERIOD:VOLUME");
    }
    if (position_.IsChanged())
    {
        Host().OnPositionChange(Ms(position_.Get()));
        position_.ClearChanged();
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "NOTIFY_PERIOD:POSITION");
    }
    notifyTimer_.Restart();
}
