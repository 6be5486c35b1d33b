#include "platform/posix_platform.h"

#include "platform/code_page.h"
#include "platform/command_line.h"
#include "platform/console_word.h"
#include "platform/text_mode.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/magic.h>
#include <map>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char **environ;

namespace veldran {

namespace {

constexpr std::size_t kFileBufferSize = 256 * 1024;
constexpr std::size_t kDirectWrite = 16 * 1024;
constexpr std::size_t kConsoleBufferSize = 64 * 1024;
constexpr std::size_t kStdinBufferSize = 4 * 1024;
// Descriptors of included files kept open for their next INCLUDE.
constexpr std::size_t kMaxKeptInputs = 4;
// How old a file's last change of status must be for its descriptor to be
// kept: more than the timestamps' granularity and the lag of the clock
// they are taken from, so that any later change gives another ctime.
constexpr std::int64_t kSettledNanoseconds = 2'000'000'000;
// As many links as the system follows in one path.
constexpr int kMaxLinks = 40;
// The part of the output's name its temporary file keeps: names near the
// limit of 255 bytes leave room for the prefix and suffix.
constexpr std::size_t kNameKept = 200;

struct FileId {
  dev_t device;
  ino_t inode;
  auto operator<=>(const FileId &) const = default;
};

FileId fileId(const struct stat &st) { return {st.st_dev, st.st_ino}; }

// Only a regular file's size tells where its reads end.
off_t regularSize(const struct stat &st) {
  return S_ISREG(st.st_mode) ? st.st_size : -1;
}

// The same file, whose status (permission bits, owner, links, the
// attributes that decide who may open it) did not change in between:
// every such change, and every write, sets its ctime.
bool sameUnchangedFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
         a.st_mode == b.st_mode && a.st_uid == b.st_uid &&
         a.st_gid == b.st_gid && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
         a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

std::int64_t nanoseconds(const struct timespec &t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool statusSettled(const struct stat &st) {
  struct timespec now;
  return ::clock_gettime(CLOCK_REALTIME, &now) == 0 &&
         nanoseconds(now) - nanoseconds(st.st_ctim) >= kSettledNanoseconds;
}

// File systems on which a descriptor kept open reads what a new open
// would: local ones. A network file system revalidates its cache only at
// open, and an overlay gives an opened file that is later copied up the
// same inode number.
bool keepsDescriptors(int fd) {
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0)
    return false;
  switch (fs.f_type) {
  case EXT4_SUPER_MAGIC: // also ext2 and ext3
  case XFS_SUPER_MAGIC:
  case BTRFS_SUPER_MAGIC:
  case TMPFS_MAGIC:
  case F2FS_SUPER_MAGIC:
    return true;
  default:
    return false;
  }
}

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

long preadRetrying(int fd, void *dest, std::size_t count, off_t offset) {
  ssize_t n;
  do
    n = ::pread(fd, dest, count, offset);
  while (n < 0 && errno == EINTR);
  return n;
}

// Writes all bytes of the pieces in order, continuing after partial writes
// and interruptions.
bool writeAllPieces(int fd, iovec *pieces, int count, int &error) {
  for (;;) {
    while (count > 0 && pieces->iov_len == 0) {
      ++pieces;
      --count;
    }
    if (count == 0)
      return true;
    ssize_t n = ::writev(fd, pieces, count);
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
    // What was written comes off the front of the pieces.
    for (auto written = static_cast<std::size_t>(n); written > 0;) {
      std::size_t part = std::min(written, pieces->iov_len);
      pieces->iov_base = static_cast<std::uint8_t *>(pieces->iov_base) + part;
      pieces->iov_len -= part;
      written -= part;
      if (pieces->iov_len == 0) {
        ++pieces;
        --count;
      }
    }
  }
}

bool writeAll(int fd, const void *bytes, std::size_t count, int &error) {
  iovec piece{const_cast<void *>(bytes), count};
  return writeAllPieces(fd, &piece, 1, error);
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

std::string directoryOf(const std::string &path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string lastComponentOf(const std::string &path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string &directory, const std::string &name) {
  return directory == "/" ? "/" + name : directory + "/" + name;
}

bool realDirectory(const std::string &directory, std::string &real) {
  char resolved[PATH_MAX];
  if (!::realpath(directory.c_str(), resolved))
    return false;
  real = resolved;
  return true;
}

// Entries there are devices and views of processes: /dev/stdout leads
// through /proc/self/fd to whatever the caller opened, possibly a regular
// file opened for appending, which must be written, not replaced.
bool isSystemDirectory(std::string_view real) {
  for (std::string_view top : {"/dev", "/proc"})
    if (real.starts_with(top) &&
        (real.size() == top.size() || real[top.size()] == '/'))
      return true;
  return false;
}

bool readLink(const std::string &path, std::string &target) {
  char bytes[PATH_MAX];
  ssize_t n = ::readlink(path.c_str(), bytes, sizeof bytes);
  if (n < 0 || static_cast<std::size_t>(n) == sizeof bytes)
    return false;
  target.assign(bytes, static_cast<std::size_t>(n));
  return true;
}

// The file an output name finally designates once symbolic links are
// followed; it need not exist yet.
struct ReplacedFile {
  std::string directory; // absolute, without links
  std::string name;
  std::string path() const { return joinPath(directory, name); }
};

// Follows the links from `name`. False when the output is written in
// place instead: a name in a system directory (also one a link leads
// through), a name ending in a slash, or one whose directory cannot be
// resolved, for which opening reports the reason.
bool resolveReplacedFile(const std::string &name, ReplacedFile &file) {
  std::string path = name;
  for (int link = 0; link <= kMaxLinks; ++link) {
    std::string directory = directoryOf(path);
    if (!realDirectory(directory, file.directory) ||
        isSystemDirectory(file.directory))
      return false;
    struct stat st;
    bool exists = ::lstat(path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
      return false;
    if (!exists || !S_ISLNK(st.st_mode)) {
      file.name = lastComponentOf(path);
      return !file.name.empty();
    }
    std::string target;
    if (!readLink(path, target))
      return false;
    path = target.starts_with('/') ? target : joinPath(directory, target);
  }
  return false;
}

mode_t currentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t terminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int number : kTerminationSignals)
    sigaddset(&set, number);
  return set;
}

// Holds back the termination signals while a temporary file is created,
// renamed or removed together with its entry in the list the signal
// handler walks: the handler never sees the list half changed, nor a file
// that is not listed.
class TerminationSignalsHeld {
public:
  TerminationSignalsHeld() {
    sigset_t set = terminationSignals();
    ::sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  ~TerminationSignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  TerminationSignalsHeld(const TerminationSignalsHeld &) = delete;
  TerminationSignalsHeld &operator=(const TerminationSignalsHeld &) = delete;

private:
  sigset_t previous_;
};

// A temporary file beside the file it is to replace, named
// ".NAME.veldran-XXXXXX". While it exists it is listed for the handler of
// the termination signals, which removes it.
class TemporaryFile {
public:
  TemporaryFile() = default;
  ~TemporaryFile() { remove(); }
  TemporaryFile(const TemporaryFile &) = delete;
  TemporaryFile &operator=(const TemporaryFile &) = delete;

  // Returns the descriptor of the new file, or -1 with `error` set.
  int create(const ReplacedFile &file, mode_t mode, int &error) {
    std::string name = ".";
    name.append(file.name, 0, kNameKept).append(".veldran-XXXXXX");
    std::string path = joinPath(file.directory, name);
    TerminationSignalsHeld held;
    int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
      error = errno;
      return -1;
    }
    path_ = std::move(path);
    next_ = listed_;
    listed_ = this;
    pending_ = true;
    // Where the file system keeps no permission bits, the file has those it
    // gets.
    ::fchmod(fd, mode);
    return fd;
  }

  // Renames the file over `target`; on failure removes it and sets `error`.
  bool replace(const std::string &target, int &error) {
    TerminationSignalsHeld held;
    if (::rename(path_.c_str(), target.c_str()) == 0) {
      unlist();
      return true;
    }
    error = errno;
    remove();
    return false;
  }

  void remove() {
    TerminationSignalsHeld held;
    if (pending_) {
      ::unlink(path_.c_str());
      unlist();
    }
  }

  // Async-signal-safe: only reads the list and unlinks.
  static void removeAllListed() {
    for (const TemporaryFile *file = listed_; file; file = file->next_)
      ::unlink(file->path_.c_str());
  }

private:
  void unlist() {
    for (TemporaryFile **link = &listed_; *link; link = &(*link)->next_)
      if (*link == this) {
        *link = next_;
        break;
      }
    pending_ = false;
  }

  static inline TemporaryFile *listed_ = nullptr;
  std::string path_;
  TemporaryFile *next_ = nullptr;
  bool pending_ = false; // created, neither renamed nor removed
};

// Where an output's bytes go: the file itself, or a temporary file that
// replaces the file at `replacedPath` when committed.
struct OutputPlace {
  std::vector<FileId> ids; // of the files written and replaced
  std::unique_ptr<TemporaryFile> temporary;
  std::string replacedPath;
  bool replacesExistingFile = false;
};

// Adds the identity of the open file to `place`. On failure closes the file
// and returns -1 with `error` set.
int identify(int fd, OutputPlace &place, int &error) {
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    error = errno;
    ::close(fd);
    return -1;
  }
  place.ids.push_back(fileId(st));
  return fd;
}

int openInPlace(const std::string &name, OutputPlace &place, int &error) {
  int fd = openRetrying(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  return identify(fd, place, error);
}

// A directory may refuse new files and still let its files be written.
bool refusesNewFiles(int error) {
  return error == EACCES || error == EROFS || error == EPERM;
}

// Opens a temporary file beside `file` (described by `existing` when it
// exists) with the permission bits the replaced file has, or a new file
// would get. Where the directory refuses the temporary file, `file` is
// written in place.
int openReplacing(const ReplacedFile &file, const struct stat *existing,
                  OutputPlace &place, int &error) {
  // A file that cannot be written is not replaced either.
  if (existing &&
      ::faccessat(AT_FDCWD, file.path().c_str(), W_OK, AT_EACCESS) != 0) {
    error = errno;
    return -1;
  }
  mode_t mode = existing ? existing->st_mode & 07777 : 0666 & ~currentUmask();
  auto temporary = std::make_unique<TemporaryFile>();
  int fd = temporary->create(file, mode, error);
  if (fd < 0)
    return refusesNewFiles(error) ? openInPlace(file.path(), place, error) : -1;
  if (existing)
    place.ids.push_back(fileId(*existing));
  place.temporary = std::move(temporary);
  place.replacedPath = file.path();
  place.replacesExistingFile = existing != nullptr;
  return identify(fd, place, error);
}

// The process then ends by the same signal, as it would have without the
// handler, and leaves no temporary file behind.
void removeTemporaryFilesAndDie(int number) {
  TemporaryFile::removeAllListed();
  ::signal(number, SIG_DFL);
  ::raise(number);
}

} // namespace

// A regular file's descriptor kept open after its input ended, so that
// the next open of the same name (an INCLUDE in a loop) needs neither open
// nor close: it is taken again when the name still leads to the same,
// unchanged file (sameUnchangedFile), which a new open would give with the
// same permission. Its content is read anew from the start, as it is then.
struct KeptInput {
  std::string name;
  int fd;
  struct stat status;
};

// The files open through the platform, for the rule that the output file
// and an input file are never the same file, and the descriptors kept.
struct PosixPlatform::OpenFiles {
  std::multiset<FileId> inputs;
  std::vector<Output *> outputs;
  std::vector<KeptInput> kept;   // the oldest first
  std::map<dev_t, bool> keepsOn; // keepsDescriptors, by device

