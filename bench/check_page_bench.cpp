// Flash page checking throughput, in bytes of page data per second, on clean pages and on
// pages with one correctable error in every sector, beside a by-definition reference.
#include "device/flash_ecc.h"
#include "device_reference/reference_ecc.h"
#include "ratio_reporter.h"

#include <cstring>
#include <random>
#include <vector>

namespace
{

using vark::reference::ReferenceEcc;

void ReferenceCheckPage(uint8_t* page)
{
    uint8_t* spare = page + vark::kPageDataSize;
    if (spare[24] != 0x42 || spare[25] != 0x45) return;
    for (unsigned k = 0; k < 8; ++k)
    {
        uint8_t* stored = spare + 3 * k;
        if (stored[0] == 0xFF && stored[1] == 0xFF && stored[2] == 0xFF) continue;
        vark::CorrectSector(page + 512 * k, stored, ReferenceEcc(page + 512 * k));
    }
}

std::vector<uint8_t> Pages(size_t count)
{
    std::mt19937 rng(1);
    std::vector<uint8_t> pages(count * vark::kPageSize);
    for (size_t p = 0; p < count; ++p)
    {
        uint8_t* page = pages.data() + p * vark::kPageSize;
        for (size_t i = 0; i < vark::kPageSize; ++i)
            page[i] = static_cast<uint8_t>(rng());
        vark::reference::SealPage(page);
    }
    return pages;
}

template <void (*Check)(uint8_t*)> void Run(benchmark::State& state, bool withErrors)
{
    const size_t count = 256; // 1 MiB of page data: stays in cache like the read buffer does
    const auto clean = Pages(count);
    auto work = clean;
    std::mt19937 rng(2);
    for (auto _ : state)
    {
        state.PauseTiming();
        std::memcpy(work.data(), clean.data(), work.size());
        if (withErrors)
            for (size_t p = 0; p < count; ++p)
                for (unsigned k = 0; k < 8; ++k)
                    work[p * vark::kPageSize + 512 * k + rng() % 512] ^=
                        static_cast<uint8_t>(1u << (rng() % 8));
        state.ResumeTiming();
        for (size_t p = 0; p < count; ++p)
            Check(work.data() + p * vark::kPageSize);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * count * vark::kPageDataSize);
}

void OursClean(benchmark::State& s)
{
    Run<vark::CheckPage>(s, false);
}
void ReferenceClean(benchmark::State& s)
{
    Run<ReferenceCheckPage>(s, false);
}
void OursOneErrorPerSector(benchmark::State& s)
{
    Run<vark::CheckPage>(s, true);
}
void ReferenceOneErrorPerSector(benchmark::State& s)
{
    Run<ReferenceCheckPage>(s, true);
}

} // namespace

BENCHMARK(OursClean);
BENCHMARK(ReferenceClean);
BENCHMARK(OursOneErrorPerSector);
BENCHMARK(ReferenceOneErrorPerSector);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(
        {{"OursClean", "ReferenceClean"}, {"OursOneErrorPerSector", "ReferenceOneErrorPerSector"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
