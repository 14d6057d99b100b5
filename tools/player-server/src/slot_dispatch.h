// What the server's objects share: dual interfaces driven through their slots only (no
// names or type information to offer), and core commands whose refusals and exceptions
// become E_FAIL.
#pragma once

#include "faltor/journal.h"
#include "trillo/player_case.h"

#include <exception>

namespace player
{

using namespace trillo;

template <typename I> class SlotDispatch : public I
{
public:
    HRESULT GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override
    {
        for (UINT i = 0; ids && i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    ~SlotDispatch() = default;
};

// Runs one core command: false answers E_FAIL, an exception is journalled and answers E_FAIL.
template <typename F> HRESULT Guarded(const char* what, F call)
{
    try
    {
        return call() ? S_OK : E_FAIL;
    }
    catch (const std::exception& e)
    {
        if (JOURNAL::Journal) JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR, "%s: %s", what, e.what());
        return E_FAIL;
    }
}

} // namespace player
