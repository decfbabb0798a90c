#pragma once

#include <wx/app.h>

#include <memory>

class HistoryPurger;

class MyApp : public wxApp
{
public:
    MyApp();
    ~MyApp() override;
    bool OnInit() override;
    int OnExit() override;

private:
    // Deletes the history older than each site's limit, in the background.
    std::unique_ptr<HistoryPurger> m_purger;
};

wxDECLARE_APP(MyApp);
