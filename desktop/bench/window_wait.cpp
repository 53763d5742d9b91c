// Times a paced split in the desktop program: how long it takes against the waits it is meant to
// make, and how much processor time the waiting costs. Run under QT_QPA_PLATFORM=offscreen by
// bench/run.sh; prints key=value lines for the script to read.
//
//   window_wait SOURCE     splits SOURCE into 1.4 MB parts beside it, as a user pressing Begin

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include <QApplication>

#include "desktop/desktop_program.h"
#include "desktop/program_resources.h"
#include "desktop/qt_event_pump.h"
#include "platform/posix_file_system.h"

namespace {

double seconds(const timespec& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double threadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return seconds(t);
}

double processCpu() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wallNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The real file system, keeping count of the engine's own copying: the blocks (one Copy each)
// and the time spent moving bytes, ahead of the blocks or with them. Everything else is
// inherited, so the measurement always runs the program's own file-system code.
class CopyTimingFileSystem : public qm::PosixFileSystem {
 public:
  std::uint64_t Copy(qm::File& from, qm::File& to, std::uint64_t n) override {
    ++copies;
    return Timed([&] { return PosixFileSystem::Copy(from, to, n); });
  }
  std::uint64_t CopyAhead(qm::File& from, qm::File& to, std::uint64_t n) override {
    return Timed([&] { return PosixFileSystem::CopyAhead(from, to, n); });
  }

  long copies = 0;
  double copyWall = 0;
  double copyCpu = 0;

 private:
  template <typename Move>
  std::uint64_t Timed(Move move) {
    const double wall = wallNow();
    const double cpu = threadCpu();
    const std::uint64_t moved = move();
    copyCpu += threadCpu() - cpu;
    copyWall += wallNow() - wall;
    return moved;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SOURCE\n", argv[0]);
    return 64;
  }
  const std::string source = argv[1];
  // Offscreen unless told otherwise: the measurement needs no screen, only the real event loop
  // and the real painting of the window.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  QApplication app(argc, argv);
  qm::LoadProgramResources();
  qm::UseProgramLook();

  CopyTimingFileSystem fs;
  qm::QtEventPump pump;
  qm::DesktopProgram program(fs, pump);
  program.Start(source);  // the source analysis picks Split mode and the destination
  QApplication::processEvents();
  program.form.Option1.click();  // 1.4 MB
  const std::string dataFile = program.form.txtDest.text();
  const std::string count = program.form.lblNumber.caption();

  const double cpu0 = processCpu();
  const double main0 = threadCpu();
  const double wall0 = wallNow();
  program.form.cmdBegin.click();  // runs the whole split, waits included
  const double wall = wallNow() - wall0;
  const double cpu = processCpu() - cpu0;
  // The window's own thread: the copy, the waiting and the painting. The checksums are hashed on
  // a thread of their own, which the rest of the process time is.
  const double mainCpu = threadCpu() - main0;

  if (!fs.Stat(dataFile).regular) {
    std::fprintf(stderr, "window_wait: the split did not finish (no %s); parts shown: %s\n",
                 dataFile.c_str(), count.c_str());
    return 1;
  }
  // The waits the design asks for: 1/80 s before every part, 1/400 s after every block.
  const long parts = std::strtol(count.c_str(), nullptr, 10);
  const double waits = static_cast<double>(parts) / 80.0 + static_cast<double>(fs.copies) / 400.0;
  std::printf(
      "parts=%ld\nblocks=%ld\nwaits=%.4f\nwall=%.4f\ncopy_wall=%.4f\ncpu=%.4f\n"
      "main_cpu=%.4f\ncopy_cpu=%.4f\n",
      parts, fs.copies, waits, wall, fs.copyWall, cpu, mainCpu, fs.copyCpu);
  return 0;
}
