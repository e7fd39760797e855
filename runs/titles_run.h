// The listing of a disc's titles (korvell-cli titles DISC): what a DVD's IFO files or an HD
// DVD's playlist and time maps say about each title, shown in the console and handed back as
// data.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "disc/hddvd_disc.h"
#include "disc/ifo.h"
#include "engine/file_system.h"
#include "report/console.h"
#include "runs/run_settings.h"

namespace korvell {

/// What titlesRun read.
struct TitlesReport {
  /// Done when the disc could be read and has a title that can be played; otherwise Failed,
  /// which the run has logged (`failure` carries its kind and message).
  RunOutcome outcome = RunOutcome::Done;
  /// The disc's failure, or (when no title can be played) the first title's problem; Ok on Done.
  Status failure;
  /// Whether the disc is an HD DVD (its titles come from a playlist) or a DVD.
  bool hdDvd = false;
  std::string videoTsFolder;  ///< DVD: the folder that holds VIDEO_TS.IFO
  std::string playlistPath;   ///< HD DVD: the playlist the titles come from
  /// HD DVD: the lines about the reading (which playlist, what was passed over, maps not used).
  std::vector<std::string> notes;
  std::vector<Title> titles;
  std::optional<Title> firstPlay;  ///< HD DVD: the first-play title, when it can be played
  std::vector<TitleProblem> problems;
};

/// Whether `path` lies in an HD DVD (the disc folder, its HVDVD_TS or ADV_OBJ folder, or any
/// file in them); otherwise it is taken for a DVD.
bool isHdDvdPath(const std::string& path, const FileSystem& files = realFileSystem());

/// Reads the titles of the disc at `discPath`: an HD DVD's from `playlistPath`, or from the
/// playlist readHdDvdTitles chooses when it is empty; a DVD-Video folder's from its IFO files
/// (readDvdTitles; a playlist is refused there). Logs the HD DVD's notes, then for each
/// title in the disc's order its number, base name, length, chapters with their start times
/// (and names), angles, streams with their identifiers, palette and the sector ranges of its
/// files; an HD DVD title line also gives its name, clips and its audio and subtitle
/// languages, and its first-play title comes first, without a number. For a title that
/// cannot be played, the one-line reason. A disc that cannot be read logs its reason alone.
/// Ends as every run does ("Done." or the failure, then status "Ready").
TitlesReport titlesRun(const std::string& discPath, Console& console,
                       const std::string& playlistPath = "", FileSystem& files = realFileSystem());

/// The titles a front end offers for its input file, and the one it starts with.
struct InputTitles {
  /// The titles that can be played of the disc that holds the input: of the DVD-Video folder
  /// that holds a .VOB input (angle 1), or of the HD DVD whose HVDVD_TS holds an .EVO input;
  /// empty for any other input, or when the disc cannot serve. Then the runs read the file and
  /// its set (prepareFileSet).
  std::vector<Title> titles;
  /// The index in `titles` of the title the runs start with, or -1: the runs then read the
  /// file until the user chooses a title. For a .VOB the title that starts in it
  /// (titleStartingIn); an .EVO starts with none, so it reads as a file as it always has; a
  /// whole disc starts with its first title.
  int chosen = -1;
  /// Console lines (markup, with outside text escaped) to show once when the input is
  /// chosen: why there is no title list and how the file is read instead, the titles that
  /// cannot be played, or that no title starts in the input. Empty for a non-VOB input and for
  /// a VOB in which a title starts and every title can be played.
  std::vector<std::string> notes;
};

/// What titles a front end offers for `inputPath` of `files`: for a .VOB file (any case) the
/// titles of its disc (readDvdTitles), with the title that starts in it chosen; for an .EVO
/// file in an HD DVD the titles of its disc (readHdDvdTitles), none chosen, with the reading's
/// notes; for a folder (a whole disc: the root of a disc image, resolveInput) the titles of
/// the DVD or HD DVD in it, the first chosen; nothing for other files. continueOn: whether the runs
/// would continue over the file's set, which the notes say.
InputTitles titlesForInput(const std::string& inputPath, bool continueOn,
                           FileSystem& files = realFileSystem());

/// How a front end names a title in its list: "Title 1: 0:00:08.000, 4 chapters", with the
/// disc's name for it when it has one ("Title 1 "Feature": ...").
std::string titleCaption(const Title& title);

/// Reads title `number` of the disc at `discPath` for a run: of an HD DVD from `playlistPath`
/// (or the playlist readHdDvdTitles chooses), which has one angle; of a DVD-Video folder with
/// the extents of angle `angle` (readDvdTitle). When it cannot be played, logs its one-line
/// reason (which names the file) as an error line and returns false; *title is then
/// unspecified.
bool loadDiscTitle(const std::string& discPath, int number, int angle,
                   const std::string& playlistPath, Console& console, Title* title,
                   FileSystem& files = realFileSystem());

}  // namespace korvell
