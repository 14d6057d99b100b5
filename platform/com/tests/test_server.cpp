// A small local server for the end-to-end tests: one ITestObject with a connection point for
// the test events, and a plain child object.
#include "test_interface.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace comtest;

namespace
{
int g_fd = -1;

template <typename... I> class Object : public I...
{
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

protected:
    virtual ~Object() = default;
    std::atomic<ULONG> refs_{1};
};

class Child final : public Object<IUnknown>
{
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IUnknown::kIid) return E_NOINTERFACE;
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
};

class TestObject;

class Point final : public Object<IConnectionPoint>
{
public:
    explicit Point(TestObject* owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IUnknown::kIid && iid != IConnectionPoint::kIid) return E_NOINTERFACE;
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT GetConnectionInterface(IID* iid) override { return *iid = kEventsIid, S_OK; }
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** c) override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie) return E_POINTER;
        if (sink_) return CONNECT_E_ADVISELIMIT;
        HRESULT hr = sink->QueryInterface(kEventsIid, reinterpret_cast<void**>(sink_.put()));
        if (FAILED(hr)) return CONNECT_E_CANNOTCONNECT;
        *cookie = ++lastCookie_;
        return S_OK;
    }
    HRESULT Unadvise(DWORD cookie) override
    {
        if (!sink_ || cookie != lastCookie_) return CONNECT_E_NOCONNECTION;
        sink_.Reset();
        return S_OK;
    }
    HRESULT EnumConnections(IEnumConnections** e) override { return *e = nullptr, E_NOTIMPL; }
    IDispatch* Sink() { return sink_.get(); }
    void Drop()
    {
        sink_.Reset();
        owner_ = nullptr;
    }

private:
    TestObject* owner_;
    ComPtr<IDispatch> sink_;
    DWORD lastCookie_ = 0;
};

