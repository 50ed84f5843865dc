#include "support/test_support.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orvel::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore permissions a test may have taken away, so the folder can be removed.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

namespace {

// The fields of one CSV line; a quoted field may hold commas and doubled quotes.
std::vector<std::string> csvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string dialogueOf(const std::string& transcript) {
    const std::size_t end = transcript.rfind("\n\nTo repeat this run unattended");
    return end == std::string::npos ? transcript : transcript.substr(0, end + 1);
}

std::vector<std::string> csvColumn(std::string_view text, std::string_view name) {
    const std::vector<std::string> lines = logLines(text);
    if (lines.empty()) return {};
    const std::vector<std::string> header = csvFields(lines[0]);
    std::size_t column = 0;
    while (column < header.size() && header[column] != name) ++column;
    if (column == header.size()) return {};
    std::vector<std::string> values;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> fields = csvFields(lines[i]);
        values.push_back(column < fields.size() ? fields[column] : std::string());
    }
    return values;
}

std::vector<std::string> logLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t crlf = text.find("\r\n", start);
        if (crlf == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, crlf - start));
        start = crlf + 2;
    }
    return lines;
}

}  // namespace orvel::test

#include <cmath>
#include <cstdio>
#include <random>

#include "fits/fits_writer.h"
#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/batch_run.h"
#include "run/run_flow.h"

namespace orvel::test {

std::string frameBytes(const FrameRecipe& frame) {
    std::vector<double> values(static_cast<std::size_t>(frame.columns) * frame.rows);
    std::mt19937 random(20260315);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int r = 0; r < frame.rows; ++r) {
        for (int c = 0; c < frame.columns; ++c) {
            const double dx = c - frame.starColumn;
            const double dy = r - frame.starRow;
            const double star =
                frame.starPeak * std::exp(-(dx * dx + dy * dy) / (2 * frame.sigma * frame.sigma));
            const double noise = frame.noise > 0.0 ? frame.noise * gauss(random) : 0.0;
            values[static_cast<std::size_t>(r) * frame.columns + c] =
                std::round(frame.sky + star + noise);
        }
    }
    for (const FrameRecipe::Spike& s : frame.spikes)
        values[static_cast<std::size_t>(s.row) * frame.columns + s.column] = std::round(s.value);
    std::vector<std::string> cards = fitsImageCards(frame.bitpix, frame.columns, frame.rows);
    const double bzero = frame.bitpix == 16 ? 32768.0 : 0.0;
    cards.push_back(fitsRealCard("BSCALE", 1.0));
    cards.push_back(fitsRealCard("BZERO", bzero));
    cards.push_back(fitsStringCard("DATE-OBS", frame.date));
    cards.push_back(fitsRealCard("EXPTIME", 30.0));
    return fitsFileBytes(cards, encodeSamples(values, frame.bitpix, 1.0, bzero));
}

void writeFrame(const std::filesystem::path& path, const FrameRecipe& frame) {
    writeFile(path, frameBytes(frame));
}

PixelImage flatImage(int columns, int rows, float value) {
    PixelImage image;
    image.columns = columns;
    image.rows = rows;
    image.pixels.assign(static_cast<std::size_t>(columns) * rows, value);
    return image;
}

std::vector<float> pixelValues(const PixelImage& image) {
    return {image.pixels.begin(), image.pixels.end()};
}

void writeSmallNight(const TempDir& dir, int perBand) {
    const char bands[] = {'R', 'G', 'B'};
    for (int b = 0; b < 3; ++b) {
        for (int i = 0; i < perBand; ++i) {
            FrameRecipe f;
            char date[32];
            std::snprintf(date, sizeof date, "2026-03-15T%02d:%02d:00", 19 + 2 * (i % 3),
                          10 * b + i);
            f.date = date;
            f.starPeak = (3000.0 + 1000.0 * b) * std::exp(-0.3 * i);
            char name[32];
            std::snprintf(name, sizeof name, "n_%04d_%c.fit", i + 1, bands[b]);
            writeFrame(dir / name, f);
        }
    }
}

