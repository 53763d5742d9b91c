#include "engine/batch_file.h"

#include <gtest/gtest.h>

#include <string>

namespace qm {
namespace {

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

// cmd must name the real files: a "%" of a name is doubled, and between the single quotes of the
// overwrite question, where no double quotes protect it, & | < > ^ are escaped with "^" too.
// Each part is checked, copied and deleted; lines end in CR LF. Each case: the title, and the
// title less "avi" as it must appear in double quotes and in single quotes.
TEST(BatchFile, NamesEveryPartSafelyForCmd) {
  const std::string cases[][3] = {
      {"movie.avi", "movie.", "movie."},
      {"my film, 100% & more – ciné 文.avi", "my film, 100%% & more – ciné 文.",
       "my film, 100%% ^& more – ciné 文."},
      {"%PATH%|a<b>c^d.avi", "%%PATH%%|a<b>c^d.", "%%PATH%%^|a^<b^>c^^d."}};
  for (const auto& [title, quoted, unquoted] : cases) {
    const std::string text = BatchFileText(title, 3);
    EXPECT_EQ(Count(text, "\n"), Count(text, "\r\n")) << title;
    EXPECT_EQ(Count(text, "'" + unquoted + "avi' already exists"), 1u) << title;
    for (const char* part : {"001", "002", "003"})
      EXPECT_EQ(Count(text, "\"" + quoted + part + "\""), 4u) << title << part;
    EXPECT_EQ(Count(text, "\"" + quoted + "004\""), 0u);
    EXPECT_EQ(Count(text, "del \"" + quoted + "qkd\""), 1u);
  }
  EXPECT_EQ(Count(BatchFileText("movie.avi", 999), "\r\n"), 3050u);
}

}  // namespace
}  // namespace qm
