#include "window/frm_error.h"

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

std::string frmError::MessageText(int code, const std::string& detail) {
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

void frmError::Form_Load() {
  unload();
  open_ = true;
  const int code = state_.MessageCode;
  Label1.setCaption(MessageText(code, state_.MessageDetail));
  if (IsQuestion(code)) {
    cmdYes.setVisible(true);
    cmdNo.setVisible(true);
    moveFocus(&cmdYes);
  } else if (code >= 1 && code <= 10) {
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
