#include "night/star_follow.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <map>
#include <numbers>

#include "fits/fits_header.h"
#include "fits/frame_file.h"
#include "fits/pixel_decoder.h"
#include "night/frame_acceptance.h"
#include "night/frame_pipeline.h"
#include "night/frame_reading.h"
#include "observing/precise_airmass.h"

namespace orvel {

namespace {

// Two stars of two frames are the same when their places agree this well (pixels).
constexpr double kMatchPixels = 3.0;
// Stars nearer the star than this (pixels) tell little of the field's turn.
constexpr double kTurnArm = 8.0;
// Stars of the patch fainter than this share of its brightest are not looked at.
constexpr double kPatchShare = 0.01;

// One frame as the walk sees it: where it lies in time and which side of the pier the
// telescope was on.
struct Moment {
    std::size_t frame = 0;  // index into the night's frames
    double julianDate = 0;  // UTC, days
    std::string pierSide;   // PIERSIDE, upper case; empty when the header has none
    ImageHeader header;
};

// The frame's header, time and pier side; empty when it cannot be read or has no time.
std::optional<Moment> momentOf(const std::filesystem::path& folder, const FrameRecord& frame,
                               std::size_t index) {
    if (!frame.whyLeftOut.empty() || !frame.bandKnown) return std::nullopt;
    try {
        const FrameFile file = openFrameFile(folder, frame.source);
        if (!file.problem.empty() || !file.scan.endFound) return std::nullopt;
        Moment m{index, 0.0, keywordString(file.scan.text, "PIERSIDE"),
                 frameHeader(file, frame.source)};
        const std::optional<double> jd = utcJulianDate(m.header, TimeReference::start);
        if (!jd) return std::nullopt;
        m.julianDate = *jd;
        for (char& c : m.pierSide)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return m;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The patch about (column, row) of a frame; nothing when its pixels cannot be read.
FieldPatch patchAbout(const std::filesystem::path& folder, FrameRecord frame,
                      const ImageHeader& header, double column, double row) {
    try {
        const FrameFile file = openFrameFile(folder, frame.source);
        frame.header = header;
        if (!file.problem.empty() || !dataProblem(header, samplesInFile(file.file, header)).empty())
            return {};
        PixelImage buffer;
        FileRows rows(file.file, header, buffer);
        const int reach = frame.source.mosaic ? kFollowReach / 2 + 1 : kFollowReach;
        FieldPatch patch = findListedPatch(rows, frame, column, row, reach, kPatchShare);
        return file.file.problem().empty() ? patch : FieldPatch{};
    } catch (const std::exception&) {
        return {};
    }
}

// The motion is taken from the last few places found over at least this long (days): places
// of whole pixels a few minutes apart would give any speed.
constexpr double kMotionBaseline = 0.5 / 24.0;
constexpr std::size_t kMotionPlaces = 6;

// What the walk knows of the star so far.
struct Trail {
    double lastDate = 0, lastColumn = 0, lastRow = 0;  // the last frame it was found on
    std::vector<std::array<double, 3>> places;         // date, column, row of the last found
    double height = 0;                                 // its peak there above the sky, DC
    std::vector<std::pair<double, double>> others;     // the other stars' offsets from it
    std::string pierSide;                              // the pier side of that frame
    double turn = 0;                                   // degrees against the frame picked on
    std::vector<std::pair<double, double>> reference;  // the other stars' offsets there
};

// How many of the trail's other stars a star at (c, r) finds at their offsets among `stars`.
int agreement(const Trail& trail, const std::vector<PatchStar>& stars, double c, double r) {
    int n = 0;
    for (const std::pair<double, double>& offset : trail.others) {
        const double oc = c + offset.first, orow = r + offset.second;
        n += std::any_of(stars.begin(), stars.end(), [&](const PatchStar& s) {
            return std::hypot(s.column - oc, s.row - orow) < kMatchPixels;
        });
    }
    return n;
}

// The star of `stars` that is the one followed: bright enough, within reach of the place
// expected, the most of its neighbours where they were, then the nearest. -1 when none is.
int chooseStar(const Trail& trail, const std::vector<PatchStar>& stars, double c, double r,
               double reach) {
    int best = -1, bestAgreement = -1;
    double bestDistance = INFINITY;
    for (std::size_t i = 0; i < stars.size(); ++i) {
        const PatchStar& s = stars[i];
        const double d = std::hypot(s.column - c, s.row - r);
        if (s.beyondEdge || s.height < kFollowPeakShare * trail.height || d > reach) continue;
        const int a = agreement(trail, stars, s.column, s.row);
        if (a > bestAgreement || (a == bestAgreement && d < bestDistance))
            best = static_cast<int>(i), bestAgreement = a, bestDistance = d;
    }
    return best;
}

// Where the trail expects the star at `date`: the last place, moved on by the straight-line
// motion of the last places when they span long enough, at most kFollowReach pixels.
std::pair<double, double> expectedPlace(const Trail& trail, double date) {
    const auto& p = trail.places;
    if (p.size() < 2 || std::fabs(p.back()[0] - p.front()[0]) < kMotionBaseline)
        return {trail.lastColumn, trail.lastRow};
    double mt = 0, mc = 0, mr = 0;
    for (const auto& q : p) mt += q[0], mc += q[1], mr += q[2];
    const double n = static_cast<double>(p.size());
    mt /= n, mc /= n, mr /= n;
    double tt = 0, tc = 0, tr = 0;
    for (const auto& q : p)
        tt += (q[0] - mt) * (q[0] - mt), tc += (q[0] - mt) * (q[1] - mc),
            tr += (q[0] - mt) * (q[2] - mr);
    double dc = tc / tt * (date - trail.lastDate), dr = tr / tt * (date - trail.lastDate);
    const double length = std::hypot(dc, dr);
    if (length > kFollowReach) dc *= kFollowReach / length, dr *= kFollowReach / length;
    return {trail.lastColumn + dc, trail.lastRow + dr};
}

// The trail moved to star `chosen` of a frame at `date`.
void advance(Trail& trail, const std::vector<PatchStar>& stars, int chosen, double date) {
    const PatchStar& s = stars[static_cast<std::size_t>(chosen)];
    trail.places.push_back({date, s.column, s.row});
    if (trail.places.size() > kMotionPlaces) trail.places.erase(trail.places.begin());
    trail.lastDate = date;
    trail.lastColumn = s.column;
    trail.lastRow = s.row;
    trail.height = s.height;
    trail.others.clear();
    for (std::size_t i = 0; i < stars.size(); ++i)
        if (static_cast<int>(i) != chosen)
            trail.others.emplace_back(stars[i].column - s.column, stars[i].row - s.row);
}

// The field's turn against the frame picked on, from the stars about the star: each star of
// the frame picked on, turned by the turn so far, is matched to one of the star's new
// neighbours, and the angles between them (weighted by the arm) correct the turn. Unchanged
// without such stars.
void measureTurn(Trail& trail) {
    const double rad = std::numbers::pi / 180.0;
    const double cosT = std::cos(trail.turn * rad), sinT = std::sin(trail.turn * rad);
    double sum = 0.0, weights = 0.0;
    for (const auto& [pc, pr] : trail.reference) {
        const double arm = std::hypot(pc, pr);
        if (arm < kTurnArm) continue;
        const double ec = cosT * pc - sinT * pr, er = sinT * pc + cosT * pr;
        for (const auto& [qc, qr] : trail.others)
            if (std::hypot(qc - ec, qr - er) < kMatchPixels) {
                sum += arm * std::remainder(std::atan2(qr, qc) - std::atan2(er, ec),
                                            2 * std::numbers::pi);
                weights += arm;
                break;
            }
    }
    if (weights > 0.0) trail.turn += sum / weights / rad;
}

// A meridian flip turns the field 180 degrees about the frame's centre: the place, the motion
// and the neighbours' offsets turn with it.
void turnHalfway(Trail& trail, const ImageHeader& h) {
    trail.lastColumn = h.columns - 1 - trail.lastColumn;
    trail.lastRow = h.rows - 1 - trail.lastRow;
    for (auto& q : trail.places) q[1] = h.columns - 1 - q[1], q[2] = h.rows - 1 - q[2];
    for (auto& [dc, dr] : trail.others) dc = -dc, dr = -dr;
    trail.turn = std::remainder(trail.turn + 180.0, 360.0);
}

// What the walk gathers as it goes: where it reads, and how often each sensor pixel stood out
// as a hot pixel does.
struct Walk {
    const std::filesystem::path& folder;
    std::map<SensorPixel, int> hotCounts;
    // The patch about (column, row) of a frame, its hot-pixel candidates counted.
    std::vector<PatchStar> starsAbout(const FrameRecord& frame, const Moment& m, double column,
                                      double row) {
        FieldPatch patch = patchAbout(folder, frame, m.header, column, row);
        for (const SensorPixel& p : patch.hotCandidates) ++hotCounts[p];
        return std::move(patch.stars);
    }
};

// One frame of the walk: the star where the trail expects it, and the trail moved on.
FollowedStar step(Walk& walk, const FrameRecord& frame, const Moment& m, Trail& trail) {
    if (!m.pierSide.empty() && !trail.pierSide.empty() && m.pierSide != trail.pierSide)
        turnHalfway(trail, m.header);
    trail.pierSide = m.pierSide.empty() ? trail.pierSide : m.pierSide;
    const auto [c, r] = expectedPlace(trail, m.julianDate);
    const std::vector<PatchStar> stars = walk.starsAbout(frame, m, c, r);
    FollowedStar f{true, false, c, r, 0, 0, trail.turn};
    const int chosen = chooseStar(trail, stars, c, r, kFollowReach);
    if (chosen < 0) return f;
    advance(trail, stars, chosen, m.julianDate);
    measureTurn(trail);
    f.turnDegrees = trail.turn;
    f.found = true;
    f.column = trail.lastColumn;
    f.row = trail.lastRow;
    return f;
}

// The star on the frame picked on: the star of the patch nearest the click.
std::optional<Trail> startTrail(Walk& walk, const FrameRecord& frame, const Moment& m,
                                const StarSelection& selection) {
    const double c = std::round(selection.screenFactor * selection.starX);
    const double r = std::round(selection.screenFactor * selection.starY);
    const std::vector<PatchStar> stars = walk.starsAbout(frame, m, c, r);
    const int chosen = nearestPatchStar(stars, c, r);
    if (chosen < 0) return std::nullopt;
    Trail trail;
    trail.lastDate = m.julianDate;
    trail.pierSide = m.pierSide;
    advance(trail, stars, chosen, m.julianDate);
    trail.reference = trail.others;
    return trail;
}

}  // namespace

namespace {

bool moved(const FollowedStar& f) {
    return std::fabs(std::remainder(f.turnDegrees, 360.0)) >= kFollowMinimumTurn ||
           std::fabs(f.shiftColumn) >= kFollowMinimumShift ||
           std::fabs(f.shiftRow) >= kFollowMinimumShift;
}

}  // namespace

bool followMoves(const FollowedStar& f) {
    return f.known && f.found && moved(f);
}

bool followLost(const FollowedStar& f) {
    return f.known && !f.found && moved(f);
}

StarSelection followedSelection(const StarSelection& picked, const FollowedStar& from,
                                const FollowedStar& to, int columns, int rows) {
    StarSelection s = picked;
    const double sf = picked.screenFactor;
    s.starX = static_cast<float>(std::round(to.column) / sf);
    s.starY = static_cast<float>(std::round(to.row) / sf);
    // The sky patch keeps its offset from the star, turned with the field.
    const double turn = (to.turnDegrees - from.turnDegrees) * std::numbers::pi / 180.0;
    const double oc = 0.5 * (picked.x1 + picked.x2) - from.column;
    const double orow = 0.5 * (picked.y1 + picked.y2) - from.row;
    const double cc = to.column + std::cos(turn) * oc - std::sin(turn) * orow;
    const double cr = to.row + std::sin(turn) * oc + std::cos(turn) * orow;
    const double hw = 0.5 * (picked.x2 - picked.x1), hh = 0.5 * (picked.y2 - picked.y1);
    // Kept inside 1..columns and 1..rows with its size.
    const double x = std::clamp(cc, 1.0 + hw, std::max(1.0 + hw, columns - hw));
    const double y = std::clamp(cr, 1.0 + hh, std::max(1.0 + hh, rows - hh));
    s.x1 = static_cast<float>(std::round(x - hw));
    s.x2 = static_cast<float>(std::round(x + hw));
    s.y1 = static_cast<float>(std::round(y - hh));
    s.y2 = static_cast<float>(std::round(y + hh));
    s.backgroundX = static_cast<float>(x / sf);
    s.backgroundY = static_cast<float>(y / sf);
    return s;
}

NightFollow followStar(const std::filesystem::path& folder, const std::vector<FrameRecord>& frames,
                       std::size_t picked, const StarSelection& selection) {
    NightFollow night;
    std::vector<FollowedStar>& followed = night.frames;
    followed.resize(frames.size());
    std::vector<Moment> moments;
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (std::optional<Moment> m = momentOf(folder, frames[i], i)) moments.push_back(*m);
    std::stable_sort(moments.begin(), moments.end(),
                     [](const Moment& a, const Moment& b) { return a.julianDate < b.julianDate; });
    const auto at = std::find_if(moments.begin(), moments.end(),
                                 [&](const Moment& m) { return m.frame == picked; });
    if (at == moments.end()) return night;
    Walk walk{folder, {}};
    const std::optional<Trail> start = startTrail(walk, frames[picked], *at, selection);
    if (!start) return night;
    const FollowedStar origin{true, true, start->lastColumn, start->lastRow, 0, 0, 0};
    followed[picked] = origin;
    // Forward in time from the frame picked on, then back from it.
    Trail trail = *start;
    for (auto m = at + 1; m != moments.end(); ++m)
        followed[m->frame] = step(walk, frames[m->frame], *m, trail);
    trail = *start;
    for (auto m = std::make_reverse_iterator(at); m != moments.rend(); ++m)
        followed[m->frame] = step(walk, frames[m->frame], *m, trail);
    for (FollowedStar& f : followed) {
        f.shiftColumn = f.column - origin.column;
        f.shiftRow = f.row - origin.row;
    }
    // A pixel that stood out in several frames is the sensor's, not a cosmic ray's.
    for (const auto& [p, n] : walk.hotCounts)
        if (n >= kHotPixelFrames) night.hotPixels.push_back(p);
    return night;
}

}  // namespace orvel
