// The job state every routine shares. One JobState lives as long as the program and is passed
// by reference.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

inline constexpr std::int32_t kDefaultSplitSize = 737280;  // the "720 kb" option
inline constexpr std::int32_t kDefaultBlockSize = 65000;
inline constexpr int kMaxParts = 999;

struct JobState {
  // Settings
  std::int32_t SplitSize = kDefaultSplitSize;
  std::int32_t CustomSize = 0;
  std::int32_t SizeUnit = 1;
  std::int16_t UnitIndex = 0;
  std::int32_t BlockSize = kDefaultBlockSize;

  // Names
  std::string WorkFile;
  std::string SourceTitle;
  std::string PartFile;
  std::string PartStem;
  std::string CommandLine;
  std::string Quote = "\"";

  // Counters and progress: byte counts are exact 64-bit values.
  std::int64_t SourceLength = 0;
  std::int16_t PartNumber = 0;
  std::int32_t Counter = 0;
  std::int32_t BlocksPerPart = 0;
  std::int64_t BlockLength = 0;
  std::int64_t PartLength = 0;
  std::int64_t PartDone = 0;
  std::int64_t TotalDone = 0;
  std::int64_t JoinTotalLength = 0;
  std::int64_t JoinPartLength = 0;
  std::int64_t JoinPartLeft = 0;
  std::int64_t JoinBlockLength = 0;
  std::int64_t PreviewLength = 0;
  std::int64_t PartCount = 0;
  std::int16_t PartCountRead = 0;

  // Control
  std::int16_t MessageCode = 0;
  bool CancelPressed = false;
  std::int16_t PartsBegun = 0;
  std::int16_t CleanupNumber = 0;
  std::int16_t PartMissing = 0;
  // Message 9's detail: the file, what was being done, the reason and what was left behind.
  std::string MessageDetail;
  // True while a split or join runs, so that nothing starts a second one inside it.
  bool Running = false;
};

}  // namespace qm
