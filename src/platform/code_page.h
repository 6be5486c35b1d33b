// The processor's own texts are in code page 850; a UTF-8 console gets
// them converted.
#pragma once

#include <string>
#include <string_view>

namespace veldran {

// Converts code page 850 text to UTF-8; bytes below 0x80 stay as they are.
std::string utf8FromCodePage850(std::string_view text);

} // namespace veldran
