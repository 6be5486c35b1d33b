#include "case_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace veldran::testing {

namespace {

std::vector<std::string> words(const std::string &text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string word; in >> word;)
    result.push_back(word);
  return result;
}

std::vector<std::string> unescapedWords(const std::string &text) {
  std::vector<std::string> result;
  for (const std::string &w : words(text)) {
    bool terminated = true;
    result.push_back(unescape(w, terminated));
  }
  return result;
}

// The bytes of a section: each line with its terminator, but for blank
// lines at the end, which only separate the section from what follows.
std::string sectionBytes(std::vector<std::string> lines,
                         const std::string &terminator) {
  while (!lines.empty() && lines.back().empty())
    lines.pop_back();
  std::string bytes;
  for (const std::string &line : lines) {
    bool terminated = true;
    bytes += unescape(line, terminated);
    if (terminated)
      bytes += terminator;
  }
  return bytes;
}

void addSection(Case &c, const std::vector<std::string> &head,
                const std::vector<std::string> &lines) {
  const std::string &kind = head[0];
  bool terminated = true;
  std::string name = head.size() > 1 ? unescape(head[1], terminated) : "";
  if (kind == "cmd")
    c.commandString = sectionBytes(lines, "");
  else if (kind == "file")
    c.files.emplace_back(name,
                         sectionBytes(lines, head.size() > 2 ? "" : "\r\n"));
  else if (kind == "run") {
    c.script = sectionBytes(lines, "\n");
    c.real = true;
  } else if (kind == "stdin")
    c.stdinText = sectionBytes(lines, "\n");
  else if (kind == "output")
    c.outputs.push_back(
        {name, sectionBytes(lines, head.size() > 2 ? "" : "\r\n")});
  else if (kind == "console")
    c.console = sectionBytes(lines, "\n");
  else if (kind == "stderr")
    c.errors = sectionBytes(lines, "\n");
  else if (kind == "missing")
    c.missing.push_back(name);
  else if (kind == "exit")
    c.exitCode = std::stoi(name);
  else
    throw std::runtime_error("unknown section " + kind);
}

} // namespace

std::string unescape(const std::string &text, bool &terminated) {
  std::string out;
  terminated = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
    } else if (i + 1 == text.size()) {
      terminated = false;
    } else if (char e = text[++i]; e == 'r' || e == 'n' || e == 't') {
      out += e == 'r' ? '\r' : e == 'n' ? '\n' : '\t';
    } else if (e == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += e;
    }
  }
  return out;
}

std::vector<Case> parseCaseFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  std::vector<Case> cases;
  std::vector<std::string> head; // the open section's words
  std::vector<std::string> lines;
  auto closeSection = [&] {
    if (!head.empty())
      addSection(cases.back(), head, lines);
    head.clear();
    lines.clear();
  };
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::string where = path + ":" + std::to_string(number);
    if (line.rfind("=== ", 0) == 0) {
      if (!cases.empty())
        closeSection();
      cases.emplace_back();
      cases.back().name = line.substr(4);
      cases.back().source = where;
    } else if (line.rfind("--- ", 0) == 0 && !cases.empty()) {
      closeSection();
      head = words(line.substr(4));
    } else if (!head.empty()) {
      lines.push_back(line);
    } else if (line.rfind("args:", 0) == 0 && !cases.empty()) {
      cases.back().args = unescapedWords(line.substr(5));
    } else if (line == "real" && !cases.empty()) {
      cases.back().real = true;
    } else if (!line.empty() && line[0] != '#') {
      throw std::runtime_error(where + ": unknown line: " + line);
    }
  }
  if (!cases.empty())
    closeSection();
  return cases;
}

std::vector<std::string> Case::runArgs() const {
  std::vector<std::string> result = args;
  if (commandString) {
    result.resize(2);
    if (result[0].empty())
      result[0] = "TEST.INP";
    if (result[1].empty())
      result[1] = "TEST.OUT";
    result.push_back(*commandString);
  }
  return result;
}

std::string Case::outputName() const {
  return args.size() > 1 ? args[1] : "TEST.OUT";
}

} // namespace veldran::testing
