#include "run/measuring_options.h"

#include <cmath>

#include "base/typed_line.h"

namespace orvel {

namespace {

// A whole field that is a finite number, read by the same rules as a typed answer.
std::optional<double> numberOf(const std::string& text) {
    const LeadingNumber n = leadingNumber(text);
    if (n.length == 0 || n.length != text.size() || !std::isfinite(n.value)) return std::nullopt;
    return n.value;
}

std::string refusal(const std::string& name, const std::string& value, const char* wanted) {
    return "option " + name + " '" + value + "' " + wanted;
}

// --equinox and --time-ref: one of a few words.
std::optional<std::string> readWords(const std::map<std::string, std::string>& given,
                                     PreciseAirmassSettings& s) {
    if (const auto it = given.find("--equinox"); it != given.end()) {
        if (it->second == "J2000")
            s.equinox = Equinox::j2000;
        else if (it->second == "date")
            s.equinox = Equinox::ofDate;
        else
            return refusal(it->first, it->second, "is not J2000 or date");
    }
    if (const auto it = given.find("--time-ref"); it != given.end()) {
        if (it->second == "start")
            s.stamp = TimeReference::start;
        else if (it->second == "mid")
            s.stamp = TimeReference::middle;
        else if (it->second == "end")
            s.stamp = TimeReference::end;
        else
            return refusal(it->first, it->second, "is not start, mid or end");
    }
    return std::nullopt;
}

// --pressure (0 or "off" for no refraction) and --temperature, each within what air can be.
std::optional<std::string> readWeather(const std::map<std::string, std::string>& given,
                                       PreciseAirmassSettings& s) {
    if (const auto it = given.find("--pressure"); it != given.end()) {
        const std::optional<double> v = it->second == "off" ? 0.0 : numberOf(it->second);
        if (!v || *v < 0.0 || *v > 1200.0)
            return refusal(it->first, it->second, "is not a pressure of 0 to 1200 hPa or off");
        s.pressureHpa = *v;
    }
    if (const auto it = given.find("--temperature"); it != given.end()) {
        const std::optional<double> v = numberOf(it->second);
        if (!v || *v < -80.0 || *v > 60.0)
            return refusal(it->first, it->second, "is not a temperature of -80 to 60 C");
        s.temperatureC = *v;
    }
    return std::nullopt;
}

// --gain, --read-noise and --reject: positive numbers (a read noise may be 0).
std::optional<std::string> readFitNumbers(const std::map<std::string, std::string>& given,
                                          RunOptions& run) {
    if (const auto it = given.find("--gain"); it != given.end()) {
        const std::optional<double> v = numberOf(it->second);
        if (!v || !(*v > 0.0))
            return refusal(it->first, it->second, "is not a gain above 0 electrons per ADU");
        run.fitting.detector.gain = *v;
    }
    if (const auto it = given.find("--read-noise"); it != given.end()) {
        const std::optional<double> v = numberOf(it->second);
        if (!v || *v < 0.0)
            return refusal(it->first, it->second, "is not a read noise of 0 or more electrons");
        run.fitting.detector.readNoise = *v;
    }
    if (const auto it = given.find("--reject"); it != given.end()) {
        const std::optional<double> v = numberOf(it->second);
        // Below one deviation half of any night's frames would go.
        if (!v || !(*v >= 1.0))
            return refusal(it->first, it->second, "is not a number of deviations of 1 or more");
        run.rejectLimit = *v;
    }
    run.fitting.weighted = given.count("--weighted") > 0;
    return std::nullopt;
}

// The largest radius an aperture or annulus may have, pixels.
constexpr double kLargestRadius = 1000.0;

// --annulus INNER,OUTER: two radii, the inner one below the outer one.
std::optional<std::string> readAnnulus(const std::string& value, ApertureSettings& s) {
    const std::size_t comma = value.find(',');
    const std::optional<double> inner =
        comma == std::string::npos ? std::nullopt : numberOf(value.substr(0, comma));
    const std::optional<double> outer =
        comma == std::string::npos ? std::nullopt : numberOf(value.substr(comma + 1));
    if (!inner || !outer)
        return refusal("--annulus", value, "is not of the form INNER,OUTER (pixels)");
    if (!(*inner >= 0.0 && *inner < *outer && *outer <= kLargestRadius))
        return refusal("--annulus", value, "needs 0 <= INNER < OUTER <= 1000 pixels");
    if (s.rule == ApertureRule::fixed && *inner < s.radius)
        return refusal("--annulus", value, "starts inside the aperture's radius");
    s.annulus = std::make_pair(*inner, *outer);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> readApertureOptions(const std::map<std::string, std::string>& given,
                                               ApertureSettings& aperture) {
    ApertureSettings s;
    if (const auto it = given.find("--aperture"); it != given.end()) {
        const std::optional<double> radius = numberOf(it->second);
        if (it->second == "auto") {
            s.rule = ApertureRule::automatic;
        } else if (radius && *radius > 0.0 && *radius <= kLargestRadius) {
            s.rule = ApertureRule::fixed;
            s.radius = *radius;
        } else if (it->second != "grow") {
            return refusal(it->first, it->second,
                           "is not grow, auto or a radius above 0 and up to 1000 pixels");
        }
    }
    if (const auto it = given.find("--annulus"); it != given.end()) {
        // The ring growth has its own annulus, out to sqrt(2) times the radius it finds.
        if (s.rule == ApertureRule::grow) return "option --annulus needs --aperture auto or RADIUS";
        if (auto bad = readAnnulus(it->second, s)) return bad;
    }
    aperture = s;
    return std::nullopt;
}

namespace {

// The precise airmass and its settings.
std::optional<std::string> readAirmass(const std::map<std::string, std::string>& given,
                                       std::optional<PreciseAirmassSettings>& preciseAirmass) {
    const auto airmass = given.find("--airmass");
    if (airmass != given.end() && airmass->second != "described" && airmass->second != "precise")
        return refusal("--airmass", airmass->second, "is not described or precise");
    const bool precise = airmass != given.end() && airmass->second == "precise";
    // The settings of the precise airmass mean nothing to the described one.
    for (const char* name : {"--equinox", "--time-ref", "--pressure", "--temperature"})
        if (!precise && given.count(name))
            return std::string("option ") + name + " needs --airmass precise";
    if (!precise) return std::nullopt;
    PreciseAirmassSettings s;
    if (auto bad = readWords(given, s)) return bad;
    if (auto bad = readWeather(given, s)) return bad;
    preciseAirmass = s;
    return std::nullopt;
}

}  // namespace

const std::vector<std::string>& measuringOptionNames() {
    static const std::vector<std::string> names = {
        "--airmass", "--equinox",    "--time-ref", "--pressure", "--temperature",
        "--gain",    "--read-noise", "--reject",   "--aperture", "--annulus"};
    return names;
}

const std::vector<std::string>& measuringFlagNames() {
    static const std::vector<std::string> names = {"--weighted"};
    return names;
}

std::optional<std::string> readMeasuringOptions(const std::map<std::string, std::string>& given,
                                                RunOptions& run) {
    if (auto bad = readAirmass(given, run.preciseAirmass)) return bad;
    if (auto bad = readApertureOptions(given, run.aperture)) return bad;
    return readFitNumbers(given, run);
}

std::string measuringOptionsHelp() {
    return R"(  --airmass described|precise
                       the airmass fitted: described (default) is the logged one at DATE-OBS;
                       precise takes the star's apparent place by ERFA (precession, nutation,
                       aberration, refraction) in the middle of each exposure and Pickering's
                       (2002) airmass, valid down to the horizon; the log says which was fitted
  --equinox J2000|date the equinox of --ra/--dec or the typed coordinates (default J2000)
  --time-ref start|mid|end
                       the moment of the exposure DATE-OBS names (default start); the airmass
                       is taken in the exposure's middle, DATE-OBS + EXPTIME/2 for start
  --pressure HPA|off   site air pressure for the refraction (default 1013.25); 0 or off for none
  --temperature C      site air temperature for the refraction (default 10)
  --gain E             electrons per ADU of frames whose header has no GAIN or EGAIN (default 1)
  --read-noise E       read noise in electrons of frames whose header has no RDNOISE (default 0)
  --weighted           fit every band weighted by each frame's error from its photon, sky and
                       read noise (ORVEL_results.csv ln_signal_error); the log's fit changes
  --reject SIGMA       before the graph, leave out one at a time the frame furthest from its
                       band's line while it lies beyond SIGMA robust deviations (1.4826 x the
                       median absolute deviation); each is named, and noted in the results
  --aperture grow|auto|RADIUS
                       the aperture the signal is summed in: grow (default) grows rings about
                       each frame's star until their medians settle, with the sky annulus out to
                       sqrt(2) times that radius; auto takes one radius for the whole night, 3
                       times the median FWHM of the star on every frame, grown to take in whole
                       a nearby star whose light reaches it; RADIUS (pixels) fixes it. The sky
                       is the annulus's median, other stars left out of it; the log names the
                       aperture, ORVEL_results.csv gives each frame's FWHM, peak, sky noise and
                       S/N
  --annulus INNER,OUTER
                       the sky annulus of --aperture auto or RADIUS, pixels (default: from 3
                       median FWHM, or the radius if larger, out to four times the aperture's
                       area)
)";
}

}  // namespace orvel
