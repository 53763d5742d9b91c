#include "engine/messages.h"

#include "platform/modal_display.h"

namespace qm {

void ShowMessage(Job& job, int code) {
  job.state.MessageCode = static_cast<std::int16_t>(code);
  job.services.display.ShowError();
}

void ShowFailure(Job& job, std::string detail) {
  job.state.MessageDetail = std::move(detail);
  ShowMessage(job, kMsgFailure);
}

void ShowDamaged(Job& job, std::string detail) {
  job.state.MessageDetail = std::move(detail);
  ShowMessage(job, kMsgDamaged);
}

}  // namespace qm
