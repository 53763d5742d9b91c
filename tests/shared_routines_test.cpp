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
  ::mkfifo(f.path("pipe").c_str(), 0644);
  for (const char* name : {"movie.avi", "link", "a*b?c"})
    EXPECT_TRUE(FileExists(f.fs, f.path(name))) << name;
  for (const char* name : {"a?b*c", "dangling", "folder", "pipe", "missing", "../../dev/null"})
    EXPECT_FALSE(FileExists(f.fs, f.path(name))) << name;
  // Each of these would name something that exists without its last character, and is
  // answered without asking the disk.
  f.fs.reset();
  for (const char* name : {"", "folder/", "movie.avi:", "movie.avi*", "movie.avi.", "folder/."})
    EXPECT_FALSE(FileExists(f.fs, name[0] ? f.path(name) : "")) << name;
  EXPECT_EQ(f.fs.calls(test::Op::Stat), 0);
}

TEST(Pause, WaitsAnEightiethOfItsArgumentOnThePumpButNeverAcrossMidnight) {
  test::ScriptedPump pump;
  pump.clock = 1000.0;
  Pause(pump, 1);
  Pause(pump, 0.2);
  EXPECT_DOUBLE_EQ(pump.clock, 1000.0 + 1.2 / 80);
  EXPECT_EQ(pump.calls, 2);  // blocks on the pump instead of spinning
  for (const double late : {86400.0 - 3, 0.0}) {
    pump.clock = late;
    Pause(pump, 1);
  }
  EXPECT_EQ(pump.calls, 2);

  // A pump that returns before the deadline (an event came) is called again until it passes.
  struct SteppingPump : test::ScriptedPump {
    void ProcessEvents(double) override { ++calls, clock += 0.001; }
  } stepping;
  stepping.clock = 500.0;
  Pause(stepping, 1);
  EXPECT_EQ(stepping.calls, 13);
}

}  // namespace
}  // namespace qm
