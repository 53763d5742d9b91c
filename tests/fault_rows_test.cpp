// A few rows of the fault matrix (reliability/fault_matrix.cpp), those that have caught the most
// faults: a disk that fills at a part or midway through a copy, a part that cannot be read, and
// a joined file that cannot be put in place. Each must leave the folder as it was and say which
// file failed and why, in one message 9.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/messages.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::JobFixture;
using test::Op;

TEST(FaultRows, AFailureLeavesNothingHalfWrittenAndNamesTheFileAndTheReason) {
  // clang-format off
  // Join or split, the call that fails (by a part of its path, or by its number), the errno,
  // and the file the message must name ("" when any file of the folder will do).
  const struct { bool join; Op op; const char* path; int nth, error; const char* named; } cases[] = {
      {false, Op::Copy, "", 2, ENOSPC, ""},
      {false, Op::Create, ".002", 0, ENOSPC, "movie.002"},
      {true, Op::OpenRead, ".002", 0, EACCES, "movie.002"},
      {true, Op::Copy, "", 2, ENOSPC, "movie.avi"},
      {true, Op::Publish, "", 1, EACCES, "movie.avi"}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(test::opName(c.op)) + " " + std::to_string(c.join));
    JobFixture f;
    const std::string bytes = JobFixture::pattern(2500, 5);
    c.join ? (void)f.makeSet({bytes.substr(0, 1000), bytes.substr(1000, 1000), bytes.substr(2000)})
           : f.prepareSplit(bytes, 1000);
    f.host.deleteWhenDone = true;
    const auto before = f.snapshot();
    *c.path ? f.fs.failPath(c.op, c.path, c.error) : f.fs.failAt(c.op, c.nth, c.error);
    c.join ? f.join() : f.split();
    EXPECT_TRUE(f.fs.fired());
    EXPECT_TRUE(f.snapshot() == before);  // no part, no temporary file, the input still there
    ASSERT_EQ(f.display.codes, std::vector<int>{kMsgFailure});
    const std::string& detail = f.display.details[0];
    EXPECT_NE(detail.find("\"" + f.path(c.named)), std::string::npos) << detail;
    EXPECT_NE(detail.find(std::strerror(c.error)), std::string::npos) << detail;
    f.expectIdle();
  }
}

}  // namespace
}  // namespace qm
