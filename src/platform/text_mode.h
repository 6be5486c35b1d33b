// Text files with LF line ends, read and written as the processor's CR LF
// lines, the way a C runtime's text mode does it: layers over an input or
// output file that translate the line ends and nothing else.
#pragma once

#include "platform/platform.h"

#include <memory>

namespace veldran {

// Every LF that no CR precedes is read as CR LF; a CR LF stays as it is.
std::unique_ptr<InputFile> lfInput(std::unique_ptr<InputFile> file);
// Every CR LF is written as LF; other bytes, a lone CR among them, as they
// are.
std::unique_ptr<OutputFile> lfOutput(std::unique_ptr<OutputFile> file);

} // namespace veldran
