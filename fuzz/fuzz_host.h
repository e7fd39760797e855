// A RunHost for the fuzz targets: it keeps nothing, but checks that every message the core
// reports is markup its parser takes apart without trouble.
#pragma once

#include <cstdlib>
#include <string_view>

#include "report/markup.h"
#include "testing/null_host.h"

namespace korvell::fuzz {

class QuietHost final : public testing::NullHost {
 public:
  void log(std::string_view message) override {
    if (stripMarkup(message).find('[') != std::string::npos) std::abort();
    ++lines;
  }

  size_t lines = 0;
};

}  // namespace korvell::fuzz
