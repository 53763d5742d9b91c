#include "engine/part_count.h"

#include <algorithm>
#include <limits>

#include "engine/messages.h"
#include "engine/numbers.h"
#include "engine/shared_routines.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace qm {

std::int64_t CountParts(JobState& state, FileSystem& fs, const std::string& source,
                        std::int64_t splitSize) {
  if (!FileExists(fs, source) || splitSize <= 0) return 0;
  state.PreviewLength = static_cast<std::int64_t>(fs.Stat(source).length);
  if (splitSize >= state.PreviewLength) return 1;
  // The quotient rounded up: a last, shorter part takes the rest.
  state.PartCount = state.PreviewLength / splitSize;
  if (state.PreviewLength - state.PartCount * splitSize > 0) ++state.PartCount;
  return state.PartCount;
}

std::string PartCountText(std::int64_t count) {
  // Three digits name only 999 parts; Begin and the split refuse anything more.
  return count > kMaxParts ? "1000+" : std::to_string(count);
}

std::int32_t CustomSplitSize(const std::string& text, int unitIndex) {
  const double number = LeadingNumber(text);
  if (!(number > 0)) return 0;
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int64_t rounded = RoundHalfEven(number);
  // A size past 32 bits is no usable size: it counts like 0, so Begin reports it.
  if (rounded > kMax) return 0;
  const std::int64_t unit = unitIndex == 2 ? kOneMb : unitIndex == 1 ? 1024 : 1;
  const std::int64_t bytes = rounded * unit;
  return bytes > kMax ? 0 : static_cast<std::int32_t>(bytes);
}

std::string DefaultDestination(const std::string& source, const std::string& current) {
  std::string dest;
  const std::size_t length = charCount(source);
  for (std::size_t k = std::min<std::size_t>(4, length); k >= 1; --k) {
    if (rightChars(source, k).front() == '.') dest = dropRightChars(source, k) + ".qkd";
  }
  if (!dest.empty()) return dest;
  return current.empty() ? source + ".qkd" : current;
}

bool IsDataFileName(const std::string& path) {
  return asciiLower(rightChars(path, 3)) == "qkd";
}

int CheckBeforeRun(FileSystem& fs, const std::string& source, const std::string& dest,
                   std::int64_t partCount) {
  if (partCount > kMaxParts) return kMsgTooManyParts;
  if (source.empty() || dest.empty() || !FileExists(fs, source)) return kMsgNeedFiles;
  return 0;
}

}  // namespace qm
