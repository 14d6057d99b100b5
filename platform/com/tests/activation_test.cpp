// End to end: a real server process started through the registry.
#include "test_interface.h"

#include <gtest/gtest.h>

#include "testsupport/test_env.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace comtest;
using Clock = std::chrono::steady_clock;

namespace
{

bool ProcessGone(pid_t pid)
{
    if (::kill(pid, 0) != 0) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), {});
    auto close = all.rfind(')');
    return close != std::string::npos && close + 2 < all.size() && all[close + 2] == 'Z';
}

// The events sink: records what arrives; optionally calls back into the server from inside
// the event.
class Sink final : public IDispatch
{
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IUnknown::kIid && iid != IDispatch::kIid && iid != kEventsIid)
            return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; } // lives on the test's stack
    HRESULT GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** t) override { return *t = nullptr, E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                   UINT*) override
    {
        if (id == 99) return DISP_E_MEMBERNOTFOUND;
        if (!p || p->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantChangeType(&v, &p->rgvarg[0], 0, VT_I4))) return DISP_E_TYPEMISMATCH;
        lastType = p->rgvarg[0].vt;
        values.push_back(v.lVal);
        if (callBack)
        {
            int32_t got = 0;
            nestedResult = callBack->GetValue(&got);
            nestedValue = got;
        }
        return S_OK;
    }
    std::atomic<ULONG> refs{0};
    std::vector<int32_t> values;
    VARTYPE lastType = 0;
    ITestObject* callBack = nullptr;
    HRESULT nestedResult = E_FAIL;
    int32_t nestedValue = 0;
};

class ComEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterTestInterfaces();
        ASSERT_EQ(CoInitialize(), S_OK);
        ASSERT_TRUE(RegisterServer(kClsid, COM_TEST_SERVER));
    }
    void TearDown() override
    {
        CoUninitialize();
        SetCallTimeout(30000);
    }
    ComPtr<ITestObject> Create()
    {
        ComPtr<ITestObject> object;
        EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_LOCAL_SERVER, ITestObject::kIid,
                                   reinterpret_cast<void**>(object.put())),
                  S_OK);
        return object;
    }
    // Subscribes `sink`; returns the cookie.
    DWORD Advise(ITestObject* object, IDispatch* sink, ComPtr<IConnectionPoint>& point)
    {
        ComPtr<IConnectionPointContainer> container;
        EXPECT_EQ(QueryInterfaceAs(object, container.put()), S_OK);
        EXPECT_EQ(container->FindConnectionPoint(kEventsIid, point.put()), S_OK);
        DWORD cookie = 0;
        EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
        return cookie;
    }
    testsupport::ScopedTestEnv env;
    Sink sink; // a member: it outlives the apartment and with it every reference to it
};

