// MOVRA: the player core. A host creates one per playback device, hands it its MOVRA_NOTIFY
// once (CSetInterface) and drives it with commands. A worker thread pulls sound from the
// active data source (a file list or the monitoring stream the host pushes), runs it
// through the processing chain, feeds the output card and reports back.
//
// Every command exists twice: the public C method takes the core's one lock for the whole
// of its A twin, which does the work and is also what the worker and other A methods call.
// Commands therefore run synchronously on the caller's thread. The lock is recursive, so a
// notification handler may call back into the core on the same thread.
//
// Times are milliseconds at this interface and exact rationals (RNUMBER64 seconds) inside.
// Misuse throws LOGIC_ERROR or INVALID_ARGUMENT, device and file failures RUNTIME_ERROR;
// ordinary refusals (a command on a closed file, opening what is open) return false.
#pragma once

#include "basix/locker.h"
#include "basix/thread_class.h"
#include "basix/timer.h"
#include "movra/movra_notify.h"
#include "movra/object_ids.h"
#include "movra/smsg.h"
#include "movra/sound_level.h"
#include "movra/state.h"

#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

class BASEOBJECT;
class DATASRC;
class DATASRC_FILE;
class DATASRC_MONITORING;
class OBJ_AGC;
class OBJ_DENOISER;
class OBJ_HLFILTER;
class OBJ_MIXER;
class OBJ_SPEECHSEARCH;
class OBJ_STRETCHER;
class SB_OUTPUT_CARD;

// Where CRender hands the processed sound: the messages that would have gone to the card,
// stereo, in order, some of them empty (a speech search that has not found speech yet).
class RENDER_SINK
{
public:
    virtual ~RENDER_SINK() = default;
    // False ends the run (the sink failed or its user gave up).
    virtual bool Take(const SMSG& msg) = 0;
};

// Output volume 0..100 and balance -10 (left only) .. +10 (right only).
struct OUT_LEVEL_BALANCE
{
    long level = 0;
    long balance = 0;
    bool operator==(const OUT_LEVEL_BALANCE&) const = default;
};

class MOVRA : public THREAD_CLASS
{
public:
    enum LOGICDEVICE
    {
        LOGICDEVICE_FILE = 0,
        LOGICDEVICE_MONITORING = 1
    };

    enum PLAY_STATE
    {
        STATE_STOPPED = 0,
        STATE_PLAYING = 1,
        STATE_PAUSED = 2
    };

    // Processing object ids.
    using OBJECT_ID = movra_object::OBJECT_ID;
    using enum movra_object::OBJECT_ID;

    struct STEREO_VOLUME
    {
        long left = 0;
        long right = 0;
        bool operator==(const STEREO_VOLUME&) const = default;
    };

    // Opens the output card for `device` (-1: the default device) and starts the worker,
    // which idles until CSetInterface. RUNTIME_ERROR when the card cannot be opened.
    explicit MOVRA(long device);
    ~MOVRA() override;
    MOVRA(const MOVRA&) = delete;
    MOVRA& operator=(const MOVRA&) = delete;

    // Once, before any other command: null throws INVALID_ARGUMENT, a second call
    // LOGIC_ERROR. Commands made before it throw LOGIC_ERROR when they have to report.
    void CSetInterface(MOVRA_NOTIFY* host);

    // Entries are "name" or "name<>offset ms"; the files play side by side. A file that no
    // reader can open throws RUNTIME_ERROR "Failed to open <name>".
    bool COpenFile(const std::vector<std::wstring>& files);
    bool CCloseFile();
    bool CGetFile(std::vector<std::wstring>& files) const;
    bool CIsOpen() const;
    bool CGetSize(long& ms) const;

    // These four (and CRing) return false when no file is open.
    bool CPlay();
    bool CStop();
    bool CPause();
    bool CSetPos(long ms);
    bool CGetPos(long& ms) const;
    // Re-sends the whole state between OnBegConf and OnEndConf.
    bool CGetState() const;

    // Runs the open file from the current position to its end through the file chain as fast
    // as the CPU allows, on the caller's thread, handing every processed message to `sink`
    // instead of the card (which stays stopped). The core must hold a file, be stopped and
    // not ring; false otherwise. Each step holds the lock for one collect (100 ms of sound), so
    // commands get through between steps; one that plays, closes the file or opens the
    // monitoring stream ends the run (false), as does the sink. A file that is still being
    // written is taken as far as it is written now. True at the end of the file, which is
    // then rewound as after playing. A reader that fails closes the file, as in playback, and
    // throws RUNTIME_ERROR.
    bool CRender(RENDER_SINK& sink);

