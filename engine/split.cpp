#include "engine/split.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine/batch_file.h"
#include "engine/data_file.h"
#include "engine/messages.h"
#include "engine/part_count.h"
#include "engine/part_names.h"
#include "engine/set_checksums.h"
#include "engine/shared_routines.h"
#include "engine/shell_script.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace qm {
namespace {

// The kernel fills the page cache in folios of up to 64 KiB when a write starts and ends on
// their boundaries. A block of 65,000 bytes ends inside one, and the next block's copy then
// goes page by page, about a third slower. So a block's copy runs on to the next 64 KiB
// boundary of the part (less than a block ahead) and the next block's copy starts there; the
// part's last block ends exactly at the part's end. The blocks, their progress and the cancel
// test after each stay as they are: after every block at least its bytes are in the part.
constexpr std::int64_t kCopyAlignment = 65536;

std::int64_t alignUp(std::int64_t offset) {
  return (offset + kCopyAlignment - 1) / kCopyAlignment * kCopyAlignment;
}

// What one run of the split knows beyond the job state.
struct SplitRun {
  SplitRun(JobState& state, FileSystem& fs, RunHost& host, const SplitRequest& request)
      : state(state),
        fs(fs),
        host(host),
        request(request),
        messages(state, host.display()),
        source(request.source) {}

