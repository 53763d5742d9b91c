#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace qm {
namespace {

// Each text with the number read from its start and the whole number a caption of it gives.
// Blanks, tabs and line feeds are skipped, but not a carriage return or a no-break space; the
// decimal point is always "." and there are no group separators; an exponent (E or D) needs
// digits; a number beyond the double's range is 0 when too small and infinite when too large,
// told by its magnitude, not by its spelling; halves round to the even neighbour.
TEST(Numbers, ReadTheLeadingNumberAndRoundHalvesToEven) {
  const std::string zeros(400, '0');
  const double inf = HUGE_VAL;
  const std::int64_t max = INT64_MAX, min = INT64_MIN;
  // clang-format off
  const struct { std::string text; double value; std::int64_t whole; } cases[] = {
      {"12abc", 12, 12}, {" \t\n 7 kb", 7, 7}, {"\r5", 0, 0}, {"-5", -5, -5}, {"+3", 3, 3},
      {"012", 12, 12}, {".5", 0.5, 0}, {"2.5", 2.5, 2},
      {"3.5", 3.5, 4}, {"-2.5", -2.5, -2}, {"2.4999", 2.4999, 2}, {"2.5001", 2.5001, 3},
      {"4294967296.5", 4294967296.5, 4294967296}, {"1.2.3", 1.2, 1}, {"1 000", 1, 1},
      {"2,5", 2, 2}, {"1e3", 1000, 1000}, {"1E3", 1000, 1000}, {"2D2", 200, 200},
      {"25e-1", 2.5, 2}, {"1e", 1, 1}, {"1e+x", 1, 1}, {"5x1e3", 5, 5}, {"", 0, 0},
      {".", 0, 0}, {"-", 0, 0}, {"e5", 0, 0}, {"\u00A05", 0, 0},
      {"1e999", inf, max}, {"1e-999", 0, 0}, {"-1" + zeros, -inf, min}, {"1e300", 1e300, max},
      {"0." + zeros + "1", 0, 0}, {"." + zeros + "5e10", 0, 0}, {"1" + zeros + "e-5", inf, max},
      {"0.001e-400", 0, 0}, {"0.001e400", inf, max}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE('"' + c.text + '"');
    EXPECT_EQ(LeadingNumber(c.text), c.value);
    EXPECT_EQ(RoundHalfEven(LeadingNumber(c.text)), c.whole);
  }
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

}  // namespace
}  // namespace qm
