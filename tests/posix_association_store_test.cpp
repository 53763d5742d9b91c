#include "platform/posix_association_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "tests/fakes/job_fixture.h"

namespace qm::test {
namespace {

// A HOME of its own and no XDG variables; the old environment comes back afterwards.
class UserEnvironment : public ::testing::Test {
 protected:
  UserEnvironment() {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
    ::setenv("HOME", home.path().c_str(), 1);
  }
  ~UserEnvironment() override {
    for (const auto& [name, value] : saved_)
      value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }

  TempFolder home;
  ProcessRunner runner;
  PosixAssociationStore store{runner};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// The defaults below HOME, association.sh sees at work.
TEST_F(UserEnvironment, FollowsTheBaseDirectoryRulesInTheUsersOwnFoldersOnly) {
  ::setenv("XDG_DATA_HOME", (home.path() + "data//").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: to be ignored
  UserFolders folders = store.Folders();
  EXPECT_EQ(folders.dataHome, home.path() + "data");
  EXPECT_EQ(folders.configHome, home.path() + ".config");

  // Someone else's folder: for root, one given away as with sudo and another user's HOME; for
  // anyone else, a system folder.
  std::string foreign = "/usr/share";
  if (::geteuid() == 0) {
    foreign = home.path() + "someone";
    std::filesystem::create_directory(foreign);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
  }
  ::setenv("XDG_DATA_HOME", foreign.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (foreign + "/not/there/yet").c_str(), 1);
  folders = store.Folders();
  EXPECT_EQ(folders.dataHome + folders.configHome, "");
  ::setenv("HOME", foreign.c_str(), 1);
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("XDG_CONFIG_HOME");
  folders = store.Folders();
  EXPECT_EQ(folders.dataHome + folders.configHome, "");
}

TEST_F(UserEnvironment, RunsTheToolOnTheFolderWithNoShellInBetween) {
  // A name that a shell would split, expand or choke on.
  const std::string folder = home.path() + "a b \"c\" $HOME `x` ;*";
  store.RunTool("mkdir", folder);
  EXPECT_EQ(runner.Wait(600), 0);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path()), {}), 1);
}

}  // namespace
}  // namespace qm::test
