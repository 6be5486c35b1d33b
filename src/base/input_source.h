// One record of the input-source stack: a file, the command string, or a
// recorded body being replayed.
#pragma once

#include "platform/platform.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace veldran {

constexpr int kLineMax = 256;
constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;
constexpr std::uint8_t kEndOfFileMark = 0x1A; // ends a file where it stands
constexpr std::uint32_t kNotStored = 0xFFFFFFFFu;

enum class SourceKind : char {
  File = 0,           // the input file, an included file, the command string
  MacroBody = 'M',    // a macro call
  RepeatBody = 'R',   // the passes of a repeat block
  ExecutedLine = 'E', // the line of an EXECUTE
};

struct InputSource {
  std::unique_ptr<InputFile> file;
  std::string fileName;
  std::uint32_t lineNumber = 0; // shown through lineValue
  // A line given on the command line, not yet read: it is taken as it
  // stands, end-of-file marks and all, as line 1, not counted as an input
  // line.
  bool givenLine = false;
  // For telling where a line comes from (base/diagnostics.h): what a source
  // without a file is (a line of the command line, a macro's arguments),
  // the macro a body or argument text belongs to, the pass of a repeat
  // body and where its block began.
  std::string label;
  std::array<char, 16> macroName{};
  std::uint32_t passNumber = 0;
  std::string origin;
  int length = 0;
  int position = 0;
  SourceKind kind = SourceKind::File;
  std::uint32_t bodyStart = 0;
  std::uint32_t bodyEnd = 0;
  std::uint32_t bodyNext = 0;
  std::int64_t passesLeft = 0;
  // While the buffer holds one whole line of a repeat or macro body and
  // its CR LF: where the line's bytes lie in the text storage. Otherwise
  // kNotStored.
  std::uint32_t storedAt = kNotStored;
  // The bytes of the current line (and, for files, what was read beyond
  // it): `own`, or for a file a window of at most 256 bytes into `block`.
  std::uint8_t *buffer = own;
  std::uint8_t own[kLineMax];

  // A file is read in large blocks; the window slides over them, so that
  // moving to the next line copies nothing.
  std::unique_ptr<std::uint8_t[]> block;
  std::uint32_t blockSize = 0;
  std::uint32_t blockStart = 0; // where the window begins
  std::uint32_t blockEnd = 0;   // bytes read into the block
  bool atEnd = false;           // the file has delivered its last byte

  bool isReplay() const { return kind != SourceKind::File; }
  bool hasBlock() const { return block != nullptr; }
};

} // namespace veldran
