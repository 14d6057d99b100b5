#include "player_case.h"

#include "movra/movra.h"
#include "platform/text.h"
#include "sound_blocks.h"

namespace player
{

CPlayerCase::CPlayerCase() : m_state(new CPlState)
{
    m_notify = std::make_unique<CPlayerNotify>(m_state.get());
}

MOVRA& CPlayerCase::Core()
{
    if (m_core) return *m_core;
    try
    {
        m_core = std::make_unique<MOVRA>(m_device);
    }
    catch (const std::exception& e)
    {
        // A chosen device that is gone or busy should not leave the user without sound.
        if (m_device == -1) throw;
        if (JOURNAL::Journal)
            JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR,
                                  "output device %d cannot be opened (%s); playing through "
                                  "the default device",
                                  static_cast<int>(m_device), e.what());
        m_core = std::make_unique<MOVRA>(-1);
    }
    Core().CSetInterface(m_notify.get());
    m_state->SetCore(m_core.get());
    return *m_core;
}

HRESULT CPlayerCase::SetOutputDevice(int32_t device)
{
    if (device < -1) return E_INVALIDARG;
    if (m_core) return device == m_device ? S_OK : E_UNEXPECTED;
    m_device = device;
    return S_OK;
}

CPlayerCase::~CPlayerCase()
{
    m_state->SetCore(nullptr);
    m_core.reset(); // the worker stops before its host goes
    m_notify.reset();
}

HRESULT CPlayerCase::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IUnknown::kIid && iid != IDispatch::kIid && iid != IPlayerCase::kIid)
        return E_NOINTERFACE;
    *object = static_cast<IPlayerCase*>(this);
    AddRef();
    return S_OK;
}

