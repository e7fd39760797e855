// The two small interfaces through which the core reports to whoever drives it.
#pragma once

#include <optional>
#include <string_view>

namespace korvell {

/// Where runs, the walker and the analysers report. Messages carry the inline markup of
/// report/markup.h ("[b]MPEG-2[/b] video stream 0 found!").
class Console {
 public:
  virtual ~Console() = default;

  /// Appends one message as a new line. An empty message appends an empty line.
  virtual void log(std::string_view message) = 0;

  /// Appends one message that says why a run failed ("Cannot open file ..."). A front end
  /// that keeps errors apart (the command line's standard error) overrides it; by default it
  /// is a line like any other.
  virtual void logError(std::string_view message) { log(message); }

  /// Sets the text of a status panel: 0 holds the state of the run ("Ready", "Reading X"),
  /// 1 the detail or progress. The front end shows it at once, even while a run is busy.
  virtual void status(std::string_view text, int panel) = 0;
};

/// The kinds of run a front end can start; the front end's enabling rules depend on them.
/// Matroska: Make MKV, whose Demux step is part of it (no run of its own).
enum class RunKind { Read, Demux, Rebuild, Playlist, Matroska };

/// What a run needs from its front end besides the console.
class RunHost : public Console {
 public:
  /// Empties the console (the Read run's "Auto clear").
  virtual void clearConsole() = 0;

  /// Lets pending user events through; called every 4 MiB of input. This is the only place
  /// where a Cancel or a change of the stream selection can reach a busy run.
  virtual void processEvents() = 0;

  /// Repaints the whole window; called every 64 MiB of input.
  virtual void repaint() = 0;

  /// Cancel is enabled while a walker or rebuild pass runs, and disabled when it ends.
  virtual void setCancelEnabled(bool enabled) = 0;

  /// The progress of the pass under way: `percent` (0..100) and, where known, the time it
  /// still needs; called with the status text of the pass. The window shows a progress bar.
  virtual void progress(int percent, std::optional<double> remainingSeconds) {
    (void)percent;
    (void)remainingSeconds;
  }

  /// Asks a Yes/No question; true means Yes.
  virtual bool ask(std::string_view question) = 0;

  /// A run begins: the front end disables the commands the run's kind disables and shows
  /// its status page.
  virtual void runStarting(RunKind kind) = 0;

  /// The run changed the stream selection or the labels of the run state (reset at the start
  /// of a Read run, filled at its end): the front end shows them.
  virtual void selectionChanged() = 0;

  /// The run has ended, whether it finished, was cancelled or failed: the front end enables
  /// its commands again by its rules.
  virtual void runFinished(RunKind kind) = 0;

  /// The front end is closing: a run that ends now starts no follow-on run.
  virtual bool closing() const { return false; }
};

}  // namespace korvell
