#include "engine/batch_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "engine/part_names.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::JobFixture;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no line end>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(BatchFile, IsTheTableLineByLineForThreeParts) {
  const std::string A = kHomePage;
  const std::vector<std::string> expected = {
      "@echo off",
      "",
      "REM ************************************************************",
      "REM Quellmark v1.0 self-joining batch file.",
      "REM ",
      "REM You may find the program that created this Split file (.qkd)",
      "REM at " + A,
      "REM ************************************************************",
      "",
      "CLS",
      "echo This batch file was created with Quellmark v1.0",
      "echo.",
      "echo This and other fine software is vailable for download from",
      "echo " + A + ".",
      "echo.",
      "if exist \"movie.avi\" goto FileExists",
      "",
      ":SelfJoin",
      "Set MissingFile=\"\"",
      "if not exist \"movie.001\" set MissingFile=\"movie.001\"",
      "if not exist \"movie.002\" set MissingFile=\"movie.002\"",
      "if not exist \"movie.003\" set MissingFile=\"movie.003\"",
      "",
      "if not %MissingFile%==\"\" goto Error",
      "",
      "echo Now joining \"movie.avi\"...",
      "echo.",
      "if exist \"movie.avi\" del \"movie.avi\"",
      "",
      "copy /b \"movie.001\" \"movie.avi\" >nul",
      "copy /b \"movie.avi\" + \"movie.002\" \"movie.avi\" >nul",
      "copy /b \"movie.avi\" + \"movie.003\" \"movie.avi\" >nul",
      "echo The file \"movie.avi\" was joined successfully.",
      "echo.",
      "choice /c:YN Do you want to delete the source files ",
      "if errorlevel 2 goto Finish",
      "if errorlevel 1 goto RidSource",
      "goto Finish",
      "",
      ":FileExists",
      "choice /c:YN 'movie.avi' already exists.  Do you want to overwrite it ",
      "if errorlevel 2 goto Finish",
      "if errorlevel 1 goto SelfJoin",
      "",
      ":RidSource",
      "echo.",
      "echo Removing source files.",
      "del \"movie.001\"",
      "del \"movie.002\"",
      "del \"movie.003\"",
      "del \"movie.qkd\"",
      "goto Finish",
      "",
      ":Error",
      "echo.",
      "echo The file %MissingFile% does not exist.",
      "echo \"movie.avi\" was NOT created.",
      "echo.",
      "",
      ":Finish",
      "set MissingFile=\"\"",
      "pause",
  };
  const std::string text = BatchFileText("movie.avi", 3);
  EXPECT_EQ(Lines(text), expected);
  ASSERT_EQ(expected.size(), 62u);
  // Every line end is CR LF; no bare LF or CR anywhere.
  std::string stripped = text;
  for (std::size_t at; (at = stripped.find("\r\n")) != std::string::npos;)
    stripped.erase(at, 2);
  EXPECT_EQ(stripped.find_first_of("\r\n"), std::string::npos);
}

TEST(BatchFile, RepeatsItsPerPartRowsForEveryPart) {
  const auto two = Lines(BatchFileText("movie.avi", 2));
  EXPECT_EQ(two.size(), 54u + 3 * 2 - 1);
  int appends = 0;
  for (const auto& line : two)
    appends += line.find(" + ") != std::string::npos;
  EXPECT_EQ(appends, 1);

  const auto all = Lines(BatchFileText("movie.avi", 999));
  ASSERT_EQ(all.size(), 3050u);
  for (int i = 1; i <= 999; ++i) {
    const std::string part = PartName("movie.avi", i);
    EXPECT_EQ(all[18 + i], "if not exist \"" + part + "\" set MissingFile=\"" + part + "\"");
    EXPECT_EQ(all[40 + 2 * 999 + i], "del \"" + part + "\"");
  }
  EXPECT_EQ(all[41 + 3 * 999], "del \"movie.qkd\"");
  EXPECT_EQ(all[25 + 999 + 999], "copy /b \"movie.avi\" + \"movie.999\" \"movie.avi\" >nul");
}

