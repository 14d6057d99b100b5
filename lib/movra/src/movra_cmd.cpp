// MOVRA's commands: each public C method journals, takes the core's lock and runs its A
// twin, which assumes the lock is held.
#include "movra/movra.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "movra/agc.h"
#include "movra/datasrc_file.h"
#include "movra/datasrc_monitoring.h"
#include "movra/denoiser.h"
#include "movra/hlfilter.h"
#include "movra/mixer.h"
#include "movra/sb_output_card.h"
#include "movra/speechsearch.h"
#include "movra/stretcher.h"
#include "platform/little_endian.h"

#include <algorithm>
#include <cstdint>

namespace
{

long Ms(const RNUMBER64& value)
{
    return static_cast<long>(value.ToMs());
}

unsigned LockAddress(const void* lock)
{
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(lock));
}

} // namespace

// The per-command debug line of the commands without a trace pair.
#define COMMAND_LINE(name) JOURNAL_LOG(JOURNAL::LEVEL_DEBUG, "%s", DEBUG_INFO(name).c_str())

// ---- public commands -------------------------------------------------------------------

void MOVRA::CSetInterface(MOVRA_NOTIFY* host)
{
    COMMAND_LINE("MOVRA::CSetInterface");
    if (!host) throw INVALID_ARGUMENT(DEBUG_INFO("MOVRA::CSetInterface: null interface"));
    LOCK_GUARD guard(lock_);
    if (host_) throw LOGIC_ERROR(DEBUG_INFO("MOVRA::CSetInterface: interface already set"));
    host_ = host;
    for (auto& [id, object] : allObjects_)
        object->SetInterface(host);
}

bool MOVRA::COpenFile(const std::vector<std::wstring>& files)
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::COpenFile in : wait lock addr %8x",
                LockAddress(&lock_));
    bool result;
    {
        LOCK_GUARD guard(lock_);
        result = ALogicOpen(LOGICDEVICE_FILE, &files, 0);
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::COpenFile out");
    return result;
}

bool MOVRA::CCloseFile()
{
    COMMAND_LINE("MOVRA::CCloseFile");
    LOCK_GUARD guard(lock_);
    return ALogicClose(LOGICDEVICE_FILE);
}

bool MOVRA::CGetFile(std::vector<std::wstring>& files) const
{
    COMMAND_LINE("MOVRA::CGetFile");
    LOCK_GUARD guard(lock_);
    return AGetFile(files);
}

bool MOVRA::CIsOpen() const
{
    COMMAND_LINE("MOVRA::CIsOpen");
    LOCK_GUARD guard(lock_);
    return AIsOpen();
}

bool MOVRA::CGetSize(long& ms) const
{
    COMMAND_LINE("MOVRA::CGetSize");
    LOCK_GUARD guard(lock_);
    return AGetSize(ms);
}

bool MOVRA::CPlay()
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CPlay() in : wait lock addr %8x",
                LockAddress(&lock_));
    bool result = false;
    {
        LOCK_GUARD guard(lock_);
        if (FileOpen()) result = APlay(true);
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CPlay() out");
    return result;
}

bool MOVRA::CStop()
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CStop() in  : wait lock addr %8x",
                LockAddress(&lock_));
    bool result = false;
    {
        LOCK_GUARD guard(lock_);
        if (FileOpen())
        {
            ARing(false, 0, 0);
            result = AStop(true, true);
        }
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CStop() out");
    return result;
}

bool MOVRA::CPause()
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CPause() in : wait lock addr %8x",
                LockAddress(&lock_));
    bool result = false;
    {
        LOCK_GUARD guard(lock_);
        if (FileOpen()) result = APause(true);
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CPause() out");
    return result;
}

bool MOVRA::CSetPos(long ms)
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CSetPos(_ms) in  : wait lock addr %8x",
                LockAddress(&lock_));
    bool result = false;
    {
        LOCK_GUARD guard(lock_);
        if (FileOpen()) result = ASetPos(ms);
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CSetPos() out");
    return result;
}

