// Length-prefixed strings: [u32 byte length][characters][NUL], the pointer at the characters.
#include "platform/com/types.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace com
{

static constexpr size_t kPrefix = sizeof(OLECHAR) >= 4 ? sizeof(OLECHAR) : 4;

BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    if (length > (0x7FFFFFF0u / sizeof(OLECHAR))) return nullptr;
    const size_t bytes = size_t(length) * sizeof(OLECHAR);
    auto* block = static_cast<uint8_t*>(std::calloc(1, kPrefix + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    const uint32_t prefix = static_cast<uint32_t>(bytes);
    std::memcpy(block + kPrefix - 4, &prefix, 4);
    auto* chars = reinterpret_cast<OLECHAR*>(block + kPrefix);
    if (text) std::memcpy(chars, text, bytes);
    return chars;
}

BSTR SysAllocString(const OLECHAR* text)
{
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
}

UINT SysStringByteLen(BSTR text)
{
    if (!text) return 0;
    uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<uint8_t*>(text) - 4, 4);
    return prefix;
}

UINT SysStringLen(BSTR text)
{
    return SysStringByteLen(text) / sizeof(OLECHAR);
}

void SysFreeString(BSTR text)
{
    if (text) std::free(reinterpret_cast<uint8_t*>(text) - kPrefix);
}

void ClearExcepInfo(EXCEPINFO* info)
{
    if (!info) return;
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrHelpFile);
    *info = EXCEPINFO{};
}

} // namespace com
