#include "macro/parameters.h"

#include "base/scanner.h"

namespace veldran {

namespace {

constexpr const char *kParamTypes[] = {"MINT    ", "MTEXT   ", "MQUOTE  "};

// Reads the steps of a parameter text: a type, ':', a name, then ',' for
// the next parameter or ')' for the end.
class ParamReader {
public:
  ParamReader(const std::uint8_t *text, std::size_t count)
      : text_(text), count_(count) {}

  void readAll(std::vector<ParamStep> &steps);

private:
  std::uint8_t take() { return next_ < count_ ? text_[next_++] : 0; }
  bool usedUp() const { return next_ >= count_; }
  Name collectName(std::uint8_t &ch, bool skipBlanks);
  ParamStep readStep();
  bool readType(std::uint8_t &ch, ParamStep &step);
  void readName(std::uint8_t &ch, ParamStep &step);

  const std::uint8_t *text_;
  std::size_t count_;
  std::size_t next_ = 0;
};

void ParamReader::readAll(std::vector<ParamStep> &steps) {
  if (count_ == 0)
    return;
  ParamStep step;
  do {
    step = readStep();
    steps.push_back(step);
  } while (step.fault == ParamFault::None && step.byte == ',');
}

// Collects name characters from `ch` on, upper-cased, 16 at most kept;
// with `skipBlanks` blanks inside the name are passed over.
Name ParamReader::collectName(std::uint8_t &ch, bool skipBlanks) {
  Name name;
  name.fill(' ');
  std::size_t n = 0;
  for (;; ch = take()) {
    if (skipBlanks && ch == ' ')
      continue;
    std::uint8_t up = NameCharTable[ch];
    if (!up)
      return name;
    if (n < kNameLength)
      name[n++] = static_cast<char>(up);
  }
}

ParamStep ParamReader::readStep() {
  ParamStep step;
  std::uint8_t ch = 0;
  if (readType(ch, step))
    readName(ch, step);
  return step;
}

bool ParamReader::readType(std::uint8_t &ch, ParamStep &step) {
  ch = take();
  while (ch == ' ')
    ch = take();
  if (ch >= '0' && ch <= '9') {
    step.fault = ParamFault::NumberAsType;
    step.byte = ch;
    return false;
  }
  step.name = collectName(ch, false);
  for (int t = 0; t < 3; ++t)
    if (std::memcmp(step.name.data(), kParamTypes[t], 8) == 0) {
      step.type = static_cast<ParamType>(t);
      return true;
    }
  step.fault = ParamFault::InvalidType;
  return false;
}

void ParamReader::readName(std::uint8_t &ch, ParamStep &step) {
  step.byte = ch;
  if (ch != ':') {
    step.fault = ParamFault::NoColon;
    return;
  }
  if (usedUp()) {
    step.fault = ParamFault::TooShort;
    return;
  }
  ch = take();
  step.byte = ch;
  if (ch >= '0' && ch <= '9') {
    step.fault = ParamFault::NumberAsName;
    return;
  }
  step.name = collectName(ch, true);
  step.byte = ch;
  if (ch != ',' && ch != ')')
    step.fault = ParamFault::BadSeparator;
}

} // namespace

ParameterList &parameterList(Run &run, std::uint32_t at, std::uint32_t length) {
  static_assert(std::tuple_size_v<ParameterListCache> == 16);
  ParameterList &list = run.parameterLists[(at * 0x9E3779B9u) >> 28];
  if (list.at == at && list.length == length)
    return list;
  list.at = at;
  list.length = length;
  list.steps.clear();
  ParamReader(run.storage.at(at), length).readAll(list.steps);
  return list;
}

} // namespace veldran
