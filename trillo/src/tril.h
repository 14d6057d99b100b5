// The process-wide player of the wrapper: PlBase holds what every player kind has, Tril the
// cached state of a file player and the event handlers that keep it.
#pragma once

#include "receiver.h"
#include "trillo/trillo.h"

namespace trillo
{

class PlBase
{
public:
    PlBase() = default;
    virtual ~PlBase() = default;
    PlBase(const PlBase&) = delete;
    PlBase& operator=(const PlBase&) = delete;

    // The base kind has no events to subscribe.
    virtual HRESULT Hook(IUnknown*) { return E_NOTIMPL; }
    virtual HRESULT Unhook(IUnknown*) { return E_NOTIMPL; }
    virtual const char* Kind() const = 0;

    platform::HWND m_hwnd = nullptr;
    int32_t m_message = 0;
    IPlayerCase* m_player = nullptr;
    IPlState* m_state = nullptr;
};

class Tril final : public PlBase
{
public:
    Tril() : m_receiver(this) {}
    ~Tril() override;

    HRESULT Hook(IUnknown* source) override;
    HRESULT Unhook(IUnknown* source) override;
    const char* Kind() const override { return "File"; }

    // Unsubscribes, ends and releases the state object, then releases the player.
    void Release();

    // The handlers, by handler number (2..13).
    void OnMonitor(int32_t mode, int32_t channel);
    void OnOpenFile(VARIANT* files);
    void OnCloseFile();
    void OnSetFileSize(int32_t size);
    void OnPositionChange(int32_t position);
    void OnPlay(int32_t position);
    void OnStop(int32_t position);
    void OnPause(int32_t position);
    void OnStretcher(int32_t speed);
    void OnRing(int32_t mode, int32_t high, int32_t low);
    void OnRingSize(int32_t size);
    void OnLevelChanged(int32_t left, int32_t right);

    CReceiver m_receiver;
    bool m_ringOn = false;
    int32_t m_leftLevel = 0;
    int32_t m_rightLevel = 0;
    int32_t m_ringSize = 0;
    int32_t m_stretch = 0;
    int32_t m_fileSize = 0;
    int32_t m_position = 0;
    bool m_fileLoaded = false;
    int32_t m_fileValue1 = 0;
    int32_t m_fileValue2 = 0;
    wchar_t m_title[kTrilTitleUnits] = {};
    bool m_monitoring = false;

private:
    void ReadFileInfo();
    void Post(int code, platform::LPARAM value) const;
    // An event with one value, logged under the player's name for it and posted as `code`.
    void Report(const char* event, int code, int32_t value) const;
};

// The one player of the process.
Tril& TheTril();

} // namespace trillo
