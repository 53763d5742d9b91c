#include "tests/fakes/fault_file_system.h"

#include <cerrno>
#include <utility>

namespace qm::test {
namespace {

// Each kind's name, and the action a real failure of it would name.
// clang-format off
constexpr std::pair<const char*, const char*> kOps[] = {
    {"stat", "use"}, {"open", "open for reading"}, {"create", "create"}, {"read", "read"},
    {"read-at", "read"},
    {"write", "write"}, {"copy", "write"}, {"copy-ahead", "write"}, {"length", "measure"}, {"flush", "flush to disk"},
    {"close", "close"}, {"remove", "delete"}, {"rename", "rename"},
    {"create-temporary", "create a temporary file in"}, {"publish", "rename"},
    {"sync-folder", "flush to disk"}, {"open-folder", "open the folder"}};
// clang-format on

// Wraps an open file so its reads, writes, flushes and closes can fail too.
class FaultFile : public File {
 public:
  FaultFile(FaultFileSystem& fs, std::unique_ptr<File> inner) : fs_(fs), inner_(std::move(inner)) {}
  const std::string& path() const override { return inner_->path(); }
  std::size_t Read(void* buffer, std::size_t n) override {
    fs_.hit(Op::Read, path());
    return inner_->Read(buffer, n);
  }
  std::size_t ReadAt(void* buffer, std::size_t n, std::uint64_t offset) override {
    fs_.hit(Op::ReadAt, path());
    return inner_->ReadAt(buffer, n, offset);
  }
  void Write(const void* data, std::size_t n) override {
    fs_.hit(Op::Write, path());
    inner_->Write(data, n);
  }
  std::uint64_t Length() override {
    fs_.hit(Op::Length, path());
    return inner_->Length();
  }
  void Flush() override {
    fs_.hit(Op::Flush, path());
    inner_->Flush();
  }
  void Close() override {
    fs_.hit(Op::Close, path());
    inner_->Close();
  }
  FileInfo Info() override { return inner_->Info(); }
  void SetMode(std::uint32_t mode) override { inner_->SetMode(mode); }
  File& inner() { return *inner_; }

 private:
  FaultFileSystem& fs_;
  std::unique_ptr<File> inner_;
};

File& unwrap(File& file) {
  auto* wrapped = dynamic_cast<FaultFile*>(&file);
  return wrapped != nullptr ? wrapped->inner() : file;
}

}  // namespace

const char* opName(Op op) {
  return kOps[static_cast<int>(op)].first;
}

bool FaultFileSystem::chosen(Op op, const std::string& path) {
  const int n = ++counts_[static_cast<int>(op)];
  if (op == failOp_ && failNth_ > 0 && n == failNth_) return true;
  return op == pathOp_ && !pathFragment_.empty() && path.find(pathFragment_) != std::string::npos;
}

void FaultFileSystem::hit(Op op, const std::string& path) {
  if (before) before(op, path);
  if (!chosen(op, path)) return;
  fired_ = true;
  const int error = op == pathOp_ && !pathFragment_.empty() ? pathError_ : failError_;
  throw FileError(path, kOps[static_cast<int>(op)].second, error);
}

FileInfo FaultFileSystem::Stat(const std::string& path) {
  if (before) before(Op::Stat, path);
  if (chosen(Op::Stat, path)) {
    fired_ = true;
    return {};
  }
  return inner_.Stat(path);
}

std::unique_ptr<File> FaultFileSystem::OpenRead(const std::string& path) {
  hit(Op::OpenRead, path);
  return std::make_unique<FaultFile>(*this, inner_.OpenRead(path));
}

std::unique_ptr<File> FaultFileSystem::Create(const std::string& path) {
  hit(Op::Create, path);
  return std::make_unique<FaultFile>(*this, inner_.Create(path));
}

std::unique_ptr<File> FaultFileSystem::CreateExecutable(const std::string& path) {
  hit(Op::Create, path);
  return std::make_unique<FaultFile>(*this, inner_.CreateExecutable(path));
}

void FaultFileSystem::Remove(const std::string& path) {
  hit(Op::Remove, path);
  inner_.Remove(path);
}

void FaultFileSystem::Rename(const std::string& from, const std::string& to) {
  hit(Op::Rename, to);
  inner_.Rename(from, to);
}

std::uint64_t FaultFileSystem::Copy(File& from, File& to, std::uint64_t n) {
  hit(Op::Copy, to.path());
  return inner_.Copy(unwrap(from), unwrap(to), n);
}

std::uint64_t FaultFileSystem::CopyAhead(File& from, File& to, std::uint64_t n) {
  if (chosen(Op::CopyAhead, to.path())) {
    fired_ = true;
    n /= 2;
  }
  return inner_.CopyAhead(unwrap(from), unwrap(to), n);
}

std::unique_ptr<File> FaultFileSystem::CreateTemporary(const std::string& folder) {
  hit(Op::CreateTemporary, folder);
  return std::make_unique<FaultFile>(*this, inner_.CreateTemporary(folder));
}

void FaultFileSystem::Publish(File& temporary, const std::string& path) {
  hit(Op::Publish, path);
  inner_.Publish(unwrap(temporary), path);
}

// Staging is a publication under a hidden name, and fails the way one does.
std::string FaultFileSystem::Stage(File& temporary) {
  hit(Op::Publish, temporary.path());
  return inner_.Stage(unwrap(temporary));
}

void FaultFileSystem::Discard(File& temporary) noexcept {
  inner_.Discard(unwrap(temporary));
}

void FaultFileSystem::SyncFolder(const std::string& folder) {
  hit(Op::SyncFolder, folder);
  inner_.SyncFolder(folder);
}

std::unique_ptr<Folder> FaultFileSystem::OpenFolder(const std::string& path) {
  hit(Op::OpenFolder, path);
  return inner_.OpenFolder(path);
}

FileInfo FaultFileSystem::StatAt(Folder& folder, const std::string& name) {
  const std::string path = folder.path() + name;
  if (before) before(Op::Stat, path);
  if (chosen(Op::Stat, path)) {
    fired_ = true;
    return {};
  }
  return inner_.StatAt(folder, name);
}

std::unique_ptr<File> FaultFileSystem::OpenReadAt(Folder& folder, const std::string& name,
                                                  Follow follow) {
  hit(Op::OpenRead, folder.path() + name);
  return std::make_unique<FaultFile>(*this, inner_.OpenReadAt(folder, name, follow));
}

std::unique_ptr<File> FaultFileSystem::CreateAt(Folder& folder, const std::string& name,
                                                std::uint32_t mode) {
  hit(Op::Create, folder.path() + name);
  return std::make_unique<FaultFile>(*this, inner_.CreateAt(folder, name, mode));
}

void FaultFileSystem::RemoveAt(Folder& folder, const std::string& name) {
  hit(Op::Remove, folder.path() + name);
  inner_.RemoveAt(folder, name);
}

std::unique_ptr<File> FaultFileSystem::CreateTemporaryAt(Folder& folder) {
  hit(Op::CreateTemporary, folder.path());
  return std::make_unique<FaultFile>(*this, inner_.CreateTemporaryAt(folder));
}

void FaultFileSystem::PublishAt(File& temporary, Folder& folder, const std::string& name) {
  hit(Op::Publish, folder.path() + name);
  inner_.PublishAt(unwrap(temporary), folder, name);
}

void FaultFileSystem::SyncFolderAt(Folder& folder) {
  hit(Op::SyncFolder, folder.path());
  inner_.SyncFolderAt(folder);
}

}  // namespace qm::test
