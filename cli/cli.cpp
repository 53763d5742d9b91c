#include "cli/cli.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_services.h"
#include "engine/data_file.h"
#include "engine/job_state.h"
#include "engine/join.h"
#include "engine/messages.h"
#include "engine/part_count.h"
#include "engine/part_names.h"
#include "engine/shared_routines.h"
#include "engine/split.h"
#include "engine/verify.h"
#include "platform/file_system.h"

namespace qm {

namespace {

constexpr int kUsageStatus = 64;

// Set by Ctrl-C, and by SIGTERM and SIGHUP, which end a run the same way; the pump turns it
// into a confirmed click on Cancel. The one global the program has: a signal handler can reach
// nothing else.
volatile std::sig_atomic_t interrupted = 0;

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

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
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
      sigaction(kStopSignals[i], &action, &previous_[i]);
  }
  ~InterruptCatcher() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
      sigaction(kStopSignals[i], &previous_[i], nullptr);
  }
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

 private:
  struct sigaction previous_[std::size(kStopSignals)]{};
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

// What every command works with: the job state, the disk, and the terminal's services.
struct Session {
  Session(FileSystem& fs, OverwriteAnswer overwrite)
      : fs(fs),
        progress(stderr, ::isatty(STDERR_FILENO) == 1),
        pump(state, interrupted),
        display(state, progress, stderr, overwrite, readTerminalLine) {}

  void show(int code) { ShowMessage(state, display, code); }

  JobState state;
  FileSystem& fs;
  ProgressLine progress;
  CliPump pump;
  CliDisplay display;
};

std::string absolutePath(FileSystem& fs, const std::string& path) {
  if (path.starts_with("/")) return path;
  std::string folder = fs.CurrentFolder();
  if (!folder.ends_with("/")) folder += "/";
  return folder + path;
}

std::int64_t sizeInBytes(const SizeChoice& size) {
  switch (size.option) {
    case SizeOption::Kb720:
      return kSize720Kb;
    case SizeOption::Mb1:
      return kSize1Mb;
    case SizeOption::Mb1_4:
      return kSize1_4Mb;
    case SizeOption::Mb2_5:
      return kSize2_5Mb;
    case SizeOption::Mb5:
      return kSize5Mb;
    case SizeOption::Custom:
      return CustomSplitSize(size.customText, size.unitIndex);
  }
  return 0;
}

// The source as the window's analysis reads it: a data file of a set, a file to split, or
// nothing usable (the name is left empty, so the checks before a run refuse it).
struct Source {
  std::string path;  // empty when there is no such file
  std::optional<DataFileContents> set;
};

// Returns nothing when the data file cannot be read: message 9 has said why.
std::optional<Source> analyse(Session& s, const std::string& given) {
  const std::string path = absolutePath(s.fs, given);
  if (!FileExists(s.fs, path)) return Source{};
  if (!IsDataFileName(path)) return Source{path, std::nullopt};
  try {
    return Source{path, ReadDataFile(s.fs, path)};
  } catch (const FileError& error) {
    std::string text = error.what();
    if (!text.ends_with(".")) text += ".";
    ShowFailure(s.state, s.display, text + " Nothing was loaded.");
    return std::nullopt;
  }
}

// Runs one request with Ctrl-C turned into Cancel, and reports how the run ended.
template <typename Request, typename Routine>
int run(Session& s, const Request& request, Routine routine, bool join, bool deleteWhenDone) {
  CliHost host(s.pump, s.display, s.progress, join, request.partCount, deleteWhenDone);
  Outcome outcome;
  {
    InterruptCatcher catcher;
    outcome = routine(s.state, s.fs, host, request);
  }
  s.progress.Clear();
  // An interrupt nobody took came after the last point where the run could still be undone.
  if (interrupted != 0 && (outcome.message == 0 || outcome.message == kMsgFailure)) {
    std::fputs(
        "quellmark-cli: the interrupt came too late to stop the run, which had already "
        "passed the point where it could be undone\n",
        stderr);
  }
  return outcome.message;
}

int refuse(Session& s, int code, const char* hint) {
  s.show(code);
  if (hint != nullptr) std::fputs(hint, stderr);
  return code;
}

constexpr const char* kSplitHint =
    "quellmark-cli: a name ending in \"qkd\" is read as a data file; to put its parts together, "
    "use \"quellmark-cli join\"\n";
constexpr const char* kJoinHint =
    "quellmark-cli: only a name ending in \"qkd\" is read as a data file; to cut a file into "
    "parts, use \"quellmark-cli split\"\n";

