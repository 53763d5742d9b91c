#include "cli/cli_services.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "engine/shared_routines.h"

namespace qm {
namespace {

// Whatever a FILE* received, read back.
class CapturedStream {
 public:
  CapturedStream() : file_(open_memstream(&data_, &size_)) {}
  ~CapturedStream() {
    std::fclose(file_);
    std::free(data_);
  }
  std::FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

TEST(ProgressLine, DrawsAtMostTenTimesASecondAndClearsItself) {
  CapturedStream out;
  std::chrono::steady_clock::time_point now{};
  ProgressLine line(out.file(), true, [&] { return now; });
  line.Show("part 1");
  now += std::chrono::milliseconds(50);
  line.Show("part 2");  // too soon
  now += std::chrono::milliseconds(60);
  line.Show("part 3");
  line.Show("part 3");
  line.Clear();
  line.Clear();  // nothing left to clear
  EXPECT_EQ(out.text(), "\rpart 1\033[K\rpart 3\033[K\r\033[K");
}

class CliPumpTest : public ::testing::Test {
 protected:
  Form form{"frm"};
  CommandButton cancel{form, "cmdCancel"};
  int clicks = 0;
  volatile std::sig_atomic_t interrupted = 0;

  void SetUp() override {
    cancel.Click = [this] { ++clicks; };
  }
};

TEST_F(CliPumpTest, AnInterruptWaitsUntilCancelCanBeClicked) {
  CliPump pump(interrupted);
  int turns = 0;
  pump.Attach(&cancel, [&] { ++turns; });
  cancel.setVisible(false);
  interrupted = 1;
  Pause(pump, 1);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(interrupted, 1);
  cancel.setVisible(true);
  Pause(pump, 0.2);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(interrupted, 0);
  Pause(pump, 0.2);
  EXPECT_EQ(clicks, 1);  // one interrupt, one click
  EXPECT_EQ(turns, 3);
}

TEST_F(CliPumpTest, PausesNeverWaitAndNeverRunIntoMidnight) {
  // A long run adds up its pauses on the virtual clock. Started close to the midnight guard,
  // where Pause would stop letting events through, an interrupt must still get to Cancel.
  CliPump pump(interrupted, 86390.0);
  pump.Attach(&cancel, {});
  const auto started = std::chrono::steady_clock::now();
  for (int block = 1; block <= 5000; ++block) {
    if (block == 4000) interrupted = 1;
    Pause(pump, 1);
  }
  EXPECT_EQ(clicks, 1);
  // 5000 pauses of 1/80 s would take a minute if they waited.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

}  // namespace
}  // namespace qm
