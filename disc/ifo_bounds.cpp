#include "disc/ifo_bounds.h"

#include <algorithm>

#include "engine/packs.h"

namespace korvell::dvd {

namespace {

// The sizes libdvdread reads, as its ifo_types.h gives them.
constexpr uint64_t kTableHeader = 8;  // a count, two zero bytes, the table's last byte
constexpr uint64_t kProgramChain = 236;
constexpr uint64_t kCommand = 8;
constexpr uint64_t kCellPlayback = 24;
constexpr uint64_t kCellPosition = 4;
constexpr uint64_t kSearchPointer = 8;  // program chain and language unit search pointers
constexpr uint64_t kTitleInfo = 12;
constexpr uint64_t kParentalLevels = 8 * 2;
constexpr uint64_t kTitleSetAttributes = 542;
constexpr uint64_t kTextHeader = 20;

// The byte offsets within a program chain of its counts and of its tables' offsets.
constexpr uint64_t kPrograms = 2, kCells = 3;
constexpr uint64_t kCommandsAt = 0xE4, kProgramMapAt = 0xE6, kPlaybackAt = 0xE8, kPositionAt = 0xEA;

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> file)
      : file_(file), usable_(file.size() / kPackSize * kPackSize) {}
  // Whether bytes at..at+n-1 lie in whole sectors.
  bool has(uint64_t at, uint64_t n) const { return at <= usable_ && n <= usable_ - at; }
  // Big-endian values; the caller has checked has().
  uint64_t u8(uint64_t at) const { return file_[at]; }
  uint64_t u16(uint64_t at) const { return u8(at) << 8 | u8(at + 1); }
  uint64_t u32(uint64_t at) const { return u16(at) << 16 | u16(at + 2); }

 private:
  std::span<const uint8_t> file_;
  uint64_t usable_;
};

// A table whose header gives its last byte at `lastByteAt`, at least `header` bytes long.
bool tableFits(const Reader& r, uint64_t at, uint64_t lastByteAt, uint64_t header) {
  if (!r.has(at, std::max(header, lastByteAt + 4))) return false;
  const uint64_t lastByte = r.u32(at + lastByteAt);
  return lastByte + 1 >= header && r.has(at, lastByte + 1);
}

bool programChainFits(const Reader& r, uint64_t at) {
  if (!r.has(at, kProgramChain)) return false;
  const uint64_t programs = r.u8(at + kPrograms);
  const uint64_t cells = r.u8(at + kCells);
  if (const uint64_t commands = r.u16(at + kCommandsAt); commands != 0) {
    const uint64_t table = at + commands;
    if (!r.has(table, kTableHeader)) return false;
    const uint64_t count = r.u16(table) + r.u16(table + 2) + r.u16(table + 4);
    if (!r.has(table + kTableHeader, count * kCommand)) return false;
  }
  const uint64_t map = r.u16(at + kProgramMapAt);
  const uint64_t playback = r.u16(at + kPlaybackAt);
  const uint64_t position = r.u16(at + kPositionAt);
  return (map == 0 || r.has(at + map, programs)) &&
         (playback == 0 || r.has(at + playback, cells * kCellPlayback)) &&
         (position == 0 || r.has(at + position, cells * kCellPosition));
}

// A table of `count` search pointers after its header, each with the offset (from the table's
// start) of a program chain, or of a program chain table, at `offsetAt`.
bool programChainTableFits(const Reader& r, uint64_t at) {
  if (!r.has(at, kTableHeader)) return false;
  const uint64_t count = r.u16(at);
  if (!r.has(at + kTableHeader, count * kSearchPointer)) return false;
  for (uint64_t i = 0; i < count; ++i) {
    if (!programChainFits(r, at + r.u32(at + kTableHeader + i * kSearchPointer + 4))) return false;
  }
  return true;
}

bool menuUnitsFit(const Reader& r, uint64_t at) {
  if (!r.has(at, kTableHeader)) return false;
  const uint64_t units = r.u16(at);
  if (!r.has(at + kTableHeader, units * kSearchPointer)) return false;
  for (uint64_t i = 0; i < units; ++i) {
    if (!programChainTableFits(r, at + r.u32(at + kTableHeader + i * kSearchPointer + 4))) {
      return false;
    }
  }
  return true;
}

bool titlesFit(const Reader& r, uint64_t at) {
  if (!r.has(at, kTableHeader)) return false;
  uint64_t lastByte = r.u32(at + 4);
  // A last byte of 0 (some discs leave it so) makes libdvdread count 12 bytes a title.
  if (lastByte == 0) lastByte = r.u16(at) * kTitleInfo + kTableHeader - 1;
  return lastByte + 1 >= kTableHeader + r.u16(at) * kTitleInfo && r.has(at, lastByte + 1);
}

