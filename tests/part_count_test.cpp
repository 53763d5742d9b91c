#include "engine/part_count.h"

#include <gtest/gtest.h>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

// lblNumber for a sparse source of each length at each part size: the quotient rounded up, at
// most 999 and then "1000+", exact past 32 bits, and "0" with no usable size or no source.
TEST(CountParts, ShowsTheQuotientRoundedUpUpTo999) {
  test::JobFixture f;
  // clang-format off
  const std::tuple<std::uint64_t, std::int32_t, std::string> cases[] = {
      {1457664, 1457664, "1"}, {1457665, 1457664, "2"}, {2000000, 737280, "3"}, {0, 737280, "1"},
      {999000, 1000, "999"}, {999001, 1000, "1000+"}, {3221225472, 1048576000, "4"},
      {2147483648, 2147483647, "2"}, {5000, 0, "0"}, {5000, -1, "0"}};
  // clang-format on
  f.source = f.path("source.bin");
  for (const auto& [length, size, caption] : cases) {
    f.makeSparse("source.bin", length);
    f.state.SplitSize = size;
    f.count();
    EXPECT_EQ(PartCountText(f.partCount), caption) << length << " at " << size;
  }
  const std::string folder = f.folder.path().substr(0, f.folder.path().size() - 1);
  for (const std::string& source : {f.path("missing.bin"), folder, folder + "/.", std::string()}) {
    f.source = source;
    f.count();
    EXPECT_EQ(PartCountText(f.partCount), "0") << source;
  }
}

}  // namespace
}  // namespace qm
