// The playlist reader as a run: reads a playlist file, selects the title of the chosen file,
// and names, enables and checks the stream boxes from it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "disc/xpl_model.h"
#include "engine/byte_io.h"
#include "engine/file_system.h"
#include "playlist/title_select.h"
#include "playlist/xpl_scan.h"
#include "report/console.h"
#include "runs/run_state.h"

namespace korvell {

constexpr size_t kPlaylistReadBlock = 0x40000;  // 262,144 bytes per read

/// What a reading leaves for the front end. The caller keeps one of these between readings:
/// `tables` and `tree` carry over (see readPlaylist).
struct PlaylistResult {
  /// The tag lines to show: the selected title's element, or every tag when no title was
  /// selected. Bytes 0x80 and above are as in the file (see displayUtf8).
  std::vector<std::string> lines;
  /// The tree of the selected title. Left as it was when no title was selected.
  PlaylistTree tree;
  /// The attribute tables and playlist title, overwritten entry by entry by each reading.
  PlaylistTables tables;
  /// The boxes the reading enabled (each also checked), by slot number (slotAt/slotNumber).
  /// A stream box whose entry is false is disabled.
  std::array<bool, kSelectableSlots> enabled{};
  /// Whether the last reading selected a title.
  bool titleFound = false;
  /// The selected title as the playlist document describes it (playlistTitle: name, length,
  /// streams with languages and descriptions, chapters): empty when the reading selected no
  /// title or the playlist is not a well-formed XML document.
  std::optional<XplTitle> title;
  /// The chapters of that title: empty when there is none or it lists none. Left as they
  /// were, like the lines, when the playlist could not be opened or read.
  std::vector<Chapter> chapters;
};

/// Reads the playlist at `playlistPath` and selects the title that plays the file whose base
/// name is `titleBaseName`: the chosen file's own name without extension (FEATURE_1), also
/// when a run continued on a second file.
///
/// Reports through `host`: runStarting(RunKind::Playlist) first and runFinished last, also
/// when the file cannot be opened; "Open <path>", "Filesize: <n> bytes", the progress
/// "<pos>/<size> bytes" in status panel 1 after each 262,144-byte block, "<label> found!" for
/// each stream of the title, "Done." and an empty line, then "Ready" and an empty panel 1. A
/// file that cannot be opened logs `Cannot open file "<path>". <reason>` instead, and a file
/// whose reading fails before its end `Cannot read file "<path>". <reason>` (without
/// "Done."); both leave the lines and tree as they were and select no title.
///
/// Effects on `state`: every stream box is reset first (unchecked, "No video stream", "No
/// audio stream", "No subpicture"), and selectionChanged() is called. The stream registry
/// is left as the last Read run made it (the rebuild pass relies on it). Each listed stream
/// with a box gets its slot selected and its streamLabel set to the stream's
/// label, and selectionChanged() is called again. When no title is selected the boxes stay
/// reset. `out` must not be null.
/// Returns false when the playlist could not be opened or read.
bool readPlaylist(RunState& state, RunHost& host, const std::string& playlistPath,
                  const std::string& titleBaseName, PlaylistResult* out,
                  FileSystem& files = realFileSystem());

/// readPlaylist on an open source (tests, and callers that hold the bytes already). `name` is
/// the path shown in the messages; the source is read from its position to its end. Returns
/// false when the source failed before its end.
bool readPlaylistFrom(RunState& state, RunHost& host, const std::string& name, ByteSource& source,
                      const std::string& titleBaseName, PlaylistResult* out);

}  // namespace korvell
