#include "engine/checksum.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Checksum, OurListPassesSha256sumAndShasumAndReadsBackWhatSha256sumWrites) {
  EXPECT_EQ(HexOf(Sha256Of("abc")),  // FIPS 180-2's example
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  test::JobFixture f;
  // shasum reads sha256sum's escapes for "\" and LF, not for CR.
  const std::vector<std::pair<std::string, bool>> names = {
      {"movie.001", true},     {" lead & 'q' $x.002", true}, {"a\\b.003", true},
      {"new\nline.004", true}, {"c\rr.005", false},          {"*star.006", true},
      {"日本語.007", true}};
  std::vector<ChecksumEntry> entries;
  for (const auto& [name, shasum] : names) {
    f.writeFile(name, test::JobFixture::pattern(100 + name.size()));
    entries.push_back({name, Sha256Of(f.readFile(name))});
    f.writeFile("one.sha256", ChecksumFileText({entries.back()}));
    const std::string in = "cd '" + f.folder.path() + "' && ";
    EXPECT_EQ(run(in + "sha256sum -c --strict --quiet one.sha256"), 0) << name;
    if (shasum) {
      EXPECT_EQ(run(in + "shasum -a 256 -c one.sha256 >/dev/null"), 0) << name;
    }
    // sha256sum's own line for the file reads back as the name and the digest.
    std::string quotedName = "'";
    for (char c : name)
      quotedName += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quotedName += "'";
    EXPECT_EQ(run(in + "sha256sum " + quotedName + " >gnu.sha256"), 0);
    const auto gnu = ParseChecksumFile(f.readFile("gnu.sha256"));
    ASSERT_EQ(gnu.size(), 1u);
    EXPECT_EQ(std::pair(gnu[0].name, gnu[0].digest), std::pair(name, entries.back().digest));
  }
  const auto all = ParseChecksumFile(ChecksumFileText(entries));
  ASSERT_EQ(all.size(), entries.size());
  EXPECT_EQ(all[3].name, "new\nline.004");
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

TEST(Checksum, HasherGivesEachRangesDigestFindsTheMismatchAndStopsAtAShortFile) {
  test::JobFixture f;
  const std::string bytes = test::JobFixture::pattern(5'000'000);
  f.writeFile("source", bytes);
  std::shared_ptr<File> source = f.fs.OpenRead(f.path("source"));
  BackgroundHasher hasher(2);  // past two waiting, Add hashes on this thread too
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
  for (std::uint64_t at = 0; at < bytes.size(); at += 1'234'567)
    ranges.push_back({at, std::min<std::uint64_t>(1'234'567, bytes.size() - at)});
  ranges.push_back({0, 0});
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    const Digest right =
        Sha256Of(std::string_view(bytes).substr(ranges[i].first, ranges[i].second));
    Digest expected = right;
    if (i == 3 || i == 1) expected[0] ^= 1;
    hasher.Add(source, ranges[i].first, ranges[i].second, expected);
  }
  const std::vector<Digest> digests = hasher.Finish();
  for (std::size_t i = 0; i < ranges.size(); ++i)
    EXPECT_EQ(digests[i],
              Sha256Of(std::string_view(bytes).substr(ranges[i].first, ranges[i].second)));
  EXPECT_EQ(hasher.FirstMismatch(), std::optional<std::size_t>(1));

  BackgroundHasher past;
  past.Add(source, bytes.size() - 10, 11);
  EXPECT_THROW(past.Finish(), FileError);
}

}  // namespace
}  // namespace qm
