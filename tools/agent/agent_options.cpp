#include "agent_options.h"

#include <cerrno>
#include <cstdlib>

namespace
{
bool ToNumber(const std::string& text, long long low, long long high, long long& value)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || *end != '\0' || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool StartsWith(const std::string& text, const char* head)
{
    return text.rfind(head, 0) == 0;
}
} // namespace

std::string AgentUsage()
{
    return R"(corvane-agent: the Corvane agent for WebLogic Server 12.2.1 and later, over
the admin server's RESTful management services.

Usage: corvane-agent --weblogic --listen ADDR:PORT [options]

  --weblogic             serve WebLogic sites (the only kind this agent serves)
  --listen ADDR:PORT     where consoles connect; port 0 picks a free one and
                         prints it alone on the first line of output
  --admin URL            the admin server, as https://host:port (default: the
                         admin address and port the console sends)
  --ca FILE              trust the CA certificates in FILE for the admin server
                         (verification stays on; the system's CAs are used without it)
  --insecure-http        allow plain http to the admin server: the password then
                         crosses the network in clear
  --timeout SECONDS      time-out of one REST request (default 10)
  --dump-dir DIR         where thread dumps are written (default: the current directory)
  --dump-gap-ms MS       pause between two dumps of one server (default 1000)
  --max-answer-mib N     largest REST answer taken (default 32)
  --help                 this text

The principal and password come from the console's request document; they are
never logged and never passed on a command line. Logs go to standard error.
)";
}

bool ParseAgentOptions(const std::vector<std::string>& args, AgentOptions& options,
                       std::string& error)
{
    bool weblogic = false;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        auto value = [&](std::string& out)
        {
            if (i + 1 >= args.size())
            {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](long long low, long long high, long long& out)
        {
            std::string text;
            if (!value(text))
                return false;
            if (!ToNumber(text, low, high, out))
            {
                error = a + " takes a number from " + std::to_string(low) + " to " +
                        std::to_string(high);
                return false;
            }
            return true;
        };
        long long n = 0;
        if (a == "--help" || a == "-h")
            options.help = true;
        else if (a == "--weblogic")
            weblogic = true;
        else if (a == "--insecure-http")
            options.insecureHttp = true;
        else if (a == "--listen")
        {
            std::string text;
            if (!value(text))
                return false;
            const std::size_t colon = text.rfind(':');
            if (colon == std::string::npos || colon == 0 ||
                !ToNumber(text.substr(colon + 1), 0, 65535, n))
            {
                error = "--listen takes ADDR:PORT";
                return false;
            }
            options.listenHost = text.substr(0, colon);
            options.listenPort = static_cast<int>(n);
        }
        else if (a == "--admin")
        {
            if (!value(options.adminUrl))
                return false;
            while (!options.adminUrl.empty() && options.adminUrl.back() == '/')
                options.adminUrl.pop_back();
            if (!StartsWith(options.adminUrl, "https://") && !StartsWith(options.adminUrl, "http://"))
            {
                error = "--admin takes https://host:port";
                return false;
            }
        }
        else if (a == "--ca")
        {
            if (!value(options.caFile))
                return false;
        }
        else if (a == "--timeout")
        {
            if (!number(1, 25, n))
                return false;
            options.timeoutMs = static_cast<int>(n * 1000);
        }
        else if (a == "--timeout-ms") // tests
        {
            if (!number(100, 25000, n))
                return false;
            options.timeoutMs = static_cast<int>(n);
        }
        else if (a == "--dump-dir")
        {
            if (!value(options.dumpDir))
                return false;
        }
        else if (a == "--dump-gap-ms")
        {
            if (!number(0, 5000, n))
                return false;
            options.dumpGapMs = static_cast<int>(n);
        }
        else if (a == "--max-answer-mib")
        {
            if (!number(1, 1024, n))
                return false;
            options.maxAnswerBytes = static_cast<std::size_t>(n) << 20;
        }
        else if (a == "--max-answer-bytes") // tests
        {
            if (!number(1024, 1LL << 30, n))
                return false;
            options.maxAnswerBytes = static_cast<std::size_t>(n);
        }
        else
        {
            error = "unknown argument " + a;
            return false;
        }
    }
    if (options.help)
        return true;
    if (!weblogic)
    {
        error = "say --weblogic: this agent serves WebLogic sites only";
        return false;
    }
    if (options.listenPort < 0)
    {
        error = "--listen ADDR:PORT is required";
        return false;
    }
    if (StartsWith(options.adminUrl, "http://") && !options.insecureHttp)
    {
        error = "--admin " + options.adminUrl +
                " is plain http: add --insecure-http to send the password in clear";
        return false;
    }
    return true;
}
