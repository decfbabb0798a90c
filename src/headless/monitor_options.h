#pragma once

#include <string>
#include <vector>

// The command line of corvane-monitor.
struct MonitorOptions
{
    std::string home;               // empty: the program directory
    std::vector<std::string> sites; // empty: every site of the site list
    std::string listen;             // empty: no metrics endpoint
    int intervalSeconds = 60;
    bool record = false;
    bool sound = false;
    bool help = false;
};

// Parses argv[1..]; false with a message in error on a bad command line.
bool ParseMonitorOptions(const std::vector<std::string>& args, MonitorOptions& options, std::string& error);

std::string MonitorUsage();

// How long a site whose agent cannot be reached waits before the next try
// after failures failed attempts in a row (1 for the first): the interval,
// doubled per further failure, capped at the larger of the interval and five
// minutes.
int RetryDelaySeconds(int intervalSeconds, int failures);
