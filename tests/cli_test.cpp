// quellmark-cli as a user runs it: the real program on real files in a folder of their own.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "window/frm_error.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Bytes that differ from block to block and part to part, so a misplaced slice shows.
std::string pattern(std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<char>((i * 31 + i / 65000) % 251);
  return bytes;
}

std::string messageLine(int code) {
  return frmError::MessageText(code, "") + "\n";
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Where the child's standard streams go; -1 means a file the test reads afterwards (stdout,
// stderr) or /dev/null (stdin).
struct Streams {
  int in = -1;
  int err = -1;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = (fs::temp_directory_path() / "quellmark-cli-XXXXXX").string();
    ASSERT_NE(::mkdtemp(name.data()), nullptr);
    dir = name;
  }
  void TearDown() override { fs::remove_all(dir); }

  // Starts the program in `dir` and returns its process id.
  pid_t start(const std::vector<std::string>& args, Streams streams = {}) {
    const std::string outPath = (dir / ".stdout").string();
    const std::string errPath = (dir / ".stderr").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
      auto redirect = [](int fd, int target) {
        if (fd != target) ::dup2(fd, target);
      };
      if (::chdir(dir.c_str()) != 0) ::_exit(120);
      redirect(streams.in >= 0 ? streams.in : ::open("/dev/null", O_RDONLY), 0);
      redirect(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      redirect(streams.err >= 0 ? streams.err
                                : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
               2);
      // Nothing of the test's own, such as the far end of a pipe, goes with it.
      for (int fd = 3; fd < 1024; ++fd)
        ::close(fd);
      std::vector<char*> argv;
      std::string program = QM_CLI_PATH;
      argv.push_back(program.data());
      std::vector<std::string> copies(args);
      for (std::string& arg : copies)
        argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    return pid;
  }

  Result finish(pid_t pid) {
    Result result;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(dir / ".stdout");
    result.err = readFile(dir / ".stderr");
    return result;
  }

  Result run(const std::vector<std::string>& args) { return finish(start(args)); }

  // The names in the folder, apart from the captured streams.
  std::vector<std::string> names() {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (name != ".stdout" && name != ".stderr") found.push_back(name);
    }
    std::sort(found.begin(), found.end());
    return found;
  }

  fs::path dir;
};

using Names = std::vector<std::string>;

TEST_F(CliTest, SplitsAtTheDefaultSizeIntoTheKnownParts) {
  const std::string source = pattern(2000000);
  writeFile(dir / "movie.avi", source);
  const Result r = run({"split", "movie.avi"});  // a relative name, read in the current folder
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no progress line off a terminal
  EXPECT_EQ(names(), (Names{"movie.001", "movie.002", "movie.003", "movie.avi", "movie.qkd"}));
  EXPECT_EQ(fs::file_size(dir / "movie.001"), 737280u);
  EXPECT_EQ(fs::file_size(dir / "movie.002"), 737280u);
  EXPECT_EQ(fs::file_size(dir / "movie.003"), 525440u);
  EXPECT_EQ(readFile(dir / "movie.001") + readFile(dir / "movie.002") + readFile(dir / "movie.003"),
            source);
  EXPECT_EQ(readFile(dir / "movie.qkd"), "movie.avi\r\n3\r\n");
  EXPECT_EQ(readFile(dir / "movie.avi"), source);
}

