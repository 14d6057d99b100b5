// The connection: framing, the call/reply protocol with re-entrant waiting, exported objects
// and proxies.
//
// Frame: u32 'VCOM', u32 body length, body. Bodies:
//   call      u8 1, u32 id, u64 object, GUID iid, u16 slot, arguments
//   reply     u8 2, u32 id, i32 HRESULT, out values
//   release   u8 3, u64 object, u32 count
//   activate  u8 4, u32 id, GUID clsid, GUID iid   (answered by a reply: u32 pid, interface)
#include "channel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace com::detail
{

namespace
{
constexpr uint32_t kMagic = 0x4D4F4356; // "VCOM"
constexpr uint32_t kMaxFrame = 64u << 20;
// Answered by a proxy's QueryInterface with its manager, without a reference.
constexpr GUID kManagerIid = {
    0x5A1C0E11, 0x7B3D, 0x4C2E, {0x9F, 0x10, 0x22, 0x6D, 0x4B, 0x8A, 0x3C, 0x01}};

using Clock = std::chrono::steady_clock;
} // namespace

Channel::Channel(int f, Apartment* a, const ServerClass* s) : fd(f), apartment(a), server(s) {}

Channel::~Channel()
{
    if (fd >= 0) ::close(fd);
}

bool Channel::Send(const std::vector<uint8_t>& body)
{
    if (dead) return false;
    Writer header;
    header.U32(kMagic);
    header.U32(static_cast<uint32_t>(body.size()));
    std::vector<uint8_t> frame = std::move(header.Bytes());
    frame.insert(frame.end(), body.begin(), body.end());
    size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(CallTimeout());
    while (done < frame.size())
    {
        ssize_t n =
            ::send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
        {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            pollfd p{fd, POLLOUT, 0};
            if (left > 0 && ::poll(&p, 1, int(left)) >= 0) continue;
        }
        Disconnect();
        return false;
    }
    return true;
}

void Channel::ReadAvailable()
{
    if (dead) return;
    bool closed = false;
    uint8_t buffer[65536];
    for (;;)
    {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
        {
            in_.insert(in_.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        closed = true;
        break;
    }
    size_t pos = 0;
    while (in_.size() - pos >= 8)
    {
        Reader h(in_.data() + pos, 8);
        const uint32_t magic = h.U32(), length = h.U32();
        if (magic != kMagic || length == 0 || length > kMaxFrame)
        {
            // The stream cannot be resynchronised: give the connection up.
            in_.clear();
            Disconnect();
            return;
        }
        if (in_.size() - pos - 8 < length) break;
        frames_.emplace_back(in_.begin() + long(pos + 8), in_.begin() + long(pos + 8 + length));
        pos += 8 + length;
    }
    in_.erase(in_.begin(), in_.begin() + long(pos));
    if (closed) Disconnect();
}

void Channel::Disconnect()
{
    if (dead) return;
    dead = true;
    if (apartment) apartment->Forget(this);
    if (fd >= 0) ::close(fd);
    fd = -1;
    auto exports = std::move(exports_);
    exports_.clear();
    exportIds_.clear();
    for (auto& [oid, entry] : exports)
        entry.identity->Release();
}

void Channel::SendRelease(uint64_t oid, uint32_t count)
{
    Writer w;
    w.U8(kRelease);
    w.U64(oid);
    w.U32(count);
    Send(w.Bytes());
}

void Channel::Reply(uint32_t id, HRESULT hr, const std::vector<uint8_t>& payload)
{
    Writer w;
    w.U8(kReply);
    w.U32(id);
    w.I32(hr);
    w.Bytes().insert(w.Bytes().end(), payload.begin(), payload.end());
    Send(w.Bytes());
}

bool Channel::ProcessOneFrame()
{
    if (frames_.empty()) return false;
    auto self = shared_from_this(); // a handler may drop the last other reference
    std::vector<uint8_t> frame = std::move(frames_.front());
    frames_.pop_front();
    Reader r(frame.data(), frame.size(), this);
    const uint8_t type = r.U8();
    switch (type)
    {
    case kCall:
    {
        const uint32_t id = r.U32();
        if (r.ok()) HandleCall(r, id, frame);
        break;
    }
    case kReply:
    {
        const uint32_t id = r.U32();
        // A reply nobody waits for is dropped: kept, it would hold the peer's bytes for the
        // connection's lifetime.
        if (r.ok() && std::find(awaited_.begin(), awaited_.end(), id) != awaited_.end())
            replies_[id] = std::vector<uint8_t>(frame.begin() + 5, frame.end());
        break;
    }
    case kRelease:
    {
        const uint64_t oid = r.U64();
        const uint32_t count = r.U32();
        auto it = exports_.find(oid);
        if (r.ok() && r.AtEnd() && it != exports_.end())
        {
            if (it->second.remoteRefs <= count)
            {
                IUnknown* identity = it->second.identity;
                exportIds_.erase(identity);
                exports_.erase(it);
                identity->Release();
            }
            else
            {
                it->second.remoteRefs -= count;
            }
        }
        break;
    }
    case kActivate:
    {
        const uint32_t id = r.U32();
        if (r.ok()) HandleActivate(r, id);
        break;
    }
    default:
        break; // unknown frames are ignored
    }
    return true;
}

void Channel::HandleActivate(Reader& r, uint32_t id)
{
    const GUID clsid = r.Guid();
    const GUID iid = r.Guid();
    if (!r.ok() || !r.AtEnd()) return Reply(id, RPC_E_INVALID_DATA, {});
    if (!server || activated || !(clsid == server->clsid))
        return Reply(id, CLASS_E_CLASSNOTAVAILABLE, {});
    void* object = nullptr;
    HRESULT hr = server->create ? server->create(iid, &object) : E_FAIL;
    if (FAILED(hr) || !object) return Reply(id, FAILED(hr) ? hr : E_NOINTERFACE, {});
    activated = true;
    Writer w(this);
    w.U32(static_cast<uint32_t>(::getpid()));
    w.Interface(static_cast<IUnknown*>(object), iid);
    static_cast<IUnknown*>(object)->Release();
    Reply(id, hr, w.Bytes());
}

void Channel::HandleCall(Reader& r, uint32_t id, const std::vector<uint8_t>&)
{
    const uint64_t oid = r.U64();
    const GUID iid = r.Guid();
    const uint16_t slot = r.U16();
    if (!r.ok()) return Reply(id, RPC_E_INVALID_DATA, {});
    auto it = exports_.find(oid);
    if (it == exports_.end()) return Reply(id, RPC_E_DISCONNECTED, {});
    ComPtr<IUnknown> identity(it->second.identity);
    identity->AddRef();
    Writer out(this);
    HRESULT hr;
    if (slot == 0)
    {
        GUID asked{};
        if (!Arg<GUID>::Get(r, asked) || !r.AtEnd()) return Reply(id, RPC_E_INVALID_DATA, {});
        void* p = nullptr;
        hr = identity->QueryInterface(asked, &p);
        if (SUCCEEDED(hr) && p) static_cast<IUnknown*>(p)->Release();
        return Reply(id, hr, {});
    }
    const InterfaceDescription* d = FindDescription(iid);
    if (slot >= 3 && slot <= 6 && (IsDispatchInterface(iid) || (d && d->dual)))
    {
        ComPtr<IDispatch> dispatch;
        hr = identity->QueryInterface(IDispatch::kIid, reinterpret_cast<void**>(dispatch.put()));
        if (SUCCEEDED(hr)) hr = DispatchStub(dispatch.get(), slot, r, out);
        return Reply(id, hr, out.Bytes());
    }
    if (!d) return Reply(id, E_NOINTERFACE, {});
    const MethodEntry* method = nullptr;
    for (const MethodEntry& m : d->methods)
        if (m.slot == slot) method = &m;
    if (!method) return Reply(id, RPC_E_INVALID_DATA, {});
    void* object = nullptr;
    hr = identity->QueryInterface(iid, &object);
    if (FAILED(hr) || !object) return Reply(id, FAILED(hr) ? hr : E_NOINTERFACE, {});
    hr = method->stub(object, r, out);
    d->release(object);
    Reply(id, hr, hr == RPC_E_INVALID_DATA ? std::vector<uint8_t>{} : out.Bytes());
}

HRESULT Channel::Call(uint8_t type, uint64_t oid, const IID& iid, uint16_t slot, Writer& request,
                      std::vector<uint8_t>& reply)
{
    reply.clear();
    if (dead || !apartment) return RPC_E_DISCONNECTED;
    if (std::this_thread::get_id() != apartment->owner) return RPC_E_WRONG_THREAD;
    auto self = shared_from_this();
    const uint32_t id = nextCall_++;
    Writer w;
    w.U8(type);
    w.U32(id);
    if (type == kCall)
    {
        w.U64(oid);
        w.Guid(iid);
        w.U16(slot);
    }
    w.Bytes().insert(w.Bytes().end(), request.Bytes().begin(), request.Bytes().end());
    if (!Send(w.Bytes())) return RPC_E_DISCONNECTED;
    awaited_.push_back(id);
    struct Awaiting
    {
        Channel& channel;
        uint32_t id;
        ~Awaiting()
        {
            auto& ids = channel.awaited_;
            ids.erase(std::find(ids.begin(), ids.end(), id));
            channel.replies_.erase(id); // one that came after the call was given up
        }
    } awaiting{*this, id};
    const auto deadline = Clock::now() + std::chrono::milliseconds(CallTimeout());
    for (;;)
    {
        auto found = replies_.find(id);
        if (found != replies_.end())
        {
            std::vector<uint8_t> body = std::move(found->second);
            replies_.erase(found);
            Reader r(body.data(), body.size());
            const HRESULT hr = r.I32();
            if (!r.ok()) return RPC_E_INVALID_DATA;
            reply.assign(body.begin() + 4, body.end());
            if (apartment) apartment->KickIfFramesWait();
            return hr;
        }
        if (dead || !apartment) return RPC_E_DISCONNECTED;
        // Serve what is already queued on any connection of the apartment, one frame at a
        // time, so that a nested call sees its own reply.
        bool served = false;
        auto channels = apartment->channels;
        for (auto& c : channels)
            if (c->ProcessOneFrame())
            {
                served = true;
                break;
            }
        if (served) continue;
        if (dead || !apartment) return RPC_E_DISCONNECTED;
        std::vector<pollfd> fds;
        for (auto& c : apartment->channels)
            if (!c->dead) fds.push_back({c->fd, POLLIN, 0});
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
        {
            Disconnect(); // the peer no longer answers; the protocol is out of step
            return RPC_E_DISCONNECTED;
        }
        int n = ::poll(fds.data(), fds.size(), int(left));
        if (n < 0 && errno != EINTR)
        {
            Disconnect();
            return RPC_E_DISCONNECTED;
        }
        for (auto& c : channels)
            c->ReadAvailable();
        if (dead && replies_.find(id) == replies_.end()) return RPC_E_DISCONNECTED;
    }
}

uint64_t Channel::Export(IUnknown* object)
{
    IUnknown* identity = nullptr;
    if (FAILED(object->QueryInterface(IUnknown::kIid, reinterpret_cast<void**>(&identity))) ||
        !identity)
        return 0;
    auto it = exportIds_.find(identity);
    if (it != exportIds_.end())
    {
        identity->Release();
        ++exports_[it->second].remoteRefs;
        return it->second;
    }
    const uint64_t oid = nextOid_++;
    exports_[oid] = {identity, 1};
    exportIds_[identity] = oid;
    return oid;
}

void* Channel::Import(Reader& r, const IID& iid)
{
    const uint8_t kind = r.U8();
    if (!r.ok()) return nullptr;
    if (kind == 0) return nullptr;
    const uint64_t oid = r.U64();
    const GUID sentIid = r.Guid();
    if (!r.ok()) return nullptr;
    (void)sentIid;
    void* result = nullptr;
    if (kind == 2)
    { // one of our own objects coming back
        auto it = exports_.find(oid);
        if (it == exports_.end() || FAILED(it->second.identity->QueryInterface(iid, &result)))
            r.Fail();
        return result;
    }
    if (kind != 1 || oid == 0)
    {
        r.Fail();
        return nullptr;
    }
    ProxyManager* manager;
    auto it = proxies.find(oid);
    if (it != proxies.end())
    {
        manager = it->second;
        ++manager->remoteRefs;
    }
    else
    {
        manager = new ProxyManager(shared_from_this(), oid);
        proxies[oid] = manager;
    }
    manager->AddRef();
    HRESULT hr = manager->QueryInterface(iid, &result);
    manager->Release();
    if (FAILED(hr)) r.Fail();
    return result;
}

// ---- proxies -------------------------------------------------------------------------------

ProxyManager::ProxyManager(std::shared_ptr<Channel> c, uint64_t o) : channel(std::move(c)), oid(o)
{
}

ProxyManager::~ProxyManager()
{
    for (auto& [iid, instance] : interfaces_)
        delete instance.owner;
}

ULONG ProxyManager::Release()
{
    const ULONG n = --refs_;
    if (n == 0)
    {
        // Out of the table even when the connection is gone: a later argument of the call
        // being read may name the same object and must not find a deleted manager.
        channel->proxies.erase(oid);
        if (!channel->dead) channel->SendRelease(oid, remoteRefs);
        delete this;
    }
    return n;
}

HRESULT ProxyManager::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == kManagerIid)
    {
        *out = this;
        return S_OK;
    }
    if (iid == IUnknown::kIid)
    {
        AddRef();
        *out = static_cast<IUnknown*>(this);
        return S_OK;
    }
    for (auto& [known, instance] : interfaces_)
        if (known == iid)
        {
            AddRef();
            *out = instance.iface;
            return S_OK;
        }
    const InterfaceDescription* d = FindDescription(iid);
    if (!d) return E_NOINTERFACE;
    Writer request(channel.get());
    Arg<GUID>::Put(request, iid);
    std::vector<uint8_t> reply;
    HRESULT hr = channel->Call(kCall, oid, IUnknown::kIid, 0, request, reply);
    if (FAILED(hr))
        return hr == RPC_E_DISCONNECTED || hr == RPC_E_WRONG_THREAD ? hr : E_NOINTERFACE;
    ProxyInstance instance = d->makeProxy(ProxyLink{this, iid});
    interfaces_.push_back({iid, instance});
    AddRef();
    *out = instance.iface;
    return S_OK;
}

ProxyManager* ManagerOf(IUnknown* object)
{
    void* p = nullptr;
    if (object && SUCCEEDED(object->QueryInterface(kManagerIid, &p)))
        return static_cast<ProxyManager*>(p);
    return nullptr;
}

Channel* ProxyLink::channel() const
{
    return manager->channel.get();
}
ULONG ProxyLink::AddRef() const
{
    return manager->AddRef();
}
ULONG ProxyLink::Release() const
{
    return manager->Release();
}
HRESULT ProxyLink::QueryInterface(REFIID i, void** out) const
{
    return manager->QueryInterface(i, out);
}
HRESULT ProxyLink::Invoke(uint16_t slot, Writer& request, std::vector<uint8_t>& reply) const
{
    return manager->channel->Call(kCall, manager->oid, iid, slot, request, reply);
}

} // namespace com::detail

namespace com
{

void Writer::Interface(IUnknown* object, const IID& iid)
{
    if (!object || !channel_)
    {
        U8(0);
        return;
    }
    if (detail::ProxyManager* m = detail::ManagerOf(object); m && m->channel.get() == channel_)
    {
        U8(2);
        U64(m->oid);
        Guid(iid);
        return;
    }
    const uint64_t oid = channel_->Export(object);
    if (oid == 0)
    {
        U8(0);
        return;
    }
    U8(1);
    U64(oid);
    Guid(iid);
}

void* Reader::Interface(const IID& iid)
{
    if (!channel_)
    {
        Fail();
        return nullptr;
    }
    return channel_->Import(*this, iid);
}

pid_t ServerProcessOf(IUnknown* object)
{
    detail::ProxyManager* m = detail::ManagerOf(object);
    return m ? m->channel->peerPid : 0;
}

} // namespace com
