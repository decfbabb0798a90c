#include "history/chart_menu.h"

#include "history/corvane_chart_frame.h"

#include <wx/listctrl.h>
#include <wx/menu.h>

void AddChartMenu(wxListCtrl* list, const wxString& label, std::function<wxString()> site,
                  HistKind kind, int nameColumn, std::vector<HistMetric> metrics)
{
    list->Bind(wxEVT_LIST_ITEM_RIGHT_CLICK,
               [=](wxListEvent& event)
               {
                   const long row = event.GetIndex();
                   if (row < 0)
                       return;
                   const ChartTarget target{site(), kind, list->GetItemText(row, nameColumn), metrics};
                   wxMenu menu;
                   const int id = menu.Append(wxID_ANY, label)->GetId();
                   menu.Bind(
                       wxEVT_MENU,
                       [list, target](wxCommandEvent&) { OpenChartWindow(wxGetTopLevelParent(list), target); },
                       id);
                   list->PopupMenu(&menu);
               });
}
