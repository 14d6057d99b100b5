#include "player_notify.h"

namespace player
{

CPlayerNotify::CPlayerNotify(CPlState* state)
    : m_apartmentThread(std::this_thread::get_id()), m_queue(CurrentApartmentQueue())
{
    state->AddRef();
    m_state = ComPtr<CPlState>(state);
}

void CPlayerNotify::Deliver(std::function<void(CPlState&)> send)
{
    if (std::this_thread::get_id() == m_apartmentThread)
    {
        send(*m_state.get());
        return;
    }
    if (!m_queue) return;
    // The task keeps the state object alive until it has run (or the apartment has ended).
    ComPtr<CPlState> state = m_state;
    m_queue->Post([state, send = std::move(send)] { send(*state.get()); });
}

void CPlayerNotify::Simple(DISPID id, std::vector<long> values)
{
    Deliver(
        [id, values = std::move(values)](CPlState& state)
        {
            std::vector<VARIANT> args;
            for (long v : values)
                args.push_back(VariantFromI4(static_cast<int32_t>(v)));
            state.Fire(id, std::move(args));
        });
}

void CPlayerNotify::OnOpenFile(const std::vector<std::wstring>& files)
{
    Deliver(
        [files](CPlState& state)
        {
            VARIANT names;
            VariantInit(&names);
            names.vt = VT_ARRAY | VT_BSTR;
            names.parray = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(files.size()));
            if (!names.parray) names.vt = VT_EMPTY;
            for (size_t i = 0; names.parray && i < files.size(); ++i)
                static_cast<BSTR*>(names.parray->pvData)[i] = SysAllocString(files[i].c_str());
            state.Fire(DISPID_OnOpenFile, {names});
        });
}

void CPlayerNotify::OnCloseFile()
{
    Simple(DISPID_OnCloseFile, {});
}

void CPlayerNotify::OnMonitor(bool open, long tag)
{
    Simple(DISPID_OnMonitor, {open ? 1 : 0, tag});
}

void CPlayerNotify::OnState(long state, long positionMs)
{
    const DISPID id = state == 1 ? DISPID_OnPlay : state == 2 ? DISPID_OnPause : DISPID_OnStop;
    Simple(id, {positionMs});
}

void CPlayerNotify::OnSetFileSize(long ms)
{
    Simple(DISPID_OnSetFileSize, {ms});
}

void CPlayerNotify::OnPositionChange(long ms)
{
    Simple(DISPID_OnPositionChange, {ms});
}

void CPlayerNotify::OnLevelChanged(long left, long right)
{
    Simple(DISPID_OnLevelChanged, {left, right});
}

void CPlayerNotify::OnRing(bool on, long fromMs, long toMs)
{
    Simple(DISPID_OnRing, {on ? 1 : 0, fromMs, toMs});
}

void CPlayerNotify::OnBegConf()
{
    Simple(DISPID_OnBegConf, {});
}

void CPlayerNotify::OnEndConf()
{
    Simple(DISPID_OnEndConf, {});
}

void CPlayerNotify::OnRingSize(long ms)
{
    Simple(DISPID_OnRingSize, {ms});
}

void CPlayerNotify::OnVolumeBalanceChange(long volume, long balance)
{
    Simple(DISPID_OnVolumeBalanceChange, {volume, balance});
}

void CPlayerNotify::OnObject(long id, long on)
{
    Simple(DISPID_OnObject, {id, on});
}

void CPlayerNotify::OnMixerChannelsCounter(long channels)
{
    Simple(DISPID_OnMixerChannelsCounter, {channels});
}

void CPlayerNotify::OnMixer(long channel, bool mute, bool solo, long left, long right)
{
    Simple(DISPID_OnMixer, {channel, mute ? 1 : 0, solo ? 1 : 0, left, right});
}

void CPlayerNotify::OnMixerChannelsLevel(const std::vector<long>& levels)
{
    Deliver(
        [levels](CPlState& state)
        {
            // The event takes a pointer to a VARIANT: a by-reference variant over the array.
            VARIANT array;
            VariantInit(&array);
            array.vt = VT_ARRAY | VT_I4;
            array.parray = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(levels.size()));
            if (!array.parray) return;
            for (size_t i = 0; i < levels.size(); ++i)
                static_cast<int32_t*>(array.parray->pvData)[i] = static_cast<int32_t>(levels[i]);
            VARIANT ref;
            VariantInit(&ref);
            ref.vt = VT_VARIANT | VT_BYREF;
            ref.pvarVal = &array;
            state.Fire(DISPID_OnMixerChannelsLevel, {ref});
            VariantClear(&array);
        });
}

void CPlayerNotify::OnAgc(long level)
{
    Simple(DISPID_OnAgc, {level});
}

void CPlayerNotify::OnSpeechSearch(long threshold)
{
    Simple(DISPID_OnSpeechSearch, {threshold});
}

void CPlayerNotify::OnStretcher(long step)
{
    Simple(DISPID_OnStretcher, {step});
}

void CPlayerNotify::OnDenoiser(bool mode, long level)
{
    Simple(DISPID_OnDenoiser, {mode ? 1 : 0, level});
}

void CPlayerNotify::OnHLFilter(double lowGain, double highGain)
{
    Deliver(
        [lowGain, highGain](CPlState& state) {
            state.Fire(DISPID_OnHLFilter, {VariantFromR8(lowGain), VariantFromR8(highGain)});
        });
}

void CPlayerNotify::OnEndOfFile()
{
    Simple(DISPID_OnEndOfFile, {});
}

} // namespace player
