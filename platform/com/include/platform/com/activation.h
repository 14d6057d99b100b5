// Local-server activation. A class registration is a file named by the CLSID ("{...}") in the
// registry folder, $VARK_COM_REGISTRY (default $XDG_DATA_HOME/vark/com, else
// ~/.local/share/vark/com); its first line is the server executable's absolute path.
// Every CoCreateInstance starts its own server process, connected over a socketpair whose
// end is passed to the child as "--com-serve=<fd>"; no other process can reach it.
#pragma once

#include "platform/com/interfaces.h"

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>

namespace com
{

std::string RegistryFolder();
bool RegisterServer(const CLSID& clsid, const std::string& executable);
bool UnregisterServer(const CLSID& clsid);
std::optional<std::string> LookupServer(const CLSID& clsid);

// Registration-free activation for this process: `clsid` is served by `executable` whatever
// the class registry says, so that two installations side by side each start their own
// server. An empty path returns the class to the registry.
void UseServerInThisProcess(const CLSID& clsid, const std::string& executable);

// Only CLSCTX_LOCAL_SERVER is served; the server is the one this process chose, else the
// registered one. REGDB_E_CLASSNOTREG when the class is not registered
// (or the context has no local server), CO_E_SERVER_EXEC_FAILURE when the server cannot be
// started or dies before answering, CO_E_NOTINITIALIZED outside an apartment,
// CLASS_E_NOAGGREGATION with an outer object.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// The process id of the server behind a proxy; 0 for a local object.
pid_t ServerProcessOf(IUnknown* object);

// The server side. `create` makes a new object of the class and answers it as `iid`.
struct ServerClass
{
    CLSID clsid;
    std::function<HRESULT(REFIID iid, void** object)> create;
};

// The whole main function of a server program:
//   --regserver / --unregserver: (un)register this executable for the class, exit 0 or 1;
//   --com-serve=<fd>: initialise an apartment on this thread, serve the activation on the
//     socket and pump until the last object is released or the client disappears; exit 0.
// `beforeServe` (optional) runs in the apartment before the first call is served.
// Anything else: usage on stderr, exit 2.
int ServerMain(int argc, char** argv, const ServerClass& server,
               const std::function<void()>& beforeServe = {});

} // namespace com