TEST_F(ComEndToEnd, CallsWithEveryArgumentKind)
{
    auto object = Create();
    ASSERT_TRUE(object);
    int32_t sum = 0;
    EXPECT_EQ(object->Add(40, -2, &sum), S_OK);
    EXPECT_EQ(sum, 38);

    uint32_t u = 0;
    double d = 0;
    BSTR s = SysAllocString(L"h\u00e9llo \U0001F600");
    BSTR back = nullptr;
    EXPECT_EQ(object->Echo(0xFFFFFFFEu, -1.25, s, &u, &d, &back), S_FALSE); // the HRESULT travels
    EXPECT_EQ(u, 0xFFFFFFFEu);
    EXPECT_EQ(d, -1.25);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::wcscmp(back, s), 0);
    EXPECT_EQ(SysStringLen(back), SysStringLen(s));
    SysFreeString(back);
    SysFreeString(s);
    EXPECT_EQ(object->Echo(1, 2, nullptr, &u, &d, &back), S_FALSE);
    EXPECT_EQ(back, nullptr); // null stays null

    // VARIANT holding a byte array, and one holding a string array.
    VARIANT in, out;
    VariantInit(&in);
    VariantInit(&out);
    in.vt = VT_ARRAY | VT_UI1;
    in.parray = SafeArrayCreateVector(VT_UI1, 0, 70000);
    for (int i = 0; i < 70000; ++i)
        static_cast<uint8_t*>(in.parray->pvData)[i] = uint8_t(i * 7);
    ASSERT_EQ(object->EchoVariant(in, &out), S_OK);
    ASSERT_EQ(out.vt, VT_ARRAY | VT_UI1);
    ASSERT_EQ(out.parray->rgsabound[0].cElements, 70000u);
    EXPECT_EQ(std::memcmp(out.parray->pvData, in.parray->pvData, 70000), 0);
    VariantClear(&in);
    VariantClear(&out);
    in.vt = VT_ARRAY | VT_BSTR;
    in.parray = SafeArrayCreateVector(VT_BSTR, 1, 2);
    static_cast<BSTR*>(in.parray->pvData)[0] = SysAllocString(L"one");
    ASSERT_EQ(object->EchoVariant(in, &out), S_OK);
    int32_t lo = 0;
    SafeArrayGetLBound(out.parray, 1, &lo);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(std::wcscmp(static_cast<BSTR*>(out.parray->pvData)[0], L"one"), 0);
    EXPECT_EQ(static_cast<BSTR*>(out.parray->pvData)[1], nullptr);
    VariantClear(&in);
    VariantClear(&out);

    // Interfaces both ways keep their identity.
    ComPtr<IUnknown> child, again;
    ASSERT_EQ(object->GetChild(child.put()), S_OK);
    ASSERT_EQ(object->GetChild(again.put()), S_OK);
    EXPECT_EQ(child.get(), again.get());
    int32_t same = 0;
    EXPECT_EQ(object->Identity(child.get(), &same), S_OK);
    EXPECT_EQ(same, 1);
    ComPtr<IConnectionPoint> notThere;
    EXPECT_EQ(QueryInterfaceAs(child.get(), notThere.put()), E_NOINTERFACE);
}

