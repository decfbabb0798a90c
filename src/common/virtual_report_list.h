#pragma once

#include <wx/listctrl.h>

#include <array>
#include <functional>
#include <unordered_map>

// A report-mode list control in virtual mode over records that its panel
// keeps: the panel hands it a cell reader and a row-colour test and tells it
// how many rows there are; no text is copied into the control, so refilling a
// list of thousands of rows costs next to nothing. Both monitor panels use it
// for their record lists (GUI thread only).
class VirtualReportList : public wxListCtrl
{
public:
    // The text of a cell; the reference must stay valid until the next call.
    using CellText = std::function<const wxString&(long row, long column)>;
    // Whether a row is painted red.
    using RowRed = std::function<bool(long row)>;

    VirtualReportList(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                      const wxSize& size = wxDefaultSize, long style = wxLC_SINGLE_SEL);

    void SetSource(CellText text, RowRed red);

    // Shows `rows` rows from the source and sizes every column to the larger
    // of its header and its widest text.
    void ShowRows(long rows);

    // Sizes every column to the larger of its header and the drawn width of
    // its widest text.
    void AutoSizeColumns();

    // What the list shows in a cell, and whether the row is red.
    wxString CellAt(long row, long column) const { return OnGetItemText(row, column); }
    bool IsRowRed(long row) const { return m_red && m_red(row); }

protected:
    wxString OnGetItemText(long item, long column) const override;
    wxItemAttr* OnGetItemAttr(long item) const override;

private:
    CellText m_text;
    RowRed m_red;
    mutable wxItemAttr m_redAttr;

    int CharWidth(wxUniChar c);
    int DrawnWidth(const wxString& text);
    // Drawn character widths in the list's font (-1: not measured yet).
    wxFont m_measuredFont;
    std::array<int, 128> m_asciiWidths{};
    std::unordered_map<wxUniChar::value_type, int> m_otherWidths;
};
