#include "engine/split.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/batch_file.h"
#include "engine/data_file.h"
#include "engine/part_count.h"
#include "engine/part_names.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::Answer;
using test::JobFixture;
using test::Op;

// What the window showed at one block's pause.
struct Block {
  int part;
  std::int64_t length;
  int section;
  int file;
  std::int32_t blockSize;
  std::string sectionCaption;
  bool running;
  bool cancelShown;
};

void RecordBlocks(JobFixture& f, std::vector<Block>& blocks) {
  f.pump.onEvents = [&f, &blocks](int) {
    if (!f.pump.inBlockPause()) return;
    blocks.push_back({f.state.PartNumber, f.state.BlockLength, f.proSection.value(),
                      f.proFile.value(), f.state.BlockSize, f.lblSectionNum.caption(),
                      f.state.Running, f.cmdCancel.visible() && !f.cmdBegin.visible()});
  };
}

std::vector<std::int64_t> LengthsOfPart(const std::vector<Block>& blocks, int part) {
  std::vector<std::int64_t> lengths;
  for (const Block& block : blocks) {
    if (block.part == part) lengths.push_back(block.length);
  }
  return lengths;
}

// Saves `bytes` as `title` and fills the fields as the window would for a split into `dest`.
void Prepare(JobFixture& f, const std::string& bytes, std::int32_t splitSize,
             const std::string& title = "movie.avi", const std::string& dest = "movie.qkd") {
  f.writeFile(title, bytes);
  f.prepareSplit(title, dest, splitSize, "");
  CountParts(f.job);
}

// The parts `dest`'s name gives, 1..n, must hold `bytes` cut at `splitSize`, and the data file
// must name `title` and count them.
void ExpectCompleteSet(const JobFixture& f, const std::string& bytes, std::size_t splitSize,
                       const std::string& title = "movie.avi",
                       const std::string& dest = "movie.qkd") {
  const std::size_t n = (bytes.size() + splitSize - 1) / splitSize;
  for (std::size_t i = 1; i <= n; ++i) {
    const std::string part = PartName(dest, static_cast<int>(i));
    ASSERT_TRUE(f.exists(part)) << part;
    EXPECT_EQ(f.readFile(part), bytes.substr((i - 1) * splitSize, splitSize)) << part;
  }
  EXPECT_FALSE(f.exists(PartName(dest, static_cast<int>(n + 1))));
  EXPECT_EQ(f.readFile(dest), title + "\r\n" + std::to_string(n) + "\r\n");
}

// The end step ran: the window is ready for the next run.
void ExpectEndStep(const JobFixture& f) {
  EXPECT_EQ(f.proFile.value(), 0);
  EXPECT_EQ(f.proSection.value(), 0);
  EXPECT_EQ(f.lblSectionNum.caption(), "");
  EXPECT_EQ(f.state.BlockSize, 65000);
  EXPECT_FALSE(f.state.CancelPressed);
  EXPECT_TRUE(f.cmdBegin.visible());
  EXPECT_FALSE(f.cmdCancel.visible());
  EXPECT_FALSE(f.state.Running);
}

