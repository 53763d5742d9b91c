#include "engine/checksum.h"

#include <openssl/evp.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace qm {
namespace {

// A checksum file lists at most 999 parts and a data file; anything this long is something else,
// and is refused without being read whole.
constexpr std::uint64_t kMaxChecksumFileBytes = std::uint64_t{4} * 1024 * 1024;
constexpr std::size_t kHashChunk = std::size_t{1024} * 1024;

[[noreturn]] void invalid(const std::string& what) {
  throw std::invalid_argument(what);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool needsEscape(const std::string& name) {
  return name.find_first_of("\\\n\r") != std::string::npos;
}

// One line of the file (without its LF) into an entry; `number` counts from 1, for the message.
ChecksumEntry parseLine(std::string_view line, std::size_t number) {
  const std::string where = "line " + std::to_string(number);
  // sha256sum writes a name holding "\", LF or CR escaped, and marks the line with a "\" first.
  const bool escaped = !line.empty() && line.front() == '\\';
  if (escaped) line.remove_prefix(1);
  if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*')) {
    invalid(where + " is not 64 hex digits, two blanks and a file name");
  }
  ChecksumEntry entry;
  for (std::size_t i = 0; i < 32; ++i) {
    const int high = hexValue(line[2 * i]);
    const int low = hexValue(line[2 * i + 1]);
    if (high < 0 || low < 0) invalid(where + " does not begin with 64 hex digits");
    entry.digest[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  const std::string_view name = line.substr(66);
  if (!escaped) {
    entry.name = std::string(name);
  } else {
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (name[i] != '\\') {
        entry.name += name[i];
        continue;
      }
      const char next = i + 1 < name.size() ? name[i + 1] : '\0';
      if (next == '\\') {
        entry.name += '\\';
      } else if (next == 'n') {
        entry.name += '\n';
      } else if (next == 'r') {
        entry.name += '\r';
      } else {
        invalid(where + " holds a \"\\\" that stands for no character");
      }
      ++i;
    }
  }
  if (entry.name.find('\0') != std::string::npos) invalid(where + " names a file with a NUL");
  return entry;
}

}  // namespace

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context_);
    throw std::runtime_error("libcrypto cannot compute SHA-256");
  }
}

Sha256::~Sha256() {
  EVP_MD_CTX_free(context_);
}

void Sha256::Update(const void* data, std::size_t n) {
  if (n > 0 && EVP_DigestUpdate(context_, data, n) != 1) {
    throw std::runtime_error("libcrypto failed computing SHA-256");
  }
}

Digest Sha256::Final() {
  Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_, digest.data(), &length) != 1 || length != digest.size() ||
      EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("libcrypto failed computing SHA-256");
  }
  return digest;
}

Digest Sha256Of(std::string_view bytes) {
  Sha256 sha;
  sha.Update(bytes.data(), bytes.size());
  return sha.Final();
}

std::string HexOf(const Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

std::string ChecksumNameField(const std::string& name, bool& escaped) {
  escaped = needsEscape(name);
  if (!escaped) return name;
  std::string field;
  for (char c : name) {
    if (c == '\\') {
      field += "\\\\";
    } else if (c == '\n') {
      field += "\\n";
    } else if (c == '\r') {
      field += "\\r";
    } else {
      field += c;
    }
  }
  return field;
}

std::string ChecksumFileText(const std::vector<ChecksumEntry>& entries) {
  std::string text;
  for (const ChecksumEntry& entry : entries) {
    bool escaped = false;
    const std::string field = ChecksumNameField(entry.name, escaped);
    if (escaped) text += '\\';
    text += HexOf(entry.digest) + "  " + field + "\n";
  }
  return text;
}

std::vector<ChecksumEntry> ParseChecksumFile(std::string_view bytes) {
  std::vector<ChecksumEntry> entries;
  std::size_t number = 0;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    ++number;
    // A CR of the name itself is escaped, so one before the LF is an editor's line end.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ChecksumEntry entry = parseLine(line, number);
    for (const ChecksumEntry& earlier : entries) {
      if (earlier.name == entry.name) {
        invalid("line " + std::to_string(number) + " lists \"" + entry.name + "\" a second time");
      }
    }
    entries.push_back(std::move(entry));
  }
  if (entries.empty()) invalid("it lists no file");
  return entries;
}