bool parentalFits(const Reader& r, uint64_t at) {
  if (!r.has(at, kTableHeader)) return false;
  const uint64_t countries = r.u16(at);
  const uint64_t levels = (r.u16(at + 2) + 1) * kParentalLevels;
  if (!r.has(at + kTableHeader, countries * kSearchPointer)) return false;
  for (uint64_t i = 0; i < countries; ++i) {
    if (!r.has(at + r.u16(at + kTableHeader + i * kSearchPointer + 4), levels)) return false;
  }
  return true;
}

// A count after which come `count` 32-bit offsets of records of `record` bytes, or of time maps
// (a 4-byte header with the count of 4-byte entries) when `record` is 0.
bool recordsFit(const Reader& r, uint64_t at, uint64_t record) {
  if (!r.has(at, kTableHeader)) return false;
  const uint64_t count = r.u16(at);
  if (!r.has(at + kTableHeader, count * 4)) return false;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t start = at + r.u32(at + kTableHeader + i * 4);
    if (record != 0 ? !r.has(start, record)
                    : !r.has(start, 4) || !r.has(start + 4, r.u16(start + 2) * 4)) {
      return false;
    }
  }
  return true;
}

enum class Kind { Titles, Menus, Parental, TitleSets, Text, Cells, Vobus, Chapters, Chains, Times };

struct Table {
  uint64_t address;  // where the header keeps the table's sector
  Kind kind;
  const char* name;
};

// clang-format off
constexpr Table kManagerTables[] = {
    {0xC4, Kind::Titles, "title search pointer table"},   {0xC8, Kind::Menus, "menu table"},
    {0xCC, Kind::Parental, "parental management table"},  {0xD0, Kind::TitleSets, "title set attribute table"},
    {0xD4, Kind::Text, "text data table"},                {0xD8, Kind::Cells, "menu cell address table"},
    {0xDC, Kind::Vobus, "menu VOBU address map"}};
constexpr Table kTitleSetTables[] = {
    {0xC8, Kind::Chapters, "chapter search pointer table"}, {0xCC, Kind::Chains, "program chain table"},
    {0xD0, Kind::Menus, "menu table"},                      {0xD4, Kind::Times, "time map table"},
    {0xD8, Kind::Cells, "menu cell address table"},         {0xDC, Kind::Vobus, "menu VOBU address map"},
    {0xE0, Kind::Cells, "cell address table"},              {0xE4, Kind::Vobus, "VOBU address map"}};
// clang-format on
constexpr uint64_t kFirstPlayChain = 0x84;  // VIDEO_TS.IFO: the byte offset of the first program

bool fits(const Reader& r, Kind kind, uint64_t at) {
  switch (kind) {
    case Kind::Titles:
      return titlesFit(r, at);
    case Kind::Menus:
      return menuUnitsFit(r, at);
    case Kind::Parental:
      return parentalFits(r, at);
    case Kind::TitleSets:
      return recordsFit(r, at, kTitleSetAttributes);
    case Kind::Text:
      return r.has(at, kTextHeader);
    case Kind::Cells:
    case Kind::Chapters:
      return tableFits(r, at, 4, kTableHeader);
    case Kind::Vobus:
      return tableFits(r, at, 0, 4);
    case Kind::Chains:
      return programChainTableFits(r, at);
    case Kind::Times:
      return recordsFit(r, at, 0);
  }
  return false;
}

}  // namespace

Status ifoPartOutsideFile(std::span<const uint8_t> file, std::string_view identifier) {
  const auto outside = [](const std::string& part) {
    return Status::invalid(part + " lies past its end");
  };
  const Reader r(file);
  if (!r.has(0, kPackSize) || !std::equal(identifier.begin(), identifier.end(), file.begin())) {
    return outside("the header");
  }
  const bool manager = identifier == "DVDVIDEO-VMG";
  if (manager && r.u32(kFirstPlayChain) != 0 && !programChainFits(r, r.u32(kFirstPlayChain))) {
    return outside("the first play program chain");
  }
  const std::span<const Table> tables =
      manager ? std::span<const Table>(kManagerTables) : std::span<const Table>(kTitleSetTables);
  for (const Table& table : tables) {
    const uint64_t sector = r.u32(table.address);
    if (sector != 0 && !fits(r, table.kind, sector * kPackSize))
      return outside(std::string("the ") + table.name);
  }
  return {};
}

}  // namespace korvell::dvd
