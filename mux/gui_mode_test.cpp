#include "mux/gui_mode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvell {
namespace {

using Kind = MkvmergeLine::Kind;

// Lines as mkvmerge 74 printed them with --gui-mode (and the two forms it prints without).
struct LineCase {
  const char* line;
  MkvmergeLine expected;
};
const LineCase kLines[] = {
    {"#GUI#progress 0%", {Kind::Progress, 0, ""}},
    {"#GUI#progress 45%", {Kind::Progress, 45, ""}},
    {"#GUI#progress 100%", {Kind::Progress, 100, ""}},
    {"#GUI#progress 250%", {Kind::Progress, 100, ""}},
    {"#GUI#progress  7% ", {Kind::Progress, 7, ""}},
    {"Progress: 98%", {Kind::Progress, 98, ""}},
    {"#GUI#progress 1000%", {Kind::Gui, 0, "progress 1000%"}},
    {"Progress: 24666666666666666666666%", {Kind::Plain, 0, "Progress: 24666666666666666666666%"}},
    {"#GUI#progress %", {Kind::Gui, 0, "progress %"}},
    {"#GUI#progress 45", {Kind::Gui, 0, "progress 45"}},
    {"#GUI#progress 45%x", {Kind::Gui, 0, "progress 45%x"}},
    {"#GUI#warning 'cut.ac3' track 0: This audio track contains 1558 bytes of invalid data",
     {Kind::Warning, 0, "'cut.ac3' track 0: This audio track contains 1558 bytes of invalid data"}},
    {"#GUI#error The file 'nonexist.ac3' could not be opened for reading: open file error.",
     {Kind::Error, 0, "The file 'nonexist.ac3' could not be opened for reading: open file error."}},
    {"#GUI#error", {Kind::Error, 0, ""}},
    {"#GUI#errors are not errors", {Kind::Gui, 0, "errors are not errors"}},
    {"Error: The JSON option file 'bad.json' contains an error: [json.exception.parse_error.101]",
     {Kind::Error, 0,
      "The JSON option file 'bad.json' contains an error: "
      "[json.exception.parse_error.101]"}},
    {"Warning: odd timestamps", {Kind::Warning, 0, "odd timestamps"}},
    {"#GUI#begin_scanning_playlists#num_playlists=1#num_files_in_playlists=2",
     {Kind::Gui, 0, "begin_scanning_playlists#num_playlists=1#num_files_in_playlists=2"}},
    {"#GUI#end_scanning_playlists", {Kind::Gui, 0, "end_scanning_playlists"}},
    {"'a1.ac3': Using the demultiplexer for the format 'AC-3'.",
     {Kind::Plain, 0, "'a1.ac3': Using the demultiplexer for the format 'AC-3'."}},
    {"The cue entries (the index) are being written...",
     {Kind::Plain, 0, "The cue entries (the index) are being written..."}},
    {"#GUI", {Kind::Plain, 0, "#GUI"}},
    {"progress 45%", {Kind::Plain, 0, "progress 45%"}},
};

TEST(MkvmergeLines, Kinds) {
  for (const LineCase& c : kLines) {
    EXPECT_EQ(parseMkvmergeLine(c.line), c.expected) << c.line;
  }
}

TEST(MkvmergeLines, SplitsAtEveryLineEndWhereverTheChunksEnd) {
  const std::string output =
      "mkvmerge v74.0.0 ('You Oughta Know') 64-bit\n#GUI#progress 6%\n#GUI#progress 100%\r\n"
      "Progress: 50%\rProgress: 100%\r\n\nMultiplexing took 0 seconds.";
  const std::vector<std::string> expected = {"mkvmerge v74.0.0 ('You Oughta Know') 64-bit",
                                             "#GUI#progress 6%",
                                             "#GUI#progress 100%",
                                             "Progress: 50%",
                                             "Progress: 100%",
                                             "Multiplexing took 0 seconds."};
  for (size_t piece = 1; piece <= output.size(); ++piece) {
    MkvmergeLineSplitter splitter;
    std::vector<std::string> lines;
    for (size_t at = 0; at < output.size(); at += piece) {
      for (std::string& line : splitter.feed(output.substr(at, piece)))
        lines.push_back(line);
    }
    for (std::string& line : splitter.finish())
      lines.push_back(line);
    EXPECT_EQ(lines, expected) << "pieces of " << piece;
  }
}

}  // namespace
}  // namespace korvell