std::vector<ChecksumEntry> ReadChecksumFile(FileSystem& fs, const std::string& path) {
  constexpr const char* kAction = "read the checksum file";
  const FileInfo info = fs.Stat(path);
  if (info.exists && !info.regular) throw FileError(path, kAction, "it is not a file");
  auto file = fs.OpenRead(path);
  if (file->Length() > kMaxChecksumFileBytes) {
    throw FileError(path, kAction, "it is far too long for a checksum file");
  }
  std::string bytes(static_cast<std::size_t>(file->Length()), '\0');
  bytes.resize(file->Read(bytes.data(), bytes.size()));
  file->Close();
  try {
    return ParseChecksumFile(bytes);
  } catch (const std::invalid_argument& e) {
    throw FileError(path, kAction, e.what());
  }
}

std::optional<Digest> FindDigest(const std::vector<ChecksumEntry>& entries,
                                 const std::string& name) {
  for (const ChecksumEntry& entry : entries) {
    if (entry.name == name) return entry.digest;
  }
  return std::nullopt;
}

BackgroundHasher::BackgroundHasher(std::size_t backlog)
    : backlog_(std::max<std::size_t>(1, backlog)), thread_([this] { Work(); }) {}

BackgroundHasher::~BackgroundHasher() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    abandon_ = true;
    waiting_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

std::size_t BackgroundHasher::Add(std::shared_ptr<File> file, std::uint64_t offset,
                                  std::uint64_t length, std::optional<Digest> expected) {
  std::unique_lock lock(mutex_);
  const std::size_t index = digests_.size();
  digests_.emplace_back();
  waiting_.push_back(Range{index, std::move(file), offset, length, expected});
  // The newest waits longest for the thread; hashing it here keeps the backlog short.
  while (waiting_.size() > backlog_ && failure_ == nullptr)
    HashNewestHere(lock);
  lock.unlock();
  changed_.notify_all();
  return index;
}

void BackgroundHasher::HashNewestHere(std::unique_lock<std::mutex>& lock) {
  Range range = std::move(waiting_.back());
  waiting_.pop_back();
  ++busy_;
  lock.unlock();
  if (ownBuffer_.empty()) ownBuffer_.resize(kHashChunk);
  Hash(range, ownBuffer_);
  lock.lock();
}

std::optional<std::size_t> BackgroundHasher::FirstMismatch() {
  std::lock_guard lock(mutex_);
  return mismatch_;
}

std::vector<Digest> BackgroundHasher::Finish() {
  std::unique_lock lock(mutex_);
  while (!waiting_.empty() && failure_ == nullptr)
    HashNewestHere(lock);
  changed_.wait(lock, [this] { return busy_ == 0 && (waiting_.empty() || failure_ != nullptr); });
  if (failure_ != nullptr) std::rethrow_exception(failure_);
  return digests_;
}

void BackgroundHasher::Work() {
  std::vector<char> buffer(kHashChunk);
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (waiting_.empty()) return;  // stopping, nothing left
    Range range = std::move(waiting_.front());
    waiting_.pop_front();
    ++busy_;
    lock.unlock();
    Hash(range, buffer);
    lock.lock();
  }
}

void BackgroundHasher::Hash(Range& range, std::vector<char>& buffer) {
  Digest digest{};
  std::exception_ptr failure;
  try {
    Sha256 sha;
    std::uint64_t done = 0;
    while (done < range.length && !abandon_) {
      const auto want =
          static_cast<std::size_t>(std::min<std::uint64_t>(range.length - done, buffer.size()));
      const std::size_t got = range.file->ReadAt(buffer.data(), want, range.offset + done);
      sha.Update(buffer.data(), got);
      done += got;
      if (got < want) {
        throw FileError(range.file->path(), "read",
                        "it ended after " + std::to_string(range.offset + done) +
                            " bytes, though it was longer when it was measured");
      }
    }
    digest = sha.Final();
  } catch (...) {
    failure = std::current_exception();
  }
  range.file.reset();  // the last holder closes it
  Settle(range, digest, failure);
}

void BackgroundHasher::Settle(const Range& range, const Digest& digest,
                              std::exception_ptr failure) {
  {
    std::lock_guard lock(mutex_);
    --busy_;
    if (failure != nullptr) {
      if (failure_ == nullptr) failure_ = failure;
      abandon_ = true;
    } else {
      digests_[range.index] = digest;
      if (range.expected && *range.expected != digest && (!mismatch_ || range.index < *mismatch_)) {
        mismatch_ = range.index;
      }
    }
  }
  changed_.notify_all();
}

}  // namespace qm
