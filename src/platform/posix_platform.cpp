#include "platform/posix_platform.h"

#include "platform/command_line.h"
#include "platform/console_word.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char **environ;

namespace veldran {

namespace {

constexpr std::size_t kFileBufferSize = 64 * 1024;
constexpr std::size_t kDirectWrite = 16 * 1024;
constexpr std::size_t kConsoleBufferSize = 64 * 1024;
constexpr std::size_t kStdinBufferSize = 4 * 1024;

struct FileId {
  dev_t device;
  ino_t inode;
  auto operator<=>(const FileId &) const = default;
};

FileId fileId(const struct stat &st) { return {st.st_dev, st.st_ino}; }

// A name with a NUL byte would reach the system cut short and designate
// another file.
bool hasNul(const std::string &name) {
  return name.find('\0') != std::string::npos;
}

int openRetrying(const std::string &name, int flags, mode_t mode = 0) {
  int fd;
  do
    fd = ::open(name.c_str(), flags, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

long readRetrying(int fd, void *dest, std::size_t count) {
  ssize_t n;
  do
    n = ::read(fd, dest, count);
  while (n < 0 && errno == EINTR);
  return n;
}

// Writes all bytes, continuing after partial writes and interruptions.
bool writeAll(int fd, const void *bytes, std::size_t count, int &error) {
  const auto *p = static_cast<const std::uint8_t *>(bytes);
  while (count > 0) {
    ssize_t n = ::write(fd, p, count);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      error = errno;
      return false;
    }
    if (n == 0) {
      error = EIO;
      return false;
    }
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

// Standard input, output and error stay open, on /dev/null where the
// caller closed them: a file opened later would otherwise take one of their
// numbers, and console words would be read from an input file or messages
// written into the output file.
void keepStandardDescriptorsOpen() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    int null = openRetrying("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null > fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

void eraseOne(std::multiset<FileId> &ids, const FileId &id) {
  auto it = ids.find(id);
  if (it != ids.end())
    ids.erase(it);
}

} // namespace

// The identities of the files open through the platform, for the rule that
// the output file and an input file are never the same file.
struct PosixPlatform::OpenFiles {
  std::multiset<FileId> inputs;
  std::multiset<FileId> outputs;
};

class PosixPlatform::Input : public InputFile {
public:
  Input(int fd, FileId id, std::shared_ptr<OpenFiles> openFiles)
      : fd_(fd), id_(id), openFiles_(std::move(openFiles)) {}
  ~Input() override {
    ::close(fd_);
    eraseOne(openFiles_->inputs, id_);
  }
  Input(const Input &) = delete;
  Input &operator=(const Input &) = delete;

  // One read of the file: the caller reads in large blocks of its own.
  long read(std::uint8_t *dest, std::size_t count, int &error) override {
    long n = readRetrying(fd_, dest, count);
    if (n < 0)
      error = errno;
    return n;
  }

private:
  int fd_;
  FileId id_;
  std::shared_ptr<OpenFiles> openFiles_;
};

class PosixPlatform::Output : public OutputFile {
public:
  Output(int fd, FileId id, std::shared_ptr<OpenFiles> openFiles)
      : fd_(fd), id_(id), openFiles_(std::move(openFiles)) {
    buffer_.reserve(kFileBufferSize);
  }
  ~Output() override {
    int error = 0;
    flush(error);
    ::close(fd_);
    eraseOne(openFiles_->outputs, id_);
  }
  Output(const Output &) = delete;
  Output &operator=(const Output &) = delete;

  bool write(const std::uint8_t *bytes, std::size_t count,
             int &error) override {
    // Large pieces (runs of plain lines) go out directly: copying them into
    // the buffer first would gain nothing.
    if (count >= kDirectWrite || count > kFileBufferSize - buffer_.size()) {
      if (!flush(error))
        return false;
      if (count >= kDirectWrite)
        return writeAll(fd_, bytes, count, error);
    }
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    return true;
  }

  // After a failure the buffered bytes are dropped: the error has been
  // reported, and retrying them at every later call would only repeat it.
  bool flush(int &error) override {
    bool ok = writeAll(fd_, buffer_.data(), buffer_.size(), error);
    buffer_.clear();
    return ok;
  }

private:
  int fd_;
  FileId id_;
  std::shared_ptr<OpenFiles> openFiles_;
  std::vector<std::uint8_t> buffer_;
};

// Standard input as the byte source of scanConsoleWord. The end of the
// input (or a read error) is final, as it is for a stdio stream.
class PosixPlatform::StandardInput {
public:
  explicit StandardInput(PosixPlatform &platform) : p_(platform) {}

  int peek() {
    if (p_.stdinPosition_ == p_.stdinEnd_) {
      if (p_.stdinEnded_)
        return -1;
      // Whatever was written as a prompt must be visible before waiting.
      p_.flushConsole();
      long n = readRetrying(0, p_.stdin_.data(), p_.stdin_.size());
      if (n <= 0) {
        p_.stdinEnded_ = true;
        return -1;
      }
      p_.stdinPosition_ = 0;
      p_.stdinEnd_ = static_cast<std::size_t>(n);
    }
    return p_.stdin_[p_.stdinPosition_];
  }
  void take() { ++p_.stdinPosition_; }

private:
  PosixPlatform &p_;
};

PosixPlatform::PosixPlatform()
    : openFiles_(std::make_shared<OpenFiles>()), stdin_(kStdinBufferSize) {
  keepStandardDescriptorsOpen();
  // A reader that goes away (veldran ... | head) makes writes fail instead
  // of ending the process: the console's failures are ignored and the
  // output file's reported, and the output written so far is kept.
  previousPipeAction_ = std::signal(SIGPIPE, SIG_IGN);
  consoleIsTerminal_ = ::isatty(1) == 1;
  console_.reserve(kConsoleBufferSize);
  ::tzset();
}

PosixPlatform::~PosixPlatform() {
  flushConsole();
  std::signal(SIGPIPE, previousPipeAction_);
}

std::unique_ptr<InputFile> PosixPlatform::openInput(const std::string &name,
                                                    int &error) {
  if (hasNul(name)) {
    error = ENOENT;
    return nullptr;
  }
  int fd = openRetrying(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (S_ISDIR(st.st_mode))
    error = EISDIR;
  else if (openFiles_->outputs.count(fileId(st)) != 0)
    error = EBUSY;
  else {
    openFiles_->inputs.insert(fileId(st));
    return std::make_unique<Input>(fd, fileId(st), openFiles_);
  }
  ::close(fd);
  return nullptr;
}

std::unique_ptr<OutputFile> PosixPlatform::createOutput(const std::string &name,
                                                        int &error) {
  if (hasNul(name)) {
    error = ENOENT;
    return nullptr;
  }
  // Checked before opening, since opening truncates.
  struct stat st;
  if (::stat(name.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      error = EISDIR;
      return nullptr;
    }
    if (openFiles_->inputs.count(fileId(st)) != 0) {
      error = EBUSY;
      return nullptr;
    }
  }
  int fd = openRetrying(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  if (::fstat(fd, &st) != 0) {
    error = errno;
    ::close(fd);
    return nullptr;
  }
  openFiles_->outputs.insert(fileId(st));
  return std::make_unique<Output>(fd, fileId(st), openFiles_);
}

bool PosixPlatform::counterFrequency(std::int64_t &ticksPerSecond, int &) {
  ticksPerSecond = 1000000000;
  return true;
}

bool PosixPlatform::counter(std::int64_t &ticks, int &error) {
  struct timespec ts;
  if (::clock_gettime(CLOCK_MONOTONIC, &ts) != 0) {
    error = errno;
    return false;
  }
  ticks = static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
  return true;
}

LocalDate PosixPlatform::today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || !::localtime_r(&now, &local))
    return LocalDate{};
  return LocalDate{local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

void PosixPlatform::writeConsole(const char *bytes, std::size_t count) {
  if (count > kConsoleBufferSize - console_.size()) {
    flushConsole();
    if (count >= kConsoleBufferSize) {
      int error = 0;
      writeAll(1, bytes, count, error);
      return;
    }
  }
  console_.append(bytes, count);
  if (consoleIsTerminal_)
    flushConsole();
}

// Console write errors are ignored: there is no place left to report them.
void PosixPlatform::flushConsole() {
  int error = 0;
  writeAll(1, console_.data(), console_.size(), error);
  console_.clear();
}

bool PosixPlatform::readConsoleWord(std::string &word) {
  StandardInput input(*this);
  return scanConsoleWord(input, word);
}

ProgramResult PosixPlatform::runProgram(const std::string &commandLine) {
  ProgramResult result;
  std::vector<std::string> arguments = splitCommandLine(commandLine);
  if (arguments.empty()) {
    result.error = ENOENT;
    return result;
  }
  std::vector<char *> argv;
  for (std::string &argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  // The program writes to the same standard output after our messages.
  flushConsole();
  // The program starts with the default action for SIGPIPE, which this
  // process ignores.
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  ::posix_spawnattr_setsigdefault(&attributes, &pipe);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid;
  int rc =
      ::posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
  ::posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    result.error = static_cast<std::uint32_t>(rc);
    return result;
  }

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      // The outcome cannot be learned (SIGCHLD ignored by whoever started
      // us): report it as a program that could not be run.
      result.error = static_cast<std::uint32_t>(errno);
      return result;
    }
  }
  result.started = true;
  if (WIFSIGNALED(status))
    result.exitCode = 128 + static_cast<std::uint32_t>(WTERMSIG(status));
  else
    result.exitCode = static_cast<std::uint32_t>(WEXITSTATUS(status));
  return result;
}

} // namespace veldran