TEST(SplitLayout, CutsTwoMillionBytesInto737280And737280And525440) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2000000);
  Prepare(f, bytes, 737280);
  ASSERT_EQ(f.lblNumber.caption(), "3");
  std::vector<Block> blocks;
  RecordBlocks(f, blocks);
  SplitF(f.job);

  EXPECT_TRUE(f.display.codes.empty());  // a successful split says nothing
  EXPECT_EQ(f.sizeOf("movie.001"), 737280u);
  EXPECT_EQ(f.sizeOf("movie.002"), 737280u);
  EXPECT_EQ(f.sizeOf("movie.003"), 525440u);
  ExpectCompleteSet(f, bytes, 737280);
  EXPECT_EQ(f.sizeOf("movie.qkd"), 14u);
  EXPECT_EQ(f.readFile("movie.avi"), bytes);
  EXPECT_FALSE(f.exists("movie.bat"));
  ExpectEndStep(f);

  // A full part: ten blocks of 65,000 and a last one that carries the remainder as well.
  const std::vector<std::int64_t> full = {65000, 65000, 65000, 65000, 65000, 65000,
                                          65000, 65000, 65000, 65000, 87280};
  EXPECT_EQ(LengthsOfPart(blocks, 1), full);
  EXPECT_EQ(LengthsOfPart(blocks, 2), full);
  // The last part copies 65,000 at a time until the source ends.
  EXPECT_EQ(LengthsOfPart(blocks, 3), (std::vector<std::int64_t>{65000, 65000, 65000, 65000, 65000,
                                                                 65000, 65000, 65000, 5440}));
  EXPECT_EQ(f.fs.calls(Op::Copy), 31);

  // Progress drops the fraction: 65,000 of 2,000,000 is 3 %, of 737,280 it is 8 %.
  ASSERT_EQ(blocks.size(), 31u);
  EXPECT_EQ(blocks[0].file, 3);
  EXPECT_EQ(blocks[0].section, 8);
  EXPECT_EQ(blocks[10].section, 100);
  EXPECT_EQ(blocks[10].file, 36);
  EXPECT_EQ(blocks[11].section, 8);
  EXPECT_EQ(blocks[22].section, 12);  // 65,000 of 525,440
  EXPECT_EQ(blocks[30].section, 100);
  EXPECT_EQ(blocks[30].file, 100);
  for (const Block& block : blocks) {
    EXPECT_EQ(block.sectionCaption, std::to_string(block.part));
    EXPECT_TRUE(block.running);
    EXPECT_TRUE(block.cancelShown);
  }
}

TEST(SplitLayout, LastPartOfAWholeNumberOfBlocksEndsWithAnEmptyBlock) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(737280 + 130000);
  Prepare(f, bytes, 737280);
  std::vector<Block> blocks;
  RecordBlocks(f, blocks);
  SplitF(f.job);
  EXPECT_EQ(f.sizeOf("movie.002"), 130000u);
  ExpectCompleteSet(f, bytes, 737280);
  EXPECT_EQ(LengthsOfPart(blocks, 2), (std::vector<std::int64_t>{65000, 65000, 0}));
  EXPECT_EQ(blocks.back().file, 100);
}

TEST(SplitLayout, ExactlyTwiceThePartSizeGivesTwoEqualParts) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2 * 737280);
  Prepare(f, bytes, 737280);
  ASSERT_EQ(f.lblNumber.caption(), "2");
  SplitF(f.job);
  EXPECT_EQ(f.sizeOf("movie.001"), 737280u);
  EXPECT_EQ(f.sizeOf("movie.002"), 737280u);
  ExpectCompleteSet(f, bytes, 737280);
}

TEST(SplitLayout, OnePointFourMegabytesIs21BlocksAndOneOf92664) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(3000000);
  Prepare(f, bytes, 1457664);
  std::vector<Block> blocks;
  RecordBlocks(f, blocks);
  SplitF(f.job);
  std::vector<std::int64_t> expected(21, 65000);
  expected.push_back(92664);
  EXPECT_EQ(LengthsOfPart(blocks, 1), expected);
  ExpectCompleteSet(f, bytes, 1457664);
}

TEST(SplitLayout, APartSizeBelowTheBlockSizeCopiesEachPartAsOneBlock) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(5500);
  Prepare(f, bytes, 1000);
  ASSERT_EQ(f.lblNumber.caption(), "6");
  std::vector<Block> blocks;
  RecordBlocks(f, blocks);
  SplitF(f.job);
  ExpectCompleteSet(f, bytes, 1000);
  ASSERT_EQ(blocks.size(), 6u);
  for (const Block& block : blocks) {
    EXPECT_EQ(block.blockSize, 1000);  // lowered for this run only
    EXPECT_EQ(block.section, 100);
  }
  EXPECT_EQ(blocks.back().length, 500);
  ExpectEndStep(f);  // and 65,000 again afterwards
}

