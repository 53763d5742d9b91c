// Raising a numbered message through the modal display.
#pragma once

#include <string>

#include "engine/job_state.h"

namespace qm {

inline constexpr int kMsgSizeTooLarge = 1;
inline constexpr int kMsgNeedFiles = 2;
inline constexpr int kMsgPartMissing = 3;
inline constexpr int kMsgOverwrite = 4;
inline constexpr int kMsgTooManyParts = 5;
inline constexpr int kMsgZeroSize = 6;
inline constexpr int kMsgCancelled = 7;
inline constexpr int kMsgConfirmCancel = 8;
inline constexpr int kMsgFailure = 9;
// A file of the set does not match its checksum, or the checksum file cannot vouch for the set.
inline constexpr int kMsgDamaged = 10;

// Sets MessageCode and shows the dialog modally; for questions the code left behind is the answer.
void ShowMessage(Job& job, int code);
// Message 9 with its detail.
void ShowFailure(Job& job, std::string detail);
// Message 10 with its detail.
void ShowDamaged(Job& job, std::string detail);

}  // namespace qm
