#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qm {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfATextAndStopsAtTheFirstOtherCharacter) {
  EXPECT_EQ(LeadingNumber("12abc"), 12);
  EXPECT_EQ(LeadingNumber(" \t\n 7 kb"), 7);  // blanks, tabs and line feeds are skipped
  EXPECT_EQ(LeadingNumber("\r5"), 0);         // a carriage return is not
  EXPECT_EQ(LeadingNumber("-5"), -5);
  EXPECT_EQ(LeadingNumber("+3"), 3);
  EXPECT_EQ(LeadingNumber("2.5"), 2.5);
  EXPECT_EQ(LeadingNumber(".5"), 0.5);
  EXPECT_EQ(LeadingNumber("1.2.3"), 1.2);  // one decimal point only
  EXPECT_EQ(LeadingNumber("012"), 12);
  EXPECT_EQ(LeadingNumber("1000+"), 1000);
  EXPECT_EQ(LeadingNumber("1 000"), 1);  // no group separators
  EXPECT_EQ(LeadingNumber("2,5"), 2);    // the decimal point is always "."
}

TEST(LeadingNumber, ReadsExponentsIntroducedByEOrD) {
  EXPECT_EQ(LeadingNumber("1e3"), 1000);
  EXPECT_EQ(LeadingNumber("1E3"), 1000);
  EXPECT_EQ(LeadingNumber("2D2"), 200);
  EXPECT_EQ(LeadingNumber("25e-1"), 2.5);
  EXPECT_EQ(LeadingNumber("1e"), 1);  // an exponent without digits ends the number
  EXPECT_EQ(LeadingNumber("1e+x"), 1);
  EXPECT_EQ(LeadingNumber("5x1e3"), 5);
  EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
  EXPECT_EQ(LeadingNumber("1e-999"), 0);
}

// Found by the fuzzer: out-of-range numbers were told apart by the spelling "e-", so a tiny
// number written with zeros became infinite, and a huge one with a small negative exponent zero.
TEST(LeadingNumber, TellsTooSmallFromTooLargeByMagnitudeNotBySpelling) {
  const std::string zeros(400, '0');
  EXPECT_EQ(LeadingNumber("0." + zeros + "1"), 0);
  EXPECT_EQ(LeadingNumber("-0." + zeros + "1"), 0);
  EXPECT_EQ(LeadingNumber("." + zeros + "5e10"), 0);
  EXPECT_TRUE(std::isinf(LeadingNumber("1" + zeros + "e-5")));
  EXPECT_LT(LeadingNumber("-1" + zeros), 0);
  EXPECT_TRUE(std::isinf(LeadingNumber("-1" + zeros)));
  EXPECT_EQ(LeadingNumber("0.001e-400"), 0);
  EXPECT_TRUE(std::isinf(LeadingNumber("0.001e400")));
}

TEST(LeadingNumber, GivesZeroForTextThatDoesNotBeginWithANumber) {
  for (const char* text : {"", "abc", " ", ".", "-", "+.", "e5", "kb12",
                           "\xC2\xA0"
                           "5"}) {
    EXPECT_EQ(LeadingNumber(text), 0) << '"' << text << '"';
  }
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
  EXPECT_EQ(RoundHalfEven(4294967296.5), 4294967296);  // beyond 32 bits, still exact
}

TEST(RoundHalfEven, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
  EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(RoundHalfEven(-std::numeric_limits<double>::infinity()),
            std::numeric_limits<std::int64_t>::min());
}

TEST(CaptionNumber, ReadsEveryCaptionThePreviewWrites) {
  EXPECT_EQ(CaptionNumber("0"), 0);
  EXPECT_EQ(CaptionNumber("1"), 1);
  EXPECT_EQ(CaptionNumber("999"), 999);
  EXPECT_EQ(CaptionNumber("1000+"), 1000);  // so the 999-part test refuses it
  EXPECT_EQ(CaptionNumber(""), 0);
}

}  // namespace
}  // namespace qm
