#include "engine/part_names.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(PartNames, ReplaceTheLastThreeCharactersByThePartNumber) {
  EXPECT_EQ(PartName("/data/movie.qkd", 1), "/data/movie.001");
  EXPECT_EQ(PartName("/data/movie.qkd", 7), "/data/movie.007");
  EXPECT_EQ(PartName("/data/movie.qkd", 42), "/data/movie.042");
  EXPECT_EQ(PartName("/data/movie.qkd", 120), "/data/movie.120");
  EXPECT_EQ(PartName("/data/movie.qkd", 999), "/data/movie.999");
  // No dot or extension is looked for: exactly three characters go.
  EXPECT_EQ(PartName("/data/movie", 1), "/data/mo001");
  EXPECT_EQ(PartName("archive.gz", 3), "archive003");
}

TEST(PartNames, WrapPast999AsThreeDigitsDo) {
  EXPECT_EQ(PartName("movie.qkd", 1000), "movie.000");
  EXPECT_EQ(PartName("movie.qkd", 1001), PartName("movie.qkd", 1));
}

TEST(PartNames, CountCharactersNotBytes) {
  // "é", "ñ" and "文" take two or three bytes each; a name is never cut inside one.
  EXPECT_EQ(PartName("/d/ciné.mañ", 2), "/d/ciné.002");
  EXPECT_EQ(PartName("/d/电影文件", 5), "/d/电005");
  EXPECT_EQ(BatchFileName("/d/résumé.qkd"), "/d/résumé.bat");
  EXPECT_EQ(BatchFileName("/d/café.文件名"), "/d/café.bat");
  EXPECT_EQ(DataFileTitle("été.avi"), "été.qkd");
}

TEST(PartNames, BatchAndDataFileNames) {
  EXPECT_EQ(BatchFileName("/data/movie.qkd"), "/data/movie.bat");
  EXPECT_EQ(BatchFileName("/data/movie"), "/data/mobat");
  EXPECT_EQ(DataFileTitle("movie.avi"), "movie.qkd");
  EXPECT_EQ(DataFileTitle("archive.gz"), "archiveqkd");
}

}  // namespace
}  // namespace qm
