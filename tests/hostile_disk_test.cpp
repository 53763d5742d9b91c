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
    fsys::create_directories(path("set"));
    fsys::create_directories(path("other"));
    writeFile("other/secret", std::string(10, 'S'));
    for (int i = 1; i <= 3; ++i)
      writeFile("set/movie.00" + std::to_string(i), std::string(10, static_cast<char>('0' + i)));
    writeFile("set/movie.qkd", "movie.avi\r\n3\r\n");
    source = path("set/movie.qkd");
    dest = path("set/movie.avi");
    partCount = 3;
  }
  // Runs `change` once, before the first call of kind `op` whose path holds `fragment`.
  void at(Op op, const std::string& fragment, std::function<void()> change) {
    fs.before = [=, this, done = false](Op o, const std::string& p) mutable {
      if (done || o != op || p.find(fragment) == std::string::npos) return;
      done = true;
      fs.before = nullptr;
      change();
    };
  }
  // Makes the fields a split of set/`name` (3,000 bytes) into set/whole.qkd in 1,000-byte parts.
  void splitOf(const std::string& name) {
    writeFile("set/" + name, pattern(3000));
    source = path("set/" + name);
    dest = path("set/whole.qkd");
    state.SourceTitle = name;
    state.SplitSize = 1000;
    count();
  }
  std::string message() const { return display.details.empty() ? "" : display.details.back(); }
};

void swapForLink(const std::string& name, const std::string& target) {
  fsys::remove(name);
  fsys::create_symlink(target, name);
}

// A part that is not the ordinary file measured, whether it was so from the start or became so
// between the check and its open, is refused before the joined file is named: nothing is
// written, and nothing of the set is deleted.
TEST(HostileDisk, AJoinRefusesAPartThatIsNotTheFileMeasured) {
  const struct {
    const char* what;
    bool fromTheStart;
    std::function<void(SetFixture&)> change;
    const char* reason;
  } cases[] = {
      {"link to a secret", true,
       [](SetFixture& f) { swapForLink(f.path("set/movie.002"), f.path("other/secret")); },
       "symbolic link"},
      {"pipe", false,
       [](SetFixture& f) {
         fsys::remove(f.path("set/movie.002"));
         ::mkfifo(f.path("set/movie.002").c_str(), 0600);
       },
       "not an ordinary file"},
      {"link to a secret", false,
       [](SetFixture& f) { swapForLink(f.path("set/movie.002"), f.path("other/secret")); },
       "symbolic link"},
      {"link to /dev/zero", false,
       [](SetFixture& f) { swapForLink(f.path("set/movie.002"), "/dev/zero"); }, "symbolic link"},
      {"other file", false,
       [](SetFixture& f) {
         f.writeFile("set/new", std::string(10, 'X'));
         fsys::rename(f.path("set/new"), f.path("set/movie.002"));
       },
       "replaced or changed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.fromTheStart ? " from the start" : " during the run"));
    SetFixture f;
    f.host.deleteWhenDone = true;
    if (c.fromTheStart) {
      c.change(f);
    } else {
      f.at(Op::OpenRead, "movie.002", [&] { c.change(f); });
    }
    EXPECT_EQ(f.join().message, kMsgFailure);
    EXPECT_NE(f.message().find(c.reason), std::string::npos) << f.message();
    EXPECT_FALSE(fsys::exists(f.path("set/movie.avi")));
    EXPECT_TRUE(fsys::exists(f.path("set/movie.001")));
    EXPECT_EQ(f.fs.calls(Op::Publish), 0);
    EXPECT_EQ(f.fs.calls(Op::Copy) == 0, c.fromTheStart);
  }
}

// The set's folder swapped for a link to another during the copy of the last part: the joined
// file still lands in the folder the join began in, and the set is deleted there.
TEST(HostileDisk, AJoinStaysInTheFolderItOpened) {
  SetFixture f;
  f.host.deleteWhenDone = true;
  f.at(Op::OpenRead, "movie.003", [&] {
    fsys::rename(f.path("set"), f.path("moved"));
    fsys::create_symlink(f.path("other"), f.path("set"));
  });
  EXPECT_EQ(f.join().message, 0) << f.message();
  EXPECT_EQ(f.readFile("moved/movie.avi"), "111111111122222222223333333333");
  EXPECT_FALSE(fsys::exists(f.path("moved/movie.001")));
  EXPECT_EQ(fsys::directory_iterator(f.path("other"))->path().filename(), "secret");
}

// What a run leaves of its inputs when they change before it deletes them: the changed file
// stays and message 9 names it, the rest goes.
TEST(HostileDisk, ARunDeletesOnlyTheFilesItRead) {
  const struct {
    bool join;
    Op when;
    const char* changed;
    const char* stillThere;  // the outputs stay, the inputs that did not change go
  } cases[] = {
      {true, Op::Publish, "set/movie.001", "set/movie.avi"},  // a part rewritten once joined
      {false, Op::Copy, "set/movie.bin", "set/whole.003"},    // the source grown while split
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.changed);
    SetFixture f;
    f.host.deleteWhenDone = true;
    if (!c.join) f.splitOf("movie.bin");
    f.at(c.when, "", [&] { std::ofstream(f.path(c.changed), std::ios::app) << "grown"; });
    EXPECT_EQ((c.join ? f.join() : f.split()).message, kMsgFailure);
    EXPECT_TRUE(fsys::exists(f.path(c.changed)));
    EXPECT_NE(f.message().find(c.changed), std::string::npos) << f.message();
    EXPECT_TRUE(fsys::exists(f.path(c.stillThere)));
    EXPECT_NE(fsys::exists(f.path("set/movie.002")), c.join);
  }
}

