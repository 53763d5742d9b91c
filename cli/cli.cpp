#include "cli/cli.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_services.h"
#include "engine/data_file.h"
#include "engine/job_state.h"
#include "engine/part_names.h"
#include "platform/posix_file_system.h"
#include "platform/version.h"
#include "window/frm_error.h"
#include "window/frm_quellmark.h"

namespace qm {

namespace {

constexpr int kUsageStatus = 64;

// Set by Ctrl-C; the pump turns it into a click on Cancel. The one global the program has: a
// signal handler can reach nothing else.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
  interrupted = 1;
}

// Ctrl-C is ours only while a run copies; before and after it ends the program as usual, which
// is harmless since nothing is being written then.
class InterruptCatcher {
 public:
  InterruptCatcher() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a prompt waiting for input gives up on Ctrl-C
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptCatcher() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

 private:
  struct sigaction previous_ {};
};

std::optional<std::string> readTerminalLine() {
  std::string line;
  for (;;) {
    const int c = std::fgetc(stdin);
    if (c == EOF) return line.empty() ? std::nullopt : std::optional<std::string>(line);
    if (c == '\n') return line;
    line += static_cast<char>(c);
  }
}

// Everything the desktop program builds, with the command line's services in place of the
// screen's.
struct Session {
  explicit Session(OverwriteAnswer overwrite)
      : progress(stderr, ::isatty(STDERR_FILENO) == 1),
        pump(interrupted),
        error(state, pump),
        display(state, error, progress, stderr, overwrite, readTerminalLine),
        services{fs, pump, display},
        window(state, services, dialogs, help) {
    pump.Attach(&window.cmdCancel, [this] { showProgress(); });
  }

  void showProgress() {
    // Nothing to draw on, or nothing being copied: this runs after every block, so bail early.
    if (!progress.enabled() || !window.cmdCancel.visible()) return;
    const bool join = window.optJoin.value();
    std::string text = join ? "Joining" : "Splitting";
    const std::string& part = window.lblSectionNum.caption();
    if (!part.empty() && part != "0") {
      text += " part " + part + " of " + window.lblNumber.caption() + ": " +
              std::to_string(window.proSection.value()) + "%,";
    } else {
      text += ":";
    }
    text += " " + std::to_string(window.proFile.value()) + "% in all";
    progress.Show(text);
  }

