// MOVRA's commands, one entry each: Locked (or LockedWithTrace) journals the call and takes
// the core's lock, the A twin does the work. The twins live by theme: movra_sources.cpp,
// movra_transport.cpp, movra_ring.cpp, movra_volume.cpp and movra_objects.cpp.
#include "movra/movra.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "faltor/thread_id.h"
#include "movra/bobject.h"

#include <cstdint>

template <typename BODY>
auto MOVRA::Locked(const char* name, BODY body, const char* file, int line) const
{
    // The place is the command's own, as DEBUG_INFO would give it there.
    JOURNAL_LOG(JOURNAL::LEVEL_DEBUG, "%s",
                ::DebugInfo(name, file, __DATE__, __TIME__, line, ::GetThreadId()).c_str());
    LOCK_GUARD guard(lock_);
    return body();
}

template <typename BODY>
auto MOVRA::LockedWithTrace(const char* in, const char* out, BODY body) const
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "%s: wait lock addr %8x", in,
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(&lock_)));
    const auto result = [&]
    {
        LOCK_GUARD guard(lock_);
        return body();
    }();
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "%s", out);
    return result;
}

void MOVRA::CSetInterface(MOVRA_NOTIFY* host)
{
    // Not through Locked: a null interface is refused before the lock is taken.
    JOURNAL_LOG(JOURNAL::LEVEL_DEBUG, "%s", DEBUG_INFO("MOVRA::CSetInterface").c_str());
    if (!host) throw INVALID_ARGUMENT(DEBUG_INFO("MOVRA::CSetInterface: null interface"));
    LOCK_GUARD guard(lock_);
    if (host_) throw LOGIC_ERROR(DEBUG_INFO("MOVRA::CSetInterface: interface already set"));
    host_ = host;
    for (auto& [id, object] : allObjects_)
        object->SetInterface(host);
}

// ---- file ------------------------------------------------------------------------------

bool MOVRA::COpenFile(const std::vector<std::wstring>& files)
{
    return LockedWithTrace("MOVRA::COpenFile in ", "MOVRA::COpenFile out",
                           [&] { return ALogicOpen(LOGICDEVICE_FILE, &files, 0); });
}

bool MOVRA::CCloseFile()
{
    return Locked("MOVRA::CCloseFile", [&] { return ALogicClose(LOGICDEVICE_FILE); });
}

bool MOVRA::CGetFile(std::vector<std::wstring>& files) const
{
    return Locked("MOVRA::CGetFile", [&] { return AGetFile(files); });
}

bool MOVRA::CIsOpen() const
{
    return Locked("MOVRA::CIsOpen", [&] { return AIsOpen(); });
}

bool MOVRA::CGetSize(long& ms) const
{
    return Locked("MOVRA::CGetSize", [&] { return AGetSize(ms); });
}

bool MOVRA::CGetFileSampleRate(long& rate) const
{
    return Locked("MOVRA::CGetFileSampleRate", [&] { return AGetFileSampleRate(rate); });
}

bool MOVRA::CGetFileChannelsCount(long& channels) const
{
    return Locked("MOVRA::CGetFileChannelsCount", [&] { return AGetFileChannelsCount(channels); });
}

bool MOVRA::CGetFileFormat(std::string& format) const
{
    return Locked("MOVRA::CGetFileFormat", [&] { return AGetFileFormat(format); });
}

// ---- transport -------------------------------------------------------------------------

bool MOVRA::CPlay()
{
    return LockedWithTrace("MOVRA::CPlay() in ", "MOVRA::CPlay() out",
                           [&] { return FileOpen() && APlay(true); });
}

bool MOVRA::CStop()
{
    return LockedWithTrace("MOVRA::CStop() in  ", "MOVRA::CStop() out",
                           [&]
                           {
                               if (!FileOpen()) return false;
                               ARing(false, 0, 0);
                               return AStop(true, true);
                           });
}

bool MOVRA::CPause()
{
    return LockedWithTrace("MOVRA::CPause() in ", "MOVRA::CPause() out",
                           [&] { return FileOpen() && APause(true); });
}

bool MOVRA::CSetPos(long ms)
{
    return LockedWithTrace("MOVRA::CSetPos(_ms) in  ", "MOVRA::CSetPos() out",
                           [&] { return FileOpen() && ASetPos(ms); });
}

bool MOVRA::CGetPos(long& ms) const
{
    return LockedWithTrace("MOVRA::CGetPos(&_ms) in  ", "MOVRA::CGetPos(&_ms) out",
                           [&] { return AGetPos(ms); });
}

bool MOVRA::CGetState() const
{
    return Locked("MOVRA::CGetState", [&] { return AGetState(); });
}

// ---- ring ------------------------------------------------------------------------------

