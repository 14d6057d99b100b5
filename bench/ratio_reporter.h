// A console reporter that also prints, at the end, the throughput ratio of every benchmark
// to the one named as the reference, so a run states "ours is N x the reference".
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // Pairs: benchmark name -> name of its reference benchmark.
    explicit RatioReporter(std::map<std::string, std::string> pairs) : pairs_(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs)
        {
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& [name, reference] : pairs_)
        {
            const double ours = rates_[name], ref = rates_[reference];
            if (ours > 0 && ref > 0)
                std::printf("%-40s %8.1f MB/s  = %6.1f x %s (%.1f MB/s)\n", name.c_str(),
                            ours / 1e6, ours / ref, reference.c_str(), ref / 1e6);
        }
    }

private:
    std::map<std::string, std::string> pairs_;
    std::map<std::string, double> rates_;
};
