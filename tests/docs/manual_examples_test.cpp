// Runs the examples of docs/manual.md and README.md, so that the documents
// cannot drift from the program. An example starts at a line
// `<!-- example: NAME -->` (or `<!-- example: NAME exit N -->` for a run
// that ends with exit code N) and takes the fenced blocks behind it up to the
// next example or heading: ```input (the input file), ```file NAME,
// ```stdin, ```sh (one line `[NAME=VALUE] veldran ARGS`, "..." quoting),
// ```output, ```console, ```stderr and ```written NAME (a further file the
// run writes). Input, file and output lines get
// CR LF, the others LF; with `lf` behind the kind they get LF, with `noeol`
// the last line gets none. A missing output or console block means it
// must stay empty. An example whose arguments hold an option runs the
// binary in a directory of its own; the others run in-process. The
// documents are UTF-8; the program works in code page 850.
#include "binary_run.h"
#include "case_file.h"
#include "driver/command_table.h"
#include "driver/program.h"
#include "memory_platform.h"
#include "platform/posix_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

namespace veldran::testing {
namespace {

std::string toCodePage850(const std::string &utf8) {
  static const std::map<std::string, char> table = {
      {"\xC3\xBC", '\x81'}, {"\xC3\xA4", '\x84'}, {"\xC3\xB6", '\x94'},
      {"\xC3\x9F", '\xE1'}, {"\xC3\x9C", '\x9A'}, {"\xC3\x84", '\x8E'},
      {"\xC3\x96", '\x99'}, {"\xC2\xB3", '\xFC'}};
  // ␍ stands for a CR that a block must show.
  const std::string cr = "\xE2\x90\x8D";
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8.compare(i, cr.size(), cr) == 0) {
      bytes += '\r';
      i += cr.size() - 1;
      continue;
    }
    auto it = table.find(utf8.substr(i, 2));
    bytes += it == table.end() ? utf8[i] : it->second;
    i += it == table.end() ? 0 : 1;
  }
  return bytes;
}

struct Example {
  std::string where;
  std::vector<std::string> env;
  std::vector<std::string> args;
  std::map<std::string, std::string> blocks; // kind (or "file NAME") to bytes
  int exitCode = 0;

  bool hasOption() const {
    return std::any_of(args.begin(), args.end(), [](const std::string &a) {
      return a.size() > 1 && a[0] == '-';
    });
  }
  // The input and the output: the arguments behind the options, or -o,
  // or with --unix and no arguments standard input and output ("-").
  std::pair<std::string, std::string> files() const {
    std::vector<std::string> positional;
    std::string output;
    for (std::size_t i = 0; i < args.size(); ++i) {
      bool takesValue = args[i] == "-D" || args[i] == "-T" || args[i] == "-I" ||
                        args[i] == "--deps" || args[i] == "--storage" ||
                        args[i] == "-o";
      if (args[i] == "-o")
        output = args[i + 1];
      if (takesValue)
        ++i;
      else if (args[i].size() < 2 || args[i][0] != '-')
        positional.push_back(args[i]);
    }
    bool unixStyle =
        std::find(args.begin(), args.end(), "--unix") != args.end();
    if (unixStyle && positional.empty())
      return {"-", "-"};
    if (output.empty())
      output = positional.size() > 1 ? positional[1] : "TEST.OUT";
    return {positional.empty() ? "TEST.INP" : positional[0], output};
  }
  // A block's bytes in code page 850, but for messages of a run with
  // --utf8, which stay UTF-8.
  std::string block(const std::string &kind) const {
    auto it = blocks.find(kind);
    if (it == blocks.end())
      return "";
    bool utf8 = (kind == "console" || kind == "stderr") &&
                std::any_of(args.begin(), args.end(), [](const auto &a) {
                  return a == "--utf8" || a == "--unix";
                });
    return utf8 ? it->second : toCodePage850(it->second);
  }
};

