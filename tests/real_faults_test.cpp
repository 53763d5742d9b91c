// Faults the system really raises, not injected ones: a disk that fills up, a folder that cannot
// be written, and inputs that vanish or shrink while a run reads them. The rules are those of
// the fault matrix: the user's data as it was, nothing half-written left, one message naming
// the file and the reason, and the window ready again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "tests/fakes/window_fixture.h"

namespace qm {
namespace {

using test::Answer;
using test::WindowFixture;

using Listing = std::map<std::string, std::string>;

Listing listing(const WindowFixture& f, const std::string& sub) {
  Listing files;
  for (const auto& entry : std::filesystem::directory_iterator(f.path(sub))) {
    const std::string name = entry.path().filename().string();
    files[name] = entry.is_regular_file() ? f.read(sub + name) : "<other>";
  }
  return files;
}

// A folder of the test turned into a mount of its own, undone when the test ends. Only root
// may mount; elsewhere, or where the machine refuses, `refused` says why and the test skips.
class Mount {
 public:
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  ~Mount() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }

  // A memory file system of `size` (a mount option such as "128k") that really fills up.
  static void small(Mount& m, const std::string& where, const std::string& size) {
    m.where_ = where;
    if (::geteuid() != 0) {
      m.refused = "mounting a small file system needs root";
      return;
    }
    const std::string options = "size=" + size + ",mode=0755";
    if (::mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      m.refused = std::string("this machine refuses to mount a tmpfs: ") + std::strerror(errno);
      return;
    }
    m.mounted_ = true;
  }

