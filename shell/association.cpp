#include "shell/association.h"

#include <cstddef>
#include <string_view>

#include "platform/text.h"
#include "shell/association_texts.h"

namespace qm {
namespace {

constexpr std::string_view kDefaultSection = "[Default Applications]";
constexpr std::string_view kAddedSection = "[Added Associations]";
// A mimeapps.list larger than this is not one we should be rewriting.
constexpr std::uint64_t kMaxListLength = 1 << 20;

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The key of a "key=value" line, or "" for anything else.
std::string_view keyOf(std::string_view line) {
  const auto t = trimmed(line);
  if (t.empty() || t.front() == '#' || t.front() == '[') return {};
  const auto equals = t.find('=');
  return equals == std::string_view::npos ? std::string_view() : trimmed(t.substr(0, equals));
}

std::string_view valueOf(std::string_view line) {
  const auto equals = line.find('=');
  return trimmed(line.substr(equals + 1));
}

bool isSection(std::string_view line) {
  const auto t = trimmed(line);
  return !t.empty() && t.front() == '[';
}

// Our desktop entry first, then the others the user had added for the type, in their order.
std::string addedValue(std::string_view old) {
  std::string value = std::string(kDesktopId) + ";";
  std::size_t start = 0;
  while (start < old.size()) {
    auto end = old.find(';', start);
    if (end == std::string_view::npos) end = old.size();
    const auto id = trimmed(old.substr(start, end - start));
    if (!id.empty() && id != kDesktopId) {
      value += id;
      value += ';';
    }
    start = end + 1;
  }
  return value;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string readAll(FileSystem& fs, const std::string& path, std::uint64_t length) {
  auto file = fs.OpenRead(path);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  bytes.resize(file->Read(bytes.data(), bytes.size()));
  file->Close();
  return bytes;
}

// Creates `folder` and the missing folders above it.
void makeFolders(FileSystem& fs, const std::string& folder) {
  if (folder.empty() || fs.Stat(folder).exists) return;
  const auto slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0) makeFolders(fs, folder.substr(0, slash));
  fs.CreateFolder(folder);
}

// Puts `content` into `path` unless it holds exactly that already; returns true when it
// wrote. The new content replaces the old in one step, so a crash never leaves half a file in
// the user's configuration.
bool writeIfChanged(FileSystem& fs, const std::string& named, const std::string& content) {
  // A file kept as a link (to a folder of dotfiles, say) stays one: its target is rewritten.
  const std::string path = fs.Resolve(named);
  const FileInfo info = fs.Stat(path);
  if (info.exists && !info.regular) return false;  // not ours to replace
  if (info.regular && info.length == content.size() && readAll(fs, path, info.length) == content) {
    return false;
  }
  const std::string folder = path.substr(0, path.rfind('/'));
  makeFolders(fs, folder);
  auto temporary = fs.CreateTemporary(folder + "/");
  try {
    temporary->Write(content.data(), content.size());
    // The rewritten file is as private as it was; a new one is what any new file would be.
    temporary->SetMode(info.regular ? info.mode : 0666 & ~fs.Umask());
    fs.Publish(*temporary, path);
    temporary->Close();
  } catch (...) {
    fs.Discard(*temporary);
    throw;
  }
  return true;
}

// Runs `step`, swallowing its failure: each piece of the association stands on its own, and
// nothing about it may stop the program from starting.
template <typename Step>
void quietly(Step step) noexcept {
  try {
    step();
  } catch (...) {
  }
}

}  // namespace

std::string DesktopExec(const std::string& programFolder) {
  std::string program = programFolder;
  if (program.empty() || program.back() != '/') program += '/';
  program += "quellmark";

  // An argument with a reserved character goes in double quotes, inside which the double
  // quote, the backquote, the dollar sign and the backslash take a backslash.
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string argument;
  if (program.find_first_of(kReserved) == std::string::npos) {
    argument = program;
  } else {
    argument = "\"";
    for (const char c : program) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') argument += '\\';
      argument += c;
    }
    argument += '"';
  }

  // Then the rules of every string value: % is doubled for the field codes, and backslashes
  // and control characters are escaped once more.
  std::string value;
  for (const char c : argument) {
    switch (c) {
      case '%':
        value += "%%";
        break;
      case '\\':
        value += "\\\\";
        break;
      case '\n':
        value += "\\n";
        break;
      case '\t':
        value += "\\t";
        break;
      case '\r':
        value += "\\r";
        break;
      default:
        value += c;
    }
  }
  return value;
}

