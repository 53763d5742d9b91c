#include "engine/split.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/batch_file.h"
#include "engine/checksum.h"
#include "engine/messages.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::Answer;
using test::JobFixture;
using test::Op;
using Files = std::map<std::string, std::string>;
using Progress = std::tuple<std::string, int, int>;  // lblSectionNum, proSection, proFile

// The folder after a split of `bytes` at `size`: the source, the parts, the data file, their
// checksums, and the batch file when asked for.
Files CompleteSet(const std::string& bytes, std::size_t size, bool batch = false,
                  const std::string& title = "movie.avi", const std::string& stem = "movie.") {
  const int n = static_cast<int>((bytes.size() + size - 1) / size);
  Files files = {{title, bytes}, {stem + "qkd", title + "\r\n" + std::to_string(n) + "\r\n"}};
  std::vector<ChecksumEntry> sums;
  for (int i = 1; i <= n; ++i) {
    files[PartName(stem + "qkd", i)] = bytes.substr((i - 1) * size, size);
    sums.push_back({PartName(stem + "qkd", i), Sha256Of(files[PartName(stem + "qkd", i)])});
  }
  sums.push_back({stem + "qkd", Sha256Of(files[stem + "qkd"])});
  files[stem + "sha256"] = ChecksumFileText(sums);
  if (batch) files[stem + "bat"] = BatchFileText(title, stem + "qkd", n);
  return files;
}

// `n` blocks of 65,000 bytes and one of `last`.
std::vector<std::int64_t> Blocks(int n, std::int64_t last) {
  std::vector<std::int64_t> blocks(n, 65000);
  blocks.push_back(last);
  return blocks;
}

// Every split below starts over an earlier, longer set of the same name, which it replaces
// once the user says Yes; the older set stays whole until the new one is complete, so that a
// split stopped halfway leaves the older set as it was.
TEST(Split, CutsEachPartIntoBlocksWithTheRemainderInItsLastBlock) {
  const auto full = Blocks(10, 87280);  // 737,280
  // clang-format off
  // The source's length, the part size, the block lengths of each part, proSection and proFile
  // after block 1, the source's name, whether to write the batch file and delete the source,
  // and the block after which Cancel is clicked and answered No.
  const struct { std::size_t length; std::int32_t size;
                 std::vector<std::vector<std::int64_t>> parts; std::pair<int, int> first;
                 std::string title = "movie.avi"; bool batchAndDelete = false; int cancelAt = 0;
               } cases[] = {
      // 737,280 x 2 + 525,440, and the data file of 14 bytes
      {2000000, 737280, {full, full, Blocks(8, 5440)}, {8, 3}},
      {737280 + 130000, 737280, {full, Blocks(2, 0)}, {8, 7}},  // the last block is empty
      {2 * 737280, 737280, {full, full}, {8, 4}, "my film, 100% & more – ciné 文.avi", true, 5},
      {5500, 1000, {{1000}, {1000}, {1000}, {1000}, {1000}, {500}}, {100, 18}}};  // BlockSize 1000
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.length) + " at " + std::to_string(c.size));
    JobFixture f;
    // Every other case on a file system that moves only the first half of a part ahead of its
    // blocks, which then move the rest.
    if ((&c - cases) % 2 == 1) f.fs.failPath(Op::CopyAhead, f.folder.path(), 0);
    const std::string stem = c.title.substr(0, c.title.size() - 3);
    for (const char* old : {"001", "002", "qkd"})
      f.writeFile(stem + old, std::string(3000000, 'x'));
    const std::string bytes = JobFixture::pattern(c.length);
    f.prepareSplit(bytes, c.size, c.title, stem);
    f.batch = f.host.deleteWhenDone = c.batchAndDelete;
    std::vector<std::vector<std::int64_t>> parts;
    std::vector<std::pair<int, int>> progress;
    f.display.answers = {test::Answer::Yes};
    bool oldSetKept = true;
    f.pump.onEvents = [&](int) {
      oldSetKept =
          oldSetKept && f.sizeOf(stem + "qkd") == 3000000 && f.sizeOf(stem + "002") == 3000000;
      if (!f.pump.inBlockPause()) return;
      parts.resize(f.state.PartNumber);
      parts.back().push_back(f.state.BlockLength);
      progress.emplace_back(f.host.section, f.host.file);
      if (static_cast<int>(progress.size()) == c.cancelAt) f.state.CancelPressed = true;
    };
    f.split();
    // Success says nothing but the question.
    EXPECT_EQ(f.display.codes, (c.cancelAt ? std::vector{4, 8} : std::vector{4}));
    EXPECT_EQ(parts, c.parts);
    EXPECT_EQ(progress.front(), c.first);  // fractions dropped
    EXPECT_EQ(progress.back(), (std::pair{100, 100}));
    EXPECT_TRUE(oldSetKept);
    Files expected = CompleteSet(bytes, c.size, c.batchAndDelete, c.title, stem);
    if (c.batchAndDelete) expected.erase(c.title);
    EXPECT_EQ(f.snapshot(), expected);
    // Before the set took its names, all of it (the checksum file too) was forced to the disk.
    EXPECT_EQ(f.fs.calls(Op::Flush), static_cast<int>(c.parts.size()) + 2 + c.batchAndDelete);
    EXPECT_EQ(f.fs.calls(Op::CopyAhead), static_cast<int>(c.parts.size()));
    f.expectIdle();  // BlockSize is 65,000 again
  }
}

