#include "support/smtp_peer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Starts argv without a shell, its output discarded; -1 on failure.
pid_t Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int WaitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
    {
    }
    return status;
}
} // namespace

std::string TestSourceDir()
{
    if (const char* dir = std::getenv("CORVANE_SOURCE_DIR"))
        return dir;
    return CORVANE_TEST_SOURCE_DIR;
}

TestCertificate MakeTestCertificate(const std::string& dir, const std::string& stem,
                                    const std::string& names)
{
    TestCertificate made{dir + "/" + stem + ".pem", dir + "/" + stem + ".key"};
    const pid_t pid =
        Spawn({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
               "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
               "/CN=" + stem, "-addext", "subjectAltName=" + names, "-keyout", made.key, "-out",
               made.cert});
    if (pid < 0 || WaitFor(pid) != 0 || !Exists(made.cert))
        return TestCertificate();
    return made;
}

AiosmtpdPeer::AiosmtpdPeer(const std::string& outDir, const Options& options) : m_outDir(outDir)
{
    std::vector<std::string> args{"/usr/bin/python3", TestSourceDir() + "/tests/alarm/smtp_sink.py",
                                  outDir};
    if (!options.tls.cert.empty())
        args.insert(args.end(), {"--tls", options.tls.cert, options.tls.key});
    if (!options.login.empty())
        args.insert(args.end(), {"--login", options.login});
    if (options.bare)
        args.push_back("--bare");
    m_pid = Spawn(args);
}

AiosmtpdPeer::~AiosmtpdPeer()
{
    if (m_pid > 0)
    {
        ::kill(m_pid, SIGTERM);
        WaitFor(m_pid);
    }
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

TlsSmtpPeer::TlsSmtpPeer(bool bare)
{
    char dir[] = "/tmp/corvane-smtp-XXXXXX";
    if (!::mkdtemp(dir))
        return;
    m_dir = dir;
    m_cert = MakeTestCertificate(m_dir, "localhost", "DNS:localhost");
    m_peer = new AiosmtpdPeer(m_dir, {m_cert, std::string(kUser) + ":" + kPassword, bare});
    m_ready = !m_cert.cert.empty() && m_peer->WaitReady();
}

TlsSmtpPeer::~TlsSmtpPeer()
{
    delete m_peer;
    if (!m_dir.empty())
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}
