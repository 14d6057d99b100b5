// Texts of the string table in the thread's language, as Qt strings.
#pragma once

#include <QString>
#include <cstdint>

#include "res/strings.h"

namespace dialogs
{
inline QString Text(uint32_t id)
{
    return QString::fromStdString(res::LoadString(id));
}
} // namespace dialogs
