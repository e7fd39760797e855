// The rebuild pass: copies a program stream pack by pack, dropping the packs of unselected
// streams, renumbering the kept ones and rewriting the system header's stream bounds.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/byte_io.h"
#include "engine/run_state.h"
#include "report/console.h"

namespace korvell {

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
/// header fields lie inside the packet and the pack) is classified by its stream:
///   - video stream_id 0xE0-0xE3 (slot id AND 1), VC-1 stream_id_extension 0x55-0x56
///     (slot extension - 0x55);
///   - private-stream-1 audio: AC-3 0x80-0x87, DTS 0x88-0x8F, TrueHD 0xB0-0xB7 (slot id AND
///     7), LPCM 0xA0-0xA7, E-AC-3 0xC0-0xCF (slot id AND 0x0F);
///   - private-stream-1 subpictures 0x20-0x2F and extended subpictures 0x60-0x6F (slot id
///     AND 0x1F, 0 to 15).
/// Such a pack is dropped when its slot holds a stream in the registry and the slot is not
/// selected; otherwise it is kept and its identifier byte (and nothing else) becomes the
/// stream's new identifier, assigned on first sight from the family's counter in
/// state.newId. Every other pack (padding, navigation packs, MPEG audio, subpictures of slots
/// 16 to 31, unknown substreams, unusual layouts) is written unchanged, except that a system
/// header at byte 14 gets its video and audio bounds set to the number of selected slots that
/// hold a stream. No byte outside `pack` is read or written.
PackAction rebuildPack(RunState& state, std::span<uint8_t> pack);

/// The new identifier a kept stream gets, from the family counters (which it advances), or
/// the old identifier when the family's rule would give an identifier of another codec (more
/// kept streams than the codec can number). Identifiers already assigned come from newId.
uint8_t renumberedId(RunState& state, Family family, uint8_t id, bool extensionId);

/// How a rebuild pass ended. A cancel is a Complete pass with state.cancelled set.
enum class RebuildEnd { Complete, ReadFailed, WriteFailed };

/// The pass over one file: reads state.source from its position to its end in blocks of
/// kReadBlock bytes (into state.readBuffer), decides each 2,048-byte pack of a block in place
/// with rebuildPack and appends the kept ones to `out`, the adjacent ones of a block in one
/// piece and all of a block's pieces in one writeMany. Sets state.demuxing, clears
/// state.cancelled, enables Cancel for its duration and polls state.cancelled after each
/// pack: the packs of the block after the one at which it is set are not written. Each time
/// the input position after a pack is a multiple of 4 MiB it shows "Rebuilding <fileName>
/// <progress>" in status panel 1 and lets host process events before that pack is decided.
/// Stops at the first read failure (state.source->error() tells why; the packs read before
/// it are written) or write failure (out.error()). Never opens or closes a file; `out` stays
/// open.
RebuildEnd Rebuild(RunState& state, RunHost& host, ByteSink& out, const std::string& fileName);

}  // namespace korvell
