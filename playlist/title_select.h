// Choosing the title that plays one file out of a playlist's tag lines, and what that title
// says: a small tree for the window and the streams it names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/slots.h"
#include "playlist/xpl_scan.h"

namespace korvell {

/// One node of the playlist tree: a text and its children. Plain data, so that both front
/// ends can show it with their own widgets.
struct PlaylistNode {
  std::string text;
  std::vector<PlaylistNode> children;
  bool operator==(const PlaylistNode&) const = default;
};

/// The roots of the tree of a selected title: "Info", "Video", "Audio", "Subtitle" and
/// "Chapter", in this order. Empty until a title has been selected.
struct PlaylistTree {
  std::vector<PlaylistNode> roots;
  bool operator==(const PlaylistTree&) const = default;
};

/// A stream that the title lists. `slot.index` is the track or stream number minus one
/// (0..15). `hasBox` tells whether a stream box belongs to it: every audio and subtitle
/// stream, and video only for track 1 (video slot 0).
struct PlaylistStream {
  Slot slot;
  std::string label;  ///< "VC-1.stream.0", "DD+.6ch.stream.00.English"
  bool hasBox = false;
};

struct TitleSelection {
  bool found = false;                   ///< a title was selected
  std::vector<std::string> lines;       ///< the title element's lines, or all lines if none
  PlaylistTree tree;                    ///< empty when no title was selected
  std::vector<PlaylistStream> streams;  ///< in the order of the title's lines
};

/// Selects the title of the file whose base name (its name without extension, for example
/// FEATURE_1) is `baseName`.
///
/// The first line containing `baseName` (case-sensitive) anchors the title; when there is
/// none, or it is the very first line, nothing is selected and `lines` is returned whole.
/// Otherwise the lines are cut to the element from the nearest "<TITLE " line above the
/// anchor to the first "</TITLE" line below that (both tests ignore case; a missing bound
/// keeps the lines on that side). From the cut lines the tree and the streams are built:
/// "<TITLE " gives the name and duration under Info, "<VIDEO ", "<AUDIO " and "<SUBTITLE "
/// a stream each, labelled from `tables`, "<CHAPTER " a chapter. Track and stream numbers
/// outside 1..16 are skipped, and so is a number already listed in its family. The playlist
/// title, when not empty, is the first child of Info.
TitleSelection selectTitle(const std::vector<std::string>& lines, const PlaylistTables& tables,
                           std::string_view baseName);

}  // namespace korvell
