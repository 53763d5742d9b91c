// The numbered messages: their texts, and raising one through the modal display.
#pragma once

#include <string>

#include "engine/job_state.h"
#include "engine/run.h"

namespace qm {

class ModalDisplay;

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

// The exact text of message `code`; messages 9 and 10 carry `detail`. Empty for an unknown code.
std::string MessageText(int code, const std::string& detail);
inline bool IsQuestion(int code) {
  return code == kMsgOverwrite || code == kMsgConfirmCancel;
}

// Sets MessageCode and shows the dialog modally; for questions the code left behind is the answer.
void ShowMessage(JobState& state, ModalDisplay& display, int code);
// Message 9 with its detail.
void ShowFailure(JobState& state, ModalDisplay& display, std::string detail);

// The messages of one run, remembering the last one that was not a question: that is how the
// run ended.
class RunMessages {
 public:
  RunMessages(JobState& state, ModalDisplay& display) : state_(state), display_(display) {}
  void Show(int code);
  void Failure(std::string detail);
  // Message 10 with its detail.
  void Damaged(std::string detail);
  // Asks message 4 or 8; true when the answer lets the run carry on (the dialog cleared the
  // code): Yes to "overwrite?", No to "cancel?".
  bool CarryOn(int code);
  const Outcome& outcome() const { return outcome_; }

 private:
  JobState& state_;
  ModalDisplay& display_;
  Outcome outcome_;
};

}  // namespace qm