// A second run on a set that a run holds is refused at once, before it writes a byte.
TEST(HostileDisk, OneRunPerSet) {
  for (const bool join : {false, true}) {
    SetFixture f;
    if (!join) f.splitOf("movie.bin");
    auto held = f.posix.OpenFolder(f.path("set"));
    ASSERT_TRUE(f.posix.Claim(*held, join ? "movie.qkd" : "whole.qkd"));
    const auto before = f.snapshot();
    EXPECT_EQ((join ? f.join() : f.split()).message, kMsgFailure);
    EXPECT_NE(f.message().find("another run"), std::string::npos) << f.message();
    EXPECT_EQ(f.snapshot(), before);
    held.reset();
    EXPECT_EQ((join ? f.join() : f.split()).message, 0) << f.message();
  }
}

// Outputs are no easier to read than their inputs, whatever the umask lets through.
TEST(HostileDisk, OutputsKeepTheirInputsPrivacy) {
  SetFixture f;
  ::chmod(f.path("set/movie.002").c_str(), 0600);
  f.writeFile("set/movie.avi", "old");
  ::chmod(f.path("set/movie.avi").c_str(), 0604);
  f.display.questionDefault = test::Answer::Yes;
  EXPECT_EQ(f.join().message, 0);
  EXPECT_EQ(fsys::status(f.path("set/movie.avi")).permissions(), fsys::perms(0600 & 0604));
  ::chmod(f.path("set/movie.avi").c_str(), 0640);
  f.source = f.path("set/movie.avi");
  f.dest = f.path("set/whole.qkd");
  f.state.SourceTitle = "movie.avi";
  f.state.SplitSize = 10;
  f.batch = true;
  f.count();
  EXPECT_EQ(f.split().message, 0) << f.message();
  for (const char* name : {"whole.001", "whole.qkd", "whole.bat"})
    EXPECT_EQ(fsys::status(f.path(std::string("set/") + name)).permissions(), fsys::perms(0640));
  auto temporary = f.posix.CreateTemporary(f.path("set/"));
  EXPECT_EQ(temporary->Info().mode, 0600u);
}

// Names refused before a byte is copied: one longer than the file system allows, and ones that
// hold marks which turn the text around or break its line unseen.
TEST(HostileDisk, NamesThatCannotBeOrThatDeceiveAreRefusedFirst) {
  const std::string rlo = "\u202E", ls = "\u2028", lri = "\u2066";
  const struct {
    bool join;
    std::string name;  // the join's destination, or the split's source
  } cases[] = {
      {true, std::string(300, 'n')},
      {true, "gpj" + rlo + ".exe"},
      {true, "a" + ls + "b"},
      {false, "x" + lri + "y.bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 12));
    SetFixture f;
    if (c.join) {
      f.dest = f.path("set/") + c.name;
    } else {
      f.splitOf(c.name);
    }
    EXPECT_EQ((c.join ? f.join() : f.split()).message, kMsgFailure);
    EXPECT_EQ(f.fs.calls(Op::Copy), 0);
    EXPECT_EQ(f.fs.calls(Op::Create) + f.fs.calls(Op::CreateTemporary), 0);
  }
}

// A folder renamed during a split, which then fails: the message does not say a file went
// that is still there.
TEST(HostileDisk, ASplitInAFolderRenamedUnderItSaysWhatIsLeft) {
  SetFixture f;
  f.splitOf("movie.bin");
  const auto files = [&](const std::string& folder) {
    std::map<std::string, std::string> all;
    for (const auto& entry : fsys::directory_iterator(f.path(folder)))
      all[entry.path().filename()] = f.readFile(folder + "/" + entry.path().filename().string());
    return all;
  };
  const auto before = files("set");
  int created = 0;
  f.fs.before = [&](Op op, const std::string&) {
    if (op == Op::CreateTemporary && ++created == 2) fsys::rename(f.path("set"), f.path("moved"));
  };
  EXPECT_EQ(f.split().message, kMsgFailure);
  const bool left = files("moved") != before;
  EXPECT_EQ(left, f.message().find("still there") != std::string::npos) << f.message();
}

// Without /proc an unnamed temporary file could never be named: the join takes a named one.
TEST(HostileDisk, AJoinWithoutProcStillNamesItsResult) {
  SetFixture f;
  PosixFileSystem noProc(true, "/no/proc/here/");
  EXPECT_EQ(JoinF(f.state, noProc, f.host, {f.source, f.dest, 3}).message, 0);
  EXPECT_EQ(f.readFile("set/movie.avi"), "111111111122222222223333333333");
}

}  // namespace
}  // namespace qm
