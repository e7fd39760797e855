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

/// Reads the titles of the DVD-Video folder at `discPath` (readDvdTitles) and logs, for each
/// title in the disc's order, its number, base name, length, chapters with their start times,
/// angles, streams with their identifiers, palette and the sector ranges of its VOB files; for
/// a title that cannot be played, the one-line reason. A disc that cannot be read logs its
/// reason alone. Ends as every run does ("Done." or the failure, then status "Ready").
TitlesReport titlesRun(const std::string& discPath, Console& console);

}  // namespace korvell
