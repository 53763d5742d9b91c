#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

CliArguments parsed(const std::vector<std::string>& args) {
  const ParsedArguments result = ParseArguments(args);
  if (const auto* error = std::get_if<UsageError>(&result)) {
    ADD_FAILURE() << "usage error: " << error->message;
    return {};
  }
  return std::get<CliArguments>(result);
}

std::string usageError(const std::vector<std::string>& args) {
  const ParsedArguments result = ParseArguments(args);
  if (const auto* error = std::get_if<UsageError>(&result)) return error->message;
  ADD_FAILURE() << "accepted";
  return {};
}

TEST(Arguments, FixedSizesPickTheirOption) {
  const std::pair<const char*, SizeOption> cases[] = {
      {"720k", SizeOption::Kb720}, {"1m", SizeOption::Mb1}, {"1.4m", SizeOption::Mb1_4},
      {"2.5m", SizeOption::Mb2_5}, {"5m", SizeOption::Mb5}, {"1.4M", SizeOption::Mb1_4},
  };
  for (const auto& [text, option] : cases) {
    const auto size = ParseSize(text);
    ASSERT_TRUE(size.has_value()) << text;
    EXPECT_EQ(size->option, option) << text;
  }
  EXPECT_EQ(parsed({"split", "a"}).size.option, SizeOption::Kb720);
}

TEST(Arguments, CustomSizesKeepTheNumberAsTextForTheField) {
  struct Case {
    const char* text;
    const char* number;
    int unit;
  };
  const Case cases[] = {
      {"1000b", "1000", 0}, {"2.5kb", "2.5", 1}, {"100mb", "100", 2}, {"3.5KB", "3.5", 1},
      {"0b", "0", 0},       {".5mb", ".5", 2},   {"7.kb", "7.", 1},   {"1MB", "1", 2},
  };
  for (const Case& c : cases) {
    const auto size = ParseSize(c.text);
    ASSERT_TRUE(size.has_value()) << c.text;
    EXPECT_EQ(size->option, SizeOption::Custom) << c.text;
    EXPECT_EQ(size->customText, c.number) << c.text;
    EXPECT_EQ(size->unitIndex, c.unit) << c.text;
  }
  for (const char* bad : {"", "b", "kb", "-5kb", "1.2.3b", "12abc", "1e3b", "5", "1 kb", "720"}) {
    EXPECT_FALSE(ParseSize(bad).has_value()) << bad;
  }
}

TEST(Arguments, ReadsEveryOptionOfEachCommand) {
  const CliArguments split = parsed(
      {"split", "--size", "2.5kb", "movie.avi", "--dest=out/m.qkd", "--batch", "--delete-source"});
  EXPECT_EQ(split.command, CliCommand::Split);
  EXPECT_EQ(split.path, "movie.avi");
  EXPECT_EQ(split.size.customText, "2.5");
  EXPECT_EQ(split.size.unitIndex, 1);
  EXPECT_EQ(split.dest, "out/m.qkd");
  EXPECT_TRUE(split.batch);
  EXPECT_TRUE(split.deleteSource);

  const CliArguments join = parsed({"join", "m.qkd", "--delete-parts", "--no-overwrite"});
  EXPECT_EQ(join.command, CliCommand::Join);
  EXPECT_TRUE(join.deleteSource);
  EXPECT_EQ(join.overwrite, OverwriteAnswer::No);
  EXPECT_FALSE(join.dest.has_value());
  EXPECT_EQ(parsed({"join", "m.qkd"}).overwrite, OverwriteAnswer::Ask);
  EXPECT_EQ(parsed({"join", "--overwrite", "m.qkd", "--overwrite"}).overwrite,
            OverwriteAnswer::Yes);

  EXPECT_EQ(parsed({"count", "a", "--size=5m"}).size.option, SizeOption::Mb5);
  EXPECT_EQ(parsed({"info", "m.qkd"}).command, CliCommand::Info);
  // After "--" a name that looks like an option is a name.
  EXPECT_EQ(parsed({"split", "--", "--batch"}).path, "--batch");
  EXPECT_EQ(parsed({"split", "-"}).path, "-");
}

TEST(Arguments, HelpAndVersionWinWherever) {
  EXPECT_EQ(parsed({"--help"}).command, CliCommand::Help);
  EXPECT_EQ(parsed({"-h"}).command, CliCommand::Help);
  EXPECT_EQ(parsed({"split", "--bogus", "--help"}).command, CliCommand::Help);
  EXPECT_EQ(parsed({"--version"}).command, CliCommand::Version);
  EXPECT_EQ(parsed({"split", "--", "--help"}).path, "--help");
}

TEST(Arguments, RefusesWhatItCannotRun) {
  EXPECT_EQ(usageError({}), "no command given");
  EXPECT_EQ(usageError({"cut", "a"}), "unknown command \"cut\"");
  EXPECT_EQ(usageError({"split"}), "split needs a SOURCE");
  EXPECT_EQ(usageError({"join"}), "join needs a DATAFILE");
  EXPECT_EQ(usageError({"info", ""}), "DATAFILE is empty");
  EXPECT_EQ(usageError({"split", "a", "b"}), "unexpected argument \"b\"");
  EXPECT_EQ(usageError({"split", "a", "--size"}), "--size needs a value");
  EXPECT_EQ(usageError({"split", "a", "--dest="}), "--dest needs a file name");
  EXPECT_EQ(usageError({"split", "a", "--size", "1m", "--size", "5m"}), "--size given twice");
  EXPECT_EQ(usageError({"split", "a", "--batch=yes"}), "--batch takes no value");
  EXPECT_EQ(usageError({"join", "a", "--overwrite", "--no-overwrite"}),
            "--overwrite and --no-overwrite exclude each other");
  EXPECT_NE(usageError({"split", "a", "--size", "huge"}).find("\"huge\" is not a size"),
            std::string::npos);
  // Each command takes only its own options.
  EXPECT_EQ(usageError({"join", "a", "--batch"}), "unknown option \"--batch\" for join");
  EXPECT_EQ(usageError({"join", "a", "--size", "1m"}), "unknown option \"--size\" for join");
  EXPECT_EQ(usageError({"count", "a", "--dest", "b"}), "unknown option \"--dest\" for count");
  EXPECT_EQ(usageError({"split", "a", "--delete-parts"}),
            "unknown option \"--delete-parts\" for split");
  EXPECT_EQ(usageError({"info", "a", "-x"}), "unknown option \"-x\" for info");
}

}  // namespace
}  // namespace qm
