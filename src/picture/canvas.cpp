#include "picture/canvas.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <numbers>

#include "base/file_io.h"
#include "base/typed_line.h"

namespace orvel {

namespace {

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

const char* anchorAttribute(Anchor a) {
    if (a == Anchor::centre) return " text-anchor=\"middle\"";
    return a == Anchor::right ? " text-anchor=\"end\"" : "";
}

// The invisible text layer: each item where it is drawn, so that a search or a script finds
// the words the glyph outlines show.
std::string svgTextLayer(const std::vector<TextItem>& texts) {
    std::string out = "<g id=\"orvel-text\" fill-opacity=\"0\" font-family=\"DejaVu Sans\">\n";
    for (const TextItem& t : texts) {
        char head[200];
        // A vertical item turns about its own anchor, as it was drawn.
        char turn[80] = "";
        if (t.vertical)
            std::snprintf(turn, sizeof turn, " transform=\"rotate(-90 %.1f %.1f)\"", t.x, t.y);
        std::snprintf(head, sizeof head, "<text x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\"%s%s>", t.x,
                      t.y + t.size, t.size, anchorAttribute(t.anchor), turn);
        out += head + xmlEscaped(t.text) + "</text>\n";
    }
    return out + "</g>\n";
}

PangoLayout* layoutFor(cairo_t* cr, const TextItem& item) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans");
    pango_font_description_set_absolute_size(font, item.size * PANGO_SCALE);
    if (item.bold) pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, item.text.c_str(), -1);
    return layout;
}

}  // namespace

std::optional<PictureFormat> pictureFormatOf(const std::filesystem::path& path) {
    const std::string ext = upperCase(path.extension().string());
    if (ext == ".PNG") return PictureFormat::png;
    if (ext == ".SVG") return PictureFormat::svg;
    if (ext == ".PDF") return PictureFormat::pdf;
    return std::nullopt;
}

Canvas::Canvas(PictureFormat format, int width, int height)
    : format_(format), width_(width), height_(height) {
    const double w = width, h = height;
    if (format == PictureFormat::png)
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    else if (format == PictureFormat::svg)
        surface_ = cairo_svg_surface_create_for_stream(appendBytes, &bytes_, w, h);
    else
        surface_ = cairo_pdf_surface_create_for_stream(appendBytes, &bytes_, w, h);
    cr_ = cairo_create(surface_);
    // Every picture starts on white paper.
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
}

Canvas::~Canvas() {
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

void Canvas::setColour(Colour c) {
    cairo_set_source_rgb(cr_, c.red, c.green, c.blue);
}

std::pair<double, double> Canvas::measure(const TextItem& item) {
    PangoLayout* layout = layoutFor(cr_, item);
    int w = 0, h = 0;
    pango_layout_get_size(layout, &w, &h);
    g_object_unref(layout);
    return {static_cast<double>(w) / PANGO_SCALE, static_cast<double>(h) / PANGO_SCALE};
}

std::pair<double, double> Canvas::text(const TextItem& item) {
    PangoLayout* layout = layoutFor(cr_, item);
    int w = 0, h = 0;
    pango_layout_get_size(layout, &w, &h);
    const double width = static_cast<double>(w) / PANGO_SCALE;
    const double height = static_cast<double>(h) / PANGO_SCALE;
    // The anchor moves the text's start back by all or half of its length.
    const double shift = item.anchor == Anchor::left     ? 0
                         : item.anchor == Anchor::centre ? width / 2
                                                         : width;
    cairo_save(cr_);
    if (item.vertical) {
        cairo_move_to(cr_, item.x, item.y + shift);
        cairo_rotate(cr_, -std::numbers::pi / 2);
    } else {
        cairo_move_to(cr_, item.x - shift, item.y);
    }
    pango_cairo_show_layout(cr_, layout);
    cairo_restore(cr_);
    g_object_unref(layout);
    texts_.push_back(item);
    return {width, height};
}

std::vector<std::uint32_t> Canvas::pixelsSoFar() {
    std::vector<std::uint32_t> out;
    if (format_ != PictureFormat::png || surface_ == nullptr) return out;
    // Drawing cairo keeps back must reach the pixels before they are read.
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    if (data == nullptr) return out;
    const int stride = cairo_image_surface_get_stride(surface_);
    out.reserve(static_cast<std::size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width_; ++x) out.push_back(row[x] & 0xffffffu);
    }
    return out;
}

std::string Canvas::finish() {
    cairo_destroy(cr_);
    cr_ = nullptr;
    if (format_ == PictureFormat::png) {
        cairo_surface_write_to_png_stream(surface_, appendBytes, &bytes_);
    } else {
        cairo_surface_finish(surface_);
    }
    const bool failed = cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    if (failed) return {};
    if (format_ == PictureFormat::svg) {
        // The text layer goes last, above the drawing, inside the root element.
        const std::size_t end = bytes_.rfind("</svg>");
        if (end != std::string::npos) bytes_.insert(end, svgTextLayer(texts_));
    }
    return bytes_;
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

bool writePicture(const std::string& bytes, const std::filesystem::path& path) {
    if (bytes.empty()) return false;
    return writeWholeFile(path, bytes);
}

}  // namespace orvel
