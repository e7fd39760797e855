#include "disc/dvd_layout.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "disc/disc_layout.h"
#include "engine/big_endian.h"
#include "engine/packs.h"
#include "engine/stream_kinds.h"
#include "report/ascii_text.h"

namespace korvell::dvd {

namespace {

int bcd(uint8_t value) {
  return (value >> 4) * 10 + (value & 0x0F);
}

bool isStartCode(const uint8_t* p, uint8_t code) {
  return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == code;
}

// The navigation pack: a 14-byte pack header, the system header, the presentation control
// packet and, at 0x400, the data search packet (private stream 2, substream 0x01).
constexpr size_t kDsiPacket = 0x400;
constexpr size_t kDsiData = kDsiPacket + 7;
constexpr size_t kSeamlessCategory = kDsiData + 0x20;  // after the 32-byte general part
constexpr size_t kUnitEnd = kSeamlessCategory + 2;
constexpr size_t kNextUnitStart = kUnitEnd + 4;
constexpr uint16_t kInterleavedUnitFlag = 0x4000;
constexpr uint32_t kNoNextUnit = 0x7FFFFFFF;
constexpr int kMaxUnits = 1 << 20;  // a loop guard far above any disc's unit count

}  // namespace

int64_t bcdTimeMs(BcdTime time) {
  int64_t ms = (bcd(time.hour) * 3600 + bcd(time.minute) * 60 + bcd(time.second)) * int64_t{1000};
  const int frames = bcd(time.frame & 0x3F);
  switch (time.frame >> 6) {
    case 1:
      ms += frames * 1000 / 25;
      break;
    case 3:
      ms += static_cast<int64_t>(frames * 1000.0 / 29.97);
      break;
    default:
      break;  // no frame rate: the frames count nothing
  }
  return ms;
}

int audioStreamId(int format, int number) {
  const StreamKindInfo* kind = kindOfIfoAudioFormat(format);
  return kind == nullptr ? -1 : idOfSlot(*kind, number & 7);
}

std::string audioCodecName(int format) {
  if (const StreamKindInfo* kind = kindOfIfoAudioFormat(format)) return kind->displayName;
  // A codec no packet of ours carries: the IFO's own word for it.
  return static_cast<AudioFormat>(format) == AudioFormat::Sdds ? "SDDS" : "";
}

int audioSampleRate(int code) {
  return code == 0 ? 48000 : code == 1 ? 96000 : 0;
}

int subpictureStreamId(uint32_t control, int displayAspect) {
  const int shift = displayAspect == 0 ? 24 : 16;
  return 0x20 + static_cast<int>((control >> shift) & 0x1F);
}

std::string languageCode(uint16_t code) {
  const char letters[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  return korvell::languageCode(std::string_view(letters, 2));
}

std::string audioDescription(int codeExtension) {
  switch (codeExtension) {
    case 2:
      return "Visually impaired";
    case 3:
      return "Director's comments";
    case 4:
      return "Alternate director's comments";
    default:
      return {};
  }
}

std::string subpictureDescription(int codeExtension) {
  static constexpr std::array<const char*, 16> kNames = {"",
                                                         "",
                                                         "Large",
                                                         "Children",
                                                         "",
                                                         "Closed captions",
                                                         "Large closed captions",
                                                         "Children's closed captions",
                                                         "",
                                                         "Forced",
                                                         "",
                                                         "",
                                                         "",
                                                         "Director's comments",
                                                         "Large director's comments",
                                                         "Children's director's comments"};
  return codeExtension >= 0 && codeExtension < 16 ? kNames[static_cast<size_t>(codeExtension)] : "";
}

bool forcedSubpicture(int codeExtension) {
  return codeExtension == 9;
}

std::filesystem::path findFileIgnoringCase(const FileSystem& files,
                                           const std::filesystem::path& folder,
                                           const std::string& name) {
  const std::string found = findEntryIgnoringCase(files, folder.string(), name);
  return found.empty() ? folder / name : std::filesystem::path(found);
}

VobParts findVobParts(FileSystem& files, const std::filesystem::path& folder, int titleSet) {
  VobParts found;
  const auto partPath = [&](int part) {
    char name[32];  // room for any int the format could print
    std::snprintf(name, sizeof name, "VTS_%02d_%d.VOB", titleSet, part);
    return findFileIgnoringCase(files, folder, name).string();
  };
  uint64_t sector = 0;
  for (int part = 1; part <= kMaxVobParts; ++part) {
    const std::string path = partPath(part);
    if (!files.isFile(path)) {
      found.nextMissing = path;
      break;
    }
    std::unique_ptr<ByteSource> file;
    const uint64_t size = files.openForReading(path, &file).ok() ? file->size() : 0;
    found.parts.push_back({path, sector, size / kPackSize});
    sector += size / kPackSize;
  }
  if (found.parts.empty()) {
    found.status =
        Status::failure(Status::Code::OpenFailed, "Cannot find \"" + found.nextMissing +
                                                      "\", the first VOB file of title set " +
                                                      std::to_string(titleSet));
    return found;
  }
  // A later part after a missing one: the sectors of the missing part cannot be counted.
  for (int part = static_cast<int>(found.parts.size()) + 2; part <= kMaxVobParts; ++part) {
    if (files.isFile(partPath(part))) {
      found.status = Status::failure(
          Status::Code::OpenFailed,
          "Cannot find \"" + found.nextMissing + "\", but \"" + partPath(part) + "\" follows it");
      break;
    }
  }
  return found;
}

Status fileExtents(const std::vector<SectorRange>& ranges, const std::vector<VobPart>& parts,
                   std::vector<FileExtent>* result) {
  std::vector<FileExtent> extents;
  for (const SectorRange& range : ranges) {
    if (range.last < range.first) continue;
    if (parts.empty() || range.last >= parts.back().firstSector + parts.back().sectors) {
      return Status::invalid("sector " + std::to_string(range.last) +
                             " lies past the end of the last part");
    }
    for (const VobPart& part : parts) {
      const uint64_t end = part.firstSector + part.sectors;  // one past the part's last sector
      if (part.sectors == 0 || range.last < part.firstSector || range.first >= end) continue;
      const uint64_t first = std::max(range.first, part.firstSector);
      const uint64_t last = std::min(range.last, end - 1);
      const FileExtent extent{part.path, (first - part.firstSector) * kPackSize,
                              (last - first + 1) * kPackSize};
      if (!extents.empty() && extents.back().path == extent.path &&
          extents.back().offset + extents.back().length == extent.offset) {
        extents.back().length += extent.length;
      } else {
        extents.push_back(extent);
      }
    }
  }
  *result = std::move(extents);
  return {};
}

std::optional<InterleavedUnit> readInterleavedUnit(const uint8_t* sector) {
  if (!isStartCode(sector, 0xBA) || !isStartCode(sector + kDsiPacket, 0xBF) ||
      sector[kDsiPacket + 6] != 0x01) {
    return std::nullopt;
  }
  InterleavedUnit unit;
  unit.interleaved = (sector[kSeamlessCategory] << 8 & kInterleavedUnitFlag) != 0;
  unit.endOffset = be32(sector + kUnitEnd);
  unit.nextOffset = be32(sector + kNextUnitStart);
  return unit;
}

std::vector<SectorRange> followInterleavedUnits(
    uint64_t first, uint64_t last,
    const std::function<std::optional<InterleavedUnit>(uint64_t sector)>& unitAt) {
  std::vector<SectorRange> ranges;
  uint64_t at = first;
  for (int units = 0; at <= last && units < kMaxUnits; ++units) {
    const std::optional<InterleavedUnit> unit = unitAt(at);
    if (!unit || !unit->interleaved) {
      // Not interleaved after all (or unreadable at the start): the cell as it stands.
      if (units == 0) ranges.push_back({first, last});
      break;
    }
    const uint64_t end = std::min<uint64_t>(at + unit->endOffset, last);
    ranges.push_back({at, end});
    if (unit->nextOffset == 0 || unit->nextOffset == kNoNextUnit || at + unit->nextOffset <= end) {
      break;
    }
    at += unit->nextOffset;
  }
  return ranges;
}

bool hasScrambledPack(const uint8_t* data, size_t size) {
  for (size_t pack = 0; pack + kPackSize <= size; pack += kPackSize) {
    const uint8_t* p = data + pack;
    if (!isStartCode(p, 0xBA) || (p[4] & 0xC0) != 0x40) continue;  // MPEG-2 packs only
    size_t at = 14 + (p[13] & 0x07);
    // Past the system header and the navigation packets to the first elementary stream packet.
    while (at + 7 <= kPackSize && p[at] == 0 && p[at + 1] == 0 && p[at + 2] == 1) {
      const uint8_t streamId = p[at + 3];
      if (streamId == 0xBD || (streamId >= 0xC0 && streamId <= 0xEF)) {
        const uint8_t flags = p[at + 6];
        if ((flags & 0xC0) == 0x80 && (flags & 0x30) != 0) return true;
        break;
      }
      at += 6 + (size_t{p[at + 4]} << 8 | p[at + 5]);
    }
  }
  return false;
}

}  // namespace korvell::dvd
