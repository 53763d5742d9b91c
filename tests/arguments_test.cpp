#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// A custom size goes through as typed: the window's own field reads the number.
TEST(Arguments, ReadsACustomSizeAsTheFieldsTextAndItsUnit) {
  const auto size = ParseSize("2.5kb");
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->option, SizeOption::Custom);
  EXPECT_EQ(size->customText, "2.5");
  EXPECT_EQ(size->unitIndex, 1);
  for (const char* bad : {"", "b", "kb", "-5kb", "1.2.3b", "12abc", "1e3b", "5", "1 kb", "720"}) {
    EXPECT_FALSE(ParseSize(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace qm
