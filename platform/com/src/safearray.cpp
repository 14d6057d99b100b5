// One-dimensional safe arrays; the element type is kept in the features and in a hidden
// header word so that SafeArrayGetVartype and destruction know what the elements own.
#include "platform/com/interfaces.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace com
{

namespace
{
struct ArrayBlock
{
    VARTYPE vt;
    SAFEARRAY array;
};

ArrayBlock* BlockOf(SAFEARRAY* a)
{
    return reinterpret_cast<ArrayBlock*>(reinterpret_cast<uint8_t*>(a) -
                                         offsetof(ArrayBlock, array));
}

ULONG ElementSize(VARTYPE vt)
{
    switch (vt)
    {
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
        return 4;
    case VT_R8:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_VARIANT:
        return sizeof(VARIANT);
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(IUnknown*);
    default:
        return 0;
    }
}
} // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, ULONG elements)
{
    const ULONG size = ElementSize(vt);
    if (size == 0 || elements > 0x7FFFFFFFu / size) return nullptr;
    auto* block = static_cast<ArrayBlock*>(std::calloc(1, sizeof(ArrayBlock)));
    if (!block) return nullptr;
    block->vt = vt;
    SAFEARRAY* a = &block->array;
    a->cDims = 1;
    a->fFeatures = FADF_HAVEVARTYPE | (vt == VT_BSTR ? FADF_BSTR : 0);
    a->cbElements = size;
    a->rgsabound[0].cElements = elements;
    a->rgsabound[0].lLbound = lowerBound;
    a->pvData = std::calloc(elements ? elements : 1, size);
    if (!a->pvData)
    {
        std::free(block);
        return nullptr;
    }
    if (vt == VT_VARIANT)
        for (ULONG i = 0; i < elements; ++i)
            VariantInit(static_cast<VARIANT*>(a->pvData) + i);
    return a;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* a, VARTYPE* vt)
{
    if (!a || !vt) return E_INVALIDARG;
    *vt = BlockOf(a)->vt;
    return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* a)
{
    if (!a) return S_OK;
    if (a->cLocks) return DISP_E_ARRAYISLOCKED;
    const VARTYPE vt = BlockOf(a)->vt;
    const ULONG n = a->rgsabound[0].cElements;
    for (ULONG i = 0; i < n; ++i)
    {
        if (vt == VT_BSTR)
            SysFreeString(static_cast<BSTR*>(a->pvData)[i]);
        else if (vt == VT_VARIANT)
            VariantClear(static_cast<VARIANT*>(a->pvData) + i);
        else if (vt == VT_UNKNOWN || vt == VT_DISPATCH)
        {
            if (IUnknown* u = static_cast<IUnknown**>(a->pvData)[i]) u->Release();
        }
    }
    std::free(a->pvData);
    std::free(BlockOf(a));
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* a, void** data)
{
    if (!a || !data) return E_INVALIDARG;
    ++a->cLocks;
    *data = a->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* a)
{
    if (!a) return E_INVALIDARG;
    if (a->cLocks == 0) return E_UNEXPECTED;
    --a->cLocks;
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* a)
{
    return a ? a->cDims : 0;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* a, UINT dim, int32_t* bound)
{
    if (!a || !bound) return E_INVALIDARG;
    if (dim != 1) return DISP_E_BADINDEX;
    *bound = a->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* a, UINT dim, int32_t* bound)
{
    if (!a || !bound) return E_INVALIDARG;
    if (dim != 1) return DISP_E_BADINDEX;
    *bound = static_cast<int32_t>(int64_t(a->rgsabound[0].lLbound) + a->rgsabound[0].cElements - 1);
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy)
{
    if (!copy) return E_INVALIDARG;
    *copy = nullptr;
    if (!source) return S_OK;
    const VARTYPE vt = BlockOf(source)->vt;
    const ULONG n = source->rgsabound[0].cElements;
    SAFEARRAY* c = SafeArrayCreateVector(vt, source->rgsabound[0].lLbound, n);
    if (!c) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < n; ++i)
    {
        if (vt == VT_BSTR)
        {
            BSTR s = static_cast<BSTR*>(source->pvData)[i];
            if (s)
            {
                BSTR d = SysAllocStringLen(s, SysStringLen(s));
                if (!d)
                {
                    SafeArrayDestroy(c);
                    return E_OUTOFMEMORY;
                }
                static_cast<BSTR*>(c->pvData)[i] = d;
            }
        }
        else if (vt == VT_VARIANT)
        {
            HRESULT hr = VariantCopy(static_cast<VARIANT*>(c->pvData) + i,
                                     static_cast<VARIANT*>(source->pvData) + i);
            if (FAILED(hr))
            {
                SafeArrayDestroy(c);
                return hr;
            }
        }
        else if (vt == VT_UNKNOWN || vt == VT_DISPATCH)
        {
            IUnknown* u = static_cast<IUnknown**>(source->pvData)[i];
            if (u) u->AddRef();
            static_cast<IUnknown**>(c->pvData)[i] = u;
        }
    }
    if (vt != VT_BSTR && vt != VT_VARIANT && vt != VT_UNKNOWN && vt != VT_DISPATCH && n)
        std::memcpy(c->pvData, source->pvData, size_t(n) * source->cbElements);
    *copy = c;
    return S_OK;
}

} // namespace com