TEST(BatchFile, NamesComeFromTheSourceTitleCharacterByCharacter) {
  const std::string text = BatchFileText("archive.gz", 2);
  EXPECT_NE(text.find("\r\ncopy /b \"archive001\" \"archive.gz\" >nul\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\ndel \"archiveqkd\"\r\n"), std::string::npos);
  // Spaces, commas and letters beyond ASCII pass unchanged, inside quotes.
  const std::string odd = BatchFileText("my film, ciné 文.avi", 2);
  EXPECT_NE(odd.find("\r\nif not exist \"my film, ciné 文.002\" set MissingFile=\"my film, ciné "
                     "文.002\"\r\n"),
            std::string::npos);
  EXPECT_NE(odd.find("\r\ndel \"my film, ciné 文.qkd\"\r\n"), std::string::npos);
}

TEST(BatchFile, DoublesEveryPercentSoTheScriptNamesTheRealFile) {
  const auto lines = Lines(BatchFileText("100% %PATH% done.avi", 2));
  EXPECT_EQ(lines[15], "if exist \"100%% %%PATH%% done.avi\" goto FileExists");
  EXPECT_EQ(lines[19],
            "if not exist \"100%% %%PATH%% done.001\" set MissingFile=\"100%% "
            "%%PATH%% done.001\"");
  EXPECT_EQ(lines[38],
            "choice /c:YN '100%% %%PATH%% done.avi' already exists.  Do you want to "
            "overwrite it ");
  EXPECT_EQ(lines[47], "del \"100%% %%PATH%% done.qkd\"");
}

// What cmd would take for a command in `line`: every &, |, < or > outside double quotes that no
// ^ escapes, and every %...% reference once doubled percents are undone.
std::vector<std::string> LiveSyntax(const std::string& line) {
  std::vector<std::string> live;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '%') {
      if (i + 1 < line.size() && line[i + 1] == '%') {
        ++i;
        continue;
      }
      const std::size_t close = line.find('%', i + 1);
      live.push_back(line.substr(i, close == std::string::npos ? 1 : close - i + 1));
      if (close != std::string::npos) i = close;
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '^') {
      ++i;  // the next character is plain text
      continue;
    }
    if (c == '&' || c == '|' || c == '<' || c == '>') live.push_back(std::string(1, c));
  }
  return live;
}

TEST(BatchFile, NoFileNameCanRunACommand) {
  const auto plain = Lines(BatchFileText("movie.avi", 3));
  for (const std::string& name : std::vector<std::string>{
           "a&calc.exe.avi", "x|del *.*.avi", "x>out.txt.avi", "x<in.avi", "car^et.avi",
           "a & b ^& c %%.avi", "%COMSPEC%.avi", "&&||<<>>^^%.bin", "'quote'.avi", "a)b(c.avi"}) {
    ASSERT_TRUE(BatchCanQuote(name));
    const auto lines = Lines(BatchFileText(name, 3));
    ASSERT_EQ(lines.size(), plain.size()) << name;
    // The name may add no syntax of its own: each line is as live as the plain script's.
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(LiveSyntax(lines[i]), LiveSyntax(plain[i])) << name << "\n" << lines[i];
    }
  }
}

TEST(BatchFile, CannotQuoteANameWithADoubleQuote) {
  EXPECT_FALSE(BatchCanQuote("say \"hi\".avi"));
  EXPECT_TRUE(BatchCanQuote("it's & 100%.avi"));
}

TEST(BatchFile, IsWrittenBesideTheDataFileForTheSourceTitle) {
  JobFixture f;
  f.txtDest.setText(f.path("movie.qkd"));
  f.state.SourceTitle = "movie.avi";
  f.lblNumber.setCaption("3");
  f.writeFile("movie.bat", "old script that is much longer than nothing");
  WriteBatchFile(f.job);
  EXPECT_EQ(f.state.WorkFile, f.path("movie.bat"));
  EXPECT_EQ(f.readFile("movie.bat"), BatchFileText("movie.avi", 3));
}

}  // namespace
}  // namespace qm
