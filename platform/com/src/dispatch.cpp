// IDispatch across processes. By-reference arguments travel as their values; what the callee
// writes through them is not carried back (events pass their arguments by value).
#include "channel.h"

namespace com::detail
{

namespace
{
constexpr UINT kMaxArgs = 64;

void PutExcep(Writer& w, const EXCEPINFO& e)
{
    w.U16(e.wCode);
    w.Bstr(e.bstrSource);
    w.Bstr(e.bstrDescription);
    w.Bstr(e.bstrHelpFile);
    w.U32(e.dwHelpContext);
    w.I32(e.scode);
}

void GetExcep(Reader& r, EXCEPINFO* e)
{
    EXCEPINFO v{};
    v.wCode = r.U16();
    v.bstrSource = r.Bstr();
    v.bstrDescription = r.Bstr();
    v.bstrHelpFile = r.Bstr();
    v.dwHelpContext = r.U32();
    v.scode = r.I32();
    if (e && r.ok())
        *e = v;
    else
        ClearExcepInfo(&v);
}
} // namespace

HRESULT RemoteGetTypeInfoCount(const ProxyLink& link, UINT* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    Writer w(link.channel());
    std::vector<uint8_t> reply;
    HRESULT hr = link.Invoke(3, w, reply);
    if (reply.empty()) return hr;
    Reader r(reply.data(), reply.size());
    const UINT n = r.U32();
    if (!r.ok() || !r.AtEnd()) return RPC_E_INVALID_DATA;
    *count = n;
    return hr;
}

HRESULT RemoteGetIDsOfNames(const ProxyLink& link, REFIID iid, LPOLESTR* names, UINT count,
                            LCID lcid, DISPID* ids)
{
    if (!names || !ids || count == 0 || count > kMaxArgs) return E_INVALIDARG;
    Writer w(link.channel());
    w.Guid(iid);
    w.U32(lcid);
    w.U32(count);
    for (UINT i = 0; i < count; ++i)
    {
        BSTR s = SysAllocString(names[i] ? names[i] : L"");
        w.Bstr(s);
        SysFreeString(s);
    }
    std::vector<uint8_t> reply;
    HRESULT hr = link.Invoke(5, w, reply);
    if (reply.empty()) return hr;
    Reader r(reply.data(), reply.size());
    if (r.U32() != count) return RPC_E_INVALID_DATA;
    for (UINT i = 0; i < count; ++i)
        ids[i] = r.I32();
    return r.ok() && r.AtEnd() ? hr : RPC_E_INVALID_DATA;
}

HRESULT RemoteInvoke(const ProxyLink& link, DISPID id, REFIID iid, LCID lcid, WORD flags,
                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    const UINT args = params ? params->cArgs : 0, named = params ? params->cNamedArgs : 0;
    if (args > kMaxArgs || named > args || (args && !params->rgvarg) ||
        (named && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (result) VariantInit(result);
    Writer w(link.channel());
    w.I32(id);
    w.Guid(iid);
    w.U32(lcid);
    w.U16(flags);
    w.U32(args);
    for (UINT i = 0; i < args; ++i)
        w.Variant(params->rgvarg[i]);
    w.U32(named);
    for (UINT i = 0; i < named; ++i)
        w.I32(params->rgdispidNamedArgs[i]);
    w.U8(result ? 1 : 0);
    w.U8(exception ? 1 : 0);
    std::vector<uint8_t> reply;
    HRESULT hr = link.Invoke(6, w, reply);
    if (reply.empty()) return hr;
    Reader r(reply.data(), reply.size(), link.channel());
    VARIANT value;
    r.Variant(&value);
    if (result && r.ok())
        *result = value;
    else
        VariantClear(&value);
    if (r.U8() == 1) GetExcep(r, exception);
    const UINT error = r.U32();
    if (argError && r.ok()) *argError = error;
    return r.ok() && r.AtEnd() ? hr : RPC_E_INVALID_DATA;
}

HRESULT DispatchStub(IDispatch* object, uint16_t slot, Reader& in, Writer& out)
{
    if (slot == 3)
    {
        if (!in.AtEnd()) return RPC_E_INVALID_DATA;
        UINT count = 0;
        HRESULT hr = object->GetTypeInfoCount(&count);
        out.U32(count);
        return hr;
    }
    if (slot == 4) return E_NOTIMPL;
    if (slot == 5)
    {
        const GUID iid = in.Guid();
        const LCID lcid = in.U32();
        const UINT count = in.U32();
        if (!in.ok() || count == 0 || count > kMaxArgs) return RPC_E_INVALID_DATA;
        std::vector<BSTR> names(count, nullptr);
        for (auto& n : names)
            n = in.Bstr();
        std::vector<DISPID> ids(count, DISPID_UNKNOWN);
        HRESULT hr = RPC_E_INVALID_DATA;
        bool ok = in.ok() && in.AtEnd();
        for (auto n : names)
            ok = ok && n;
        if (ok) hr = object->GetIDsOfNames(iid, names.data(), count, lcid, ids.data());
        for (auto n : names)
            SysFreeString(n);
        if (ok)
        {
            out.U32(count);
            for (DISPID d : ids)
                out.I32(d);
        }
        return hr;
    }
    // slot 6: Invoke
    const DISPID id = in.I32();
    const GUID iid = in.Guid();
    const LCID lcid = in.U32();
    const WORD flags = in.U16();
    const UINT args = in.U32();
    if (!in.ok() || args > kMaxArgs) return RPC_E_INVALID_DATA;
    std::deque<VARIANT> holders;
    std::vector<VARIANT> values(args);
    for (auto& v : values)
        in.Variant(&v, &holders);
    const UINT named = in.U32();
    std::vector<DISPID> namedIds;
    if (in.ok() && named <= args)
        for (UINT i = 0; i < named; ++i)
            namedIds.push_back(in.I32());
    const bool wantResult = in.U8() == 1;
    const bool wantExcep = in.U8() == 1;
    HRESULT hr = RPC_E_INVALID_DATA;
    if (in.ok() && in.AtEnd() && named <= args)
    {
        DISPPARAMS params{args ? values.data() : nullptr, named ? namedIds.data() : nullptr, args,
                          named};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO excep{};
        UINT argError = 0;
        hr = object->Invoke(id, iid, lcid, flags, &params, wantResult ? &result : nullptr,
                            wantExcep ? &excep : nullptr, &argError);
        out.Variant(result);
        out.U8(wantExcep ? 1 : 0);
        if (wantExcep) PutExcep(out, excep);
        out.U32(argError);
        VariantClear(&result);
        ClearExcepInfo(&excep);
    }
    for (auto& v : values)
        VariantClear(&v);
    for (auto& v : holders)
        VariantClear(&v);
    return hr;
}

} // namespace com::detail
