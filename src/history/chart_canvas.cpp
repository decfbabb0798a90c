#include "history/chart_canvas.h"

#include "history/history_time.h"

#include <wx/bitmap.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/settings.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace
{
constexpr int kLeft = 64;
constexpr int kRight = 14;
constexpr int kTop = 6;
constexpr int kAxis = 22;   // time labels under the last plot
constexpr int kTitle = 18;  // each plot's title line
constexpr int kSpacing = 8; // between plots
constexpr double kMinSpan = 120;

const wxColour& SeriesColour(std::size_t i)
{
    static const wxColour palette[] = {
        wxColour(31, 119, 180), wxColour(214, 39, 40),  wxColour(44, 160, 44),
        wxColour(255, 127, 14), wxColour(148, 103, 189), wxColour(140, 86, 75),
        wxColour(227, 119, 194), wxColour(127, 127, 127), wxColour(188, 189, 34),
        wxColour(23, 190, 207)};
    return palette[i % (sizeof palette / sizeof palette[0])];
}

double NiceStep(double range)
{
    if (range <= 0)
        return 1;
    const double raw = range / 4;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * magnitude)
            return m * magnitude;
    return 10 * magnitude;
}

wxString Number(double v)
{
    if (std::fabs(v) < 1e-9)
        v = 0;
    return wxString::Format("%.4g", v);
}
} // namespace

ChartCanvas::ChartCanvas(wxWindow* parent, wxWindowID id)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, id, wxDefaultPosition, wxSize(600, 360), wxFULL_REPAINT_ON_RESIZE);
    Bind(wxEVT_PAINT, &ChartCanvas::OnPaint, this);
    for (const auto& type : {wxEVT_MOTION, wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_LEFT_DCLICK,
                             wxEVT_MOUSEWHEEL, wxEVT_LEAVE_WINDOW})
        Bind(type, &ChartCanvas::OnMouse, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_dragging = false; });
}

void ChartCanvas::SetPlots(std::vector<HistPlot> plots, double from, double to)
{
    m_plots = std::move(plots);
    m_r0 = from;
    m_r1 = std::max(to, from + kMinSpan);
    m_hover = Hover();
    ResetView();
}

void ChartCanvas::SetMessage(const wxString& message)
{
    m_message = message;
    Refresh();
}

void ChartCanvas::ResetView()
{
    m_v0 = m_r0;
    m_v1 = m_r1;
    Refresh();
}

void ChartCanvas::ClampView()
{
    const double loaded = m_r1 - m_r0;
    double span = std::clamp(m_v1 - m_v0, std::min(kMinSpan, loaded), loaded);
    const double middle = (m_v0 + m_v1) / 2;
    m_v0 = std::clamp(middle - span / 2, m_r0, m_r1 - span);
    m_v1 = m_v0 + span;
}

void ChartCanvas::ZoomAt(int x, double factor)
{
    Arrange(GetClientSize());
    if (m_geometry.empty())
        return;
    const Geometry& g = m_geometry.front();
    const double pivot = TimeAt(g, std::clamp(x, g.rect.x, g.rect.GetRight()));
    m_v0 = pivot - (pivot - m_v0) * factor;
    m_v1 = pivot + (m_v1 - pivot) * factor;
    if (m_v1 - m_v0 < kMinSpan)
    {
        m_v0 = pivot - kMinSpan / 2;
        m_v1 = pivot + kMinSpan / 2;
    }
    ClampView();
    Refresh();
}

void ChartCanvas::PanBy(int dx)
{
    Arrange(GetClientSize());
    if (m_geometry.empty() || m_geometry.front().rect.width <= 0)
        return;
    const double shift = -dx * (m_v1 - m_v0) / m_geometry.front().rect.width;
    const double span = m_v1 - m_v0;
    m_v0 = std::clamp(m_v0 + shift, m_r0, m_r1 - span);
    m_v1 = m_v0 + span;
    Refresh();
}

// The plot areas and each plot's value range over the samples in view.
void ChartCanvas::Arrange(const wxSize& size)
{
    m_geometry.assign(m_plots.size(), Geometry());
    if (m_plots.empty())
        return;
    const int block = std::max(1, (size.y - kTop - kAxis) / static_cast<int>(m_plots.size()));
    for (std::size_t p = 0; p < m_plots.size(); ++p)
    {
        Geometry& g = m_geometry[p];
        g.rect = wxRect(kLeft, kTop + static_cast<int>(p) * block + kTitle,
                        std::max(1, size.x - kLeft - kRight), std::max(1, block - kTitle - kSpacing));
        double lo = std::numeric_limits<double>::max(), hi = std::numeric_limits<double>::lowest();
        for (const HistSeries& s : m_plots[p].series)
        {
            auto byTime = [](const HistPoint& point, double t) { return point.t < t; };
            auto from = std::lower_bound(s.points.begin(), s.points.end(), m_v0, byTime);
            auto to = std::lower_bound(from, s.points.end(), m_v1 + 1e-9, byTime);
            for (auto it = from; it != to; ++it)
            {
                lo = std::min(lo, it->v);
                hi = std::max(hi, it->v);
            }
        }
        if (lo > hi)
            lo = hi = 0;
        if (lo >= 0)
            lo = 0; // counts and rates read best from zero
        if (hi <= lo)
            hi = lo + 1;
        const double step = NiceStep(hi - lo);
        g.y0 = std::floor(lo / step) * step;
        g.y1 = std::ceil(hi / step) * step;
    }
}

