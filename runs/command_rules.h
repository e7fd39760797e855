// Which commands of a front end are enabled, as the runs start and end and the selection
// changes. Qt-free, so the rules are tested without a window; the window shows them.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "report/console.h"

namespace korvell {

/// The commands whose enabled state follows the runs.
enum class Command : size_t { ReadEvo, ReadXpl, Demux, Rebuild, MakeMkv, BrowseEvo, BrowseXpl };
inline constexpr size_t kCommandCount = 7;

/// Rebuild takes an HD DVD program stream, an input whose extension, upper-cased, is ".EVO",
/// and a DVD title (dvdTitle: the run works on a title the IFO describes, whatever the input).
bool rebuildTakes(const std::string& inputPath, bool dvdTitle = false);

class CommandRules {
 public:
  /// Every command starts disabled; the front end enables Read EVO and Read XPL as paths are
  /// chosen (setEnabled) and the browse commands at once.
  CommandRules();

  bool enabled(Command command) const { return enabled_[static_cast<size_t>(command)]; }
  void setEnabled(Command command, bool on) { enabled_[static_cast<size_t>(command)] = on; }
  /// Whether a run is under way (between runStarting and runFinished).
  bool running() const { return running_; }

  /// A run begins: every command is disabled (a click on one would be ignored while the run
  /// works); their states are remembered.
  void runStarting(RunKind kind);

  /// A run has ended: the remembered states come back, the browse commands are enabled, Read
  /// EVO after a Read run and Read XPL after a playlist reading; then Demux, Make MKV and
  /// Rebuild follow the selection as selectionChanged says (after a Read run or a playlist
  /// reading Rebuild starts from disabled: the selection is new).
  void runFinished(RunKind kind, bool anySelected, const std::string& inputPath,
                   bool dvdTitle = false);

  /// A stream box changed: Demux and Make MKV are enabled exactly when a box is checked, and
  /// Rebuild too
  /// for an input Rebuild takes (rebuildTakes; for any other input Rebuild keeps its state).
  /// While a run is under way nothing changes: its end decides.
  void selectionChanged(bool anySelected, const std::string& inputPath, bool dvdTitle = false);

 private:
  std::array<bool, kCommandCount> enabled_{};
  std::array<bool, kCommandCount> before_{};  // the states when the run began
  bool running_ = false;
};

}  // namespace korvell