bool MOVRA::CGetPos(long& ms) const
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CGetPos(&_ms) in  : wait lock addr %8x",
                LockAddress(&lock_));
    bool result;
    {
        LOCK_GUARD guard(lock_);
        result = AGetPos(ms);
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "MOVRA::CGetPos(&_ms) out");
    return result;
}

bool MOVRA::CGetState() const
{
    COMMAND_LINE("MOVRA::CGetState");
    LOCK_GUARD guard(lock_);
    return AGetState();
}

bool MOVRA::CRing(bool on, long fromMs, long toMs)
{
    COMMAND_LINE("MOVRA::CRing");
    LOCK_GUARD guard(lock_);
    if (!FileOpen()) return false;
    return ARing(on, fromMs, toMs);
}

bool MOVRA::CRing()
{
    COMMAND_LINE("MOVRA::CRing()");
    LOCK_GUARD guard(lock_);
    if (!FileOpen()) return false;
    return ARingHere();
}

bool MOVRA::CSetRingSize(long ms)
{
    COMMAND_LINE("MOVRA::CSetRingSize");
    LOCK_GUARD guard(lock_);
    return ASetRingSize(ms);
}

bool MOVRA::CGetRingSize(long& ms) const
{
    COMMAND_LINE("MOVRA::CGetRingSize");
    LOCK_GUARD guard(lock_);
    return AGetRingSize(ms);
}

bool MOVRA::CMonitoringOpen(long tag)
{
    COMMAND_LINE("MOVRA::CMonitoringOpen");
    LOCK_GUARD guard(lock_);
    return ALogicOpen(LOGICDEVICE_MONITORING, nullptr, tag);
}

bool MOVRA::CMonitoringClose()
{
    COMMAND_LINE("MOVRA::CMonitoringClose");
    LOCK_GUARD guard(lock_);
    return ALogicClose(LOGICDEVICE_MONITORING);
}

bool MOVRA::CMonitoringPut(const std::vector<signed char>& pcm, long channels, long rate)
{
    COMMAND_LINE("MOVRA::CMonitoringPut");
    LOCK_GUARD guard(lock_);
    return AMonitoringPut(pcm, channels, rate);
}

bool MOVRA::CSetGain(long volume)
{
    COMMAND_LINE("MOVRA::CSetGain");
    LOCK_GUARD guard(lock_);
    return ASetGain(volume);
}

bool MOVRA::CGetGain(long& volume) const
{
    COMMAND_LINE("MOVRA::CGetGain");
    LOCK_GUARD guard(lock_);
    return AGetGain(volume);
}

bool MOVRA::CSetBalance(long balance)
{
    COMMAND_LINE("MOVRA::CSetBalance");
    LOCK_GUARD guard(lock_);
    return ASetBalance(balance);
}

bool MOVRA::CGetBalance(long& balance) const
{
    COMMAND_LINE("MOVRA::CGetBalance");
    LOCK_GUARD guard(lock_);
    return AGetBalance(balance);
}

void MOVRA::CSetMixer(long channel, bool mute, bool solo, long left, long right)
{
    COMMAND_LINE("MOVRA::CSetMixer");
    LOCK_GUARD guard(lock_);
    ASetMixer(channel, mute, solo, left, right);
}

void MOVRA::CGetMixer()
{
    COMMAND_LINE("MOVRA::CGetMixer");
    LOCK_GUARD guard(lock_);
    AGetMixer();
}

bool MOVRA::CAgc(long level)
{
    COMMAND_LINE("MOVRA::CAgc");
    LOCK_GUARD guard(lock_);
    return AAgc(level);
}

bool MOVRA::CGetAgc(long& level) const
{
    COMMAND_LINE("MOVRA::CGetAgc");
    LOCK_GUARD guard(lock_);
    return AGetAgc(level);
}