  OpenFiles() = default;
  ~OpenFiles() { dropKept(); }
  OpenFiles(const OpenFiles &) = delete;
  OpenFiles &operator=(const OpenFiles &) = delete;

  Output *outputWriting(const FileId &id) const;
  // The output that replaces the file `name` designates, which need not
  // exist before the output is committed.
  Output *outputReplacing(const std::string &name) const;

  // Keeps the descriptor of an ended input, or closes it.
  void keepOrClose(KeptInput input);
  // The kept descriptor of `name` with the file's status now, or -1.
  int takeKept(const std::string &name, struct stat &status);
  void dropKept();
};

void PosixPlatform::OpenFiles::keepOrClose(KeptInput input) {
  const struct stat &st = input.status;
  auto local = keepsOn.find(st.st_dev);
  if (local == keepsOn.end())
    local = keepsOn.emplace(st.st_dev, keepsDescriptors(input.fd)).first;
  if (!local->second || !S_ISREG(st.st_mode) || !statusSettled(st)) {
    ::close(input.fd);
    return;
  }
  if (kept.size() == kMaxKeptInputs) {
    ::close(kept.front().fd);
    kept.erase(kept.begin());
  }
  kept.push_back(std::move(input));
}

int PosixPlatform::OpenFiles::takeKept(const std::string &name,
                                       struct stat &status) {
  auto it = std::find_if(kept.begin(), kept.end(),
                         [&](const KeptInput &k) { return k.name == name; });
  if (it == kept.end())
    return -1;
  KeptInput input = std::move(*it);
  kept.erase(it);
  if (::stat(name.c_str(), &status) == 0 &&
      sameUnchangedFile(status, input.status))
    return input.fd;
  ::close(input.fd);
  return -1;
}

void PosixPlatform::OpenFiles::dropKept() {
  for (const KeptInput &input : kept)
    ::close(input.fd);
  kept.clear();
}

class PosixPlatform::Input : public InputFile {
public:
  // `status` is the file's when opened. A regular file opened by `name`
  // (empty for standard input) is read from its start at given positions,
  // and its descriptor may be kept for the next open of the name.
  Input(int fd, const struct stat &status, std::string name,
        std::shared_ptr<OpenFiles> openFiles)
      : fd_(fd), status_(status), size_(regularSize(status)),
        name_(S_ISREG(status.st_mode) ? std::move(name) : ""),
        openFiles_(std::move(openFiles)) {
    openFiles_->inputs.insert(fileId(status_));
  }
  ~Input() override {
    eraseOne(openFiles_->inputs, fileId(status_));
    if (name_.empty())
      ::close(fd_);
    else
      openFiles_->keepOrClose({std::move(name_), fd_, status_});
  }
  Input(const Input &) = delete;
  Input &operator=(const Input &) = delete;

