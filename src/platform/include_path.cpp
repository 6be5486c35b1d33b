#include "platform/include_path.h"

namespace veldran {

namespace {

std::string joined(const std::string &directory, const std::string &name) {
  if (directory.empty() || directory.back() == '/')
    return directory + name;
  return directory + "/" + name;
}

} // namespace

std::vector<std::string>
includeCandidates(const std::string &name, const std::string &includingFile,
                  const std::vector<std::string> &directories) {
  std::vector<std::string> candidates;
  if (name.empty() || name[0] == '/')
    return candidates;
  std::size_t slash = includingFile.rfind('/');
  if (slash != std::string::npos)
    candidates.push_back(joined(includingFile.substr(0, slash + 1), name));
  for (const std::string &directory : directories)
    candidates.push_back(joined(directory, name));
  return candidates;
}

std::vector<std::string> splitSearchPath(const std::string &path) {
  std::vector<std::string> directories;
  std::size_t from = 0;
  for (;;) {
    std::size_t colon = path.find(':', from);
    std::string part = path.substr(from, colon - from);
    if (!part.empty())
      directories.push_back(part);
    if (colon == std::string::npos)
      return directories;
    from = colon + 1;
  }
}

} // namespace veldran
