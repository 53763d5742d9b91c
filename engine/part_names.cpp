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

}  // namespace qm