  // One read of the file: the caller reads in large blocks of its own.
  long read(std::uint8_t *dest, std::size_t count, int &error) override {
    long n = name_.empty() ? readRetrying(fd_, dest, count)
                           : preadRetrying(fd_, dest, count, offset_);
    if (n < 0) {
      error = errno;
      return n;
    }
    offset_ += n;
    cameShort_ = static_cast<std::size_t>(n) < count;
    return n;
  }

  bool endReached() const override { return cameShort_ && offset_ == size_; }

private:
  int fd_;
  struct stat status_;
  off_t size_;
  std::string name_;
  off_t offset_ = 0;
  bool cameShort_ = false;
  std::shared_ptr<OpenFiles> openFiles_;
};

class PosixPlatform::Output : public OutputFile {
public:
  Output(int fd, OutputPlace place, std::shared_ptr<OpenFiles> openFiles)
      : fd_(fd), place_(std::move(place)), openFiles_(std::move(openFiles)),
        buffer_(new std::uint8_t[kFileBufferSize]) {
    struct stat st;
    regular_ = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    openFiles_->outputs.push_back(this);
  }
  ~Output() override {
    if (fd_ >= 0) {
      int error = 0;
      if (!place_.temporary)
        flush(error);
      ::close(fd_);
    }
    std::vector<Output *> &outputs = openFiles_->outputs;
    outputs.erase(std::find(outputs.begin(), outputs.end(), this));
  }
  Output(const Output &) = delete;
  Output &operator=(const Output &) = delete;