class TestObject final : public Object<ITestObject, IConnectionPointContainer>
{
public:
    TestObject() : point_(new Point(this)), child_(new Child) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IUnknown::kIid || iid == IDispatch::kIid || iid == ITestObject::kIid)
            *out = static_cast<ITestObject*>(this);
        else if (iid == IConnectionPointContainer::kIid)
            *out = static_cast<IConnectionPointContainer*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return Object::AddRef(); }
    ULONG Release() override { return Object::Release(); }

    HRESULT GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** t) override { return *t = nullptr, E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i)
        {
            ids[i] = std::wcscmp(names[i], L"Value") == 0 ? 42 : DISPID_UNKNOWN;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO* e,
                   UINT* argError) override
    {
        if (id != 42) return DISP_E_MEMBERNOTFOUND;
        if (p->cArgs != 1)
        {
            if (argError) *argError = 0;
            if (e)
            {
                e->scode = DISP_E_BADPARAMCOUNT;
                e->bstrDescription = SysAllocString(L"one argument");
            }
            return DISP_E_EXCEPTION;
        }
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = VariantChangeType(&v, &p->rgvarg[0], 0, VT_I4);
        if (FAILED(hr)) return hr;
        value_ = v.lVal;
        if (result)
        {
            result->vt = VT_I4;
            result->lVal = value_ * 2;
        }
        return S_OK;
    }

    HRESULT Add(int32_t a, int32_t b, int32_t* sum) override { return *sum = a + b, S_OK; }
    HRESULT Echo(uint32_t u, double d, BSTR s, uint32_t* uo, double* dout, BSTR* sout) override
    {
        *uo = u;
        *dout = d;
        *sout = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
        return S_FALSE;
    }
    HRESULT EchoVariant(VARIANT in, VARIANT* out) override { return VariantCopy(out, &in); }
    HRESULT Fire(int32_t dispid, int32_t value, int32_t byRef) override
    {
        IDispatch* sink = point_->Sink();
        if (!sink) return CONNECT_E_NOCONNECTION;
        VARIANT arg;
        VariantInit(&arg);
        int32_t held = value;
        if (byRef)
        {
            arg.vt = VT_I4 | VT_BYREF;
            arg.plVal = &held;
        }
        else
        {
            arg.vt = VT_I4;
            arg.lVal = value;
        }
        DISPPARAMS params{&arg, nullptr, 1, 0};
        EXCEPINFO excep{};
        VARIANT result;
        VariantInit(&result);
        ++inFire_;
        HRESULT hr =
            sink->Invoke(dispid, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, &excep, nullptr);
        --inFire_;
        ClearExcepInfo(&excep);
        VariantClear(&result);
        return hr;
    }
    // While Fire is running this answers the value plus 1000, so the test sees the nesting.
    HRESULT GetValue(int32_t* value) override
    {
        *value = value_ + (inFire_ ? 1000 : 0);
        return S_OK;
    }
    HRESULT SetValue(int32_t value) override { return value_ = value, S_OK; }
    HRESULT Sleep(int32_t ms) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return S_OK;
    }
    HRESULT FireLater(int32_t value) override
    {
        AddRef();
        CurrentApartmentQueue()->Post(
            [this, value]
            {
                Fire(2, value, 0);
                Release();
            });
        return S_OK;
    }
    HRESULT Garbage(int32_t kind) override
    {
        if (kind == 1)
        {
            const uint8_t bad[12] = {'X', 'X', 'X', 'X', 4, 0, 0, 0, 1, 2, 3, 4};
            (void)!::send(g_fd, bad, sizeof bad, MSG_NOSIGNAL);
        }
        else if (kind == 3)
        {
            AddRef();
            CurrentApartmentQueue()->Post(
                [this]
                {
                    Writer frames;
                    for (uint32_t id = 1; id <= 1000; ++id)
                    {
                        frames.U32(0x4D4F4356);
                        frames.U32(9);
                        frames.U8(2);
                        frames.U32(id);
                        frames.I32(E_ACCESSDENIED);
                    }
                    (void)!::send(g_fd, frames.Bytes().data(), frames.Bytes().size(), MSG_NOSIGNAL);
                    Fire(2, 77, 0);
                    Release();
                });
        }
        else
        {
            // 'VCOM', length 3, type 99 + junk; then a call frame cut short after its id.
            const uint8_t frames[] = {0x56, 0x43, 0x4F, 0x4D, 3, 0, 0, 0, 99, 1, 2, 0x56, 0x43,
                                      0x4F, 0x4D, 7,    0,    0, 0, 1, 9, 0,  0, 0, 5,    5};
            (void)!::send(g_fd, frames, sizeof frames, MSG_NOSIGNAL);
        }
        return S_OK;
    }
    HRESULT GetChild(IUnknown** child) override
    {
        *child = child_.get();
        child_->AddRef();
        return S_OK;
    }
    HRESULT Identity(IUnknown* object, int32_t* same) override
    {
        *same = object == child_.get() ? 1 : 0;
        return S_OK;
    }
    HRESULT GetPid(int32_t* pid) override { return *pid = int32_t(::getpid()), S_OK; }

    HRESULT EnumConnectionPoints(IEnumConnectionPoints** e) override
    {
        return *e = nullptr, E_NOTIMPL;
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override
    {
        *point = nullptr;
        if (iid != kEventsIid) return CONNECT_E_NOCONNECTION;
        *point = point_.get();
        point_->AddRef();
        return S_OK;
    }

private:
    ~TestObject() override { point_->Drop(); }
    ComPtr<Point> point_;
    ComPtr<Child> child_;
    int32_t value_ = 0;
    int inFire_ = 0;
};

HRESULT Point::GetConnectionPointContainer(IConnectionPointContainer** c)
{
    if (!owner_) return E_UNEXPECTED;
    *c = static_cast<IConnectionPointContainer*>(owner_);
    (*c)->AddRef();
    return S_OK;
}
} // namespace

int main(int argc, char** argv)
{
    RegisterTestInterfaces();
    if (argc == 2 && std::strncmp(argv[1], "--com-serve=", 12) == 0) g_fd = std::atoi(argv[1] + 12);
    ServerClass server{kClsid, [](REFIID iid, void** out)
                       {
                           auto* object = new TestObject;
                           HRESULT hr = object->QueryInterface(iid, out);
                           object->Release();
                           return hr;
                       }};
    return ServerMain(argc, argv, server);
}
