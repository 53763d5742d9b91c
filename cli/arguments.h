// quellmark-cli's command line, read into what the window's controls should be set to. A pure
// function of the argument list, so that any input can be thrown at it.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qm {

enum class CliCommand { Split, Count, Join, Info, Verify, Help, Version };

// Which of the six size options to select. The custom size keeps the number as text, because
// the custom field reads it with its own rules (2.5 with "Kb" is 2,048 bytes, not 2,560).
enum class SizeOption { Kb720, Mb1, Mb1_4, Mb2_5, Mb5, Custom };

struct SizeChoice {
  SizeOption option = SizeOption::Kb720;
  std::string customText;  // the text for txtSize
  int unitIndex = 0;       // the entry of Combo1: 0 "b", 1 "Kb", 2 "Mb"
};

// How the question "the file you are about to create exists" is answered.
enum class OverwriteAnswer { Ask, Yes, No };

struct CliArguments {
  CliCommand command = CliCommand::Help;
  std::string path;  // SOURCE for split and count, DATAFILE for join and info
  SizeChoice size;
  std::optional<std::string> dest;
  bool batch = false;
  bool script = false;        // split: --script
  bool noChecksum = false;    // split: --no-checksum
  bool deleteSource = false;  // split: --delete-source; join: --delete-parts
  OverwriteAnswer overwrite = OverwriteAnswer::Ask;
};

struct UsageError {
  std::string message;
};

using ParsedArguments = std::variant<CliArguments, UsageError>;

// Reads the arguments after the program name.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// Reads a SIZE: "720k", "1m", "1.4m", "2.5m", "5m", or a number with "b", "kb" or "mb".
std::optional<SizeChoice> ParseSize(const std::string& text);

// The line shown after a usage error, and the full help, made from the option definitions.
std::string UsageText();
std::string HelpText();

}  // namespace qm
