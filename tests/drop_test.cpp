#include "shell/drop.h"

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "tests/fakes/window_fixture.h"

namespace qm::test {
namespace {

class Drop : public ::testing::Test, public WindowFixture {
 protected:
  Drop() { form.Form_Load(""); }
  void drop(const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const auto& name : names)
      paths.push_back(path(name));
    DropWindowProc(form, paths);
  }
  void autoStart() {
    form.chkAutoStart.click();
    ASSERT_EQ(form.chkAutoStart.value(), 1);
  }
};

TEST_F(Drop, ADataFileWithAutoStartOffFillsTheJoinAndRunsNothing) {
  writePartSet("movie");
  write("report.txt", "text");
  drop({"report.txt"});
  ASSERT_TRUE(form.optSplit.value());

  drop({"movie.qkd"});
  EXPECT_TRUE(form.optJoin.value());
  EXPECT_EQ(form.txtSource.text(), path("movie.qkd"));
  EXPECT_EQ(form.txtDest.text(), path("movie.avi"));
  EXPECT_EQ(form.lblNumber.caption(), "3");
  EXPECT_FALSE(exists("movie.avi"));
  EXPECT_TRUE(display.codes.empty());
}

TEST_F(Drop, APlainFileWithAutoStartOnRunsTheSplit) {
  autoStart();
  const std::string whole = JobFixture::pattern(1600000);
  write("big data.bin", whole);
  drop({"big data.bin"});

  EXPECT_TRUE(form.optSplit.value());
  EXPECT_EQ(files(), (std::vector<std::string>{"big data.001", "big data.002", "big data.003",
                                               "big data.bin", "big data.qkd"}));
  EXPECT_EQ(read("big data.001") + read("big data.002") + read("big data.003"), whole);
  EXPECT_FALSE(state.Running);
  EXPECT_EQ(form.Check1.value(), 0);
  EXPECT_TRUE(form.cmdBegin.visible());
  EXPECT_TRUE(display.codes.empty());
}

TEST_F(Drop, ADataFileWithAutoStartOnRunsTheJoin) {
  autoStart();
  const std::string whole = writePartSet("movie");
  drop({"movie.qkd"});
  EXPECT_EQ(read("movie.avi"), whole);
  EXPECT_EQ(form.Check2.value(), 0);
  EXPECT_TRUE(display.codes.empty());
}

TEST_F(Drop, TheFirstOfSeveralFilesWinsAndIsTakenWhole) {
  writePartSet("movie");
  write("a.txt", "a");
  write("c.txt", "c");
  drop({"a.txt", "movie.qkd", "c.txt"});
  EXPECT_TRUE(form.optSplit.value());
  EXPECT_EQ(form.txtSource.text(), path("a.txt"));
  EXPECT_EQ(form.txtDest.text(), path("a.qkd"));

  // Far beyond the 126 characters a fixed name buffer would keep.
  const std::string deep = std::string(100, 'd') + "/" + std::string(100, 'e') + "/" +
                           std::string(100, 'f') + "/long name.txt";
  write(deep, "x");
  ASSERT_GT(path(deep).size(), 300u);
  drop({deep});
  EXPECT_EQ(form.txtSource.text(), path(deep));
  EXPECT_EQ(form.txtDest.text(), path(deep.substr(0, deep.size() - 4)) + ".qkd");

  // Blanks around the name are not part of it.
  DropWindowProc(form, {"  " + path("c.txt") + "  "});
  EXPECT_EQ(form.txtSource.text(), path("c.txt"));

  DropWindowProc(form, {});
  EXPECT_EQ(form.txtSource.text(), path("c.txt"));
}

TEST_F(Drop, ADropDuringARunIsIgnored) {
  writePartSet("movie");
  const std::string whole = JobFixture::pattern(1600000, 7);
  write("first.bin", whole);
  drop({"first.bin"});
  autoStart();  // a drop now would start a run of its own, were it not ignored

  int drops = 0;
  pump.onEvents = [&](int) {
    if (pump.inBlockPause() && drops++ == 0) drop({"movie.qkd"});
  };
  form.cmdBegin.click();

  EXPECT_GT(drops, 0);
  EXPECT_TRUE(form.optSplit.value());
  EXPECT_EQ(form.txtSource.text(), path("first.bin"));
  EXPECT_EQ(form.txtDest.text(), path("first.qkd"));
  EXPECT_FALSE(exists("movie.avi"));
  EXPECT_EQ(read("first.001") + read("first.002") + read("first.003"), whole);
  EXPECT_TRUE(display.codes.empty());

  // Once the run has ended, drops count again.
  drop({"movie.qkd"});
  EXPECT_EQ(read("movie.avi"), read("movie.001") + read("movie.002") + read("movie.003"));
}

TEST_F(Drop, AFolderShowsItsPathAndChangesNothingElse) {
  write("a.txt", "a");
  write("sub/inner.txt", "i");
  drop({"a.txt"});
  drop({"sub"});
  EXPECT_EQ(form.txtSource.text(), path("sub"));
  EXPECT_EQ(form.txtDest.text(), path("a.qkd"));
  EXPECT_TRUE(form.optSplit.value());
  EXPECT_TRUE(display.codes.empty());

  // With auto-start on, the run's own checks refuse it.
  autoStart();
  const auto before = files();
  drop({"sub"});
  EXPECT_EQ(display.codes, std::vector<int>{kMsgNeedFiles});
  EXPECT_EQ(files(), before);
  EXPECT_FALSE(state.Running);
}

}  // namespace
}  // namespace qm::test
