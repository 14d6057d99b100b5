// The player's state object: IPlState, with the connection point of _IPlStateEvents through
// which every event goes out. Events are sent only from the server's apartment thread.
#pragma once

#include "slot_dispatch.h"

#include <atomic>
#include <vector>

class MOVRA;

namespace player
{

using namespace trillo;

class CPlState final : public SlotDispatch<IPlState>,
                       public IConnectionPointContainer,
                       public IConnectionPoint
{
public:
    CPlState() = default;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override;

    // Stops playback (the client lets go of the player).
    HRESULT End() override;
    // Makes the core re-send its whole state.
    HRESULT Begin() override;

    HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections** connections) override;

    // The core the state reports on; null once the player is gone.
    void SetCore(MOVRA* core) { m_core = core; }
    // Sends one event to the subscriber, arguments in declaration order; takes them over.
    void Fire(DISPID id, std::vector<VARIANT> args);

private:
    ~CPlState();
    std::atomic<ULONG> m_refs{1};
    MOVRA* m_core = nullptr;
    ComPtr<IDispatch> m_sink;
    DWORD m_cookie = 0;
};

} // namespace player
