// Runs the examples of docs/manual.md and README.md, so that the documents
// cannot drift from the program.
//
// An example starts at a line `<!-- example: NAME -->` and takes the fenced
// blocks that follow it, up to the next example or heading:
//
//   ```input        the input file (TEST.INP, or the first argument)
//   ```file NAME    a further input file, for INCLUDE
//   ```stdin        console input, for ACC
//   ```sh           one line `veldran ARGS...`, with '...' and "..." quoting
//   ```output       the output file (TEST.OUT, or the second argument)
//   ```console      everything printed on the console
//
// The documents show lines without their line ends: input, file and output
// lines get CR LF, stdin and console lines LF; with the word `noeol` after
// the block's kind, the last line gets none. The documents are UTF-8 and the
// program works in code page 850, so the umlauts are converted. An example
// without an output block must leave the output file empty, one without a
// console block the console; every example must end with exit code 0.
// Blocks of these kinds outside an example, and a second block of a kind in
// one example, are refused, so that no example escapes the check. A %CALL
// in an example starts the real program.
#include "driver/commands.h"
#include "driver/run.h"
#include "platform/memory_platform.h"
#include "platform/posix_platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace veldran {

namespace {

const fs::path kSourceDir = VELDRAN_SOURCE_DIR;

struct Example {
  std::string document;
  int line = 0;
  std::string name;
  std::vector<std::string> args;
  std::map<std::string, std::string> files;
  std::optional<std::string> input;
  std::string stdinText;
  std::optional<std::string> output;
  std::string console;
  std::set<std::string> blocks; // the kinds given, files by their names
  std::vector<std::string> problems;
};

// The characters outside ASCII that the documents may use, as UTF-8 and as
// code page 850.
const std::pair<const char *, char> kCodePage850[] = {
    {"\xC3\xBC", '\x81'}, {"\xC3\xA4", '\x84'}, {"\xC3\xB6", '\x94'},
    {"\xC3\x9F", '\xE1'}, {"\xC3\x9C", '\x9A'}, {"\xC3\x84", '\x8E'},
    {"\xC3\x96", '\x99'}, {"\xC2\xB3", '\xFC'},
};

bool toCodePage850(const std::string &utf8, std::string &bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      bytes += utf8[i++];
      continue;
    }
    bool known = false;
    for (const auto &[sequence, byte] : kCodePage850) {
      if (utf8.compare(i, 2, sequence) == 0) {
        bytes += byte;
        i += 2;
        known = true;
        break;
      }
    }
    if (!known)
      return false;
  }
  return true;
}

// Splits `veldran ARGS...` into the arguments, without the program name.
bool splitShellLine(const std::string &line, std::vector<std::string> &args) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (char ch : line) {
    if (quote) {
      if (ch == quote)
        quote = 0;
      else
        word += ch;
    } else if (ch == '\'' || ch == '"') {
      quote = ch;
      inWord = true;
    } else if (ch == ' ') {
      if (inWord)
        words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += ch;
      inWord = true;
    }
  }
  if (inWord)
    words.push_back(word);
  if (quote || words.empty() || words[0] != "veldran")
    return false;
  args.assign(words.begin() + 1, words.end());
  return true;
}

struct Block {
  int line = 0;
  std::string kind;
  std::string argument;
  bool noEol = false;
  std::vector<std::string> lines;
};

bool isExampleKind(const std::string &kind) {
  return kind == "input" || kind == "file" || kind == "stdin" || kind == "sh" ||
         kind == "output" || kind == "console";
}

void addBlock(Example &e, const Block &b) {
  auto problem = [&](const std::string &text) {
    e.problems.push_back("line " + std::to_string(b.line) + ": " + text);
  };
  const std::string key = b.kind == "file" ? "file " + b.argument : b.kind;
  if (!e.blocks.insert(key).second)
    problem("a second `" + key + "` block");
  if (b.kind == "sh") {
    if (b.lines.size() != 1 || !splitShellLine(b.lines[0], e.args))
      problem("an sh block holds one line `veldran ARGS...`");
    return;
  }
  const bool crlf = b.kind == "input" || b.kind == "file" || b.kind == "output";
  std::string bytes;
  for (std::size_t i = 0; i < b.lines.size(); ++i) {
    std::string converted;
    if (!toCodePage850(b.lines[i], converted))
      problem("a character that code page 850 does not have");
    bytes += converted;
    if (b.noEol && i + 1 == b.lines.size())
      break;
    bytes += crlf ? "\r\n" : "\n";
  }
  if (b.kind == "input")
    e.input = bytes;
  else if (b.kind == "file")
    e.files[b.argument] = bytes;
  else if (b.kind == "stdin")
    e.stdinText = bytes;
  else if (b.kind == "output")
    e.output = bytes;
  else
    e.console = bytes;
}

