// The command line of korvell-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runs/run_settings.h"

namespace korvell::cli {

enum class Command { Read, Demux, Rebuild, Mkv, Xpl, Titles, Help, Version };
enum class ColourMode { Auto, Always, Never };
enum class ChapterFormat { Simple, Xml };

struct CliOptions {
  Command command = Command::Help;
  Command helpTopic = Command::Help;  ///< help SUBCOMMAND, SUBCOMMAND --help; Help: the overview
  std::string
      input;  ///< the program stream, the DVD disc for titles and --title, the playlist for xpl
  std::string outputFolder;
  /// --playlist: names and selects the streams before the run; a bare --playlist (or "auto")
  /// is resolved here to the disc's playlist beside the input's HVDVD_TS folder.
  std::string playlist;
  std::string source;               ///< xpl --source: the file whose title is shown
  bool tags = false;                ///< xpl --tags: also print the playlist's tag lines
  std::vector<std::string> select;  ///< slot names (v0, a03, s12) or labels; empty: all found
  bool continueOn = true;
  bool fastCheck = true;
  bool countFrames = true;
  bool details = true;
  std::string videoExt = kDefaultVideoExt;
  std::string audioExt = kDefaultAudioExt;
  std::string subExt = kDefaultSubExt;
  ColourMode colour = ColourMode::Auto;
  bool markup = false;
  bool json = false;                  ///< --json: one JSON document on stdout instead of the lines
  bool delayNames = false;            ///< demux --delay-names
  LpcmForm lpcmForm = LpcmForm::Raw;  ///< demux --lpcm
  SubpictureForm subpictureForm = SubpictureForm::SupRecords;  ///< demux --subs
  bool codecExtensions = false;                                ///< demux --codec-extensions
  bool writeChapters = true;                                   ///< demux --chapters / --no-chapters
  std::string chaptersFile;                                    ///< xpl --chapters-file FILE
  /// --file PATH: with a disc image (.iso) as input, the file inside it to read
  /// ("HVDVD_TS/FEATURE_1.EVO"); empty otherwise.
  std::string file;
  std::optional<int> title;  ///< read, demux, rebuild --title N: the DVD title to read
  std::optional<int> angle;  ///< --angle K with --title; angle 1 when not given
  bool keepTemp = false;     ///< mkv --keep-temp
  ChapterFormat chaptersFormat = ChapterFormat::Simple;  ///< xpl --chapters-format
};

/// Parses argv[1..]. Each subcommand takes its own options only (option_table.h); an option
/// of another subcommand, an unknown option, a value after a flag or a second input file is a
/// usage error: returns nothing and sets *error to a message that names the argument.
std::optional<CliOptions> parseCommandLine(const std::vector<std::string>& args,
                                           std::string* error);

/// The line printed under a usage error: where to read the options of the subcommand that
/// args name, or of every subcommand.
std::string usageHint(const std::vector<std::string>& args);

/// The text of --help: every subcommand and every option.
std::string usageText();

/// The text of help SUBCOMMAND and SUBCOMMAND --help: that subcommand's synopsis and options;
/// usageText() for Command::Help.
std::string helpText(Command topic);

/// The text of --version.
std::string versionText();

}  // namespace korvell::cli
