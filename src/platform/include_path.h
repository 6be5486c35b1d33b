// Where an INCLUDE name is looked for when it does not exist as given.
#pragma once

#include <string>
#include <vector>

namespace veldran {

// The names to try after `name` itself, in order: in the directory of
// `includingFile` (when it has one), then in each of `directories`. None
// for an absolute name.
std::vector<std::string>
includeCandidates(const std::string &name, const std::string &includingFile,
                  const std::vector<std::string> &directories);

// The directories of a search path of the form DIR:DIR:...; empty parts
// are left out.
std::vector<std::string> splitSearchPath(const std::string &path);

} // namespace veldran
