// A RunHost for the fuzz targets: it keeps nothing, but checks that every message the core
// reports is markup its parser takes apart without trouble.
#pragma once

#include <cstdlib>
#include <string_view>

#include "report/console.h"
#include "report/markup.h"

namespace korvell::fuzz {

class QuietHost final : public RunHost {
 public:
  void log(std::string_view message) override {
    if (stripMarkup(message).find('[') != std::string::npos) std::abort();
    ++lines;
  }
  void status(std::string_view, int) override {}
  void clearConsole() override {}
  void processEvents() override {}
  void repaint() override {}
  void setCancelEnabled(bool) override {}
  bool ask(std::string_view) override { return true; }
  void runStarting(RunKind) override {}
  void selectionChanged() override {}
  void runFinished(RunKind) override {}

  size_t lines = 0;
};

}  // namespace korvell::fuzz
