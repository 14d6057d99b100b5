// The COM connection as a hostile peer drives it over a real socket. An in-process server
// (ServerMain on a thread, the way a server program runs) exports one event sink; this side
// writes the fuzz bytes into the other end of the socketpair.
//   frames mode: the bytes are the raw stream, written in pieces the input chooses, each
//     piece read by the server before the next is written: split and coalesced headers, bad
//     magic or length, bodies that are no valid call, reply, release or activation, a peer
//     that closes mid-frame.
//   events mode: each piece is the argument part of an IDispatch::Invoke (or GetIDsOfNames)
//     frame to the sink, as an event from a server reaches a client's sink; calls the sink
//     makes back on interfaces it was handed are answered with reply bytes from the input.
// What must hold: a broken header ends the connection, a well-framed stream without releases
// leaves the connection answering a call, the server ends when this side closes, and every
// exported object is released by then (ASan's leak check covers the rest).
//
// Input: u8 flags, u8 piece count, that many piece sizes (u8), the bytes. What is left after
// the pieces is the last piece (frames) or the answer to the sink's calls: i32 HRESULT, out
// values (events).
#include "fuzz_support.h"

#include "platform/com/activation.h"
#include "platform/com/com.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <linux/sockios.h>
#include <map>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace com;
using Clock = std::chrono::steady_clock;

namespace
{

constexpr uint32_t kMagic = 0x4D4F4356; // "VCOM"
constexpr uint32_t kMaxFrame = 64u << 20;
constexpr uint8_t kCall = 1, kReply = 2, kRelease = 3, kActivate = 4;
constexpr uint32_t kActivateId = 0xFFFFFFF0, kProbeId = 0xFFFFFFF1;
constexpr CLSID kClsid = {
    0x6E3A1F20, 0x8C4B, 0x4D21, {0xA7, 0x0E, 0x31, 0x5B, 0x92, 0x4C, 0x11, 0x70}};
constexpr IID kEventsIid = {
    0x6E3A1F20, 0x8C4B, 0x4D21, {0xA7, 0x0E, 0x31, 0x5B, 0x92, 0x4C, 0x11, 0x71}};

enum Flags : uint8_t
{
    kEventsMode = 1,
    kActivateFirst = 2, // frames mode; events mode always activates
    kCloseEarly = 4,    // close right after the bytes, without the closing call
    kAsDispatch = 8,    // events mode: address the sink as IDispatch, not as the dispinterface
    kNames = 16,        // events mode: GetIDsOfNames instead of Invoke
};

std::atomic<int> g_liveSinks{0};
int g_callsOut = 0;

// The client's event sink: checks what the runtime hands it and uses every value the way a
// sink would, calling back on the interfaces it receives.
class Sink final : public IDispatch
{
public:
    Sink() { ++g_liveSinks; }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IUnknown::kIid && iid != IDispatch::kIid && iid != kEventsIid)
            return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT GetTypeInfoCount(UINT* n) override { return *n = 1, S_OK; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** t) override { return *t = nullptr, E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        FUZZ_CHECK(names && ids && count > 0 && count <= 64);
        for (UINT i = 0; i < count; ++i)
        {
            FUZZ_CHECK(names[i]);
            ids[i] = DISPID(SysStringLen(names[i]));
        }
        return S_OK;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO* e,
                   UINT* argError) override
    {
        FUZZ_CHECK(p && p->cArgs <= 64 && p->cNamedArgs <= p->cArgs);
        FUZZ_CHECK(p->cArgs == 0 || p->rgvarg);
        FUZZ_CHECK(p->cNamedArgs == 0 || p->rgdispidNamedArgs);
        for (UINT i = 0; i < p->cArgs; ++i)
            Use(p->rgvarg[i]);
        if (argError) *argError = p->cArgs;
        if (id == 2 && e)
        {
            e->scode = E_FAIL;
            e->bstrDescription = SysAllocString(L"refused");
            return DISP_E_EXCEPTION;
        }
        if (result)
        {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(L"sink");
        }
        return S_OK;
    }

private:
    ~Sink() { --g_liveSinks; }

