#include "engine/shared_routines.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

TEST(FileExists, FindsOrdinaryFilesOnlyAndTakesWildcardsAsPlainCharacters) {
  test::JobFixture f;
  f.writeFile("movie.avi", "data");
  f.writeFile("a*b?c", "");
  ::mkdir(f.path("folder").c_str(), 0755);
  ::symlink(f.path("movie.avi").c_str(), f.path("link").c_str());
  ::symlink(f.path("nowhere").c_str(), f.path("dangling").c_str());
  for (const char* name : {"movie.avi", "link", "a*b?c"})
    EXPECT_TRUE(FileExists(f.fs, f.path(name))) << name;
  for (const char* name : {"a?b*c", "dangling", "folder", "missing", "../../dev/null"})
    EXPECT_FALSE(FileExists(f.fs, f.path(name))) << name;
  // Each of these would name something that exists without its last character, and is
  // answered without asking the disk.
  f.fs.reset();
  for (const char* name : {"", "folder/", "movie.avi:", "movie.avi*", "movie.avi.", "folder/."})
    EXPECT_FALSE(FileExists(f.fs, name[0] ? f.path(name) : "")) << name;
  EXPECT_EQ(f.fs.calls(test::Op::Stat), 0);
}

// On a pump whose clock moves 1/1024 s at each turn, Pause turns it until duration/80 seconds
// have passed, and not at all in the last seconds before midnight or at midnight itself.
TEST(Pause, PumpsEventsForAnEightiethOfItsArgumentButNeverAcrossMidnight) {
  struct SteppingPump : test::ScriptedPump {
    void ProcessEvents(double) override { ++calls, clock += 1.0 / 1024; }
  } pump;
  const std::tuple<double, double, int> cases[] = {
      {1024, 1, 13}, {1024, 0.2, 3}, {86400 - 3, 1, 0}, {0, 1, 0}};
  for (const auto& [start, duration, turns] : cases) {
    pump.clock = start;
    pump.calls = 0;
    Pause(pump, duration);
    EXPECT_EQ(pump.calls, turns) << start << " " << duration;
  }
}

}  // namespace
}  // namespace qm
