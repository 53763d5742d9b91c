#include "engine/join.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/messages.h"
#include "engine/part_names.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::Answer;
using test::JobFixture;
using test::Op;
using Files = std::map<std::string, std::string>;

using Progress = std::tuple<std::string, int, int>;  // lblSectionNum, proSection, proFile

// Each join below has a part 004 beside its set, which it must neither join nor delete. An
// existing destination survives whole until the joined file replaces it, and whatever is
// replaced or deleted goes only once the joined file is on the disk. A MessageCode left from
// an earlier message neither stops the join nor keeps it from asking. Cancel answered No after
// every block changes nothing of the result.
TEST(Join, CopiesEachPartInBlocksAndCountsEmptyPartsAsDone) {
  const auto pattern = JobFixture::pattern;
  // clang-format off
  // The parts, the progress after each block (not looked at when empty), whether the destination
  // exists, whether the set has a batch file and is to be deleted, a stale MessageCode, and
  // whether Cancel is clicked (and answered No) after every block.
  const struct { std::vector<std::string> parts; std::vector<Progress> progress;
                 bool destExists, batchAndDelete; std::int16_t staleCode; bool cancelNo;
               } cases[] = {
      {{pattern(65000, 1), pattern(65000, 2), "0123456789"},  // a whole block, not one and an empty
       {{"1", 100, 49}, {"2", 100, 99}, {"3", 100, 100}}, true, false, kMsgConfirmCancel, false},
      {{"", "abc", ""}, {{"1", 100, 0}, {"2", 100, 100}, {"3", 100, 100}}, false, true, 0, true},
      {{"", ""}, {{"1", 100, 100}, {"2", 100, 100}}, false, false, kMsgOverwrite, false},
      {{pattern((20u << 20) + 1, 3), "past a float's exact range"}, {}, false, false, 0, true}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parts.size());
    JobFixture f;
    const std::string joined = f.makeSet(c.parts, c.batchAndDelete);
    f.writeFile("movie.004", "not of this set");
    if (c.destExists) f.writeFile("movie.avi", "old");
    f.host.deleteWhenDone = c.batchAndDelete;
    if (c.destExists) f.display.answers = {Answer::Yes};  // to message 4; message 8 gets No
    f.state.MessageCode = c.staleCode;
    Files expected = c.batchAndDelete ? Files{{"movie.004", "not of this set"}} : f.snapshot();
    expected["movie.avi"] = joined;
    std::vector<Progress> progress;
    bool oldSurvived = true;
    f.pump.onEvents = [&](int) {
      oldSurvived = oldSurvived && (!c.destExists || f.readFile("movie.avi") == "old");
      if (!f.pump.inBlockPause()) return;
      progress.emplace_back(f.host.part, f.host.section, f.host.file);
      if (c.cancelNo) f.state.CancelPressed = true;
    };
    f.join();
    std::vector<int> codes(c.destExists, kMsgOverwrite);
    codes.resize(codes.size() + (c.cancelNo ? progress.size() : 0), kMsgConfirmCancel);
    EXPECT_EQ(f.display.codes, codes);
    EXPECT_TRUE(oldSurvived);
    EXPECT_TRUE(c.progress.empty() || progress == c.progress) << progress.size() << " blocks";
    EXPECT_TRUE(f.snapshot() == expected);  // and no temporary file
    EXPECT_EQ(f.fs.calls(Op::Flush) + f.fs.calls(Op::SyncFolder),
              c.destExists || c.batchAndDelete ? 2 : 0);
    f.expectIdle();
  }
}

// Each ends the join with its messages, once, and leaves the folder as it was: refused before
// anything is written, or cancelled and confirmed.
TEST(Join, EndsWithItsMessagesAndTheFolderAsItWas) {
  using J = JobFixture;
  using SetUp = std::function<void(J&)>;
  const auto dest = [](const char* name) { return [name](J& f) { f.dest = f.path(name); }; };
  // clang-format off
  const std::vector<std::tuple<const char*, std::vector<int>, SetUp>> cases = {
      {"part 2 missing", {kMsgPartMissing}, [](J& f) { ::unlink(f.path("movie.002").c_str()); }},
      {"destination a part", {kMsgNeedFiles}, dest("movie.002")},
      {"destination the data file", {kMsgNeedFiles}, dest("movie.qkd")},
      {"destination the batch file", {kMsgNeedFiles}, dest("sub/../movie.bat")},
      {"destination part 1 spelt another way", {kMsgNeedFiles}, dest("./movie.001")},
      {"destination a link to part 3", {kMsgNeedFiles}, [](J& f) {
         ::link(f.path("movie.003").c_str(), f.path("link").c_str());
         f.dest = f.path("link"); }},
      {"1000 parts", {kMsgTooManyParts}, [](J& f) { f.partCount = 1000; }},
      {"no parts", {kMsgNeedFiles}, [](J& f) { f.partCount = 0; }},
      {"a folder of the destination's name", {kMsgFailure},
       [](J& f) { ::mkdir(f.path("movie.avi").c_str(), 0755); }},
      {"an existing destination, answered No", {kMsgOverwrite}, [](J& f) {
         f.writeFile("movie.avi", "old");
         f.display.answers = {Answer::No}; }},
      {"cancel in part 2", {kMsgConfirmCancel, kMsgCancelled}, [](J& f) {
         f.cancelAtBlock(2);
         f.display.answers = {Answer::Yes}; }},
      {"cancel over an existing destination", {kMsgOverwrite, kMsgConfirmCancel, kMsgCancelled},
       [](J& f) {
         f.writeFile("movie.avi", "old");
         f.cancelAtBlock(2);
         f.display.answers = {Answer::Yes, Answer::Yes}; }}};
  // clang-format on
  for (const auto& [what, codes, setUp] : cases) {
    SCOPED_TRACE(what);
    JobFixture f;
    f.makeSet({"a", "b", "c"}, true);
    ::mkdir(f.path("sub").c_str(), 0755);
    f.host.deleteWhenDone = 1;
    setUp(f);
    const Files before = f.snapshot();
    f.join();
    EXPECT_EQ(f.display.codes, codes);
    EXPECT_EQ(f.snapshot(), before);  // and no temporary file
    f.expectIdle();
  }
}

TEST(Join, AFileThatAppearsUnderTheNameDuringTheCopyIsAskedAbout) {
  for (const Answer answer : {Answer::No, Answer::Yes}) {
    JobFixture f;
    f.makeSet({"a", "b"});
    f.pump.onEvents = [&f](int call) {
      if (call == 2) f.writeFile("movie.avi", "someone else's");
      // A click after the last block comes too late to stop anything: no message 7.
      if (f.pump.lastWait > 0.04) f.state.CancelPressed = true;  // the pause after the answer
    };
    f.display.answers = {answer};
    f.join();
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgOverwrite});
    EXPECT_EQ(f.readFile("movie.avi"), answer == Answer::Yes ? "ab" : "someone else's");
    EXPECT_EQ(f.snapshot().size(), 4u);  // no temporary file either way
  }
}

}  // namespace
}  // namespace qm
