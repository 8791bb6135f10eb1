#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tkw::bench {

// Prints the usual console table, then each benchmark's time as a ratio to a peer measured in the
// same run: absolute times vary from machine to machine, the ratios much less.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // (ours, peer) pairs of benchmark names.
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs)
        : m_pairs(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
    std::map<std::string, double> m_nanoseconds;
};

// Runs every registered benchmark with the reporter; returns the process exit code.
int RunWithRatios(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs);

}  // namespace tkw::bench
