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
    // The list scrolls: its columns must not widen the panel, nor its rows
    // lengthen it.
    SetMinSize(wxSize(160, 60));
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

int VirtualReportList::CharWidth(wxUniChar c)
{
    const wxUniChar::value_type code = c.GetValue();
    if (code < m_asciiWidths.size() && m_asciiWidths[code] >= 0)
        return m_asciiWidths[code];
    if (code >= m_asciiWidths.size())
    {
        auto found = m_otherWidths.find(code);
        if (found != m_otherWidths.end())
            return found->second;
    }
    const int width = GetTextExtent(wxString(c)).x;
    if (code < m_asciiWidths.size())
        m_asciiWidths[code] = width;
    else
        m_otherWidths.emplace(code, width);
    return width;
}

int VirtualReportList::DrawnWidth(const wxString& text)
{
    int width = 0;
    for (wxUniChar c : text)
        width += CharWidth(c);
    return width;
}

void VirtualReportList::AutoSizeColumns()
{
    // Widths are summed from each character's width, measured once per font:
    // measuring every cell of a large domain through the toolkit would cost
    // far more than the rest of the refill.
    if (!m_measuredFont.IsSameAs(GetFont()))
    {
        m_measuredFont = GetFont();
        m_asciiWidths.fill(-1);
        m_otherWidths.clear();
    }
    const long rows = GetItemCount();
    const int columns = GetColumnCount();
    for (int c = 0; c < columns; ++c)
    {
        wxListItem header;
        header.SetMask(wxLIST_MASK_TEXT);
        GetColumn(c, header);
        int width = GetTextExtent(header.GetText()).x + kHeaderMargin;
        long widest = -1;
        int widestSum = 0;
        for (long r = 0; r < rows; ++r)
        {
            const int sum = DrawnWidth(m_text(r, c));
            if (widest < 0 || sum > widestSum)
            {
                widest = r;
                widestSum = sum;
            }
        }
        // The widest text measured whole as well: kerning and shaping can
        // make it wider than its characters' sum.
        if (widest >= 0)
            width = std::max(
                {width, widestSum + kCellMargin, GetTextExtent(m_text(widest, c)).x + kCellMargin});
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
