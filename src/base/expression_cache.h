// Expressions of recorded body lines, kept as the steps the evaluator took
// for them, by where they start in the text storage. Like a remembered
// name scan (base/scan_cache.h), a kept expression holds until its text is
// given back, when forgetExpressions drops it.
#pragma once

#include "base/storage_area.h"

#include <vector>

namespace veldran {

// A step of the evaluator that reads a value, computes or reserves storage;
// what it read from the bytes to get there is not kept. Every evaluation
// begins by reserving the work stack's base marker.
struct ExpressionStep {
  enum Kind : std::uint8_t {
    Fetch,     // the operand is the variable `name`
    Number,    // the operand is `value`
    Push,      // the operand goes on the work stack, with its 16 bytes
    Combine,   // the two top entries become one by `op`; 16 bytes go
    TakeTop,   // the top entry becomes the operand; 16 bytes go
    EndSingle, // the end entry's 16 bytes come and go with the marker
    EndTop,    // the top entry is the result; it and the marker go
    // Only in the steps of a replay that reserves nothing: the operand is
    // pushed and at once combined by `op` with the variable `name`, or
    // `value`; with `ends`, that is the result. The next operand step
    // comes before the operand is read again.
    ApplyFetch,
    ApplyNumber,
  };
  Kind kind = Fetch;
  char op = 0;
  bool ends = false;
  std::uint32_t nameBit = 0; // of a Fetch: the name's storedNameBit
  std::int64_t value = 0;
  Name name{};
  // Of a Fetch step taken again: where the variable was last found as a
  // plain number, the scope searched and the shape stamp of its tables
  // then (0: not found yet).
  std::uint32_t hitEntry = 0;
  LookupScope hitSearched = LookupScope::GLOBAL;
  std::uint64_t hitShape = 0;
};

struct RecordedExpression {
  std::uint32_t at = kNoEntry; // where the first byte read lies
  std::uint8_t taken = 0;      // currentChar when the evaluation began
  char terminator = 0;
  std::uint8_t separator = 0; // the byte that ended the expression
  std::uint16_t advance = 0;  // how far the read position moved
  std::uint32_t peak = 0;     // the most stack the steps hold at once
  std::vector<ExpressionStep> steps;
  std::vector<ExpressionStep> folded; // the steps when nothing is reserved
  bool isShort = false; // folded holds one operand, maybe applied to another
};

// An expression of text that is not stored but read again with the same
// bytes, such as a macro's integer argument at every call: kept with the
// bytes it was read from, and good while they stand at the read position.
struct ExpressionByBytes {
  RecordedExpression expression;
  std::vector<std::uint8_t> bytes;
};

struct ExpressionCache {
  std::array<RecordedExpression, 64> expressions;

  RecordedExpression &slot(std::uint32_t at) {
    static_assert(sizeof expressions / sizeof expressions[0] == 64);
    return expressions[(at * 0x9E3779B9u) >> 26];
  }
};

// Drops the expressions of text from `offset` on, which is given back.
inline void forgetExpressions(ExpressionCache &cache, std::uint32_t offset) {
  for (RecordedExpression &e : cache.expressions)
    if (e.at != kNoEntry && e.at >= offset)
      e.at = kNoEntry;
}

} // namespace veldran
