#include "app/main_frame.h"

#include "common/ids.h"

#include <wx/menu.h>
#include <wx/statusbr.h>

MainFrame::MainFrame(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                     const wxSize& size, long style)
    : wxFrame(parent, id, title, pos, size, style)
{
    SetSizeHints(wxDefaultSize, wxDefaultSize);
    m_statusBar = CreateStatusBar(1, wxSTB_SIZEGRIP, wxID_ANY);

    m_menubar = new wxMenuBar(0);

    m_fileMenu = new wxMenu();
    m_fileMenu->Append(CorvaneId::Connect, "Connect...", wxEmptyString, wxITEM_NORMAL);
    m_fileMenu->AppendSeparator();
    m_fileMenu->Append(CorvaneId::Exit, "E&xit\tAlt+F4", "Exit the application", wxITEM_NORMAL);
    m_menubar->Append(m_fileMenu, "&File");

    m_settingsMenu = new wxMenu();
    m_settingsMenu->Append(CorvaneId::DatabaseSetting, "Database", wxEmptyString, wxITEM_NORMAL);
    m_settingsMenu->Append(CorvaneId::AlarmSetting, "Alarm", wxEmptyString, wxITEM_NORMAL);
    m_settingsMenu->Append(CorvaneId::MetricsSetting, "Metrics endpoint...", wxEmptyString, wxITEM_NORMAL);
    m_menubar->Append(m_settingsMenu, "&Settings");

    m_helpMenu = new wxMenu();
    m_helpMenu->Append(CorvaneId::HelpContents, "Contents\tF1", "help content.", wxITEM_NORMAL);
    m_webMenu = new wxMenu();
    m_webMenu->Append(CorvaneId::TechSupport, "Technical Support", wxEmptyString, wxITEM_NORMAL);
    m_webMenu->Append(CorvaneId::CheckUpdate, "Check for Update", wxEmptyString, wxITEM_NORMAL);
    m_webMenu->Append(CorvaneId::TuxedoForums, "Tuxedo Forums", wxEmptyString, wxITEM_NORMAL);
    m_webMenu->Append(CorvaneId::WebLogicForums, "WebLogic Forums", wxEmptyString, wxITEM_NORMAL);
    m_helpMenu->AppendSubMenu(m_webMenu, "Web Resource...");
    m_helpMenu->AppendSeparator();
    m_helpMenu->Append(CorvaneId::About, "&About Corvane", "Show info about this application",
                       wxITEM_NORMAL);
    m_menubar->Append(m_helpMenu, "&Help");

    SetMenuBar(m_menubar);
    Centre(wxBOTH);

    Bind(wxEVT_PAINT, &MainFrame::OnPaint, this);
}

MainFrame::~MainFrame()
{
    Unbind(wxEVT_PAINT, &MainFrame::OnPaint, this);
}
