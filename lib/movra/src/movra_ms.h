// Milliseconds, as MOVRA's interface gives times, from the exact times inside.
#pragma once

#include "templates/r_number.h"

inline long Ms(const RNUMBER64& value)
{
    return static_cast<long>(value.ToMs());
}
