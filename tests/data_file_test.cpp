#include "engine/data_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <stdexcept>
#include <vector>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::JobFixture;
using test::Op;

// The reason the parser gives for refusing `bytes`, or "" when it accepts them.
std::string Refusal(const std::string& bytes) {
  try {
    ParseDataFile(bytes);
    return {};
  } catch (const std::invalid_argument& wrong) {
    return wrong.what();
  }
}

TEST(DataFile, IsTheNameAndTheCountEachEndedByCrLf) {
  JobFixture f;
  WriteDataFile(f.fs, f.path("movie.qkd"), "movie.avi", 3);
  EXPECT_EQ(f.readFile("movie.qkd"), "movie.avi\r\n3\r\n");
  EXPECT_EQ(f.sizeOf("movie.qkd"), 14u);

  WriteDataFile(f.fs, f.path("movie.qkd"), "other.bin", 999);  // replaced, not appended to
  EXPECT_EQ(f.readFile("movie.qkd"), "other.bin\r\n999\r\n");
}

TEST(DataFile, ReplacesALinkOfItsNameInsteadOfWritingThroughIt) {
  JobFixture f;
  f.writeFile("elsewhere.txt", "keep me");
  ASSERT_EQ(::symlink(f.path("elsewhere.txt").c_str(), f.path("movie.qkd").c_str()), 0);
  WriteDataFile(f.fs, f.path("movie.qkd"), "movie.avi", 2);
  EXPECT_EQ(f.readFile("elsewhere.txt"), "keep me");
  EXPECT_EQ(f.readFile("movie.qkd"), "movie.avi\r\n2\r\n");
}

TEST(DataFile, ReadsBackEveryNameTheWriterWrites) {
  JobFixture f;
  for (const std::string& name : std::vector<std::string>{
           "movie.avi", "a,b.zip", "  leading blanks.txt", "trailing blank ", "\"quoted\" part.txt",
           "100% & more.avi", "ciné – été 文件.mkv", "x", "'single'", "a\"b", "\"wholly quoted\"",
           "\"a\" and \"b\"", "\xEF\xBB\xBFstarts with U+FEFF"}) {
    WriteDataFile(f.fs, f.path("set.qkd"), name, 12);
    const DataFileContents read = ReadDataFile(f.fs, f.path("set.qkd"));
    EXPECT_EQ(read.name, name);
    EXPECT_EQ(read.count, 12);
  }
}

TEST(DataFile, AcceptsWhatOtherWritersProduce) {
  EXPECT_EQ(ParseDataFile("movie.avi\n3\n").name, "movie.avi");  // LF only
  EXPECT_EQ(ParseDataFile("movie.avi\r\n3").count, 3);           // no final line end
  EXPECT_EQ(ParseDataFile("movie.avi\r\n012\r\n").count, 12);
  EXPECT_EQ(ParseDataFile("movie.avi\r\n 7 \r\n").count, 7);
  EXPECT_EQ(ParseDataFile("movie.avi\r\n5\r\nextra\r\n").count, 5);
  EXPECT_EQ(ParseDataFile("\"movie.avi\"\r\n3\r\n").name, "movie.avi");  // wholly quoted
  EXPECT_EQ(ParseDataFile("\"a\" and \"b\"\r\n3\r\n").name, "a\" and \"b");
  EXPECT_EQ(ParseDataFile("\xEF\xBB\xBFmovie.avi\r\n3\r\n").name, "movie.avi");  // BOM
  // Not UTF-8: a Windows machine's code page.
  EXPECT_EQ(ParseDataFile("caf\xE9 \x80.avi\r\n2\r\n").name, "café €.avi");
  EXPECT_EQ(ParseDataFile("café.avi\r\n2\r\n").name, "café.avi");
}

TEST(DataFile, RefusesFilesThatDoNotHoldACount) {
  EXPECT_NE(Refusal(""), "");
  EXPECT_NE(Refusal("movie.avi"), "");
  EXPECT_NE(Refusal("movie.avi\r\n"), "");
  for (const std::string& count :
       std::vector<std::string>{"0", "1000", "-1", "+3", "2.5", "abc", "3abc", "", " ", "1e2",
                                "32768", "99999999999999999999"}) {
    const std::string why = Refusal("movie.avi\r\n" + count + "\r\n");
    EXPECT_NE(why.find("not a number of parts from 1 to 999"), std::string::npos) << count;
  }
  EXPECT_EQ(Refusal("movie.avi\r\n1\r\n"), "");
  EXPECT_EQ(Refusal("movie.avi\r\n999\r\n"), "");
}

