#include "testing/dvd_test_disc.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <system_error>

#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell::testing {

namespace fs = std::filesystem;

namespace {

// The script's own text names the disc, so a changed script makes a new one.
std::string scriptKey(const fs::path& script) {
  std::ifstream in(script, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  char key[32];
  std::snprintf(key, sizeof key, "%016zx", std::hash<std::string>{}(text.str()));
  return key;
}

}  // namespace

// Every test program (ctest runs each test as a program of its own) shares one disc under the
// build folder; the first to need it makes it in a folder of its own and renames that into
// place, so programs running at the same time never see half a disc.
const DvdTestDisc& dvdTestDisc() {
  static const DvdTestDisc disc = [] {
    DvdTestDisc built;
    for (const char* tool : {"ffmpeg", "spumux", "dvdauthor", "lsdvd"}) {
      if (runCommand(std::string("command -v ") + tool).output.empty()) {
        built.missingTool = std::string(tool) + " is not installed";
        return built;
      }
    }
    const fs::path script = fs::path(KORVELL_SOURCE_DIR) / "testdata" / "make_dvd_disc.sh";
    const fs::path cache = fs::path(KORVELL_BINARY_DIR) / "test_dvd_disc";
    const fs::path folder = cache / scriptKey(script);
    std::error_code ec;
    if (fs::is_directory(folder / "VIDEO_TS", ec)) {
      built.folder = folder;
      return built;
    }
    fs::create_directories(cache, ec);
    const fs::path making = cache / ("making." + std::to_string(::getpid()));
    fs::remove_all(making, ec);
    const CommandResult made = runCommand("'" + script.string() + "' '" + making.string() + "'");
    if (made.status != 0) {
      built.failure = made.output;
      fs::remove_all(making, ec);
      return built;
    }
    fs::rename(making, folder, ec);
    if (ec) fs::remove_all(making, ec);  // another program was first: its disc is the same
    built.folder = folder;
    return built;
  }();
  return disc;
}

void copyDvdTestDisc(const fs::path& target) {
  fs::copy(dvdTestDisc().folder / "VIDEO_TS", target / "VIDEO_TS", fs::copy_options::recursive);
}

}  // namespace korvell::testing
