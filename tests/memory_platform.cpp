#include "memory_platform.h"

#include "platform/console_word.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace veldran {

namespace {

// consoleInput as the byte source of scanConsoleWord.
class StringSource {
public:
  explicit StringSource(const std::string &text) : text_(text) {}
  int peek() const {
    return position_ < text_.size()
               ? static_cast<unsigned char>(text_[position_])
               : -1;
  }
  void take() { ++position_; }
  std::size_t position() const { return position_; }

private:
  const std::string &text_;
  std::size_t position_ = 0;
};

} // namespace

// Reads a copy of the content taken at open.
class MemoryPlatform::Input : public InputFile {
public:
  Input(MemoryPlatform &platform, std::string content, const ReadFault *fault)
      : platform_(platform), content_(std::move(content)) {
    if (fault) {
      faultOffset_ = std::min(fault->offset, content_.size());
      faultError_ = fault->error;
    }
  }

  long read(std::uint8_t *dest, std::size_t count, int &error) override {
    if (count == 0)
      return 0;
    std::size_t limit = content_.size();
    if (faultError_ != 0) {
      if (position_ >= faultOffset_) {
        error = faultError_;
        return -1;
      }
      limit = faultOffset_;
    }
    std::size_t n = std::min(count, limit - position_);
    if (platform_.readChunk > 0)
      n = std::min(n, platform_.readChunk);
    std::memcpy(dest, content_.data() + position_, n);
    position_ += n;
    return static_cast<long>(n);
  }

  bool endReached() const override {
    return faultError_ == 0 && position_ == content_.size();
  }

private:
  MemoryPlatform &platform_;
  std::string content_;
  std::size_t position_ = 0;
  std::size_t faultOffset_ = 0;
  int faultError_ = 0;
};

// Collects the bytes and puts them into `files` at commit().
class MemoryPlatform::Output : public OutputFile {
public:
  Output(MemoryPlatform &platform, std::string name)
      : platform_(platform), name_(std::move(name)) {}

  bool write(const std::uint8_t *bytes, std::size_t count,
             int &error) override {
    if (content_.size() + count > platform_.diskSpace)
      platform_.writeError = ENOSPC;
    if (!flush(error))
      return false;
    content_.append(reinterpret_cast<const char *>(bytes), count);
    return true;
  }
  std::size_t writeAlignment() const override {
    return platform_.writeAlignment;
  }
  bool flush(int &error) override {
    if (platform_.writeError == 0)
      return true;
    remember(platform_.writeError);
    error = platform_.writeError;
    return false;
  }
  bool commit(int &error) override {
    remember(platform_.writeError);
    remember(platform_.closeError);
    if (failure_ != 0) {
      error = failure_;
      return false;
    }
    platform_.files[name_] = content_;
    return true;
  }

private:
  // The first failure stays: an output that lost bytes is never committed.
  void remember(int failure) {
    if (failure_ == 0)
      failure_ = failure;
  }

  MemoryPlatform &platform_;
  std::string name_;
  std::string content_;
  int failure_ = 0;
};

std::unique_ptr<InputFile> MemoryPlatform::openInput(const std::string &name,
                                                     int &error) {
  auto file = files.find(name);
  if (file == files.end()) {
    error = ENOENT;
    return nullptr;
  }
  const ReadFault *fault = nullptr;
  for (const ReadFault &f : readFaults)
    if (f.name == name && (!fault || f.offset < fault->offset))
      fault = &f;
  return std::make_unique<Input>(*this, file->second, fault);
}

std::unique_ptr<OutputFile>
MemoryPlatform::createOutput(const std::string &name, int &) {
  return std::make_unique<Output>(*this, name);
}

// Standard input holds the console input.
std::unique_ptr<InputFile> MemoryPlatform::openStandardInput(int &) {
  return std::make_unique<Input>(*this, consoleInput, nullptr);
}

// Standard output's bytes appear as the file "-".
std::unique_ptr<OutputFile> MemoryPlatform::createStandardOutput(int &) {
  return std::make_unique<Output>(*this, "-");
}

bool MemoryPlatform::counterFrequency(std::int64_t &ticksPerSecond,
                                      int &error) {
  if (frequencyError != 0) {
    error = frequencyError;
    return false;
  }
  ticksPerSecond = frequency;
  return true;
}

bool MemoryPlatform::counter(std::int64_t &value, int &error) {
  if (counterError != 0) {
    error = counterError;
    return false;
  }
  value = ticks;
  ticks += tickStep;
  return true;
}

LocalDate MemoryPlatform::today() { return date; }

void MemoryPlatform::writeConsole(const char *bytes, std::size_t count) {
  console.append(bytes, count);
}

void MemoryPlatform::flushConsole() {}

void MemoryPlatform::writeDiagnostics(const char *bytes, std::size_t count) {
  diagnostics.append(bytes, count);
}

bool MemoryPlatform::readConsoleWord(std::string &word) {
  StringSource source(consoleInput);
  bool found = scanConsoleWord(source, word);
  consoleInput.erase(0, source.position());
  return found;
}

ProgramResult MemoryPlatform::runProgram(const std::string &commandLine) {
  commandLines.push_back(commandLine);
  if (!program) {
    ProgramResult result;
    result.error = ENOENT;
    return result;
  }
  return program(commandLine);
}

} // namespace veldran
