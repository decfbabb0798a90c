#include "common/scan_runner.h"

#include <gtest/gtest.h>

#include <wx/utils.h>

#include <atomic>

namespace
{
class GateThread : public wxThread
{
public:
    GateThread(std::atomic<bool>& gate, std::atomic<int>& runs)
        : wxThread(wxTHREAD_JOINABLE), m_gate(gate), m_runs(runs)
    {
    }
    ExitCode Entry() override
    {
        ++m_runs;
        while (!m_gate)
            wxMilliSleep(1);
        return nullptr;
    }

private:
    std::atomic<bool>& m_gate;
    std::atomic<int>& m_runs;
};
} // namespace

TEST(ScanRunner, SkipsATickWhileAScanRuns)
{
    std::atomic<bool> gate{false};
    std::atomic<int> runs{0};
    ScanRunner runner;
    EXPECT_TRUE(runner.Run(std::make_unique<GateThread>(gate, runs)));
    EXPECT_TRUE(runner.IsRunning());
    EXPECT_FALSE(runner.Run(std::make_unique<GateThread>(gate, runs)));
    gate = true;
    runner.Wait();
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_TRUE(runner.Run(std::make_unique<GateThread>(gate, runs)));
    runner.Wait();
    EXPECT_EQ(runs, 2);
}
