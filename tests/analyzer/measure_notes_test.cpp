#include "analyzer/measure_notes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/touchstone_writer.h"

namespace vna {
namespace {

using Points = std::vector<TouchstonePoint>;

// Merged into a file of the transmission analyzer (without our lines) it
// gets them before the option line; merged again, only the slots line changes.
TEST(MeasureNotes, AMergedFileSaysWhichSlotsHoldValues) {
  const Points points{{1000, -1, 2}, {2000, -3, 4}};
  const std::string analyzers = s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, points);
  const std::vector<std::string> notes{"measured now by vna-measure", "plan: two points"};
  const std::string first = notedMerge(*mergeS2p(analyzers, ParameterSlot::s12, points).content, notes);
  const std::size_t option = analyzers.find("# HZ");
  EXPECT_EQ(first, analyzers.substr(0, option) +
                       "! measured now by vna-measure\r\n! plan: two points\r\n"
                       "! slots measured: s21 and s12; s11 and s22 hold 0.0 0.0 as placeholders, not values\r\n" +
                       mergeS2p(analyzers, ParameterSlot::s12, points).content->substr(option));
  const std::string second = notedMerge(*mergeS2p(first, ParameterSlot::s11, points).content, notes);
  EXPECT_EQ(second.find("! plan: two points"), second.rfind("! plan: two points"));
  EXPECT_NE(second.find("! slots measured: s11, s21 and s12; s22 holds 0.0 0.0 as placeholders"), std::string::npos)
      << second;
  EXPECT_EQ(second.find("s21 and s12; s11"), std::string::npos);
}

}  // namespace
}  // namespace vna
