#include "engine/join.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "engine/messages.h"
#include "engine/part_names.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::Answer;
using test::JobFixture;
using test::Op;
using Files = std::map<std::string, std::string>;

// Writes the set movie.001.. of `parts` with its data file movie.qkd (and movie.bat), and fills
// the fields for a join into movie.avi. Returns the joined bytes.
std::string MakeSet(JobFixture& f, const std::vector<std::string>& parts, bool batch = false) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    f.writeFile(PartName("movie.qkd", static_cast<int>(i) + 1), parts[i]);
    joined += parts[i];
  }
  f.writeFile("movie.qkd", "movie.avi\r\n" + std::to_string(parts.size()) + "\r\n");
  if (batch) f.writeFile("movie.bat", "@echo off\r\n");
  f.txtSource.setText(f.path("movie.qkd"));
  f.txtDest.setText(f.path("movie.avi"));
  f.lblNumber.setCaption(std::to_string(parts.size()));
  return joined;
}

using Progress = std::tuple<std::string, int, int>;  // lblSectionNum, proSection, proFile

// Each join below has a part 004 beside its set, which it must neither join nor delete. An
// existing destination survives whole until the joined file replaces it, and whatever is
// replaced or deleted goes only once the joined file is on the disk. A MessageCode left from
// an earlier message neither stops the join nor keeps it from asking.
TEST(Join, CopiesEachPartInBlocksAndCountsEmptyPartsAsDone) {
  const auto pattern = JobFixture::pattern;
  // clang-format off
  const struct {
    std::vector<std::string> parts;
    std::vector<Progress> progress;  // after each block; not looked at when empty
    bool destExists, batchAndDelete;
    std::int16_t staleCode;
  } cases[] = {
      {{pattern(65000, 1), pattern(65000, 2), "0123456789"},  // a whole block, not one and an empty
       {{"1", 100, 49}, {"2", 100, 99}, {"3", 100, 100}}, true, false, kMsgConfirmCancel},
      {{"", "abc", ""}, {{"1", 100, 0}, {"2", 100, 100}, {"3", 100, 100}}, false, true, 0},
      {{"", ""}, {{"1", 100, 100}, {"2", 100, 100}}, false, false, kMsgOverwrite},
      {{pattern((20u << 20) + 1, 3), "past a float's exact range"}, {}, false, false, 0}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parts.size());
    JobFixture f;
    const std::string joined = MakeSet(f, c.parts, c.batchAndDelete);
    f.writeFile("movie.004", "not of this set");
    if (c.destExists) f.writeFile("movie.avi", "old");
    f.chkDelete.setValue(c.batchAndDelete);
    f.display.answers = {Answer::Yes};
    f.state.MessageCode = c.staleCode;
    Files expected = c.batchAndDelete ? Files{{"movie.004", "not of this set"}} : f.snapshot();
    expected["movie.avi"] = joined;
    std::vector<Progress> progress;
    bool oldSurvived = true;
    f.pump.onEvents = [&](int) {
      oldSurvived = oldSurvived && (!c.destExists || f.readFile("movie.avi") == "old");
      if (f.pump.inBlockPause())
        progress.emplace_back(f.lblSectionNum.caption(), f.proSection.value(), f.proFile.value());
    };
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>(c.destExists, kMsgOverwrite));
    EXPECT_TRUE(oldSurvived);
    EXPECT_TRUE(c.progress.empty() || progress == c.progress) << progress.size() << " blocks";
    EXPECT_TRUE(f.snapshot() == expected);  // and no temporary file
    const bool lost = c.destExists || c.batchAndDelete;
    EXPECT_EQ(f.fs.calls(Op::Flush) + f.fs.calls(Op::SyncFolder), lost ? 2 : 0);
    f.expectIdle();
  }
}

