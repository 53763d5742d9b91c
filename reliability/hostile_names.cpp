// Names a user or a stranger may hand the program: blanks, punctuation that shells and cmd take
// as commands, letters beyond ASCII, names of three and four characters, a path of 4,000 bytes,
// relative paths and symbolic links. Each is split and joined back with "Delete Source Files"
// ticked, each run held to the rules of the fault matrix (reliability/window_run.h), so it must
// come back byte for byte under its own name with nothing else changed. Hostile data files must
// be refused with message 9 and nothing written. scripts/wine_batch.sh runs the batch files of
// such names under a real cmd.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "reliability/window_run.h"

namespace qm::test {
namespace {

// quellmark-cli run in `folder` with `args` (quoted for the shell); returns its exit status.
int cli(const std::string& folder, const std::string& args) {
  const std::string command = "cd '" + folder + "' && " QM_CLI_PATH " " + args + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Window: through the window, with the batch file unless cmd cannot quote the name (a double
// quote). LinkedSource: the source is a link to a file elsewhere. LinkedOutputs: links named
// like the outputs point to a file elsewhere or to nothing. Relative: given to quellmark-cli as
// a path relative to its current folder.
enum How { Window, LinkedSource, LinkedOutputs, Relative };

TEST(HostileNames, NamesComeBackWholeThroughSplitAndJoinWithNothingElseChanged) {
  const std::size_t root = WindowRun({}).root.size();
  std::string deep;
  while (root + deep.size() < 4000 - 250)
    deep += std::string(200, 'd') + "/";
  deep += std::string(4000 - root - deep.size() - 4, 'n') + ".bin";
  // clang-format off
  std::vector<std::pair<std::string, How>> names = {
      {"link.bin", LinkedSource}, {"movie.bin", LinkedOutputs}, {"rel name.bin", Relative},
      {"./dot.bin", Relative}, {"sub dir/inner.bin", Relative}, {"sub dir/../up.bin", Relative},
      {"-dash.bin", Relative}};
  for (const char* name : {"two words.bin", "a,b,c.bin", "it's.bin", "100%.bin", "%PATH%.bin",
           "R&D.bin", "a^b.bin", "wow!.bin", "a|b<c>.bin", " lead.bin", "trail.bin ", "  .bin",
           "Grüße.bin", "日本語.txt", "abc", "abcd", "\"quoted\".bin", "say \"hi\".bin",
           "x;y=z.bin", "(1) [2].bin", "-rf.bin", "~home.bin", "$HOME.bin", "`id`.bin", deep.c_str()})
    names.push_back({name, Window});
  // clang-format on
  for (const auto& [name, how] : names) {
    SCOPED_TRACE(name.substr(0, 40));
    const bool quote = has(name, "\"");
    WindowRun r({false, true, how != Relative}, std::filesystem::path(name).lexically_normal(),
                2500, 1000);
    auto link = [&](const std::string& from, const std::string& to) {
      ASSERT_EQ(::symlink((r.root + to).c_str(), (r.root + from).c_str()), 0) << from;
    };
    r.put("elsewhere/victim.txt", "not yours");
    std::filesystem::create_directories(r.root + "sub dir");
    r.prepare();
    if (how == LinkedSource) std::filesystem::rename(r.root + r.whole, r.root + "elsewhere/it");
    if (how == LinkedSource) link(r.whole, "elsewhere/it");
    for (const char* ext : {"qkd", "001", "002", "bat"})
      if (how == LinkedOutputs)
        link(r.stem + ext, ext[0] == '0' ? "elsewhere/planted" : "elsewhere/victim.txt");
    for (bool join : {false, true}) {
      r.p.join = join;
      if (how == LinkedOutputs && join) link(r.whole, "elsewhere/victim.txt");
      if (how == LinkedOutputs && join) r.p.dest = Dest::Replace;  // asked, and answered Yes
      if (quote && !join) {  // the batch file is refused before anything is written
        r.load();
        r.begin();
        EXPECT_EQ(Check(r), std::vector<std::string>{});
        EXPECT_FALSE(r.success);
        r.p.batch = false;
      }
      if (how == Relative) {
        r.settle();
        const std::string args =
            join ? "join --delete-parts -- '" + name.substr(0, name.size() - 3) + "qkd'"
                 : "split --size 1000b --delete-source -- '" + name + "'";
        EXPECT_EQ(cli(r.root, args), 0);
        r.after = snapshot(r.root);
      } else {
        r.load();
        r.begin();
      }
      EXPECT_EQ(Check(r), std::vector<std::string>{}) << (join ? "join" : "split");
      EXPECT_TRUE(r.success) << testing::PrintToString(r.display.details);
    }
  }
}

// Data files from strangers: names that leave the folder, control characters, counts out of
// range, junk and a line of 10 MB. Each is refused when loaded, by the window and by the
// command-line program, and nothing is written anywhere.
TEST(HostileNames, HostileDataFilesAreRefusedWithMessage9AndNothingIsWritten) {
  // clang-format off
  std::vector<std::string> texts = {"escape.bin\r\n", "", JobFixture::pattern(4000, 13),
                                    std::string(10 * 1024 * 1024, 'a') + ".bin\r\n2\r\n"};
  for (const std::string& name : std::vector<std::string>{"../escape.bin", "..", ".",
           "sub/escape.bin", "/tmp/escape.bin", "..\\escape.bin", std::string("esc\0ape.bin", 11),
           "\x1b[2J.bin", "tab\there.bin", "a\rb.bin", "a\x7f.bin", "a\xc2\x85.bin", ""})
    texts.push_back(name + "\r\n2\r\n");
  for (const char* count : {"-2", "0", "1000", "99999999999999999999999999", "2.5", "2e0", "0x2", "two"})
    texts.push_back("escape.bin\r\n" + std::string(count) + "\r\n");
  // clang-format on
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text.substr(0, 40)));
    WindowRun r({.join = true, .loadOnly = true});
    r.prepare();
    r.put(r.stem + "qkd", text);
    r.settle();
    r.begin();
    EXPECT_EQ(Check(r), std::vector<std::string>{});
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(has(testing::PrintToString(r.display.details), r.root + r.stem + "qkd"));
    r.form.cmdBegin.click();  // with nothing loaded, Begin refuses (message 2)
    EXPECT_EQ(cli(r.root, "join --overwrite " + r.stem + "qkd"), kMsgFailure);
    EXPECT_EQ(snapshot(r.root), r.before);
  }
}

}  // namespace
}  // namespace qm::test
