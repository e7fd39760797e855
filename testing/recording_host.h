// A RunHost that records what a run reports, for tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "report/console.h"

namespace korvell::testing {

class RecordingHost : public RunHost {
 public:
  void log(std::string_view message) override { lines.emplace_back(message); }
  void logError(std::string_view message) override {
    log(message);
    errors.emplace_back(message);
  }
  void status(std::string_view text, int panel) override;
  void clearConsole() override { lines.clear(); }
  void processEvents() override;
  void repaint() override { ++repaints; }
  void setCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
  bool ask(std::string_view question) override;
  void runStarting(RunKind kind) override { started.push_back(kind); }
  void selectionChanged() override { ++selectionChanges; }
  void runFinished(RunKind kind) override { finished.push_back(kind); }
  bool closing() const override { return closingNow; }

  /// The console transcript, one message a line.
  std::string transcript() const;

  std::vector<std::string> lines;
  /// The messages logged as errors since the host was made (each also in `lines`).
  std::vector<std::string> errors;
  std::vector<std::string> statusTexts[2];
  std::vector<std::string> questions;
  std::vector<RunKind> started;
  std::vector<RunKind> finished;
  bool answer = true;       ///< what ask() answers
  bool closingNow = false;  ///< what closing() answers
  bool cancelEnabled = false;
  int eventPoints = 0;
  int repaints = 0;
  int selectionChanges = 0;
  /// Called at each event point: a test acts there as a user would between two blocks.
  std::function<void(int point)> onEvents;
};

}  // namespace korvell::testing
