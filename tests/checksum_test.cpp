#include "engine/checksum.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

// Runs `command` in the fixture's folder; returns its exit status.
int run(const test::JobFixture& f, const std::string& command) {
  const int status = std::system(("cd '" + f.folder.path() + "' && " + command).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Our list passes sha256sum's check, and sha256sum's own line for a file reads back as its name
// and digest, also for the names it escapes.
TEST(Checksum, OurListPassesSha256sumAndReadsBackWhatSha256sumWrites) {
  test::JobFixture f;
  std::vector<ChecksumEntry> entries;
  for (const std::string name :
       {"movie.001", " lead & 'q' $x.002", "a\\b.003", "new\nline.004", "c\rr.005", "*star.006"}) {
    f.writeFile(name, test::JobFixture::pattern(100 + name.size()));
    entries.push_back({name, Sha256Of(f.readFile(name))});
    f.writeFile("one.sha256", ChecksumFileText({entries.back()}));
    f.writeFile("list", name + '\0');
    EXPECT_EQ(run(f, "sha256sum -c --strict --quiet one.sha256"), 0) << name;
    EXPECT_EQ(run(f, "xargs -0 sha256sum <list >gnu.sha256"), 0);
    const auto gnu = ParseChecksumFile(f.readFile("gnu.sha256"));
    ASSERT_EQ(gnu.size(), 1u);
    EXPECT_EQ(std::pair(gnu[0].name, gnu[0].digest), std::pair(name, entries.back().digest));
  }
  EXPECT_EQ(ParseChecksumFile(ChecksumFileText(entries)).size(), entries.size());
  EXPECT_EQ(ParseChecksumFile(std::string(64, 'A') + " *bin.001\r\n")[0].name, "bin.001");
}

TEST(Checksum, RefusesAnythingButDigestsAndNames) {
  const std::string hex(64, 'a');
  for (const std::string& bytes :
       {std::string(), hex + "  a\n\n", hex + " a\n", hex + "  \n", hex.substr(1) + "  a\n",
        "g" + hex.substr(1) + "  a\n", hex + "\ta\n", "\\" + hex + "  a\\x\n",
        "\\" + hex + "  a\\\n", hex + "  a\n" + hex + "  a\n", "SHA256 (a) = " + hex + "\n",
        hex + "  a" + std::string(1, '\0') + "\n"}) {
    EXPECT_THROW(ParseChecksumFile(bytes), std::invalid_argument) << bytes;
  }
}

// Each range's digest comes back in order, the first range that differs from its expected
// digest is named, and a range past the end of a short file fails the whole.
TEST(Checksum, HasherGivesEachRangesDigestFindsTheMismatchAndStopsAtAShortFile) {
  test::JobFixture f;
  const std::string bytes = test::JobFixture::pattern(5'000'000);
  f.writeFile("source", bytes);
  std::shared_ptr<File> source = f.fs.OpenRead(f.path("source"));
  BackgroundHasher hasher(2);  // past two waiting, Add hashes on this thread too
  std::vector<Digest> right;
  for (std::uint64_t at = 0; at < bytes.size(); at += 1'234'567) {
    const std::uint64_t size = std::min<std::uint64_t>(1'234'567, bytes.size() - at);
    right.push_back(Sha256Of(std::string_view(bytes).substr(at, size)));
    Digest expected = right.back();
    if (right.size() == 2 || right.size() == 4) expected[0] ^= 1;
    hasher.Add(source, at, size, expected);
  }
  EXPECT_EQ(hasher.Finish(), right);
  EXPECT_EQ(hasher.FirstMismatch(), std::optional<std::size_t>(1));
  BackgroundHasher past;
  past.Add(source, bytes.size() - 10, 11);
  EXPECT_THROW(past.Finish(), FileError);
}

}  // namespace
}  // namespace qm
