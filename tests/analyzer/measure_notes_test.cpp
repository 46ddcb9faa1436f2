#include "analyzer/measure_notes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/touchstone_writer.h"

namespace vna {
namespace {

using Points = std::vector<TouchstonePoint>;

// s12 merged into a file of the transmission analyzer (without our lines)
// gets its notes and the slots line before the option line; s11 merged
// next adds its own; s12 measured again replaces its stale notes.
TEST(MeasureNotes, AFileBuiltUpByMergesSaysHowEachSlotWasMeasured) {
  const Points points{{1000, -1, 2}, {2000, -3, 4}};
  const std::string analyzers = s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, points);
  const auto merge = [&](const std::string& text, ParameterSlot slot, const std::string& when) {
    const std::vector<std::string> notes{"measured " + when, "plan: two points"};
    return notedMerge(*mergeS2p(text, slot, points).content, slot, slotNotes(slot, notes));
  };
  const std::string first = merge(analyzers, ParameterSlot::s12, "monday");
  const std::size_t option = analyzers.find("# HZ");
  EXPECT_EQ(first, analyzers.substr(0, option) +
                       "! s12 measured monday\r\n! s12 plan: two points\r\n"
                       "! slots measured: s21 and s12; s11 and s22 hold 0.0 0.0 as placeholders, not values\r\n" +
                       mergeS2p(analyzers, ParameterSlot::s12, points).content->substr(option));
  const std::string second = merge(first, ParameterSlot::s11, "tuesday");
  const std::string third = merge(second, ParameterSlot::s12, "wednesday");
  const std::size_t notesEnd = third.find("# HZ");
  EXPECT_EQ(third.substr(option, notesEnd - option),
            "! s11 measured tuesday\r\n! s11 plan: two points\r\n"
            "! s12 measured wednesday\r\n! s12 plan: two points\r\n"
            "! slots measured: s11, s21 and s12; s22 holds 0.0 0.0 as placeholders, not values\r\n");
}

}  // namespace
}  // namespace vna
