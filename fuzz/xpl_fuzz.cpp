// The playlist reader over arbitrary bytes and base names: the document model, the
// whole-buffer scan, the same scan fed in two pieces (which must give the same lines and
// tables), the title selection, and the reading as a run over a memory source, whose messages
// must be well-formed markup that shows every label the playlist gave verbatim.
//
// Input: byte 0 is the base name's length (at most 31), then the base name, then the playlist.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "disc/xpl_model.h"
#include "engine/byte_io.h"
#include "fuzz/fuzz_host.h"
#include "playlist/title_select.h"
#include "playlist/xpl_scan.h"
#include "report/display_text.h"
#include "runs/playlist_run.h"
#include "runs/run_state.h"

using namespace korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t nameLength = data[0] % 32;
  if (size < 1 + nameLength) return 0;
  const std::string baseName(reinterpret_cast<const char*>(data + 1), nameLength);
  const uint8_t* playlist = data + 1 + nameLength;
  const size_t playlistSize = size - 1 - nameLength;
  const std::string_view bytes(reinterpret_cast<const char*>(playlist), playlistSize);

  const PlaylistScan scan = scanPlaylist(bytes);
  XplScanner pieces;
  const size_t cut = playlistSize == 0 ? 0 : baseName.size() * 131 % playlistSize;
  pieces.feed(bytes.substr(0, cut));
  pieces.feed(bytes.substr(cut));
  if (pieces.lines() != scan.lines) std::abort();
  if (pieces.tables().title != scan.tables.title) std::abort();

  const TitleSelection selection = selectTitle(scan.lines, scan.tables, baseName);
  for (const PlaylistStream& stream : selection.streams) {
    if (stream.slot.index < 0 || stream.slot.index > 15) std::abort();
  }
  for (const std::string& line : selection.lines) {
    if (!isValidUtf8(displayUtf8(line))) std::abort();
  }

  // The playlist as a document: any bytes; every stream numbered 0..15, every chapter time
  // non-negative.
  if (XplTitle title; playlistTitle(bytes, baseName, &title).ok()) {
    for (const TitleStream& stream : title.title.streams) {
      if (stream.number < 0 || stream.number > 15) std::abort();
    }
    for (const Chapter& chapter : title.title.chapters) {
      if (chapter.startNs < 0) std::abort();
    }
  }

  RunState state;
  fuzz::QuietHost host;
  host.keepShown = true;
  MemorySource source(playlist, playlistSize);
  PlaylistResult result;
  readPlaylistFrom(state, host, "VPLST000.XPL", source, baseName, &result);
  if (result.titleFound != selection.found) std::abort();
  // Each label the playlist gave is shown as it is, whatever brackets it holds.
  for (const PlaylistStream& stream : selection.streams) {
    if (!host.showed(stream.label + " found!")) std::abort();
  }
  return 0;
}
