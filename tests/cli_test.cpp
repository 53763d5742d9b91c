// quellmark-cli as a user runs it: the real program on real files in a folder of their own. The
// engine's tests cover block layout and join details; these check the command line's contract.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

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
  // Every ordinary file in the folder with its bytes, apart from the captured streams.
  std::map<std::string, std::string> contents() const {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::directory_iterator(at("")))
      if (entry.is_regular_file() && !entry.path().filename().string().starts_with(".std"))
        found[entry.path().filename()] = read(entry.path().filename());
    return found;
  }

  // Starts the program in the folder, with nothing on its input and its output in files there.
  pid_t start(Args args, const char* out = ".stdout") const {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.path().c_str()) != 0) ::_exit(120);
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    ::dup2(::open(out, O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    ::dup2(::open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
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

// A split with its checksum file and script, checked by sha256sum; one byte flipped in a part
// and the join, verify and the script refuse and write nothing; mended, it joins back whole.
TEST_F(Cli, SplitsAndJoinsBackByteForByteAndRefusesADamagedPart) {
  const std::string source = JobFixture::pattern(2000000);
  write("movie.avi", source);
  Result r = run(
      {"split", "movie.avi", "--size", "1m", "--dest", "film.qkd", "--delete-source", "--script"});
  EXPECT_EQ(std::tuple(r.status, r.err), std::tuple(0, ""));  // no progress line off a terminal
  const std::string in = "cd '" + at("") + "' && ";
  EXPECT_EQ(std::system((in + "sha256sum --strict --quiet -c film.sha256").c_str()), 0);
  const std::string good = read("film.002");
  write("film.002", good.substr(0, 9) + char(good[9] ^ 1) + good.substr(10));
  const auto before = contents();
  r = run({"join", at("film.qkd"), "--dest", at("x.avi")});
  EXPECT_EQ(r.status, 10);
  EXPECT_NE(r.err.find("Error #010 : \"" + at("film.002") + "\" is damaged"), std::string::npos)
      << r.err;
  EXPECT_EQ(run({"verify", at("film.qkd")}).status, 10);
  EXPECT_NE(std::system((in + "sh film.sh </dev/null >/dev/null 2>&1").c_str()), 0);
  EXPECT_TRUE(contents() == before);
  write("film.002", good);
  EXPECT_EQ(run({"verify", at("film.qkd")}).status, 0);
  r = run({"join", at("film.qkd"), "--delete-parts"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contents() == (std::map<std::string, std::string>{{"movie.avi", source}}));
}

// What info prints, and every refusal (also of a pipe where a file is expected, and
// of output that cannot be written): the message the window would show on standard
// error and its number as the status. None of them touches a file.
TEST_F(Cli, CountsInfoAndRefusalsPrintTheirAnswerAndTouchNothing) {
  write("small.txt", JobFixture::pattern(1000));
  write("big.bin", std::string(5242881, 'b'));
  write("data.bin", JobFixture::pattern(200000));
  ASSERT_EQ(run({"split", "data.bin", "--size", "100kb"}).status, 0);
  write("lost.qkd", "lost.bin\r\n2\r\n");
  write("lost.001", "x");
  ::mkfifo(at("pipe.qkd").c_str(), 0600);  // where a file is expected
  // The arguments, the status, and what standard output says (status 0) or what standard error
  // must mention (none: the message and nothing else).
  using Case = std::tuple<Args, int, const char*>;
  const Case cases[] = {
      {{"info", "lost.qkd"},
       0,
       "File: lost.bin\nParts: 2\nChecksums: none (the set has no checksum file)\n"
       "  lost.001  present  1 bytes\n  lost.002  missing"},
      {{"split", "small.txt"}, 1, nullptr},
      {{"split", "absent.txt"}, 2, nullptr},
      {{"join", "lost.qkd", "--delete-parts"}, 3, nullptr},
      {{"join", "data.qkd"}, 4, nullptr},  // nobody at a terminal to ask
      {{"split", "big.bin", "--size", "1000b"}, 5, nullptr},
      {{"split", "big.bin", "--dest", "nowhere/b.qkd"}, 9, "folder \""},
      {{"info", "pipe.qkd"}, 9, "pipe.qkd"},
      {{"split", "pipe.qkd", "--size", "1b"}, 2, nullptr},
      {{"split", "a", "--size", "3x"}, 64, "\"3x\" is not a size"},
  };
  const auto before = contents();
  for (const auto& [args, status, text] : cases) {
    SCOPED_TRACE(testing::Message() << status << " " << args.back());
    const Result r = run(args);
    EXPECT_EQ(r.status, status);
    const std::string message = MessageText(status, "");  // none for 0 and 64
    EXPECT_EQ(r.out, status == 0 ? std::string(text) + "\n" : "");
    EXPECT_TRUE(status == 0 ? r.err.empty()
                : text      ? r.err.starts_with(message) && r.err.find(text) != std::string::npos
                            : r.err == message + "\n")
        << r.err;
    EXPECT_TRUE(contents() == before);
  }
  for (const Args& args : {Args{"info", "data.qkd"}, Args{"--help"}})  // output that cannot go out
    EXPECT_EQ(finish(start(args, "/dev/full")).status, 9) << args[0];
}

// Ctrl-C, SIGTERM or SIGHUP while new parts are written over an older set: the run stops as a
// confirmed Cancel does, removes the parts begun and leaves the older set as it was. The program
// is held still from the moment its first part is complete (it then takes a hidden name) until
// the signal is in; a signal that still came after the last block must be reported as too late.
TEST_F(Cli, StopSignalsCancelAndLeaveAnOlderSetAsItWas) {
  fs::create_directory(at("src"));  // out of the listing compared
  fs::resize_file((std::ofstream(at("src/big.bin")).close(), at("src/big.bin")), 200 << 20);
  write("old.bin", JobFixture::pattern(2500));
  ASSERT_EQ(run({"split", "old.bin", "--size", "1000b", "--dest", "big.qkd"}).status, 0);
  const auto before = contents();
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const pid_t pid =
        start({"split", "src/big.bin", "--size", "1m", "--dest", "big.qkd", "--overwrite"});
    const auto staged = [&] {
      for (const auto& entry : fs::directory_iterator(at("")))
        if (entry.path().filename().string().starts_with(".quellmark-")) return true;
      return false;
    };
    for (int status = 0; !staged() && ::waitpid(pid, &status, WNOHANG) == 0;) {
    }
    ::kill(pid, SIGSTOP);
    ::kill(pid, signal);
    ::kill(pid, SIGCONT);
    const Result r = finish(pid);
    if (r.status == 0) {
      EXPECT_NE(r.err.find("too late"), std::string::npos) << r.err;
      return;
    }
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, MessageText(7, "") + "\n");
    EXPECT_TRUE(contents() == before);
  }
}

}  // namespace
}  // namespace qm::test