// Each ends the run with its messages, once, and leaves the folder as it was, the source
// included though "Delete Source Files" is ticked: refused before anything is written, stopped
// by a failing call, or cancelled and confirmed (a split's part 3, which would fail, is never
// begun after a cancel in part 2). A split is also stopped when the part size changes midway, as
// the size controls may, so that the parts no longer match the count.
TEST(Refusal, EndsWithItsMessagesAndTheFolderAsItWas) {
  using J = JobFixture;
  using SetUp = std::function<void(J&)>;
  const auto dest = [](const char* name) { return [name](J& f) { f.dest = f.path(name); }; };
  // clang-format off
  // Join (1) or split (0), what is wrong, the messages, and how the job gets that way.
  const std::vector<std::tuple<bool, const char*, std::vector<int>, SetUp>> cases = {
      {0, "source missing", {2}, [](J& f) { f.source = f.path("missing.avi"); }},
      {0, "destination ending in digits", {2}, dest("movie.001")},
      {0, "destination a folder", {2}, [](J& f) { ::mkdir(f.path("movie.qkd").c_str(), 0755); }},
      {0, "a part is the source by a hard link", {2},
       [](J& f) { ::link(f.path("movie.avi").c_str(), f.path("movie.002").c_str()); }},
      {0, "the data file is the source by a symbolic link", {2},
       [](J& f) { ::symlink(f.path("movie.avi").c_str(), f.path("movie.qkd").c_str()); }},
      {0, "the batch file is the source", {2}, [](J& f) {
         ::rename(f.path("movie.avi").c_str(), f.path("movie.bat").c_str());
         f.source = f.path("movie.bat"); }},
      {0, "one part, behind a stale count", {1}, [](J& f) { f.state.SplitSize = 2000000; }},
      {0, "no usable part size", {6}, [](J& f) { f.state.SplitSize = 0; f.count(); }},
      {0, "1000 parts behind a stale count", {5}, [](J& f) { f.state.SplitSize = 1999; }},
      {0, "a line break in the name", {9}, [](J& f) { f.state.SourceTitle = "movie\n.avi"; }},
      {0, "a quote, with the batch file", {9}, [](J& f) { f.state.SourceTitle = "say \"hi\".avi"; }},
      {0, "cancel in part 2", {8, 7}, [](J& f) {
         f.cancelAtBlock(13);
         f.display.answers = {test::Answer::Yes};
         f.fs.failPath(Op::Create, ".003", EIO); }},
      {0, "a write fails midway a copy", {9}, [](J& f) { f.fs.failAt(Op::Copy, 2, EIO); }},
      {0, "an older set, and part 2 cannot take its name", {4, 9}, [](J& f) {
         f.writeFile("movie.qkd", "movie.avi\r\n5\r\n");
         f.display.answers = {test::Answer::Yes};
         f.fs.failAt(Op::Publish, 2, EIO); }},
      {0, "a destination named like its batch file", {2}, dest("movie.bat")},
      {0, "a destination whose name is too short", {2}, dest("sub/ab")},
      {0, "cancel after the last block", {8, 7}, [](J& f) {
         f.cancelAtBlock(31);
         f.display.answers = {test::Answer::Yes}; }},
      {1, "part 2 missing", {kMsgPartMissing}, [](J& f) { ::unlink(f.path("movie.002").c_str()); }},
      {1, "destination a part", {kMsgNeedFiles}, dest("movie.002")},
      {1, "destination the data file", {kMsgNeedFiles}, dest("movie.qkd")},
      {1, "destination the batch file", {kMsgNeedFiles}, dest("sub/../movie.bat")},
      {1, "destination a link to part 3", {kMsgNeedFiles}, [](J& f) {
         ::link(f.path("movie.003").c_str(), f.path("link").c_str());
         f.dest = f.path("link"); }},
      {1, "1000 parts", {kMsgTooManyParts}, [](J& f) { f.partCount = 1000; }},
      {1, "no parts", {kMsgNeedFiles}, [](J& f) { f.partCount = 0; }},
      {1, "a folder of the destination's name", {kMsgFailure},
       [](J& f) { ::mkdir(f.path("movie.avi").c_str(), 0755); }},
      {1, "part 2 unreadable", {kMsgFailure}, [](J& f) { f.fs.failPath(Op::OpenRead, ".002", EIO); }},
      {1, "a write fails midway", {kMsgFailure}, [](J& f) { f.fs.failAt(Op::Copy, 2, EIO); }},
      {1, "the joined file cannot take its name", {kMsgFailure},
       [](J& f) { f.fs.failAt(Op::Publish, 1, EIO); }},
      {1, "an existing destination, answered No", {kMsgOverwrite}, [](J& f) {
         f.writeFile("movie.avi", "old");
         f.display.answers = {Answer::No}; }},
      {1, "cancel over an existing destination", {kMsgOverwrite, kMsgConfirmCancel, kMsgCancelled},
       [](J& f) {
         f.writeFile("movie.avi", "old");
         f.cancelAtBlock(2);
         f.display.answers = {Answer::Yes, Answer::Yes}; }}};
  // clang-format on
  const std::string bytes = JobFixture::pattern(2000000);
  for (const auto& [join, what, codes, setUp] : cases) {
    SCOPED_TRACE(what);
    JobFixture f;
    ::mkdir(f.path("sub").c_str(), 0755);
    join ? (void)f.makeSet({"a", "b", "c"}, true) : f.prepareSplit(bytes, 737280);
    f.host.deleteWhenDone = 1;
    f.batch = 1;
    setUp(f);
    const Files before = f.snapshot();
    join ? f.join() : f.split();
    EXPECT_EQ(f.display.codes, codes);
    EXPECT_EQ(f.snapshot(), before);  // and no temporary file
    if (f.fs.fired()) f.expectFailureSays(EIO);
    f.expectIdle();
  }
}
// A set replaced by a shorter one loses its parts past the new count, and its batch file when
// the new split writes none; but only what its data file names, never the source. Once the set
// is in place it stays, the source stays until the set is on the disk, and the message says
// which of the last steps did not happen.
TEST(SplitEnd, LeavesTheNewSetBesideOnlyWhatWasNotOfTheOlderOne) {
  const std::string bytes = JobFixture::pattern(2500, 5);
  const Files older = {{"movie.004", "4"},
                       {"movie.005", "5"},
                       {"movie.bat", BatchFileText("movie.avi", "movie.qkd", 5)}};
  // clang-format off
  // The older data file's text ("": no older set), the source's name, the call that fails, and
  // the files left beside the new set.
  const std::tuple<std::string, std::string, Op, Files> cases[] = {
      {"movie.avi\r\n5\r\n", "movie.avi", Op::Count_, {}},
      {"not a data file", "movie.avi", Op::Count_, older},
      {"movie.avi\r\n5\r\n", "movie.005", Op::Count_, {}},
      {"", "movie.avi", Op::SyncFolder, {}},  // the sync after the set is in place
      {"", "movie.avi", Op::Flush, {}},  // a set that replaced nothing is flushed only then
      {"", "movie.avi", Op::Remove, {}}};
  // clang-format on
  for (const auto& [text, title, fault, left] : cases) {
    SCOPED_TRACE(text + title + std::to_string(static_cast<int>(fault)));
    JobFixture f;
    const bool failing = fault != Op::Count_;
    for (const auto& [name, old] : text.empty() ? Files{} : older)
      f.writeFile(name, old);
    if (!text.empty()) f.writeFile("movie.qkd", text);
    f.prepareSplit(bytes, 1000, title);
    f.display.answers = {test::Answer::Yes};
    f.host.deleteWhenDone = f.batch = failing;
    if (failing) f.fs.failAt(fault, 1, EIO);
    f.split();
    EXPECT_EQ(f.display.codes, std::vector<int>{failing ? 9 : 4});
    EXPECT_EQ(f.display.details[0].find("complete, but the source was not deleted.") != -1ul,
              failing);
    Files expected = CompleteSet(bytes, 1000, failing, title);
    expected.merge(Files(left));
    EXPECT_EQ(f.snapshot(), expected);
  }
}

