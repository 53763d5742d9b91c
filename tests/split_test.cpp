#include "engine/split.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/batch_file.h"
#include "engine/checksum.h"
#include "engine/join.h"
#include "engine/part_count.h"
#include "engine/part_names.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::JobFixture;
using test::Op;
using Files = std::map<std::string, std::string>;

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
  const std::string odd = "my film, 100% & more – ciné 文.avi";
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
      {2 * 737280, 737280, {full, full}, {8, 4}, odd, true, 5},
      {3000000, 1457664, {Blocks(21, 92664), Blocks(21, 92664), Blocks(1, 19672)}, {4, 2}},
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
    f.batch = c.batchAndDelete;
    f.host.deleteWhenDone = c.batchAndDelete;
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

// Each ends the split with its messages and leaves the folder as it was, the source included
// though "Delete Source Files" is ticked: refused before anything is written, cancelled and
// confirmed (part 3, which would fail, is never begun after a cancel in part 2), or stopped when
// the part size changes midway, as the size controls may, so that the parts no longer match
// the count.
TEST(SplitRefusal, EndsWithItsMessageAndTheFolderAsItWas) {
  using J = JobFixture;
  using SetUp = std::function<void(J&)>;
  // clang-format off
  const std::vector<std::tuple<const char*, std::vector<int>, SetUp>> cases = {
      {"source missing", {2}, [](J& f) { f.source = f.path("missing.avi"); }},
      {"destination of 3 characters", {2}, [](J& f) { f.dest = "m.q"; }},
      {"destination ending in digits", {2}, [](J& f) { f.dest = f.path("movie.001"); }},
      {"destination a folder", {2}, [](J& f) { ::mkdir(f.path("movie.qkd").c_str(), 0755); }},
      {"a part is the source by a hard link", {2},
       [](J& f) { ::link(f.path("movie.avi").c_str(), f.path("movie.002").c_str()); }},
      {"the data file is the source by a symbolic link", {2},
       [](J& f) { ::symlink(f.path("movie.avi").c_str(), f.path("movie.qkd").c_str()); }},
      {"the batch file is the source", {2}, [](J& f) {
         ::rename(f.path("movie.avi").c_str(), f.path("movie.bat").c_str());
         f.source = f.path("movie.bat"); }},
      {"one part, behind a stale count", {1}, [](J& f) { f.state.SplitSize = 2000000; }},
      {"no usable part size", {6}, [](J& f) { f.state.SplitSize = 0; f.count(); }},
      {"1000 parts behind a stale count", {5}, [](J& f) { f.state.SplitSize = 1999; }},
      {"a line break in the name", {9}, [](J& f) { f.state.SourceTitle = "movie\n.avi"; }},
      {"a backslash in the name", {9}, [](J& f) { f.state.SourceTitle = "mo\\vie.avi"; }},
      {"a quote, with the batch file", {9}, [](J& f) { f.state.SourceTitle = "say \"hi\".avi"; }},
      {"cancel in part 2", {8, 7}, [](J& f) {
         f.cancelAtBlock(13);
         f.display.answers = {test::Answer::Yes};
         f.fs.failPath(Op::Create, ".003", EIO); }},
      {"an older set, and the disk full at part 2", {4, 9}, [](J& f) {
         f.writeFile("movie.qkd", "movie.avi\r\n5\r\n");
         f.display.answers = {test::Answer::Yes};
         f.fs.failAt(Op::Publish, 2, ENOSPC); }},
      {"a destination named like its batch file", {2}, [](J& f) { f.dest = f.path("movie.bat"); }},
      {"a destination whose name is too short", {2}, [](J& f) { f.dest = f.path("sub/ab"); }},
      {"a wildcard, with the batch file", {9}, [](J& f) { f.dest = f.path("movie?.qkd"); }},
      {"cancel after the last block", {8, 7}, [](J& f) {
         f.cancelAtBlock(31);
         f.display.answers = {test::Answer::Yes}; }}};
  // clang-format on
  const std::string bytes = JobFixture::pattern(2000000);
  for (const auto& [what, codes, setUp] : cases) {
    SCOPED_TRACE(what);
    JobFixture f;
    f.prepareSplit(bytes, 737280);
    f.host.deleteWhenDone = 1;
    f.batch = 1;
    setUp(f);
    const Files before = f.snapshot();
    f.split();
    EXPECT_EQ(f.display.codes, codes);
    EXPECT_EQ(f.snapshot(), before);
    f.expectIdle();
  }
}

