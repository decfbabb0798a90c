// corvane-bench [section...]: runs the registered sections (all by default)
// and prints their figures. GUI sections need a display (bench.sh uses Xvfb).
// A section that measures the whole process runs in a fresh process of its
// own when more than one section runs.
#include "bench.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace
{
class BenchApp : public wxApp
{
public:
    bool OnInit() override
    {
        wxInitAllImageHandlers();
        return true;
    }
};

// Runs `corvane-bench name` and waits; its figures go to our standard output.
bool RunInOwnProcess(const std::string& name)
{
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return false;
    self[length] = '\0';
    std::fflush(stdout);
    char* argv[] = {self, const_cast<char*>(name.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) == -1 && errno == EINTR)
    {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsListed(const std::string& name, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (name == argv[i])
            return true;
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        bool known = false;
        for (const BenchSection& section : BenchSections())
            known = known || section.name == argv[i];
        if (!known)
        {
            std::fprintf(stderr, "corvane-bench: no section %s; the sections are:", argv[i]);
            for (const BenchSection& section : BenchSections())
                std::fprintf(stderr, " %s", section.name.c_str());
            std::fprintf(stderr, "\n");
            return 2;
        }
    }

    wxApp::SetInstance(new BenchApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
    {
        std::fprintf(stderr, "corvane-bench needs a display (run it through bench.sh)\n");
        return 2;
    }
    int rc = 0;
    {
        wxEventLoop loop;
        wxEventLoopActivator activate(&loop);
        const bool several = argc != 2;
        for (const BenchSection& section : BenchSections())
        {
            if (argc >= 2 && !IsListed(section.name, argc, argv))
                continue;
            if (section.ownProcess && several)
            {
                if (!RunInOwnProcess(section.name))
                {
                    std::fprintf(stderr, "corvane-bench: section %s failed\n", section.name.c_str());
                    rc = 1;
                }
            }
            else
            {
                section.run();
            }
        }
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return BenchHadFailure() ? 1 : rc;
}
