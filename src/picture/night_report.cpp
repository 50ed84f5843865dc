#include "picture/night_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "fit/band_regression.h"
#include "night/band_verdict.h"
#include "night/night_warnings.h"
#include "picture/canvas.h"
#include "picture/night_plot.h"
#include "picture/plot_axes.h"

namespace orvel {

namespace {

std::string cell(const std::string& text) {
    return "<td>" + xmlEscaped(text) + "</td>";
}

std::string general(double value, int digits) {
    if (!std::isfinite(value)) return "\u2013";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    return buf;
}

std::string image(const std::string& png, const std::string& alt, int width) {
    if (png.empty()) return "";
    return "<figure><img width=\"" + std::to_string(width) + "\" alt=\"" + alt +
           "\" src=\"data:image/png;base64," + base64(png) + "\"><figcaption>" + alt +
           "</figcaption></figure>\n";
}

// The signals and ratios at airmass 1 and 0 of a band with a line; dashes without one.
std::string signalCells(bool fitted, std::array<float, 4> values) {
    std::string out;
    for (const float v : values) out += cell(fitted ? general(v, 7) : "\u2013");
    return out;
}

// "good", "none", or "doubtful: " and the reasons.
std::string verdictText(const BandResult& r) {
    const std::string name(verdictName(r.verdict));
    return r.verdict == Verdict::doubtful ? name + ": " + verdictReasons(r) : name;
}

// One row per band with files: k in both units with its error, R2, frames, signals, ratios.
std::string fitTable(const NightFit& fit) {
    const BandSignals& s = fit.signals;
    std::string out =
        "<table><tr><th>band</th><th>k (mag/airmass)</th><th>k (ln/airmass)</th><th>R\u00b2</th>"
        "<th>frames fitted / files</th><th>signal at X=1 (ADU)</th><th>ratio at X=1</th>"
        "<th>signal at X=0 (ADU)</th><th>ratio at X=0</th><th>verdict</th></tr>\n";
    for (const Band b : kBands) {
        const std::size_t i = bandIndex(b);
        const int files = fit.band(b).files;
        if (files <= 0) continue;
        const BandLegend l = bandLegend(fit, b);
        out += "<tr>" + cell(std::string(bandLabel(b))) +
               cell(l.fitted ? fixedText(l.kMag, 4) + " \u00b1 " + fixedText(l.kMagError, 4)
                             : "\u2013") +
               cell(l.fitted ? fixedText(l.kLn, 4) + " \u00b1 " + fixedText(l.kLnError, 4)
                             : "\u2013") +
               cell(l.fitted ? fixedText(l.r2, 5) : "\u2013") +
               cell(std::to_string(l.frames) + " / " + std::to_string(files)) +
               signalCells(l.fitted, {s.oneAirmass[i], s.oneAirmassRatio[i], s.exoatmospheric[i],
                                      s.exoatmosphericRatio[i]}) +
               cell(verdictText(fit.band(b))) + "</tr>\n";
    }
    return out + "</table>\n";
}

std::string frameRow(const NightRecord& night, std::size_t i,
                     const std::vector<NightWarning>& warnings) {
    const FrameRecord& f = night.frames[i];
    std::string out = std::string("<tr") + (f.included() ? "" : " class=\"out\"") + ">" +
                      cell(f.name) + cell(std::string(bandLetterText(f.band)));
    if (f.measured()) {
        const FrameMeasurement& m = *f.measurement;
        char date[40];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", f.header.year,
                      f.header.month, f.header.day, f.header.hour, f.header.minute,
                      f.header.second);
        out += cell(date) + cell(fixedText(m.sky.airmass, 4)) +
               cell(fixedText(m.sky.elevation, 2)) + cell(general(m.rings.innerRadius, 4)) +
               cell(general(m.rings.skyLevel, 7)) + cell(general(m.rings.integratedDC, 7));
    } else {
        out += "<td colspan=\"6\"></td>";
    }
    return out + cell(f.included() ? "yes" : "no") + cell(frameNote(night, i, warnings)) +
           "</tr>\n";
}

std::string frameTable(const NightRecord& night, const std::vector<NightWarning>& warnings) {
    std::string out =
        "<table><tr><th>file</th><th>band</th><th>DATE-OBS (UT)</th><th>airmass</th>"
        "<th>elevation (\u00b0)</th><th>aperture (px)</th><th>sky (DC)</th>"
        "<th>integrated DC</th><th>fitted</th><th>note</th></tr>\n";
    for (std::size_t i = 0; i < night.frames.size(); ++i) out += frameRow(night, i, warnings);
    return out + "</table>\n";
}

// One row per altitude: its airmass, the relative signals and the factors for white.
std::string weightsTable(std::span<const ColourWeightRow> weights) {
    if (weights.empty()) return "";
    std::string out =
        "<h2>Colour weights</h2>\n<p>For a star like this one imaged at an altitude: its relative "
        "signal in each band (largest band 1) and the factor to multiply each channel by so "
        "that it comes out white (largest factor 1). " +
        xmlEscaped(kWhiteBalanceNote) +
        "</p>\n<table><tr><th>altitude (\u00b0)</th><th>airmass</th><th>signal R</th>"
        "<th>signal G</th><th>signal B</th><th>multiply R by</th><th>multiply G by</th>"
        "<th>multiply B by</th></tr>\n";
    for (const ColourWeightRow& row : weights) {
        out += "<tr>" + cell(general(row.altitude, 4)) + cell(fixedText(row.airmass, 4));
        for (const double w : row.signal) out += cell(fixedText(w, 4));
        for (const double m : row.multiply) out += cell(std::isnan(m) ? "\u2013" : fixedText(m, 4));
        out += "</tr>\n";
    }
    return out + "</table>\n";
}

constexpr const char* kStyle =
    "body{font-family:'DejaVu Sans',sans-serif;margin:24px;color:#111;max-width:1100px}"
    "h1{font-size:22px;margin:0}p.sub{margin:4px 0 16px;color:#444}"
    "figure{display:inline-block;margin:0 16px 16px 0;vertical-align:top}"
    "img{border:1px solid #ccc;max-width:100%}figcaption{font-size:12px;color:#555}"
    "table{border-collapse:collapse;font-size:12px;margin-bottom:20px}"
    "td,th{border:1px solid #bbb;padding:3px "
    "6px;text-align:left;white-space:nowrap}td:last-child{white-space:normal}th{background:#eee}"
    "tr.out td{color:#888}h2{font-size:16px;margin:12px 0 6px}"
    "pre{font-size:12px;white-space:pre-wrap;word-break:break-all}";

}  // namespace

