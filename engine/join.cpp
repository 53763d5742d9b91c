#include "engine/join.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/part_names.h"
#include "engine/set_checksums.h"
#include "engine/shared_routines.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace qm {
namespace {

// The kernel fills the page cache in folios of up to 64 KiB when a write starts and ends on
// their boundaries. A block of 65,000 bytes ends inside one, and the next block's copy then
// goes page by page, about a third slower. So a block's copy runs on to the next 64 KiB
// boundary of the joined file (less than a block ahead, never past the part) and the next
// block's copy starts there. The blocks, their progress and the cancel test after each stay as
// they are: after every block at least its bytes are in the joined file.
constexpr std::int64_t kCopyAlignment = 65536;

std::int64_t alignUp(std::int64_t offset) {
  return (offset + kCopyAlignment - 1) / kCopyAlignment * kCopyAlignment;
}

// floor(done / total x 100). A part or a set with nothing in it is complete, not a division by
// zero.
int Percent(std::int64_t done, std::int64_t total) {
  if (total <= 0 || done >= total) return 100;
  if (done <= 0) return 0;
  if (total <= std::numeric_limits<std::int64_t>::max() / 100) {
    return static_cast<int>(done * 100 / total);
  }
  const long double share = static_cast<long double>(done) * 100 / static_cast<long double>(total);
  return std::min(99, static_cast<int>(share));
}

// How far the join got, which decides what a failure leaves behind.
enum class Stage {
  Checking,   // nothing written
  Copying,    // the temporary file grows; destination and set untouched
  Published,  // the joined file is in place; the set is untouched
  Deleting,   // the joined file is in place; the set is partly deleted
};

class Joiner {
 public:
  Joiner(JobState& state, FileSystem& fs, RunHost& host, const JoinRequest& request)
      : state_(state), fs_(fs), host_(host), request_(request), messages_(state, host.display()) {}

  Outcome Run() {
    try {
      if (Check() && CopyParts()) Finish();
    } catch (const FileError& error) {
      failure_ = Describe(error);
    } catch (const std::exception& error) {
      failure_ = std::string("The join stopped: ") + error.what() + ". " + Leftover();
    }
    End();
    return messages_.outcome();
  }

