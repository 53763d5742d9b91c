// The leading-number conversion of texts and the rounding used wherever a number becomes whole.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

// Skips blanks, tabs and line feeds, then reads an optional sign, digits with at most one "."
// and an optional exponent introduced by E or D; the first other character ends the number.
// A text that does not begin with a number gives 0. The decimal point is always ".".
double LeadingNumber(const std::string& text);

// Nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4), saturated to the
// 64-bit range; NaN gives 0.
std::int64_t RoundHalfEven(double value);

}  // namespace qm