TEST(DataFile, RefusesNamesThatWouldLeadOutsideItsFolder) {
  for (const std::string& name : std::vector<std::string>{
           "", ".", "..", "\"\"", "\"..\"", "../movie.avi", "sub/movie.avi", "/etc/passwd",
           "..\\movie.avi", "C:\\movie.avi", std::string("a\0b", 3), "a\tb", "a\rb", "a\x7f",
           "a\xC2\x85"
           "b",
           "\x81.avi"}) {
    EXPECT_NE(Refusal(name + "\r\n3\r\n"), "") << name;
  }
}

TEST(DataFile, NeverFailsOtherThanByRefusing) {
  // Bytes from anywhere must end in a name that is safe to join into, or in a refusal.
  std::mt19937 random(42);
  std::string alphabet = "ab.,\"/\\\r\n 019\x80\xC3\xA9\xEF\xBB\xBF";
  alphabet += '\0';
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 24, ' ');
    for (char& c : bytes)
      c = alphabet[random() % alphabet.size()];
    try {
      const DataFileContents read = ParseDataFile(bytes);
      EXPECT_FALSE(read.name.empty());
      EXPECT_EQ(read.name.find_first_of(std::string("/\\\r\n\0", 5)), std::string::npos);
      EXPECT_NE(read.name, "..");
      EXPECT_GE(read.count, 1);
      EXPECT_LE(read.count, 999);
    } catch (const std::invalid_argument&) {
    }
  }
}

TEST(DataFile, ReaderReportsTheFileAndWhatIsWrong) {
  JobFixture f;
  try {
    ReadDataFile(f.fs, f.path("missing.qkd"));
    FAIL();
  } catch (const FileError& error) {
    EXPECT_EQ(error.path(), f.path("missing.qkd"));
    EXPECT_EQ(error.action(), "read the data file");
    EXPECT_EQ(error.reason(), "No such file or directory");
  }
  f.writeFile("bad.qkd", "movie.avi\r\nthree\r\n");
  try {
    ReadDataFile(f.fs, f.path("bad.qkd"));
    FAIL();
  } catch (const FileError& error) {
    EXPECT_EQ(error.path(), f.path("bad.qkd"));
    EXPECT_NE(std::string(error.what()).find("not a number of parts"), std::string::npos);
  }
}

TEST(DataFile, RefusesHugeFilesWithoutReadingThem) {
  JobFixture f;
  f.makeSparse("huge.qkd", 4ull << 30);
  EXPECT_THROW(ReadDataFile(f.fs, f.path("huge.qkd")), FileError);
  EXPECT_EQ(f.fs.calls(Op::Read), 0);

  // Just past the limit: a name padded to 64 KiB with a valid count after it.
  f.writeFile("long.qkd", std::string(64 * 1024, 'a') + "\r\n3\r\n");
  EXPECT_THROW(ReadDataFile(f.fs, f.path("long.qkd")), FileError);
  f.writeFile("long.qkd", std::string(1000, 'a') + "\r\n3\r\n");
  EXPECT_EQ(ReadDataFile(f.fs, f.path("long.qkd")).name, std::string(1000, 'a'));
}

TEST(DataFile, WriterFailuresNameTheFile) {
  JobFixture f;
  EXPECT_THROW(WriteDataFile(f.fs, f.path("no/such/folder/movie.qkd"), "movie.avi", 3), FileError);
  f.fs.failAt(Op::Write, 1, ENOSPC);
  try {
    WriteDataFile(f.fs, f.path("movie.qkd"), "movie.avi", 3);
    FAIL();
  } catch (const FileError& error) {
    EXPECT_EQ(error.path(), f.path("movie.qkd"));
    EXPECT_EQ(error.error(), ENOSPC);
  }
}

}  // namespace
}  // namespace qm
