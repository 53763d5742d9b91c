#include "tests/fakes/fault_file_system.h"

#include <cerrno>
#include <utility>

namespace qm::test {
namespace {

// Each kind's name, and the action a real failure of it would name.
// clang-format off
constexpr std::pair<const char*, const char*> kOps[] = {
    {"stat", "use"}, {"open", "open for reading"}, {"create", "create"}, {"read", "read"},
    {"read-at", "read"}, {"write", "write"}, {"copy", "write"}, {"length", "measure"}, {"flush", "flush to disk"},
    {"close", "close"}, {"remove", "delete"}, {"rename", "rename"},
    {"create-temporary", "create a temporary file in"}, {"publish", "rename"},
    {"sync-folder", "flush to disk"}};
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
  if (!chosen(op, path)) return;
  fired_ = true;
  const int error = op == pathOp_ && !pathFragment_.empty() ? pathError_ : failError_;
  throw FileError(path, kOps[static_cast<int>(op)].second, error);
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