// The answer to "the file you are about to create exists": as given, asked at a terminal, and
// No when there is nobody to ask.
OverwriteAnswer overwriteAnswer(const CliArguments& args) {
  if (args.overwrite == OverwriteAnswer::Ask && ::isatty(STDIN_FILENO) != 1) {
    return OverwriteAnswer::No;
  }
  return args.overwrite;
}

int runSplit(FileSystem& fs, const CliArguments& args) {
  Session s(fs, overwriteAnswer(args));
  const std::optional<Source> source = analyse(s, args.path);
  if (!source) return kMsgFailure;
  // A data file is the other kind of job: its fields stay empty, and the checks refuse them.
  if (source->set) return refuse(s, kMsgNeedFiles, kSplitHint);
  SplitRequest request;
  request.source = source->path;
  if (!source->path.empty()) {
    request.dest = DefaultDestination(source->path);
    request.sourceTitle = nameOf(source->path);
  }
  if (args.dest) request.dest = absolutePath(s.fs, *args.dest);
  request.partSize = sizeInBytes(args.size);
  request.partCount = CountParts(s.state, s.fs, request.source, request.partSize);
  request.batchFile = args.batch;
  request.shellScript = args.script;
  request.checksums = !args.noChecksum;
  if (const int refusal = CheckBeforeRun(s.fs, request.source, request.dest, request.partCount)) {
    return refuse(s, refusal, nullptr);
  }
  return run(s, request, SplitF, false, args.deleteSource);
}

int runCount(FileSystem& fs, const CliArguments& args) {
  Session s(fs, OverwriteAnswer::No);
  const std::optional<Source> source = analyse(s, args.path);
  if (!source) return kMsgFailure;
  // A data file shows the count it holds; the size does not apply to it.
  const std::int64_t count = source->set
                                 ? source->set->count
                                 : CountParts(s.state, s.fs, source->path, sizeInBytes(args.size));
  std::printf("%s\n", PartCountText(count).c_str());
  return 0;
}

int runJoin(FileSystem& fs, const CliArguments& args) {
  Session s(fs, overwriteAnswer(args));
  const std::optional<Source> source = analyse(s, args.path);
  if (!source) return kMsgFailure;
  if (!source->path.empty() && !source->set) return refuse(s, kMsgNeedFiles, kJoinHint);
  JoinRequest request;
  if (source->set) {
    request.dataFile = source->path;
    request.dest = folderOf(source->path) + source->set->name;
    request.partCount = source->set->count;
  }
  if (args.dest) request.dest = absolutePath(s.fs, *args.dest);
  if (const int refusal = CheckBeforeRun(s.fs, request.dataFile, request.dest, request.partCount)) {
    return refuse(s, refusal, nullptr);
  }
  return run(s, request, JoinF, true, args.deleteSource);
}

int runInfo(FileSystem& fs, const CliArguments& args) {
  const std::string path = absolutePath(fs, args.path);
  DataFileContents contents;
  try {
    contents = ReadDataFile(fs, path);
  } catch (const FileError& e) {
    std::fprintf(stderr, "%s\n", MessageText(kMsgFailure, e.what()).c_str());
    return 9;
  }
  const std::string sums = ChecksumFileName(path);
  std::printf("File: %s\nParts: %d\nChecksums: %s\n", contents.name.c_str(), contents.count,
              fs.Stat(sums).exists ? nameOf(sums).c_str() : "none (the set has no checksum file)");
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

int runVerify(FileSystem& fs, const CliArguments& args) {
  try {
    const SetReport report = VerifySet(fs, absolutePath(fs, args.path));
    std::fputs(SetReportText(report).c_str(), stdout);
    return report.status;
  } catch (const FileError& e) {
    std::fprintf(stderr, "%s\n", MessageText(kMsgFailure, e.what()).c_str());
    return kMsgFailure;
  }
}

int runCommand(int argc, char** argv, FileSystem& fs) {
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
      std::puts("quellmark-cli " QM_VERSION);
      return 0;
    case CliCommand::Split:
      return runSplit(fs, args);
    case CliCommand::Count:
      return runCount(fs, args);
    case CliCommand::Join:
      return runJoin(fs, args);
    case CliCommand::Info:
      return runInfo(fs, args);
    case CliCommand::Verify:
      return runVerify(fs, args);
  }
  return kUsageStatus;
}

}  // namespace

int RunCli(int argc, char** argv, FileSystem& fs) {
  const int status = runCommand(argc, argv, fs);
  // Output that never arrived (a full disk, a closed pipe) is a failure, not a success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    const int error = errno;
    std::fprintf(stderr, "quellmark-cli: could not write the output: %s\n",
                 error != 0 ? std::strerror(error) : "write error");
    return kMsgFailure;
  }
  return status;
}

}  // namespace qm
