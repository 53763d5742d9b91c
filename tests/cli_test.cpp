// quellmark-cli as a user runs it: the real program on real files in a folder of their own. The
// engine's tests cover block layout and join details; these check the command line's contract.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
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
  Result r = run({"split", "movie.avi", "--batch", "--script"});
  EXPECT_EQ(std::tuple(r.status, r.err), std::tuple(0, ""));  // no progress line off a terminal
  EXPECT_EQ(contents().size(), 8u);  // the source, 3 parts, .qkd, .sha256, .bat and .sh
  const std::string in = "cd '" + at("") + "' && ";
  EXPECT_EQ(std::system((in + "sha256sum --strict --quiet -c movie.sha256").c_str()), 0);
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
      {{"split", "big.bin", "--dest", "nowhere/b.qkd"}, 9, "folder \""},
      // An existing set is replaced only when the user says so, and nobody is there to say it.
      {{"split", "data.bin", "--size", "50kb"}, 4, nullptr},
      {{"split", "data.bin", "--size", "50kb", "--no-overwrite"}, 4, nullptr},

      {{}, 64, "quellmark-cli: no command given\nTry \"quellmark-cli --help\"."},
      {{"split", "a", "--size", "3x"}, 64, "\"3x\" is not a size"},
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

// Ctrl-C while the new parts are being written over an older set, which comes through whole:
// the new parts stay hidden until the set is complete. The program is interrupted as soon as
// the first of them is complete (it then takes a hidden name); 400 parts are still to come.
TEST_F(Cli, CtrlCLeavesAnOlderSetAsItWas) {
  write("big.bin", JobFixture::pattern(400 * 65536 + 1));
  ASSERT_EQ(run({"split", "big.bin", "--size", "100kb", "--batch"}).status, 0);
  const auto before = contents();
  const int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, folder.path().c_str(), IN_CREATE), 0);
  const pid_t pid = start({"split", "big.bin", "--size", "64kb", "--overwrite"});
  alignas(inotify_event) char events[4096];
  bool staged = false;
  for (int status = 0; !staged && ::waitpid(pid, &status, WNOHANG) != pid;) {
    pollfd wait{watch, POLLIN, 0};
    if (::poll(&wait, 1, 100) <= 0) continue;
    const ssize_t got = ::read(watch, events, sizeof events);
    for (char* at = events; at < events + got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(at);
      staged = staged || (event->len > 0 && std::string(event->name).starts_with(".quellmark-"));
      at += sizeof(inotify_event) + event->len;
    }
  }
  ::close(watch);
  ASSERT_TRUE(staged) << "the split ended before a part was complete";
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  const Result r = finish(pid);
  EXPECT_EQ(r.status, 7);
  EXPECT_EQ(r.err, MessageText(7, "") + "\n");
  EXPECT_TRUE(contents() == before);
}

// Ctrl-C, SIGTERM or SIGHUP while the parts are being written: the run stops as a confirmed
// Cancel does. The program is held still from the moment its first part is complete until the
// signal is in; a signal that still came after the last block must be reported as too late.
TEST_F(Cli, StopSignalsCancelAndRemoveThePartsBegun) {
  fs::resize_file((std::ofstream(at("big.bin")).close(), at("big.bin")), 200 << 20);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const pid_t pid = start({"split", "big.bin", "--size", "1m"});
    // A part is complete once it takes a hidden name.
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
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(at(""))) {
      const std::string name = entry.path().filename().string();
      if (name != "big.bin" && !name.starts_with(".std")) left.push_back(name);
      if (name != "big.bin" && !name.starts_with(".std")) fs::remove(entry.path());
    }
    if (r.status == 0) {
      EXPECT_NE(r.err.find("too late"), std::string::npos) << r.err;
      continue;
    }
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, MessageText(7, "") + "\n");
    EXPECT_EQ(left, std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace qm::test
