#include "tests/fakes/fault_file_system.h"

#include <cerrno>

namespace qm::test {
namespace {

const char* actionOf(Op op) {
  switch (op) {
    case Op::OpenRead:
      return "open for reading";
    case Op::Create:
      return "create";
    case Op::Read:
    case Op::ReadAt:
      return "read";
    case Op::Write:
    case Op::Copy:
      return "write";
    case Op::Length:
      return "measure";
    case Op::Flush:
    case Op::SyncFolder:
      return "flush to disk";
    case Op::Close:
      return "close";
    case Op::Remove:
      return "delete";
    case Op::Rename:
    case Op::Publish:
      return "rename";
    case Op::CreateTemporary:
      return "create a temporary file in";
    default:
      return "use";
  }
}

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
  static constexpr const char* kNames[] = {
      "stat",  "open",  "create", "read",   "read-at",          "write",   "copy",       "length",
      "flush", "close", "remove", "rename", "create-temporary", "publish", "sync-folder"};
  return kNames[static_cast<int>(op)];
}

bool FaultFileSystem::chosen(Op op, const std::string& path) {
  const int n = ++counts_[static_cast<int>(op)];
  if (op == failOp_ && failNth_ > 0 && n == failNth_) return true;
  return op == pathOp_ && !pathFragment_.empty() && path.find(pathFragment_) != std::string::npos;
}

void FaultFileSystem::hit(Op op, const std::string& path) {
  if (!chosen(op, path)) return;
  fired_ = true;
  const int error = op == pathOp_ && !pathFragment_.empty() ? pathError_ : failError_;
  throw FileError(path, actionOf(op), error);
}

FileInfo FaultFileSystem::Stat(const std::string& path) {
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

std::unique_ptr<File> FaultFileSystem::CreateTemporary(const std::string& folder) {
  hit(Op::CreateTemporary, folder);
  return std::make_unique<FaultFile>(*this, inner_.CreateTemporary(folder));
}

void FaultFileSystem::Publish(File& temporary, const std::string& path) {
  hit(Op::Publish, path);
  inner_.Publish(unwrap(temporary), path);
}

void FaultFileSystem::Discard(File& temporary) noexcept {
  inner_.Discard(unwrap(temporary));
}

void FaultFileSystem::SyncFolder(const std::string& folder) {
  hit(Op::SyncFolder, folder);
  inner_.SyncFolder(folder);
}

}  // namespace qm::test