TEST(SplitLayout, ReplacesAnEarlierSetWithoutAsking) {
  JobFixture f;
  for (const char* old : {"movie.001", "movie.002", "movie.003", "movie.bat"}) {
    f.writeFile(old, std::string(3000000, 'x'));  // longer than any new part
  }
  f.writeFile("movie.qkd", "movie.avi\r\n9\r\n");
  const std::string bytes = JobFixture::pattern(2000000, 7);
  Prepare(f, bytes, 737280);
  f.chkSelfJoin.setValue(1);
  // A split killed halfway must not leave the old data file beside new parts.
  bool oldDataFileDuringCopy = true;
  f.pump.onEvents = [&](int) { oldDataFileDuringCopy = f.exists("movie.qkd"); };
  SplitF(f.job);
  EXPECT_FALSE(oldDataFileDuringCopy);
  EXPECT_TRUE(f.display.codes.empty());
  ExpectCompleteSet(f, bytes, 737280);
  EXPECT_EQ(f.readFile("movie.bat"), BatchFileText("movie.avi", 3));
}

TEST(SplitLayout, WritesTheBatchFileAndDeletesTheSourceWhenAsked) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2000000);
  Prepare(f, bytes, 737280);
  f.chkSelfJoin.setValue(1);
  f.chkDelete.setValue(1);
  SplitF(f.job);
  EXPECT_TRUE(f.display.codes.empty());
  ExpectCompleteSet(f, bytes, 737280);
  EXPECT_FALSE(f.exists("movie.avi"));
  EXPECT_EQ(f.readFile("movie.bat"), BatchFileText("movie.avi", 3));
  // Before the source went, the three parts and the data file were forced to the disk.
  EXPECT_EQ(f.fs.calls(Op::Flush), 4);
  EXPECT_GE(f.fs.calls(Op::SyncFolder), 1);
  ExpectEndStep(f);
}

TEST(SplitCancel, ConfirmedDuringPart2RemovesEveryPartBegun) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2000000);
  Prepare(f, bytes, 737280);
  f.chkDelete.setValue(1);
  f.chkSelfJoin.setValue(1);
  f.cancelAtBlock(13);  // the second block of part 2
  f.display.answers = {Answer::Yes};
  SplitF(f.job);

  EXPECT_EQ(f.display.codes, (std::vector<int>{8, 7}));
  EXPECT_EQ(f.state.PartsBegun, 2);
  EXPECT_EQ(f.fs.calls(Op::Create), 2);  // part 3 was never begun
  EXPECT_EQ(f.files(), std::vector<std::string>{"movie.avi"});
  EXPECT_EQ(f.readFile("movie.avi"), bytes);
  ExpectEndStep(f);
}

TEST(SplitCancel, ConfirmedAfterTheLastBlockStillRemovesEverything) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2000000);
  Prepare(f, bytes, 737280);
  f.cancelAtBlock(31);
  f.display.answers = {Answer::Yes};
  SplitF(f.job);
  EXPECT_EQ(f.display.codes, (std::vector<int>{8, 7}));
  EXPECT_EQ(f.files(), std::vector<std::string>{"movie.avi"});
  ExpectEndStep(f);
}

TEST(SplitCancel, DeclinedGoesOnAsIfNothingHappened) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2000000);
  Prepare(f, bytes, 737280);
  f.cancelAtBlock(5);
  f.display.answers = {Answer::No};
  SplitF(f.job);
  EXPECT_EQ(f.display.codes, std::vector<int>{8});
  ExpectCompleteSet(f, bytes, 737280);
  ExpectEndStep(f);
}

// One way of asking for a split that must be refused before anything is written.
struct Refusal {
  const char* what;
  int code;
  std::function<void(JobFixture&)> setUp;
};

