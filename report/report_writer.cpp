#include "report/report_writer.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "report/report_page.h"
#include "report/report_series.h"

namespace vna {
namespace {

// A4 landscape in PostScript points; the page's units are scaled into it.
constexpr double kA4LongPoints = 841.89, kA4ShortPoints = 595.28;

struct SurfaceRelease {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextRelease {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceRelease>;
using Context = std::unique_ptr<cairo_t, ContextRelease>;

// cairo writes its streams through this, into the string behind `closure`.
cairo_status_t collect(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// A page size in the surface's own units and the scale from page units.
struct Target {
  double width, height, scale;
};

Target targetOf(ReportFormat format) {
  if (format == ReportFormat::Png) return {kPageWidth, kPageHeight, 1};
  const double scale = std::min(kA4LongPoints / kPageWidth, kA4ShortPoints / kPageHeight);
  return {kA4LongPoints, kA4ShortPoints, scale};
}

Surface surfaceFor(ReportFormat format, const Target& target, std::string& bytes) {
  switch (format) {
    case ReportFormat::Png:
      return Surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(target.width),
                                                static_cast<int>(target.height)));
    case ReportFormat::Svg:
      return Surface(cairo_svg_surface_create_for_stream(collect, &bytes, target.width, target.height));
    case ReportFormat::Pdf:
      return Surface(cairo_pdf_surface_create_for_stream(collect, &bytes, target.width, target.height));
  }
  return nullptr;
}

std::string cairoReason(cairo_status_t status) {
  return std::string("the report could not be drawn: ") + cairo_status_to_string(status);
}

}  // namespace

std::optional<ReportFormat> reportFormatOfName(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string extension(fileName.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "png") return ReportFormat::Png;
  if (extension == "svg") return ReportFormat::Svg;
  if (extension == "pdf") return ReportFormat::Pdf;
  return std::nullopt;
}

RenderedReport renderReport(const ReportData& data, ReportFormat format) {
  if (const std::string problem = reportDataProblem(data); !problem.empty()) return {{}, "nothing to draw: " + problem};
  std::string bytes;
  const Target target = targetOf(format);
  const Surface surface = surfaceFor(format, target, bytes);
  {
    const Context cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), target.scale, target.scale);
    drawReportPage(cr.get(), data);
    cairo_show_page(cr.get());
    if (const cairo_status_t status = cairo_status(cr.get()); status != CAIRO_STATUS_SUCCESS)
      return {{}, cairoReason(status)};
  }
  if (format == ReportFormat::Png) {
    cairo_surface_flush(surface.get());
    if (const cairo_status_t status = cairo_surface_write_to_png_stream(surface.get(), collect, &bytes);
        status != CAIRO_STATUS_SUCCESS)
      return {{}, cairoReason(status)};
  }
  // A vector surface writes its last bytes when it is finished.
  cairo_surface_finish(surface.get());
  if (const cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
    return {{}, cairoReason(status)};
  return {std::move(bytes), {}};
}

SaveResult writeReport(const std::filesystem::path& out, const ReportData& data) {
  const std::optional<ReportFormat> format = reportFormatOfName(out.filename().string());
  if (!format) return SaveResult::failure("a report is a .png, .svg or .pdf file: " + out.filename().string());
  RenderedReport rendered = renderReport(data, *format);
  if (!rendered.reason.empty()) return SaveResult::failure(rendered.reason);
  return saveAtomically(out, rendered.bytes);
}

}  // namespace vna
