#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Command line of corvane-agent.
struct AgentOptions
{
    std::string listenHost = "127.0.0.1";
    int listenPort = -1; // 0: a free port, printed alone on the first line of output
    // Scheme, host and port of the admin server ("https://admin.example:7002");
    // empty: the admin address and port of the console's request document.
    std::string adminUrl;
    std::string caFile;        // extra CA bundle for the admin server's certificate
    bool insecureHttp = false; // allow plain http (the password then crosses in clear)
    int timeoutMs = 10000;     // one REST request
    int budgetMs = 25000;      // one whole answer to the console, inside its 30 s
    std::string dumpDir = ".";
    int dumpGapMs = 1000; // between two dumps of one server
    std::size_t maxAnswerBytes = 32u << 20;
    int maxConnections = 8; // to the admin server, per console
    bool help = false;
};

// Parses argv[1..]; false with a message in error on a bad command line.
bool ParseAgentOptions(const std::vector<std::string>& args, AgentOptions& options,
                       std::string& error);

std::string AgentUsage();
