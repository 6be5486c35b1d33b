#include "platform/text_mode.h"

#include <vector>

namespace veldran {

namespace {

constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;

class LfInput : public InputFile {
public:
  explicit LfInput(std::unique_ptr<InputFile> file) : file_(std::move(file)) {}

  // Reads at most half of `count`, so that every byte read fits even when
  // each is an LF that becomes two.
  long read(std::uint8_t *dest, std::size_t count, int &error) override {
    std::size_t want = count / 2 > 0 ? count / 2 : 1;
    raw_.resize(want);
    long got = file_->read(raw_.data(), want, error);
    if (got <= 0)
      return got;
    std::size_t n = 0;
    for (long i = 0; i < got; ++i) {
      std::uint8_t c = raw_[static_cast<std::size_t>(i)];
      if (c == LF && !afterCr_)
        dest[n++] = CR;
      dest[n++] = c;
      afterCr_ = c == CR;
    }
    return static_cast<long>(n);
  }

  bool endReached() const override { return file_->endReached(); }

private:
  std::unique_ptr<InputFile> file_;
  std::vector<std::uint8_t> raw_;
  bool afterCr_ = false; // the last byte read was a CR
};

class LfOutput : public OutputFile {
public:
  explicit LfOutput(std::unique_ptr<OutputFile> file)
      : file_(std::move(file)) {}

  bool write(const std::uint8_t *bytes, std::size_t count,
             int &error) override {
    if (count == 0)
      return true;
    if (heldCr_) {
      heldCr_ = false;
      if (bytes[0] != LF && !put(&CR, 1, error))
        return false;
    }
    std::size_t from = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
      if (bytes[i] == CR && bytes[i + 1] == LF) {
        if (!put(bytes + from, i - from, error))
          return false;
        from = ++i; // the LF goes out with the bytes behind it
      }
    }
    // A CR at the end waits: the next byte tells whether it starts a CR LF.
    std::size_t end = count;
    if (bytes[count - 1] == CR && count - 1 >= from) {
      heldCr_ = true;
      --end;
    }
    return put(bytes + from, end - from, error);
  }
  bool flush(int &error) override { return file_->flush(error); }
  // A CR held back at the end is written: no LF followed it.
  bool commit(int &error) override {
    if (heldCr_) {
      int ignored = 0; // the output remembers the failure for the commit
      put(&CR, 1, ignored);
    }
    return file_->commit(error);
  }

private:
  bool put(const std::uint8_t *bytes, std::size_t count, int &error) {
    return count == 0 || file_->write(bytes, count, error);
  }

  std::unique_ptr<OutputFile> file_;
  bool heldCr_ = false; // the last write ended in a CR not yet written
};

} // namespace

std::unique_ptr<InputFile> lfInput(std::unique_ptr<InputFile> file) {
  return std::make_unique<LfInput>(std::move(file));
}

std::unique_ptr<OutputFile> lfOutput(std::unique_ptr<OutputFile> file) {
  return std::make_unique<LfOutput>(std::move(file));
}

} // namespace veldran
