#include "runs/playlist_run.h"

#include <memory>
#include <string>
#include <vector>

#include "disc/xpl_model.h"
#include "engine/file_kinds.h"
#include "engine/file_messages.h"
#include "engine/stream_kinds.h"
#include "report/markup.h"

namespace korvell {
namespace {

// The stream boxes as the window shows them before any reading.
void resetBoxes(RunState& state, PlaylistResult* out) {
  state.selection.reset();
  out->enabled.fill(false);
}

// Whether the last Read run put a stream into `slot` that belongs to another slot by its
// identifier (it took this one because its own was held).
bool movedInto(const RunState& state, Slot slot) {
  const int32_t id = state.registry.registeredId(slot);
  const StreamKindInfo* kind = registeredKind(slot.family, id, isAudioObject(state.sourcePath));
  return kind != nullptr && slotOf(*kind, static_cast<uint8_t>(id)) != slot.index;
}

void finish(RunHost& host) {
  host.status("Ready", 0);
  host.status("", 1);
  host.runFinished(RunKind::Playlist);
}

// Returns false, after logging why, when the source fails before its end.
bool scanAndSelect(RunState& state, RunHost& host, const std::string& name, ByteSource& source,
                   const std::string& titleBaseName, PlaylistResult* out) {
  const uint64_t size = source.size();
  host.log("Open " + escapeMarkup(name));
  host.log("Filesize: " + std::to_string(size) + " bytes");

  XplScanner scanner(out->tables);
  // The document model reads the whole playlist at once; a real one is far below the limit.
  std::string document;
  bool tooLarge = false;
  std::vector<uint8_t> block(kPlaylistReadBlock);
  while (source.position() < size) {
    size_t got = 0;
    if (const Status read = source.read(block.data(), block.size(), got); !read.ok()) {
      // A title chosen from part of the playlist could be the wrong one.
      reportFailure(name, read, host);
      return false;
    }
    if (got == 0) break;
    host.status(std::to_string(source.position()) + "/" + std::to_string(size) + " bytes", 1);
    scanner.feed(std::span<const uint8_t>(block.data(), got));
    tooLarge = tooLarge || document.size() + got > kMaxPlaylistModelBytes;
    if (!tooLarge) document.append(reinterpret_cast<const char*>(block.data()), got);
  }
  out->tables = scanner.tables();

  TitleSelection selection = selectTitle(scanner.lines(), out->tables, titleBaseName);
  out->lines = std::move(selection.lines);
  out->titleFound = selection.found;
  out->chapters.clear();
  out->title.reset();
  if (selection.found) {
    // The chapters, languages and length come from the playlist as a document.
    XplTitle title;
    const Status read = tooLarge
                            ? Status::invalid("it is larger than " +
                                              std::to_string(kMaxPlaylistModelBytes) + " bytes")
                            : playlistTitle(document, titleBaseName, &title);
    if (read.ok()) {
      out->title = std::move(title);
      out->chapters = out->title->title.chapters;
    } else {
      host.log(escapeMarkup(name) + " cannot be read as an XML document (" +
               escapeMarkup(read.reason()) + "): no chapters or languages from it.");
    }
  } else {
    // A demux or rebuild that asked for the playlist's names fails on this (it would write
    // nothing the user asked for); the window and xpl show it as a warning.
    if (titleBaseName.empty()) {
      host.log("No source file is named, so no title of " + escapeMarkup(name) + " is selected.");
    } else {
      host.logError("No title of " + escapeMarkup(name) + " plays " + escapeMarkup(titleBaseName) +
                    ".");
    }
  }
  if (selection.found) {
    out->tree = std::move(selection.tree);
    for (const PlaylistStream& stream : selection.streams) {
      host.log(escapeMarkup(stream.label) + " found!");
      if (!stream.hasBox) continue;
      // The registry says which stream a box holds: a stream that took this slot because its
      // own was held is not the playlist's stream of that number, so its box keeps its name.
      if (movedInto(state, stream.slot)) {
        host.log(escapeMarkup(stream.label) +
                 ": its box holds another stream of the file, so "
                 "the file has no such stream.");
        continue;
      }
      const int number = slotNumber(stream.slot);
      state.selection.selected[number] = true;
      state.selection.streamLabel[number] = stream.label;
      out->enabled[number] = true;
    }
    host.selectionChanged();
  }
  host.log("Done.");
  host.log("");
  return true;
}

}  // namespace

bool readPlaylistFrom(RunState& state, RunHost& host, const std::string& name, ByteSource& source,
                      const std::string& titleBaseName, PlaylistResult* out) {
  host.runStarting(RunKind::Playlist);
  resetBoxes(state, out);
  host.selectionChanged();
  const bool ok = scanAndSelect(state, host, name, source, titleBaseName, out);
  finish(host);
  return ok;
}

bool readPlaylist(RunState& state, RunHost& host, const std::string& playlistPath,
                  const std::string& titleBaseName, PlaylistResult* out, FileSystem& files) {
  host.runStarting(RunKind::Playlist);
  resetBoxes(state, out);
  host.selectionChanged();
  const std::unique_ptr<ByteSource> source = openInput(files, playlistPath, host);
  const bool ok =
      source != nullptr && scanAndSelect(state, host, playlistPath, *source, titleBaseName, out);
  finish(host);
  return ok;
}

}  // namespace korvell
