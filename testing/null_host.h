// A RunHost that drops every report and answers Yes: for benchmarks and fuzzing, where only
// the work of the core counts.
#pragma once

#include <string_view>

#include "report/console.h"

namespace korvell::testing {

class NullHost : public RunHost {
 public:
  void log(std::string_view) override {}
  void status(std::string_view, int) override {}
  void clearConsole() override {}
  void processEvents() override {}
  void repaint() override {}
  void setCancelEnabled(bool) override {}
  bool ask(std::string_view) override { return true; }
  void runStarting(RunKind) override {}
  void selectionChanged() override {}
  void runFinished(RunKind) override {}
};

}  // namespace korvell::testing