  // Large pieces (runs of plain lines) go out directly behind what is
  // buffered, in one call: copying them into the buffer first would gain
  // nothing. On a regular file such a write ends where the file reaches a
  // multiple of the buffer's size, if no more than a few KiB lie beyond:
  // those wait in the buffer.
  bool write(const std::uint8_t *bytes, std::size_t count,
             int &error) override {
    if (count < kDirectWrite)
      return append(bytes, count, error);
    std::size_t beyond = (written_ + buffered_ + count) % kFileBufferSize;
    if (!regular_ || beyond >= count || beyond >= kDirectWrite)
      beyond = 0;
    iovec pieces[] = {{buffer_.get(), buffered_},
                      {const_cast<std::uint8_t *>(bytes), count - beyond}};
    bool ok = writeAllPieces(fd_, pieces, 2, error);
    emptied(buffered_ + count - beyond);
    if (!ok)
      return remember(false, error);
    return append(bytes + count - beyond, beyond, error);
  }

  // Regular files: the page cache takes writes that end on these
  // boundaries in whole pieces (see write).
  std::size_t writeAlignment() const override {
    return regular_ ? kFileBufferSize : 0;
  }

  // After a failure the buffered bytes are dropped: the error has been
  // reported, and retrying them at every later call would only repeat it.
  bool flush(int &error) override {
    bool ok = writeAll(fd_, buffer_.get(), buffered_, error);
    emptied(buffered_);
    return remember(ok, error);
  }

