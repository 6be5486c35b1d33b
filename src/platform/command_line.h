// Splitting of a program command line into its arguments.
#pragma once

#include <string>
#include <vector>

namespace veldran {

// Splits a command line into arguments with the rules of the Windows C
// runtime, so that a CALL line means the same program arguments on every
// system:
// - blanks and tabs outside double quotes separate arguments;
// - double quotes group text, blanks included, and are removed; a pair of
//   quotes with nothing between them still makes an (empty) argument;
// - 2n backslashes followed by a quote give n backslashes, and the quote
//   opens or closes the quoted text;
// - 2n+1 backslashes followed by a quote give n backslashes and a literal
//   quote;
// - backslashes not followed by a quote are literal;
// - inside quoted text, a doubled quote gives a literal quote and the text
//   stays quoted. This is the rule of the runtimes since 2008; older ones
//   ended the quoted text after the literal quote.
// The program name is split with the same rules as the other arguments.
std::vector<std::string> splitCommandLine(const std::string &commandLine);

} // namespace veldran