bool MOVRA::CSpeechSearch(long threshold)
{
    COMMAND_LINE("MOVRA::CSpeechSearch");
    LOCK_GUARD guard(lock_);
    return ASpeechSearch(threshold);
}

bool MOVRA::CGetSpeechSearch(long& threshold) const
{
    COMMAND_LINE("MOVRA::CGetSpeechSearch");
    LOCK_GUARD guard(lock_);
    return AGetSpeechSearch(threshold);
}

bool MOVRA::CStretcher(long step)
{
    COMMAND_LINE("MOVRA::CStretcher");
    LOCK_GUARD guard(lock_);
    return AStretcher(step);
}

bool MOVRA::CGetStretcher(long& step) const
{
    COMMAND_LINE("MOVRA::CGetStretcher");
    LOCK_GUARD guard(lock_);
    return AGetStretcher(step);
}

bool MOVRA::CDenoiser(long mode, long level)
{
    COMMAND_LINE("MOVRA::CDenoiser");
    LOCK_GUARD guard(lock_);
    return ADenoiser(mode, level);
}

bool MOVRA::CGetDenoiser(long& mode, long& level) const
{
    COMMAND_LINE("MOVRA::CGetDenoiser");
    LOCK_GUARD guard(lock_);
    return AGetDenoiser(mode, level);
}

bool MOVRA::CSetLowFreqGain(double gain)
{
    COMMAND_LINE("MOVRA::CSetLowFreqGain");
    LOCK_GUARD guard(lock_);
    return ASetLowFreqGain(gain);
}

bool MOVRA::CGetLowFreqGain(double& gain) const
{
    COMMAND_LINE("MOVRA::CGetLowFreqGain");
    LOCK_GUARD guard(lock_);
    return AGetLowFreqGain(gain);
}

bool MOVRA::CSetHighFreqGain(double gain)
{
    COMMAND_LINE("MOVRA::CSetHighFreqGain");
    LOCK_GUARD guard(lock_);
    return ASetHighFreqGain(gain);
}

bool MOVRA::CGetHighFreqGain(double& gain) const
{
    COMMAND_LINE("MOVRA::CGetHighFreqGain");
    LOCK_GUARD guard(lock_);
    return AGetHighFreqGain(gain);
}

bool MOVRA::CObject(long id, long on)
{
    COMMAND_LINE("MOVRA::CObject");
    LOCK_GUARD guard(lock_);
    return AObject(id, on);
}

bool MOVRA::CGetStateObjects() const
{
    COMMAND_LINE("MOVRA::CGetStateObjects");
    LOCK_GUARD guard(lock_);
    return AGetStateObjects();
}

bool MOVRA::CGetFileSampleRate(long& rate) const
{
    COMMAND_LINE("MOVRA::CGetFileSampleRate");
    LOCK_GUARD guard(lock_);
    return AGetFileSampleRate(rate);
}

bool MOVRA::CGetFileChannelsCount(long& channels) const
{
    COMMAND_LINE("MOVRA::CGetFileChannelsCount");
    LOCK_GUARD guard(lock_);
    return AGetFileChannelsCount(channels);
}

bool MOVRA::CGetFileFormat(std::string& format) const
{
    COMMAND_LINE("MOVRA::CGetFileFormat");
    LOCK_GUARD guard(lock_);
    return AGetFileFormat(format);
}

// ---- sources ---------------------------------------------------------------------------

