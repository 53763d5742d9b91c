#include "cli/arguments.h"

#include "platform/text.h"

namespace qm {

namespace {

struct FixedSize {
  const char* text;
  SizeOption option;
};

// The five fixed sizes of the window, named as short as a user would type them.
constexpr FixedSize kFixedSizes[] = {
    {"720k", SizeOption::Kb720}, {"1m", SizeOption::Mb1}, {"1.4m", SizeOption::Mb1_4},
    {"2.5m", SizeOption::Mb2_5}, {"5m", SizeOption::Mb5},
};

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Digits with at most one "." among them, and at least one digit.
bool isPlainNumber(const std::string& text) {
  bool digit = false;
  bool point = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

const char* commandName(CliCommand command) {
  switch (command) {
    case CliCommand::Split:
      return "split";
    case CliCommand::Count:
      return "count";
    case CliCommand::Join:
      return "join";
    case CliCommand::Info:
      return "info";
    case CliCommand::Verify:
      return "verify";
    default:
      return "quellmark-cli";
  }
}

// What each command accepts.
struct Accepts {
  bool size = false;
  bool dest = false;
  bool batch = false;
  bool deleteSource = false;
  bool deleteParts = false;
  bool overwrite = false;
};

Accepts acceptsOf(CliCommand command) {
  Accepts a;
  switch (command) {
    case CliCommand::Split:
      a.size = a.dest = a.batch = a.deleteSource = true;
      break;
    case CliCommand::Count:
      a.size = true;
      break;
    case CliCommand::Join:
      a.dest = a.deleteParts = a.overwrite = true;
      break;
    default:
      break;
  }
  return a;
}

}  // namespace

std::optional<SizeChoice> ParseSize(const std::string& text) {
  const std::string lower = asciiLower(text);
  for (const FixedSize& fixed : kFixedSizes) {
    if (lower == fixed.text) return SizeChoice{fixed.option, {}, 0};
  }
  // "kb" and "mb" before "b", since both end in it.
  int unit = -1;
  std::string number;
  if (endsWith(lower, "kb")) {
    unit = 1;
    number = lower.substr(0, lower.size() - 2);
  } else if (endsWith(lower, "mb")) {
    unit = 2;
    number = lower.substr(0, lower.size() - 2);
  } else if (endsWith(lower, "b")) {
    unit = 0;
    number = lower.substr(0, lower.size() - 1);
  }
  if (unit < 0 || !isPlainNumber(number)) return std::nullopt;
  return SizeChoice{SizeOption::Custom, number, unit};
}

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  // Help and version win wherever they stand, as long as they are options.
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      CliArguments only;
      only.command = arg == "--version" ? CliCommand::Version : CliCommand::Help;
      return only;
    }
  }
  if (args.empty()) return UsageError{"no command given"};

  CliArguments parsed;
  const std::string& name = args.front();
  if (name == "split") {
    parsed.command = CliCommand::Split;
  } else if (name == "count") {
    parsed.command = CliCommand::Count;
  } else if (name == "join") {
    parsed.command = CliCommand::Join;
  } else if (name == "info") {
    parsed.command = CliCommand::Info;
  } else if (name == "verify") {
    parsed.command = CliCommand::Verify;
  } else {
    return UsageError{"unknown command " + quoted(name)};
  }
  const Accepts accepts = acceptsOf(parsed.command);
  const std::string command = commandName(parsed.command);

  bool sizeGiven = false;
  bool pathGiven = false;
  bool optionsEnded = false;
  bool overwriteGiven = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (pathGiven) return UsageError{"unexpected argument " + quoted(arg)};
      parsed.path = arg;
      pathGiven = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }

    // An option, perhaps with its value after "=".
    std::string option = arg;
    std::optional<std::string> value;
    if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
      option = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    const bool takesValue = option == "--size" || option == "--dest";
    const bool accepted =
        (option == "--size" && accepts.size) || (option == "--dest" && accepts.dest) ||
        ((option == "--batch" || option == "--script" || option == "--no-checksum") &&
         accepts.batch) ||
        (option == "--delete-source" && accepts.deleteSource) ||
        (option == "--delete-parts" && accepts.deleteParts) ||
        ((option == "--overwrite" || option == "--no-overwrite") && accepts.overwrite);
    if (!accepted) return UsageError{"unknown option " + quoted(option) + " for " + command};
    if (!takesValue && value) return UsageError{option + " takes no value"};
    if (takesValue && !value) {
      if (i + 1 >= args.size()) return UsageError{option + " needs a value"};
      value = args[++i];
    }

    if (option == "--size") {
      if (sizeGiven) return UsageError{"--size given twice"};
      const auto size = ParseSize(*value);
      if (!size) {
        return UsageError{quoted(*value) +
                          " is not a size: use 720k, 1m, 1.4m, 2.5m, 5m, or a number with b, kb "
                          "or mb (such as 1000b, 2.5kb, 100mb)"};
      }
      parsed.size = *size;
      sizeGiven = true;
    } else if (option == "--dest") {
      if (parsed.dest) return UsageError{"--dest given twice"};
      if (value->empty()) return UsageError{"--dest needs a file name"};
      parsed.dest = *value;
    } else if (option == "--batch") {
      parsed.batch = true;
    } else if (option == "--script") {
      parsed.script = true;
    } else if (option == "--no-checksum") {
      parsed.noChecksum = true;
    } else if (option == "--delete-source" || option == "--delete-parts") {
      parsed.deleteSource = true;
    } else {
      const OverwriteAnswer answer =
          option == "--overwrite" ? OverwriteAnswer::Yes : OverwriteAnswer::No;
      if (overwriteGiven && parsed.overwrite != answer) {
        return UsageError{"--overwrite and --no-overwrite exclude each other"};
      }
      parsed.overwrite = answer;
      overwriteGiven = true;
    }
  }

  const bool wantsDataFile = parsed.command == CliCommand::Join ||
                             parsed.command == CliCommand::Info ||
                             parsed.command == CliCommand::Verify;
  const std::string what = wantsDataFile ? "DATAFILE" : "SOURCE";
  if (!pathGiven) return UsageError{command + " needs a " + what};
  if (parsed.path.empty()) return UsageError{what + " is empty"};
  return parsed;
}

