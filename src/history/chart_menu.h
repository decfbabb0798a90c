#pragma once

#include "history/history_reader.h"

#include <functional>
#include <vector>

class wxListCtrl;

// Offers label ("Chart this server", ...) on a right click of a row of a
// monitor panel's list: a chart window opens on the site that site() names,
// the kind, and the row's text in nameColumn as the object.
void AddChartMenu(wxListCtrl* list, const wxString& label, std::function<wxString()> site,
                  HistKind kind, int nameColumn, std::vector<HistMetric> metrics = {});
