#include "engine/join.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <tuple>

#include "engine/messages.h"
#include "engine/part_names.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::Answer;
using test::JobFixture;
using test::Op;

// A set movie.001..n with its data file movie.qkd, to be joined into movie.avi.
struct JoinFixture : JobFixture {
  static std::string part(int i) { return PartName("movie.qkd", i); }

  void makeSet(const std::vector<std::string>& contents, bool batch = false) {
    parts = contents;
    const std::string count = std::to_string(contents.size());
    writeFile("movie.qkd", "movie.avi\r\n" + count + "\r\n");
    for (std::size_t i = 0; i < contents.size(); ++i) {
      writeFile(part(static_cast<int>(i) + 1), contents[i]);
    }
    if (batch) writeFile("movie.bat", "@echo off\r\n");
    txtSource.setText(path("movie.qkd"));
    txtDest.setText(path("movie.avi"));
    lblNumber.setCaption(count);
  }

  std::string joined() const {
    std::string all;
    for (const auto& p : parts)
      all += p;
    return all;
  }

  // Every file of the folder with its content: shows what changed and any temporary file left.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> all;
    for (const auto& name : files()) {
      all[name] = std::filesystem::is_regular_file(path(name)) ? readFile(name) : "<folder>";
    }
    return all;
  }

  // Calls `check` at every turn of the event loop while the join runs.
  void duringRun(std::function<void()> check) {
    pump.onEvents = [check = std::move(check)](int) { check(); };
  }

  void expectIdle() const {
    EXPECT_TRUE(cmdBegin.visible());
    EXPECT_FALSE(cmdCancel.visible());
    EXPECT_EQ(proFile.value(), 0);
    EXPECT_EQ(proSection.value(), 0);
    EXPECT_EQ(lblSectionNum.caption(), "");
    EXPECT_FALSE(state.CancelPressed);
    EXPECT_FALSE(state.Running);
    EXPECT_EQ(state.MessageCode, 0);
  }

  std::vector<std::string> parts;
};

using Progress = std::tuple<std::string, int, int>;  // section label, proSection, proFile

// The progress display at every pause after a block.
std::vector<Progress> RecordProgress(JoinFixture& f) {
  std::vector<Progress> seen;
  f.pump.onEvents = [&f, &seen](int) {
    if (f.pump.inBlockPause()) {
      seen.emplace_back(f.lblSectionNum.caption(), f.proSection.value(), f.proFile.value());
    }
  };
  JoinF(f.job);
  return seen;
}

TEST(Join, CopiesThePartsInBlocksWithTheirProgress) {
  JoinFixture f;
  f.makeSet({JobFixture::pattern(65000, 1), JobFixture::pattern(65000, 2), "0123456789"});
  bool runningLook = true;
  f.duringRun([&] {
    runningLook = runningLook && f.state.Running && f.cmdCancel.visible() && !f.cmdBegin.visible();
  });
  JoinF(f.job);
  EXPECT_TRUE(runningLook);
  EXPECT_EQ(f.readFile("movie.avi"), f.joined());
  EXPECT_EQ(f.sizeOf("movie.avi"), 130010u);
  EXPECT_TRUE(f.display.codes.empty());
  f.expectIdle();
  // The set stays, and nothing else is left in the folder.
  EXPECT_EQ(f.files(), (std::vector<std::string>{"movie.001", "movie.002", "movie.003", "movie.avi",
                                                 "movie.qkd"}));

  // One block per part: 65,000 is a whole block, not a block and an empty one.
  JoinFixture g;
  g.makeSet(f.parts);
  EXPECT_EQ(RecordProgress(g),
            (std::vector<Progress>{{"1", 100, 49}, {"2", 100, 99}, {"3", 100, 100}}));
}

TEST(Join, EmptyPartsAndEmptySetsCountAsComplete) {
  JoinFixture f;
  f.makeSet({"", "abc", ""});
  EXPECT_EQ(RecordProgress(f),
            (std::vector<Progress>{{"1", 100, 0}, {"2", 100, 100}, {"3", 100, 100}}));
  EXPECT_EQ(f.readFile("movie.avi"), "abc");

  JoinFixture g;
  g.makeSet({"", ""});
  EXPECT_EQ(RecordProgress(g), (std::vector<Progress>{{"1", 100, 100}, {"2", 100, 100}}));
  EXPECT_TRUE(g.exists("movie.avi"));
  EXPECT_EQ(g.sizeOf("movie.avi"), 0u);
  EXPECT_TRUE(g.display.codes.empty());
}

TEST(Join, PartsLongerThanAFloatCanCountStayExact) {
  JoinFixture f;
  f.makeSet({JobFixture::pattern((20u << 20) + 1, 3), JobFixture::pattern(17, 4)});
  JoinF(f.job);
  EXPECT_TRUE(f.readFile("movie.avi") == f.joined());  // not EXPECT_EQ: 20 MiB of diff
  EXPECT_TRUE(f.display.codes.empty());
}

