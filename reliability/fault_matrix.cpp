// Every split and join path of the window, and the loading of a data file, run once cleanly to
// count its file-system calls, then once more for every call of every kind with that call
// failing (with each errno that fits it), each run held to the rules of
// reliability/window_run.h. Prints the figures the reliability document quotes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "reliability/window_run.h"

namespace qm::test {
namespace {

using testing::PrintToString;

// The kinds of call a run makes, each with the errors a real system gives for it.
// clang-format off
const std::vector<std::pair<Op, std::vector<int>>> kFaults = {
    {Op::OpenRead, {ENOENT, EACCES, EIO}}, {Op::Create, {ENOSPC, EACCES, ENOENT, EIO}},
    {Op::Read, {EIO}}, {Op::ReadAt, {EIO}}, {Op::Write, {ENOSPC, EIO}}, {Op::Copy, {ENOSPC, EIO}}, {Op::Length, {EIO}},
    {Op::Flush, {EIO, ENOSPC}}, {Op::Close, {EIO, ENOSPC}}, {Op::Remove, {EACCES, ENOENT, EIO}},
    {Op::Rename, {EACCES, ENOSPC, EIO}}, {Op::CreateTemporary, {ENOSPC, EACCES, ENOENT, EIO}},
    {Op::Publish, {EACCES, ENOSPC, EIO}}, {Op::SyncFolder, {EIO}}};
// clang-format on

TEST(FaultMatrix, EveryCallOfEveryPathFailingOnceLeavesTheDataSafeAndSaysWhy) {
  std::vector<PathCase> paths;
  for (bool join : {false, true})
    for (bool del : {false, true})
      for (bool batch : {false, true})
        for (Dest dest : {Dest::Absent, Dest::Replace, Dest::Keep})
          if (join || dest != Dest::Keep) paths.push_back({join, del, batch, false, dest});
  paths.push_back({.join = true, .loadOnly = true});

  int calls = 0, runs = 0, kept = 0, violations = 0;
  std::map<Op, int> byKind;
  for (const PathCase& p : paths) {
    // join, delete, batch, only loading, destination (absent, replace, keep)
    SCOPED_TRACE(PrintToString(
        std::tuple(p.join, p.deleteInput, p.batch, p.loadOnly, static_cast<int>(p.dest))));
    // A fresh folder, the window ready, the chosen call armed to fail; then the run.
    auto run = [&](WindowRun& r, Op op, int n, int error) {
      r.prepare();
      p.loadOnly ? r.settle() : r.load();
      r.faults.failAt(op, n, error);
      r.begin();
      return Check(r);
    };
    WindowRun clean(p);
    ASSERT_EQ(run(clean, Op::Count_, 0, 0), std::vector<std::string>{}) << "in the clean run";
    ASSERT_TRUE(clean.success) << "the clean run failed";
    for (const auto& [op, errors] : kFaults) {
      const int count = clean.faults.calls(op);
      calls += count;
      byKind[op] += count;
      for (int n = 1; n <= count; ++n) {
        for (int error : errors) {
          WindowRun r(p);
          auto broken = run(r, op, n, error);
          ++runs;
          kept += r.kept;
          if (!r.faults.fired()) broken.push_back("the call never came");
          violations += !broken.empty();
          for (const auto& what : broken)
            ADD_FAILURE() << opName(op) << " call " << n << " failing with " << std::strerror(error)
                          << ": " << what << "\n  messages: " << PrintToString(r.display.details);
        }
      }
    }
  }
  std::string kinds;
  for (const auto& [op, n] : byKind)
    kinds += (kinds.empty() ? "" : ", ") + std::string(opName(op)) + " " + std::to_string(n);
  std::printf(
      "fault matrix: %zu paths, %d calls in their clean runs, %d faulted runs (each call x each "
      "fitting errno), %d of them kept a finished result, %d invariant violations\n"
      "fault matrix calls by kind: %s\n",
      paths.size(), calls, runs, kept, violations, kinds.c_str());
}

}  // namespace
}  // namespace qm::test
