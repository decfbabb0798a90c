// Report list figures, for the client list of the large Tuxedo domain
// (10,000 rows of 5 columns):
//   list_autosize_ms    sizing every column to its widest drawn text
//   list_extent_all_ms  for scale: measuring every cell through the toolkit
#include "bench.h"

#include "common/virtual_report_list.h"

#include <wx/frame.h>

#include <algorithm>
#include <vector>

CORVANE_BENCH_SECTION(list_autosize, true)
{
    constexpr long rows = 10000;
    constexpr int columns = 5;
    std::vector<wxString> cells;
    cells.reserve(rows * columns);
    for (long r = 0; r < rows; ++r)
    {
        cells.push_back(wxString::Format("%s_%05ld", r % 3 ? "tpclient" : "WSC", r));
        cells.push_back(wxString::Format("%ld", 10000 + r * 7919 % 90000));
        cells.push_back(wxString::Format("//10.20.%ld.%ld:%ld", r / 250, r % 250, 40000 + r));
        cells.push_back(r % 4 ? "IDLE" : "BUSY");
        cells.push_back(wxString::Format("2026-12-04 02:%02ld:%02ld", r / 60 % 60, r % 60));
    }
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1200, 800));
    auto* list = new VirtualReportList(frame, wxID_ANY);
    for (const char* header : {"Client Name", "Client PID", "Client Addr", "Client Status",
                               "Connection Time"})
        list->InsertColumn(list->GetColumnCount(), header);
    list->SetSource([&](long row, long column) -> const wxString&
                    { return cells[row * columns + column]; },
                    [](long) { return false; });
    frame->Show();
    wxYield();
    list->SetItemCount(rows);
    PrintFigure("list_autosize_ms", BestMs(20, [&] { list->AutoSizeColumns(); }), "ms");
    PrintFigure("list_extent_all_ms", BestMs(3,
                                             [&]
                                             {
                                                 int widest = 0;
                                                 for (const wxString& cell : cells)
                                                     widest = std::max(
                                                         widest, list->GetTextExtent(cell).x);
                                             }),
                "ms");
    frame->Destroy();
}