  // The result of close() counts: network file systems and quotas report
  // lost bytes there.
  bool commit(int &error) override {
    int flushError = 0;
    flush(flushError);
    if (::close(fd_) != 0)
      remember(false, errno);
    fd_ = -1;
    if (failure_ == 0 && place_.temporary)
      place_.temporary->replace(place_.replacedPath, failure_);
    place_.temporary.reset();
    if (failure_ == 0)
      return true;
    error = failure_;
    return false;
  }

  bool writes(const FileId &id) const {
    return std::find(place_.ids.begin(), place_.ids.end(), id) !=
           place_.ids.end();
  }
  bool replaces(const std::string &path) const {
    return !place_.replacedPath.empty() && place_.replacedPath == path;
  }
  // An input refused because it is this output: the file it was to be read
  // from keeps its content, and the output is not committed.
  void refuseAsInput() {
    if (place_.replacesExistingFile)
      remember(false, EBUSY);
  }

private:
  // The buffer is written out where the file reaches a multiple of its
  // size: the page cache takes such writes in whole pieces.
  bool append(const std::uint8_t *bytes, std::size_t count, int &error) {
    while (count >= room()) {
      std::size_t part = room();
      std::memcpy(buffer_.get() + buffered_, bytes, part);
      buffered_ += part;
      bytes += part;
      count -= part;
      if (!flush(error))
        return false;
    }
    std::memcpy(buffer_.get() + buffered_, bytes, count);
    buffered_ += count;
    return true;
  }

  // What the buffer takes before the file reaches the next multiple.
  std::size_t room() const {
    return kFileBufferSize - (written_ + buffered_) % kFileBufferSize;
  }

  // After `count` more bytes went to the file, with the buffered ones.
  void emptied(std::size_t count) {
    written_ += count;
    buffered_ = 0;
  }

  // The first failure stays: an output that lost bytes is never whole.
  bool remember(bool ok, int error) {
    if (!ok && failure_ == 0)
      failure_ = error;
    return ok;
  }