double ChartCanvas::TimeAt(const Geometry& g, double x) const
{
    return m_v0 + (x - g.rect.x) * (m_v1 - m_v0) / g.rect.width;
}

double ChartCanvas::XAt(const Geometry& g, double t) const
{
    return g.rect.x + (t - m_v0) * g.rect.width / (m_v1 - m_v0);
}

double ChartCanvas::YAt(const Geometry& g, double v) const
{
    return g.rect.GetBottom() - (v - g.y0) * (g.rect.height - 1) / (g.y1 - g.y0);
}

void ChartCanvas::Render(wxGraphicsContext& gc, const wxSize& size)
{
    Arrange(size);
    gc.SetBrush(*wxWHITE_BRUSH);
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawRectangle(0, 0, size.x, size.y);
    const wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    const wxColour ink(40, 40, 40), grid(226, 226, 226);
    gc.SetFont(font, ink);
    double tw = 0, th = 0;

    for (std::size_t p = 0; p < m_plots.size(); ++p)
    {
        const HistPlot& plot = m_plots[p];
        const Geometry& g = m_geometry[p];
        const wxRect& r = g.rect;
        gc.SetFont(font.Bold(), ink);
        gc.DrawText(plot.title + " (" + plot.unit + ")", r.x, r.y - kTitle + 2);
        gc.SetFont(font, ink);

        // Value grid and labels.
        const double step = NiceStep(g.y1 - g.y0);
        gc.SetPen(wxPen(grid));
        for (double v = g.y0; v <= g.y1 + step / 2; v += step)
        {
            const double y = YAt(g, v);
            gc.StrokeLine(r.x, y, r.GetRight(), y);
            const wxString label = Number(v);
            gc.GetTextExtent(label, &tw, &th);
            gc.DrawText(label, r.x - tw - 6, y - th / 2);
        }
        // Time grid; the labels go under the last plot.
        const bool last = p + 1 == m_plots.size();
        for (const TimeTick& tick : TimeTicks(static_cast<long long>(std::ceil(m_v0)),
                                              static_cast<long long>(m_v1),
                                              std::max(1, r.width / 110)))
        {
            const double x = XAt(g, static_cast<double>(tick.t));
            gc.SetPen(wxPen(grid));
            gc.StrokeLine(x, r.y, x, r.GetBottom());
            if (last)
            {
                gc.GetTextExtent(tick.label, &tw, &th);
                gc.DrawText(tick.label, std::clamp(x - tw / 2, 0.0, size.x - tw), r.GetBottom() + 4);
            }
        }
        gc.SetPen(wxPen(wxColour(160, 160, 160)));
        gc.SetBrush(*wxTRANSPARENT_BRUSH);
        gc.DrawRectangle(r.x, r.y, r.width - 1, r.height - 1);

        // The series, reduced per pixel column and clipped to the plot.
        gc.Clip(r.x, r.y, r.width, r.height);
        for (std::size_t s = 0; s < plot.series.size(); ++s)
        {
            const HistPoints drawn = Downsample(plot.series[s].points, m_v0, m_v1, r.width);
            wxGraphicsPath path = gc.CreatePath();
            wxGraphicsPath dots = gc.CreatePath();
            for (std::size_t i = 0; i < drawn.size(); ++i)
            {
                const double x = XAt(g, drawn[i].t), y = YAt(g, drawn[i].v);
                const bool starts = i == 0 || drawn[i].gapBefore;
                const bool alone = starts && (i + 1 == drawn.size() || drawn[i + 1].gapBefore);
                if (alone)
                    dots.AddCircle(x, y, 1.8); // a sample between two gaps
                if (starts)
                    path.MoveToPoint(x, y);
                else
                    path.AddLineToPoint(x, y);
            }
            // Where samples are denser than pixels the line is a column of
            // vertical strokes: smoothing its edges shows nothing and costs most.
            const bool dense = drawn.size() > static_cast<size_t>(r.width);
            wxGraphicsPenInfo pen(SeriesColour(s), dense ? 1 : 1.5);
            pen.Join(wxJOIN_BEVEL);
            gc.SetPen(gc.CreatePen(pen));
            gc.SetAntialiasMode(dense ? wxANTIALIAS_NONE : wxANTIALIAS_DEFAULT);
            gc.StrokePath(path);
            gc.SetAntialiasMode(wxANTIALIAS_DEFAULT);
            gc.SetBrush(wxBrush(SeriesColour(s)));
            gc.FillPath(dots);
        }
        if (m_hover.plot == static_cast<int>(p))
        {
            const HistPoint& h = plot.series[m_hover.series].points[m_hover.index];
            gc.SetPen(wxPen(*wxBLACK, 1));
            gc.SetBrush(wxBrush(SeriesColour(m_hover.series)));
            gc.DrawEllipse(XAt(g, h.t) - 4, YAt(g, h.v) - 4, 8, 8);
        }
        gc.ResetClip();

        // Legend, top right inside the plot.
        double y = r.y + 4;
        for (std::size_t s = 0; s < plot.series.size() && y + th < r.GetBottom(); ++s)
        {
            const wxString& name = plot.series[s].name;
            gc.GetTextExtent(name, &tw, &th);
            const double x = r.GetRight() - tw - 26;
            gc.SetBrush(wxBrush(wxColour(255, 255, 255, 210)));
            gc.SetPen(*wxTRANSPARENT_PEN);
            gc.DrawRectangle(x - 4, y - 1, tw + 28, th + 2);
            gc.SetBrush(wxBrush(SeriesColour(s)));
            gc.DrawRectangle(x, y + th / 2 - 2, 14, 4);
            gc.DrawText(name, x + 20, y);
            y += th + 2;
        }
    }

    if (!m_message.empty())
    {
        gc.SetFont(font.Larger(), ink);
        gc.GetTextExtent(m_message, &tw, &th);
        const double x = std::max(4.0, (size.x - tw) / 2), y = (size.y - th) / 2;
        gc.SetBrush(wxBrush(wxColour(255, 250, 225)));
        gc.SetPen(wxPen(wxColour(200, 180, 120)));
        gc.DrawRectangle(x - 10, y - 6, tw + 20, th + 12);
        gc.DrawText(m_message, x, y);
    }
}

