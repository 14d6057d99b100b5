// The skin description text and its tables, without Qt so that the parser can be fuzzed on
// its own. A description is 8-bit text: "[NAME]" lines open sections, "key=value" lines fill
// the current one; only names the dialog registered are kept.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace skin
{

using KeyTable = std::map<std::string, std::string>;
using NameTable = std::map<std::string, int>; // section name -> resource identifier
using SectionTable = std::map<int, KeyTable>; // resource identifier -> keys

// Lines end with LF; a CR before it stays in the value (number reading skips it). The name of
// a section runs from "[" to the first "]" or the line end. An entry needs a "=" that is not
// the last character; the key is everything before the first "=", untrimmed. A later key
// replaces an earlier one; lines outside a registered section are dropped.
void ParseDescription(std::string_view text, const NameTable& names, SectionTable& sections);

// Reads `count` decimal integers separated by spaces from a value; a trailing CR, and any
// numbers beyond `count`, are ignored. Fails (out untouched) on fewer numbers, other
// characters, or a number outside +-kMaxSkinNumber: coordinates of a real skin are small,
// and refusing huge ones keeps a damaged description from sizing windows absurdly.
constexpr int kMaxSkinNumber = 32767;
bool ReadNumbers(std::string_view value, size_t count, std::vector<int>& out);

} // namespace skin
