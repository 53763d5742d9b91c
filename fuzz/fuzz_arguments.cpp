// Arbitrary command lines for quellmark-cli: the input, cut at NUL bytes, is the argument list.
// The parser must answer with a usage error or with a command it can run: one that names a file,
// whose custom size the size field can read, and whose options belong to it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "cli/arguments.h"

namespace {

bool plainNumber(const std::string& text) {
  bool digit = false;
  int points = 0;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.') {
      ++points;
    } else {
      return false;
    }
  }
  return digit && points <= 1;
}

void checkSize(const qm::SizeChoice& size) {
  if (size.option == qm::SizeOption::Custom) {
    if (!plainNumber(size.customText)) __builtin_trap();
    if (size.unitIndex < 0 || size.unitIndex > 2) __builtin_trap();
  } else if (!size.customText.empty()) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (size > 0) args.push_back(current);

  for (const std::string& arg : args) {
    if (const auto choice = qm::ParseSize(arg)) checkSize(*choice);
  }

  const qm::ParsedArguments parsed = qm::ParseArguments(args);
  if (const auto* error = std::get_if<qm::UsageError>(&parsed)) {
    if (error->message.empty()) __builtin_trap();
    return 0;
  }
  const qm::CliArguments& cli = std::get<qm::CliArguments>(parsed);
  using qm::CliCommand;
  if (cli.command == CliCommand::Help || cli.command == CliCommand::Version) return 0;
  if (args.empty() || cli.path.empty()) __builtin_trap();
  checkSize(cli.size);
  const bool split = cli.command == CliCommand::Split;
  const bool join = cli.command == CliCommand::Join;
  if (cli.batch && !split) __builtin_trap();
  if (cli.deleteSource && !split && !join) __builtin_trap();
  if (cli.dest && (cli.dest->empty() || (!split && !join))) __builtin_trap();
  if (cli.overwrite != qm::OverwriteAnswer::Ask && !join) __builtin_trap();
  if (cli.size.option != qm::SizeOption::Kb720 && !split && cli.command != CliCommand::Count) {
    __builtin_trap();
  }
  return 0;
}