bool MOVRA::ALogicOpen(LOGICDEVICE device, const std::vector<std::wstring>* files, long tag)
{
    switch (device)
    {
    case LOGICDEVICE_FILE:
        if (!files)
        {
            JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA::ALogicOpen: no file list");
            return false;
        }
        if (monitoringSource_->IsOpen())
        {
            AMonitoringClose();
            active_ = FileOpen() ? fileSource_.get() : nullptr;
        }
        if (FileOpen())
        {
            ACloseFile();
            active_ = monitoringSource_->IsOpen() ? monitoringSource_.get() : nullptr;
        }
        if (!AOpenFile(*files)) return false;
        active_ = fileSource_.get();
        return true;
    case LOGICDEVICE_MONITORING:
        if (monitoringSource_->IsOpen())
        {
            AMonitoringClose();
            active_ = FileOpen() ? fileSource_.get() : nullptr;
        }
        if (!AMonitoringOpen(tag)) return false;
        active_ = monitoringSource_.get();
        APlay(false);
        return true;
    }
    throw LOGIC_ERROR(DEBUG_INFO(static_cast<int64_t>(device), "MOVRA: unknown logic device"));
}

bool MOVRA::ALogicClose(LOGICDEVICE device)
{
    bool result;
    switch (device)
    {
    case LOGICDEVICE_FILE:
        result = ACloseFile();
        active_ = monitoringSource_->IsOpen() ? monitoringSource_.get() : nullptr;
        return result;
    case LOGICDEVICE_MONITORING:
        result = AMonitoringClose();
        active_ = FileOpen() ? fileSource_.get() : nullptr;
        return result;
    }
    throw LOGIC_ERROR(DEBUG_INFO(static_cast<int64_t>(device), "MOVRA: unknown logic device"));
}

bool MOVRA::AOpenFile(const std::vector<std::wstring>& files)
{
    if (FileOpen()) return false;
    bool opened;
    try
    {
        opened = fileSource_->Open(files);
    }
    catch (...)
    {
        // A list whose later entry fails must not leave the earlier readers open.
        fileSource_->Close();
        throw;
    }
    if (!opened)
    {
        fileSource_->Close();
        return false;
    }
    RNUMBER64 size;
    fileSize_.Set(fileSource_->Size(size) ? size : RNUMBER64(0));
    position_.Set(RNUMBER64(0));
    endOfFile_.Reset();
    AStop(false, true);
    AGetState();
    return true;
}

bool MOVRA::ACloseFile()
{
    if (!FileOpen()) return false;
    AStop(true, true);
    ARing(false, 0, 0);
    if (fileSource_->Close())
    {
        fileSize_.Reset();
        position_.Set(RNUMBER64(0));
        Host().OnSetFileSize(Ms(fileSize_.Get()));
    }
    AGetState();
    return true;
}

bool MOVRA::AMonitoringOpen(long tag)
{
    if (monitoringSource_->IsOpen()) return false;
    if (!monitoringSource_->Open()) return false;
    monitoringTag_.Set(tag);
    playState_.Set(STATE_PLAYING);
    AStop(false, false);
    AGetState();
    monitoringSource_->Attach(card_.get());
    monitoringSource_->SetRate(outputRate_);
    position_.ClearChanged();
    return true;
}

bool MOVRA::AMonitoringClose()
{
    if (!monitoringSource_->IsOpen()) return true;
    AStop(false, false);
    monitoringSource_->Detach();
    const bool result = monitoringSource_->Close();
    monitoringTag_.Set(0);
    // The host learns that the stream is gone as it learnt that it came.
    Host().OnMonitor(false, 0);
    return result;
}

bool MOVRA::AMonitoringPut(const std::vector<signed char>& pcm, long channels, long rate)
{
    if (!monitoringSource_->IsOpen())
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA::AMonitoringPut LOGIC ERROR");
        return true;
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "PUT MONITORING DATA chan=%i freq=%i samples=%i bytes=%i",
                static_cast<int>(channels), static_cast<int>(rate),
                channels > 0 ? static_cast<int>(pcm.size() / (2 * static_cast<size_t>(channels)))
                             : 0,
                static_cast<int>(pcm.size()));
    if (channels <= 0 || rate <= 0)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA::AMonitoringPut: bad format chan=%li freq=%li",
                    channels, rate);
        return false;
    }
    const size_t ch = static_cast<size_t>(channels);
    const size_t frames = pcm.size() / (ch * 2);
    readMsg_.Assign(rate, static_cast<unsigned long>(ch), frames);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
    for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < ch; ++c)
            readMsg_.Channel(static_cast<unsigned long>(c))[f] =
                static_cast<int16_t>(platform::LoadLE16(bytes + 2 * (f * ch + c)));
    return monitoringSource_->Put(readMsg_);
}

