#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// A benchmark section prints figures as `name value unit`, one per line.
struct BenchSection
{
    std::string name;
    bool needsGui;
    std::function<void()> run;
};

std::vector<BenchSection>& BenchSections();

struct BenchRegistrar
{
    BenchRegistrar(const char* name, bool needsGui, std::function<void()> run)
    {
        BenchSections().push_back({name, needsGui, std::move(run)});
    }
};

#define CORVANE_BENCH_SECTION(ident, needsGui)                                                     \
    static void ident();                                                                           \
    static BenchRegistrar ident##_registrar(#ident, needsGui, ident);                              \
    static void ident()

inline void PrintFigure(const char* name, double value, const char* unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

// Wall time of fn in milliseconds, best of `repeat` runs.
inline double BestMs(int repeat, const std::function<void()>& fn)
{
    double best = 1e300;
    for (int i = 0; i < repeat; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        fn();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best)
            best = took.count();
    }
    return best;
}

// Resident set size of this process in MiB.
double ResidentMiB();
