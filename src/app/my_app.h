#pragma once

#include <wx/app.h>

class MyApp : public wxApp
{
public:
    bool OnInit() override;
    int OnExit() override;
};

wxDECLARE_APP(MyApp);