TEST_F(ComEndToEnd, DualInterfaceInvokeAndNames)
{
    auto object = Create();
    OLECHAR name[] = L"Value";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(object->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 42);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocString(L"21");
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    EXCEPINFO excep{};
    ASSERT_EQ(object->Invoke(42, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, &excep, nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 42);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(object->Invoke(42, GUID_NULL, 0, DISPATCH_METHOD, &none, &result, &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(std::wcscmp(excep.bstrDescription, L"one argument"), 0);
    ClearExcepInfo(&excep);
    EXPECT_EQ(object->Invoke(7, GUID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    VariantClear(&arg);
}

TEST_F(ComEndToEnd, EventsComeBackToTheSinkAndNestedCallsWork)
{
    auto object = Create();
    ComPtr<IConnectionPoint> point;
    const DWORD cookie = Advise(object.get(), &sink, point);
    EXPECT_EQ(object->SetValue(5), S_OK);
    EXPECT_EQ(object->Fire(1, 17, 0), S_OK);
    ASSERT_EQ(sink.values.size(), 1u);
    EXPECT_EQ(sink.values[0], 17);
    EXPECT_EQ(object->Fire(1, 18, 1), S_OK); // by reference
    EXPECT_EQ(sink.lastType, VT_I4 | VT_BYREF);
    EXPECT_EQ(object->Fire(99, 1, 0), DISP_E_MEMBERNOTFOUND); // the sink's result travels back

    // Server → event → client calls back → server answers from inside Fire.
    sink.callBack = object.get();
    EXPECT_EQ(object->Fire(1, 3, 0), S_OK);
    EXPECT_EQ(sink.nestedResult, S_OK);
    EXPECT_EQ(sink.nestedValue, 1005);
    sink.callBack = nullptr;

    EXPECT_EQ(point->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(object->Fire(1, 1, 0), CONNECT_E_NOCONNECTION);
    point.Reset();
    object.Reset();
    EXPECT_TRUE(testsupport::WaitFor([&] { return sink.refs == 0; }, 5000)); // the server let go
}

TEST_F(ComEndToEnd, IncomingCallsWaitUntilTheOwnerPumps)
{
    auto object = Create();
    ComPtr<IConnectionPoint> point;
    Advise(object.get(), &sink, point);
    ASSERT_EQ(object->FireLater(77), S_OK);
    pollfd p{ApartmentFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1); // the event is waiting
    EXPECT_TRUE(sink.values.empty());
    ASSERT_TRUE(PumpApartment());
    ASSERT_EQ(sink.values.size(), 1u);
    EXPECT_EQ(sink.values[0], 77);
}

TEST_F(ComEndToEnd, ServerExitsWhenTheLastReferenceGoes)
{
    auto object = Create();
    const pid_t pid = ServerProcessOf(object.get());
    ASSERT_GT(pid, 0);
    int32_t reported = 0;
    object->GetPid(&reported);
    EXPECT_EQ(reported, pid);
    ComPtr<IUnknown> child;
    object->GetChild(child.put());
    object.Reset();
    EXPECT_FALSE(ProcessGone(pid)); // the child object still holds it
    child.Reset();
    EXPECT_TRUE(testsupport::WaitFor([&] { return ProcessGone(pid); }, 10000));
}

TEST_F(ComEndToEnd, ServerExitsWhenItsClientDies)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t client = ::fork();
    ASSERT_GE(client, 0);
    if (client == 0)
    {
        ComPtr<ITestObject> object;
        ::close(pipeFds[0]);
        if (FAILED(CoCreateInstance(kClsid, nullptr, CLSCTX_LOCAL_SERVER, ITestObject::kIid,
                                    reinterpret_cast<void**>(object.put()))))
            ::_exit(1);
        pid_t pid = ServerProcessOf(object.get());
        (void)!::write(pipeFds[1], &pid, sizeof pid);
        ::_exit(0); // without releasing anything
    }
    ::close(pipeFds[1]);
    pid_t server = 0;
    ASSERT_EQ(::read(pipeFds[0], &server, sizeof server), ssize_t(sizeof server));
    ::close(pipeFds[0]);
    int status;
    ::waitpid(client, &status, 0);
    ASSERT_GT(server, 0);
    EXPECT_TRUE(testsupport::WaitFor([&] { return ProcessGone(server); }, 10000));
}

TEST_F(ComEndToEnd, UnregisteredClassAndServersThatCannotStart)
{
    const CLSID other = *GuidFromString("{00000000-1111-2222-3333-444444444444}");
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_LOCAL_SERVER, ITestObject::kIid, &p),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, ITestObject::kIid, &p),
              REGDB_E_CLASSNOTREG);
    ASSERT_TRUE(RegisterServer(other, env.Path("missing-server")));
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_LOCAL_SERVER, ITestObject::kIid, &p),
              CO_E_SERVER_EXEC_FAILURE);
    ASSERT_TRUE(RegisterServer(other, "/bin/false")); // starts, never answers
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_LOCAL_SERVER, ITestObject::kIid, &p),
              CO_E_SERVER_EXEC_FAILURE);
    // The test server refuses a class it does not serve.
    ASSERT_TRUE(RegisterServer(other, COM_TEST_SERVER));
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_LOCAL_SERVER, ITestObject::kIid, &p),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
}

// A second installation's server in the registry does not reach a process that chose its
// own; letting go of the choice returns the class to the registry.
TEST_F(ComEndToEnd, AServerChosenByTheProcessWinsOverTheRegisteredOne)
{
    ASSERT_TRUE(RegisterServer(kClsid, "/bin/false"));
    UseServerInThisProcess(kClsid, COM_TEST_SERVER);
    {
        auto object = Create();
        EXPECT_GT(ServerProcessOf(object.get()), 0);
    }
    UseServerInThisProcess(kClsid, "");
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_LOCAL_SERVER, ITestObject::kIid, &p),
              CO_E_SERVER_EXEC_FAILURE);
}

TEST_F(ComEndToEnd, KilledServerFailsFastAndForEver)
{
    auto object = Create();
    const pid_t pid = ServerProcessOf(object.get());
    std::thread killer(
        [pid]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ::kill(pid, SIGKILL);
        });
    const auto start = Clock::now();
    EXPECT_EQ(object->Sleep(20000), RPC_E_DISCONNECTED);
    killer.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    int32_t sum = 0;
    EXPECT_EQ(object->Add(1, 2, &sum), RPC_E_DISCONNECTED);
    EXPECT_EQ(object->Add(1, 2, &sum), RPC_E_DISCONNECTED);
    ComPtr<IConnectionPointContainer> c;
    EXPECT_NE(QueryInterfaceAs(object.get(), c.put()), S_OK);
}