TEST(Join, SetsPastTwoGibibytes) {
  JoinFixture f;
  f.makeSet({"", "tail"});
  const std::uint64_t big = 2362232013;  // 2.2 GiB
  f.makeSparse("movie.001", big);
  // Marks around the 32-bit limits and at the end show each byte landing in its place.
  const std::vector<std::uint64_t> marks = {0, (1ull << 31) - 2, (1ull << 31) + 5, big - 1};
  {
    const int fd = ::open(f.path("movie.001").c_str(), O_WRONLY);
    for (const auto at : marks) {
      ASSERT_EQ(::pwrite(fd, "M", 1, static_cast<off_t>(at)), 1);
    }
    ::close(fd);
  }
  const auto progress = RecordProgress(f);
  EXPECT_TRUE(f.display.codes.empty());
  ASSERT_EQ(f.sizeOf("movie.avi"), big + 4);
  EXPECT_EQ(progress.back(), (Progress{"2", 100, 100}));
  const int fd = ::open(f.path("movie.avi").c_str(), O_RDONLY);
  for (const auto at : marks) {
    char c = 0;
    ASSERT_EQ(::pread(fd, &c, 1, static_cast<off_t>(at)), 1);
    EXPECT_EQ(c, 'M') << at;
    ASSERT_EQ(::pread(fd, &c, 1, static_cast<off_t>(at + 1)), 1);
    EXPECT_EQ(c, at + 1 == big ? 't' : '\0') << at;
  }
  ::close(fd);
}

TEST(Join, AMissingPartStopsItBeforeAnythingIsWritten) {
  JoinFixture f;
  f.makeSet({"one", "two", "three"});
  std::filesystem::remove(f.path("movie.002"));
  const auto before = f.snapshot();
  JoinF(f.job);
  EXPECT_EQ(f.display.codes, std::vector<int>{kMsgPartMissing});
  EXPECT_EQ(f.snapshot(), before);
  EXPECT_EQ(f.fs.calls(Op::CreateTemporary), 0);
  f.expectIdle();
}

TEST(Join, CancelAnsweredNoLosesNothing) {
  JoinFixture f;
  f.makeSet({JobFixture::pattern(150000, 5), JobFixture::pattern(150000, 6), "end"});
  // Twice, in different parts: the button still works after the first No.
  f.pump.onEvents = [&f, seen = 0](int) mutable {
    if (!f.pump.inBlockPause()) return;
    ++seen;
    if (seen == 2 || seen == 4) f.cmdCancel.click();
  };
  f.display.answers = {Answer::No, Answer::No};
  JoinF(f.job);
  EXPECT_EQ(f.display.codes, (std::vector<int>{kMsgConfirmCancel, kMsgConfirmCancel}));
  EXPECT_EQ(f.readFile("movie.avi"), f.joined());
  EXPECT_EQ(f.files(), (std::vector<std::string>{"movie.001", "movie.002", "movie.003", "movie.avi",
                                                 "movie.qkd"}));
  f.expectIdle();
}

TEST(Join, CancelAnsweredYesLeavesEverythingAsItWas) {
  for (const bool destExists : {false, true}) {
    SCOPED_TRACE(destExists ? "over an existing file" : "to a new file");
    JoinFixture f;
    f.makeSet({JobFixture::pattern(150000, 5), JobFixture::pattern(150000, 6), "end"}, true);
    f.chkDelete.setValue(1);
    if (destExists) f.writeFile("movie.avi", "old");
    const auto before = f.snapshot();
    f.cancelAtBlock(4);  // the first block of part 2
    if (destExists) f.display.answers.push_back(Answer::Yes);
    f.display.answers.push_back(Answer::Yes);
    JoinF(f.job);
    std::vector<int> expected = {kMsgConfirmCancel, kMsgCancelled};
    if (destExists) expected.insert(expected.begin(), kMsgOverwrite);
    EXPECT_EQ(f.display.codes, expected);
    EXPECT_EQ(f.snapshot(), before);
    EXPECT_EQ(f.state.PartsBegun, 2);
    f.expectIdle();
  }
}

TEST(Join, AnExistingDestinationIsReplacedOnlyAtTheEnd) {
  JoinFixture f;
  f.makeSet({JobFixture::pattern(100000, 7), "b", "c"});
  f.writeFile("movie.avi", "old");
  f.display.answers = {Answer::Yes};
  int checks = 0;
  bool oldSurvived = true;
  f.duringRun([&] {
    ++checks;
    oldSurvived = oldSurvived && f.readFile("movie.avi") == "old";
  });
  JoinF(f.job);
  EXPECT_GE(checks, 7);  // three parts, four blocks
  EXPECT_TRUE(oldSurvived);
  EXPECT_EQ(f.display.codes, std::vector<int>{kMsgOverwrite});
  EXPECT_EQ(f.readFile("movie.avi"), f.joined());
  f.expectIdle();
}

