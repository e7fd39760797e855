// The small DVD-Video folder of testdata/make_dvd_disc.sh, built once per test program.
#pragma once

#include <filesystem>
#include <string>

namespace korvell::testing {

struct DvdTestDisc {
  /// The folder that holds VIDEO_TS/, title1.mpg and title2.mpg; empty when not built.
  std::filesystem::path folder;
  /// Why it was not built: the first of ffmpeg, spumux, dvdauthor and lsdvd that is missing
  /// ("dvdauthor is not installed"); empty when they are all there.
  std::string missingTool;
  /// What the script printed when it failed although the tools were there; empty otherwise.
  std::string failure;
};

/// Builds the disc on the first call, into a temporary folder that lives until the program
/// ends, and returns the same result on every call.
const DvdTestDisc& dvdTestDisc();

/// Copies the disc's VIDEO_TS folder (not the sources) into `target`/VIDEO_TS, for tests that
/// damage it.
void copyDvdTestDisc(const std::filesystem::path& target);

}  // namespace korvell::testing
