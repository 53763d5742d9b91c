#include "engine/publish.h"

#include <algorithm>
#include <stdexcept>

#include "engine/batch_file.h"
#include "engine/data_file.h"
#include "engine/part_names.h"
#include "engine/shared_routines.h"

namespace qm {
namespace {

bool isSame(const FileInfo& a, const FileInfo& b) {
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

// Runs `step`, adding what failed to `left` instead of stopping: clean-up goes as far as it can.
template <typename Step>
void tryTo(std::string& left, Step step) {
  try {
    step();
  } catch (const FileError& error) {
    left += " " + std::string(error.what()) + ", so it is still there.";
  }
}

}  // namespace

NewSet::~NewSet() {
  Abandon();
}

Folder& NewSet::Open(const std::string& folder) {
  folder_ = fs_.OpenFolder(folder);
  return *folder_;
}

File& NewSet::Begin(const std::string& path) {
  open_ = fs_.CreateHiddenAt(*folder_);
  openPath_ = path;
  return *open_;
}

void NewSet::Complete() {
  if (durable_) open_->Flush();
  staged_.push_back({fs_.Stage(*open_), nameOf(openPath_)});
  open_->Close();
  open_.reset();
}

std::string NewSet::Abandon() {
  if (open_) fs_.Discard(*open_);
  open_.reset();
  std::string left;
  for (const Staged& file : staged_)
    tryTo(left, [&] { fs_.RemoveAt(*folder_, file.hidden); });
  for (const std::string& name : placed_)
    tryTo(left, [&] { fs_.RemoveAt(*folder_, name); });
  staged_.clear();
  placed_.clear();
  return left;
}

void NewSet::Publish(const std::string& dataFile) {
  Folder& folder = *folder_;
  const std::string dataName = nameOf(dataFile);
  // The hidden names must be on the disk before the old set starts to go.
  if (durable_) fs_.SyncFolderAt(folder);
  if (fs_.StatAt(folder, dataName).exists) {
    fs_.RemoveAt(folder, dataName);
    replaced_ = true;
    fs_.SyncFolderAt(folder);
  }
  // The data file first in the list, so that taken from the back it comes last.
  std::stable_partition(staged_.begin(), staged_.end(),
                        [&](const Staged& file) { return file.name == dataName; });
  while (!staged_.empty()) {
    const Staged file = staged_.back();
    replaced_ = replaced_ || fs_.StatAt(folder, file.name).exists;
    fs_.RenameAt(folder, file.hidden, file.name);
    staged_.pop_back();
    placed_.push_back(file.name);
  }
  // In place and whole: nothing is to be taken back now.
  placed_.clear();
}

ReplacedSet ReadReplaced(FileSystem& fs, Folder& folder, const std::string& dataFile) {
  ReplacedSet old;
  // A file of ours, never a link: a link at one of the set's names is replaced, not read.
  auto ours = [&](const std::string& path) { return fs.StatAt(folder, nameOf(path)).regular; };
  // The first bytes of a file: enough to know a data file or a batch file of ours.
  auto head = [&](const std::string& path) {
    std::string bytes(4096, '\0');
    auto file = fs.OpenReadAt(folder, nameOf(path), Follow::No);
    bytes.resize(file->Read(bytes.data(), bytes.size()));
    file->Close();
    return bytes;
  };
  if (!ours(dataFile)) return old;
  try {
    old.count = ParseDataFile(head(dataFile)).count;
  } catch (const std::invalid_argument&) {
    return old;  // not a set of ours: nothing of it is taken away
  }
  const std::string batch = BatchFileName(dataFile);
  if (ours(batch)) {
    const std::string text = head(batch);
    old.batchFile = text.starts_with("@echo off\r\n") && text.find(kBatchSignature) != text.npos;
  }
  old.checksumFile = ours(ChecksumFileName(dataFile));
  const std::string script = ShellScriptName(dataFile);
  old.shellScript = ours(script) && head(script).starts_with("#!/bin/sh\n");
  return old;
}

std::string RemoveLeftovers(FileSystem& fs, Folder& folder, const std::string& dataFile,
                            const ReplacedSet& old, int count, const SetExtras& written,
                            const FileInfo& keep) {
  std::string left;
  auto remove = [&](const std::string& path) {
    const FileInfo info = fs.StatAt(folder, nameOf(path));
    if (info.regular && !isSame(info, keep))
      tryTo(left, [&] { fs.RemoveAt(folder, nameOf(path)); });
  };
  for (int i = count + 1; i <= old.count; ++i)
    remove(PartName(dataFile, i));
  if (old.batchFile && !written.batchFile) remove(BatchFileName(dataFile));
  if (old.checksumFile && !written.checksumFile) remove(ChecksumFileName(dataFile));
  if (old.shellScript && !written.shellScript) remove(ShellScriptName(dataFile));
  return left;
}

}  // namespace qm
