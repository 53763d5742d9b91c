// Runs whose disk is changed under them by someone else: a folder swapped for a link, a part
// swapped for a link, a pipe or another file, a source that grows, a second run on the same set.
// Every change is made by the fake file system between two calls, never by timing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "engine/messages.h"
#include "engine/part_names.h"
#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::JobFixture;
using test::Op;
namespace fsys = std::filesystem;

struct SetFixture : JobFixture {
  // A set of three parts in set/, joined into set/movie.avi; a secret in other/.
  SetFixture() {
    fsys::create_directories(path("other"));
    writeFile("other/secret", std::string(10, 'S'));
    fsys::create_directories(path("set"));
    for (int i = 1; i <= 3; ++i)
      writeFile("set/movie.00" + std::to_string(i), std::string(10, static_cast<char>('0' + i)));
    writeFile("set/movie.qkd", "movie.avi\r\n3\r\n");
    source = path("set/movie.qkd");
    dest = path("set/movie.avi");
    partCount = 3;
    host.deleteWhenDone = true;
  }
  // Runs `change` once, before the first call of kind `op` whose path holds `fragment`.
  void at(Op op, const std::string& fragment, std::function<void()> change) {
    fs.before = [=, this, done = false](Op o, const std::string& p) mutable {
      if (done || o != op || p.find(fragment) == std::string::npos) return;
      done = true;
      const auto now = std::move(change);  // clearing `before` destroys this lambda
      fs.before = nullptr;
      now();
    };
  }
  void swapPart(const std::string& target) {
    fsys::remove(path("set/movie.002"));
    fsys::create_symlink(target, path("set/movie.002"));
  }
  std::string message() const { return display.details.empty() ? "" : display.details.back(); }
  std::unique_ptr<Folder> held;
};

// Refused without publishing a file or deleting one of the set: a part that is not the ordinary
// file measured (from the start or swapped between the check and its open), a set another run
// holds, and names too long or holding marks that turn the text around.
TEST(HostileDisk, RefusedBeforeAnythingIsPublished) {
  using F = SetFixture;
  const auto during = [](std::function<void(F&)> change) {
    return [=](F& f) { f.at(Op::OpenRead, "movie.002", [&f, change] { change(f); }); };
  };
  const struct {
    bool early;  // early: refused before a byte is copied
    std::function<void(F&)> setUp;
    const char* reason;
  } cases[] = {
      {true, [](F& f) { f.swapPart(f.path("other/secret")); }, "symbolic link"},
      {false, during([](F& f) { f.swapPart("/dev/zero"); }), "symbolic link"},
      {false, during([](F& f) {
         fsys::remove(f.path("set/movie.002"));
         ::mkfifo(f.path("set/movie.002").c_str(), 0600);
       }),
       "not an ordinary file"},
      {false, during([](F& f) {
         f.writeFile("set/new", "XXXXXXXXXX");
         fsys::rename(f.path("set/new"), f.path("set/movie.002"));
       }),
       "replaced or changed"},
      {true,
       [](F& f) { f.posix.Claim(*(f.held = f.posix.OpenFolder(f.path("set"))), "movie.qkd"); },
       "another run"},
      {true, [](F& f) { f.dest = f.path("set/") + std::string(300, 'n'); }, ""},
      {true, [](F& f) { f.dest = f.path("set/gpj\u202E.exe"); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    F f;
    c.setUp(f);
    EXPECT_EQ(f.join().message, kMsgFailure);
    EXPECT_NE(f.message().find(c.reason), std::string::npos) << f.message();
    EXPECT_EQ(f.fs.calls(Op::Publish), 0);
    EXPECT_EQ(f.fs.calls(Op::Copy) == 0, c.early);
    EXPECT_TRUE(fsys::exists(f.path("set/movie.001")));
  }
}

// The set's folder swapped for a link to another while the last part is copied: the joined
// file, or the new set, still lands in the folder the run began in, and the joined set is
// deleted there. The join runs without /proc, where an unnamed temporary file could never be
// named: it takes a named one.
TEST(HostileDisk, ARunStaysInTheFolderItOpenedAndAJoinNeedsNoProc) {
  const auto swapFolder = [](JobFixture& f) {
    fsys::rename(f.path("set"), f.path("moved"));
    fsys::create_symlink(f.path("other"), f.path("set"));
  };
  SetFixture f;
  f.posix = PosixFileSystem(true, "/no/proc/here/");
  f.at(Op::OpenRead, "movie.003", [&] { swapFolder(f); });
  EXPECT_EQ(f.join().message, 0) << f.message();
  EXPECT_EQ(f.readFile("moved/movie.avi"), "111111111122222222223333333333");
  EXPECT_FALSE(fsys::exists(f.path("moved/movie.001")));
  EXPECT_EQ(fsys::directory_iterator(f.path("other"))->path().filename(), "secret");
  JobFixture s;
  for (const char* folder : {"set", "other"})
    fsys::create_directories(s.path(folder));
  s.prepareSplit(std::string(30, 'x'), 10, "movie.avi", "set/movie.");
  s.fs.before = [&, n = 0](Op op, const std::string&) mutable {
    if (op == Op::CreateTemporary && ++n == 3) swapFolder(s);
  };
  EXPECT_EQ(s.split().message, 0);
  EXPECT_EQ(s.readFile("moved/movie.qkd"), "movie.avi\r\n3\r\n");
  EXPECT_TRUE(fsys::is_empty(s.path("other")));
}

// A part rewritten once joined, before the run deletes the set: it stays and message 9 names
// it, the rest goes.
TEST(HostileDisk, ARunDeletesOnlyTheFilesItRead) {
  SetFixture f;
  f.at(Op::Publish, "", [&] { std::ofstream(f.path("set/movie.001"), std::ios::app) << "grown"; });
  EXPECT_EQ(f.join().message, kMsgFailure);
  EXPECT_NE(f.message().find("set/movie.001"), std::string::npos) << f.message();
  EXPECT_TRUE(fsys::exists(f.path("set/movie.avi")));
  EXPECT_FALSE(fsys::exists(f.path("set/movie.002")));
}

// Outputs are no easier to read than their inputs, whatever the umask lets through.
TEST(HostileDisk, OutputsKeepTheirInputsPrivacy) {
  SetFixture f;
  f.host.deleteWhenDone = false;
  ::chmod(f.path("set/movie.002").c_str(), 0600);
  f.writeFile("set/movie.avi", "old");
  ::chmod(f.path("set/movie.avi").c_str(), 0604);
  f.display.questionDefault = test::Answer::Yes;
  EXPECT_EQ(f.join().message, 0);
  EXPECT_EQ(fsys::status(f.path("set/movie.avi")).permissions(), fsys::perms(0600 & 0604));
  EXPECT_EQ(f.posix.CreateTemporary(f.path("set/"))->Info().mode, 0600u);
}

}  // namespace
}  // namespace qm
