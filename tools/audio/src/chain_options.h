// The processing options that play and process share: the objects of the player core's file
// chain, set through its commands. Values outside an object's range are refused here with a
// clear message rather than silently clamped by the core.
#pragma once

#include <optional>
#include <string>
#include <utility>

class MOVRA;

namespace varkaudio
{

struct ChainOptions
{
    std::optional<std::pair<long, long>> denoiser; // mode (0 line, 1 microphone), level
    std::optional<long> agc, speechSearch, stretch;
    std::optional<std::pair<double, double>> filter; // low, high shelf gain in dB
};

enum class Taken
{
    no,    // not a chain option
    yes,   // stored
    wrong, // a chain option with a wrong value; the complaint is printed
};

// Option `name` (with its `value`) into `o`.
Taken ParseChainOption(const std::string& name, const std::string& value, ChainOptions& o);

// The options as core commands; each object that is given switches on (the stretcher follows
// its step).
void ApplyChainOptions(MOVRA& core, const ChainOptions& o);

// The usage text of the chain options.
extern const char kChainUsage[];

// Whole decimal numbers and finite decimals, nothing trailing.
bool ParseLong(const std::string& text, long& value);
bool ParseDouble(const std::string& text, double& value);
// "A<sep>B" into two parts; the separator is looked for after the first character, so A may
// carry a sign.
bool Split(const std::string& text, char sep, std::string& a, std::string& b);

} // namespace varkaudio
