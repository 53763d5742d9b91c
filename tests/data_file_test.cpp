#include "engine/data_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

TEST(DataFile, ReadsLineOneWholeFromAnyWriterAndRefusesANameOutsideItsFolderOrABadCount) {
  // clang-format off
  const std::tuple<std::string, std::string, int> cases[] = {
      {"  a,b.zip\n999", "  a,b.zip", 999}, {"movie.avi\r\n 012 \r\nextra\r\n", "movie.avi", 12},
      {"\xEF\xBB\xBF\"movie.avi\"\r\n1\r\n", "movie.avi", 1}, {"caf\xE9 \x80.avi\r\n2\r\n", "café €.avi", 2},
      {"\"a\" \"b\"\r\n3\r\n", "a\" \"b", 3}};
  // clang-format on
  for (const auto& [bytes, name, count] : cases) {
    const DataFileContents read = ParseDataFile(bytes);
    EXPECT_EQ(std::pair(read.name, read.count), std::pair(name, count)) << bytes;
  }
  std::vector<std::string> refused = {"", "movie.avi\r\n", std::string("a\0b\r\n3\r\n", 8)};
  for (const char* count : {"0", "1000", "-1", "+3", "3abc", "", "99999999999999999999"})
    refused.push_back("movie.avi\r\n" + std::string(count) + "\r\n");
  for (const std::string name :
       {"", ".", "\"..\"", "sub/movie.avi", "..\\movie.avi", "a\tb", "a\xC2\x85", "\x81.avi"})
    refused.push_back(name + "\r\n3\r\n");
  for (const std::string& bytes : refused)
    EXPECT_THROW(ParseDataFile(bytes), std::invalid_argument) << bytes;
}

// Written as the name and the count ended by CR LF, over a link rather than through it, and read
// back as written; the reader names the file and what is wrong, and reads no huge file.
TEST(DataFile, IsWrittenWholeReadBackAsWrittenOrRefusedWithTheFileNamed) {
  test::JobFixture f;
  f.writeFile("bad.qkd", "movie.avi\r\nthree\r\n");
  f.makeSparse("huge.qkd", 4ull << 30);
  // clang-format off
  for (const auto& [name, reason] : {std::pair{"missing.qkd", "No such file or directory"},
       {"bad.qkd", "(\"three\") is not a number of parts from 1 to 999"},
       {"huge.qkd", "far too long for a data file"}}) {
    // clang-format on
    try {
      ReadDataFile(f.fs, f.path(name));
      ADD_FAILURE() << name << " was read";
    } catch (const FileError& error) {
      EXPECT_EQ(error.path() + ": " + error.action(), f.path(name) + ": read the data file");
      EXPECT_NE(error.reason().find(reason), std::string::npos) << error.reason();
    }
  }
  EXPECT_EQ(f.fs.calls(test::Op::Read), 1);  // only bad.qkd: the others are refused by their length
  f.writeFile("elsewhere.txt", "not the data file");
  ::symlink(f.path("elsewhere.txt").c_str(), f.path("movie.qkd").c_str());
  WriteDataFile(f.fs, f.path("movie.qkd"), "movie.avi", 3);
  EXPECT_EQ(f.readFile("movie.qkd"), "movie.avi\r\n3\r\n");     // the 14 bytes
  EXPECT_EQ(f.readFile("elsewhere.txt"), "not the data file");  // the link replaced, not followed

  for (const std::string name :
       {" blank ", "\"wholly quoted\"", "\xEF\xBB\xBFstarts with U+FEFF"}) {
    WriteDataFile(f.fs, f.path("movie.qkd"), name, 12);
    EXPECT_EQ(ReadDataFile(f.fs, f.path("movie.qkd")).name, name);
  }
}

}  // namespace
}  // namespace qm
