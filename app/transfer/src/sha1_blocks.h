// SHA-1 compression of whole 64-byte blocks: the portable version and, on x86 processors
// with the SHA extensions, the hardware one. Both give the same state; Sha1 picks the
// hardware one when the processor has it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vark::sha1_detail
{

void BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks);
bool HardwareAvailable();
// Only when HardwareAvailable().
void BlocksHardware(uint32_t state[5], const uint8_t* data, size_t blocks);

} // namespace vark::sha1_detail