wxString ChartCanvas::HoverAt(const wxPoint& point)
{
    Arrange(GetClientSize());
    Hover best;
    double bestDistance = 24; // pixels: nothing further counts as near
    for (std::size_t p = 0; p < m_plots.size(); ++p)
    {
        const Geometry& g = m_geometry[p];
        if (!g.rect.Contains(point))
            continue;
        const double t = TimeAt(g, point.x);
        for (std::size_t s = 0; s < m_plots[p].series.size(); ++s)
        {
            const HistPoints& points = m_plots[p].series[s].points;
            auto at = std::lower_bound(points.begin(), points.end(), t,
                                       [](const HistPoint& a, double b) { return a.t < b; });
            for (auto it : {at, at == points.begin() ? at : at - 1})
            {
                if (it == points.end())
                    continue;
                const double d = std::hypot(XAt(g, it->t) - point.x, YAt(g, it->v) - point.y);
                if (d < bestDistance)
                {
                    bestDistance = d;
                    best = {static_cast<int>(p), static_cast<int>(s),
                            static_cast<std::size_t>(it - points.begin())};
                }
            }
        }
    }
    const bool changed = best.plot != m_hover.plot || best.series != m_hover.series ||
                         best.index != m_hover.index;
    m_hover = best;
    if (changed)
        Refresh();
    wxString text;
    if (best.plot >= 0)
    {
        const HistPlot& plot = m_plots[best.plot];
        const HistPoint& h = plot.series[best.series].points[best.index];
        const long long t = std::llround(h.t);
        const wxString& series = plot.series[best.series].name;
        text = wxString::Format("%s%s: %s %s at %s (RecTime %s)", plot.title,
                                plot.title.StartsWith(series + ":") ? wxString() : ", " + series,
                                wxString::Format("%.10g", h.v), plot.unit, LocalTimeText(t),
                                RecTimeAt(t));
    }
    if (m_onReadOut)
        m_onReadOut(text);
    return text;
}

void ChartCanvas::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    if (gc)
        Render(*gc, GetClientSize());
}

void ChartCanvas::OnMouse(wxMouseEvent& event)
{
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_MOUSEWHEEL)
        ZoomAt(event.GetX(), event.GetWheelRotation() > 0 ? 0.8 : 1.25);
    else if (type == wxEVT_LEFT_DOWN)
    {
        m_dragging = true;
        m_dragX = event.GetX();
        if (!HasCapture())
            CaptureMouse();
    }
    else if (type == wxEVT_LEFT_UP)
    {
        m_dragging = false;
        if (HasCapture())
            ReleaseMouse();
    }
    else if (type == wxEVT_LEFT_DCLICK)
        ResetView();
    else if (type == wxEVT_MOTION && m_dragging)
    {
        PanBy(event.GetX() - m_dragX);
        m_dragX = event.GetX();
    }
    else if (type == wxEVT_MOTION || type == wxEVT_LEAVE_WINDOW)
        HoverAt(type == wxEVT_MOTION ? event.GetPosition() : wxPoint(-1, -1));
    event.Skip();
}

bool ChartCanvas::SavePng(const wxString& path)
{
    const wxSize size = GetClientSize();
    wxBitmap bitmap(std::max(1, size.x), std::max(1, size.y), 24);
    {
        wxMemoryDC dc(bitmap);
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
        if (!gc)
            return false;
        Render(*gc, size);
    }
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    return bitmap.SaveFile(path, wxBITMAP_TYPE_PNG);
}