std::string WithDefaultApplication(const std::string& mimeapps) {
  std::vector<std::string> lines = splitLines(mimeapps);
  const auto lineFor = [](std::string_view header, std::string_view old) {
    return std::string(kMimeType) + "=" +
           (header == kDefaultSection ? std::string(kDesktopId) : addedValue(old));
  };

  // Every line of ours in the two sections is set, since GLib takes the last of duplicate keys
  // and none may keep an old value. A section without one gets one after its last entry, so a
  // comment or blank line that leads into the next section stays in front of that section.
  struct Section {
    std::string_view header;
    bool seen = false;
    bool hasKey = false;
    std::size_t lastEntry = 0;  // its first header, or the last entry below it
  };
  Section sections[] = {{kDefaultSection}, {kAddedSection}};
  Section* current = nullptr;
  bool firstOccurrence = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    if (isSection(line)) {
      current = nullptr;
      for (auto& section : sections) {
        if (trimmed(line) == section.header) current = &section;
      }
      firstOccurrence = current != nullptr && !current->seen;
      if (firstOccurrence) {
        current->seen = true;
        current->lastEntry = i;
      }
      continue;
    }
    if (current == nullptr) continue;
    if (firstOccurrence && !keyOf(line).empty()) current->lastEntry = i;
    if (keyOf(line) != kMimeType) continue;
    const bool crlf = line.back() == '\r';
    line = lineFor(current->header, valueOf(line));
    if (crlf) line += '\r';
    current->hasKey = true;
  }

  // Insert the later position first, so the earlier one stays valid.
  std::vector<const Section*> inserts;
  for (const auto& section : sections) {
    if (section.seen && !section.hasKey) inserts.push_back(&section);
  }
  if (inserts.size() == 2 && inserts[0]->lastEntry < inserts[1]->lastEntry) {
    std::swap(inserts[0], inserts[1]);
  }
  for (const Section* section : inserts) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(section->lastEntry) + 1,
                 lineFor(section->header, {}));
  }

  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += '\n';
  }
  for (const auto& section : sections) {
    if (section.seen) continue;
    if (!text.empty() && !text.ends_with("\n\n")) text += '\n';
    text += section.header;
    text += '\n';
    text += lineFor(section.header, {});
    text += '\n';
  }
  return text;
}

void RegisterFileType(FileSystem& fs, AssociationStore& store,
                      const std::vector<IconImage>& icons) noexcept {
  UserFolders where;
  try {
    where = store.Folders();
  } catch (...) {
    return;
  }

  if (!where.dataHome.empty()) {
    const std::string& data = where.dataHome;
    quietly([&] {
      if (writeIfChanged(fs, data + "/mime/packages/quellmark.xml", kMimePackageText)) {
        store.RunTool("update-mime-database", data + "/mime");
      }
    });
    for (const auto& icon : icons) {
      quietly([&] {
        if (icon.size <= 0 || icon.png.empty()) return;
        const std::string size = std::to_string(icon.size);
        writeIfChanged(fs, data + "/icons/hicolor/" + size + "x" + size + "/apps/quellmark.png",
                       icon.png);
      });
    }
    // Desktop entries are UTF-8 text; a program folder whose name is not cannot be written
    // into one.
    if (!where.programFolder.empty() && isValidUtf8(where.programFolder)) {
      quietly([&] {
        std::string entry = kDesktopEntryText;
        const std::string_view token = kDesktopExecToken;
        const auto at = entry.find(token);
        if (at == std::string::npos) return;
        entry.replace(at, token.size(), DesktopExec(where.programFolder));
        const std::string applications = data + "/applications";
        if (writeIfChanged(fs, applications + "/" + kDesktopId, entry)) {
          store.RunTool("update-desktop-database", applications);
        }
      });
    }
  }

  if (!where.configHome.empty()) {
    quietly([&] {
      const std::string path = where.configHome + "/mimeapps.list";
      const FileInfo info = fs.Stat(path);
      if (info.exists && (!info.regular || info.length > kMaxListLength)) return;
      const std::string old = info.exists ? readAll(fs, path, info.length) : std::string();
      writeIfChanged(fs, path, WithDefaultApplication(old));
    });
  }
}

}  // namespace qm