    // Loops [fromMs, toMs) of the open file, or ends the loop (on = false).
    bool CRing(bool on, long fromMs, long toMs);
    // Loops the ring size just played: [position - ring size, position).
    bool CRing();
    bool CSetRingSize(long ms);
    bool CGetRingSize(long& ms) const;

    // A live stream the host pushes 16-bit little-endian interleaved samples into. Opening
    // it plays at once; a file that is open stays open behind it and becomes active again
    // when monitoring closes.
    bool CMonitoringOpen(long tag);
    bool CMonitoringClose();
    bool CMonitoringPut(const std::vector<signed char>& pcm, long channels, long rate);

    bool CSetGain(long volume); // clamped to 0..100
    bool CGetGain(long& volume) const;
    bool CSetBalance(long balance); // clamped to -10..+10
    bool CGetBalance(long& balance) const;

    // Mixer channel settings; both make the mixer report its table.
    void CSetMixer(long channel, bool mute, bool solo, long left, long right);
    void CGetMixer();

    bool CAgc(long level);
    bool CGetAgc(long& level) const;
    bool CSpeechSearch(long threshold);
    bool CGetSpeechSearch(long& threshold) const;
    bool CStretcher(long step);
    bool CGetStretcher(long& step) const;
    bool CDenoiser(long mode, long level);
    bool CGetDenoiser(long& mode, long& level) const;
    bool CSetLowFreqGain(double gain);
    bool CGetLowFreqGain(double& gain) const;
    bool CSetHighFreqGain(double gain);
    bool CGetHighFreqGain(double& gain) const;

    // Switches processing object `id` (1..5; the mixer stays on) on (1) or off (0).
    bool CObject(long id, long on);
    bool CGetStateObjects() const;

    bool CGetFileSampleRate(long& rate) const;
    bool CGetFileChannelsCount(long& channels) const;
    bool CGetFileFormat(std::string& format) const;

    // Per channel: 20 * log10(peak + 1), truncated (0..90). Empty message: empty vector.
    static std::vector<long> CalcSndLevel(const SMSG& msg) { return ::CalcSndLevel(msg); }
    // The parent of the folder that holds the host's executable, without a trailing '/'.
    // RUNTIME_ERROR when the executable's path cannot be read.
    static std::string GetParentFolder();
    // The processing objects' settings: config/player.ini in the program's data folder
    // (share/vark-p), else inside GetParentFolder().
    static std::string PlayerIniPath();

    std::string ClassInfo() const override;

protected:
    unsigned int MainThread() override;

private:
    void Cycle();
    void Collect();
    // Reads up to `need` of the active source into `into`, stopping at the end mark or at an
    // empty read. A failing read is journalled, the source closed, and false returned with
    // the reason in `why`.
    bool ReadSource(std::list<std::unique_ptr<SMSG>>& into, RNUMBER64 need, std::string& why);
    // One step of CRender; true once the end mark has gone to the sink.
    bool RenderStep(RENDER_SINK& sink, bool& stopped);
    void ProcessObjects();
    // A monitoring stream that has sent nothing for a while and has nothing waiting.
    bool StreamHasGoneQuiet() const;
    void DrainQuietStream();
    void Prebuffer();
    void FeedCard();
    void RetirePlayed();
    void PeriodicReports();
    void CloseFailedSource();

    // The frame of a command: its debug line in the journal, then the lock for the whole of
    // `body`.
    template <typename BODY>
    auto Locked(const char* name, BODY body, const char* file = __builtin_FILE(),
                int line = __builtin_LINE()) const;
    // The same for the commands journalled as a trace pair: `in` before the wait for the
    // lock, with its address, and `out` once the lock is given back.
    template <typename BODY> auto LockedWithTrace(const char* in, const char* out, BODY body) const;

