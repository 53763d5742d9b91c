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

// Passes everything to the real file system and keeps count of the engine's own copying: the
// blocks (one Copy each) and the time spent moving bytes, ahead of the blocks or with them.
class CopyTimingFileSystem : public qm::FileSystem {
 public:
  explicit CopyTimingFileSystem(qm::FileSystem& inner) : inner_(inner) {}

  qm::FileInfo Stat(const std::string& path) override { return inner_.Stat(path); }
  std::unique_ptr<qm::File> OpenRead(const std::string& path) override {
    return inner_.OpenRead(path);
  }
  std::unique_ptr<qm::File> Create(const std::string& path) override { return inner_.Create(path); }
  void Remove(const std::string& path) override { inner_.Remove(path); }
  void Rename(const std::string& from, const std::string& to) override { inner_.Rename(from, to); }
  std::uint64_t Copy(qm::File& from, qm::File& to, std::uint64_t n) override {
    const double wall = wallNow();
    const double cpu = threadCpu();
    const std::uint64_t moved = inner_.Copy(from, to, n);
    copyCpu += threadCpu() - cpu;
    copyWall += wallNow() - wall;
    ++copies;
    return moved;
  }
  std::uint64_t CopyAhead(qm::File& from, qm::File& to, std::uint64_t n) override {
    const double wall = wallNow();
    const double cpu = threadCpu();
    const std::uint64_t moved = inner_.CopyAhead(from, to, n);
    copyCpu += threadCpu() - cpu;
    copyWall += wallNow() - wall;
    return moved;
  }
  std::unique_ptr<qm::File> CreateTemporary(const std::string& folder) override {
    return inner_.CreateTemporary(folder);
  }
  void Publish(qm::File& temporary, const std::string& path) override {
    inner_.Publish(temporary, path);
  }
  void Discard(qm::File& temporary) noexcept override { inner_.Discard(temporary); }
  void SyncFolder(const std::string& folder) override { inner_.SyncFolder(folder); }
  void CreateFolder(const std::string& path) override { inner_.CreateFolder(path); }
  std::unique_ptr<qm::Folder> OpenFolder(const std::string& path) override {
    return inner_.OpenFolder(path);
  }
  qm::FileInfo StatAt(qm::Folder& folder, const std::string& name) override {
    return inner_.StatAt(folder, name);
  }
  std::unique_ptr<qm::File> OpenReadAt(qm::Folder& folder, const std::string& name,
                                       qm::Follow follow) override {
    return inner_.OpenReadAt(folder, name, follow);
  }
  std::unique_ptr<qm::File> CreateAt(qm::Folder& folder, const std::string& name,
                                     std::uint32_t mode) override {
    return inner_.CreateAt(folder, name, mode);
  }
  void RemoveAt(qm::Folder& folder, const std::string& name) override {
    inner_.RemoveAt(folder, name);
  }
  std::unique_ptr<qm::File> CreateTemporaryAt(qm::Folder& folder) override {
    return inner_.CreateTemporaryAt(folder);
  }
  void PublishAt(qm::File& temporary, qm::Folder& folder, const std::string& name) override {
    inner_.PublishAt(temporary, folder, name);
  }
  void SyncFolderAt(qm::Folder& folder) override { inner_.SyncFolderAt(folder); }
  void CheckName(qm::Folder& folder, const std::string& name) override {
    inner_.CheckName(folder, name);
  }
  bool Claim(qm::Folder& folder, const std::string& key) override {
    return inner_.Claim(folder, key);
  }
  std::uint32_t Umask() override { return inner_.Umask(); }
  std::string CurrentFolder() override { return inner_.CurrentFolder(); }
  std::string HomeFolder() override { return inner_.HomeFolder(); }

  long copies = 0;
  double copyWall = 0;
  double copyCpu = 0;

 private:
  qm::FileSystem& inner_;
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

  qm::PosixFileSystem posix;
  CopyTimingFileSystem fs(posix);
  qm::QtEventPump pump;
  qm::DesktopProgram program(fs, pump);
  program.Start(source);  // the source analysis picks Split mode and the destination
  QApplication::processEvents();
  program.form.Option1.click();  // 1.4 MB
  const std::string dataFile = program.form.txtDest.text();
  const std::string count = program.form.lblNumber.caption();

  const double cpu0 = processCpu();
  const double wall0 = wallNow();
  program.form.cmdBegin.click();  // runs the whole split, waits included
  const double wall = wallNow() - wall0;
  const double cpu = processCpu() - cpu0;

  if (!posix.Stat(dataFile).regular) {
    std::fprintf(stderr, "window_wait: the split did not finish (no %s); parts shown: %s\n",
                 dataFile.c_str(), count.c_str());
    return 1;
  }
  // The waits the design asks for: 1/80 s before every part, 1/400 s after every block.
  const long parts = std::strtol(count.c_str(), nullptr, 10);
  const double waits = static_cast<double>(parts) / 80.0 + static_cast<double>(fs.copies) / 400.0;
  std::printf(
      "parts=%ld\nblocks=%ld\nwaits=%.4f\nwall=%.4f\ncopy_wall=%.4f\ncpu=%.4f\n"
      "copy_cpu=%.4f\n",
      parts, fs.copies, waits, wall, fs.copyWall, cpu, fs.copyCpu);
  return 0;
}
