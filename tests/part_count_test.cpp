#include "engine/part_count.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::JobFixture;

// The caption of lblNumber for a sparse source of `length` bytes at `splitSize`.
std::string Preview(JobFixture& f, std::uint64_t length, std::int32_t splitSize) {
  f.makeSparse("source.bin", length);
  f.txtSource.setText(f.path("source.bin"));
  f.state.SplitSize = splitSize;
  f.lblNumber.setCaption("stale");
  CountParts(f.job);
  return f.lblNumber.caption();
}

TEST(CountParts, RoundsTheQuotientUp) {
  JobFixture f;
  EXPECT_EQ(Preview(f, 1457664, 1457664), "1");  // "1.4 MB" and a source of exactly that
  EXPECT_EQ(Preview(f, 1457665, 1457664), "2");
  EXPECT_EQ(Preview(f, 7372800, 737280), "10");
  EXPECT_EQ(Preview(f, 7372801, 737280), "11");
  EXPECT_EQ(Preview(f, 2000000, 737280), "3");
  EXPECT_EQ(f.state.PreviewLength, 2000000);
  EXPECT_EQ(f.state.PartCount, 3);
  EXPECT_EQ(Preview(f, 1, 1), "1");
  EXPECT_EQ(Preview(f, 0, 737280), "1");  // an empty source is one (empty) part
}

TEST(CountParts, ShowsAtMost999AndThen1000Plus) {
  JobFixture f;
  EXPECT_EQ(Preview(f, 999000, 1000), "999");
  EXPECT_EQ(Preview(f, 999001, 1000), "1000+");
  EXPECT_EQ(f.state.PartCount, 1000);
  EXPECT_EQ(Preview(f, 1000000, 1000), "1000+");
}

TEST(CountParts, MeasuresSourcesOf2GiBAndMoreExactly) {
  JobFixture f;
  // Past 32 bits: 3 GiB in parts of 1,048,576,000 bytes (the largest "Mb" size) is 4 parts.
  EXPECT_EQ(Preview(f, 3221225472ull, 1048576000), "4");
  EXPECT_EQ(f.state.PreviewLength, 3221225472ll);
  EXPECT_EQ(Preview(f, 2147483648ull, 2147483647), "2");  // one byte past the largest size
  EXPECT_EQ(Preview(f, 2147483647ull, 2147483647), "1");
  EXPECT_EQ(Preview(f, 3221225472ull, 737280), "1000+");
  EXPECT_EQ(f.state.PartCount, 4370);  // the true count, not a wrapped one
}

TEST(CountParts, ShowsZeroWithoutASourceOrASize) {
  JobFixture f;
  EXPECT_EQ(Preview(f, 5000, 0), "0");  // no usable custom size
  EXPECT_EQ(Preview(f, 5000, -1), "0");

  f.state.SplitSize = 1000;
  for (const std::string& source :
       {std::string(), f.path("missing.bin"), f.folder.path(), f.path("source.bin") + "."}) {
    f.txtSource.setText(source);
    f.lblNumber.setCaption("stale");
    CountParts(f.job);
    EXPECT_EQ(f.lblNumber.caption(), "0") << source;
  }
  ::mkdir(f.path("folder").c_str(), 0755);
  f.txtSource.setText(f.path("folder"));
  CountParts(f.job);
  EXPECT_EQ(f.lblNumber.caption(), "0");
}

}  // namespace
}  // namespace qm