TEST(Join, AnExistingDestinationAnsweredNoChangesNothing) {
  JoinFixture f;
  f.makeSet({"a", "b"}, true);
  f.chkDelete.setValue(1);
  f.writeFile("movie.avi", "old");
  const auto before = f.snapshot();
  f.display.answers = {Answer::No};
  JoinF(f.job);
  EXPECT_EQ(f.display.codes, std::vector<int>{kMsgOverwrite});
  EXPECT_EQ(f.snapshot(), before);
  f.expectIdle();
}

TEST(Join, AFileThatAppearsUnderTheNameDuringTheCopyIsAskedAbout) {
  for (const Answer answer : {Answer::No, Answer::Yes}) {
    JoinFixture f;
    f.makeSet({"a", "b"});
    f.pump.onEvents = [&f](int call) {
      if (call == 2) f.writeFile("movie.avi", "someone else's");
      // A Cancel click after the last block comes too late to stop anything: no message 7.
      if (f.pump.lastWait > 0.04) f.cmdCancel.click();  // the pause after the answer
    };
    f.display.answers = {answer};
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgOverwrite});
    EXPECT_EQ(f.readFile("movie.avi"), answer == Answer::Yes ? "ab" : "someone else's");
    EXPECT_EQ(f.files().size(), 4u);  // no temporary file either way
  }
}

TEST(Join, DeletesExactlyTheSetAfterTheJoin) {
  {
    JoinFixture f;
    f.makeSet({"a", "b", "c"}, true);
    f.writeFile("movie.004", "not of this set");
    f.chkDelete.setValue(1);
    JoinF(f.job);
    EXPECT_TRUE(f.display.codes.empty());
    EXPECT_EQ(f.snapshot(), (std::map<std::string, std::string>{{"movie.004", "not of this set"},
                                                                {"movie.avi", "abc"}}));
  }
  {
    // Without a batch file: nothing to complain about.
    JoinFixture f;
    f.makeSet({"a", "b"});
    f.chkDelete.setValue(1);
    JoinF(f.job);
    EXPECT_TRUE(f.display.codes.empty());
    EXPECT_EQ(f.files(), std::vector<std::string>{"movie.avi"});
  }
}

TEST(Join, RefusesADestinationThatIsAFileOfTheSet) {
  JoinFixture f;
  f.makeSet({"a", "b", "c"});
  ::mkdir(f.path("sub").c_str(), 0755);
  ::link(f.path("movie.003").c_str(), f.path("hardlink").c_str());
  const auto before = f.snapshot();
  for (const std::string dest :
       {"movie.002", "movie.qkd", "movie.bat", "./movie.001", "hardlink", "sub/../movie.bat"}) {
    SCOPED_TRACE(dest);
    f.display.codes.clear();
    f.txtDest.setText(f.path(dest));
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgNeedFiles});
    EXPECT_EQ(f.snapshot(), before);
    f.expectIdle();
  }
  EXPECT_EQ(f.fs.calls(Op::CreateTemporary), 0);
}

TEST(Join, RefusesCountsItCannotName) {
  JoinFixture f;
  f.makeSet({"a", "b"});
  const auto before = f.snapshot();
  for (const auto& [count, code] : std::vector<std::pair<std::string, int>>{
           {"1000", kMsgTooManyParts}, {"1000+", kMsgTooManyParts}, {"0", kMsgNeedFiles}}) {
    SCOPED_TRACE(count);
    f.display.codes.clear();
    f.lblNumber.setCaption(count);
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{code});
    EXPECT_EQ(f.snapshot(), before);
    f.expectIdle();
  }
}

TEST(Join, AStaleMessageCodeNeitherStopsNorSilencesIt) {
  JoinFixture f;
  f.makeSet({"a", "b"});
  f.state.MessageCode = kMsgOverwrite;  // left from an earlier question, no destination now
  JoinF(f.job);
  EXPECT_EQ(f.readFile("movie.avi"), "ab");
  EXPECT_TRUE(f.display.codes.empty());

  f.state.MessageCode = kMsgConfirmCancel;  // and with one that exists: asked, and replaced
  f.writeFile("movie.001", "A");
  f.display.answers = {Answer::Yes};
  JoinF(f.job);
  EXPECT_EQ(f.display.codes, std::vector<int>{kMsgOverwrite});
  EXPECT_EQ(f.readFile("movie.avi"), "Ab");
}