bool MOVRA::AGetFile(std::vector<std::wstring>& files) const
{
    files.clear();
    return FileOpen() && fileSource_->GetFileNames(files);
}

bool MOVRA::AIsOpen() const
{
    return active_ && active_->IsOpen();
}

bool MOVRA::AGetSize(long& ms) const
{
    if (!FileOpen()) return false;
    ms = Ms(fileSize_.Get());
    return true;
}

bool MOVRA::AGetFileSampleRate(long& rate) const
{
    return FileOpen() && fileSource_->GetSampleRate(rate);
}

bool MOVRA::AGetFileChannelsCount(long& channels) const
{
    return FileOpen() && fileSource_->GetChannelsCount(channels);
}

bool MOVRA::AGetFileFormat(std::string& format) const
{
    return FileOpen() && fileSource_->GetFormat(format);
}

// ---- transport -------------------------------------------------------------------------

bool MOVRA::APlay(bool report)
{
    if (playState_.Get() == STATE_PLAYING) return true;
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: SetOutChanState(CH_STARTED)");
    card_->SetOutChanState(0, CH_STARTED);
    playState_.Set(STATE_PLAYING);
    endOfFile_.Reset();
    if (report) Host().OnState(playState_.Get(), Ms(position_.Get()));
    return true;
}

bool MOVRA::APause(bool report)
{
    if (playState_.Get() == STATE_PAUSED) return true;
    if (playState_.Get() != STATE_PLAYING) return false;
    card_->SetOutChanState(0, CH_STOPPED);
    playState_.Set(STATE_PAUSED);
    stereoLevel_.Reset();
    // Stopping the card dropped what it held, so what was handed to it goes back in front
    // of the queue: playing on resumes where the pause came.
    outputQueue_.splice(outputQueue_.begin(), playingList_);
    if (!outputQueue_.empty()) position_.Set(CappedPosition(outputQueue_.front()->start));
    if (report)
    {
        Host().OnState(playState_.Get(), Ms(position_.Get()));
        Host().OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
        stereoLevel_.ClearChanged();
    }
    return true;
}

bool MOVRA::AStop(bool rewind, bool report)
{
    if (playState_.Get() == STATE_STOPPED) return true;
    card_->SetOutChanState(0, CH_STOPPED);
    if (rewind) ASetPos(0);
    ClearLists();
    playState_.Reset();
    stereoLevel_.Reset();
    if (report)
    {
        Host().OnState(playState_.Get(), Ms(position_.Get()));
        Host().OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
        stereoLevel_.ClearChanged();
    }
    return true;
}

bool MOVRA::ASetPos(long ms)
{
    if (!FileOpen() || ms < 0) return false;
    RNUMBER64 reached;
    if (!fileSource_->Seek(RNUMBER64::FromMs(ms), reached)) return false;
    card_->SetOutChanState(0, CH_STOPPED);
    position_.Set(CappedPosition(reached));
    endOfFile_.Reset();
    stereoLevel_.Reset();
    ClearLists();
    // Stopping reset the device; playing goes on from the new place.
    if (playState_.Get() == STATE_PLAYING) card_->SetOutChanState(0, CH_STARTED);
    Host().OnPositionChange(Ms(position_.Get()));
    position_.ClearChanged();
    Host().OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
    stereoLevel_.ClearChanged();
    return true;
}

bool MOVRA::AGetPos(long& ms) const
{
    if (!FileOpen()) return false;
    ms = Ms(position_.Get());
    return true;
}

// ---- ring ------------------------------------------------------------------------------

