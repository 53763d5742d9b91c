#include "engine/split.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/batch_file.h"
#include "engine/data_file.h"
#include "engine/messages.h"
#include "engine/part_count.h"
#include "engine/part_names.h"
#include "engine/publish.h"
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
        source(request.source),
        set(fs) {}

  JobState& state;
  FileSystem& fs;
  RunHost& host;
  const SplitRequest& request;
  RunMessages messages;
  std::string source;                    // the file being split
  std::int16_t parts = 0;                // the count made at the start, which the run keeps to
  FileInfo sourceInfo;                   // ... and its identity, to keep every output off it
  NewSet set;                            // the new set, hidden until it is whole; holds its
                                         // folder open, which claims the set
  std::unique_ptr<Folder> sourceFolder;  // where the source is, for its deletion
  FileInfo sourceRead;                   // the source as it was opened
  ReplacedSet replaced;                  // the older set of that name, as its data file told
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
  state.MessageCode = 0;  // a "No" to the overwrite question is no answer to the next one
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

constexpr const char* kDeceptive =
    "its name holds a character that turns the text around or breaks its line unseen, so it "
    "could pass for another name";

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
  if (hasDeceptiveMarks(title)) return kDeceptive;
  if (title.find('/') != std::string::npos || title.find('\\') != std::string::npos) {
    return "its name holds a \"/\" or \"\\\", which the data file cannot hold";
  }
  return {};
}