  // The folder, as it is, made read-only. Root passes permission bits, so for root the folder
  // is bound onto itself read-only; anyone else gets a folder without write permission.
  static void readOnly(Mount& m, const std::string& where) {
    m.where_ = where;
    if (::geteuid() != 0) {
      m.chmodded_ = ::chmod(where.c_str(), 0555) == 0;
      if (!m.chmodded_) m.refused = std::string("chmod failed: ") + std::strerror(errno);
      return;
    }
    if (::mount(where.c_str(), where.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      m.refused = std::string("this machine refuses a bind mount: ") + std::strerror(errno);
      return;
    }
    m.mounted_ = true;
    if (::mount(nullptr, where.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      m.refused = std::string("this machine refuses a read-only remount: ") + std::strerror(errno);
    }
  }

  // The errno a write into a read-only folder gives here.
  int readOnlyError() const { return chmodded_ ? EACCES : EROFS; }

  std::string refused;
  Mount() = default;

 private:
  std::string where_;
  bool mounted_ = false;
  bool chmodded_ = false;
};

// The window with a folder "disk/" on the test's own disk and a folder "other/" that a test
// may turn into a mount.
struct RealFaults : testing::Test, WindowFixture {
  RealFaults() {
    std::filesystem::create_directories(path("disk"));
    std::filesystem::create_directories(path("other"));
    form.Form_Load("");
  }
  ~RealFaults() {
    // A read-only folder made by chmod must be writable again to be cleaned away.
    ::chmod(path("other").c_str(), 0755);
  }

  // A split of disk/movie.bin into parts of 100 KiB (3 parts of 300,000 bytes).
  void prepareSplit(const std::string& dest) {
    write("disk/movie.bin", whole);
    form.LoadSource(path("disk/movie.bin"));
    form.Option6.click();
    form.Combo1.setListIndex(1);
    form.txtSize.setText("100");
    form.txtDest.setText(path(dest));
    ASSERT_EQ(form.lblNumber.caption(), "3");
  }

  // A set of three 100,000-byte parts and its data file in `folder`.
  void prepareJoin(const std::string& folder) {
    write(folder + "movie.001", whole.substr(0, 100000));
    write(folder + "movie.002", whole.substr(100000, 100000));
    write(folder + "movie.003", whole.substr(200000));
    write(folder + "movie.qkd", "movie.bin\r\n3\r\n");
  }
  // Loads that set for a join into `dest`.
  void loadJoin(const std::string& folder, const std::string& dest) {
    form.LoadSource(path(folder + "movie.qkd"));
    ASSERT_EQ(form.lblNumber.caption(), "3");
    form.txtDest.setText(path(dest));
  }

  void expectWindowReady() {
    EXPECT_TRUE(form.cmdBegin.visible());
    EXPECT_FALSE(form.cmdCancel.visible());
    EXPECT_EQ(form.proFile.value(), 0);
    EXPECT_EQ(form.proSection.value(), 0);
    EXPECT_FALSE(state.CancelPressed);
    EXPECT_TRUE(form.txtSource.enabled());
  }

  // Exactly one failure message besides the overwrite question, naming `file` and `error`.
  void expectOneFailure(const std::string& file, int error) {
    std::vector<std::string> failures;
    for (std::size_t i = 0; i < display.codes.size(); ++i) {
      if (display.codes[i] == kMsgOverwrite) continue;
      EXPECT_EQ(display.codes[i], kMsgFailure);
      failures.push_back(display.details[i]);
    }
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find(path(file)), std::string::npos) << failures[0];
    EXPECT_NE(failures[0].find(std::strerror(error)), std::string::npos) << failures[0];
  }

  const std::string whole = test::JobFixture::pattern(300000, 11);
};

TEST_F(RealFaults, ASplitOntoAFullDiskRemovesEveryPartAndTheOldDataFile) {
  Mount disk;
  Mount::small(disk, path("other"), "128k");
  if (!disk.refused.empty()) GTEST_SKIP() << disk.refused;
  // An earlier set of that name: its data file must not outlive the failed split.
  write("other/movie.qkd", "movie.bin\r\n2\r\n");
  write("other/movie.001", "older part");
  prepareSplit("other/movie.qkd");

  form.cmdBegin.click();

  expectOneFailure("other/movie.002", ENOSPC);
  EXPECT_TRUE(listing(*this, "other/").empty());
  EXPECT_EQ(read("disk/movie.bin"), whole);
  expectWindowReady();
}

TEST_F(RealFaults, AJoinOntoAFullDiskLeavesTheOldDestinationWhole) {
  Mount disk;
  Mount::small(disk, path("other"), "128k");
  if (!disk.refused.empty()) GTEST_SKIP() << disk.refused;
  const std::string older(20000, 'o');
  write("other/movie.bin", older);
  prepareJoin("disk/");
  loadJoin("disk/", "other/movie.bin");
  const Listing set = listing(*this, "disk/");
  display.questionDefault = Answer::Yes;

  form.cmdBegin.click();

  expectOneFailure("other/movie.bin", ENOSPC);
  EXPECT_EQ(listing(*this, "other/"), (Listing{{"movie.bin", older}}));
  EXPECT_EQ(listing(*this, "disk/"), set);
  expectWindowReady();
}

TEST_F(RealFaults, ASplitIntoAReadOnlyFolderWritesNothing) {
  Mount folder;
  Mount::readOnly(folder, path("other"));
  if (!folder.refused.empty()) GTEST_SKIP() << folder.refused;
  prepareSplit("other/movie.qkd");
  form.chkDelete.setValue(1);

  form.cmdBegin.click();

  expectOneFailure("other/movie.001", folder.readOnlyError());
  EXPECT_TRUE(listing(*this, "other/").empty());
  EXPECT_EQ(read("disk/movie.bin"), whole);
  expectWindowReady();
}

TEST_F(RealFaults, AJoinIntoAReadOnlyFolderWritesNothing) {
  Mount folder;
  Mount::readOnly(folder, path("other"));
  if (!folder.refused.empty()) GTEST_SKIP() << folder.refused;
  prepareJoin("disk/");
  loadJoin("disk/", "other/movie.bin");
  const Listing set = listing(*this, "disk/");

  form.cmdBegin.click();

  expectOneFailure("other/", folder.readOnlyError());
  EXPECT_TRUE(listing(*this, "other/").empty());
  EXPECT_EQ(listing(*this, "disk/"), set);
  expectWindowReady();
}

// The joined file is safely in place before the set is deleted; a set that cannot be deleted
// keeps both, and the message says the file was joined.
TEST_F(RealFaults, AReadOnlySetThatCannotBeDeletedKeepsTheJoinedFileAndSaysSo) {
  prepareJoin("other/");
  Mount folder;
  Mount::readOnly(folder, path("other"));
  if (!folder.refused.empty()) GTEST_SKIP() << folder.refused;
  loadJoin("other/", "disk/movie.bin");
  const Listing set = listing(*this, "other/");
  form.chkDelete.setValue(1);

  form.cmdBegin.click();

  expectOneFailure("other/movie.qkd", folder.readOnlyError());
  EXPECT_NE(display.details.back().find("was joined"), std::string::npos);
  EXPECT_EQ(read("disk/movie.bin"), whole);
  EXPECT_EQ(listing(*this, "other/"), set);
  expectWindowReady();
}

// The open source is still read to its end when its name goes: the parts hold all of it. Only
// deleting it afterwards fails, and the message says the set is complete.
TEST_F(RealFaults, ASourceDeletedDuringTheSplitStillGivesTheWholeSet) {
  prepareSplit("disk/movie.qkd");
  form.chkDelete.setValue(1);
  pump.onEvents = [this](int call) {
    if (call == 3) std::filesystem::remove(path("disk/movie.bin"));
  };

  form.cmdBegin.click();

  expectOneFailure("disk/movie.bin", ENOENT);
  EXPECT_NE(display.details.back().find("complete"), std::string::npos);
  EXPECT_EQ(read("disk/movie.001") + read("disk/movie.002") + read("disk/movie.003"), whole);
  EXPECT_EQ(read("disk/movie.qkd"), "movie.bin\r\n3\r\n");
  expectWindowReady();
}

TEST_F(RealFaults, ASourceCutShortDuringTheSplitRemovesEveryPart) {
  prepareSplit("disk/movie.qkd");
  pump.onEvents = [this](int) {
    if (form.lblSectionNum.caption() == "2") ::truncate(path("disk/movie.bin").c_str(), 150000);
  };

  form.cmdBegin.click();

  ASSERT_EQ(display.codes, std::vector<int>{kMsgFailure});
  EXPECT_NE(display.details[0].find(path("disk/movie.bin")), std::string::npos);
  EXPECT_EQ(listing(*this, "disk/").size(), 1u) << "only the source may be left";
  expectWindowReady();
}

TEST_F(RealFaults, APartDeletedDuringTheJoinStopsItWithNothingWritten) {
  prepareJoin("disk/");
  loadJoin("disk/", "disk/movie.bin");
  const Listing before = listing(*this, "disk/");
  pump.onEvents = [this](int) {
    if (form.lblSectionNum.caption() == "1") std::filesystem::remove(path("disk/movie.003"));
  };

  form.cmdBegin.click();

  expectOneFailure("disk/movie.003", ENOENT);
  Listing expected = before;
  expected.erase("movie.003");
  EXPECT_EQ(listing(*this, "disk/"), expected);
  expectWindowReady();
}

TEST_F(RealFaults, APartCutShortDuringTheJoinStopsItWithNothingWritten) {
  prepareJoin("disk/");
  loadJoin("disk/", "disk/movie.bin");
  pump.onEvents = [this](int) {
    if (form.lblSectionNum.caption() == "2" && pump.inBlockPause()) {
      ::truncate(path("disk/movie.002").c_str(), 10);
    }
  };

  form.cmdBegin.click();

  ASSERT_EQ(display.codes, std::vector<int>{kMsgFailure});
  EXPECT_NE(display.details[0].find(path("disk/movie.002")), std::string::npos);
  EXPECT_FALSE(exists("disk/movie.bin"));
  EXPECT_EQ(listing(*this, "disk/").size(), 4u) << "the set, and nothing else";
  expectWindowReady();
}

}  // namespace
}  // namespace qm
