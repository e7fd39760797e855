#include "engine/path_names.h"

#include <filesystem>

namespace korvell {

namespace {

size_t folderLength(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (isPathSeparator(path[i - 1])) return i;
  }
  return 0;
}

}  // namespace

bool isPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == pathSeparator();
#endif
}

char pathSeparator() {
  return static_cast<char>(std::filesystem::path::preferred_separator);
}

std::string folderPart(const std::string& path) {
  return path.substr(0, folderLength(path));
}

std::string namePart(const std::string& path) {
  return path.substr(folderLength(path));
}

std::string CutExt(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot < folderLength(name)) return name;
  return name.substr(0, dot);
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || isPathSeparator(folder.back())) return folder + name;
  return folder + pathSeparator() + name;
}

}  // namespace korvell