bool MOVRA::CRing(bool on, long fromMs, long toMs)
{
    return Locked("MOVRA::CRing", [&] { return FileOpen() && ARing(on, fromMs, toMs); });
}

bool MOVRA::CRing()
{
    return Locked("MOVRA::CRing()", [&] { return FileOpen() && ARingHere(); });
}

bool MOVRA::CSetRingSize(long ms)
{
    return Locked("MOVRA::CSetRingSize", [&] { return ASetRingSize(ms); });
}

bool MOVRA::CGetRingSize(long& ms) const
{
    return Locked("MOVRA::CGetRingSize", [&] { return AGetRingSize(ms); });
}

// ---- monitoring ------------------------------------------------------------------------

bool MOVRA::CMonitoringOpen(long tag)
{
    return Locked("MOVRA::CMonitoringOpen",
                  [&] { return ALogicOpen(LOGICDEVICE_MONITORING, nullptr, tag); });
}

bool MOVRA::CMonitoringClose()
{
    return Locked("MOVRA::CMonitoringClose", [&] { return ALogicClose(LOGICDEVICE_MONITORING); });
}

bool MOVRA::CMonitoringPut(const std::vector<signed char>& pcm, long channels, long rate)
{
    return Locked("MOVRA::CMonitoringPut", [&] { return AMonitoringPut(pcm, channels, rate); });
}

// ---- volume ----------------------------------------------------------------------------

bool MOVRA::CSetGain(long volume)
{
    return Locked("MOVRA::CSetGain", [&] { return ASetGain(volume); });
}

bool MOVRA::CGetGain(long& volume) const
{
    return Locked("MOVRA::CGetGain", [&] { return AGetGain(volume); });
}

bool MOVRA::CSetBalance(long balance)
{
    return Locked("MOVRA::CSetBalance", [&] { return ASetBalance(balance); });
}

bool MOVRA::CGetBalance(long& balance) const
{
    return Locked("MOVRA::CGetBalance", [&] { return AGetBalance(balance); });
}

// ---- processing objects ----------------------------------------------------------------

void MOVRA::CSetMixer(long channel, bool mute, bool solo, long left, long right)
{
    Locked("MOVRA::CSetMixer", [&] { ASetMixer(channel, mute, solo, left, right); });
}

void MOVRA::CGetMixer()
{
    Locked("MOVRA::CGetMixer", [&] { AGetMixer(); });
}

bool MOVRA::CAgc(long level)
{
    return Locked("MOVRA::CAgc", [&] { return AAgc(level); });
}

bool MOVRA::CGetAgc(long& level) const
{
    return Locked("MOVRA::CGetAgc", [&] { return AGetAgc(level); });
}

bool MOVRA::CSpeechSearch(long threshold)
{
    return Locked("MOVRA::CSpeechSearch", [&] { return ASpeechSearch(threshold); });
}

bool MOVRA::CGetSpeechSearch(long& threshold) const
{
    return Locked("MOVRA::CGetSpeechSearch", [&] { return AGetSpeechSearch(threshold); });
}

bool MOVRA::CStretcher(long step)
{
    return Locked("MOVRA::CStretcher", [&] { return AStretcher(step); });
}

bool MOVRA::CGetStretcher(long& step) const
{
    return Locked("MOVRA::CGetStretcher", [&] { return AGetStretcher(step); });
}

bool MOVRA::CDenoiser(long mode, long level)
{
    return Locked("MOVRA::CDenoiser", [&] { return ADenoiser(mode, level); });
}

bool MOVRA::CGetDenoiser(long& mode, long& level) const
{
    return Locked("MOVRA::CGetDenoiser", [&] { return AGetDenoiser(mode, level); });
}

bool MOVRA::CSetLowFreqGain(double gain)
{
    return Locked("MOVRA::CSetLowFreqGain", [&] { return ASetLowFreqGain(gain); });
}

bool MOVRA::CGetLowFreqGain(double& gain) const
{
    return Locked("MOVRA::CGetLowFreqGain", [&] { return AGetLowFreqGain(gain); });
}

bool MOVRA::CSetHighFreqGain(double gain)
{
    return Locked("MOVRA::CSetHighFreqGain", [&] { return ASetHighFreqGain(gain); });
}

bool MOVRA::CGetHighFreqGain(double& gain) const
{
    return Locked("MOVRA::CGetHighFreqGain", [&] { return AGetHighFreqGain(gain); });
}

bool MOVRA::CObject(long id, long on)
{
    return Locked("MOVRA::CObject", [&] { return AObject(id, on); });
}

bool MOVRA::CGetStateObjects() const
{
    return Locked("MOVRA::CGetStateObjects", [&] { return AGetStateObjects(); });
}
