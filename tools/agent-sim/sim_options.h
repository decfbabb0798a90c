#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Command line of corvane-agent-sim.
struct SimOptions
{
    enum class Mode
    {
        Tuxedo,
        WebLogic,
    };
    enum class BadLength
    {
        None,
        NonNumeric, // "abcdefghi"
        Negative,   // "       -1"
        Huge,       // "999999999" followed by the real body
    };

    std::string host = "127.0.0.1";
    int port = 0; // 0: a free port, printed on the first line of output
    // A WebLogic agent reads a request document behind every '^'; otherwise
    // (Tuxedo, or a script without --weblogic) the agent finds out from the
    // wire whether one follows.
    Mode mode = Mode::Tuxedo;

    // Synthetic domains
    std::uint64_t seed = 1;
    int servers = -1; // -1: the mode's default
    int queues = 12;
    int clients = 40;
    int pools = 2;        // JDBC pools per WebLogic server
    int wlsVersion = 10;  // 8, 9 or 10
    long long epoch = -1; // >= 0: a synthetic clock starting here, moved on by stepSeconds per poll
    int stepSeconds = 30;

    // Scenario
    std::string scriptDir; // not empty: scenario mode
    bool scriptLoop = false;
    bool Scripted() const { return !scriptDir.empty(); }

    // Faults
    bool badHandshake = false;
    bool noHandshake = false;
    bool closeMidReply = false;
    int trickleMs = -1; // >= 0: replies in small pieces with this pause between them
    BadLength badLength = BadLength::None;
    int slowMs = 0;
    std::string errorText;
    int closeAfterPolls = -1; // >= 0: the connection is closed after answering that many polls
    int faultAfter = 0;       // replies answered cleanly before the reply faults begin

    bool verbose = false;
    bool help = false;

    int Servers() const;
};

// Parses argv[1..]; false with a message in error on a bad command line.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

std::string SimUsage();
