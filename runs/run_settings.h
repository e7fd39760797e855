// What a front end hands to a run besides the run state.
#pragma once

#include <string>

namespace korvell {

/// The run that a Read run starts when it ends (the radio group "Auto Demux", "Auto Rebuild",
/// "No auto process").
enum class FollowOn { None, Demux, Rebuild };

struct RunSettings {
  std::string inputPath;     ///< the chosen input file
  std::string outputFolder;  ///< empty: beside the input file
  std::string videoExt = "mpv";
  std::string audioExt = "mpa";
  std::string subExt = "sup";
  bool autoClear = false;
  FollowOn followOn = FollowOn::None;
};

/// How a run ended. Everything but Done and Cancelled is a failure that the run has reported
/// in the console, without "Done.".
enum class RunOutcome { Done, Cancelled, OpenFailed, CreateFailed, WriteFailed, ReadFailed };

inline bool failed(RunOutcome outcome) {
  return outcome != RunOutcome::Done && outcome != RunOutcome::Cancelled;
}

}  // namespace korvell