  int fd_;
  OutputPlace place_;
  std::shared_ptr<OpenFiles> openFiles_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t buffered_ = 0;
  std::uint64_t written_ = 0; // bytes that went to the file
  bool regular_ = false;
  int failure_ = 0;
};

PosixPlatform::Output *
PosixPlatform::OpenFiles::outputWriting(const FileId &id) const {
  for (Output *output : outputs)
    if (output->writes(id))
      return output;
  return nullptr;
}

PosixPlatform::Output *
PosixPlatform::OpenFiles::outputReplacing(const std::string &name) const {
  ReplacedFile file;
  if (outputs.empty() || !resolveReplacedFile(name, file))
    return nullptr;
  for (Output *output : outputs)
    if (output->replaces(file.path()))
      return output;
  return nullptr;
}

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
      long n = p_.consoleInputFd_ < 0
                   ? 0
                   : readRetrying(p_.consoleInputFd_, p_.stdin_.data(),
                                  p_.stdin_.size());
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

PosixPlatform::PosixPlatform() : PosixPlatform(Options{}) {}

PosixPlatform::PosixPlatform(const Options &options)
    : options_(options), openFiles_(std::make_shared<OpenFiles>()),
      stdin_(kStdinBufferSize) {
  keepStandardDescriptorsOpen();
  // A reader that goes away (veldran ... | head) makes writes fail instead
  // of ending the process: the console's failures are ignored and the
  // output file's reported, and the output written so far is kept.
  previousPipeAction_ = std::signal(SIGPIPE, SIG_IGN);
  // With SIGCHLD ignored by the caller, the programs started would leave no
  // exit status to wait for.
  previousChildAction_ = std::signal(SIGCHLD, SIG_DFL);
  installTerminationHandler();
  if (options.consoleOnStderr)
    consoleFd_ = 2;
  if (options.consoleInputFromTerminal)
    consoleInputFd_ = openRetrying("/dev/tty", O_RDONLY | O_CLOEXEC);
  consoleIsTerminal_ = ::isatty(consoleFd_) == 1;
  diagnosticsToTerminal_ = ::isatty(2) == 1;
  console_.reserve(kConsoleBufferSize);
  ::tzset();
}

PosixPlatform::~PosixPlatform() {
  flushConsole();
  if (consoleInputFd_ > 0)
    ::close(consoleInputFd_);
  for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i)
    ::sigaction(kTerminationSignals[i], &previousTerminationActions_[i],
                nullptr);
  std::signal(SIGCHLD, previousChildAction_);
  std::signal(SIGPIPE, previousPipeAction_);
}

// A signal the caller ignores (nohup, a background job) stays ignored.
void PosixPlatform::installTerminationHandler() {
  struct sigaction action {};
  action.sa_handler = removeTemporaryFilesAndDie;
  action.sa_mask = terminationSignals();
  for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i) {
    struct sigaction &previous = previousTerminationActions_[i];
    ::sigaction(kTerminationSignals[i], nullptr, &previous);
    if (previous.sa_handler != SIG_IGN)
      ::sigaction(kTerminationSignals[i], &action, nullptr);
  }
}

