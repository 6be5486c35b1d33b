// Runs the examples of docs/manual.md and README.md, so that the documents
// cannot drift from the program. An example starts at a line
// `<!-- example: NAME -->` (or `<!-- example: NAME exit N -->` for a run
// that ends with exit code N) and takes the fenced blocks behind it up to the
// next example or heading: ```input (the input file), ```file NAME,
// ```stdin, ```sh (one line `veldran ARGS`, "..." quoting), ```output and
// ```console. Input, file and output lines get CR LF, the others LF; with
// `noeol` behind the kind the last line gets none. A missing output or
// console block means it must stay empty. The documents are UTF-8; the
// program works in code page 850.
#include "case_file.h"
#include "driver/command_table.h"
#include "driver/program.h"
#include "memory_platform.h"
#include "platform/posix_platform.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace veldran::testing {
namespace {

struct Example {
  std::string where;
  std::vector<std::string> args;
  std::map<std::string, std::string> blocks; // kind (or "file NAME") to bytes
  int exitCode = 0;
};

std::string toCodePage850(const std::string &utf8) {
  static const std::map<std::string, char> table = {
      {"\xC3\xBC", '\x81'}, {"\xC3\xA4", '\x84'}, {"\xC3\xB6", '\x94'},
      {"\xC3\x9F", '\xE1'}, {"\xC3\x9C", '\x9A'}, {"\xC3\x84", '\x8E'},
      {"\xC3\x96", '\x99'}, {"\xC2\xB3", '\xFC'}};
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto it = table.find(utf8.substr(i, 2));
    bytes += it == table.end() ? utf8[i] : it->second;
    i += it == table.end() ? 0 : 1;
  }
  return bytes;
}

std::vector<std::string> shellWords(const std::string &line) {
  std::vector<std::string> words(1);
  bool quoted = false;
  for (char ch : line) {
    if (ch == '"')
      quoted = !quoted;
    else if (ch == ' ' && !quoted)
      words.emplace_back();
    else
      words.back() += ch;
  }
  return {words.begin() + 1, words.end()}; // without "veldran"
}

std::vector<Example> parse(const std::string &document) {
  std::ifstream in(std::string(VELDRAN_SOURCE_DIR) + "/" + document);
  std::vector<Example> examples;
  std::string line, key, bytes;
  bool inExample = false, inBlock = false, noEol = false;
  for (int number = 1; std::getline(in, line); ++number) {
    if (inBlock && line.rfind("```", 0) != 0) {
      bytes += toCodePage850(line) +
               (key == "input" || key == "output" || key.rfind("file", 0) == 0
                    ? "\r\n"
                    : "\n");
    } else if (inBlock) {
      inBlock = false;
      if (noEol)
        bytes.erase(bytes.find_last_not_of("\r\n") + 1);
      if (key == "sh")
        examples.back().args = shellWords(bytes.substr(0, bytes.size() - 1));
      else
        examples.back().blocks[key] = bytes;
    } else if (line.rfind("<!-- example: ", 0) == 0) {
      examples.push_back({document + ":" + std::to_string(number), {}, {}});
      std::size_t exit = line.find(" exit ");
      if (exit != std::string::npos)
        examples.back().exitCode = std::stoi(line.substr(exit + 6));
      inExample = true;
    } else if (line.rfind("#", 0) == 0) {
      inExample = false;
    } else if (line.rfind("```", 0) == 0 && inExample && line.size() > 3) {
      inBlock = true;
      key = line.substr(3);
      noEol = key.size() > 6 && key.substr(key.size() - 6) == " noeol";
      if (noEol)
        key.resize(key.size() - 6);
      bytes.clear();
    }
  }
  return examples;
}

std::vector<Example> allExamples() {
  std::vector<Example> all = parse("docs/manual.md");
  for (Example &e : parse("README.md"))
    all.push_back(e);
  return all;
}

TEST(Manual, ExamplesGiveTheShownOutputAndConsole) {
  std::vector<Example> examples = allExamples();
  EXPECT_GE(examples.size(), 41u);
  for (const Example &e : examples) {
    SCOPED_TRACE(e.where);
    MemoryPlatform platform;
    PosixPlatform programs;
    platform.program = [&](const std::string &command) {
      return programs.runProgram(command);
    };
    for (const auto &[key, bytes] : e.blocks)
      if (key.rfind("file ", 0) == 0)
        platform.files[key.substr(5)] = bytes;
    std::string in = e.args.size() > 0 ? e.args[0] : "TEST.INP";
    std::string out = e.args.size() > 1 ? e.args[1] : "TEST.OUT";
    if (e.blocks.count("input"))
      platform.files[in] = e.blocks.at("input");
    platform.consoleInput = e.blocks.count("stdin") ? e.blocks.at("stdin") : "";
    EXPECT_EQ(runVeldran(platform, e.args), e.exitCode);
    auto expect = [&](const std::string &kind, const std::string &actual) {
      auto it = e.blocks.find(kind);
      EXPECT_EQ(printable(actual),
                printable(it == e.blocks.end() ? "" : it->second))
          << kind;
    };
    expect("output", platform.files.count(out) ? platform.files[out] : "");
    expect("console", platform.console);
  }
}

TEST(Manual, DescribesEveryCommand) {
  std::ifstream in(std::string(VELDRAN_SOURCE_DIR) + "/docs/manual.md");
  std::string headings, line;
  while (std::getline(in, line))
    if (line.rfind("###", 0) == 0)
      headings += line + "\n";
  for (const CommandRow &row : CommandTable) {
    std::string name(row.name.begin(), row.name.end());
    name.erase(name.find_last_not_of(' ') + 1);
    EXPECT_NE(headings.find("`%" + name + "`"), std::string::npos) << name;
  }
}

} // namespace
} // namespace veldran::testing
