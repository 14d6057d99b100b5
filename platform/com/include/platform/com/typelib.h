// Type description registration: a named, opaque description text kept in the registry
// folder (see activation.h) under "typelib/<name>". Names are plain file names.
#pragma once

#include <optional>
#include <string>

namespace com
{

bool RegisterTypeDescription(const std::string& name, const std::string& description);
bool UnregisterTypeDescription(const std::string& name); // true when none is left
std::optional<std::string> LoadTypeDescription(const std::string& name);

} // namespace com
