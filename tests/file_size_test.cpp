#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/messages.h"
#include "engine/shared_routines.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::JobFixture;

// A data file movie.qkd with `count` in lblNumber and the given parts beside it.
void MakeSet(JobFixture& f, const std::string& count, const std::vector<std::string>& parts) {
  f.writeFile("movie.qkd", "movie.avi\r\n" + count + "\r\n");
  for (std::size_t i = 0; i < parts.size(); ++i) {
    f.writeFile("movie.00" + std::to_string(i + 1), parts[i]);
  }
  f.txtSource.setText(f.path("movie.qkd"));
  f.lblNumber.setCaption(count);
  f.state.PartStem = f.path("movie.");
}

TEST(FileSize, SumsTheWholeSetWithoutTouchingTheSharedCounter) {
  JobFixture f;
  MakeSet(f, "3", {"abc", "", std::string(70000, 'x')});
  f.writeFile("movie.004", "not part of the set");
  f.state.Counter = 42;
  FileSize(f.job);
  EXPECT_EQ(f.state.JoinTotalLength, 70003);
  EXPECT_EQ(f.state.PartMissing, 0);
  EXPECT_TRUE(f.display.codes.empty());
  EXPECT_EQ(f.state.Counter, 42);
}

TEST(FileSize, StopsAtTheFirstGapWithOneMessage) {
  {
    // Parts 1 and 2 of 3: the total counts what was found.
    JobFixture f;
    MakeSet(f, "3", {"12345", "678"});
    FileSize(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgPartMissing});
    EXPECT_EQ(f.state.PartMissing, 1);
    EXPECT_EQ(f.state.JoinTotalLength, 8);
  }
  {
    // A gap at part 2 (a folder is no part): part 3 is never looked at.
    JobFixture f;
    MakeSet(f, "3", {"1", "2", "3"});
    std::filesystem::remove(f.path("movie.002"));
    ::mkdir(f.path("movie.002").c_str(), 0755);
    FileSize(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgPartMissing});
    EXPECT_EQ(f.state.PartFile, f.path("movie.002"));
  }
  {
    // No data file: no part is examined and the total keeps its old value.
    JobFixture f;
    MakeSet(f, "2", {"1", "2"});
    std::filesystem::remove(f.path("movie.qkd"));
    f.state.JoinTotalLength = 777;
    f.state.PartFile = "untouched";
    FileSize(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgPartMissing});
    EXPECT_EQ(f.state.PartMissing, 1);
    EXPECT_EQ(f.state.JoinTotalLength, 777);
    EXPECT_EQ(f.state.PartFile, "untouched");
  }
}

TEST(FileSize, ReadsTheCountRoundedToTheNearestWholeNumber) {
  JobFixture f;
  MakeSet(f, "2", {"1", "2"});
  f.lblNumber.setCaption("2.6");  // three parts, not two: the count is rounded, not cut
  FileSize(f.job);
  EXPECT_EQ(f.state.PartMissing, 1);
  EXPECT_EQ(f.state.PartFile, f.path("movie.003"));
}

TEST(FileSize, CountsSetsPastFourGibibytesExactly) {
  JobFixture f;
  MakeSet(f, "3", {});
  const std::uint64_t big = (std::uint64_t{3} << 30) + 7;
  f.makeSparse("movie.001", big);
  f.makeSparse("movie.002", big);
  f.writeFile("movie.003", "xy");
  FileSize(f.job);
  EXPECT_EQ(f.state.PartMissing, 0);
  EXPECT_EQ(f.state.JoinTotalLength, static_cast<std::int64_t>(2 * big + 2));
}

}  // namespace
}  // namespace qm
