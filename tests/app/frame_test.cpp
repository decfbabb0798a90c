#include "app/halvex_frame.h"
#include "common/ids.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <wx/aui/dockart.h>
#include <wx/dcmemory.h>
#include <wx/dir.h>
#include <wx/menu.h>
#include <wx/toolbar.h>
#include <wx/weakref.h>

namespace
{
struct FrameTest : ::testing::Test
{
    TempHome home;
    PromptRecorder prompts;
    wxWeakRef<HalvexFrame> frame = new HalvexFrame(nullptr);

    ~FrameTest() override
    {
        if (frame)
            frame->Destroy();
        PumpFor(10);
    }

    void Command(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(frame.get());
        frame->ProcessWindowEvent(event);
    }
    void Tool(int id)
    {
        wxCommandEvent event(wxEVT_TOOL, id);
        event.SetEventObject(frame->GetToolBar());
        frame->ProcessWindowEvent(event);
    }
    bool ClosedAfterPump()
    {
        return PumpUntil([this] { return !frame; }, 2000);
    }
};

// Pixels of rect darker than mid grey.
int DarkPixels(const wxImage& image, const wxRect& rect)
{
    int dark = 0;
    for (int y = rect.GetTop(); y <= rect.GetBottom(); ++y)
        for (int x = rect.GetLeft(); x <= rect.GetRight(); ++x)
            dark += image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y) < 3 * 96;
    return dark;
}

struct MenuRow
{
    int id;
    const char* label;
    const char* help;
};
} // namespace

TEST_F(FrameTest, WindowTitleSizeAndStatusBar)
{
    EXPECT_EQ(frame->GetTitle(), "Corvane");
    EXPECT_EQ(frame->GetSize(), wxSize(800, 600));
    ASSERT_NE(frame->GetStatusBar(), nullptr);
    EXPECT_EQ(frame->GetStatusBar()->GetFieldsCount(), 1);
    EXPECT_TRUE(frame->GetWindowStyleFlag() & wxTAB_TRAVERSAL);
}

TEST_F(FrameTest, MenusCarryTheirIdsLabelsAndHelp)
{
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->GetMenuCount(), 3u);
    EXPECT_EQ(bar->GetMenuLabel(0), "&File");
    EXPECT_EQ(bar->GetMenuLabel(1), "&Settings");
    EXPECT_EQ(bar->GetMenuLabel(2), "&Help");

    const MenuRow rows[] = {
        {1000, "Connect...", ""},
        {1001, "E&xit\tAlt+F4", "Exit the application"},
        {1002, "Database", ""},
        {1003, "Alarm", ""},
        {1004, "Contents\tF1", "help content."},
        {1005, "Technical Support", ""},
        {1006, "Check for Update", ""},
        {1007, "Tuxedo Forums", ""},
        {1008, "WebLogic Forums", ""},
        {1009, "&About Corvane", "Show info about this application"},
    };
    for (const MenuRow& row : rows)
    {
        wxMenuItem* item = bar->FindItem(row.id);
        ASSERT_NE(item, nullptr) << row.id;
        EXPECT_EQ(item->GetItemLabel(), row.label) << row.id;
        EXPECT_EQ(item->GetHelp(), row.help) << row.id;
        EXPECT_FALSE(item->IsCheckable()) << row.id;
    }
    // The web links sit in the "Web Resource..." sub-menu of Help.
    wxMenu* help = bar->GetMenu(2);
    wxMenuItem* sub = help->FindItemByPosition(1);
    ASSERT_TRUE(sub->IsSubMenu());
    EXPECT_EQ(sub->GetItemLabel(), "Web Resource...");
    EXPECT_EQ(sub->GetSubMenu()->GetMenuItemCount(), 4u);
    EXPECT_TRUE(help->FindItemByPosition(2)->IsSeparator());
}

TEST_F(FrameTest, ToolbarToolsInOrderWithTheirHelp)
{
    wxToolBar* tb = frame->GetToolBar();
    ASSERT_NE(tb, nullptr);
    const int ids[] = {313, wxID_SEPARATOR, 314, 316, 318};
    ASSERT_EQ(tb->GetToolsCount(), 5u);
    for (size_t i = 0; i < 5; ++i)
    {
        const wxToolBarToolBase* tool = tb->GetToolByPos(static_cast<int>(i));
        if (ids[i] == wxID_SEPARATOR)
            EXPECT_TRUE(tool->IsSeparator());
        else
            EXPECT_EQ(tool->GetId(), ids[i]);
    }
    EXPECT_EQ(tb->GetToolShortHelp(313), "Quit");
    EXPECT_EQ(tb->GetToolLongHelp(313), "Quit Corvane.");
    EXPECT_EQ(tb->GetToolShortHelp(314), "Site list");
    EXPECT_EQ(tb->GetToolLongHelp(314), "Add a monitor site.");
    EXPECT_EQ(tb->GetToolShortHelp(316), "Alarm action setting");
    EXPECT_EQ(tb->GetToolLongHelp(316), "Setting for alarm action.");
    EXPECT_EQ(tb->GetToolShortHelp(318), "Database setting");
    EXPECT_EQ(tb->GetToolLongHelp(318), "Setting for database.");
    for (int id : {313, 314, 316, 318})
    {
        EXPECT_EQ(tb->FindById(id)->GetNormalBitmap().GetSize(), wxSize(16, 16)) << id;
    }

    const wxAuiPaneInfo& pane = frame->GetAuiManager().GetPane("tb");
    ASSERT_TRUE(pane.IsOk());
    EXPECT_EQ(pane.caption, "Toolbar");
    EXPECT_TRUE(pane.IsToolbar());
    EXPECT_FALSE(pane.IsDockable());
}

