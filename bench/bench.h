#pragma once

#include "common/prompt.h"

#include <wx/string.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// A benchmark section prints figures as `name value unit`, one per line.
struct BenchSection
{
    std::string name;
    bool needsGui;
    // Figures of the whole process (resident memory): when several sections
    // run, this one gets a fresh process of its own.
    bool ownProcess;
    std::function<void()> run;
};

std::vector<BenchSection>& BenchSections();

struct BenchRegistrar
{
    BenchRegistrar(const char* name, bool needsGui, bool ownProcess, std::function<void()> run)
    {
        BenchSections().push_back({name, needsGui, ownProcess, std::move(run)});
    }
};

#define CORVANE_BENCH_SECTION_EX(ident, needsGui, ownProcess)                                      \
    static void ident();                                                                           \
    static BenchRegistrar ident##_registrar(#ident, needsGui, ownProcess, ident);                  \
    static void ident()

#define CORVANE_BENCH_SECTION(ident, needsGui) CORVANE_BENCH_SECTION_EX(ident, needsGui, false)
// A GUI section that measures the process as a whole.
#define CORVANE_BENCH_PROCESS_SECTION(ident) CORVANE_BENCH_SECTION_EX(ident, true, true)

inline void PrintFigure(const char* name, double value, const char* unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

// A section that cannot take its figures says why on standard error and
// prints its main figure as -1, so a reader of the output sees the gap.
void BenchFailed(const char* figure, const char* unit, const std::string& why);
bool BenchHadFailure();

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

// Milliseconds since start.
inline double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Processor time of the calling thread in milliseconds: what other processes
// on a busy machine and waits for the disk do not stretch.
inline double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The middle value of a set of timings (the mean of the two middle ones for
// an even count); 0 for none.
double Median(std::vector<double> values);

// Resident set size of this process in MiB: now, and the highest so far.
double ResidentMiB();
double PeakResidentMiB();
// Bytes the heap has handed out and not had back, in KiB. Unlike the resident
// size it drops when memory is freed, whether or not the allocator returns
// the pages to the system (panels ask it to keep them).
double HeapInUseKiB();

// Runs the GUI event loop (socket notifications, timers, CallAfter) until
// done() is true or timeoutMs has passed; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// A scratch program directory named by CORVANE_HOME and made the current
// directory (for CorvaneLog.txt) while the object lives; removed after.
// Message boxes (the notices about new database files) are answered OK
// without a dialog.
class ScratchHome
{
public:
    ScratchHome();
    ~ScratchHome();
    ScratchHome(const ScratchHome&) = delete;
    ScratchHome& operator=(const ScratchHome&) = delete;

    wxString File(const wxString& name) const { return m_dir + "/" + name; }

private:
    wxString m_dir;
    wxString m_cwd;
    MessageHandler m_previous;
};
