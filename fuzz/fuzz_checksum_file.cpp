// Arbitrary bytes as a checksum file. The reader must refuse them with std::invalid_argument or
// return at least one entry, each with a name and no name twice, and what it accepts must read
// back the same once written out again.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "engine/checksum.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<qm::ChecksumEntry> entries;
  try {
    entries = qm::ParseChecksumFile(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::invalid_argument&) {
    return 0;
  }
  if (entries.empty()) __builtin_trap();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].name.empty() || entries[i].name.find('\0') != std::string::npos)
      __builtin_trap();
    for (std::size_t j = 0; j < i; ++j)
      if (entries[j].name == entries[i].name) __builtin_trap();
  }
  const std::vector<qm::ChecksumEntry> again = qm::ParseChecksumFile(qm::ChecksumFileText(entries));
  if (again.size() != entries.size()) __builtin_trap();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (again[i].name != entries[i].name || again[i].digest != entries[i].digest) __builtin_trap();
  }
  return 0;
}
