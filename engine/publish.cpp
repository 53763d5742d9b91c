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

File& NewSet::Begin(const std::string& path) {
  open_ = fs_.CreateTemporary(folderOf(path));
  openPath_ = path;
  return *open_;
}

void NewSet::Complete() {
  open_->Flush();
  staged_.push_back({fs_.Stage(*open_), openPath_});
  open_->Close();
  open_.reset();
}

std::string NewSet::Abandon() {
  if (open_) fs_.Discard(*open_);
  open_.reset();
  std::string left;
  for (const Staged& file : staged_)
    tryTo(left, [&] { fs_.Remove(file.hidden); });
  for (const std::string& path : placed_)
    tryTo(left, [&] { fs_.Remove(path); });
  staged_.clear();
  placed_.clear();
  return left;
}

void NewSet::Publish(const std::string& dataFile) {
  // The hidden names must be on the disk before the old set starts to go.
  std::vector<std::string> folders;
  for (const Staged& file : staged_) {
    const std::string folder = folderOf(file.path);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  }
  for (const std::string& folder : folders)
    fs_.SyncFolder(folder);
  if (fs_.Stat(dataFile).exists) {
    fs_.Remove(dataFile);
    replaced_ = true;
    fs_.SyncFolder(folderOf(dataFile));
  }
  // The data file first in the list, so that taken from the back it comes last.
  std::stable_partition(staged_.begin(), staged_.end(),
                        [&](const Staged& file) { return file.path == dataFile; });
  while (!staged_.empty()) {
    const Staged file = staged_.back();
    replaced_ = replaced_ || fs_.Stat(file.path).exists;
    fs_.Rename(file.hidden, file.path);
    staged_.pop_back();
    placed_.push_back(file.path);
  }
  // In place and whole: nothing is to be taken back now.
  placed_.clear();
}

ReplacedSet ReadReplaced(FileSystem& fs, const std::string& dataFile) {
  ReplacedSet old;
  // The first bytes of a file: enough to know a data file or a batch file of ours.
  auto head = [&fs](const std::string& path) {
    std::string bytes(4096, '\0');
    auto file = fs.OpenRead(path);
    bytes.resize(file->Read(bytes.data(), bytes.size()));
    file->Close();
    return bytes;
  };
  if (!FileExists(fs, dataFile)) return old;
  try {
    old.count = ParseDataFile(head(dataFile)).count;
  } catch (const std::invalid_argument&) {
    return old;  // not a set of ours: nothing of it is taken away
  }
  const std::string batch = BatchFileName(dataFile);
  if (FileExists(fs, batch)) {
    const std::string text = head(batch);
    old.batchFile = text.starts_with("@echo off\r\n") && text.find(kBatchSignature) != text.npos;
  }
  old.checksumFile = FileExists(fs, ChecksumFileName(dataFile));
  const std::string script = ShellScriptName(dataFile);
  old.shellScript = FileExists(fs, script) && head(script).starts_with("#!/bin/sh\n");
  return old;
}

std::string RemoveLeftovers(FileSystem& fs, const std::string& dataFile, const ReplacedSet& old,
                            int count, const SetExtras& written, const FileInfo& keep) {
  std::string left;
  auto remove = [&](const std::string& path) {
    const FileInfo info = fs.Stat(path);
    if (info.regular && !isSame(info, keep)) tryTo(left, [&] { fs.Remove(path); });
  };
  for (int i = count + 1; i <= old.count; ++i)
    remove(PartName(dataFile, i));
  if (old.batchFile && !written.batchFile) remove(BatchFileName(dataFile));
  if (old.checksumFile && !written.checksumFile) remove(ChecksumFileName(dataFile));
  if (old.shellScript && !written.shellScript) remove(ShellScriptName(dataFile));
  return left;
}

}  // namespace qm
