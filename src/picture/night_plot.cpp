#include "picture/night_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "fit/band_regression.h"
#include "fit/extinction_units.h"
#include "night/band_verdict.h"
#include "picture/plot_axes.h"

namespace orvel {

namespace {

constexpr int kWidth = kNightPlotWidth;  // picture size, points (pixels in PNG)
constexpr int kHeight = kNightPlotHeight;
constexpr double kLeft = 100.0;  // panels' left and right edges
constexpr double kRight = 970.0;
constexpr double kMainTop = 80.0;  // main panel
constexpr double kMainBottom = 470.0;
constexpr double kResidualTop = 490.0;  // residual panel under it
constexpr double kResidualBottom = 610.0;
constexpr double kLegendTop = 672.0;
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kGrey{0.55, 0.55, 0.55};
constexpr Colour kLightGrey{0.88, 0.88, 0.88};

// The band colours of the window's graph.
Colour colourOf(Band b) {
    constexpr Colour kColours[] = {{1, 0, 0}, {0, 170.0 / 255, 100.0 / 255}, {0, 0, 1}};
    return kColours[bandIndex(b)];
}

// How a frame is drawn: filled in its band's colour when fitted, hollow grey otherwise.
enum class MarkKind { fitted, removed, leftOut };

struct Mark {
    double airmass = 0.0;   // X
    double value = 0.0;     // on the vertical axis's scale
    double residual = 0.0;  // value less the band's line at X, same scale (NaN without a line)
    Band band = Band::red;
    MarkKind kind = MarkKind::fitted;
    std::size_t frame = 0;  // index in the night's frames
};

double scaled(double y, PlotValue v) {
    return v == PlotValue::magnitude ? -kMagnitudesPerLn * y : y;
}

// The band's line at the airmass on the vertical axis's scale (NaN when the band has no line).
double lineAt(const NightFit& fit, Band b, double airmass, PlotValue v) {
    const BandFit& f = fit.band(b).line;
    if (f.analysed < 2) return NAN;
    return scaled(static_cast<double>(f.intercept) + static_cast<double>(f.slope) * airmass, v);
}

// The frames that have a point: fitted ones, and measured ones that were removed or left out
// while their airmass and signal still give a place (a star below the horizon or without
// signal has none).
std::vector<Mark> marksOf(const NightRecord& night, const NightFit& fit, PlotValue v) {
    std::vector<Mark> marks;
    for (std::size_t i = 0; i < night.frames.size(); ++i) {
        const FrameRecord& f = night.frames[i];
        if (!f.measured()) continue;
        const FitPoint p = f.measurement->point();
        const bool placed = std::isfinite(p.airmass) && p.airmass >= 1.0f &&
                            f.measurement->rings.integratedDC > 0.0f && std::isfinite(p.magnitude);
        if (!f.included() && !placed) continue;
        Mark m;
        m.airmass = p.airmass;
        m.value = scaled(p.magnitude, v);
        m.residual = m.value - lineAt(fit, f.band, m.airmass, v);
        m.band = f.band;
        m.kind = f.included()
                     ? MarkKind::fitted
                     : (f.state == FrameState::removed ? MarkKind::removed : MarkKind::leftOut);
        m.frame = i;
        marks.push_back(m);
    }
    return marks;
}

struct Axes {
    AxisScale x;         // airmass
    AxisScale y;         // main panel
    AxisScale residual;  // residual panel
};

// The ranges hold the fitted and removed points; a frame the program left out may lie far
// away (a saturated star) and is drawn at the panel's edge instead of squeezing the rest.
Axes axesFor(const std::vector<Mark>& marks, PlotValue v) {
    double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY, r = 0.0;
    for (const Mark& m : marks) {
        if (m.kind == MarkKind::leftOut) continue;
        x0 = std::min(x0, m.airmass);
        x1 = std::max(x1, m.airmass);
        y0 = std::min(y0, m.value);
        y1 = std::max(y1, m.value);
        if (std::isfinite(m.residual)) r = std::max(r, std::fabs(m.residual));
    }
    if (!(x1 >= x0)) x0 = 1, x1 = 2, y0 = 0, y1 = 1;
    Axes a{roundedAxis(x0, x1, 8), roundedAxis(y0, y1, 6), roundedAxis(-r, r, 4)};
    a.x.start = kLeft;
    a.x.end = kRight;
    // Magnitudes grow downward, so that a brighter star stands higher in both units.
    const bool down = v == PlotValue::magnitude;
    a.y.start = down ? kMainTop : kMainBottom;
    a.y.end = down ? kMainBottom : kMainTop;
    a.residual.start = down ? kResidualTop : kResidualBottom;
    a.residual.end = down ? kResidualBottom : kResidualTop;
    return a;
}

// A panel's frame, its grid and the tick labels on the left (and under it when asked).
void drawPanel(Canvas& c, const AxisScale& x, const AxisScale& y, bool xLabels) {
    cairo_t* cr = c.context();
    const double top = std::min(y.start, y.end), bottom = std::max(y.start, y.end);
    cairo_set_line_width(cr, 1.0);
    c.setColour(kLightGrey);
    for (const double t : tickValues(x)) {
        cairo_move_to(cr, x.place(t), top);
        cairo_line_to(cr, x.place(t), bottom);
    }
    for (const double t : tickValues(y)) {
        cairo_move_to(cr, kLeft, y.place(t));
        cairo_line_to(cr, kRight, y.place(t));
    }
    cairo_stroke(cr);
    c.setColour(kBlack);
    cairo_rectangle(cr, kLeft, top, kRight - kLeft, bottom - top);
    cairo_stroke(cr);
    for (const double t : tickValues(y))
        c.text({tickText(t, y.step), kLeft - 6, y.place(t) - 7, 11, Anchor::right});
    if (!xLabels) return;
    for (const double t : tickValues(x))
        c.text({tickText(t, x.step), x.place(t), bottom + 4, 11, Anchor::centre});
}

// The picture position of a value, held inside the axis; `beyond` says whether it was moved.
double placeWithin(const AxisScale& axis, double value, bool& beyond) {
    const double low = std::min(axis.from, axis.to), high = std::max(axis.from, axis.to);
    beyond = value < low || value > high;
    return axis.place(std::clamp(value, low, high));
}

void drawMark(Canvas& c, double px, double py, const Mark& m, bool beyond = false) {
    cairo_t* cr = c.context();
    cairo_new_sub_path(cr);
    if (beyond) {
        // Outside the axis: a hollow triangle on the panel's edge.
        cairo_move_to(cr, px, py - 5.5);
        cairo_line_to(cr, px + 5.5, py + 4.5);
        cairo_line_to(cr, px - 5.5, py + 4.5);
        cairo_close_path(cr);
    } else if (m.kind == MarkKind::leftOut) {
        // Left out by the program: a hollow square, told apart from the user's removals.
        cairo_rectangle(cr, px - 4.5, py - 4.5, 9, 9);
    } else {
        cairo_arc(cr, px, py, 4.5, 0, 2 * std::numbers::pi);
    }
    c.setColour(m.kind == MarkKind::fitted ? colourOf(m.band) : kGrey);
    if (m.kind == MarkKind::fitted && !beyond) {
        cairo_fill(cr);
    } else {
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
}

// The point being considered: a thick black ring about its mark, which shows against every
// band's colour and the grey of the hollow marks.
void drawRing(Canvas& c, double px, double py) {
    cairo_t* cr = c.context();
    cairo_new_sub_path(cr);
    cairo_arc(cr, px, py, 10.0, 0, 2 * std::numbers::pi);
    c.setColour(kBlack);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
}

// The fitted lines across the airmass axis, clipped to the panel, then the points (the one
// being considered ringed).
void drawMainPanel(Canvas& c, const NightFit& fit, const std::vector<Mark>& marks, const Axes& a,
                   PlotValue v, std::optional<std::size_t> ringed) {
    drawPanel(c, a.x, a.y, false);
    cairo_t* cr = c.context();
    cairo_save(cr);
    cairo_rectangle(cr, kLeft, kMainTop, kRight - kLeft, kMainBottom - kMainTop);
    cairo_clip(cr);
    cairo_set_line_width(cr, 2.0);
    for (const Band b : kBands) {
        const double y0 = lineAt(fit, b, a.x.from, v), y1 = lineAt(fit, b, a.x.to, v);
        if (!std::isfinite(y0) || !std::isfinite(y1)) continue;
        c.setColour(colourOf(b));
        cairo_move_to(cr, a.x.place(a.x.from), a.y.place(y0));
        cairo_line_to(cr, a.x.place(a.x.to), a.y.place(y1));
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    for (const Mark& m : marks) {
        bool beyond = false;
        const double py = placeWithin(a.y, m.value, beyond);
        drawMark(c, a.x.place(m.airmass), py, m, beyond);
        if (ringed == m.frame) drawRing(c, a.x.place(m.airmass), py);
    }
}

void drawResidualPanel(Canvas& c, const std::vector<Mark>& marks, const Axes& a,
                       std::optional<std::size_t> ringed) {
    drawPanel(c, a.x, a.residual, true);
    cairo_t* cr = c.context();
    c.setColour(kBlack);
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, kLeft, a.residual.place(0));
    cairo_line_to(cr, kRight, a.residual.place(0));
    cairo_stroke(cr);
    for (const Mark& m : marks) {
        if (!std::isfinite(m.residual)) continue;
        bool beyond = false;
        const double py = placeWithin(a.residual, m.residual, beyond);
        drawMark(c, a.x.place(m.airmass), py, m, beyond);
        if (ringed == m.frame) drawRing(c, a.x.place(m.airmass), py);
    }
}

void drawAxisLabels(Canvas& c, PlotValue v) {
    const bool mag = v == PlotValue::magnitude;
    c.setColour(kBlack);
    c.text({"Airmass X", (kLeft + kRight) / 2, kResidualBottom + 24, 13, Anchor::centre, true});
    c.text({mag ? "Instrumental magnitude (\u22122.5 log\u2081\u2080 signal)" : "ln(signal / ADU)",
            18, (kMainTop + kMainBottom) / 2, 13, Anchor::centre, true, true});
    c.text({mag ? "Residual (mag)" : "Residual (ln)", 18, (kResidualTop + kResidualBottom) / 2, 11,
            Anchor::centre, false, true});
}

int countOf(const std::vector<Mark>& marks, MarkKind kind) {
    return static_cast<int>(std::count_if(marks.begin(), marks.end(),
                                          [kind](const Mark& m) { return m.kind == kind; }));
}

// The frames the program left out, drawn or not (a frame never read, or whose star has no
// place on the axes, has no mark), and how many of them are not drawn.
std::string leftOutText(const NightRecord& night, const std::vector<Mark>& marks) {
    const int all = static_cast<int>(std::count_if(
        night.frames.begin(), night.frames.end(),
        [](const FrameRecord& f) { return !f.included() && f.state != FrameState::removed; }));
    const int undrawn = all - countOf(marks, MarkKind::leftOut);
    return "left out by the program (" + std::to_string(all) +
           (undrawn > 0 ? ", " + std::to_string(undrawn) + " not drawn)" : ")");
}

// One legend line per band with files, then the hollow marks explained.
void drawLegend(Canvas& c, const NightRecord& night, const NightFit& fit,
                const std::vector<Mark>& marks) {
    double y = kLegendTop;
    for (const Band b : kBands) {
        if (fit.band(b).files <= 0) continue;
        c.setColour(colourOf(b));
        cairo_rectangle(c.context(), kLeft, y + 3, 26, 4);
        cairo_fill(c.context());
        c.setColour(kBlack);
        c.text({legendText(b, bandLegend(fit, b)), kLeft + 36, y - 4, 13, Anchor::left});
        // The band's verdict at the row's end; a doubtful band's reasons on a line of their own.
        const BandResult& r = fit.band(b);
        c.text({std::string(verdictName(r.verdict)), kRight, y - 4, 13, Anchor::right, true});
        y += 22;
        if (r.verdict != Verdict::doubtful) continue;
        c.text({"doubtful: " + verdictReasons(r), kLeft + 36, y - 6, 11, Anchor::left});
        y += 15;
    }
    const Mark removed{0, 0, 0, Band::red, MarkKind::removed};
    const Mark leftOut{0, 0, 0, Band::red, MarkKind::leftOut};
    drawMark(c, kLeft + 13, y + 5, removed);
    c.setColour(kBlack);
    c.text({"removed (" + std::to_string(countOf(marks, MarkKind::removed)) + ")", kLeft + 36,
            y - 4, 12});
    drawMark(c, kLeft + 233, y + 5, leftOut);
    c.setColour(kBlack);
    c.text({leftOutText(night, marks), kLeft + 256, y - 4, 12});
    drawMark(c, kLeft + 583, y + 5, leftOut, true);
    c.setColour(kBlack);
    c.text({"beyond the axis, drawn at its edge", kLeft + 606, y - 4, 12});
}

}  // namespace

BandLegend bandLegend(const NightFit& fit, Band band) {
    BandLegend l;
    const BandResult& r = fit.band(band);
    const BandFit& f = r.line;
    l.frames = f.analysed;
    l.fitted = r.hasLine();
    if (!l.fitted) return l;
    l.kLn = r.k();
    l.kLnError = r.errors.residual;
    l.kMag = kMagnitudesPerLn * l.kLn;
    l.kMagError = kMagnitudesPerLn * l.kLnError;
    l.r2 = f.r2;
    return l;
}

std::string legendText(Band band, const BandLegend& l) {
    const std::string name(bandLabel(band));
    const std::string frames = std::to_string(l.frames) + (l.frames == 1 ? " frame" : " frames");
    if (!l.fitted) return name + "  no line (" + frames + ")";
    return name + "  k = " + fixedText(l.kMag, 4) + " \u00b1 " + fixedText(l.kMagError, 4) +
           " mag/airmass (" + fixedText(l.kLn, 4) + " \u00b1 " + fixedText(l.kLnError, 4) +
           " ln/airmass), R\u00b2 " + fixedText(l.r2, 5) + ", " + frames;
}

namespace {

// A decimal angle as whole units, minutes and seconds ("34° 30′ 00″", "09h 05m 00s"), the
// seconds rounded and carried.
std::string sexagesimal(double value, bool hours) {
    const double whole = std::round(std::fabs(value) * 3600.0);
    const long total = static_cast<long>(whole);
    char buf[64];
    std::snprintf(buf, sizeof buf,
                  hours ? "%02ldh %02ldm %02lds" : "%ld\u00b0 %02ld\u2032 %02ld\u2033",
                  total / 3600, total / 60 % 60, total % 60);
    return buf;
}

// The UT date of the first measured frame.
std::string nightDate(const NightRecord& night) {
    for (const FrameRecord& f : night.frames) {
        if (!f.measured()) continue;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", f.header.year, f.header.month,
                      f.header.day);
        return buf;
    }
    return "no frame measured";
}

}  // namespace

std::string plotTitle(const ObservingSetup& setup) {
    const double dec = setup.declination.value;
    return "Atmospheric extinction towards RA " + sexagesimal(setup.rightAscension.value, true) +
           ", Dec " + (dec < 0 ? "\u2212" : "+") + sexagesimal(dec, false);
}

std::string plotSubtitle(const NightRecord& night, const ObservingSetup& setup) {
    const double lat = setup.latitude.value, lon = setup.longitude.value;
    return "Site " + sexagesimal(lat, false) + (lat < 0 ? " S, " : " N, ") +
           sexagesimal(lon, false) + (lon < 0 ? " W" : " E") + "  \u00b7  night of " +
           nightDate(night) + " (UT date of the first frame)";
}

namespace {

void drawNightPlot(Canvas& c, const NightRecord& night, const NightFit& fit,
                   const ObservingSetup& setup, PlotValue value,
                   std::optional<std::size_t> ringed) {
    const std::vector<Mark> marks = marksOf(night, fit, value);
    const Axes axes = axesFor(marks, value);
    c.setColour(kBlack);
    c.text({plotTitle(setup), kWidth / 2.0, 14, 18, Anchor::centre, true});
    c.text({plotSubtitle(night, setup), kWidth / 2.0, 44, 13, Anchor::centre});
    drawMainPanel(c, fit, marks, axes, value, ringed);
    drawResidualPanel(c, marks, axes, ringed);
    drawAxisLabels(c, value);
    drawLegend(c, night, fit, marks);
}

}  // namespace

std::string nightPlot(const NightRecord& night, const NightFit& fit, const ObservingSetup& setup,
                      PlotValue value, PictureFormat format) {
    Canvas c(format, kWidth, kHeight);
    drawNightPlot(c, night, fit, setup, value, std::nullopt);
    return c.finish();
}

Raster nightPlotPixels(const NightRecord& night, const NightFit& fit, const ObservingSetup& setup,
                       const PlotView& view) {
    if (view.width < 1 || view.height < 1) return {};
    Canvas c(PictureFormat::png, view.width, view.height);
    // The whole drawing, shrunk evenly to the smaller of the two scales (the rest stays white).
    const double scale = std::min(static_cast<double>(view.width) / kWidth,
                                  static_cast<double>(view.height) / kHeight);
    cairo_scale(c.context(), scale, scale);
    drawNightPlot(c, night, fit, setup, view.value, view.ringed);
    return c.pixels();
}

bool writeNightPlot(const NightRecord& night, const NightFit& fit, const ObservingSetup& setup,
                    PlotValue value, const std::filesystem::path& path) {
    const std::optional<PictureFormat> format = pictureFormatOf(path);
    if (!format) return false;
    return writePicture(nightPlot(night, fit, setup, value, *format), path);
}

}  // namespace orvel
