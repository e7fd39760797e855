#include "disc/time_map.h"

#include <algorithm>
#include <string_view>

#include "engine/big_endian.h"
#include "engine/packs.h"

namespace korvell {

namespace {

// TMAP_GI, the map's general information, is 384 bytes; the search pointers follow it.
constexpr std::string_view kMagic = "HDDVD_TMAP00";
constexpr size_t kTypeOffset = 20;         // TMAP_TY, u16
constexpr size_t kTableCountOffset = 55;   // TMAPI_Ns, u16
constexpr size_t kSearchPointers = 384;    // TMAPI_SRP, one per table
constexpr size_t kSearchPointerSize = 32;  // TMAPI_SA u32, EVOB_INDEX u16, EVOBU_ENT_Ns u16, ...
constexpr size_t kEntryCountOffset = 6;    // within a search pointer
constexpr size_t kEntrySize = 4;

}  // namespace

uint64_t TimeMap::packs() const {
  uint64_t sum = 0;
  for (const TimeMapEntry& entry : entries)
    sum += entry.packs;
  return sum;
}

uint64_t TimeMap::fields() const {
  uint64_t sum = 0;
  for (const TimeMapEntry& entry : entries)
    sum += entry.fields;
  return sum;
}

Status parseTimeMap(std::span<const uint8_t> bytes, TimeMap* result) {
  if (bytes.size() < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
    return Status::invalid("it does not begin with HDDVD_TMAP00");
  }
  if (bytes.size() < kSearchPointers + kSearchPointerSize) {
    return Status::invalid("it ends before its first table");
  }
  TimeMap map;
  map.type = static_cast<uint16_t>(be16(bytes.data() + kTypeOffset));
  const uint32_t tables = be16(bytes.data() + kTableCountOffset);
  if (tables == 0) return Status::invalid("it names no table");
  map.angles = map.interleaved() ? static_cast<int>(tables) : 1;
  const uint64_t start = be32(bytes.data() + kSearchPointers);
  const uint64_t count = be16(bytes.data() + kSearchPointers + kEntryCountOffset);
  if (start < kSearchPointers + kSearchPointerSize || start + count * kEntrySize > bytes.size()) {
    return Status::invalid("its entries lie past its end");
  }
  map.entries.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    const uint32_t word = be32(bytes.data() + start + i * kEntrySize);
    const TimeMapEntry entry{word >> 21, (word >> 13) & 0xFF, word & 0x1FFF};
    if (entry.packs == 0) {
      return Status::invalid("entry " + std::to_string(i + 1) + " has no pack");
    }
    map.entries.push_back(entry);
  }
  *result = std::move(map);
  return {};
}

Status clipBytes(const TimeMap& map, uint64_t beginFields, uint64_t endFields, ByteRun* result) {
  std::optional<ByteRun> run;
  uint64_t time = 0;
  uint64_t offset = 0;
  for (const TimeMapEntry& entry : map.entries) {
    const uint64_t size = uint64_t{entry.packs} * kPackSize;
    if (time >= endFields) break;
    if (time + entry.fields > beginFields) {
      if (!run) run = ByteRun{offset, 0};
      run->length = offset + size - run->offset;
    }
    time += entry.fields;
    offset += size;
  }
  if (!run) return Status::invalid("its time begins past the end of its time map");
  *result = *run;
  return {};
}

}  // namespace korvell
