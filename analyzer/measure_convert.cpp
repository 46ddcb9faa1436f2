#include "analyzer/measure_convert.h"

#include <array>
#include <cstdio>

#include "analyzer/quantity_output.h"
#include "files/atomic_file.h"
#include "files/network_parameters.h"
#include "files/touchstone_reader.h"
#include "reflection/reflection_columns.h"
#include "transmission/transmission_columns.h"

namespace vna {
namespace {

std::string withoutOuterBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

TouchstoneColumns columnsFor(QuantityKind kind, bool twoPortFile) {
  if (kind == QuantityKind::Transmission) return TouchstoneColumns::TwoPortS21S12;
  return twoPortFile ? TouchstoneColumns::TwoPortS11S22 : TouchstoneColumns::OnePortS11;
}

// The reader keeps the slot asked for first (s11, s21) and its partner second (s22, s12).
bool secondOfPair(ParameterSlot slot) {
  return slot == ParameterSlot::s22 || slot == ParameterSlot::s12;
}

template <typename Values>
void keepChosen(const Values& all, const QuantityChoice& choice, std::vector<double>& out) {
  for (int column : choice.columns) out.push_back(all[static_cast<std::size_t>(column)]);
}

}  // namespace

SlotRead readSlot(std::span<const std::uint8_t> bytes, bool twoPortFile, ParameterSlot slot) {
  const bool transmission = slot == ParameterSlot::s21 || slot == ParameterSlot::s12;
  const TouchstoneReading reading =
      readTouchstone(bytes, columnsFor(transmission ? QuantityKind::Transmission : QuantityKind::Reflection, twoPortFile));
  if (!reading.ok()) return {std::nullopt, withoutOuterBlanks(reading.reason)};
  const TouchstoneScan& file = *reading.scan;
  const bool second = secondOfPair(slot);
  return {SlotReading{file.frequency, second ? file.s2 : file.s1, second ? file.reference2 : file.reference1}, {}};
}

std::vector<Complex> impedancesOf(const SlotReading& slot) {
  std::vector<Complex> z;
  z.reserve(slot.s.size());
  for (const Complex& s : slot.s) z.push_back(slot.reference * (1.0 + s) / (1.0 - s));
  return z;
}

Conversion convertTouchstone(std::span<const std::uint8_t> bytes, bool twoPortFile, ParameterSlot slot,
                             const QuantityChoice& choice) {
  const SlotRead read = readSlot(bytes, twoPortFile, slot);
  if (!read.slot) return {std::nullopt, read.reason};
  const SlotReading& file = *read.slot;
  ConvertedScan scan;
  scan.frequency = file.frequency;
  scan.columns = choice.columns.size();
  scan.reference = file.reference;
  const std::size_t n = file.frequency.size();
  const std::vector<Complex> z = choice.kind == QuantityKind::Reflection ? impedancesOf(file) : std::vector<Complex>{};
  scan.values.reserve(n * scan.columns);
  for (std::size_t i = 0; i < n; ++i) {
    if (choice.kind == QuantityKind::Reflection) {
      keepChosen(reflectionValues(z[i], file.frequency[i], scan.reference), choice, scan.values);
    } else {
      const auto aperture = apertureAt(file.s, file.frequency, static_cast<int>(i));
      keepChosen(transmissionValues(file.s[i], aperture, std::nullopt), choice, scan.values);
    }
  }
  return {std::move(scan), {}};
}

int runConvert(const MeasureOptions& o, MeasureSetting& setting) {
  const auto failure = [&](MeasureExit status, const std::string& message) {
    return reportFailure(o, setting, status, message);
  };
  const std::filesystem::path in = setting.directory / *o.input;
  const ReadResult read = readWholeFile(in);
  if (!read.bytes) return failure(MeasureExit::BadInput, withoutOuterBlanks(read.reason));
  const std::string inName = o.input->string();
  const bool twoPortFile = inName.size() >= 3 && (inName.ends_with("s2p") || inName.ends_with("S2P"));
  const Conversion converted =
      convertTouchstone({reinterpret_cast<const std::uint8_t*>(read.bytes->data()), read.bytes->size()}, twoPortFile,
                        o.slot, *o.quantities);
  if (!converted.scan) return failure(MeasureExit::BadInput, inName + ": " + converted.reason);
  const ConvertedScan& scan = *converted.scan;

  const bool toStdout = *o.output == "-";
  QuantityOutput output(*o.format, ColumnSet{chosenQuantities(*o.quantities), false},
                        toStdout ? std::filesystem::path() : setting.directory / *o.output, setting.out);
  constexpr std::array<std::string_view, 4> kSlotNames{"s11", "s21", "s12", "s22"};
  nlohmann::ordered_json run;
  run["command"] = "convert";
  run["input"] = inName;
  run["parameter"] = kSlotNames[static_cast<std::size_t>(o.slot)];
  run["reference_ohm"] = scan.reference;
  const auto writeFailed = [&](const SaveResult& r) {
    return failure(MeasureExit::CannotWrite, toStdout ? r.reason() : *o.output + ": " + withoutOuterBlanks(r.reason()));
  };
  if (SaveResult r = output.begin(run); !r) return writeFailed(r);
  for (std::size_t i = 0; i < scan.frequency.size(); ++i)
    if (SaveResult r = output.point(scan.frequency[i], scan.row(i), {}); !r) return writeFailed(r);
  if (SaveResult r = output.finish(); !r) return writeFailed(r);
  return 0;
}

}  // namespace vna
