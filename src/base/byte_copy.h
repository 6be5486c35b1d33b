// Copying the short byte strings of a line. Most are a few bytes long, and
// for those the call of memcpy costs more than the copy.
#pragma once

#include <cstdint>
#include <cstring>

namespace veldran {

namespace detail {

struct Bytes16 {
  std::uint64_t low;
  std::uint64_t high;
};

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as a word from
// each end; the two overlap unless n is twice the word.
template <typename Word>
inline void copyEnds(std::uint8_t *to, const std::uint8_t *from,
                     std::size_t n) {
  Word head;
  Word tail;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

} // namespace detail

// Copies n bytes between buffers that do not overlap, touching nothing
// outside them.
inline void copyBytes(std::uint8_t *to, const std::uint8_t *from,
                      std::size_t n) {
  if (n > 32)
    std::memcpy(to, from, n);
  else if (n >= 16)
    detail::copyEnds<detail::Bytes16>(to, from, n);
  else if (n >= 8)
    detail::copyEnds<std::uint64_t>(to, from, n);
  else if (n >= 4)
    detail::copyEnds<std::uint32_t>(to, from, n);
  else if (n >= 2)
    detail::copyEnds<std::uint16_t>(to, from, n);
  else if (n == 1)
    *to = *from;
}

} // namespace veldran
