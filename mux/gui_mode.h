// What mkvmerge prints with --gui-mode, as lines: "#GUI#progress 45%", "#GUI#warning <text>",
// "#GUI#error <text>", other "#GUI#<message>[#key=value...]" lines (the scan of playlists,
// splitting), and plain lines of information ("'a.ac3': Using the demultiplexer for the format
// 'AC-3'."). Messages it prints before it has read --gui-mode (an unreadable option file) come
// as "Error: <text>", and without --gui-mode progress is "Progress: 45%"; both are understood.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvell {

/// One line of mkvmerge's output.
struct MkvmergeLine {
  enum class Kind : uint8_t {
    Progress,  ///< `percent` holds 0..100
    Warning,   ///< `text` holds the message
    Error,     ///< `text` holds the message
    Gui,       ///< another "#GUI#" message: `text` holds what follows "#GUI#"
    Plain,     ///< `text` holds the line
  };
  Kind kind = Kind::Plain;
  int percent = 0;
  std::string text;
  bool operator==(const MkvmergeLine&) const = default;
};

/// Reads one line (without its line end). A progress line needs 1 to 3 digits and a '%'
/// (above 100 counts as 100); a malformed one is a Gui line. The text keeps its bytes as they
/// are, with the blanks after the prefix removed.
MkvmergeLine parseMkvmergeLine(std::string_view line);

/// Cuts output that arrives in pieces into lines. mkvmerge ends lines with "\n", and without
/// --gui-mode rewrites its progress line after "\r": both end a line here, and empty lines
/// are dropped. A line longer than kMaxLine bytes is cut there, so output without line ends
/// cannot fill the memory.
class MkvmergeLineSplitter {
 public:
  static constexpr size_t kMaxLine = 64 * 1024;

  /// The lines that `bytes` completes, in order; an unfinished line waits for the next call.
  std::vector<std::string> feed(std::string_view bytes);
  /// At the end of the output: the unfinished line, if any, as a last line.
  std::vector<std::string> finish();

 private:
  std::string pending_;
};

}  // namespace korvell
