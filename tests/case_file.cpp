#include "case_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace veldran::testing {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::vector<std::string> splitWords(const std::string &text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    bool terminated = true;
    words.push_back(word == "\"\"" ? "" : unescape(word, terminated));
  }
  return words;
}

struct Section {
  std::string kind;
  std::vector<std::string> words;
  std::string terminator;
  std::vector<std::string> lines;
  std::string bytes;
};

// Blank lines at the end of a section only separate it from what follows.
void joinLines(Section &s) {
  while (!s.lines.empty() && s.lines.back().empty())
    s.lines.pop_back();
  for (const std::string &line : s.lines) {
    bool terminated = true;
    s.bytes += unescape(line, terminated);
    if (terminated)
      s.bytes += s.terminator;
  }
}

void finishSection(Case &c, Section &s) {
  joinLines(s);
  if (s.kind == "cmd") {
    c.commandString = s.bytes;
  } else if (s.kind == "file") {
    c.files.emplace_back(s.words.at(0), s.bytes);
  } else if (s.kind == "stdin") {
    c.stdinText = s.bytes;
  } else if (s.kind == "output") {
    c.outputs.push_back({s.words.empty() ? "" : s.words[0], s.bytes});
  } else if (s.kind == "console") {
    c.console = s.bytes;
  }
  s = Section{};
}

std::string terminatorFor(const std::string &kind,
                          const std::vector<std::string> &words) {
  if (kind == "file") {
    if (words.size() > 1 && words[1] == "lf")
      return "\n";
    if (words.size() > 1 && words[1] == "raw")
      return "";
    return "\r\n";
  }
  if (kind == "output")
    return "\r\n";
  if (kind == "stdin" || kind == "console")
    return "\n";
  return "";
}

} // namespace

std::string unescape(const std::string &text, bool &terminated) {
  std::string out;
  terminated = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i + 1 == text.size()) {
      terminated = false;
      break;
    }
    char e = text[++i];
    if (e == 'r') {
      out += '\r';
    } else if (e == 'n') {
      out += '\n';
    } else if (e == 't') {
      out += '\t';
    } else if (e == 'x' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
               hexDigit(text[i + 2]) >= 0) {
      out +=
          static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
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
  Section section;
  std::string line;
  int lineNumber = 0;
  auto current = [&]() -> Case & {
    if (cases.empty())
      throw std::runtime_error(path + ": section before the first case");
    return cases.back();
  };
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.rfind("=== ", 0) == 0) {
      if (!cases.empty())
        finishSection(cases.back(), section);
      Case c;
      c.name = line.substr(4);
      c.source = path + ":" + std::to_string(lineNumber);
      cases.push_back(c);
      continue;
    }
    if (line.rfind("--- ", 0) == 0) {
      Case &c = current();
      finishSection(c, section);
      std::istringstream words(line.substr(4));
      words >> section.kind;
      std::string w;
      while (words >> w)
        section.words.push_back(w);
      if (section.kind == "exit") {
        c.exitCode = std::stoi(section.words.at(0));
        section = Section{};
      } else if (section.kind == "missing") {
        c.missing.push_back(section.words.at(0));
        section = Section{};
      }
      section.terminator = terminatorFor(section.kind, section.words);
      continue;
    }
    if (section.kind.empty()) {
      if (line.empty() || line[0] == '#')
        continue;
      Case &c = current();
      if (line.rfind("args:", 0) == 0)
        c.args = splitWords(line.substr(5));
      else if (line == "real")
        c.real = true;
      else
        throw std::runtime_error(path + ":" + std::to_string(lineNumber) +
                                 ": unknown line: " + line);
      continue;
    }
    section.lines.push_back(line);
  }
  if (!cases.empty())
    finishSection(cases.back(), section);
  return cases;
}

std::vector<std::string> Case::runArgs() const {
  std::vector<std::string> result = args;
  if (commandString) {
    if (result.size() < 1)
      result.push_back("TEST.INP");
    if (result.size() < 2)
      result.push_back("TEST.OUT");
    result.resize(2);
    result.push_back(*commandString);
  }
  return result;
}

std::string Case::outputName() const {
  return args.size() > 1 ? args[1] : "TEST.OUT";
}

std::string printable(const std::string &bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\n') {
      out += "\\n\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

} // namespace veldran::testing