// Split and joined back: lengths and counts past 32 bits, parts past a float's exact range (the
// last one too). Marks at the start, across the 2 GiB line, across a seam of parts and at the
// end show every byte in its place.
TEST(SplitAndJoin, ASourcePast2GiBInPartsOf20MiBComesBackWhole) {
  JobFixture f;
  const std::uint64_t length = 2200000000ull;
  const std::int32_t size = 20 << 20;
  f.prepareSplit("", size, "big.bin", "big.");
  f.makeSparse("big.bin", length);
  const std::pair<std::uint64_t, std::string> marks[] = {
      {0, "START"}, {(1ull << 31) - 3, "2GiB"}, {104ull * size - 2, "SEAM"}, {length - 3, "END"}};
  for (const auto& [at, text] : marks)
    f.poke("big.bin", at, text);
  f.count();
  ASSERT_EQ(PartCountText(f.partCount), "105");
  f.split();
  EXPECT_TRUE(f.display.codes.empty());
  EXPECT_EQ(f.sizeOf("big.105"), length - 104ull * size);  // and the seam shows part 104 whole

  f.source = f.path("big.qkd");
  f.dest = f.path("joined.bin");
  f.join();
  EXPECT_TRUE(f.display.codes.empty());
  ASSERT_EQ(f.sizeOf("joined.bin"), length);
  for (const auto& [at, text] : marks)
    EXPECT_EQ(f.peek("joined.bin", at, text.size()), text);
}

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
    // Every other case on a file system that moves only the first half of a part ahead of its
    // blocks, which then move the rest.
    if ((&c - cases) % 2 == 1) f.fs.failPath(Op::CopyAhead, f.folder.path(), 0);
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
