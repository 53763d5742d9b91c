#include "cli/cli_services.h"

#include "engine/messages.h"

namespace qm {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Past this the clock goes back to noon between two pauses, so that it never nears midnight,
// where Pause stops letting events through.
constexpr double kClockLimit = 80000.0;

}  // namespace

ProgressLine::ProgressLine(std::FILE* out, bool enabled, Clock clock)
    : out_(out), enabled_(enabled), clock_(std::move(clock)) {}

void ProgressLine::Show(const std::string& text) {
  if (!enabled_ || (shown_ && text == last_)) return;
  const auto now = clock_();
  if (shown_ && now - lastTime_ < kRedrawInterval) return;
  // Carriage return to the start of the line, the text, then erase whatever was longer before.
  std::fprintf(out_, "\r%s\033[K", text.c_str());
  std::fflush(out_);
  shown_ = true;
  last_ = text;
  lastTime_ = now;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  shown_ = false;
  last_.clear();
}

CliPump::CliPump(JobState& state, volatile std::sig_atomic_t& interrupted, double startClock)
    : state_(state), interrupted_(interrupted), clock_(startClock) {}

double CliPump::Timer() {
  // The reading that ends a pause is handed out first; only then is the clock set back, so the
  // pause in progress still sees its deadline reached.
  const double now = clock_;
  if (clock_ > kClockLimit) clock_ = kNoon;
  return now;
}

void CliPump::ProcessEvents(double deadline) {
  // Cancel is shown only while a run copies; an interrupt that comes before waits for it.
  if (interrupted_ != 0 && cancellable_) {
    interrupted_ = 0;
    state_.CancelPressed = true;
  }
  if (onTurn_) onTurn_();
  if (deadline > clock_) clock_ = deadline;
}

CliDisplay::CliDisplay(JobState& state, ProgressLine& progress, std::FILE* err,
                       OverwriteAnswer overwrite,
                       std::function<std::optional<std::string>()> readLine)
    : state_(state),
      progress_(progress),
      err_(err),
      overwrite_(overwrite),
      readLine_(std::move(readLine)) {}

void CliDisplay::ShowError() {
  const int code = state_.MessageCode;
  const std::string text = MessageText(code, state_.MessageDetail);
  if (code == kMsgConfirmCancel) return;  // Ctrl-C means it: the code stays, which is Yes
  if (code == kMsgOverwrite) {
    if (answerOverwrite(text)) state_.MessageCode = 0;
    return;
  }
  progress_.Clear();
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
  state_.MessageCode = 0;
}

bool CliDisplay::answerOverwrite(const std::string& question) {
  switch (overwrite_) {
    case OverwriteAnswer::Yes:
      return true;
    case OverwriteAnswer::No:
      progress_.Clear();
      std::fprintf(err_, "%s\n", question.c_str());
      std::fflush(err_);
      return false;
    case OverwriteAnswer::Ask:
      break;
  }
  progress_.Clear();
  std::fprintf(err_, "%s [y/n] ", question.c_str());
  std::fflush(err_);
  const std::optional<std::string> line = readLine_ ? readLine_() : std::nullopt;
  if (!line) std::fputc('\n', err_);  // end of input: leave the terminal on a fresh line
  std::fflush(err_);
  return line && !line->empty() && (line->front() == 'y' || line->front() == 'Y');
}

CliHost::CliHost(CliPump& pump, CliDisplay& display, ProgressLine& progress, bool join,
                 std::int64_t parts, bool deleteWhenDone)
    : pump_(pump),
      display_(display),
      progress_(progress),
      join_(join),
      parts_(parts),
      deleteWhenDone_(deleteWhenDone) {
  pump_.OnTurn([this] { showProgress(); });
}

void CliHost::ShowRunning(bool running) {
  running_ = running;
  pump_.SetCancellable(running);
}

void CliHost::showProgress() {
  // Nothing to draw on, or nothing being copied: this runs after every block, so bail early.
  if (!progress_.enabled() || !running_) return;
  std::string text = join_ ? "Joining" : "Splitting";
  if (part_ > 0) {
    text += " part " + std::to_string(part_) + " of " + std::to_string(parts_) + ": " +
            std::to_string(section_) + "%,";
  } else {
    text += ":";
  }
  text += " " + std::to_string(file_) + "% in all";
  progress_.Show(text);
}

}  // namespace qm
