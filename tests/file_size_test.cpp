#include <gtest/gtest.h>

#include "engine/messages.h"
#include "engine/part_count.h"
#include "engine/shared_routines.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

// The set movie.001.. of a data file movie.qkd, measured: the sum of the parts up to the count,
// or message 3 once at the first gap, leaving the total of what was found before it.
TEST(FileSize, SumsThePartsOrStopsAtTheFirstGapWithOneMessage) {
  const std::int64_t big = (std::int64_t{3} << 30) + 7;
  // clang-format off
  // The count, the lengths of movie.001.. (-1: absent), whether the data file is there, and
  // PartMissing, JoinTotalLength and PartFile afterwards.
  const struct { std::int64_t count; std::vector<std::int64_t> parts; bool dataFile; int missing;
                 std::int64_t total; const char* lastPart; } cases[] = {
      {3, {3, 0, 70000, 9}, true, 0, 70003, "movie.003"},  // part 4 is not of the set
      {3, {5, 3}, true, 1, 8, "movie.003"}, {3, {1, -1, 1}, true, 1, 1, "movie.002"},
      {2, {1, 1}, false, 1, -7, "before"},     // no data file: no part looked at
      {3, {big, big, 2}, true, 0, 2 * big + 2, "movie.003"}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.total);
    test::JobFixture f;
    if (c.dataFile) f.writeFile("movie.qkd", "movie.avi\r\n3\r\n");
    for (std::size_t i = 0; i < c.parts.size(); ++i)
      if (c.parts[i] >= 0) f.makeSparse("movie.00" + std::to_string(i + 1), c.parts[i]);
    f.source = f.path("movie.qkd");
    f.state.PartStem = f.path("movie.");
    f.state.JoinTotalLength = -7;
    f.state.PartFile = f.path("before");
    RunMessages messages(f.state, f.display);
    FileSize(f.state, f.fs, messages, f.source, c.count);
    EXPECT_EQ(f.display.codes, std::vector<int>(c.missing, kMsgPartMissing));
    EXPECT_EQ(f.state.PartMissing, c.missing);
    EXPECT_EQ(f.state.JoinTotalLength, c.total);
    EXPECT_EQ(f.state.PartFile, f.path(c.lastPart));
  }
}

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
