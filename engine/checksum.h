// SHA-256 for part sets: the digest, the checksum file that travels beside a set (in the format
// of sha256sum, so the receiver can check it by hand), and a hasher that works on a thread of
// its own so that the copy keeps its speed.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/file_system.h"

struct evp_md_ctx_st;

namespace qm {

using Digest = std::array<std::uint8_t, 32>;

// One SHA-256 computation, through libcrypto (which uses the processor's SHA instructions).
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void Update(const void* data, std::size_t n);
  // The digest of everything given; the object starts afresh afterwards.
  Digest Final();

 private:
  evp_md_ctx_st* context_;
};

Digest Sha256Of(std::string_view bytes);
// 64 lower-case hex digits.
std::string HexOf(const Digest& digest);

// One line of a checksum file: a file of the set, by its name without folder.
struct ChecksumEntry {
  std::string name;
  Digest digest{};
};

// The lines as sha256sum writes them: 64 hex digits, two blanks, the name, LF. A name holding
// "\", LF or CR is written escaped, with a "\" before the line, exactly as sha256sum does.
std::string ChecksumFileText(const std::vector<ChecksumEntry>& entries);

// How a name appears on its line: unchanged, or escaped when it holds "\", LF or CR (the line
// then begins with "\"; `escaped` says so).
std::string ChecksumNameField(const std::string& name, bool& escaped);

// Reads what ChecksumFileText and sha256sum write (binary mode's "*" too). Throws
// std::invalid_argument with a sentence that says what is wrong: a line that is not a digest
// and a name, an empty file, or a name listed twice.
std::vector<ChecksumEntry> ParseChecksumFile(std::string_view bytes);

// Reads and parses a checksum file; throws FileError (action "read the checksum file").
std::vector<ChecksumEntry> ReadChecksumFile(FileSystem& fs, const std::string& path);

// The digest listed for `name`, if any.
std::optional<Digest> FindDigest(const std::vector<ChecksumEntry>& entries,
                                 const std::string& name);

// Hashes byte ranges of open files on a thread of its own, in the order they were added, while
// the caller goes on copying. Reads go through File::ReadAt, which leaves the position that a
// copy of the same file uses alone. Memory: one buffer of 1 MiB for each thread that hashes.
class BackgroundHasher {
 public:
  // At most `backlog` ranges wait; past that, Add hashes one itself rather than keep more files
  // open (and so lends the hashing a second processor when the copy is the faster).
  explicit BackgroundHasher(std::size_t backlog = 8);
  // Abandons what is not hashed yet and waits for the thread.
  ~BackgroundHasher();
  BackgroundHasher(const BackgroundHasher&) = delete;
  BackgroundHasher& operator=(const BackgroundHasher&) = delete;

  // Queues `length` bytes of `file` from `offset`; returns the range's number (0, 1, ...). With
  // `expected`, a digest that differs shows in FirstMismatch as soon as it is known.
  std::size_t Add(std::shared_ptr<File> file, std::uint64_t offset, std::uint64_t length,
                  std::optional<Digest> expected = std::nullopt);
  // The lowest number of a range hashed so far whose digest differs from the one expected.
  std::optional<std::size_t> FirstMismatch();
  // Hashes what is still waiting (here as well as on the thread), and returns every digest in
  // the order added. Rethrows the first failure: a FileError for a read that failed, or for a
  // file that ended before its range did.
  std::vector<Digest> Finish();

 private:
  struct Range {
    std::size_t index;
    std::shared_ptr<File> file;
    std::uint64_t offset;
    std::uint64_t length;
    std::optional<Digest> expected;
  };

  void Work();
  // Hashes one range taken from the queue, on whichever thread calls it; the lock is not held.
  void Hash(Range& range, std::vector<char>& buffer);
  // Takes the newest waiting range and hashes it on the caller's thread; `lock` is held on
  // entry and on return.
  void HashNewestHere(std::unique_lock<std::mutex>& lock);
  void Settle(const Range& range, const Digest& digest, std::exception_ptr failure);

  std::size_t backlog_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Range> waiting_;
  std::vector<Digest> digests_;
  std::size_t busy_ = 0;  // ranges being hashed right now
  std::optional<std::size_t> mismatch_;
  std::exception_ptr failure_;
  bool stopping_ = false;
  std::atomic<bool> abandon_ = false;  // read between the chunks of a range
  std::vector<char> ownBuffer_;        // for the ranges the caller's thread hashes
  std::thread thread_;
};

}  // namespace qm
