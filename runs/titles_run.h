// The listing of a DVD's titles (korvell-cli titles DISC): what the IFO files say about each
// title, shown in the console and handed back as data.
#pragma once

#include <string>
#include <vector>

#include "disc/ifo.h"
#include "report/console.h"
#include "runs/run_settings.h"

namespace korvell {

/// What titlesRun read.
struct TitlesReport {
  /// Done when the disc could be read and has a title that can be played; otherwise the
  /// failure (OpenFailed or ReadFailed), which the run has logged.
  RunOutcome outcome = RunOutcome::Done;
  /// The disc's failure, or (when no title can be played) the first title's problem; Ok on Done.
  Status failure;
  std::string videoTsFolder;
  std::vector<Title> titles;
  std::vector<TitleProblem> problems;
};

/// Reads the titles of the DVD-Video folder at `discPath` of `files` (readDvdTitles; a disc
/// image's own path is its root folder) and logs, for each
/// title in the disc's order, its number, base name, length, chapters with their start times,
/// angles, streams with their identifiers, palette and the sector ranges of its VOB files; for
/// a title that cannot be played, the one-line reason. A disc that cannot be read logs its
/// reason alone. Ends as every run does ("Done." or the failure, then status "Ready").
TitlesReport titlesRun(const std::string& discPath, Console& console,
                       FileSystem& files = realFileSystem());

/// The titles a front end offers for its input file, and the one it starts with.
struct InputTitles {
  /// The titles that can be played of the DVD-Video folder that holds a .VOB input, in the
  /// disc's order (angle 1); empty for any other input, or when the disc's IFO files cannot
  /// serve. Then the runs read the file and its set (prepareFileSet).
  std::vector<Title> titles;
  /// The index in `titles` of the title that starts in the input (titleStartingIn; the first
  /// title for a disc image), or -1 when none does: the runs then read the file until the user
  /// chooses a title.
  int chosen = -1;
  /// Console lines (markup, with outside text escaped) to show once when the input is
  /// chosen: why there is no title list and how the file is read instead, the titles that
  /// cannot be played, or that no title starts in the input. Empty for a non-VOB input and for
  /// a VOB in which a title starts and every title can be played.
  std::vector<std::string> notes;
};

/// What titles a front end offers for `inputPath` of `files`: for a .VOB file (any case) the
/// titles of its disc (readDvdTitles), with the title that starts in it chosen; for a folder (a
/// disc image's root, resolveInput) the titles of the disc in it, with the first chosen;
/// nothing for other files. continueOn: whether the runs would continue over the file's set,
/// which the notes say.
InputTitles titlesForInput(const std::string& inputPath, bool continueOn,
                           FileSystem& files = realFileSystem());

/// How a front end names a title in its list: "Title 1: 0:00:08.000, 4 chapters".
std::string titleCaption(const Title& title);

/// Reads title `number`, angle `angle`, of the DVD-Video folder at `discPath` for a run
/// (readDvdTitle). When it cannot be played, logs its one-line reason (which names the file)
/// as an error line and returns false; *title is then unspecified.
bool loadDvdTitle(const std::string& discPath, int number, int angle, Console& console,
                  Title* title, FileSystem& files = realFileSystem());

}  // namespace korvell
