#include "cli/option_table.h"

#include <array>
#include <iterator>

#include "runs/file_set.h"
#include "runs/output_forms.h"
#include "runs/run_settings.h"

namespace korvell::cli {

namespace {

template <bool CliOptions::*field, bool value>
bool setSwitch(CliOptions& options, const std::string&, std::string*) {
  options.*field = value;
  return true;
}

template <std::string CliOptions::*field>
bool setText(CliOptions& options, const std::string& value, std::string*) {
  options.*field = value;
  return true;
}

template <std::string CliOptions::*field>
bool setExtension(CliOptions& options, const std::string& value, std::string* error) {
  if (value.size() > kMaxExtensionLength) {
    *error = "takes at most " + std::to_string(kMaxExtensionLength) + " characters";
    return false;
  }
  options.*field = value;
  return true;
}

// --select a00,DD+.stream.01 --select s12: every list adds its names.
bool addSelection(CliOptions& options, const std::string& value, std::string* error) {
  bool any = false;
  size_t start = 0;
  while (start <= value.size()) {
    const size_t comma = value.find(',', start);
    const size_t end = comma == std::string::npos ? value.size() : comma;
    if (end > start) {
      options.select.push_back(value.substr(start, end - start));
      any = true;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (!any) *error = "needs at least one stream";
  return any;
}

bool setColour(CliOptions& options, const std::string& value, std::string* error) {
  if (value == "auto") {
    options.colour = ColourMode::Auto;
  } else if (value == "always") {
    options.colour = ColourMode::Always;
  } else if (value == "never") {
    options.colour = ColourMode::Never;
  } else {
    *error = "takes auto, always or never, not '" + value + "'";
    return false;
  }
  return true;
}

bool isColourWord(const std::string& argument) {
  return argument == "auto" || argument == "always" || argument == "never";
}

bool setChapterFormat(CliOptions& options, const std::string& value, std::string* error) {
  if (value == "simple") {
    options.chaptersFormat = ChapterFormat::Simple;
  } else if (value == "xml") {
    options.chaptersFormat = ChapterFormat::Xml;
  } else {
    *error = "takes simple or xml, not '" + value + "'";
    return false;
  }
  return true;
}

// A whole number from 1 to kMost: a title of a disc (at most 99), an angle (at most 9).
template <std::optional<int> CliOptions::*field, int kMost>
bool setNumber(CliOptions& options, const std::string& value, std::string* error) {
  const bool digits = !value.empty() && value.size() <= 2 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  const int number = digits ? std::stoi(value) : 0;
  if (number < 1 || number > kMost) {
    *error = "takes a number from 1 to " + std::to_string(kMost) + ", not '" + value + "'";
    return false;
  }
  options.*field = number;
  return true;
}

// --lpcm raw|wav|flac and --subs sup|vobsub|pgs: the forms by the names reports give them.
template <typename Form, Form CliOptions::*field, Form... forms>
bool setForm(CliOptions& options, const std::string& value, std::string* error) {
  for (const Form form : {forms...}) {
    if (value == formName(form)) {
      options.*field = form;
      return true;
    }
  }
  std::string names;
  const Form list[] = {forms...};
  for (size_t i = 0; i < std::size(list); ++i)
    names += std::string(i == 0                     ? ""
                         : i + 1 == std::size(list) ? " or "
                                                    : ", ") +
             formName(list[i]);
  *error = "takes " + names + ", not '" + value + "'";
  return false;
}

// "auto" stays as it is: the parser resolves it once the input is known.
bool setPlaylist(CliOptions& options, const std::string& value, std::string*) {
  options.playlist = value.empty() ? "auto" : value;
  return true;
}

// The input itself (a program stream) or an option is not the playlist.
bool isPlaylistArgument(const std::string& argument) {
  return !argument.starts_with("-") && !isProgramStream(argument);
}

bool askHelp(CliOptions& options, const std::string&, std::string*) {
  if (options.command != Command::Help) {
    options.helpTopic = options.command;
    options.command = Command::Help;
  }
  return true;
}

bool askVersion(CliOptions& options, const std::string&, std::string*) {
  options.command = Command::Version;
  return true;
}

constexpr std::array kSubcommandRows{
    SubcommandRow{
        "read", Command::Read, kRead, "FILE", "[--title N [--angle K]] [options]",
        "Reports every elementary stream of FILE, an HD DVD .EVO, DVD .VOB or DVD-Audio .AOB "
        "file: its first time stamp and its decoded headers, the navigation packet's VOB number "
        "and duration, and the video frame count. Carries on with the second file of a set "
        "(FEATURE_1.EVO, then FEATURE_2.EVO); a DVD's VTS_01_1.VOB goes on over VTS_01_2.VOB "
        "... as one file. With --title N, FILE is a disc (see titles) and the run reads its "
        "title N in play order as one file: a DVD title's cells, an HD DVD title's clips "
        "through their time maps; the stream labels carry the languages the disc gives.",
        true},
    SubcommandRow{
        "demux", Command::Demux, kDemux, "FILE",
        "[-o DIR] [--select LIST] [--playlist [XPL|auto]] [--title N [--angle K]] [options]",
        "Reads FILE as read does, then writes every stream found, or the selected ones, to "
        "DIR/BASE.LABEL.EXT, for example FEATURE_1_FEATURE_2.DD+.stream.00.mpa or "
        "VTS_01_TITLE_1.DD.stream.00.en.mpa. Streams are written as they stand and subpictures as "
        ".sup records, unless --lpcm and --subs choose other forms. With --playlist or --title "
        "the title's chapters are written beside them as "
        "BASE.chapters.txt and BASE.chapters.xml, unless --no-chapters.",
        true},
    SubcommandRow{"rebuild", Command::Rebuild, kRebuild, "FILE.EVO",
                  "[-o DIR] [--select LIST] [--playlist [XPL|auto]] [--title N [--angle K]] "
                  "[options]",
                  "Reads FILE.EVO as read does, then writes DIR/BASE.rebuilt.EVO with only the "
                  "kept streams, renumbered from 0 within each family. With --title N, FILE.EVO "
                  "is a disc: the copy of an HD DVD title's clips is DIR/TITLE_N.rebuilt.EVO, "
                  "of a DVD title's cells DIR/VTS_nn_TITLE_N.rebuilt.VOB.",
                  true},
    SubcommandRow{
        "mkv", Command::Mkv, kMkv, "FILE",
        "[-o FILE.mkv|DIR] [--select LIST] [--playlist [XPL|auto]] [--title N [--angle K]] "
        "[--keep-temp] [options]",
        "Reads FILE as read does and makes one Matroska file of every stream found, or the "
        "selected ones, with mkvmerge (MKVToolNix): the streams are written into a temporary "
        "folder beside the output in the forms mkvmerge takes (LPCM as FLAC, DVD subpictures "
        "as VobSub, HD DVD subpictures as PGS) and muxed in one call, video first, then audio "
        "and subpictures by slot, with the languages, names and forced flags of the playlist "
        "(--playlist) or of the disc's title (--title), the first video and audio tracks the "
        "default ones, "
        "each audio track synced by its delay against the video, and the title's name and "
        "chapters. The output is DIR/BASE.mkv, or FILE.mkv when -o names one.",
        true},
    SubcommandRow{
        "xpl", Command::Xpl, kXpl, "PLAYLIST",
        "[--source FILE] [--tags] [--chapters-file FILE] [options]",
        "Shows, as a tree, the title of the HD DVD playlist PLAYLIST (VPLST000.XPL) that plays "
        "--source, and the stream labels it gives; --chapters-file writes its chapters.",
        false},
    SubcommandRow{"titles", Command::Titles, kTitles, "DISC", "[--playlist XPL] [options]",
                  "Lists the titles of the disc DISC. A DVD-Video disc (the folder that holds "
                  "VIDEO_TS, VIDEO_TS itself or a file in it) as its IFO files describe them: "
                  "each title's title set, length, chapters with their start times, angles, "
                  "audio and subpicture streams with their substream ids and languages, palette "
                  "and the sectors of its VOB files. An HD DVD (its folder, HVDVD_TS, ADV_OBJ or "
                  "a file in them) as its playlist describes it: the highest-numbered "
                  "VPLST$$$.XPL with a clip, or the one --playlist names; each title's name, "
                  "length, clips, named chapters, streams with their languages and descriptions, "
                  "and the sectors of its EVOs that the time maps give. Also the titles that "
                  "cannot be played, with why. DISC may also be a disc image (.iso), read in "
                  "place.",
                  false},
};

constexpr const char* kChaptersMisuse =
    "demux writes the chapter files beside the streams (with --playlist); "
    "xpl PLAYLIST --source FILE --chapters-file FILE writes them to FILE";

// In the order the help lists them.
constexpr std::array kOptionRows{
    OptionRow{"-o,--output", kWrites, Arity::Value, "DIR", setText<&CliOptions::outputFolder>,
              "output folder (default: the input file's folder); for mkv also the Matroska "
              "file itself when it ends in .mkv"},
    OptionRow{"--playlist", kWrites | kTitles, Arity::OptionalValue, "[XPL|auto]", setPlaylist,
              "read the playlist after the Read run: its labels name the files and its streams "
              "are the ones selected; without XPL or with auto, ADV_OBJ/VPLST000.XPL beside the "
              "input's HVDVD_TS folder. With --title, and for titles, the HD DVD playlist the "
              "titles come from (auto: the highest-numbered one with a clip)",
              nullptr, nullptr, "auto", isPlaylistArgument},
    OptionRow{"--select", kWrites, Arity::Value, "LIST", addSelection,
              "streams to keep, comma-separated: slot names v0, v1, a00..a15, s00..s15 or labels "
              "such as DD+.stream.03 (default: every stream found)"},
    OptionRow{"--source", kXpl, Arity::Value, "FILE", setText<&CliOptions::source>,
              "the file whose title is shown"},
    OptionRow{"--tags", kXpl, Arity::Flag, "", setSwitch<&CliOptions::tags, true>,
              "also print the playlist's tag lines"},
    OptionRow{"--no-continue", kReads, Arity::Flag, "", setSwitch<&CliOptions::continueOn, false>,
              "do not continue with the second file of the set"},
    OptionRow{"--no-fast-check", kReads, Arity::Flag, "", setSwitch<&CliOptions::fastCheck, false>,
              "read the whole file, not only its first ~300 MB"},
    OptionRow{"--no-count-frames", kReads, Arity::Flag, "",
              setSwitch<&CliOptions::countFrames, false>, "do not count video frames"},
    OptionRow{"--no-details", kReads, Arity::Flag, "", setSwitch<&CliOptions::details, false>,
              "do not decode the streams' headers"},
    OptionRow{"--delay-names", kDemux, Arity::Flag, "", setSwitch<&CliOptions::delayNames, true>,
              "name audio and subpicture files \"LABEL DELAY <n>ms\", n being the stream's delay "
              "against video stream 0, as muxers read it"},
    OptionRow{"--chapters", kDemux, Arity::Flag, "", setSwitch<&CliOptions::writeChapters, true>,
              "with --playlist, also write the title's chapters beside the streams as "
              "BASE.chapters.txt and BASE.chapters.xml (the default)",
              nullptr, kChaptersMisuse},
    OptionRow{"--no-chapters", kDemux, Arity::Flag, "",
              setSwitch<&CliOptions::writeChapters, false>, "do not write the chapter files"},
    OptionRow{"--file", kReads | kXpl, Arity::Value, "PATH", setText<&CliOptions::file>,
              "with a disc image (.iso) as input, the file inside it to read, such as "
              "HVDVD_TS/FEATURE_1.EVO (xpl: ADV_OBJ/VPLST000.XPL); the image is read in place"},
    OptionRow{"--title", kReads, Arity::Value, "N", setNumber<&CliOptions::title, 99>,
              "read title N of the disc FILE, a folder or a disc image .iso (see titles), in play "
              "order as one file: a DVD title's cells (base name VTS_nn_TITLE_N) or an HD DVD "
              "title's clips (TITLE_N)"},
    OptionRow{"--angle", kReads, Arity::Value, "K", setNumber<&CliOptions::angle, 9>,
              "with --title, the cells of angle K", "1"},
    OptionRow{"--keep-temp", kMkv, Arity::Flag, "", setSwitch<&CliOptions::keepTemp, true>,
              "keep the temporary folder of the demuxed streams, and write mkvmerge's option "
              "file beside the output (BASE.mkvmerge.json)"},
    OptionRow{"--chapters-file", kXpl, Arity::Value, "FILE", setText<&CliOptions::chaptersFile>,
              "write the chapters of the title that plays --source to FILE"},
    OptionRow{"--chapters-format", kXpl, Arity::Value, "F", setChapterFormat,
              "with --chapters-file: simple (CHAPTERnn= lines, the default) or xml (Matroska "
              "chapters)"},
    OptionRow{
        "--lpcm", kDemux, Arity::Value, "raw|wav|flac",
        setForm<LpcmForm, &CliOptions::lpcmForm, LpcmForm::Raw, LpcmForm::Wav, LpcmForm::Flac>,
        "LPCM streams as they stand, as WAV files (RF64 past 4 GiB) or as FLAC files; a "
        "stream whose first header is damaged is written as it stands",
        "raw"},
    OptionRow{"--subs", kDemux, Arity::Value, "sup|vobsub|pgs",
              setForm<SubpictureForm, &CliOptions::subpictureForm, SubpictureForm::SupRecords,
                      SubpictureForm::VobSub, SubpictureForm::Pgs>,
              "subpictures as .sup records, as VobSub (.idx and .sub; 8-bit HD DVD subpictures "
              "stay .sup records) or as a Blu-ray PGS .sup",
              "sup"},
    OptionRow{"--codec-extensions", kDemux, Arity::Flag, "",
              setSwitch<&CliOptions::codecExtensions, true>,
              "name the files of streams written as they stand by codec: .m2v, .h264, .vc1, "
              ".ac3, .eac3, .dts, .thd, .mlp, .lpcm, .sup (instead of --video-ext, --audio-ext "
              "and --sub-ext)"},
    OptionRow{"--video-ext", kDemux, Arity::Value, "EXT", setExtension<&CliOptions::videoExt>,
              "extension of video stream files", kDefaultVideoExt},
    OptionRow{"--audio-ext", kDemux, Arity::Value, "EXT", setExtension<&CliOptions::audioExt>,
              "extension of audio stream files", kDefaultAudioExt},
    OptionRow{"--sub-ext", kDemux, Arity::Value, "EXT", setExtension<&CliOptions::subExt>,
              "extension of subpicture stream files", kDefaultSubExt},
    OptionRow{"--color", kSubcommands, Arity::OptionalValue, "[WHEN]", setColour,
              "auto, always (also without WHEN) or never: bold and colours on a terminal", nullptr,
              nullptr, "always", isColourWord},
    OptionRow{"--markup", kSubcommands, Arity::Flag, "", setSwitch<&CliOptions::markup, true>,
              "print the console's raw markup lines (\"[[\" stands for \"[\")"},
    OptionRow{"--json", kSubcommands, Arity::Flag, "", setSwitch<&CliOptions::json, true>,
              "print one JSON document on standard output instead of the report lines"},
    OptionRow{"-h,--help", kBare | kSubcommands, Arity::Flag, "", askHelp, "this text"},
    OptionRow{"--version", kBare, Arity::Flag, "", askVersion, "the version of korvell-cli"},
};

}  // namespace

std::span<const SubcommandRow> subcommandTable() {
  return kSubcommandRows;
}

std::span<const OptionRow> optionTable() {
  return kOptionRows;
}

const SubcommandRow* subcommandNamed(const std::string& name) {
  for (const SubcommandRow& row : kSubcommandRows)
    if (name == row.name) return &row;
  return nullptr;
}

std::string longName(const OptionRow& row) {
  const std::string names = row.names;
  const size_t comma = names.find(',');
  return comma == std::string::npos ? names : names.substr(comma + 1);
}

const OptionRow* optionNamed(const std::string& name) {
  for (const OptionRow& row : kOptionRows) {
    const std::string names = row.names;
    const size_t comma = names.find(',');
    if (name == longName(row) || (comma != std::string::npos && name == names.substr(0, comma))) {
      return &row;
    }
  }
  return nullptr;
}

std::string subcommandNames(unsigned commands) {
  std::vector<std::string> names;
  for (const SubcommandRow& row : kSubcommandRows)
    if ((commands & row.bit) != 0) names.emplace_back(row.name);
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

}  // namespace korvell::cli