 private:
  // The refusals and the question; true when the copy may start. Nothing is written here.
  bool Check() {
    state_.PartsBegun = 0;
    state_.PartNumber = 0;
    state_.Counter = 0;
    state_.JoinPartLeft = 0;
    state_.JoinPartLength = 0;
    state_.JoinBlockLength = 0;

    // The set is taken once: the parts measured, the parts joined and the parts deleted are the
    // same ones, whatever the window shows meanwhile.
    dataFile_ = request_.dataFile;
    count_ = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(request_.partCount, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
    // Part names have three digits; a larger set would join part 1 again as part 1001.
    if (count_ > kMaxParts) {
      messages_.Show(kMsgTooManyParts);
      return false;
    }
    // A run started by a drop skips the window's checks; a source too short to leave a stem, no
    // destination or a set of no parts is no job.
    if (count_ < 1 || charCount(dataFile_) <= 3 || request_.dest.empty()) {
      messages_.Show(kMsgNeedFiles);
      return false;
    }

    state_.PartStem = dropRightChars(dataFile_, 3);
    state_.PartMissing = 0;
    FileSize(state_, fs_, messages_, dataFile_, count_);
    if (state_.PartMissing != 0) return false;
    // A set that carries checksums is checked before it is trusted with anything.
    if (std::string damage = checker_.Start(fs_, dataFile_, count_); !damage.empty()) {
      messages_.Damaged(std::move(damage));
      return false;
    }

    state_.WorkFile = request_.dest;
    if (!OpenFolders()) return false;
    // Joining onto a file of the set would destroy an input before it is read, or delete the
    // result together with the set.
    if (DestinationIsInSet()) {
      messages_.Show(kMsgNeedFiles);
      return false;
    }
    const FileInfo dest = fs_.Stat(state_.WorkFile);
    if (dest.exists && !dest.regular) {
      throw FileError(state_.WorkFile, "replace", "it is a folder or a special file, not a file");
    }

    host_.ShowPart(0);
    host_.ShowFileProgress(0);
    state_.TotalDone = 0;

    // A code left over from an earlier message must not read as a "No".
    state_.MessageCode = 0;
    if (FileExists(fs_, state_.WorkFile)) {
      destExists_ = true;
      replaceAllowed_ = messages_.CarryOn(kMsgOverwrite);
      return replaceAllowed_;
    }
    return true;
  }

  // Opens the set's folder and the destination's once: every later step goes through these
  // handles, so a folder swapped for a link during the join changes nothing. Takes the set for
  // this run, and looks at every part before anything is written.
  bool OpenFolders() {
    const std::string destName = nameOf(state_.WorkFile);
    if (hasDeceptiveMarks(destName)) {
      throw FileError(state_.WorkFile, "create",
                      "its name holds a character that turns the text around or breaks its "
                      "line unseen, so it could pass for another name");
    }
    setFolder_ = fs_.OpenFolder(folderOf(dataFile_));
    if (!fs_.Claim(*setFolder_, nameOf(dataFile_))) {
      throw FileError(dataFile_, "join the set of",
                      "another run is working on this set; try again when it has ended");
    }
    destFolder_ = fs_.OpenFolder(folderOf(state_.WorkFile));
    fs_.CheckName(*destFolder_, destName);
    dataFileInfo_ = fs_.StatAt(*setFolder_, nameOf(dataFile_));

    // A part is only ever an ordinary file of the set's folder: a link could hand over a file
    // its reader may not see, and a pipe or a device never ends.
    std::int64_t total = 0;
    measured_.clear();
    for (std::int32_t i = 1; i <= count_; ++i) {
      const std::string name = nameOf(PartName(dataFile_, i));
      const FileInfo info = fs_.StatAt(*setFolder_, name);
      if (info.link || !info.regular) {
        throw FileError(setFolder_->path() + name, "join",
                        info.link ? "it is a symbolic link, and a part is never followed"
                                  : "it is not an ordinary file");
      }
      measured_.push_back(info);
      total += static_cast<std::int64_t>(info.length);
    }
    state_.JoinTotalLength = total;
    return true;
  }

  bool IsSameFile(const std::string& a, const FileInfo& infoA, const std::string& b) {
    const FileInfo infoB = fs_.Stat(b);
    if (infoA.exists && infoB.exists) {
      return infoA.device == infoB.device && infoA.inode == infoB.inode;
    }
    if (infoA.exists != infoB.exists) return false;
    // Neither is there yet: the same name in the same folder.
    if (nameOf(a) != nameOf(b)) return false;
    const auto folder = [](const std::string& path) {
      const std::string f = folderOf(path);
      return f.empty() ? std::string(".") : f;
    };
    const FileInfo folderA = fs_.Stat(folder(a));
    const FileInfo folderB = fs_.Stat(folder(b));
    if (folderA.exists && folderB.exists) {
      return folderA.device == folderB.device && folderA.inode == folderB.inode;
    }
    return folder(a) == folder(b);
  }

  bool DestinationIsInSet() {
    const std::string& dest = state_.WorkFile;
    const FileInfo info = fs_.Stat(dest);
    if (IsSameFile(dest, info, dataFile_)) return true;
    if (IsSameFile(dest, info, state_.PartStem + "bat")) return true;
    if (IsSameFile(dest, info, ChecksumFileName(dataFile_))) return true;
    if (IsSameFile(dest, info, ShellScriptName(dataFile_))) return true;
    // Every part is there, measured: a destination that is not there yet is none of them.
    return info.exists &&
           std::any_of(measured_.begin(), measured_.end(), [&](const FileInfo& part) {
             return part.device == info.device && part.inode == info.inode;
           });
  }

  // Copies every part into the temporary file; false when the user confirmed a cancel.
  bool CopyParts() {
    host_.ShowRunning(true);
    state_.Running = true;
    stage_ = Stage::Copying;
    // Beside the destination, so that naming it the destination is a rename, never a copy.
    temp_ = fs_.CreateTemporaryAt(*destFolder_);

    for (state_.Counter = 1; state_.Counter <= count_; ++state_.Counter) {
      state_.PartFile = PartName(dataFile_, state_.Counter);
      std::shared_ptr<File> part = fs_.OpenReadAt(*setFolder_, nameOf(state_.PartFile), Follow::No);
      // The part opened must be the one measured: one swapped since would join other bytes.
      const FileInfo info = part->Info();
      if (!info.Unchanged(measured_[static_cast<std::size_t>(state_.Counter - 1)])) {
        throw FileError(state_.PartFile, "join",
                        "it was replaced or changed after the set was measured");
      }
      opened_.push_back(info);
      partsMode_ &= info.mode;
      checker_.AddPart(state_.Counter, part);
      host_.ShowPart(state_.Counter);
      Pause(host_.pump(), 1);
      state_.JoinPartLength = static_cast<std::int64_t>(info.length);
      state_.PartDone = 0;
      partCopied_ = 0;
      state_.JoinPartLeft = state_.JoinPartLength;
      // The whole part at once where the file system can; the blocks copy what this left.
      const auto ahead = static_cast<std::int64_t>(
          fs_.CopyAhead(*part, *temp_, static_cast<std::uint64_t>(state_.JoinPartLength)));
      partCopied_ = ahead;
      host_.ShowSectionProgress(0);
      // At least one block per part, so an empty part still shows progress and can be cancelled.
      bool cancelled = false;
      do {
        cancelled = CopyBlock(*part);
      } while (!cancelled && state_.JoinPartLeft != 0);
      // Bytes moved ahead were read before the blocks; a part cut short meanwhile is no set.
      if (!cancelled && ahead > 0 && part->Length() < static_cast<std::uint64_t>(ahead)) {
        throw FileError(state_.PartFile, "read", "it became shorter while it was being joined");
      }
      // The checksums' thread may still be reading it; the last of the two to let go closes it.
      if (checker_.active()) {
        part.reset();
      } else {
        part->Close();
      }
      if (cancelled) return false;
      // A damaged part stops the join as soon as it is known.
      damage_ = checker_.Damage();
      if (!damage_.empty()) return false;
    }
    if (state_.TotalDone != state_.JoinTotalLength) {
      throw FileError(dataFile_, "join the set of",
                      "the parts held " + std::to_string(state_.TotalDone) + " bytes, not the " +
                          std::to_string(state_.JoinTotalLength) + " measured");
    }
    damage_ = checker_.Finish();
    return damage_.empty();
  }

  // One block of the current part; true when the user confirmed a cancel after it.
  bool CopyBlock(File& part) {
    const std::int64_t block = state_.BlockSize > 0 ? state_.BlockSize : kDefaultBlockSize;
    state_.JoinBlockLength = std::min(state_.JoinPartLeft, block);
    state_.PartDone += state_.JoinBlockLength;
    state_.TotalDone += state_.JoinBlockLength;
    if (state_.JoinBlockLength > 0) {
      std::int64_t reach = state_.PartDone;
      if (reach < state_.JoinPartLength) {
        const std::int64_t partStart = state_.TotalDone - state_.PartDone;  // in the joined file
        reach = std::min(alignUp(partStart + reach) - partStart, state_.JoinPartLength);
      }
      const auto wanted =
          static_cast<std::uint64_t>(std::max<std::int64_t>(0, reach - partCopied_));
      const std::uint64_t moved = fs_.Copy(part, *temp_, wanted);
      partCopied_ += static_cast<std::int64_t>(moved);
      if (moved != wanted) {
        throw FileError(state_.PartFile, "read", "it became shorter while it was being joined");
      }
    }
    state_.JoinPartLeft = state_.JoinPartLength - state_.PartDone;
    host_.ShowSectionProgress(Percent(state_.PartDone, state_.JoinPartLength));
    host_.ShowFileProgress(Percent(state_.TotalDone, state_.JoinTotalLength));
    Pause(host_.pump(), 0.2);

    if (!state_.CancelPressed) return false;
    if (!messages_.CarryOn(kMsgConfirmCancel)) {
      state_.PartsBegun = static_cast<std::int16_t>(state_.Counter);
      state_.JoinPartLeft = 0;
      cancelled_ = true;
      return true;
    }
    state_.CancelPressed = false;
    return false;
  }

  // Puts the joined file in place and, when asked, deletes the set.
  void Finish() {
    const std::string& dest = state_.WorkFile;
    // A file that appeared under the destination's name during the copy is not replaced
    // without asking either.
    if (!replaceAllowed_ && FileExists(fs_, dest)) {
      destExists_ = true;
      if (!messages_.CarryOn(kMsgOverwrite)) return;
    }
    const FileInfo replaced = fs_.StatAt(*destFolder_, nameOf(dest));
    destExists_ = replaced.exists;
    const bool deleteSet = host_.DeleteWhenDone();
    // Nobody may read the joined file who could not read every part, nor a file it replaces
    // who could not read that.
    std::uint32_t mode = partsMode_ & ~fs_.Umask();
    if (replaced.regular) mode &= replaced.mode;
    temp_->SetMode(mode);
    // Whatever is replaced or deleted is gone for good; the joined bytes must be on the disk
    // before that.
    const bool somethingLost = destExists_ || deleteSet;
    if (somethingLost) temp_->Flush();
    fs_.PublishAt(*temp_, *destFolder_, nameOf(dest));
    stage_ = Stage::Published;
    fs_.Discard(*temp_);  // published: this only closes it
    temp_.reset();
    if (somethingLost) fs_.SyncFolderAt(*destFolder_);
    if (!deleteSet) return;

    stage_ = Stage::Deleting;
    RemoveUnchanged(nameOf(dataFile_), dataFileInfo_);
    for (std::int32_t i = 1; i <= count_; ++i) {
      state_.PartFile = PartName(dataFile_, i);
      RemoveUnchanged(nameOf(state_.PartFile), opened_[static_cast<std::size_t>(i - 1)]);
    }
    // The batch file, the checksum file and the script are there only when the split wrote them.
    for (const std::string& extra :
         {state_.PartStem + "bat", ChecksumFileName(dataFile_), ShellScriptName(dataFile_)}) {
      state_.PartFile = extra;
      const FileInfo info = fs_.StatAt(*setFolder_, nameOf(extra));
      if (info.regular) RemoveUnchanged(nameOf(extra), info);
    }
    if (!kept_.empty()) {
      failure_ = "\"" + dest +
                 "\" was joined and the set deleted, except what changed after it "
                 "was read, which was kept: " +
                 kept_ + ".";
    }
  }

  // Deletes `name` from the set's folder only while it is still the file that was read; a file
  // that is already gone needs no deleting.
  void RemoveUnchanged(const std::string& name, const FileInfo& read) {
    const FileInfo now = fs_.StatAt(*setFolder_, name);
    if (!now.exists) return;
    if (!now.Unchanged(read)) {
      kept_ += (kept_.empty() ? "\"" : ", \"") + setFolder_->path() + name + "\"";
      return;
    }
    try {
      fs_.RemoveAt(*setFolder_, name);
    } catch (const FileError& error) {
      if (error.error() != ENOENT) throw;
    }
  }

  void End() {
    state_.MessageCode = 0;
    if (temp_) {
      fs_.Discard(*temp_);
      temp_.reset();
    }
    if (failure_) messages_.Failure(*failure_);
    if (!damage_.empty()) messages_.Damaged(damage_);
    // Only a stop the user confirmed; a click that came too late to stop anything is no cancel.
    if (cancelled_) messages_.Show(kMsgCancelled);
    host_.ShowFileProgress(0);
    host_.ShowSectionProgress(0);
    host_.ShowPart(RunHost::kNoPart);
    state_.CancelPressed = false;
    host_.ShowRunning(false);
    state_.Running = false;
  }

  std::string Describe(const FileError& error) const {
    // An unnamed temporary file carries its folder as its name; the user knows it as the file
    // being joined.
    const std::string subject = temp_ && error.path() == temp_->path()
                                    ? "the joined copy of \"" + state_.WorkFile + "\""
                                    : "\"" + error.path() + "\"";
    return "Could not " + error.action() + " " + subject + ": " + error.reason() + ". " +
           Leftover();
  }

  std::string Leftover() const {
    const std::string dest = "\"" + state_.WorkFile + "\"";
    switch (stage_) {
      case Stage::Checking:
      case Stage::Copying:
        return destExists_ ? "Nothing was changed: " + dest + " and the parts are as they were."
                           : "Nothing was written, and the parts are as they were.";
      case Stage::Published:
        return dest +
               " was joined, but the parts were kept because it may not be safely on the "
               "disk yet.";
      case Stage::Deleting:
        return dest + " was joined; the files of the set not yet deleted are still there.";
    }
    return {};
  }

  JobState& state_;
  FileSystem& fs_;
  RunHost& host_;
  const JoinRequest& request_;
  RunMessages messages_;
  std::string dataFile_;
  std::int32_t count_ = 0;
  Stage stage_ = Stage::Checking;
  bool destExists_ = false;
  bool replaceAllowed_ = false;
  bool cancelled_ = false;
  std::unique_ptr<File> temp_;
  std::optional<std::string> failure_;
  std::int64_t partCopied_ = 0;         // bytes of the current part already in the joined file
  std::unique_ptr<Folder> setFolder_;   // where the data file and the parts are
  std::unique_ptr<Folder> destFolder_;  // where the joined file goes
  FileInfo dataFileInfo_;
  std::vector<FileInfo> measured_;  // every part as the check found it
  std::vector<FileInfo> opened_;    // ... and as it was opened
  std::uint32_t partsMode_ = 0777;  // the bits every part has
  std::string kept_;                // the files of the set that changed and were not deleted
  JoinChecker checker_;
  std::string damage_;  // message 10's detail when a file of the set fails its checksum
};

}  // namespace

Outcome JoinF(JobState& state, FileSystem& fs, RunHost& host, const JoinRequest& request) {
  return Joiner(state, fs, host, request).Run();
}

}  // namespace qm
