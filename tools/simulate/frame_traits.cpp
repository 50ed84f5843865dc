#include "simulate/frame_traits.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>

namespace orvel::simulate {

namespace {

constexpr double kPlacedHotAdu = 30000.0;     // a hot pixel placed by hand, ADU
constexpr double kPlacedCosmicAdu = 20000.0;  // a cosmic-ray hit placed by hand, ADU

// Uniform numbers in [0, 1) from a 64-bit Mersenne Twister, written out so that the same seed
// places the same defects and stars with every standard library.
class UniformSource {
  public:
    explicit UniformSource(std::uint64_t seed) : engine_(seed) {}
    double next() { return static_cast<double>(engine_() >> 11) / 9007199254740992.0; }
    int below(int n) { return static_cast<int>(next() * n); }

  private:
    std::mt19937_64 engine_;
};

// The seed of one use of the random numbers: the night's seed and what they are for, so that
// adding one trait does not move another.
std::uint64_t streamSeed(const NightOptions& o, std::uint64_t use) {
    return o.seed * 2862933555777941757ull + use * 3037000493ull + 12345u;
}

// The hot pixels: the sensor's own, the same in every frame.
void addHotPixels(const NightOptions& o, std::vector<Defect>& out) {
    UniformSource u(streamSeed(o, 1));
    for (int i = 0; i < o.hotPixels; ++i) {
        const double x = u.below(o.columns), y = u.below(o.rows);
        out.push_back({{x, y, 20000.0 + 40000.0 * u.next()}, "hot"});
    }
    for (const PixelPlace& p : o.hotPixelPlaces)
        out.push_back({{double(p.column), double(p.row), kPlacedHotAdu}, "hot"});
}

// Frame `index`'s cosmic-ray hits: a pixel or a short track, in a direction of its own.
void addCosmicRays(const NightOptions& o, int index, std::vector<Defect>& out) {
    static const int kSteps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    UniformSource u(streamSeed(o, 1000u + static_cast<std::uint64_t>(index)));
    for (int i = 0; i < o.cosmicRays; ++i) {
        const int x = u.below(o.columns), y = u.below(o.rows);
        const int length = 1 + u.below(3);
        const int* step = kSteps[u.below(4)];
        const double adu = 5000.0 + 30000.0 * u.next();
        for (int k = 0; k < length; ++k) {
            const int cx = x + k * step[0], cy = y + k * step[1];
            // A track leaving the frame is cut at its edge.
            if (cx < o.columns && cy >= 0 && cy < o.rows)
                out.push_back({{double(cx), double(cy), adu}, "cosmic"});
        }
    }
    for (const PixelPlace& p : o.cosmicRayPlaces)
        if (p.frame == index + 1)
            out.push_back({{double(p.column), double(p.row), kPlacedCosmicAdu}, "cosmic"});
}

// The field stars where they rest: places across the frame and fluxes above the atmosphere
// spread evenly in magnitude from 2000 to 200000 ADU.
std::vector<Spot> restingFieldStars(const NightOptions& o) {
    UniformSource u(streamSeed(o, 2));
    std::vector<Spot> stars;
    for (int i = 0; i < o.fieldStars; ++i) {
        const double x = 2.0 + (o.columns - 5.0) * u.next();
        const double y = 2.0 + (o.rows - 5.0) * u.next();
        stars.push_back({x, y, 2000.0 * std::pow(100.0, u.next())});
    }
    return stars;
}

}  // namespace

Spot restingPlace(const NightOptions& o) {
    return {o.starX.value_or(std::floor(o.columns * 0.55) + 0.3),
            o.starY.value_or(std::floor(o.rows * 0.45) + 0.6), 0.0};
}

bool afterFlip(const NightOptions& o, const Frame& f) {
    return o.flipHours && f.hours >= *o.flipHours;
}

Spot fieldPlace(const NightOptions& o, const Frame& f, double x, double y) {
    // The mount's tracking error moves the whole field at a steady rate.
    x += o.driftX * f.hours;
    y += o.driftY * f.hours;
    const double cx = (o.columns - 1) / 2.0, cy = (o.rows - 1) / 2.0;
    // An alt-az mount's field turns about the frame centre (left alone when it does not turn,
    // so that the places stay exactly as given).
    if (o.rotationRate != 0.0) {
        const double angle = o.rotationRate * f.hours * kPi / 180.0;
        const double dx = x - cx, dy = y - cy;
        x = cx + dx * std::cos(angle) - dy * std::sin(angle);
        y = cy + dx * std::sin(angle) + dy * std::cos(angle);
    }
    // After the flip the camera sees the field upside down: half a turn about the centre.
    if (afterFlip(o, f)) {
        x = o.columns - 1 - x;
        y = o.rows - 1 - y;
    }
    return {x, y, 0.0};
}

int exposureCount(const NightOptions& o) {
    return o.colour.empty() ? 3 * o.frames : o.frames;
}

std::vector<Defect> defectsOf(const NightOptions& o, int index) {
    std::vector<Defect> out;
    addHotPixels(o, out);
    if (index < exposureCount(o)) addCosmicRays(o, index, out);
    return out;
}

void addTraits(const NightOptions& o, const Frame& f, int index, FrameRecipe& s) {
    if (!o.frameTraits) return;
    const Spot star = fieldPlace(o, f, s.starX, s.starY);
    if (s.neighbourFlux > 0.0) {
        const Spot neighbour = fieldPlace(o, f, s.neighbourX, s.neighbourY);
        s.neighbourX = neighbour.x;
        s.neighbourY = neighbour.y;
    }
    s.starX = star.x;
    s.starY = star.y;
    // The field stars are dimmed by the same extinction as the star.
    const double dimming = f.flux / o.flux[f.band];
    for (const Spot& rest : restingFieldStars(o)) {
        const Spot seen = fieldPlace(o, f, rest.x, rest.y);
        s.fieldStars.push_back(
            {seen.x, seen.y, rest.flux * (std::isfinite(dimming) ? dimming : 1.0)});
    }
    // A colour camera's three bands are one exposure: a hit lands in all of them.
    for (const Defect& d : defectsOf(o, o.colour.empty() ? index : index / 3))
        s.defects.push_back(d.pixel);
    s.moffatBeta = o.moffatBeta;
    s.donutInner = o.donutInner;
    s.adcLevels = o.adcBits > 0 ? 1 << o.adcBits : 0;
    s.adcScale = o.adcScale;
}

bool writeDefects(const std::filesystem::path& path, const NightOptions& o) {
    std::ofstream out(path, std::ios::trunc);
    out << "frame,column,row,kind,adu\n";
    char line[96];
    for (int index = 0; index < exposureCount(o); ++index) {
        for (const Defect& d : defectsOf(o, index)) {
            std::snprintf(line, sizeof line, "%d,%d,%d,%s,%.1f\n", index + 1,
                          static_cast<int>(d.pixel.x), static_cast<int>(d.pixel.y), d.kind,
                          d.pixel.flux);
            out << line;
        }
    }
    return static_cast<bool>(out);
}

}  // namespace orvel::simulate