TEST(SplitRefusal, RefusesBeforeWritingAnything) {
  const std::string bytes = JobFixture::pattern(2000000);
  const std::vector<Refusal> cases = {
      {"source missing", 2, [](JobFixture& f) { f.txtSource.setText(f.path("missing.avi")); }},
      {"source is a folder", 2, [](JobFixture& f) { f.txtSource.setText(f.folder.path()); }},
      {"destination empty", 2, [](JobFixture& f) { f.txtDest.setText(""); }},
      {"destination of three characters", 2, [](JobFixture& f) { f.txtDest.setText("m.q"); }},
      {"destination ending in digits", 2,
       [](JobFixture& f) { f.txtDest.setText(f.path("movie.001")); }},
      {"destination is a folder", 2,
       [](JobFixture& f) { ::mkdir(f.path("movie.qkd").c_str(), 0755); }},
      {"a part is the source by a hard link", 2,
       [](JobFixture& f) { ::link(f.path("movie.avi").c_str(), f.path("movie.002").c_str()); }},
      {"the data file is the source by a symbolic link", 2,
       [](JobFixture& f) { ::symlink(f.path("movie.avi").c_str(), f.path("movie.qkd").c_str()); }},
      {"the data file is the source spelt another way", 2,
       [](JobFixture& f) { f.txtDest.setText(f.folder.path() + "./movie.avi"); }},
      {"the batch file is the source", 2,
       [](JobFixture& f) {
         ::rename(f.path("movie.avi").c_str(), f.path("movie.bat").c_str());
         f.txtSource.setText(f.path("movie.bat"));
         f.chkSelfJoin.setValue(1);
       }},
      {"source not larger than the part size", 1,
       [](JobFixture& f) {
         f.state.SplitSize = 2000000;
         CountParts(f.job);
       }},
      {"no usable part size", 6,
       [](JobFixture& f) {
         f.state.SplitSize = 0;
         CountParts(f.job);
       }},
      {"no usable part size behind a stale count", 6, [](JobFixture& f) { f.state.SplitSize = 0; }},
      {"a stale count that is too small now", 1,
       [](JobFixture& f) { f.state.SplitSize = 3000000; }},
      {"1000 parts", 5,
       [](JobFixture& f) {
         f.state.SplitSize = 2000;
         CountParts(f.job);
       }},
      {"1000 parts behind a stale count", 5, [](JobFixture& f) { f.state.SplitSize = 1999; }},
      {"a line break in the name", 9, [](JobFixture& f) { f.state.SourceTitle = "movie\n.avi"; }},
      {"a control character in the name", 9,
       [](JobFixture& f) { f.state.SourceTitle = "movie\x1b.avi"; }},
      {"a backslash in the name", 9, [](JobFixture& f) { f.state.SourceTitle = "mo\\vie.avi"; }},
      {"no name", 9, [](JobFixture& f) { f.state.SourceTitle = ""; }},
      {"a double quote in the name, with the batch file", 9,
       [](JobFixture& f) {
         f.state.SourceTitle = "say \"hi\".avi";
         f.chkSelfJoin.setValue(1);
       }},
      {"a name too short for the batch file", 9,
       [](JobFixture& f) {
         f.state.SourceTitle = "mv";
         f.chkSelfJoin.setValue(1);
       }},
  };
  for (const Refusal& refusal : cases) {
    SCOPED_TRACE(refusal.what);
    JobFixture f;
    Prepare(f, bytes, 737280);
    f.chkDelete.setValue(1);
    refusal.setUp(f);
    const auto before = f.files();
    SplitF(f.job);
    ASSERT_EQ(f.display.codes, std::vector<int>{refusal.code});
    EXPECT_EQ(f.files(), before);
    EXPECT_EQ(f.fs.calls(Op::Create) + f.fs.calls(Op::Remove) + f.fs.calls(Op::OpenRead), 0);
    ExpectEndStep(f);
    if (refusal.code == 9) {
      EXPECT_NE(f.display.details[0].find("Nothing was written"), std::string::npos);
    }
  }
}

