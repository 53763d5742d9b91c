#include "platform/process_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/fakes/job_fixture.h"

namespace qm::test {
namespace {

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ProcessRunner, PassesArgumentsUntouchedByAnyShell) {
  TempFolder folder;
  // Names a shell would split, expand or choke on.
  const std::string odd = folder.path() + "a b \"c\" $HOME `x` ;*";
  ProcessRunner runner;
  ASSERT_TRUE(runner.Start({"touch", odd}));
  ASSERT_TRUE(runner.Start(
      {"sh", "-c", "printf '%s|' \"$@\" > \"$0\"", folder.path() + "args", "one two", "", "*"}));
  EXPECT_EQ(runner.Wait(600), 0);
  EXPECT_TRUE(std::filesystem::exists(odd));
  EXPECT_EQ(read(folder.path() + "args"), "one two||*|");
}

TEST(ProcessRunner, ReportsWhatCouldNotStartAndReapsWhatEnded) {
  ProcessRunner runner;
  EXPECT_FALSE(runner.Start({}));
  EXPECT_FALSE(runner.Start({""}));
  EXPECT_FALSE(runner.Start({"quellmark-no-such-tool"}));
  EXPECT_EQ(runner.Wait(0), 0);

  // A program that fails or talks still counts as started, and leaves nothing running.
  EXPECT_TRUE(runner.Start({"sh", "-c", "echo talking; echo more >&2; exit 3"}));
  EXPECT_TRUE(runner.Start({"true"}));
  EXPECT_EQ(runner.Wait(600), 0);
}

}  // namespace
}  // namespace qm::test
