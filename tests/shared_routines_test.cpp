#include "engine/shared_routines.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "tests/fakes/job_fixture.h"

namespace qm {
namespace {

using test::JobFixture;
using test::Op;

TEST(FileExists, AnswersOnlyForOrdinaryFiles) {
  JobFixture f;
  f.writeFile("movie.avi", "data");
  f.writeFile("empty", "");
  ::mkdir(f.path("folder").c_str(), 0755);
  ::symlink(f.path("movie.avi").c_str(), f.path("link").c_str());
  ::symlink(f.path("nowhere").c_str(), f.path("dangling").c_str());
  ::mkfifo(f.path("pipe").c_str(), 0644);

  EXPECT_TRUE(FileExists(f.fs, f.path("movie.avi")));
  EXPECT_TRUE(FileExists(f.fs, f.path("empty")));
  EXPECT_TRUE(FileExists(f.fs, f.path("link")));  // a link to a file counts
  EXPECT_FALSE(FileExists(f.fs, f.path("dangling")));
  EXPECT_FALSE(FileExists(f.fs, f.path("folder")));
  EXPECT_FALSE(FileExists(f.fs, f.path("pipe")));
  EXPECT_FALSE(FileExists(f.fs, f.path("missing.avi")));
  EXPECT_FALSE(FileExists(f.fs, "/dev/null"));
}

TEST(FileExists, RefusesUnsearchableNamesWithoutAskingTheDisk) {
  JobFixture f;
  f.writeFile("x", "1");
  ::mkdir(f.path("folder").c_str(), 0755);
  // Each of these names something that exists if the last character were ignored.
  for (const std::string& name : {std::string(), f.path("folder/"), f.path("x") + ":",
                                  f.path("x") + "*", f.path("x") + ".", f.path("folder/.")}) {
    EXPECT_FALSE(FileExists(f.fs, name)) << name;
  }
  EXPECT_EQ(f.fs.calls(Op::Stat), 0);
  // "*" and "?" elsewhere are plain characters, not wildcards.
  f.writeFile("a*b?c", "1");
  EXPECT_TRUE(FileExists(f.fs, f.path("a*b?c")));
  EXPECT_FALSE(FileExists(f.fs, f.path("a?b*c")));
  EXPECT_FALSE(FileExists(f.fs, f.path("?")));
}

TEST(Pause, WaitsAnEightiethOfItsArgumentOnThePump) {
  test::ScriptedPump pump;
  pump.clock = 1000.0;
  Pause(pump, 1);
  EXPECT_DOUBLE_EQ(pump.clock, 1000.0 + 1.0 / 80);
  EXPECT_EQ(pump.calls, 1);  // blocks on the pump once instead of spinning
  Pause(pump, 0.2);
  EXPECT_DOUBLE_EQ(pump.clock, 1000.0 + 1.0 / 80 + 0.2 / 80);
  Pause(pump, 4);
  EXPECT_DOUBLE_EQ(pump.clock, 1000.0 + 1.0 / 80 + 0.2 / 80 + 4.0 / 80);
  EXPECT_EQ(pump.calls, 3);
}

TEST(Pause, ReturnsAtOnceNearMidnight) {
  test::ScriptedPump pump;
  pump.clock = 86400.0 - 3.0;
  Pause(pump, 1);
  EXPECT_EQ(pump.calls, 0);
  pump.clock = 0.0;  // the clock has just fallen back
  Pause(pump, 1);
  EXPECT_EQ(pump.calls, 0);
}

TEST(Pause, LetsEventsRunUntilTheDeadline) {
  // A pump whose events come in small steps: Pause keeps pumping until the wait is over.
  struct SteppingPump : test::ScriptedPump {
    void ProcessEvents(double) override {
      ++calls;
      clock += 0.001;
    }
  } pump;
  pump.clock = 500.0;
  Pause(pump, 1);  // 12.5 ms in steps of 1 ms
  EXPECT_EQ(pump.calls, 13);
  EXPECT_GE(pump.clock, 500.0 + 1.0 / 80);
}

}  // namespace
}  // namespace qm