std::string base64(const std::string& bytes) {
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        // Three bytes make four six-bit digits; a short last group is padded with '='.
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::string nightReportHtml(const NightRecord& night, const NightFit& fit,
                            const ObservingSetup& setup, const std::string& plotPng,
                            const std::string& fieldPng, std::span<const ColourWeightRow> weights) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>ORVEL night report</title><style>";
    out += kStyle;
    out += "</style></head><body>\n";
    out += "<h1>" + xmlEscaped(plotTitle(setup)) + "</h1>\n<p class=\"sub\">" +
           xmlEscaped(plotSubtitle(night, setup)) + "</p>\n";
    out += image(plotPng, "The fitted lines of the three bands with every frame, and the residuals",
                 640);
    out += image(fieldPng, "The first frame with the aperture, sky annulus and background", 400);
    out += "<h2>Fit</h2>\n" + fitTable(fit);
    out += weightsTable(weights);
    out += "<h2>Frames</h2>\n" + frameTable(night, fit.warnings);
    return out + "</body></html>\n";
}

std::string withRepeatCommand(const std::string& page, const std::string& command) {
    static constexpr std::string_view kEnd = "</body></html>\n";
    if (command.empty() || !page.ends_with(kEnd)) return page;
    return page.substr(0, page.size() - kEnd.size()) +
           "<h2>Repeating this run</h2>\n<p>Unattended, with the same coordinates, picks and "
           "removals: the same log (but for the screen size) and the same results "
           "files.</p>\n<pre>" +
           xmlEscaped(command) + "</pre>\n" + std::string(kEnd);
}

}  // namespace orvel
