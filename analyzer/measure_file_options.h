// The options of the commands that read a Touchstone file, convert and
// analyze: their own values, and the rules that hold once the whole command
// line is read (what they default to, what they refuse). Each returns an
// empty string when it accepts, otherwise the one-line error.
#pragma once

#include <string>
#include <string_view>

#include "analyzer/measure_options.h"

namespace vna {

// "s11", "s21", "s12" or "s22".
std::string slotName(ParameterSlot slot);

// Whether `text` ends in `suffix` (given in lower case), whatever the case of
// its letters.
bool endsWithNoCase(std::string_view text, std::string_view suffix);

// convert -o VALUE: any name; its extension or --format says the format.
std::string convertOutputOption(MeasureOptions& o, std::string_view value);
// --slot VALUE of `command`, convert or analyze: any of the four.
std::string fileSlotOption(MeasureOptions& o, std::string_view command, std::string_view value);

// analyze --as VALUE and --report VALUE; `named` is "--as VALUE" as typed.
std::string analyzeAsOption(MeasureOptions& o, const std::string& named, std::string_view value);
std::string analyzeReportOption(MeasureOptions& o, const std::string& named, std::string_view value);

std::string finishConvert(MeasureOptions& o, bool slotGiven);
std::string finishAnalyze(MeasureOptions& o, bool slotGiven);

}  // namespace vna
