// The command line's RunHost: console lines on stdout, error lines on stderr, the status as a
// live progress line on stderr, Ctrl-C as the Cancel button.
#pragma once

#include <cstdio>
#include <string>

#include "report/console.h"
#include "runs/run_state.h"

namespace korvell::cli {

/// How console lines are printed.
enum class LineStyle {
  Plain,   ///< markup removed
  Ansi,    ///< bold and colours as ANSI escape sequences
  Markup,  ///< the raw markup
};

/// One console line as the terminal shows it.
std::string renderLine(std::string_view message, LineStyle style);

class TerminalHost : public RunHost {
 public:
  /// progress: whether to draw the status line on stderr (a terminal is attached). Error
  /// lines are printed in style too, unless setErrorStyle says otherwise.
  TerminalHost(RunState& state, LineStyle style, bool progress);
  ~TerminalHost() override;

  void log(std::string_view message) override;
  /// On stderr, also after keepLines() (then plain, after "korvell-cli: ").
  void logError(std::string_view message) override;
  void status(std::string_view text, int panel) override;
  void clearConsole() override {}
  void processEvents() override;
  void repaint() override {}
  void setCancelEnabled(bool) override {}
  bool ask(std::string_view) override { return true; }  // Ctrl-C is the user's Yes
  void runStarting(RunKind) override {}
  void selectionChanged() override {}
  void runFinished(RunKind) override { clearProgress(); }

  /// Keeps each console line instead of printing it (--json: stdout holds the document).
  void keepLines() { keepLines_ = true; }
  /// The last console line kept since keepLines(), markup removed, other than a failed run's
  /// end line; empty when none.
  const std::string& lastLine() const { return lastLine_; }
  /// Whether an error line has been printed.
  bool errorShown() const { return errorShown_; }
  /// How error lines are printed (stderr can be a terminal when stdout is not).
  void setErrorStyle(LineStyle style) { errorStyle_ = style; }

  /// Whether the user pressed Ctrl-C during this process.
  bool interrupted() const;

  /// Installs the Ctrl-C handler: the first Ctrl-C asks the run to stop at its next poll,
  /// a second one ends the process at once.
  static void installInterruptHandler();

 private:
  void drawProgress();
  void clearProgress();

  RunState& state_;
  LineStyle style_;
  LineStyle errorStyle_;
  bool progress_;
  bool progressShown_ = false;
  bool cancelRequested_ = false;
  bool keepLines_ = false;
  bool errorShown_ = false;
  std::string lastLine_;
  std::string panels_[2];
};

}  // namespace korvell::cli
