#include "cli/arguments.h"

#include <CLI/CLI.hpp>

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

namespace {

// The command line's whole grammar, in one place: the parser, the help and the manual page all
// come from these definitions.
struct Grammar {
  explicit Grammar(CliArguments& into) {
    app.set_help_flag("-h,--help", "Show this help.");
    app.set_version_flag("--version", "quellmark-cli " QM_VERSION, "Show the version.");
    app.require_subcommand(1, 1);
    app.fallthrough();

    auto* split = command("split", CliCommand::Split, into, "SOURCE",
                          "Cut SOURCE into parts NAME.001, NAME.002, ... beside the data file "
                          "NAME.qkd, which names the file and counts its parts.");
    size(split, into);
    split
        ->add_option("--dest", dest,
                     "The data file to write; the parts take its name with "
                     ".001, .002, ... (default: SOURCE with an extension of up to three "
                     "letters replaced by .qkd, or with .qkd added when it has none).")
        ->type_name("DATAFILE");
    split->add_flag("--batch", into.batch,
                    "Also write NAME.bat, which rejoins the parts with "
                    "copy /b on a Windows machine without this program.");
    split->add_flag("--script", into.script,
                    "Also write NAME.sh, which checks and rejoins the parts with sh, "
                    "sha256sum (or shasum) and cat on Linux or macOS.");
    split->add_flag("--no-checksum", into.noChecksum,
                    "Leave out NAME.sha256, the parts' checksums, which the join and NAME.sh "
                    "otherwise check before they trust the parts.");
    split->add_flag("--delete-source", into.deleteSource,
                    "Delete SOURCE once the parts and the data file are safely written.");
    overwriting(split,
                "Replace the files of an existing set of that name (its data file, parts "
                "or batch file).");

    auto* count = command("count", CliCommand::Count, into, "SOURCE",
                          "Print how many parts SOURCE would make: 0 (no such file or no usable "
                          "size), 1, the count, or 1000+ (more than the 999 allowed).");
    size(count, into);

    auto* join = command("join", CliCommand::Join, into, "DATAFILE",
                         "Put the parts of the set that DATAFILE (a .qkd file) describes back "
                         "together.");
    join->add_option("--dest", dest,
                     "The file to rebuild (default: the name the data file "
                     "holds, in the data file's folder).")
        ->type_name("FILE");
    join->add_flag("--delete-parts", into.deleteSource,
                   "Delete the data file, the parts, the batch file, the checksum file "
                   "and the shell script once the rebuilt file is safely in place.");
    overwriting(join, "Replace the destination if it exists.");

    command("info", CliCommand::Info, into, "DATAFILE",
            "Print the file name and part count that DATAFILE holds, whether the set carries "
            "checksums (NAME.sha256), and for each part whether it is present and how long it "
            "is.");
    command("verify", CliCommand::Verify, into, "DATAFILE",
            "Check every file of the set against NAME.sha256 without joining it: exit 0 when it "
            "is complete and good, 3 when a part is missing, 10 when a file is damaged.");
    // Last, so that the commands, which would inherit it, do not repeat it in the full help.
    app.footer(
        "While a split or join copies, a progress line is shown when standard error is a\n"
        "terminal. Ctrl-C cancels: the files begun are removed and message 7 is shown.\n\n"
        "Exit status: 0 on success; the message's number (1 to 10) when one of the numbered\n"
        "messages ends the run, its text on standard error; 64 for a usage error.");
  }

  CLI::App* command(const char* name, CliCommand which, CliArguments& into, const char* what,
                    const char* description) {
    auto* sub = app.add_subcommand(name, description);
    sub->add_option(what, into.path,
                    std::string("The ") + (which == CliCommand::Split || which == CliCommand::Count
                                               ? "file to cut."
                                               : "data file of the set."))
        ->required()
        ->check(CLI::Validator(
            [what](const std::string& text) {
              return text.empty() ? std::string(what) + " is empty" : std::string();
            },
            "", "not empty"));
    sub->parse_complete_callback([&into, which] { into.command = which; });
    return sub;
  }

  void overwriting(CLI::App* sub, const char* what) {
    auto* yes = sub->add_flag("--overwrite", overwrite, what);
    auto* no = sub->add_flag("--no-overwrite", keep,
                             "Leave the existing files alone and stop. Without either, the "
                             "question is asked when standard input is a terminal and answered "
                             "no otherwise.");
    yes->excludes(no);
  }

  void size(CLI::App* sub, CliArguments& into) {
    sub->add_option("--size", sizeText,
                    "Part size. One of 720k (737,280 bytes, the default), "
                    "1m (1,048,576), 1.4m (1,457,664), 2.5m (2,621,440), 5m (5,242,880), or a "
                    "custom size: a number and a unit b, kb or mb, such as 1000b, 2.5kb or "
                    "100mb. The number is rounded to a whole number, halves to even, before "
                    "the unit applies: 2.5kb is 2,048 bytes, 3.5kb is 4,096. A size of 0, or of "
                    "more than 2,147,483,647 bytes, cannot be used.")
        ->type_name("SIZE")
        ->check(CLI::Validator(
            [](const std::string& text) {
              return ParseSize(text)
                         ? std::string()
                         : "\"" + text +
                               "\" is not a size: use 720k, 1m, 1.4m, 2.5m, "
                               "5m, or a number with b, kb or mb (such as 1000b, 2.5kb, "
                               "100mb)";
            },
            "", "size"));
    (void)into;
  }

  CLI::App app{"quellmark-cli: cut a file into numbered parts and put them back together.",
               "quellmark-cli"};
  std::string sizeText;
  std::string dest;
  bool overwrite = false;
  bool keep = false;
};

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  CliArguments parsed;
  Grammar grammar(parsed);
  // CLI11 takes the words last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    grammar.app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    parsed.command = CliCommand::Help;
    return parsed;
  } catch (const CLI::CallForVersion&) {
    parsed.command = CliCommand::Version;
    return parsed;
  } catch (const CLI::ParseError& error) {
    std::string message = error.what();
    if (args.empty()) {
      message = "no command given";
    } else if (!args.front().starts_with("-") && grammar.app
                                                     .get_subcommands([&](const CLI::App* sub) {
                                                       return sub->get_name() == args.front();
                                                     })
                                                     .empty()) {
      message = "unknown command \"" + args.front() + "\"";
    }
    return UsageError{message};
  }
  if (!grammar.sizeText.empty()) parsed.size = *ParseSize(grammar.sizeText);
  if (!grammar.dest.empty()) parsed.dest = grammar.dest;
  if (grammar.overwrite) parsed.overwrite = OverwriteAnswer::Yes;
  if (grammar.keep) parsed.overwrite = OverwriteAnswer::No;
  return parsed;
}

std::string UsageText() {
  return "Try \"quellmark-cli --help\".\n";
}

std::string HelpText() {
  CliArguments unused;
  Grammar grammar(unused);
  std::string text = grammar.app.help();
  for (const CLI::App* sub : grammar.app.get_subcommands({}))
    text += "\n" + sub->help();
  return text;
}

}  // namespace qm
