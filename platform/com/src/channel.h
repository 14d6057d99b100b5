// One connection between two apartments in two processes, its exported objects and the
// proxies for the peer's objects. Private to the runtime.
#pragma once

#include "platform/com/activation.h"
#include "platform/com/apartment.h"
#include "platform/com/marshal.h"

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace com::detail
{

enum FrameType : uint8_t
{
    kCall = 1,
    kReply = 2,
    kRelease = 3,
    kActivate = 4
};

struct Apartment;

class Channel : public std::enable_shared_from_this<Channel>
{
public:
    Channel(int fd, Apartment* apartment, const ServerClass* server);
    ~Channel();

    int fd = -1;
    Apartment* apartment;
    const ServerClass* server;
    bool dead = false;
    bool activated = false;
    pid_t peerPid = 0;

    // Sends a call (or activation) and waits, dispatching incoming calls, for the reply.
    HRESULT Call(uint8_t type, uint64_t oid, const IID& iid, uint16_t slot, Writer& request,
                 std::vector<uint8_t>& reply);
    void SendRelease(uint64_t oid, uint32_t count);
    void ReadAvailable();
    bool ProcessOneFrame();
    void Disconnect();

    uint64_t Export(IUnknown* object);
    void* Import(Reader& reader, const IID& iid);
    size_t ExportCount() const { return exports_.size(); }
    bool HasFrames() const { return !frames_.empty(); }
    std::map<uint64_t, ProxyManager*> proxies;

private:
    bool Send(const std::vector<uint8_t>& body);
    void HandleCall(Reader& r, uint32_t id, const std::vector<uint8_t>& frame);
    void HandleActivate(Reader& r, uint32_t id);
    void Reply(uint32_t id, HRESULT hr, const std::vector<uint8_t>& payload);

    struct ExportEntry
    {
        IUnknown* identity;
        uint64_t remoteRefs;
    };
    std::map<uint64_t, ExportEntry> exports_;
    std::map<IUnknown*, uint64_t> exportIds_;
    uint64_t nextOid_ = 1;
    uint32_t nextCall_ = 1;
    std::vector<uint8_t> in_;
    std::deque<std::vector<uint8_t>> frames_;
    std::map<uint32_t, std::vector<uint8_t>> replies_;
    // Ids of the calls waiting for their replies (nested calls wait inside each other).
    std::vector<uint32_t> awaited_;
};

class QueueImpl;

struct Apartment
{
    std::thread::id owner;
    int epollFd = -1;
    int eventFd = -1;
    int initCount = 0;
    std::vector<std::shared_ptr<Channel>> channels;
    std::shared_ptr<QueueImpl> queue;
    void Add(const std::shared_ptr<Channel>& channel);
    void Forget(Channel* channel);
    // Makes the apartment fd readable: frames were read ahead while waiting for a reply and
    // now wait in memory, where the owner's event loop cannot see them.
    void KickIfFramesWait();
};

Apartment* CurrentApartment();

// Description lookups.
const InterfaceDescription* FindDescription(const IID& iid);
bool IsDispatchInterface(const IID& iid); // IDispatch or a registered dispinterface

// The IDispatch slots on the server side.
HRESULT DispatchStub(IDispatch* object, uint16_t slot, Reader& in, Writer& out);

class ProxyManager final : public IUnknown
{
public:
    ProxyManager(std::shared_ptr<Channel> channel, uint64_t oid);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    std::shared_ptr<Channel> channel;
    uint64_t oid;
    uint32_t remoteRefs = 1;

private:
    ~ProxyManager();
    std::atomic<ULONG> refs_{0};
    std::vector<std::pair<IID, ProxyInstance>> interfaces_;
};

// Answers the manager behind a proxy without a reference, or null for a local object.
ProxyManager* ManagerOf(IUnknown* object);

} // namespace com::detail
