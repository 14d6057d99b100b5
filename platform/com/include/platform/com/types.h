// The automation types of the COM stand-in, with their Windows names and layouts.
//
// OLECHAR is wchar_t, which is 32 bits wide on this platform (UTF-32 code units), not the
// 16-bit unit of Windows. A BSTR keeps its Windows shape otherwise: the pointer points at the
// characters, a 32-bit byte length sits just before them and a NUL follows them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace com
{

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using WORD = uint16_t;
using LCID = uint32_t;
using DISPID = int32_t;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using OLECHAR = wchar_t;
using BSTR = OLECHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
constexpr HRESULT DISP_E_UNKNOWNLCID = static_cast<HRESULT>(0x8002000C);
constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000D);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000F);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200);
constexpr HRESULT CONNECT_E_ADVISELIMIT = static_cast<HRESULT>(0x80040201);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202);
constexpr HRESULT CONNECT_E_OVERRIDDEN = static_cast<HRESULT>(0x80040203);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = static_cast<HRESULT>(0x80080005);
constexpr HRESULT RPC_E_DISCONNECTED = static_cast<HRESULT>(0x80010108);
constexpr HRESULT RPC_E_WRONG_THREAD = static_cast<HRESULT>(0x8001010E);
constexpr HRESULT RPC_E_INVALID_DATA = static_cast<HRESULT>(0x8001010F);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);

constexpr DWORD CLSCTX_INPROC_SERVER = 1;
constexpr DWORD CLSCTX_LOCAL_SERVER = 4;

constexpr WORD DISPATCH_METHOD = 1;
constexpr WORD DISPATCH_PROPERTYGET = 2;
constexpr WORD DISPATCH_PROPERTYPUT = 4;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 2048;
constexpr LCID LOCALE_USER_DEFAULT = 1024;

// 16 bytes, Windows layout: Data1 to Data3 are native integers, Data4 the trailing bytes.
struct GUID
{
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;
static_assert(sizeof(GUID) == 16);

bool operator==(const GUID& a, const GUID& b);
inline bool IsEqualGUID(const GUID& a, const GUID& b)
{
    return a == b;
}
inline bool IsEqualIID(const GUID& a, const GUID& b)
{
    return a == b;
}
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string GuidToString(const GUID& guid);
// Accepts the braced form in either case (braces required); nullopt for anything else.
std::optional<GUID> GuidFromString(std::string_view text);

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// ---- BSTR ----------------------------------------------------------------------------------
// The 32-bit prefix holds the length in bytes (characters × sizeof(OLECHAR)), as on Windows.
BSTR SysAllocString(const OLECHAR* text);                 // null text gives null
BSTR SysAllocStringLen(const OLECHAR* text, UINT length); // null text: uninitialised zeros
UINT SysStringLen(BSTR text);                             // characters; 0 for null
UINT SysStringByteLen(BSTR text);
void SysFreeString(BSTR text); // null is fine

// ---- VARIANT and SAFEARRAY -----------------------------------------------------------------
enum VARENUM : VARTYPE
{
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_UI4 = 19,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct SAFEARRAYBOUND
{
    ULONG cElements;
    int32_t lLbound;
};

constexpr uint16_t FADF_BSTR = 0x0100;
constexpr uint16_t FADF_HAVEVARTYPE = 0x0080;

struct SAFEARRAY
{
    uint16_t cDims;
    uint16_t fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

struct IUnknown;
struct IDispatch;
struct VARIANT;

struct VARIANT
{
    VARTYPE vt;
    WORD wReserved1, wReserved2, wReserved3;
    union
    {
        int32_t lVal;
        uint32_t ulVal;
        int32_t intVal;
        uint32_t uintVal;
        uint8_t bVal;
        int16_t iVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        int32_t* plVal;
        uint32_t* pulVal;
        uint8_t* pbVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
    };
};
using VARIANTARG = VARIANT;

void VariantInit(VARIANT* v);
// Frees what the variant owns (BSTR, interface reference, array); by-reference variants own
// nothing. Leaves VT_EMPTY.
HRESULT VariantClear(VARIANT* v);
// Deep copy: strings and arrays are duplicated, interfaces AddRef'd; a by-reference source is
// copied as a by-reference variant (the pointer, not the value), as on Windows.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* source);
// Like VariantCopy but follows a by-reference source to its value.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* source);
// Converts among VT_EMPTY, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_I2, VT_UI1, VT_R8, VT_BOOL and
// VT_BSTR (a by-reference source is followed). DISP_E_TYPEMISMATCH for an impossible
// conversion, DISP_E_OVERFLOW for a value out of range. dest may equal source.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, uint16_t flags, VARTYPE vt);
// Variants made ready with one value, as events and calls pass them; the string one owns a
// new copy of `text`.
VARIANT VariantFromI4(int32_t value);
VARIANT VariantFromR8(double value);
VARIANT VariantFromString(const wchar_t* text);

// One-dimensional arrays of VT_UI1, VT_I4, VT_R8, VT_BSTR or VT_VARIANT.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, ULONG elements);
HRESULT SafeArrayDestroy(SAFEARRAY* array); // frees the BSTRs/variants it holds
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, int32_t* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, int32_t* bound);
HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt);
HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy);
UINT SafeArrayGetDim(SAFEARRAY* array);

// ---- Invoke records ------------------------------------------------------------------------
struct DISPPARAMS
{
    VARIANTARG* rgvarg; // arguments in reverse order, as on Windows
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO
{
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    HRESULT scode;
};

// Frees the three strings and zeroes the record.
void ClearExcepInfo(EXCEPINFO* info);

} // namespace com
