#include "platform/posix_association_store.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace qm {
namespace {

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return {};
}

// The XDG base folder named by `variable`, or `fallback` below the home folder. The base
// directory rules ignore a value that is not an absolute path.
std::string baseFolder(const char* variable, const std::string& home, const char* fallback) {
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
    return withoutTrailingSlashes(value);
  }
  std::string base = withoutTrailingSlashes(home);
  if (base == "/") base.clear();
  if (home.empty()) return {};
  return base + fallback;
}

// True when the folder, or its nearest ancestor that exists, belongs to the user running the
// program. This keeps a program started by root with someone else's HOME (sudo without -H)
// from leaving root's files in that person's folders, and any user out of system folders that a
// stray XDG variable may name.
bool ownFolder(const std::string& folder) {
  if (folder.empty() || folder.front() != '/') return false;
  std::string path = folder;
  for (;;) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    const auto slash = path.rfind('/');
    if (slash == 0 || slash == std::string::npos) return false;
    path.resize(slash);
  }
}

std::string programFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string exe(buffer.data(), static_cast<std::size_t>(n));
      const auto slash = exe.rfind('/');
      if (exe.empty() || exe.front() != '/' || slash == std::string::npos) return {};
      return slash == 0 ? std::string("/") : exe.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

UserFolders PosixAssociationStore::Folders() {
  const std::string home = homeFolder();
  UserFolders folders;
  folders.dataHome = baseFolder("XDG_DATA_HOME", home, "/.local/share");
  folders.configHome = baseFolder("XDG_CONFIG_HOME", home, "/.config");
  if (!ownFolder(folders.dataHome)) folders.dataHome.clear();
  if (!ownFolder(folders.configHome)) folders.configHome.clear();
  folders.programFolder = programFolder();
  return folders;
}

void PosixAssociationStore::RunTool(const std::string& tool, const std::string& folder) {
  runner_.Start({tool, folder});
}

}  // namespace qm