TEST_F(ComEndToEnd, AnUnansweredCallTimesOut)
{
    auto object = Create();
    SetCallTimeout(300);
    EXPECT_EQ(object->Sleep(1500), RPC_E_DISCONNECTED);
    int32_t sum = 0;
    EXPECT_EQ(object->Add(1, 2, &sum), RPC_E_DISCONNECTED);
}

TEST_F(ComEndToEnd, MalformedFramesFromTheServer)
{
    auto object = Create();
    int32_t sum = 0;
    EXPECT_EQ(object->Garbage(2), S_OK); // unknown and cut frames are ignored
    EXPECT_EQ(object->Add(2, 2, &sum), S_OK);
    EXPECT_EQ(sum, 4);
    // Replies to calls never made are dropped, not kept as the answers of later calls.
    ComPtr<IConnectionPoint> point;
    Advise(object.get(), &sink, point);
    EXPECT_EQ(object->Garbage(3), S_OK);
    ASSERT_TRUE(testsupport::WaitFor(
        [&]
        {
            PumpApartmentWait(100);
            return !sink.values.empty();
        },
        10000));
    EXPECT_EQ(object->Add(3, 3, &sum), S_OK);
    EXPECT_EQ(sum, 6);
    object->Garbage(1); // a broken header ends the connection
    EXPECT_EQ(object->Add(2, 2, &sum), RPC_E_DISCONNECTED);
}

TEST_F(ComEndToEnd, CallsFromAnotherThreadAreRefused)
{
    auto object = Create();
    HRESULT hr = S_OK;
    std::thread other(
        [&]
        {
            int32_t sum;
            hr = object->Add(1, 1, &sum);
        });
    other.join();
    EXPECT_EQ(hr, RPC_E_WRONG_THREAD);
}

