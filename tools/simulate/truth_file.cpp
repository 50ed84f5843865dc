#include "simulate/truth_file.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "simulate/frame_traits.h"

namespace orvel::simulate {

namespace {

// A truth number, or an empty field when it does not exist (NaN).
std::string truthNumber(const char* format, double value) {
    if (std::isnan(value)) return {};
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The bands a file holds, as truth.csv names them: none for the dark.
std::string bandsOf(const Frame& f) {
    if (f.kind == FileKind::cube) return "RGB";
    if (f.kind == FileKind::dark) return {};
    return std::string(1, kBands[f.band]);
}

// ",column,row" of the star's centre in the file's pixels (empty for the dark, which has none).
std::string starColumns(const NightOptions& o, const Frame& f) {
    if (f.kind == FileKind::dark) return ",,";
    const Spot resting = restingPlace(o);
    const Spot seen = fieldPlace(o, f, resting.x, resting.y);
    char text[96];
    std::snprintf(text, sizeof text, ",%.4f,%.4f", seen.x, seen.y);
    return text;
}

}  // namespace

bool writeTruth(const std::filesystem::path& path, const NightOptions& o,
                const std::vector<Frame>& frames) {
    std::ofstream out(path, std::ios::trunc);
    char line[256];
    out << "file,band,ut,elevation_deg,airmass,flux_adu,note"
        << (o.changingNight ? ",fwhm_px,sky_adu,neighbour_flux_adu" : "")
        << (o.frameTraits ? ",star_column,star_row\n" : "\n");
    for (const Frame& f : frames) {
        out << f.name << ',' << bandsOf(f) << ',' << isoTime(f.time) << ','
            << truthNumber("%.6f", f.elevation) << ',' << truthNumber("%.6f", f.airmass) << ','
            << truthNumber("%.3f", f.flux) << ','
            << (f.kind == FileKind::frame && f.cloud > 0.0 ? "cloud" : kindName(f.kind));
        if (o.changingNight)
            out << ',' << truthNumber("%.6f", f.fwhm) << ',' << truthNumber("%.3f", f.sky) << ','
                << truthNumber("%.3f", f.neighbourFlux);
        if (o.frameTraits) out << starColumns(o, f);
        out << '\n';
    }
    const bool changing = !std::isnan(o.kEnd[0]);
    out << "\nband,k,flux_above_atmosphere_adu" << (changing ? ",k_per_hour\n" : "\n");
    // The night's span from the first frame's moment to the last one's.
    const double hours =
        frames.size() < 2
            ? 0.0
            : (julianDate(frames.back().time) - julianDate(frames.front().time)) * 24.0;
    for (int b = 0; b < 3; ++b) {
        std::snprintf(line, sizeof line, "%c,%.6g,%.3f", kBands[b], o.k[b], o.flux[b]);
        out << line;
        if (changing) {
            std::snprintf(line, sizeof line, ",%.6g", (o.kEnd[b] - o.k[b]) / hours);
            out << line;
        }
        out << '\n';
    }
    return static_cast<bool>(out);
}

void printSummary(const NightOptions& o, const std::vector<Frame>& frames,
                  const FrameRecipe& first) {
    std::printf("Wrote %zu frames and truth.csv to %s\n", frames.size(), o.out.c_str());
    std::printf("Type these when ORVEL asks:\n");
    std::printf("  Latitude of site (D,M,S):   %s\n", o.lat.c_str());
    std::printf("  Longitude of site (D,M,S):  %s\n", o.lon.c_str());
    std::printf("  RA of target star (H,M,S):  %s\n", o.ra.c_str());
    std::printf("  Dec of target star (D,M,S): %s\n", o.dec.c_str());
    std::printf("Star pixel position (column, row from the first row in the file): %.2f, %.2f\n",
                first.starX, first.starY);
    std::printf("Airmass from %.4f to %.4f; UT %s to %s\n", frames.front().airmass,
                frames.back().airmass, isoTime(frames.front().time).c_str(),
                isoTime(frames.back().time).c_str());
}

// The files that cannot give a true point, one line each.
void printSpoilt(const std::vector<Frame>& files) {
    for (const Frame& f : files)
        if (f.kind != FileKind::frame) std::printf("  %s: %s\n", f.name.c_str(), kindName(f.kind));
}

}  // namespace orvel::simulate