// The words of `[NAME=VALUE...] veldran ARGS`: the settings go to `env`,
// the arguments to `args`.
void shellWords(const std::string &line, Example &e) {
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
  auto program = std::find(words.begin(), words.end(), "veldran");
  e.env.assign(words.begin(), program);
  e.args.assign(program + 1, words.end());
}

std::vector<Example> parse(const std::string &document) {
  std::ifstream in(std::string(VELDRAN_SOURCE_DIR) + "/" + document);
  std::vector<Example> examples;
  std::string line, key, bytes;
  bool inExample = false, inBlock = false, noEol = false, lf = false;
  for (int number = 1; std::getline(in, line); ++number) {
    if (inBlock && line.rfind("```", 0) != 0) {
      bool crlf = !lf && (key == "input" || key == "output" ||
                          key.rfind("file", 0) == 0);
      bytes += line + (crlf ? "\r\n" : "\n");
    } else if (inBlock) {
      inBlock = false;
      if (noEol)
        bytes.erase(bytes.find_last_not_of("\r\n") + 1);
      if (key == "sh")
        shellWords(bytes.substr(0, bytes.size() - 1), examples.back());
      else
        examples.back().blocks[key] = bytes;
    } else if (line.rfind("<!-- example: ", 0) == 0) {
      examples.emplace_back();
      examples.back().where = document + ":" + std::to_string(number);
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
      lf = key.size() > 3 && key.substr(key.size() - 3) == " lf";
      if (lf)
        key.resize(key.size() - 3);
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

// Runs an example in-process; checks its output and console.
void runInProcess(const Example &e) {
  MemoryPlatform platform;
  PosixPlatform programs;
  platform.program = [&](const std::string &command) {
    return programs.runProgram(command);
  };
  for (const auto &[key, bytes] : e.blocks)
    if (key.rfind("file ", 0) == 0)
      platform.files[key.substr(5)] = e.block(key);
  if (e.blocks.count("input"))
    platform.files[e.files().first] = e.block("input");
  platform.consoleInput = e.block("stdin");
  EXPECT_EQ(runVeldran(platform, e.args), e.exitCode);
  std::string out = e.files().second;
  EXPECT_EQ(platform.files.count(out) ? platform.files[out] : "",
            e.block("output"));
  EXPECT_EQ(platform.console, e.block("console"));
}

// Runs an example with options through the binary; checks its output,
// standard output and standard error.
void runThroughBinary(const Example &e) {
  TempDir dir("manual");
  for (const auto &[key, bytes] : e.blocks)
    if (key.rfind("file ", 0) == 0)
      writeFile(dir.path() / key.substr(5), e.block(key));
  auto [in, out] = e.files();
  if (e.blocks.count("input") && in != "-")
    writeFile(dir.path() / in, e.block("input"));
  std::string stdinText = in == "-" ? e.block("input") : e.block("stdin");
  BinaryRun run = runBinary(dir.path(), e.args, stdinText, e.env);
  EXPECT_EQ(run.exitCode, e.exitCode);
  std::string console = run.console;
  if (out == "-") {
    EXPECT_EQ(run.console, e.block("output"));
    console.clear();
  } else if (e.blocks.count("output")) {
    EXPECT_EQ(readFile(dir.path() / out), e.block("output"));
  }
  EXPECT_EQ(console, e.block("console"));
  EXPECT_EQ(run.errors, e.block("stderr"));
  for (const auto &[key, bytes] : e.blocks) {
    if (key.rfind("written ", 0) == 0) {
      EXPECT_EQ(readFile(dir.path() / key.substr(8)), e.block(key));
    }
  }
}

TEST(Manual, ExamplesGiveTheShownOutputAndConsole) {
  std::vector<Example> examples = allExamples();
  EXPECT_GE(examples.size(), 41u);
  for (const Example &e : examples) {
    SCOPED_TRACE(e.where);
    if (e.hasOption() || !e.env.empty())
      runThroughBinary(e);
    else
      runInProcess(e);
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
