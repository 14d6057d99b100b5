// The parameters record as readable KEY=VALUE pairs for `vark-cli params`.
#pragma once

#include "device/vark_params.h"

#include <string>
#include <utility>
#include <vector>

namespace cli
{

// Every field in record order, e.g. "rate=16000", "timer2.start=2026-01-02 10:00:00".
std::vector<std::pair<std::string, std::string>> ParamsToKeys(const vark::VarkParams& p);
// Sets one field from its text; false with a message for an unknown key or a bad value.
bool SetParamKey(vark::VarkParams& p, const std::string& key, const std::string& value,
                 std::string& error);

} // namespace cli
