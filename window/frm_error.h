// The message dialog: one of the numbered messages, with Ok or Yes and No. The answer goes back
// through MessageCode.
#pragma once

#include <string>

#include "engine/job_state.h"
#include "platform/event_pump.h"
#include "window/controls.h"

namespace qm {

class frmError : public Form {
 public:
  frmError(JobState& state, EventPump& pump);

  Label Label1;
  CommandButton cmdOk;
  CommandButton cmdYes;
  CommandButton cmdNo;

  // Fills Label1 and shows the buttons for the current MessageCode; the dialog is open after it.
  void Form_Load();
  void cmdOk_Click();
  void cmdYes_Click();
  void cmdNo_Click();
  // Closed by the frame or by Escape: Ok for the one-button messages, No for the questions.
  void Form_QueryUnload();

  bool isOpen() const { return open_; }
  // The skin's hook: the dialog has unloaded itself and its window should close.
  Handler Unloaded;

 private:
  void unload();

  JobState& state_;
  EventPump& pump_;
  bool open_ = false;
};

}  // namespace qm
