#include "alarm/alarm_actions.h"

#include "common/program_dir.h"
#include "common/text.h"
#include "smtp/mail_message.h"
#include "smtp/smtp_client.h"

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
#include <map>
#include <memory>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
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
// when none is installed. CORVANE_SOUND_PLAYER names a replacement command.
std::vector<std::string> PlayerCommand(const std::string& file)
{
    const char* chosen = std::getenv("CORVANE_SOUND_PLAYER");
    if (chosen && *chosen)
        return {chosen, file};
    for (const char* player : {"paplay", "pw-play"})
    {
        const std::string found = FindInPath(player);
        if (!found.empty())
            return {found, file};
    }
    const std::string aplay = FindInPath("aplay");
    if (!aplay.empty())
        return {aplay, "-q", file};
    return {};
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

    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    std::thread(
        [pid]
        {
            int status = 0;
            while (::waitpid(pid, &status, 0) == -1 && errno == EINTR)
            {
            }
        })
        .detach();
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

// ---------------------------------------------------------------------------
// Mail

const char kAlarmSender[] = "corvane-alarm@localhost";
const char kAlarmSubject[] = "Bug report";
const char kAlarmBody[] = "Your code really sucks.\nFix your code";
constexpr unsigned short kDefaultSmtpPort = 25;

struct AlarmMailJob
{
    std::string host;
    unsigned short port = kDefaultSmtpPort;
    std::string mailTo;
    std::string alarmText;
};

// One alarm mail in its dialogue. The client goes before the message it
// points at.
struct PendingMail
{
    std::unique_ptr<MailMessage> message;
    std::unique_ptr<wxSMTP> client;
};

// GUI thread only.
std::map<unsigned long, PendingMail>& PendingMails()
{
    static std::map<unsigned long, PendingMail> mails;
    return mails;
}

unsigned long g_nextMailId = 0; // GUI thread only

// "host" or "host:port"; a suffix that is not a port number stays part of
// the host name.
void SplitServer(const wxString& server, wxString& host, unsigned short& port)
{
    host = server;
    port = kDefaultSmtpPort;
    const size_t colon = server.rfind(':');
    if (colon == wxString::npos)
        return;
    const wxString digits = server.Mid(colon + 1);
    if (digits.empty() || digits.length() > 5 ||
        digits.find_first_not_of("0123456789") != wxString::npos)
        return;
    const long value = AtoiText(digits);
    if (value < 1 || value > 65535)
        return;
    host = server.Left(colon);
    port = static_cast<unsigned short>(value);
}

void ReleaseMail(unsigned long id)
{
    auto& mails = PendingMails();
    const auto found = mails.find(id);
    if (found != mails.end() && found->second.client->IsAtRest())
        mails.erase(found);
}

// GUI thread.
void StartAlarmMail(const AlarmMailJob& job)
{
    auto client = std::make_unique<wxSMTP>(); // the default listener: nothing reported
    client->SetHost(wxString::FromUTF8(job.host), job.port);

    auto message = std::make_unique<MailMessage>(kAlarmSubject, kAlarmBody, kAlarmSender);
    message->AddAlternative(job.alarmText, "text", "html");
    message->AddTo(job.mailTo);

    const unsigned long id = ++g_nextMailId;
    client->SetRestHandler(
        [id](wxSMTP&)
        {
            // Called from inside the client: release it once it has returned.
            if (wxTheApp)
                wxTheApp->CallAfter([id] { ReleaseMail(id); });
        });

    wxSMTP* sender = client.get();
    MailMessage* mail = message.get();
    PendingMails()[id] = PendingMail{std::move(message), std::move(client)};
    sender->Send(mail);
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
    const std::vector<std::string> command = PlayerCommand(ToUtf8(path));
    if (!command.empty())
    {
        SpawnDetached(command);
        return true;
    }
    if (wxIsMainThread())
        PlayWithToolkit(path);
    else if (wxTheApp)
        wxTheApp->CallAfter([path = ToUtf8(path)] { PlayWithToolkit(wxString::FromUTF8(path)); });
    return true;
}

int SendAlarmSms(const wxString&)
{
    return 1;
}

int SendAlarmMail(const ActionSettings& settings, const wxString& alarmText)
{
    if (settings.SMTPPwd.empty() || settings.SMTPSvr.empty() || settings.SMTPUsr.empty() ||
        settings.MailTo.empty())
        return 1;

    // Plain byte strings: the job may cross from a scan thread to the GUI
    // thread.
    auto job = std::make_shared<AlarmMailJob>();
    wxString host;
    SplitServer(settings.SMTPSvr, host, job->port);
    job->host = ToUtf8(host);
    job->mailTo = ToUtf8(settings.MailTo);
    job->alarmText = ToUtf8(alarmText);

    if (wxIsMainThread())
        StartAlarmMail(*job);
    else if (wxTheApp)
        wxTheApp->CallAfter([job] { StartAlarmMail(*job); });
    return 1;
}

size_t PendingAlarmMailCount()
{
    return PendingMails().size();
}

void DropPendingAlarmMails()
{
    auto& mails = PendingMails();
    for (auto& entry : mails)
        entry.second.client->Abandon();
    mails.clear();
}
