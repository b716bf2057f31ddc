#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

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
};

inline void printTable(const std::vector<Row>& rows)
{
    std::printf("%-58s %12s %-30s %12s %8s %8s %s\n", "measure", "figure", "baseline", "baseline", "ratio", "goal", "result");
    for (const Row& r : rows) {
        const double ratio = r.baseline > 0 ? r.figure / r.baseline : 0;
        const bool met = r.goalRatio <= 0 || ratio <= r.goalRatio;
        std::printf("%-58s %9.2f %-2s %-30s %9.2f %-2s %8.2f %8s %s\n", r.measure.c_str(), r.figure, r.unit.c_str(),
                    r.baselineName.c_str(), r.baseline, r.unit.c_str(), ratio,
                    r.goalRatio > 0 ? ("<=" + std::to_string(r.goalRatio).substr(0, 4)).c_str() : "-",
                    r.goalRatio > 0 ? (met ? "met" : "MISSED") : "report");
    }
}

} // namespace bench
