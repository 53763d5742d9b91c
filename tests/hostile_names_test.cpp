// Names a user or a stranger may hand the program: blanks, punctuation that shells and cmd take
// as commands, letters beyond ASCII, names of three and four characters, paths of 4,000 bytes,
// relative paths and symbolic links. Each is split and joined back through the window (or the
// command-line program for relative paths) and must come back byte for byte under its own name,
// having read back the same from the data file. Hostile data files must be refused with message
// 9 and nothing written. The batch files written here are run by a real cmd in
// scripts/wine_batch.sh.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/batch_file.h"
#include "engine/data_file.h"
#include "engine/messages.h"
#include "engine/part_names.h"
#include "tests/fakes/window_fixture.h"

namespace qm {
namespace {

using test::Answer;
using test::WindowFixture;

using Listing = std::map<std::string, std::string>;

// Every file below `folder` (links as links), with its content.
Listing listing(const std::string& folder) {
  Listing files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().string().substr(folder.size());
    if (entry.is_symlink()) {
      files[name] = "-> " + std::filesystem::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      std::ifstream in(entry.path(), std::ios::binary);
      files[name] = std::string(std::istreambuf_iterator<char>(in), {});
    } else {
      files[name] = "<folder>";
    }
  }
  return files;
}

struct HostileNames : testing::Test, WindowFixture {
  HostileNames() { form.Form_Load(""); }

  void expectNoMessage(const std::string& what) {
    EXPECT_TRUE(display.codes.empty())
        << what << ": message " << display.codes.front() << " " << display.details.front();
    display.codes.clear();
    display.details.clear();
  }

  // Splits `source` (a full path) into three parts of 1,000 bytes, with "Delete Source Files"
  // ticked and the batch file as asked; returns the data file's path.
  std::string split(const std::string& source, bool batch) {
    form.LoadSource(source);
    EXPECT_TRUE(form.optSplit.value()) << source;
    form.Option6.click();
    form.Combo1.setListIndex(0);
    form.txtSize.setText("1000");
    EXPECT_EQ(form.lblNumber.caption(), "3") << source;
    form.chkSelfJoin.setValue(batch ? 1 : 0);
    form.chkDelete.setValue(1);
    const std::string dataFile = form.txtDest.text();
    form.cmdBegin.click();
    return dataFile;
  }

  // Joins the set of `dataFile` back, deleting the set; returns the path the window joined to.
  std::string join(const std::string& dataFile) {
    form.LoadSource(dataFile);
    EXPECT_TRUE(form.optJoin.value()) << dataFile;
    form.chkDelete.setValue(1);
    const std::string dest = form.txtDest.text();
    form.cmdBegin.click();
    return dest;
  }

