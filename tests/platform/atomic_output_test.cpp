// The real binary leaves an output that is whole or untouched: runs killed
// by a signal, concurrent runs, failed writes, links, outputs written in
// place, permission bits; and the exit codes of programs when the caller
// ignores SIGCHLD.
#include "binary_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace veldran::testing {
namespace {

const std::string kBinary = std::string("'") + VELDRAN_BINARY + "'";

int shell(const fs::path &dir, const std::string &command) {
  return shellIn(dir, command);
}

std::vector<std::string> temporaryFiles(const fs::path &dir) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().find(".veldran-") != std::string::npos)
      names.push_back(entry.path().filename().string());
  return names;
}

struct stat statOf(const fs::path &p) {
  struct stat st {};
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st;
}

std::string repeat(const std::string &text, std::size_t times) {
  std::string s;
  for (std::size_t i = 0; i < times; ++i)
    s += text;
  return s;
}

// The binary started in `dir` without waiting for it: its standard input a
// pipe that stays open until closeInput(), its console into dir/console,
// the termination signals at their default actions.
class StartedBinary {
public:
  StartedBinary(const fs::path &dir, const std::vector<std::string> &args,
                bool ignoreChildSignal) {
    std::vector<std::string> words{VELDRAN_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &word : words)
      argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string console = (dir / "console").string();
    int input[2];
    EXPECT_EQ(::pipe2(input, O_CLOEXEC), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      int out = ::open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (::chdir(dir.c_str()) != 0 || ::dup2(input[0], 0) < 0 ||
          ::dup2(out, 1) < 0)
        ::_exit(127);
      for (int number : {SIGINT, SIGTERM, SIGHUP})
        ::signal(number, SIG_DFL);
      ::signal(SIGCHLD, ignoreChildSignal ? SIG_IGN : SIG_DFL);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(input[0]);
    input_ = input[1];
  }
  ~StartedBinary() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      wait();
    }
    closeInput();
  }
  StartedBinary(const StartedBinary &) = delete;
  StartedBinary &operator=(const StartedBinary &) = delete;

  pid_t pid() const { return pid_; }
  void closeInput() {
    if (input_ >= 0)
      ::close(input_);
    input_ = -1;
  }
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

private:
  pid_t pid_ = -1;
  int input_ = -1;
};

bool awaitTemporaryFile(const fs::path &dir) {
  for (int tries = 0; tries < 1000; ++tries) {
    if (!temporaryFiles(dir).empty())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(AtomicOutput, ARunEndedByASignalLeavesTheOldOutputAndNoTemporaryFile) {
  for (int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(number));
    TempDir dir("signal");
    writeFile(dir.path() / "IN", "written\r\n%ACC: X A10;\r\nnever\r\n");
    writeFile(dir.path() / "OUT", "old output\r\n");
    const struct timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir.path() / "OUT").c_str(), long_ago, 0),
              0);
    StartedBinary run(dir.path(), {"IN", "OUT"}, false);
    // The run waits for console input once its temporary file exists.
    ASSERT_TRUE(awaitTemporaryFile(dir.path()));
    ::kill(run.pid(), number);
    // Were the signal lost, the end of the input would end the run.
    run.closeInput();
    int status = run.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << status;
    EXPECT_EQ(readFile(dir.path() / "OUT"), "old output\r\n");
    EXPECT_EQ(statOf(dir.path() / "OUT").st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
  }
}

