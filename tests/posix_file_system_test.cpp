#include "platform/posix_file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "tests/fakes/fault_file_system.h"

namespace qm {
namespace {

class PosixFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qm-fs-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = std::string(pattern) + "/";
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir + name, std::ios::binary) << bytes;
  }
  std::string get(const std::string& name) {
    std::ifstream in(dir + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::set<std::string> names() {
    std::set<std::string> out;
    DIR* d = ::opendir(dir.c_str());
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") out.insert(n);
    }
    ::closedir(d);
    return out;
  }

  std::string dir;
  PosixFileSystem fs;
};

TEST_F(PosixFileSystemTest, StatTellsFilesFromFoldersAndFollowsLinks) {
  put("a", "12345");
  ASSERT_EQ(::mkdir((dir + "sub").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((dir + "a").c_str(), (dir + "link").c_str()), 0);
  EXPECT_TRUE(fs.Stat(dir + "a").regular);
  EXPECT_EQ(fs.Stat(dir + "a").length, 5u);
  EXPECT_TRUE(fs.Stat(dir + "sub").exists);
  EXPECT_FALSE(fs.Stat(dir + "sub").regular);
  EXPECT_TRUE(fs.Stat(dir + "link").regular);
  EXPECT_EQ(fs.Stat(dir + "link").inode, fs.Stat(dir + "a").inode);
  EXPECT_FALSE(fs.Stat(dir + "missing").exists);
  EXPECT_FALSE(fs.Stat("").exists);
}

TEST_F(PosixFileSystemTest, FailuresNameTheFileTheActionAndTheReason) {
  try {
    fs.OpenRead(dir + "missing");
    FAIL() << "opened a missing file";
  } catch (const FileError& e) {
    EXPECT_EQ(e.path(), dir + "missing");
    EXPECT_EQ(e.error(), ENOENT);
    EXPECT_EQ(std::string(e.what()),
              "Could not open for reading \"" + dir + "missing\": No such file or directory");
  }
  EXPECT_THROW(fs.OpenRead(dir), FileError);  // a folder is not a file to read
  EXPECT_THROW(fs.Create(dir + "no/such/folder"), FileError);
  EXPECT_THROW(fs.Remove(dir + "missing"), FileError);
}

TEST_F(PosixFileSystemTest, CopyMovesExactRangesAndStopsAtTheEndOfTheSource) {
  std::string bytes;
  for (int i = 0; i < 300000; ++i)
    bytes += static_cast<char>(i * 7);
  put("src", bytes);
  auto in = fs.OpenRead(dir + "src");
  auto out = fs.Create(dir + "dst");
  EXPECT_EQ(fs.Copy(*in, *out, 65000), 65000u);
  EXPECT_EQ(fs.Copy(*in, *out, 0), 0u);
  EXPECT_EQ(fs.Copy(*in, *out, 1000000), 235000u);
  out->Close();
  EXPECT_EQ(get("dst"), bytes);
}

TEST_F(PosixFileSystemTest, CopyAheadMovesWhatItCanAndCopyTheRest) {
  std::string bytes(300000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(i * 13);
  put("src", bytes);
  // Off the 64 KiB grid; from a device the kernel will not copy from; after that refusal,
  // which was that file's only, past the end of the source.
  const std::string zeros(5000, '\0');
  for (const auto& [from, head, asked, moved, all] : std::vector<
           std::tuple<std::string, std::uint64_t, std::uint64_t, std::uint64_t, std::string>>{
           {dir + "src", 1000, 100000, 100000, bytes},
           {"/dev/zero", 0, 5000, 0, zeros},
           {dir + "src", 70000, 900000, 230000, bytes}}) {
    auto in = fs.OpenRead(from);
    auto out = fs.Create(dir + "dst");
    ASSERT_EQ(fs.Copy(*in, *out, head), head);
    EXPECT_EQ(fs.CopyAhead(*in, *out, asked), moved);
    EXPECT_EQ(fs.Copy(*in, *out, all.size() - head - moved), all.size() - head - moved);
    out->Close();
    EXPECT_EQ(get("dst"), all);
  }
}

TEST_F(PosixFileSystemTest, TemporaryFilesVanishUnlessPublishedAndReplaceAtomically) {
  // Unnamed where the system allows, and the named way other file systems need.
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    PosixFileSystem temps(unnamed);
    put("dest", "old");
    {
      auto temp = temps.CreateTemporary(dir);
      temp->Write("new", 3);
      temps.Discard(*temp);
    }
    EXPECT_EQ(names(), (std::set<std::string>{"dest"}));
    EXPECT_EQ(get("dest"), "old");

    auto temp = temps.CreateTemporary(dir);
    EXPECT_EQ(temp->Length(), 0u);
    temp->Write("new", 3);
    temp->Flush();
    temps.Publish(*temp, dir + "dest");
    temp->Close();
    temps.Discard(*temp);  // after publishing, discarding must not touch the result
    EXPECT_EQ(names(), (std::set<std::string>{"dest"}));
    EXPECT_EQ(get("dest"), "new");
    temps.SyncFolder(dir);
  }
}

TEST_F(PosixFileSystemTest, FaultWrapperFailsTheChosenCallOnly) {
  put("src", std::string(10, 'x'));
  test::FaultFileSystem faulty(fs);
  faulty.failAt(test::Op::Write, 2, ENOSPC);
  auto out = faulty.Create(dir + "out");
  out->Write("a", 1);
  try {
    out->Write("b", 1);
    FAIL() << "second write did not fail";
  } catch (const FileError& e) {
    EXPECT_EQ(e.reason(), "No space left on device");
    EXPECT_EQ(e.path(), dir + "out");
  }
  out->Write("c", 1);
  EXPECT_TRUE(faulty.fired());
  EXPECT_EQ(faulty.calls(test::Op::Write), 3);
}

}  // namespace
}  // namespace qm
