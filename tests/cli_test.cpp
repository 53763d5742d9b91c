// quellmark-cli as a user runs it: the real program on real files in a folder of their own. The
// engine's tests cover block layout and join details; these check the command line's contract.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "engine/messages.h"
#include "tests/fakes/job_fixture.h"

namespace qm::test {
namespace {

using Args = std::vector<std::string>;

struct Result {
  int status;
  std::string out, err;
};

class Cli : public ::testing::Test, public JobFixture {
 protected:
  // Starts the program in the folder, with nothing on its input and its output in files
  // elsewhere.
  pid_t start(Args args) const {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.path().c_str()) != 0) ::_exit(120);
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    ::dup2(::open((streams.path() + "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    ::dup2(::open((streams.path() + "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    for (int fd = 3; fd < 1024; ++fd)
      ::close(fd);  // such as the test's end of a pipe
    args.insert(args.begin(), QM_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(QM_CLI_PATH, argv.data());
    ::_exit(127);
  }
  Result finish(pid_t pid) const {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            readAll(streams.path() + "out"), readAll(streams.path() + "err")};
  }
  Result run(const Args& args) const { return finish(start(args)); }

  TempFolder streams;
};

// Split (relative names, the batch file), split again elsewhere deleting the source, joined back
// beside the data file deleting the parts. The engine's tests cover the layout of the parts.
TEST_F(Cli, SplitsTheExampleAndJoinsItBackByteForByte) {
  const std::string source = JobFixture::pattern(2000000);
  writeFile("movie.avi", source);
  Result r = run({"split", "movie.avi", "--batch", "--script"});
  EXPECT_EQ(std::tuple(r.status, r.err), std::tuple(0, ""));  // no progress line off a terminal
  EXPECT_EQ(snapshot().size(), 8u);  // the source, 3 parts, .qkd, .sha256, .bat and .sh
  const std::string in = "cd '" + path("") + "' && ";
  EXPECT_EQ(std::system((in + "sha256sum --strict --quiet -c movie.sha256").c_str()), 0);
  std::filesystem::create_directory(path("disks"));
  r = run({"split", "movie.avi", "--size", "1m", "--dest", "disks/film.qkd", "--delete-source",
           "--script"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::filesystem::file_size(path("disks/film.001")), 1048576u);
  EXPECT_FALSE(std::filesystem::exists(path("movie.avi")));
  // One byte flipped in a part: the join, verify and the script refuse, and write nothing.
  const std::string good = readFile("disks/film.002");
  writeFile("disks/film.002", good.substr(0, 9) + char(good[9] ^ 1) + good.substr(10));
  const auto before = snapshot();
  r = run({"join", path("disks/film.qkd"), "--dest", path("disks/x.avi")});
  EXPECT_EQ(r.status, 10);
  EXPECT_NE(r.err.find("Error #010 : \"" + path("disks/film.002") + "\" is damaged"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(run({"verify", path("disks/film.qkd")}).status, 10);
  EXPECT_NE(std::system((in + "cd disks && sh film.sh </dev/null >/dev/null 2>&1").c_str()), 0);
  EXPECT_TRUE(snapshot() == before);
  writeFile("disks/film.002", good);
  EXPECT_EQ(run({"verify", path("disks/film.qkd")}).status, 0);
  r = run({"join", path("disks/film.qkd"), "--delete-parts"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(readFile("disks/movie.avi") == source);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("disks")), {}), 1);
}

// What count and info print, and refusals: the message the window would show on standard error
// and its number as the status. None of them touches a file. (Which input gets which message
// is the engine's tests' business.)
TEST_F(Cli, CountsInfoAndRefusalsPrintTheirAnswerAndTouchNothing) {
  writeFile("big.bin", std::string(5242881, 'b'));
  writeFile("data.qkd", "big.bin\r\n1\r\n");
  writeFile("data.001", "x");
  writeFile("lost.qkd", "lost.bin\r\n2\r\n");
  writeFile("lost.001", "x");
  // The arguments, the status, and what standard output says (status 0) or what standard error
  // must mention (none: the message and nothing else).
  using Case = std::tuple<Args, int, const char*>;
  const Case cases[] = {
      {{"count", "big.bin", "--size", "1m"}, 0, "6"},
      {{"count", "big.bin", "--size", "1000b"}, 0, "1000+"},
      {{"info", "lost.qkd"},
       0,
       "File: lost.bin\nParts: 2\nChecksums: none (the set has no checksum file)\n"
       "  lost.001  present  1 bytes\n  lost.002  missing"},
      {{"split", "absent.txt"}, 2, nullptr},
      {{"join", "data.qkd"}, 4, nullptr},  // nobody at a terminal to ask
      {{"split", "big.bin", "--dest", "nowhere/b.qkd"}, 9, "nowhere/b.001"},
      {{}, 64, "quellmark-cli: no command given\nTry \"quellmark-cli --help\"."},
      {{"split", "a", "--size", "3x"}, 64, "\"3x\" is not a size"},
  };
  const auto before = snapshot();
  for (const auto& [args, status, text] : cases) {
    SCOPED_TRACE(testing::Message() << status << " " << (args.empty() ? "" : args.back()));
    const Result r = run(args);
    EXPECT_EQ(r.status, status);
    const std::string message = MessageText(status, "");  // none for 0 and 64
    EXPECT_EQ(r.out, status == 0 ? std::string(text) + "\n" : "");
    EXPECT_TRUE(status == 0 ? r.err.empty()
                : text      ? r.err.starts_with(message) && r.err.find(text) != std::string::npos
                            : r.err == message + "\n")
        << r.err;
    EXPECT_TRUE(snapshot() == before);
  }
}

// Ctrl-C while a part is being written. Part 2 is a pipe that this test reads, so the program
// cannot get past the first 64 KiB of it before the interrupt has arrived: nothing depends on
// how fast anything runs.
TEST_F(Cli, CtrlCCancelsAndRemovesThePartsBegun) {
  const std::string source = JobFixture::pattern(3 * 1048576);
  writeFile("big.bin", source);
  ASSERT_EQ(::mkfifo(path("big.002").c_str(), 0600), 0);
  // Opened before the program, so that its open of part 2 does not wait for a reader.
  const int pipe = ::open(path("big.002").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(pipe, 0);
  const pid_t pid = start({"split", "big.bin", "--size", "1m"});
  // Wait for the first bytes of part 2 (part 1 is then complete), while the program is there.
  bool started = false;
  for (int status = 0; !started && ::waitpid(pid, &status, WNOHANG) != pid;) {
    pollfd wait{pipe, POLLIN, 0};
    started = ::poll(&wait, 1, 100) > 0 && (wait.revents & POLLIN) != 0;
  }
  ASSERT_TRUE(started) << "the split ended before it wrote part 2";
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  // Take what it writes until it lets go of the pipe.
  ::fcntl(pipe, F_SETFL, 0);
  for (char buffer[65536]; ::read(pipe, buffer, sizeof buffer) > 0;) {
  }
  ::close(pipe);
  const Result r = finish(pid);
  EXPECT_EQ(r.status, 7);
  EXPECT_EQ(r.err, MessageText(7, "") + "\n");
  // Part 2 was never a file of the program's; if it is still there, it is still only the pipe.
  EXPECT_TRUE(!std::filesystem::exists(path("big.002")) ||
              std::filesystem::is_fifo(path("big.002")));
  std::filesystem::remove(path("big.002"));
  EXPECT_TRUE(snapshot() == (std::map<std::string, std::string>{{"big.bin", source}}));
}

}  // namespace
}  // namespace qm::test