std::unique_ptr<InputFile> PosixPlatform::openInput(const std::string &name,
                                                    int &error) {
  if (hasNul(name)) {
    error = ENOENT;
    return nullptr;
  }
  struct stat st;
  int fd = openFiles_->takeKept(name, st);
  if (fd >= 0)
    return inputOf(fd, st, name, error);
  fd = openRetrying(name, O_RDONLY | O_CLOEXEC);
  // The descriptors kept must not take the place of a file to be opened.
  if (fd < 0 && (errno == EMFILE || errno == ENFILE) &&
      !openFiles_->kept.empty()) {
    openFiles_->dropKept();
    fd = openRetrying(name, O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) {
    error = errno;
    // The file an output will replace need not exist before the commit:
    // its name is the output's all the same. Only then is the name
    // resolved, which costs system calls an open of an existing file
    // does not need (that one is told by its identity below).
    if (error == ENOENT) {
      if (Output *output = openFiles_->outputReplacing(name)) {
        output->refuseAsInput();
        error = EBUSY;
      }
    }
    return nullptr;
  }
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (S_ISDIR(st.st_mode))
    error = EISDIR;
  else
    return inputOf(fd, st, name, error);
  ::close(fd);
  return nullptr;
}

// An open file of `name` as an input, unless it is an output's file.
std::unique_ptr<InputFile> PosixPlatform::inputOf(int fd, const struct stat &st,
                                                  const std::string &name,
                                                  int &error) {
  if (Output *output = openFiles_->outputWriting(fileId(st))) {
    output->refuseAsInput();
    error = EBUSY;
    ::close(fd);
    return nullptr;
  }
  return textInput(std::make_unique<Input>(fd, st, name, openFiles_));
}

std::unique_ptr<OutputFile> PosixPlatform::createOutput(const std::string &name,
                                                        int &error) {
  if (hasNul(name)) {
    error = ENOENT;
    return nullptr;
  }
  // Kept descriptors are given back, so that none takes the place of the
  // output.
  openFiles_->dropKept();
  // Checked before opening, since opening in place truncates.
  struct stat st;
  bool exists = ::stat(name.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    error = EISDIR;
    return nullptr;
  }
  if (exists && openFiles_->inputs.count(fileId(st)) != 0) {
    error = EBUSY;
    return nullptr;
  }
  // Pipes, terminals and devices are written in place.
  OutputPlace place;
  ReplacedFile replaced;
  bool replaceable =
      (!exists || S_ISREG(st.st_mode)) && resolveReplacedFile(name, replaced);
  int fd = replaceable
               ? openReplacing(replaced, exists ? &st : nullptr, place, error)
               : openInPlace(name, place, error);
  if (fd < 0)
    return nullptr;
  return textOutput(std::make_unique<Output>(fd, std::move(place), openFiles_));
}

std::unique_ptr<InputFile> PosixPlatform::openStandardInput(int &error) {
  int fd = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    error = errno;
    if (fd >= 0)
      ::close(fd);
    return nullptr;
  }
  return textInput(std::make_unique<Input>(fd, st, "", openFiles_));
}

std::unique_ptr<OutputFile> PosixPlatform::createStandardOutput(int &error) {
  OutputPlace place;
  int fd = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  fd = identify(fd, place, error);
  if (fd < 0)
    return nullptr;
  return textOutput(std::make_unique<Output>(fd, std::move(place), openFiles_));
}

std::unique_ptr<InputFile>
PosixPlatform::textInput(std::unique_ptr<InputFile> file) {
  return options_.lfLineEnds ? lfInput(std::move(file)) : std::move(file);
}

std::unique_ptr<OutputFile>
PosixPlatform::textOutput(std::unique_ptr<OutputFile> file) {
  return options_.lfLineEnds ? lfOutput(std::move(file)) : std::move(file);
}

const char *PosixPlatform::systemText(const char *text, std::string &storage) {
  if (!options_.utf8Messages)
    return text;
  storage = utf8FromCodePage850(text);
  return storage.c_str();
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
      writeAll(consoleFd_, bytes, count, error);
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
  writeAll(consoleFd_, console_.data(), console_.size(), error);
  console_.clear();
  writeAll(2, diagnostics_.data(), diagnostics_.size(), error);
  diagnostics_.clear();
}

void PosixPlatform::writeDiagnostics(const char *bytes, std::size_t count) {
  if (consoleFd_ == 2) {
    writeConsole(bytes, count);
    return;
  }
  // A message and the line that tells where it came from show together.
  if (diagnosticsToTerminal_)
    flushConsole();
  diagnostics_.append(bytes, count);
  if (diagnosticsToTerminal_ || diagnostics_.size() >= kConsoleBufferSize)
    flushConsole();
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
  // When standard output carries the output file, the program writes to
  // the console instead.
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  if (consoleFd_ != 1)
    ::posix_spawn_file_actions_adddup2(&actions, consoleFd_, 1);
  pid_t pid;
  int rc = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(),
                          environ);
  ::posix_spawn_file_actions_destroy(&actions);
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
