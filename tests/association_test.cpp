#include "shell/association.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "platform/posix_file_system.h"
#include "tests/fakes/fault_file_system.h"
#include "tests/fakes/job_fixture.h"

namespace qm::test {
namespace {

using Runs = std::vector<std::pair<std::string, std::string>>;

// The user's folders below a temporary HOME, and the cache tools recorded instead of run.
class Association : public ::testing::Test, public AssociationStore {
 protected:
  UserFolders Folders() override { return folders; }
  void RunTool(const std::string& tool, const std::string& folder) override {
    runs.emplace_back(tool, folder);
  }
  void start() { RegisterFileType(fs, *this, icons); }

  std::string data(const std::string& name) const { return home.path() + ".local/share/" + name; }
  std::string config(const std::string& name) const { return home.path() + ".config/" + name; }
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // Every file below HOME, so a test can see that nothing else was written.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path()))
      if (entry.is_regular_file())
        names.push_back(entry.path().string().substr(home.path().size()));
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder home;
  PosixFileSystem posix;
  FaultFileSystem fs{posix};
  UserFolders folders{home.path() + ".local/share", home.path() + ".config", "/opt/Quell Mark/bin"};
  Runs runs;
  std::vector<IconImage> icons{{32, std::string("\x89PNG-32\0x", 9)}};
};

TEST_F(Association, WritesEveryPieceOnceAndOnlyWhatChangedLater) {
  start();
  EXPECT_EQ(files(), (std::vector<std::string>{
                         ".config/mimeapps.list", ".local/share/applications/quellmark.desktop",
                         ".local/share/icons/hicolor/32x32/apps/quellmark.png",
                         ".local/share/mime/packages/quellmark.xml"}));
  // What the entry, the MIME package and the list say, the desktop's own tools check
  // (association.sh); the list's lines and the quoting of the command, the tables below.
  EXPECT_EQ(runs, (Runs{{"update-mime-database", data("mime")},
                        {"update-desktop-database", data("applications")}}));
  // The base folders did not exist; they are made private to the user, as XDG asks.
  EXPECT_EQ(std::filesystem::status(home.path() + ".local").permissions(),
            std::filesystem::perms(0700));

  // A moved program rewrites its desktop entry, and a changed icon its file; nothing else.
  runs.clear();
  fs.reset();
  folders.programFolder = "/home/me/apps";
  icons[0].png = "\x89PNG-32-new";
  start();
  EXPECT_NE(
      read(data("applications/quellmark.desktop")).find("\nExec=/home/me/apps/quellmark %f\n"),
      std::string::npos);
  EXPECT_EQ(read(data("icons/hicolor/32x32/apps/quellmark.png")), icons[0].png);
  EXPECT_EQ(runs, (Runs{{"update-desktop-database", data("applications")}}));
  EXPECT_EQ(fs.calls(Op::Publish), 2);
}

TEST_F(Association, FailuresAreQuietAndLeaveEveryFileWholeOrUntouched) {
  // The MIME package cannot be written, and mimeapps.list is not a file.
  fs.failPath(Op::CreateTemporary, "mime/packages", EACCES);
  std::filesystem::create_directories(config("mimeapps.list"));
  start();
  EXPECT_EQ(files(),
            (std::vector<std::string>{".local/share/applications/quellmark.desktop",
                                      ".local/share/icons/hicolor/32x32/apps/quellmark.png"}));
  EXPECT_EQ(runs, (Runs{{"update-desktop-database", data("applications")}}));

  // A write that fails half-way leaves the user's old list as it was, and no temporary file;
  // once it can be written, a list kept as a private file behind a link stays so: the link's
  // target is what gets rewritten.
  fs.reset();
  std::filesystem::remove(config("mimeapps.list"));
  const std::string old = "[Default Applications]\ntext/plain=vim.desktop\n";
  std::ofstream(home.path() + "real.list", std::ios::binary) << old;
  ::chmod((home.path() + "real.list").c_str(), 0600);
  std::filesystem::create_symlink(home.path() + "real.list", config("mimeapps.list"));
  fs.failPath(Op::Write, "/", ENOSPC);
  start();
  EXPECT_EQ(read(config("mimeapps.list")), old);
  EXPECT_EQ(files().size(), 4u);  // the list and its link, the entry, the icon: no temporary file
  fs.reset();
  start();
  EXPECT_TRUE(std::filesystem::is_symlink(config("mimeapps.list")));
  EXPECT_EQ(read(home.path() + "real.list"), WithDefaultApplication(old));
  EXPECT_EQ(std::filesystem::status(home.path() + "real.list").permissions(),
            std::filesystem::perms(0600));
}

TEST(DefaultApplication, SetsOnlyItsOwnLinesAndKeepsEveryOther) {
  const std::string ours = "application/x-quellmark=quellmark.desktop";
  const std::pair<std::string, std::string> cases[] = {
      // Added after the last entry of each section, before the blank line and comment that
      // lead into the next; other sections and a look-alike key untouched.
      {"[Removed Associations]\n" + ours +
           ";\n[Added Associations]\ntext/plain=vim.desktop;\n\n"
           "[Default Applications]\napplication/x-quellmarks=x.desktop\n\n# end",
       "[Removed Associations]\n" + ours + ";\n[Added Associations]\ntext/plain=vim.desktop;\n" +
           ours + ";\n\n[Default Applications]\napplication/x-quellmarks=x.desktop\n" + ours +
           "\n\n# end\n"},
      // Every duplicate is set, since the last one counts; line endings and the other added
      // applications are kept, ours first.
      {"[Default Applications]\r\napplication/x-quellmark=a.desktop\r\n"
       "application/x-quellmark=b.desktop\r\n[Added Associations]\r\n"
       "application/x-quellmark = x.desktop;quellmark.desktop;y;\r\n",
       "[Default Applications]\r\n" + ours + "\r\n" + ours + "\r\n[Added Associations]\r\n" + ours +
           ";x.desktop;y;\r\n"},
  };
  for (const auto& [before, after] : cases) {
    const std::string once = WithDefaultApplication(before);
    EXPECT_EQ(once, after);
    EXPECT_EQ(WithDefaultApplication(once), once) << "not stable";
  }
}

TEST(DesktopExec, QuotesAndEscapesWhatTheDesktopWouldMisread) {
  // First the quoting of an argument, then the escapes of every string value.
  const std::pair<std::string, std::string> cases[] = {
      {"/opt/it's 50%;&|<>~*?#()", R"("/opt/it's 50%%;&|<>~*?#()/quellmark")"},
      {"/x/a$b`c\"d\\e\nf\tg", R"("/x/a\\$b\\`c\\"d\\\\e\nf\tg/quellmark")"},
  };
  for (const auto& [folder, exec] : cases)
    EXPECT_EQ(DesktopExec(folder), exec) << folder;
}

}  // namespace
}  // namespace qm::test
