// The level of a block of sound as the player reports it (MOVRA::CalcSndLevel is the same).
#pragma once

#include <vector>

struct SMSG;

// Per channel: 20 * log10(peak + 1), truncated (0..90). Empty message: empty vector.
std::vector<long> CalcSndLevel(const SMSG& msg);
