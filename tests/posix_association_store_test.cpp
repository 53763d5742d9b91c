#include "platform/posix_association_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "tests/fakes/job_fixture.h"

namespace qm::test {
namespace {

// Sets the environment the store reads, and puts the old one back afterwards.
class UserEnvironment : public ::testing::Test {
 protected:
  UserEnvironment() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
    ::setenv("HOME", folder.path().c_str(), 1);
  }
  ~UserEnvironment() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name, value->c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
  }

  std::string home() const { return folder.path().substr(0, folder.path().size() - 1); }

  TempFolder folder;
  ProcessRunner runner;
  PosixAssociationStore store{runner};

 private:
  static constexpr const char* kNames[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(UserEnvironment, FollowsTheBaseDirectoryRules) {
  UserFolders folders = store.Folders();
  EXPECT_EQ(folders.dataHome, home() + "/.local/share");
  EXPECT_EQ(folders.configHome, home() + "/.config");

  ::setenv("XDG_DATA_HOME", (home() + "/data//").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: to be ignored
  folders = store.Folders();
  EXPECT_EQ(folders.dataHome, home() + "/data");
  EXPECT_EQ(folders.configHome, home() + "/.config");

  EXPECT_EQ(folders.programFolder,
            std::filesystem::canonical("/proc/self/exe").parent_path().string());
}

TEST_F(UserEnvironment, RefusesFoldersThatAreNotTheUsersOwn) {
  // Someone else's folder: for root, one given away as with sudo and another user's HOME; for
  // anyone else, a system folder.
  std::string foreign = "/usr/share";
  if (::geteuid() == 0) {
    foreign = folder.path() + "someone";
    std::filesystem::create_directory(foreign);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
  }
  ::setenv("XDG_DATA_HOME", foreign.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (foreign + "/not/there/yet").c_str(), 1);
  UserFolders folders = store.Folders();
  EXPECT_EQ(folders.dataHome, "");
  EXPECT_EQ(folders.configHome, "");

  ::setenv("HOME", foreign.c_str(), 1);
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("XDG_CONFIG_HOME");
  folders = store.Folders();
  EXPECT_EQ(folders.dataHome, "");
  EXPECT_EQ(folders.configHome, "");
}

TEST_F(UserEnvironment, RunsTheToolOnTheFolder) {
  const std::string target = folder.path() + "made by the tool";
  store.RunTool("mkdir", target);
  EXPECT_EQ(runner.Wait(600), 0);
  EXPECT_TRUE(std::filesystem::is_directory(target));
}

}  // namespace
}  // namespace qm::test
