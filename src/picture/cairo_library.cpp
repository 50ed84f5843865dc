// Cairo's, pango's and GObject's functions, the libraries loaded when a picture is first drawn
// (a plot, the field, the report): a run that writes none of them never loads them.
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include "base/shared_library.h"

namespace {

// Pango's cairo library, found by the build: it links pango, cairo and GObject, whose functions
// are found through it.
constexpr const char* kPictures = ORVEL_CAIRO_LIBRARY;

}  // namespace

// clang-format off
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_arc, (cairo_t* cr, double xc, double yc, double radius, double angle1, double angle2), (cr, xc, yc, radius, angle1, angle2))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_clip, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_close_path, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, cairo_t*, cairo_create, (cairo_surface_t* target), (target))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_destroy, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_fill, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, cairo_pattern_t*, cairo_get_source, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, cairo_surface_t*, cairo_image_surface_create, (cairo_format_t format, int width, int height), (format, width, height))
ORVEL_LIBRARY_FUNCTION(kPictures, unsigned char*, cairo_image_surface_get_data, (cairo_surface_t* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kPictures, int, cairo_image_surface_get_stride, (cairo_surface_t* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_line_to, (cairo_t* cr, double x, double y), (cr, x, y))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_move_to, (cairo_t* cr, double x, double y), (cr, x, y))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_new_sub_path, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_paint, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_pattern_set_filter, (cairo_pattern_t* pattern, cairo_filter_t filter), (pattern, filter))
ORVEL_LIBRARY_FUNCTION(kPictures, cairo_surface_t*, cairo_pdf_surface_create_for_stream, (cairo_write_func_t write_func, void* closure, double width_in_points, double height_in_points), (write_func, closure, width_in_points, height_in_points))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_rectangle, (cairo_t* cr, double x, double y, double width, double height), (cr, x, y, width, height))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_restore, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_rotate, (cairo_t* cr, double angle), (cr, angle))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_save, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_scale, (cairo_t* cr, double sx, double sy), (cr, sx, sy))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_set_line_width, (cairo_t* cr, double width), (cr, width))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_set_source_rgb, (cairo_t* cr, double red, double green, double blue), (cr, red, green, blue))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_set_source_surface, (cairo_t* cr, cairo_surface_t* surface, double x, double y), (cr, surface, x, y))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_stroke, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_surface_destroy, (cairo_surface_t* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_surface_flush, (cairo_surface_t* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_surface_finish, (cairo_surface_t* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_surface_mark_dirty, (cairo_surface_t* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kPictures, cairo_status_t, cairo_surface_status, (cairo_surface_t* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kPictures, cairo_status_t, cairo_surface_write_to_png_stream, (cairo_surface_t* surface, cairo_write_func_t write_func, void* closure), (surface, write_func, closure))
ORVEL_LIBRARY_FUNCTION(kPictures, cairo_surface_t*, cairo_svg_surface_create_for_stream, (cairo_write_func_t write_func, void* closure, double width_in_points, double height_in_points), (write_func, closure, width_in_points, height_in_points))
ORVEL_LIBRARY_FUNCTION(kPictures, void, cairo_translate, (cairo_t* cr, double tx, double ty), (cr, tx, ty))
ORVEL_LIBRARY_FUNCTION(kPictures, void, g_object_unref, (gpointer object), (object))
ORVEL_LIBRARY_FUNCTION(kPictures, PangoLayout*, pango_cairo_create_layout, (cairo_t* cr), (cr))
ORVEL_LIBRARY_FUNCTION(kPictures, void, pango_cairo_show_layout, (cairo_t* cr, PangoLayout* layout), (cr, layout))
ORVEL_LIBRARY_FUNCTION(kPictures, void, pango_font_description_free, (PangoFontDescription* desc), (desc))
ORVEL_LIBRARY_FUNCTION(kPictures, PangoFontDescription*, pango_font_description_from_string, (const char* str), (str))
ORVEL_LIBRARY_FUNCTION(kPictures, void, pango_font_description_set_absolute_size, (PangoFontDescription* desc, double size), (desc, size))
ORVEL_LIBRARY_FUNCTION(kPictures, void, pango_font_description_set_weight, (PangoFontDescription* desc, PangoWeight weight), (desc, weight))
ORVEL_LIBRARY_FUNCTION(kPictures, void, pango_layout_get_size, (PangoLayout* layout, int* width, int* height), (layout, width, height))
ORVEL_LIBRARY_FUNCTION(kPictures, void, pango_layout_set_font_description, (PangoLayout* layout, const PangoFontDescription* desc), (layout, desc))
ORVEL_LIBRARY_FUNCTION(kPictures, void, pango_layout_set_text, (PangoLayout* layout, const char* text, int length), (layout, text, length))
// clang-format on
