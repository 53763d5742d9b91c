#include "platform/posix_file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

TEST(PosixFileSystem, StatFollowsLinksAndFailuresNameTheFileTheActionAndTheReason) {
  test::JobFixture f;
  PosixFileSystem fs;
  const std::string dir = f.path("");
  f.writeFile("a", "12345");
  ASSERT_EQ(::mkdir((dir + "sub").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((dir + "a").c_str(), (dir + "link").c_str()), 0);
  EXPECT_EQ(std::tuple(fs.Stat(dir + "a").regular, fs.Stat(dir + "a").length),
            std::tuple(true, 5u));
  EXPECT_EQ(std::tuple(fs.Stat(dir + "sub").exists, fs.Stat(dir + "sub").regular),
            std::tuple(true, false));
  EXPECT_EQ(fs.Stat(dir + "link").inode, fs.Stat(dir + "a").inode);
  EXPECT_FALSE(fs.Stat(dir + "missing").exists || fs.Stat("").exists);
  try {
    fs.OpenRead(dir + "missing");
    FAIL() << "opened a missing file";
  } catch (const FileError& e) {
    EXPECT_EQ(std::tuple(e.path(), e.error()), std::tuple(dir + "missing", ENOENT));
    EXPECT_EQ(std::string(e.what()),
              "Could not open for reading \"" + dir + "missing\": No such file or directory");
  }
  EXPECT_THROW(fs.OpenRead(dir), FileError);  // a folder is not a file to read
  EXPECT_THROW(fs.Create(dir + "no/such/folder"), FileError);
  EXPECT_THROW(fs.Remove(dir + "missing"), FileError);
}

TEST(PosixFileSystem, CopyMovesExactRangesAndStopsAtTheEndOfTheSource) {
  test::JobFixture f;
  PosixFileSystem fs;
  const std::string bytes = test::JobFixture::pattern(300000);
  f.writeFile("src", bytes);
  auto in = fs.OpenRead(f.path("src"));
  auto out = fs.Create(f.path("dst"));
  EXPECT_EQ(fs.Copy(*in, *out, 65000), 65000u);
  EXPECT_EQ(fs.Copy(*in, *out, 0), 0u);
  EXPECT_EQ(fs.Copy(*in, *out, 1000000), 235000u);
  out->Close();
  EXPECT_EQ(f.readFile("dst"), bytes);
}

// Unnamed where the system allows, and the named way other file systems need.
TEST(PosixFileSystem, TemporaryFilesVanishUnlessPublishedAndReplaceAtomically) {
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    test::JobFixture f;
    PosixFileSystem temps(unnamed);
    f.writeFile("dest", "old");
    {
      auto temp = temps.CreateTemporary(f.path(""));
      temp->Write("new", 3);
      temps.Discard(*temp);
    }
    EXPECT_EQ(f.snapshot(), (std::map<std::string, std::string>{{"dest", "old"}}));
    auto temp = temps.CreateTemporary(f.path(""));
    EXPECT_EQ(temp->Length(), 0u);
    temp->Write("new", 3);
    temp->Flush();
    temps.Publish(*temp, f.path("dest"));
    temp->Close();
    temps.Discard(*temp);  // after publishing, discarding must not touch the result
    EXPECT_EQ(f.snapshot(), (std::map<std::string, std::string>{{"dest", "new"}}));
    temps.SyncFolder(f.path(""));
  }
}

}  // namespace
}  // namespace qm
