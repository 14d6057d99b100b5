// The description of _IPlStateEvents: every event with its DISPID, parameters and result, in
// DISPID order. The sink checks arguments against it, resolves names through it, and the
// module's type description is written from it.
#pragma once

#include "trillo/player_case.h"

#include <array>
#include <string_view>

namespace trillo
{

enum class ParamType
{
    Int32,
    Double,
    Variant,    // a VARIANT by value
    VariantRef, // a pointer to a VARIANT
};

enum class ResultType
{
    None,
    Hresult,
    Int32,
};

struct EventParam
{
    std::string_view name;
    ParamType type;
};

constexpr size_t kMaxEventParams = 5;

struct EventInfo
{
    DISPID dispid;
    std::string_view name;
    ResultType result;
    size_t paramCount;
    std::array<EventParam, kMaxEventParams> params;
};

constexpr size_t kEventCount = 26;

// The events in DISPID order; an event's index is the index of its handler table entry.
const std::array<EventInfo, kEventCount>& PlStateEvents();
// The index of an event, or -1 for a DISPID that is not an event.
int EventIndex(DISPID dispid);

} // namespace trillo