// What a failed join must leave: one message 9 naming the file and the reason, the end state,
// and no temporary file.
void ExpectOneFailure(JoinFixture& f, const std::string& file, int error) {
  int failures = 0;
  for (std::size_t i = 0; i < f.display.codes.size(); ++i) {
    if (f.display.codes[i] != kMsgFailure) continue;
    ++failures;
    EXPECT_NE(f.display.details[i].find("\"" + file + "\""), std::string::npos)
        << f.display.details[i];
    EXPECT_NE(f.display.details[i].find(std::strerror(error)), std::string::npos)
        << f.display.details[i];
  }
  EXPECT_EQ(failures, 1);
  f.expectIdle();
}

TEST(Join, AFaultAtAnyStepKeepsTheInvariants) {
  // Over an existing file and deleting the set afterwards, so that every step happens.
  const auto prepare = [](JoinFixture& f) {
    f.makeSet({JobFixture::pattern(70000, 8), JobFixture::pattern(65000, 9), "ten bytes!"}, true);
    f.writeFile("movie.avi", "old");
    f.chkDelete.setValue(1);
    f.display.answers = {Answer::Yes};
  };
  JoinFixture clean;
  prepare(clean);
  const auto before = clean.snapshot();
  JoinF(clean.job);
  ASSERT_EQ(clean.display.codes, std::vector<int>{kMsgOverwrite});
  // Something is replaced and something deleted: the joined bytes and their name go to the disk
  // first.
  EXPECT_EQ(clean.fs.calls(Op::Flush), 1);
  EXPECT_EQ(clean.fs.calls(Op::SyncFolder), 1);
  const std::vector<std::string> setInOrder = {"movie.qkd", "movie.001", "movie.002", "movie.003",
                                               "movie.bat"};

  int faults = 0;
  for (int o = 0; o < static_cast<int>(Op::Count_); ++o) {
    const auto op = static_cast<Op>(o);
    if (op == Op::Stat) continue;  // a Stat cannot fail, only miss
    for (int nth = 1; nth <= clean.fs.calls(op); ++nth) {
      SCOPED_TRACE(std::string(test::opName(op)) + " #" + std::to_string(nth));
      ++faults;
      JoinFixture f;
      prepare(f);
      const int error = op == Op::Copy || op == Op::Flush ? ENOSPC : EIO;
      f.fs.failAt(op, nth, error);
      JoinF(f.job);
      ASSERT_TRUE(f.fs.fired());
      auto expected = before;
      std::string file = f.path("movie.avi");
      switch (op) {
        case Op::OpenRead:
        case Op::Length:
        case Op::Close:
          file = f.path(JoinFixture::part(nth));
          break;
        case Op::CreateTemporary:
          file = f.folder.path();
          break;
        case Op::SyncFolder:
          file = f.folder.path();
          expected["movie.avi"] = f.joined();
          break;
        case Op::Remove:
          // Deleting goes in order; what came before the fault is gone, the rest is there.
          file = f.path(setInOrder[nth - 1]);
          expected["movie.avi"] = f.joined();
          for (int i = 0; i < nth - 1; ++i)
            expected.erase(setInOrder[i]);
          break;
        default:
          break;
      }
      ExpectOneFailure(f, file, error);
      EXPECT_EQ(f.snapshot(), expected);
    }
  }
  EXPECT_GE(faults, 18);
}

TEST(Join, APartThatChangesDuringTheJoinIsReported) {
  {
    // Part 3 vanishes while part 1 is copied.
    JoinFixture f;
    f.makeSet({"a", "b", "c"});
    f.pump.onEvents = [&f](int call) {
      if (call == 1) std::filesystem::remove(f.path("movie.003"));
    };
    auto expected = f.snapshot();
    expected.erase("movie.003");
    JoinF(f.job);
    ExpectOneFailure(f, f.path("movie.003"), ENOENT);
    EXPECT_EQ(f.snapshot(), expected);
  }
  {
    // Part 1 is cut short after its first block.
    JoinFixture f;
    f.makeSet({JobFixture::pattern(100000, 1), "b"});
    f.pump.onEvents = [&f](int) {
      if (f.pump.inBlockPause()) std::filesystem::resize_file(f.path("movie.001"), 10);
    };
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgFailure});
    EXPECT_NE(f.display.details[0].find(f.path("movie.001")), std::string::npos);
    EXPECT_FALSE(f.exists("movie.avi"));
    EXPECT_EQ(f.files().size(), 3u);
    f.expectIdle();
  }
  {
    // A folder under the destination's name is refused before anything is written.
    JoinFixture f;
    f.makeSet({"a"});
    ::mkdir(f.path("movie.avi").c_str(), 0755);
    JoinF(f.job);
    EXPECT_EQ(f.display.codes, std::vector<int>{kMsgFailure});
    EXPECT_EQ(f.fs.calls(Op::CreateTemporary), 0);
    EXPECT_TRUE(std::filesystem::is_directory(f.path("movie.avi")));
  }
}

}  // namespace
}  // namespace qm
