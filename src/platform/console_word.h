// Word reading shared by the console implementations: the behaviour of
// scanf("%80s"), independent of where the bytes come from.
#pragma once

#include <cstddef>
#include <string>

namespace veldran {

constexpr std::size_t kConsoleWordMax = 80;

// The white space of the C locale.
inline bool isConsoleSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

// Skips white space, then takes up to kConsoleWordMax non-space bytes. The
// rest of a longer run and the space that ends a word stay in the source.
// `source.peek()` returns the next byte (0..255) without taking it, or -1 at
// the end; `source.take()` takes the byte that peek returned. Returns false
// when the source ends before a word starts.
template <typename Source>
bool scanConsoleWord(Source &source, std::string &word) {
  word.clear();
  int c = source.peek();
  while (c >= 0 && isConsoleSpace(c)) {
    source.take();
    c = source.peek();
  }
  if (c < 0)
    return false;
  // The byte after a full-length word is not looked at, so that reading a
  // word never waits for more input than the word itself.
  do {
    word += static_cast<char>(c);
    source.take();
  } while (word.size() < kConsoleWordMax && (c = source.peek()) >= 0 &&
           !isConsoleSpace(c));
  return true;
}

} // namespace veldran
