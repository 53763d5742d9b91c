#include "engine/data_file.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "engine/numbers.h"
#include "engine/shared_routines.h"
#include "platform/text.h"

namespace qm {
namespace {

// A data file holds a name and a number; anything this long is something else, and is refused
// without being read whole.
constexpr std::uint64_t kMaxDataFileBytes = std::uint64_t{64} * 1024;

constexpr const char* kReadAction = "read the data file";

[[noreturn]] void invalid(const std::string& what) {
  throw std::invalid_argument(what);
}

// One line from `pos`, without its LF or CR LF; `pos` moves past the line end. False when no
// line end follows.
bool takeLine(std::string_view bytes, std::size_t& pos, std::string_view& line) {
  const std::size_t end = bytes.find('\n', pos);
  if (end == std::string_view::npos) return false;
  line = bytes.substr(pos, end - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = end + 1;
  return true;
}

// A control character of Unicode's C0 or C1 set, or DEL, in UTF-8.
bool holdsControlCharacter(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

void checkName(const std::string& name) {
  if (name.empty()) invalid("its first line names no file");
  if (name == "." || name == "..") invalid("its first line names a folder (\"" + name + "\")");
  // The join writes this name into the data file's own folder, and nowhere else.
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
    invalid("the name on its first line holds a folder separator");
  }
  if (holdsControlCharacter(name)) {
    invalid("the name on its first line holds a control character");
  }
}

int parseCount(std::string_view field) {
  std::size_t first = 0;
  while (first < field.size() && (field[first] == ' ' || field[first] == '\t'))
    ++first;
  std::size_t last = field.size();
  while (last > first && (field[last - 1] == ' ' || field[last - 1] == '\t'))
    --last;
  const std::string digits(field.substr(first, last - first));
  bool onlyDigits = !digits.empty();
  for (char c : digits)
    onlyDigits = onlyDigits && c >= '0' && c <= '9';
  // Leading zeros are harmless ("012" is 12); signs, fractions and trailing words are not a
  // part count.
  const double value = onlyDigits ? LeadingNumber(digits) : 0.0;
  if (!onlyDigits || value < 1 || value > kMaxParts) {
    invalid("its second line (\"" + digits.substr(0, 20) +
            "\") is not a number of parts from 1 to 999");
  }
  return static_cast<int>(value);
}

}  // namespace

std::string DataFileText(const std::string& name, int count) {
  // The reader drops quotes around a whole name and a byte order mark at the start of the file;
  // a name that looks like either is put in quotes so that it reads back as it was.
  const bool quoted = name.size() >= 2 && name.front() == '"' && name.back() == '"';
  const bool bom = name.starts_with("\xEF\xBB\xBF");
  const std::string line1 = quoted || bom ? "\"" + name + "\"" : name;
  return line1 + "\r\n" + std::to_string(count) + "\r\n";
}

void WriteDataFile(FileSystem& fs, const std::string& path, const std::string& name, int count) {
  // Deleting first replaces a link of that name instead of writing through it.
  if (FileExists(fs, path)) fs.Remove(path);
  const std::string text = DataFileText(name, count);
  auto file = fs.Create(path);
  file->Write(text.data(), text.size());
  file->Close();
}

DataFileContents ParseDataFile(std::string_view bytes) {
  if (bytes.empty()) invalid("it is empty");
  // Editors on Windows like to start a UTF-8 text with a byte order mark.
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::size_t pos = 0;
  std::string_view line1;
  if (!takeLine(bytes, pos, line1)) invalid("it has no second line");
  std::string_view line2 = bytes.substr(pos);
  if (line2.empty()) invalid("it has no second line");
  if (const auto end = line2.find('\n'); end != std::string_view::npos) {
    line2 = line2.substr(0, end);
  }
  if (!line2.empty() && line2.back() == '\r') line2.remove_suffix(1);

  DataFileContents contents;
  contents.name = std::string(line1);
  // Data files also come from Windows machines, written in their code page.
  if (!isValidUtf8(contents.name)) contents.name = fromWindows1252(contents.name);
  if (contents.name.size() >= 2 && contents.name.front() == '"' && contents.name.back() == '"') {
    contents.name = contents.name.substr(1, contents.name.size() - 2);
  }
  checkName(contents.name);
  contents.count = parseCount(line2);
  return contents;
}

DataFileContents ReadDataFile(FileSystem& fs, const std::string& path) {
  std::string bytes;
  try {
    const FileInfo info = fs.Stat(path);
    if (info.exists && info.length > kMaxDataFileBytes) {
      throw FileError(
          path, kReadAction,
          "it is " + std::to_string(info.length) + " bytes long, far too long for a data file");
    }
    auto file = fs.OpenRead(path);
    // Read one byte past the limit, so a file that grew after the look above is caught too.
    bytes.resize(kMaxDataFileBytes + 1);
    bytes.resize(file->Read(bytes.data(), bytes.size()));
    file->Close();
  } catch (const FileError& error) {
    if (error.action() == kReadAction) throw;
    throw FileError(path, kReadAction, error.reason());
  }
  if (bytes.size() > kMaxDataFileBytes) {
    throw FileError(path, kReadAction, "it is far too long for a data file");
  }
  try {
    return ParseDataFile(bytes);
  } catch (const std::invalid_argument& wrong) {
    throw FileError(path, kReadAction, wrong.what());
  }
}

}  // namespace qm
