// The flat TRIL_ functions over the one Tril of the process.
#include "tril.h"

#include "platform/text.h"
#include "scriba/scriba.h"

#include <cstring>

namespace
{
using namespace trillo;

// What every call to the player needs: a held player.
IPlayerCase* Player()
{
    return TheTril().m_player;
}
// The common shape of the processing-object switches: the parameter only when switching on,
// then the switch itself.
template <typename SetParameter> bool SwitchObject(int32_t kind, int32_t on, SetParameter set)
{
    if (!Player()) return false;
    if (on && FAILED(set(Player()))) return false;
    return SUCCEEDED(Player()->EnableObject(kind, on));
}
} // namespace

// C linkage comes from the declarations in trillo.h.
bool TRIL_Init(int device, platform::HWND hwnd, int message, bool, int)
{
    Tril& t = TheTril();
    if (t.m_player)
    {
        // Already holding a player: a second one would only orphan a server.
        t.m_hwnd = hwnd;
        t.m_message = message;
        return true;
    }
    IPlayerCase* player = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_PlayerCase, nullptr, CLSCTX_LOCAL_SERVER, IPlayerCase::kIid,
                                  reinterpret_cast<void**>(&player));
    if (FAILED(hr) || !player)
    {
        SLOG_ERR("TRIL_Init, CoCreateInstance hr=%d", hr);
        return false;
    }
    t.m_player = player;
    // The device goes first: the state opens it. -1 (the default) needs no call.
    if (device >= 0)
        if (const HRESULT set = player->SetOutputDevice(device); FAILED(set))
            SLOG_ERR("TRIL_Init, output device %d refused, hr=%d; the default plays", device, set);
    ComPtr<IDispatch> state;
    hr = player->GetState(state.put());
    if (SUCCEEDED(hr) && !state) hr = E_POINTER;
    if (SUCCEEDED(hr)) hr = QueryInterfaceAs(state.get(), &t.m_state);
    state.Reset();
    if (SUCCEEDED(hr))
    {
        t.Hook(t.m_state);
        hr = t.m_state->Begin();
    }
    if (FAILED(hr))
    {
        SLOG_ERR("TRIL_Init, hr=%d", hr);
        t.Release();
        return false;
    }
    t.m_hwnd = hwnd;
    t.m_message = message;
    return true;
}

bool TRIL_IsReady()
{
    return Player() != nullptr;
}

bool TRIL_FileIsLoaded()
{
    return Player() && TheTril().m_fileLoaded;
}

bool TRIL_IsMoitoring()
{
    return Player() && TheTril().m_monitoring;
}

void TRIL_Clear()
{
    SLOG(1, "TRIL_Clear");
    TheTril().Release();
}

bool TRIL_Play(int play)
{
    if (!Player()) return false;
    const HRESULT hr = play ? Player()->Play() : Player()->Stop();
    SLOG(1, "TRIL_Play, ret=%d, play=%d", hr, play);
    return SUCCEEDED(hr);
}

bool TRIL_Pause()
{
    if (!Player()) return false;
    const HRESULT hr = Player()->Pause();
    SLOG(1, "TRIL_Pause, ret=%d", hr);
    return SUCCEEDED(hr);
}

bool TRIL_SetPosition(int32_t position)
{
    if (!Player()) return false;
    const HRESULT hr = Player()->SetPosition(position);
    SLOG(2, "TRIL_SetPosition, ret=%d, val=%d", hr, position);
    return SUCCEEDED(hr);
}

bool TRIL_SetGain(int32_t gain)
{
    if (!Player()) return false;
    const HRESULT hr = Player()->SetGain(gain);
    SLOG(2, "TRIL_SetGain, ret=%d, val=%d", hr, gain);
    return SUCCEEDED(hr);
}