TEST_F(CliTest, SplitsWithTheChosenSizeDestinationAndBatchFile) {
  writeFile(dir / "movie.avi", pattern(2000000));
  fs::create_directory(dir / "disks");
  const Result r = run({"split", (dir / "movie.avi").string(), "--size", "1m", "--dest",
                        "disks/film.qkd", "--batch", "--delete-source"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(names(), (Names{"disks"}));  // the source went
  std::vector<std::string> written;
  for (const auto& entry : fs::directory_iterator(dir / "disks")) {
    written.push_back(entry.path().filename().string());
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (Names{"film.001", "film.002", "film.bat", "film.qkd"}));
  EXPECT_EQ(fs::file_size(dir / "disks/film.001"), 1048576u);
  EXPECT_EQ(readFile(dir / "disks/film.qkd"), "movie.avi\r\n2\r\n");

  // Three parts make a batch file of 62 lines.
  writeFile(dir / "movie.avi", pattern(2000000));
  ASSERT_EQ(run({"split", "movie.avi", "--batch"}).status, 0);
  const std::string batch = readFile(dir / "movie.bat");
  std::size_t lines = 0;
  for (std::size_t at = batch.find("\r\n"); at != std::string::npos;
       at = batch.find("\r\n", at + 2)) {
    ++lines;
  }
  EXPECT_EQ(lines, 62u);
  EXPECT_TRUE(batch.ends_with("\r\n"));
}

TEST_F(CliTest, CountsPartsAsTheWindowShowsThem) {
  auto sized = [&](const char* name, std::uintmax_t length) {
    writeFile(dir / name, "");
    fs::resize_file(dir / name, length);  // sparse: no need to write the bytes
    return std::string(name);
  };
  struct Case {
    std::string source;
    const char* size;
    const char* shown;
  };
  const Case cases[] = {
      {"absent.bin", "720k", "0"},
      {sized("empty.bin", 0), "5m", "1"},
      {sized("ten.bin", 7372800), "720k", "10"},
      {sized("ten1.bin", 7372801), "720k", "11"},
      {sized("k14.bin", 1457664), "1.4m", "1"},
      {sized("k14b.bin", 1457665), "1.4m", "2"},
      {sized("c3.bin", 6144), "2.5kb", "3"},  // 2.5 rounds to 2: parts of 2,048 bytes
      {sized("c4.bin", 6145), "2.5kb", "4"},
      {sized("c5.bin", 6144), "3.5kb", "2"},  // 3.5 rounds to 4
      {sized("n999.bin", 999000), "1000b", "999"},
      {sized("n1000.bin", 999001), "1000b", "1000+"},
      {"n1000.bin", "0.4mb", "0"},
      {"n1000.bin", "0kb", "0"},
      {"n1000.bin", "1mb", "1"},
      {"n1000.bin", "2.5m", "1"},
  };
  for (const Case& c : cases) {
    const Result r = run({"count", c.source, "--size", c.size});
    EXPECT_EQ(r.status, 0) << c.source << " " << c.size << ": " << r.err;
    EXPECT_EQ(r.out, std::string(c.shown) + "\n") << c.source << " " << c.size;
  }
  // Without --size, the window's default of 720 kb.
  EXPECT_EQ(run({"count", "ten1.bin"}).out, "11\n");
  // A data file shows the count it holds.
  writeFile(dir / "set.qkd", "movie.avi\r\n42\r\n");
  EXPECT_EQ(run({"count", "set.qkd"}).out, "42\n");
}

TEST_F(CliTest, JoinsWhatItSplitByteForByte) {
  const std::string source = pattern(2000000);
  writeFile(dir / "movie.avi", source);
  ASSERT_EQ(run({"split", "movie.avi", "--batch", "--delete-source"}).status, 0);
  ASSERT_FALSE(fs::exists(dir / "movie.avi"));

  // Back where the data file says, beside it; the set stays.
  Result r = run({"join", "movie.qkd"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir / "movie.avi"), source);
  EXPECT_EQ(names(),
            (Names{"movie.001", "movie.002", "movie.003", "movie.avi", "movie.bat", "movie.qkd"}));

  // Somewhere else, and then the set removed.
  fs::create_directory(dir / "out");
  r = run({"join", (dir / "movie.qkd").string(), "--dest", "out/copy.avi", "--delete-parts"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir / "out/copy.avi"), source);
  EXPECT_EQ(names(), (Names{"movie.avi", "out"}));

  // Parts of a size that is no multiple of anything in sight, replacing the existing file.
  writeFile(dir / "odd.bin", pattern(130001));
  ASSERT_EQ(run({"split", "odd.bin", "--size", "64999b"}).status, 0);
  writeFile(dir / "odd.bin", "stale");
  r = run({"join", "odd.qkd", "--overwrite", "--delete-parts"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir / "odd.bin"), pattern(130001));
  EXPECT_EQ(names(), (Names{"movie.avi", "odd.bin", "out"}));
}

TEST_F(CliTest, SplitRefusalsEndWithTheirMessage) {
  writeFile(dir / "small.txt", pattern(1000));
  writeFile(dir / "big.bin", "");
  fs::resize_file(dir / "big.bin", 1000001);
  struct Case {
    std::vector<std::string> args;
    int message;
  };
  const Case cases[] = {
      {{"split", "small.txt"}, 1},                           // one part only
      {{"split", "absent.txt"}, 2},                          // no such source
      {{"split", "big.bin", "--size", "1000b"}, 5},          // 1,001 parts
      {{"split", "big.bin", "--size", "0kb"}, 6},            // no usable custom size
      {{"split", "big.bin", "--size", "3000mb"}, 6},         // more than 32 bits can count
      {{"split", "big.bin", "--dest", "nowhere/b.qkd"}, 9},  // a folder that is not there
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.status, c.message) << c.args[1] << " " << r.err;
    if (c.message == 9) {
      EXPECT_TRUE(r.err.starts_with("Error #009 : ")) << r.err;
      EXPECT_NE(r.err.find("nowhere/b.001"), std::string::npos) << r.err;
    } else {
      EXPECT_EQ(r.err, messageLine(c.message));
    }
    EXPECT_EQ(names(), (Names{"big.bin", "small.txt"})) << c.args[1];
  }
}

TEST_F(CliTest, JoinRefusalsEndWithTheirMessage) {
  const std::string source = pattern(2000000);
  writeFile(dir / "movie.avi", source);
  ASSERT_EQ(run({"split", "movie.avi"}).status, 0);

  // The destination exists: answered No by the option, and by default when nobody can be asked.
  writeFile(dir / "movie.avi", "mine");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"join", "movie.qkd", "--no-overwrite"},
        std::vector<std::string>{"join", "movie.qkd"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, messageLine(4));
    EXPECT_EQ(readFile(dir / "movie.avi"), "mine");
  }

  // A part missing.
  fs::remove(dir / "movie.avi");
  fs::rename(dir / "movie.002", dir / "aside");
  Result r = run({"join", "movie.qkd", "--delete-parts"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, messageLine(3));
  EXPECT_EQ(names(), (Names{"aside", "movie.001", "movie.003", "movie.qkd"}));

  // No such data file.
  r = run({"join", "gone.qkd"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, messageLine(2));

  // A data file that would write outside its folder.
  writeFile(dir / "evil.qkd", "../escape\r\n3\r\n");
  r = run({"join", "evil.qkd"});
  EXPECT_EQ(r.status, 9);
  EXPECT_TRUE(r.err.starts_with("Error #009 : ")) << r.err;
  EXPECT_NE(r.err.find("evil.qkd"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.parent_path() / "escape"));
}

TEST_F(CliTest, TheNameDecidesSplitOrJoinAsInTheWindow) {
  // A name ending in "qkd" is a data file, whatever the command says; neither runs the other.
  writeFile(dir / "notes.qkd", "notes.txt\r\n2\r\n");
  Result r = run({"split", "notes.qkd", "--size", "1b"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.err.starts_with(messageLine(2))) << r.err;
  EXPECT_NE(r.err.find("join"), std::string::npos);

  writeFile(dir / "movie.avi", pattern(2000000));
  r = run({"join", "movie.avi"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.err.starts_with(messageLine(2))) << r.err;
  EXPECT_EQ(names(), (Names{"movie.avi", "notes.qkd"}));
}

TEST_F(CliTest, InfoListsTheSet) {
  writeFile(dir / "movie.avi", pattern(2000000));
  ASSERT_EQ(run({"split", "movie.avi"}).status, 0);
  fs::remove(dir / "movie.002");
  Result r = run({"info", "movie.qkd"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "File: movie.avi\n"
            "Parts: 3\n"
            "  movie.001  present  737280 bytes\n"
            "  movie.002  missing\n"
            "  movie.003  present  525440 bytes\n");

  writeFile(dir / "bad.qkd", "movie.avi\r\n0\r\n");
  r = run({"info", "bad.qkd"});
  EXPECT_EQ(r.status, 9);
  EXPECT_TRUE(r.err.starts_with("Error #009 : ")) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, UsageErrorsHelpAndVersion) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{},
        {"split"},
        {"split", "a", "--size", "3x"},
        {"frobnicate"},
        {"join", "a.qkd", "--batch"},
        {"join", "a.qkd", "--overwrite", "--no-overwrite"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.status, 64);
    EXPECT_TRUE(r.err.starts_with("quellmark-cli: ")) << r.err;
    EXPECT_NE(r.err.find("usage: quellmark-cli split SOURCE"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  Result r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--delete-parts"), std::string::npos);
  r = run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "quellmark-cli 1.0\n");
}

// Ctrl-C while a part is being written. Part 2 is a pipe that this test reads, so the program
// cannot get past the first 64 KiB of it before the interrupt has arrived: nothing depends on
// how fast anything runs.
TEST_F(CliTest, CtrlCCancelsAndRemovesThePartsBegun) {
  const std::string source = pattern(3 * 1048576);
  writeFile(dir / "big.bin", source);
  ASSERT_EQ(::mkfifo((dir / "big.002").c_str(), 0600), 0);
  // Opened before the program, so that its open of part 2 does not wait for a reader.
  const int pipe = ::open((dir / "big.002").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(pipe, 0);
  const pid_t pid = start({"split", "big.bin", "--size", "1m"});

  // Wait for the first bytes of part 2 (part 1 is then complete), checking that the program is
  // still there to send them.
  bool started = false;
  int status = 0;
  for (;;) {
    pollfd wait{pipe, POLLIN, 0};
    if (::poll(&wait, 1, 100) > 0 && (wait.revents & POLLIN) != 0) {
      started = true;
      break;
    }
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
  }
  ASSERT_TRUE(started) << "the split ended before it wrote part 2";
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  // Take what it writes until it lets go of the pipe.
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(pipe, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      ASSERT_EQ(errno, EAGAIN);
      pollfd wait{pipe, POLLIN, 0};
      ::poll(&wait, 1, 100);
    }
  }
  ::close(pipe);

  const Result r = finish(pid);
  EXPECT_EQ(r.status, 7);
  EXPECT_EQ(r.err, messageLine(7));
  EXPECT_FALSE(fs::exists(dir / "big.001"));
  EXPECT_FALSE(fs::exists(dir / "big.003"));
  EXPECT_FALSE(fs::exists(dir / "big.qkd"));
  // Part 2 was never a file of the program's; if it is still there, it is still only the pipe.
  EXPECT_TRUE(!fs::exists(dir / "big.002") || fs::is_fifo(dir / "big.002"));
  EXPECT_EQ(readFile(dir / "big.bin"), source);
}

// A terminal for the program's standard input and error, driven from the test.
class Terminal {
 public:
  Terminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    }
  }
  ~Terminal() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }
  bool ready() const { return slave_ >= 0; }
  int slave() const { return slave_; }
  void type(const std::string& text) {
    ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Once the program runs, only it holds the terminal; everything it writes, until it exits.
  std::string readAll() {
    ::close(slave_);
    slave_ = -1;
    std::string seen;
    char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got > 0) {
        seen.append(buffer, static_cast<std::size_t>(got));
      } else if (got < 0 && errno == EINTR) {
        continue;
      } else {
        return seen;  // EIO: the last holder of the terminal has gone
      }
    }
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

TEST_F(CliTest, ShowsProgressOnlyOnATerminalAndClearsIt) {
  writeFile(dir / "movie.avi", pattern(2000000));
  Terminal terminal;
  ASSERT_TRUE(terminal.ready());
  const pid_t pid = start({"split", "movie.avi"}, {terminal.slave(), terminal.slave()});
  const std::string seen = terminal.readAll();
  EXPECT_EQ(finish(pid).status, 0);
  EXPECT_TRUE(seen.starts_with("\rSplitting")) << seen;
  EXPECT_NE(seen.find(" of 3: "), std::string::npos) << seen;
  EXPECT_TRUE(seen.ends_with("\r\033[K")) << seen;
}

TEST_F(CliTest, AsksBeforeOverwritingWhenSomeoneIsThere) {
  const std::string source = pattern(200000);
  writeFile(dir / "data.bin", source);
  ASSERT_EQ(run({"split", "data.bin", "--size", "100kb"}).status, 0);
  for (const char* answer : {"n\n", "y\n"}) {
    writeFile(dir / "data.bin", "mine");
    Terminal terminal;
    ASSERT_TRUE(terminal.ready());
    terminal.type(answer);
    const pid_t pid = start({"join", "data.qkd"}, {terminal.slave(), terminal.slave()});
    const std::string seen = terminal.readAll();
    const Result r = finish(pid);
    EXPECT_NE(seen.find(frmError::MessageText(4, "") + " [y/n] "), std::string::npos) << seen;
    if (answer[0] == 'n') {
      EXPECT_EQ(r.status, 4);
      EXPECT_EQ(readFile(dir / "data.bin"), "mine");
    } else {
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(readFile(dir / "data.bin"), source);
    }
  }
}

}  // namespace
}  // namespace qm