void MOVRA::RestartInPlace()
{
    const long state = playState_.Get();
    if (state != STATE_STOPPED && state != STATE_PLAYING && state != STATE_PAUSED)
        throw LOGIC_ERROR(DEBUG_INFO(state, "MOVRA::ARing: unknown play state"));
    AStop(false, false);
    if (state == STATE_PLAYING)
        APlay(false);
    else if (state == STATE_PAUSED)
        // Nothing is queued after the stop; play on collects from the new place.
        playState_.Set(STATE_PAUSED);
}

bool MOVRA::ARing(bool on, long fromMs, long toMs)
{
    if (!FileOpen())
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA::ARing(): no file open");
        return false;
    }
    RNUMBER64 from, to;
    if (!on)
    {
        if (!fileSource_->IsRing()) return true;
        RestartInPlace();
        if (!fileSource_->RingOff()) return false;
        Host().OnRing(fileSource_->IsRing(), 0, 0);
        return true;
    }
    if (fromMs < 0 || fromMs >= toMs)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "ARing(): head=%i tail=%i", static_cast<int>(fromMs),
                    static_cast<int>(toMs));
        return false;
    }
    RNUMBER64 size;
    if (!fileSource_->Size(size)) throw RUNTIME_ERROR(DEBUG_INFO("MOVRA::ARing: no file size"));
    if (size < RNUMBER64::FromMs(fromMs) || size < RNUMBER64::FromMs(toMs))
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "ARing(): size=%i head=%i tail=%i",
                    static_cast<int>(Ms(size)), static_cast<int>(fromMs), static_cast<int>(toMs));
        return false;
    }
    if (fileSource_->IsRing()) return false;
    RestartInPlace();
    if (!fileSource_->RingOn(RNUMBER64::FromMs(fromMs), RNUMBER64::FromMs(toMs))) return false;
    if (fileSource_->GetRing(from, to))
        Host().OnRing(fileSource_->IsRing(), Ms(from), Ms(to));
    else
        Host().OnRing(fileSource_->IsRing(), 0, 0);
    return true;
}

bool MOVRA::ARingHere()
{
    const long position = Ms(position_.Get());
    const long size = Ms(ringSize_.Get());
    if (position < size) return false;
    return ARing(true, position - size, position);
}

bool MOVRA::ASetRingSize(long ms)
{
    // A non-positive size would make CRing() loop backwards.
    if (ms <= 0) return false;
    ringSize_.Set(RNUMBER64::FromMs(ms));
    Host().OnRingSize(ms);
    return true;
}

bool MOVRA::AGetRingSize(long& ms) const
{
    ms = Ms(ringSize_.Get());
    return true;
}

// ---- state report ----------------------------------------------------------------------

bool MOVRA::AGetState() const
{
    MOVRA_NOTIFY& host = Host();
    host.OnBegConf();
    host.OnMonitor(monitoringSource_->IsOpen(), monitoringTag_.Get());
    if (FileOpen())
    {
        std::vector<std::wstring> names;
        fileSource_->GetFileNames(names);
        host.OnOpenFile(names);
        host.OnSetFileSize(Ms(fileSize_.Get()));
        host.OnState(playState_.Get(), Ms(position_.Get()));
        host.OnPositionChange(Ms(position_.Get()));
        host.OnRingSize(Ms(ringSize_.Get()));
        RNUMBER64 from, to;
        if (fileSource_->GetRing(from, to))
            host.OnRing(fileSource_->IsRing(), Ms(from), Ms(to));
        else
            host.OnRing(false, 0, 0);
    }
    else
    {
        host.OnCloseFile();
    }
    host.OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
    host.OnVolumeBalanceChange(volumeBalance_.Get().level, volumeBalance_.Get().balance);
    host.OnEndConf();
    return true;
}

// ---- volume ----------------------------------------------------------------------------