int32_t TRIL_GetGain()
{
    int32_t gain = -1;
    if (!Player()) return gain;
    // The proxy resets an out value before the call; a failed call must still answer -1.
    int32_t answer = -1;
    const HRESULT hr = Player()->GetGain(&answer);
    if (SUCCEEDED(hr)) gain = answer;
    SLOG(2, "TRIL_GetGain, ret=%d, val=%d", hr, gain);
    return gain;
}

bool TRIL_SetStretch(int32_t speed)
{
    if (!Player()) return false;
    const HRESULT hr = Player()->SetStretch(speed);
    SLOG(2, "TRIL_SetStretch, ret=%d, val=%d", hr, speed);
    return SUCCEEDED(hr);
}

bool TRIL_SetRing(int32_t seconds, int32_t on)
{
    if (!Player()) return false;
    HRESULT hr;
    if (on)
    {
        hr = Player()->SetRingSize(seconds * 1000);
        if (SUCCEEDED(hr)) hr = Player()->RingOn();
    }
    else
        hr = Player()->Ring(0, 0, 0);
    SLOG(2, "TRIL_SetRing, ret=%d, val=%d, on=%d", hr, seconds, on);
    return SUCCEEDED(hr);
}

bool TRIL_SetMonitoring(int32_t on)
{
    if (!Player()) return false;
    if (on) Player()->CloseFile();
    const HRESULT hr = Player()->SetMonitoring(on);
    SLOG(1, "TRIL_SetMonitoring, ret=%d, val=%d", hr, on);
    return SUCCEEDED(hr);
}

bool TRIL_SetAgc(int32_t coefficient, int32_t on)
{
    return SwitchObject(kObjectAgc, on, [&](IPlayerCase* p) { return p->SetAgc(coefficient); });
}

bool TRIL_SetDenoiser(int32_t mode, int32_t depth, int32_t on)
{
    return SwitchObject(kObjectDenoiser, on,
                        [&](IPlayerCase* p) { return p->SetDenoiser(mode, depth); });
}

bool TRIL_SetSpeechSearch(int32_t threshold, int32_t on)
{
    return SwitchObject(kObjectSpeechSearch, on,
                        [&](IPlayerCase* p) { return p->SetSpeechSearch(threshold); });
}

bool TRIL_SetSound(const unsigned char* data, int32_t size, int32_t channels, int32_t rate)
{
    if (!Player()) return false;
    // A negative size or missing bytes would make the copy read out of bounds.
    if (size < 0 || (size > 0 && !data)) return false;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    if (!array) return false;
    void* bytes = nullptr;
    if (FAILED(SafeArrayAccessData(array, &bytes)) || (size > 0 && !bytes))
    {
        SafeArrayDestroy(array);
        return false;
    }
    if (size > 0) std::memcpy(bytes, data, static_cast<size_t>(size));
    SafeArrayUnaccessData(array);
    VARIANT sound;
    VariantInit(&sound);
    sound.vt = VT_ARRAY | VT_UI1;
    sound.parray = array;
    const HRESULT hr = Player()->SetSound(sound, channels, rate);
    if (FAILED(hr)) SLOG_ERR("Tril::SetSound, hr=%d", hr);
    SLOG(2, "TRIL_SetSound, ret=%d, size=%d, chan=%d, freq=%d", hr, size, channels, rate);
    VariantClear(&sound);
    return SUCCEEDED(hr);
}

bool TRIL_OpenFile(const wchar_t* path)
{
    if (!Player()) return false;
    HRESULT hr;
    if (path && *path)
    {
        Player()->SetMonitoring(0);
        Player()->CloseFile();
        BSTR name = SysAllocString(path);
        hr = name ? Player()->OpenFile(name) : E_OUTOFMEMORY;
        SysFreeString(name);
    }
    else
        hr = Player()->CloseFile();
    SLOG(1, "TRIL_Openfile, ret=%d, file=%s", static_cast<int>(hr),
         path ? platform::WideToUtf8(path).c_str() : "(null)");
    return SUCCEEDED(hr);
}
