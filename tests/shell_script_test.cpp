// The self-joining script run by the shells a receiver may have, for names that shells take as
// code: it must join every set whole, refuse a damaged or incomplete one, and never replace or
// delete anything unless a person at a terminal says yes.
#include "engine/shell_script.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>

#include "engine/checksum.h"
#include "engine/data_file.h"
#include "engine/part_names.h"
#include "platform/text.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text)
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// A set of three parts of `title` with data file `data`, its checksum file and its script.
struct Set {
  Set(const std::string& title, const std::string& data) : title(title), data(data) {
    const std::string whole = test::JobFixture::pattern(2500, static_cast<unsigned>(title.size()));
    std::vector<ChecksumEntry> sums;
    for (int i = 1; i <= 3; ++i) {
      const std::string part = whole.substr(static_cast<std::size_t>(i - 1) * 1000, 1000);
      f.writeFile(PartName(data, i), part);
      sums.push_back({PartName(data, i), Sha256Of(part)});
    }
    WriteDataFile(f.fs, f.path(data), title, 3);
    sums.push_back({data, Sha256Of(f.readFile(data))});
    f.writeFile(nameOf(ChecksumFileName(data)), ChecksumFileText(sums));
    WriteShellScript(f.fs, f.path(data), {title, data, 3});
    expected = whole;
  }
  // Runs the script as `shell` from another folder, without a terminal; returns its status.
  int run(const std::string& shell) {
    return status("cd / && " + shell + " " + quoted(f.path(script())) + " </dev/null");
  }
  static int status(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string script() const { return nameOf(ShellScriptName(data)); }
  // The folder's names with a short digest of each content, so a difference reads briefly.
  std::map<std::string, std::string> files() const {
    std::map<std::string, std::string> all;
    for (const auto& [name, bytes] : f.snapshot())
      all[name] = HexOf(Sha256Of(bytes)).substr(0, 12);
    return all;
  }
  std::string digestOf(const std::string& bytes) const {
    return HexOf(Sha256Of(bytes)).substr(0, 12);
  }

  test::JobFixture f;
  std::string title, data, expected;
};

const char* const kShells[] = {"dash", "bash", "bash --posix", "busybox sh"};

TEST(ShellScript, JoinsEverySetUnderEveryShellWhateverItsNames) {
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> names = {
      {"two words.bin", "two words.qkd"}, {"it's.bin", "it's.qkd"}, {"100%.bin", "100%.qkd"},
      {"R&D.bin", "R&D.qkd"}, {" lead.bin", " lead.qkd"}, {"trail.bin ", "trail.bi qkd"},
      {"Grüße.bin", "Grüße.qkd"}, {"日本語.txt", "日本語.qkd"}, {"\"q\".bin", "\"q\".qkd"},
      {"x;y=z|w.bin", "x;y=z|w.qkd"}, {"-rf.bin", "-rf.qkd"}, {"~home.bin", "~home.qkd"},
      {"$HOME.bin", "$HOME.qkd"}, {"`id`.bin", "`id`.qkd"}, {"$(id).bin", "$(id).qkd"},
      {"*.bin", "*.qkd"}, {"a\\nb'.bin", "a\\nb'.qkd"}, {"new\nline.bin", "new\nline.qkd"},
      {"abcd", "aqkd"}, {"plain.bin", "back\\slash.qkd"}, {"‘curly’.bin", "‘curly’.qkd"}};
  // clang-format on
  for (const auto& [title, data] : names) {
    Set set(title, data);
    SCOPED_TRACE(title);
    EXPECT_EQ(std::system(("shellcheck -s sh " + quoted(set.f.path(set.script()))).c_str()), 0);
    struct stat st {};
    ASSERT_EQ(::stat(set.f.path(set.script()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0111 & ~0022u) << "under the tests' umask of 022";
    for (const char* shell : kShells) {
      SCOPED_TRACE(shell);
      auto before = set.files();
      EXPECT_EQ(set.run(shell), 0);
      before[title] = set.digestOf(set.expected);  // the whole file is the only change
      EXPECT_EQ(set.files(), before);
      std::filesystem::remove(set.f.path(title));
    }
  }
}

TEST(ShellScript, RefusesADamagedOrIncompleteSetAndAnExistingFileWithoutATerminal) {
  // What is done to a fresh set, and whether the script must still join it.
  const std::vector<std::tuple<std::string, std::function<void(Set&)>, bool>> cases = {
      {"a byte of part 2 flipped", [](Set& s) { s.f.poke(PartName(s.data, 2), 7, "\x01"); }, false},
      {"the data file changed", [](Set& s) { s.f.poke(s.data, 0, "X"); }, false},
      {"part 3 not listed",
       [](Set& s) {
         const std::string sums = nameOf(ChecksumFileName(s.data));
         std::string text = s.f.readFile(sums);
         text.erase(text.find(PartName(s.data, 3)) - 66, 66 + PartName(s.data, 3).size() + 1);
         s.f.writeFile(sums, text);
       },
       false},
      {"part 2 missing", [](Set& s) { std::filesystem::remove(s.f.path(PartName(s.data, 2))); },
       false},
      {"the file exists", [](Set& s) { s.f.writeFile(s.title, "keep me"); }, false},
      {"no checksum file",
       [](Set& s) { std::filesystem::remove(s.f.path(nameOf(ChecksumFileName(s.data)))); }, true}};
  for (const auto& [what, damage, joins] : cases) {
    for (const char* shell : kShells) {
      SCOPED_TRACE(what + " under " + shell);
      Set set("it's $x.bin", "it's $x.qkd");
      damage(set);
      auto before = set.files();
      EXPECT_EQ(set.run(shell) == 0, joins);
      if (joins) before[set.title] = set.digestOf(set.expected);
      EXPECT_EQ(set.files(), before);
    }
  }
}

TEST(ShellScript, AsksAtATerminalBeforeReplacingAndBeforeDeletingTheSet) {
  for (const char* answers : {"\\n\\n", "y\\nn\\n", "y\\ny\\n"}) {
    SCOPED_TRACE(answers);
    Set set("R&D 'x'.bin", "R&D 'x'.qkd");
    set.f.writeFile(set.title, "old");
    // script(1) gives the shell a terminal and passes the answers on to it.
    const bool yes = answers[0] == 'y', deleted = answers[3] == 'y';
    EXPECT_EQ(
        Set::status("(sleep 0.5; printf '" + std::string(answers) + "'; sleep 0.5) | script -qec " +
                    quoted("dash " + quoted(set.f.path(set.script()))) + " /dev/null"),
        yes ? 0 : 1);
    const auto all = set.f.snapshot();
    EXPECT_EQ(all.at(set.title), yes ? set.expected : "old");
    EXPECT_EQ(all.size(), deleted ? 2u : 7u);  // the file and the script, or the whole set too
  }
}

}  // namespace
}  // namespace qm