TEST(SplitRefusal, NamesThatOnlyTheBatchFileCannotHoldSplitWithoutIt) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(100000);
  Prepare(f, bytes, 40000, "say \"hi\".avi", "say \"hi\".qkd");
  SplitF(f.job);
  EXPECT_TRUE(f.display.codes.empty());
  ExpectCompleteSet(f, bytes, 40000, "say \"hi\".avi", "say \"hi\".qkd");

  // A source named like the batch file is safe while no batch file is written.
  JobFixture g;
  Prepare(g, bytes, 40000, "movie.bat", "movie.qkd");
  SplitF(g.job);
  EXPECT_TRUE(g.display.codes.empty());
  EXPECT_EQ(g.readFile("movie.bat"), bytes);
}

TEST(SplitNames, KeepsSpacesCommasPercentAmpersandAndLettersBeyondAscii) {
  JobFixture f;
  const std::string title = "my film, 100% & more – ciné 文.avi";
  const std::string dest = "my film, 100% & more – ciné 文.qkd";
  const std::string bytes = JobFixture::pattern(150000);
  Prepare(f, bytes, 65536, title, dest);
  f.chkSelfJoin.setValue(1);
  SplitF(f.job);
  EXPECT_TRUE(f.display.codes.empty());
  ExpectCompleteSet(f, bytes, 65536, title, dest);
  EXPECT_TRUE(f.exists("my film, 100% & more – ciné 文.003"));
  const DataFileContents read = ReadDataFile(f.fs, f.path(dest));
  EXPECT_EQ(read.name, title);
  EXPECT_EQ(read.count, 3);
  const std::string script = f.readFile("my film, 100% & more – ciné 文.bat");
  EXPECT_EQ(script, BatchFileText(title, 3));
  EXPECT_NE(script.find("\"my film, 100%% & more – ciné 文.002\""), std::string::npos);
}

// Builds the same small job each time: three parts, both boxes ticked, so every step runs.
struct SmallJob {
  SmallJob() {
    Prepare(f, bytes, 1000);
    f.chkDelete.setValue(1);
    f.chkSelfJoin.setValue(1);
  }
  JobFixture f;
  std::string bytes = JobFixture::pattern(2500, 3);
};

TEST(SplitFailure, AFaultAtAnyStepLeavesEitherNothingOrTheWholeSet) {
  std::vector<std::pair<Op, int>> steps;
  {
    SmallJob clean;
    SplitF(clean.f.job);
    ASSERT_TRUE(clean.f.display.codes.empty());
    for (Op op : {Op::OpenRead, Op::Create, Op::Copy, Op::Write, Op::Close, Op::Remove, Op::Flush,
                  Op::SyncFolder}) {
      for (int nth = 1; nth <= clean.f.fs.calls(op); ++nth)
        steps.emplace_back(op, nth);
    }
  }
  ASSERT_GE(steps.size(), 25u);
  for (const auto& [op, nth] : steps) {
    SCOPED_TRACE(std::string(test::opName(op)) + " #" + std::to_string(nth));
    SmallJob job;
    JobFixture& f = job.f;
    f.fs.failAt(op, nth, EIO);
    SplitF(f.job);
    ASSERT_TRUE(f.fs.fired());
    ASSERT_EQ(f.display.codes, std::vector<int>{9});
    const std::string& detail = f.display.details[0];
    EXPECT_NE(detail.find("Input/output error"), std::string::npos) << detail;
    EXPECT_NE(detail.find(f.folder.path()), std::string::npos) << detail;
    ExpectEndStep(f);

    if (f.exists("movie.qkd")) {
      // The failure came after the set was whole: it stays, and the message says so.
      ExpectCompleteSet(f, job.bytes, 1000);
      EXPECT_NE(detail.find("are complete"), std::string::npos) << detail;
      if (f.exists("movie.bat")) {
        EXPECT_EQ(f.readFile("movie.bat"), BatchFileText("movie.avi", 3));
      }
      if (!f.exists("movie.avi")) {
        EXPECT_NE(detail.find("source was deleted"), std::string::npos) << detail;
      }
    } else {
      // Before: nothing of the split is left, and the source is as it was.
      EXPECT_EQ(f.files(), std::vector<std::string>{"movie.avi"}) << detail;
      EXPECT_EQ(f.readFile("movie.avi"), job.bytes);
      EXPECT_NE(detail.find("The source is untouched."), std::string::npos) << detail;
    }
  }
}

