// A RunHost for the fuzz targets: it checks that every message the core reports is well-formed
// markup (known tags, each closed, none nested, no stray closing tag) whose styled segments
// show exactly the displayed line. With `keepShown` it also keeps the displayed lines, so a
// target can check that the user text it fed appears in them verbatim.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "report/markup.h"
#include "testing/null_host.h"

namespace korvell::fuzz {

class QuietHost final : public testing::NullHost {
 public:
  void log(std::string_view message) override {
    if (const std::string problem = markupProblem(message); !problem.empty()) {
      std::fprintf(stderr, "malformed message (%s): %.*s\n", problem.c_str(),
                   static_cast<int>(message.size()), message.data());
      std::abort();
    }
    std::string line = stripMarkup(message);
    std::string joined;
    for (const StyledSegment& segment : parseMarkup(message))
      joined += segment.text;
    if (joined != line) std::abort();
    if (keepShown) shown.push_back(std::move(line));
    ++lines;
  }

  /// Whether a displayed line is exactly `line`.
  bool showed(std::string_view line) const {
    for (const std::string& s : shown)
      if (s == line) return true;
    return false;
  }

  size_t lines = 0;
  bool keepShown = false;
  std::vector<std::string> shown;
};

}  // namespace korvell::fuzz
