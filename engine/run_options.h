// The options of a run: the walker and the runs read them at each decision, so a change made
// while a run lets events through (a box of the window) takes effect at once.
#pragma once

namespace korvell {

struct RunOptions {
  bool FastCheck = true;        ///< a scan stops past kFastCheckLimit bytes
  bool CountFrames = true;      ///< video payload goes through the frame counter
  bool Details = true;          ///< each stream's first payload goes to its analyser
  bool Continue = true;         ///< a run goes on over the second file of its set
  char decimalSeparator = '.';  ///< of the real numbers the analysers print
};

}  // namespace korvell
