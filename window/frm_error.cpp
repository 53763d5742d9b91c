#include "window/frm_error.h"

#include "engine/messages.h"
#include "engine/shared_routines.h"

namespace qm {

frmError::frmError(JobState& state, EventPump& pump)
    : Form("frmError"),
      Label1(*this, "Label1"),
      cmdOk(*this, "cmdOk"),
      cmdYes(*this, "cmdYes"),
      cmdNo(*this, "cmdNo"),
      state_(state),
      pump_(pump) {
  setCaption("ERROR");
  client = {0, 0, 4680, 1170};
  Label1.rect = {840, 120, 3735, 615};
  Label1.selectable = true;
  cmdOk.rect = {1680, 720, 1215, 375};
  cmdOk.tabIndex = 1;
  cmdOk.setCaption("&Ok");
  cmdYes.rect = {1080, 720, 1215, 375};
  cmdYes.tabIndex = 2;
  cmdYes.setCaption("&Yes");
  cmdNo.rect = {2880, 720, 1215, 375};
  cmdNo.tabIndex = 3;
  cmdNo.setCaption("&No");
  cmdOk.Click = [this] { cmdOk_Click(); };
  cmdYes.Click = [this] { cmdYes_Click(); };
  cmdNo.Click = [this] { cmdNo_Click(); };
  unload();
}

void frmError::Form_Load() {
  unload();
  open_ = true;
  const int code = state_.MessageCode;
  Label1.setCaption(MessageText(code, state_.MessageDetail));
  if (IsQuestion(code)) {
    cmdYes.setVisible(true);
    cmdNo.setVisible(true);
    moveFocus(&cmdYes);
  } else if (code >= 1 && code <= kMsgDamaged) {
    cmdOk.setVisible(true);
    moveFocus(&cmdOk);
  }
}

void frmError::cmdOk_Click() {
  unload();
  state_.MessageCode = 0;
}

void frmError::cmdYes_Click() {
  if (state_.MessageCode == 4) state_.MessageCode = 0;
  unload();
  Pause(pump_, 4);
}

void frmError::cmdNo_Click() {
  if (state_.MessageCode == 8) state_.MessageCode = 0;
  unload();
  Pause(pump_, 4);
}

void frmError::Form_QueryUnload() {
  if (!open_) return;
  if (IsQuestion(state_.MessageCode)) {
    cmdNo_Click();
  } else {
    cmdOk_Click();
  }
}

void frmError::unload() {
  // Back to the design state, so the next message starts clean.
  const bool wasOpen = open_;
  open_ = false;
  Label1.setCaption({});
  cmdOk.setVisible(false);
  cmdYes.setVisible(false);
  cmdNo.setVisible(false);
  moveFocus(nullptr);
  if (wasOpen && Unloaded) Unloaded();
}

}  // namespace qm
