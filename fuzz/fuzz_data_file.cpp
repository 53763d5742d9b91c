// Arbitrary bytes as a data file. The reader must refuse them with std::invalid_argument or
// return a name that is safe to create beside the data file and a count from 1 to 999, and
// what it accepts must read back the same once written out again.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/data_file.h"
#include "platform/text.h"

namespace {

bool holdsControlCharacter(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F) return true;
    // U+0080..U+009F
    if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::DataFileContents contents;
  try {
    contents = qm::ParseDataFile(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::invalid_argument&) {
    return 0;
  }
  const std::string& name = contents.name;
  if (contents.count < 1 || contents.count > 999) __builtin_trap();
  if (name.empty() || name == "." || name == "..") __builtin_trap();
  if (name.find_first_of("/\\") != std::string::npos) __builtin_trap();
  if (holdsControlCharacter(name) || !qm::isValidUtf8(name)) __builtin_trap();

  // What the writer makes of the same contents must read back unchanged.
  const std::string written = qm::DataFileText(name, contents.count);
  const qm::DataFileContents again = qm::ParseDataFile(written);
  if (again.name != name || again.count != contents.count) __builtin_trap();
  return 0;
}
