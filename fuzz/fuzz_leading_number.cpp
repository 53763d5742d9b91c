// Arbitrary text as a custom size or a part-count caption. The leading-number conversion must
// give exactly what the C library's strtod gives for the number its rules pick out of the text
// (infinity past the double range, zero below it, never NaN), and rounding must land on the
// nearest whole number, halves on the even one.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/numbers.h"

namespace {

bool digit(char c) {
  return c >= '0' && c <= '9';
}

// The number at the start of `text`, spelt for strtod, or "" when the text begins with none.
// Written from the rules, not from the code under test: blanks, tabs and line feeds first, an
// optional sign, digits with at most one point, then an exponent after E or D (either case)
// only when digits follow it.
std::string numberPrefix(const std::string& text) {
  std::size_t i = text.find_first_not_of(" \t\n");
  if (i == std::string::npos) return {};
  std::string out;
  if (text[i] == '+' || text[i] == '-') out += text[i++];
  bool digits = false;
  bool point = false;
  while (i < text.size() && (digit(text[i]) || (text[i] == '.' && !point))) {
    point = point || text[i] == '.';
    digits = digits || digit(text[i]);
    out += text[i++];
  }
  if (!digits) return {};
  if (i < text.size() && std::string("EeDd").find(text[i]) != std::string::npos) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    const std::size_t first = j;
    while (j < text.size() && digit(text[j]))
      exponent += text[j++];
    if (j > first) out += exponent;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const double value = qm::LeadingNumber(text);
  if (std::isnan(value)) __builtin_trap();

  const std::string prefix = numberPrefix(text);
  const double expected = prefix.empty() ? 0.0 : std::strtod(prefix.c_str(), nullptr);
  if (value != expected) __builtin_trap();

  const std::int64_t rounded = qm::RoundHalfEven(value);
  if (std::isfinite(value) && std::fabs(value) < 0x1p62) {
    const double off = std::fabs(static_cast<double>(rounded) - value);
    if (off > 0.5) __builtin_trap();
    if (off == 0.5 && rounded % 2 != 0) __builtin_trap();
  }
  return 0;
}