// A set replaced by a shorter one loses its parts past the new count, and its batch file when
// the new split writes none; but only what its data file names, never the source.
TEST(SplitReplacing, RemovesWhatIsLeftOfTheOlderSetAndNothingElse) {
  const std::string bytes = JobFixture::pattern(2500, 5);
  const std::string older = BatchFileText("movie.avi", "movie.qkd", 5);
  // The older data file's text, the source's name, and the files left beside the new set.
  const std::tuple<std::string, std::string, Files> cases[] = {
      {"movie.avi\r\n5\r\n", "movie.avi", {}},
      {"not a data file",
       "movie.avi",
       {{"movie.004", "4"}, {"movie.005", "5"}, {"movie.bat", older}}},
      {"movie.avi\r\n5\r\n", "movie.005", {}}};
  for (const auto& [text, title, left] : cases) {
    SCOPED_TRACE(text + title);
    JobFixture f;
    for (const auto& [name, old] :
         Files{{"movie.004", "4"}, {"movie.005", "5"}, {"movie.bat", older}})
      f.writeFile(name, old);
    f.writeFile("movie.qkd", text);
    f.prepareSplit(bytes, 1000, title);
    f.dest = f.path("movie.qkd");
    f.display.answers = {test::Answer::Yes};
    f.split();
    Files expected = CompleteSet(bytes, 1000, false, title);
    expected.erase("movie.qkd");
    expected.merge(Files(left));
    EXPECT_EQ(f.snapshot().size(), expected.size() + 1);  // and the new data file
    EXPECT_TRUE(std::all_of(expected.begin(), expected.end(), [&](const auto& file) {
      return f.readFile(file.first) == file.second;
    }));
  }
}

// What the fault matrix does not look at: once the set is in place it stays, the source stays
// until the set is on the disk, and the message says which of the last steps did not happen.
TEST(SplitFailure, AfterTheSetIsInPlaceItStaysAndTheMessageSaysWhatIsMissing) {
  const std::string bytes = JobFixture::pattern(2500, 3);
  for (const auto& [op, says] :
       {std::pair{Op::SyncFolder, "complete, but the source was not deleted."},
        {Op::Remove, "complete, but the source was not deleted."}}) {
    JobFixture f;
    f.prepareSplit(bytes, 1000);
    f.host.deleteWhenDone = 1;
    f.batch = 1;
    f.fs.failAt(op, op == Op::SyncFolder ? 2 : 1, EIO);  // the sync after the set is in place
    f.split();
    ASSERT_EQ(f.display.codes, std::vector<int>{9});
    EXPECT_NE(f.display.details[0].find(says), std::string::npos) << f.display.details[0];
    EXPECT_TRUE(f.snapshot() == CompleteSet(bytes, 1000, true));
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
  for (int i = 1; i <= 104; ++i)
    ASSERT_EQ(f.sizeOf(PartName("big.qkd", i)), static_cast<std::uint64_t>(size)) << i;
  EXPECT_EQ(f.sizeOf("big.105"), length - 104ull * size);

  f.source = f.path("big.qkd");
  f.dest = f.path("joined.bin");
  f.join();
  EXPECT_TRUE(f.display.codes.empty());
  ASSERT_EQ(f.sizeOf("joined.bin"), length);
  for (const auto& [at, text] : marks)
    EXPECT_EQ(f.peek("joined.bin", at, text.size()), text);
}

}  // namespace
}  // namespace qm