std::string UsageText() {
  return "usage: quellmark-cli split SOURCE [--size SIZE] [--dest DATAFILE] [--batch] "
         "[--script] [--no-checksum] [--delete-source]\n"
         "       quellmark-cli count SOURCE [--size SIZE]\n"
         "       quellmark-cli join DATAFILE [--dest FILE] [--delete-parts] "
         "[--overwrite | --no-overwrite]\n"
         "       quellmark-cli info DATAFILE\n"
         "       quellmark-cli verify DATAFILE\n"
         "       quellmark-cli --help | --version\n";
}

std::string HelpText() {
  return "quellmark-cli: cut a file into numbered parts and put them back together.\n"
         "\n" +
         UsageText() +
         "\n"
         "Commands:\n"
         "  split SOURCE     Cut SOURCE into parts NAME.001, NAME.002, ... beside the data file\n"
         "                   NAME.qkd, which names the file and counts its parts.\n"
         "  count SOURCE     Print how many parts SOURCE would make: 0 (no such file or no\n"
         "                   usable size), 1, the count, or 1000+ (more than the 999 allowed).\n"
         "  join DATAFILE    Put the parts of the set that DATAFILE (a .qkd file) describes\n"
         "                   back together.\n"
         "  info DATAFILE    Print the file name and part count that DATAFILE holds, and for\n"
         "                   each part whether it is present and how long it is, and whether\n"
         "                   the set carries checksums (NAME.sha256).\n"
         "  verify DATAFILE  Check every file of the set against NAME.sha256 without joining\n"
         "                   it: exit 0 when it is complete and good, 3 when a part is missing,\n"
         "                   10 when a file is damaged.\n"
         "\n"
         "Options:\n"
         "  --size SIZE      Part size for split and count. One of 720k (737,280 bytes, the\n"
         "                   default), 1m (1,048,576), 1.4m (1,457,664), 2.5m (2,621,440),\n"
         "                   5m (5,242,880), or a custom size: a number and a unit b, kb or mb,\n"
         "                   such as 1000b, 2.5kb or 100mb. The number is rounded to a whole\n"
         "                   number, halves to even, before the unit applies: 2.5kb is 2,048\n"
         "                   bytes, 3.5kb is 4,096. A size of 0, or of more than 2,147,483,647\n"
         "                   bytes, cannot be used.\n"
         "  --dest FILE      split: the data file to write; the parts take its name with .001,\n"
         "                   .002, ... (default: SOURCE with an extension of up to three\n"
         "                   letters replaced by .qkd, or with .qkd added when it has none).\n"
         "                   join: the file to rebuild (default: the name the data file holds,\n"
         "                   in the data file's folder).\n"
         "  --batch          split: also write NAME.bat, which rejoins the parts with copy /b\n"
         "                   on a Windows machine without this program.\n"
         "  --script         split: also write NAME.sh, which checks and rejoins the parts with\n"
         "                   sh, sha256sum (or shasum) and cat on Linux or macOS.\n"
         "  --no-checksum    split: leave out NAME.sha256, the parts' checksums, which the join\n"
         "                   and NAME.sh otherwise check before they trust the parts.\n"
         "  --delete-source  split: delete SOURCE once the parts and the data file are safely\n"
         "                   written.\n"
         "  --delete-parts   join: delete the data file, the parts and the batch file once the\n"
         "                   rebuilt file is safely in place.\n"
         "  --overwrite      join: replace the destination if it exists.\n"
         "  --no-overwrite   join: leave an existing destination alone and stop. Without\n"
         "                   either, the question is asked when standard input is a terminal\n"
         "                   and answered no otherwise.\n"
         "  -h, --help       Show this help.\n"
         "  --version        Show the version.\n"
         "\n"
         "While a split or join copies, a progress line is shown when standard error is a\n"
         "terminal. Ctrl-C cancels: the files begun are removed and message 7 is shown.\n"
         "\n"
         "Exit status: 0 on success; the message's number (1 to 10) when one of the numbered\n"
         "messages ends the run, its text on standard error; 64 for a usage error.\n";
}

}  // namespace qm
