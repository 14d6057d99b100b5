// Flash page checking throughput, in bytes of page data per second, on clean pages and on
// pages with one correctable error in every sector, beside a by-definition reference.
#include "device/flash_ecc.h"
#include "ratio_reporter.h"

#include <cstring>
#include <random>
#include <vector>

namespace {

int Parity(unsigned x) { return __builtin_popcount(x & 0xFF) & 1; }

// The code computed bit by bit from its definition, as a reader of the format would.
vark::SectorEcc ReferenceEcc(const uint8_t* d)
{
    int lp[18] = {};
    uint8_t x = 0;
    for (unsigned a = 0; a < 512; ++a) {
        const int p = Parity(d[a]);
        for (unsigned k = 0; k < 9; ++k) lp[2 * k + ((a >> k) & 1)] ^= p;
        x ^= d[a];
    }
    const int cp[6] = {Parity(x & 0x55), Parity(x & 0xAA), Parity(x & 0x33),
                       Parity(x & 0xCC), Parity(x & 0x0F), Parity(x & 0xF0)};
    vark::SectorEcc c{};
    for (int j = 0; j < 8; ++j) {
        c[0] |= static_cast<uint8_t>((!lp[j]) << j);
        c[1] |= static_cast<uint8_t>((!lp[8 + j]) << j);
    }
    c[2] = static_cast<uint8_t>((!lp[16]) | (!lp[17]) << 1);
    for (int j = 0; j < 6; ++j) c[2] |= static_cast<uint8_t>((!cp[j]) << (2 + j));
    return c;
}

void ReferenceCheckPage(uint8_t* page)
{
    uint8_t* spare = page + vark::kPageDataSize;
    if (spare[24] != 0x42 || spare[25] != 0x45) return;
    for (unsigned k = 0; k < 8; ++k) {
        uint8_t* stored = spare + 3 * k;
        if (stored[0] == 0xFF && stored[1] == 0xFF && stored[2] == 0xFF) continue;
        vark::CorrectSector(page + 512 * k, stored, ReferenceEcc(page + 512 * k));
    }
}

std::vector<uint8_t> Pages(size_t count)
{
    std::mt19937 rng(1);
    std::vector<uint8_t> pages(count * vark::kPageSize);
    for (size_t p = 0; p < count; ++p) {
        uint8_t* page = pages.data() + p * vark::kPageSize;
        for (size_t i = 0; i < vark::kPageSize; ++i) page[i] = static_cast<uint8_t>(rng());
        for (unsigned k = 0; k < 8; ++k) {
            const auto code = ReferenceEcc(page + 512 * k);
            std::memcpy(page + 4096 + 3 * k, code.data(), 3);
        }
        page[4096 + 24] = 0x42;
        page[4096 + 25] = 0x45;
    }
    return pages;
}

template <void (*Check)(uint8_t*)> void Run(benchmark::State& state, bool withErrors)
{
    const size_t count = 256; // 1 MiB of page data: stays in cache like the read buffer does
    const auto clean = Pages(count);
    auto work = clean;
    std::mt19937 rng(2);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), clean.data(), work.size());
        if (withErrors)
            for (size_t p = 0; p < count; ++p)
                for (unsigned k = 0; k < 8; ++k)
                    work[p * vark::kPageSize + 512 * k + rng() % 512] ^= static_cast<uint8_t>(1u << (rng() % 8));
        state.ResumeTiming();
        for (size_t p = 0; p < count; ++p) Check(work.data() + p * vark::kPageSize);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * count * vark::kPageDataSize);
}

void OursClean(benchmark::State& s) { Run<vark::CheckPage>(s, false); }
void ReferenceClean(benchmark::State& s) { Run<ReferenceCheckPage>(s, false); }
void OursOneErrorPerSector(benchmark::State& s) { Run<vark::CheckPage>(s, true); }
void ReferenceOneErrorPerSector(benchmark::State& s) { Run<ReferenceCheckPage>(s, true); }

} // namespace

BENCHMARK(OursClean);
BENCHMARK(ReferenceClean);
BENCHMARK(OursOneErrorPerSector);
BENCHMARK(ReferenceOneErrorPerSector);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter({{"OursClean", "ReferenceClean"},
                            {"OursOneErrorPerSector", "ReferenceOneErrorPerSector"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
