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

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

struct Result {
  int status;
  std::string out, err;
};

class Cli : public ::testing::Test {
 protected:
  std::string at(const std::string& name) const { return folder.path() + name; }
  std::string read(const std::string& name) const {
    std::ifstream in(at(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(at(name), std::ios::binary) << bytes;
  }
  // Every name in the folder `sub` ("" or ending in "/") with its bytes, apart from the captured
  // streams.
  std::map<std::string, std::string> contents(const std::string& sub = "") const {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::directory_iterator(at(sub))) {
      const std::string name = entry.path().filename().string();
      if (!name.starts_with(".std")) found[name] = read(sub + name);
    }
    return found;
  }

  // Starts the program in the folder, with nothing on its input and its output in files there.
  pid_t start(Args args) const {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.path().c_str()) != 0) ::_exit(120);
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    ::dup2(::open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    ::dup2(::open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
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
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), read(".stdout"),
            read(".stderr")};
  }
  Result run(const Args& args) const { return finish(start(args)); }

  TempFolder folder;
};

TEST_F(Cli, SplitsTheExampleAndJoinsItBackByteForByte) {
  const std::string source = JobFixture::pattern(2000000);
  write("movie.avi", source);
  Result r = run({"split", "movie.avi", "--batch", "--script"});  // relative: the current folder
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");              // no progress line off a terminal
  EXPECT_EQ(contents().size(), 8u);  // the source, 3 parts, .qkd, .sha256, .bat and .sh
  const std::string in = "cd '" + folder.path() + "' && ";
  EXPECT_EQ(std::system((in + "sha256sum --strict --quiet -c movie.sha256").c_str()), 0);
  EXPECT_EQ(fs::file_size(at("movie.001")), 737280u);
  EXPECT_EQ(fs::file_size(at("movie.002")), 737280u);
  EXPECT_EQ(fs::file_size(at("movie.003")), 525440u);
  EXPECT_EQ(read("movie.qkd"), "movie.avi\r\n3\r\n");
  const std::string batch = read("movie.bat");
  EXPECT_EQ(std::count(batch.begin(), batch.end(), '\n'), 62);

  // Another size and data file, the source deleted; joined back beside the data file.
  fs::create_directory(at("disks"));
  r = run({"split", "movie.avi", "--size", "1m", "--dest", "disks/film.qkd", "--delete-source",
           "--script"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::file_size(at("disks/film.001")), 1048576u);
  EXPECT_FALSE(fs::exists(at("movie.avi")));
  // One byte flipped in a part: the join, verify and the script refuse, and write nothing.
  const std::string good = read("disks/film.002");
  write("disks/film.002", good.substr(0, 9) + char(good[9] ^ 1) + good.substr(10));
  const auto before = contents("disks/");
  r = run({"join", at("disks/film.qkd"), "--dest", at("disks/x.avi")});
  EXPECT_EQ(r.status, 10);
  EXPECT_NE(r.err.find("Error #010 : \"" + at("disks/film.002") + "\" is damaged"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(run({"verify", at("disks/film.qkd")}).status, 10);
  EXPECT_NE(std::system((in + "cd disks && sh film.sh </dev/null >/dev/null 2>&1").c_str()), 0);
  EXPECT_TRUE(contents("disks/") == before);

  write("disks/film.002", good);
  EXPECT_EQ(run({"verify", at("disks/film.qkd")}).status, 0);
  r = run({"join", at("disks/film.qkd"), "--delete-parts"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contents("disks/") == (std::map<std::string, std::string>{{"movie.avi", source}}));
}

// What count and info print, and every refusal: the message the window would show on standard
// error and its number as the status. None of them touches a file.
TEST_F(Cli, CountsInfoAndRefusalsPrintTheirAnswerAndTouchNothing) {
  write("small.txt", JobFixture::pattern(1000));
  write("big.bin", std::string(5242881, 'b'));
  write("data.bin", JobFixture::pattern(200000));
  ASSERT_EQ(run({"split", "data.bin", "--size", "100kb"}).status, 0);
  write("lost.qkd", "lost.bin\r\n2\r\n");
  write("lost.001", "x");
  // The arguments, the status, and what standard output says (status 0) or what standard error
  // must mention (none: the message and nothing else).
  using Case = std::tuple<Args, int, const char*>;
  const Case cases[] = {
      {{"count", "absent.bin"}, 0, "0"},
      {{"count", "big.bin"}, 0, "8"},  // 720k unless told
      {{"count", "big.bin", "--size", "1m"}, 0, "6"},
      {{"count", "big.bin", "--size=1.4m"}, 0, "4"},
      {{"count", "big.bin", "--size", "2.5m"}, 0, "3"},
      {{"count", "big.bin", "--size", "1000b"}, 0, "1000+"},
      {{"count", "data.bin", "--size", "2.5kb"}, 0, "98"},  // 2.5 rounds to 2: 2,048 bytes
      {{"info", "lost.qkd"},
       0,
       "File: lost.bin\nParts: 2\nChecksums: none (the set has no checksum file)\n"
       "  lost.001  present  1 bytes\n  lost.002  missing"},
      {{"split", "small.txt"}, 1, nullptr},
      {{"split", "absent.txt"}, 2, nullptr},
      {{"join", "lost.qkd", "--delete-parts"}, 3, nullptr},
      {{"join", "data.qkd", "--no-overwrite"}, 4, nullptr},
      {{"join", "data.qkd"}, 4, nullptr},  // nobody at a terminal to ask
      {{"split", "big.bin", "--size", "1000b"}, 5, nullptr},
      {{"split", "big.bin", "--size", "3000mb"}, 6, nullptr},
      {{"split", "big.bin", "--dest", "nowhere/b.qkd"}, 9, "nowhere/b.001"},
      {{}, 64, "quellmark-cli: no command given\nusage: quellmark-cli split SOURCE"},
      {{"split", "a", "--size", "3x"}, 64, "quellmark-cli: \"3x\" is not a size"},
  };
  const auto before = contents();
  for (const auto& [args, status, text] : cases) {
    SCOPED_TRACE(testing::Message() << status << " " << (args.empty() ? "" : args.back()));
    const Result r = run(args);
    EXPECT_EQ(r.status, status);
    const std::string message = MessageText(status, "");  // none for 0 and 64
    EXPECT_EQ(r.out, status == 0 ? std::string(text) + "\n" : "");
    EXPECT_TRUE(r.err.starts_with(message)) << r.err;
    EXPECT_TRUE(status == 0 ? r.err.empty()
                : text      ? r.err.find(text) != std::string::npos
                            : r.err == message + "\n")
        << r.err;
    EXPECT_TRUE(contents() == before);
  }
}

// Ctrl-C while a part is being written. Part 2 is a pipe that this test reads, so the program
// cannot get past the first 64 KiB of it before the interrupt has arrived: nothing depends on
// how fast anything runs.
TEST_F(Cli, CtrlCCancelsAndRemovesThePartsBegun) {
  const std::string source = JobFixture::pattern(3 * 1048576);
  write("big.bin", source);
  ASSERT_EQ(::mkfifo(at("big.002").c_str(), 0600), 0);
  // Opened before the program, so that its open of part 2 does not wait for a reader.
  const int pipe = ::open(at("big.002").c_str(), O_RDONLY | O_NONBLOCK);
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
  EXPECT_TRUE(!fs::exists(at("big.002")) || fs::is_fifo(at("big.002")));
  fs::remove(at("big.002"));
  EXPECT_TRUE(contents() == (std::map<std::string, std::string>{{"big.bin", source}}));
}

}  // namespace
}  // namespace qm::test
