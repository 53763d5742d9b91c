// The main window as a form model: every control, the start-up sequence, the modes, the size
// selection, the source and destination, and Begin and Cancel.
#pragma once

#include <string>

#include "engine/job_state.h"
#include "engine/run.h"
#include "platform/event_pump.h"
#include "platform/file_dialog.h"
#include "platform/file_system.h"
#include "platform/help_viewer.h"
#include "platform/modal_display.h"
#include "window/controls.h"

namespace qm {

// The services the window's forms work through.
struct Services {
  FileSystem& fs;
  EventPump& pump;
  ModalDisplay& display;
};

class frmQuellmark : public Form {
 public:
  frmQuellmark(JobState& state, Services& services, FileDialog& dialogs, HelpViewer& help);

  // Controls, in the order they are laid down.
  Frame fraMain;
  CommandButton cmdCancel;
  Frame fraFile;
  TextBox txtDest;
  TextBox txtSource;
  CommandButton cmdDest;
  CommandButton cmdSource;
  Label lblDest;
  Label lblSource;
  Frame Frame4;
  ProgressBar proSection;
  ProgressBar proFile;
  Label lblSectionNum;
  Label lblNumber;
  Label lblFile;
  Label lblSection;
  Label lblSectionText;
  Label lblNum;
  Frame Frame2;
  CheckBox chkAutoStart;
  CheckBox chkSelfJoin;
  CheckBox chkDelete;
  CommandButton cmdExit;
  CommandButton cmdHelp;
  CommandButton cmdBegin;
  Frame Frame1;
  ComboBox Combo1;
  TextBox txtSize;
  Label Label1;
  Frame fraOption;
  OptionButton optSplit;
  OptionButton optJoin;
  Frame fraSize;
  OptionButton Option2;
  OptionButton Option6;
  OptionButton Option5;
  OptionButton Option4;
  OptionButton Option3;
  OptionButton Option1;
  CheckBox Check2;
  CheckBox Check1;

  // The start-up sequence, with the program's command-line text.
  void Form_Load(const std::string& commandLine);
  // Asked before the window closes (Exit or the frame). During a run it asks message 8: Yes
  // cancels the run and lets the window close once it has ended; No keeps it open.
  bool Form_QueryUnload();
  void Form_Unload();

  // Mode and enabling
  void optSplit_Click();
  void optJoin_Click();
  void chkAutoStart_Click();
  void Check1_Click();
  void Check2_Click();
  void cmdHelp_Click();
  void cmdExit_Click();

  // Size selection
  void Option1_Click();
  void Option2_Click();
  void Option3_Click();
  void Option4_Click();
  void Option5_Click();
  void Option6_Click();
  void Combo1_Click();
  void txtSize_Change();
  void txtSize_GotFocus();

  // Source and destination
  void cmdSource_Click();
  void cmdDest_Click();
  void txtSource_GotFocus();
  void txtDest_GotFocus();
  void txtSource_Change();
  void txtSource_LostFocus();
  void LoadSource(const std::string& path);

  // Run control
  void cmdBegin_Click();
  void cmdCancel_Click();
  // Begin's checks (count at most 999, both fields filled, source present); shows the message
  // and returns false when one fails. Every way of starting a run passes through them.
  bool CheckBeforeRun();
  bool running() const { return state_.Running; }

  JobState& state() { return state_; }
  // The number of parts lblNumber shows, as a number.
  std::int64_t partCount() const { return partCount_; }
  // What Begin would start now, as the engine takes it.
  SplitRequest splitRequest() const;
  JoinRequest joinRequest() const;
  // The folder the file dialogs open in next.
  const std::string& dialogFolder() const { return dialogFolder_; }

  // Hooks the desktop program fills in; left empty, they do nothing.
  Handler RegisterFileType;               // start-up step: write the file-type association
  std::function<void(bool)> AcceptDrops;  // start-up and unload: install or remove the drop hook
  Handler CloseWindow;                    // Exit: the window should go away
  Handler RunEnded;                       // a split or join is over, whichever way it ended

 private:
  // The display the runs talk through. Once the user has confirmed a cancel by closing the
  // window, it answers the run's own "cancel?" with Yes instead of asking a second time.
  class RunDisplay : public ModalDisplay {
   public:
    RunDisplay(ModalDisplay& inner, JobState& state) : inner_(inner), state_(state) {}
    void ShowError() override;
    bool cancelConfirmed = false;

   private:
    ModalDisplay& inner_;
    JobState& state_;
  };

  // A run's progress shown in the window's controls, and "Delete Source Files" read from its box.
  class RunControls : public RunHost {
   public:
    explicit RunControls(frmQuellmark& form) : form_(form) {}
    void ShowPart(int part) override;
    void ShowSectionProgress(int percent) override;
    void ShowFileProgress(int percent) override;
    void ShowRunning(bool running) override;
    bool DeleteWhenDone() override;
    ModalDisplay& display() override;
    EventPump& pump() override;

   private:
    frmQuellmark& form_;
  };

  void setSplitSettingsEnabled(bool on);
  void lockForRun(bool lock);
  void fixedSize(std::int32_t bytes);
  void customSize();
  void previewParts();
  void showPartCount(std::int64_t count);
  std::string absolutePath(const std::string& path);
  void runSplit();
  void runJoin();
  template <typename Routine>
  void runWith(Routine routine);

  JobState& state_;
  Services& services_;
  FileDialog& dialogs_;
  HelpViewer& help_;
  RunDisplay runDisplay_;
  RunControls runControls_;
  std::int64_t partCount_ = 0;
  std::string dialogFolder_;
  std::string dialogFileTitle_;  // the name last chosen in either file dialog
  bool closeAfterRun_ = false;
  bool loaded_ = false;
};

}  // namespace qm
