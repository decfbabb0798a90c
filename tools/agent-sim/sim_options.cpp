#include "sim_options.h"

#include <cerrno>
#include <cstdlib>

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
            {
                out = value;
                return true;
            }
            if (i + 1 >= args.size())
            {
                error = flag + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](long long low, long long high, long long& out) -> bool
        {
            std::string text;
            if (!next(text))
                return false;
            if (!ToNumber(text, low, high, out))
            {
                error = flag + ": not a number in " + std::to_string(low) + ".." +
                        std::to_string(high) + ": " + text;
                return false;
            }
            return true;
        };
        long long n = 0;

        if (flag == "--help" || flag == "-h")
            o.help = true;
        else if (flag == "--verbose")
            o.verbose = true;
        else if (flag == "--tuxedo")
        {
            o.mode = SimOptions::Mode::Tuxedo;
            o.modeGiven = true;
            ++modes;
        }
        else if (flag == "--weblogic")
        {
            o.mode = SimOptions::Mode::WebLogic;
            o.modeGiven = true;
            ++modes;
        }
        else if (flag == "--script")
        {
            if (!next(o.scriptDir))
                return false;
        }
        else if (flag == "--script-loop")
            o.scriptLoop = true;
        else if (flag == "--host")
        {
            if (!next(o.host))
                return false;
        }
        else if (flag == "--port")
        {
            if (!number(0, 65535, n))
                return false;
            o.port = static_cast<int>(n);
        }
        else if (flag == "--seed")
        {
            if (!number(0, 0x7fffffffffffffffLL, n))
                return false;
            o.seed = static_cast<std::uint64_t>(n);
        }
        else if (flag == "--servers")
        {
            if (!number(0, 100000, n))
                return false;
            o.servers = static_cast<int>(n);
        }
        else if (flag == "--queues")
        {
            if (!number(0, 100000, n))
                return false;
            o.queues = static_cast<int>(n);
        }
        else if (flag == "--clients")
        {
            if (!number(0, 1000000, n))
                return false;
            o.clients = static_cast<int>(n);
        }
        else if (flag == "--pools")
        {
            if (!number(0, 1000, n))
                return false;
            o.pools = static_cast<int>(n);
        }
        else if (flag == "--version")
        {
            if (!number(8, 10, n))
                return false;
            o.wlsVersion = static_cast<int>(n);
        }
        else if (flag == "--epoch")
        {
            if (!number(0, 4102444800LL, n))
                return false;
            o.epoch = n;
        }
        else if (flag == "--step")
        {
            if (!number(1, 86400, n))
                return false;
            o.stepSeconds = static_cast<int>(n);
        }
        else if (flag == "--bad-handshake")
            o.badHandshake = true;
        else if (flag == "--no-handshake")
            o.noHandshake = true;
        else if (flag == "--close-mid-reply")
            o.closeMidReply = true;
        else if (flag == "--trickle")
        {
            if (!number(0, 60000, n))
                return false;
            o.trickleMs = static_cast<int>(n);
        }
        else if (flag == "--bad-length")
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
        }
        else if (flag == "--slow")
        {
            if (!number(0, 600000, n))
                return false;
            o.slowMs = static_cast<int>(n);
        }
        else if (flag == "--error")
        {
            if (!next(o.errorText))
                return false;
        }
        else if (flag == "--close-after")
        {
            if (!number(0, 1000000000, n))
                return false;
            o.closeAfterPolls = static_cast<int>(n);
        }
        else if (flag == "--fault-after")
        {
            if (!number(0, 1000000000, n))
                return false;
            o.faultAfter = static_cast<int>(n);
        }
        else
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
