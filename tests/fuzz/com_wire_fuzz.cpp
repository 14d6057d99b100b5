// The COM wire on hostile frames: values as either side reads them (numbers, GUIDs, BSTRs,
// VARIANTs with by-reference values and SAFEARRAYs nested up to the depth limit), a call's
// arguments as a server stub unpacks them, and a reply's out values as a proxy takes them.
// The reader never reads past its frame (the fuzzer's buffer is exactly the frame); a value
// it accepts is written back to bytes that read as the same value and write the same bytes.
#include "fuzz_support.h"

#include "platform/com/marshal.h"
#include "platform/com/wire.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <deque>
#include <vector>

using namespace com;

namespace
{

struct IFuzzCalls : IUnknown
{
    virtual HRESULT Take(BSTR name, VARIANT value, int32_t n, double d, GUID g, uint32_t u,
                         VARIANT* out, BSTR* text, int32_t* count) = 0;
};

class FuzzCalls final : public IFuzzCalls
{
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT Take(BSTR name, VARIANT value, int32_t n, double, GUID, uint32_t, VARIANT* out,
                 BSTR* text, int32_t* count) override
    {
        // Whatever arrived is a well-formed value the method can use and copy.
        FUZZ_CHECK(out && text && count);
        *text = SysAllocStringLen(name, SysStringLen(name));
        VariantCopy(out, &value); // a value it cannot copy stays empty
        *count = n;
        return S_OK;
    }
};

// One value of the kind `kind` read from `r` and written to `w`; false when `r` refused it.
bool Pass(int kind, Reader& r, Writer& w)
{
    switch (kind)
    {
    case 0:
        w.U8(r.U8());
        break;
    case 1:
        w.U16(r.U16());
        break;
    case 2:
        w.U32(r.U32());
        break;
    case 3:
        w.U64(r.U64());
        break;
    case 4:
    {
        const double v = r.F64();
        w.F64(v);
        break;
    }
    case 5:
        w.Guid(r.Guid());
        break;
    case 6:
    {
        BSTR s = r.Bstr();
        if (r.ok()) w.Bstr(s);
        SysFreeString(s);
        break;
    }
    default:
    {
        std::deque<VARIANT> holders;
        VARIANT v;
        r.Variant(&v, kind == 7 ? &holders : nullptr);
        if (r.ok()) w.Variant(v);
        VariantClear(&v);
        for (VARIANT& h : holders)
            VariantClear(&h);
        break;
    }
    }
    return r.ok();
}

void Values(const uint8_t* data, size_t size, const std::vector<uint8_t>& kinds)
{
    Reader r(data, size);
    for (uint8_t k : kinds)
    {
        const int kind = k % 9;
        Writer once;
        if (!Pass(kind, r, once)) return;
        // Written back and read again: the same value, the same bytes.
        const std::vector<uint8_t> bytes = once.Bytes();
        Reader again(bytes.data(), bytes.size());
        Writer twice;
        FUZZ_CHECK(Pass(kind, again, twice));
        FUZZ_CHECK(again.AtEnd());
        // NaN payloads survive the copy bit for bit as well.
        FUZZ_CHECK(twice.Bytes() == bytes);
    }
}

// Out values of a reply as the proxy takes them; true when the reply was whole and exact.
bool TakeReply(const uint8_t* data, size_t size)
{
    Reader back(data, size);
    VARIANT v;
    VariantInit(&v);
    BSTR text = nullptr;
    int32_t count = 0;
    detail::ArgOf<VARIANT*>::GetOut(back, &v);
    detail::ArgOf<BSTR*>::GetOut(back, &text);
    detail::ArgOf<int32_t*>::GetOut(back, &count);
    VariantClear(&v);
    SysFreeString(text);
    return back.ok() && back.AtEnd();
}

void Call(const uint8_t* data, size_t size)
{
    FuzzCalls object;
    Reader in(data, size);
    Writer out;
    const HRESULT hr =
        detail::CallStub(&IFuzzCalls::Take, &object, in, out, std::make_index_sequence<9>{});
    // The stub's reply comes back whole.
    if (hr == S_OK) FUZZ_CHECK(TakeReply(out.Bytes().data(), out.Bytes().size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint8_t mode = data[0] % 3;
    const size_t kindCount = data[1] % 16;
    if (size < 2 + kindCount) return 0;
    const std::vector<uint8_t> kinds(data + 2, data + 2 + kindCount);
    // The frame itself, exactly sized so that reading past it is caught.
    const std::vector<uint8_t> frame(data + 2 + kindCount, data + size);
    switch (mode)
    {
    case 0:
        Values(frame.data(), frame.size(), kinds);
        break;
    case 1:
        Call(frame.data(), frame.size());
        break;
    case 2:
        TakeReply(frame.data(), frame.size());
        break; // hostile: refused values leave nothing to free
    }
    return 0;
}