  // The whole trip for the file `name` in `folder` (a full path ending in "/").
  void roundTrip(const std::string& folder, const std::string& name, bool batch) {
    SCOPED_TRACE("name \"" + name + "\"");
    const std::string source = folder + name;
    const std::string bytes = test::JobFixture::pattern(2500, static_cast<unsigned>(name.size()));
    write(source.substr(this->folder.path().size()), bytes);

    const std::string dataFile = split(source, batch);
    expectNoMessage("split");
    EXPECT_FALSE(std::filesystem::exists(source)) << "the source was not deleted";
    const DataFileContents contents = ReadDataFile(fs, dataFile);
    EXPECT_EQ(contents.name, name) << "the data file does not read back the name";
    EXPECT_EQ(contents.count, 3);
    const std::string batchFile = BatchFileName(dataFile);
    if (batch) {
      EXPECT_EQ(read(batchFile.substr(this->folder.path().size())), BatchFileText(name, 3));
    }

    EXPECT_EQ(join(dataFile), source);
    expectNoMessage("join");
    EXPECT_EQ(read(source.substr(this->folder.path().size())), bytes);
    EXPECT_FALSE(std::filesystem::exists(dataFile));
    EXPECT_FALSE(std::filesystem::exists(PartName(dataFile, 1)));
    EXPECT_FALSE(std::filesystem::exists(batchFile));
    std::filesystem::remove(source);
  }
};

TEST_F(HostileNames, NamesWithBlanksPunctuationAndForeignLettersComeBackWhole) {
  // Each goes through the data file; all but the name with a double quote through the batch
  // file too (cmd cannot quote such a name, so the split refuses to write one for it).
  const std::vector<std::string> names = {
      "two words.bin", "a,b,c.bin",  "it's.bin",   "100%.bin",  "%PATH%.bin",     "R&D.bin",
      "a^b.bin",       "wow!.bin",   "a|b<c>.bin", " lead.bin", "trail.bin ",     "  .bin",
      "Grüße.bin",     "日本語.txt", "abc",        "abcd",      "\"quoted\".bin", "x;y=z.bin",
      "(1) [2].bin",   "-rf.bin",    "~home.bin",  "$HOME.bin", "`id`.bin"};
  for (const auto& name : names) {
    roundTrip(folder.path(), name, BatchCanQuote(name));
  }
  EXPECT_EQ(listing(folder.path()), Listing{});
}

TEST_F(HostileNames, AQuoteInTheNameIsRefusedForTheBatchFileBeforeAnythingIsWritten) {
  write("say \"hi\".bin", test::JobFixture::pattern(2500));
  const Listing before = listing(folder.path());
  split(path("say \"hi\".bin"), true);
  ASSERT_EQ(display.codes, std::vector<int>{kMsgFailure});
  EXPECT_EQ(listing(folder.path()), before);
}

TEST_F(HostileNames, APathOf4000BytesComesBackWhole) {
  std::string deep = folder.path();
  while (deep.size() < 4000 - 250) {
    deep += std::string(200, 'd') + "/";
  }
  std::filesystem::create_directories(deep);
  const std::string name = std::string(4000 - deep.size() - 4, 'n') + ".bin";
  ASSERT_EQ((deep + name).size(), 4000u);
  roundTrip(deep, name, true);
}

// A link as the source splits the file it points to under the link's own name; deleting the
// source removes the link, never the file behind it.
TEST_F(HostileNames, ALinkAsTheSourceSplitsItsTargetAndDeletesOnlyTheLink) {
  const std::string bytes = test::JobFixture::pattern(2500, 5);
  write("elsewhere/target.bin", bytes);
  ASSERT_EQ(::symlink(path("elsewhere/target.bin").c_str(), path("link.bin").c_str()), 0);
  const std::string dataFile = split(path("link.bin"), true);
  expectNoMessage("split");
  EXPECT_EQ(ReadDataFile(fs, dataFile).name, "link.bin");
  EXPECT_EQ(read("elsewhere/target.bin"), bytes);
  EXPECT_FALSE(std::filesystem::is_symlink(path("link.bin")));
  join(dataFile);
  expectNoMessage("join");
  EXPECT_EQ(read("link.bin"), bytes);
  EXPECT_EQ(read("elsewhere/target.bin"), bytes);
}

// Outputs replace links of their names and never write through them, whether the link points
// at a file or at nothing: either way the bytes would land in another folder.
TEST_F(HostileNames, LinksNamedLikeOutputsAreReplacedNotWrittenThrough) {
  write("elsewhere/victim.txt", "not yours");
  write("movie.bin", test::JobFixture::pattern(2500, 6));
  ASSERT_EQ(::symlink(path("elsewhere/victim.txt").c_str(), path("movie.qkd").c_str()), 0);
  ASSERT_EQ(::symlink(path("elsewhere/victim.txt").c_str(), path("movie.001").c_str()), 0);
  ASSERT_EQ(::symlink(path("elsewhere/planted").c_str(), path("movie.002").c_str()), 0);
  ASSERT_EQ(::symlink(path("elsewhere/planted.bat").c_str(), path("movie.bat").c_str()), 0);

  split(path("movie.bin"), true);
  expectNoMessage("split");
  EXPECT_FALSE(exists("elsewhere/planted")) << "a part was written through a dangling link";
  EXPECT_FALSE(exists("elsewhere/planted.bat")) << "the batch file went through a dangling link";
  EXPECT_EQ(read("elsewhere/victim.txt"), "not yours");
  for (const char* name : {"movie.qkd", "movie.001", "movie.002", "movie.bat"}) {
    EXPECT_FALSE(std::filesystem::is_symlink(path(name))) << name;
  }

  // The joined file replaces a link of its name too, and a dangling one is no question.
  ASSERT_EQ(::symlink(path("elsewhere/victim.txt").c_str(), path("movie.bin").c_str()), 0);
  display.questionDefault = Answer::Yes;
  join(path("movie.qkd"));
  EXPECT_EQ(display.codes, std::vector<int>{kMsgOverwrite});
  EXPECT_FALSE(std::filesystem::is_symlink(path("movie.bin")));
  EXPECT_EQ(read("movie.bin"), test::JobFixture::pattern(2500, 6));
  EXPECT_EQ(read("elsewhere/victim.txt"), "not yours");
}

// quellmark-cli in `folder` with `args`; returns its exit status.
int runCli(const std::string& folder, const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(120);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::string program = QM_CLI_PATH;
    std::vector<char*> argv = {program.data()};
    std::vector<std::string> copies = args;
    for (auto& arg : copies)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(121);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(HostileNames, RelativePathsAreTakenFromTheCurrentFolder) {
  const std::string bytes = test::JobFixture::pattern(2500, 8);
  for (const std::string relative :
       {"rel name.bin", "./dot.bin", "sub dir/inner.bin", "sub dir/../up.bin", "-dash.bin"}) {
    SCOPED_TRACE(relative);
    std::filesystem::create_directories(path("sub dir"));
    write(relative, bytes);
    const std::string stem = relative.substr(0, relative.size() - 3);
    ASSERT_EQ(
        runCli(folder.path(), {"split", "--size", "1000b", "--delete-source", "--", relative}), 0);
    EXPECT_FALSE(exists(relative));
    EXPECT_EQ(read(stem + "002"), bytes.substr(1000, 1000));
    ASSERT_EQ(runCli(folder.path(), {"join", "--delete-parts", "--", stem + "qkd"}), 0);
    EXPECT_EQ(read(relative), bytes);
    EXPECT_FALSE(exists(stem + "qkd"));
    std::filesystem::remove(path(relative));
  }
}

// Data files from strangers: names that leave the folder, control characters, counts out of
// range, junk and a line of 10 MB. Each is refused when loaded, by the window and by the
// command-line program, and nothing is written anywhere.
TEST_F(HostileNames, HostileDataFilesAreRefusedWithMessage9AndNothingIsWritten) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"parent folder", "../escape.bin\r\n2\r\n"},
      {"dot dot", "..\r\n2\r\n"},
      {"dot", ".\r\n2\r\n"},
      {"subfolder", "sub/escape.bin\r\n2\r\n"},
      {"absolute", "/tmp/escape.bin\r\n2\r\n"},
      {"backslash", "..\\escape.bin\r\n2\r\n"},
      {"NUL", std::string("esc\0ape.bin\r\n2\r\n", 17)},
      {"escape sequence", "\x1b[2J.bin\r\n2\r\n"},
      {"tab", "tab\there.bin\r\n2\r\n"},
      {"carriage return", "a\rb.bin\r\n2\r\n"},
      {"DEL", "a\x7f.bin\r\n2\r\n"},
      {"C1 control", "a\xc2\x85.bin\r\n2\r\n"},
      {"empty name", "\r\n2\r\n"},
      {"negative count", "escape.bin\r\n-2\r\n"},
      {"zero count", "escape.bin\r\n0\r\n"},
      {"count 1000", "escape.bin\r\n1000\r\n"},
      {"huge count", "escape.bin\r\n99999999999999999999999999\r\n"},
      {"fraction", "escape.bin\r\n2.5\r\n"},
      {"exponent", "escape.bin\r\n2e0\r\n"},
      {"hex", "escape.bin\r\n0x2\r\n"},
      {"words", "escape.bin\r\ntwo\r\n"},
      {"one line", "escape.bin\r\n"},
      {"empty", ""},
      {"binary junk", test::JobFixture::pattern(4000, 13)},
      {"10 MB line", std::string(10 * 1024 * 1024, 'a') + ".bin\r\n2\r\n"},
  };
  std::filesystem::create_directories(path("inner"));
  write("inner/evil.001", "part one");
  write("inner/evil.002", "part two");
  for (const auto& [what, text] : cases) {
    SCOPED_TRACE(what);
    write("inner/evil.qkd", text);
    const Listing before = listing(folder.path());
    display.codes.clear();
    display.details.clear();

    form.LoadSource(path("inner/evil.qkd"));
    ASSERT_EQ(display.codes, std::vector<int>{kMsgFailure});
    EXPECT_NE(display.details[0].find(path("inner/evil.qkd")), std::string::npos);
    EXPECT_TRUE(form.txtSource.text().empty());
    EXPECT_TRUE(form.txtDest.text().empty());
    form.cmdBegin.click();  // with nothing loaded, Begin refuses (message 2)

    EXPECT_EQ(runCli(path("inner"), {"join", "--overwrite", "evil.qkd"}), kMsgFailure);
    EXPECT_EQ(listing(folder.path()), before);
  }
}

}  // namespace
}  // namespace qm
