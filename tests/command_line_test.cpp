#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::test {
namespace {

// The command line of a program started with `args` after its name.
std::string commandLineOf(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"/usr/bin/quellmark"};
  for (const auto& arg : args)
    argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  return CommandLineText(static_cast<int>(argv.size()) - 1, argv.data());
}

TEST(CommandLine, JoinsTheArgumentsWithSingleBlanks) {
  EXPECT_EQ(commandLineOf({"/a/My Files/movie.qkd"}), "/a/My Files/movie.qkd");
  EXPECT_EQ(commandLineOf({"/a/My", "Files/movie", "2.qkd"}), "/a/My Files/movie 2.qkd");
  EXPECT_EQ(commandLineOf({"", "x"}), " x");
}

}  // namespace
}  // namespace qm::test
