#include "support/smtp_peer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace
{
std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}
} // namespace

std::string TestSourceDir()
{
    if (const char* dir = std::getenv("CORVANE_SOURCE_DIR"))
        return dir;
    return CORVANE_TEST_SOURCE_DIR;
}

AiosmtpdPeer::AiosmtpdPeer(const std::string& outDir, bool tls, bool bare) : m_outDir(outDir)
{
    if (m_outDir.empty())
    {
        char dir[] = "/tmp/corvane-smtp-XXXXXX";
        if (!::mkdtemp(dir))
            return;
        m_outDir = dir;
        m_ownDir = true;
    }
    std::vector<std::string> args{"/usr/bin/python3", TestSourceDir() + "/tests/alarm/smtp_sink.py",
                                  m_outDir};
    if (tls)
    {
        const std::string key = m_outDir + "/localhost.key";
        m_caFile = m_outDir + "/localhost.pem";
        const std::string made = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                                 "-nodes -days 2 -subj /CN=localhost -addext "
                                 "subjectAltName=DNS:localhost -keyout '" +
                                 key + "' -out '" + m_caFile + "' >/dev/null 2>&1";
        if (std::system(made.c_str()) != 0)
            return;
        args.insert(args.end(), {"--tls", m_caFile, key, "--login",
                                 std::string(kUser) + ":" + kPassword});
    }
    if (bare)
        args.push_back("--bare");

    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet; // aiosmtpd's warnings would clutter the test output
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&m_pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&quiet);
}

AiosmtpdPeer::~AiosmtpdPeer()
{
    if (m_pid > 0)
    {
        ::kill(m_pid, SIGTERM);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR)
        {
        }
    }
    std::error_code ignored;
    if (m_ownDir)
        std::filesystem::remove_all(m_outDir, ignored);
}

bool AiosmtpdPeer::WaitReady(int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pid > 0 && !Exists(m_outDir + "/ports"))
    {
        if (std::chrono::steady_clock::now() > end || ::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_pid > 0;
}

unsigned short AiosmtpdPeer::Port(const std::string& server) const
{
    std::istringstream lines(ReadWhole(m_outDir + "/ports"));
    std::string name;
    int port = 0;
    while (lines >> name >> port)
    {
        if (name == server)
            return static_cast<unsigned short>(port);
    }
    return 0;
}

int AiosmtpdPeer::Delivered() const
{
    int n = 0;
    while (Exists(m_outDir + "/mail" + std::to_string(n + 1) + "/done"))
        ++n;
    return n;
}

std::string AiosmtpdPeer::Part(int n, const std::string& name) const
{
    return ReadWhole(m_outDir + "/mail" + std::to_string(n) + "/" + name);
}
