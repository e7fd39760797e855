// The byte scan of a playlist: one line per tag, indented by nesting depth, and the tables
// of attribute items that name the streams. Works on bytes; loading the file is the run's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvell {

constexpr int kAttrItems = 8;  // attribute item indices 1..8

/// What the attribute items and the playlist tag of a playlist say. A reading overwrites
/// entries one by one, so an entry the new playlist does not mention keeps the value of the
/// previous reading (the caller keeps the tables between readings).
struct PlaylistTables {
  // Index 0 is never written; items with an index outside 1..8 are ignored.
  std::array<std::string, kAttrItems + 1> videoAttr;
  std::array<std::string, kAttrItems + 1> audioAttr;  ///< "DD+.6ch" or the bare codec
  std::array<std::string, kAttrItems + 1> subAttr;
  std::string title;  ///< displayName of the last tag containing "Playlist" that had one

  /// The entry of `index` in `table`, or empty when the index is outside 1..8.
  static const std::string& entry(const std::array<std::string, kAttrItems + 1>& table, int index);
};

/// Collects tags from bytes handed in piece by piece, so a tag split across two reads comes
/// out whole.
///
/// Each tag becomes one line: the bytes from "<" to ">", each run of control bytes (below
/// 0x20) as one blank, bytes 0x80 and above unchanged, preceded by two blanks per nesting
/// level. Text between tags is dropped, and so is a ">" outside a tag. Depth rises at each
/// "<", falls by two at "</", and by one after "/>", "?>" and "-->"; malformed input only
/// shifts the indentation.
///
/// Limits, so that no input costs much more memory than its own size: a tag line holds at
/// most kMaxTagLine bytes (the bytes of a longer tag are dropped up to its ">", so a "<" that
/// never closes costs no more than that), and the indentation stops growing at
/// kMaxIndentLevels levels (the depth itself is still counted).
class XplScanner {
 public:
  static constexpr size_t kMaxTagLine = 64 * 1024;
  static constexpr int64_t kMaxIndentLevels = 64;

  /// Starts with the tables of an earlier reading (empty tables for a first one).
  explicit XplScanner(PlaylistTables tables = {}) : tables_(std::move(tables)) {}

  /// Scans the next piece of the playlist.
  void feed(std::span<const uint8_t> bytes);
  void feed(std::string_view bytes);

  /// The tag lines so far, in playlist order.
  const std::vector<std::string>& lines() const { return lines_; }
  std::vector<std::string>& lines() { return lines_; }
  const PlaylistTables& tables() const { return tables_; }
  PlaylistTables& tables() { return tables_; }
  int64_t depth() const { return depth_; }

 private:
  void scanByte(uint8_t x);
  void endTag();

  std::vector<std::string> lines_;
  PlaylistTables tables_;
  std::string line_;   ///< the tag being collected, after its indentation
  int64_t depth_ = 0;  // wide: every "<" of a huge file may raise it
  uint32_t prev_ = 0;  ///< the bytes before the current one, the last in the lowest byte
  bool inTag_ = false;
};

/// The result of scanning a whole playlist held in memory.
struct PlaylistScan {
  std::vector<std::string> lines;
  PlaylistTables tables;
};

/// Scans a whole playlist at once, starting from `tables` (see XplScanner).
PlaylistScan scanPlaylist(std::string_view bytes, PlaylistTables tables = {});

}  // namespace korvell
