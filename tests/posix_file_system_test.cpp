#include "platform/posix_file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

// Stat follows links; failures name the file, the action and the reason; Copy and CopyAhead, off
// the 64 KiB grid and past the end of the source, each move what they can and no more.
TEST(PosixFileSystem, StatFailuresAndCopiesOfExactRanges) {
  test::JobFixture f;
  PosixFileSystem fs;
  const std::string dir = f.path("");
  const std::string bytes = test::JobFixture::pattern(300000);
  f.writeFile("src", bytes);
  ASSERT_EQ(::symlink((dir + "src").c_str(), (dir + "link").c_str()), 0);
  EXPECT_EQ(std::tuple(fs.Stat(dir + "src").regular, fs.Stat(dir + "src").length),
            std::tuple(true, 300000u));
  EXPECT_EQ(std::tuple(fs.Stat(dir).exists, fs.Stat(dir).regular), std::tuple(true, false));
  EXPECT_EQ(fs.Stat(dir + "link").inode, fs.Stat(dir + "src").inode);
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
  EXPECT_THROW(fs.Remove(dir + "missing"), FileError);
  using U = std::uint64_t;
  for (const auto& [head, asked, moved] :
       {std::tuple<U, U, U>(1000, 100000, 100000), {70000, 900000, 230000}}) {
    auto in = fs.OpenRead(f.path("src"));
    auto out = fs.Create(f.path("dst"));
    ASSERT_EQ(fs.Copy(*in, *out, head), head);
    EXPECT_EQ(fs.CopyAhead(*in, *out, asked), moved);
    EXPECT_EQ(fs.Copy(*in, *out, 1000000), bytes.size() - head - moved);
    out->Close();
    EXPECT_EQ(f.readFile("dst"), bytes);
  }
}

}  // namespace
}  // namespace qm