std::vector<Example> parseDocument(const std::string &document) {
  std::ifstream in(kSourceDir / document);
  std::vector<Example> examples;
  Example stray;
  stray.document = document;
  stray.name = "blocks outside examples";
  bool inExample = false;
  std::optional<Block> block;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (block) {
      if (line.rfind("```", 0) != 0) {
        block->lines.push_back(line);
        continue;
      }
      if (inExample)
        addBlock(examples.back(), *block);
      block.reset();
      continue;
    }
    if (line.rfind("<!-- example: ", 0) == 0) {
      Example e;
      e.document = document;
      e.line = number;
      std::istringstream words(line.substr(14));
      words >> e.name;
      examples.push_back(e);
      inExample = true;
    } else if (line.rfind("#", 0) == 0) {
      inExample = false;
    } else if (line.rfind("```", 0) == 0) {
      Block b;
      b.line = number;
      std::istringstream words(line.substr(3));
      words >> b.kind;
      std::string word;
      while (words >> word) {
        if (word == "noeol")
          b.noEol = true;
        else
          b.argument = word;
      }
      if (isExampleKind(b.kind) && !inExample)
        stray.problems.push_back("line " + std::to_string(number) + ": a `" +
                                 b.kind + "` block outside an example");
      if (inExample && !isExampleKind(b.kind))
        examples.back().problems.push_back("line " + std::to_string(number) +
                                           ": an unknown block in an example");
      block = b;
    }
  }
  if (!stray.problems.empty())
    examples.push_back(stray);
  return examples;
}

std::vector<Example> allExamples() {
  std::vector<Example> examples = parseDocument("docs/manual.md");
  for (Example &e : parseDocument("README.md"))
    examples.push_back(std::move(e));
  return examples;
}

// Shows control bytes and bytes outside ASCII readably.
std::string visible(const std::string &bytes) {
  std::string text;
  for (char ch : bytes) {
    auto byte = static_cast<unsigned char>(ch);
    if (ch == '\n') {
      text += "\\n\n";
    } else if (ch == '\r') {
      text += "\\r";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      text += hex;
    } else {
      text += ch;
    }
  }
  return text;
}

void PrintTo(const Example &e, std::ostream *os) {
  *os << e.document << ":" << e.line << " " << e.name;
}

class ManualExample : public ::testing::TestWithParam<Example> {};

TEST_P(ManualExample, GivesTheShownOutputAndConsole) {
  const Example &e = GetParam();
  for (const std::string &problem : e.problems)
    ADD_FAILURE() << problem;
  if (!e.problems.empty())
    return;

  MemoryPlatform platform;
  PosixPlatform programs;
  platform.program = [&programs](const std::string &commandLine) {
    return programs.runProgram(commandLine);
  };
  const std::string inputName = e.args.size() > 0 ? e.args[0] : "TEST.INP";
  const std::string outputName = e.args.size() > 1 ? e.args[1] : "TEST.OUT";
  platform.files = e.files;
  if (e.input)
    platform.files[inputName] = *e.input;
  platform.consoleInput = e.stdinText;

  EXPECT_EQ(runVeldran(platform, e.args), 0);
  auto written = platform.files.find(outputName);
  std::string output =
      written == platform.files.end() ? std::string() : written->second;
  EXPECT_EQ(visible(output), visible(e.output.value_or("")));
  EXPECT_EQ(visible(platform.console), visible(e.console));
}

std::string exampleName(const ::testing::TestParamInfo<Example> &info) {
  std::string name = fs::path(info.param.document).stem().string() + "_";
  for (char ch : info.param.name)
    name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Documents, ManualExample,
                         ::testing::ValuesIn(allExamples()), exampleName);

TEST(ManualExamples, AreFoundAndNamedOnce) {
  std::map<std::string, int> seen;
  int manual = 0;
  int readme = 0;
  for (const Example &e : allExamples()) {
    EXPECT_EQ(seen[e.document + e.name]++, 0)
        << e.document << ": two examples named " << e.name;
    (e.document == "README.md" ? readme : manual)++;
  }
  EXPECT_GE(manual, 40);
  EXPECT_GE(readme, 1);
}

TEST(Manual, DescribesEveryCommand) {
  std::ifstream in(kSourceDir / "docs/manual.md");
  std::vector<std::string> headings;
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("###", 0) == 0)
      headings.push_back(line);
  for (const CommandRow &row : CommandTable) {
    std::string name(row.name.begin(), row.name.end());
    name.erase(name.find_last_not_of(' ') + 1);
    bool found = false;
    for (const std::string &heading : headings)
      found = found || heading.find("`%" + name + "`") != std::string::npos;
    EXPECT_TRUE(found) << "no heading names %" << name;
  }
}

} // namespace

} // namespace veldran