    bool ALogicOpen(LOGICDEVICE device, const std::vector<std::wstring>* files, long tag);
    bool ALogicClose(LOGICDEVICE device);
    bool AOpenFile(const std::vector<std::wstring>& files);
    bool ACloseFile();
    bool AMonitoringOpen(long tag);
    bool AMonitoringClose();
    bool AMonitoringPut(const std::vector<signed char>& pcm, long channels, long rate);
    bool AGetFile(std::vector<std::wstring>& files) const;
    bool AIsOpen() const;
    bool AGetSize(long& ms) const;
    bool APlay(bool report);
    bool AStop(bool rewind, bool report);
    bool APause(bool report);
    bool ASetPos(long ms);
    bool AGetPos(long& ms) const;
    bool AGetState() const;
    bool ARing(bool on, long fromMs, long toMs);
    bool ARingHere();
    bool ASetRingSize(long ms);
    bool AGetRingSize(long& ms) const;
    bool ASetGain(long volume);
    bool AGetGain(long& volume) const;
    bool ASetBalance(long balance);
    bool AGetBalance(long& balance) const;
    bool ASetVolume(const OUT_LEVEL_BALANCE& value);
    void ASetMixer(long channel, bool mute, bool solo, long left, long right);
    void AGetMixer();
    bool AAgc(long level);
    bool AGetAgc(long& level) const;
    bool ASpeechSearch(long threshold);
    bool AGetSpeechSearch(long& threshold) const;
    bool AStretcher(long step);
    bool AGetStretcher(long& step) const;
    bool ADenoiser(long mode, long level);
    bool AGetDenoiser(long& mode, long& level) const;
    bool ASetLowFreqGain(double gain);
    bool AGetLowFreqGain(double& gain) const;
    bool ASetHighFreqGain(double gain);
    bool AGetHighFreqGain(double& gain) const;
    bool AObject(long id, long on);
    bool AGetStateObjects() const;
    bool AGetFileSampleRate(long& rate) const;
    bool AGetFileChannelsCount(long& channels) const;
    bool AGetFileFormat(std::string& format) const;

    // The stop-and-restore around a change of ring mode.
    void RestartInPlace();
    bool FileOpen() const;
    MOVRA_NOTIFY& Host() const;
    RNUMBER64 CappedPosition(const RNUMBER64& position) const;
    void ClearLists();

    const RNUMBER64 readBlock_;     // 20 ms: one read from a source
    const RNUMBER64 collectStep_;   // 100 ms: the most read in one cycle
    const RNUMBER64 outputCap_;     // 500 ms: the most handed to the card ahead
    const RNUMBER64 collectTarget_; // 1000 ms: processed sound held queued
    mutable CS_LOCKER lock_;
    DATASRC* active_ = nullptr;
    std::unique_ptr<DATASRC_FILE> fileSource_;
    std::unique_ptr<DATASRC_MONITORING> monitoringSource_;
    SMSG readMsg_;
    std::map<long, BASEOBJECT*> fileChain_;
    std::map<long, BASEOBJECT*> monitoringChain_;
    std::map<long, BASEOBJECT*> allObjects_;
    std::unique_ptr<OBJ_MIXER> mixer_;
    std::unique_ptr<OBJ_DENOISER> denoiser_;
    std::unique_ptr<OBJ_AGC> agc_;
    std::unique_ptr<OBJ_SPEECHSEARCH> speechSearch_;
    std::unique_ptr<OBJ_STRETCHER> stretcher_;
    std::unique_ptr<OBJ_HLFILTER> filter_;
    std::list<std::unique_ptr<SMSG>> outputQueue_; // processed, not yet at the card
    std::list<std::unique_ptr<SMSG>> playingList_; // at the card, not yet played
    std::unique_ptr<SB_OUTPUT_CARD> card_;
    long outputRate_ = 0;
    TIMER notifyTimer_;
    MOVRA_NOTIFY* host_ = nullptr;
    STATE<long> playState_;
    STATE<bool> endOfFile_;
    STATE<RNUMBER64> ringSize_;
    STATE<RNUMBER64> position_;
    STATE<RNUMBER64> fileSize_;
    STATE<STEREO_VOLUME> stereoLevel_;
    STATE<OUT_LEVEL_BALANCE> volumeBalance_;
    STATE<long> monitoringTag_;
    bool collecting_ = false;
    bool rendering_ = false;
    TIMER streamQuiet_;               // since the monitoring source last gave sound
    bool quietStreamDrained_ = false; // what the objects held was let out since then
};
