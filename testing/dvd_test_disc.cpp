#include "testing/dvd_test_disc.h"

#include <memory>

#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell::testing {

const DvdTestDisc& dvdTestDisc() {
  static const std::unique_ptr<TempFolder> folder = std::make_unique<TempFolder>();
  static const DvdTestDisc disc = [] {
    DvdTestDisc built;
    for (const char* tool : {"ffmpeg", "spumux", "dvdauthor", "lsdvd"}) {
      if (runCommand(std::string("command -v ") + tool).output.empty()) {
        built.missingTool = std::string(tool) + " is not installed";
        return built;
      }
    }
    const CommandResult made =
        runCommand(std::string(KORVELL_SOURCE_DIR) + "/testdata/make_dvd_disc.sh '" +
                   folder->path().string() + "'");
    if (made.status != 0) {
      built.failure = made.output;
      return built;
    }
    built.folder = folder->path();
    return built;
  }();
  return disc;
}

void copyDvdTestDisc(const std::filesystem::path& target) {
  std::filesystem::copy(dvdTestDisc().folder / "VIDEO_TS", target / "VIDEO_TS",
                        std::filesystem::copy_options::recursive);
}

}  // namespace korvell::testing