TEST_F(FrameTest, RangeHandlerAnswersIdsWithoutTools)
{
    Tool(CorvaneId::ToolEmail);
    Tool(CorvaneId::ToolChart);
    ASSERT_EQ(prompts.Messages().size(), 2u);
    EXPECT_EQ(prompts.Messages()[0].text, "EMAIL Not Support Now.");
    EXPECT_EQ(prompts.Messages()[0].caption, "Message");
    EXPECT_EQ(prompts.Messages()[0].parent, nullptr);
    EXPECT_EQ(prompts.Messages()[1].text, "CHART Not Support Now.");
}

TEST_F(FrameTest, QuitAsksAndNoKeepsTheWindow)
{
    prompts.Answer(wxNO);
    Tool(CorvaneId::ToolQuit);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].text, "Are you sure you want to Quit Corvane?");
    EXPECT_EQ(prompts.Messages()[0].caption, "Corvane");
    EXPECT_EQ(prompts.Messages()[0].parent, frame.get());
    EXPECT_FALSE(ClosedAfterPump());
}

TEST_F(FrameTest, QuitYesClosesTheWindow)
{
    prompts.Answer(wxYES);
    Tool(CorvaneId::ToolQuit);
    EXPECT_TRUE(ClosedAfterPump());
}

TEST_F(FrameTest, ExitClosesWithoutAQuestion)
{
    Command(CorvaneId::Exit);
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_TRUE(ClosedAfterPump());
}

TEST_F(FrameTest, StartUpTouchesNoDatabase)
{
    PumpFor(50);
    wxArrayString files;
    wxDir::GetAllFiles(home.Dir(), &files);
    EXPECT_TRUE(files.empty());
}

TEST_F(FrameTest, PaneCloseAsksAndVetoesOnNo)
{
    auto* panel = new wxPanel(frame.get());
    frame->GetAuiManager().AddPane(panel, wxAuiPaneInfo().Name("site").Float().DestroyOnClose());
    frame->GetAuiManager().Update();

    prompts.Answer(wxNO);
    wxAuiManagerEvent no(wxEVT_AUI_PANE_CLOSE);
    no.SetPane(&frame->GetAuiManager().GetPane("site"));
    frame->ProcessWindowEvent(no);
    EXPECT_TRUE(no.GetVeto());
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].text,
              "Are you sure you want to stop monitoring and close this site?");
    EXPECT_EQ(prompts.Messages()[0].caption, "Corvane");

    prompts.Answer(wxYES);
    wxAuiManagerEvent yes(wxEVT_AUI_PANE_CLOSE);
    yes.SetPane(&frame->GetAuiManager().GetPane("site"));
    frame->ProcessWindowEvent(yes);
    EXPECT_FALSE(yes.GetVeto());
}

// Regression: the docking manager paints the frame's client area itself and
// never lets the paint event reach the frame, so the background text of the
// frame's own paint handler was never seen. The manager's background
// painting draws it, within the part being painted.
TEST_F(FrameTest, FreeBackgroundShowsTheTextLines)
{
    const wxRect whole(0, 0, 400, 200);
    auto paint = [&](const wxRect& part)
    {
        wxBitmap bitmap(whole.GetSize());
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            frame->GetAuiManager().GetArtProvider()->DrawBackground(dc, frame.get(), wxHORIZONTAL,
                                                                    part);
        }
        return bitmap.ConvertToImage();
    };
    const wxRect lines(40, 60, 300, 40);
    const wxImage free = paint(whole);
    EXPECT_GT(DarkPixels(free, lines), 50);
    EXPECT_EQ(DarkPixels(free, wxRect(0, 120, 400, 80)), 0);
    // A dock strip above the lines does not get them.
    EXPECT_EQ(DarkPixels(paint(wxRect(0, 0, 400, 40)), lines), 0);
}