ULONG CPlayerCase::Release()
{
    const ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

HRESULT CPlayerCase::Play()
{
    return Guarded("Play", [&] { return Core().CPlay(); });
}

HRESULT CPlayerCase::Stop()
{
    return Guarded("Stop", [&] { return Core().CStop(); });
}

HRESULT CPlayerCase::Pause()
{
    return Guarded("Pause", [&] { return Core().CPause(); });
}

HRESULT CPlayerCase::Ring(int32_t mode, int32_t high, int32_t low)
{
    return Guarded("Ring", [&] { return Core().CRing(mode != 0, high, low); });
}

HRESULT CPlayerCase::SetPosition(int32_t position)
{
    return Guarded("SetPosition", [&] { return Core().CSetPos(position); });
}

HRESULT CPlayerCase::GetState(IDispatch** state)
{
    if (!state) return E_POINTER;
    *state = nullptr;
    // The state reports on the core, so this is where the output device is opened.
    const HRESULT hr = Guarded("GetState",
                               [&]
                               {
                                   Core();
                                   return true;
                               });
    if (FAILED(hr)) return hr;
    *state = static_cast<IPlState*>(m_state.get());
    m_state->AddRef();
    return S_OK;
}

HRESULT CPlayerCase::OpenFile(BSTR path)
{
    if (!path || !*path) return E_INVALIDARG;
    const std::vector<std::wstring> files{std::wstring(path, SysStringLen(path))};
    return Guarded("OpenFile", [&] { return Core().COpenFile(files); });
}

HRESULT CPlayerCase::CloseFile()
{
    bool open = false;
    HRESULT hr = Guarded("CloseFile",
                         [&]
                         {
                             std::vector<std::wstring> files;
                             open = Core().CGetFile(files) && !files.empty();
                             return true;
                         });
    if (FAILED(hr) || !open) return S_FALSE;
    return Guarded("CloseFile", [&] { return Core().CCloseFile(); });
}

HRESULT CPlayerCase::SetMonitoring(int32_t on)
{
    if (on) return Guarded("SetMonitoring", [&] { return Core().CMonitoringOpen(on); });
    return Guarded("SetMonitoring", [&] { return Core().CMonitoringClose(); });
}

HRESULT CPlayerCase::SetSound(VARIANT data, int32_t channels, int32_t rate)
{
    const VARIANT* v = data.vt == (VT_VARIANT | VT_BYREF) ? data.pvarVal : &data;
    if (!v || v->vt != (VT_ARRAY | VT_UI1) || !v->parray || SafeArrayGetDim(v->parray) != 1)
        return DISP_E_TYPEMISMATCH;
    if (rate <= 0 || rate > 384000) return E_INVALIDARG;
    void* bytes = nullptr;
    if (FAILED(SafeArrayAccessData(v->parray, &bytes))) return E_FAIL;
    const auto pcm = InterleaveChannelBlocks(static_cast<const uint8_t*>(bytes),
                                             v->parray->rgsabound[0].cElements, channels);
    SafeArrayUnaccessData(v->parray);
    if (!pcm) return E_INVALIDARG;
    return Guarded("SetSound", [&] { return Core().CMonitoringPut(*pcm, channels, rate); });
}

HRESULT CPlayerCase::SetRingSize(int32_t size)
{
    return Guarded("SetRingSize", [&] { return Core().CSetRingSize(size); });
}

HRESULT CPlayerCase::RingOn()
{
    return Guarded("RingOn", [&] { return Core().CRing(); });
}

HRESULT CPlayerCase::GetGain(int32_t* gain)
{
    if (!gain) return E_POINTER;
    long value = 0;
    HRESULT hr = Guarded("GetGain", [&] { return Core().CGetGain(value); });
    if (SUCCEEDED(hr)) *gain = static_cast<int32_t>(value);
    return hr;
}

HRESULT CPlayerCase::SetGain(int32_t gain)
{
    return Guarded("SetGain", [&] { return Core().CSetGain(gain); });
}

HRESULT CPlayerCase::EnableObject(int32_t kind, int32_t on)
{
    return Guarded("EnableObject", [&] { return Core().CObject(kind, on); });
}

HRESULT CPlayerCase::SetAgc(int32_t coefficient)
{
    return Guarded("SetAgc", [&] { return Core().CAgc(coefficient); });
}

HRESULT CPlayerCase::SetSpeechSearch(int32_t threshold)
{
    return Guarded("SetSpeechSearch", [&] { return Core().CSpeechSearch(threshold); });
}

HRESULT CPlayerCase::SetStretch(int32_t speed)
{
    return Guarded("SetStretch", [&] { return Core().CStretcher(speed); });
}

HRESULT CPlayerCase::SetDenoiser(int32_t mode, int32_t depth)
{
    return Guarded("SetDenoiser", [&] { return Core().CDenoiser(mode, depth); });
}

HRESULT CPlayerCase::GetFileValue1(int32_t* value)
{
    if (!value) return E_POINTER;
    long ms = 0;
    HRESULT hr = Guarded("GetFileValue1", [&] { return Core().CGetSize(ms); });
    if (SUCCEEDED(hr)) *value = static_cast<int32_t>(ms);
    return hr;
}

HRESULT CPlayerCase::GetFileValue2(int32_t* value)
{
    if (!value) return E_POINTER;
    long rate = 0;
    HRESULT hr = Guarded("GetFileValue2", [&] { return Core().CGetFileSampleRate(rate); });
    if (SUCCEEDED(hr)) *value = static_cast<int32_t>(rate);
    return hr;
}

HRESULT CPlayerCase::GetFileTitle(BSTR* title)
{
    if (!title) return E_POINTER;
    *title = nullptr;
    std::string format;
    HRESULT hr = Guarded("GetFileTitle", [&] { return Core().CGetFileFormat(format); });
    if (FAILED(hr)) return hr;
    *title = SysAllocString(platform::Utf8ToWide(format).c_str());
    return *title ? S_OK : E_OUTOFMEMORY;
}

} // namespace player
