// The self-joining script run by the shells a receiver may have, for names that shells take as
// code: it must join every set whole, refuse a damaged one, and without a person at a terminal
// to say yes never replace or delete anything.
#include "engine/shell_script.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <functional>
#include <tuple>

#include "engine/checksum.h"
#include "engine/data_file.h"
#include "engine/part_names.h"
#include "platform/text.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

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
  // Runs `command` on the script from another folder, without a terminal; returns its status.
  // The script's path goes through the environment, so no name needs quoting for the shell.
  int run(const std::string& command) {
    ::setenv("QM_SCRIPT", f.path(script()).c_str(), 1);
    const int status =
        std::system(("cd / && " + command + " \"$QM_SCRIPT\" </dev/null >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string script() const { return nameOf(ShellScriptName(data)); }

  test::JobFixture f;
  std::string title, data, expected;
};

// Each title with its data file's name (quotes, expansions, globs, options, blanks at the ends,
// a line break, backslashes, non-ASCII), what is done to the fresh set, and whether it joins.
TEST(ShellScript, JoinsAWholeSetUnderEveryShellAndRefusesADamagedOneOrAnExistingFile) {
  using Damage = std::function<void(Set&)>;
  const Damage none = [](Set&) {};
  // clang-format off
  const std::vector<std::tuple<std::string, std::string, Damage, bool>> cases = {
      {"it's 100% R&D \"q\".bin", "it's 100% R&D \"q\".qkd", none, true},
      {" -rf ~x;y=z|w.bin ", " -rf ~x;y=z|w.qkd", none, true},
      {"$HOME `id` $(id) *.bin", "$HOME `id` $(id) *.qkd", none, true},
      {"new\nline a\\nb.bin", "back\\slash.qkd", none, true},
      {"日本語 ‘curly’.txt", "日本語 ‘curly’.qkd", none, true}, {"abcd", "aqkd", none, true},
      {"a byte flipped.bin", "a byte flipped.qkd", [](Set& s) { s.f.poke(PartName(s.data, 2), 7, "\x01"); }, false},
      {"part 2 gone.bin", "part 2 gone.qkd", [](Set& s) { std::filesystem::remove(s.f.path(PartName(s.data, 2))); }, false},
      {"file exists.bin", "file exists.qkd", [](Set& s) { s.f.writeFile(s.title, "keep me"); }, false},
      {"no checksum file.bin", "no checksum file.qkd", [](Set& s) { std::filesystem::remove(s.f.path(nameOf(ChecksumFileName(s.data)))); }, true}};
  // clang-format on
  for (const auto& [title, data, damage, joins] : cases) {
    for (const char* shell : {"dash", "bash", "bash --posix", "busybox sh"}) {
      SCOPED_TRACE(title + " under " + shell);
      Set set(title, data);
      if (shell[0] == 'd') {  // once per set
        EXPECT_EQ(set.run("shellcheck -s sh"), 0);
      }
      damage(set);
      auto before = set.f.snapshot();
      EXPECT_EQ(set.run(shell) == 0, joins);
      if (joins) before[title] = set.expected;  // the whole file is the only change
      EXPECT_TRUE(set.f.snapshot() == before);
    }
  }
}

}  // namespace
}  // namespace qm