TEST(Join, RefusesBeforeWritingAnything) {
  using SetUp = std::function<void(JobFixture&)>;
  const auto dest = [](const char* name) {
    return [name](JobFixture& f) { f.txtDest.setText(f.path(name)); };
  };
  // clang-format off
  const std::vector<std::tuple<const char*, int, SetUp>> cases = {
      {"part 2 missing", kMsgPartMissing, [](JobFixture& f) { std::filesystem::remove(f.path("movie.002")); }},
      {"destination a part", kMsgNeedFiles, dest("movie.002")},
      {"destination the data file", kMsgNeedFiles, dest("movie.qkd")},
      {"destination the batch file", kMsgNeedFiles, dest("sub/../movie.bat")},
      {"destination part 1 spelt another way", kMsgNeedFiles, dest("./movie.001")},
      {"destination a link to part 3", kMsgNeedFiles, [](JobFixture& f) {
         ::link(f.path("movie.003").c_str(), f.path("link").c_str());
         f.txtDest.setText(f.path("link")); }},
      {"1000 parts", kMsgTooManyParts, [](JobFixture& f) { f.lblNumber.setCaption("1000"); }},
      {"1000+ parts", kMsgTooManyParts, [](JobFixture& f) { f.lblNumber.setCaption("1000+"); }},
      {"no parts", kMsgNeedFiles, [](JobFixture& f) { f.lblNumber.setCaption("0"); }},
      {"a folder of the destination's name", kMsgFailure,
       [](JobFixture& f) { ::mkdir(f.path("movie.avi").c_str(), 0755); }},
      {"an existing destination, answered No", kMsgOverwrite, [](JobFixture& f) {
         f.writeFile("movie.avi", "old");
         f.display.answers = {Answer::No}; }}};
  // clang-format on
  for (const auto& [what, code, setUp] : cases) {
    SCOPED_TRACE(what);
    JobFixture f;
    MakeSet(f, {"a", "b", "c"}, true);
    ::mkdir(f.path("sub").c_str(), 0755);
    f.chkDelete.setValue(1);
    setUp(f);
    const Files before = f.snapshot();
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{code});  // once, and no other message
    EXPECT_EQ(f.snapshot(), before);
    EXPECT_EQ(f.fs.calls(Op::CreateTemporary), 0);
    f.expectIdle();
  }
}

TEST(JoinCancel, NoGoesOnAsIfNothingHappenedAndYesLeavesEverythingAsItWas) {
  // clang-format off
  const std::tuple<bool, Answer, std::vector<int>> cases[] = {
      {false, Answer::No, {8, 8}}, {false, Answer::Yes, {8, 7}}, {true, Answer::Yes, {4, 8, 7}}};
  // clang-format on
  for (const auto& [destExists, answer, codes] : cases) {
    JobFixture f;
    const std::string joined =
        MakeSet(f, {JobFixture::pattern(150000, 5), JobFixture::pattern(150000, 6), "end"}, true);
    f.chkDelete.setValue(1);
    if (destExists) f.writeFile("movie.avi", "old");
    const Files before = f.snapshot();
    // Cancel in part 2 and again in part 3: the button still works after a No.
    f.pump.onEvents = [&f, seen = 0](int) mutable {
      if (f.pump.inBlockPause() && (++seen == 4 || seen == 7)) f.cmdCancel.click();
    };
    if (destExists) f.display.answers = {Answer::Yes};
    f.display.questionDefault = answer;
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, codes);
    EXPECT_EQ(f.snapshot(), answer == Answer::No ? Files({{"movie.avi", joined}}) : before);
    EXPECT_EQ(f.state.PartsBegun, answer == Answer::No ? 0 : 2);
    f.expectIdle();
  }
}

TEST(Join, AFileThatAppearsUnderTheNameDuringTheCopyIsAskedAbout) {
  for (const Answer answer : {Answer::No, Answer::Yes}) {
    JobFixture f;
    MakeSet(f, {"a", "b"});
    f.pump.onEvents = [&f](int call) {
      if (call == 2) f.writeFile("movie.avi", "someone else's");
      // A click after the last block comes too late to stop anything: no message 7.
      if (f.pump.lastWait > 0.04) f.cmdCancel.click();  // the pause after the answer
    };
    f.display.answers = {answer};
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgOverwrite});
    EXPECT_EQ(f.readFile("movie.avi"), answer == Answer::Yes ? "ab" : "someone else's");
    EXPECT_EQ(f.snapshot().size(), 4u);  // no temporary file either way
  }
}

}  // namespace
}  // namespace qm