  JobState& state;
  FileSystem& fs;
  RunHost& host;
  const SplitRequest& request;
  RunMessages messages;
  std::string source;              // the file being split
  std::int16_t parts = 0;          // the count made at the start, which the run keeps to
  FileInfo sourceInfo;             // ... and its identity, to keep every output off it
  std::vector<std::string> begun;  // every part file created, in order
  bool dataFileBegun = false;
  std::int64_t partCopied = 0;           // bytes of the current part already copied
  std::unique_ptr<SplitChecksums> sums;  // hashes the parts beside the copy, when asked to
};

// The end step, on every path: the window is ready for the next run.
void EndStep(JobState& state, RunHost& host) {
  host.ShowFileProgress(0);
  host.ShowSectionProgress(0);
  host.ShowPart(RunHost::kNoPart);
  state.BlockSize = kDefaultBlockSize;
  state.CancelPressed = false;
  host.ShowRunning(false);
  state.Running = false;
}

bool isSameFile(FileSystem& fs, const std::string& path, const FileInfo& source) {
  const FileInfo info = fs.Stat(path);
  return info.exists && info.device == source.device && info.inode == source.inode;
}

bool endsInThreeDigits(const std::string& text) {
  const std::string last = rightChars(text, 3);
  if (charCount(last) < 3) return false;
  for (char c : last) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Why the data file could not carry this name back to the join, or "" when it can.
std::string titleProblem(const std::string& title) {
  if (title.empty()) return "the name of the file to split is not known";
  for (std::size_t i = 0; i < title.size(); ++i) {
    const auto c = static_cast<unsigned char>(title[i]);
    const bool c1 = c == 0xC2 && i + 1 < title.size() &&
                    static_cast<unsigned char>(title[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(title[i + 1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F || c1) {
      return "its name holds a line break or another control character, which the data file "
             "cannot hold";
    }
  }
  if (title.find('/') != std::string::npos || title.find('\\') != std::string::npos) {
    return "its name holds a \"/\" or \"\\\", which the data file cannot hold";
  }
  return {};
}

// The tests made before anything is written. Shows the message and returns false when one fails.
bool Admissible(SplitRun& run) {
  JobState& state = run.state;
  const SplitRequest& request = run.request;
  FileSystem& fs = run.fs;

  if (!FileExists(fs, run.source)) {
    run.messages.Show(kMsgNeedFiles);
    return false;
  }
  // The destination loses its last three characters to the part number, so something must be
  // left; and one ending in three digits would be part 1's name as well as the data file's.
  const std::string& dest = request.dest;
  const std::string& title = request.sourceTitle;
  const FileInfo destInfo = fs.Stat(dest);
  if (charCount(dest) < 4 || endsInThreeDigits(dest) || (destInfo.exists && !destInfo.regular)) {
    run.messages.Show(kMsgNeedFiles);
    return false;
  }
  if (const std::string why = titleProblem(title); !why.empty()) {
    run.messages.Failure("Cannot split \"" + run.source + "\": " + why + ". Nothing was written.");
    return false;
  }
  if (request.batchFile) {
    std::string why;
    if (!BatchCanQuote(title)) {
      why = "cmd cannot quote a name that holds a double quote";
    } else if (charCount(title) < 3) {
      why = "its part names need a name of at least three characters";
    }
    if (!why.empty()) {
      run.messages.Failure("Cannot write a self-joining batch file for \"" + title + "\": " + why +
                           ". Nothing was written; clear \"Create self joining batch file\" "
                           "to split the file without one.");
      return false;
    }
  }

  run.sourceInfo = fs.Stat(run.source);
  state.SourceLength = static_cast<std::int64_t>(run.sourceInfo.length);
  // A split that would give a single part is refused.
  const int tooFew = request.partSize <= 0 ? kMsgZeroSize : kMsgSizeTooLarge;
  if (request.partCount <= 1) {
    run.messages.Show(tooFew);
    return false;
  }
  // The fresh count decides: the one shown may have been stale.
  const std::int64_t parts = CountParts(state, fs, run.source, request.partSize);
  if (parts <= 1) {
    run.messages.Show(tooFew);
    return false;
  }
  // Three digits name only 999 parts; part 1000 would overwrite part 1.
  if (parts > kMaxParts) {
    run.messages.Show(kMsgTooManyParts);
    return false;
  }
  run.parts = static_cast<std::int16_t>(parts);
  // No output may land on the source, however it is spelt (links, "./", "..").
  bool ontoSource = isSameFile(fs, dest, run.sourceInfo);
  for (int i = 1; i <= parts && !ontoSource; ++i) {
    ontoSource = isSameFile(fs, PartName(dest, i), run.sourceInfo);
  }
  if (request.batchFile) {
    ontoSource = ontoSource || isSameFile(fs, BatchFileName(dest), run.sourceInfo);
  }
  ontoSource = ontoSource || isSameFile(fs, ChecksumFileName(dest), run.sourceInfo) ||
               (request.shellScript && isSameFile(fs, ShellScriptName(dest), run.sourceInfo));
  if (ontoSource) {
    run.messages.Show(kMsgNeedFiles);
    return false;
  }
  return true;
}

// Removes what the split created. Returns "" when everything went, or says what stayed.
std::string RemoveBegun(SplitRun& run, bool withDataFile) {
  std::string left;
  auto remove = [&](const std::string& path) {
    try {
      if (FileExists(run.fs, path)) run.fs.Remove(path);
    } catch (const FileError& error) {
      left += " " + std::string(error.what()) + ", so it is still there.";
    }
  };
  run.state.CleanupNumber = 0;
  for (const std::string& part : run.begun) {
    ++run.state.CleanupNumber;
    run.state.PartFile = part;
    remove(part);
  }
  if (withDataFile) {
    remove(run.request.dest);
    remove(ChecksumFileName(run.request.dest));
  }
  return left;
}

// A failure while the parts or the data file were being written: leave nothing half done.
void FailCopy(SplitRun& run, const FileError& error) {
  const std::string left = RemoveBegun(run, run.dataFileBegun);
  std::string detail = std::string(error.what()) + ".";
  if (run.begun.empty()) {
    detail += " No part was written.";
  } else {
    detail += run.dataFileBegun ? " The parts and the data file were removed"
                                : " The parts begun were removed";
    detail += left.empty() ? "." : ", except:" + left;
  }
  detail += " The source is untouched.";
  run.messages.Failure(detail);
}

// Makes the parts and the data file durable, so deleting the source can never lose the data.
void MakeDurable(SplitRun& run, const std::string& dataFile) {
  std::set<std::string> folders;
  std::vector<std::string> files = run.begun;
  files.push_back(dataFile);
  for (const std::string& path : files) {
    auto file = run.fs.OpenRead(path);
    file->Flush();
    file->Close();
    folders.insert(folderOf(path));
  }
  for (const std::string& folder : folders)
    run.fs.SyncFolder(folder);
}

// One block of the current part (`Counter` is its number). Returns true when the user
// confirmed a cancel.
bool CopyBlock(SplitRun& run, File& from, File& to) {
  JobState& state = run.state;
  RunHost& host = run.host;

  state.BlockLength = state.BlockSize;
  // The last block of a part carries the remainder too.
  if (state.Counter == state.BlocksPerPart) state.BlockLength = state.PartLength - state.PartDone;
  if (state.BlockLength < 0) state.BlockLength = 0;
  if (state.TotalDone + state.BlockLength > state.SourceLength) {
    state.BlockLength = state.SourceLength - state.TotalDone;
    state.Counter = state.BlocksPerPart;
  }
  state.PartDone += state.BlockLength;
  state.TotalDone += state.BlockLength;

  // How far the part must be copied now: to the block's end, or while the part goes on, to
  // the next aligned offset within what the part will hold.
  std::int64_t reach = state.PartDone;
  if (state.Counter < state.BlocksPerPart) {
    const std::int64_t partEnd =
        std::min(state.PartLength, state.SourceLength - (state.TotalDone - state.PartDone));
    reach = std::max(reach, std::min(alignUp(reach), partEnd));
  }
  const auto wanted = static_cast<std::uint64_t>(std::max<std::int64_t>(0, reach - run.partCopied));
  const std::uint64_t moved = run.fs.Copy(from, to, wanted);
  run.partCopied += static_cast<std::int64_t>(moved);
  if (moved < wanted) {
    throw FileError(run.source, "read",
                    "it ended after " +
                        std::to_string(state.TotalDone - state.PartDone + run.partCopied) +
                        " bytes, though it was " + std::to_string(state.SourceLength) +
                        " bytes long when the split began");
  }

  // The source cannot change during a run, so its length measured at the start serves here.
  host.ShowFileProgress(state.SourceLength > 0
                            ? static_cast<int>(static_cast<double>(state.TotalDone) /
                                               static_cast<double>(state.SourceLength) * 100)
                            : 100);
  host.ShowSectionProgress(state.PartLength > 0
                               ? static_cast<int>(static_cast<double>(state.PartDone) /
                                                  static_cast<double>(state.PartLength) * 100)
                               : 100);
  Pause(host.pump(), 0.2);

  if (!state.CancelPressed) return false;
  if (!run.messages.CarryOn(kMsgConfirmCancel)) {
    state.Counter = state.BlocksPerPart;
    state.PartsBegun = state.PartNumber;
    state.PartNumber = run.parts;
    return true;
  }
  state.CancelPressed = false;
  return false;
}

// Writes every part. Returns false when the user cancelled.
bool CopyParts(SplitRun& run) {
  JobState& state = run.state;
  RunHost& host = run.host;
  FileSystem& fs = run.fs;
  const std::string& dest = run.request.dest;

  std::shared_ptr<File> source = fs.OpenRead(run.source);
  host.ShowFileProgress(0);
  host.ShowPart(0);
  state.TotalDone = 0;
  const std::int16_t parts = run.parts;

  // A data file left from an earlier run must not sit beside new parts should this run be
  // killed halfway: a join would take the mixture for a set.
  state.WorkFile = dest;
  if (FileExists(fs, state.WorkFile)) fs.Remove(state.WorkFile);
  // Nor an old checksum file, which would call the new parts damaged.
  if (FileExists(fs, ChecksumFileName(dest))) fs.Remove(ChecksumFileName(dest));
  if (run.request.checksums) run.sums = std::make_unique<SplitChecksums>();

  bool cancelled = false;
  for (state.PartNumber = 1; state.PartNumber <= parts && !cancelled; ++state.PartNumber) {
    host.ShowPart(state.PartNumber);
    Pause(host.pump(), 1);
    // The start already made sure no part name lands on the source.
    state.WorkFile = PartName(dest, state.PartNumber);
    if (FileExists(fs, state.WorkFile)) fs.Remove(state.WorkFile);
    auto part = fs.Create(state.WorkFile);
    run.begun.push_back(state.WorkFile);

    host.ShowSectionProgress(0);
    state.PartDone = 0;
    run.partCopied = 0;
    state.PartLength = run.request.partSize;
    if (parts == state.PartNumber) {
      // The last part takes the rest of the source.
      state.BlocksPerPart = static_cast<std::int32_t>(state.PartLength / state.BlockSize);
      state.PartLength = state.SourceLength - state.TotalDone;
    }
    if (run.sums) {
      const std::int64_t length = std::min(state.PartLength, state.SourceLength - state.TotalDone);
      run.sums->AddPart(source, static_cast<std::uint64_t>(state.TotalDone),
                        static_cast<std::uint64_t>(std::max<std::int64_t>(0, length)));
    }
    const std::int32_t blocks = state.BlocksPerPart;
    for (state.Counter = 1; state.Counter <= blocks; ++state.Counter) {
      if (CopyBlock(run, *source, *part)) {
        cancelled = true;
        break;
      }
    }
    part->Close();
  }
  // The checksums' thread may still be reading it; the last of the two to let go closes it.
  if (run.sums) {
    source.reset();
  } else {
    source->Close();
  }
  return !cancelled;
}

// The cancel clean-up: every part begun goes, and the user hears that nothing changed.
void CleanUpCancel(SplitRun& run) {
  const std::string left = RemoveBegun(run, false);
  if (left.empty()) {
    run.messages.Show(kMsgCancelled);
  } else {
    run.messages.Failure("The split was cancelled, but not every part begun could be removed:" +
                         left + " The source is untouched.");
  }
}

// The data file, the deletion of the source and the batch file, in that order.
void Finish(SplitRun& run) {
  JobState& state = run.state;
  const SplitRequest& request = run.request;
  state.WorkFile = request.dest;
  const std::string dataFile = state.WorkFile;
  try {
    run.dataFileBegun = true;
    WriteDataFile(run.fs, dataFile, request.sourceTitle, run.parts);
    if (run.sums) {
      run.sums->Write(run.fs, dataFile, DataFileText(request.sourceTitle, run.parts));
    }
  } catch (const FileError& error) {
    FailCopy(run, error);
    return;
  }

  const std::string complete =
      " The " + std::to_string(run.begun.size()) + " parts and the data file are complete";
  bool sourceDeleted = false;
  if (run.host.DeleteWhenDone()) {
    try {
      MakeDurable(run, dataFile);
      run.fs.Remove(run.source);
      sourceDeleted = true;
    } catch (const FileError& error) {
      run.messages.Failure(std::string(error.what()) + "." + complete +
                           ", but the source was not deleted" +
                           (request.batchFile     ? " and no batch file was written."
                            : request.shellScript ? " and no self-joining script was written."
                                                  : "."));
      return;
    }
  }

  if (request.batchFile) {
    const std::string batchFile = BatchFileName(request.dest);
    try {
      WriteBatchFile(state, run.fs, request.dest, request.sourceTitle, run.parts);
    } catch (const FileError& error) {
      std::string detail = std::string(error.what()) + "." + complete;
      detail += sourceDeleted ? " and the source was deleted" : "";
      try {
        if (FileExists(run.fs, batchFile)) run.fs.Remove(batchFile);
        detail += ", but no batch file was written.";
      } catch (const FileError& removal) {
        detail += ", but the batch file is not: " + std::string(removal.what()) + ".";
      }
      run.messages.Failure(detail);
      return;
    }
  }

  if (request.shellScript) {
    const std::string script = ShellScriptName(request.dest);
    try {
      WriteShellScript(run.fs, request.dest,
                       {request.sourceTitle, nameOf(request.dest), run.parts});
    } catch (const FileError& error) {
      std::string detail = std::string(error.what()) + "." + complete;
      detail += sourceDeleted ? " and the source was deleted" : "";
      // Both scripts or neither: the batch file goes too.
      try {
        for (const std::string& path : {script, BatchFileName(request.dest)}) {
          if ((path == script || request.batchFile) && FileExists(run.fs, path))
            run.fs.Remove(path);
        }
        detail += ", but no self-joining script was written.";
      } catch (const FileError& removal) {
        detail += ", but the self-joining scripts are not: " + std::string(removal.what()) + ".";
      }
      run.messages.Failure(detail);
    }
  }
}

}  // namespace

Outcome SplitF(JobState& state, FileSystem& fs, RunHost& host, const SplitRequest& request) {
  state.Running = true;
  state.PartNumber = 0;
  state.Counter = 0;
  state.PartsBegun = 0;

  // The end step runs however the split ends, an unforeseen exception included.
  struct EndGuard {
    JobState& state;
    RunHost& host;
    ~EndGuard() { EndStep(state, host); }
  } end{state, host};

  SplitRun run(state, fs, host, request);
  if (!Admissible(run)) return run.messages.outcome();

  if (state.BlockSize > request.partSize)
    state.BlockSize = static_cast<std::int32_t>(request.partSize);
  state.BlocksPerPart = static_cast<std::int32_t>(request.partSize / state.BlockSize);
  host.ShowRunning(true);

  bool completed = false;
  try {
    completed = CopyParts(run);
  } catch (const FileError& error) {
    FailCopy(run, error);
    return run.messages.outcome();
  }
  if (completed) {
    Finish(run);
  } else {
    CleanUpCancel(run);
  }
  return run.messages.outcome();
}

}  // namespace qm
