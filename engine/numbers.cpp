#include "engine/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace qm {
namespace {

// A number out of the double's range lies either beyond its largest value or nearer zero than
// its smallest. The power of ten of the first significant digit tells which, whether the
// smallness is spelt with an exponent ("1e-400") or with zeros ("0.000...1").
bool belowRange(const std::string& number) {
  const std::size_t e = number.find('e');
  const std::string mantissa = number.substr(0, e);
  std::int64_t exponent = 0;
  if (e != std::string::npos) {
    std::size_t i = e + 1;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
    for (; i < number.size(); ++i) {
      exponent = std::min<std::int64_t>(exponent * 10 + (number[i] - '0'), 1'000'000'000);
    }
    if (negative) exponent = -exponent;
  }
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_of("123456789");
  if (first == std::string::npos) return true;
  const auto lead = first < point ? static_cast<std::int64_t>(point - first) - 1
                                  : -static_cast<std::int64_t>(first - point);
  return lead + exponent < 0;
}

}  // namespace

double LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n'))
    ++i;
  std::string number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
      number += c;
    } else if (c == '.' && !point) {
      point = true;
      number += c;
    } else {
      break;
    }
  }
  if (!digits) return 0.0;
  // An exponent counts only when digits follow it (after an optional sign).
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    bool expDigits = false;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
      expDigits = true;
      exponent += text[j++];
    }
    if (expDigits) number += exponent;
  }
  // from_chars ignores the locale, so "." is the decimal point even where the user's is ",".
  if (number.front() == '+') number.erase(0, 1);
  double result = 0.0;
  const auto error = std::from_chars(number.data(), number.data() + number.size(), result).ec;
  if (error == std::errc::result_out_of_range) {
    if (belowRange(number)) return 0.0;  // too small to tell from zero
    return number.front() == '-' ? -std::numeric_limits<double>::infinity()
                                 : std::numeric_limits<double>::infinity();
  }
  return result;
}

std::int64_t RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kMax = 9223372036854775807.0;
  if (value >= kMax) return std::numeric_limits<std::int64_t>::max();
  if (value <= -kMax) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::nearbyint(value));  // default mode: to nearest, ties even
}

}  // namespace qm
