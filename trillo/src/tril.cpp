#include "tril.h"

#include "scriba/scriba.h"

#include <algorithm>
#include <cwchar>

namespace trillo
{

namespace
{
struct Subscription
{
    DISPID event;
    int handler;
};

// Subscription order; Unhook undoes it in the same order.
constexpr Subscription kSubscriptions[] = {
    {DISPID_OnMonitor, 2},     {DISPID_OnOpenFile, 3},       {DISPID_OnCloseFile, 4},
    {DISPID_OnSetFileSize, 5}, {DISPID_OnPositionChange, 6}, {DISPID_OnPlay, 7},
    {DISPID_OnStop, 8},        {DISPID_OnPause, 9},          {DISPID_OnStretcher, 10},
    {DISPID_OnRing, 11},       {DISPID_OnRingSize, 12},      {DISPID_OnLevelChanged, 13},
};
} // namespace

Tril::~Tril()
{
    Release();
}

HRESULT Tril::Hook(IUnknown* source)
{
    HRESULT result = S_OK;
    for (const Subscription& s : kSubscriptions)
    {
        const HRESULT hr = m_receiver.HookEvent(s.event, s.handler, source);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT Tril::Unhook(IUnknown* source)
{
    HRESULT result = S_OK;
    for (const Subscription& s : kSubscriptions)
    {
        const HRESULT hr = m_receiver.UnhookEvent(s.event, source);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

void Tril::Release()
{
    if (!m_player) return;
    if (m_state)
    {
        Unhook(m_state);
        m_state->End();
        m_state->Release();
        m_state = nullptr;
    }
    m_player->Release();
    m_player = nullptr;
}

void Tril::Post(int code, platform::LPARAM value) const
{
    if (m_hwnd && m_message)
        platform::PostMessageW(m_hwnd, static_cast<platform::UINT>(m_message),
                               static_cast<platform::WPARAM>(code), value);
}

void Tril::Report(const char* event, int code, int32_t value) const
{
    SLOG(2, " <> %s, val=%d", event, value);
    Post(code, value);
}

void Tril::OnMonitor(int32_t mode, int32_t channel)
{
    SLOG(2, " <> Monitor, mode=%d, chan=%d", mode, channel);
    m_monitoring = mode != 0;
    Post(player_code::kMonitor, mode);
}

void Tril::OnOpenFile(VARIANT*)
{
    SLOG(2, " <> OpenFile");
    ReadFileInfo();
    Post(player_code::kOpenFile, reinterpret_cast<platform::LPARAM>(m_title));
}

void Tril::ReadFileInfo()
{
    if (!m_player) return;
    if (FAILED(m_player->GetFileValue1(&m_fileValue1))) return;
    if (FAILED(m_player->GetFileValue2(&m_fileValue2))) return;
    std::wmemset(m_title, 0, kTrilTitleUnits);
    BSTR title = nullptr;
    if (FAILED(m_player->GetFileTitle(&title))) return;
    if (title)
    {
        const size_t n = std::min<size_t>(SysStringLen(title), kTrilTitleUnits - 1);
        std::wmemcpy(m_title, title, n);
    }
    m_fileLoaded = true;
    SysFreeString(title);
}

void Tril::OnCloseFile()
{
    SLOG(2, " <> CloseFile");
    m_ringOn = false;
    m_leftLevel = m_rightLevel = 0;
    m_ringSize = m_stretch = m_fileSize = m_position = 0;
    m_fileLoaded = false;
    m_fileValue1 = m_fileValue2 = 0;
    std::wmemset(m_title, 0, kTrilTitleUnits);
    Post(player_code::kCloseFile, 0);
}

void Tril::OnSetFileSize(int32_t size)
{
    m_fileSize = size;
    Report("SetFileSize", player_code::kDuration, size);
}

void Tril::OnPositionChange(int32_t position)
{
    m_position = position;
    Report("PositionChange", player_code::kPosition, position);
}

void Tril::OnPlay(int32_t position)
{
    Report("Play", player_code::kPlay, position);
}

void Tril::OnStop(int32_t position)
{
    Report("Stop", player_code::kStop, position);
}

void Tril::OnPause(int32_t position)
{
    Report("Pause", player_code::kPause, position);
}

void Tril::OnStretcher(int32_t speed)
{
    m_stretch = speed;
    Report("Stretch", player_code::kStretch, speed);
}

void Tril::OnRing(int32_t mode, int32_t high, int32_t low)
{
    SLOG(2, " <> RingOn, mode=%d, left=%d, right=%d", mode, high, low);
    m_ringOn = mode != 0;
}

void Tril::OnRingSize(int32_t size)
{
    SLOG(2, " <> RingSize, val=%d", size);
    m_ringSize = size;
}

void Tril::OnLevelChanged(int32_t left, int32_t right)
{
    m_leftLevel = left;
    m_rightLevel = right;
}

namespace
{
// Made when the library is loaded, gone when it is unloaded.
Tril g_tril;
} // namespace

Tril& TheTril()
{
    return g_tril;
}

} // namespace trillo
