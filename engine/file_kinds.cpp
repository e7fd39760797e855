#include "engine/file_kinds.h"

#include <algorithm>

#include "report/ascii_text.h"

namespace korvell {

namespace {

bool isSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == '/';
#endif
}

}  // namespace

std::string upperExtension(std::string_view path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  const std::string_view ext = path.substr(dot);
  if (std::any_of(ext.begin(), ext.end(), isSeparator)) return {};
  return asciiUppered(ext);
}

bool isProgramStream(std::string_view path) {
  const std::string extension = upperExtension(path);
  return std::any_of(kProgramStreamKinds.begin(), kProgramStreamKinds.end(),
                     [&](const ProgramStreamKind& kind) { return extension == kind.extension; });
}

bool isAudioObject(std::string_view path) {
  return upperExtension(path) == ".AOB";
}

}  // namespace korvell
