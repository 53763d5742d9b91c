// What a run needs from the command line: a clock that never waits, a progress line on the
// terminal, and messages printed and answered without a dialog.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "engine/job_state.h"
#include "engine/run.h"
#include "platform/event_pump.h"
#include "platform/modal_display.h"

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
// turn passes an interrupt (Ctrl-C) on as a press of Cancel, once the run shows Cancel, and
// lets the progress line follow the run.
class CliPump : public EventPump {
 public:
  CliPump(JobState& state, volatile std::sig_atomic_t& interrupted, double startClock = kNoon);

  // Whether Cancel is there to be pressed, and what to run at every turn (the progress line).
  void SetCancellable(bool on) { cancellable_ = on; }
  void OnTurn(std::function<void()> onTurn) { onTurn_ = std::move(onTurn); }

  double Timer() override;
  void ProcessEvents(double deadline) override;

  static constexpr double kNoon = 43200.0;

 private:
  JobState& state_;
  volatile std::sig_atomic_t& interrupted_;
  double clock_;
  bool cancellable_ = false;
  std::function<void()> onTurn_;
};

// The message dialog of the command line: prints the message and answers for the user.
// One-button messages are printed; "cancel this operation?" is answered Yes, since only Ctrl-C
// presses Cancel here; "overwrite?" is answered as the user told the program, or asked on the
// terminal.
class CliDisplay : public ModalDisplay {
 public:
  // `readLine` reads the terminal's answer to an overwrite question (nothing at end of input).
  CliDisplay(JobState& state, ProgressLine& progress, std::FILE* err, OverwriteAnswer overwrite,
             std::function<std::optional<std::string>()> readLine);

  void ShowError() override;

 private:
  bool answerOverwrite(const std::string& question);

  JobState& state_;
  ProgressLine& progress_;
  std::FILE* err_;
  OverwriteAnswer overwrite_;
  std::function<std::optional<std::string>()> readLine_;
};

// A run as the command line shows it: the progress line, and Cancel for Ctrl-C.
class CliHost : public RunHost {
 public:
  CliHost(CliPump& pump, CliDisplay& display, ProgressLine& progress, bool join, std::int64_t parts,
          bool deleteWhenDone);

  void ShowPart(int part) override { part_ = part; }
  void ShowSectionProgress(int percent) override { section_ = percent; }
  void ShowFileProgress(int percent) override { file_ = percent; }
  void ShowRunning(bool running) override;
  bool DeleteWhenDone() override { return deleteWhenDone_; }
  ModalDisplay& display() override { return display_; }
  EventPump& pump() override { return pump_; }

 private:
  void showProgress();

  CliPump& pump_;
  CliDisplay& display_;
  ProgressLine& progress_;
  bool join_;
  std::int64_t parts_;
  bool deleteWhenDone_;
  bool running_ = false;
  int part_ = kNoPart;
  int section_ = 0;
  int file_ = 0;
};

}  // namespace qm
