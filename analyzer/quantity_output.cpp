#include "analyzer/quantity_output.h"

#include <cerrno>
#include <cstring>

namespace vna {

QuantityOutput::QuantityOutput(OutputFormat format, ColumnSet columns, std::filesystem::path file, std::FILE* out)
    : format_(format), columns_(std::move(columns)), file_(std::move(file)), stream_(file_.empty() ? out : nullptr) {}

SaveResult QuantityOutput::write(const std::string& text) {
  if (!stream_) {  // a file: kept until the end
    pending_ += text;
    return SaveResult::success();
  }
  if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size() || std::fflush(stream_) != 0)
    return SaveResult::failure(std::string("standard output: ") + std::strerror(errno));
  return SaveResult::success();
}

SaveResult QuantityOutput::begin(const nlohmann::ordered_json& run) {
  return write(format_ == OutputFormat::Csv ? csvHeader(columns_) : jsonFirstLine(run, columns_));
}

SaveResult QuantityOutput::point(double frequencyHz, std::span<const double> values, std::span<const double> u) {
  ++points_;
  return write(format_ == OutputFormat::Csv ? csvLine(columns_, frequencyHz, values, u)
                                            : jsonPointLine(columns_, frequencyHz, values, u));
}

SaveResult QuantityOutput::finish() {
  if (format_ == OutputFormat::JsonLines)
    if (SaveResult written = write(jsonEndLine(points_)); !written) return written;
  return stream_ ? SaveResult::success() : saveAtomically(file_, pending_);
}

}  // namespace vna
