// The words and numbers of a Touchstone text, as the reader takes them:
// blanks are spaces and tabs, letters are compared without their case, and
// a number is a whole decimal word, read exactly and independently of the
// locale. Pure functions of text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vna::touchstone_text {

bool isBlank(char c);
bool isDigit(char c);
char lower(char c);
std::string_view trimmed(std::string_view text);
// Equal but for the case of their letters.
bool sameWord(std::string_view a, std::string_view b);
// The next blank-separated word of `text`, taken off its front; empty at
// the end.
std::string_view nextWord(std::string_view& text);
// A word of the file as a reason may show it: printable, short, in quotes.
std::string quoted(std::string_view word);
// A whole decimal number: optional sign, digits with an optional point, an
// optional exponent (".5", "+1.", "1E+09"); no "inf" or "nan". A value
// beyond the double range is not a number; one too small for it is 0.
std::optional<double> numberOf(std::string_view word);
// Only the characters of a number, for words the reader does not convert.
bool looksLikeNumber(std::string_view word);
// The first line of `text` with its line feed (a last line without one is
// still a line), taken off its front.
std::string_view takeLine(std::string_view& text);

}  // namespace vna::touchstone_text
