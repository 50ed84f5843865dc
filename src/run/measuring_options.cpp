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

std::string refusal(std::string_view name, const std::string& value, const char* wanted) {
    return "option " + std::string(name) + " '" + value + "' " + wanted;
}

// The settings of the precise airmass mean nothing to the described one.
std::optional<std::string> needsPrecise(std::string_view name, const RunOptions& run) {
    if (run.preciseAirmass) return std::nullopt;
    return "option " + std::string(name) + " needs --airmass precise";
}

// The largest radius an aperture or annulus may have, pixels.
constexpr double kLargestRadius = 1000.0;

}  // namespace

std::optional<std::string> readAirmass(std::string_view name, const std::string& value,
                                       RunOptions& run) {
    if (value == "precise")
        run.preciseAirmass = PreciseAirmassSettings{};
    else if (value != "described")
        return refusal(name, value, "is not described or precise");
    return std::nullopt;
}

std::optional<std::string> readEquinox(std::string_view name, const std::string& value,
                                       RunOptions& run) {
    if (auto bad = needsPrecise(name, run)) return bad;
    if (value == "J2000")
        run.preciseAirmass->equinox = Equinox::j2000;
    else if (value == "date")
        run.preciseAirmass->equinox = Equinox::ofDate;
    else
        return refusal(name, value, "is not J2000 or date");
    return std::nullopt;
}

std::optional<std::string> readTimeReference(std::string_view name, const std::string& value,
                                             RunOptions& run) {
    if (auto bad = needsPrecise(name, run)) return bad;
    if (value == "start")
        run.preciseAirmass->stamp = TimeReference::start;
    else if (value == "mid")
        run.preciseAirmass->stamp = TimeReference::middle;
    else if (value == "end")
        run.preciseAirmass->stamp = TimeReference::end;
    else
        return refusal(name, value, "is not start, mid or end");
    return std::nullopt;
}

// 0 or "off" for no refraction, else within what air can be.
std::optional<std::string> readPressure(std::string_view name, const std::string& value,
                                        RunOptions& run) {
    if (auto bad = needsPrecise(name, run)) return bad;
    const std::optional<double> v = value == "off" ? 0.0 : numberOf(value);
    if (!v || *v < 0.0 || *v > 1200.0)
        return refusal(name, value, "is not a pressure of 0 to 1200 hPa or off");
    run.preciseAirmass->pressureHpa = *v;
    return std::nullopt;
}

std::optional<std::string> readTemperature(std::string_view name, const std::string& value,
                                           RunOptions& run) {
    if (auto bad = needsPrecise(name, run)) return bad;
    const std::optional<double> v = numberOf(value);
    if (!v || *v < -80.0 || *v > 60.0)
        return refusal(name, value, "is not a temperature of -80 to 60 C");
    run.preciseAirmass->temperatureC = *v;
    return std::nullopt;
}

std::optional<std::string> readGain(std::string_view name, const std::string& value,
                                    RunOptions& run) {
    const std::optional<double> v = numberOf(value);
    if (!v || !(*v > 0.0)) return refusal(name, value, "is not a gain above 0 electrons per ADU");
    run.fitting.detector.gain = *v;
    return std::nullopt;
}

std::optional<std::string> readReadNoise(std::string_view name, const std::string& value,
                                         RunOptions& run) {
    const std::optional<double> v = numberOf(value);
    if (!v || *v < 0.0) return refusal(name, value, "is not a read noise of 0 or more electrons");
    run.fitting.detector.readNoise = *v;
    return std::nullopt;
}

std::optional<std::string> readWeighted(std::string_view, const std::string&, RunOptions& run) {
    run.fitting.weighted = true;
    return std::nullopt;
}

std::optional<std::string> readStrict(std::string_view, const std::string&, RunOptions& run) {
    run.strict = true;
    return std::nullopt;
}

std::optional<std::string> readRejectLimit(std::string_view name, const std::string& value,
                                           RunOptions& run) {
    const std::optional<double> v = numberOf(value);
    // Below one deviation half of any night's frames would go.
    if (!v || !(*v >= 1.0))
        return refusal(name, value, "is not a number of deviations of 1 or more");
    run.rejectLimit = *v;
    return std::nullopt;
}

// grow, auto or a radius in pixels.
std::optional<std::string> readAperture(std::string_view name, const std::string& value,
                                        RunOptions& run) {
    ApertureSettings& s = run.aperture;
    const std::optional<double> radius = numberOf(value);
    if (value == "auto") {
        s.rule = ApertureRule::automatic;
    } else if (radius && *radius > 0.0 && *radius <= kLargestRadius) {
        s.rule = ApertureRule::fixed;
        s.radius = *radius;
    } else if (value != "grow") {
        return refusal(name, value, "is not grow, auto or a radius above 0 and up to 1000 pixels");
    }
    return std::nullopt;
}

// INNER,OUTER: two radii, the inner one below the outer one and outside a fixed aperture.
std::optional<std::string> readAnnulus(std::string_view name, const std::string& value,
                                       RunOptions& run) {
    ApertureSettings& s = run.aperture;
    // The ring growth has its own annulus, out to sqrt(2) times the radius it finds.
    if (s.rule == ApertureRule::grow)
        return "option " + std::string(name) + " needs --aperture auto or RADIUS";
    const std::size_t comma = value.find(',');
    const std::optional<double> inner =
        comma == std::string::npos ? std::nullopt : numberOf(value.substr(0, comma));
    const std::optional<double> outer =
        comma == std::string::npos ? std::nullopt : numberOf(value.substr(comma + 1));
    if (!inner || !outer) return refusal(name, value, "is not of the form INNER,OUTER (pixels)");
    if (!(*inner >= 0.0 && *inner < *outer && *outer <= kLargestRadius))
        return refusal(name, value, "needs 0 <= INNER < OUTER <= 1000 pixels");
    if (s.rule == ApertureRule::fixed && *inner < s.radius)
        return refusal(name, value, "starts inside the aperture's radius");
    s.annulus = std::make_pair(*inner, *outer);
    return std::nullopt;
}

}  // namespace orvel
