// Lets a benchmark program turn its runs into figures: ratios between two runs measured in
// the same process, printed as "FIGURE NAME RATIO GOAL" lines that scripts/bench.sh collects.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>

class BenchTimes {
public:
    // Real time of one iteration of the named run, in nanoseconds (0 when it did not run).
    double operator[](const std::string& name) const {
        const auto it = times_.find(name);
        return it == times_.end() ? 0.0 : it->second;
    }
    // With repetitions the fastest run stands: other work on the machine only ever adds time.
    void Set(const std::string& name, double ns) {
        const auto [it, added] = times_.try_emplace(name, ns);
        if (!added && ns < it->second) {
            it->second = ns;
        }
    }

private:
    std::map<std::string, double> times_;
};

class FigureReporter : public benchmark::ConsoleReporter {
public:
    explicit FigureReporter(BenchTimes& times) : times_(times) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                // Runs with arguments are told apart by them: "BM_Name/100". The CPU time is
                // kept as "BM_Name/100:cpu" for runs that wait for nothing but the processor.
                const std::string& args = run.run_name.args;
                const std::string name =
                    run.run_name.function_name + (args.empty() ? "" : "/" + args);
                const double toNs = benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                    benchmark::GetTimeUnitMultiplier(run.time_unit);
                times_.Set(name, run.GetAdjustedRealTime() * toNs);
                times_.Set(name + ":cpu", run.GetAdjustedCPUTime() * toNs);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    BenchTimes& times_;
};

inline void PrintFigure(const std::string& name, double ratio, const std::string& goal) {
    std::printf("FIGURE %s %.3f %s\n", name.c_str(), ratio, goal.c_str());
    std::fflush(stdout);
}

// main() of a benchmark program: runs every benchmark, then `figures` with their times.
inline int RunBenchmarksWithFigures(int argc, char** argv,
                                    const std::function<void(const BenchTimes&)>& figures) {
    benchmark::Initialize(&argc, argv);
    BenchTimes times;
    FigureReporter reporter(times);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    figures(times);
    return 0;
}
