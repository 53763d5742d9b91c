// The part-count preview, and the shared rules both front ends apply before a run: the size
// options, the custom size, the default destination and Begin's checks.
#pragma once

#include <cstdint>
#include <string>

#include "engine/job_state.h"

namespace qm {

class FileSystem;

inline constexpr std::int32_t kOneMb = 1048576;
// The five fixed sizes, as the options name them.
inline constexpr std::int32_t kSize720Kb = 720 * 1024;
inline constexpr std::int32_t kSize1Mb = kOneMb;
inline constexpr std::int32_t kSize1_4Mb = 2847 * 512;
inline constexpr std::int32_t kSize2_5Mb = 5 * kOneMb / 2;
inline constexpr std::int32_t kSize5Mb = 5 * kOneMb;

// How many parts of `splitSize` bytes `source` makes: 0 (no source or no size), 1, or the
// count, which may pass 999. Records PreviewLength and PartCount.
std::int64_t CountParts(JobState& state, FileSystem& fs, const std::string& source,
                        std::int64_t splitSize);
// The count as the window shows it: the number, or "1000+" past 999.
std::string PartCountText(std::int64_t count);

// The bytes of a custom size: the text's leading number rounded half to even, times the unit
// (0 "b", 1 "Kb", 2 "Mb"); 0 when that is not a positive 32-bit size.
std::int32_t CustomSplitSize(const std::string& text, int unitIndex);

// Where a split of `source` puts its data file: the last dot among the last four characters
// starts the extension that gives way to ".qkd". Without one, the destination already chosen
// stays, or when there is none, ".qkd" is added to the source.
std::string DefaultDestination(const std::string& source, const std::string& current = {});
// True for a name the source analysis reads as a data file (it ends in "qkd", any case).
bool IsDataFileName(const std::string& path);

// Begin's checks: the count at most 999, both names given, the source present. Returns the
// message that refuses the run, or 0.
int CheckBeforeRun(FileSystem& fs, const std::string& source, const std::string& dest,
                   std::int64_t partCount);

}  // namespace qm
