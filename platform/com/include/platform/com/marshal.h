// Describing interfaces for marshalling between processes.
//
// An interface crosses processes when the code that defines it registers, once per process,
// (a) a proxy class: the interface implemented by one-line methods that name their vtable slot
// and pass their arguments to Call, and (b) the server-side table: slot → member function.
// The argument kinds come from the C++ parameter types, the same on both sides:
//   in:  int32_t, uint32_t, double, BSTR, VARIANT (by value), REFIID, I* (an interface)
//   out: int32_t*, uint32_t*, double*, BSTR*, VARIANT*, GUID*, I** (an interface)
// Out values are reset before the call and filled from the reply; an interface passed either
// way is marshalled by reference (calls on it travel back over the same connection).
// Slots 0 to 2 are handled by the runtime; a dual interface (derived from IDispatch) gets
// slots 3 to 6 marshalled by the runtime too. A dispinterface used only through IDispatch
// (an event sink) needs only RegisterDispInterface.
// Proxies belong to the apartment's thread: a call from another thread answers
// RPC_E_WRONG_THREAD, and AddRef/Release must stay on that thread too (post the work with
// CurrentApartmentQueue).
//
// Example:
//
//   struct ICounter : com::IUnknown {
//       static constexpr com::GUID kIid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
//       virtual com::HRESULT Add(int32_t amount) = 0;                  // slot 3
//       virtual com::HRESULT Get(int32_t* value, com::BSTR* name) = 0; // slot 4
//   };
//
//   class CounterProxy : public com::Proxy<ICounter> {
//   public:
//       using Proxy::Proxy;
//       com::HRESULT Add(int32_t amount) override { return Call(3, amount); }
//       com::HRESULT Get(int32_t* value, com::BSTR* name) override { return Call(4, value, name); }
//   };
//
//   // Both client and server run this once (e.g. from a function the program calls at
//   // start, or from a static initialiser in the library that defines ICounter):
//   com::RegisterInterface<ICounter, CounterProxy>(
//       {com::Method<3>(&ICounter::Add), com::Method<4>(&ICounter::Get)});
//
//   com::RegisterDispInterface(DIID_ICounterEvents); // an event dispinterface
#pragma once

#include "platform/com/wire.h"

