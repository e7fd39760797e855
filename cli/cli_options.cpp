#include "cli/cli_options.h"

#include "korvell_version.h"
#include "runs/command_rules.h"
#include "runs/file_set.h"

namespace korvell::cli {

namespace {

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

std::optional<Command> commandNamed(const std::string& name) {
  if (name == "read") return Command::Read;
  if (name == "demux") return Command::Demux;
  if (name == "rebuild") return Command::Rebuild;
  if (name == "xpl") return Command::Xpl;
  return std::nullopt;
}

// Bits naming the subcommands whose help lists an option line.
constexpr unsigned kRead = 1, kDemux = 2, kRebuild = 4, kXpl = 8;
constexpr unsigned kReads = kRead | kDemux | kRebuild;  // the options of the Read run
constexpr unsigned kWrites = kDemux | kRebuild;

struct OptionLine {
  unsigned commands;
  const char* text;  // the help lines of the option, each ending in a line feed
};

constexpr OptionLine kOptionLines[] = {
    {kWrites, "  -o, --output DIR     output folder (default: the input file's folder)\n"},
    {kWrites,
     "  --playlist [XPL|auto]\n"
     "                       read the playlist after the Read run: its labels name the\n"
     "                       files and its streams are the ones selected; without XPL or\n"
     "                       with auto, ADV_OBJ/VPLST000.XPL beside the input's HVDVD_TS\n"
     "                       folder\n"},
    {kWrites,
     "  --select LIST        streams to keep, comma-separated: slot names v0, v1,\n"
     "                       a00..a15, s00..s15 or labels such as DD+.stream.03\n"
     "                       (default: every stream found)\n"},
    {kXpl, "  --source FILE        the file whose title is shown\n"},
    {kXpl, "  --tags               also print the playlist's tag lines\n"},
    {kReads, "  --no-continue        do not continue with the second file of the set\n"},
    {kReads, "  --no-fast-check      read the whole file, not only its first ~300 MB\n"},
    {kReads, "  --no-count-frames    do not count video frames\n"},
    {kReads, "  --no-details         do not decode the streams' headers\n"},
    {kDemux,
     "  --delay-names        name audio and subpicture files \"LABEL DELAY <n>ms\", n being\n"
     "                       the stream's delay against video stream 0, as muxers read it\n"},
    {kDemux,
     "  --chapters           with --playlist, also write the title's chapters as\n"
     "                       BASE.chapters.txt and BASE.chapters.xml (the default)\n"},
    {kDemux, "  --no-chapters        do not write the chapter files\n"},
    {kXpl, "  --chapters FILE      write the chapters of the title that plays --source to FILE\n"},
    {kXpl,
     "  --chapters-format F  simple (CHAPTERnn= lines, the default) or xml (Matroska\n"
     "                       chapters)\n"},
    {kDemux, "  --video-ext EXT      extension of video stream files (default mpv)\n"},
    {kDemux, "  --audio-ext EXT      extension of audio stream files (default mpa)\n"},
    {kDemux, "  --sub-ext EXT        extension of subpicture stream files (default sup)\n"},
    {kReads | kXpl,
     "  --color=WHEN         auto, always or never: bold and colours on a terminal\n"},
    {kReads | kXpl,
     "  --markup             print the console's raw markup lines (\"[[\" stands for \"[\")\n"},
    {kReads | kXpl,
     "  --json               print one JSON document on standard output instead of the\n"
     "                       report lines\n"},
    {kReads | kXpl, "  -h, --help           this text\n"},
};

std::string optionLines(unsigned commands) {
  std::string text = "Options:\n";
  for (const OptionLine& line : kOptionLines)
    if ((line.commands & commands) != 0) text += line.text;
  return text;
}

const char* const kExitStatus =
    "Exit status: 0 done, 1 a file could not be opened, created, read or written,\n"
    "2 usage error, 130 stopped by Ctrl-C.\n";

const char* const kCtrlC =
    "Ctrl-C stops a run as the Cancel button does; the run closes its files.\n";

}  // namespace

std::string usageText() {
  return std::string(
             "Usage: korvell-cli read FILE [options]\n"
             "       korvell-cli demux FILE [-o DIR] [--select LIST] [--playlist [XPL|auto]] "
             "[options]\n"
             "       korvell-cli rebuild FILE.EVO [-o DIR] [--select LIST] [--playlist [XPL|auto]] "
             "[options]\n"
             "       korvell-cli xpl PLAYLIST [--source FILE] [--tags] [--chapters FILE]\n"
             "       korvell-cli help [SUBCOMMAND]\n"
             "       korvell-cli SUBCOMMAND --help\n"
             "       korvell-cli --version\n"
             "\n"
             "Reports every elementary stream of an HD DVD .EVO, DVD .VOB or DVD-Audio .AOB file\n"
             "(read), writes the chosen streams to files of their own (demux), or writes a copy\n"
             "of an .EVO without the other streams, the kept ones renumbered (rebuild). All three\n"
             "carry on with the second file of a set (FEATURE_1.EVO, then FEATURE_2.EVO).\n"
             "xpl shows the title of an HD DVD playlist (VPLST000.XPL) that plays --source and\n"
             "the stream labels it gives; --playlist does the same before a demux or rebuild, so\n"
             "the output files carry the playlist's names.\n"
             "\n") +
         optionLines(kReads | kXpl) + "  --version            the version of korvell-cli\n\n" +
         kCtrlC + kExitStatus;
}

std::string helpText(Command topic) {
  std::string text;
  unsigned commands = 0;
  switch (topic) {
    case Command::Read:
      commands = kRead;
      text =
          "Usage: korvell-cli read FILE [options]\n"
          "\n"
          "Reports every elementary stream of FILE, an HD DVD .EVO, DVD .VOB or DVD-Audio\n"
          ".AOB file: its first time stamp and its decoded headers, the navigation packet's\n"
          "VOB number and duration, and the video frame count. Carries on with the second\n"
          "file of a set (FEATURE_1.EVO, then FEATURE_2.EVO).\n";
      break;
    case Command::Demux:
      commands = kDemux;
      text =
          "Usage: korvell-cli demux FILE [-o DIR] [--select LIST] [--playlist [XPL|auto]] "
          "[options]\n"
          "\n"
          "Reads FILE as read does, then writes every stream found, or the selected ones, to\n"
          "DIR/BASE.LABEL.EXT, for example FEATURE_1_FEATURE_2.DD+.stream.00.mpa.\n"
          "Subpictures are written as .sup records. With --playlist the title's chapters are\n"
          "written beside them, unless --no-chapters.\n";
      break;
    case Command::Rebuild:
      commands = kRebuild;
      text =
          "Usage: korvell-cli rebuild FILE.EVO [-o DIR] [--select LIST] "
          "[--playlist [XPL|auto]] [options]\n"
          "\n"
          "Reads FILE.EVO as read does, then writes DIR/BASE.rebuilt.EVO with only the kept\n"
          "streams, renumbered from 0 within each family.\n";
      break;
    case Command::Xpl:
      commands = kXpl;
      text =
          "Usage: korvell-cli xpl PLAYLIST [--source FILE] [--tags] [--chapters FILE] [options]\n"
          "\n"
          "Shows, as a tree, the title of the HD DVD playlist PLAYLIST (VPLST000.XPL) that\n"
          "plays --source, and the stream labels it gives; --chapters writes its chapters.\n";
      break;
    case Command::Help:
    case Command::Version:
      return usageText();
  }
  text += "\n" + optionLines(commands) + "\n";
  if (commands != kXpl) text += kCtrlC;
  return text + kExitStatus;
}

std::string versionText() {
  return "korvell-cli " KORVELL_VERSION "\n";
}

std::optional<CliOptions> parseCommandLine(const std::vector<std::string>& args,
                                           std::string* error) {
  CliOptions options;
  bool playlistAuto = false;
  bool demuxOnly = false;    // --delay-names, --chapters, --no-chapters
  bool formatGiven = false;  // --chapters-format
  if (args.empty()) {
    *error = "no command given";
    return std::nullopt;
  }
  size_t i = 0;
  const std::string& command = args[i++];
  if (command == "--version") {
    options.command = Command::Version;
    return options;
  }
  if (command == "-h" || command == "--help") {
    options.command = Command::Help;
    return options;
  }
  if (command == "help") {
    options.command = Command::Help;
    if (args.size() == 1) return options;
    const std::optional<Command> topic = commandNamed(args[1]);
    if (!topic || args.size() > 2) {
      *error = args.size() > 2 ? "help takes one subcommand" : "unknown command '" + args[1] + "'";
      return std::nullopt;
    }
    options.helpTopic = *topic;
    return options;
  }
  if (const std::optional<Command> named = commandNamed(command)) {
    options.command = *named;
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
    if (out->size() > kMaxExtensionLength) {
      *error = "option " + option + " takes at most " + std::to_string(kMaxExtensionLength) +
               " characters";
      return false;
    }
    return true;
  };
  while (i < args.size()) {
    const std::string arg = args[i++];
    if (arg == "-h" || arg == "--help") {
      options.helpTopic = options.command;
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
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--delay-names") {
      options.delayNames = true;
      demuxOnly = true;
    } else if (arg == "--chapters" && options.command == Command::Xpl) {
      if (!value(arg, &options.chaptersFile)) return std::nullopt;
    } else if (arg == "--chapters" || arg == "--no-chapters") {
      options.writeChapters = arg == "--chapters";
      demuxOnly = true;
    } else if (arg == "--chapters-format") {
      std::string format;
      if (!value(arg, &format)) return std::nullopt;
      if (format == "simple") {
        options.chaptersFormat = ChapterFormat::Simple;
      } else if (format == "xml") {
        options.chaptersFormat = ChapterFormat::Xml;
      } else {
        *error = "--chapters-format takes simple or xml";
        return std::nullopt;
      }
      formatGiven = true;
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
  if (demuxOnly && options.command != Command::Demux) {
    *error = "--delay-names, --chapters and --no-chapters belong to demux";
    return std::nullopt;
  }
  if (formatGiven && options.chaptersFile.empty()) {
    *error = "--chapters-format needs xpl --chapters FILE";
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
