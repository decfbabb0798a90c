#include "common/virtual_report_list.h"

#include <algorithm>

namespace
{
// Room a column needs beyond its text: the cell padding of the list, and the
// header's padding and sort arrow space.
constexpr int kCellMargin = 12;
constexpr int kHeaderMargin = 16;
} // namespace

VirtualReportList::VirtualReportList(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                     const wxSize& size, long style)
    : wxListCtrl(parent, id, pos, size, style | wxLC_REPORT | wxLC_VIRTUAL)
{
    m_redAttr.SetTextColour(*wxRED);
}

void VirtualReportList::SetSource(CellText text, RowRed red)
{
    m_text = std::move(text);
    m_red = std::move(red);
}

void VirtualReportList::ShowRows(long rows)
{
    SetItemCount(m_text ? rows : 0);
    AutoSizeColumns();
    Refresh();
}

void VirtualReportList::AutoSizeColumns()
{
    const long rows = GetItemCount();
    const int columns = GetColumnCount();
    for (int c = 0; c < columns; ++c)
    {
        wxListItem header;
        header.SetMask(wxLIST_MASK_TEXT);
        GetColumn(c, header);
        int width = GetTextExtent(header.GetText()).x + kHeaderMargin;
        long widest = -1;
        size_t widestLength = 0;
        for (long r = 0; r < rows; ++r)
        {
            const size_t length = m_text(r, c).length();
            if (widest < 0 || length > widestLength)
            {
                widest = r;
                widestLength = length;
            }
        }
        if (widest >= 0)
            width = std::max(width, GetTextExtent(m_text(widest, c)).x + kCellMargin);
        SetColumnWidth(c, width);
    }
}

wxString VirtualReportList::OnGetItemText(long item, long column) const
{
    if (!m_text || item < 0 || item >= GetItemCount())
        return wxString();
    return m_text(item, column);
}

wxItemAttr* VirtualReportList::OnGetItemAttr(long item) const
{
    return (m_red && item >= 0 && item < GetItemCount() && m_red(item)) ? &m_redAttr : nullptr;
}