std::pair<int, int> runSmallNightBothWays(const TempDir& unattended, const TempDir& interactive,
                                          const RunOptions& run) {
    writeSmallNight(unattended);
    writeSmallNight(interactive);
    BatchOptions o = smallNightOptions(unattended.path());
    o.run = run;
    o.run.folder = unattended.path();
    ScriptedConsole out;
    const int batch = runBatch(o, out);
    ScriptedConsole console({"y", "35,0,0", "0,0,0", "6,0,0", "35,0,0", "Y", "Y", "N", "N", "X"});
    ScriptedWindow window;
    window.addClick(30, 20);
    window.addClick(50, 40);
    RunOptions options = run;
    RunEnvironment env{console, window, interactive.path(), options};
    return {batch, runOrvel(env)};
}

BatchOptions smallNightOptions(const std::filesystem::path& folder) {
    BatchOptions o;
    o.latitude = "35,0,0";
    o.longitude = "0,0,0";
    o.rightAscension = "6,0,0";
    o.declination = "35,0,0";
    o.starColumn = 30;
    o.starRow = 20;
    o.backgroundColumn = 50;
    o.backgroundRow = 40;
    o.run.folder = folder;
    return o;
}

BatchOptions simulatedNightOptions(const std::filesystem::path& folder, float starColumn,
                                   float starRow, float skyColumn, float skyRow) {
    BatchOptions o;
    o.latitude = "35,0,0";
    o.longitude = "-106,30,0";
    o.rightAscension = "9,5,0";
    o.declination = "34,30,0";
    o.starColumn = starColumn;
    o.starRow = starRow;
    o.backgroundColumn = skyColumn;
    o.backgroundRow = skyRow;
    o.run.folder = folder;
    return o;
}

namespace {

// A measured frame of the hand-made night at `hour` after 20:00 UT.
FrameRecord handMadeFrame(std::string name, Band band, float airmass, double magnitude, int hour) {
    FrameRecord f;
    f.name = std::move(name);
    f.band = band;
    f.header = test::datedHeader(2026, 3, 15, 20 + hour, 0, 0);
    FrameMeasurement m;
    m.sky.airmass = airmass;
    m.sky.elevation = 52.5f;
    m.star.brightestColumn = 30;
    m.star.brightestRow = 20;
    m.rings.innerRadius = 6.0f;
    m.rings.skyLevel = 100.5f;
    m.rings.integratedDC = 39100.0f;
    m.rings.magnitude = magnitude;
    m.rings.aperturePixels = 100;
    m.rings.skyNoise = 3.0;
    m.rings.peak = 2100.0f;
    m.profile.fwhm = 3.5;
    f.measurement = m;
    f.state = FrameState::measured;
    return f;
}

BandFit handMadeLine(float intercept, float slope, float r2, int analysed, int files) {
    BandFit f;
    f.intercept = intercept;
    f.slope = slope;
    f.r2 = r2;
    f.analysed = analysed;
    f.files = files;
    return f;
}

}  // namespace

NightRecord handMadeNight() {
    NightRecord night;
    night.frames = {
        handMadeFrame("=1+2_R.fit", Band::red, 1.0f, 10.03125, 0),
        handMadeFrame("a,b_R.fit", Band::red, 2.0f, 9.4375, 1),
        handMadeFrame("c<d_R.fit", Band::red, 3.0f, 9.03125, 2),
        handMadeFrame("d_G.fit", Band::green, 1.0f, 10.75, 0),
        handMadeFrame("e_G.fit", Band::green, 2.0f, 10.5, 1),
        handMadeFrame("f_G.fit", Band::green, 3.0f, 10.25, 2),
        handMadeFrame("g_G.fit", Band::green, 2.5f, 10.0, 1),
    };
    night.frames[6].state = FrameState::removed;
    night.frames[6].whyLeftOut = "removed";
    FrameRecord unread;
    unread.name = "h_B.fit";
    unread.band = Band::blue;
    unread.whyLeftOut = "its header has no END card before the end of the file";
    night.frames.push_back(unread);
    night.bandCounts = {3, 4, 1};
    night.fits = {handMadeLine(10.5f, -0.5f, 1.0f - 6.0f / 1024.0f / 0.505859375f, 3, 3),
                  handMadeLine(11.0f, -0.25f, 1.0f, 3, 4), BandFit{}};
    return night;
}

ImageHeader datedHeader(int year, int month, int day, int hour, int minute, int second) {
    ImageHeader h;
    h.hasDate = true;
    h.year = year;
    h.month = month;
    h.day = day;
    h.hour = hour;
    h.minute = minute;
    h.second = second;
    return h;
}

}  // namespace orvel::test
