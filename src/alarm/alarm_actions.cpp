#include "alarm/alarm_actions.h"

#include "common/program_dir.h"
#include "common/text.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/sound.h>
#include <wx/thread.h>
#include <wx/utils.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
// ---------------------------------------------------------------------------
// Sound

uint32_t Le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t Le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// True when the file is a RIFF/WAVE file with a usable "fmt " chunk and a
// "data" chunk. Reads only the chunk headers.
bool IsWavFile(const wxString& path)
{
    std::ifstream in(path.utf8_str().data(), std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    unsigned char riff[12];
    if (size < 12 || !in.read(reinterpret_cast<char*>(riff), sizeof riff))
        return false;
    if (std::string(reinterpret_cast<char*>(riff), 4) != "RIFF" ||
        std::string(reinterpret_cast<char*>(riff) + 8, 4) != "WAVE")
        return false;

    bool format = false;
    std::streamoff at = 12;
    for (int chunks = 0; chunks < 64 && at + 8 <= size; ++chunks)
    {
        unsigned char head[8];
        in.seekg(at);
        if (!in.read(reinterpret_cast<char*>(head), sizeof head))
            return false;
        const std::string id(reinterpret_cast<char*>(head), 4);
        const uint32_t length = Le32(head + 4);
        if (id == "fmt ")
        {
            unsigned char fmt[16];
            if (length < sizeof fmt || !in.read(reinterpret_cast<char*>(fmt), sizeof fmt))
                return false;
            const uint16_t tag = Le16(fmt);
            const uint16_t channels = Le16(fmt + 2);
            const uint32_t rate = Le32(fmt + 4);
            const uint16_t bits = Le16(fmt + 14);
            format = tag != 0 && channels > 0 && rate > 0 && bits > 0;
            if (!format)
                return false;
        }
        else if (id == "data")
        {
            return format && length > 0;
        }
        at += 8 + static_cast<std::streamoff>(length) + (length & 1);
    }
    return false;
}

bool IsExecutable(const std::string& path)
{
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

std::string FindInPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size())
    {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (IsExecutable(candidate))
            return candidate;
        start = end + 1;
    }
    return std::string();
}

// The command that plays a file through the desktop's sound server; empty
// when none is installed. CORVANE_SOUND_PLAYER, when set, names the program
// instead (a feature, see README: it is called with the file as its only
// argument). The file never begins with "-", and the players are told where
// their options end.
std::vector<std::string> PlayerCommand(const std::string& file)
{
    const char* chosen = std::getenv("CORVANE_SOUND_PLAYER");
    if (chosen && *chosen)
        return {chosen, file};
    for (const char* player : {"paplay", "pw-play"})
    {
        const std::string found = FindInPath(player);
        if (!found.empty())
            return {found, "--", file};
    }
    const std::string aplay = FindInPath("aplay");
    if (!aplay.empty())
        return {aplay, "-q", "--", file};
    return {};
}

// Players whose reaping thread could not be started; reaped without waiting
// at the next sound.
std::mutex g_unreapedMutex;
std::vector<pid_t> g_unreaped;

void ReapLeftovers()
{
    std::lock_guard<std::mutex> lock(g_unreapedMutex);
    for (auto it = g_unreaped.begin(); it != g_unreaped.end();)
    {
        int status = 0;
        if (::waitpid(*it, &status, WNOHANG) != 0)
            it = g_unreaped.erase(it);
        else
            ++it;
    }
}

// Starts a program without waiting for it; safe on any thread (no fork of a
// threaded process, no wx process machinery). A small thread reaps it.
bool SpawnDetached(const std::vector<std::string>& args)
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

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    ReapLeftovers();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    try
    {
        std::thread(
            [pid]
            {
                int status = 0;
                while (::waitpid(pid, &status, 0) == -1 && errno == EINTR)
                {
                }
            })
            .detach();
    }
    catch (const std::system_error& e)
    {
        // Out of threads: the sound plays all the same; its end is collected
        // later instead of leaving a zombie.
        wxLogWarning("Alarm sound: cannot start a thread to wait for the player: %s", e.what());
        std::lock_guard<std::mutex> lock(g_unreapedMutex);
        g_unreaped.push_back(pid);
    }
    return true;
}

// No sound server: let the toolkit try (GUI thread; it logs nothing here).
void PlayWithToolkit(const wxString& path)
{
    wxLogNull quiet;
    wxSound sound;
    if (sound.Create(path))
        sound.Play(wxSOUND_ASYNC);
}

} // namespace

bool PlayAlarmSound(const wxString& soundFile)
{
    const wxString path =
        soundFile.empty()
            ? ProgramFile(wxString("resources") + wxFileName::GetPathSeparator() + "Alert.wav")
            : soundFile;
    if (!IsWavFile(path))
        return true;
    std::string file = ToUtf8(path);
    if (file[0] == '-')
        file = "./" + file; // never taken for an option
    const std::vector<std::string> command = PlayerCommand(file);
    if (!command.empty())
    {
        SpawnDetached(command);
        return true;
    }
    if (wxIsMainThread())
        PlayWithToolkit(path);
    else if (wxAppConsole* app = wxAppConsole::GetInstance())
        app->CallAfter([path = ToUtf8(path)] { PlayWithToolkit(wxString::FromUTF8(path)); });
    return true;
}

int SendAlarmSms(const wxString&)
{
    return 1;
}