#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace com
{

namespace detail
{
class ProxyManager;

struct ProxyBase
{
    virtual ~ProxyBase() = default;
};
struct ProxyInstance
{
    void* iface = nullptr;      // the interface pointer handed out
    ProxyBase* owner = nullptr; // deleted when the object's last reference goes
};

// What a proxy uses to reach its object.
struct ProxyLink
{
    ProxyManager* manager = nullptr;
    IID iid{};
    Channel* channel() const;
    // Sends the call and waits (dispatching incoming calls) for the reply. The result is the
    // transport failure or the method's HRESULT; `reply` then holds the out values.
    HRESULT Invoke(uint16_t slot, Writer& request, std::vector<uint8_t>& reply) const;
    ULONG AddRef() const;
    ULONG Release() const;
    HRESULT QueryInterface(REFIID iid, void** out) const;
};

// IDispatch over the wire, shared by dual interface proxies and dispinterface proxies.
HRESULT RemoteGetTypeInfoCount(const ProxyLink& link, UINT* count);
HRESULT RemoteGetIDsOfNames(const ProxyLink& link, REFIID iid, LPOLESTR* names, UINT count,
                            LCID lcid, DISPID* ids);
HRESULT RemoteInvoke(const ProxyLink& link, DISPID id, REFIID iid, LCID lcid, WORD flags,
                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError);

template <typename T, typename = void> struct Arg;

template <> struct Arg<int32_t>
{
    using Storage = int32_t;
    static void Reset(int32_t) {}
    static void Put(Writer& w, int32_t v) { w.U8(1), w.I32(v); }
    static bool Get(Reader& r, Storage& s) { return r.U8() == 1 && (s = r.I32(), r.ok()); }
    static int32_t Pass(Storage& s) { return s; }
    static void PutOut(Writer&, Storage&) {}
    static void GetOut(Reader&, int32_t) {}
    static void Drop(Storage&) {}
};
template <> struct Arg<uint32_t>
{
    using Storage = uint32_t;
    static void Reset(uint32_t) {}
    static void Put(Writer& w, uint32_t v) { w.U8(2), w.U32(v); }
    static bool Get(Reader& r, Storage& s) { return r.U8() == 2 && (s = r.U32(), r.ok()); }
    static uint32_t Pass(Storage& s) { return s; }
    static void PutOut(Writer&, Storage&) {}
    static void GetOut(Reader&, uint32_t) {}
    static void Drop(Storage&) {}
};
template <> struct Arg<double>
{
    using Storage = double;
    static void Reset(double) {}
    static void Put(Writer& w, double v) { w.U8(3), w.F64(v); }
    static bool Get(Reader& r, Storage& s) { return r.U8() == 3 && (s = r.F64(), r.ok()); }
    static double Pass(Storage& s) { return s; }
    static void PutOut(Writer&, Storage&) {}
    static void GetOut(Reader&, double) {}
    static void Drop(Storage&) {}
};
template <> struct Arg<GUID>
{
    using Storage = GUID;
    static void Reset(const GUID&) {}
    static void Put(Writer& w, const GUID& v) { w.U8(4), w.Guid(v); }
    static bool Get(Reader& r, Storage& s) { return r.U8() == 4 && (s = r.Guid(), r.ok()); }
    static const GUID& Pass(Storage& s) { return s; }
    static void PutOut(Writer&, Storage&) {}
    static void GetOut(Reader&, const GUID&) {}
    static void Drop(Storage&) {}
};
template <> struct Arg<BSTR>
{
    using Storage = BSTR;
    static void Reset(BSTR) {}
    static void Put(Writer& w, BSTR v) { w.U8(5), w.Bstr(v); }
    static bool Get(Reader& r, Storage& s) { return r.U8() == 5 && (s = r.Bstr(), r.ok()); }
    static BSTR Pass(Storage& s) { return s; }
    static void PutOut(Writer&, Storage&) {}
    static void GetOut(Reader&, BSTR) {}
    static void Drop(Storage& s) { SysFreeString(s), s = nullptr; }
};
template <> struct Arg<VARIANT>
{
    using Storage = VARIANT;
    static void Reset(const VARIANT&) {}
    static void Put(Writer& w, const VARIANT& v) { w.U8(6), w.Variant(v); }
    static bool Get(Reader& r, Storage& s)
    {
        VariantInit(&s);
        if (r.U8() != 6) return false;
        r.Variant(&s);
        return r.ok();
    }
    static VARIANT Pass(Storage& s) { return s; }
    static void PutOut(Writer&, Storage&) {}
    static void GetOut(Reader&, const VARIANT&) {}
    static void Drop(Storage& s) { VariantClear(&s); }
};

// Out scalars and strings: nothing travels out, the value comes back.
template <typename T> struct OutArg
{
    using Storage = T;
    static void Reset(T* p)
    {
        if (p) *p = T{};
    }
    static void Put(Writer& w, T*) { w.U8(7); }
    static bool Get(Reader& r, Storage& s)
    {
        s = T{};
        return r.U8() == 7 && r.ok();
    }
    static T* Pass(Storage& s) { return &s; }
    static void PutOut(Writer& w, Storage& s) { Arg<T>::Put(w, s); }
    static void GetOut(Reader& r, T* p)
    {
        typename Arg<T>::Storage v{};
        if (!Arg<T>::Get(r, v))
        {
            r.Fail();
            return;
        }
        if (p)
            *p = v;
        else
            Arg<T>::Drop(v);
    }
    static void Drop(Storage& s) { Arg<T>::Drop(s); }
};
template <> struct Arg<int32_t*> : OutArg<int32_t>
{
};
template <> struct Arg<uint32_t*> : OutArg<uint32_t>
{
};
template <> struct Arg<double*> : OutArg<double>
{
};
template <> struct Arg<GUID*> : OutArg<GUID>
{
};
template <> struct Arg<BSTR*> : OutArg<BSTR>
{
};
template <> struct Arg<VARIANT*> : OutArg<VARIANT>
{
    static void Reset(VARIANT* p) { VariantInit(p); }
    static bool Get(Reader& r, Storage& s)
    {
        VariantInit(&s);
        return r.U8() == 7 && r.ok();
    }
};

template <typename I> struct Arg<I*, std::enable_if_t<std::is_base_of_v<IUnknown, I>>>
{
    using Storage = I*;
    static void Reset(I*) {}
    static void Put(Writer& w, I* v) { w.U8(8), w.Interface(v, I::kIid); }
    static bool Get(Reader& r, Storage& s)
    {
        s = nullptr;
        if (r.U8() != 8) return false;
        s = static_cast<I*>(r.Interface(I::kIid));
        return r.ok();
    }
    static I* Pass(Storage& s) { return s; }
    static void PutOut(Writer&, Storage&) {}
    static void GetOut(Reader&, I*) {}
    static void Drop(Storage& s)
    {
        if (s) s->Release();
        s = nullptr;
    }
};

template <typename I> struct Arg<I**, std::enable_if_t<std::is_base_of_v<IUnknown, I>>>
{
    using Storage = I*;
    static void Reset(I** p)
    {
        if (p) *p = nullptr;
    }
    static void Put(Writer& w, I**) { w.U8(7); }
    static bool Get(Reader& r, Storage& s)
    {
        s = nullptr;
        return r.U8() == 7 && r.ok();
    }
    static I** Pass(Storage& s) { return &s; }
    static void PutOut(Writer& w, Storage& s) { Arg<I*>::Put(w, s); }
    static void GetOut(Reader& r, I** p)
    {
        I* v = nullptr;
        if (!Arg<I*>::Get(r, v))
        {
            r.Fail();
            return;
        }
        if (p)
            *p = v;
        else if (v)
            v->Release();
    }
    static void Drop(Storage& s) { Arg<I*>::Drop(s); }
};

template <typename T> using ArgOf = Arg<std::remove_cv_t<std::remove_reference_t<T>>>;

using StubFunction = std::function<HRESULT(void* object, Reader& in, Writer& out)>;

template <typename I, typename... A, size_t... N>
HRESULT CallStub(HRESULT (I::*method)(A...), void* object, Reader& in, Writer& out,
                 std::index_sequence<N...>)
{
    std::tuple<typename ArgOf<A>::Storage...> storage{};
    bool ok = true;
    ((ok = ok && ArgOf<A>::Get(in, std::get<N>(storage))), ...);
    HRESULT hr = RPC_E_INVALID_DATA;
    if (ok && in.AtEnd())
    {
        hr = (static_cast<I*>(object)->*method)(ArgOf<A>::Pass(std::get<N>(storage))...);
        (ArgOf<A>::PutOut(out, std::get<N>(storage)), ...);
    }
    (ArgOf<A>::Drop(std::get<N>(storage)), ...);
    return hr;
}
} // namespace detail

struct MethodEntry
{
    uint16_t slot;
    detail::StubFunction stub;
};

// One row of the server-side table: the member function at vtable slot `Slot`.
template <uint16_t Slot, typename I, typename... A> MethodEntry Method(HRESULT (I::*method)(A...))
{
    return {Slot, [method](void* object, Reader& in, Writer& out)
            { return detail::CallStub(method, object, in, out, std::index_sequence_for<A...>{}); }};
}

// Base of proxy classes: IUnknown (and, for dual interfaces, IDispatch) delegated to the
// runtime, Call for the interface's own methods.
template <typename I, bool Dual = std::is_base_of_v<IDispatch, I>> class Proxy;

template <typename I> class ProxyCore : public I, public detail::ProxyBase
{
public:
    explicit ProxyCore(detail::ProxyLink link) : link_(link) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return link_.QueryInterface(iid, out);
    }
    ULONG AddRef() override { return link_.AddRef(); }
    ULONG Release() override { return link_.Release(); }

protected:
    template <typename... A> HRESULT Call(uint16_t slot, A... args)
    {
        (detail::ArgOf<A>::Reset(args), ...);
        Writer request(link_.channel());
        (detail::ArgOf<A>::Put(request, args), ...);
        std::vector<uint8_t> reply;
        HRESULT hr = link_.Invoke(slot, request, reply);
        if (reply.empty()) return hr;
        Reader in(reply.data(), reply.size(), link_.channel());
        (detail::ArgOf<A>::GetOut(in, args), ...);
        return in.ok() && in.AtEnd() ? hr : RPC_E_INVALID_DATA;
    }
    detail::ProxyLink link_;
};

