// Faults the system really raises, not injected ones: a disk that fills up, a folder that cannot
// be written, and inputs that vanish or shrink while a run reads them. Each run is held to the
// rules of the fault matrix (reliability/window_run.h).
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstring>

#include "reliability/window_run.h"

namespace qm::test {
namespace {

// A folder made a full (128 KiB) or a read-only mount, undone at the end. Only root may mount,
// and not on every machine: `refused` says why not.
struct Mount {
  Mount(const std::string& where, bool full) : where(where) {
    const unsigned long readOnly = MS_REMOUNT | MS_BIND | MS_RDONLY;
    mounted = ::geteuid() == 0 &&
              (full ? ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=128k,mode=0755")
                    : ::mount(where.c_str(), where.c_str(), nullptr, MS_BIND, nullptr)) == 0;
    if (!mounted || (!full && ::mount(nullptr, where.c_str(), nullptr, readOnly, nullptr)))
      refused =
          ::geteuid() ? "mounting needs root" : "mount refused: " + std::string(strerror(errno));
  }
  ~Mount() {
    if (mounted) ::umount2(where.c_str(), MNT_DETACH);
  }
  std::string where, refused;
  bool mounted = false;
};

enum Fault { Full, ReadOnly, Removed, CutShort };

// 300,000 bytes in three parts, from "disk/" into "other/", with one folder made full or
// read-only, or while someone removes an input or cuts it to 10 bytes as the window copies part 2
// (part 1 for a removed part). A removed file is still read to its end while it is open.
TEST(RealFaults, FullAndReadOnlyFoldersAndInputsChangedDuringTheRunLeaveTheDataSafe) {
  // What, the path, the fault, the folder made full or read-only or the input removed or cut
  // short, the errno the run meets (0: none through the file system), and whether it keeps the
  // finished result.
  const std::vector<std::tuple<const char*, PathCase, Fault, std::string, int, bool>> cases = {
      {"source removed", {false, true}, Removed, "disk/movie.bin", ENOENT, true},
      {"source cut short", {}, CutShort, "disk/movie.bin", 0, false},
      {"part removed", {true}, Removed, "disk/movie.003", ENOENT, false},
      {"part cut short", {true}, CutShort, "disk/movie.002", 0, false},
      {"split into a read-only folder", {false, true}, ReadOnly, "other/", EROFS, false},
      {"join into a read-only folder", {true}, ReadOnly, "other/", EROFS, false},
      {"split to a full disk", {.dest = Dest::Replace}, Full, "other/", ENOSPC, false},
      {"join to a full disk", {.join = true, .dest = Dest::Replace}, Full, "other/", ENOSPC, false},
      {"join of a read-only set", {true, true}, ReadOnly, "disk/", EROFS, true}};
  std::string refused;
  for (const auto& [what, p, fault, file, error, kept] : cases) {
    SCOPED_TRACE(what);
    const bool changes = fault == Removed || fault == CutShort;
    WindowRun r(p, "movie.bin", 300000, 100000, "disk/", "other/");
    std::optional<Mount> mount;
    if (fault == Full) mount.emplace(r.root + file, true);
    r.prepare();
    if (fault == ReadOnly) mount.emplace(r.root + file, false);
    if (mount && !mount->refused.empty()) refused = mount->refused;
    if (mount && !mount->refused.empty()) continue;
    r.load();
    r.form.txtDest.setText(r.root + (p.join ? "other/movie.bin" : "other/movie.qkd"));
    r.pump.onEvents = [&, done = false, fault = fault, join = p.join, file = file](int) mutable {
      const std::string part = fault == Removed && join ? "1" : "2";
      if (!changes || done || r.form.lblSectionNum.caption() != part || !r.pump.inBlockPause())
        return;
      done = true;  // and the change is no fault of the run:
      r.before.erase(file);
      if (fault == Removed) std::filesystem::remove(r.root + file);
      if (fault == CutShort) ::truncate((r.root + file).c_str(), 10);
      if (fault == CutShort) r.before[file] = r.bytes.substr(join ? 100000 : 0, 10);
    };
    r.begin();
    EXPECT_EQ(Check(r), std::vector<std::string>{});
    EXPECT_EQ(std::pair(r.success, r.kept), std::pair(false, kept));
    EXPECT_EQ(r.fs.failure ? r.fs.failure->error() : 0, error);
    EXPECT_TRUE(has(testing::PrintToString(r.display.details), r.root + file));
    // An older set's data file must not outlive a split that failed before it was done.
    EXPECT_TRUE(p.join || kept || !get(r.after, "other/movie.qkd"));
  }
  if (!refused.empty()) GTEST_SKIP() << refused << " (the cases without a mount ran)";
}

}  // namespace
}  // namespace qm::test
