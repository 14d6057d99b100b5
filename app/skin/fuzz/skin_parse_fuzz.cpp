// libFuzzer entry for the skin description parser and the number reader. Built as a fuzzer
// with clang (-DVARK_FUZZ=ON); the unit tests replay hostile inputs through the same entry.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "skin/skin_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const skin::NameTable names = {
        {"IDD_ABOUTBOX", 100}, {"IDC_LINK", 1089}, {"IDOK", 1}, {"", 7}};
    skin::SectionTable sections;
    skin::ParseDescription(std::string_view(reinterpret_cast<const char*>(data), size), names,
                           sections);
    std::vector<int> v;
    for (auto& [id, keys] : sections)
        for (auto& [key, value] : keys)
            skin::ReadNumbers(value, 5, v);
    return 0;
}