TEST(AtomicOutput, ConcurrentRunsEachLeaveAWholeOutput) {
  TempDir dir("concurrent");
  const std::string a = repeat(std::string(62, 'a') + "\r\n", 65536);
  const std::string b = repeat(std::string(30, 'b') + "\r\n", 131072);
  writeFile(dir.path() / "A", a);
  writeFile(dir.path() / "B", b);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(shell(dir.path(), kBinary + " A OUT & a=$!; " + kBinary +
                                    " B OUT & b=$!; wait $a && wait $b"),
              0);
    const std::string out = readFile(dir.path() / "OUT");
    EXPECT_TRUE(out == a || out == b) << "round " << round;
  }
  EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(AtomicOutput, AFailedWriteLeavesTheOldOutput) {
  // Files larger than 4 KB cannot be written, and SIGXFSZ is ignored. Lines
  // with a command fill the output buffer one by one; the failure of its
  // write is told when it happens, and the run goes on.
  TempDir dir("write-fails");
  writeFile(dir.path() / "IN", repeat("%%\r\n", 40000) + "%DISP:end\r\n");
  writeFile(dir.path() / "OUT", "old output\r\n");
  EXPECT_EQ(shell(dir.path(), "ulimit -f 8 && trap '' XFSZ && " + kBinary +
                                  " IN OUT >console"),
            1);
  EXPECT_EQ(readFile(dir.path() / "console"),
            "VELDRAN-l00870-W WriteFile() Error 27.\nend\n");
  EXPECT_TRUE(readFile(dir.path() / "OUT") == "old output\r\n");
  EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(AtomicOutput, ALinkedOutputReplacesTheTargetAndStaysALink) {
  for (bool targetExists : {true, false}) {
    SCOPED_TRACE(targetExists ? "existing target" : "dangling link");
    TempDir dir("link");
    writeFile(dir.path() / "IN", "new\r\n");
    fs::create_directory(dir.path() / "sub");
    if (targetExists)
      writeFile(dir.path() / "sub" / "target", "old\r\n");
    fs::create_symlink("sub/target", dir.path() / "link");
    EXPECT_EQ(runBinary(dir.path(), {"IN", "link"}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link"));
    EXPECT_EQ(readFile(dir.path() / "sub" / "target"), "new\r\n");
    EXPECT_EQ(temporaryFiles(dir.path() / "sub"), std::vector<std::string>{});
  }
}

TEST(AtomicOutput, OutputsUnderDevAndProcAreWrittenInPlace) {
  // The shell appends through the same open file after the run: into a
  // replaced console file's old content, "after" would be lost.
  for (const char *name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
    SCOPED_TRACE(name);
    TempDir dir("in-place");
    writeFile(dir.path() / "IN", "x\r\n");
    EXPECT_EQ(shell(dir.path(), "{ " + kBinary + " IN " + name +
                                    "; echo after; } >>console"),
              0);
    EXPECT_EQ(readFile(dir.path() / "console"), "x\r\nafter\n");
    EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
  }
}

// Where the directory refuses new files: write permission taken away, or
// for root, to whom permission bits are no obstacle, the immutable
// attribute.
class RefusingDirectory {
public:
  explicit RefusingDirectory(const fs::path &dir) : dir_(dir) {
    refusing_ = ::geteuid() != 0 ? ::chmod(dir.c_str(), 0555) == 0
                                 : shell(dir, "chattr +i . 2>/dev/null") == 0;
  }
  ~RefusingDirectory() {
    if (::geteuid() != 0)
      ::chmod(dir_.c_str(), 0755);
    else if (refusing_)
      shell(dir_, "chattr -i .");
  }
  RefusingDirectory(const RefusingDirectory &) = delete;
  RefusingDirectory &operator=(const RefusingDirectory &) = delete;
  bool refusing() const { return refusing_; }

private:
  fs::path dir_;
  bool refusing_;
};

TEST(AtomicOutput,
     AWritableFileInADirectoryThatRefusesNewFilesIsWrittenInPlace) {
  TempDir dir("refusing");
  writeFile(dir.path() / "IN", "new\r\n");
  writeFile(dir.path() / "locked" / "OUT", "old output\r\n");
  const ino_t inode = statOf(dir.path() / "locked" / "OUT").st_ino;
  BinaryRun run;
  {
    RefusingDirectory locked(dir.path() / "locked");
    if (!locked.refusing())
      GTEST_SKIP() << "no way to make a directory refuse new files here";
    run = runBinary(dir.path(), {"IN", "locked/OUT"});
  }
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(readFile(dir.path() / "locked" / "OUT"), "new\r\n");
  EXPECT_EQ(statOf(dir.path() / "locked" / "OUT").st_ino, inode);
}

TEST(AtomicOutput, TheOutputKeepsThePermissionBitsOfTheFileItReplaces) {
  const struct {
    mode_t existing; // 0: no file before the run
    const char *umask;
    mode_t expected;
  } rows[] = {
      {0640, "022", 0640}, {0755, "077", 0755}, {0604, "000", 0604},
      {0, "027", 0640},    {0, "022", 0644},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(std::to_string(row.existing) + " umask " + row.umask);
    TempDir dir("mode");
    writeFile(dir.path() / "IN", "new\r\n");
    if (row.existing != 0) {
      writeFile(dir.path() / "OUT", "old\r\n");
      ::chmod((dir.path() / "OUT").c_str(), row.existing);
    }
    EXPECT_EQ(shell(dir.path(), std::string("umask ") + row.umask + " && " +
                                    kBinary + " IN OUT"),
              0);
    EXPECT_EQ(statOf(dir.path() / "OUT").st_mode & 07777, row.expected);
    EXPECT_EQ(readFile(dir.path() / "OUT"), "new\r\n");
  }
}

TEST(Signals, ProgramsReportTheirExitCodeWhenTheCallerIgnoresSigchld) {
  TempDir dir("sigchld");
  writeFile(dir.path() / "IN",
            "%CALL:sh -c \"exit 3\"\r\n%INT:$RC_LAST;/%INT:$RC_OS;\r\n");
  StartedBinary run(dir.path(), {"IN", "OUT"}, true);
  run.closeInput();
  int status = run.wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readFile(dir.path() / "OUT"), "3/0\r\n");
  EXPECT_EQ(readFile(dir.path() / "console"), "");
}

} // namespace
} // namespace veldran::testing
