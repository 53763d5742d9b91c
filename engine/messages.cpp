#include "engine/messages.h"

#include "platform/modal_display.h"

namespace qm {

std::string MessageText(int code, const std::string& detail) {
  switch (code) {
    case 1:
      return "Error #001 : The size of the destination file cannot exceed the size of the source "
             "file.";
    case 2:
      return "Error #002 : You MUST enter both a valid source file and destination file!";
    case 3:
      return "Error #003: One of the source files do not exist. Please check your files and try "
             "again.";
    case 4:
      return "Warning! The file you are about to create exists! Overwrite?";
    case 5:
      return "Error #005: The current size setting will exeed the 999 file limit. Please select a "
             "larger split size.";
    case 6:
      return "Error #006: You MUST enter a value other than zero in the custom size field.";
    case 7:
      return "Error #007 : The operation was not completed because the user pressed cancel. No "
             "files were removed or added.";
    case 8:
      return "Warning! You have pressed cancel! Do you wish to cancel this operation?";
    case 9:
      return "Error #009 : " + detail;
    case 10:
      return "Error #010 : " + detail;
    default:
      return {};
  }
}

void ShowMessage(JobState& state, ModalDisplay& display, int code) {
  state.MessageCode = static_cast<std::int16_t>(code);
  display.ShowError();
}

void ShowFailure(JobState& state, ModalDisplay& display, std::string detail) {
  state.MessageDetail = std::move(detail);
  ShowMessage(state, display, kMsgFailure);
}

void RunMessages::Show(int code) {
  outcome_ = {code,
              code == kMsgFailure || code == kMsgDamaged ? state_.MessageDetail : std::string()};
  ShowMessage(state_, display_, code);
}

void RunMessages::Failure(std::string detail) {
  outcome_ = {kMsgFailure, detail};
  ShowFailure(state_, display_, std::move(detail));
}

void RunMessages::Damaged(std::string detail) {
  outcome_ = {kMsgDamaged, detail};
  state_.MessageDetail = std::move(detail);
  ShowMessage(state_, display_, kMsgDamaged);
}

bool RunMessages::CarryOn(int code) {
  ShowMessage(state_, display_, code);
  if (state_.MessageCode == 0) return true;
  if (code == kMsgOverwrite) outcome_ = {code, {}};
  return false;
}

}  // namespace qm
