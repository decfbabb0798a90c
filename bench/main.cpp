// corvane-bench [section...]: runs the registered sections (all by default)
// and prints their figures. GUI sections need a display (bench.sh uses Xvfb).
#include "bench.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>

#include <cstring>
#include <fstream>

std::vector<BenchSection>& BenchSections()
{
    static std::vector<BenchSection> sections;
    return sections;
}

double ResidentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key)
    {
        if (key == "VmRSS:")
        {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
        std::getline(status, key);
    }
    return 0;
}

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
} // namespace

int main(int argc, char** argv)
{
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
        for (const BenchSection& section : BenchSections())
        {
            bool wanted = argc < 2;
            for (int i = 1; i < argc; ++i)
                wanted = wanted || std::strcmp(argv[i], section.name.c_str()) == 0;
            if (wanted)
                section.run();
        }
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
