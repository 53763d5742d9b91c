// Measures what a paced split costs while it waits: runs a real split of a file of the given
// size (default 32 MB) through the desktop program, and reports the wall-clock and processor
// time spent inside the event pump against the whole run.
//
//   QT_QPA_PLATFORM=offscreen build/tests/qt/qt_pump_cpu_probe [megabytes]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <QApplication>
#include <QTemporaryDir>

#include "platform/posix_file_system.h"
#include "platform/qt/desktop_program.h"
#include "platform/qt/program_resources.h"
#include "platform/qt/qt_event_pump.h"

namespace {

double cpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The real pump, with a stopwatch around every wait.
class MeasuringPump : public qm::EventPump {
 public:
  double Timer() override { return real.Timer(); }
  void ProcessEvents(double deadline) override {
    const double wall = wallSeconds();
    const double cpu = cpuSeconds(RUSAGE_THREAD);
    real.ProcessEvents(deadline);
    waitWall += wallSeconds() - wall;
    waitCpu += cpuSeconds(RUSAGE_THREAD) - cpu;
    ++calls;
  }
  qm::QtEventPump real;
  double waitWall = 0;
  double waitCpu = 0;
  int calls = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  qm::LoadProgramResources();
  qm::UseProgramLook();
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 32;

  QTemporaryDir dir;
  const std::string source = dir.filePath(QStringLiteral("probe.bin")).toStdString();
  {
    std::ofstream out(source, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
      block[i] = static_cast<char>(i * 7);
    for (long i = 0; i < megabytes; ++i)
      out.write(block.data(), std::streamsize(block.size()));
  }

  qm::PosixFileSystem fs;
  MeasuringPump pump;
  qm::DesktopProgram program(fs, pump);
  program.Start(source);
  // 5 MB parts, the largest preset.
  program.form.Option5.click();

  const double wall = wallSeconds();
  const double cpu = cpuSeconds(RUSAGE_SELF);
  program.form.cmdBegin.click();
  const double runWall = wallSeconds() - wall;
  const double runCpu = cpuSeconds(RUSAGE_SELF) - cpu;

  std::printf("split of %ld MB into %s parts: %.2f s, %.3f s of processor time\n", megabytes,
              program.form.lblNumber.caption().c_str(), runWall, runCpu);
  std::printf("waiting: %d calls, %.2f s, %.3f s of processor time (%.2f%% of the wait)\n",
              pump.calls, pump.waitWall, pump.waitCpu,
              pump.waitWall > 0 ? 100.0 * pump.waitCpu / pump.waitWall : 0.0);
  return 0;
}
