// The report as a file: PNG (1600 x 1130 pixels), SVG or PDF (one A4
// landscape page), chosen by the name's extension. The page is drawn into
// memory and saved whole through a temporary file beside the target, so
// a failure leaves no half-written report and an older one untouched.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "files/atomic_file.h"
#include "report/report_data.h"

namespace vna {

enum class ReportFormat { Png, Svg, Pdf };

// By the extension, in any case: .png, .svg, .pdf.
std::optional<ReportFormat> reportFormatOfName(std::string_view fileName);

// The file's bytes, or the reason they could not be made.
struct RenderedReport {
  std::string bytes;
  std::string reason;  // empty on success
};
RenderedReport renderReport(const ReportData& data, ReportFormat format);

SaveResult writeReport(const std::filesystem::path& out, const ReportData& data);

}  // namespace vna
