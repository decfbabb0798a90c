#include "sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <utility>

namespace
{
bool ToNumber(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high)
        return false;
    value = v;
    return true;
}
} // namespace

int SimOptions::Servers() const
{
    if (servers >= 0)
        return servers;
    return mode == Mode::WebLogic ? 4 : 24;
}

std::string SimUsage()
{
    return R"(corvane-agent-sim: a stand-in Tuxedo or WebLogic agent for Corvane.

Usage: corvane-agent-sim [mode] [options]

Mode (one of):
  --tuxedo               a synthetic Tuxedo domain (the default)
  --weblogic             a synthetic WebLogic domain
  --script DIR           serve the files of DIR in name order, one per '^', ']' or 'a'
                         (after the last file the last one is served again)

Listening:
  --host ADDR            address to listen on (default 127.0.0.1)
  --port N               port to listen on; 0 picks a free one (default 0). The
                         port is printed alone on the first line of output.

Domain:
  --seed N               seed of the domain's moves; a seed gives the same
                         sequence of reports on every connection (default 1)
  --servers N            Tuxedo servers (default 24) or WebLogic servers (default 4)
  --queues N             Tuxedo queues (default 12)
  --clients N            Tuxedo clients (default 40)
  --pools N              JDBC pools per WebLogic server (default 2)
  --version 8|9|10       WebLogic version (default 10)
  --epoch SECONDS        use a synthetic clock starting at this Unix time,
                         moved on by --step seconds per poll (default: real time)
  --step SECONDS         seconds per poll of the synthetic clock (default 30)

Script:
  --script-loop          start over after the last file instead

Faults (the reply faults start after --fault-after N clean replies):
  --bad-handshake        answer the handshake with a wrong byte
  --no-handshake         never answer the handshake
  --close-mid-reply      close the connection in the middle of a reply
  --trickle MS           send length field and body in small pieces, MS ms apart
  --bad-length KIND      send a broken length field: nonnumeric, negative or huge
  --slow MS              wait MS ms before each reply
  --error TEXT           carry an ERROR element with this Reason (Tuxedo) or
                         this errMsg in SYSTEM (WebLogic)
  --close-after N        close the connection after answering N polls
  --fault-after N        replies answered cleanly before the faults begin (default 0)

Other:
  --verbose              log every command to standard error
  --help                 this text
)";
}

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& o, std::string& error)
{
    struct NumberFlag
    {
        const char* flag;
        long long low;
        long long high;
        std::function<void(long long)> set;
    };
    const NumberFlag numbers[] = {
        {"--port", 0, 65535, [&](long long v) { o.port = static_cast<int>(v); }},
        {"--seed", 0, 0x7fffffffffffffffLL, [&](long long v) { o.seed = static_cast<std::uint64_t>(v); }},
        {"--servers", 0, 100000, [&](long long v) { o.servers = static_cast<int>(v); }},
        {"--queues", 0, 100000, [&](long long v) { o.queues = static_cast<int>(v); }},
        {"--clients", 0, 1000000, [&](long long v) { o.clients = static_cast<int>(v); }},
        {"--pools", 0, 1000, [&](long long v) { o.pools = static_cast<int>(v); }},
        {"--version", 8, 10, [&](long long v) { o.wlsVersion = static_cast<int>(v); }},
        {"--epoch", 0, 4102444800LL, [&](long long v) { o.epoch = v; }},
        {"--step", 1, 86400, [&](long long v) { o.stepSeconds = static_cast<int>(v); }},
        {"--trickle", 0, 60000, [&](long long v) { o.trickleMs = static_cast<int>(v); }},
        {"--slow", 0, 600000, [&](long long v) { o.slowMs = static_cast<int>(v); }},
        {"--close-after", 0, 1000000000, [&](long long v) { o.closeAfterPolls = static_cast<int>(v); }},
        {"--fault-after", 0, 1000000000, [&](long long v) { o.faultAfter = static_cast<int>(v); }},
    };
    const std::pair<const char*, std::string*> texts[] = {
        {"--host", &o.host}, {"--script", &o.scriptDir}, {"--error", &o.errorText}};
    const std::pair<const char*, bool*> switches[] = {
        {"--help", &o.help},
        {"-h", &o.help},
        {"--verbose", &o.verbose},
        {"--script-loop", &o.scriptLoop},
        {"--bad-handshake", &o.badHandshake},
        {"--no-handshake", &o.noHandshake},
        {"--close-mid-reply", &o.closeMidReply},
    };

    int modes = 0;
    for (size_t i = 0; i < args.size(); ++i)
    {
        std::string flag = args[i];
        std::string value;
        bool hasInlineValue = false;
        const size_t eq = flag.find('=');
        if (flag.rfind("--", 0) == 0 && eq != std::string::npos)
        {
            value = flag.substr(eq + 1);
            flag = flag.substr(0, eq);
            hasInlineValue = true;
        }
        auto next = [&](std::string& out) -> bool
        {
            if (hasInlineValue)
                out = value;
            else if (i + 1 < args.size())
                out = args[++i];
            else
            {
                error = flag + " needs a value";
                return false;
            }
            return true;
        };
        auto is = [&](const char* name) { return flag == name; };

        bool known = false;
        for (const auto& n : numbers)
        {
            if (!is(n.flag))
                continue;
            std::string text;
            long long v = 0;
            if (!next(text))
                return false;
            if (!ToNumber(text, n.low, n.high, v))
            {
                error = flag + ": not a number in " + std::to_string(n.low) + ".." +
                        std::to_string(n.high) + ": " + text;
                return false;
            }
            n.set(v);
            known = true;
        }
        for (const auto& t : texts)
        {
            if (is(t.first))
            {
                if (!next(*t.second))
                    return false;
                known = true;
            }
        }
        for (const auto& b : switches)
        {
            if (is(b.first))
            {
                *b.second = true;
                known = true;
            }
        }
        if (is("--tuxedo") || is("--weblogic"))
        {
            o.mode = is("--tuxedo") ? SimOptions::Mode::Tuxedo : SimOptions::Mode::WebLogic;
            ++modes;
            known = true;
        }
        if (is("--bad-length"))
        {
            std::string kind;
            if (!next(kind))
                return false;
            if (kind == "nonnumeric")
                o.badLength = SimOptions::BadLength::NonNumeric;
            else if (kind == "negative")
                o.badLength = SimOptions::BadLength::Negative;
            else if (kind == "huge")
                o.badLength = SimOptions::BadLength::Huge;
            else
            {
                error = "--bad-length: nonnumeric, negative or huge, not " + kind;
                return false;
            }
            known = true;
        }
        if (!known)
        {
            error = "unknown option: " + args[i];
            return false;
        }
    }
    if (modes > 1)
    {
        error = "give only one of --tuxedo and --weblogic";
        return false;
    }
    if (o.badHandshake && o.noHandshake)
    {
        error = "--bad-handshake and --no-handshake exclude each other";
        return false;
    }
    return true;
}
