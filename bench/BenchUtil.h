#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// A process's resident memory in KiB (from /proc), -1 when it is gone.
inline long residentKb(int pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Median wall time in milliseconds of reps runs (after one warm-up run).
inline double medianMs(int reps, const std::function<void()>& fn)
{
    fn();
    std::vector<double> t;
    for (int i = 0; i < reps; ++i) {
        const auto a = std::chrono::steady_clock::now();
        fn();
        const auto b = std::chrono::steady_clock::now();
        t.push_back(std::chrono::duration<double, std::milli>(b - a).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

struct Row {
    std::string measure;
    double figure;
    std::string unit;
    std::string baselineName;
    double baseline;
    double goalRatio;  // ratio must be <= goal (0: report only)
    bool lowerIsBetter = true;
    double goalAbs = 0; // the figure itself must be <= this (0: none)
};

inline bool met(const Row& r)
{
    const double ratio = r.baseline > 0 ? r.figure / r.baseline : 0;
    return (r.goalRatio <= 0 || ratio <= r.goalRatio) && (r.goalAbs <= 0 || r.figure <= r.goalAbs);
}

inline std::string goalText(const Row& r)
{
    char buf[64] = "-";
    if (r.goalRatio > 0)
        std::snprintf(buf, sizeof buf, "<=%.2gx", r.goalRatio);
    else if (r.goalAbs > 0)
        std::snprintf(buf, sizeof buf, "<=%g %s", r.goalAbs, r.unit.c_str());
    return buf;
}

// With PED_BENCH_TSV set, every figure is also appended to that file for
// the one table of the benchmark command.
inline FILE* tsv()
{
    static FILE* f = [] {
        const char* path = std::getenv("PED_BENCH_TSV");
        return path && *path ? std::fopen(path, "a") : nullptr;
    }();
    return f;
}

// One point of a cost curve: a series' figure at a database size.
inline void curvePoint(const std::string& series, long long orders, double value, const std::string& unit)
{
    std::printf("curve %-44s %9lld orders %12.2f %s\n", series.c_str(), orders, value, unit.c_str());
    if (FILE* f = tsv()) {
        std::fprintf(f, "curve\t%s\t%lld\t%.6f\t%s\n", series.c_str(), orders, value, unit.c_str());
        std::fflush(f);
    }
}

inline void printTable(const std::vector<Row>& rows)
{
    if (FILE* f = tsv()) {
        for (const Row& r : rows)
            std::fprintf(f, "row\t%s\t%.6f\t%s\t%s\t%.6f\t%.3f\t%.3f\n", r.measure.c_str(), r.figure, r.unit.c_str(),
                         r.baselineName.c_str(), r.baseline, r.goalRatio, r.goalAbs);
        std::fflush(f);
    }
    std::printf("%-70s %12s %-34s %12s %8s %10s %s\n", "measure", "figure", "baseline", "baseline", "ratio", "goal", "result");
    for (const Row& r : rows) {
        const double ratio = r.baseline > 0 ? r.figure / r.baseline : 0;
        const bool hasGoal = r.goalRatio > 0 || r.goalAbs > 0;
        std::printf("%-70s %9.2f %-2s %-34s %9.2f %-2s %8.2f %10s %s\n", r.measure.c_str(), r.figure, r.unit.c_str(),
                    r.baselineName.c_str(), r.baseline, r.unit.c_str(), ratio, goalText(r).c_str(),
                    hasGoal ? (met(r) ? "met" : "MISSED") : "report");
    }
}

} // namespace bench