template <typename I> class Proxy<I, false> : public ProxyCore<I>
{
public:
    using ProxyCore<I>::ProxyCore;
};

template <typename I> class Proxy<I, true> : public ProxyCore<I>
{
public:
    using ProxyCore<I>::ProxyCore;
    HRESULT GetTypeInfoCount(UINT* count) override
    {
        return detail::RemoteGetTypeInfoCount(this->link_, count);
    }
    // Type information does not cross processes.
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override
    {
        return detail::RemoteGetIDsOfNames(this->link_, iid, names, count, lcid, ids);
    }
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override
    {
        return detail::RemoteInvoke(this->link_, id, iid, lcid, flags, params, result, exception,
                                    argError);
    }
};

struct InterfaceDescription
{
    IID iid;
    bool dual = false;
    std::function<detail::ProxyInstance(detail::ProxyLink)> makeProxy;
    // The object pointer handed to a stub is what QueryInterface(iid) answered.
    std::vector<MethodEntry> methods;
    std::function<void(void*)> release;
};

void RegisterInterfaceDescription(InterfaceDescription description);

template <typename I, typename ProxyT> void RegisterInterface(std::vector<MethodEntry> methods)
{
    InterfaceDescription d;
    d.iid = I::kIid;
    d.dual = std::is_base_of_v<IDispatch, I>;
    d.makeProxy = [](detail::ProxyLink link)
    {
        auto* proxy = new ProxyT(link);
        return detail::ProxyInstance{static_cast<I*>(proxy), proxy};
    };
    d.methods = std::move(methods);
    d.release = [](void* object) { static_cast<I*>(object)->Release(); };
    RegisterInterfaceDescription(std::move(d));
}

// A dispinterface: QueryInterface for `iid` on a proxy gives an IDispatch proxy.
void RegisterDispInterface(const IID& iid);

} // namespace com
