#include "sha1_blocks.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#include <utility>

namespace vark::sha1_detail
{

bool HardwareAvailable()
{
    static const bool available = []
    {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
        const bool ssse3 = (c & (1u << 9)) != 0, sse41 = (c & (1u << 19)) != 0;
        if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
        const bool sha = (b & (1u << 29)) != 0;
        return ssse3 && sse41 && sha;
    }();
    return available;
}

namespace
{

#define VARK_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

// One group of four rounds, G = 0..19, all indexes known at compile time so that the 20
// groups unroll into straight code with everything in registers. E alternates between the
// two registers: one feeds this group, the other keeps A from before it for the next one.
template <int G> VARK_SHA_TARGET inline void Group(__m128i& abcd, __m128i (&e)[2], __m128i (&w)[4])
{
    if constexpr (G >= 4)
        w[G & 3] = _mm_sha1msg2_epu32(
            _mm_xor_si128(_mm_sha1msg1_epu32(w[G & 3], w[(G + 1) & 3]), w[(G + 2) & 3]),
            w[(G + 3) & 3]);
    constexpr int cur = G & 1;
    if constexpr (G == 0)
        e[0] = _mm_add_epi32(e[0], w[0]);
    else
        e[cur] = _mm_sha1nexte_epu32(e[cur], w[G & 3]);
    e[cur ^ 1] = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e[cur], G / 5);
}

template <int... G>
VARK_SHA_TARGET inline void Groups(__m128i& abcd, __m128i (&e)[2], __m128i (&w)[4],
                                   std::integer_sequence<int, G...>)
{
    (Group<G>(abcd, e, w), ...);
}

} // namespace

VARK_SHA_TARGET void BlocksHardware(uint32_t state[5], const uint8_t* data, size_t blocks)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

    for (; blocks > 0; --blocks, data += 64)
    {
        const __m128i abcdSaved = abcd, eSaved = e0;
        __m128i w[4];
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
        __m128i e[2] = {e0, _mm_setzero_si128()};
        Groups(abcd, e, w, std::make_integer_sequence<int, 20>{});
        e0 = _mm_sha1nexte_epu32(e[0], eSaved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }

    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

} // namespace vark::sha1_detail

#else

namespace vark::sha1_detail
{
bool HardwareAvailable()
{
    return false;
}
void BlocksHardware(uint32_t state[5], const uint8_t* data, size_t blocks)
{
    BlocksPortable(state, data, blocks);
}
} // namespace vark::sha1_detail

#endif