TEST(SplitFailure, DiskFullDuringPart2NamesThePartAndTheReason) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2000000);
  Prepare(f, bytes, 737280);
  f.fs.failAt(Op::Copy, 13, ENOSPC);
  SplitF(f.job);
  ASSERT_EQ(f.display.codes, std::vector<int>{9});
  EXPECT_EQ(f.display.details[0], "Could not write \"" + f.path("movie.002") +
                                      "\": No space left on device. The parts begun were "
                                      "removed. The source is untouched.");
  EXPECT_EQ(f.display.texts[0].rfind("Error #009 : Could not write", 0), 0u);
  EXPECT_EQ(f.files(), std::vector<std::string>{"movie.avi"});
}

TEST(SplitFailure, AMissingDestinationFolderWritesNothing) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(200000);
  Prepare(f, bytes, 65536, "movie.avi", "no/such/folder/movie.qkd");
  SplitF(f.job);
  ASSERT_EQ(f.display.codes, std::vector<int>{9});
  EXPECT_EQ(f.display.details[0], "Could not create \"" + f.path("no/such/folder/movie.001") +
                                      "\": No such file or directory. No part was written. The "
                                      "source is untouched.");
  EXPECT_EQ(f.files(), std::vector<std::string>{"movie.avi"});
  ExpectEndStep(f);
}

TEST(SplitFailure, AnOldDataFileThatCannotGoStopsTheSplitBeforeAnyPart) {
  JobFixture f;
  f.writeFile("movie.qkd", "movie.avi\r\n9\r\n");
  Prepare(f, JobFixture::pattern(200000), 65536);
  f.fs.failPath(Op::Remove, "movie.qkd", EACCES);
  SplitF(f.job);
  ASSERT_EQ(f.display.codes, std::vector<int>{9});
  EXPECT_NE(f.display.details[0].find("Could not delete"), std::string::npos);
  EXPECT_NE(f.display.details[0].find("No part was written"), std::string::npos);
  EXPECT_EQ(f.files(), (std::vector<std::string>{"movie.avi", "movie.qkd"}));
}

TEST(SplitFailure, ASourceThatShrinksMidwayIsReportedAndCleanedUp) {
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2000000);
  Prepare(f, bytes, 737280);
  f.pump.onEvents = [&f](int call) {
    if (call == 5) ::truncate(f.path("movie.avi").c_str(), 400000);  // 260,000 copied so far
  };
  SplitF(f.job);
  ASSERT_EQ(f.display.codes, std::vector<int>{9});
  EXPECT_NE(f.display.details[0].find("it ended after 400000 bytes"), std::string::npos)
      << f.display.details[0];
  EXPECT_EQ(f.files(), std::vector<std::string>{"movie.avi"});
}

TEST(SplitFailure, APartSizeChangedMidwayCannotLeaveAWrongSet) {
  // The size controls stay usable during a run; a new size recounts the parts behind the
  // split's back, so the set no longer matches the count the data file would carry.
  JobFixture f;
  const std::string bytes = JobFixture::pattern(2000000);
  Prepare(f, bytes, 737280);
  f.chkDelete.setValue(1);
  f.pump.onEvents = [&f](int call) {
    if (call != 3) return;
    f.state.SplitSize = 400000;
    CountParts(f.job);
  };
  SplitF(f.job);
  ASSERT_EQ(f.display.codes, std::vector<int>{9});
  EXPECT_NE(f.display.details[0].find("the part size was changed"), std::string::npos);
  EXPECT_EQ(f.files(), std::vector<std::string>{"movie.avi"});
  EXPECT_EQ(f.readFile("movie.avi"), bytes);
}

