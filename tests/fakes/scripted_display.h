// A modal display that drives the real frmError model and answers each message with a scripted
// button, recording what was shown.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "platform/modal_display.h"
#include "window/frm_error.h"

namespace qm::test {

enum class Answer { Ok, Yes, No };

class ScriptedDisplay : public ModalDisplay {
 public:
  ScriptedDisplay(JobState& state, EventPump& pump) : state_(state), form_(state, pump) {}

  // Answers the coming messages in order; questions get `questionDefault` after that.
  void ShowError() override {
    codes.push_back(state_.MessageCode);
    details.push_back(state_.MessageDetail);
    form_.Form_Load();
    Answer answer = IsQuestion(state_.MessageCode) ? questionDefault : Answer::Ok;
    if (!answers.empty()) answer = answers.front(), answers.pop_front();
    (answer == Answer::Yes  ? form_.cmdYes
     : answer == Answer::No ? form_.cmdNo
                            : form_.cmdOk)
        .click();
  }

  std::deque<Answer> answers;
  Answer questionDefault = Answer::No;
  std::vector<int> codes;
  std::vector<std::string> details;
  JobState& state_;
  frmError form_;
};

}  // namespace qm::test
