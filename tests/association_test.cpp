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

// The user's folders below a temporary HOME, and the cache tools recorded instead of run.
class ScriptedStore : public AssociationStore {
 public:
  UserFolders Folders() override { return folders; }
  void RunTool(const std::string& tool, const std::string& folder) override {
    runs.emplace_back(tool, folder);
  }
  UserFolders folders;
  std::vector<std::pair<std::string, std::string>> runs;
};

class Association : public ::testing::Test {
 protected:
  Association() {
    store.folders.dataHome = home() + ".local/share";
    store.folders.configHome = home() + ".config";
    store.folders.programFolder = "/opt/quellmark/bin";
  }

  std::string home() const { return folder.path(); }
  std::string data(const std::string& name) const { return home() + ".local/share/" + name; }
  std::string config(const std::string& name) const { return home() + ".config/" + name; }

  void start() { RegisterFileType(fs, store, icons); }

  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void write(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
  }
  // Every file below HOME, so a test can see that nothing else was written.
  std::vector<std::string> filesUnderHome() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home())) {
      if (entry.is_regular_file()) names.push_back(entry.path().string().substr(home().size()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder folder;
  PosixFileSystem posix;
  FaultFileSystem fs{posix};
  ScriptedStore store;
  std::vector<IconImage> icons{{32, std::string("\x89PNG-32\0x", 9)}, {48, "\x89PNG-48"}};
};

TEST_F(Association, FirstStartWritesEveryPieceAndRunsBothTools) {
  store.folders.programFolder = "/opt/Quell Mark/bin";
  start();

  EXPECT_EQ(filesUnderHome(),
            (std::vector<std::string>{".config/mimeapps.list",
                                      ".local/share/applications/quellmark.desktop",
                                      ".local/share/icons/hicolor/32x32/apps/quellmark.png",
                                      ".local/share/icons/hicolor/48x48/apps/quellmark.png",
                                      ".local/share/mime/packages/quellmark.xml"}));

  const std::string mime = read(data("mime/packages/quellmark.xml"));
  EXPECT_NE(mime.find("<mime-type type=\"application/x-quellmark\">"), std::string::npos);
  EXPECT_NE(mime.find("<comment>Quellmark</comment>"), std::string::npos);
  EXPECT_NE(mime.find("<glob pattern=\"*.qkd\" case-sensitive=\"false\"/>"), std::string::npos);

  const std::string entry = read(data("applications/quellmark.desktop"));
  EXPECT_TRUE(entry.starts_with("[Desktop Entry]\n"));
  for (const char* line :
       {"Type=Application", "Name=Quellmark", "Exec=\"/opt/Quell Mark/bin/quellmark\" %f",
        "Icon=quellmark", "MimeType=application/x-quellmark;", "Terminal=false"}) {
    EXPECT_TRUE(hasLine(entry, line)) << line << " missing in\n" << entry;
  }

  EXPECT_EQ(read(data("icons/hicolor/32x32/apps/quellmark.png")), icons[0].png);
  EXPECT_EQ(read(data("icons/hicolor/48x48/apps/quellmark.png")), icons[1].png);

  EXPECT_EQ(read(config("mimeapps.list")),
            "[Default Applications]\n"
            "application/x-quellmark=quellmark.desktop\n"
            "\n"
            "[Added Associations]\n"
            "application/x-quellmark=quellmark.desktop;\n");

  using Run = std::pair<std::string, std::string>;
  EXPECT_EQ(store.runs, (std::vector<Run>{{"update-mime-database", data("mime")},
                                          {"update-desktop-database", data("applications")}}));

  // The base folders did not exist; they are made private to the user, as XDG asks.
  struct stat st {};
  ASSERT_EQ(::stat(home().append(".local").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(Association, ASecondStartRewritesNothingAndRunsNoTool) {
  start();
  store.runs.clear();
  fs.reset();

  start();
  EXPECT_TRUE(store.runs.empty());
  EXPECT_EQ(fs.calls(Op::CreateTemporary), 0);
  EXPECT_EQ(fs.calls(Op::Create), 0);
  EXPECT_EQ(fs.calls(Op::Publish), 0);
  EXPECT_EQ(fs.calls(Op::Remove), 0);
  EXPECT_EQ(filesUnderHome().size(), 5u);
}

TEST_F(Association, AMovedProgramRewritesOnlyItsDesktopEntry) {
  start();
  struct stat before {};
  ASSERT_EQ(::stat(data("mime/packages/quellmark.xml").c_str(), &before), 0);
  store.runs.clear();

  store.folders.programFolder = "/home/me/apps";
  start();
  EXPECT_TRUE(
      hasLine(read(data("applications/quellmark.desktop")), "Exec=/home/me/apps/quellmark %f"));
  using Run = std::pair<std::string, std::string>;
  EXPECT_EQ(store.runs, (std::vector<Run>{{"update-desktop-database", data("applications")}}));
  struct stat after {};
  ASSERT_EQ(::stat(data("mime/packages/quellmark.xml").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);

  // A changed icon is replaced, but needs no tool.
  store.runs.clear();
  icons[1].png = "\x89PNG-48-new";
  start();
  EXPECT_EQ(read(data("icons/hicolor/48x48/apps/quellmark.png")), icons[1].png);
  EXPECT_TRUE(store.runs.empty());
}

TEST(DefaultApplication, EditsOnlyItsOwnLines) {
  struct Case {
    const char* name;
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"empty file", "",
       "[Default Applications]\napplication/x-quellmark=quellmark.desktop\n\n"
       "[Added Associations]\napplication/x-quellmark=quellmark.desktop;\n"},
      {"sections without our key: added after the last entry, before the blank line",
       "[Added Associations]\ntext/plain=vim.desktop;\n\n"
       "[Default Applications]\ntext/plain=vim.desktop\n\n# end\n",
       "[Added Associations]\ntext/plain=vim.desktop;\n"
       "application/x-quellmark=quellmark.desktop;\n\n"
       "[Default Applications]\ntext/plain=vim.desktop\n"
       "application/x-quellmark=quellmark.desktop\n\n# end\n"},
      {"duplicate keys all set, since the last one counts",
       "[Default Applications]\napplication/x-quellmark=a.desktop\n"
       "application/x-quellmark=b.desktop\n",
       "[Default Applications]\napplication/x-quellmark=quellmark.desktop\n"
       "application/x-quellmark=quellmark.desktop\n\n"
       "[Added Associations]\napplication/x-quellmark=quellmark.desktop;\n"},
      {"other sections and a look-alike key untouched, no final newline",
       "[Removed Associations]\napplication/x-quellmark=quellmark.desktop;\n"
       "[Default Applications]\napplication/x-quellmarks=x.desktop",
       "[Removed Associations]\napplication/x-quellmark=quellmark.desktop;\n"
       "[Default Applications]\napplication/x-quellmarks=x.desktop\n"
       "application/x-quellmark=quellmark.desktop\n\n"
       "[Added Associations]\napplication/x-quellmark=quellmark.desktop;\n"},
      {"line endings kept, other added applications kept after ours",
       "[Default Applications]\r\napplication/x-quellmark=x.desktop\r\n"
       "[Added Associations]\r\napplication/x-quellmark = x.desktop;quellmark.desktop;y;\r\n",
       "[Default Applications]\r\napplication/x-quellmark=quellmark.desktop\r\n"
       "[Added Associations]\r\napplication/x-quellmark=quellmark.desktop;x.desktop;y;\r\n"},
  };
  for (const auto& c : cases) {
    const std::string once = WithDefaultApplication(c.before);
    EXPECT_EQ(once, c.after) << c.name;
    EXPECT_EQ(WithDefaultApplication(once), once) << c.name << ": not stable";
  }
}

// Undoes the desktop entry rules on an Exec= value and returns its first argument.
std::string firstExecArgument(const std::string& value) {
  std::string unescaped;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      unescaped += value[i];
      continue;
    }
    const char c = value[++i];
    unescaped += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == 's' ? ' ' : c;
  }
  std::string codes;
  for (std::size_t i = 0; i < unescaped.size(); ++i) {
    codes += unescaped[i];
    if (unescaped[i] == '%' && i + 1 < unescaped.size() && unescaped[i + 1] == '%') ++i;
  }
  if (codes.empty() || codes.front() != '"') return codes.substr(0, codes.find(' '));
  std::string argument;
  for (std::size_t i = 1; i < codes.size() && codes[i] != '"'; ++i) {
    if (codes[i] == '\\' && i + 1 < codes.size()) ++i;
    argument += codes[i];
  }
  return argument;
}

TEST(DesktopExec, QuotesAndEscapesWhatTheDesktopWouldMisread) {
  EXPECT_EQ(DesktopExec("/usr/local/bin"), "/usr/local/bin/quellmark");
  EXPECT_EQ(DesktopExec("/usr/local/bin/"), "/usr/local/bin/quellmark");
  EXPECT_EQ(DesktopExec("/"), "/quellmark");
  EXPECT_EQ(DesktopExec("/opt/My Apps"), "\"/opt/My Apps/quellmark\"");
  EXPECT_EQ(DesktopExec("/opt/100%"), "/opt/100%%/quellmark");
  EXPECT_EQ(DesktopExec("/opt/a$b"), "\"/opt/a\\\\$b/quellmark\"");

  for (const std::string folder :
       {"/opt/My Apps", "/x/\"quoted\"", "/x/back\\slash", "/x/$HOME", "/x/`cmd`", "/x/50% off",
        "/x/it's", "/x/a;b&c|d", "/x/tab\there", "/x/new\nline", "/x/~user", "/x/(a)#b*?<>",
        "/x/ümlaut"}) {
    const std::string exec = DesktopExec(folder);
    EXPECT_EQ(exec.find('\n'), std::string::npos) << folder;
    EXPECT_EQ(firstExecArgument(exec), folder + "/quellmark") << exec;
  }
}

TEST_F(Association, FailuresAreQuietAndTheOtherPiecesStillGetWritten) {
  // The MIME package cannot be written, and mimeapps.list is not a file.
  fs.failPath(Op::CreateTemporary, "mime/packages", EACCES);
  std::filesystem::create_directories(config("mimeapps.list"));
  start();

  EXPECT_FALSE(std::filesystem::exists(data("mime/packages/quellmark.xml")));
  EXPECT_TRUE(std::filesystem::is_directory(config("mimeapps.list")));
  EXPECT_TRUE(std::filesystem::exists(data("applications/quellmark.desktop")));
  EXPECT_TRUE(std::filesystem::exists(data("icons/hicolor/48x48/apps/quellmark.png")));
  using Run = std::pair<std::string, std::string>;
  EXPECT_EQ(store.runs, (std::vector<Run>{{"update-desktop-database", data("applications")}}));

  // Once the fault is gone, the next start completes what was missing, and only that.
  fs.reset();
  store.runs.clear();
  start();
  EXPECT_TRUE(std::filesystem::exists(data("mime/packages/quellmark.xml")));
  EXPECT_EQ(store.runs, (std::vector<Run>{{"update-mime-database", data("mime")}}));
}

TEST_F(Association, AFailedWriteLeavesTheOldFileWhole) {
  const std::string old = "[Default Applications]\ntext/plain=vim.desktop\n";
  write(config("mimeapps.list"), old);
  fs.failPath(Op::Write, "/", ENOSPC);
  start();
  EXPECT_EQ(read(config("mimeapps.list")), old);
  EXPECT_EQ(filesUnderHome(), std::vector<std::string>{".config/mimeapps.list"});
}

TEST_F(Association, WritesNothingWhereTheStoreGivesNoFolder) {
  store.folders.dataHome.clear();
  start();
  EXPECT_EQ(filesUnderHome(), std::vector<std::string>{".config/mimeapps.list"});
  EXPECT_TRUE(store.runs.empty());

  store.folders = {};
  std::filesystem::remove(config("mimeapps.list"));
  start();
  EXPECT_TRUE(filesUnderHome().empty());

  // Without the program's folder there is no command to register, but the type still is.
  store.folders.dataHome = home() + ".local/share";
  start();
  EXPECT_EQ(filesUnderHome(),
            (std::vector<std::string>{".local/share/icons/hicolor/32x32/apps/quellmark.png",
                                      ".local/share/icons/hicolor/48x48/apps/quellmark.png",
                                      ".local/share/mime/packages/quellmark.xml"}));
}

}  // namespace
}  // namespace qm::test