    static void Use(const VARIANT& arg)
    {
        if (arg.vt & VT_BYREF) FUZZ_CHECK(arg.byref);
        VARIANT copy, text;
        VariantInit(&copy);
        VariantInit(&text);
        VariantCopyInd(&copy, &arg);
        VariantChangeType(&text, &arg, 0, VT_BSTR);
        if (copy.vt == VT_DISPATCH && copy.pdispVal && g_callsOut < 4)
        {
            // Back to the peer that sent it: its answer is what the proxy has to take.
            ++g_callsOut;
            UINT count = 0;
            copy.pdispVal->GetTypeInfoCount(&count);
            wchar_t name[] = L"Value";
            LPOLESTR names[] = {name};
            DISPID dispid = 0;
            copy.pdispVal->GetIDsOfNames(GUID_NULL, names, 1, 0, &dispid);
            VARIANT value;
            VariantInit(&value);
            EXCEPINFO excep{};
            UINT bad = 0;
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            copy.pdispVal->Invoke(1, GUID_NULL, 0, DISPATCH_METHOD, &none, &value, &excep, &bad);
            // What the proxy accepted is a whole value.
            VARIANT again;
            VariantInit(&again);
            FUZZ_CHECK(SUCCEEDED(VariantCopy(&again, &value)));
            VariantClear(&again);
            VariantClear(&value);
            ClearExcepInfo(&excep);
        }
        VariantClear(&text);
        VariantClear(&copy);
    }
    std::atomic<ULONG> refs_{1};
};

const bool g_registered = []
{
    RegisterDispInterface(kEventsIid);
    SetCallTimeout(20000);
    return true;
}();

std::vector<uint8_t> Frame(const std::vector<uint8_t>& body)
{
    Writer w;
    w.U32(kMagic);
    w.U32(static_cast<uint32_t>(body.size()));
    w.Bytes().insert(w.Bytes().end(), body.begin(), body.end());
    return w.Bytes();
}

struct Reply
{
    HRESULT hr;
    std::vector<uint8_t> payload;
};

// This side of the socket: writes, and reads what the server sends, answering its calls.
class HostilePeer
{
public:
    HostilePeer(int fd, std::vector<uint8_t> answer) : fd_(fd), answer_(std::move(answer)) {}

    bool closed() const { return closed_; }
    const Reply* ReplyTo(uint32_t id) const
    {
        auto it = replies_.find(id);
        return it == replies_.end() ? nullptr : &it->second;
    }

    // Writes `bytes` and waits until the server has read them all.
    void Write(const uint8_t* data, size_t size)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        size_t done = 0;
        while (!closed_)
        {
            if (done < size)
            {
                const ssize_t n =
                    ::send(fd_, data + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0) done += size_t(n);
                if (n < 0 && errno != EAGAIN && errno != EINTR) return; // the server hung up
            }
            Read();
            int queued = 0;
            if (done == size && (::ioctl(fd_, SIOCOUTQ, &queued) != 0 || queued == 0)) return;
            FUZZ_CHECK(Clock::now() < deadline); // the server stopped reading
            sched_yield();
        }
    }
    void Write(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }

    // Reads until `done` holds or the server closes; false on the time limit.
    template <typename Done> bool WaitFor(Done done)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!done() && !closed_)
        {
            pollfd p{fd_, POLLIN, 0};
            if (Clock::now() >= deadline) return false;
            if (::poll(&p, 1, 100) > 0) Read();
        }
        return true;
    }

