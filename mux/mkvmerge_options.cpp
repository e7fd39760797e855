#include "mux/mkvmerge_options.h"

#include <nlohmann/json.hpp>
#include <string_view>

#include "mux/language_codes.h"
#include "report/display_text.h"

namespace korvell {

namespace {

// mkvmerge reads a source file argument that starts with '+' or '=' (appending, no
// concatenation), '(' ')' '[' ']' (file lists) or '-' (an option) as more than a name; a
// relative path so made starts with "./" instead, which names the same file.
std::string fileArgument(const std::string& path) {
  if (!path.empty() && std::string_view("+=()[]-@").find(path.front()) != std::string_view::npos) {
    return "./" + path;
  }
  return path;
}

}  // namespace

std::vector<std::string> mkvmergeArguments(const MuxDescription& description) {
  std::vector<std::string> arguments = {"--gui-mode", "-o", description.outputPath};
  if (!description.title.empty()) {
    arguments.insert(arguments.end(), {"--title", displayUtf8(description.title)});
  }
  if (!description.chaptersPath.empty()) {
    arguments.insert(arguments.end(), {"--chapters", description.chaptersPath});
  }
  // Each input file holds one track, whose id in that file is 0.
  for (const MuxTrack& track : description.tracks) {
    arguments.insert(arguments.end(), {"--language", "0:" + matroskaLanguage(track.language)});
    if (!track.name.empty()) {
      arguments.insert(arguments.end(), {"--track-name", "0:" + displayUtf8(track.name)});
    }
    arguments.insert(arguments.end(), {"--default-track-flag", track.isDefault ? "0:yes" : "0:no"});
    if (track.forced) arguments.insert(arguments.end(), {"--forced-display-flag", "0:yes"});
    if (track.family == Family::Audio && track.syncMs != 0) {
      arguments.insert(arguments.end(), {"--sync", "0:" + std::to_string(track.syncMs)});
    }
    arguments.push_back(fileArgument(track.path));
  }
  return arguments;
}

Status mkvmergeOptionFile(const MuxDescription& description, std::string* optionFile) {
  const std::vector<std::string> arguments = mkvmergeArguments(description);
  for (const std::string& argument : arguments) {
    if (!isValidUtf8(argument)) {
      return Status::invalid("The path \"" + displayUtf8(argument) +
                             "\" is not valid UTF-8, which mkvmerge's option file cannot hold.");
    }
  }
  // Every string is valid UTF-8 now, so dump cannot throw.
  std::string text = "[\n";
  for (size_t i = 0; i < arguments.size(); ++i) {
    text += "  " + nlohmann::json(arguments[i]).dump();
    text += i + 1 < arguments.size() ? ",\n" : "\n";
  }
  text += "]\n";
  *optionFile = std::move(text);
  return {};
}

}  // namespace korvell
