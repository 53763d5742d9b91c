#include "tests/fakes/fault_file_system.h"

#include <cerrno>
#include <utility>

namespace qm::test {
namespace {

// Each kind's name, and the action a real failure of it would name.
// clang-format off
constexpr std::pair<const char*, const char*> kOps[] = {
    {"stat", "use"}, {"open", "open for reading"}, {"create", "create"}, {"read", "read"},
    {"read-at", "read"}, {"write", "write"}, {"copy", "write"}, {"copy-ahead", "write"},
    {"length", "measure"}, {"flush", "flush to disk"}, {"close", "close"}, {"remove", "delete"},
    {"rename", "rename"}, {"create-temporary", "create a temporary file in"},
    {"publish", "rename"}, {"sync-folder", "flush to disk"}, {"open-folder", "open the folder"}};
// clang-format on

// Wraps an open file so its reads, writes, flushes and closes can fail too.
class FaultFile : public File {
 public:
  FaultFile(FaultFileSystem& fs, std::unique_ptr<File> inner) : fs_(fs), inner_(std::move(inner)) {}
  const std::string& path() const override { return inner_->path(); }
  std::size_t Read(void* buffer, std::size_t n) override { return at(Op::Read).Read(buffer, n); }
  std::size_t ReadAt(void* buffer, std::size_t n, std::uint64_t offset) override {
    return at(Op::ReadAt).ReadAt(buffer, n, offset);
  }
  void Write(const void* data, std::size_t n) override { at(Op::Write).Write(data, n); }
  std::uint64_t Length() override { return at(Op::Length).Length(); }
  void Flush() override { at(Op::Flush).Flush(); }
  void Close() override { at(Op::Close).Close(); }
  FileInfo Info() override { return inner_->Info(); }
  void SetMode(std::uint32_t mode) override { inner_->SetMode(mode); }
  File& inner() { return *inner_; }

 private:
  File& at(Op op) {
    fs_.hit(op, path());
    return *inner_;
  }
  FaultFileSystem& fs_;
  std::unique_ptr<File> inner_;
};

}  // namespace

const char* opName(Op op) {
  return kOps[static_cast<int>(op)].first;
}

bool FaultFileSystem::chosen(Op op, const std::string& path) {
  const int n = ++counts_[static_cast<int>(op)];
  if (op != fault_.op) return false;
  return fault_.nth > 0
             ? n == fault_.nth
             : !fault_.fragment.empty() && path.find(fault_.fragment) != std::string::npos;
}

FileSystem& FaultFileSystem::hit(Op op, const std::string& path) {
  if (before) before(op, path);
  if (!chosen(op, path)) return inner_;
  fired_ = true;
  throw FileError(path, kOps[static_cast<int>(op)].second, fault_.error);
}

bool FaultFileSystem::absent(const std::string& path) {
  if (before) before(Op::Stat, path);
  return chosen(Op::Stat, path) && (fired_ = true);
}

std::uint64_t FaultFileSystem::CopyAhead(File& from, File& to, std::uint64_t n) {
  if (chosen(Op::CopyAhead, to.path())) {
    fired_ = true;
    n /= 2;
  }
  return inner_.CopyAhead(unwrap(from), unwrap(to), n);
}

std::unique_ptr<File> FaultFileSystem::wrap(std::unique_ptr<File> file) {
  return std::make_unique<FaultFile>(*this, std::move(file));
}

File& FaultFileSystem::unwrap(File& file) {
  auto* wrapped = dynamic_cast<FaultFile*>(&file);
  return wrapped != nullptr ? wrapped->inner() : file;
}

}  // namespace qm::test
