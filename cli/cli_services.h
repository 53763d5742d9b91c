// The services the window's forms call, as the command line provides them: a clock that never
// waits, a progress line on the terminal, and a message dialog that answers by itself.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "engine/job_state.h"
#include "platform/controls.h"
#include "platform/event_pump.h"
#include "platform/file_dialog.h"
#include "platform/help_viewer.h"
#include "platform/modal_display.h"
#include "window/frm_error.h"

namespace qm {

// One line on a terminal, rewritten in place: at most ten times a second, so that a fast copy
// does not spend its time drawing.
class ProgressLine {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // `enabled` is false when `out` is not a terminal; then the line is never drawn.
  ProgressLine(std::FILE* out, bool enabled, Clock clock = std::chrono::steady_clock::now);

  bool enabled() const { return enabled_; }
  void Show(const std::string& text);
  // Removes the line, so that what comes next starts on a clean line.
  void Clear();

 private:
  std::FILE* out_;
  bool enabled_;
  Clock clock_;
  bool shown_ = false;
  std::string last_;
  std::chrono::steady_clock::time_point lastTime_{};
};

// The command line's event pump. Its clock jumps to each deadline, so Pause never waits. Every
// turn passes an interrupt (Ctrl-C) on as a click on Cancel, once Cancel is there to be clicked,
// and lets the progress line follow the run.
class CliPump : public EventPump {
 public:
  explicit CliPump(volatile std::sig_atomic_t& interrupted, double startClock = kNoon);

  // The button an interrupt presses, and what to run at every turn (the progress line).
  void Attach(CommandButton* cancel, std::function<void()> onTurn);

  double Timer() override;
  void ProcessEvents(double deadline) override;

  static constexpr double kNoon = 43200.0;

 private:
  volatile std::sig_atomic_t& interrupted_;
  double clock_;
  CommandButton* cancel_ = nullptr;
  std::function<void()> onTurn_;
};

// The message dialog of the command line: drives the real frmError, prints what it shows and
// answers for the user. One-button messages are printed and answered Ok; "cancel this
// operation?" is answered Yes, since only Ctrl-C presses Cancel here; "overwrite?" is answered
// as the user told the program, or asked on the terminal.
class CliDisplay : public ModalDisplay {
 public:
  // `readLine` reads the terminal's answer to an overwrite question (nothing at end of input).
  CliDisplay(JobState& state, frmError& form, ProgressLine& progress, std::FILE* err,
             OverwriteAnswer overwrite, std::function<std::optional<std::string>()> readLine);

  void ShowError() override;

  // The message that ended the run, 0 when none did.
  int endingMessage() const { return ending_; }

 private:
  bool answerOverwrite(const std::string& question);

  JobState& state_;
  frmError& form_;
  ProgressLine& progress_;
  std::FILE* err_;
  OverwriteAnswer overwrite_;
  std::function<std::optional<std::string>()> readLine_;
  int ending_ = 0;
};

// No dialogs and no help on the command line: every request is a cancelled one.
class NoFileDialog : public FileDialog {
 public:
  std::optional<FileDialogResult> ShowOpen(const FileDialogRequest&) override { return {}; }
  std::optional<FileDialogResult> ShowSave(const FileDialogRequest&) override { return {}; }
};

class NoHelpViewer : public HelpViewer {
 public:
  void ShowContents() override {}
};

}  // namespace qm
