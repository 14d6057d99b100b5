// Frame encoding of values; interfaces are encoded by the connection (channel.cpp).
#include "platform/com/wire.h"

#include <cstring>

namespace com
{

void Writer::U16(uint16_t v)
{
    bytes_.push_back(uint8_t(v));
    bytes_.push_back(uint8_t(v >> 8));
}
void Writer::U32(uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes_.push_back(uint8_t(v >> (8 * i)));
}
void Writer::U64(uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        bytes_.push_back(uint8_t(v >> (8 * i)));
}
void Writer::F64(double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    U64(bits);
}
void Writer::Guid(const GUID& g)
{
    U32(g.Data1);
    U16(g.Data2);
    U16(g.Data3);
    for (uint8_t b : g.Data4)
        U8(b);
}
void Writer::Bstr(BSTR s)
{
    if (!s)
    {
        U8(0);
        return;
    }
    U8(1);
    const UINT n = SysStringLen(s);
    U32(n);
    for (UINT i = 0; i < n; ++i)
        U32(static_cast<uint32_t>(s[i]));
}

namespace
{
constexpr VARTYPE kBadType = 0xFFFF;

bool ScalarType(VARTYPE t)
{
    switch (t)
    {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R8:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_UI1:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

// A variant union member in its slot, copied byte for byte: an array's elements are slots too.
template <class T> T Load(const void* slot)
{
    T v;
    std::memcpy(&v, slot, sizeof v);
    return v;
}
template <class T> void Store(void* slot, T v)
{
    std::memcpy(slot, &v, sizeof v);
}

// The value stored at `slot`, which has the layout of the variant union's member for `t`.
void PutScalar(Writer& w, VARTYPE t, const void* slot)
{
    switch (t)
    {
    case VT_EMPTY:
    case VT_NULL:
        break;
    case VT_I2:
    case VT_BOOL:
        w.U16(uint16_t(Load<int16_t>(slot)));
        break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
        w.U32(Load<uint32_t>(slot));
        break;
    case VT_UI1:
        w.U8(Load<uint8_t>(slot));
        break;
    case VT_R8:
        w.F64(Load<double>(slot));
        break;
    case VT_BSTR:
        w.Bstr(Load<BSTR>(slot));
        break;
    case VT_UNKNOWN:
        w.Interface(Load<IUnknown*>(slot), IUnknown::kIid);
        break;
    case VT_DISPATCH:
        w.Interface(Load<IUnknown*>(slot), IDispatch::kIid);
        break;
    default:
        break;
    }
}

void PutArray(Writer& w, VARTYPE base, SAFEARRAY* a)
{
    if (!a)
    {
        w.U8(0);
        return;
    }
    w.U8(1);
    w.I32(a->rgsabound[0].lLbound);
    const ULONG n = a->rgsabound[0].cElements;
    w.U32(n);
    const auto* data = static_cast<const uint8_t*>(a->pvData);
    for (ULONG i = 0; i < n; ++i)
    {
        const void* element = data + size_t(i) * a->cbElements;
        if (base == VT_VARIANT)
            w.Variant(*static_cast<const VARIANT*>(element));
        else
            PutScalar(w, base, element);
    }
}
} // namespace

void Writer::Variant(const VARIANT& v)
{
    const VARTYPE base = v.vt & VT_TYPEMASK;
    const bool byref = v.vt & VT_BYREF, array = v.vt & VT_ARRAY;
    const bool valid = (v.vt & ~(VT_TYPEMASK | VT_BYREF | VT_ARRAY)) == 0 &&
                       (array ? (ScalarType(base) || base == VT_VARIANT) && base > VT_NULL
                              : ScalarType(base) || (byref && base == VT_VARIANT)) &&
                       (!byref || v.byref);
    if (!valid)
    {
        U16(kBadType);
        return;
    }
    U16(v.vt);
    if (array)
    {
        SAFEARRAY* a = byref ? *v.pparray : v.parray;
        VARTYPE stored = 0;
        if (a && (a->cDims != 1 || FAILED(SafeArrayGetVartype(a, &stored)) || stored != base))
        {
            bytes_.resize(bytes_.size() - 2);
            U16(kBadType);
            return;
        }
        PutArray(*this, base, a);
    }
    else if (byref && base == VT_VARIANT)
    {
        Variant(*v.pvarVal);
    }
    else
    {
        PutScalar(*this, base, byref ? v.byref : static_cast<const void*>(&v.lVal));
    }
}

bool Reader::Take(void* out, size_t n)
{
    if (!ok_ || size_t(end_ - p_) < n)
    {
        ok_ = false;
        std::memset(out, 0, n);
        return false;
    }
    std::memcpy(out, p_, n);
    p_ += n;
    return true;
}
uint8_t Reader::U8()
{
    uint8_t b[1];
    Take(b, 1);
    return b[0];
}
uint16_t Reader::U16()
{
    uint8_t b[2];
    Take(b, 2);
    return uint16_t(b[0] | (b[1] << 8));
}
uint32_t Reader::U32()
{
    uint8_t b[4];
    Take(b, 4);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}
uint64_t Reader::U64()
{
    uint64_t lo = U32();
    uint64_t hi = U32();
    return lo | (hi << 32);
}
double Reader::F64()
{
    uint64_t bits = U64();
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}
GUID Reader::Guid()
{
    GUID g{};
    g.Data1 = U32();
    g.Data2 = U16();
    g.Data3 = U16();
    for (uint8_t& b : g.Data4)
        b = U8();
    return g;
}
BSTR Reader::Bstr()
{
    const uint8_t present = U8();
    if (!ok_ || present == 0) return nullptr;
    if (present != 1)
    {
        ok_ = false;
        return nullptr;
    }
    const uint32_t n = U32();
    if (!ok_ || n > size_t(end_ - p_) / 4)
    {
        ok_ = false;
        return nullptr;
    }
    BSTR s = SysAllocStringLen(nullptr, n);
    if (!s)
    {
        ok_ = false;
        return nullptr;
    }
    for (uint32_t i = 0; i < n; ++i)
    {
        uint32_t c = U32();
        if (c > 0x10FFFF)
        {
            ok_ = false;
            c = 0xFFFD;
        }
        s[i] = static_cast<wchar_t>(c);
    }
    if (!ok_)
    {
        SysFreeString(s);
        return nullptr;
    }
    return s;
}

namespace
{
// Reads into `slot`, laid out as the variant union's member for `t`; false when malformed.
bool GetScalar(Reader& r, VARTYPE t, void* slot)
{
    switch (t)
    {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_I2:
    case VT_BOOL:
        Store(slot, r.U16());
        break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
        Store(slot, r.U32());
        break;
    case VT_UI1:
        Store(slot, r.U8());
        break;
    case VT_R8:
        Store(slot, r.F64());
        break;
    case VT_BSTR:
        Store(slot, r.Bstr());
        break;
    case VT_UNKNOWN:
        Store(slot, static_cast<IUnknown*>(r.Interface(IUnknown::kIid)));
        break;
    case VT_DISPATCH:
        Store(slot, static_cast<IDispatch*>(r.Interface(IDispatch::kIid)));
        break;
    default:
        return false;
    }
    return r.ok();
}
} // namespace

void Reader::Variant(VARIANT* out, std::deque<VARIANT>* holders)
{
    VariantInit(out);
    const VARTYPE vt = U16();
    if (!ok_) return;
    const VARTYPE base = vt & VT_TYPEMASK;
    const bool byref = vt & VT_BYREF, array = vt & VT_ARRAY;
    if ((vt & ~(VT_TYPEMASK | VT_BYREF | VT_ARRAY)) != 0 || (byref && !holders) || ++depth_ > 8)
    {
        ok_ = false;
        return;
    }
    struct DepthGuard
    {
        int& d;
        ~DepthGuard() { --d; }
    } guard{depth_};
    VARIANT value;
    VariantInit(&value);
    if (array)
    {
        if (!(ScalarType(base) || base == VT_VARIANT) || base <= VT_NULL)
        {
            ok_ = false;
            return;
        }
        value.vt = VARTYPE(base | VT_ARRAY);
        value.parray = nullptr; // an absent array, and nothing to free if reading fails
        const uint8_t present = U8();
        if (present == 1)
        {
            const int32_t lower = I32();
            const uint32_t n = U32();
            if (!ok_ || n > size_t(end_ - p_))
            { // every element takes at least one byte
                ok_ = false;
                return;
            }
            SAFEARRAY* a = SafeArrayCreateVector(base, lower, n);
            if (!a)
            {
                ok_ = false;
                return;
            }
            value.parray = a;
            auto* data = static_cast<uint8_t*>(a->pvData);
            for (uint32_t i = 0; i < n && ok_; ++i)
            {
                void* element = data + size_t(i) * a->cbElements;
                if (base == VT_VARIANT)
                    Variant(static_cast<VARIANT*>(element), nullptr);
                else if (!GetScalar(*this, base, element))
                    ok_ = false;
            }
        }
        else if (present != 0)
        {
            ok_ = false;
        }
    }
    else if (byref && base == VT_VARIANT)
    {
        Variant(&value, holders);
    }
    else
    {
        if (!ScalarType(base))
        {
            ok_ = false;
            return;
        }
        value.vt = base;
        if (!GetScalar(*this, base, &value.lVal)) ok_ = false;
    }
    if (!ok_)
    {
        VariantClear(&value);
        return;
    }
    if (!byref)
    {
        *out = value;
        return;
    }
    holders->push_back(value);
    VARIANT& held = holders->back();
    out->vt = vt;
    // A variant by reference points at the held variant; an array of variants by reference
    // points at the held array pointer, like every other by-reference value.
    if (base == VT_VARIANT && !array)
        out->pvarVal = &held;
    else
        out->byref = &held.lVal; // every union member starts at the same address
}

} // namespace com