private:
    void Read()
    {
        uint8_t buffer[65536];
        for (;;)
        {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
            {
                in_.insert(in_.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) closed_ = true;
            break;
        }
        size_t pos = 0;
        while (in_.size() - pos >= 8)
        {
            Reader h(in_.data() + pos, 8);
            const uint32_t magic = h.U32(), length = h.U32();
            // The runtime's own writer never sends a frame its reader would refuse.
            FUZZ_CHECK(magic == kMagic && length > 0 && length <= kMaxFrame);
            if (in_.size() - pos - 8 < length) break;
            Take(in_.data() + pos + 8, length);
            pos += 8 + length;
        }
        in_.erase(in_.begin(), in_.begin() + long(pos));
    }

    void Take(const uint8_t* body, size_t size)
    {
        Reader r(body, size);
        const uint8_t type = r.U8();
        FUZZ_CHECK(type == kCall || type == kReply || type == kRelease);
        if (type == kRelease) return;
        const uint32_t id = r.U32();
        if (type == kCall)
        {
            Writer w;
            w.U8(kReply);
            w.U32(id);
            if (answer_.size() < 4)
                w.I32(S_OK);
            else
                w.Bytes().insert(w.Bytes().end(), answer_.begin(), answer_.end());
            const std::vector<uint8_t> frame = Frame(w.Bytes());
            size_t done = 0;
            while (done < frame.size())
            {
                const ssize_t n =
                    ::send(fd_, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
                if (n <= 0) return;
                done += size_t(n);
            }
            return;
        }
        const HRESULT hr = r.I32();
        FUZZ_CHECK(r.ok());
        replies_[id] = {hr, std::vector<uint8_t>(body + 9, body + size)};
    }

    int fd_;
    bool closed_ = false;
    std::vector<uint8_t> answer_;
    std::vector<uint8_t> in_;
    std::map<uint32_t, Reply> replies_;
};

enum class Framing
{
    Whole,  // complete frames with acceptable headers, ending on a frame boundary
    Cut,    // acceptable headers, but the last frame is incomplete
    Broken, // a header the reader must refuse
};

// How the server's reader has to see `stream`; `releases` tells whether it holds a release.
Framing Classify(const std::vector<uint8_t>& stream, bool& releases)
{
    releases = false;
    size_t pos = 0;
    while (pos < stream.size())
    {
        if (stream.size() - pos < 8) return Framing::Cut;
        Reader h(stream.data() + pos, 8);
        const uint32_t magic = h.U32(), length = h.U32();
        if (magic != kMagic || length == 0 || length > kMaxFrame) return Framing::Broken;
        if (stream.size() - pos - 8 < length) return Framing::Cut;
        releases = releases || stream[pos + 8] == kRelease;
        pos += 8 + length;
    }
    return Framing::Whole;
}

std::vector<uint8_t> Activation()
{
    Writer w;
    w.U8(kActivate);
    w.U32(kActivateId);
    w.Guid(kClsid);
    w.Guid(IDispatch::kIid);
    return Frame(w.Bytes());
}

std::vector<uint8_t> Probe()
{
    Writer w;
    w.U8(kCall);
    w.U32(kProbeId);
    w.U64(1);
    w.Guid(IUnknown::kIid);
    w.U16(0);
    w.Guid(IUnknown::kIid);
    return Frame(w.Bytes());
}

std::vector<uint8_t> EventCall(uint32_t id, uint8_t flags, const std::vector<uint8_t>& arguments)
{
    Writer w;
    w.U8(kCall);
    w.U32(id);
    w.U64(1);
    w.Guid(flags & kAsDispatch ? IDispatch::kIid : kEventsIid);
    w.U16(flags & kNames ? 5 : 6);
    w.Bytes().insert(w.Bytes().end(), arguments.begin(), arguments.end());
    return Frame(w.Bytes());
}

void Serve(int fd)
{
    const ServerClass server{kClsid, [](REFIID iid, void** out)
                             {
                                 auto* sink = new Sink;
                                 const HRESULT hr = sink->QueryInterface(iid, out);
                                 sink->Release();
                                 return hr;
                             }};
    std::string program = "com_channel_fuzz", arg = "--com-serve=" + std::to_string(fd);
    char* argv[] = {program.data(), arg.data(), nullptr};
    FUZZ_CHECK(ServerMain(2, argv, server) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    const size_t count = data[1] % 17;
    if (size < 2 + count) return 0;
    std::vector<std::vector<uint8_t>> pieces;
    size_t pos = 2 + count;
    for (size_t i = 0; i < count && pos < size; ++i)
    {
        const size_t n = std::min<size_t>(data[2 + i], size - pos);
        pieces.emplace_back(data + pos, data + pos + n);
        pos += n;
    }
    const std::vector<uint8_t> rest(data + pos, data + size);
    const bool events = flags & kEventsMode;
    if (!events) pieces.push_back(rest);

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    g_callsOut = 0;
    std::thread server(Serve, fds[1]);
    HostilePeer peer(fds[0], events ? rest : std::vector<uint8_t>{0x02, 0x40, 0x00, 0x80});

    if (events || (flags & kActivateFirst))
    {
        peer.Write(Activation());
        FUZZ_CHECK(peer.WaitFor([&] { return peer.ReplyTo(kActivateId) != nullptr; }));
        const Reply* activated = peer.ReplyTo(kActivateId);
        FUZZ_CHECK(activated && activated->hr == S_OK);
        Reader r(activated->payload.data(), activated->payload.size());
        r.U32(); // the server's pid
        FUZZ_CHECK(r.U8() == 1 && r.U64() == 1 && r.ok());
    }

    std::vector<uint8_t> stream;
    uint32_t id = 1;
    for (const auto& piece : pieces)
    {
        const std::vector<uint8_t> bytes = events ? EventCall(id++, flags, piece) : piece;
        stream.insert(stream.end(), bytes.begin(), bytes.end());
        peer.Write(bytes);
    }

    bool releases = false;
    const Framing framing = Classify(stream, releases);
    if (framing == Framing::Broken) FUZZ_CHECK(peer.WaitFor([] { return false; }) && peer.closed());
    if (framing == Framing::Whole && !releases && !(flags & kCloseEarly))
    {
        peer.Write(Probe());
        FUZZ_CHECK(peer.WaitFor([&] { return peer.ReplyTo(kProbeId) != nullptr; }));
        FUZZ_CHECK(peer.ReplyTo(kProbeId)); // answered, not hung up
    }
    ::shutdown(fds[0], SHUT_RDWR);
    server.join();
    ::close(fds[0]);
    FUZZ_CHECK(g_liveSinks == 0);
    return 0;
}
