#include "cli/cli_options.h"

#include "runs/command_rules.h"
#include "runs/file_set.h"

namespace korvell::cli {

namespace {

constexpr size_t kMaxExtension = 5;  // the window's extension fields take at most 5 characters

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const size_t end = comma == std::string::npos ? text.size() : comma;
    if (end > start) items.push_back(text.substr(start, end - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

bool isProgramStream(const std::string& path) {
  const std::string extension = upperExtension(path);
  return extension == ".EVO" || extension == ".VOB" || extension == ".AOB";
}

}  // namespace

std::string usageText() {
  return "Usage: korvell-cli read FILE [options]\n"
         "       korvell-cli demux FILE [-o DIR] [--select LIST] [--playlist [XPL]] [options]\n"
         "       korvell-cli rebuild FILE.EVO [-o DIR] [--select LIST] [--playlist [XPL]] "
         "[options]\n"
         "       korvell-cli xpl PLAYLIST [--source FILE] [--tags]\n"
         "\n"
         "Reports every elementary stream of an HD DVD .EVO, DVD .VOB or DVD-Audio .AOB file\n"
         "(read), writes the chosen streams to files of their own (demux), or writes a copy\n"
         "of an .EVO without the other streams, the kept ones renumbered (rebuild). All three\n"
         "carry on with the second file of a set (FEATURE_1.EVO, then FEATURE_2.EVO).\n"
         "xpl shows the title of an HD DVD playlist (VPLST000.XPL) that plays --source and\n"
         "the stream labels it gives; --playlist does the same before a demux or rebuild, so\n"
         "the output files carry the playlist's names.\n"
         "\n"
         "Options:\n"
         "  -o, --output DIR     output folder (default: the input file's folder)\n"
         "  --playlist [XPL]     read the playlist after the Read run: its labels name the\n"
         "                       files and its streams are the ones selected; without XPL\n"
         "                       (or with auto) the disc's ADV_OBJ/VPLST000.XPL beside the\n"
         "                       input's HVDVD_TS folder\n"
         "  --select LIST        streams to keep, comma-separated: slot names v0, v1,\n"
         "                       a00..a15, s00..s15 or labels such as DD+.stream.03\n"
         "                       (default: every stream found)\n"
         "  --no-continue        do not continue with the second file of the set\n"
         "  --no-fast-check      read the whole file, not only its first ~300 MB\n"
         "  --no-count-frames    do not count video frames\n"
         "  --no-details         do not decode the streams' headers\n"
         "  --video-ext EXT      extension of video stream files (default mpv)\n"
         "  --audio-ext EXT      extension of audio stream files (default mpa)\n"
         "  --sub-ext EXT        extension of subpicture stream files (default sup)\n"
         "  --color=WHEN         auto, always or never: bold and colours on a terminal\n"
         "  --markup             print the console's raw markup lines (\"[[\" stands for \"[\")\n"
         "  -h, --help           this text\n"
         "\n"
         "Ctrl-C stops a run as the Cancel button does; the run closes its files.\n"
         "Exit status: 0 done, 1 a file could not be opened, created, read or written,\n"
         "2 usage error, 130 stopped by Ctrl-C.\n";
}

std::optional<CliOptions> parseCommandLine(const std::vector<std::string>& args,
                                           std::string* error) {
  CliOptions options;
  bool playlistAuto = false;
  if (args.empty()) {
    *error = "no command given";
    return std::nullopt;
  }
  size_t i = 0;
  const std::string& command = args[i++];
  if (command == "-h" || command == "--help" || command == "help") {
    options.command = Command::Help;
    return options;
  }
  if (command == "read") {
    options.command = Command::Read;
  } else if (command == "demux") {
    options.command = Command::Demux;
  } else if (command == "rebuild") {
    options.command = Command::Rebuild;
  } else if (command == "xpl") {
    options.command = Command::Xpl;
  } else {
    *error = "unknown command '" + command + "'";
    return std::nullopt;
  }
  const auto value = [&](const std::string& option, std::string* out) {
    if (i >= args.size()) {
      *error = "option " + option + " needs a value";
      return false;
    }
    *out = args[i++];
    return true;
  };
  const auto extension = [&](const std::string& option, std::string* out) {
    if (!value(option, out)) return false;
    if (out->size() > kMaxExtension) {
      *error = "option " + option + " takes at most 5 characters";
      return false;
    }
    return true;
  };
  while (i < args.size()) {
    const std::string arg = args[i++];
    if (arg == "-h" || arg == "--help") {
      options.command = Command::Help;
      return options;
    }
    if (arg == "-o" || arg == "--output") {
      if (!value(arg, &options.outputFolder)) return std::nullopt;
    } else if (arg == "--select") {
      std::string list;
      if (!value(arg, &list)) return std::nullopt;
      for (auto& item : splitList(list))
        options.select.push_back(item);
      if (options.select.empty()) {
        *error = "option --select needs at least one stream";
        return std::nullopt;
      }
    } else if (arg == "--playlist" || arg.starts_with("--playlist=")) {
      // The value is optional: a following argument is taken as the playlist unless it is an
      // option or a program stream (the input).
      if (arg != "--playlist") {
        options.playlist = arg.substr(arg.find('=') + 1);
      } else if (i < args.size() && !args[i].starts_with("-") && !isProgramStream(args[i])) {
        options.playlist = args[i++];
      }
      playlistAuto = options.playlist.empty() || options.playlist == "auto";
    } else if (arg == "--source") {
      if (!value(arg, &options.source)) return std::nullopt;
    } else if (arg == "--tags") {
      options.tags = true;
    } else if (arg == "--no-continue") {
      options.continueOn = false;
    } else if (arg == "--no-fast-check") {
      options.fastCheck = false;
    } else if (arg == "--no-count-frames") {
      options.countFrames = false;
    } else if (arg == "--no-details") {
      options.details = false;
    } else if (arg == "--video-ext") {
      if (!extension(arg, &options.videoExt)) return std::nullopt;
    } else if (arg == "--audio-ext") {
      if (!extension(arg, &options.audioExt)) return std::nullopt;
    } else if (arg == "--sub-ext") {
      if (!extension(arg, &options.subExt)) return std::nullopt;
    } else if (arg == "--markup") {
      options.markup = true;
    } else if (arg.starts_with("--color")) {
      const std::string when = arg == "--color" ? "always" : arg.substr(arg.find('=') + 1);
      if (arg != "--color" && arg[7] != '=') {
        *error = "unknown option '" + arg + "'";
        return std::nullopt;
      }
      if (when == "auto") {
        options.colour = ColourMode::Auto;
      } else if (when == "always") {
        options.colour = ColourMode::Always;
      } else if (when == "never") {
        options.colour = ColourMode::Never;
      } else {
        *error = "--color takes auto, always or never";
        return std::nullopt;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option '" + arg + "'";
      return std::nullopt;
    } else if (options.input.empty()) {
      options.input = arg;
    } else {
      *error = "more than one input file given";
      return std::nullopt;
    }
  }
  if (options.input.empty()) {
    *error = "no input file given";
    return std::nullopt;
  }
  const bool writes = options.command == Command::Demux || options.command == Command::Rebuild;
  if (!writes && (!options.select.empty() || !options.outputFolder.empty() ||
                  !options.playlist.empty() || playlistAuto)) {
    *error = "--select, --output and --playlist belong to demux and rebuild";
    return std::nullopt;
  }
  if (options.command != Command::Xpl && (!options.source.empty() || options.tags)) {
    *error = "--source and --tags belong to xpl";
    return std::nullopt;
  }
  if (playlistAuto) {
    options.playlist = discPlaylistPath(options.input);
    if (options.playlist.empty()) {
      *error = "--playlist: '" + options.input +
               "' does not lie in an HVDVD_TS folder, so no disc playlist is beside it; name "
               "the playlist file";
      return std::nullopt;
    }
  }
  if (options.command == Command::Rebuild && !rebuildTakes(options.input)) {
    *error = "rebuild takes an .EVO file only: '" + options.input + "' is not one";
    return std::nullopt;
  }
  return options;
}

}  // namespace korvell::cli