  JobState state;
  PosixFileSystem fs;
  ProgressLine progress;
  CliPump pump;
  frmError error;
  CliDisplay display;
  Services services;
  NoFileDialog dialogs;
  NoHelpViewer help;
  frmQuellmark window;
};

std::string absolutePath(FileSystem& fs, const std::string& path) {
  if (path.starts_with("/")) return path;
  std::string folder = fs.CurrentFolder();
  if (!folder.ends_with("/")) folder += "/";
  return folder + path;
}

// The size options as a user picks them. In Join mode they are disabled and nothing happens.
void chooseSize(frmQuellmark& window, const SizeChoice& size) {
  switch (size.option) {
    case SizeOption::Kb720:
      window.Option4.click();
      return;
    case SizeOption::Mb1:
      window.Option3.click();
      return;
    case SizeOption::Mb1_4:
      window.Option1.click();
      return;
    case SizeOption::Mb2_5:
      window.Option2.click();
      return;
    case SizeOption::Mb5:
      window.Option5.click();
      return;
    case SizeOption::Custom:
      window.Option6.click();
      if (window.Combo1.enabled()) window.Combo1.setListIndex(size.unitIndex);
      if (window.txtSize.enabled()) window.txtSize.setText(size.customText);
      return;
  }
}

// Picks the mode the command asks for. The source analysis chooses the mode from the name (a
// name ending in "qkd" is a data file); when that differs from the command, switching empties
// both fields, so Begin refuses with message 2 instead of running the other operation.
// Returns false when the source was analysed as the other kind of file.
bool ensureMode(Session& s, bool join) {
  if (s.window.optJoin.value() == join) return true;
  const bool analysed = !s.window.txtSource.text().empty();
  if (join) {
    s.window.optJoin.click();
  } else {
    s.window.optSplit.click();
  }
  return !analysed;
}

// Presses Begin with Ctrl-C turned into Cancel, and reports how the run ended.
int begin(Session& s) {
  {
    InterruptCatcher catcher;
    s.window.cmdBegin.click();
  }
  s.progress.Clear();
  return s.display.endingMessage();
}

int runSplit(const CliArguments& args) {
  Session s(OverwriteAnswer::No);
  s.window.Form_Load("");
  s.window.LoadSource(absolutePath(s.fs, args.path));
  if (s.display.endingMessage() != 0) return s.display.endingMessage();
  const bool dataFile = !ensureMode(s, false);
  chooseSize(s.window, args.size);
  if (args.dest) s.window.txtDest.setText(absolutePath(s.fs, *args.dest));
  if (args.batch) s.window.chkSelfJoin.setValue(1);
  if (args.deleteSource) s.window.chkDelete.setValue(1);
  const int status = begin(s);
  if (dataFile) {
    std::fputs(
        "quellmark-cli: a name ending in \"qkd\" is read as a data file; to put its parts "
        "together, use \"quellmark-cli join\"\n",
        stderr);
  }
  return status;
}

int runCount(const CliArguments& args) {
  Session s(OverwriteAnswer::No);
  s.window.Form_Load("");
  s.window.LoadSource(absolutePath(s.fs, args.path));
  if (s.display.endingMessage() != 0) return s.display.endingMessage();
  chooseSize(s.window, args.size);
  std::printf("%s\n", s.window.lblNumber.caption().c_str());
  return 0;
}

int runJoin(const CliArguments& args) {
  OverwriteAnswer overwrite = args.overwrite;
  if (overwrite == OverwriteAnswer::Ask && ::isatty(STDIN_FILENO) != 1) {
    overwrite = OverwriteAnswer::No;  // nobody there to ask
  }
  Session s(overwrite);
  s.window.Form_Load("");
  s.window.LoadSource(absolutePath(s.fs, args.path));
  if (s.display.endingMessage() != 0) return s.display.endingMessage();
  const bool plainFile = !ensureMode(s, true);
  if (args.dest) s.window.txtDest.setText(absolutePath(s.fs, *args.dest));
  if (args.deleteSource) s.window.chkDelete.setValue(1);
  const int status = begin(s);
  if (plainFile) {
    std::fputs(
        "quellmark-cli: only a name ending in \"qkd\" is read as a data file; to cut a "
        "file into parts, use \"quellmark-cli split\"\n",
        stderr);
  }
  return status;
}

int runInfo(const CliArguments& args) {
  PosixFileSystem fs;
  const std::string path = absolutePath(fs, args.path);
  DataFileContents contents;
  try {
    contents = ReadDataFile(fs, path);
  } catch (const FileError& e) {
    std::fprintf(stderr, "%s\n", frmError::MessageText(9, e.what()).c_str());
    return 9;
  }
  std::printf("File: %s\nParts: %d\n", contents.name.c_str(), contents.count);
  for (int i = 1; i <= contents.count; ++i) {
    const std::string part = PartName(path, i);
    const FileInfo info = fs.Stat(part);
    if (info.regular) {
      std::printf("  %s  present  %llu bytes\n", nameOf(part).c_str(),
                  static_cast<unsigned long long>(info.length));
    } else {
      std::printf("  %s  missing\n", nameOf(part).c_str());
    }
  }
  return 0;
}

}  // namespace

int RunCli(int argc, char** argv) {
  const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
  const ParsedArguments parsed = ParseArguments(words);
  if (const auto* error = std::get_if<UsageError>(&parsed)) {
    std::fprintf(stderr, "quellmark-cli: %s\n%s", error->message.c_str(), UsageText().c_str());
    return kUsageStatus;
  }
  const CliArguments& args = std::get<CliArguments>(parsed);
  switch (args.command) {
    case CliCommand::Help:
      std::fputs(HelpText().c_str(), stdout);
      return 0;
    case CliCommand::Version:
      std::printf("quellmark-cli %s\n", kVersion);
      return 0;
    case CliCommand::Split:
      return runSplit(args);
    case CliCommand::Count:
      return runCount(args);
    case CliCommand::Join:
      return runJoin(args);
    case CliCommand::Info:
      return runInfo(args);
  }
  return kUsageStatus;
}

}  // namespace qm
