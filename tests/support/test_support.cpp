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

#include "fits/fits_writer.h"

namespace orvel::test {

std::string frameBytes(const FrameSpec& frame) {
    std::vector<double> values(static_cast<std::size_t>(frame.columns) * frame.rows);
    for (int r = 0; r < frame.rows; ++r) {
        for (int c = 0; c < frame.columns; ++c) {
            const double dx = c - frame.starColumn;
            const double dy = r - frame.starRow;
            const double star =
                frame.starPeak * std::exp(-(dx * dx + dy * dy) / (2 * frame.sigma * frame.sigma));
            values[static_cast<std::size_t>(r) * frame.columns + c] = std::round(frame.sky + star);
        }
    }
    std::vector<std::string> cards = fitsImageCards(frame.bitpix, frame.columns, frame.rows);
    const double bzero = frame.bitpix == 16 ? 32768.0 : 0.0;
    cards.push_back(fitsRealCard("BSCALE", 1.0));
    cards.push_back(fitsRealCard("BZERO", bzero));
    cards.push_back(fitsStringCard("DATE-OBS", frame.date));
    cards.push_back(fitsRealCard("EXPTIME", 30.0));
    return fitsFileBytes(cards, encodeSamples(values, frame.bitpix, 1.0, bzero));
}

void writeFrame(const std::filesystem::path& path, const FrameSpec& frame) {
    writeFile(path, frameBytes(frame));
}

}  // namespace orvel::test
