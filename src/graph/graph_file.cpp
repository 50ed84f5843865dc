#include "graph/graph_file.h"

#include <png.h>

#include "base/file_io.h"
#include "base/typed_line.h"

namespace orvel {

namespace {

void appendToString(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void noFlush(png_structp) {}

}  // namespace

std::string pngBytes(const Raster& raster) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return out;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return {};
    }
    png_set_write_fn(png, &out, appendToString, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(raster.width()),
                 static_cast<png_uint_32>(raster.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(raster.width()) * 3;
    const std::uint8_t* bytes = raster.rgbBytes().data();
    for (int y = 0; y < raster.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(bytes + stride * static_cast<std::size_t>(y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

bool saveGraphFile(const Raster& raster, const std::filesystem::path& path) {
    const std::string name = upperCase(path.filename().string());
    const bool png = name.size() >= 4 && name.compare(name.size() - 4, 4, ".PNG") == 0;
    const std::string bytes = png ? pngBytes(raster) : raster.bmpBytes();
    if (bytes.empty()) return false;
    return writeWholeFile(path, bytes);
}

bool saveWindowPicture(const GraphicsWindow& window, const std::filesystem::path& path) {
    // A window that is not open has no picture to save.
    if (!window.isOpen()) return false;
    return saveGraphFile(window.surface(), path);
}

}  // namespace orvel
