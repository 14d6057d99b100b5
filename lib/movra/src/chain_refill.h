// Shared by the objects that hold sound back (AGC, denoiser, stretcher): putting produced
// planar channels back into a message.
#pragma once

#include "movra/smsg.h"

#include <cstdint>
#include <vector>

// Refills `msg` with `channels` (all of one length) at its rate, starting at `start`.
void RefillMessage(SMSG& msg, const std::vector<std::vector<int16_t>>& channels,
                   const RNUMBER64& start);

// The mono mix the speech search and the stretcher work on: the channels' mean.
void MonoMix(const SMSG& msg, std::vector<int16_t>& mono);
