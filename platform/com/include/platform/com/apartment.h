// Apartments: like a single-threaded apartment, every COM object and proxy belongs to the
// thread that initialised it. Incoming calls are dispatched only on that thread: while it
// waits for the reply to one of its own outgoing calls (re-entrantly), or when its owner
// pumps. The owner's event loop watches ApartmentFd and calls PumpApartment when it is
// readable.
#pragma once

#include "platform/com/types.h"

#include <functional>
#include <memory>

namespace com
{

// S_OK for the first call on a thread, S_FALSE for nested ones (each needs CoUninitialize).
HRESULT CoInitialize(void* reserved = nullptr);
// The last call disconnects every proxy of the apartment (later calls answer
// RPC_E_DISCONNECTED) and drops the references other processes held on its objects.
void CoUninitialize();

// Readable when incoming calls, releases or posted tasks wait; -1 without an apartment.
int ApartmentFd();
// Dispatches everything pending without blocking. Returns false without an apartment.
bool PumpApartment();
// Blocks up to timeoutMs (−1: for ever) for the apartment fd, then pumps.
bool PumpApartmentWait(int timeoutMs);

// A handle other threads may use to run work on the apartment's thread (the work runs from
// PumpApartment, never nested inside a waiting call).
class ApartmentQueue
{
public:
    virtual ~ApartmentQueue() = default;
    // false when the apartment has ended.
    virtual bool Post(std::function<void()> task) = 0;
};
std::shared_ptr<ApartmentQueue> CurrentApartmentQueue();

// Time a call waits for its reply before its connection is given up (RPC_E_DISCONNECTED).
// Default 30000 ms, or $VARK_COM_TIMEOUT_MS.
void SetCallTimeout(int milliseconds);
int CallTimeout();

} // namespace com
