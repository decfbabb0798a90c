#pragma once

#include "history/history_series.h"

#include <wx/window.h>

#include <functional>
#include <vector>

class wxGraphicsContext;

// Draws the plots of a chart window stacked over one time axis, in the local
// time of the machine: lines broken at gaps, one colour per series with a
// legend, the nearest sample read out under the mouse, the wheel zooming
// around the mouse and a drag panning. Each series is reduced to its minimum
// and maximum per pixel column before drawing.
class ChartCanvas : public wxWindow
{
public:
    explicit ChartCanvas(wxWindow* parent, wxWindowID id = wxID_ANY);

    // The loaded range [from, to] (seconds since the epoch) becomes the view.
    void SetPlots(std::vector<HistPlot> plots, double from, double to);
    const std::vector<HistPlot>& Plots() const { return m_plots; }
    // A line shown in the middle of the chart (empty: none).
    void SetMessage(const wxString& message);
    const wxString& Message() const { return m_message; }

    double ViewFrom() const { return m_v0; }
    double ViewTo() const { return m_v1; }
    void ResetView();
    // Zooms by factor (below 1: in) keeping the time under x in place.
    void ZoomAt(int x, double factor);
    // Moves the view by dx pixels of the plot width.
    void PanBy(int dx);

    // The read-out of the sample nearest to a point of the window, marked on
    // the chart and handed to the read-out handler; empty when none is near.
    wxString HoverAt(const wxPoint& point);
    void SetReadOutHandler(std::function<void(const wxString&)> handler)
    {
        m_onReadOut = std::move(handler);
    }

    void Render(wxGraphicsContext& gc, const wxSize& size);
    bool SavePng(const wxString& path);

private:
    struct Geometry
    {
        wxRect rect; // the plot area
        double y0 = 0, y1 = 1;
    };
    struct Hover
    {
        int plot = -1;
        int series = -1;
        std::size_t index = 0;
    };

    void OnPaint(wxPaintEvent& event);
    void OnMouse(wxMouseEvent& event);
    void Arrange(const wxSize& size);
    double TimeAt(const Geometry& g, double x) const;
    double XAt(const Geometry& g, double t) const;
    double YAt(const Geometry& g, double v) const;
    void ClampView();

    std::vector<HistPlot> m_plots;
    std::vector<Geometry> m_geometry;
    wxString m_message;
    double m_r0 = 0, m_r1 = 1; // loaded
    double m_v0 = 0, m_v1 = 1; // shown
    Hover m_hover;
    bool m_dragging = false;
    int m_dragX = 0;
    std::function<void(const wxString&)> m_onReadOut;
};
