// A modal display that drives the real frmError model and answers each message with a scripted
// button, recording what was shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "platform/modal_display.h"
#include "window/frm_error.h"

namespace qm::test {

enum class Answer { Ok, Yes, No, Escape };

class ScriptedDisplay : public ModalDisplay {
 public:
  ScriptedDisplay(JobState& state, EventPump& pump) : state_(state), form(state, pump) {}

  void ShowError() override {
    codes.push_back(state_.MessageCode);
    details.push_back(state_.MessageDetail);
    form.Form_Load();
    texts.push_back(form.Label1.caption());
    if (onShow) onShow(state_.MessageCode);
    Answer answer = IsQuestion(state_.MessageCode) ? questionDefault : Answer::Ok;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    if (answer == Answer::Escape) return form.Form_QueryUnload();
    (answer == Answer::Yes ? form.cmdYes : answer == Answer::No ? form.cmdNo : form.cmdOk).click();
  }

  // Answers for the coming messages, in order; questions get `questionDefault` after that.
  std::deque<Answer> answers;
  Answer questionDefault = Answer::No;
  std::function<void(int)> onShow;

  std::vector<int> codes;
  std::vector<std::string> details;
  std::vector<std::string> texts;

 private:
  JobState& state_;

 public:
  frmError form;
};

}  // namespace qm::test
