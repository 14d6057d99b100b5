// VARIANT ownership and the conversions the wrapper and its server use.
#include "platform/com/interfaces.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

namespace com
{

void VariantInit(VARIANT* v)
{
    // Every byte: an aggregate initialiser sets only the union's first (4-byte) member, and a
    // pointer member read later would carry the stale upper half.
    if (v) std::memset(static_cast<void*>(v), 0, sizeof *v);
}

namespace
{
VARIANT Holding(VARTYPE vt)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}
} // namespace

VARIANT VariantFromI4(int32_t value)
{
    VARIANT v = Holding(VT_I4);
    v.lVal = value;
    return v;
}

VARIANT VariantFromR8(double value)
{
    VARIANT v = Holding(VT_R8);
    v.dblVal = value;
    return v;
}

VARIANT VariantFromString(const wchar_t* text)
{
    VARIANT v = Holding(VT_BSTR);
    v.bstrVal = SysAllocString(text);
    return v;
}

HRESULT VariantClear(VARIANT* v)
{
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF))
    {
        if (v->vt & VT_ARRAY)
        {
            HRESULT hr = SafeArrayDestroy(v->parray);
            if (FAILED(hr)) return hr;
        }
        else
        {
            switch (v->vt)
            {
            case VT_BSTR:
                SysFreeString(v->bstrVal);
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH:
                if (v->punkVal) v->punkVal->Release();
                break;
            default:
                break;
            }
        }
    }
    *v = VARIANT{};
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* source)
{
    if (!dest || !source) return E_INVALIDARG;
    if (dest == source) return S_OK;
    VARIANT copy = *source;
    if (!(source->vt & VT_BYREF))
    {
        if (source->vt & VT_ARRAY)
        {
            HRESULT hr = SafeArrayCopy(source->parray, &copy.parray);
            if (FAILED(hr)) return hr;
        }
        else if (source->vt == VT_BSTR)
        {
            if (source->bstrVal)
            {
                copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
                if (!copy.bstrVal) return E_OUTOFMEMORY;
            }
        }
        else if (source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH)
        {
            if (copy.punkVal) copy.punkVal->AddRef();
        }
    }
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

// A by-reference variant as the by-value variant it refers to (no ownership taken).
static bool Dereference(const VARIANT* ref, VARIANT* value)
{
    *value = VARIANT{};
    if (!(ref->vt & VT_BYREF))
    {
        *value = *ref;
        return true;
    }
    if (!ref->byref) return false;
    const VARTYPE base = ref->vt & ~VT_BYREF;
    if (base == VT_VARIANT)
    {
        const VARIANT* inner = ref->pvarVal;
        if (inner->vt & VT_BYREF) return Dereference(inner, value);
        *value = *inner;
        return true;
    }
    value->vt = base;
    if (base & VT_ARRAY)
    {
        value->parray = *ref->pparray;
        return true;
    }
    switch (base)
    {
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
        value->lVal = *ref->plVal;
        break;
    case VT_UI4:
    case VT_UINT:
        value->ulVal = *ref->pulVal;
        break;
    case VT_UI1:
        value->bVal = *ref->pbVal;
        break;
    case VT_I2:
        value->iVal = *static_cast<int16_t*>(ref->byref);
        break;
    case VT_R8:
        value->dblVal = *ref->pdblVal;
        break;
    case VT_BOOL:
        value->boolVal = *ref->pboolVal;
        break;
    case VT_BSTR:
        value->bstrVal = *ref->pbstrVal;
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        value->punkVal = *ref->ppunkVal;
        break;
    default:
        return false;
    }
    return true;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* source)
{
    if (!dest || !source) return E_INVALIDARG;
    VARIANT value;
    if (!Dereference(source, &value)) return DISP_E_BADVARTYPE;
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopy(&copy, &value);
    if (FAILED(hr)) return hr;
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

namespace
{
// The numeric value of a scalar variant; false when it has none.
bool AsNumber(const VARIANT& v, double* out, HRESULT* failure)
{
    *failure = DISP_E_TYPEMISMATCH;
    switch (v.vt)
    {
    case VT_EMPTY:
        *out = 0;
        return true;
    case VT_I4:
    case VT_INT:
        *out = v.lVal;
        return true;
    case VT_UI4:
    case VT_UINT:
        *out = v.ulVal;
        return true;
    case VT_I2:
        *out = v.iVal;
        return true;
    case VT_UI1:
        *out = v.bVal;
        return true;
    case VT_R8:
        *out = v.dblVal;
        return true;
    case VT_BOOL:
        *out = v.boolVal ? -1 : 0;
        return true;
    case VT_BSTR:
    {
        if (!v.bstrVal) return false;
        std::wstring text(v.bstrVal, SysStringLen(v.bstrVal));
        size_t first = text.find_first_not_of(L" \t");
        size_t last = text.find_last_not_of(L" \t");
        if (first == std::wstring::npos) return false;
        text = text.substr(first, last - first + 1);
        if (text == L"True" || text == L"true") return *out = -1, true;
        if (text == L"False" || text == L"false") return *out = 0, true;
        wchar_t* end = nullptr;
        errno = 0;
        double d = std::wcstod(text.c_str(), &end);
        if (end != text.c_str() + text.size() || !std::isfinite(d))
        {
            if (errno == ERANGE) *failure = DISP_E_OVERFLOW;
            return false;
        }
        *out = d;
        return true;
    }
    default:
        return false;
    }
}

template <typename T> bool InRange(double d)
{
    return d >= double(std::numeric_limits<T>::min()) - 0.5 &&
           d < double(std::numeric_limits<T>::max()) + 0.5;
}

// Automation rounds half to even when narrowing a double to an integer.
double RoundEven(double d)
{
    return std::nearbyint(d);
}
} // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, uint16_t, VARTYPE vt)
{
    if (!dest || !source) return E_INVALIDARG;
    VARIANT value;
    if (!Dereference(source, &value)) return DISP_E_BADVARTYPE;
    if (vt & (VT_BYREF | VT_ARRAY))
    {
        if (value.vt != vt) return DISP_E_TYPEMISMATCH;
        return VariantCopy(dest, &value);
    }
    if (value.vt == vt) return VariantCopyInd(dest, source);
    VARIANT result;
    VariantInit(&result);
    result.vt = vt;
    if (vt == VT_BSTR)
    {
        std::wstring text;
        switch (value.vt)
        {
        case VT_EMPTY:
            break;
        case VT_I4:
        case VT_INT:
            text = std::to_wstring(value.lVal);
            break;
        case VT_UI4:
        case VT_UINT:
            text = std::to_wstring(value.ulVal);
            break;
        case VT_I2:
            text = std::to_wstring(value.iVal);
            break;
        case VT_UI1:
            text = std::to_wstring(value.bVal);
            break;
        case VT_BOOL:
            text = value.boolVal ? L"True" : L"False";
            break;
        case VT_R8:
        {
            wchar_t buffer[64];
            std::swprintf(buffer, 64, L"%.15g", value.dblVal);
            text = buffer;
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
        }
        result.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!result.bstrVal) return E_OUTOFMEMORY;
    }
    else if (vt == VT_EMPTY)
    {
        // anything converts to empty
    }
    else
    {
        double d;
        HRESULT failure;
        if (!AsNumber(value, &d, &failure)) return failure;
        switch (vt)
        {
        case VT_I4:
        case VT_INT:
            if (!InRange<int32_t>(d)) return DISP_E_OVERFLOW;
            result.lVal = static_cast<int32_t>(RoundEven(d));
            break;
        case VT_UI4:
        case VT_UINT:
            if (!InRange<uint32_t>(d)) return DISP_E_OVERFLOW;
            result.ulVal = static_cast<uint32_t>(RoundEven(d));
            break;
        case VT_I2:
            if (!InRange<int16_t>(d)) return DISP_E_OVERFLOW;
            result.iVal = static_cast<int16_t>(RoundEven(d));
            break;
        case VT_UI1:
            if (!InRange<uint8_t>(d)) return DISP_E_OVERFLOW;
            result.bVal = static_cast<uint8_t>(RoundEven(d));
            break;
        case VT_R8:
            result.dblVal = d;
            break;
        case VT_BOOL:
            result.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        default:
            return DISP_E_TYPEMISMATCH;
        }
    }
    VariantClear(dest);
    *dest = result;
    return S_OK;
}

} // namespace com
