// The small DVD-Video folder of testdata/make_dvd_disc.sh, built once for all test programs.
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

/// Builds the disc on the first call of any test program into the build folder
/// (test_dvd_disc/), or finds it there, and returns the same result on every call. Tests read
/// it and never change it; a test that damages a disc copies it first.
const DvdTestDisc& dvdTestDisc();

/// Copies the disc's VIDEO_TS folder (not the sources) into `target`/VIDEO_TS, for tests that
/// damage it.
void copyDvdTestDisc(const std::filesystem::path& target);

}  // namespace korvell::testing