// Opens the source's folder and the set's once, takes the set for this run, and makes sure
// every name fits, all before a byte is written.
bool OpenFolders(SplitRun& run) {
  const std::string& dest = run.request.dest;
  try {
    Folder& folder = run.set.Open(folderOf(dest));
    if (!run.fs.Claim(folder, nameOf(dest))) {
      throw FileError(dest, "write the set of",
                      "another run is working on this set; try again when it has ended");
    }
    run.fs.CheckName(folder, nameOf(dest));
    for (int i = 1; i <= run.parts; ++i)
      run.fs.CheckName(folder, nameOf(PartName(dest, i)));
    if (run.request.batchFile) run.fs.CheckName(folder, nameOf(BatchFileName(dest)));
    run.sourceFolder = run.fs.OpenFolder(folderOf(run.source));
  } catch (const FileError& error) {
    run.messages.Failure(std::string(error.what()) + ". Nothing was written.");
    return false;
  }
  return true;
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
  // Measured on the name alone: a shorter one would give its folder's end to the part number.
  // A destination named like its own batch file would be overwritten by it.
  if (charCount(nameOf(dest)) < 4 || endsInThreeDigits(dest) || dest == BatchFileName(dest) ||
      (destInfo.exists && !destInfo.regular)) {
    run.messages.Show(kMsgNeedFiles);
    return false;
  }
  if (hasDeceptiveMarks(nameOf(dest))) {
    run.messages.Failure("Cannot write \"" + dest + "\": " + kDeceptive + ". Nothing was written.");
    return false;
  }
  if (const std::string why = titleProblem(title); !why.empty()) {
    run.messages.Failure("Cannot split \"" + run.source + "\": " + why + ". Nothing was written.");
    return false;
  }
  if (request.batchFile) {
    std::string named = title;
    std::string why = BatchNameProblem(title);
    if (why.empty()) why = BatchNameProblem(named = nameOf(dest));
    if (!why.empty()) {
      run.messages.Failure("Cannot write a self-joining batch file for \"" + named + "\": " + why +
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
  if (!OpenFolders(run)) return false;
  // The user's files are replaced only when the user says so.
  Folder& folder = run.set.folder();
  auto present = [&](const std::string& path) { return fs.StatAt(folder, nameOf(path)).exists; };
  bool exists = present(dest) || (request.batchFile && present(BatchFileName(dest)));
  for (int i = 1; i <= parts && !exists; ++i)
    exists = present(PartName(dest, i));
  if (exists && !run.messages.CarryOn(kMsgOverwrite)) return false;
  try {
    run.replaced = ReadReplaced(fs, folder, dest);
  } catch (const FileError& error) {
    run.messages.Failure(std::string(error.what()) + ". Nothing was written.");
    return false;
  }
  // A set that replaces nothing loses nothing to a crash while it is written; it is forced to
  // the disk only at the end, when the source is to go.
  run.set.SetDurable(exists || run.replaced.count > 0 || present(ChecksumFileName(dest)) ||
                     (request.shellScript && present(ShellScriptName(dest))));
  return true;
}

// A failure while the set was being written or put in place: nothing of it stays.
void FailCopy(SplitRun& run, FileError error) {
  // A temporary file has no name of its own yet; the user knows it by the one it was to get.
  if (error.path().ends_with('/') || error.path() == ".")
    error = FileError(run.state.WorkFile, error.action(), error.reason());
  const bool replaced = run.set.Replaced();
  const std::string left = run.set.Abandon();
  std::string detail = std::string(error.what()) + ".";
  detail += replaced ? " The older set of that name was partly replaced and is incomplete; the new "
                       "files were removed"
                     : " Nothing was changed: the files written so far were removed";
  detail += left.empty() ? "." : ", except:" + left;
  detail += " The source is untouched.";
  run.messages.Failure(detail);
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

// Moves the current part's bytes at once where the file system can (sharing blocks, a whole
// part costs only bookkeeping). The blocks then report progress, wait and test Cancel as
// before, and copy only what this left. Exactly what the blocks will hold goes ahead: all but
// the last carry BlockSize, the last the rest of the part if any, and the source's end stops
// them.
std::int64_t CopyPartAhead(SplitRun& run, File& from, File& to, std::int32_t blocks) {
  const JobState& state = run.state;
  if (blocks < 1) return 0;
  const std::int64_t length =
      std::min(state.SourceLength - state.TotalDone,
               std::max(state.PartLength, std::int64_t{blocks - 1} * state.BlockSize));
  if (length <= 0) return 0;
  return static_cast<std::int64_t>(run.fs.CopyAhead(from, to, static_cast<std::uint64_t>(length)));
}

// Writes every part. Returns false when the user cancelled.
bool CopyParts(SplitRun& run) {
  JobState& state = run.state;
  RunHost& host = run.host;
  FileSystem& fs = run.fs;
  const std::string& dest = run.request.dest;
  state.CleanupNumber = 0;

  std::shared_ptr<File> source = fs.OpenRead(run.source);
  // The file opened must be the one measured; the split copies exactly what it measured.
  run.sourceRead = source->Info();
  if (run.sourceRead.device != run.sourceInfo.device ||
      run.sourceRead.inode != run.sourceInfo.inode ||
      static_cast<std::int64_t>(run.sourceRead.length) != state.SourceLength) {
    throw FileError(run.source, "split", "it was replaced or changed after it was measured");
  }
  host.ShowFileProgress(0);
  host.ShowPart(0);
  state.TotalDone = 0;
  const std::int16_t parts = run.parts;
  if (run.request.checksums) run.sums = std::make_unique<SplitChecksums>();

  bool cancelled = false;
  for (state.PartNumber = 1; state.PartNumber <= parts && !cancelled; ++state.PartNumber) {
    host.ShowPart(state.PartNumber);
    Pause(host.pump(), 1);
    // Written beside any older set, which stays whole until this one is.
    state.WorkFile = PartName(dest, state.PartNumber);
    File& part = run.set.Begin(state.WorkFile);
    // As private as the source: nobody reads a part who could not read the whole.
    part.SetMode(run.sourceRead.mode & ~fs.Umask());

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
    const std::int64_t partStart = state.TotalDone;
    const std::int64_t ahead = CopyPartAhead(run, *source, part, blocks);
    run.partCopied = ahead;
    for (state.Counter = 1; state.Counter <= blocks; ++state.Counter) {
      if (CopyBlock(run, *source, part)) {
        cancelled = true;
        break;
      }
    }
    // Bytes moved ahead were read before the blocks; a source cut short meanwhile is no split.
    if (!cancelled && ahead > 0) {
      const std::uint64_t now = source->Length();
      if (now < static_cast<std::uint64_t>(partStart + ahead)) {
        throw FileError(run.source, "read",
                        "it ended after " + std::to_string(now) + " bytes, though it was " +
                            std::to_string(state.SourceLength) +
                            " bytes long when the split began");
      }
    }
    if (!cancelled) run.set.Complete();
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
  run.state.PartFile = run.state.WorkFile;
  run.state.CleanupNumber = run.state.PartsBegun;
  const std::string left = run.set.Abandon();
  if (left.empty()) {
    run.messages.Show(kMsgCancelled);
  } else {
    run.messages.Failure("The split was cancelled, but not every part begun could be removed:" +
                         left + " The source is untouched.");
  }
}

// Writes one more file of the set from `text`.
void WriteWhole(SplitRun& run, const std::string& path, const std::string& text,
                std::optional<std::uint32_t> mode = std::nullopt) {
  run.state.WorkFile = path;
  File& file = run.set.Begin(path);
  file.SetMode(mode.value_or(run.sourceRead.mode) & ~run.fs.Umask());
  file.Write(text.data(), text.size());
  run.set.Complete();
}

// The data file and the batch file complete the set, which then replaces the older one; what
// is left of that goes, and the source last, once the new set is on the disk.
void Finish(SplitRun& run) {
  const SplitRequest& request = run.request;
  const std::string& dest = request.dest;
  try {
    const std::string dataText = DataFileText(request.sourceTitle, run.parts);
    WriteWhole(run, dest, dataText);
    if (run.sums) WriteWhole(run, ChecksumFileName(dest), run.sums->Text(dest, dataText));
    if (request.batchFile) {
      WriteWhole(run, BatchFileName(dest),
                 BatchFileText(request.sourceTitle, nameOf(dest), run.parts));
    }
    if (request.shellScript) {
      // Runnable by whoever may read it, as "./NAME.sh" too.
      const std::uint32_t mode = run.sourceRead.mode | ((run.sourceRead.mode & 0444) >> 2);
      WriteWhole(run, ShellScriptName(dest),
                 ShellScriptText({request.sourceTitle, nameOf(dest), run.parts}), mode);
    }
    run.set.Publish(dest);
  } catch (const FileError& error) {
    FailCopy(run, error);
    return;
  }

  const bool deleteSource = run.host.DeleteWhenDone();
  std::string detail =
      " The " + std::to_string(run.parts) + " parts and the data file are complete";
  try {
    run.set.Sync(deleteSource);
  } catch (const FileError& error) {
    run.messages.Failure(std::string(error.what()) + "." + detail +
                         (deleteSource ? ", but the source was not deleted." : "."));
    return;
  }
  const std::string leftovers = RemoveLeftovers(
      run.fs, run.set.folder(), dest, run.replaced, run.parts,
      {request.batchFile, run.sums != nullptr, request.shellScript}, run.sourceInfo);
  std::string trouble;
  if (deleteSource) {
    try {
      // Only the file that was split goes: one replaced, grown or touched since is kept. (One
      // that is gone is left to the deletion to report.)
      const FileInfo now = run.fs.StatAt(*run.sourceFolder, nameOf(run.source));
      const FileInfo named = run.fs.Stat(run.source);
      if (now.exists && !(now.link ? named : now).Unchanged(run.sourceRead)) {
        throw FileError(run.source, "delete",
                        "it changed while it was being split, so it was kept");
      }
      run.fs.RemoveAt(*run.sourceFolder, nameOf(run.source));
    } catch (const FileError& error) {
      trouble = std::string(error.what()) + "." + detail + ", but the source was not deleted.";
    }
  }
  if (!leftovers.empty()) {
    trouble += trouble.empty() ? detail.substr(1) +
                                     ", but of the older set of that name not "
                                     "everything could be removed:"
                               : " Of the older set of that name, not everything could be removed:";
    trouble += leftovers;
  }
  if (!trouble.empty()) run.messages.Failure(trouble);
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
