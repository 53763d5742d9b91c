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

class CommandLine : public ::testing::Test, public WindowFixture {
 protected:
  // Starts the window as the desktop program does.
  void start(const std::vector<std::string>& args) {
    form.RegisterFileType = [this] { sourceAtRegistration = form.txtSource.text(); };
    form.Form_Load(commandLineOf(args));
  }
  // Splits a path at its blanks, as a shell does with an unquoted path.
  static std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
      const auto blank = std::min(text.find(' ', start), text.size());
      out.push_back(text.substr(start, blank - start));
      start = blank + 1;
    }
    return out;
  }

  std::string sourceAtRegistration = "(not registered)";
};

TEST(CommandLineText, JoinsTheArgumentsWithSingleBlanks) {
  const char* none[] = {"quellmark", nullptr};
  EXPECT_EQ(CommandLineText(1, none), "");
  const char* one[] = {"quellmark", "/a/My Files/movie.qkd", nullptr};
  EXPECT_EQ(CommandLineText(2, one), "/a/My Files/movie.qkd");
  const char* pieces[] = {"quellmark", "/a/My", "Files/movie", "2.qkd", nullptr};
  EXPECT_EQ(CommandLineText(4, pieces), "/a/My Files/movie 2.qkd");
  const char* empty[] = {"quellmark", "", "x", nullptr};
  EXPECT_EQ(CommandLineText(3, empty), " x");
}

TEST_F(CommandLine, ADataFileWithBlanksInPiecesOpensTheJoinAndStartsNothing) {
  writePartSet("my movies/the movie");
  start(words(path("my movies/the movie.qkd")));

  EXPECT_TRUE(form.optJoin.value());
  EXPECT_EQ(form.txtSource.text(), path("my movies/the movie.qkd"));
  EXPECT_EQ(form.txtDest.text(), path("my movies/the movie.avi"));
  EXPECT_EQ(form.lblNumber.caption(), "3");
  EXPECT_FALSE(exists("my movies/the movie.avi"));
  EXPECT_FALSE(state.Running);
  EXPECT_TRUE(display.codes.empty());
  // The association is written after the source is loaded.
  EXPECT_EQ(sourceAtRegistration, path("my movies/the movie.qkd"));
}

TEST_F(CommandLine, AnotherFileOpensTheSplitAndStartsNothing) {
  write("notes 2024.txt", JobFixture::pattern(1000000));
  start(words(path("notes 2024.txt")));
  EXPECT_TRUE(form.optSplit.value());
  EXPECT_EQ(form.txtSource.text(), path("notes 2024.txt"));
  EXPECT_EQ(form.txtDest.text(), path("notes 2024.qkd"));
  EXPECT_EQ(form.lblNumber.caption(), "2");
  EXPECT_EQ(files(), std::vector<std::string>{"notes 2024.txt"});
}

TEST_F(CommandLine, NothingUsableLeavesTheEmptyJoinWindow) {
  write("a b.qkd", "a.avi\r\n2\r\n");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {path("missing.qkd")},
           {path("a"), "", "b.qkd"},  // two blanks where the name has one
           {"\"" + path("a b.qkd") + "\""},
           {folder.path()}}) {
    WindowFixture fresh;
    fresh.form.Form_Load(commandLineOf(args));
    EXPECT_TRUE(fresh.form.optJoin.value());
    EXPECT_EQ(fresh.form.txtSource.text(), "");
    EXPECT_EQ(fresh.form.txtDest.text(), "");
    EXPECT_EQ(fresh.form.lblNumber.caption(), "0");
    EXPECT_TRUE(fresh.display.codes.empty());
  }
}

}  // namespace
}  // namespace qm::test
