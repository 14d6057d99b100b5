// The player object of the server: IPlayerCase over one MOVRA on the output device the client
// chose (the default unless SetOutputDevice came first), opened on first use.
// Each method maps onto one core command; a core refusal answers E_FAIL, a core exception
// is written to the journal and answers E_FAIL too.
#pragma once

#include "pl_state.h"
#include "player_notify.h"

#include <memory>

namespace player
{

class CPlayerCase final : public SlotDispatch<IPlayerCase>
{
public:
    CPlayerCase();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override;

    HRESULT Play() override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    // mode 0 ends the loop; otherwise loops [high, low) ms.
    HRESULT Ring(int32_t mode, int32_t high, int32_t low) override;
    HRESULT SetPosition(int32_t position) override;
    // Opens the core on its device; fails when no device, not even the default, opens.
    HRESULT GetState(IDispatch** state) override;
    HRESULT OpenFile(BSTR path) override;
    // S_FALSE when no file was open.
    HRESULT CloseFile() override;
    // 1 opens the monitoring stream (it plays at once), 0 closes it.
    HRESULT SetMonitoring(int32_t on) override;
    // A byte array of channel blocks; interleaved for the core.
    HRESULT SetSound(VARIANT data, int32_t channels, int32_t rate) override;
    HRESULT SetRingSize(int32_t size) override;
    // Loops the ring size just played.
    HRESULT RingOn() override;
    HRESULT GetGain(int32_t* gain) override;
    HRESULT SetGain(int32_t gain) override;
    HRESULT EnableObject(int32_t kind, int32_t on) override;
    HRESULT SetAgc(int32_t coefficient) override;
    HRESULT SetSpeechSearch(int32_t threshold) override;
    HRESULT SetStretch(int32_t speed) override;
    HRESULT SetDenoiser(int32_t mode, int32_t depth) override;
    // The open file's length in ms.
    HRESULT GetFileValue1(int32_t* value) override;
    // The open file's sample rate.
    HRESULT GetFileValue2(int32_t* value) override;
    // The open file's format text.
    HRESULT GetFileTitle(BSTR* title) override;
    // Before the core is opened only (E_UNEXPECTED after, unless the device is the same);
    // -1 is the default device.
    HRESULT SetOutputDevice(int32_t device) override;

private:
    ~CPlayerCase();
    // The core, opened on m_device at the first call that needs it (a chosen device that
    // cannot be opened falls back to the default); throws what the core throws.
    MOVRA& Core();
    int32_t m_device = -1;
    std::atomic<ULONG> m_refs{1};
    ComPtr<CPlState> m_state;
    std::unique_ptr<CPlayerNotify> m_notify;
    std::unique_ptr<MOVRA> m_core;
};

} // namespace player
