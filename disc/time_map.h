// The HD DVD time map (NAME.MAP beside NAME.EVO): one entry per EVOBU of the EVO, in play
// order, giving its play time in video fields and its size in 2,048-byte packs. A playlist
// clip names its EVO through this map, and the map turns the clip's times into the bytes of
// the EVO that play them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/status.h"

namespace korvell {

/// One EVOBU as the map lists it: a big-endian u32 whose bits 31-21 give the packs up to the
/// end of the first reference picture, bits 20-13 the play time in video fields and bits 12-0
/// the size in packs.
struct TimeMapEntry {
  uint32_t firstReferencePacks = 0;
  uint32_t fields = 0;
  uint32_t packs = 0;
  bool operator==(const TimeMapEntry&) const = default;
};

/// A time map read from its bytes.
struct TimeMap {
  /// TMAP_TY: bit 9 set when the map serves an interleaved block of angles.
  uint16_t type = 0;
  /// The angles of an interleaved block (TMAPI_Ns); 1 for a plain EVO.
  int angles = 1;
  /// The entries of the first (for a plain EVO the only) table.
  std::vector<TimeMapEntry> entries;
  bool interleaved() const { return (type & 0x0200) != 0; }
  /// The sum of the entries' packs, and of their fields.
  uint64_t packs() const;
  uint64_t fields() const;
};

/// The largest map read: 4 bytes an EVOBU and at most 65,535 of them, plus the header and the
/// table pointers; a file larger than this is no time map.
inline constexpr size_t kMaxTimeMapSize = 1 << 20;

/// Reads a time map: "HDDVD_TMAP00", TMAP_TY (u16 at byte 20), TMAPI_Ns (u16 at 55), then at
/// byte 384 one 32-byte search pointer per table: the byte offset of its entries (u32), its
/// EVOB index (u16) and its entry count (u16), into *map. Invalid, with the reason, when the
/// bytes are no map, name no table, or a table's entries lie past the end; an entry of 0
/// packs also makes the map damaged (every EVOBU holds at least its navigation pack). An
/// interleaved map is read too (its first table), so that the caller can say how many angles
/// it has. *map is left as it was on a failure.
Status parseTimeMap(std::span<const uint8_t> bytes, TimeMap* map);

/// A run of bytes of an EVO.
struct ByteRun {
  uint64_t offset = 0;
  uint64_t length = 0;
  bool operator==(const ByteRun&) const = default;
};

/// The bytes of the EVO that play object time [beginFields, endFields) in video fields: the
/// EVOBUs whose play time meets that time (an EVOBU of fields [a, a+n) meets it when a <
/// endFields and a+n > beginFields), from the first such EVOBU's offset to the last one's end,
/// into *run. Invalid when no EVOBU meets it (an empty time, or one that begins past the map's
/// end).
Status clipBytes(const TimeMap& map, uint64_t beginFields, uint64_t endFields, ByteRun* run);

}  // namespace korvell