bool MOVRA::ASetVolume(const OUT_LEVEL_BALANCE& value)
{
    VOLUME_LEVEL volume{value.level, value.balance};
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: SetVolume()");
    card_->SetVolume(0, &volume);
    VOLUME_LEVEL back{};
    if (card_->GetVolume(0, &back)) volumeBalance_.Set({back.level, back.balance});
    Host().OnVolumeBalanceChange(volumeBalance_.Get().level, volumeBalance_.Get().balance);
    return true;
}

bool MOVRA::ASetGain(long volume)
{
    return ASetVolume({std::clamp(volume, 0L, 100L), volumeBalance_.Get().balance});
}

bool MOVRA::ASetBalance(long balance)
{
    return ASetVolume({volumeBalance_.Get().level, std::clamp(balance, -10L, 10L)});
}

bool MOVRA::AGetGain(long& volume) const
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: GetVolume() AGetGain in");
    VOLUME_LEVEL back{};
    card_->GetVolume(0, &back);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: GetVolume() AGetGain out");
    volume = volumeBalance_.Get().level;
    return true;
}

bool MOVRA::AGetBalance(long& balance) const
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: GetVolume() AGetBalance in");
    VOLUME_LEVEL back{};
    card_->GetVolume(0, &back);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: GetVolume() AGetBalance out");
    balance = volumeBalance_.Get().balance;
    return true;
}

// ---- processing objects ----------------------------------------------------------------

void MOVRA::ASetMixer(long channel, bool mute, bool solo, long left, long right)
{
    mixer_->Set(channel, mute, solo, left, right);
    mixer_->NotifyState();
}

void MOVRA::AGetMixer()
{
    mixer_->NotifyState();
}

bool MOVRA::AAgc(long level)
{
    agc_->SetLevel(level);
    return true;
}

bool MOVRA::AGetAgc(long& level) const
{
    level = agc_->Level();
    return true;
}

bool MOVRA::ASpeechSearch(long threshold)
{
    speechSearch_->SetThreshold(threshold);
    return true;
}

bool MOVRA::AGetSpeechSearch(long& threshold) const
{
    threshold = speechSearch_->Threshold();
    return true;
}

bool MOVRA::AStretcher(long step)
{
    stretcher_->SetStep(step);
    return true;
}

bool MOVRA::AGetStretcher(long& step) const
{
    step = stretcher_->Step();
    return true;
}

bool MOVRA::ADenoiser(long mode, long level)
{
    denoiser_->Set(mode, level);
    return true;
}

bool MOVRA::AGetDenoiser(long& mode, long& level) const
{
    mode = denoiser_->Mode() ? 1 : 0;
    level = denoiser_->Level();
    return true;
}

bool MOVRA::ASetLowFreqGain(double gain)
{
    filter_->SetLowGain(gain);
    return true;
}

bool MOVRA::AGetLowFreqGain(double& gain) const
{
    gain = filter_->LowGain();
    return true;
}

bool MOVRA::ASetHighFreqGain(double gain)
{
    filter_->SetHighGain(gain);
    return true;
}

bool MOVRA::AGetHighFreqGain(double& gain) const
{
    gain = filter_->HighGain();
    return true;
}

bool MOVRA::AObject(long id, long on)
{
    if ((on != 0 && on != 1) || id == OBJ_ID_MIXER) return true;
    const auto found = allObjects_.find(id);
    if (found == allObjects_.end()) return true;
    BASEOBJECT* object = found->second;
    const auto& chain = active_ == monitoringSource_.get() ? monitoringChain_ : fileChain_;
    if (chain.count(id) && object->IsEnabled() != (on == 1))
    {
        if (on == 1)
            object->Enable();
        else
            object->Disable();
    }
    Host().OnObject(id, object->IsEnabled() ? 1 : 0);
    return true;
}

bool MOVRA::AGetStateObjects() const
{
    for (const auto& [id, object] : allObjects_)
    {
        object->NotifyState();
        Host().OnObject(id, object->IsEnabled() ? 1 : 0);
    }
    return true;
}