TEST(SplitFailure, AfterTheDataFileTheSetIsKeptAndTheMessageSaysWhatIsMissing) {
  {
    SmallJob job;  // the batch file cannot be created
    job.f.fs.failPath(Op::Create, ".bat", EACCES);
    SplitF(job.f.job);
    ASSERT_EQ(job.f.display.codes, std::vector<int>{9});
    EXPECT_NE(job.f.display.details[0].find("Permission denied. The 3 parts and the data file "
                                            "are complete and the source was deleted, but no "
                                            "batch file was written."),
              std::string::npos)
        << job.f.display.details[0];
    ExpectCompleteSet(job.f, job.bytes, 1000);
    EXPECT_FALSE(job.f.exists("movie.bat"));
  }
  {
    SmallJob job;  // the source cannot be deleted
    job.f.fs.failPath(Op::Remove, "movie.avi", EACCES);
    SplitF(job.f.job);
    ASSERT_EQ(job.f.display.codes, std::vector<int>{9});
    EXPECT_NE(job.f.display.details[0].find("the source was not deleted and no batch file"),
              std::string::npos)
        << job.f.display.details[0];
    ExpectCompleteSet(job.f, job.bytes, 1000);
    EXPECT_EQ(job.f.readFile("movie.avi"), job.bytes);
  }
  {
    SmallJob job;  // a part cannot be forced to the disk: the source must stay
    job.f.fs.failAt(Op::Flush, 2, EIO);
    SplitF(job.f.job);
    ASSERT_EQ(job.f.display.codes, std::vector<int>{9});
    EXPECT_EQ(job.f.readFile("movie.avi"), job.bytes);
    ExpectCompleteSet(job.f, job.bytes, 1000);
  }
}

TEST(SplitLarge, SplitsASourceBeyond2GiBIntoPartsOfMoreThan16MiB) {
  JobFixture f;
  const std::uint64_t length = 2200000000ull;
  const std::int32_t size = 20 * 1024 * 1024;
  f.makeSparse("big.bin", length);
  // Marks at the start, across the 2 GiB line and at the end, so misplaced bytes show.
  const std::vector<std::pair<std::uint64_t, std::string>> marks = {
      {0, "START"}, {2147483644ull, "ACROSS2GiB"}, {length - 3, "END"}};
  {
    const int fd = ::open(f.path("big.bin").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    for (const auto& [at, text] : marks) {
      ASSERT_EQ(::pwrite(fd, text.data(), text.size(), static_cast<off_t>(at)),
                static_cast<ssize_t>(text.size()));
    }
    ::close(fd);
  }
  f.prepareSplit("big.bin", "big.qkd", size, "");
  CountParts(f.job);
  ASSERT_EQ(f.lblNumber.caption(), "105");
  std::int64_t largestBlock = 0;
  f.pump.onEvents = [&](int) { largestBlock = std::max(largestBlock, f.state.BlockLength); };
  SplitF(f.job);

  EXPECT_TRUE(f.display.codes.empty());
  EXPECT_EQ(f.state.SourceLength, static_cast<std::int64_t>(length));
  for (int i = 1; i <= 104; ++i) {
    ASSERT_EQ(f.sizeOf(PartName("big.qkd", i)), static_cast<std::uint64_t>(size)) << i;
  }
  EXPECT_EQ(f.sizeOf("big.105"), length - 104ull * size);
  EXPECT_FALSE(f.exists("big.106"));
  EXPECT_EQ(f.readFile("big.qkd"), "big.bin\r\n105\r\n");
  EXPECT_EQ(largestBlock, 65000 + size % 65000);  // 322 blocks a part, the last 106,520
  for (const auto& [at, text] : marks) {
    const int part = static_cast<int>(at / size) + 1;
    const int fd = ::open(f.path(PartName("big.qkd", part)).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string got(text.size(), '\0');
    // A mark may run into the next part; read its first piece here.
    const std::size_t here = std::min<std::uint64_t>(text.size(), size - at % size);
    ASSERT_EQ(::pread(fd, got.data(), here, static_cast<off_t>(at % size)),
              static_cast<ssize_t>(here));
    ::close(fd);
    EXPECT_EQ(got.substr(0, here), text.substr(0, here)) << text;
  }
}

}  // namespace
}  // namespace qm