// A test server driven by hand-made frames over a socketpair.
class RawServer
{
public:
    RawServer()
    {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        pid_ = ::fork();
        if (pid_ == 0)
        {
            ::fcntl(fds[1], F_SETFD, 0);
            const std::string arg = "--com-serve=" + std::to_string(fds[1]);
            ::execl(COM_TEST_SERVER, COM_TEST_SERVER, arg.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(fds[1]);
        fd_ = fds[0];
    }
    ~RawServer()
    {
        ::close(fd_);
        if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0)
        {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    int fd() const { return fd_; }
    void Send(const std::vector<uint8_t>& body)
    {
        Writer w;
        w.U32(0x4D4F4356);
        w.U32(uint32_t(body.size()));
        w.Bytes().insert(w.Bytes().end(), body.begin(), body.end());
        ASSERT_EQ(::send(fd_, w.Bytes().data(), w.Bytes().size(), MSG_NOSIGNAL),
                  ssize_t(w.Bytes().size()));
    }
    // The next frame's body, empty when none comes within 10 s.
    std::vector<uint8_t> ReadFrame()
    {
        uint8_t header[8];
        if (!ReadExactly(header, sizeof header)) return {};
        Reader h(header, sizeof header);
        h.U32();
        std::vector<uint8_t> body(h.U32());
        if (body.size() > 1 << 20 || !ReadExactly(body.data(), body.size())) return {};
        return body;
    }
    // The result of the next reply, or 0x7FFFFFFF when none comes.
    int32_t ReadReply()
    {
        const std::vector<uint8_t> body = ReadFrame();
        if (body.size() < 9) return 0x7FFFFFFF;
        Reader r(body.data(), body.size());
        r.U8();
        r.U32();
        return r.I32();
    }
    // The answer to a call to object 77, which does not exist: given at once.
    int32_t CallMissingObject(uint32_t id)
    {
        Writer call;
        call.U8(1);
        call.U32(id);
        call.U64(77);
        call.Guid(ITestObject::kIid);
        call.U16(7);
        Send(call.Bytes());
        return ReadReply();
    }
    // Activates the test object, which is then object 1.
    void Activate(uint32_t id)
    {
        Writer act;
        act.U8(4);
        act.U32(id);
        act.Guid(kClsid);
        act.Guid(ITestObject::kIid);
        Send(act.Bytes());
        EXPECT_EQ(ReadReply(), S_OK);
    }
    // Waits for the server to end on its own; true when it exited with status 0.
    bool ExitsCleanly()
    {
        int status = 0;
        if (!testsupport::WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, 10000))
            return false;
        pid_ = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    bool ReadExactly(uint8_t* to, size_t n)
    {
        while (n > 0)
        {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10000) != 1) return false;
            const ssize_t got = ::recv(fd_, to, n, 0);
            if (got <= 0) return false;
            to += got;
            n -= size_t(got);
        }
        return true;
    }

    int fd_ = -1;
    pid_t pid_ = -1;
};

// The server side of the protocol against hostile client frames.
TEST(ComServer, SurvivesMalformedFramesAndEndsCleanly)
{
    testsupport::ScopedTestEnv env;
    RawServer server;
    // A call to an object that does not exist, a cut call, an unknown frame type.
    EXPECT_EQ(server.CallMissingObject(1), RPC_E_DISCONNECTED);
    Writer cut;
    cut.U8(1);
    cut.U32(2);
    cut.U8(5);
    server.Send(cut.Bytes());
    EXPECT_EQ(server.ReadReply(), RPC_E_INVALID_DATA);
    server.Send({42, 1, 2, 3});
    // Activation with a garbled argument list on a real object.
    server.Activate(3);
    Writer bad;
    bad.U8(1);
    bad.U32(4);
    bad.U64(1);
    bad.Guid(ITestObject::kIid);
    bad.U16(7);
    bad.U8(1); // Add(int32 a, ...) with a cut argument
    server.Send(bad.Bytes());
    EXPECT_EQ(server.ReadReply(), RPC_E_INVALID_DATA);
    // A broken header: the server gives up the connection and exits normally.
    const uint8_t junk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ::send(server.fd(), junk, sizeof junk, MSG_NOSIGNAL);
    EXPECT_TRUE(server.ExitsCleanly());
}

// An Invoke on the test object (object 1) with the given arguments, each an object of the
// client's: VT_DISPATCH makes the server ask the client for the interface, VT_UNKNOWN does not.
std::vector<uint8_t> InvokeWithObjects(uint32_t id,
                                       std::vector<std::pair<VARTYPE, uint64_t>> objects)
{
    Writer w;
    w.U8(1);
    w.U32(id);
    w.U64(1);
    w.Guid(IDispatch::kIid);
    w.U16(6);
    w.I32(1);
    w.Guid(GUID_NULL);
    w.U32(0);
    w.U16(DISPATCH_METHOD);
    w.U32(uint32_t(objects.size()));
    for (auto [vt, oid] : objects)
    {
        w.U16(vt);
        w.U8(1);
        w.U64(oid);
        w.Guid(vt == VT_DISPATCH ? IDispatch::kIid : IUnknown::kIid);
    }
    w.U32(0);
    w.U8(0);
    w.U8(0);
    return w.Bytes();
}

// The client leaves while a nested call holds one of its objects: the proxy freed there must
// leave the table, since the outer call's next argument names the same object.
TEST(ComServer, ClientLeavingDuringNestedCallsNamingOneObject)
{
    testsupport::ScopedTestEnv env;
    RawServer server;
    server.Activate(1);
    server.Send(InvokeWithObjects(2, {{VT_DISPATCH, 5}, {VT_UNKNOWN, 6}}));
    const std::vector<uint8_t> outerAsk = server.ReadFrame(); // IDispatch of object 5?
    ASSERT_GE(outerAsk.size(), 5u);
    ASSERT_EQ(outerAsk[0], 1);
    server.Send(InvokeWithObjects(3, {{VT_UNKNOWN, 6}, {VT_DISPATCH, 7}}));
    ASSERT_GE(server.ReadFrame().size(), 5u); // IDispatch of object 7?
    Writer yes;
    yes.U8(2);
    yes.U32(Reader(outerAsk.data() + 1, 4).U32());
    yes.I32(S_OK);
    server.Send(yes.Bytes());
    // A call answered at once shows the yes has been taken before the client leaves.
    EXPECT_EQ(server.CallMissingObject(4), RPC_E_DISCONNECTED);
    ::shutdown(server.fd(), SHUT_WR);
    EXPECT_TRUE(server.ExitsCleanly());
}

} // namespace
