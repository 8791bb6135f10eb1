#include "bench/RatioReporter.h"

#include <cstdio>

namespace tkw::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
            m_nanoseconds[run.benchmark_name()] =
                run.GetAdjustedRealTime() *
                benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    std::printf("\n%-40s %-40s %12s %12s %8s\n", "ours", "peer", "ours (us)", "peer (us)", "ratio");
    for (const auto& [ours, peer] : m_pairs) {
        const auto a = m_nanoseconds.find(ours);
        const auto b = m_nanoseconds.find(peer);
        if (a == m_nanoseconds.end() || b == m_nanoseconds.end() || b->second <= 0) {
            continue;
        }
        std::printf("%-40s %-40s %12.2f %12.2f %8.2f\n", ours.c_str(), peer.c_str(),
                    a->second / 1000.0, b->second / 1000.0, a->second / b->second);
    }
}

int RunWithRatios(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace tkw::bench
