// The class registry, server start-up over a socketpair and the server's main loop.
#include "channel.h"

#include "platform/com/apartment.h"
#include "platform/com/typelib.h"
#include "platform/paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace com
{

std::string RegistryFolder()
{
    if (const char* r = std::getenv("VARK_COM_REGISTRY"); r && *r) return r;
    if (const char* d = std::getenv("XDG_DATA_HOME"); d && *d) return std::string(d) + "/vark/com";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.local/share/vark/com";
}

static std::string ClassFile(const CLSID& clsid)
{
    return RegistryFolder() + "/" + GuidToString(clsid);
}

static bool WriteAtomically(const std::string& path, const std::string& text)
{
    const std::string temp = path + ".tmp";
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        if (!f) return false;
        f << text;
        if (!f.flush()) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

bool RegisterServer(const CLSID& clsid, const std::string& executable)
{
    if (executable.empty() || executable.find('\n') != std::string::npos ||
        !platform::CreateFolders(RegistryFolder(), 0700))
        return false;
    return WriteAtomically(ClassFile(clsid), executable + "\n");
}

bool UnregisterServer(const CLSID& clsid)
{
    return ::unlink(ClassFile(clsid).c_str()) == 0 || errno == ENOENT;
}

std::optional<std::string> LookupServer(const CLSID& clsid)
{
    std::ifstream f(ClassFile(clsid));
    std::string line;
    if (!f || !std::getline(f, line) || line.empty()) return std::nullopt;
    return line;
}

namespace
{
std::mutex processServersLock;
// By the class's text form: GUIDs have no order of their own.
std::map<std::string, std::string>& ProcessServers()
{
    static std::map<std::string, std::string> servers;
    return servers;
}

std::optional<std::string> ServerFor(const CLSID& clsid)
{
    {
        std::lock_guard lock(processServersLock);
        const auto it = ProcessServers().find(GuidToString(clsid));
        if (it != ProcessServers().end()) return it->second;
    }
    return LookupServer(clsid);
}
} // namespace

void UseServerInThisProcess(const CLSID& clsid, const std::string& executable)
{
    std::lock_guard lock(processServersLock);
    if (executable.empty())
        ProcessServers().erase(GuidToString(clsid));
    else
        ProcessServers()[GuidToString(clsid)] = executable;
}

static bool ValidName(const std::string& name)
{
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

bool RegisterTypeDescription(const std::string& name, const std::string& description)
{
    if (!ValidName(name) || !platform::CreateFolders(RegistryFolder() + "/typelib", 0700))
        return false;
    return WriteAtomically(RegistryFolder() + "/typelib/" + name, description);
}

bool UnregisterTypeDescription(const std::string& name)
{
    if (!ValidName(name)) return false;
    const std::string path = RegistryFolder() + "/typelib/" + name;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::optional<std::string> LoadTypeDescription(const std::string& name)
{
    if (!ValidName(name)) return std::nullopt;
    std::ifstream f(RegistryFolder() + "/typelib/" + name, std::ios::binary);
    if (!f) return std::nullopt;
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    using namespace detail;
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Apartment* apartment = CurrentApartment();
    if (!apartment) return CO_E_NOTINITIALIZED;
    if (!(context & CLSCTX_LOCAL_SERVER)) return REGDB_E_CLASSNOTREG;
    std::optional<std::string> server = ServerFor(clsid);
    if (!server) return REGDB_E_CLASSNOTREG;
    if (::access(server->c_str(), X_OK) != 0) return CO_E_SERVER_EXEC_FAILURE;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return CO_E_SERVER_EXEC_FAILURE;
    // Everything the child needs is prepared before fork: only exec-safe calls follow.
    const std::string arg = "--com-serve=" + std::to_string(fds[1]);
    std::string path = *server;
    char* argv[] = {path.data(), const_cast<char*>(arg.c_str()), nullptr};
    const pid_t child = ::fork();
    if (child < 0)
    {
        ::close(fds[0]);
        ::close(fds[1]);
        return CO_E_SERVER_EXEC_FAILURE;
    }
    if (child == 0)
    {
        // Start the server as a grandchild so that it is never left a zombie of ours.
        if (::fork() == 0)
        {
            ::fcntl(fds[1], F_SETFD, 0);
            ::execv(path.c_str(), argv);
            ::_exit(127);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    int status;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR)
    {
    }
    auto channel = std::make_shared<Channel>(fds[0], apartment, nullptr);
    apartment->Add(channel);
    Writer request(channel.get());
    request.Guid(clsid);
    request.Guid(iid);
    std::vector<uint8_t> reply;
    HRESULT hr = channel->Call(kActivate, 0, iid, 0, request, reply);
    if (hr == RPC_E_DISCONNECTED || hr == RPC_E_INVALID_DATA)
    {
        channel->Disconnect();
        return CO_E_SERVER_EXEC_FAILURE;
    }
    if (FAILED(hr))
    {
        channel->Disconnect();
        return hr;
    }
    Reader r(reply.data(), reply.size(), channel.get());
    channel->peerPid = static_cast<pid_t>(r.U32());
    void* result = r.Interface(iid);
    if (!r.ok() || !r.AtEnd() || !result)
    {
        if (result) static_cast<IUnknown*>(result)->Release();
        channel->Disconnect();
        return CO_E_SERVER_EXEC_FAILURE;
    }
    *object = result;
    return S_OK;
}

int ServerMain(int argc, char** argv, const ServerClass& server,
               const std::function<void()>& beforeServe)
{
    using namespace detail;
    const std::string a = argc >= 2 ? argv[1] : "";
    if (argc == 2 && a == "--regserver")
        return RegisterServer(server.clsid, platform::ExecutablePath()) ? 0 : 1;
    if (argc == 2 && a == "--unregserver") return UnregisterServer(server.clsid) ? 0 : 1;
    const std::string prefix = "--com-serve=";
    if (argc != 2 || a.rfind(prefix, 0) != 0)
    {
        std::fprintf(stderr, "usage: %s --regserver | --unregserver\n", argc ? argv[0] : "server");
        return 2;
    }
    char* end = nullptr;
    const long fd = std::strtol(a.c_str() + prefix.size(), &end, 10);
    if (!end || *end || fd < 0 || fd > 65535)
    {
        std::fprintf(stderr, "bad descriptor\n");
        return 2;
    }
    ::fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    CoInitialize();
    {
        Apartment* apartment = CurrentApartment();
        auto channel = std::make_shared<Channel>(int(fd), apartment, &server);
        channel->peerPid = ::getppid();
        apartment->Add(channel);
        if (beforeServe) beforeServe();
        while (!channel->dead && !(channel->activated && channel->ExportCount() == 0))
            PumpApartmentWait(1000);
    }
    CoUninitialize();
    return 0;
}

} // namespace com
