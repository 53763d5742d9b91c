#include "shell/command_line.h"

#include <gtest/gtest.h>

#include "tests/fakes/window_fixture.h"

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

TEST(CommandLine, ADataFilePathInPiecesOpensTheJoinAndStartsNothing) {
  WindowFixture w;
  w.writePartSet("my movies/the movie");
  std::string sourceAtRegistration = "(not registered)";
  w.form.RegisterFileType = [&] { sourceAtRegistration = w.form.txtSource.text(); };
  // As a shell passes an unquoted path with blanks.
  w.form.Form_Load(commandLineOf({w.path("my"), "movies/the", "movie.qkd"}));

  EXPECT_TRUE(w.form.optJoin.value());
  EXPECT_EQ(w.form.txtSource.text(), w.path("my movies/the movie.qkd"));
  EXPECT_EQ(w.form.txtDest.text(), w.path("my movies/the movie.avi"));
  EXPECT_FALSE(w.exists("my movies/the movie.avi"));
  EXPECT_FALSE(w.state.Running);
  EXPECT_TRUE(w.display.codes.empty());
  // The association is written after the source is loaded.
  EXPECT_EQ(sourceAtRegistration, w.path("my movies/the movie.qkd"));
}

}  // namespace
}  // namespace qm::test
