#include "engine/part_names.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// Exactly three characters go, whatever they are, counted as characters, not bytes.
TEST(PartNames, ReplaceTheLastThreeCharacters) {
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {PartName("/data/movie.qkd", 7), "/data/movie.007"}, {PartName("/d/电影文件", 5), "/d/电005"},
      {PartName("movie.qkd", 999), "movie.999"}, {PartName("movie.qkd", 1000), "movie.000"},
      {PartName("/data/movie", 42), "/data/mo042"}, {PartName("/d/ciné.mañ", 2), "/d/ciné.002"},
      {BatchFileName("/d/café.文件名"), "/d/café.bat"}};
  // clang-format on
  for (const auto& [got, expected] : cases)
    EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace qm
