// The rebuild pass: copies a program stream pack by pack, dropping the packs of unselected
// streams, renumbering the kept ones and rewriting the system header's stream bounds.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include <array>

#include "engine/byte_io.h"
#include "engine/read_results.h"
#include "engine/selection.h"
#include "engine/stop_token.h"
#include "engine/stream_kinds.h"
#include "engine/stream_registry.h"
#include "report/console.h"

namespace korvell {

/// The new identifiers a Rebuild run gives its kept streams, carried over the passes of its
/// set: newId of an old identifier (0xFF until assigned) and each family's next slot.
struct Renumbering {
  std::array<uint8_t, 256> newId{};
  uint8_t nextVideo = 0;
  uint8_t nextAudio = 0;
  uint8_t nextSub = 0;
  Renumbering() { newId.fill(0xFF); }
};

/// What one rebuild pass reads and fills. Every reference must stay alive for the pass.
struct RebuildPass {
  const StreamRegistry& registry;  ///< the last Read run's, which says which stream is where
  const Selection& selection;      ///< read at each pack
  Renumbering& renumbering;
  ReadResults& results;  ///< its scrambled slots
  StopToken& stop;       ///< cleared at the pass's start, polled after each pack
};

/// What the pass does with one pack.
enum class PackAction {
  Drop,   ///< not written: a stream of a slot whose box is clear, or not a pack at all
  Write,  ///< written, possibly with its identifier or system-header bounds rewritten
};

/// Decides one pack and rewrites it in place. `pack` is one pack as read (2,048 bytes, or
/// fewer for the last pack of a file whose size is not a multiple of 2,048).
///
/// A pack that does not begin with 00 00 01 BA is dropped. A pack whose stream lies where
/// the fixed offsets of an MPEG-2 pack look (no pack stuffing, a PES packet at byte 14 whose
/// header fields lie inside the packet and the pack) is classified by its stream, by the
/// table of stream kinds: video by stream_id or VC-1 stream_id_extension, audio and
/// subpictures by substream id, each of a selectable slot (subpicture slots 16 to 31 are not).
/// Such a pack is dropped when its slot holds a stream in the registry and the slot is not
/// selected; otherwise it is kept and its identifier byte (and nothing else) becomes the
/// stream's new identifier, assigned on first sight from the family's counter in
/// renumbering.newId. Every other pack (padding, navigation packs, MPEG audio, subpictures of slots
/// 16 to 31, unknown substreams, unusual layouts) is written unchanged, except that a system
/// header at byte 14 gets its video and audio bounds set to the number of selected slots that
/// hold a stream. A pack of a stream that would be kept but whose PES scrambling bits are set
/// is dropped and asks the pass to stop (StopReason::Scrambled, its slot marked in
/// results.scrambled). No byte outside `pack` is read or written.
PackAction rebuildPack(const RebuildPass& pass, std::span<uint8_t> pack);

/// The new identifier a kept stream of `kind` gets: the identifier of the slot its family's
/// counter has reached, within the kind's range (the counter then advances), or the old
/// identifier when the range has none for that slot (more kept streams than the codec can
/// number). Identifiers already assigned come from newId.
uint8_t renumberedId(Renumbering& renumbering, const StreamKindInfo& kind, uint8_t id);

/// The pass over one file: reads `source` from its position to its end in blocks of
/// kReadBlock bytes, decides each 2,048-byte pack of a block in place with rebuildPack and
/// appends the kept ones to `out`, the adjacent ones of a block in one piece and all of a
/// block's pieces in one writeMany. Clears the stop token, enables Cancel for its duration and
/// polls the token after each pack: the packs of the block after the one at which it is set
/// are not written. Each time
/// the input position after a pack is a multiple of 4 MiB it shows "Rebuilding <fileName>
/// <progress>" in status panel 1 and lets host process events before that pack is decided.
/// Stops at the first read failure (the packs read before it are written) or write failure
/// and returns it; Ok for a pass that reached the end or was stopped (the token's reason).
/// Never opens or closes a file; `out` stays open.
Status Rebuild(const RebuildPass& pass, ByteSource& source, RunHost& host, ByteSink& out,
               const std::string& fileName);

}  // namespace korvell
