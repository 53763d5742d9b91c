#include "engine/part_names.h"

#include "platform/text.h"

namespace qm {

std::string PartName(const std::string& base, int number) {
  const std::string digits = "000" + std::to_string(number < 0 ? -number : number);
  return dropRightChars(base, 3) + digits.substr(digits.size() - 3);
}

std::string BatchFileName(const std::string& dest) {
  return dropRightChars(dest, 3) + "bat";
}

std::string ChecksumFileName(const std::string& dest) {
  return dropRightChars(dest, 3) + "sha256";
}

std::string ShellScriptName(const std::string& dest) {
  return dropRightChars(dest, 3) + "sh";
}

std::string DataFileTitle(const std::string& sourceTitle) {
  return dropRightChars(sourceTitle, 3) + "qkd";
}

}  // namespace qm
